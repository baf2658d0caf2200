#include "BrightBlob.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vialto::cli {
namespace {

std::vector<uint8_t> BrightMask(const Picture& picture, int threshold) {
  const size_t n = static_cast<size_t>(picture.width) * picture.height;
  std::vector<uint8_t> mask(n);
  for (size_t i = 0; i < n; ++i) {
    int grey;
    if (picture.channels == 3) {
      const uint8_t* px = &picture.pixels[i * 3];
      grey = (77 * px[0] + 150 * px[1] + 29 * px[2]) >> 8;
    } else {
      grey = picture.pixels[i];
    }
    mask[i] = grey > threshold ? 1 : 0;
  }
  return mask;
}

// Flood fill from one seed (4-neighbours), clearing the mask as it goes.
Box TakeComponent(std::vector<uint8_t>& mask, int width, int height, int seed) {
  Box box{seed % width, seed / width, seed % width, seed / width, 0};
  std::vector<int> stack{seed};
  mask[static_cast<size_t>(seed)] = 0;
  while (!stack.empty()) {
    const int i = stack.back();
    stack.pop_back();
    const int x = i % width, y = i / width;
    ++box.pixels;
    box.left = std::min(box.left, x);
    box.right = std::max(box.right, x);
    box.top = std::min(box.top, y);
    box.bottom = std::max(box.bottom, y);
    const int neighbours[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
    for (const auto& nb : neighbours) {
      if (nb[0] < 0 || nb[1] < 0 || nb[0] >= width || nb[1] >= height) continue;
      const int j = nb[1] * width + nb[0];
      if (mask[static_cast<size_t>(j)]) {
        mask[static_cast<size_t>(j)] = 0;
        stack.push_back(j);
      }
    }
  }
  return box;
}

}  // namespace

std::optional<Box> FindBrightestBlob(const Picture& picture, int threshold, int minPixels) {
  std::vector<uint8_t> mask = BrightMask(picture, threshold);
  std::optional<Box> best;
  const int n = picture.width * picture.height;
  for (int i = 0; i < n; ++i) {
    if (!mask[static_cast<size_t>(i)]) continue;
    const Box box = TakeComponent(mask, picture.width, picture.height, i);
    if (box.pixels >= minPixels && (!best || box.pixels > best->pixels)) best = box;
  }
  return best;
}

}  // namespace vialto::cli
