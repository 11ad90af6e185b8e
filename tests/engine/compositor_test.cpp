#include "engine/compositor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <vector>

#include "engine/background_clip.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "support/frame_fixtures.h"
#include "support/test_doubles.h"

namespace vantoril {
namespace {

using testing::Bgra;
using testing::EditPicture;
using testing::PictureState;
using testing::PixelAt;
using testing::SetPixel;
using testing::SolidImage;

// A clip whose every frame is one colour; it records what it was asked for.
class SolidClip : public BackgroundClip {
 public:
  bool Open(const FileSpec&, int&) override { return open; }
  bool IsOpen() const override { return open; }
  bool ReadFrame(int frame, int frameRate, ImageBuffer& image) override {
    reads.push_back({frame, frameRate});
    image = SolidImage(4, 4, colour);
    return true;
  }
  void Close() override { open = false; }

  bool open = true;
  Bgra colour = {1, 2, 3, 255};
  std::vector<std::pair<int, int>> reads;
};

class ComposeFrameTest : public ::testing::Test {
 protected:
  void AddPicture(int slot, Bgra colour, const KeyFrame& key) {
    Picture picture;
    picture.image = SolidImage(64, 64, colour);
    picture.keys[0] = key;
    document.SetPicture(slot, std::move(picture));
    document.pictureCount = std::max(document.pictureCount, slot + 1);
  }

  // Picture 0 crosses the stage in one frame: x 100 at frame 0, 300 at
  // frame 1, in a straight line without ease, so the later half of frame 0
  // has it at x 200.
  void AddMovingPicture() {
    AddPicture(0, {200, 0, 0, 255}, PictureState(100, 240, 100, 480));
    EditPicture(document, 0, [](Picture& picture) {
      picture.keys[0].easeCode = 4001;
      picture.keys[1] = PictureState(300, 240, 100, 480);
      picture.keys[1].time = 1;
      picture.keyCount = 2;
    });
  }

  static bool Painted(const ImageBuffer& frame, int x, int row) {
    return PixelAt(frame, x, row)[3] == 255;
  }

  SettingsStore settings;
  ShowDocument document{settings};
  ImageBuffer frame{640, 480, 32};
};

TEST_F(ComposeFrameTest, BackgroundThenPicturesFromTheLastSlotToTheFirst) {
  document.backgroundSource = kBackgroundPicture;
  document.backgroundImage = SolidImage(2, 2, {5, 6, 7, 255});
  AddPicture(0, {0, 200, 0, 255}, PictureState(320, 240, 100, 100));
  AddPicture(1, {0, 0, 200, 255}, PictureState(320, 240, 300, 300));
  ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kFullFrame, 1, frame));
  // The stretched background has alpha 0.
  EXPECT_EQ(PixelAt(frame, 5, 5), (Bgra{5, 6, 7, 0}));
  EXPECT_EQ(PixelAt(frame, 320, 240)[1], (200 * 254 + 6 * 1) >> 8);
  EXPECT_EQ(PixelAt(frame, 200, 240)[2], (200 * 254 + 7 * 1) >> 8);
}

TEST_F(ComposeFrameTest, DamagedPictureCountStaysWithinTheSlots) {
  AddPicture(0, {0, 200, 0, 255}, PictureState(320, 240, 100, 100));
  document.pictureCount = 1000;
  ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kFullFrame, 1, frame));
  EXPECT_TRUE(Painted(frame, 320, 240));
}

