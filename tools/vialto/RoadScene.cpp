#include "RoadScene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vialto::cli {
namespace {

struct Colour {
  uint8_t r, g, b;
};

class Canvas {
 public:
  explicit Canvas(Picture* picture) : p_(picture) {}
  void Fill(int x0, int y0, int x1, int y1, Colour c) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, p_->width);
    y1 = std::min(y1, p_->height);
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) Set(x, y, c);
    }
  }
  void Disc(int cx, int cy, int radius, Colour c) {
    for (int y = cy - radius; y <= cy + radius; ++y) {
      for (int x = cx - radius; x <= cx + radius; ++x) {
        const int dx = x - cx, dy = y - cy;
        if (dx * dx + dy * dy <= radius * radius && x >= 0 && y >= 0 && x < p_->width &&
            y < p_->height) {
          Set(x, y, c);
        }
      }
    }
  }
  void Set(int x, int y, Colour c) {
    uint8_t* px = &p_->pixels[(static_cast<size_t>(y) * p_->width + x) * 3];
    px[0] = c.r;
    px[1] = c.g;
    px[2] = c.b;
  }

 private:
  Picture* p_;
};

int Scale(double fraction, int size) { return static_cast<int>(std::lround(fraction * size)); }

void DrawBackground(Canvas& canvas, int width, int height) {
  const int horizon = Scale(0.30, height);
  for (int y = 0; y < horizon; ++y) {  // sky, lighter toward the horizon
    const double t = static_cast<double>(y) / std::max(horizon, 1);
    const Colour sky{static_cast<uint8_t>(100 + 70 * t), static_cast<uint8_t>(150 + 50 * t),
                     static_cast<uint8_t>(210 + 20 * t)};
    canvas.Fill(0, y, width, y + 1, sky);
  }
  canvas.Fill(0, horizon, width, Scale(0.42, height), {70, 130, 60});  // verge
  // A few houses on the verge.
  const double houses[][3] = {
      {0.06, 0.10, 0.13}, {0.30, 0.08, 0.10}, {0.62, 0.12, 0.15}, {0.85, 0.09, 0.12}};
  for (const auto& h : houses) {
    const int x0 = Scale(h[0], width), x1 = x0 + Scale(h[1], width);
    const int y1 = Scale(0.36, height), y0 = y1 - Scale(h[2], height);
    canvas.Fill(x0, y0, x1, y1, {150, 90, 70});
    canvas.Fill(x0 + Scale(0.02, width), y0 + Scale(0.03, height), x0 + Scale(0.04, width),
                y0 + Scale(0.07, height), {60, 70, 90});
  }
  canvas.Fill(0, Scale(0.42, height), width, Scale(0.95, height), {70, 70, 75});  // road
  canvas.Fill(0, Scale(0.95, height), width, height, {70, 130, 60});
  const int line = std::max(2, Scale(0.012, height));
  canvas.Fill(0, Scale(0.44, height), width, Scale(0.44, height) + line, {170, 170, 160});
  canvas.Fill(0, Scale(0.93, height) - line, width, Scale(0.93, height), {170, 170, 160});
  const int dashY = Scale(0.675, height);
  for (int x = Scale(0.02, width); x < width; x += Scale(0.16, width)) {
    canvas.Fill(x, dashY - line / 2, x + Scale(0.08, width), dashY - line / 2 + line,
                {185, 185, 180});
  }
}

void DrawCar(Canvas& canvas, int x, int bottom, int length, int height, Colour body) {
  const int wheel = std::max(2, height / 4);
  const int bodyTop = bottom - wheel - height / 2;
  canvas.Fill(x, bodyTop, x + length, bottom - wheel, body);
  const int cabinTop = bodyTop - height / 2;
  canvas.Fill(x + length / 5, cabinTop, x + length * 4 / 5, bodyTop, body);
  const Colour glass{60, 80, 100};
  const int pane = std::max(1, height / 10);
  canvas.Fill(x + length / 5 + pane, cabinTop + pane, x + length / 2 - pane / 2, bodyTop, glass);
  canvas.Fill(x + length / 2 + pane / 2, cabinTop + pane, x + length * 4 / 5 - pane, bodyTop,
              glass);
  canvas.Disc(x + length / 4, bottom - wheel, wheel, {20, 20, 20});
  canvas.Disc(x + length * 3 / 4, bottom - wheel, wheel, {20, 20, 20});
}

}  // namespace

Picture RenderRoadScene(int width, int height, int frame, int frameCount) {
  Picture picture = Picture::Rgb(width, height);
  Canvas canvas(&picture);
  DrawBackground(canvas, width, height);
  const double t = frameCount > 1 ? static_cast<double>(frame) / (frameCount - 1) : 0.5;
  // Far lane: a smaller red car, right to left.
  const int farLength = Scale(0.15, width);
  const int farX = Scale(0.90 - 0.75 * t, width) - farLength;
  DrawCar(canvas, farX, Scale(0.64, height), farLength, Scale(0.10, height), {200, 40, 40});
  // Near lane: the white car, left to right, always wholly in the picture.
  const int nearLength = Scale(0.20, width);
  const int nearX = Scale(0.04 + 0.72 * t, width);
  DrawCar(canvas, nearX, Scale(0.90, height), nearLength, Scale(0.13, height), {250, 250, 245});
  return picture;
}

}  // namespace vialto::cli
