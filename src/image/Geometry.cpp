// ImageFlip, ImageResize and Ser_CopyMemory.
#include "image/Geometry.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "image/simd/KernelsScalar.h"
#include "platform/Alloc.h"
#include "platform/ExportBoundary.h"
#include "vialto/vialto.h"

namespace vialto::image {
namespace {

// Steps and limits of one resize, in 8.8 fixed point. Widened to 64 bits so that large sources
// cannot overflow the positions.
struct ResizeGeometry {
  int64_t xstep, ystep, ymax;
  std::size_t pixelBytes;
};

bool ResizeAccepted(int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
  // The lower row of a pair is row sy + 1 and the positions stop at row srcHeight - 2, so a source
  // needs two rows; anything smaller would be read before its start.
  return dstWidth >= 4 && dstHeight >= 4 && srcWidth >= 1 && srcHeight >= 2;
}

ResizeGeometry MakeGeometry(int srcWidth, int srcHeight, int dstWidth, int dstHeight, int mode) {
  return {int64_t{srcWidth} * 256 / dstWidth, int64_t{srcHeight} * 256 / dstHeight,
          int64_t{srcHeight} * 256 - 512, mode == 3 ? std::size_t{3} : std::size_t{1}};
}

int64_t RowPosition(const ResizeGeometry& g, int j) { return std::min(j * g.ystep, g.ymax); }

// Horizontal interpolation of one resize, per output byte: offsets of its left and right
// neighbours in a source row and the right one's weight. Past a row's last column the right
// neighbour is that column again, so no read leaves the row. The leading outputs whose neighbours
// lie in one 16-byte window also form blocks for the vector kernels; the leading blocks that
// repeat block 0 at a steady distance (enlarging by 2, 4, 4/3, ...) are run from block 0 alone.
struct HorizontalTable {
  std::size_t count;  // output bytes a row
  std::size_t* left;
  std::size_t* right;
  uint16_t* fraction;
  simd::InterpolationBlock* blocks;
  std::size_t blockCount;    // blocks cover outputs 0 .. 8 * blockCount - 1
  std::size_t uniformCount;  // blocks 0 .. uniformCount - 1 are block 0 moved by k * uniformStep
  std::size_t uniformStep;
};

std::size_t HorizontalTableBytes(std::size_t count) {
  return count * (2 * sizeof(std::size_t) + sizeof(uint16_t)) +
         count / 8 * sizeof(simd::InterpolationBlock) + alignof(simd::InterpolationBlock);
}

HorizontalTable LayOutTable(uint8_t* memory, std::size_t count) {
  HorizontalTable t{count, nullptr, nullptr, nullptr, nullptr, 0, 0, 0};
  t.left = reinterpret_cast<std::size_t*>(memory);
  t.right = t.left + count;
  auto* blocks = reinterpret_cast<uint8_t*>(t.right + count);
  const std::size_t misalign =
      reinterpret_cast<uintptr_t>(blocks) % alignof(simd::InterpolationBlock);
  if (misalign != 0) blocks += alignof(simd::InterpolationBlock) - misalign;
  t.blocks = reinterpret_cast<simd::InterpolationBlock*>(blocks);
  t.fraction = reinterpret_cast<uint16_t*>(t.blocks + count / 8);
  return t;
}

void FillOffsets(const ResizeGeometry& g, int srcWidth, HorizontalTable& t) {
  const std::size_t b = g.pixelBytes;
  int64_t x = 0;
  for (std::size_t e = 0; e < t.count; e += b, x += g.xstep) {
    const int64_t sx = x >> 8;
    const auto left = static_cast<std::size_t>(sx) * b;
    const auto right = static_cast<std::size_t>(std::min<int64_t>(sx + 1, srcWidth - 1)) * b;
    for (std::size_t c = 0; c < b; ++c) {
      t.left[e + c] = left + c;
      t.right[e + c] = right + c;
      t.fraction[e + c] = static_cast<uint16_t>(x & 255);
    }
  }
}

bool SameOffsets(const simd::InterpolationBlock& a, const simd::InterpolationBlock& b) {
  return std::equal(a.left, a.left + 16, b.left) && std::equal(a.right, a.right + 16, b.right) &&
         std::equal(a.fraction, a.fraction + 8, b.fraction);
}

void FindUniformRun(HorizontalTable& t) {
  t.uniformCount = std::min<std::size_t>(t.blockCount, 1);
  t.uniformStep = t.blockCount > 1 ? t.blocks[1].base - t.blocks[0].base : 0;
  while (t.uniformCount < t.blockCount &&
         t.blocks[t.uniformCount].base == t.blocks[0].base + t.uniformCount * t.uniformStep &&
         SameOffsets(t.blocks[t.uniformCount], t.blocks[0]))
    ++t.uniformCount;
}

// Blocks while the 16-byte window fits both the neighbours and the source row; near the row's end
// the window is moved back to end with the row.
void FillBlocks(std::size_t rowBytes, HorizontalTable& t) {
  t.blockCount = 0;
  for (std::size_t k = 0; k < t.count / 8 && rowBytes >= 16; ++k) {
    // With three-byte pixels the offsets are not monotonic (byte 2 of one pixel, byte 0 of the
    // next one with the same source column), so the window spans the extremes.
    const std::size_t first = 8 * k;
    const std::size_t base =
        std::min(*std::min_element(t.left + first, t.left + first + 8), rowBytes - 16);
    const std::size_t last = *std::max_element(t.right + first, t.right + first + 8);
    if (last - base >= 16) break;
    simd::InterpolationBlock& block = t.blocks[k];
    block.base = base;
    for (int j = 0; j < 8; ++j) {
      block.left[2 * j] = static_cast<int8_t>(t.left[first + j] - base);
      block.right[2 * j] = static_cast<int8_t>(t.right[first + j] - base);
      block.left[2 * j + 1] = block.right[2 * j + 1] = -128;
      block.fraction[j] = t.fraction[first + j];
    }
    t.blockCount = k + 1;
  }
  FindUniformRun(t);
}

// left * (256 - fx) + right * fx per output byte, kept whole (biased into 16 signed bits) so that
// the vertical pass yields exactly the truncated 2-D sum.
void InterpolateRow(const simd::PixelKernels& kernels, const uint8_t* row, const HorizontalTable& t,
                    int16_t* out) {
  if (t.uniformCount > 0)
    kernels.interpolateUniform(row, t.blocks[0], t.uniformStep, t.uniformCount, out);
  kernels.interpolateRow(row, t.blocks + t.uniformCount, t.blockCount - t.uniformCount,
                         out + 8 * t.uniformCount);
  for (std::size_t e = 8 * t.blockCount; e < t.count; ++e)
    out[e] = simd::scalar::InterpolatedElement(row[t.left[e]], row[t.right[e]], t.fraction[e]);
}

// Whole-factor (or same-size) resizes: every fraction is 0, so output pixels are source pixels.
void ResizeByPicking(const simd::PixelKernels& kernels, const ResizeGeometry& g, uint8_t* dst,
                     const uint8_t* src, int srcWidth, int dstWidth, int dstHeight) {
  const std::size_t srcRow = static_cast<std::size_t>(srcWidth) * g.pixelBytes;
  const std::size_t dstRow = static_cast<std::size_t>(dstWidth) * g.pixelBytes;
  const auto step = static_cast<std::size_t>(g.xstep >> 8);
  for (int j = 0; j < dstHeight; ++j, dst += dstRow) {
    const uint8_t* row = src + static_cast<std::size_t>(RowPosition(g, j) >> 8) * srcRow;
    if (step == 1)
      std::memcpy(dst, row, dstRow);
    else if (g.pixelBytes == 1)
      kernels.pickBytes(row, dst, static_cast<std::size_t>(dstWidth), step);
    else
      kernels.pickTriples(row, dst, static_cast<std::size_t>(dstWidth), step);
  }
}

// Everything else: interpolated source rows, cached while consecutive output rows share them.
bool ResizeSeparable(const simd::PixelKernels& kernels, const ResizeGeometry& g, uint8_t* dst,
                     const uint8_t* src, int srcWidth, int dstWidth, int dstHeight) {
  const std::size_t srcRow = static_cast<std::size_t>(srcWidth) * g.pixelBytes;
  const std::size_t count = static_cast<std::size_t>(dstWidth) * g.pixelBytes;
  const std::size_t tableBytes = HorizontalTableBytes(count);
  // The two cached rows start on cache lines: the vertical pass streams through both.
  constexpr std::size_t kLine = 64, kLineElements = kLine / sizeof(int16_t);
  const std::size_t rowElements = (count + kLineElements - 1) / kLineElements * kLineElements;
  auto* memory = static_cast<uint8_t*>(
      platform::AllocBytes(tableBytes + kLine + 2 * rowElements * sizeof(int16_t)));
  if (memory == nullptr) return false;
  HorizontalTable table = LayOutTable(memory, count);
  FillOffsets(g, srcWidth, table);
  FillBlocks(srcRow, table);
  uint8_t* rows = memory + tableBytes;
  rows += (kLine - reinterpret_cast<uintptr_t>(rows) % kLine) % kLine;
  int16_t* upper = reinterpret_cast<int16_t*>(rows);
  int16_t* lower = upper + rowElements;

  int64_t upperRow = -1, lowerRow = -1;  // source rows held in `upper` and `lower`
  auto fetch = [&](int16_t* slot, int64_t& held, int64_t want) {
    if (held == want) return;
    InterpolateRow(kernels, src + static_cast<std::size_t>(want) * srcRow, table, slot);
    held = want;
  };
  for (int j = 0; j < dstHeight; ++j, dst += count) {
    const int64_t y = RowPosition(g, j);
    const int64_t sy = y >> 8;
    const auto fy = static_cast<unsigned>(y & 255);
    if (lowerRow == sy) {  // moving down one row: the old lower row is the new upper one
      std::swap(upper, lower);
      std::swap(upperRow, lowerRow);
    }
    fetch(upper, upperRow, sy);
    if (fy != 0) fetch(lower, lowerRow, sy + 1);
    kernels.blendRows(upper, fy != 0 ? lower : upper, dst, count, fy);
  }
  platform::FreeBytes(memory);
  return true;
}

}  // namespace

int ResizeImage(const simd::PixelKernels& kernels, uint8_t* dst, const uint8_t* src, int srcWidth,
                int srcHeight, int dstWidth, int dstHeight, int mode) {
  if (!ResizeAccepted(srcWidth, srcHeight, dstWidth, dstHeight)) return 0;
  if (mode != 0 && mode != 3) return 1;
  const ResizeGeometry g = MakeGeometry(srcWidth, srcHeight, dstWidth, dstHeight, mode);
  if (g.xstep % 256 == 0 && g.ystep % 256 == 0) {
    ResizeByPicking(kernels, g, dst, src, srcWidth, dstWidth, dstHeight);
    return 1;
  }
  // Without memory for the row cache the direct formula gives the same bytes.
  if (!ResizeSeparable(kernels, g, dst, src, srcWidth, dstWidth, dstHeight))
    return ResizeImageReference(dst, src, srcWidth, srcHeight, dstWidth, dstHeight, mode);
  return 1;
}

int ResizeImageReference(uint8_t* dst, const uint8_t* src, int srcWidth, int srcHeight,
                         int dstWidth, int dstHeight, int mode) {
  if (!ResizeAccepted(srcWidth, srcHeight, dstWidth, dstHeight)) return 0;
  if (mode != 0 && mode != 3) return 1;
  const ResizeGeometry g = MakeGeometry(srcWidth, srcHeight, dstWidth, dstHeight, mode);
  const std::size_t b = g.pixelBytes;
  const std::size_t srcRow = static_cast<std::size_t>(srcWidth) * b;
  for (int j = 0; j < dstHeight; ++j) {
    const int64_t y = RowPosition(g, j);
    const uint8_t* upper = src + static_cast<std::size_t>(y >> 8) * srcRow;
    const uint8_t* lower = upper + srcRow;
    const uint32_t fy = static_cast<uint32_t>(y & 255);
    for (int i = 0; i < dstWidth; ++i) {
      const int64_t x = i * g.xstep;
      const std::size_t sx = static_cast<std::size_t>(x >> 8);
      const std::size_t sr = std::min<std::size_t>(sx + 1, static_cast<std::size_t>(srcWidth) - 1);
      const uint32_t fx = static_cast<uint32_t>(x & 255);
      for (std::size_t c = 0; c < b; ++c) {
        const uint32_t tl = upper[sx * b + c], tr = upper[sr * b + c];
        const uint32_t bl = lower[sx * b + c], br = lower[sr * b + c];
        *dst++ = static_cast<uint8_t>((tl * (256 - fx) * (256 - fy) + tr * fx * (256 - fy) +
                                       bl * (256 - fx) * fy + br * fx * fy) >>
                                      16);
      }
    }
  }
  return 1;
}

void FlipRowsInPlace(const simd::PixelKernels& kernels, uint8_t* image, std::size_t rowBytes,
                     std::size_t rows) {
  // Through registers (or the scalar byte exchange): no scratch row to allocate.
  for (std::size_t i = 0; i < rows / 2; ++i)
    kernels.swapBytes(image + i * rowBytes, image + (rows - 1 - i) * rowBytes, rowBytes);
}

void FlipImage(const simd::PixelKernels& kernels, uint8_t* dst, const uint8_t* src, int width,
               int rows, int threeBytes) {
  if (width <= 0 || rows <= 0) return;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * (threeBytes != 0 ? 3 : 1);
  const auto row = [rowBytes](auto* base, int i) {
    return base + static_cast<std::size_t>(i) * rowBytes;
  };
  if (dst != src) {
    for (int i = 0; i < rows; ++i) std::memcpy(row(dst, rows - 1 - i), row(src, i), rowBytes);
    return;
  }
  FlipRowsInPlace(kernels, dst, rowBytes, static_cast<std::size_t>(rows));
}

}  // namespace vialto::image

namespace img = vialto::image;
using vialto::platform::GuardExport;

extern "C" {

VIALTO_API int VIALTO_CALL ImageFlip(unsigned char* dst, const unsigned char* src, int width,
                                     int rows, int threeBytes) {
  GuardExport([&] { img::FlipImage(img::simd::BestKernels(), dst, src, width, rows, threeBytes); });
  return 1;
}

VIALTO_API int VIALTO_CALL ImageResize(unsigned char* dst, const unsigned char* src, int srcWidth,
                                       int srcHeight, int dstWidth, int dstHeight, int mode,
                                       int /*unused*/) {
  return GuardExport(0, [&] {
    return img::ResizeImage(img::simd::BestKernels(), dst, src, srcWidth, srcHeight, dstWidth,
                            dstHeight, mode);
  });
}

VIALTO_API int VIALTO_CALL Ser_CopyMemory(void* dst, const void* src, uint32_t count) {
  // memmove: the same bytes as a front-to-back copy for separate blocks, and sound if they overlap.
  GuardExport([&] {
    if (count > 0) std::memmove(dst, src, count);
  });
  return 1;
}

}  // extern "C"
