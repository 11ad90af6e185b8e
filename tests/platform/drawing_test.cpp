#include "platform/drawing.h"

#include <gtest/gtest.h>

#include <span>
#include <tuple>
#include <vector>

#include "engine/image_buffer.h"
#include "gui_support/qt_environment.h"
#include "platform/bitmap_button.h"
#include "platform/resources.h"
#include "platform/window.h"

namespace vantoril {
namespace {

constexpr uint32_t kRed = Rgb(255, 0, 0);

struct Pixel {
  int x, y;
  uint32_t colour;
};

class DrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::ShowWindow(window_, 200, 150));
    scope_.emplace(window_);
    DrawFilledRect(kWhite, Rect{0, 0, 202, 152});
  }
  void TearDown() override { scope_.reset(); }

  uint32_t At(int x, int y) const { return window_.PixelAt(x, y); }
  void Expect(std::span<const Pixel> pixels) const {
    for (const Pixel& p : pixels) EXPECT_EQ(At(p.x, p.y), p.colour) << p.x << "," << p.y;
  }

  // Pixels of `colour` in a row from x0 to x1 inclusive, as a string of 0/1.
  std::string Row(int y, int x0, int x1, uint32_t colour) const {
    std::string marks;
    for (int x = x0; x <= x1; ++x) marks += At(x, y) == colour ? '1' : '0';
    return marks;
  }

  // The smallest box, edges included, around the pixels of `area` that are not white.
  Rect Ink(Rect area) const {
    Rect box{999, 999, -1, -1};
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        if (At(x, y) != kWhite)
          box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                 std::max(box.bottom, y)};
    return box;
  }

  std::vector<uint32_t> Snapshot() const {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 150; ++y)
      for (int x = 0; x < 200; ++x) pixels.push_back(At(x, y));
    return pixels;
  }

  Window window_;
  std::optional<DrawingScope> scope_;
};

TEST_F(DrawingTest, RectanglesAndLinesLeaveOutTheirRightAndBottomEdges) {
  DrawOutlineRect(kBlack, Rect{10, 10, 20, 16});
  EXPECT_EQ(Row(10, 9, 20, kBlack), "011111111110");
  EXPECT_EQ(Row(15, 9, 20, kBlack), "011111111110");
  EXPECT_EQ(Row(12, 9, 20, kBlack), "010000000010");
  // Brush only: one pixel less again, so (0, 0, L + 1, ..) fills exactly columns 0..L - 1.
  DrawFilledRect(kRed, Rect{30, 10, 36, 14});
  EXPECT_EQ(Row(10, 29, 36, kRed), "01111100");
  DrawFilledRect(kRed, Rect{40, 40, 40, 50});
  SetDrawingOrigin(100, 40);
  DrawFilledRect(kRed, Rect{100, 40, 103, 43});
  SetDrawingOrigin(0, 0);
  EXPECT_EQ(Row(0, 0, 3, kRed), "1100");
  DrawLine(kBlack, Rect{10, 5, 20, 5});
  EXPECT_EQ(Row(5, 9, 20, kBlack), "011111111110");
  DrawLine(kBlack, Rect{50, 10, 50, 20});
  DrawLine(kBlack, Rect{60, 10, 70, 20});
  const Pixel pixels[] = {{12, 16, kWhite}, {30, 12, kRed},    {30, 13, kWhite}, {40, 41, kWhite},
                          {1, 1, kRed},     {100, 40, kWhite}, {50, 10, kBlack}, {50, 19, kBlack},
                          {50, 20, kWhite}, {60, 10, kBlack},  {69, 19, kBlack}, {70, 20, kWhite}};
  Expect(pixels);
}

