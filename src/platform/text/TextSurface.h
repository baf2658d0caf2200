// The raster that text output paints on: a width x height grid of pixels, row 0 at the top. The
// text service clips everything it sends to the grid, so implementations index without checks.
#pragma once
#include <cstdint>

namespace vialto::platform::text {

enum class Paint : uint8_t { Text, Background };

class TextSurface {
 public:
  virtual ~TextSurface() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Blends paint into pixels x .. x + n - 1 of row y, pixel i weighted by coverage[i] / 255.
  virtual void BlendRow(int y, int x, const uint8_t* coverage, int n, Paint paint) = 0;
  // Blends paint into pixels x .. x + n - 1 of row y, all weighted by coverage / 255.
  virtual void BlendRun(int y, int x, int n, uint8_t coverage, Paint paint) = 0;
};

}  // namespace vialto::platform::text
