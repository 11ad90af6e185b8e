#include "app/stage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWheelEvent>
#include <chrono>
#include <span>
#include <thread>
#include <tuple>
#include <utility>

#include "app/main_window.h"
#include "app/support/app_harness.h"
#include "media/audio_output.h"
#include "media/sound_track_player.h"
#include "platform/message_queue.h"
#include "platform/window_impl.h"

namespace vantoril {
namespace {

using testing::AppHarness;
using testing::Click;
using testing::ExamplesFolder;
using testing::Pump;

TEST(StageGeometry, HandlesRotateWithThePicture) {
  KeyFrame state;
  state.x = 320, state.y = 240, state.width = 400, state.height = 200;
  // Rotated corners round half up: the top-left corner sits one pixel in.
  PictureOutline o = OutlineOf(state, 1.0, {0, 0});
  EXPECT_EQ(o.corners[0], (Point{121, 141}));
  EXPECT_EQ(o.corners[2], (Point{520, 340}));
  // Half-size of the handle squares: hw / 6 = 33 for a 400-pixel picture.
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 121 + 33, 141 - 33), StageDrag::kRotate);
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 121 + 34, 141), StageDrag::kNone);
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 520 - 33, 340 + 33), StageDrag::kResize);
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 320 + 100, 240), StageDrag::kMove);
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 320 + 101, 240), StageDrag::kNone);
  // Turned a quarter, the top-left corner lies at the top right.
  state.rotation = 90;
  o = OutlineOf(state, 1.0, {0, 0});
  EXPECT_EQ(o.corners[0], (Point{420, 41}));
  EXPECT_EQ(HitTestOutline(state, 1.0, {0, 0}, 420, 41), StageDrag::kRotate);
  // Small pictures keep handles of half-size 4.
  state = KeyFrame{};
  state.x = 100, state.y = 100, state.width = 40, state.height = 40;
  o = OutlineOf(state, 1.0, {10, 20});
  EXPECT_EQ(HitTestOutline(state, 1.0, {10, 20}, o.corners[0].x - 4, o.corners[0].y - 4),
            StageDrag::kRotate);
  EXPECT_EQ(HitTestOutline(state, 1.0, {10, 20}, o.corners[0].x - 5, o.corners[0].y),
            StageDrag::kNone);
}

TEST(StageGeometry, ZoomStepsAndStoredScale) {
  for (auto [from, in, out] : {std::tuple{0.5, 0.75, 0.5}, {1.0, 2.0, 0.75}, {2.0, 2.0, 1.0}}) {
    EXPECT_EQ(ZoomIn(from), in) << from;
    EXPECT_EQ(ZoomOut(from), out) << from;
  }
  for (auto [stored, scale] : {std::pair{75, 0.75}, {0, 1.0}, {-50, 1.0}, {333, 1.0}}) {
    EXPECT_EQ(ScaleFromSetting(stored), scale) << stored;
  }
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
  EXPECT_EQ(app.Doc().PictureAt(0).keyCount, 2);

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
  EXPECT_EQ(app.GetStage().HitTestSelected(c.x, c.y), StageDrag::kNone);
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
  EXPECT_EQ(app.GetStage().HitTestSelected(x, y), StageDrag::kNone);
  Click(app.GetStage().Handle(), kWmLButtonDown, kMkLButton | kMkShift, x, y);
  Click(app.GetStage().Handle(), kWmLButtonUp, 0, x, y);
  testing::PressKey(app.GetStage().Handle(), 39, 0);
  EXPECT_EQ(app.Doc().PictureAt(0).keyCount, 1);
  EXPECT_FALSE(app.Doc().Modified());
}

TEST_F(StageGestures, ArrowKeysNudgeTheStateAndATransportKeyEndsADrag) {
  const WindowHandle stage = app.GetStage().Handle();
  testing::PressKey(stage, 39, 0);  // Right
  testing::PressKey(stage, 40, 0);  // Down
  EXPECT_FLOAT_EQ(app.State(0).x, 321);
  EXPECT_FLOAT_EQ(app.State(0).y, 241);
  const Point c = Centre();
  Click(stage, kWmLButtonDown, kMkLButton, c.x, c.y);
  ASSERT_EQ(app.GetStage().DragMode(), StageDrag::kMove);
  testing::PressKey(stage, 'K', 'k');  // stop
  EXPECT_EQ(app.GetStage().DragMode(), StageDrag::kNone);
}

