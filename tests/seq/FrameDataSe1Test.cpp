// Frame retrieval from "se1" files: JPEG frames checked against an independent libjpeg decode,
// the codec-tag rules of the two operations, type 4, and corrupt or vanishing frames.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Alloc.h"
#include "platform/Notice.h"
#include "platform/net/InternetSession.h"
#include "seq/SerFileDecode.h"
#include "support/GuardedBuffer.h"
#include "support/SampleBuilder.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using vialto::test::Bytes;
using vialto::test::GuardedBuffer;
using vialto::test::Se1Frame;
using vialto::test::Se1Sample;
using vialto::test::TempDir;

struct DecoderCloser {
  void operator()(CSerFileDecode* d) const { Ser_FinishSerFileDecode(d); }
};
using Decoder = std::unique_ptr<CSerFileDecode, DecoderCloser>;

struct Picture {
  Bytes pixels;
  int w = 0, h = 0, bpp = 0;  // bytes per pixel
};

// libjpeg with its defaults, as a host would decode the stored stream.
Picture DecodeWithLibjpeg(const unsigned char* data, std::size_t n) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(n));
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  Picture p;
  p.w = static_cast<int>(cinfo.output_width);
  p.h = static_cast<int>(cinfo.output_height);
  p.bpp = cinfo.output_components;
  p.pixels.resize(static_cast<std::size_t>(p.w) * p.h * p.bpp);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = p.pixels.data() + static_cast<std::size_t>(cinfo.output_scanline) * p.w * p.bpp;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return p;
}
Picture DecodeWithLibjpeg(const Bytes& jpeg) { return DecodeWithLibjpeg(jpeg.data(), jpeg.size()); }

// B,G,R (for colour) with the bottom row first.
Bytes BitmapOrder(const Picture& p) {
  Bytes out(p.pixels.size());
  const std::size_t row = static_cast<std::size_t>(p.w) * p.bpp;
  for (int y = 0; y < p.h; ++y) {
    const unsigned char* src = p.pixels.data() + y * row;
    unsigned char* dst = out.data() + (p.h - 1 - y) * row;
    std::memcpy(dst, src, row);
    if (p.bpp == 3)
      for (std::size_t x = 0; x < row; x += 3) std::swap(dst[x], dst[x + 2]);
  }
  return out;
}

Bytes Encoded(const Bytes& pixels, int w, int h, int depth, int quality) {
  uint32_t length = 0;
  unsigned char* jpeg = RGBToJpeg(pixels.data(), w, h, depth, quality, &length);
  EXPECT_NE(jpeg, nullptr);
  Bytes out(jpeg, jpeg + (jpeg ? length : 0));
  Ser_DeleteRGBToJpegBuf(jpeg);
  return out;
}

// One output of one operation, copied out through the Ex copy variant into a buffer of exactly the
// reported length, so a copy that runs past it faults.
struct Out {
  Bytes bytes;
  int w = -1, h = -1, aux = -1;
  bool ok = false;
};

Out Fetch(CSerFileDecode* d, bool ex, int type) {
  Out out;
  int length = 0;
  unsigned char* p = ex ? Ser_GetCurrentFrameDataBufEx(d, &out.w, &out.h, &out.aux, &length, type)
                        : Ser_GetCurrentFrameDataBuf(d, &out.w, &out.h, &out.aux, type);
  if (!p) return out;
  Ser_DeleteFrameDataBuf(d, p);
  if (!ex) {
    const int bytes[] = {Ser_GetCurrentFrameDataLength(d), out.w * out.h, out.w * out.h * 2,
                         out.w * out.h * 3};
    length = bytes[type];
  }
  GuardedBuffer dst(static_cast<std::size_t>(length));
  int w, h, aux, copied = length;
  unsigned char* r = ex ? Ser_CopyCurrentFrameDataEx(d, &w, &h, &aux, &copied, type, dst.data())
                        : Ser_CopyCurrentFrameData(d, &w, &h, &aux, type, dst.data());
  EXPECT_EQ(r, dst.data());
  EXPECT_EQ(copied, length);
  out.bytes.assign(dst.data(), dst.data() + length);
  out.ok = true;
  return out;
}

class Se1Frames : public ::testing::Test {
 protected:
  // Frames: 0 "JPG", 1 "jpg", 2 "JPE", 3 "PNG", 4 grey "JPG", 5 grey "JPE".
  void SetUp() override {
    Se1Frame colour;
    colour.width = 40;
    colour.height = 30;
    colour.byVal1D = 7;
    for (const char* codec : {"JPG", "jpg", "JPE", "PNG"}) {
      colour.codec = codec;
      sample_.AddFrame(colour);
    }
    Se1Frame grey = colour;
    grey.greyPicture = true;
    grey.width = 34;
    for (const char* codec : {"JPG", "JPE"}) {
      grey.codec = codec;
      sample_.AddFrame(grey);
    }
  }

  Decoder OpenAt(int frameNo) {
    sample_.Write(path_);
    Decoder d(Ser_CreateSerFileDecode());
    EXPECT_EQ(Ser_SetSerFileName(d.get(), path_.c_str()), 1);
    EXPECT_EQ(Ser_MoveTo(d.get(), frameNo), 1);
    return d;
  }

