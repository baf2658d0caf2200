// A synthetic roadside camera picture: sky, verge, a two-lane road with lane marks, a white car
// driving left to right in the near lane and a red one right to left in the far lane. The same
// arguments always give the same picture, so anyone can make test sequences.
#pragma once
#include "Picture.h"

namespace vialto::cli {

// Frame `frame` of `frameCount` at width x height (RGB24, upright).
Picture RenderRoadScene(int width, int height, int frame, int frameCount);

}  // namespace vialto::cli