TEST_F(DrawingTest, EllipsesStayInsideTheirBox) {
  DrawOutlineEllipse(kBlack, Rect{10, 10, 31, 21});
  EXPECT_EQ(Ink(Rect{0, 0, 50, 40}), (Rect{10, 10, 30, 20}));
  DrawFilledEllipse(kRed, Rect{60, 10, 81, 31});
  const Pixel pixels[] = {{20, 15, kWhite}, {70, 20, kRed}, {80, 20, kWhite}};
  Expect(pixels);
}

TEST_F(DrawingTest, InvertedShapesDrawnTwiceRestoreThePicture) {
  for (int i = 0; i < 20; ++i) {
    DrawFilledRect(Rgb(i * 12, 255 - i * 9, (i * 37) % 256), Rect{i * 10, 0, i * 10 + 11, 151});
  }
  DrawFilledEllipse(kRed, Rect{30, 30, 120, 110});
  const std::vector<uint32_t> before = Snapshot();
  InvertEllipse(Rect{20, 15, 140, 120});
  EXPECT_NE(Snapshot(), before);
  InvertEllipse(Rect{20, 15, 140, 120});
  EXPECT_EQ(Snapshot(), before);
  const Point outline[5] = {{10, 10}, {180, 30}, {150, 140}, {20, 120}, {10, 10}};
  for (int width : {1, 2, 3}) {
    for (int pass = 0; pass < 2; ++pass) {
      InvertRect(Rect{5, 7, 150, 133}, width);
      InvertLine(Rect{3, 140, 190, 2}, width);
      InvertPolyline(outline, width);
      EXPECT_EQ(Snapshot() == before, pass == 1) << "width " << width;
    }
  }
}

TEST_F(DrawingTest, BevelCheckBoxRadioCircleAndThumb) {
  DrawBevel(kRed, kBlack, Rect{30, 10, 40, 20});
  DrawCheckBox(kWhite, Rect{50, 10, 62, 22}, true);
  DrawCheckBox(kWhite, Rect{70, 10, 82, 22}, false);
  DrawRadioCircle(kBlack, Rect{90, 10, 99, 19}, false);
  DrawRadioCircle(kBlack, Rect{110, 10, 119, 19}, true);
  DrawFilledTriangle(kBlack, 60, 40, 5, 180);  // pointing down, as the slider's thumb
  // Bevel: light top-left, dark right and bottom. Check box: frame and both diagonals, 2 in.
  const Pixel pixels[] = {{30, 10, kRed},   {39, 10, kBlack}, {30, 19, kBlack}, {35, 15, kWhite},
                          {50, 10, kBlack}, {61, 21, kBlack}, {52, 12, kBlack}, {59, 12, kBlack},
                          {51, 11, kWhite}, {75, 15, kWhite}, {94, 14, kWhite}, {114, 14, kBlack},
                          {60, 45, kBlack}, {60, 46, kWhite}, {56, 36, kBlack}};
  Expect(pixels);
}

