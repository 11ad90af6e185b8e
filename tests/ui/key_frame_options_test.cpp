#include "ui/dialogs/key_frame_options.h"

#include <gtest/gtest.h>

#include <utility>

#include "engine/show_document.h"

namespace vantoril {
namespace {

KeyFrame Record(float easeCode) {
  KeyFrame record;
  record.x = 320.7f, record.y = -12.9f, record.width = 100, record.height = 75;
  record.rotation = 12.5f, record.level = 80, record.easeCode = easeCode, record.time = 90;
  return record;
}

TEST(KeyFrameOptionRowsTest, TheEaseCodeIsShownAsModeSpeedAndCurves) {
  const KeyFrameOptionRows rows = BuildKeyFrameOptionRows(Record(2013), Brush::kNormal);
  EXPECT_EQ(rows.descriptions[5], "@REases|Use Default");
  EXPECT_EQ(rows.values[10], "12");
  EXPECT_EQ(rows.values[11], "1");
}

// The mode is the code's rounded thousands (500 is already "In & Out", row 6); 6000 and above
// mean "None", a negative code from a file the default. The level row stays.
TEST(KeyFrameOptionRowsTest, TheModeRowIsTheCodesRoundedThousands) {
  const std::pair<float, int> cases[] = {{499, 5},  {500, 6},  {1499, 6},  {1500, 7},
                                         {2013, 7}, {6000, 9}, {-3000, 5}, {1e30f, 9}};
  for (const auto& [code, row] : cases) {
    const KeyFrameOptionRows rows = BuildKeyFrameOptionRows(Record(code), Brush::kNormal);
    for (int r = 5; r <= 9; ++r) {
      EXPECT_EQ(rows.values[r], r == row ? "1" : "") << code << " row " << r;
    }
    EXPECT_EQ(rows.values[4], "80") << code;
  }
}

TEST(KeyFrameOptionRowsTest, TheLevelRowIsNamedAfterTheBrush) {
  for (const auto& [brush, name] :
       {std::pair(Brush::kBlur, "@SBlurriness"), std::pair(Brush::kPixelate, "@SPixelate"),
        std::pair(Brush::kDarken, "@SDarkness"), std::pair(Brush::kLighten, "@SLightness"),
        std::pair(Brush::kTint, "@STransparency"), std::pair(Brush::kNoColour, "@STransparency"),
        std::pair(Brush::kNormal, "@STransparency")}) {
    EXPECT_EQ(BuildKeyFrameOptionRows(Record(0), brush).descriptions[4], name) << BrushCode(brush);
  }
}

// The short form keeps the code as it was: pinned with the Stage's options.
TEST(KeyFrameOptionRowsTest, ReadingBackBuildsTheEaseCode) {
  KeyFrameOptionRows rows = BuildKeyFrameOptionRows(Record(0), Brush::kNormal);
  rows.values[5] = "";
  rows.values[8] = "1";    // "Out"
  rows.values[10] = "37";  // the lowest bit belongs to "No Curves"
  rows.values[2] = "abc";
  rows.values[1] = "-40";
  KeyFrame record = Record(0);
  ReadKeyFrameOptionRows(rows, false, record);
  KeyFrame expected = Record(3036);
  // Rows left as shown keep their fractions (x 320.7, a half degree of
  // rotation from the Stage); OK alone must not move the picture.
  expected.y = -40, expected.width = 0;
  EXPECT_EQ(record, expected);
  rows.values[8] = "";
  rows.values[11] = "1";
  ReadKeyFrameOptionRows(rows, false, record);
  EXPECT_EQ(record.easeCode, 37);  // default mode, speed 36, no curves
}

}  // namespace
}  // namespace vantoril
