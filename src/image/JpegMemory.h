// libjpeg data managers over memory: a destination that stages output in 4096-byte chunks and
// appends them to a caller's buffer of fixed capacity, and a source that hands out the caller's
// data in 4096-byte chunks and supplies a fake end-of-image marker when the data runs out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace vialto::image {

// Chunk size of both managers.
inline constexpr std::size_t kJpegChunkBytes = 4096;

// Makes `buffer` (capacity bytes) the destination of `cinfo`. An append that would pass the
// capacity is refused and raises JERR_FILE_WRITE through the error exit.
void InstallMemoryDestination(j_compress_ptr cinfo, unsigned char* buffer, std::size_t capacity);
// Bytes appended to the destination buffer so far (the stream length after jpeg_finish_compress).
uint32_t MemoryDestinationLength(j_compress_ptr cinfo);

// Makes (data, length) the source of `cinfo`. The data must outlive the decompression.
void InstallMemorySource(j_decompress_ptr cinfo, const unsigned char* data, int length);
// Bytes of the caller's data that libjpeg has not consumed yet; the fake end-of-image marker
// supplied behind the data does not count.
std::size_t MemorySourceBytesLeft(j_decompress_ptr cinfo);

}  // namespace vialto::image
