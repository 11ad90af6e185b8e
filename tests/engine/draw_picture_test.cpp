#include "engine/draw_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "engine/box_average.h"
#include "engine/compositor.h"
#include "engine/show_document.h"
#include "support/frame_fixtures.h"

namespace vantoril {
namespace {

using testing::Bgra;
using testing::PictureState;
using testing::PixelAt;
using testing::SetPixel;
using testing::SolidImage;

constexpr Bgra kFrameColour = {100, 150, 200, 7};
constexpr Bgra kOpaque = {10, 20, 30, 255};

// An opaque 8 x 8 picture shown 16 x 16 in the middle of a 32 x 32 stage.
Bgra PaintCentre(Brush brush, float level, Bgra frame = kFrameColour, Bgra source = kOpaque,
                 uint32_t tint = 255) {
  ImageBuffer picture = SolidImage(8, 8, source);
  ImageBuffer destination = SolidImage(32, 32, frame);
  EXPECT_TRUE(DrawPicture(picture, destination, PictureState(16, 16, 16, 16, 0, level), brush, tint,
                          kAllRows, 32, 32));
  return PixelAt(destination, 16, 16);
}

bool SameImage(const ImageBuffer& a, const ImageBuffer& b) {
  return a.PixelBlock().size() == b.PixelBlock().size() &&
         std::memcmp(a.PixelBlock().data(), b.PixelBlock().data(), a.PixelBlock().size()) == 0;
}

TEST(DrawPictureBrushes, PinnedColoursPerBrushAndLevel) {
  const uint32_t tint = 153 | (102 << 8) | (51 << 16);
  struct Case {
    Brush brush;
    float level;
    Bgra frame;
    Bgra source;
    Bgra expected;
  };
  const Case cases[] = {
      // Normal, level 0: alpha (255 * 255) >> 8 = 254, so 100 over black gives 99.
      {Brush::kNormal, 0, {0, 0, 0, 0}, {100, 100, 100, 255}, {99, 99, 99, 255}},
      // Normal, level 100: the picture is gone but the >> 8 blend costs a step.
      {Brush::kNormal, 100, kFrameColour, kOpaque, {99, 149, 199, 255}},
      {Brush::kDarken, 50, kFrameColour, kOpaque, {50, 75, 100, 7}},
      {Brush::kLighten, 50, kFrameColour, kOpaque, {226, 231, 231, 7}},
      {Brush::kNoColour, 50, kFrameColour, kOpaque, {128, 153, 179, 7}},
      {Brush::kTint, 50, kFrameColour, kOpaque, {65, 106, 147, 7}},
      {Brush::kDarken, 100, kFrameColour, kOpaque, {0, 0, 0, 7}},
      {Brush::kLighten, 100, {0, 0, 0, 0}, kOpaque, {231, 231, 231, 0}},
      {BrushOfCode(7000), 50, kFrameColour, kOpaque,
       kFrameColour},  // unknown brushes paint nothing
      // Pixelate level 10: one-pixel blocks; level 5: R16 = 0, nothing at all.
      {Brush::kPixelate, 10, kFrameColour, kOpaque, {99, 149, 199, 7}},
      {Brush::kPixelate, 5, kFrameColour, kOpaque, kFrameColour},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        PaintCentre(c.brush, c.level, c.frame, c.source, c.brush == Brush::kTint ? tint : 255),
        c.expected)
        << BrushCode(c.brush) << " at " << c.level;
  }
}

TEST(DrawPictureBrushes, LevelOutsideItsRangeIsLimited) {
  EXPECT_EQ(PaintCentre(Brush::kDarken, 180), PaintCentre(Brush::kDarken, 100));
  EXPECT_EQ(PaintCentre(Brush::kLighten, -40), PaintCentre(Brush::kLighten, 0));
  EXPECT_EQ(PaintCentre(Brush::kNormal, 1e30f), PaintCentre(Brush::kNormal, 100));
}

TEST(DrawPictureBrushes, PixelateBlocksFollowTheLevel) {
  // Level 100: 22-pixel blocks on the destination grid, each taking its
  // corner pixel as already treated.
  ImageBuffer destination(88, 88, 32);
  for (int r = 0; r < 88; ++r) {
    for (int x = 0; x < 88; ++x) {
      SetPixel(destination, x, r, {static_cast<uint8_t>(x + 1), static_cast<uint8_t>(r + 1), 9, 0});
    }
  }
  ImageBuffer picture = SolidImage(88, 88, kOpaque);
  ASSERT_TRUE(DrawPicture(picture, destination, PictureState(44, 44, 88, 88, 0, 100),
                          Brush::kPixelate, 0, kAllRows, 88, 88));
  for (int r = 0; r < 88; ++r) {
    for (int x = 0; x < 88; ++x) {
      const int cornerX = x - x % 22;
      const int cornerR = r - r % 22;
      const int once = ((cornerX + 1) * 255) >> 8;
      const int expected = (x == cornerX && r == cornerR) ? once : (once * 255) >> 8;
      ASSERT_EQ(PixelAt(destination, x, r)[0], expected) << x << "," << r;
    }
  }
}

TEST(DrawPictureBlur, WindowAroundColumn4Row4) {
  // The picture's visited range starts at column 4, row 4, so that pixel is
  // the first one treated and sees the frame untouched. Level 20: R16 = 3,
  // window columns 1..6 and rows 1..6.
  ImageBuffer destination(16, 16, 32);
  int sum = 0;
  for (int r = 0; r < 16; ++r) {
    for (int x = 0; x < 16; ++x) {
      const uint8_t value = static_cast<uint8_t>((x * 37 + r * 11) % 251);
      SetPixel(destination, x, r, {value, 0, 0, 0});
      if (x >= 1 && x <= 6 && r >= 1 && r <= 6) {
        sum += value;
      }
    }
  }
  ImageBuffer picture = SolidImage(8, 8, kOpaque);
  for (BlurMethod method : {BlurMethod::kRunningSums, BlurMethod::kDirect}) {
    ImageBuffer frame = destination;
    ASSERT_TRUE(DrawPictureWith(picture, frame, PictureState(8, 8, 8, 8, 0, 20), Brush::kBlur, 0,
                                kAllRows, 16, 16, {method, PaintThreads::kSingle}));
    EXPECT_EQ(PixelAt(frame, 4, 4)[0], ((sum / 36) * 255) >> 8);
    EXPECT_EQ(PixelAt(frame, 3, 4), PixelAt(destination, 3, 4));
  }
}

TEST(BoxAverageTest, WindowEdges) {
  ImageBuffer image = SolidImage(4, 3, {0, 0, 0, 0});
  SetPixel(image, 0, 0, {40, 80, 120, 0});
  SetPixel(image, 1, 0, {20, 0, 0, 0});
  uint8_t b = 1, g = 2, r = 3;
  // Left and top below 0 start at 0; the integer division truncates.
  ASSERT_TRUE(BoxAverage(image, -5, -2, 2, 1, b, g, r));
  EXPECT_EQ(b, 30);
  EXPECT_EQ(g, 40);
  EXPECT_EQ(r, 60);
  ASSERT_TRUE(BoxAverage(image, 0, 0, 3, 2, b, g, r));
  EXPECT_EQ(b, 10);
  // An empty window leaves the preset colour; so does a depth other than 32.
  b = 7;
  EXPECT_FALSE(BoxAverage(image, 2, 0, 2, 3, b, g, r));
  EXPECT_EQ(b, 7);
  EXPECT_FALSE(BoxAverage(ImageBuffer(4, 3, 24), 0, 0, 2, 2, b, g, r));
  // Ends past the image are cut at its edge instead of reading beyond it.
  ASSERT_TRUE(BoxAverage(image, 0, 0, 400, 300, b, g, r));
  EXPECT_EQ(b, 60 / 12);
}

TEST(DrawPictureRows, DrawModesPickDisplayRows) {
  // A stripe picture at 1:1 over the whole stage: odd source rows 200, even 0.
  ImageBuffer stripes(640, 480, 32);
  for (int j = 0; j < 480; ++j) {
    for (int x = 0; x < 640; ++x) {
      const uint8_t v = j % 2 ? 200 : 0;
      SetPixel(stripes, x, j, {v, v, v, 255});
    }
  }
  const KeyFrame full = PictureState(320, 240, 640, 480);
  ImageBuffer frame = SolidImage(640, 480, {50, 50, 50, 0});
  ASSERT_TRUE(DrawPicture(stripes, frame, full, Brush::kNormal, 0, kEvenRowsOfFrame, 640, 480));
  for (int r = 0; r < 480; ++r) {
    const uint8_t expected = r % 2 ? 50 : (50 * 1) >> 8;
    ASSERT_EQ(PixelAt(frame, 0, r)[0], expected) << r;
    ASSERT_EQ(PixelAt(frame, 639, r)[0], expected) << r;
  }

  // Field buffers: the odd rows fill buffer row b from display row 2b + 1,
  // the even ones from display row 2b. The last row and column sit at the far edge of
  // the inside test, where the bilinear taps must not leave the picture.
  ImageBuffer odd = SolidImage(640, 240, {0, 0, 0, 0});
  ImageBuffer even = odd;
  ASSERT_TRUE(DrawPicture(stripes, odd, full, Brush::kNormal, 0, kFieldBufferOddRows, 640, 480));
  ASSERT_TRUE(DrawPicture(stripes, even, full, Brush::kNormal, 0, kFieldBufferEvenRows, 640, 480));
  for (int b = 0; b < 240; ++b) {
    ASSERT_EQ(PixelAt(odd, 639, b), (Bgra{198, 198, 198, 255})) << b;
    ASSERT_EQ(PixelAt(even, 639, b), (Bgra{0, 0, 0, 255})) << b;
  }
}

TEST(DrawPictureGeometry, QuarterTurnOfAnEightByFour) {
  // Source column i has blue 20 + 30 i, row j green 20 + 50 j.
  ImageBuffer picture(8, 4, 32);
  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < 8; ++i) {
      SetPixel(picture, i, j,
               {static_cast<uint8_t>(20 + 30 * i), static_cast<uint8_t>(20 + 50 * j), 0, 255});
    }
  }
  ImageBuffer frame(32, 32, 32);
  ASSERT_TRUE(DrawPicture(picture, frame, PictureState(16, 16, 8, 4, 90, 0), Brush::kNormal, 0,
                          kAllRows, 32, 32));
  int painted = 0;
  for (int r = 0; r < 32; ++r) {
    for (int x = 0; x < 32; ++x) {
      if (PixelAt(frame, x, r)[3] == 0) {
        continue;
      }
      ++painted;
      // The turned picture covers columns 15..18 and rows 12..19: its first
      // column along the top edge, its first row along the right edge.
      ASSERT_TRUE(x >= 15 && x <= 18 && r >= 12 && r <= 19) << x << "," << r;
      const int column = r - 12;
      const int row = 18 - x;
      EXPECT_NEAR(PixelAt(frame, x, r)[0], ((20 + 30 * column) * 254) >> 8, 2) << x << "," << r;
      EXPECT_NEAR(PixelAt(frame, x, r)[1], ((20 + 50 * row) * 254) >> 8, 2) << x << "," << r;
    }
  }
  EXPECT_GE(painted, 3 * 7);

  // A turn of 45 degrees reaches past the unturned square's top edge.
  ImageBuffer square = SolidImage(4, 4, kOpaque);
  ImageBuffer turned(64, 64, 32);
  ASSERT_TRUE(DrawPicture(square, turned, PictureState(32, 32, 20, 20, 45, 0), Brush::kNormal, 0,
                          kAllRows, 64, 64));
  EXPECT_EQ(PixelAt(turned, 32, 20)[3], 255);
  EXPECT_EQ(PixelAt(turned, 22, 22)[3], 0);
}

