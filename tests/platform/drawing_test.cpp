#include "platform/drawing.h"

#include <gtest/gtest.h>

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

class DrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Create(nullptr, kStylePopup));
    window_.Move(Rect{0, 0, 200, 150}, false);
    window_.Show(kShowNormal);
    testing::ProcessEvents();
    scope_.emplace(window_);
    DrawFilledRect(kWhite, Rect{0, 0, 202, 152});
  }
  void TearDown() override { scope_.reset(); }

  uint32_t At(int x, int y) const { return window_.PixelAt(x, y); }

  // Pixels of `colour` in a row from x0 to x1 inclusive, as a string of 0/1.
  std::string Row(int y, int x0, int x1, uint32_t colour) const {
    std::string marks;
    for (int x = x0; x <= x1; ++x) marks += At(x, y) == colour ? '1' : '0';
    return marks;
  }

  // The smallest box, edges included, around the pixels of `area` that are not white.
  Rect Ink(Rect area) const {
    Rect box{999, 999, -1, -1};
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        if (At(x, y) == kWhite) continue;
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
               std::max(box.bottom, y)};
      }
    }
    return box;
  }

  std::vector<uint32_t> Snapshot() const {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 150; ++y)
      for (int x = 0; x < 200; ++x) pixels.push_back(At(x, y));
    return pixels;
  }

  // A picture with structure, so that inverting shows.
  void Scribble() {
    for (int i = 0; i < 20; ++i) {
      DrawFilledRect(Rgb(i * 12, 255 - i * 9, (i * 37) % 256), Rect{i * 10, 0, i * 10 + 11, 151});
    }
    DrawFilledEllipse(kRed, Rect{30, 30, 120, 110});
  }

  Window window_;
  std::optional<DrawingScope> scope_;
};

TEST_F(DrawingTest, RectanglesLeaveOutTheirRightAndBottomEdges) {
  DrawOutlineRect(kBlack, Rect{10, 10, 20, 16});
  EXPECT_EQ(Row(10, 9, 20, kBlack), "011111111110");  // top edge: 10..19
  EXPECT_EQ(Row(15, 9, 20, kBlack), "011111111110");  // bottom edge at 15
  EXPECT_EQ(Row(12, 9, 20, kBlack), "010000000010");  // sides at 10 and 19, hollow inside
  EXPECT_EQ(At(12, 16), kWhite);

  // Brush only: one pixel less at the right and bottom, so (0, 0, L + 1, ..)
  // fills exactly columns 0..L - 1.
  DrawFilledRect(kRed, Rect{30, 10, 36, 14});
  EXPECT_EQ(Row(10, 29, 36, kRed), "01111100");
  EXPECT_EQ(At(30, 12), kRed);
  EXPECT_EQ(At(30, 13), kWhite);
  DrawFilledRect(kRed, Rect{40, 40, 40, 50});  // empty: nothing at all
  EXPECT_EQ(At(40, 41), kWhite);

  // The drawing origin shifts content coordinates.
  SetDrawingOrigin(100, 40);
  DrawFilledRect(kRed, Rect{100, 40, 103, 43});
  SetDrawingOrigin(0, 0);
  EXPECT_EQ(At(1, 1), kRed);
  EXPECT_EQ(Row(0, 0, 3, kRed), "1100");
  EXPECT_EQ(At(100, 40), kWhite);
}

TEST_F(DrawingTest, LinesLeaveOutTheirEndPoint) {
  DrawLine(kBlack, Rect{10, 5, 20, 5});
  EXPECT_EQ(Row(5, 9, 20, kBlack), "011111111110");
  DrawLine(kBlack, Rect{50, 10, 50, 20});
  EXPECT_EQ(At(50, 10), kBlack);
  EXPECT_EQ(At(50, 19), kBlack);
  EXPECT_EQ(At(50, 20), kWhite);
  DrawLine(kBlack, Rect{60, 10, 70, 20});  // diagonal
  EXPECT_EQ(At(60, 10), kBlack);
  EXPECT_EQ(At(69, 19), kBlack);
  EXPECT_EQ(At(70, 20), kWhite);
}

TEST_F(DrawingTest, EllipsesStayInsideTheirBox) {
  DrawOutlineEllipse(kBlack, Rect{10, 10, 31, 21});
  EXPECT_EQ(Ink(Rect{0, 0, 50, 40}), (Rect{10, 10, 30, 20}));
  EXPECT_EQ(At(20, 15), kWhite);  // outline only

  DrawFilledEllipse(kRed, Rect{60, 10, 81, 31});
  EXPECT_EQ(At(70, 20), kRed);
  EXPECT_EQ(At(80, 20), kWhite);  // brush only: one less at the right
}

