// The JPEG memory codec: RGB24 or grey images to baseline JPEG streams and back, through libjpeg
// and the memory managers of JpegMemory. Result buffers come from platform::AllocBytes and go back
// through platform::FreeBytes (the exports' Ser_DeleteJpegToRGBBuf). Failures and libjpeg warnings
// are reported to the user through platform::ShowNotice.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vialto::image {

// Size of the buffer JpegCompress allocates for a width x height image: the larger of
// width*height*3 and a bound on a baseline stream of that size with its headers and tables.
std::size_t JpegCompressCapacity(int width, int height);

// Compresses an RGB24 (bitDepth 24) or grey (8) image, top row first, at `quality` (libjpeg limits
// it to 1..100), 4:2:0 for colour. Returns a new buffer holding the stream in its first *length
// bytes, or null: silently for a null image, a zero size or no memory (*length untouched), after
// the fatal notice for anything libjpeg rejects (another bit depth, too large a size).
unsigned char* JpegCompress(const unsigned char* image, int width, int height, int bitDepth,
                            int quality, uint32_t* length);

// Decompresses a JPEG stream into a new buffer of width*height*3 bytes: RGB24 (*bitDepth 24) or
// grey packed into the first width*height bytes (*bitDepth 8, the rest zero). *width and *height
// are set to 0 first, then to the image size once the buffer is allocated. Null for no data, a
// component count other than 1 or 3 (both outputs 0), no memory or a header claiming more than
// kJpegMaxDecodePixels, or kJpegMaxArithmeticPixels for an arithmetic-coded stream (the
// out-of-memory notice), or a fatal libjpeg error (the fatal notice).
// A Huffman-coded stream with fewer bits behind its first scan header than the picture has 8 x 8
// blocks is damaged, and so is one with more than kJpegMaxScans scans or one needing more than
// kJpegMaxWorkingMemory: fatal, and refused before the picture's buffers exist where the header
// tells. The first libjpeg warning of a call is shown and decoding goes on; a stream cut short
// gets a fake end-of-image marker.
unsigned char* JpegDecompress(const unsigned char* data, int length, uint32_t* width,
                              uint32_t* height, int* bitDepth);

// Largest picture a decode hands out: 16384 x 16384 pixels (768 MiB of RGB24).
inline constexpr std::size_t kJpegMaxDecodePixels = std::size_t{1} << 28;
// libjpeg's working memory: the coefficients of three full-size components of the largest
// picture (a progressive stream keeps them all), plus room for its row buffers and tables. It
// fits libjpeg's long on 32-bit targets.
inline constexpr long kJpegMaxWorkingMemory =
    static_cast<long>(kJpegMaxDecodePixels * 3 * 2) + 64L * 1024 * 1024;
// Largest arithmetic-coded picture a decode accepts: 4096 x 4096 pixels. Arithmetic coding can
// spend far less than a bit on a block, so the data cannot bound what such a header claims (a
// few hundred bytes may claim 8000 x 8000, whose coefficients alone take 192 MB); this keeps what
// such a stream can cost at a hundred-odd megabytes. Cameras write Huffman-coded streams.
inline constexpr std::size_t kJpegMaxArithmeticPixels = std::size_t{1} << 24;
// Far more scans than encoders write (libjpeg's own progressive script has ten).
inline constexpr int kJpegMaxScans = 500;

// Texts and captions of the codec's notices.
inline constexpr const char* kJpegFatalCaption = "Compress or Decompress Fatal Error";
inline constexpr const char* kJpegFatalText = "Error in Compress or Decompress";
inline constexpr const char* kJpegWarningCaption = "JPEG Error";
inline constexpr const char* kJpegOutOfMemoryCaption = "vialto";
inline constexpr const char* kJpegOutOfMemoryText = "\nDecompress is out of memory ";

}  // namespace vialto::image