// Shrunk 4.5 times vertically, the bilinear taps of a row lie two source
// rows apart: the rows sampled are pinned.
TEST(DrawPictureGeometry, PictureShrunkFourTimesVerticallySamplesRowsTwoApart) {
  ImageBuffer picture(4, 36, 32);
  for (int j = 0; j < 36; ++j) {
    for (int i = 0; i < 4; ++i) {
      SetPixel(picture, i, j, {0, static_cast<uint8_t>(j * j / 5), 0, 255});
    }
  }
  ImageBuffer frame = SolidImage(4, 8, {0, 0, 0, 0});
  ASSERT_TRUE(
      DrawPicture(picture, frame, PictureState(2, 4, 4, 8), Brush::kNormal, 0, kAllRows, 4, 8));
  std::vector<int> greens;
  for (int r = 0; r < 8; ++r) {
    greens.push_back(PixelAt(frame, 1, r)[1]);
  }
  EXPECT_EQ(greens, (std::vector<int>{0, 4, 15, 38, 63, 104, 143, 202}));
}

TEST(DrawPictureGeometry, DestinationOfAnotherSizeReceivesTheStageScaled) {
  ImageBuffer picture = SolidImage(64, 64, kOpaque);
  ImageBuffer frame(320, 240, 32);
  // The left half of a 640 x 480 stage.
  ASSERT_TRUE(DrawPicture(picture, frame, PictureState(160, 240, 320, 480), Brush::kNormal, 0,
                          kAllRows, 640, 480));
  EXPECT_EQ(PixelAt(frame, 5, 5)[3], 255);
  EXPECT_EQ(PixelAt(frame, 150, 230)[3], 255);
  EXPECT_EQ(PixelAt(frame, 170, 120)[3], 0);
}

