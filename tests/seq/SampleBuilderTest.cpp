// The sample builder is what every sequence test stands on: check that its files are what they
// claim to be, independently of the decoder.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "support/SampleBuilder.h"

namespace {

using namespace vialto::test;

uint32_t Le32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

struct JpegJump {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

// Decodes with libjpeg; false when the stream is not a JPEG.
bool Decode(const Bytes& jpeg, Bytes* pixels, int* w, int* h, int* comps) {
  jpeg_decompress_struct cinfo;
  JpegJump err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = [](j_common_ptr c) {
    std::longjmp(reinterpret_cast<JpegJump*>(c->err)->jump, 1);
  };
  err.mgr.output_message = [](j_common_ptr) {};
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  *w = static_cast<int>(cinfo.output_width), *h = static_cast<int>(cinfo.output_height);
  *comps = cinfo.output_components;
  pixels->assign(static_cast<std::size_t>(*w) * *h * *comps, 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &(*pixels)[cinfo.output_scanline * static_cast<std::size_t>(*w) * *comps];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

TEST(SampleBuilder, SerLayoutFollowsTheColourMode) {
  SerSample two;
  two.Frames(5).Modes(2, 2);
  const Bytes file = two.Build();
  EXPECT_EQ(static_cast<int64_t>(file.size()), 4 * kSerGreyBytes + kSerColourBytes + 54);
  EXPECT_EQ(two.FrameLength(3), kSerGreyBytes);
  EXPECT_EQ(two.FrameLength(4), kSerColourBytes);  // the last frame of mode 2 is in colour
  EXPECT_EQ(Le32(file, 3 * kSerGreyBytes), 3u);    // frames carry their number up front
  EXPECT_NE(two.FrameBytes(1), two.FrameBytes(2));
  SerInfo info;
  Ser_BufToSerInfo(file.data() + file.size() - 54, &info);
  EXPECT_EQ(std::memcmp(info.chSign, "ser", 3), 0);
  EXPECT_EQ(info.wFrameCount, 5);
  EXPECT_EQ(info.byColorMode, 2);
  SerSample one;
  EXPECT_EQ(one.Frames(3).Modes(1, 1).FileLength(), 3 * kSerColourBytes + 54);
}

TEST(SampleBuilder, Se1FramesAreRealJpegsOnACorrectChain) {
  Se1Sample sample;
  sample.AddFrames(6).HeadLength(333);
  sample.Frame(2).greyPicture = true;
  sample.Frame(3).width = 77;
  sample.Frame(3).height = 41;
  sample.Frame(4).padding = 1000;
  const Bytes file = sample.Build();
  EXPECT_EQ(Le32(file, 64), 333u);
  const auto positions = sample.Positions();
  const auto lengths = sample.Lengths();
  EXPECT_EQ(positions[0], 333);
  EXPECT_EQ(positions.back() + lengths.back(), static_cast<int64_t>(file.size()));
  for (int i = 0; i < 6; ++i) {
    SubHeadInfo sub;
    Ser_BufToSubHeadInfo(&file[positions[i]], &sub);
    EXPECT_EQ(std::memcmp(sub.chMark, "QXAAAAAA", 8), 0);
    EXPECT_EQ(sub.nFrameNo, i);
    EXPECT_EQ(sub.nFrameLen, lengths[i]);
    EXPECT_EQ(sub.nPrevFrameLen, i ? lengths[i - 1] : 0);
    const Bytes data(file.begin() + positions[i] + 64, file.begin() + positions[i] + lengths[i]);
    EXPECT_EQ(data, sample.FrameData(i));
    Bytes pixels;
    int w = 0, h = 0, comps = 0;
    ASSERT_TRUE(Decode(data, &pixels, &w, &h, &comps)) << i;
    EXPECT_EQ(w, sub.wWidth);
    EXPECT_EQ(h, sub.wHeight);
    EXPECT_EQ(comps, i == 2 ? 1 : 3);
    // Within a few levels of the picture it was made from.
    const Bytes source = Se1Sample::Picture(i, w, h, comps == 1);
    int worst = 0;
    for (std::size_t k = 0; k < pixels.size(); ++k)
      worst = std::max(worst, std::abs(pixels[k] - source[k]));
    EXPECT_LE(worst, 12) << i;
  }
}

TEST(SampleBuilder, PlacementPaddingPatchesAndTruncation) {
  Se1Sample sample;
  sample.AddFrames(4);
  sample.PlaceFrameAt(2, 5000).PadTo(12000);
  EXPECT_EQ(sample.Positions()[2], 5000);
  EXPECT_EQ(sample.FileLength(), 12000);
  EXPECT_EQ(sample.SearchWindow(), 3000);
  EXPECT_THROW(sample.PlaceFrameAt(1, 10), std::invalid_argument);
  sample.StrayMarker(7000, 42).Truncate(11000);
  const Bytes file = sample.Build();
  EXPECT_EQ(file.size(), 11000u);
  EXPECT_EQ(std::memcmp(&file[7000], "QXAAAAAA", 8), 0);
  EXPECT_EQ(Le32(file, 7012), 42u);
  SubHeadInfo sub;
  Ser_BufToSubHeadInfo(&file[5000], &sub);
  EXPECT_EQ(sub.nFrameNo, 2);
  EXPECT_EQ(sub.nPrevFrameLen, 5000 - sample.Positions()[1]);
}

}  // namespace
