#include "ui/timeline/timeline_geometry.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "engine/show_document.h"

namespace vantoril::timeline {
namespace {

KeyFrame Key(int32_t time, float x = 100, float level = 50) {
  KeyFrame key;
  key.x = x, key.y = 100, key.width = 80, key.height = 60, key.level = level, key.time = time;
  return key;
}

TEST(TimelineGeometryTest, TimeAndRulerPositions) {
  EXPECT_EQ(TimeToX(90, 30), 184);
  EXPECT_EQ(XToTime(3, 30), 0);
  EXPECT_EQ(XToTime(-500, 30), 0);
  // The window pins the round trip at the default scale; at 120 a pixel spans two frames.
  EXPECT_EQ(XToTime(TimeToX(61, 120), 120), 60);
  // Absurd lengths do not overflow.
  EXPECT_EQ(ContentWidth(2'000'000'000, 1), kContentWidthLimit);
  // A new show (ten minutes) at the default scale spans more than 16 bits.
  EXPECT_EQ(ContentWidth(17980, 30), 35964);
}

TEST(TimelineGeometryTest, EnlargeContractAndSettingsScalesAtThirtyFramesPerSecond) {
  std::vector<int> scales{30};
  while (scales.back() < 1920) scales.push_back(EnlargedTimeScale(scales.back(), 30));
  EXPECT_EQ(scales, (std::vector<int>{30, 60, 120, 240, 480, 960, 1920}));
  EXPECT_EQ(EnlargedTimeScale(1920, 30), 1920);  // from 5 up the window pins the steps
  scales = {30, 15, 5};
  for (int& scale : scales) scale = ContractedTimeScale(scale, 30);
  EXPECT_EQ(scales, (std::vector<int>{15, 5, 5}));
  // A rate of a few frames per second would round to 0: no ruler at all.
  EXPECT_EQ(ContractedTimeScale(2, 3), 1);
  // A scale from the settings, for a show of the given length, is kept in range.
  for (const auto& [scale, length, kept] :
       {std::tuple(0, 60, 5), std::tuple(-4, 200, 10), std::tuple(0, 1800, 30),
        std::tuple(100000, 1800, 1920), std::tuple(45, 1800, 45)}) {
    EXPECT_EQ(SanitisedTimeScale(scale, length, 30), kept) << scale << " " << length;
  }
}

TEST(TimelineGeometryTest, KeyFramesAreHitWithinSixFrames) {
  const std::vector<KeyFrame> keys{Key(0), Key(60), Key(64)};
  // At 66 the first within reach wins.
  for (const auto& [frame, key] : {std::pair(66, 1), std::pair(54, 1), std::pair(53, -1),
                                   std::pair(71, -1), std::pair(70, 2), std::pair(6, 0)}) {
    EXPECT_EQ(KeyNearFrame(keys, frame), key) << frame;
  }
}

TEST(TimelineGeometryTest, HoldSpansJoinKeyFramesThatChangeNothing) {
  std::vector<KeyFrame> keys{Key(0), Key(60), Key(120, 300), Key(180, 300)};
  keys[3].easeCode = 2000;  // the ease is no part of the state
  keys[3].tagCode = 1;
  std::vector<std::tuple<int, int, int>> spans;
  for (const HoldSpan& span : HoldSpans(keys, 30, 40))
    spans.emplace_back(span.key, span.x1, span.x2);
  // The first starts after the label.
  EXPECT_EQ(spans, (std::vector<std::tuple<int, int, int>>{{1, 4 + 40 + 22, 124 - 8},
                                                           {3, 244 + 8, 364 - 8}}));
  keys[1].level = 51;
  EXPECT_EQ(HoldSpans(keys, 30, 40).size(), 1u);
}

TEST(TimelineGeometryTest, MarksAndLabels) {
  EXPECT_EQ(MarkLeft(0, 500, 30, 3604), 6);
  EXPECT_EQ(MarkLeft(1, 90, 30, 3604), 178);
  EXPECT_EQ(MarkLeft(1, 1800, 30, 3604), 3590);  // kept inside the ruler
  EXPECT_EQ(TrackLabel("C:\\shows\\sky.final.bmp", Brush::kNormal), "sky");
  EXPECT_EQ(TrackLabel("/home/ed/pictures/logo.tga", Brush::kBlur), "logo / Blur");
  EXPECT_EQ(TrackLabel("Disk:Folder:card", Brush::kNoColour), "card / B&W");
  EXPECT_EQ(TrackLabel("", Brush::kPixelate), " / Pix");
}

}  // namespace
}  // namespace vantoril::timeline
