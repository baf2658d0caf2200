#include "platform/posix/text/FontMatcher.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>

namespace vialto::platform::text {

namespace {

constexpr int kNormalWeight = 400;

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

struct ConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};

// Loaded on first use and never changed afterwards (fontconfig queries on one configuration are
// safe from several threads); released when the library unloads.
FcConfig* FontConfiguration() {
  static const std::unique_ptr<FcConfig, ConfigDeleter> config(FcInitLoadConfigAndFonts());
  return config.get();
}

PatternPtr PatternFor(const FontRequest& request) {
  PatternPtr pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  FcPattern* p = pattern.get();
  // The named face first, the generic family after it: fontconfig takes the first family
  // it has, so an installed face wins and a missing one falls back by its look.
  if (!request.faceName.empty())
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.faceName.c_str()));
  FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(GenericFamilyFor(request)));
  FcPatternAddInteger(p, FC_WEIGHT, FcWeightFromOpenType(RequestedWeight(request)));
  FcPatternAddInteger(p, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (request.fixedPitch) FcPatternAddInteger(p, FC_SPACING, FC_MONO);
  FcPatternAddBool(p, FC_SCALABLE, FcTrue);
  return pattern;
}

std::string StringOf(const FcPattern* pattern, const char* object) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value) return {};
  return reinterpret_cast<const char*>(value);
}

int IntegerOf(const FcPattern* pattern, const char* object, int fallback) {
  int value = fallback;
  return FcPatternGetInteger(pattern, object, 0, &value) == FcResultMatch ? value : fallback;
}

bool IsScalable(const FcPattern* pattern) {
  FcBool scalable = FcFalse;
  return FcPatternGetBool(pattern, FC_SCALABLE, 0, &scalable) == FcResultMatch && scalable;
}

}  // namespace

int RequestedWeight(const FontRequest& request) {
  return request.weight <= 0 ? kNormalWeight : std::min(request.weight, 1000);
}

const char* GenericFamilyFor(const FontRequest& request) {
  if (request.fixedPitch || request.family == FontFamily::Modern) return "monospace";
  if (request.family == FontFamily::Roman) return "serif";
  return "sans-serif";
}

std::optional<FontMatch> FindInstalledFont(const FontRequest& request) {
  FcConfig* const config = FontConfiguration();
  if (!config) return std::nullopt;
  const PatternPtr pattern = PatternFor(request);
  if (!pattern) return std::nullopt;
  if (!FcConfigSubstitute(config, pattern.get(), FcMatchPattern)) return std::nullopt;
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const PatternPtr found(FcFontMatch(config, pattern.get(), &result));
  if (!found || result != FcResultMatch || !IsScalable(found.get())) return std::nullopt;

  FontMatch match;
  match.file = StringOf(found.get(), FC_FILE);
  if (match.file.empty()) return std::nullopt;
  match.index = IntegerOf(found.get(), FC_INDEX, 0);
  match.family = StringOf(found.get(), FC_FAMILY);
  match.style = StringOf(found.get(), FC_STYLE);
  return match;
}

}  // namespace vialto::platform::text
