#include "ui/dialogs/key_frame_options.h"

#include <gtest/gtest.h>

#include <utility>

#include "engine/show_document.h"
#include "gui_support/qt_environment.h"
#include "platform/message_queue.h"
#include "platform/window.h"

namespace vantoril {
namespace {

KeyFrame Record(float easeCode) {
  KeyFrame record;
  record.x = 320.7f, record.y = -12.9f, record.width = 100, record.height = 75;
  record.rotation = 45, record.level = 80, record.easeCode = easeCode, record.time = 90;
  return record;
}

class KeyFrameOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearMessageQueue();
    ASSERT_TRUE(stage_.Create(nullptr, kStylePopup));
    stage_.Move(Rect{0, 0, 700, 500}, false);
    stage_.Show(kShowNormal);
    testing::ProcessEvents();
    ClearMessageQueue();
  }
  void TearDown() override { ClearMessageQueue(); }

  // The request comes from x = 258, so the dialog stands at (8, kY0).
  static constexpr int kX = 258;
  static constexpr int kY0 = 10;
  void Click(int x, int y) {
    PostMessage(stage_.Handle(), kWmLButtonDown, kMkLButton, MakeLParam(x, y));
    PostMessage(stage_.Handle(), kWmLButtonUp, 0, MakeLParam(x, y));
  }
  void PostOk(int rows) { Click(8 + 5, kY0 + 36 + 20 * rows + 10); }
  void PostCancel(int rows) { Click(8 + 3, kY0 + 78 + 20 * rows - 1); }

  Window stage_;
};

TEST(KeyFrameOptionRowsTest, TheEaseCodeIsShownAsModeSpeedAndCurves) {
  const KeyFrameOptionRows rows = BuildKeyFrameOptionRows(Record(2013), Brush::kNormal);
  EXPECT_EQ(rows.values[0], "320");  // truncated toward zero
  EXPECT_EQ(rows.values[1], "-12");
  EXPECT_EQ(rows.descriptions[4], "@STransparency");
  EXPECT_EQ(rows.descriptions[5], "@REases|Use Default");
  EXPECT_EQ(rows.values[7], "1");  // "In"; the mode rows are pinned below
  EXPECT_EQ(rows.values[10], "12");
  EXPECT_EQ(rows.values[11], "1");
}

// The mode is the code's thousands, rounded: 500 is already "In & Out" (row
// 6). 6000 and above mean "None"; a negative code from a file means the
// default instead of a row before the group.
TEST(KeyFrameOptionRowsTest, TheModeRowIsTheCodesRoundedThousands) {
  const std::pair<float, int> cases[] = {{499, 5},  {500, 6},   {1499, 6}, {1500, 7},
                                         {6000, 9}, {-3000, 5}, {1e30f, 9}};
  for (const auto& [code, row] : cases) {
    const KeyFrameOptionRows rows = BuildKeyFrameOptionRows(Record(code), Brush::kNormal);
    for (int r = 5; r <= 9; ++r) {
      EXPECT_EQ(rows.values[r], r == row ? "1" : "") << code << " row " << r;
    }
    EXPECT_EQ(rows.values[4], "80") << code;  // the level row is untouched
  }
}

TEST(KeyFrameOptionRowsTest, TheLevelRowIsNamedAfterTheBrush) {
  for (const auto& [brush, name] :
       {std::pair(Brush::kBlur, "@SBlurriness"), std::pair(Brush::kPixelate, "@SPixelate"),
        std::pair(Brush::kDarken, "@SDarkness"), std::pair(Brush::kLighten, "@SLightness"),
        std::pair(Brush::kTint, "@STransparency"), std::pair(Brush::kNoColour, "@STransparency")}) {
    EXPECT_EQ(BuildKeyFrameOptionRows(Record(0), brush).descriptions[4], name) << BrushCode(brush);
  }
}

TEST(KeyFrameOptionRowsTest, ReadingBackBuildsTheEaseCode) {
  KeyFrameOptionRows rows = BuildKeyFrameOptionRows(Record(0), Brush::kNormal);
  rows.values[5] = "";
  rows.values[8] = "1";    // "Out"
  rows.values[10] = "37";  // the lowest bit belongs to "No Curves"
  rows.values[2] = "abc";
  KeyFrame record = Record(0);
  ReadKeyFrameOptionRows(rows, false, record);
  EXPECT_EQ(record.easeCode, 3036);
  EXPECT_EQ(record.width, 0);
  EXPECT_EQ(record.x, 320);
  EXPECT_EQ(record.time, 90);
  EXPECT_EQ(record.height, 75);

  rows.values[8] = "";
  rows.values[11] = "1";
  ReadKeyFrameOptionRows(rows, false, record);
  EXPECT_EQ(record.easeCode, 37);  // default mode, speed 36, no curves
}

TEST(KeyFrameOptionRowsTest, TheShortFormLeavesTheEaseCodeAsItWas) {
  // Even a code the rows cannot show survives an edit in the short form.
  KeyFrame record = Record(4500);
  KeyFrameOptionRows rows = BuildKeyFrameOptionRows(record, Brush::kNormal);
  rows.values[3] = "90";
  ReadKeyFrameOptionRows(rows, true, record);
  EXPECT_EQ(record.easeCode, 4500);
  EXPECT_EQ(record.rotation, 90);
}

TEST_F(KeyFrameOptionsTest, OkWithoutChangesAndCancelKeepTheRecord) {
  KeyFrame record = Record(2013);
  PostOk(kKeyFrameOptionRows);
  EXPECT_TRUE(EditKeyFrameOptions(stage_, kX, kY0, record, Brush::kNormal, false));
  EXPECT_EQ(record.easeCode, 2013);
  EXPECT_EQ(record.x, 320);  // what the field showed
  EXPECT_EQ(record.level, 80);

  record = Record(2013);
  PostOk(kKeyFrameOptionShortRows);
  EXPECT_TRUE(EditKeyFrameOptions(stage_, kX, kY0, record, Brush::kNormal, true));
  EXPECT_EQ(record.easeCode, 2013);

  record = Record(2013);
  PostCancel(kKeyFrameOptionRows);
  EXPECT_FALSE(EditKeyFrameOptions(stage_, kX, kY0, record, Brush::kNormal, false));
  EXPECT_EQ(record, Record(2013));
}

}  // namespace
}  // namespace vantoril