TEST(DrawPictureFaults, ShapesWithoutSizeOrNumberPaintNothing) {
  ImageBuffer picture = SolidImage(8, 8, kOpaque);
  const ImageBuffer untouched = SolidImage(64, 48, kFrameColour);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const KeyFrame good = PictureState(32, 24, 20, 20, 10, 30);
  std::vector<KeyFrame> bad;
  for (float value : {0.0f, -0.0f, nan, inf, -inf}) {
    for (float KeyFrame::*field : {&KeyFrame::width, &KeyFrame::height}) {
      bad.push_back(good);
      bad.back().*field = value;
    }
  }
  for (float value : {nan, inf, -inf}) {
    for (float KeyFrame::*field :
         {&KeyFrame::x, &KeyFrame::y, &KeyFrame::rotation, &KeyFrame::level}) {
      bad.push_back(good);
      bad.back().*field = value;
    }
  }
  // Off the stage, near and very far; and sizes so small that a destination
  // pixel spans more than the whole source.
  bad.push_back(PictureState(-500, 24, 20, 20));
  bad.push_back(PictureState(1e30f, -1e30f, 20, 20));
  bad.push_back(PictureState(32, 24, 1e-30f, 20));
  bad.push_back(PictureState(32, 24, 20, -1e-38f));
  for (Brush brush : {Brush::kNormal, Brush::kBlur, Brush::kPixelate, Brush::kDarken,
                      Brush::kLighten, Brush::kTint, Brush::kNoColour}) {
    for (const KeyFrame& state : bad) {
      ImageBuffer frame = untouched;
      EXPECT_TRUE(DrawPicture(picture, frame, state, brush, 255, kAllRows, 64, 48));
      EXPECT_TRUE(SameImage(frame, untouched))
          << BrushCode(brush) << " " << state.x << " " << state.y << " " << state.width << " "
          << state.height << " " << state.rotation << " " << state.level;
    }
  }
  // Neither does a stage without size, nor a draw mode out of its ranges.
  ImageBuffer frame = untouched;
  EXPECT_TRUE(DrawPicture(picture, frame, good, Brush::kNormal, 255, kAllRows, 0, 48));
  EXPECT_TRUE(DrawPicture(picture, frame, good, Brush::kNormal, 255, DrawMode{1, 1, -1}, 64, 48));
  EXPECT_TRUE(DrawPicture(picture, frame, good, Brush::kNormal, 255, DrawMode{11, 1, 0}, 64, 48));
  EXPECT_TRUE(SameImage(frame, untouched));
}