TEST_F(DrawingTest, TextAlignmentWidthAndFitting) {
  SelectFont(GetInterfaceFont(InterfaceFont::k12), std::nullopt, kTransparent);
  EXPECT_EQ(TextWidth(""), 0);
  const int width = TextWidth("Cancel");
  ASSERT_GT(width, 10);
  EXPECT_GT(TextWidth("Cancel Cancel"), width);
  DrawText(kBlack, "Cancel", 100, 10, kAlignRight);
  DrawText(kBlack, "Cancel", 100, 60, kAlignCentre);
  DrawText(kBlack, "Cancel", 100, 110, kAlignLeft);
  const Rect right = Ink(Rect{0, 5, 200, 30}), centre = Ink(Rect{0, 55, 200, 80}),
             left = Ink(Rect{0, 105, 200, 130});
  EXPECT_LE(right.right, 100);
  EXPECT_GE(right.left, 100 - width);
  EXPECT_NEAR((centre.left + centre.right) / 2.0, 100, 2.5);
  EXPECT_GE(left.left, 100);
  EXPECT_LE(left.right, 100 + width);
  // Opaque text clears its cell with the background colour.
  SelectFont(GetInterfaceFont(InterfaceFont::k12), kRed, kOpaque);
  DrawText(kBlack, "X", 10, 80, kAlignLeft);
  EXPECT_EQ(At(10, 80), kRed);
  SelectFont(kNoFont);
  SelectFont(kNoFont);
  SelectFont(GetInterfaceFont(InterfaceFont::k10));
  const std::string path = "/home/editor/Pictures/long name.bmp";
  std::string text = path;
  FitTextToWidth(text, TextWidth(path));
  EXPECT_EQ(text, path);
  const int half = TextWidth(path) / 2;
  FitTextToWidth(text, half);
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(text.substr(text.size() - 3), "...");
  EXPECT_EQ(path.rfind(text.substr(0, text.size() - 3), 0), 0u);  // a prefix of it
  EXPECT_LE(TextWidth(text), half);
  EXPECT_GT(TextWidth(path.substr(0, text.size() - 2) + "..."), half);  // as much as fits
  text = path;
  FitTextToWidth(text, TextWidth("...") - 1);
  EXPECT_EQ(text, "");
  SelectFont(kNoFont);
}

TEST_F(DrawingTest, ImageBuffersStretchNearestNeighbourFromBottomUpRows) {
  ImageBuffer image(2, 2, 32);
  const uint8_t bottom[8] = {0, 0, 255, 0, 0, 255, 0, 0};   // red, green
  const uint8_t top[8] = {255, 0, 0, 0, 255, 255, 255, 0};  // blue, white
  image.SetRow(0, bottom);
  image.SetRow(1, top);
  DrawImageBuffer(image, Rect{10, 10, 14, 14});
  // Shrinking takes every other source column (x * 4 / 2).
  ImageBuffer wide(4, 1, 24);
  const uint8_t row[12] = {0, 0, 10, 0, 0, 20, 0, 0, 30, 0, 0, 40};
  wide.SetRow(0, row);
  DrawImageBuffer(wide, Rect{50, 50, 52, 51});
  // Grey 8-bit pictures go through their palette.
  ImageBuffer grey(1, 1, 8);
  const uint8_t index[4] = {77, 0, 0, 0};
  grey.SetRow(0, index);
  DrawImageBuffer(grey, Rect{60, 60, 61, 61});
  const uint32_t blue = Rgb(0, 0, 255);
  const Pixel pixels[] = {
      {10, 10, blue},          {11, 11, blue},           {12, 10, kWhite}, {13, 11, kWhite},
      {10, 12, kRed},          {13, 13, Rgb(0, 255, 0)}, {14, 14, kWhite}, {50, 50, Rgb(10, 0, 0)},
      {51, 50, Rgb(30, 0, 0)}, {60, 60, Rgb(77, 77, 77)}};
  Expect(pixels);
}

TEST_F(DrawingTest, BitmapResourcesHaveTheirSizesAndArtwork) {
  for (int id : {102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112}) {
    EXPECT_EQ(BitmapResourceSize(id), (Point{19, 19})) << id;
  }
  for (int id : {139, 140, 141, 142, 145, 146, 147, 120, 128, 129, 143, 148, 150}) {
    EXPECT_EQ(BitmapResourceSize(id), (Point{12, 12})) << id;
  }
  EXPECT_EQ(BitmapResourceSize(kBitmapBackgroundTile), (Point{128, 128}));
  EXPECT_EQ(BitmapResourceSize(999), (Point{0, 0}));
  // The key frame marks: corners in the track's colour, the disc in the mark's, the white key sign.
  const uint32_t cyan = Rgb(0, 255, 255), yellow = Rgb(255, 255, 0);
  for (const auto& [id, x, y, colour] :
       {std::tuple(120, 0, 0, cyan), std::tuple(120, 4, 0, kBlack), std::tuple(120, 4, 2, kWhite),
        std::tuple(120, 0, 4, kBlack), std::tuple(120, 0, 8, cyan), std::tuple(120, 5, 9, kWhite),
        std::tuple(129, 0, 0, yellow), std::tuple(143, 4, 0, kRed), std::tuple(128, 11, 11, yellow),
        std::tuple(150, 6, 1, Rgb(128, 128, 128)), std::tuple(148, 0, 0, yellow)}) {
    EXPECT_EQ(BitmapResourcePixel(id, x, y), colour) << id << " " << x << "," << y;
  }
  DrawBitmapResource(Rect{20, 20, 0, 0}, 143);  // at its own size
  const Pixel pixels[] = {{20, 20, cyan}, {24, 20, kRed}, {32, 20, kWhite}};
  Expect(pixels);
}