  TempDir dir_;
  std::string path_ = dir_.File("seq.se1");
  Se1Sample sample_;
};

TEST_F(Se1Frames, TagsDecideWhichOperationTurnsThePicture) {
  for (int frameNo : {0, 1, 2}) {
    SCOPED_TRACE(frameNo);
    Decoder d = OpenAt(frameNo);
    const Picture decoded = DecodeWithLibjpeg(sample_.FrameData(frameNo));
    const bool jpe = frameNo == 2;
    const Out buf = Fetch(d.get(), false, 3), ex = Fetch(d.get(), true, 3);
    ASSERT_TRUE(buf.ok && ex.ok);
    EXPECT_EQ(buf.bytes, jpe ? BitmapOrder(decoded) : decoded.pixels);
    EXPECT_EQ(ex.bytes, jpe ? decoded.pixels : BitmapOrder(decoded));
    EXPECT_EQ(buf.w, 40);
    EXPECT_EQ(buf.h, 30);
    EXPECT_EQ(buf.aux, 7);

    // Grey and YUV come from the same (turned or not) picture.
    Bytes grey(40 * 30), yuv(40 * 30 * 2);
    RGBToGray(buf.bytes.data(), grey.data(), 40, 30);
    RGBToYUV422Plane(ex.bytes.data(), yuv.data(), 40, 30);
    EXPECT_EQ(Fetch(d.get(), false, 1).bytes, grey);
    EXPECT_EQ(Fetch(d.get(), true, 2).bytes, yuv);
  }
}

TEST_F(Se1Frames, UnknownTagIsOnlyHandedOutAsStored) {
  Decoder d = OpenAt(3);
  const Bytes stored = sample_.FrameData(3);
  EXPECT_EQ(Fetch(d.get(), false, 0).bytes, stored);
  EXPECT_EQ(Fetch(d.get(), true, 0).bytes, stored);
  for (int type = 1; type <= 4; ++type) {
    EXPECT_FALSE(Fetch(d.get(), true, type).ok) << type;
    if (type < 4) {
      EXPECT_FALSE(Fetch(d.get(), false, type).ok) << type;
    }
  }
}

TEST_F(Se1Frames, JpegOutput) {
  {  // "JPE": the stored stream, byte for byte
    Decoder d = OpenAt(2);
    const Out jpeg = Fetch(d.get(), true, 4);
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(static_cast<int>(jpeg.bytes.size()), Ser_GetCurrentFrameDataLength(d.get()));
    EXPECT_EQ(jpeg.bytes, sample_.FrameData(2));
  }
  for (int frameNo : {0, 4}) {  // "JPG": the bitmap-order picture re-encoded, 512 bytes more
    SCOPED_TRACE(frameNo);
    Decoder d = OpenAt(frameNo);
    const Picture decoded = DecodeWithLibjpeg(sample_.FrameData(frameNo));
    const Bytes expected =
        Encoded(BitmapOrder(decoded), decoded.w, decoded.h, decoded.bpp == 3 ? 24 : 8, 85);
    const Out jpeg = Fetch(d.get(), true, 4);
    ASSERT_TRUE(jpeg.ok);
    ASSERT_EQ(jpeg.bytes.size(), expected.size() + 512);
    EXPECT_EQ(Bytes(jpeg.bytes.begin(), jpeg.bytes.begin() + expected.size()), expected);
    EXPECT_EQ(Bytes(jpeg.bytes.end() - 512, jpeg.bytes.end()), Bytes(512, 0));
    EXPECT_EQ(DecodeWithLibjpeg(jpeg.bytes).bpp, decoded.bpp);
  }
}

TEST_F(Se1Frames, GreyPicturesAreFlippedButNotSwapped) {
  for (int frameNo : {4, 5}) {
    SCOPED_TRACE(frameNo);
    Decoder d = OpenAt(frameNo);
    const Picture decoded = DecodeWithLibjpeg(sample_.FrameData(frameNo));
    ASSERT_EQ(decoded.bpp, 1);
    const int n = decoded.w * decoded.h;
    const Bytes flipped = BitmapOrder(decoded);
    const bool jpg = frameNo == 4;
    const Bytes& forBuf = jpg ? decoded.pixels : flipped;
    const Bytes& forEx = jpg ? flipped : decoded.pixels;
    EXPECT_EQ(Fetch(d.get(), false, 1).bytes, forBuf);
    EXPECT_EQ(Fetch(d.get(), true, 1).bytes, forEx);
    Bytes yuv = forBuf;
    yuv.resize(2 * n, 128);
    EXPECT_EQ(Fetch(d.get(), false, 2).bytes, yuv);
    Bytes rgb(3 * n);
    GrayToRGB(forEx.data(), rgb.data(), decoded.w, decoded.h);
    EXPECT_EQ(Fetch(d.get(), true, 3).bytes, rgb);

    // The grey picture is handed out in its decode buffer; its unused tail is zero.
    int w, h, aux;
    unsigned char* p = Ser_GetCurrentFrameDataBuf(d.get(), &w, &h, &aux, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Bytes(p + n, p + 3 * n), Bytes(2 * n, 0));
    Ser_DeleteFrameDataBuf(d.get(), p);
  }
}

