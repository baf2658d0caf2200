#include "support/SampleBuilder.h"

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace vialto::test {
namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void CopySign(char* dst, const std::string& sign3) {
  std::memset(dst, 0, 3);
  std::memcpy(dst, sign3.data(), std::min<std::size_t>(3, sign3.size()));
}

// A file created (or emptied) for writing at chosen offsets; a seek past the end leaves a hole.
class SampleFile {
 public:
  explicit SampleFile(const std::string& path)
      : out_(path, std::ios::binary | std::ios::out | std::ios::trunc) {
    if (!out_) throw std::runtime_error("sample: cannot create " + path);
  }
  void WriteAt(int64_t offset, const uint8_t* bytes, std::size_t n) {
    out_.seekp(static_cast<std::streamoff>(offset));
    out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(n));
    if (!out_) throw std::runtime_error("sample: write failed");
  }
  void Close() {
    out_.close();
    if (!out_) throw std::runtime_error("sample: write failed");
  }

 private:
  std::ofstream out_;
};

struct JpegErrorExit {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegErrorExit*>(cinfo->err)->jump, 1);
}

}  // namespace

// --- "ser" -------------------------------------------------------------------------------------

SerSample::SerSample() {
  CopySign(info_.chSign, "ser");
  info_.byColorMode = 2;
  info_.byColorMode2 = 2;
}

SerSample& SerSample::Frames(int count) {
  frames_ = std::max(0, count);
  return *this;
}

SerSample& SerSample::Modes(uint8_t colorMode, uint8_t colorMode2) {
  info_.byColorMode = colorMode;
  info_.byColorMode2 = colorMode2;
  return *this;
}

SerSample& SerSample::FrameCountField(int count) {
  frameCountField_ = count;
  return *this;
}

SerSample& SerSample::Signature(const std::string& sign3) {
  CopySign(info_.chSign, sign3);
  return *this;
}

SerSample& SerSample::Sparse(bool on) {
  sparse_ = on;
  return *this;
}

int64_t SerSample::FrameLength(int frameNo) const {
  if (info_.byColorMode == 1) return kSerColourBytes;
  if (info_.byColorMode == 2 && frameNo == frames_ - 1) return kSerColourBytes;
  return kSerGreyBytes;
}

int64_t SerSample::FramePosition(int frameNo) const {
  return frameNo * (info_.byColorMode == 1 ? kSerColourBytes : kSerGreyBytes);
}

int64_t SerSample::FileLength() const {
  if (frames_ == 0) return kSerTrailer;
  return FramePosition(frames_ - 1) + FrameLength(frames_ - 1) + kSerTrailer;
}

uint8_t SerSample::PatternByte(int frameNo, int64_t offset) {
  if (offset < 4) return static_cast<uint8_t>(static_cast<uint32_t>(frameNo) >> (8 * offset));
  return static_cast<uint8_t>(offset * 7 + frameNo * 13 + (offset >> 9));
}

Bytes SerSample::FrameBytes(int frameNo) const {
  Bytes out(static_cast<std::size_t>(FrameLength(frameNo)), 0);
  const int64_t written = sparse_ ? std::min<int64_t>(kSparseStamp, out.size()) : out.size();
  for (int64_t i = 0; i < written; ++i) out[i] = PatternByte(frameNo, i);
  return out;
}

Bytes SerSample::Trailer() const {
  SerInfo info = info_;
  info.wFrameCount = static_cast<uint16_t>(frameCountField_.value_or(frames_));
  Bytes out(kSerTrailer, 0);
  Ser_SerInfoToBuf(&info, out.data(), static_cast<uint32_t>(out.size()));
  return out;
}

Bytes SerSample::Build() const {
  Bytes out(static_cast<std::size_t>(FileLength()), 0);
  for (int n = 0; n < frames_; ++n) {
    const Bytes frame = FrameBytes(n);
    std::copy(frame.begin(), frame.end(), out.begin() + FramePosition(n));
  }
  const Bytes trailer = Trailer();
  std::copy(trailer.begin(), trailer.end(), out.end() - kSerTrailer);
  return out;
}

void SerSample::Write(const std::string& path) const {
  SampleFile file(path);
  for (int n = 0; n < frames_; ++n) {
    Bytes frame = FrameBytes(n);
    if (sparse_) frame.resize(std::min<std::size_t>(frame.size(), kSparseStamp));
    file.WriteAt(FramePosition(n), frame.data(), frame.size());
  }
  const Bytes trailer = Trailer();
  file.WriteAt(FileLength() - kSerTrailer, trailer.data(), trailer.size());
  file.Close();
}

