#pragma once

#include <array>
#include <cstdint>

#include "platform/geometry.h"

namespace vantoril {

// A button drawn from bitmap resources, one per state. It draws on the
// current drawing context (platform/drawing.h).
class BitmapButton {
 public:
  enum State : int32_t { kNormal = 0, kPressed = 1, kAlternate = 2, kDisabled = 3 };

  BitmapButton() = default;
  // In the order of the program's button tables; 0 draws nothing.
  BitmapButton(int normal, int pressed, int disabled, int alternate);

  // Stores the rectangle and draws the current state there.
  void Place(const Rect& rect);
  // Stores the state and draws its bitmap (when it has one).
  void SetState(int32_t state);
  // False when disabled, not placed yet, or (x, y) lies outside the
  // rectangle (edges inside); otherwise takes `state` and gives true.
  bool PressTest(int x, int y, int32_t state);

  int32_t CurrentState() const { return state_; }
  const Rect& Rectangle() const { return rect_; }

 private:
  std::array<int, 4> bitmaps_{};  // by state
  Rect rect_{};
  bool placed_ = false;
  int32_t state_ = kNormal;
};

}  // namespace vantoril
