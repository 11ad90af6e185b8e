#include "ui/dialogs/colour_chooser.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <utility>

#include "gui_support/qt_environment.h"
#include "platform/message_queue.h"
#include "platform/window.h"

namespace vantoril {
namespace {

TEST(HlsConversion, KnownColours) {
  for (const auto& [rgb, hls] :
       {std::pair(Rgb(255, 0, 0), Hls{0, 120, 240}), std::pair(Rgb(128, 128, 128), Hls{0, 120, 0}),
        std::pair(Rgb(0, 255, 0), Hls{80, 120, 240}), std::pair(Rgb(0, 0, 255), Hls{160, 120, 240}),
        std::pair(Rgb(255, 255, 255), Hls{0, 240, 0}),
        std::pair(Rgb(0, 255, 255), Hls{120, 120, 240}),
        std::pair(Rgb(255, 0, 255), Hls{200, 120, 240})}) {  // magenta: hue wraps below 0
    EXPECT_EQ(RgbToHls(rgb), hls) << rgb;
    EXPECT_EQ(HlsToRgb(hls.hue, hls.luminance, hls.saturation), rgb) << rgb;
  }
  EXPECT_EQ(RgbToHls(Rgb(255, 128, 128)).luminance, 180);  // the light half
  EXPECT_EQ(HlsToRgb(0, 0, 240), Rgb(0, 0, 0));
  // Round trips stay within the rounding of the 240 scale.
  for (uint32_t colour : {Rgb(12, 200, 99), Rgb(250, 250, 3), Rgb(40, 40, 41)}) {
    const Hls hls = RgbToHls(colour);
    const uint32_t back = HlsToRgb(hls.hue, hls.luminance, hls.saturation);
    for (auto* channel : {&RedOf, &GreenOf, &BlueOf}) {
      EXPECT_NEAR(channel(back), channel(colour), 4) << colour;
    }
  }
}

constexpr int kX0 = 50, kY0 = 50, kCx = kX0 + 115;
constexpr auto RowY = [](int row) { return kY0 + 27 + 18 * row; };

class ColourChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(other_.Create(nullptr, kStylePopup));
    ASSERT_TRUE(testing::ShowWindow(host_, 400, 400));
    ColourChooserModel() = ColourModel::kHls;
  }
  void Post(uint32_t message, int x, int y) { testing::PostMouse(host_.Handle(), message, x, y); }
  void Release(int x, int y) { Post(kWmLButtonUp, x, y); }
  void ReleaseOk() { Release(kCx + 75, kY0 + 210); }
  bool Run(uint32_t& colour) { return RunColourChooser(host_, kX0, kY0, colour, "Choose"); }
  // Drags the slider on `row` from the centre over `toX`, lets go at `releaseX`, then OK: the
  // colour chosen, starting from `colour`.
  uint32_t Dragged(uint32_t colour, int row, int toX, int releaseX) {
    Post(kWmLButtonDown, kCx, RowY(row));
    Post(kWmMouseMove, toX, RowY(row));
    Release(releaseX, RowY(row));
    ReleaseOk();
    EXPECT_TRUE(Run(colour));
    return colour;
  }

  Window host_, other_;
};

TEST_F(ColourChooserTest, RampClicksSetTheColour) {
  uint32_t colour = Rgb(1, 2, 3);
  for (const auto& [x, row, expected] :
       {std::tuple(kCx, 7, Rgb(128, 128, 128)), std::tuple(kCx - 100, 7, Rgb(0, 0, 0)),
        std::tuple(kCx + 110, 7, Rgb(255, 255, 255)), std::tuple(kCx, 8, Rgb(0, 255, 255))}) {
    Release(x, RowY(row));
    ReleaseOk();
    EXPECT_TRUE(Run(colour));
    EXPECT_EQ(colour, expected) << x << "," << row;
  }
  // On leaving, the panel and a margin of one pixel are cleared.
  for (const auto& [x, y] : {std::pair(kX0 - 1, kY0 - 1), std::pair(kCx - 30, kY0 + 110),
                             std::pair(kX0 + 230, kY0 + 230)}) {
    EXPECT_EQ(host_.PixelAt(x, y), kLightGrey) << x << "," << y;
  }
}

TEST_F(ColourChooserTest, CancelEscapeAndReleasesOutsideRestoreTheColourOfEntry) {
  const std::function<void()> leaves[] = {
      [&] { Release(kCx + 5, kY0 + 210); },                     // Cancel
      [&] { PostMessage(host_.Handle(), kWmKeyDown, 27, 0); },  // Escape
      [&] { PostMessage(host_.Handle(), kWmChar, 27, 0); },
      [&] {  // a slider drag released right of the panel
        Post(kWmLButtonDown, kCx + 10, RowY(1));
        Post(kWmMouseMove, kCx + 20, RowY(1));
        Release(kX0 + 240, RowY(1));
      },
      [&] { testing::PostMouse(other_.Handle(), kWmLButtonUp, 10, 10); },  // in another window
      [&] { PostMessage(other_.Handle(), kWmClose, 0, 0); },  // a close request, which waits
  };
  for (size_t i = 0; i < std::size(leaves); ++i) {
    uint32_t colour = Rgb(10, 20, 30);
    Release(kCx, RowY(7 + i % 2));
    leaves[i]();
    EXPECT_FALSE(Run(colour)) << i;
    EXPECT_EQ(colour, Rgb(10, 20, 30)) << i;
  }
  Message waiting;
  ASSERT_TRUE(PeekMessage(waiting));
  EXPECT_EQ(waiting.message, kWmClose);
}

TEST_F(ColourChooserTest, SlidersWorkInTheModelShownAndTheModelPersists) {
  // HLS: the third slider (saturation) to 0 leaves the grey of the same luminance.
  EXPECT_EQ(Dragged(Rgb(255, 0, 0), 3, kCx - 20, kCx - 20), Rgb(128, 128, 128));
  uint32_t colour = 0;
  Release(kCx + 10, RowY(4));  // the "RGB" choice
  ReleaseOk();
  EXPECT_TRUE(Run(colour));
  EXPECT_EQ(ColourChooserModel(), ColourModel::kRgb);
  // Next time the panel opens in RGB: the second slider is green; its thumb stands 36 pixels
  // right of the centre for 100. Rows 0 and 1 both drag the first slider; values stop at the
  // limit.
  EXPECT_EQ(Dragged(Rgb(0, 0, 0), 2, kCx + 36, kCx + 36), Rgb(0, 100, 0));
  EXPECT_EQ(Dragged(Rgb(0, 100, 0), 0, kCx + 200, kCx + 100), Rgb(255, 100, 0));
  Release(kCx + 10, RowY(6));  // "Texture" acts as HLS
  PostMessage(host_.Handle(), kWmKeyDown, 27, 0);
  EXPECT_FALSE(Run(colour));
  EXPECT_EQ(ColourChooserModel(), ColourModel::kHls);
}

}  // namespace
}  // namespace vantoril