// Without Auto Add Keys a drag sets no key frame; zooming only redraws, so
// the drag stays until the time changes. Page Up resizes the picture that was
// selected when it was pressed.
TEST_F(StageGestures, ZoomKeepsAnUnkeyedDragAndPageKeysResizeThePictureTheyFound) {
  app.Main().RunCommand(cmd::kAutoAddKeys);
  const Point c = Centre();
  Drag(c, Point{c.x + 30, c.y});
  EXPECT_EQ(app.Doc().PictureAt(0).keyCount, 1);
  app.Main().RunCommand(cmd::kZoomOut);
  EXPECT_DOUBLE_EQ(app.GetStage().Scale(), 0.75);
  EXPECT_FLOAT_EQ(app.State(0).x, 350);
  app.Doc().GoToTime(91, true);
  EXPECT_FLOAT_EQ(app.State(0).x, 320);

  app.LoadPicture("sun.bmp");  // the new one becomes picture 0, selected
  ASSERT_EQ(app.Doc().pictureCount, 2);
  testing::PressKey(app.Main().Handle(), 34, 0);      // Page Down: selects picture 1
  testing::PressKey(app.GetStage().Handle(), 33, 0);  // Page Up on the Stage
  EXPECT_EQ(app.Doc().selectedPicture, 0);
  EXPECT_FLOAT_EQ(app.State(1).width, 161);  // picture 1 had the selection
  EXPECT_FLOAT_EQ(app.State(0).width, 160);
}

// At 200 % in a 640 x 480 main window the transport row lies out of view;
// scrolled to, everything on the Stage works where it is seen.
TEST(StageScrolling, ControlsAndGesturesWorkWhereTheyAreSeen) {
  AppHarness app;
  app.LoadPicture("sun.bmp");
  FrameOf(app.Main())->showNormal();
  app.Main().Move(Rect{0, 0, 640, 480}, false);
  Pump();
  app.Main().LayoutChildren();
  app.Main().RunCommand(cmd::kZoomIn);
  ASSERT_DOUBLE_EQ(app.GetStage().Scale(), 2.0);
  app.Doc().GoToTime(90, true);
  app.Doc().SetKeyAtCurrentTime();  // room to play
  app.Doc().GoToTime(0, true);
  Stage& stage = app.GetStage();
  const Rect client = stage.ClientRect();
  const Rect picture = stage.PictureRect();
  const Rect play{picture.right - 132, picture.bottom + 8, picture.right - 113,
                  picture.bottom + 27};
  ASSERT_GT(play.bottom, client.bottom);

  // The wheel scrolls a line per notch, sideways with Shift.
  const auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(CanvasOf(stage), &event);
    Pump();
  };
  wheel(-240, Qt::NoModifier);
  EXPECT_EQ(stage.ScrollPosition(), (Point{0, 120}));
  wheel(-120, Qt::ShiftModifier);
  wheel(120, Qt::NoModifier);
  EXPECT_EQ(stage.ScrollPosition(), (Point{60, 60}));

  const auto scrollTo = [&](int x, int y) {
    PostMessage(stage.Handle(), kWmHScroll, kSbThumbPosition | ScrollThumbParameter(x), 0);
    PostMessage(stage.Handle(), kWmVScroll, kSbThumbPosition | ScrollThumbParameter(y), 0);
    Pump();
    return stage.ScrollPosition();
  };
  Point s = scrollTo(play.left - 100, play.top - 100);
  // Play, then a click on the Timeline moves playback and a key stops it.
  PostMessage(stage.Handle(), kWmLButtonDown, kMkLButton,
              MakeLParam(play.left + 5 - s.x, play.top + 5 - s.y));
  PostMessage(stage.Handle(), kWmLButtonUp, 0, MakeLParam(play.left + 5 - s.x, play.top + 5 - s.y));
  PostMessage(app.timeline.window.Handle(), kWmLButtonUp, 0, MakeLParam(40, 10));
  PostMessage(app.Main().Handle(), kWmKeyDown, 27, 1);
  Pump();
  EXPECT_GE(app.Doc().clock.currentTime, 40);
  EXPECT_LT(app.Doc().clock.currentTime, 50);

  // A drag moves the picture by exactly the distance dragged.
  const KeyFrame before = app.State(0);
  const Point centre = OutlineOf(before, 2.0, {picture.left, picture.top}).centre;
  s = scrollTo(centre.x - 200, centre.y - 100);
  ASSERT_EQ(s, (Point{centre.x - 200, centre.y - 100}));
  const Point from{centre.x - s.x, centre.y - s.y};
  Click(stage.Handle(), kWmLButtonDown, kMkLButton, from.x, from.y);
  Click(stage.Handle(), kWmMouseMove, kMkLButton, from.x + 30, from.y + 20);
  Click(stage.Handle(), kWmLButtonUp, 0, from.x + 30, from.y + 20);
  EXPECT_FLOAT_EQ(app.State(0).x, before.x + 15);
  EXPECT_FLOAT_EQ(app.State(0).y, before.y + 10);
  // What is seen there is the picture's centre pixel.
  stage.Repaint();
  const Point moved = OutlineOf(app.State(0), 2.0, {picture.left, picture.top}).centre;
  EXPECT_EQ(stage.PixelAt(moved.x - s.x + 40, moved.y - s.y),
            stage.PixelAt(from.x + 30 + 40, from.y + 20));
}