TEST_F(Se1Frames, CorruptFramesGiveNullResults) {
  Se1Frame absurd;
  absurd.frameLen = 0x7fff0000;  // gigabytes the file does not have
  Se1Frame empty;
  empty.frameLen = 64;
  Se1Frame garbage;
  garbage.data = vialto::test::RandomBytes(3000, 5);
  sample_.AddFrame(absurd).AddFrame(empty).AddFrame(garbage);
  Decoder d = OpenAt(6);
  EXPECT_EQ(Ser_GetCurrentFrameDataLength(d.get()), 0x7fff0000 - 64);
  for (int type = 0; type <= 4; ++type) EXPECT_FALSE(Fetch(d.get(), true, type).ok) << type;

  d = OpenAt(7);
  EXPECT_EQ(Ser_GetCurrentFrameDataLength(d.get()), 0);
  EXPECT_FALSE(Fetch(d.get(), true, 0).ok);

  d = OpenAt(8);
  int notices = 0;
  const Out random = [&] {
    vialto::platform::ScopedNoticeSink count(
        [&](std::string_view, std::string_view) { ++notices; });
    return Fetch(d.get(), false, 3);
  }();
  EXPECT_FALSE(random.ok);
  EXPECT_EQ(notices, 1);  // the codec's fatal-error notice
  EXPECT_EQ(random.w, 0);
  EXPECT_EQ(random.h, 0);
  EXPECT_EQ(Fetch(d.get(), false, 0).bytes, *garbage.data);
}

TEST_F(Se1Frames, AFrameTheFileEndsInsideIsNeverHandedOut) {
  const Bytes stored = sample_.FrameData(5);
  sample_.Truncate(sample_.Positions()[5] + 64 + 100);
  Decoder d = OpenAt(5);
  EXPECT_EQ(Ser_GetCurrentFrameDataLength(d.get()), static_cast<int>(stored.size()));
  for (int type = 0; type <= 4; ++type) EXPECT_FALSE(Fetch(d.get(), true, type).ok) << type;
  EXPECT_FALSE(Fetch(d.get(), false, 0).ok);
  Bytes read(stored.size(), 0xEE);
  EXPECT_EQ(Ser_GetCurrentFrameData(d.get(), read.data(), static_cast<int>(read.size())), 0);
  // What did arrive is the frame's own; the rest is never stale memory.
  EXPECT_TRUE(std::equal(read.begin(), read.begin() + 100, stored.begin()));
  for (std::size_t i = 100; i < read.size(); ++i) ASSERT_EQ(read[i], 0) << i;
  // A read of only the bytes that are there still fails: the frame is cut.
  EXPECT_EQ(Ser_GetCurrentFrameData(d.get(), read.data(), 100), 0);
}

// A remote source whose transport breaks on every read.
class BrokenRemote : public vialto::seq::Source {
 public:
  explicit BrokenRemote(int64_t length) : length_(length) {}
  int64_t Length() const override { return length_; }
  bool ReadAt(int64_t, void*, std::size_t, std::size_t*) override {
    throw vialto::platform::InternetError("connection reset");
  }

 private:
  int64_t length_;
};

TEST_F(Se1Frames, InternetErrorsBecomeNullResults) {
  Decoder d = OpenAt(0);
  d->m_nSourceKind = vialto::seq::kHttp;
  d->m_pFile = std::make_unique<BrokenRemote>(d->m_nFileLength);
  unsigned char byte;
  EXPECT_EQ(Ser_GetCurrentFrameData(d.get(), &byte, 1), 0);
  for (int type = 0; type <= 4; ++type) EXPECT_FALSE(Fetch(d.get(), true, type).ok) << type;
  EXPECT_EQ(d->m_bOpen, 1);
}

// Every allocation of every output path fails in turn; LeakSanitizer checks nothing stays behind.
TEST_F(Se1Frames, AllocationFailuresLeaveNothingAllocated) {
  vialto::platform::ScopedNoticeSink quiet([](std::string_view, std::string_view) {});
  for (int frameNo : {0, 2, 4}) {
    Decoder d = OpenAt(frameNo);
    for (int type = 0; type <= 4; ++type) {
      for (int successes = 0; successes < 8; ++successes) {
        int w, h, aux, length;
        vialto::platform::FailAllocationsAfter(successes);
        unsigned char* p = Ser_GetCurrentFrameDataBufEx(d.get(), &w, &h, &aux, &length, type);
        vialto::platform::FailAllocationsAfter(-1, 0);
        if (p) {
          EXPECT_GT(length, 0);
        }
        Ser_DeleteFrameDataBuf(d.get(), p);
        vialto::platform::FailAllocationsAfter(successes);
        p = Ser_GetCurrentFrameDataBuf(d.get(), &w, &h, &aux, type);
        vialto::platform::FailAllocationsAfter(-1, 0);
        Ser_DeleteFrameDataBuf(d.get(), p);
      }
    }
  }
}

}  // namespace
