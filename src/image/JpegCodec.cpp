#include "image/JpegCodec.h"

#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "image/JpegMemory.h"
#include "platform/Alloc.h"
#include "platform/ExportBoundary.h"
#include "platform/Notice.h"
#include "vialto/vialto.h"

namespace vialto::image {
namespace {

// libjpeg's error manager followed by this call's recovery point. The result buffer lives here
// rather than in a local: it is set after setjmp and read after longjmp.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf recovery;
  unsigned char* result;
};

[[noreturn]] void ExitToRecoveryPoint(j_common_ptr cinfo) {
  platform::ShowNotice(platform::NoticeKind::kFatalError, kJpegFatalCaption, kJpegFatalText);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->recovery, 1);
}

// Reached through libjpeg's emit_message, which passes on only the first warning of a call at
// its default trace level.
void ShowJpegMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  platform::ShowNotice(platform::NoticeKind::kWarning, kJpegWarningCaption, text);
}

jpeg_error_mgr* InstallErrorManager(ErrorManager* err) {
  jpeg_std_error(&err->pub);
  err->pub.error_exit = ExitToRecoveryPoint;
  err->pub.output_message = ShowJpegMessage;
  err->result = nullptr;
  return &err->pub;
}

std::size_t RoundUp(std::size_t n, std::size_t unit) { return (n + unit - 1) / unit * unit; }

// ---- compress ----------------------------------------------------------------------------------

bool IsSupportedSize(int width, int height) {
  return width > 0 && height > 0 && width <= JPEG_MAX_DIMENSION && height <= JPEG_MAX_DIMENSION;
}

// Bit depths other than 24 and 8 set nothing; jpeg_set_defaults then rejects the component count.
void SetInputFormat(j_compress_ptr cinfo, int width, int height, int bitDepth) {
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  if (bitDepth == 24) {
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
  } else if (bitDepth == 8) {
    cinfo->input_components = 1;
    cinfo->in_color_space = JCS_GRAYSCALE;
  }
}

// Rows top first, one per call, as stored: byte 0 of a pixel is coded as red.
void WriteRows(j_compress_ptr cinfo, const unsigned char* image) {
  const std::size_t stride = std::size_t{cinfo->image_width} * cinfo->input_components;
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image + cinfo->next_scanline * stride);
    jpeg_write_scanlines(cinfo, &row, 1);
  }
}

// ---- decompress --------------------------------------------------------------------------------

// Reads the rows straight into their place in the result, at most one batch of row pointers per
// call; libjpeg hands back up to one iMCU row each time.
void ReadRows(j_decompress_ptr cinfo, unsigned char* result, int* bitDepth) {
  constexpr JDIMENSION kRowsPerRead = 32;
  const std::size_t stride = std::size_t{cinfo->output_width} * cinfo->output_components;
  JSAMPROW rows[kRowsPerRead];
  while (cinfo->output_scanline < cinfo->output_height) {
    const JDIMENSION first = cinfo->output_scanline;
    const JDIMENSION count = std::min(kRowsPerRead, cinfo->output_height - first);
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = result + (first + i) * stride;
    // The memory source never suspends, so no rows means a broken stream state.
    if (jpeg_read_scanlines(cinfo, rows, count) == 0) ERREXIT(cinfo, JERR_INPUT_EOF);
    *bitDepth = cinfo->output_components == 3 ? 24 : 8;
  }
}

// Ends the call through the error exit once a stream has more scans than any real picture
// needs: each scan may revisit every block, so their number bounds the time a stream can take.
void LimitScans(j_common_ptr cinfo) {
  const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (cinfo->is_decompressor && dinfo->input_scan_number > kJpegMaxScans)
    ERREXIT(cinfo, JERR_BAD_PROGRESSION);
}