// --- "se1" -------------------------------------------------------------------------------------

Se1Sample::Se1Sample() { CopySign(head_.info.chSign, "se1"); }

Se1Sample& Se1Sample::HeadLength(uint32_t bytes) {
  headLength_ = std::max<uint32_t>(bytes, 71);
  return *this;
}

Se1Sample& Se1Sample::FrameCountField(int count) {
  frameCountField_ = count;
  return *this;
}

Se1Sample& Se1Sample::Signature(const std::string& sign3) {
  CopySign(head_.info.chSign, sign3);
  return *this;
}

Se1Sample& Se1Sample::AddFrame(const Se1Frame& frame) {
  frames_.push_back(frame);
  encoded_.emplace_back();
  return *this;
}

Se1Sample& Se1Sample::AddFrames(int count, const Se1Frame& prototype) {
  for (int i = 0; i < count; ++i) AddFrame(prototype);
  return *this;
}

Se1Frame& Se1Sample::Frame(int index) {
  encoded_.at(index).reset();  // the caller may change what the picture depends on
  return frames_.at(index);
}

void Se1Sample::PictureColour(int frameNo, uint8_t rgb[3]) {
  const uint32_t n = static_cast<uint32_t>(frameNo);
  rgb[0] = static_cast<uint8_t>(20 + (n * 53) % 180);
  rgb[1] = static_cast<uint8_t>(20 + (n * 97 + 60) % 180);
  rgb[2] = static_cast<uint8_t>(20 + (n * 31 + 120) % 180);
}

Bytes Se1Sample::Picture(int frameNo, int width, int height, bool grey) {
  uint8_t base[3];
  PictureColour(frameNo, base);
  const int channels = grey ? 1 : 3;
  Bytes out(static_cast<std::size_t>(width) * height * channels);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &out[(static_cast<std::size_t>(y) * width + x) * channels];
      const int dx = x * 32 / std::max(1, width), dy = y * 32 / std::max(1, height);
      if (grey) {
        p[0] = static_cast<uint8_t>(base[0] + dx / 2 + dy / 2);
      } else {
        p[0] = static_cast<uint8_t>(base[0] + dx);
        p[1] = static_cast<uint8_t>(base[1] + dy);
        p[2] = base[2];
      }
    }
  return out;
}

Bytes Se1Sample::EncodeJpeg(const Bytes& pixels, int width, int height, bool grey, int quality,
                            bool progressive) {
  jpeg_compress_struct cinfo;
  JpegErrorExit err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(mem);
    throw std::runtime_error("sample: JPEG encoding failed");
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  const std::size_t stride = static_cast<std::size_t>(width) * cinfo.input_components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&pixels[cinfo.next_scanline * stride]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(mem, mem + memSize);
  jpeg_destroy_compress(&cinfo);
  std::free(mem);
  return out;
}

Se1Frame PayloadFrame(int frameNo, std::size_t bytes) {
  Se1Frame f;
  Bytes data(bytes);
  for (std::size_t j = 0; j < bytes; ++j)
    data[j] = static_cast<uint8_t>(frameNo * 131 + j * 7 + (j >> 8));
  f.data = std::move(data);
  return f;
}

const Bytes& Se1Sample::PictureData(int index) const {
  std::optional<Bytes>& cached = encoded_.at(index);
  if (!cached) {
    const Se1Frame& f = frames_[index];
    cached = f.data ? *f.data
                    : EncodeJpeg(Picture(index, f.width, f.height, f.greyPicture), f.width,
                                 f.height, f.greyPicture, f.quality);
  }
  return *cached;
}

Bytes Se1Sample::FrameData(int index) const {
  Bytes out = PictureData(index);
  out.resize(out.size() + static_cast<std::size_t>(frames_.at(index).padding), 0);
  return out;
}

std::vector<int32_t> Se1Sample::Lengths() const {
  std::vector<int32_t> out;
  for (int i = 0; i < FrameCount(); ++i) out.push_back(FrameLength(i));
  return out;
}

std::vector<int64_t> Se1Sample::Positions() const {
  std::vector<int64_t> out;
  int64_t pos = headLength_;
  for (const int32_t len : Lengths()) {
    out.push_back(pos);
    pos += len;
  }
  return out;
}

