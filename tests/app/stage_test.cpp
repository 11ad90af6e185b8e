#include "app/stage.h"

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/support/app_harness.h"
#include "platform/message_queue.h"

namespace vantoril {
namespace {

using testing::AppHarness;
using testing::Click;
using testing::Pump;

TEST(StageGeometry, HandlesRotateWithThePicture) {
  KeyFrame state;
  state.x = 320, state.y = 240, state.width = 400, state.height = 200;
  // Rotated corners round half up: -199.5 becomes -199, so the top-left
  // corner of an unturned picture sits one pixel in.
  PictureOutline o = OutlineOf(state, 1.0, {0, 0});
  EXPECT_EQ(o.corners[0], (Point{121, 141}));
  EXPECT_EQ(o.corners[2], (Point{520, 340}));
  // Half-size of the handle squares: hw / 6 = 33 for a 400-pixel picture.
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 121 + 33, 141 - 33), kDragRotate);
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 121 + 34, 141), kDragNone);
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 520 - 33, 340 + 33), kDragResize);
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 320 + 100, 240), kDragMove);
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 320 + 101, 240), kDragNone);
  // Turned a quarter, the top-left corner lies at the top right.
  state.rotation = 90;
  o = OutlineOf(state, 1.0, {0, 0});
  EXPECT_EQ(o.corners[0], (Point{420, 41}));
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 420, 41), kDragRotate);
  // Small pictures keep handles of half-size 4.
  state = KeyFrame{};
  state.x = 100, state.y = 100, state.width = 40, state.height = 40;
  o = OutlineOf(state, 1.0, {10, 20});
  EXPECT_EQ(HitTestOutline(state, 1.0, {10, 20}, o.corners[0].x - 4, o.corners[0].y - 4),
            kDragRotate);
  EXPECT_EQ(HitTestOutline(state, 1.0, {10, 20}, o.corners[0].x - 5, o.corners[0].y), kDragNone);
}

TEST(StageGeometry, ZoomStepsAndStoredScale) {
  EXPECT_EQ(ZoomIn(0.5), 0.75);
  EXPECT_EQ(ZoomIn(1.0), 2.0);
  EXPECT_EQ(ZoomIn(2.0), 2.0);
  EXPECT_EQ(ZoomOut(2.0), 1.0);
  EXPECT_EQ(ZoomOut(0.5), 0.5);
  EXPECT_EQ(ScaleFromSetting(75), 0.75);
  EXPECT_EQ(ScaleFromSetting(0), 1.0);
  EXPECT_EQ(ScaleFromSetting(-50), 1.0);
  EXPECT_EQ(ScaleFromSetting(333), 1.0);
}

class StageGestures : public ::testing::Test {
 protected:
  void SetUp() override {
    app.LoadPicture("sun.bmp");
    ASSERT_EQ(app.Doc().pictureCount, 1);
    app.GetStage().SetScale(1.0);
    app.Doc().GoToTime(90, true);
    Pump();
  }
  PictureOutline Outline() {
    const Rect r = app.GetStage().PictureRect();
    return OutlineOf(app.State(0), 1.0, {r.left, r.top});
  }
  Point Centre() { return Outline().centre; }
  Point Corner(int i) { return Outline().corners[i]; }
  void Drag(Point from, Point to, uintptr_t modifiers = 0) {
    const WindowHandle stage = app.GetStage().Handle();
    Click(stage, kWmLButtonDown, kMkLButton | modifiers, from.x, from.y);
    Click(stage, kWmMouseMove, kMkLButton | modifiers, to.x, to.y);
    Click(stage, kWmLButtonUp, modifiers, to.x, to.y);
  }
  AppHarness app;
};

TEST_F(StageGestures, MoveResizeRotateSetKeysAndUndoRestores) {
  const Point c = Centre();
  Drag(c, Point{c.x + 30, c.y + 20});
  const KeyFrame* key = app.KeyAt(0, 90);
  ASSERT_NE(key, nullptr);
  EXPECT_FLOAT_EQ(key->x, 320 + 30);
  EXPECT_FLOAT_EQ(key->y, 240 + 20);

  // Resizing keeps the picture's proportions (160 x 120).
  Point corner = Corner(2);
  Drag(corner, Point{corner.x + 20, corner.y});
  key = app.KeyAt(0, 90);
  EXPECT_FLOAT_EQ(key->width, 200);
  EXPECT_FLOAT_EQ(key->height, 150);
  // With Shift the sides change on their own.
  corner = Corner(2);
  Drag(corner, Point{corner.x, corner.y + 10}, kMkShift);
  key = app.KeyAt(0, 90);
  EXPECT_FLOAT_EQ(key->width, 200);
  EXPECT_FLOAT_EQ(key->height, 170);

  // Half a degree per pixel from the top-left handle.
  corner = Corner(0);
  Drag(corner, Point{corner.x + 40, corner.y});
  EXPECT_FLOAT_EQ(app.KeyAt(0, 90)->rotation, 20);
  EXPECT_EQ(app.Doc().keyCount[0], 2);

  testing::TypeCharacter(app.Main().Handle(), 26);  // Ctrl+Z
  EXPECT_FLOAT_EQ(app.KeyAt(0, 90)->rotation, 0);
  EXPECT_FLOAT_EQ(app.KeyAt(0, 90)->height, 170);
}

