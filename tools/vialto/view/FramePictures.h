// The pictures the viewer serves of a sequence's current frame: the frame itself (its stored
// JPEG when that shows it upright, else encoded once), a thumbnail, and the frame with the
// library's overlays drawn on it.
#pragma once
#include <optional>
#include <string>
#include <utility>

#include "ByteCache.h"

namespace vialto::cli {
class Sequence;
}

namespace vialto::cli::view {

enum class PictureFormat { kPng, kJpeg };

struct OverlayRequest {
  bool stamp = false;                        // the frame's number and time in the top-left corner
  std::optional<std::pair<int, int>> arrow;  // an arrow pointing at (x, y), y from the top
  bool Any() const { return stamp || arrow.has_value(); }
};

constexpr int kThumbnailWidth = 160;
constexpr int kJpegQuality = 90;

// True when the current frame's stored data decodes to the upright picture: "se1" frames tagged
// "JPG" or "JPE" both store the upright stream (the tag only decides the order in which the
// library's frame calls hand the decoded pixels out). Such frames are sent as stored; "ser"
// frames and frames whose data is not a JPEG are encoded from the library's decode.
bool StoredJpegIsUpright(Sequence& seq);
// The frame at full quality: its stored JPEG when upright, else a PNG of the library's decode.
Blob FramePicture(Sequence& seq);
// The frame as a JPEG: stored when upright, else encoded from the library's decode.
Blob FrameJpeg(Sequence& seq);
// kThumbnailWidth wide, scaled with the library's resize, as a JPEG.
Blob Thumbnail(Sequence& seq);
// The frame with the overlays drawn by the library's text and arrow routines. Throws HttpError
// 400 for an arrow outside the picture.
Blob WithOverlays(Sequence& seq, const OverlayRequest& overlays, PictureFormat format);
// "00:01.240": the frame's time at the cameras' nominal 25 frames/s.
std::string FrameTimeText(int frameNo);
double FrameSeconds(int frameNo);

}  // namespace vialto::cli::view