TEST(DrawPictureFaults, BuffersThatCannotBePainted) {
  ImageBuffer picture = SolidImage(8, 8, kOpaque);
  ImageBuffer frame = SolidImage(16, 16, kFrameColour);
  ImageBuffer none;
  const KeyFrame state = PictureState(8, 8, 8, 8);
  EXPECT_FALSE(DrawPicture(none, frame, state, Brush::kNormal, 0, kAllRows, 16, 16));
  EXPECT_FALSE(DrawPicture(picture, none, state, Brush::kNormal, 0, kAllRows, 16, 16));
  // Three bytes a pixel would be written four at a time.
  ImageBuffer rgb(16, 16, 24);
  EXPECT_FALSE(DrawPicture(picture, rgb, state, Brush::kNormal, 0, kAllRows, 16, 16));
  EXPECT_FALSE(
      DrawPicture(ImageBuffer(8, 8, 24), frame, state, Brush::kNormal, 0, kAllRows, 16, 16));
}

TEST(DrawPictureFaults, NegativeSizesMirrorAndStayInside) {
  ImageBuffer picture(8, 8, 32);
  for (int j = 0; j < 8; ++j) {
    for (int i = 0; i < 8; ++i) {
      SetPixel(picture, i, j, {static_cast<uint8_t>(30 * i), static_cast<uint8_t>(30 * j), 0, 255});
    }
  }
  ImageBuffer frame(32, 32, 32);
  // Everything is read inside the source (the sanitizer build watches).
  ASSERT_TRUE(DrawPicture(picture, frame, PictureState(16, 16, -16, -16, 0, 0), Brush::kNormal, 0,
                          kAllRows, 32, 32));
  // The top-left of the mirrored picture shows the source's bottom-right.
  const Bgra corner = PixelAt(frame, 10, 10);
  EXPECT_EQ(corner[3], 255);
  EXPECT_GE(corner[0], (180 * 254) >> 8);
  EXPECT_GE(corner[1], (180 * 254) >> 8);
}

// Random shows: sizes, turns, levels, draw modes and destination sizes.
struct RandomShow {
  ImageBuffer picture;
  ImageBuffer frame;
  KeyFrame state;
  DrawMode drawMode;
  int stageW;
  int stageH;
};

