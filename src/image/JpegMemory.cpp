#include "image/JpegMemory.h"

#include <jerror.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace vialto::image {
namespace {

constexpr unsigned char kFakeEndOfImage[2] = {0xFF, JPEG_EOI};

// ---- destination -------------------------------------------------------------------------------

struct MemoryDestination {
  jpeg_destination_mgr pub;
  unsigned char* output;   // the caller's buffer
  uint32_t bytesWritten;   // appended to output so far
  unsigned char* working;  // kJpegChunkBytes from JPOOL_IMAGE
  uint32_t capacity;       // output's size, clamped so bytesWritten cannot wrap
};

MemoryDestination* DestinationOf(j_compress_ptr cinfo) {
  return reinterpret_cast<MemoryDestination*>(cinfo->dest);
}

// Appends count bytes of the working buffer; refuses nothing-to-do and anything past capacity.
bool AppendToOutput(MemoryDestination* dest, std::size_t count) {
  if (count == 0 || count > dest->capacity - dest->bytesWritten) return false;
  std::memcpy(dest->output + dest->bytesWritten, dest->working, count);
  dest->bytesWritten += static_cast<uint32_t>(count);
  return true;
}

void InitDestination(j_compress_ptr cinfo) {
  MemoryDestination* const dest = DestinationOf(cinfo);
  dest->working = static_cast<unsigned char*>((*cinfo->mem->alloc_small)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kJpegChunkBytes));
  dest->pub.next_output_byte = dest->working;
  dest->pub.free_in_buffer = kJpegChunkBytes;
  dest->bytesWritten = 0;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  MemoryDestination* const dest = DestinationOf(cinfo);
  if (!AppendToOutput(dest, kJpegChunkBytes)) ERREXIT(cinfo, JERR_FILE_WRITE);
  dest->pub.next_output_byte = dest->working;
  dest->pub.free_in_buffer = kJpegChunkBytes;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  MemoryDestination* const dest = DestinationOf(cinfo);
  if (dest->pub.free_in_buffer != kJpegChunkBytes &&
      !AppendToOutput(dest, kJpegChunkBytes - dest->pub.free_in_buffer))
    ERREXIT(cinfo, JERR_FILE_WRITE);
}

// ---- source ------------------------------------------------------------------------------------

struct MemorySource {
  jpeg_source_mgr pub;
  const unsigned char* data;
  int32_t length;
  int32_t position;       // bytes already copied out
  unsigned char* buffer;  // kJpegChunkBytes from JPOOL_PERMANENT
  boolean startOfFile;    // true until the first successful refill
  boolean suppliedEnd;    // the buffer holds the fake end-of-image marker, not data
};

MemorySource* SourceOf(j_decompress_ptr cinfo) {
  return reinterpret_cast<MemorySource*>(cinfo->src);
}

void InitSource(j_decompress_ptr cinfo) {
  MemorySource* const src = SourceOf(cinfo);
  src->startOfFile = TRUE;
  src->suppliedEnd = FALSE;
  src->position = 0;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  MemorySource* const src = SourceOf(cinfo);
  std::size_t count;
  if (src->position < src->length) {
    count = std::min<std::size_t>(kJpegChunkBytes,
                                  static_cast<std::size_t>(src->length - src->position));
    std::memcpy(src->buffer, src->data + src->position, count);
    src->position += static_cast<int32_t>(count);
    src->suppliedEnd = FALSE;
  } else {
    if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // Let decoding finish on what it has; the warning tells the user the stream was cut.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    std::memcpy(src->buffer, kFakeEndOfImage, sizeof kFakeEndOfImage);
    count = sizeof kFakeEndOfImage;
    src->suppliedEnd = TRUE;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = count;
  src->startOfFile = FALSE;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  MemorySource* const src = SourceOf(cinfo);
  while (static_cast<std::size_t>(count) > src->pub.bytes_in_buffer) {
    count -= static_cast<long>(src->pub.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

}  // namespace

void InstallMemoryDestination(j_compress_ptr cinfo, unsigned char* buffer, std::size_t capacity) {
  if (cinfo->dest == nullptr)
    cinfo->dest = static_cast<jpeg_destination_mgr*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MemoryDestination)));
  MemoryDestination* const dest = DestinationOf(cinfo);
  dest->pub.init_destination = InitDestination;
  dest->pub.empty_output_buffer = EmptyOutputBuffer;
  dest->pub.term_destination = TermDestination;
  dest->output = buffer;
  dest->bytesWritten = 0;
  dest->working = nullptr;
  dest->capacity =
      static_cast<uint32_t>(std::min<std::size_t>(capacity, std::numeric_limits<uint32_t>::max()));
}

uint32_t MemoryDestinationLength(j_compress_ptr cinfo) {
  return DestinationOf(cinfo)->bytesWritten;
}

void InstallMemorySource(j_decompress_ptr cinfo, const unsigned char* data, int length) {
  if (cinfo->src == nullptr) {
    const j_common_ptr common = reinterpret_cast<j_common_ptr>(cinfo);
    MemorySource* const src = static_cast<MemorySource*>(
        (*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(MemorySource)));
    src->buffer = static_cast<unsigned char*>(
        (*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, kJpegChunkBytes));
    cinfo->src = &src->pub;
  }
  MemorySource* const src = SourceOf(cinfo);
  src->pub.init_source = InitSource;
  src->pub.fill_input_buffer = FillInputBuffer;
  src->pub.skip_input_data = SkipInputData;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = TermSource;
  src->pub.bytes_in_buffer = 0;
  src->pub.next_input_byte = nullptr;
  src->data = data;
  src->length = length;
  src->position = 0;
  src->suppliedEnd = FALSE;
}

std::size_t MemorySourceBytesLeft(j_decompress_ptr cinfo) {
  const MemorySource* const src = SourceOf(cinfo);
  const std::size_t unread = static_cast<std::size_t>(src->length - src->position);
  return unread + (src->suppliedEnd ? 0 : src->pub.bytes_in_buffer);
}

}  // namespace vialto::image
