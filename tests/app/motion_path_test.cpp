#include "app/motion_path.h"

#include <gtest/gtest.h>

#include "engine/interpolation.h"
#include "gui_support/qt_environment.h"
#include "platform/drawing.h"
#include "platform/window.h"

namespace vantoril {
namespace {

// A move is drawn as 16 lines; the last one ends on the next key frame.
TEST(MotionPath, TheLastLineOfAMoveEndsAtTheNextKey) {
  Window window;
  ASSERT_TRUE(window.Create(nullptr, kStylePopup));
  window.Move(Rect{0, 0, 400, 100}, false);
  window.Show(kShowNormal);
  testing::ProcessEvents();
  KeyFrame keys[2];
  keys[0].x = 40, keys[0].y = 50;
  keys[1].x = 360, keys[1].y = 50, keys[1].time = 32;
  DrawingScope scope(window);
  DrawFilledRect(kWhite, Rect{0, 0, 402, 102});
  // Straight lines without the default ease: lines of 20 pixels, the last
  // from 340 to 360, where the key's red circle (357 .. 363) begins.
  EXPECT_EQ(DrawMotionPath(keys, kStraightLines | 3, 0, 0, 1.0, kBlack), 2);
  for (const int x : {41, 200, 341, 355}) {
    EXPECT_EQ(window.PixelAt(x, 50), kBlack) << x;
  }
  EXPECT_EQ(window.PixelAt(360, 47), Rgb(255, 0, 0));
}

}  // namespace
}  // namespace vantoril