TEST_F(DrawingTest, SliderThumbAndNumber) {
  SelectFont(GetInterfaceFont(InterfaceFont::k10), std::nullopt, kTransparent);
  const Rect rect{20, 20, 124, 31};  // groove from 24, 96 wide
  const uint32_t grey = Rgb(96, 96, 96);
  DrawSlider(kLightGrey, grey, rect, 0, 100, false);
  const Pixel pixels[] = {{25, 23, kBlack}, {24, 30, grey}, {119, 28, grey}, {120, 28, kLightGrey}};
  Expect(pixels);
  DrawSlider(kLightGrey, grey, rect, 100, 100, false);
  const Pixel full[] = {{25, 23, kLightGrey}, {118, 23, kBlack}};
  Expect(full);
  SelectFont(kNoFont);
  // A dragged thumb follows the pointer, in grooves narrower and wider than 100 pixels.
  for (const Rect& groove : {rect, Rect{20, 20, 90, 31}, Rect{0, 0, 300, 11}}) {
    for (const int maximum : {100, 240, 255}) {
      const int first = SliderThumbX(groove, 0), last = SliderThumbX(groove, 100);
      for (int x = first - 5; x <= last + 5; ++x) {
        const int value = SliderValueAt(groove, x, maximum);
        const int shown = SliderThumbX(groove, value * 100 / maximum);
        EXPECT_LE(std::abs(shown - std::clamp(x, first, last)), (last - first) / 200 + 1)
            << groove.right << " " << maximum << " " << x;
      }
    }
  }
}

TEST_F(DrawingTest, BitmapButtonsDrawTheirStatesAndTakeClicksInside) {
  BitmapButton play(kBitmapPlay, kBitmapPlayPressed, 0, kBitmapPlayLit);
  EXPECT_FALSE(play.PressTest(0, 0, BitmapButton::kPressed));  // not placed yet
  play.Place(Rect{40, 40, 59, 59});
  EXPECT_EQ(At(40, 40), BitmapResourcePixel(kBitmapPlay, 0, 0));
  EXPECT_TRUE(play.PressTest(59, 59, BitmapButton::kPressed));  // edges count
  EXPECT_EQ(play.CurrentState(), BitmapButton::kPressed);
  EXPECT_EQ(At(40, 40), BitmapResourcePixel(kBitmapPlayPressed, 0, 0));
  EXPECT_FALSE(play.PressTest(60, 50, BitmapButton::kNormal));
  play.SetState(BitmapButton::kAlternate);
  EXPECT_EQ(At(49, 49), BitmapResourcePixel(kBitmapPlayLit, 9, 9));
  // A state without a bitmap draws nothing; a disabled button takes no clicks.
  play.SetState(BitmapButton::kDisabled);
  EXPECT_EQ(At(49, 49), BitmapResourcePixel(kBitmapPlayLit, 9, 9));
  EXPECT_FALSE(play.PressTest(50, 50, BitmapButton::kPressed));
  EXPECT_EQ(play.CurrentState(), BitmapButton::kDisabled);
}

}  // namespace
}  // namespace vantoril
