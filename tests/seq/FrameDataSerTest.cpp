// Frame retrieval from "ser" files, played end to end through the exports, and the failure paths
// that every file type shares.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/Alloc.h"
#include "support/GuardedBuffer.h"
#include "support/SampleBuilder.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using vialto::test::Bytes;
using vialto::test::GuardedBuffer;
using vialto::test::SerSample;
using vialto::test::TempDir;

constexpr int kW = 768, kH = 288, kPixels = kW * kH;

struct DecoderCloser {
  void operator()(CSerFileDecode* d) const { Ser_FinishSerFileDecode(d); }
};
using Decoder = std::unique_ptr<CSerFileDecode, DecoderCloser>;

Decoder Open(const std::string& path) {
  Decoder d(Ser_CreateSerFileDecode());
  EXPECT_EQ(Ser_SetSerFileName(d.get(), path.c_str()), 1);
  return d;
}

// A frame buffer handed out by the library, compared and then released through the export.
struct FrameBuf {
  CSerFileDecode* d;
  unsigned char* p;
  ~FrameBuf() { Ser_DeleteFrameDataBuf(d, p); }
  Bytes Head(std::size_t n) const { return Bytes(p, p + n); }
};

FrameBuf Buf(CSerFileDecode* d, int type, int* w, int* h, int* aux) {
  return {d, Ser_GetCurrentFrameDataBuf(d, w, h, aux, type)};
}
FrameBuf BufEx(CSerFileDecode* d, int type, int* w, int* h, int* aux, int* length) {
  return {d, Ser_GetCurrentFrameDataBufEx(d, w, h, aux, length, type)};
}

class SerFrames : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.File("seq.ser");
};

TEST_F(SerFrames, ColourFileHandsOutTheFrameAndItsLuminance) {
  SerSample sample;
  sample.Frames(3).Modes(1, 1).Write(path_);
  Decoder d = Open(path_);
  ASSERT_EQ(Ser_MoveTo(d.get(), 1), 1);
  EXPECT_EQ(Ser_GetColorStatus(d.get()), 1);
  EXPECT_EQ(Ser_GetCurrentFrameDataLength(d.get()), 0x6c000);
  const Bytes frame = sample.FrameBytes(1);

  Bytes read(0x6c000);
  EXPECT_EQ(Ser_GetCurrentFrameData(d.get(), read.data(), 0x6c000), 1);
  EXPECT_EQ(read, frame);
  EXPECT_EQ(Ser_GetCurrentFrameData(d.get(), read.data(), 0), 0);

  int w = 0, h = 0, aux = -1, length = 0;
  FrameBuf stored = BufEx(d.get(), 0, &w, &h, &aux, &length);
  ASSERT_NE(stored.p, nullptr);
  EXPECT_EQ(length, 0x6c000);
  EXPECT_EQ(stored.Head(0x6c000 + 4096), [&] {
    Bytes b = frame;
    b.resize(0x6c000 + 4096);
    return b;
  }());
  EXPECT_EQ(w, kW);
  EXPECT_EQ(h, kH);
  EXPECT_EQ(aux, 0);

  GuardedBuffer luma(kPixels);
  EXPECT_EQ(Ser_CopyCurrentFrameData(d.get(), &w, &h, &aux, 1, luma.data()), luma.data());
  EXPECT_EQ(Bytes(luma.data(), luma.data() + kPixels),
            Bytes(frame.begin(), frame.begin() + kPixels));
}

TEST_F(SerFrames, GreyFileWithColourLastFrame) {
  SerSample sample;
  sample.Frames(5).Modes(2, 2).Write(path_);
  Decoder d = Open(path_);
  for (int n = 0; n < 5; ++n) {
    ASSERT_EQ(Ser_MoveTo(d.get(), n), 1);
    EXPECT_EQ(Ser_GetColorStatus(d.get()), n == 4 ? 1 : 0) << n;
    EXPECT_EQ(Ser_GetCurrentFrameDataLength(d.get()), n == 4 ? 0x6c000 : 0x36000) << n;
  }
  // Frame 4 as RGB24 is exactly the YUV converter's work on the stored frame.
  Bytes expected(0xa2000, 0);
  YUV422PlaneToRGB(sample.FrameBytes(4).data(), expected.data(), kW, kH);
  int w, h, aux, length;
  FrameBuf rgb = BufEx(d.get(), 3, &w, &h, &aux, &length);
  ASSERT_NE(rgb.p, nullptr);
  EXPECT_EQ(length, kPixels * 3);
  EXPECT_EQ(rgb.Head(0xa2000), expected);

  GuardedBuffer copy(kPixels * 3);
  EXPECT_EQ(Ser_CopyCurrentFrameData(d.get(), &w, &h, &aux, 3, copy.data()), copy.data());
  EXPECT_EQ(Bytes(copy.data(), copy.data() + copy.size()),
            Bytes(expected.begin(), expected.begin() + kPixels * 3));
  // Type 2 of the colour frame is the stored frame, unchanged.
  FrameBuf yuv = Buf(d.get(), 2, &w, &h, &aux);
  ASSERT_NE(yuv.p, nullptr);
  EXPECT_EQ(yuv.Head(0x6c000), sample.FrameBytes(4));
}

