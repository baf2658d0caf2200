// Frame retrieval: the current frame as stored, or converted to grey, YUV 4:2:2 planar, RGB24 or
// JPEG, in buffers the caller owns and hands back through Ser_DeleteFrameDataBuf.
//
// Every buffer lives in a Buffer (unique_ptr with the C-heap deleter) until the one that is
// returned is released to the caller, so no path leaks an intermediate. No byte handed out is
// left uninitialised: slack, padding and converter gaps are zeroed.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "image/Convert.h"
#include "image/JpegCodec.h"
#include "platform/Alloc.h"
#include "platform/ExportBoundary.h"
#include "seq/SerFileDecode.h"
#include "seq/SerRecords.h"

namespace vialto::seq {
namespace {

struct FreeBytesDeleter {
  void operator()(unsigned char* p) const { platform::FreeBytes(p); }
};
using Buffer = std::unique_ptr<unsigned char[], FreeBytesDeleter>;

Buffer Allocate(int64_t n) {
  return Buffer(static_cast<unsigned char*>(platform::AllocBytes(static_cast<std::size_t>(n))));
}
Buffer AllocateZeroed(int64_t n) {
  return Buffer(
      static_cast<unsigned char*>(platform::AllocZeroedBytes(static_cast<std::size_t>(n))));
}

enum OutputType : int { kAsStored = 0, kGrey = 1, kYuv422 = 2, kRgb24 = 3, kJpeg = 4 };

// The two conversion operations differ in the types they offer and in which codec tag has its
// decoded picture turned into bitmap order.
enum class Operation { kBuf, kBufEx };

enum class Codec { kJpg, kJpe, kOther };

// Slack behind the frame data for readers that look a little past the stream; always zeroed.
constexpr int64_t kFrameSlackBytes = 4096;
// One buffer size for every converted "ser" output, large enough for RGB24.
constexpr int64_t kSerOutputBytes = 0xa2000;
constexpr int64_t kSerPixels = int64_t{kSerWidth} * kSerHeight;
constexpr int kSerJpegQuality = 90;
constexpr int kSe1JpegQuality = 85;
// "se1" "JPG" frames re-encoded as JPEG report this many bytes more than the stream holds.
constexpr int64_t kSe1JpegTailBytes = 512;
constexpr unsigned char kNeutralChroma = 128;

struct Description {
  int w = 0, h = 0, aux = 0;
};

// A produced output: the buffer, and its length as BufEx reports it and the copy variants copy.
struct Output {
  Buffer data;
  int64_t length = 0;
};

struct Picture {
  Buffer pixels;  // w * h * 3 bytes, whatever the depth
  int w = 0, h = 0;
  int depth = 0;  // 24 or 8
};

// --- the frame's stored data --------------------------------------------------------------------

int ColourStatus(const CSerFileDecode& d) {
  if (d.IsSe1()) return d.m_SubHeadInfo.byColorStatus;
  switch (d.m_SerInfo.byColorMode) {
    case 1:
      return 1;
    case 2:  // grey frames with one colour frame at the end
      return d.m_nCurFrameNo == int{d.m_SerInfo.wFrameCount} - 1 ? 1 : 0;
    default:
      return 0;
  }
}

int64_t StoredFrameLength(const CSerFileDecode& d) {
  if (d.IsSe1()) return int64_t{d.m_SubHeadInfo.nFrameLen} - static_cast<int64_t>(kSubHeadBytes);
  if (d.IsSer()) return ColourStatus(d) == 1 ? kColourFrameBytes : kGreyFrameBytes;
  return 0;
}

int64_t FrameDataPosition(const CSerFileDecode& d) {
  return d.m_nCurFramePos + (d.IsSe1() ? static_cast<int64_t>(kSubHeadBytes) : 0);
}

// A "ser" frame lies wholly in front of the trailer, or it is not in the file: a damaged
// wFrameCount declares frames the data never held, and those must not read as trailer or zeros.
bool SerFrameInsideData(const CSerFileDecode& d, int64_t frameBytes) {
  const int64_t dataEnd = d.m_nFileLength - static_cast<int64_t>(kSerTrailerBytes);
  return d.m_nCurFramePos >= 0 && d.m_nCurFramePos + frameBytes <= dataEnd;
}

// Reads `want` bytes of the current frame's data. Fails when the source ends inside the frame's
// data (its length as the sub-header or the colour mode gives it), so a cut or missing frame is
// never handed out with zeros for what is missing; bytes asked for beyond the frame and beyond
// the source still read as zeros. May throw InternetError.
bool ReadFrameData(CSerFileDecode& d, unsigned char* buf, int64_t want) {
  const int64_t frameBytes = std::max<int64_t>(0, StoredFrameLength(d));
  if (d.IsSer() && !SerFrameInsideData(d, frameBytes)) return false;
  const int64_t pos = FrameDataPosition(d);
  std::size_t got = 0;
  if (!d.ReadSource(pos, buf, static_cast<std::size_t>(want), &got)) return false;
  if (static_cast<int64_t>(got) < std::min(want, frameBytes)) return false;
  if (want >= frameBytes) return true;
  // A read of the frame's front alone still fails for a frame the source ends inside.
  unsigned char last = 0;
  std::size_t gotLast = 0;
  return d.ReadSource(pos + frameBytes - 1, &last, 1, &gotLast) && gotLast == 1;
}

// The frame data in a new buffer with zeroed slack; null when it cannot be allocated or read, or
// when the source ends inside it.
Buffer ReadFrameBuffer(CSerFileDecode& d, int64_t n) {
  Buffer data = Allocate(n + kFrameSlackBytes);
  if (!data) return nullptr;
  if (!ReadFrameData(d, data.get(), n)) return nullptr;
  std::memset(data.get() + n, 0, kFrameSlackBytes);
  return data;
}

Description DescribeFrame(const CSerFileDecode& d) {
  if (d.IsSer()) return {kSerWidth, kSerHeight, 0};
  return {d.m_SubHeadInfo.wWidth, d.m_SubHeadInfo.wHeight, d.m_SubHeadInfo.byVal1D};
}

Codec CodecTag(const SubHeadInfo& info) {
  char tag[3];
  for (int i = 0; i < 3; ++i) {
    const char c = info.chCodec[i];
    tag[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  if (std::memcmp(tag, "JPG", 3) == 0) return Codec::kJpg;
  if (std::memcmp(tag, "JPE", 3) == 0) return Codec::kJpe;
  return Codec::kOther;
}

bool TypeOffered(Operation op, int type) {
  return type >= kAsStored && type <= (op == Operation::kBufEx ? kJpeg : kRgb24);
}

// Buf turns "JPE" pictures into bitmap order, BufEx "JPG" pictures.
bool TurnsToBitmapOrder(Operation op, Codec codec) {
  return op == Operation::kBuf ? codec == Codec::kJpe : codec == Codec::kJpg;
}

// --- JPEG
// -----------------------------------------------------------------------------------------

// Decodes a JPEG stream (a grey picture's unused tail comes back zeroed). Empty on failure, which
// the frame description reports as 0 x 0.
Picture Decode(const unsigned char* data, int64_t n) {
  uint32_t w = 0, h = 0;
  int depth = 0;
  Buffer pixels(image::JpegDecompress(data, static_cast<int>(n), &w, &h, &depth));
  if (!pixels || (depth != 24 && depth != 8)) return {};
  return {std::move(pixels), static_cast<int>(w), static_cast<int>(h), depth};
}

// R,G,B top row first -> B,G,R bottom row first. A grey picture has nothing to swap; its rows of
// w bytes are flipped, which is the bitmap order for grey.
bool TurnToBitmapOrder(Picture& p) {
  const unsigned rowBytes = static_cast<unsigned>(p.w) * (p.depth == 24 ? 3u : 1u);
  if (p.depth == 24 &&
      !ImageSwapRGB(p.pixels.get(), static_cast<unsigned>(p.w), static_cast<unsigned>(p.h)))
    return false;
  return image::ImageFlipRows(p.pixels.get(), rowBytes, static_cast<unsigned>(p.h)) != 0;
}

// Encodes w x h pixels of the given depth. The reported length is the stream's plus tailBytes;
// the buffer holds at least that, and every byte behind the stream is zero.
Output Encode(const unsigned char* pixels, int w, int h, int depth, int quality,
              int64_t tailBytes) {
  uint32_t encoded = 0;
  Buffer stream(image::JpegCompress(pixels, w, h, depth, quality, &encoded));
  if (!stream) return {};
  const auto capacity = static_cast<int64_t>(image::JpegCompressCapacity(w, h));
  const int64_t reported = int64_t{encoded} + tailBytes;
  if (reported > capacity) {
    Buffer larger = AllocateZeroed(reported);
    if (!larger) return {};
    std::memcpy(larger.get(), stream.get(), encoded);
    return {std::move(larger), reported};
  }
  std::memset(stream.get() + encoded, 0, static_cast<std::size_t>(capacity - encoded));
  return {std::move(stream), reported};
}

// --- "ser" frames
// ---------------------------------------------------------------------------------

// Grey frames get neutral chroma; colour frames are already YUV 4:2:2 planar.
Output SerToYuv422(const unsigned char* frame, int colourStatus) {
  Buffer out = AllocateZeroed(kSerOutputBytes);
  if (!out) return {};
  if (colourStatus == 1) {
    std::memcpy(out.get(), frame, kColourFrameBytes);
  } else {
    std::memcpy(out.get(), frame, kGreyFrameBytes);
    std::memset(out.get() + kGreyFrameBytes, kNeutralChroma, kGreyFrameBytes);
  }
  return {std::move(out), kSerPixels * 2};
}

// Zeroed first: the YUV converter leaves the last pixels of its output as they were.
Output SerToRgb24(const unsigned char* frame, int colourStatus) {
  Buffer out = AllocateZeroed(kSerOutputBytes);
  if (!out) return {};
  if (colourStatus == 1)
    YUV422PlaneToRGB(frame, out.get(), kSerWidth, kSerHeight);
  else
    GrayToRGB(frame, out.get(), kSerWidth, kSerHeight);
  return {std::move(out), kSerPixels * 3};
}

Output SerToJpeg(const unsigned char* frame, int colourStatus) {
  Output rgb = SerToRgb24(frame, colourStatus);
  if (!rgb.data) return {};
  Picture picture{std::move(rgb.data), kSerWidth, kSerHeight, 24};
  if (!TurnToBitmapOrder(picture)) return {};
  return Encode(picture.pixels.get(), kSerWidth, kSerHeight, 24, kSerJpegQuality, 0);
}

Output ConvertSerFrame(Buffer frame, int64_t n, int colourStatus, int type) {
  switch (type) {
    case kAsStored:
      return {std::move(frame), n};
    case kGrey:  // a colour frame's first plane is its luminance
      return {std::move(frame), kSerPixels};
    case kYuv422:
      return SerToYuv422(frame.get(), colourStatus);
    case kRgb24:
      return SerToRgb24(frame.get(), colourStatus);
    case kJpeg:
      return SerToJpeg(frame.get(), colourStatus);
    default:
      return {};
  }
}

// --- "se1" frames
// ---------------------------------------------------------------------------------

Output PictureToGrey(Picture picture) {
  const int64_t pixels = int64_t{picture.w} * picture.h;
  if (picture.depth == 8) return {std::move(picture.pixels), pixels};
  Buffer out = Allocate(pixels);
  if (!out) return {};
  RGBToGray(picture.pixels.get(), out.get(), picture.w, picture.h);
  return {std::move(out), pixels};
}

// Zeroed first: with an odd width the converter leaves the last bytes of each plane untouched.
Output PictureToYuv422(const Picture& picture) {
  const int64_t pixels = int64_t{picture.w} * picture.h;
  Buffer out = AllocateZeroed(pixels * 2);
  if (!out) return {};
  if (picture.depth == 24) {
    RGBToYUV422Plane(picture.pixels.get(), out.get(), picture.w, picture.h);
  } else {
    std::memcpy(out.get(), picture.pixels.get(), static_cast<std::size_t>(pixels));
    std::memset(out.get() + pixels, kNeutralChroma, static_cast<std::size_t>(pixels));
  }
  return {std::move(out), pixels * 2};
}

Output PictureToRgb24(Picture picture) {
  const int64_t bytes = int64_t{picture.w} * picture.h * 3;
  if (picture.depth == 24) return {std::move(picture.pixels), bytes};
  Buffer out = Allocate(bytes);
  if (!out) return {};
  GrayToRGB(picture.pixels.get(), out.get(), picture.w, picture.h);
  return {std::move(out), bytes};
}

Output ConvertPicture(Picture picture, int type) {
  switch (type) {
    case kGrey:
      return PictureToGrey(std::move(picture));
    case kYuv422:
      return PictureToYuv422(picture);
    case kRgb24:
      return PictureToRgb24(std::move(picture));
    case kJpeg:  // only "JPG" frames get here, already in bitmap order
      return Encode(picture.pixels.get(), picture.w, picture.h, picture.depth, kSe1JpegQuality,
                    kSe1JpegTailBytes);
    default:
      return {};
  }
}

Output ConvertSe1Frame(Buffer frame, int64_t n, Codec codec, Operation op, int type,
                       Description& desc) {
  if (type == kAsStored) return {std::move(frame), n};
  if (codec == Codec::kOther) return {};
  Picture picture = Decode(frame.get(), n);
  desc.w = picture.w;
  desc.h = picture.h;
  if (!picture.pixels) return {};
  // "JPE" type 4 is the stored stream itself; the decode above vouches for it and sizes it.
  if (type == kJpeg && codec == Codec::kJpe) return {std::move(frame), n};
  frame.reset();
  if (TurnsToBitmapOrder(op, codec) && !TurnToBitmapOrder(picture)) return {};
  return ConvertPicture(std::move(picture), type);
}

// --- the shared preparation
// -----------------------------------------------------------------------

// The requested output of the current frame, or an empty Output. May throw InternetError.
Output RetrieveFrame(CSerFileDecode& d, Operation op, int type, Description& desc) {
  if (!d.HasFile()) return {};
  desc = DescribeFrame(d);
  const int64_t n = StoredFrameLength(d);
  // A corrupt sub-header must not make us allocate more than the source can hold.
  if (n < 1 || n > d.m_nFileLength) return {};
  if (!TypeOffered(op, type)) return {};
  const Codec codec = d.IsSe1() ? CodecTag(d.m_SubHeadInfo) : Codec::kOther;
  if (d.IsSe1() && type != kAsStored && codec == Codec::kOther) return {};
  Buffer frame = ReadFrameBuffer(d, n);
  if (!frame) return {};
  Output out = d.IsSer() ? ConvertSerFrame(std::move(frame), n, ColourStatus(d), type)
                         : ConvertSe1Frame(std::move(frame), n, codec, op, type, desc);
  if (out.length > std::numeric_limits<int>::max()) return {};
  return out;
}

void WriteDescription(const Description& desc, int* w, int* h, int* aux) {
  *w = desc.w;
  *h = desc.h;
  *aux = desc.aux;
}

// Runs one conversion for an export: fills the description, never lets an exception through.
Output RetrieveForExport(CSerFileDecode* d, Operation op, int type, int* w, int* h, int* aux) {
  Description desc;
  // Internet failures, and anything else, end as a null result; the description is written still.
  Output out = platform::GuardExport(Output{}, [&] { return RetrieveFrame(*d, op, type, desc); });
  if (d->HasFile()) WriteDescription(desc, w, h, aux);
  return out;
}

unsigned char* CopyOut(Output out, unsigned char* dst) {
  if (!out.data) return nullptr;
  std::memcpy(dst, out.data.get(), static_cast<std::size_t>(out.length));
  return dst;
}

}  // namespace
}  // namespace vialto::seq

using vialto::platform::GuardExport;
using vialto::seq::Operation;
using vialto::seq::Output;

extern "C" {

VIALTO_API int VIALTO_CALL Ser_GetCurrentFrameData(CSerFileDecode* decoder, unsigned char* buf,
                                                   int length) {
  return GuardExport(0, [&] {
    if (!decoder->HasFile() || length < 1) return 0;
    return vialto::seq::ReadFrameData(*decoder, buf, length) ? 1 : 0;
  });
}

VIALTO_API int VIALTO_CALL Ser_GetCurrentFrameDataLength(CSerFileDecode* decoder) {
  // The stored value, even when it is nonsense; the conversions refuse such lengths.
  return GuardExport(0, [&] { return static_cast<int>(vialto::seq::StoredFrameLength(*decoder)); });
}

VIALTO_API int VIALTO_CALL Ser_GetColorStatus(CSerFileDecode* decoder) {
  return GuardExport(-1, [&] {
    if (!decoder->HasFile()) return -1;
    return vialto::seq::ColourStatus(*decoder);
  });
}

VIALTO_API unsigned char* VIALTO_CALL Ser_GetCurrentFrameDataBuf(CSerFileDecode* decoder, int* w,
                                                                 int* h, int* aux, int type) {
  return GuardExport<unsigned char*>(nullptr, [&]() -> unsigned char* {
    if (!decoder) return nullptr;
    return vialto::seq::RetrieveForExport(decoder, Operation::kBuf, type, w, h, aux).data.release();
  });
}

VIALTO_API unsigned char* VIALTO_CALL Ser_GetCurrentFrameDataBufEx(CSerFileDecode* decoder, int* w,
                                                                   int* h, int* aux, int* length,
                                                                   int type) {
  return GuardExport<unsigned char*>(nullptr, [&]() -> unsigned char* {
    *length = 0;
    if (!decoder) return nullptr;
    Output out = vialto::seq::RetrieveForExport(decoder, Operation::kBufEx, type, w, h, aux);
    if (out.data) *length = static_cast<int>(out.length);
    return out.data.release();
  });
}

VIALTO_API unsigned char* VIALTO_CALL Ser_CopyCurrentFrameData(CSerFileDecode* decoder, int* w,
                                                               int* h, int* aux, int type,
                                                               unsigned char* dst) {
  return GuardExport<unsigned char*>(nullptr, [&]() -> unsigned char* {
    if (!decoder) return nullptr;
    return vialto::seq::CopyOut(
        vialto::seq::RetrieveForExport(decoder, Operation::kBuf, type, w, h, aux), dst);
  });
}

VIALTO_API unsigned char* VIALTO_CALL Ser_CopyCurrentFrameDataEx(CSerFileDecode* decoder, int* w,
                                                                 int* h, int* aux, int* length,
                                                                 int type, unsigned char* dst) {
  return GuardExport<unsigned char*>(nullptr, [&]() -> unsigned char* {
    *length = 0;
    if (!decoder) return nullptr;
    Output out = vialto::seq::RetrieveForExport(decoder, Operation::kBufEx, type, w, h, aux);
    if (out.data) *length = static_cast<int>(out.length);
    return vialto::seq::CopyOut(std::move(out), dst);
  });
}

VIALTO_API int VIALTO_CALL Ser_DeleteFrameDataBuf(CSerFileDecode*, void* buffer) {
  return GuardExport(1, [&] {
    if (buffer) vialto::platform::FreeBytes(buffer);
    return 1;
  });
}

}  // extern "C"