TEST_F(StageGestures, ShiftKeepsMovesOnOneAxisAndZeroesRotation) {
  const Point c = Centre();
  Drag(c, Point{c.x + 40, c.y + 5}, kMkShift);
  EXPECT_FLOAT_EQ(app.KeyAt(0, 90)->x, 360);
  EXPECT_FLOAT_EQ(app.KeyAt(0, 90)->y, 240);
  const Point corner = Corner(0);
  Drag(corner, Point{corner.x + 40, corner.y});
  ASSERT_FLOAT_EQ(app.KeyAt(0, 90)->rotation, 20);
  const Point turned = Corner(0);
  Drag(turned, Point{turned.x + 25, turned.y}, kMkShift);
  EXPECT_FLOAT_EQ(app.KeyAt(0, 90)->rotation, 0);
}

TEST_F(StageGestures, WithoutAutoAddKeysTheDragLeavesTheKeyFrames) {
  app.Main().RunCommand(cmd::kAutoAddKeys);
  const Point c = Centre();
  Drag(c, Point{c.x + 30, c.y});
  EXPECT_EQ(app.Doc().keyCount[0], 1);
  EXPECT_FLOAT_EQ(app.State(0).x, 350);  // the stage shows it until the time changes
  app.Doc().GoToTime(91, true);
  EXPECT_FLOAT_EQ(app.State(0).x, 320);
}

TEST_F(StageGestures, LevelGaugeClampsAndLockedPicturesIgnoreGestures) {
  const Rect r = app.GetStage().PictureRect();
  const WindowHandle stage = app.GetStage().Handle();
  Drag(Point{r.left + 10, r.bottom + 10}, Point{r.left + 300, r.bottom + 10});
  ASSERT_NE(app.KeyAt(0, 90), nullptr);
  EXPECT_FLOAT_EQ(app.KeyAt(0, 90)->level, 100);
  Click(stage, kWmLButtonDown, kMkLButton, r.left + 10, r.bottom + 10);
  Click(stage, kWmLButtonUp, 0, r.left - 300, r.bottom + 10);
  EXPECT_FLOAT_EQ(app.KeyAt(0, 90)->level, 0);

  app.Main().RunCommand(cmd::kLock);
  const Point c = Centre();
  EXPECT_EQ(app.GetStage().HitTestSelected(c.x, c.y), kDragNone);
  const KeyFrame before = *app.KeyAt(0, 90);
  Drag(c, Point{c.x + 30, c.y});
  testing::PressKey(stage, 37, 0);  // Left
  EXPECT_EQ(*app.KeyAt(0, 90), before);
  EXPECT_FLOAT_EQ(app.State(0).x, before.x);
}

TEST(StageWithoutPictures, GesturesAndKeysDoNothing) {
  AppHarness app;
  Pump();
  const Rect r = app.GetStage().PictureRect();
  const int x = RectCentreX(r), y = RectCentreY(r);
  EXPECT_EQ(app.GetStage().HitTestSelected(x, y), kDragNone);
  Click(app.GetStage().Handle(), kWmLButtonDown, kMkLButton | kMkShift, x, y);
  Click(app.GetStage().Handle(), kWmLButtonUp, 0, x, y);
  testing::PressKey(app.GetStage().Handle(), 39, 0);
  EXPECT_EQ(app.Doc().keyCount[0], 1);
  EXPECT_EQ(app.Doc().modified, 0);
}

TEST_F(StageGestures, ArrowKeysNudgeTheStateAndATransportKeyEndsADrag) {
  const WindowHandle stage = app.GetStage().Handle();
  testing::PressKey(stage, 39, 0);  // Right
  testing::PressKey(stage, 40, 0);  // Down
  EXPECT_FLOAT_EQ(app.State(0).x, 321);
  EXPECT_FLOAT_EQ(app.State(0).y, 241);
  const Point c = Centre();
  Click(stage, kWmLButtonDown, kMkLButton, c.x, c.y);
  ASSERT_EQ(app.GetStage().DragMode(), kDragMove);
  testing::PressKey(stage, 'K', 'k');  // stop
  EXPECT_EQ(app.GetStage().DragMode(), kDragNone);
}

}  // namespace
}  // namespace vantoril
