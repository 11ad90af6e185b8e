#include "platform/window.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <tuple>
#include <vector>

#include "gui_support/qt_environment.h"
#include "platform/app_window_list.h"
#include "platform/drawing.h"
#include "platform/message_queue.h"

namespace vantoril {
namespace {

// Records what reaches it and paints a marker.
class RecordingWindow : public Window {
 public:
  int HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    received.push_back(Message{Handle(), message, wParam, lParam, 0});
    return 1;
  }
  void Paint() override {
    ++paints;
    DrawFilledRect(Rgb(0, 0, 255), Rect{0, 0, 3, 3});
  }
  std::vector<Message> received;
  int paints = 0;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        testing::ShowWindow(window_, 300, 200, kStylePopup | kStyleHScroll | kStyleVScroll));
    window_.received.clear();
  }
  RecordingWindow window_;
};

TEST_F(WindowTest, GetMessageWaitsForPlatformEventsAndQuitComesAfterTheWaitingMessages) {
  Message message;
  QTimer::singleShot(20, [this] { PostMessage(window_.Handle(), kWmCommand, 7, 0); });
  ASSERT_TRUE(GetMessage(message));  // blocks until the timer fires
  EXPECT_EQ(message.wParam, 7u);
  PostQuitMessage(3);
  PostMessage(window_.Handle(), kWmCommand, 8, 0);
  ASSERT_TRUE(GetMessage(message));
  EXPECT_EQ(message.wParam, 8u);
  EXPECT_FALSE(GetMessage(message));
  EXPECT_EQ(message.message, kWmQuit);
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_FALSE(PeekMessage(message));
}

TEST_F(WindowTest, CloseRequestDestroysThePlatformWindowAfterTheHandler) {
  EXPECT_TRUE(AppWindowList::Contains(window_.Handle()));
  SendMessage(window_.Handle(), kWmClose, 0, 0);
  ASSERT_EQ(window_.received.size(), 1u);  // the handler saw it first
  EXPECT_FALSE(window_.IsCreated());
  PostMessage(window_.Handle(), kWmCommand, 1, 0);
  Message message;
  ASSERT_TRUE(GetMessage(message));
  DispatchMessage(message);  // nothing left to deliver to
  EXPECT_EQ(window_.received.size(), 1u);
  window_.Destroy();
  EXPECT_FALSE(AppWindowList::Contains(message.window));
}

TEST_F(WindowTest, SizeChangeRepaintsThroughTheDefaultProcessing) {
  window_.paints = 0;
  window_.Move(Rect{0, 0, 320, 240}, false);
  testing::ProcessEvents();
  Message message;
  bool sized = false;
  while (PeekMessage(message)) {
    if (message.message == kWmSize && message.window == window_.Handle()) {
      sized = true;
      DispatchMessage(message);
    }
    if (QueuedMessageCount() == 0) break;
  }
  ASSERT_TRUE(sized);
  EXPECT_GE(window_.paints, 1);
  EXPECT_EQ(window_.PixelAt(1, 1), Rgb(0, 0, 255));
  const Rect client = window_.ClientRect();
  EXPECT_GT(client.right, 250);  // the scroll bars take their share
  EXPECT_LT(client.right, 320);
}

TEST_F(WindowTest, ScrollStepsClampToTheRange) {
  const Rect client = window_.ClientRect();
  window_.SetScrollRanges(1000, 500, client.right, client.bottom);
  EXPECT_EQ(window_.ScrollPosition(), (Point{0, 0}));
  // Bar, step, size of a line step, the position after it.
  using Step = std::tuple<uint32_t, uintptr_t, int, int, int>;
  const int last = 1000 - client.right + 1;
  for (const auto& [bar, step, line, x, y] :
       {Step(kWmHScroll, kSbLineDown, 60, 60, 0), Step(kWmHScroll, kSbLineUp, 100, 0, 0),
        Step(kWmHScroll, kSbPageDown, 60, client.right, 0),
        Step(kWmHScroll, kSbThumbTrack | (5000u << 16), 60, last, 0),
        Step(kWmVScroll, kSbThumbTrack | (123u << 16), 60, last, 123)}) {
    window_.ScrollStep(bar, step, line);
    EXPECT_EQ(window_.ScrollPosition(), (Point{x, y})) << step;
  }
  const int paints = window_.paints;
  window_.SetScrollRanges(1000, 500, client.right, client.bottom);
  EXPECT_EQ(window_.ScrollPosition(), (Point{0, 0}));  // reset
  window_.ScrollStep(kWmVScroll, kSbLineDown, 60);
  EXPECT_EQ(window_.paints, paints + 1);  // a step repaints
}

TEST(AppWindowListTest, HoldsAtMost256AndKeepsOrderOnRemoval) {
  AppWindowList::Clear();
  for (WindowHandle h = 1000; h < 1000 + 256; ++h) EXPECT_TRUE(AppWindowList::Add(h));
  EXPECT_FALSE(AppWindowList::Add(5000));
  EXPECT_FALSE(AppWindowList::Contains(5000));
  AppWindowList::Remove(1003);
  EXPECT_EQ(AppWindowList::Count(), 255u);
  EXPECT_TRUE(AppWindowList::Add(5000));
  EXPECT_FALSE(AppWindowList::Contains(0));
  AppWindowList::Clear();
}

TEST(DrawingScopeTest, WithoutAContextDrawingDoesNothing) {
  DrawFilledRect(kBlack, Rect{0, 0, 10, 10});  // must not crash
  RecordingWindow first, second;
  for (Window* window : {&first, &second}) {
    ASSERT_TRUE(window->Create(nullptr, kStylePopup));
    window->Move(Rect{0, 0, 50, 50}, false);
  }
  {
    DrawingScope outer(first);
    {
      DrawingScope inner(second);
      DrawFilledRect(kBlack, Rect{0, 0, 3, 3});
    }
    DrawFilledRect(Rgb(255, 0, 0), Rect{0, 0, 3, 3});  // back on the first
  }
  EXPECT_EQ(second.PixelAt(0, 0), kBlack);
  EXPECT_EQ(first.PixelAt(0, 0), Rgb(255, 0, 0));
}

}  // namespace
}  // namespace vantoril