int32_t Se1Sample::FrameLength(int index) const {
  return static_cast<int32_t>(kSubHeadSize + PictureData(index).size() + frames_[index].padding);
}

Bytes Se1Sample::SubHead(int index) const {
  const Se1Frame& f = frames_.at(index);
  SubHeadInfo info{};
  const std::string marker = f.marker.value_or("QXAAAAAA");
  std::memcpy(info.chMark, marker.data(), std::min<std::size_t>(8, marker.size()));
  std::memcpy(info.chCodec, f.codec.data(), std::min<std::size_t>(4, f.codec.size()));
  info.nFrameNo = f.frameNo.value_or(index);
  info.nFrameLen = f.frameLen.value_or(FrameLength(index));
  info.nPrevFrameLen = f.prevFrameLen.value_or(index == 0 ? 0 : FrameLength(index - 1));
  info.wWidth = f.storedWidth.value_or(static_cast<uint16_t>(f.width));
  info.wHeight = f.storedHeight.value_or(static_cast<uint16_t>(f.height));
  info.byColorStatus = f.colorStatus;
  info.byVal1D = f.byVal1D;
  Bytes out(kSubHeadSize, 0);
  Ser_SubHeadInfoToBuf(&info, out.data());
  return out;
}

Bytes Se1Sample::HeadBytes() const {
  SerHeadInfo head = head_;
  head.info.wFrameCount = static_cast<uint16_t>(frameCountField_.value_or(FrameCount()));
  head.dwHeadLen = headLength_;
  Bytes out(headLength_, 0);
  Ser_SerHeadInfoToBuf(&head, out.data(), static_cast<uint32_t>(out.size()));
  return out;
}

Se1Sample& Se1Sample::PlaceFrameAt(int index, int64_t offset) {
  const int64_t natural = Positions().at(index);
  if (offset < natural) throw std::invalid_argument("sample: frame cannot start that early");
  if (index == 0)
    headLength_ = static_cast<uint32_t>(offset);
  else
    frames_[index - 1].padding += offset - natural;
  return *this;
}

Se1Sample& Se1Sample::PadTo(int64_t length) {
  if (frames_.empty()) throw std::invalid_argument("sample: no frame to pad");
  const int64_t natural = Positions().back() + Lengths().back();
  if (length < natural) throw std::invalid_argument("sample: file already longer");
  frames_.back().padding += length - natural;
  return *this;
}

Se1Sample& Se1Sample::Patch(int64_t offset, const Bytes& bytes) {
  patches_.emplace_back(offset, bytes);
  return *this;
}

Se1Sample& Se1Sample::StrayMarker(int64_t offset, int32_t frameNo) {
  Bytes bytes(16, 0);
  std::memcpy(bytes.data(), "QXAAAAAA", 8);
  PutLe32(&bytes[12], static_cast<uint32_t>(frameNo));
  return Patch(offset, bytes);
}

Se1Sample& Se1Sample::Truncate(int64_t length) {
  truncate_ = length;
  return *this;
}

Bytes Se1Sample::Build() const {
  Bytes out = HeadBytes();
  for (int i = 0; i < FrameCount(); ++i) {
    const Bytes sub = SubHead(i);
    const Bytes data = FrameData(i);
    out.insert(out.end(), sub.begin(), sub.end());
    out.insert(out.end(), data.begin(), data.end());
  }
  for (const auto& [offset, bytes] : patches_) {
    if (out.size() < offset + bytes.size()) out.resize(offset + bytes.size(), 0);
    std::copy(bytes.begin(), bytes.end(), out.begin() + offset);
  }
  if (truncate_ && *truncate_ < static_cast<int64_t>(out.size())) out.resize(*truncate_);
  return out;
}

int64_t Se1Sample::FileLength() const { return static_cast<int64_t>(Build().size()); }

int64_t Se1Sample::SearchWindow() const {
  const int count = frameCountField_.value_or(FrameCount()) & 0xffff;
  return count != 0 ? FileLength() / count : FileLength() / 5;
}

void Se1Sample::Write(const std::string& path) const {
  const Bytes bytes = Build();
  SampleFile file(path);
  file.WriteAt(0, bytes.data(), bytes.size());
  file.Close();
}

}  // namespace vialto::test
