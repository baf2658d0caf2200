#include "Sequence.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

#include "Args.h"
#include "ImageFiles.h"
#include "UrlProbe.h"
#include "platform/UrlScheme.h"
#include "seq/SerFormat.h"

namespace vialto::cli {
namespace {

using seq::kSerHeight;
using seq::kSerWidth;
constexpr size_t kMaxLibraryName = 249;  // the decoder keeps names in 250 characters

// Releases a frame-call buffer through the library.
struct FrameBufferDeleter {
  CSerFileDecode* decoder;
  void operator()(unsigned char* buffer) const { Ser_DeleteFrameDataBuf(decoder, buffer); }
};
using FrameBuffer = std::unique_ptr<unsigned char, FrameBufferDeleter>;

// A scheme alone names nothing to fetch: the tool takes it for a (missing) local file.
size_t SchemeLength(const std::string& source) {
  const size_t n = platform::SchemePrefixLength(platform::SchemeOf(source));
  return source.size() > n ? n : 0;
}

// The library tells URLs from paths by their scheme (any case), so names go to it as given.
std::string LibraryName(const std::string& source) {
  if (source.size() > kMaxLibraryName) {
    throw CommandError(source + ": name too long for the library (" +
                       std::to_string(source.size()) + " characters, at most " +
                       std::to_string(kMaxLibraryName) + ")");
  }
  return source;
}

// Checks a local path before the library sees it, so that each cause gets its own message.
int64_t CheckLocalFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) throw CommandError(path + ": no such file");
    throw CommandError(path + ": " + std::strerror(errno));
  }
  if (S_ISDIR(st.st_mode)) throw CommandError(path + ": is a directory, not a sequence file");
  if (::access(path.c_str(), R_OK) != 0) throw CommandError(path + ": permission denied");
  if (st.st_size < seq::kMinSourceLength) {
    throw CommandError(path + ": not a sequence file (" + std::to_string(st.st_size) +
                       " bytes; a \"ser\" or \"se1\" file has at least 55)");
  }
  return st.st_size;
}

}  // namespace

bool IsUrl(const std::string& source) { return SchemeLength(source) != 0; }

Sequence::Sequence(const std::string& source) : source_(source) {
  if (source.empty()) throw CommandError("empty source name");
  if (!IsUrl(source)) fileLength_ = CheckLocalFile(source);
  const std::string name = LibraryName(source);
  decoder_ = Ser_CreateSerFileDecode();
  if (!decoder_) throw CommandError("out of memory creating a decoder");
  const int opened = Ser_SetSerFileName(decoder_, name.c_str());
  if (opened == -1) {
    Ser_FinishSerFileDecode(decoder_);
    throw CommandError(source + ": not a sequence file (neither a \"ser\" nor an \"se1\" file)");
  }
  if (opened != 1) {
    Ser_FinishSerFileDecode(decoder_);
    if (!IsUrl(source))
      throw CommandError(source + ": the library could not open it as a sequence file");
    const std::string reason = ProbeUrlFailure(source);
    throw CommandError(
        source + ": cannot open the URL (" +
        (reason.empty() ? "it answers, but is too short to be a sequence file" : reason) + ")");
  }
  type_ = Ser_GetSerFileType(decoder_);
  uint8_t raw[seq::kHeadBufBytes] = {};
  infoLength_ = Ser_GetSerFileInfo(decoder_, raw, sizeof raw);
  const size_t shown = IsSe1() ? sizeof raw : seq::kSerTrailerBytes;
  infoBytes_.assign(raw, raw + shown);
  if (IsSe1()) {
    Ser_BufToSerHeadInfo(raw, &head_);
    info_ = head_.info;
  } else {
    Ser_BufToSerInfo(raw, &info_);
  }
}

Sequence::~Sequence() { Ser_FinishSerFileDecode(decoder_); }

bool Sequence::First() {
  if (!IsSe1() && info_.wFrameCount == 0) return false;
  if (Ser_MoveFirst(decoder_) != 1) return false;
  SetPositionAfterMove(-1);
  return true;
}

// The library's position while it fits in an int, else the one the caller tracked.
void Sequence::SetPositionAfterMove(int64_t tracked) {
  const int reported = Ser_GetCurrentFramePos(decoder_);
  position_ = reported >= 0 ? reported : tracked;
}

bool Sequence::Next() {
  const int64_t before = position_;
  if (!IsSe1()) {
    const int next = CurrentNumber() + 1;
    if (next >= info_.wFrameCount) return false;
    if (Ser_MoveTo(decoder_, next) != 1) return false;
    SetPositionAfterMove(before >= 0 && serStride_ > 0 ? before + serStride_ : -1);
    if (before >= 0 && position_ > before && serStride_ == 0) serStride_ = position_ - before;
    return true;
  }
  // The library steps along the chain by the sub-header's length, refusing lengths that do not
  // move forward, and counts the frames.
  const int32_t step = CurrentSubHead().nFrameLen;
  if (Ser_MoveCurrentFrameNo(decoder_, +1) != 1) return false;
  SetPositionAfterMove(before >= 0 && step > 0 ? before + step : -1);
  return true;
}

