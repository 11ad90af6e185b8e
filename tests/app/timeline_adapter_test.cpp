#include "app/timeline_adapter.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/main_window.h"
#include "app/stage.h"
#include "app/support/app_harness.h"
#include "platform/key_codes.h"
#include "platform/menus.h"
#include "platform/message_queue.h"
#include "platform/window_impl.h"
#include "ui/dialogs/key_frame_options.h"
#include "ui/timeline/timeline_geometry.h"

namespace vantoril {
namespace {

using testing::AppHarness;
using testing::Click;
using testing::Pump;

constexpr int kTrackY = 20;  // the first row, inside the key frames' hit band

// The main window with the real Timeline plugged in, over one picture with
// key frames at 0 and 90 (moved 40 to the right at 90).
class TimelinePlugIn : public ::testing::Test {
 protected:
  void SetUp() override {
    app.LoadPicture("sun.bmp");
    ASSERT_EQ(app.Doc().pictureCount, 1);
    app.GetStage().SetScale(1.0);
    app.Doc().GoToTime(90, true);
    app.State(0).x += 40;
    app.Doc().SetKeyAtCurrentTime();
    ASSERT_EQ(app.Doc().PictureAt(0).keyCount, 2);
    app.Doc().GoToTime(0, true);

    auto adapter = TimelineAdapter::Create(app.Main(), app.Doc(), app.settings);
    ASSERT_NE(adapter, nullptr);
    timeline = &adapter->Timeline();
    app.Main().AdoptTimeline(std::move(adapter));
    Pump();
  }

  int XOf(int frame) const { return timeline::TimeToX(frame, timeline->TimeScale()); }
  void ClickOn(WindowHandle window, int x, int y) {
    Click(window, kWmLButtonDown, kMkLButton, x, y);
    Click(window, kWmLButtonUp, 0, x, y);
  }