// Sets the bounds of libjpeg's own work before any marker is read: no more working memory than
// the largest picture we decode needs, and no more than kJpegMaxScans scans.
void BoundDecoderWork(j_decompress_ptr cinfo, jpeg_progress_mgr* progress) {
  cinfo->mem->max_memory_to_use = kJpegMaxWorkingMemory;
  *progress = jpeg_progress_mgr{};
  progress->progress_monitor = LimitScans;
  cinfo->progress = progress;
}

// Every 8 x 8 block of every component costs at least one bit of Huffman-coded data, in a
// sequential scan and in the first DC scan of a progressive stream alike. The data behind the
// first scan header (all later scans included, but never the end marker made up for a cut
// stream) must hold that many bits. Arithmetic coding can spend less, so it is not judged.
bool DataCanHoldThePicture(j_decompress_ptr cinfo) {
  if (cinfo->arith_code) return true;
  uint64_t blocks = 0;
  for (int c = 0; c < cinfo->num_components; ++c)
    blocks += uint64_t{cinfo->comp_info[c].width_in_blocks} * cinfo->comp_info[c].height_in_blocks;
  return uint64_t{MemorySourceBytesLeft(cinfo)} * 8 >= blocks;
}

void RefuseForWantOfMemory(j_decompress_ptr cinfo) {
  platform::ShowNotice(platform::NoticeKind::kOutOfMemory, kJpegOutOfMemoryCaption,
                       kJpegOutOfMemoryText);
  jpeg_destroy_decompress(cinfo);
}

}  // namespace

std::size_t JpegCompressCapacity(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  // Colour is coded 4:2:0 in 16 x 16 MCUs: allow 2 bytes a luma sample and 1 for both chroma
  // planes together, plus the headers and tables. Never below width * height * 3.
  return RoundUp(static_cast<std::size_t>(width), 16) *
             RoundUp(static_cast<std::size_t>(height), 16) * 3 +
         2048;
}

unsigned char* JpegCompress(const unsigned char* image, int width, int height, int bitDepth,
                            int quality, uint32_t* length) {
  if (image == nullptr || width == 0 || height == 0) return nullptr;
  ErrorManager err;
  jpeg_compress_struct cinfo{};
  cinfo.err = InstallErrorManager(&err);
  if (setjmp(err.recovery)) {
    jpeg_destroy_compress(&cinfo);
    platform::FreeBytes(err.result);
    return nullptr;
  }
  jpeg_create_compress(&cinfo);
  // Refuse what libjpeg would refuse before sizing a buffer on it.
  if (!IsSupportedSize(width, height))
    ERREXIT1(&cinfo, JERR_IMAGE_TOO_BIG, static_cast<unsigned>(JPEG_MAX_DIMENSION));
  const std::size_t capacity = JpegCompressCapacity(width, height);
  err.result = static_cast<unsigned char*>(platform::AllocBytes(capacity));
  if (err.result == nullptr) {
    jpeg_destroy_compress(&cinfo);
    return nullptr;
  }
  InstallMemoryDestination(&cinfo, err.result, capacity);
  SetInputFormat(&cinfo, width, height, bitDepth);
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&cinfo, TRUE);
  WriteRows(&cinfo, image);
  jpeg_finish_compress(&cinfo);
  *length = MemoryDestinationLength(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return err.result;
}