// The field preview shows the whole stage frame: 853 pixels at 16:9.
TEST_F(StageGestures, FieldPreviewIsAsWideAsTheStage) {
  app.Main().RunCommand(cmd::kAspect16x9);
  app.GetStage().SetScale(0.5);  // the frame's own size is wider than this
  app.GetStage().Repaint();
  const uint32_t grey = app.GetStage().PixelAt(700, 10);
  ASSERT_EQ(grey, kLightGrey);
  testing::PressKey(app.Main().Handle(), 100, 'd');
  EXPECT_NE(app.GetStage().PixelAt(700, 10), grey);
  EXPECT_NE(app.GetStage().PixelAt(850, 470), grey);
}

// A sound device that takes its time to open, as a sound server's may.
class SlowOpeningOutput final : public AudioOutput {
 public:
  int Open(const WaveFormat&, BufferDone) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    open_ = true;
    return kAudioOpened;
  }
  bool IsOpen() const override { return open_; }
  void Queue(std::span<const uint8_t>) override {}
  void Reset() override {}
  void Close() override { open_ = false; }

 private:
  bool open_ = false;
};

// The pictures' clock starts once the sound plays, not while its device
// opens: the first frame shown with the sound is the frame it starts at.
TEST(StagePlayback, ThePicturesStartWithTheSound) {
  SlowOpeningOutput output;
  SoundTrackPlayer player(output, nullptr);
  AppHarness app(&player);
  ASSERT_TRUE(app.Doc().soundFile.SetPath((ExamplesFolder() / "sounds" / "scale.wav").string()));
  app.Doc().clock.frameRate = 3000;
  PostMessage(app.Main().Handle(), kWmKeyDown, 27, 1);  // stops after the first frame
  app.GetStage().Transport(1);
  EXPECT_LT(app.Doc().clock.currentTime, 3);  // 300 ms would be frame 9
}

// The preview keeps the pace of the frame rate chosen since the program
// started, as the movie will: frames 0 to 11 last half a second at 23.97,
// not the 0.4 s they would at the 29.97 the program started with.
TEST(StagePlayback, KeepsThePaceOfTheFrameRateChosenSinceTheStart) {
  AppHarness app;
  ASSERT_EQ(app.Doc().clock.frameRate, kFrameRateNtsc);
  app.LoadPicture("sun.bmp");
  app.Doc().GoToTime(11, true);
  app.Doc().SetKeyAtCurrentTime();
  app.Doc().GoToTime(0, true);
  app.Main().RunCommand(cmd::kFilm);
  const auto start = std::chrono::steady_clock::now();
  app.GetStage().Transport(1);  // plays on past frame 11
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

// A close request (the session ending) stops the preview and waits for the
// main loop instead of being lost.
TEST(StagePlayback, ACloseRequestStopsThePreviewAndWaits) {
  AppHarness app;
  PostMessage(app.Main().Handle(), kWmClose, 0, 0);
  app.GetStage().Transport(1);
  Message waiting;
  ASSERT_TRUE(PeekMessage(waiting));
  EXPECT_EQ(waiting.message, kWmClose);
  EXPECT_EQ(waiting.window, app.Main().Handle());
}

}  // namespace
}  // namespace vantoril