TEST_F(DrawingTest, InvertedShapesDrawnTwiceRestoreThePicture) {
  Scribble();
  const std::vector<uint32_t> before = Snapshot();

  InvertEllipse(Rect{20, 15, 140, 120});
  EXPECT_NE(Snapshot(), before);
  InvertEllipse(Rect{20, 15, 140, 120});
  EXPECT_EQ(Snapshot(), before);

  for (int width : {1, 2, 3}) {
    InvertRect(Rect{5, 7, 150, 133}, width);
    InvertLine(Rect{3, 140, 190, 2}, width);
    const Point outline[5] = {{10, 10}, {180, 30}, {150, 140}, {20, 120}, {10, 10}};
    InvertPolyline(outline, width);
    EXPECT_NE(Snapshot(), before) << "width " << width;
    InvertPolyline(outline, width);
    InvertLine(Rect{3, 140, 190, 2}, width);
    InvertRect(Rect{5, 7, 150, 133}, width);
    EXPECT_EQ(Snapshot(), before) << "width " << width;
  }
}

TEST_F(DrawingTest, TrianglesPointWhereAsked) {
  // Centre x, angle, the apex, the pixel just past it, a pixel of the base.
  for (const auto& [x, angle, apex, past, base] :
       {std::tuple(20, 0, Point{20, 15}, Point{20, 14}, Point{16, 24}),
        std::tuple(60, 180, Point{60, 25}, Point{60, 26}, Point{56, 16}),
        std::tuple(100, 90, Point{105, 20}, Point{106, 20}, Point{96, 20}),
        std::tuple(140, 270, Point{135, 20}, Point{134, 20}, Point{144, 20})}) {
    DrawFilledTriangle(kBlack, x, 20, 5, angle);
    EXPECT_EQ(At(apex.x, apex.y), kBlack) << angle;
    EXPECT_EQ(At(past.x, past.y), kWhite) << angle;
    EXPECT_EQ(At(base.x, base.y), kBlack) << angle;
  }
}

TEST_F(DrawingTest, BevelCheckBoxAndRadioCircle) {
  DrawBevel(kRed, kBlack, Rect{30, 10, 40, 20});
  EXPECT_EQ(At(30, 10), kRed);    // top-left corner light
  EXPECT_EQ(At(39, 10), kBlack);  // right edge dark
  EXPECT_EQ(At(30, 19), kBlack);  // bottom edge dark
  EXPECT_EQ(At(35, 15), kWhite);

  DrawCheckBox(kWhite, Rect{50, 10, 62, 22}, true);
  EXPECT_EQ(At(50, 10), kBlack);
  EXPECT_EQ(At(61, 21), kBlack);
  EXPECT_EQ(At(52, 12), kBlack);  // both diagonals, 2 in
  EXPECT_EQ(At(59, 12), kBlack);
  EXPECT_EQ(At(51, 11), kWhite);
  DrawCheckBox(kWhite, Rect{70, 10, 82, 22}, false);
  EXPECT_EQ(At(75, 15), kWhite);

  DrawRadioCircle(kBlack, Rect{90, 10, 99, 19}, false);
  EXPECT_EQ(At(94, 14), kWhite);
  DrawRadioCircle(kBlack, Rect{110, 10, 119, 19}, true);
  EXPECT_EQ(At(114, 14), kBlack);
}

TEST_F(DrawingTest, TextAlignmentAndWidth) {
  SelectFont(GetInterfaceFont(InterfaceFont::k12), std::nullopt, kTransparent);
  EXPECT_EQ(TextWidth(""), 0);
  const int width = TextWidth("Cancel");
  ASSERT_GT(width, 10);
  EXPECT_GT(TextWidth("Cancel Cancel"), width);

  DrawText(kBlack, "Cancel", 100, 10, kAlignRight);
  Rect ink = Ink(Rect{0, 5, 200, 30});
  EXPECT_LE(ink.right, 100);
  EXPECT_GE(ink.left, 100 - width);
  DrawText(kBlack, "Cancel", 100, 60, kAlignCentre);
  ink = Ink(Rect{0, 55, 200, 80});
  EXPECT_NEAR((ink.left + ink.right) / 2.0, 100, 2.5);
  DrawText(kBlack, "Cancel", 100, 110, kAlignLeft);
  ink = Ink(Rect{0, 105, 200, 130});
  EXPECT_GE(ink.left, 100);
  EXPECT_LE(ink.right, 100 + width);

  // Opaque text clears its cell with the background colour.
  SelectFont(GetInterfaceFont(InterfaceFont::k12), kRed, kOpaque);
  DrawText(kBlack, "X", 10, 80, kAlignLeft);
  EXPECT_EQ(At(10, 80), kRed);
  SelectFont(kNoFont);
  SelectFont(kNoFont);
}