void Sequence::GoTo(int frameNo) {
  const int count = info_.wFrameCount;
  if (frameNo < 0 || (count > 0 && frameNo >= count) || (!IsSe1() && count == 0)) {
    throw CommandError(
        source_ + ": frame " + std::to_string(frameNo) + " out of range (" +
        (count > 0 ? "frames 0.." + std::to_string(count - 1) : std::string("no frames")) + ")");
  }
  if (!IsSe1()) {
    if (Ser_MoveTo(decoder_, frameNo) != 1) {
      throw CommandError(source_ + ": cannot move to frame " + std::to_string(frameNo));
    }
    SetPositionAfterMove(serStride_ > 0 ? int64_t{frameNo} * serStride_ : -1);
    return;
  }
  // The frame search may settle on a neighbour (remote sources); walking the chain is exact.
  if (Ser_MoveTo(decoder_, frameNo) == 1 && CurrentNumber() == frameNo &&
      CurrentSubHead().nFrameNo == frameNo) {
    SetPositionAfterMove(-1);
    return;
  }
  if (!First()) throw CommandError(source_ + ": cannot read the first frame");
  while (CurrentNumber() < frameNo) {
    if (!Next()) {
      throw CommandError(source_ + ": frame " + std::to_string(frameNo) +
                         " out of range (the frames end at " + std::to_string(CurrentNumber()) +
                         ")");
    }
  }
}

int Sequence::CurrentNumber() const { return Ser_GetCurrentFrameNo(decoder_); }

int64_t Sequence::CurrentPosition() const { return position_; }

SubHeadInfo Sequence::CurrentSubHead() {
  uint8_t raw[seq::kSubHeadBytes] = {};
  Ser_GetCurrentSubHeadInfo(decoder_, raw);
  SubHeadInfo sub{};
  Ser_BufToSubHeadInfo(raw, &sub);
  return sub;
}

FrameEntry Sequence::Current() {
  FrameEntry entry;
  entry.number = CurrentNumber();
  entry.position = position_;
  entry.length = Ser_GetCurrentFrameDataLength(decoder_);
  entry.colour = Ser_GetColorStatus(decoder_);
  if (IsSe1()) {
    const SubHeadInfo sub = CurrentSubHead();
    for (int i = 0; i < 3; ++i) {
      const unsigned char c = static_cast<unsigned char>(sub.chCodec[i]);
      entry.codec += std::isprint(c) ? static_cast<char>(c) : '?';
    }
    entry.width = sub.wWidth;
    entry.height = sub.wHeight;
    entry.span = sub.nFrameLen;
  } else {
    entry.span = entry.length;
    entry.codec = "raw";
    entry.width = kSerWidth;
    entry.height = kSerHeight;
  }
  return entry;
}

std::string Sequence::FrameLabel() const {
  return source_ + ": frame " + std::to_string(CurrentNumber());
}

bool Sequence::CodecIs(const char* tag) {
  return strncasecmp(CurrentSubHead().chCodec, tag, 3) == 0;
}

void Sequence::RequireDecodableCodec() {
  if (IsSe1() && !CodecIs("JPE") && !CodecIs("JPG")) {
    throw CommandError(FrameLabel() + ": codec tag \"" + Current().codec +
                       "\" is neither JPE nor JPG; only --as raw can extract it");
  }
}

std::vector<uint8_t> Sequence::StoredData() {
  int w = 0, h = 0, aux = 0;
  const int length = Ser_GetCurrentFrameDataLength(decoder_);
  FrameBuffer data(Ser_GetCurrentFrameDataBuf(decoder_, &w, &h, &aux, 0), {decoder_});
  if (!data || length < 1) throw CommandError(FrameLabel() + ": cannot read the frame data");
  return std::vector<uint8_t>(data.get(), data.get() + length);
}

Picture Sequence::DecodedSe1() {
  RequireDecodableCodec();
  // The stored stream decodes upright in RGB order whatever the tag says.
  return DecodeJpeg(StoredData(), FrameLabel());
}

Picture Sequence::UprightRgb() {
  if (IsSe1()) return WidenToRgb(DecodedSe1());
  int w = 0, h = 0, aux = 0;
  FrameBuffer rgb(Ser_GetCurrentFrameDataBuf(decoder_, &w, &h, &aux, 3), {decoder_});
  if (!rgb || w < 1 || h < 1)
    throw CommandError(FrameLabel() + ": the library could not decode it");
  Picture picture = Picture::Rgb(w, h);
  std::copy_n(rgb.get(), picture.pixels.size(), picture.pixels.begin());
  return picture;
}

Picture Sequence::Grey() {
  if (IsSe1()) return ToGrey(DecodedSe1());
  // A "ser" frame's first 768 x 288 bytes are its grey picture or its luminance plane.
  int w = 0, h = 0, aux = 0;
  FrameBuffer grey(Ser_GetCurrentFrameDataBuf(decoder_, &w, &h, &aux, 1), {decoder_});
  if (!grey || w < 1 || h < 1) throw CommandError(FrameLabel() + ": cannot read the frame data");
  Picture picture{w, h, 1, std::vector<uint8_t>(grey.get(), grey.get() + w * h)};
  return picture;
}

std::vector<uint8_t> Sequence::Yuv422(int* width, int* height) {
  if (IsSe1()) {
    const Picture decoded = DecodedSe1();
    std::vector<uint8_t> yuv(static_cast<size_t>(decoded.width) * decoded.height * 2);
    ToYuv422Planes(decoded.pixels.data(), decoded.width, decoded.height, decoded.channels,
                   yuv.data());
    *width = decoded.width;
    *height = decoded.height;
    return yuv;
  }
  int aux = 0;
  FrameBuffer yuv(Ser_GetCurrentFrameDataBuf(decoder_, width, height, &aux, 2), {decoder_});
  if (!yuv || *width < 1 || *height < 1) {
    throw CommandError(FrameLabel() + ": cannot read the frame data");
  }
  return std::vector<uint8_t>(yuv.get(), yuv.get() + static_cast<size_t>(*width) * *height * 2);
}

Bitmap Sequence::ForDrawing() { return ToBitmap(UprightRgb()); }

}  // namespace vialto::cli
