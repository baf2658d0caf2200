#include "FrameOutput.h"

#include <memory>

#include "Args.h"
#include "FrameCheck.h"
#include "ImageFiles.h"
#include "NoticeCapture.h"
#include "Sequence.h"
#include "vialto/vialto.h"

namespace vialto::cli {
namespace {

constexpr int kJpegQuality = 90;  // frames that are not stored as JPEG

struct LibraryBufferDeleter {
  void operator()(unsigned char* buffer) const { Ser_DeleteJpegToRGBBuf(buffer); }
};
using LibraryBuffer = std::unique_ptr<unsigned char, LibraryBufferDeleter>;

// The current frame's stored data into `into`, whose capacity carries over from frame to frame.
void ReadStored(Sequence& seq, std::vector<uint8_t>& into, const std::string& failure) {
  const int length = Ser_GetCurrentFrameDataLength(seq.Handle());
  if (length < 1) throw CommandError(failure);
  into.resize(static_cast<size_t>(length));
  if (Ser_GetCurrentFrameData(seq.Handle(), into.data(), length) != 1) {
    throw CommandError(failure);
  }
}

void ReadSe1Frame(Sequence& seq, Output output, FrameJob& job) {
  if (output == Output::kRaw || output == Output::kJpeg) {
    ReadStored(seq, job.bytes, job.label + ": cannot read the frame data");
    // The stored stream decodes upright in RGB order whatever the tag says.
    if (output == Output::kRaw || IsJpeg(job.bytes)) {
      job.input = FrameJob::Input::kBytes;
      return;
    }
  }
  seq.RequireDecodableCodec();
  if (output != Output::kJpeg) {
    ReadStored(seq, job.bytes, job.label + ": the library could not decode it");
  }
  job.input = FrameJob::Input::kJpegStream;
}

void ReadSerFrame(Sequence& seq, Output output, FrameJob& job) {
  switch (output) {
    case Output::kRaw:
      job.bytes = seq.StoredData();
      break;
    case Output::kYuv: {
      int width = 0, height = 0;
      job.bytes = seq.Yuv422(&width, &height);
      break;
    }
    case Output::kPgm:
      job.picture = seq.Grey();
      job.input = FrameJob::Input::kPicture;
      return;
    case Output::kPng:
    case Output::kJpeg:
    case Output::kPpm:
      job.picture = seq.UprightRgb();
      job.input = FrameJob::Input::kPicture;
      return;
  }
  job.input = FrameJob::Input::kBytes;
}

PixelView ViewOf(const Picture& picture) {
  return {picture.pixels.data(), picture.width, picture.height, picture.channels};
}

// The stream's upright picture as decoded: RGB24, or grey at its own (full-range) levels.
PixelView DecodeStream(FrameJob& job, LibraryBuffer& decoded) {
  uint32_t width = 0, height = 0;
  int depth = 0;
  decoded.reset(
      JpegToRGB(job.bytes.data(), static_cast<int>(job.bytes.size()), &width, &height, &depth));
  if (!decoded || width < 1 || height < 1 || (depth != 24 && depth != 8)) {
    throw CommandError(job.label + ": the library could not decode it");
  }
  return {decoded.get(), static_cast<int>(width), static_cast<int>(height), depth == 24 ? 3 : 1};
}

// Grey pictures widened by repeating each level into R, G and B (into `scratch`).
PixelView RgbOf(const PixelView& picture, std::vector<uint8_t>& scratch) {
  if (picture.channels == 3) return picture;
  const size_t n = static_cast<size_t>(picture.width) * picture.height;
  scratch.resize(n * 3);
  for (size_t i = 0; i < n; ++i) {
    uint8_t* rgb = &scratch[i * 3];
    rgb[0] = rgb[1] = rgb[2] = picture.pixels[i];
  }
  return {scratch.data(), picture.width, picture.height, 3};
}

// Encoded inside the capture, written outside it.
void WriteJpeg(const std::string& path, const PixelView& picture, FrameJob& job,
               NoticeCapture& capture) {
  uint32_t length = 0;
  LibraryBuffer stream;
  capture.Run(
      [&] {
        stream.reset(RGBToJpeg(picture.pixels, picture.width, picture.height,
                               picture.channels == 3 ? 24 : 8, kJpegQuality, &length));
      },
      job.notices);
  if (!stream) {
    throw CommandError("the library's JPEG encoder failed on a " + std::to_string(picture.width) +
                       " x " + std::to_string(picture.height) + " picture (RGBToJpeg)");
  }
  WriteBytes(path, stream.get(), length);
}

// Grey pictures pass as they are; RGB ones go through the library's weights into `scratch`.
PixelView GreyOf(const PixelView& picture, std::vector<uint8_t>& scratch) {
  if (picture.channels == 1) return picture;
  scratch.resize(static_cast<size_t>(picture.width) * picture.height);
  RGBToGray(picture.pixels, scratch.data(), picture.width, picture.height);
  return {scratch.data(), picture.width, picture.height, 1};
}

void WriteYuv(const std::string& path, const PixelView& picture, std::vector<uint8_t>& scratch) {
  scratch.resize(static_cast<size_t>(picture.width) * picture.height * 2);
  ToYuv422Planes(picture.pixels, picture.width, picture.height, picture.channels, scratch.data());
  WriteBytes(path, scratch);
}

}  // namespace

void ReadFrame(Sequence& seq, Output output, FrameJob& job) {
  job.label = seq.Source() + ": frame " + std::to_string(seq.CurrentNumber());
  job.notices.clear();
  job.cutShort = CutShortProblem(seq, seq.Current());
  if (seq.IsSe1()) {
    ReadSe1Frame(seq, output, job);
  } else {
    ReadSerFrame(seq, output, job);
  }
}

void WriteFrame(Output output, FrameJob& job, NoticeCapture& capture) {
  if (job.input == FrameJob::Input::kBytes) {
    WriteBytes(job.path, job.bytes);
    return;
  }
  LibraryBuffer decoded;
  PixelView picture = ViewOf(job.picture);
  if (job.input == FrameJob::Input::kJpegStream) {
    capture.Run([&] { picture = DecodeStream(job, decoded); }, job.notices);
  }
  switch (output) {
    case Output::kPng:
      WriteFramePng(job.path, RgbOf(picture, job.scratch));
      return;
    case Output::kPpm:
      WriteFramePnm(job.path, RgbOf(picture, job.scratch));
      return;
    case Output::kPgm:
      WriteFramePnm(job.path, GreyOf(picture, job.scratch));
      return;
    case Output::kYuv:
      WriteYuv(job.path, picture, job.scratch);
      return;
    case Output::kJpeg:
      WriteJpeg(job.path, picture, job, capture);
      return;
    case Output::kRaw:
      WriteBytes(job.path, job.bytes);
      return;
  }
}

}  // namespace vialto::cli