TEST_F(ComposeFrameTest, ClipFrameIsFetchedAtTheCurrentTimeUnlessHeld) {
  SolidClip clip;
  document.SetBackgroundClip(&clip);
  document.backgroundSource = kBackgroundClip;
  document.clock.currentTime = 42;
  document.clock.frameRate = 2500;
  ASSERT_TRUE(ComposeFrame(document, 42, FieldMode::kFullFrame, 1, frame));
  ASSERT_EQ(clip.reads, (std::vector<std::pair<int, int>>{{42, 2500}}));
  EXPECT_EQ(PixelAt(frame, 600, 400), (Bgra{1, 2, 3, 0}));

  // Held: the frame fetched last is stretched again.
  document.holdBackgroundFrame = 1;
  clip.colour = {9, 9, 9, 255};
  ImageBuffer held(320, 240, 32);
  ASSERT_TRUE(ComposeFrame(document, 43, FieldMode::kFullFrame, 1, held));
  EXPECT_EQ(clip.reads.size(), 1u);
  EXPECT_EQ(PixelAt(held, 0, 0), (Bgra{1, 2, 3, 0}));

  // A closed clip is not asked either.
  document.holdBackgroundFrame = 0;
  clip.open = false;
  ASSERT_TRUE(ComposeFrame(document, 44, FieldMode::kFullFrame, 1, held));
  EXPECT_EQ(clip.reads.size(), 1u);
}

TEST_F(ComposeFrameTest, StageStatesStandInForKeyFramesAtTimeMinusOne) {
  testing::RecordingHost host;
  AddPicture(0, {0, 200, 0, 255}, PictureState(100, 100, 50, 50));
  host.states[0] = PictureState(500, 300, 50, 50);

  // Without a stage view the key frames decide.
  ASSERT_TRUE(ComposeFrame(document, -1, FieldMode::kFullFrame, 1, frame));
  EXPECT_TRUE(Painted(frame, 100, 100));
  EXPECT_FALSE(Painted(frame, 500, 300));

  document.SetHost(&host);
  ImageBuffer staged(640, 480, 32);
  ASSERT_TRUE(ComposeFrame(document, -1, FieldMode::kFullFrame, 1, staged));
  EXPECT_FALSE(Painted(staged, 100, 100));
  EXPECT_TRUE(Painted(staged, 500, 300));

  // A real time always evaluates the key frames.
  ImageBuffer timed(640, 480, 32);
  ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kFullFrame, 1, timed));
  EXPECT_TRUE(Painted(timed, 100, 100));
}

TEST_F(ComposeFrameTest, InterlacedFramePutsTheLaterHalfOnEvenRows) {
  AddMovingPicture();
  ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kInterlacedFields, 1, frame));
  for (int row : {0, 2, 240, 400}) {
    EXPECT_TRUE(Painted(frame, 200, row)) << row;
    EXPECT_FALSE(Painted(frame, 100, row)) << row;
  }
  for (int row : {1, 3, 241, 401}) {
    EXPECT_TRUE(Painted(frame, 100, row)) << row;
    EXPECT_FALSE(Painted(frame, 200, row)) << row;
  }

  document.fieldSwap = 1;
  ImageBuffer swapped(640, 480, 32);
  ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kInterlacedFields, 1, swapped));
  EXPECT_TRUE(Painted(swapped, 100, 0));
  EXPECT_TRUE(Painted(swapped, 200, 1));
}

TEST_F(ComposeFrameTest, SingleFieldsGoIntoHalfHeightBuffers) {
  AddMovingPicture();
  ImageBuffer first(640, 240, 32);
  ImageBuffer second(640, 240, 32);
  ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kFirstField, 1, first));
  ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kSecondField, 1, second));
  for (int row : {0, 120, 230}) {
    EXPECT_TRUE(Painted(first, 100, row));
    EXPECT_FALSE(Painted(first, 200, row));
    EXPECT_TRUE(Painted(second, 200, row));
    EXPECT_FALSE(Painted(second, 100, row));
  }

  // fieldArg 1 takes the odd display rows; flopTopField the even ones. A
  // picture striped by rows at 1:1 shows which.
  ImageBuffer stripes(640, 480, 32);
  for (int j = 0; j < 480; ++j) {
    for (int x = 0; x < 640; ++x) {
      const uint8_t v = j % 2 ? 200 : 0;
      SetPixel(stripes, x, j, {v, v, v, 255});
    }
  }
  EditPicture(document, 0, [&](Picture& picture) {
    picture.image = stripes;
    picture.keyCount = 1;
    picture.keys[0] = PictureState(320, 240, 640, 480);
  });
  ImageBuffer odd(640, 240, 32);
  ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kFirstField, 1, odd));
  EXPECT_EQ(PixelAt(odd, 10, 10)[0], (200 * 254) >> 8);
  document.flopTopField = 1;
  ImageBuffer even(640, 240, 32);
  ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kFirstField, 1, even));
  EXPECT_EQ(PixelAt(even, 10, 10), (Bgra{0, 0, 0, 255}));
}

