#include "ui/timeline/timeline_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "gui_support/qt_environment.h"
#include "platform/message_queue.h"
#include "platform/resources.h"
#include "ui/timeline/timeline_geometry.h"
#include "ui/timeline/timeline_owner.h"

namespace vantoril {
namespace {

class RecordingOwner : public TimelineOwner {
 public:
  void UpdateEditMenu() override { ++editMenuUpdates; }
  void UpdatePictureMenu() override {}
  void PassKeyToMainWindow(uint32_t message, uintptr_t wParam, intptr_t) override {
    keys.push_back({message, wParam});
  }
  void RequestClose() override { ++closeRequests; }
  Window* StageWindow() override { return nullptr; }
  void RepaintStage() override { ++stageRepaints; }
  void DrawStage(bool) override {}
  void DrawTimecodeAndLevel(int frame, int) override { shownTime = frame; }
  void DrawStatusPanel() override {}
  void MovePlaybackTo(int frame) override { playbackTime = frame; }

  int editMenuUpdates = 0, closeRequests = 0, stageRepaints = 0, shownTime = -1, playbackTime = -1;
  std::vector<std::pair<uint32_t, uintptr_t>> keys;
};

KeyFrame Key(int32_t time, float x) {
  KeyFrame key;
  key.x = x, key.y = 240, key.width = 100, key.height = 100, key.level = 100, key.time = time;
  return key;
}

// At 30 f.p.s. and TimeScale 30 a frame is 2 pixels: frame f lies at x 2f + 4.
int X(int frame) {
  return 2 * frame + 4;
}
constexpr int kTrackY = 20;  // inside the first row and the hit band

class TimelineWindowTest : public ::testing::Test {
 protected:
  TimelineWindowTest() : document_(Settings()) {}

  static SettingsStore Settings() {
    SettingsStore settings;
    settings.PutSettingInt("FrameRate", 3000);
    return settings;
  }

  void SetUp() override {
    ClearMessageQueue();
    document_.ResetShow();
    document_.showLength = 1800;
    AddPicture("C:\\show\\alpha.bmp", {Key(0, 10), Key(30, 20), Key(60, 30)});
    settings_ = Settings();
  }
  void TearDown() override {
    timeline_.reset();
    ClearMessageQueue();
  }

  void AddPicture(const std::string& path, const std::vector<KeyFrame>& keys) {
    Edit(document_.pictureCount++, [&](Picture& picture) {
      picture.image = ImageBuffer(4, 4, 32);
      picture.file.SetPath(path);
      picture.keyCount = static_cast<int32_t>(keys.size());
      std::ranges::copy(keys, picture.keys.begin());
    });
  }
  template <class F>
  void Edit(int p, F change) {
    Picture picture = document_.PictureAt(p);
    change(picture);
    document_.SetPicture(p, std::move(picture));
  }

  TimelineWindow& Open(Window* parent = nullptr) {
    timeline_ = std::make_unique<TimelineWindow>(document_, settings_, owner_);
    EXPECT_TRUE(timeline_->Create(parent));
    testing::ProcessEvents();
    ClearMessageQueue();
    return *timeline_;
  }

  void Send(uint32_t message, int x, int y, uintptr_t flags = 0) {
    SendMessage(timeline_->Handle(), message, flags, MakeLParam(x, y));
  }
  void Drag(int fromX, int toX, uintptr_t flags = 0, int fromY = kTrackY, int toY = kTrackY) {
    Send(kWmLButtonDown, fromX, fromY, kMkLButton | flags);
    Send(kWmMouseMove, (fromX + toX) / 2, toY, kMkLButton | flags);
    Send(kWmMouseMove, toX, toY, kMkLButton | flags);
    Send(kWmLButtonUp, toX, toY, flags);
  }
  std::vector<int32_t> Times(int p = 0) const {
    std::vector<int32_t> times;
    for (const KeyFrame& key : document_.PictureAt(p).Keys()) times.push_back(key.time);
    return times;
  }