TEST_F(SerFrames, GreyFrameAsYuvRgbAndJpeg) {
  SerSample sample;
  sample.Frames(2).Modes(2, 2).Write(path_);
  Decoder d = Open(path_);
  const Bytes grey = sample.FrameBytes(0);
  int w, h, aux, length;

  GuardedBuffer yuv(kPixels * 2);
  EXPECT_EQ(Ser_CopyCurrentFrameDataEx(d.get(), &w, &h, &aux, &length, 2, yuv.data()), yuv.data());
  EXPECT_EQ(length, kPixels * 2);
  Bytes expectedYuv = grey;
  expectedYuv.resize(kPixels * 2, 128);
  EXPECT_EQ(Bytes(yuv.data(), yuv.data() + yuv.size()), expectedYuv);

  Bytes rgb(0xa2000, 0);
  GrayToRGB(grey.data(), rgb.data(), kW, kH);
  FrameBuf fromGrey = Buf(d.get(), 3, &w, &h, &aux);
  ASSERT_NE(fromGrey.p, nullptr);
  EXPECT_EQ(fromGrey.Head(0xa2000), rgb);

  // Type 4: the RGB24 picture in bitmap order (B,G,R, bottom row first), encoded at quality 90.
  Bytes bitmap(rgb.size());
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW * 3; x += 3)
      for (int c = 0; c < 3; ++c)
        bitmap[(kH - 1 - y) * kW * 3 + x + c] = rgb[y * kW * 3 + x + 2 - c];
  uint32_t encoded = 0;
  unsigned char* jpeg = RGBToJpeg(bitmap.data(), kW, kH, 24, 90, &encoded);
  ASSERT_NE(jpeg, nullptr);
  const Bytes expectedJpeg(jpeg, jpeg + encoded);
  Ser_DeleteRGBToJpegBuf(jpeg);
  FrameBuf stream = BufEx(d.get(), 4, &w, &h, &aux, &length);
  ASSERT_NE(stream.p, nullptr);
  ASSERT_EQ(length, static_cast<int>(encoded));
  EXPECT_EQ(stream.Head(encoded), expectedJpeg);
}

TEST_F(SerFrames, TypesOutsideEachOperationAndNullHandles) {
  SerSample().Write(path_);
  Decoder d = Open(path_);
  int w, h, aux, length = 7;
  EXPECT_EQ(Ser_GetCurrentFrameDataBuf(d.get(), &w, &h, &aux, 4), nullptr);
  EXPECT_EQ(Ser_GetCurrentFrameDataBuf(d.get(), &w, &h, &aux, -1), nullptr);
  EXPECT_EQ(Ser_GetCurrentFrameDataBufEx(d.get(), &w, &h, &aux, &length, 5), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Ser_CopyCurrentFrameData(d.get(), &w, &h, &aux, 4, nullptr), nullptr);

  EXPECT_EQ(Ser_GetCurrentFrameDataBuf(nullptr, &w, &h, &aux, 0), nullptr);
  EXPECT_EQ(Ser_GetCurrentFrameDataBufEx(nullptr, &w, &h, &aux, &length, 0), nullptr);
  EXPECT_EQ(Ser_CopyCurrentFrameData(nullptr, &w, &h, &aux, 0, nullptr), nullptr);
  EXPECT_EQ(Ser_CopyCurrentFrameDataEx(nullptr, &w, &h, &aux, &length, 0, nullptr), nullptr);
  EXPECT_EQ(Ser_DeleteFrameDataBuf(d.get(), nullptr), 1);
}

TEST_F(SerFrames, NothingWithoutAFileOrOnceTheFileIsGone) {
  Decoder fresh(Ser_CreateSerFileDecode());
  unsigned char byte = 0;
  int w = -5, h = -5, aux = -5;
  EXPECT_EQ(Ser_GetColorStatus(fresh.get()), -1);
  EXPECT_EQ(Ser_GetCurrentFrameDataLength(fresh.get()), 0);
  EXPECT_EQ(Ser_GetCurrentFrameData(fresh.get(), &byte, 1), 0);
  EXPECT_EQ(Ser_GetCurrentFrameDataBuf(fresh.get(), &w, &h, &aux, 0), nullptr);
  EXPECT_EQ(w, -5);

  SerSample().Write(path_);
  Decoder d = Open(path_);
  std::filesystem::remove(path_);
  EXPECT_EQ(Ser_GetCurrentFrameDataBuf(d.get(), &w, &h, &aux, 0), nullptr);
  EXPECT_EQ(Ser_GetCurrentFrameData(d.get(), &byte, 1), 0);
  SerSample().Write(path_);  // the decoder gave the source up when it could not open it
  EXPECT_EQ(Ser_GetCurrentFrameDataBuf(d.get(), &w, &h, &aux, 0), nullptr);
}

// Every allocation of every output path fails in turn; LeakSanitizer checks nothing stays behind.
TEST_F(SerFrames, AllocationFailuresLeaveNothingAllocated) {
  SerSample sample;
  sample.Frames(5).Modes(2, 2).Write(path_);
  Decoder d = Open(path_);
  for (int frameNo : {0, 4}) {
    ASSERT_EQ(Ser_MoveTo(d.get(), frameNo), 1);
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
      }
    }
  }
}

}  // namespace