unsigned char* JpegDecompress(const unsigned char* data, int length, uint32_t* width,
                              uint32_t* height, int* bitDepth) {
  *width = 0;
  *height = 0;
  if (data == nullptr || length < 1) return nullptr;
  ErrorManager err;
  jpeg_decompress_struct cinfo{};
  cinfo.err = InstallErrorManager(&err);
  if (setjmp(err.recovery)) {
    jpeg_destroy_decompress(&cinfo);
    platform::FreeBytes(err.result);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_progress_mgr progress;
  BoundDecoderWork(&cinfo, &progress);
  InstallMemorySource(&cinfo, data, length);
  jpeg_read_header(&cinfo, TRUE);
  // Only grey and RGB results exist; four-component files (CMYK, YCCK) have none.
  if (cinfo.num_components != 1 && cinfo.num_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  // The header alone decides, before libjpeg allocates anything for the picture (its buffers
  // for a progressive stream are as large as the picture): a header may claim up to 65500 x
  // 65500 pixels whatever data follows.
  jpeg_calc_output_dimensions(&cinfo);
  const std::size_t pixels = std::size_t{cinfo.output_width} * cinfo.output_height;
  if (pixels > (cinfo.arith_code ? kJpegMaxArithmeticPixels : kJpegMaxDecodePixels)) {
    RefuseForWantOfMemory(&cinfo);
    return nullptr;
  }
  if (!DataCanHoldThePicture(&cinfo)) ERREXIT(&cinfo, JERR_INPUT_EOF);
  jpeg_start_decompress(&cinfo);
  err.result = static_cast<unsigned char*>(platform::AllocBytes(pixels * 3));
  if (err.result == nullptr) {
    RefuseForWantOfMemory(&cinfo);
    return nullptr;
  }
  // A grey result fills the first third; the rest must not be stale heap.
  if (cinfo.output_components == 1) std::memset(err.result + pixels, 0, pixels * 2);
  *width = cinfo.output_width;
  *height = cinfo.output_height;
  ReadRows(&cinfo, err.result, bitDepth);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return err.result;
}

}  // namespace vialto::image

using vialto::image::JpegCompress;
using vialto::image::JpegDecompress;
using vialto::platform::GuardExport;

extern "C" {

VIALTO_API unsigned char* VIALTO_CALL RGBToJpeg(const unsigned char* image, int width, int height,
                                                int bitDepth, int quality, uint32_t* length) {
  return GuardExport<unsigned char*>(
      nullptr, [&] { return JpegCompress(image, width, height, bitDepth, quality, length); });
}

VIALTO_API unsigned char* VIALTO_CALL JpegToRGB(const unsigned char* data, int length,
                                                uint32_t* width, uint32_t* height, int* bitDepth) {
  return GuardExport<unsigned char*>(
      nullptr, [&] { return JpegDecompress(data, length, width, height, bitDepth); });
}

VIALTO_API int VIALTO_CALL ImageRGBToJpeg(unsigned char* dst, const unsigned char* image, int width,
                                          int height, int bitDepth, int quality, uint32_t* length) {
  return GuardExport(0, [&] {
    unsigned char* const stream = JpegCompress(image, width, height, bitDepth, quality, length);
    if (stream == nullptr) return 0;
    std::memcpy(dst, stream, *length);
    vialto::platform::FreeBytes(stream);
    return 1;
  });
}

VIALTO_API int VIALTO_CALL ImageJpegToRGB(unsigned char* dst, const unsigned char* data, int length,
                                          uint32_t* width, uint32_t* height, int* bitDepth) {
  return GuardExport(0, [&] {
    unsigned char* const pixels = JpegDecompress(data, length, width, height, bitDepth);
    if (pixels == nullptr) return 0;
    // Width x height x 3 also for a grey result, whose packed pixels fill only the first third.
    std::memcpy(dst, pixels, std::size_t{*width} * *height * 3);
    vialto::platform::FreeBytes(pixels);
    return 1;
  });
}

VIALTO_API void VIALTO_CALL Ser_DeleteJpegToRGBBuf(void* buffer) {
  GuardExport([&] { vialto::platform::FreeBytes(buffer); });
}

}  // extern "C"

// One function under both names. GCC sees that the target cannot throw and wants the alias to
// say so too; clang takes `nothrow` for an exception specification the header's declaration
// lacks, and refuses it.
#if defined(__clang__)
#define VIALTO_ALIAS_OF(target) __attribute__((alias(target)))
#else
#define VIALTO_ALIAS_OF(target) __attribute__((nothrow, alias(target)))
#endif
extern "C" VIALTO_API void VIALTO_CALL Ser_DeleteRGBToJpegBuf(void* buffer)
    VIALTO_ALIAS_OF(VIALTO_EXPORT_SYMBOL(Ser_DeleteJpegToRGBBuf, 4));
#undef VIALTO_ALIAS_OF
