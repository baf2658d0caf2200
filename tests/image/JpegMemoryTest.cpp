// The memory destination's bound: a stream fits a buffer of exactly its length and is refused,
// through the error exit, by a buffer one byte shorter.
#include <gtest/gtest.h>
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <vector>

#include "image/JpegMemory.h"
#include "support/TestUtil.h"

namespace vialto::image {
namespace {

using test::Bytes;

struct RecordingError {
  jpeg_error_mgr pub;
  std::jmp_buf recovery;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<RecordingError*>(cinfo->err)->recovery, 1);
}

struct Outcome {
  bool ok = false;
  int errorCode = 0;
  uint32_t length = 0;
};

// Compresses a noisy grey picture into `buffer` through the memory destination.
Outcome CompressInto(unsigned char* buffer, std::size_t capacity, const Bytes& picture, int w,
                     int h) {
  RecordingError err;
  jpeg_compress_struct cinfo{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JumpBack;
  if (setjmp(err.recovery)) {
    const int code = err.pub.msg_code;
    jpeg_destroy_compress(&cinfo);
    return Outcome{false, code, 0};
  }
  jpeg_create_compress(&cinfo);
  InstallMemoryDestination(&cinfo, buffer, capacity);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(picture.data() + cinfo.next_scanline * w);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  const Outcome outcome{true, 0, MemoryDestinationLength(&cinfo)};
  jpeg_destroy_compress(&cinfo);
  return outcome;
}

TEST(JpegMemoryDestination, StaysInsideItsBuffer) {
  const int w = 96, h = 96;
  const Bytes picture = test::RandomBytes(w * h, 7);
  std::vector<unsigned char> roomy(1 << 20);
  const Outcome reference = CompressInto(roomy.data(), roomy.size(), picture, w, h);
  ASSERT_TRUE(reference.ok);
  ASSERT_GT(reference.length, 2 * 4096u);  // several full chunks and a partial one

  // Guard bytes after the capacity show nothing is written past it.
  for (const std::size_t capacity :
       {std::size_t{reference.length}, std::size_t{reference.length} - 1, std::size_t{4096},
        std::size_t{100}}) {
    SCOPED_TRACE(capacity);
    std::vector<unsigned char> buffer(capacity + 64, 0xEE);
    const Outcome outcome = CompressInto(buffer.data(), capacity, picture, w, h);
    EXPECT_EQ(std::vector<unsigned char>(buffer.begin() + capacity, buffer.end()),
              std::vector<unsigned char>(64, 0xEE));
    if (capacity == reference.length) {
      ASSERT_TRUE(outcome.ok);
      EXPECT_EQ(outcome.length, reference.length);
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + capacity, roomy.begin()));
    } else {
      EXPECT_FALSE(outcome.ok);
      EXPECT_EQ(outcome.errorCode, JERR_FILE_WRITE);
    }
  }
}

}  // namespace
}  // namespace vialto::image
