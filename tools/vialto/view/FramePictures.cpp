#include "FramePictures.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "../Arrow.h"
#include "../FrameFiles.h"
#include "../ImageFiles.h"
#include "../Overlay.h"
#include "../Picture.h"
#include "../Sequence.h"
#include "HttpError.h"

namespace vialto::cli::view {
namespace {

constexpr int kNominalFramesPerSecond = 25;
constexpr int kThumbnailQuality = 80;
constexpr char kJpegType[] = "image/jpeg";
constexpr char kPngType[] = "image/png";

std::string AsString(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

Blob Png(const Picture& picture) {
  const PixelView view{picture.pixels.data(), picture.width, picture.height, picture.channels};
  return Blob{AsString(EncodeFramePng(view)), kPngType};
}

Blob Jpeg(const Picture& picture, int quality) {
  return Blob{AsString(EncodeJpeg(picture, quality)), kJpegType};
}

void DrawStamp(Bitmap& bitmap, int frameNo) {
  TextStyle style;
  style.sizePx = std::max(12, bitmap.height / 16);
  style.background = 0x000000;
  DrawText(bitmap, 6, 6, "frame " + std::to_string(frameNo) + "  " + FrameTimeText(frameNo), style);
}

std::string UpperCodec(Sequence& seq) {
  std::string codec = seq.Current().codec;
  for (char& c : codec) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return codec;
}

// The library decodes "se1" frames tagged "JPG" or "JPE" only.
void RequireDecodable(Sequence& seq) {
  if (!seq.IsSe1()) return;
  const std::string codec = UpperCodec(seq);
  if (codec != "JPG" && codec != "JPE") {
    throw HttpError(415, "frame " + std::to_string(seq.CurrentNumber()) + ": codec tag \"" +
                             seq.Current().codec +
                             "\" is neither JPG nor JPE; the library cannot"
                             " decode it");
  }
}

Picture Upright(Sequence& seq) {
  RequireDecodable(seq);
  return seq.UprightRgb();
}

}  // namespace

std::string FrameTimeText(int frameNo) {
  const long long ms = static_cast<long long>(frameNo) * 1000 / kNominalFramesPerSecond;
  char text[40];
  std::snprintf(text, sizeof text, "%02lld:%02lld.%03lld", ms / 60000, ms / 1000 % 60, ms % 1000);
  return text;
}

double FrameSeconds(int frameNo) { return static_cast<double>(frameNo) / kNominalFramesPerSecond; }

bool StoredJpegIsUpright(Sequence& seq) {
  if (!seq.IsSe1()) return false;
  const std::string codec = UpperCodec(seq);
  return codec == "JPG" || codec == "JPE";
}

Blob FramePicture(Sequence& seq) {
  if (StoredJpegIsUpright(seq)) {
    const std::vector<uint8_t> stored = seq.StoredData();
    if (IsJpeg(stored)) return Blob{AsString(stored), kJpegType};
  }
  return Png(Upright(seq));
}

Blob FrameJpeg(Sequence& seq) {
  if (StoredJpegIsUpright(seq)) {
    const std::vector<uint8_t> stored = seq.StoredData();
    if (IsJpeg(stored)) return Blob{AsString(stored), kJpegType};
  }
  return Jpeg(Upright(seq), kJpegQuality);
}

Blob Thumbnail(Sequence& seq) {
  const Picture upright = WidenToRgb(Upright(seq));
  const int height = std::max(4, upright.height * kThumbnailWidth / std::max(upright.width, 1));
  return Jpeg(Resize(upright, kThumbnailWidth, height), kThumbnailQuality);
}

Blob WithOverlays(Sequence& seq, const OverlayRequest& overlays, PictureFormat format) {
  RequireDecodable(seq);
  Bitmap bitmap = seq.ForDrawing();
  if (overlays.arrow) {
    const auto [x, y] = *overlays.arrow;
    if (x >= bitmap.width || y >= bitmap.height) {
      throw HttpError(400, "arrow point " + std::to_string(x) + "," + std::to_string(y) +
                               " lies outside the " + std::to_string(bitmap.width) + " x " +
                               std::to_string(bitmap.height) + " picture");
    }
    std::string why;
    if (!PointArrowAt(bitmap, x, y, &why)) throw HttpError(400, why);
  }
  if (overlays.stamp) DrawStamp(bitmap, seq.CurrentNumber());
  const Picture drawn = FromBitmap(bitmap);
  return format == PictureFormat::kPng ? Png(drawn) : Jpeg(drawn, kJpegQuality);
}

}  // namespace vialto::cli::view
