#include "platform/bitmap_button.h"

#include "platform/drawing.h"

namespace vantoril {

BitmapButton::BitmapButton(int normal, int pressed, int disabled, int alternate)
    : bitmaps_{normal, pressed, alternate, disabled} {}

void BitmapButton::Place(const Rect& rect) {
  rect_ = rect;
  placed_ = true;
  SetState(state_);
}

void BitmapButton::SetState(int32_t state) {
  if (state < kNormal || state > kDisabled) {
    return;
  }
  state_ = state;
  const int bitmap = bitmaps_[static_cast<size_t>(state)];
  if (placed_ && bitmap != 0) {
    DrawBitmapResource(rect_, bitmap);
  }
}

bool BitmapButton::PressTest(int x, int y, int32_t state) {
  if (!placed_ || state_ == kDisabled || !PointInRect(rect_, x, y)) {
    return false;
  }
  SetState(state);
  return true;
}

}  // namespace vantoril
