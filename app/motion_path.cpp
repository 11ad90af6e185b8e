#include "app/motion_path.h"

#include "engine/interpolation.h"
#include "platform/drawing.h"

namespace vantoril {

int DrawMotionPath(std::span<const KeyFrame> keys, int mode, int originX, int originY, double scale,
                   uint32_t colour) {
  const int n = static_cast<int>(keys.size());
  for (int i = 0; i + 1 < n; ++i) {
    double x0 = keys[i].x;
    double y0 = keys[i].y;
    // The step is an f32 of 1/16 of the move.
    const float step = static_cast<float>(keys[i + 1].time - keys[i].time) * 0.0625f;
    for (int j = 1; j <= 16; ++j) {
      const int t = keys[i].time + static_cast<int>(static_cast<float>(j) * step);
      const double x1 = Interpolate(keys, 0, t, false, mode);
      const double y1 = Interpolate(keys, 2, t, false, mode);
      DrawLine(
          colour,
          Rect{static_cast<int>(x0 * scale) + originX, static_cast<int>(y0 * scale) + originY,
               static_cast<int>(x1 * scale) + originX, static_cast<int>(y1 * scale) + originY});
      x0 = x1;
      y0 = y1;
    }
  }
  for (const KeyFrame& key : keys) {
    const int x = originX + static_cast<int>(key.x * scale);
    const int y = originY + static_cast<int>(key.y * scale);
    DrawOutlineEllipse(Rgb(255, 0, 0), Rect{x - 3, y - 3, x + 3, y + 3});
  }
  return n;
}

}  // namespace vantoril
