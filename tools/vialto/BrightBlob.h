// Finds the moving object to mark in a camera picture: the largest connected patch of very
// bright pixels (the white car of the synthetic scene, headlights or a light car in real ones).
#pragma once
#include <optional>

#include "Picture.h"

namespace vialto::cli {

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;  // inclusive, upright picture coordinates
  int pixels = 0;
};

// Null when no patch of at least minPixels pixels is brighter than threshold (grey 0..255).
std::optional<Box> FindBrightestBlob(const Picture& picture, int threshold = 220,
                                     int minPixels = 40);

}  // namespace vialto::cli
