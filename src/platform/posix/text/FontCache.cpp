#include "platform/posix/text/FontCache.h"

#include "platform/posix/text/FontMatcher.h"

namespace vialto::platform::text {

namespace {

// Only these fields choose the face; sizes, angles and decorations do not.
FontRequest MatchKeyOf(const FontRequest& request) {
  FontRequest key;
  key.faceName = request.faceName;
  key.weight = request.weight;
  key.italic = request.italic;
  key.fixedPitch = request.fixedPitch;
  key.family = request.family;
  return key;
}

}  // namespace

ThreadFontCache& ThreadFontCache::ForThisThread() {
  thread_local ThreadFontCache cache;
  return cache;
}

ThreadFontCache::ThreadFontCache() {
  if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
}

ThreadFontCache::~ThreadFontCache() {
  instances_ = {};
  faces_ = {};
  if (library_) FT_Done_FreeType(library_);
}

std::optional<FontMatch> ThreadFontCache::Match(const FontRequest& request) {
  FontRequest key = MatchKeyOf(request);
  if (const auto* known = matches_.Find(key)) return *known;
  return matches_.Insert(std::move(key), FindWithSynthesis(key));
}

// fontconfig may rewrite the weight and slant it reports to the ones asked for, so whether
// bold or italic is missing is read from the face.
std::optional<FontMatch> ThreadFontCache::FindWithSynthesis(const FontRequest& request) {
  std::optional<FontMatch> match = FindInstalledFont(request);
  if (!match) return std::nullopt;
  const std::shared_ptr<FaceHandle> face = Face(*match);
  if (!face) return std::nullopt;
  match->emboldened = RequestedWeight(request) >= kFirstBoldWeight && !face->IsBold();
  match->slanted = request.italic && !face->IsItalic();
  return match;
}

std::shared_ptr<FaceHandle> ThreadFontCache::Face(const FontMatch& match) {
  FaceKey key{match.file, match.index};
  if (auto* open = faces_.Find(key)) return *open;
  auto face = std::make_shared<FaceHandle>(library_, match);
  if (!face->Get()) return nullptr;
  return faces_.Insert(std::move(key), std::move(face));
}

FontInstance* ThreadFontCache::Instance(const FontRequest& request) {
  if (!library_) return nullptr;
  if (auto* known = instances_.Find(request)) return known->get();
  const std::optional<FontMatch> match = Match(request);
  if (!match) return nullptr;
  std::unique_ptr<FontInstance> instance = FontInstance::Create(Face(*match), request, *match);
  if (!instance) return nullptr;
  return instances_.Insert(request, std::move(instance)).get();
}

}  // namespace vialto::platform::text
