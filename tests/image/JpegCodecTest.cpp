// The JPEG memory codec through its exports, on streams made here with libjpeg's own API and
// checked against libjpeg's own decode of the same bytes.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "image/JpegCodec.h"
#include "platform/Alloc.h"
#include "platform/Notice.h"
#include "support/GuardedBuffer.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace vialto::image {
namespace {

using test::Bytes;

// ---- an independent libjpeg encoder and decoder ------------------------------------------------

struct TestError {
  jpeg_error_mgr pub;
  std::jmp_buf recovery;
};

[[noreturn]] void TestErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<TestError*>(cinfo->err)->recovery, 1);
}
void Silent(j_common_ptr) {}

enum class Sampling { k420, k422, k444 };

struct EncodeOptions {
  int quality = 85;
  Sampling sampling = Sampling::k420;
  bool progressive = false;
  unsigned restartRows = 0;
  J_COLOR_SPACE colorSpace = JCS_RGB;  // JCS_RGB, JCS_GRAYSCALE or JCS_CMYK
  std::vector<jpeg_scan_info> scans;   // a progressive scan script in place of libjpeg's own
  bool arithmetic = false;             // arithmetic coding in place of Huffman tables
};

int ComponentsOf(J_COLOR_SPACE space) {
  return space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
}