  ShowDocument document_;
  SettingsStore settings_;
  RecordingOwner owner_;
  std::unique_ptr<TimelineWindow> timeline_;
};

TEST_F(TimelineWindowTest, HitTestsTheSelectedPicturesKeyFramesInTheBand) {
  TimelineWindow& timeline = Open();
  EXPECT_EQ(timeline.TimeScale(), 30);
  EXPECT_EQ(timeline.HitTestKey(X(36), kTrackY), 1);
  EXPECT_EQ(timeline.HitTestKey(X(37), kTrackY), -1);
  EXPECT_EQ(timeline.HitTestKey(X(30), 13), -1);
  EXPECT_EQ(timeline.HitTestKey(X(30), 31), -1);  // below the single track
  timeline.SetViewMode(TimelineWindow::kAllPicturesView);
  EXPECT_EQ(timeline.HitTestKey(X(30), 200), 1);  // any row searches the selected one
  document_.ToggleLock(0);
  EXPECT_EQ(timeline.HitTestKey(X(30), kTrackY), -1);
  EXPECT_EQ(timeline.HitTestKey(X(0), kTrackY), -1);

  // A far time is scrolled to the centre.
  document_.GoToTime(1000, false);
  timeline.EnsureTimeVisible();
  const int width = RectWidth(timeline.ClientRect());
  EXPECT_EQ(timeline.ScrollPosition().x, X(1000) - width / 2);
  EXPECT_EQ(timeline.TimeAtClientX(width / 2), 1000);
}

// A key frame dragged past its neighbour moves (undone as one step); one
// dropped at the start is deleted; drops stay within the show.
TEST_F(TimelineWindowTest, DraggingAKeyFrameMovesItAndDropsAtTheStartDelete) {
  Open();
  Drag(X(30), X(90));
  EXPECT_EQ(Times(), (std::vector<int32_t>{0, 60, 90}));
  EXPECT_EQ(document_.PictureAt(0).keys[2].x, 20);
  EXPECT_EQ(document_.clock.currentTime, 90);
  document_.Undo();
  Drag(X(60), X(3));  // past key frame 1, to frame 3
  EXPECT_EQ(Times(), (std::vector<int32_t>{0, 30}));
  EXPECT_EQ(document_.PictureAt(0).keys[1].x, 20);
  // The first key frame is no drag: pressing it scrubs.
  Drag(X(0), X(50));
  EXPECT_EQ(Times(), (std::vector<int32_t>{0, 30}));
  EXPECT_EQ(document_.clock.currentTime, 50);
  document_.showLength = 100;
  Drag(X(30), X(150));
  EXPECT_EQ(Times(), (std::vector<int32_t>{0, 100}));
}

TEST_F(TimelineWindowTest, ShiftDragShiftsTheLaterKeyFramesToo) {
  Edit(0, [](Picture& picture) {
    picture.keys[3] = Key(90, 40);
    picture.keyCount = 4;
  });
  Open();
  Drag(X(30), X(40), kMkShift);
  EXPECT_EQ(Times(), (std::vector<int32_t>{0, 40, 70, 100}));
  // Back to the left no later key frame passes an earlier one.
  Drag(X(70), X(20), kMkShift);
  EXPECT_TRUE(std::ranges::is_sorted(Times()));
}

TEST_F(TimelineWindowTest, DraggingATrackReordersThePictures) {
  AddPicture("beta.bmp", {Key(0, 1)});
  AddPicture("gamma.bmp", {Key(0, 2)});
  TimelineWindow& timeline = Open();
  timeline.SetViewMode(TimelineWindow::kAllPicturesView);
  timeline.Layout();
  // From the first key frame of row 0 down to row 2.
  Drag(X(1), X(1), 0, kTrackY, 14 + 2 * 15 + 5);
  EXPECT_EQ(document_.PictureAt(0).file.Path(), "beta.bmp");
  EXPECT_EQ(document_.PictureAt(2).file.Path(), "C:\\show\\alpha.bmp");
  // In the single-picture view the same press only scrubs.
  timeline.SetViewMode(TimelineWindow::kSinglePictureView);
  Drag(X(1), X(1), 0, kTrackY, 14 + 2 * 15 + 5);
  EXPECT_EQ(document_.PictureAt(0).file.Path(), "beta.bmp");
}

TEST_F(TimelineWindowTest, TheRulerFollowsTheScale) {
  TimelineWindow& timeline = Open();
  EXPECT_EQ(timeline.ContentWidth(), 3604);
  for (int i = 0; i < 3; ++i) timeline.Contract();  // 15, 5, then no smaller
  EXPECT_EQ(timeline.TimeScale(), 5);
  EXPECT_GE(timeline.ContentWidth(), timeline::TimeToX(document_.showLength, 5));
  for (int i = 0; i < 3; ++i) timeline.Enlarge();
  EXPECT_EQ(timeline.TimeScale(), 30);
  EXPECT_EQ(timeline.ContentWidth(), 3604);

  // A ten-minute show stops contracting while its end is still on the ruler.
  document_.showLength = 18000;
  timeline.Enlarge();
  timeline.Contract();
  timeline.Contract();
  EXPECT_LE(timeline::TimeToX(document_.showLength, timeline.TimeScale()), timeline.ContentWidth());

  // A bad scale setting is kept in range.
  settings_.PutSettingInt("TimeScale", 0);
  EXPECT_EQ(Open().TimeScale(), 30);
}

TEST_F(TimelineWindowTest, PaintsMarksHoldSpansAndTheCurrentKey) {
  // alpha: 0 to 30 moves, 30 and 120 change nothing.
  Edit(0, [](Picture& picture) {
    picture.keys[2] = Key(120, 20);
    picture.file.ClearPath();
  });
  document_.GoToTime(0, false);
  TimelineWindow& timeline = Open();
  timeline.Repaint();
  constexpr int kLineY = 14 + 2 + 6;
  constexpr uint32_t kCyan = Rgb(0, 255, 255);
  EXPECT_EQ(timeline.PixelAt(X(15), kLineY), kCyan);       // no HOLD from key 0 to key 1
  EXPECT_EQ(timeline.PixelAt(X(30) + 9, kLineY), kBlack);  // HOLD from key 1 to key 2
  EXPECT_EQ(timeline.PixelAt(X(120) - 9, kLineY), kBlack);
  EXPECT_EQ(timeline.PixelAt(X(120) - 7, kLineY), kCyan);
  EXPECT_GT(owner_.editMenuUpdates, 0);

  // Key 0 is current (red disc), key 1 plain (black disc); row 4 of a mark
  // starts with disc pixels.
  EXPECT_EQ(document_.currentKey, 0);
  EXPECT_EQ(timeline.PixelAt(6, 16 + 4), BitmapResourcePixel(kBitmapMarkCurrentCyan, 0, 4));
  EXPECT_EQ(timeline.PixelAt(X(30) - 6, 16 + 4), BitmapResourcePixel(kBitmapMarkCyan, 0, 4));
  EXPECT_EQ(timeline.PixelAt(X(30) - 6, 16), kCyan);  // a corner
  // The red current-time line at frame 0, never left of x 3.
  EXPECT_EQ(timeline.PixelAt(4, 40), Rgb(255, 0, 0));
}

TEST_F(TimelineWindowTest, TheCurrentTimeLineLeavesNoTrailBelowTheRows) {
  TimelineWindow& timeline = Open();
  timeline.SetViewMode(TimelineWindow::kAllPicturesView);
  timeline.Layout();
  const int belowRows = 14 + 15 * document_.pictureCount + 10;
  ASSERT_LT(belowRows, RectHeight(timeline.ClientRect()) - 10);
  document_.GoToTime(100, false);
  timeline.Repaint();
  EXPECT_EQ(timeline.PixelAt(X(100), belowRows), Rgb(255, 0, 0));
  document_.GoToTime(200, false);  // as playback moves on
  timeline.Repaint();
  EXPECT_EQ(timeline.PixelAt(X(200), belowRows), Rgb(255, 0, 0));
  EXPECT_EQ(timeline.PixelAt(X(100), belowRows), Rgb(192, 192, 192));
}

TEST_F(TimelineWindowTest, CurrentKeyFollowsScrubbingAndChanges) {
  TimelineWindow& timeline = Open();
  Send(kWmLButtonDown, X(100), kTrackY, kMkLButton);
  Send(kWmMouseMove, X(31), kTrackY, kMkLButton);
  EXPECT_EQ(document_.clock.currentTime, 31);
  EXPECT_EQ(document_.currentKey, 1);
  Send(kWmMouseMove, X(45), kTrackY, kMkLButton);
  EXPECT_EQ(document_.currentKey, -1);
  Send(kWmLButtonUp, X(60), kTrackY);
  EXPECT_EQ(document_.currentKey, 2);

  // A change made elsewhere, then the main window's call.
  document_.GoToTime(0, false);
  timeline.UpdateCurrentKey();
  EXPECT_EQ(document_.currentKey, 0);
  document_.ToggleLock(0);
  timeline.UpdateCurrentKey();
  EXPECT_EQ(document_.currentKey, -1);

  // The reset message ends scrubbing.
  Send(kWmLButtonDown, X(100), kTrackY, kMkLButton);
  Send(kWmMouseMove, X(20), kTrackY, kMkLButton);
  SendMessage(timeline.Handle(), kWmResetGestures, 0, 0);
  Send(kWmMouseMove, X(80), kTrackY);
  EXPECT_EQ(document_.clock.currentTime, 20);
}

TEST_F(TimelineWindowTest, KeyFrameOptionsPushUndoOnlyWhenConfirmed) {
  Open();
  const int before = document_.undoCount;
  // The dialog opens on the Timeline itself here (no Stage), at (8, 0).
  PostMessage(timeline_->Handle(), kWmLButtonDown, kMkLButton, MakeLParam(11, 78 + 20 * 12 - 1));
  PostMessage(timeline_->Handle(), kWmLButtonUp, 0, MakeLParam(11, 78 + 20 * 12 - 1));
  Send(kWmRButtonUp, X(30), kTrackY);
  EXPECT_EQ(document_.undoCount, before);
  EXPECT_EQ(document_.clock.currentTime, 30);

  PostMessage(timeline_->Handle(), kWmLButtonDown, kMkLButton, MakeLParam(13, 36 + 20 * 12 + 10));
  PostMessage(timeline_->Handle(), kWmLButtonUp, 0, MakeLParam(13, 36 + 20 * 12 + 10));
  Send(kWmRButtonUp, X(30), kTrackY);
  EXPECT_EQ(document_.undoCount, before + 1);
  EXPECT_EQ(document_.PictureAt(0).keys[1], Key(30, 20));
}

TEST_F(TimelineWindowTest, CloseKeysAndPlaybackGoToTheOwner) {
  TimelineWindow& timeline = Open();
  SendMessage(timeline.Handle(), kWmClose, 0, 0);
  EXPECT_EQ(owner_.closeRequests, 1);
  EXPECT_TRUE(timeline.IsCreated());  // the main window decides

  SendMessage(timeline.Handle(), kWmKeyDown, 16, 1);  // Shift alone
  SendMessage(timeline.Handle(), kWmKeyDown, 46, 1);
  SendMessage(timeline.Handle(), kWmChar, '+', 1);
  ASSERT_EQ(owner_.keys.size(), 2u);
  EXPECT_EQ(owner_.keys[0].second, 46u);
  EXPECT_EQ(owner_.keys[1].first, static_cast<uint32_t>(kWmChar));

  Message click{timeline.Handle(), kWmLButtonUp, 0, MakeLParam(X(75), kTrackY), 0};
  EXPECT_TRUE(timeline.TakePlaybackClick(click));
  EXPECT_EQ(owner_.playbackTime, 75);
  click.message = kWmMouseMove;
  EXPECT_FALSE(timeline.TakePlaybackClick(click));
}

TEST_F(TimelineWindowTest, EveryTrackCanBeScrolledIntoViewUnderTheMainWindow) {
  for (int p = 1; p < kMaxPictures; ++p) AddPicture("more.bmp", {Key(0, 1)});
  Window parent;
  ASSERT_TRUE(parent.Create(nullptr, kStylePopup));
  parent.Move(Rect{0, 0, 800, 600}, false);
  parent.Show(kShowNormal);
  Open(&parent);
  timeline_->SetViewMode(TimelineWindow::kAllPicturesView);
  timeline_->Layout();
  const Rect placed = timeline_->WindowRect();
  EXPECT_EQ(placed.left, 120);
  EXPECT_EQ(placed.top, 600 - 54 - 15 * 8);
  timeline_->ScrollStep(kWmVScroll, kSbBottom, 60);
  const int lastRowBottom = 14 + 15 * kMaxPictures + 1;
  EXPECT_GE(timeline_->ScrollPosition().y + RectHeight(timeline_->ClientRect()),
            lastRowBottom - 15);
  timeline_.reset();
}

}  // namespace
}  // namespace vantoril
