#include "FrameStore.h"

#include "../Args.h"
#include "../Sequence.h"
#include "FrameRecords.h"
#include "HttpError.h"
#include "platform/UrlScheme.h"

namespace vialto::cli::view {
namespace {

// Enough for a few hundred thumbnails and the frames around the current one.
constexpr size_t kCacheBudgetBytes = 96u << 20;

std::string OverlayKey(const OverlayRequest& overlays, PictureFormat format) {
  std::string key = format == PictureFormat::kPng ? "drawn.png" : "drawn.jpg";
  if (overlays.stamp) key += ":stamp";
  if (overlays.arrow) {
    key += ":arrow=" + std::to_string(overlays.arrow->first) + "," +
           std::to_string(overlays.arrow->second);
  }
  return key;
}

}  // namespace

FrameStore::FrameStore(Sequence& seq)
    : seq_(seq),
      forwardOnly_(platform::SchemeOf(seq.Source()) == platform::UrlScheme::kFtp),
      cache_(kCacheBudgetBytes) {}

SharedBlob FrameStore::Info() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::make_shared<Blob>(Blob{InfoJson(seq_), "application/json"});
}

template <typename Make>
SharedBlob FrameStore::Cached(const std::string& kind, int frameNo, Make make) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string key = kind + "/" + std::to_string(frameNo);
  if (SharedBlob hit = cache_.Find(key)) return hit;
  MoveTo(frameNo);
  SharedBlob made;
  try {
    made = std::make_shared<Blob>(make());
  } catch (const CommandError& e) {
    throw HttpError(500, e.what());
  }
  cache_.Put(key, made);
  return made;
}

void FrameStore::MoveTo(int frameNo) {
  const int count = seq_.DeclaredFrameCount();
  if (frameNo >= count) {
    throw HttpError(404, "frame " + std::to_string(frameNo) + " does not exist (" +
                             (count > 0 ? "frames 0.." + std::to_string(count - 1)
                                        : std::string("the sequence has no frames")) +
                             ")");
  }
  const int current = seq_.CurrentNumber();
  if (frameNo == current) return;
  if (forwardOnly_ && frameNo < current) {
    throw HttpError(409, "ftp sources read forward only: frame " + std::to_string(frameNo) +
                             " lies behind the current frame " + std::to_string(current));
  }
  try {
    seq_.GoTo(frameNo);
  } catch (const CommandError& e) {
    throw HttpError(404, e.what());
  }
}

SharedBlob FrameStore::Record(int frameNo) {
  return Cached("record", frameNo, [&] { return Blob{FrameJson(seq_), "application/json"}; });
}

SharedBlob FrameStore::Picture(int frameNo) {
  return Cached("picture", frameNo, [&] { return FramePicture(seq_); });
}

SharedBlob FrameStore::Jpeg(int frameNo) {
  return Cached("jpeg", frameNo, [&] { return FrameJpeg(seq_); });
}

SharedBlob FrameStore::Thumb(int frameNo) {
  return Cached("thumb", frameNo, [&] { return Thumbnail(seq_); });
}

SharedBlob FrameStore::Drawn(int frameNo, const OverlayRequest& overlays, PictureFormat format) {
  return Cached(OverlayKey(overlays, format), frameNo,
                [&] { return WithOverlays(seq_, overlays, format); });
}

}  // namespace vialto::cli::view
