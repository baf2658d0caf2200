#include "platform/text/ConvexFill.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vialto::platform::text {

namespace {

// The first whole index whose pixel centre lies at or after coordinate, within [0, limit].
int FirstCentreAtOrAfter(double coordinate, int limit) {
  if (std::isnan(coordinate)) return 0;
  const double clamped = std::clamp(coordinate - 0.5, -1.0, double(limit));
  return std::clamp(static_cast<int>(std::ceil(clamped)), 0, limit);
}

struct Span {
  double left = std::numeric_limits<double>::infinity();
  double right = -std::numeric_limits<double>::infinity();
};

// Where the horizontal line at height y crosses the polygon; empty when it misses.
Span CrossingAt(const SurfacePoint* points, int count, double y) {
  Span span;
  for (int i = 0; i < count; ++i) {
    const SurfacePoint& p = points[i];
    const SurfacePoint& q = points[(i + 1) % count];
    if ((p.y <= y && y < q.y) || (q.y <= y && y < p.y)) {
      const double x = p.x + (y - p.y) * (q.x - p.x) / (q.y - p.y);
      span.left = std::min(span.left, x);
      span.right = std::max(span.right, x);
    }
  }
  return span;
}

}  // namespace

void FillConvexPolygon(TextSurface& surface, const SurfacePoint* points, int count, Paint paint) {
  if (count < 3) return;
  double top = points[0].y, bottom = points[0].y;
  for (int i = 1; i < count; ++i) {
    top = std::min(top, points[i].y);
    bottom = std::max(bottom, points[i].y);
  }
  const int width = surface.Width();
  const int height = surface.Height();
  const int firstRow = FirstCentreAtOrAfter(top, height);
  const int endRow = FirstCentreAtOrAfter(bottom, height);
  for (int row = firstRow; row < endRow; ++row) {
    const Span span = CrossingAt(points, count, row + 0.5);
    if (!(span.left < span.right)) continue;
    const int x0 = FirstCentreAtOrAfter(span.left, width);
    const int x1 = FirstCentreAtOrAfter(span.right, width);
    if (x1 > x0) surface.BlendRun(row, x0, x1 - x0, 255, paint);
  }
}

}  // namespace vialto::platform::text