TEST_F(DrawingTest, FittingATextIntoAWidth) {
  SelectFont(GetInterfaceFont(InterfaceFont::k10));
  const std::string path = "/home/editor/Pictures/long name.bmp";
  std::string text = path;
  FitTextToWidth(text, TextWidth(path));
  EXPECT_EQ(text, path);

  const int width = TextWidth(path) / 2;
  FitTextToWidth(text, width);
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(text.substr(text.size() - 3), "...");
  EXPECT_EQ(path.rfind(text.substr(0, text.size() - 3), 0), 0u);  // a prefix of it
  EXPECT_LE(TextWidth(text), width);
  std::string longer = path.substr(0, text.size() - 2) + "...";
  EXPECT_GT(TextWidth(longer), width);  // as much as fits

  text = path;
  FitTextToWidth(text, TextWidth("...") - 1);
  EXPECT_EQ(text, "");
  SelectFont(kNoFont);
}

TEST_F(DrawingTest, ImageBuffersStretchNearestNeighbourFromBottomUpRows) {
  ImageBuffer image(2, 2, 32);
  // Row 0 in memory is the bottom line of the picture.
  const uint8_t bottom[8] = {0, 0, 255, 0, 0, 255, 0, 0};   // red, green
  const uint8_t top[8] = {255, 0, 0, 0, 255, 255, 255, 0};  // blue, white
  image.SetRow(0, bottom);
  image.SetRow(1, top);
  DrawImageBuffer(image, Rect{10, 10, 14, 14});
  EXPECT_EQ(At(10, 10), Rgb(0, 0, 255));
  EXPECT_EQ(At(11, 11), Rgb(0, 0, 255));
  EXPECT_EQ(At(12, 10), kWhite);
  EXPECT_EQ(At(13, 11), kWhite);
  EXPECT_EQ(At(10, 12), kRed);
  EXPECT_EQ(At(13, 13), Rgb(0, 255, 0));
  EXPECT_EQ(At(14, 14), kWhite);  // nothing outside the destination

  // Shrinking takes every other source column (x * 4 / 2).
  ImageBuffer wide(4, 1, 24);
  const uint8_t row[12] = {0, 0, 10, 0, 0, 20, 0, 0, 30, 0, 0, 40};
  wide.SetRow(0, row);
  DrawImageBuffer(wide, Rect{50, 50, 52, 51});
  EXPECT_EQ(At(50, 50), Rgb(10, 0, 0));
  EXPECT_EQ(At(51, 50), Rgb(30, 0, 0));

  // Grey 8-bit pictures go through their palette.
  ImageBuffer grey(1, 1, 8);
  const uint8_t index[4] = {77, 0, 0, 0};
  grey.SetRow(0, index);
  DrawImageBuffer(grey, Rect{60, 60, 61, 61});
  EXPECT_EQ(At(60, 60), Rgb(77, 77, 77));
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

  // The key frame marks: corners in the track's colour, the disc in the
  // mark's, the white key sign.
  const uint32_t cyan = Rgb(0, 255, 255), yellow = Rgb(255, 255, 0);
  for (const auto& [id, x, y, colour] :
       {std::tuple(120, 0, 0, cyan), std::tuple(120, 4, 0, kBlack), std::tuple(120, 4, 2, kWhite),
        std::tuple(120, 0, 4, kBlack), std::tuple(120, 0, 8, cyan), std::tuple(120, 5, 9, kWhite),
        std::tuple(129, 0, 0, yellow), std::tuple(143, 4, 0, kRed), std::tuple(128, 11, 11, yellow),
        std::tuple(150, 6, 1, Rgb(128, 128, 128)), std::tuple(148, 0, 0, yellow)}) {
    EXPECT_EQ(BitmapResourcePixel(id, x, y), colour) << id << " " << x << "," << y;
  }
  DrawBitmapResource(Rect{20, 20, 0, 0}, 143);
  EXPECT_EQ(At(20, 20), cyan);
  EXPECT_EQ(At(24, 20), kRed);
  EXPECT_EQ(At(32, 20), kWhite);  // drawn at its own size
}

TEST_F(DrawingTest, SliderThumbAndNumber) {
  SelectFont(GetInterfaceFont(InterfaceFont::k10), std::nullopt, kTransparent);
  const Rect rect{20, 20, 124, 31};  // groove from 24, 96 wide
  DrawSlider(kLightGrey, Rgb(96, 96, 96), rect, 0, 100, false);
  EXPECT_EQ(At(25, 23), kBlack);  // thumb centred at 24 + 1, 3 below the top
  EXPECT_EQ(At(24, 30), Rgb(96, 96, 96));
  EXPECT_EQ(At(119, 28), Rgb(96, 96, 96));
  EXPECT_EQ(At(120, 28), kLightGrey);
  DrawSlider(kLightGrey, Rgb(96, 96, 96), rect, 100, 100, false);
  EXPECT_EQ(At(25, 23), kLightGrey);
  EXPECT_EQ(At(24 + 93 + 1, 23), kBlack);  // 24 + (96 * 100 - 300) / 100 + 1
  SelectFont(kNoFont);
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