RandomShow MakeRandomShow(std::mt19937& random) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  auto real = [&](double lo, double hi) {
    return static_cast<float>(std::uniform_real_distribution<double>(lo, hi)(random));
  };
  static constexpr DrawMode kDrawModes[] = {kAllRows, kOddRowsOfFrame, kEvenRowsOfFrame,
                                            kFieldBufferOddRows, kFieldBufferEvenRows};
  RandomShow show;
  show.drawMode = kDrawModes[uniform(0, 4)];
  show.stageW = uniform(8, 120);
  show.stageH = uniform(8, 100);
  const int fieldDiv = show.drawMode.fieldDiv;
  show.frame.Create(uniform(2, 140), std::max(1, uniform(2, 120) / fieldDiv), 32);
  show.picture.Create(uniform(1, 40), uniform(1, 40), 32);
  for (ImageBuffer* image : {&show.picture, &show.frame}) {
    for (uint8_t& byte : image->PixelBlock()) {
      byte = static_cast<uint8_t>(uniform(0, 255));
    }
  }
  auto size = [&] {
    const float s = real(2, 90);
    return uniform(0, 9) == 0 ? -s : s;
  };
  show.state = PictureState(real(-20, show.stageW + 20.0), real(-20, show.stageH + 20.0), size(),
                            size(), real(-360, 360), real(-10, 110));
  return show;
}

TEST(DrawPictureBlur, RunningSumsEqualTheDirectWindowSums) {
  std::mt19937 random(20240611);
  int changed = 0;
  for (int n = 0; n < 400; ++n) {
    RandomShow show = MakeRandomShow(random);
    ImageBuffer direct = show.frame;
    ImageBuffer running = show.frame;
    ASSERT_TRUE(DrawPictureWith(show.picture, direct, show.state, Brush::kBlur, 0, show.drawMode,
                                show.stageW, show.stageH, {BlurMethod::kDirect}));
    ASSERT_TRUE(DrawPictureWith(show.picture, running, show.state, Brush::kBlur, 0, show.drawMode,
                                show.stageW, show.stageH, {BlurMethod::kRunningSums}));
    ASSERT_TRUE(SameImage(direct, running)) << "show " << n;
    changed += SameImage(direct, show.frame) ? 0 : 1;
  }
  EXPECT_GT(changed, 200);
}

// Every way of working paints what the plain one does: one thread, the rows
// split over two, the whole bounding box instead of the row spans, and the
// vector path on every instruction set this processor runs.
TEST(DrawPictureWaysOfWorking, PaintWhatThePlainPathPaints) {
  std::vector<std::pair<const char*, DrawPictureOptions>> ways = {
      {"split", {{}, PaintThreads::kSplit, true, VectorPath::kScalar}},
      {"whole box", {{}, PaintThreads::kSingle, false, VectorPath::kScalar}}};
  if (ProcessorHasAvx2()) {
    ways.push_back({"avx2", {{}, PaintThreads::kSingle, true, VectorPath::kAvx2}});
  }
  if (ProcessorHasAvx512()) {
    ways.push_back({"avx512", {{}, PaintThreads::kSingle, true, VectorPath::kAvx512}});
  }
  static constexpr Brush kBrushes[] = {Brush::kNormal,  Brush::kBlur,    Brush::kPixelate,
                                       Brush::kDarken,  Brush::kLighten, Brush::kTint,
                                       Brush::kNoColour};
  std::mt19937 random(77);
  int changed = 0;
  for (int n = 0; n < 1200; ++n) {
    RandomShow show = MakeRandomShow(random);
    if (n % 2 == 0) show.picture.SetAlpha(255);
    const Brush brush = kBrushes[n % std::size(kBrushes)];
    ImageBuffer plain = show.frame;
    ASSERT_TRUE(DrawPictureWith(show.picture, plain, show.state, brush, 0x336699, show.drawMode,
                                show.stageW, show.stageH,
                                {{}, PaintThreads::kSingle, true, VectorPath::kScalar}));
    changed += SameImage(plain, show.frame) ? 0 : 1;
    for (const auto& [name, options] : ways) {
      ImageBuffer other = show.frame;
      ASSERT_TRUE(DrawPictureWith(show.picture, other, show.state, brush, 0x336699, show.drawMode,
                                  show.stageW, show.stageH, options));
      ASSERT_TRUE(SameImage(plain, other))
          << "show " << n << " brush " << BrushCode(brush) << " " << name;
    }
  }
  EXPECT_GT(changed, 700);
}

}  // namespace
}  // namespace vantoril
