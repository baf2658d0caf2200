// Fills a convex polygon given in surface pixels (y down), clipped to the surface.
#pragma once
#include "platform/text/TextSurface.h"

namespace vialto::platform::text {

struct SurfacePoint {
  double x = 0;
  double y = 0;
};

// Paints, at full coverage, every pixel whose centre lies inside the polygon; a centre on a
// left or top edge is inside, on a right or bottom edge outside, so that boxes sharing an edge
// never paint a pixel twice. Coordinates may lie far outside the surface.
void FillConvexPolygon(TextSurface& surface, const SurfacePoint* points, int count, Paint paint);

}  // namespace vialto::platform::text