Bytes Encode(const Bytes& pixels, int width, int height, const EncodeOptions& options) {
  TestError err;
  jpeg_compress_struct cinfo{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = TestErrorExit;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  if (setjmp(err.recovery)) {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    ADD_FAILURE() << "test encoder failed";
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = ComponentsOf(options.colorSpace);
  cinfo.in_color_space = options.colorSpace;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.colorSpace == JCS_RGB) {
    const int h = options.sampling == Sampling::k444 ? 1 : 2;
    const int v = options.sampling == Sampling::k420 ? 2 : 1;
    cinfo.comp_info[0].h_samp_factor = h;
    cinfo.comp_info[0].v_samp_factor = v;
  }
  cinfo.restart_in_rows = static_cast<int>(options.restartRows);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
  if (!options.scans.empty()) {
    cinfo.scan_info = options.scans.data();
    cinfo.num_scans = static_cast<int>(options.scans.size());
  }
  jpeg_start_compress(&cinfo, TRUE);
  const std::size_t stride = std::size_t(width) * cinfo.input_components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + cinfo.next_scanline * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes stream(out, out + outSize);
  std::free(out);
  return stream;
}

struct Decoded {
  bool ok = false;
  unsigned width = 0, height = 0;
  int components = 0;
  Bytes pixels;
};

// libjpeg's own decode with its own memory source, warnings silenced.
Decoded ReferenceDecode(const Bytes& stream) {
  TestError err;
  jpeg_decompress_struct cinfo{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = TestErrorExit;
  err.pub.output_message = Silent;
  Decoded result;
  if (setjmp(err.recovery)) {
    jpeg_destroy_decompress(&cinfo);
    return Decoded{};
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, stream.data(), stream.size());
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  result.width = cinfo.output_width;
  result.height = cinfo.output_height;
  result.components = cinfo.output_components;
  const std::size_t stride = std::size_t(result.width) * result.components;
  result.pixels.resize(stride * result.height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = result.pixels.data() + cinfo.output_scanline * stride;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  result.ok = true;
  return result;
}

// A picture with gradients, an edge and some noise, so every coding path gets work.
Bytes TestPicture(int width, int height, int components, uint32_t seed = 1) {
  const Bytes noise = test::RandomBytes(std::size_t(width) * height * components, seed);
  Bytes pixels(noise.size());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c) {
        const std::size_t i = (std::size_t(y) * width + x) * components + c;
        const int edge = x > width / 2 ? 60 : 0;
        const int value =
            (x * 255 / (width + 1)) * (c + 1) / 3 + y * 90 / (height + 1) + edge + (noise[i] & 15);
        pixels[i] = static_cast<uint8_t>(value & 255);
      }
  return pixels;
}

// Every notice of the calling thread while alive.
class NoticeRecorder {
 public:
  NoticeRecorder()
      : scope_([this](std::string_view caption, std::string_view text) {
          notices_.emplace_back(std::string(caption), std::string(text));
        }) {}
  const std::vector<std::pair<std::string, std::string>>& notices() const { return notices_; }
  int Fatal() const { return Count(kJpegFatalCaption, kJpegFatalText); }
  int Count(const std::string& caption, const std::string& text) const {
    int n = 0;
    for (const auto& notice : notices_) n += notice == std::make_pair(caption, text);
    return n;
  }

 private:
  std::vector<std::pair<std::string, std::string>> notices_;
  platform::ScopedNoticeSink scope_;
};

// Our decode of a stream, with its outputs.
struct OurDecode {
  // The outputs come before the buffer: they hold their start values when the call runs.
  uint32_t width = 77, height = 77;
  int bitDepth = -5;
  unsigned char* buffer = nullptr;
  explicit OurDecode(const Bytes& stream)
      : buffer(JpegToRGB(stream.data(), static_cast<int>(stream.size()), &width, &height,
                         &bitDepth)) {}
  ~OurDecode() { Ser_DeleteJpegToRGBBuf(buffer); }
  OurDecode(const OurDecode&) = delete;
  OurDecode& operator=(const OurDecode&) = delete;
  Bytes Pixels(std::size_t n) const { return Bytes(buffer, buffer + n); }
};

struct OurEncode {
  uint32_t length = 0xdeadbeef;
  unsigned char* buffer = nullptr;
  OurEncode(const Bytes& pixels, int width, int height, int bitDepth, int quality)
      : buffer(RGBToJpeg(pixels.empty() ? nullptr : pixels.data(), width, height, bitDepth, quality,
                         &length)) {}
  ~OurEncode() { Ser_DeleteRGBToJpegBuf(buffer); }
  OurEncode(const OurEncode&) = delete;
  OurEncode& operator=(const OurEncode&) = delete;
  Bytes Stream() const { return Bytes(buffer, buffer + length); }
};

const std::string kPrematureEnd = "Premature end of JPEG file";

// ---- compression -------------------------------------------------------------------------------

TEST(JpegCompress, ColourStreamDecodesToTheSamePixelsAsLibjpeg) {
  NoticeRecorder recorder;
  const Bytes picture = TestPicture(640, 480, 3);
  OurEncode encoded(picture, 640, 480, 24, 75);
  ASSERT_NE(encoded.buffer, nullptr);
  const Bytes stream = encoded.Stream();
  ASSERT_GT(stream.size(), 4u);
  EXPECT_EQ(stream[0], 0xFF);
  EXPECT_EQ(stream[1], 0xD8);
  EXPECT_EQ(stream[stream.size() - 2], 0xFF);
  EXPECT_EQ(stream.back(), 0xD9);

  // The same settings through libjpeg's own destination give the same bytes.
  EncodeOptions options;
  options.quality = 75;
  EXPECT_EQ(stream, Encode(picture, 640, 480, options));

  OurDecode decoded(stream);
  ASSERT_NE(decoded.buffer, nullptr);
  EXPECT_EQ(decoded.width, 640u);
  EXPECT_EQ(decoded.height, 480u);
  EXPECT_EQ(decoded.bitDepth, 24);
  const Decoded reference = ReferenceDecode(stream);
  ASSERT_TRUE(reference.ok);
  EXPECT_EQ(decoded.Pixels(640 * 480 * 3), reference.pixels);
  EXPECT_TRUE(recorder.notices().empty());
}

TEST(JpegCompress, FirstByteOfAPixelIsRed) {
  Bytes red(16 * 16 * 3, 0);
  for (std::size_t i = 0; i < red.size(); i += 3) red[i] = 255;
  OurEncode encoded(red, 16, 16, 24, 90);
  ASSERT_NE(encoded.buffer, nullptr);
  const Decoded reference = ReferenceDecode(encoded.Stream());
  ASSERT_TRUE(reference.ok);
  EXPECT_GT(reference.pixels[0], 240);
  EXPECT_LT(reference.pixels[2], 16);
}

TEST(JpegCompress, GreyRoundTripsPackedWithAZeroTail) {
  const int w = 100, h = 30;
  const Bytes picture = TestPicture(w, h, 1);
  OurEncode encoded(picture, w, h, 8, 90);
  ASSERT_NE(encoded.buffer, nullptr);
  const Decoded reference = ReferenceDecode(encoded.Stream());
  ASSERT_EQ(reference.components, 1);

  OurDecode decoded(encoded.Stream());
  ASSERT_NE(decoded.buffer, nullptr);
  EXPECT_EQ(decoded.bitDepth, 8);
  const Bytes all = decoded.Pixels(w * h * 3);
  EXPECT_EQ(Bytes(all.begin(), all.begin() + w * h), reference.pixels);
  EXPECT_EQ(Bytes(all.begin() + w * h, all.end()), Bytes(w * h * 2, 0));

  // ImageJpegToRGB copies all width * height * 3 bytes, and no more.
  test::GuardedBuffer dst(w * h * 3, 0xAB);
  uint32_t width = 0, height = 0;
  int bitDepth = 0;
  const Bytes stream = encoded.Stream();
  ASSERT_EQ(
      ImageJpegToRGB(dst.data(), stream.data(), int(stream.size()), &width, &height, &bitDepth), 1);
  EXPECT_EQ(bitDepth, 8);
  EXPECT_EQ(Bytes(dst.data(), dst.data() + dst.size()), all);
}

TEST(JpegCompress, TinyAndNoisyImagesFitTheirBuffer) {
  NoticeRecorder recorder;
  for (const int bitDepth : {24, 8})
    for (const auto& [w, h] : {std::pair{1, 1}, {8, 8}, {3, 17}, {17, 3}, {64, 64}}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " depth " +
                   std::to_string(bitDepth));
      // Pure noise at quality 100 is the largest stream libjpeg makes for a size.
      const Bytes noise = test::RandomBytes(std::size_t(w) * h * bitDepth / 8, w * 131 + h);
      OurEncode encoded(noise, w, h, bitDepth, 100);
      ASSERT_NE(encoded.buffer, nullptr);
      EXPECT_LE(encoded.length, JpegCompressCapacity(w, h));
      OurDecode decoded(encoded.Stream());
      ASSERT_NE(decoded.buffer, nullptr);
      EXPECT_EQ(decoded.width, unsigned(w));
      EXPECT_EQ(decoded.height, unsigned(h));
      EXPECT_EQ(decoded.bitDepth, bitDepth);
      EXPECT_EQ(decoded.Pixels(std::size_t(w) * h * bitDepth / 8),
                ReferenceDecode(encoded.Stream()).pixels);
    }
  EXPECT_TRUE(recorder.notices().empty());
}

TEST(JpegCompress, ImageRGBToJpegCopiesTheStream) {
  const Bytes picture = TestPicture(48, 40, 3);
  OurEncode encoded(picture, 48, 40, 24, 85);
  ASSERT_NE(encoded.buffer, nullptr);
  test::GuardedBuffer dst(encoded.length);
  uint32_t length = 0;
  ASSERT_EQ(ImageRGBToJpeg(dst.data(), picture.data(), 48, 40, 24, 85, &length), 1);
  ASSERT_EQ(length, encoded.length);
  EXPECT_EQ(Bytes(dst.data(), dst.data() + length), encoded.Stream());
}

TEST(JpegCompress, RefusedInputsLeaveTheLengthAlone) {
  const Bytes picture = TestPicture(16, 16, 3);
  unsigned char dst[16];
  {
    NoticeRecorder recorder;  // nothing to compress: no notice
    EXPECT_EQ(OurEncode(picture, 0, 16, 24, 75).buffer, nullptr);
    EXPECT_EQ(OurEncode(picture, 16, 0, 24, 75).buffer, nullptr);
    OurEncode noImage({}, 16, 16, 24, 75);
    EXPECT_EQ(noImage.buffer, nullptr);
    EXPECT_EQ(noImage.length, 0xdeadbeef);
    uint32_t length = 7;
    EXPECT_EQ(ImageRGBToJpeg(dst, picture.data(), 0, 16, 24, 75, &length), 0);
    EXPECT_EQ(length, 7u);
    EXPECT_TRUE(recorder.notices().empty());
  }
  {
    NoticeRecorder recorder;  // libjpeg refuses the bit depth: one fatal notice each
    OurEncode sixteen(picture, 16, 16, 16, 75);
    EXPECT_EQ(sixteen.buffer, nullptr);
    EXPECT_EQ(sixteen.length, 0xdeadbeef);
    uint32_t length = 7;
    EXPECT_EQ(ImageRGBToJpeg(dst, picture.data(), 16, 16, 16, 75, &length), 0);
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(recorder.notices().size(), 2u);
    EXPECT_EQ(recorder.Fatal(), 2);
  }
  {
    NoticeRecorder recorder;  // sizes libjpeg cannot code fail before any buffer is sized
    EXPECT_EQ(OurEncode(picture, -4, 4, 24, 75).buffer, nullptr);
    EXPECT_EQ(OurEncode(picture, 70000, 70000, 24, 75).buffer, nullptr);
    EXPECT_EQ(recorder.Fatal(), 2);
  }
  {
    NoticeRecorder recorder;  // no memory for the result: null and silence
    platform::FailAllocationsAfter(0, 1);
    OurEncode noMemory(picture, 16, 16, 24, 75);
    platform::FailAllocationsAfter(-1, 0);
    EXPECT_EQ(noMemory.buffer, nullptr);
    EXPECT_EQ(noMemory.length, 0xdeadbeef);
    EXPECT_TRUE(recorder.notices().empty());
  }
}

TEST(JpegCodec, DeleteIsOneFunctionThatIgnoresNull) {
  EXPECT_EQ(reinterpret_cast<void*>(&Ser_DeleteRGBToJpegBuf),
            reinterpret_cast<void*>(&Ser_DeleteJpegToRGBBuf));
  Ser_DeleteRGBToJpegBuf(nullptr);
  Ser_DeleteJpegToRGBBuf(nullptr);
}

// ---- decompression of streams made by libjpeg --------------------------------------------------

struct StreamCase {
  const char* name;
  EncodeOptions options;
};

class JpegDecompressStreams : public testing::TestWithParam<StreamCase> {};

TEST_P(JpegDecompressStreams, MatchLibjpegsOwnDecode) {
  const EncodeOptions& options = GetParam().options;
  const int w = 203, h = 77;  // not a multiple of any MCU size
  const int components = ComponentsOf(options.colorSpace);
  const Bytes stream = Encode(TestPicture(w, h, components), w, h, options);
  ASSERT_FALSE(stream.empty());
  const Decoded reference = ReferenceDecode(stream);
  ASSERT_TRUE(reference.ok);

  NoticeRecorder recorder;
  OurDecode decoded(stream);
  ASSERT_NE(decoded.buffer, nullptr);
  EXPECT_EQ(decoded.width, unsigned(w));
  EXPECT_EQ(decoded.height, unsigned(h));
  EXPECT_EQ(decoded.bitDepth, components * 8);
  EXPECT_EQ(decoded.Pixels(reference.pixels.size()), reference.pixels);
  EXPECT_TRUE(recorder.notices().empty());
}

EncodeOptions Options(Sampling sampling, bool progressive, unsigned restartRows,
                      J_COLOR_SPACE space = JCS_RGB) {
  EncodeOptions options;
  options.sampling = sampling;
  options.progressive = progressive;
  options.restartRows = restartRows;
  options.colorSpace = space;
  return options;
}

EncodeOptions Arithmetic(EncodeOptions options) {
  options.arithmetic = true;
  return options;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JpegDecompressStreams,
    testing::Values(StreamCase{"Baseline420", Options(Sampling::k420, false, 0)},
                    StreamCase{"Baseline422", Options(Sampling::k422, false, 0)},
                    StreamCase{"Baseline444", Options(Sampling::k444, false, 0)},
                    StreamCase{"Progressive420", Options(Sampling::k420, true, 0)},
                    StreamCase{"Progressive444", Options(Sampling::k444, true, 0)},
                    StreamCase{"Restart420", Options(Sampling::k420, false, 1)},
                    StreamCase{"Restart422Progressive", Options(Sampling::k422, true, 2)},
                    StreamCase{"Grey", Options(Sampling::k444, false, 0, JCS_GRAYSCALE)},
                    StreamCase{"GreyProgressive", Options(Sampling::k444, true, 0, JCS_GRAYSCALE)},
                    StreamCase{"GreyRestart", Options(Sampling::k444, false, 3, JCS_GRAYSCALE)},
                    StreamCase{"Arithmetic420", Arithmetic(Options(Sampling::k420, false, 0))},
                    StreamCase{"ArithmeticProgressive",
                               Arithmetic(Options(Sampling::k444, true, 0))}),
    [](const testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST(JpegDecompress, FourComponentFilesHaveNoResult) {
  const Bytes stream =
      Encode(TestPicture(32, 16, 4), 32, 16, Options(Sampling::k444, false, 0, JCS_CMYK));
  ASSERT_TRUE(ReferenceDecode(stream).ok);
  NoticeRecorder recorder;
  OurDecode decoded(stream);
  EXPECT_EQ(decoded.buffer, nullptr);
  EXPECT_EQ(decoded.width, 0u);
  EXPECT_EQ(decoded.height, 0u);
  EXPECT_TRUE(recorder.notices().empty());
}

// A comment segment right after SOI brings the stream to exactly `total` bytes.
Bytes PadWithComment(const Bytes& stream, std::size_t total) {
  const std::size_t segment = total - stream.size();  // marker (2) + length field (2) + payload
  Bytes padded(stream.begin(), stream.begin() + 2);
  padded.push_back(0xFF);
  padded.push_back(0xFE);
  padded.push_back(static_cast<uint8_t>((segment - 2) >> 8));
  padded.push_back(static_cast<uint8_t>(segment - 2));
  padded.insert(padded.end(), segment - 4, 'x');
  padded.insert(padded.end(), stream.begin() + 2, stream.end());
  return padded;
}

TEST(JpegDecompress, StreamEndingOnAChunkBoundaryNeedsNoFakeEnd) {
  const Bytes stream = Encode(TestPicture(120, 90, 3), 120, 90, EncodeOptions{});
  const Decoded reference = ReferenceDecode(stream);
  for (const std::size_t chunks : {2u, 3u}) {
    const Bytes padded = PadWithComment(stream, ((stream.size() + 4) / 4096 + chunks) * 4096);
    ASSERT_EQ(padded.size() % 4096, 0u);
    NoticeRecorder recorder;
    OurDecode decoded(padded);
    ASSERT_NE(decoded.buffer, nullptr);
    EXPECT_EQ(decoded.Pixels(reference.pixels.size()), reference.pixels);
    EXPECT_TRUE(recorder.notices().empty());
  }
}

TEST(JpegDecompress, StreamCutInHalfWarnsOnceAndDecodesFullSize) {
  for (const bool progressive : {false, true}) {
    SCOPED_TRACE(progressive ? "progressive" : "baseline");
    const Bytes stream =
        Encode(TestPicture(300, 200, 3), 300, 200, Options(Sampling::k420, progressive, 0));
    const Bytes half(stream.begin(), stream.begin() + stream.size() / 2);
    NoticeRecorder recorder;
    OurDecode decoded(half);
    ASSERT_NE(decoded.buffer, nullptr);
    EXPECT_EQ(decoded.width, 300u);
    EXPECT_EQ(decoded.height, 200u);
    EXPECT_EQ(decoded.bitDepth, 24);
    ASSERT_EQ(recorder.notices().size(), 1u);
    EXPECT_EQ(recorder.Count(kJpegWarningCaption, kPrematureEnd), 1);
    // The rows it could decode are libjpeg's.
    const Decoded reference = ReferenceDecode(half);
    ASSERT_TRUE(reference.ok);
    EXPECT_EQ(decoded.Pixels(reference.pixels.size()), reference.pixels);
  }
}

TEST(JpegDecompress, CorruptEntropyDataShowsOnlyTheFirstWarning) {
  Bytes stream = Encode(TestPicture(256, 128, 3), 256, 128, Options(Sampling::k420, false, 1));
  // Restart markers in the scan: break a few of them so libjpeg resynchronises.
  int broken = 0;
  for (std::size_t i = stream.size() / 4; i + 1 < stream.size() && broken < 3; ++i)
    if (stream[i] == 0xFF && stream[i + 1] >= 0xD0 && stream[i + 1] <= 0xD7) {
      stream[i + 1] = static_cast<uint8_t>(0xD0 + (stream[i + 1] - 0xD0 + 3) % 8);
      ++broken;
    }
  ASSERT_EQ(broken, 3);
  NoticeRecorder recorder;
  OurDecode decoded(stream);
  ASSERT_NE(decoded.buffer, nullptr);
  ASSERT_EQ(recorder.notices().size(), 1u);
  EXPECT_EQ(recorder.notices()[0].first, kJpegWarningCaption);
  EXPECT_NE(recorder.notices()[0].second.find("Corrupt JPEG data"), std::string::npos);
  EXPECT_EQ(decoded.Pixels(256 * 128 * 3), ReferenceDecode(stream).pixels);
}

TEST(JpegDecompress, NoDataIsRefusedSilently) {
  NoticeRecorder recorder;
  const unsigned char byte = 0xFF;
  uint32_t width = 5, height = 5;
  int bitDepth = 3;
  EXPECT_EQ(JpegToRGB(nullptr, 100, &width, &height, &bitDepth), nullptr);
  EXPECT_EQ(width, 0u);
  EXPECT_EQ(height, 0u);
  width = height = 5;
  EXPECT_EQ(JpegToRGB(&byte, 0, &width, &height, &bitDepth), nullptr);
  EXPECT_EQ(width + height, 0u);
  width = height = 5;
  unsigned char dst[4];
  EXPECT_EQ(ImageJpegToRGB(dst, &byte, -1, &width, &height, &bitDepth), 0);
  EXPECT_EQ(width + height, 0u);
  EXPECT_EQ(bitDepth, 3);
  EXPECT_TRUE(recorder.notices().empty());
}

TEST(JpegDecompress, RandomBytesAreFatal) {
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    const Bytes junk = test::RandomBytes(5000, seed);
    NoticeRecorder recorder;
    OurDecode decoded(junk);
    EXPECT_EQ(decoded.buffer, nullptr);
    EXPECT_EQ(decoded.width, 0u);
    EXPECT_EQ(decoded.height, 0u);
    EXPECT_EQ(decoded.bitDepth, -5);
    ASSERT_EQ(recorder.notices().size(), 1u);
    EXPECT_EQ(recorder.Fatal(), 1);
  }
}

TEST(JpegDecompress, HeaderCutShortWarnsThenFails) {
  const Bytes stream = Encode(TestPicture(64, 64, 3), 64, 64, EncodeOptions{});
  const Bytes head(stream.begin(), stream.begin() + 40);  // inside the quantisation tables
  NoticeRecorder recorder;
  OurDecode decoded(head);
  EXPECT_EQ(decoded.buffer, nullptr);
  EXPECT_EQ(decoded.width + decoded.height, 0u);
  ASSERT_EQ(recorder.notices().size(), 2u);
  EXPECT_EQ(recorder.notices()[0], std::make_pair(std::string(kJpegWarningCaption), kPrematureEnd));
  EXPECT_EQ(recorder.notices()[1],
            std::make_pair(std::string(kJpegFatalCaption), std::string(kJpegFatalText)));
}

TEST(JpegDecompress, FatalErrorWhileReadingRowsKeepsTheSize) {
  const Bytes stream = Encode(TestPicture(64, 64, 3), 64, 64, EncodeOptions{});
  // A second frame header in the middle of the scan data is fatal once decoding has begun.
  const Bytes sof = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x10, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00};
  Bytes broken(stream.begin(), stream.begin() + stream.size() * 3 / 4);
  broken.insert(broken.end(), sof.begin(), sof.end());
  broken.insert(broken.end(), stream.begin() + stream.size() * 3 / 4, stream.end());
  NoticeRecorder recorder;
  OurDecode decoded(broken);
  EXPECT_EQ(decoded.buffer, nullptr);
  EXPECT_EQ(decoded.width, 64u);
  EXPECT_EQ(decoded.height, 64u);
  ASSERT_FALSE(recorder.notices().empty());
  EXPECT_EQ(recorder.Fatal(), 1);
  EXPECT_EQ(recorder.notices().back().first, kJpegFatalCaption);
}

TEST(JpegDecompress, NoMemoryForTheResult) {
  const Bytes stream = Encode(TestPicture(64, 48, 3), 64, 48, EncodeOptions{});
  NoticeRecorder recorder;
  platform::FailAllocationsAfter(0, 1);
  OurDecode decoded(stream);
  platform::FailAllocationsAfter(-1, 0);
  EXPECT_EQ(decoded.buffer, nullptr);
  EXPECT_EQ(decoded.width + decoded.height, 0u);
  ASSERT_EQ(recorder.notices().size(), 1u);
  EXPECT_EQ(recorder.notices()[0], std::make_pair(std::string(kJpegOutOfMemoryCaption),
                                                  std::string("\nDecompress is out of memory ")));
}

TEST(JpegDecompress, HeaderClaimingAGiantPictureIsRefusedWithoutAllocating) {
  Bytes stream = Encode(TestPicture(16, 16, 3), 16, 16, EncodeOptions{});
  // Rewrite the frame header to claim 30000 x 30000 pixels (2.7 GB) over 16 x 16 of data.
  for (std::size_t i = 0; i + 8 < stream.size(); ++i)
    if (stream[i] == 0xFF && stream[i + 1] == 0xC0) {
      stream[i + 5] = 30000 >> 8, stream[i + 6] = 30000 & 0xFF;
      stream[i + 7] = 30000 >> 8, stream[i + 8] = 30000 & 0xFF;
      break;
    }
  NoticeRecorder recorder;
  OurDecode decoded(stream);
  EXPECT_EQ(decoded.buffer, nullptr);
  EXPECT_EQ(decoded.width + decoded.height, 0u);
  ASSERT_EQ(recorder.notices().size(), 1u);
  EXPECT_EQ(recorder.notices()[0].first, kJpegOutOfMemoryCaption);
}

// ---- damaged and hostile headers ---------------------------------------------------------------

// A real stream of a tiny picture whose frame header then claims width x height.
Bytes ClaimingSize(bool progressive, int width, int height, bool arithmetic = false) {
  EncodeOptions options = Options(Sampling::k420, progressive, 0);
  options.quality = 50;
  options.arithmetic = arithmetic;
  Bytes stream = Encode(TestPicture(16, 16, 3), 16, 16, options);
  // SOF0 / SOF2, and SOF9 / SOF10 for arithmetic coding
  const uint8_t sof = arithmetic ? (progressive ? 0xCA : 0xC9) : (progressive ? 0xC2 : 0xC0);
  for (std::size_t i = 0; i + 8 < stream.size(); ++i)
    if (stream[i] == 0xFF && stream[i + 1] == sof) {
      stream[i + 5] = static_cast<uint8_t>(height >> 8), stream[i + 6] = height & 0xFF;
      stream[i + 7] = static_cast<uint8_t>(width >> 8), stream[i + 8] = width & 0xFF;
      return stream;
    }
  ADD_FAILURE() << "no frame header";
  return stream;
}

struct HostileHeader {
  const char* name;
  bool progressive;
  int width, height;
  bool beyondThePixelLimit;  // refused as no memory; otherwise as damaged data
  bool arithmetic = false;
};

const HostileHeader kHostileHeaders[] = {
    {"baseline 16000 x 16000", false, 16000, 16000, false},
    {"progressive 29950 x 65304", true, 29950, 65304, true},
    {"progressive 8000 x 8000", true, 8000, 8000, false},
    // Arithmetic-coded data may be this short for real: the size limit decides alone.
    {"arithmetic sequential 8000 x 8000", false, 8000, 8000, true, true},
    {"arithmetic progressive 8000 x 8000", true, 8000, 8000, true, true},
};

TEST(JpegDecompress, HostileHeadersAreRefusedBeforeThePictureExists) {
  for (const HostileHeader& hostile : kHostileHeaders) {
    SCOPED_TRACE(hostile.name);
    const Bytes stream =
        ClaimingSize(hostile.progressive, hostile.width, hostile.height, hostile.arithmetic);
    ASSERT_LT(stream.size(), 1024u);
    NoticeRecorder recorder;
    OurDecode decoded(stream);
    EXPECT_EQ(decoded.buffer, nullptr);
    EXPECT_EQ(decoded.width + decoded.height, 0u);
    ASSERT_EQ(recorder.notices().size(), 1u);
    if (hostile.beyondThePixelLimit)
      EXPECT_EQ(recorder.notices()[0], std::make_pair(std::string(kJpegOutOfMemoryCaption),
                                                      std::string(kJpegOutOfMemoryText)));
    else
      EXPECT_EQ(recorder.Fatal(), 1);
  }
}

// Every 8 x 8 block of every component needs at least one bit; a stream cut right behind its scan
// header holds none, and one bit short of the picture is damaged too.
TEST(JpegDecompress, DataTooShortForTheBlocksIsDamaged) {
  // 64 x 64 grey: 64 blocks, so 8 bytes of data are the least a stream can carry.
  const Bytes grey =
      Encode(TestPicture(64, 64, 1), 64, 64, Options(Sampling::k444, false, 0, JCS_GRAYSCALE));
  std::size_t dataStart = 0;
  for (std::size_t i = 0; i + 3 < grey.size(); ++i)
    if (grey[i] == 0xFF && grey[i + 1] == 0xDA) {
      dataStart = i + 2 + (std::size_t{grey[i + 2]} << 8 | grey[i + 3]);
      break;
    }
  ASSERT_GT(dataStart, 0u);
  for (const std::size_t dataBytes : {std::size_t{0}, std::size_t{7}, std::size_t{8}}) {
    SCOPED_TRACE(dataBytes);
    const Bytes cut(grey.begin(),
                    grey.begin() + static_cast<std::ptrdiff_t>(dataStart + dataBytes));
    NoticeRecorder recorder;
    OurDecode decoded(cut);
    if (dataBytes < 8) {
      EXPECT_EQ(decoded.buffer, nullptr);
      EXPECT_EQ(recorder.Fatal(), 1);
    } else {
      ASSERT_NE(decoded.buffer, nullptr);  // what a cut stream gives: the warning and a picture
      EXPECT_EQ(recorder.Count(kJpegWarningCaption, kPrematureEnd), 1);
    }
  }
}

// A progressive script that sends each AC coefficient of a grey picture on its own, in `bits`
// successive-approximation passes: 1 + 63 scans a pass.
std::vector<jpeg_scan_info> OneCoefficientAScan(int bits) {
  std::vector<jpeg_scan_info> scans;
  for (int pass = 0; pass < bits; ++pass) {
    const int al = bits - 1 - pass, ah = pass == 0 ? 0 : al + 1;
    scans.push_back({1, {0}, 0, 0, ah, al});
    for (int k = 1; k < 64; ++k) scans.push_back({1, {0}, k, k, ah, al});
  }
  return scans;
}

TEST(JpegDecompress, ScansBeyondTheLimitAreFatal) {
  for (const int bits : {6, 8}) {  // 384 and 512 scans
    SCOPED_TRACE(bits);
    EncodeOptions options = Options(Sampling::k444, true, 0, JCS_GRAYSCALE);
    options.scans = OneCoefficientAScan(bits);
    const Bytes stream = Encode(TestPicture(48, 32, 1), 48, 32, options);
    const Decoded reference = ReferenceDecode(stream);
    ASSERT_TRUE(reference.ok);
    NoticeRecorder recorder;
    OurDecode decoded(stream);
    if (static_cast<int>(options.scans.size()) <= kJpegMaxScans) {
      ASSERT_NE(decoded.buffer, nullptr);
      EXPECT_EQ(decoded.Pixels(reference.pixels.size()), reference.pixels);
      EXPECT_TRUE(recorder.notices().empty());
    } else {
      EXPECT_EQ(decoded.buffer, nullptr);
      EXPECT_EQ(recorder.Fatal(), 1);
    }
  }
}

// A real camera-sized progressive picture decodes as libjpeg decodes it, whole or cut in half.
TEST(JpegDecompress, LargeRealProgressivePictureWholeAndHalf) {
  const int w = 4000, h = 3000;
  EncodeOptions options = Options(Sampling::k420, true, 0);
  options.quality = 80;
  const Bytes stream = Encode(TestPicture(w, h, 3), w, h, options);
  const Bytes half(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(stream.size() / 2));
  for (const Bytes* input : {&stream, &half}) {
    SCOPED_TRACE(input == &stream ? "whole" : "half");
    NoticeRecorder recorder;
    OurDecode decoded(*input);
    ASSERT_NE(decoded.buffer, nullptr);
    EXPECT_EQ(decoded.width, unsigned(w));
    EXPECT_EQ(decoded.height, unsigned(h));
    const Decoded reference = ReferenceDecode(*input);
    ASSERT_TRUE(reference.ok);
    EXPECT_TRUE(decoded.Pixels(reference.pixels.size()) == reference.pixels);
    if (input == &half) {
      ASSERT_EQ(recorder.notices().size(), 1u);
      EXPECT_EQ(recorder.Count(kJpegWarningCaption, kPrematureEnd), 1);
    } else {
      EXPECT_TRUE(recorder.notices().empty());
    }
  }
}

#if !defined(_WIN32)  // the probe is a POSIX child process measured through /proc
// What one decode costs a fresh process: the growth of its peak resident and virtual memory.
struct ProbeReport {
  bool ran = false;
  int result = -1;
  long rssKb = -1, vmKb = -1, ms = -1;
  std::string notices;  // what the default notice sink wrote to stderr
};

ProbeReport ProbeDecode(const Bytes& stream) {
  test::TempDir dir;
  const std::string input = dir.File("in.jpg"), errors = dir.File("stderr");
  test::WriteFile(input, stream);
  const std::string command = "'" VIALTO_JPEG_PROBE_FILE "' '" + input + "' 2>'" + errors + "'";
  ProbeReport report;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return report;
  char line[256] = {};
  const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  report.ran = ::pclose(pipe) == 0 && read &&
               std::sscanf(line, "result=%d rss_kb=%ld vm_kb=%ld ms=%ld", &report.result,
                           &report.rssKb, &report.vmKb, &report.ms) == 4;
  const Bytes err = test::ReadFile(errors);
  report.notices.assign(err.begin(), err.end());
  return report;
}

// The hostile headers cost next to nothing: null within 64 MB of the process's own peaks (resident
// and virtual, so an allocation never touched counts too). The time is printed, not judged.
TEST(JpegDecompress, HostileHeadersStayWithinTheMemoryBound) {
  constexpr long kBoundKb = 64 * 1024;
  for (const HostileHeader& hostile : kHostileHeaders) {
    SCOPED_TRACE(hostile.name);
    const ProbeReport report = ProbeDecode(
        ClaimingSize(hostile.progressive, hostile.width, hostile.height, hostile.arithmetic));
    ASSERT_TRUE(report.ran);
    EXPECT_EQ(report.result, 0);
    EXPECT_LT(report.rssKb, kBoundKb);
    EXPECT_LT(report.vmKb, kBoundKb);
    const std::string notice =
        hostile.beyondThePixelLimit
            ? std::string(kJpegOutOfMemoryCaption) + ": " + kJpegOutOfMemoryText + "\n"
            : std::string(kJpegFatalCaption) + ": " + kJpegFatalText;
    EXPECT_NE(report.notices.find(notice), std::string::npos) << report.notices;
    std::printf("  %s: peak RSS +%ld kB, peak VM +%ld kB, %ld ms\n", hostile.name, report.rssKb,
                report.vmKb, report.ms);
  }
}

#endif

TEST(JpegCodec, CallsOnSeparateThreadsKeepTheirOwnNotices) {
  const Bytes stream = Encode(TestPicture(160, 120, 3), 160, 120, EncodeOptions{});
  const Bytes cut(stream.begin(), stream.begin() + stream.size() / 3);
  const Bytes junk = test::RandomBytes(3000, 99);
  std::vector<std::pair<std::string, std::string>> cutNotices, junkNotices;
  const auto run = [](const Bytes& input, std::vector<std::pair<std::string, std::string>>* out) {
    NoticeRecorder recorder;
    for (int i = 0; i < 20; ++i) OurDecode decoded(input);
    *out = recorder.notices();
  };
  std::thread a(run, std::cref(cut), &cutNotices);
  std::thread b(run, std::cref(junk), &junkNotices);
  a.join();
  b.join();
  // One warning per call: nothing is carried from one call to the next, or across threads.
  ASSERT_EQ(cutNotices.size(), 20u);
  ASSERT_EQ(junkNotices.size(), 20u);
  for (const auto& notice : cutNotices)
    EXPECT_EQ(notice, std::make_pair(std::string(kJpegWarningCaption), kPrematureEnd));
  for (const auto& notice : junkNotices)
    EXPECT_EQ(notice, std::make_pair(std::string(kJpegFatalCaption), std::string(kJpegFatalText)));
}

}  // namespace
}  // namespace vialto::image
