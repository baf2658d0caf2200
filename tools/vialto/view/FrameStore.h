// The one sequence behind the viewer, shared by the server's worker threads: every use of the
// library's decoder handle happens under one lock, and what a frame costs to make (its
// picture, thumbnail, record) is kept in a cache so that stepping back and forth costs nothing.
// Ftp sources read forward only: a frame behind the current one that is not cached is refused.
#pragma once
#include <mutex>
#include <string>

#include "ByteCache.h"
#include "FramePictures.h"

namespace vialto::cli {
class Sequence;
}

namespace vialto::cli::view {

class FrameStore {
 public:
  explicit FrameStore(Sequence& seq);

  bool ForwardOnly() const { return forwardOnly_; }
  SharedBlob Info();
  // Each throws HttpError: 404 for a frame the sequence does not hold, 409 for a step back on a
  // forward-only source, 415 for a codec tag the library does not decode, 500 for a frame the
  // library cannot read or decode.
  SharedBlob Record(int frameNo);
  SharedBlob Picture(int frameNo);
  SharedBlob Jpeg(int frameNo);
  SharedBlob Thumb(int frameNo);
  SharedBlob Drawn(int frameNo, const OverlayRequest& overlays, PictureFormat format);

 private:
  template <typename Make>
  SharedBlob Cached(const std::string& kind, int frameNo, Make make);
  void MoveTo(int frameNo);

  std::mutex mutex_;
  Sequence& seq_;
  bool forwardOnly_;
  ByteCache cache_;
};

}  // namespace vialto::cli::view