  AppHarness app;
  TimelineWindow* timeline = nullptr;
};

TEST_F(TimelinePlugIn, ScrubbingOnTheTimelineMovesTheStagesTime) {
  EXPECT_TRUE(app.Main().HasTimeline());
  const int x = XOf(45);
  Click(timeline->Handle(), kWmLButtonDown, kMkLButton, XOf(10), kTrackY);
  Click(timeline->Handle(), kWmMouseMove, kMkLButton, x, kTrackY);
  EXPECT_EQ(app.Doc().clock.currentTime, timeline->TimeAtClientX(x));
  // The red line and the status panel follow the mouse too.
  EXPECT_EQ(timeline->PixelAt(x, 40), Rgb(255, 0, 0));
  const QImage& main = BackingImageOf(app.Main());
  const QRect panel(0, app.Main().ClientRect().bottom - 40, 120, 12);
  const QImage panelBefore = main.copy(panel);
  Click(timeline->Handle(), kWmMouseMove, kMkLButton, XOf(80), kTrackY);
  EXPECT_EQ(timeline->PixelAt(XOf(80), 40), Rgb(255, 0, 0));
  EXPECT_NE(main.copy(panel), panelBefore);
  Click(timeline->Handle(), kWmMouseMove, kMkLButton, x, kTrackY);
  Click(timeline->Handle(), kWmLButtonUp, 0, x, kTrackY);
  const int t = timeline->TimeAtClientX(x);
  EXPECT_EQ(app.Doc().clock.currentTime, t);
  // The Stage shows the picture half-way along its move.
  EXPECT_FLOAT_EQ(app.State(0).x, app.Doc().EvaluatePicture(0, t, false).x);
  EXPECT_GT(app.State(0).x, app.Doc().PictureAt(0).keys[0].x);
  EXPECT_LT(app.State(0).x, app.Doc().PictureAt(0).keys[1].x);
  // A plain click is no drag: the key frames stay.
  EXPECT_EQ(app.Doc().PictureAt(0).keys[1].time, 90);
}

TEST_F(TimelinePlugIn, EnlargeAndContractKeysChangeTheTimelinesScale) {
  const int scale = timeline->TimeScale();
  testing::PressKey(app.Main().Handle(), vk::kOemComma, ',');
  const int enlarged = timeline->TimeScale();
  EXPECT_EQ(enlarged, timeline::EnlargedTimeScale(scale, 30));
  EXPECT_EQ(app.Main().TimeScale(), enlarged);
  // Keys pressed on the Timeline run the main window's tables too; Contract
  // goes on down to f / 4 (a ten-minute ruler is wider than 16 bits reach).
  testing::PressKey(timeline->Handle(), vk::kOemPeriod, '.');
  EXPECT_EQ(timeline->TimeScale(), scale);
  EXPECT_EQ(app.Main().TimeScale(), scale);
  app.Main().RunCommand(cmd::kContractTimeline);
  app.Main().RunCommand(cmd::kContractTimeline);
  EXPECT_EQ(timeline->TimeScale(), 5);
  EXPECT_EQ(timeline->ContentWidth(), XOf(app.Doc().showLength));
  EXPECT_EQ(app.Doc().PictureAt(0).keyCount, 2);  // the "." character is not Delete here
}

TEST_F(TimelinePlugIn, PickingAPictureOnTheTimelineUpdatesThePictureMenu) {
  app.LoadPicture("sun.bmp");
  app.Doc().SetBrush(1, Brush::kPixelate);
  app.Doc().ToggleLock(1);
  timeline->SetViewMode(TimelineWindow::kAllPicturesView);
  app.Main().LayoutChildren();
  ASSERT_EQ(app.Doc().selectedPicture, 0);
  ASSERT_EQ(app.Main().Menu().ItemFlags(cmd::kNormalImage), kMenuChecked);
  ClickOn(timeline->Handle(), XOf(45), 14 + 15 + 5);  // on row 1, off its marks
  EXPECT_EQ(app.Doc().selectedPicture, 1);
  EXPECT_EQ(app.Main().Menu().ItemFlags(1013), kMenuChecked);  // Pixelate
  EXPECT_EQ(app.Main().Menu().ItemFlags(cmd::kNormalImage), 0u);
  EXPECT_EQ(app.Main().Menu().ItemFlags(cmd::kLock), kMenuChecked);
}

TEST_F(TimelinePlugIn, DeleteRemovesTheKeyFrameTheTimelineMarksCurrent) {
  ClickOn(timeline->Handle(), XOf(90), kTrackY);
  EXPECT_EQ(app.Doc().clock.currentTime, 90);
  EXPECT_EQ(app.Doc().PictureAt(0).keys[1].time, 90);  // clicked, not dragged
  EXPECT_EQ(app.Doc().currentKey, 1);
  testing::PressKey(app.Main().Handle(), vk::kDelete, 0);
  EXPECT_EQ(app.Doc().PictureAt(0).keyCount, 1);
  EXPECT_EQ(app.KeyAt(0, 90), nullptr);

  testing::TypeCharacter(app.Main().Handle(), 26);  // Ctrl+Z
  ASSERT_EQ(app.Doc().PictureAt(0).keyCount, 2);
  // One frame off, the key frame's mark still holds the current time.
  testing::TypeCharacter(app.Main().Handle(), '+');
  EXPECT_EQ(app.Doc().clock.currentTime, 91);
  EXPECT_EQ(app.Doc().currentKey, 1);
  app.Main().RunCommand(cmd::kDelete);
  EXPECT_EQ(app.Doc().PictureAt(0).keyCount, 1);

  // Away from every mark nothing is current and Delete does nothing.
  app.Doc().GoToTime(60, true);
  EXPECT_EQ(app.Doc().currentKey, -1);
  app.Main().RunCommand(cmd::kDelete);
  EXPECT_EQ(app.Doc().PictureAt(0).keyCount, 1);
}

TEST_F(TimelinePlugIn, AClickOnTheTimelineDuringPlaybackMovesPlayback) {
  const int x = XOf(40);
  const int t = timeline->TimeAtClientX(x);
  PostMessage(timeline->Handle(), kWmLButtonUp, 0, MakeLParam(x, kTrackY));
  PostMessage(app.Main().Handle(), kWmKeyDown, vk::kEscape, 1);  // stops
  app.GetStage().Transport(1);
  EXPECT_EQ(app.GetStage().PlayDirection(), 0);
  EXPECT_GE(app.Doc().clock.currentTime, t);
  EXPECT_LT(app.Doc().clock.currentTime, t + 10);
}

TEST_F(TimelinePlugIn, TheViewButtonSwitchesToEveryPicturesTrackAndBack) {
  const Rect client = app.Main().ClientRect();
  const int stageBottom = app.GetStage().WindowRect().bottom;
  const TimelineLink& link = *app.Main().Timeline().Get();
  const int bx = link.Left() - 14, by = client.bottom - 22;
  ClickOn(app.Main().Handle(), bx, by);
  EXPECT_EQ(timeline->ViewMode(), TimelineWindow::kAllPicturesView);
  // One picture: one row of 15 less than the single view's 84.
  EXPECT_EQ(app.GetStage().WindowRect().bottom, stageBottom + 84 - (54 + 15));
  ClickOn(app.Main().Handle(), bx, by);
  EXPECT_EQ(timeline->ViewMode(), TimelineWindow::kSinglePictureView);
  EXPECT_EQ(app.GetStage().WindowRect().bottom, stageBottom);

  // A new show starts in the single view, the Stage at its full height.
  ClickOn(app.Main().Handle(), bx, by);
  ASSERT_EQ(timeline->ViewMode(), TimelineWindow::kAllPicturesView);
  testing::AnswerMessageBox(nullptr, "&No");
  app.Main().RunCommand(cmd::kNewShow);
  EXPECT_EQ(timeline->ViewMode(), TimelineWindow::kSinglePictureView);
  EXPECT_EQ(app.GetStage().WindowRect().bottom, stageBottom);
}

// The Stage's right click opens the short key frame options: a code the full
// form could not show survives an OK.
class StageOptions : public TimelinePlugIn {
 protected:
  void RightClickAndAnswer(bool ok) {
    const Rect r = app.GetStage().PictureRect();
    const Point c = OutlineOf(app.State(0), 1.0, {r.left, r.top}).centre;
    const int x0 = std::max(c.x + 100 - 250, 8);
    const int y0 = std::max(std::min(c.y + 30, RectHeight(app.GetStage().ClientRect()) - 160), 0);
    const int rows = kKeyFrameOptionShortRows;
    const int bx = ok ? x0 + 5 : x0 + 3;
    const int by = ok ? y0 + 36 + 20 * rows + 10 : y0 + 78 + 20 * rows - 1;
    const WindowHandle stage = app.GetStage().Handle();
    PostMessage(stage, kWmRButtonDown, kMkRButton, MakeLParam(c.x, c.y));
    PostMessage(stage, kWmLButtonDown, kMkLButton, MakeLParam(bx, by));
    PostMessage(stage, kWmLButtonUp, 0, MakeLParam(bx, by));
    Pump();
  }
};

TEST_F(StageOptions, OkKeepsTheEaseAndSetsTheKeyFrameCancelChangesNothing) {
  app.Doc().GoToTime(90, true);
  const KeyFrame before = *app.KeyAt(0, 90);
  app.State(0).x = 333.6f;
  const int undo = app.Doc().undoCount;
  RightClickAndAnswer(false);
  EXPECT_EQ(*app.KeyAt(0, 90), before);
  EXPECT_EQ(app.Doc().undoCount, undo);

  KeyFrame eased = app.Doc().GetKey(1, 0);
  eased.easeCode = 4500;
  app.Doc().PutKey(1, eased, 0);
  app.Doc().GoToTime(90, true);
  app.State(0).easeCode = 4500;
  app.State(0).x = 333.6f;
  RightClickAndAnswer(true);
  const KeyFrame* key = app.KeyAt(0, 90);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->easeCode, 4500);
  EXPECT_EQ(key->x, 333.6f);  // left as shown (333), so it keeps its fraction
  EXPECT_EQ(app.Doc().undoCount, undo + 1);
}

}  // namespace
}  // namespace vantoril