bool SameBytes(const ImageBuffer& a, const ImageBuffer& b) {
  return std::ranges::equal(a.PixelBlock(), b.PixelBlock());
}

// Random shows of every brush (blur and pixelate among pictures that read
// no neighbour), backgrounds of other sizes and every field mode: the frame
// is the same however many bands paint it.
TEST_F(ComposeFrameTest, BandsPaintWhatOneBandPaints) {
  std::mt19937 random(4242);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  auto noise = [&](ImageBuffer& image) {
    for (uint8_t& byte : image.PixelBlock()) byte = static_cast<uint8_t>(uniform(0, 255));
  };
  static constexpr Brush kBrushes[] = {Brush::kNormal,   Brush::kNormal,  Brush::kBlur,
                                       Brush::kPixelate, Brush::kDarken,  Brush::kLighten,
                                       Brush::kTint,     Brush::kNoColour};
  for (int n = 0; n < 60; ++n) {
    document.pictureCount = uniform(1, 8);
    for (int slot = 0; slot < document.pictureCount; ++slot) {
      Picture picture;
      picture.image.Create(uniform(1, 70), uniform(1, 70), 32);
      noise(picture.image);
      picture.brush = BrushCode(kBrushes[uniform(0, 7)]);
      picture.tint = 0x336699;
      picture.keys[0] = PictureState(uniform(-40, 680), uniform(-40, 520), uniform(-200, 300),
                                     uniform(1, 300), uniform(-360, 360), uniform(0, 100));
      document.SetPicture(slot, std::move(picture));
    }
    document.backgroundSource = kBackgroundPicture;
    document.backgroundImage.Create(uniform(1, 200), uniform(1, 200), 32);
    noise(document.backgroundImage);
    const auto fieldMode = static_cast<FieldMode>(uniform(0, 3));
    const int height = uniform(1, 200);
    ImageBuffer one(uniform(1, 300),
                    fieldMode == FieldMode::kFirstField || fieldMode == FieldMode::kSecondField
                        ? (height + 1) / 2
                        : height,
                    32);
    ASSERT_TRUE(ComposeFrameWith(document, 0, fieldMode, 1, one, {1}));
    for (int bands : {2, 3, 8}) {
      ImageBuffer banded(one.Width(), one.Height(), 32);
      ASSERT_TRUE(ComposeFrameWith(document, 0, fieldMode, 1, banded, {bands}));
      ASSERT_TRUE(SameBytes(one, banded)) << "show " << n << ", " << bands << " bands";
    }
  }
}

// The background is stretched once per size and kept; a change to the
// picture or to the frame's size is seen at the next frame.
TEST_F(ComposeFrameTest, KeptBackgroundFollowsItsPictureAndTheSize) {
  document.backgroundSource = kBackgroundPicture;
  document.backgroundImage = SolidImage(3, 3, {10, 20, 30, 255});
  auto expectStretched = [&](ImageBuffer& destination) {
    ASSERT_TRUE(ComposeFrame(document, 0, FieldMode::kFullFrame, 1, destination));
    ImageBuffer expected(destination.Width(), destination.Height(), 32);
    ASSERT_TRUE(document.backgroundImage.StretchTo(expected, 0, 0));
    EXPECT_TRUE(SameBytes(destination, expected));
  };
  expectStretched(frame);
  SetPixel(document.backgroundImage, 2, 2, {40, 50, 60, 255});
  expectStretched(frame);
  EXPECT_EQ(PixelAt(frame, 639, 479)[0], 40);
  ImageBuffer small(6, 6, 32);
  expectStretched(small);
}

}  // namespace
}  // namespace vantoril
