#include "engine/show_document.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "engine/compositor.h"
#include "engine/settings_store.h"
#include "engine/show_file.h"
#include "support/child_process.h"
#include "support/test_doubles.h"

namespace vantoril {
namespace {

using testing::FakePictureLoader;
using testing::RecordingHost;
using testing::SpecFor;

class ShowDocumentTest : public ::testing::Test {
 protected:
  explicit ShowDocumentTest(std::string settings = "") {
    SettingsStore store;
    store.SetText("[Vantoril]\r\n" + settings);
    document = std::make_unique<ShowDocument>(store);
    document->SetHost(&host);
    document->SetPictureLoader(&loader);
    document->EnterStandaloneMode();
  }

  int AddPicture(int width = 40, int height = 30) {
    loader.width = width;
    loader.height = height;
    return document->LoadPicture(SpecFor("/pics/picture.bmp"), -1);
  }

  // Sets a key frame for the selected picture at frame t with x as its mark.
  bool KeyAt(int t, float x) {
    document->clock.currentTime = t;
    host.states[document->selectedPicture].x = x;
    return document->SetKeyAtCurrentTime();
  }

  std::vector<KeyFrame> Keys(int slot) const {
    const auto keys = document->PictureAt(slot).Keys();
    return {keys.begin(), keys.end()};
  }

  RecordingHost host;
  FakePictureLoader loader;
  std::unique_ptr<ShowDocument> document;
};

TEST_F(ShowDocumentTest, ConstructionDefaults) {
  EXPECT_EQ(document->stageFrame.Height(), 480);
  EXPECT_EQ(document->stageFrame.BitsPerPixel(), 32);
  EXPECT_FLOAT_EQ(document->aspect, 0.75f);
  EXPECT_EQ(document->keyClipboard.time, kEmptyClipboardTime);
  EXPECT_EQ(document->alphaBlur, 1);
  EXPECT_EQ(document->backgroundSource, kBackgroundClip);
  EXPECT_EQ(document->undoTop, -1);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const Picture& picture = document->PictureAt(slot);
    ASSERT_EQ(picture.keyCount, 1);
    EXPECT_EQ(picture.keys[0], (KeyFrame{.x = 200, .y = 200, .width = 100, .height = 100}));
    EXPECT_EQ(picture.tint, 255u);
  }
}

struct SettingsCase {
  std::string text;
  int stageWidth;
  int frameRate;
  int showLength;
};

TEST(ShowDocumentSettings, StageWidthFrameRateAndShowLength) {
  const SettingsCase cases[] = {
      {"", 640, 2997, 17980},
      {"AspectMode=9000\r\n", 533, 2997, 17980},
      {"AspectMode=5625\r\n", 853, 2997, 17980},
      {"FrameRate=2500\r\n", 640, 2500, 15000},
      {"FrameRate=2397\r\n", 640, 2397, 14380},
      // Settings that would divide by zero or give no stage are sanitised.
      {"AspectMode=0\r\nFrameRate=0\r\n", 640, 2997, 17980},
      {"AspectMode=-7500\r\nFrameRate=-30\r\n", 640, 2997, 17980},
      {"AspectMode=1\r\n", 640, 2997, 17980},
  };
  for (const auto& c : cases) {
    SettingsStore store;
    store.SetText("[Vantoril]\r\n" + c.text);
    ShowDocument document(store);
    document.EnterStandaloneMode();
    EXPECT_EQ(document.stageWidth, c.stageWidth) << c.text;
    EXPECT_EQ(document.stageFrame.Width(), c.stageWidth) << c.text;
    EXPECT_EQ(document.clock.frameRate, c.frameRate) << c.text;
    EXPECT_EQ(document.showLength, c.showLength) << c.text;
  }
}

TEST_F(ShowDocumentTest, LoadPictureMakesAnOpaquePictureWithTransparentBorder) {
  document->alphaBlur = 0;
  document->videoColors = 0;
  loader.width = 320;
  loader.height = 240;
  ASSERT_EQ(document->LoadPicture(SpecFor("/pics/a.bmp"), -1), 0);
  EXPECT_EQ(document->pictureCount, 1);
  EXPECT_EQ(document->PictureAt(0).file.Path(), "/pics/a.bmp");
  EXPECT_TRUE(document->Modified());
  const KeyFrame& key = document->PictureAt(0).keys[0];
  EXPECT_EQ(key.x, 320);
  EXPECT_EQ(key.y, 240);
  EXPECT_EQ(key.width, 320);
  EXPECT_EQ(key.height, 240);
  const ImageBuffer& image = document->PictureAt(0).image;
  ASSERT_EQ(image.BitsPerPixel(), 32);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const bool border = x == 0 || y == 0 || x == 319 || y == 239;
      ASSERT_EQ(image.RowPointer(y)[4 * x + 3], border ? 0 : 255) << x << "," << y;
    }
  }
  // The colours are the file's (blue, green, red of a 24-bit pixel).
  EXPECT_EQ(image.RowPointer(5)[4 * 2 + 0], static_cast<uint8_t>(100 + 6 + 35));
}

TEST_F(ShowDocumentTest, FailedLoadChangesNothing) {
  AddPicture();
  const auto before = Keys(0);
  loader.result = PictureLoad::kFailed;
  EXPECT_EQ(document->LoadPicture(SpecFor("/pics/missing.bmp"), -1), -1);
  EXPECT_EQ(document->LoadPicture(SpecFor("/pics/missing.bmp"), 0), 0);
  EXPECT_EQ(document->pictureCount, 1);
  EXPECT_EQ(document->PictureAt(0).file.Path(), "/pics/picture.bmp");
  EXPECT_EQ(Keys(0), before);
  EXPECT_EQ(document->LoadPicture(SpecFor("ab"), -1), -1);
  loader.result = PictureLoad::kLoaded;
  EXPECT_EQ(document->LoadPicture(SpecFor("/pics/other.bmp"), 40), 40);  // no such slot
  EXPECT_EQ(document->pictureCount, 1);
}

TEST_F(ShowDocumentTest, PlaceholderCountsAsLoadedAndThirtyPicturesIsTheLimit) {
  loader.result = PictureLoad::kPlaceholder;
  for (int i = 0; i < kMaxPictures; ++i) {
    ASSERT_EQ(AddPicture(8, 8), i);
  }
  EXPECT_EQ(AddPicture(8, 8), -1);
  EXPECT_EQ(document->pictureCount, kMaxPictures);
}

TEST_F(ShowDocumentTest, UnreadablePicturesAreListedAndFollowTheirSlot) {
  AddPicture(10, 10);
  loader.result = PictureLoad::kPlaceholder;
  AddPicture(11, 10);
  loader.result = PictureLoad::kFailed;
  AddPicture(12, 10);  // refused: listed, not added
  const auto listed = document->TakeUnreadablePictures();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].path, "/pics/picture.bmp");
  EXPECT_NE(listed[1].problem, PictureProblem::kNone);
  EXPECT_EQ(document->pictureCount, 2);
  EXPECT_EQ(UnreadablePicturesOf(*document).size(), 1u);
  ASSERT_TRUE(document->DeletePicture(0));
  EXPECT_NE(document->PictureAt(0).problem, PictureProblem::kNone);
  loader.result = PictureLoad::kLoaded;
  EXPECT_EQ(document->LoadPicture(SpecFor("/pics/found.bmp"), 0), 0);
  EXPECT_TRUE(UnreadablePicturesOf(*document).empty());
  EXPECT_TRUE(document->TakeUnreadablePictures().empty());

  // A still background that stands in is listed with them.
  loader.result = PictureLoad::kPlaceholder;
  EXPECT_FALSE(document->ChangeBackground(SpecFor("/pics/sky.bmp")));
  ASSERT_EQ(document->TakeUnreadablePictures().size(), 1u);
  ASSERT_EQ(UnreadablePicturesOf(*document).size(), 1u);
  EXPECT_EQ(UnreadablePicturesOf(*document)[0].path, "/pics/sky.bmp");
  loader.result = PictureLoad::kLoaded;
  EXPECT_TRUE(document->ChangeBackground(SpecFor("/pics/sky.bmp")));
  EXPECT_TRUE(UnreadablePicturesOf(*document).empty());
}

TEST_F(ShowDocumentTest, SetKeyWithoutAutoAddAppendsBeepsAndAdvancesOneSecond) {
  AddPicture();
  document->autoAddKey = 0;
  EXPECT_TRUE(KeyAt(100, 55));
  EXPECT_EQ(document->PictureAt(0).keyCount, 2);
  EXPECT_EQ(document->PictureAt(0).keys[1].time, 100);
  EXPECT_EQ(document->PictureAt(0).keys[1].x, 55);
  EXPECT_EQ(host.beeps, 1);
  EXPECT_EQ(document->clock.currentTime, 130);
}

TEST_F(ShowDocumentTest, SetKeyUpdatesAKeyFrameWithinTheMatchingDistance) {
  AddPicture();
  host.timeline = true;
  host.timeScale = 15;         // d = 2
  EXPECT_FALSE(KeyAt(3, 77));  // near the start: the first key frame
  EXPECT_EQ(document->PictureAt(0).keyCount, 1);
  EXPECT_EQ(document->PictureAt(0).keys[0].time, 0);
  EXPECT_EQ(document->PictureAt(0).keys[0].x, 77);
  EXPECT_EQ(host.beeps, 0);  // auto-add keys on: an update is silent

  // Without a timeline d is 4; 2d is the first time not taken for the start's.
  host.timeline = false;
  EXPECT_FALSE(KeyAt(7, 1));
  EXPECT_TRUE(KeyAt(8, 2));
  ASSERT_TRUE(KeyAt(100, 10));
  EXPECT_FALSE(KeyAt(103, 20));
  EXPECT_TRUE(KeyAt(104, 30));
  // Past the show's end a key frame lands on its last frame.
  const int32_t last = document->showLength - 1;
  EXPECT_TRUE(KeyAt(last + 1, 3));
  EXPECT_FALSE(KeyAt(last + 500, 4));
  const std::vector<KeyFrame> keys = Keys(0);
  ASSERT_EQ(keys.size(), 5u);
  EXPECT_EQ(keys[0].x, 1);
  EXPECT_EQ(keys[1].time, 8);
  EXPECT_EQ(keys[2].time, 100);
  EXPECT_EQ(keys[2].x, 20);
  EXPECT_EQ(keys[3].time, 104);
  EXPECT_EQ(keys[4].time, last);
  EXPECT_EQ(keys[4].x, 4);
}

TEST_F(ShowDocumentTest, KeyOperationsNeedAnExistingUnlockedPicture) {
  EXPECT_FALSE(KeyAt(100, 1));  // empty show
  EXPECT_EQ(document->PictureAt(0).keyCount, 1);
  EXPECT_FALSE(document->ShiftKeysAfter(0, 10));
  document->DeleteKey(0, 0);
  EXPECT_EQ(document->PictureAt(0).keyCount, 1);
  EXPECT_EQ(document->undoCount, 0);

  AddPicture();
  document->ToggleLock(0);
  EXPECT_FALSE(KeyAt(100, 1));
  EXPECT_EQ(document->PictureAt(0).keyCount, 1);
  document->ToggleLock(0);

  document->selectedPicture = 5;  // past the last picture
  EXPECT_FALSE(KeyAt(100, 1));
  EXPECT_EQ(document->PictureAt(5).keyCount, 1);

  document->selectedPicture = 0;
  document->DeleteKey(0, 0);  // the only key frame stays
  EXPECT_EQ(document->PictureAt(0).keyCount, 1);
}

TEST_F(ShowDocumentTest, MovePictureEndsBehindTheTarget) {
  for (int i = 0; i < 5; ++i) {
    AddPicture(10 + i, 10);
  }
  KeyAt(100, 1);
  ASSERT_GT(document->undoCount, 0);
  ASSERT_TRUE(document->MovePicture(0, 3));
  EXPECT_EQ(document->undoCount, 0);  // slot moves clear the history
  EXPECT_EQ(document->undoTop, -1);
  EXPECT_EQ(document->PictureAt(1).image.Width(), 13);
  EXPECT_EQ(document->PictureAt(0).image.Width(), 10);
  EXPECT_EQ(document->PictureAt(2).image.Width(), 11);
  EXPECT_EQ(document->pictureCount, 5);

  ASSERT_TRUE(document->MovePicture(3, 0));
  EXPECT_EQ(document->PictureAt(3).image.Width(), 10);
  EXPECT_FALSE(document->MovePicture(5, 0));
  EXPECT_FALSE(document->MovePicture(2, 2));
  EXPECT_FALSE(document->InsertPictureCopy(5, 0));  // would leave a gap
  ASSERT_TRUE(document->InsertPictureCopy(0, 4));
  EXPECT_EQ(document->pictureCount, 6);
  EXPECT_EQ(document->PictureAt(1).image.Width(), document->PictureAt(5).image.Width());
}

TEST_F(ShowDocumentTest, DeletePictureKeepsCountAndSelectionSound) {
  EXPECT_FALSE(document->DeletePicture(0));
  EXPECT_EQ(document->pictureCount, 0);
  AddPicture(10, 10);
  AddPicture(11, 10);
  AddPicture(12, 10);
  document->SetBrush(2, Brush::kBlur);
  document->selectedPicture = 2;
  KeyAt(100, 1);
  EXPECT_FALSE(document->DeletePicture(3));
  ASSERT_TRUE(document->DeletePicture(0));
  EXPECT_EQ(document->undoCount, 0);
  EXPECT_EQ(document->pictureCount, 2);
  EXPECT_EQ(document->PictureAt(0).image.Width(), 11);
  EXPECT_EQ(document->PictureAt(1).brush, BrushCode(Brush::kBlur));
  EXPECT_EQ(document->PictureAt(2).brush, BrushCode(Brush::kNormal));
  EXPECT_EQ(document->selectedPicture, 1);
}

TEST_F(ShowDocumentTest, GoToTimeEvaluatesIntoTheStageAndRepaints) {
  AddPicture();
  KeyAt(30, 500);
  EXPECT_EQ(document->FindKeyNear(33), 1);
  EXPECT_EQ(document->FindKeyNear(34), -1);
  const KeyFrame state = document->EvaluatePicture(0, 100, false);
  EXPECT_EQ(state.x, 500);
  EXPECT_EQ(state.time, 0);
  EXPECT_EQ(document->EvaluatePicture(40, 0, false), KeyFrame{});
  document->GoToTime(15, true);
  EXPECT_EQ(document->clock.currentTime, 15);
  EXPECT_GT(host.states[0].x, 320);
  EXPECT_LT(host.states[0].x, 500);
  const int repaints = host.stageRepaints;
  document->GoToTime(999999, true);
  EXPECT_EQ(document->clock.currentTime, document->showLength);
  EXPECT_EQ(host.states[0].x, 500);
  EXPECT_EQ(host.stageRepaints, repaints + 1);
  document->GoToTime(-5, false);
  EXPECT_EQ(document->clock.currentTime, 0);
}

TEST_F(ShowDocumentTest, ThirtyThreePushesLeaveThirtyTwoUndoableEntriesAndANewEditEndsRedo) {
  AddPicture();
  for (int i = 1; i <= 33; ++i) {
    ASSERT_TRUE(KeyAt(10 * i, static_cast<float>(i)));
  }
  const auto full = Keys(0);
  EXPECT_EQ(document->undoCount, 32);
  for (int i = 0; i < 40; ++i) {
    document->Undo();
  }
  EXPECT_EQ(document->undoCount, 0);
  EXPECT_EQ(document->redoCount, 32);
  EXPECT_EQ(document->PictureAt(0).keyCount, 2);  // the first addition is beyond the ring
  for (int i = 0; i < 40; ++i) {
    document->Redo();
  }
  EXPECT_EQ(Keys(0), full);
  // A new edit ends the redo chain.
  document->Undo();
  KeyAt(5000, 20);
  EXPECT_EQ(document->redoCount, 0);
  const auto after = Keys(0);
  document->Redo();
  EXPECT_EQ(Keys(0), after);
}

TEST_F(ShowDocumentTest, ShiftKeysAfterIsUndoneKeyFrameByKeyFrame) {
  AddPicture();
  KeyAt(100, 1);
  KeyAt(200, 2);
  KeyAt(300, 3);
  const auto before = Keys(0);
  ASSERT_TRUE(document->ShiftKeysAfter(150, 40));
  EXPECT_EQ(document->PictureAt(0).keys[2].time, 240);
  EXPECT_EQ(document->PictureAt(0).keys[3].time, 340);
  document->Undo();
  document->Undo();
  EXPECT_EQ(Keys(0), before);
  ASSERT_TRUE(document->ShiftKeysAfter(0, 999999));
  EXPECT_EQ(document->PictureAt(0).keys[3].time, document->showLength);
}

TEST_F(ShowDocumentTest, At127KeyFramesNoMoreAreAddedNorUndoneInto) {
  AddPicture();
  for (int i = 1; i < kMaxKeys; ++i) {
    ASSERT_TRUE(KeyAt(10 * i, 1));
  }
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(KeyAt(5000, 1));
  EXPECT_EQ(document->PictureAt(0).keyCount, kMaxKeys);
  EXPECT_EQ(host.messages, (std::vector<std::pair<std::string, long>>{
                               {"A picture holds at most 127 key frames", MessageSink::kNoCode}}));
  document->DeleteKey(5, 0);
  KeyAt(5000, 2);  // back to 127
  ASSERT_EQ(document->PictureAt(0).keyCount, kMaxKeys);
  document->Undo();  // removes the one at 5000
  document->Undo();  // restores the deleted one: 127 again
  EXPECT_EQ(document->PictureAt(0).keyCount, kMaxKeys);
  document->Redo();
  document->Redo();
  EXPECT_EQ(document->PictureAt(0).keyCount, kMaxKeys);
}

// Additions, updates (a key set near one), deletions, key frames dragged in
// time and shifts, undone and redone in random sequences.
TEST_F(ShowDocumentTest, RandomEditSequencesUndoAndRedoExactly) {
  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    document->ResetShow();
    AddPicture();
    for (int i = 1; i <= 6; ++i) {
      KeyAt(50 * i, static_cast<float>(i));
    }
    document->ClearUndoHistory();
    const auto start = Keys(0);
    const int edits = 1 + static_cast<int>(random() % 30);
    for (int e = 0; e < edits; ++e) {
      const int kind = static_cast<int>(random() % 4);
      const auto keys = document->PictureAt(0).Keys();
      if (kind == 0) {
        KeyAt(static_cast<int>(random() % 2000), static_cast<float>(random() % 640));
      } else if (kind == 1 && keys.size() > 1) {
        document->DeleteKey(1 + static_cast<int>(random() % (keys.size() - 1)), 0);
      } else if (kind == 3 && keys.size() > 1) {
        // Dragged in time, to a time no other key frame has.
        const int k = 1 + static_cast<int>(random() % (keys.size() - 1));
        const int time = 1 + static_cast<int>(random() % 3000);
        if (std::ranges::none_of(keys, [&](const KeyFrame& key) { return key.time == time; })) {
          document->MoveKey(0, k, time);
        }
      } else {
        // Forward shifts only (equal times have no order to restore), one
        // entry per moved key frame, all within the ring.
        const int after = static_cast<int>(random() % 2000);
        const auto moved =
            std::ranges::count_if(keys, [&](const KeyFrame& k) { return k.time > after; });
        if (document->undoCount + moved < kUndoRingSize) {
          document->ShiftKeysAfter(after, 1 + static_cast<int>(random() % 50));
        }
      }
      if (document->undoCount >= kUndoRingSize - 1) {
        break;
      }
    }
    const auto end = Keys(0);
    while (document->undoCount > 0) {
      document->Undo();
    }
    ASSERT_EQ(Keys(0), start) << "round " << round;
    while (document->redoCount > 0) {
      document->Redo();
    }
    ASSERT_EQ(Keys(0), end) << "round " << round;
  }
}

// Each edit marks the show (the windows never do); without a picture the
// picture edits do nothing, and a key frame that does not move leaves the
// show as it was.
TEST_F(ShowDocumentTest, EditsMarkTheShowModified) {
  EXPECT_FALSE(document->SetBrush(0, Brush::kBlur) || document->SetTint(0, 1) ||
               document->ToggleLock(0) || document->Modified());
  AddPicture();
  const auto expectMarked = [&](std::span<const std::function<void()>> edits) {
    for (size_t i = 0; i < edits.size(); ++i) {
      document->SetModified(false);
      edits[i]();
      EXPECT_TRUE(document->Modified()) << i;
    }
  };
  const std::function<void()> edits[] = {
      [&] { EXPECT_TRUE(document->SetBrush(0, Brush::kTint)); },
      [&] { EXPECT_TRUE(document->SetTint(0, 0x123456)); },
      [&] { EXPECT_TRUE(document->ToggleLock(0)); },
      [&] { document->SetSoundFile(SpecFor("/sound/s.wav")); },
      [&] { EXPECT_TRUE(document->ChangeBackground(SpecFor("/pics/back.bmp"))); },
      [&] { EXPECT_EQ(document->MoveKey(0, 1, 200), 1); },
      [&] { EXPECT_TRUE(document->EditKey(0, 1, KeyFrame{.x = 99, .time = 200})); },
  };
  ASSERT_TRUE(KeyAt(100, 1));
  document->SetModified(false);
  EXPECT_EQ(document->MoveKey(0, 0, 50), -1);   // the first key frame stays
  EXPECT_EQ(document->MoveKey(0, 1, 100), -1);  // not moved
  EXPECT_FALSE(document->Modified());
  expectMarked(edits);
  const Picture& picture = document->PictureAt(0);
  EXPECT_EQ(picture.brush, BrushCode(Brush::kTint));
  EXPECT_EQ(picture.tint, 0x123456u);
  EXPECT_EQ(picture.locked, 1);
  EXPECT_EQ(document->soundFile.Path(), "/sound/s.wav");
  EXPECT_EQ(document->backgroundFile.Path(), "/pics/back.bmp");
  EXPECT_EQ(document->backgroundSource, kBackgroundPicture);
  EXPECT_EQ(picture.keys[1], (KeyFrame{.x = 99, .time = 200}));
  document->Undo();  // the edit
  EXPECT_EQ(picture.keys[1].x, 1);
  document->Undo();  // the move
  EXPECT_EQ(picture.keys[1].time, 100);
  EXPECT_TRUE(document->ToggleLock(0));
  EXPECT_EQ(picture.locked, 0);

  AddPicture();
  const std::function<void()> keyAndSlotEdits[] = {
      [&] { document->Redo(); },
      [&] { document->Undo(); },
      [&] { EXPECT_TRUE(KeyAt(300, 3)); },
      [&] { EXPECT_TRUE(document->ShiftKeysAfter(250, 10)); },
      [&] { document->DeleteKey(1, 0); },
      [&] { EXPECT_TRUE(document->PasteKey()); },
      [&] { EXPECT_EQ(document->LoadPicture(SpecFor("/pics/other.bmp"), 1), 1); },
      [&] { EXPECT_TRUE(document->InsertPictureCopy(0, 1)); },
      [&] { EXPECT_TRUE(document->MovePicture(2, 0)); },
      [&] { EXPECT_TRUE(document->DeletePicture(1)); },
  };
  document->keyClipboard = document->GetKey(0, 0);
  expectMarked(keyAndSlotEdits);
}

// Paste gives the key frame at the current time (set first when there is
// none) the clipboard's place, size, rotation and ease, and nothing else.
TEST_F(ShowDocumentTest, PasteKeyNeedsAClipboardAndAnUnlockedPicture) {
  AddPicture();
  KeyAt(100, 1);
  document->GoToTime(50, false);
  document->currentKey = -1;
  EXPECT_FALSE(document->PasteKey());  // nothing on the clipboard
  KeyFrame clip{.time = 30, .tagSlot = 3, .tagCode = 4};
  for (int f = 0; f < kInterpolatedFieldCount; ++f) FieldValue(clip, f) = 7.0f + f;
  document->keyClipboard = clip;
  document->ToggleLock(0);
  EXPECT_FALSE(document->PasteKey());
  EXPECT_EQ(Keys(0).size(), 2u);
  document->ToggleLock(0);
  host.states[0].level = 40;
  ASSERT_TRUE(document->PasteKey());
  ASSERT_EQ(Keys(0).size(), 3u);
  KeyFrame expected = clip;
  expected.spare9 = expected.spare11 = 0;
  expected.level = 40;
  expected.time = 50;
  expected.tagSlot = expected.tagCode = 0;
  EXPECT_EQ(Keys(0)[1], expected);
  EXPECT_EQ(document->clock.currentTime, 50);
  // Into the current key frame, which is not added again.
  document->currentKey = 2;
  document->keyClipboard.x = 70;
  ASSERT_TRUE(document->PasteKey());
  EXPECT_EQ(Keys(0)[2].x, 70);
  EXPECT_EQ(Keys(0)[2].time, 100);
}

// Even frames interleave the two fields, the first on the top row; odd
// frames are whole. Both are as wide as the stage, and the clock moves on.
TEST(ShowDocumentFieldPreview, InterleavesTheFieldsAtTheStageWidth) {
  SettingsStore store;
  store.SetText("[Vantoril]\r\nAspectMode=5625\r\n");
  ShowDocument document(store);
  FakePictureLoader loader;
  document.SetPictureLoader(&loader);
  ASSERT_EQ(document.LoadPicture(SpecFor("/pics/p.bmp"), -1), 0);
  testing::EditPicture(document, 0, [](Picture& picture) {  // moving: the fields differ
    picture.keys[0].easeCode = 4001;
    picture.keys[1] = picture.keys[0];
    picture.keys[1].x += 220;
    picture.keys[1].time = 11;
    picture.keyCount = 2;
  });
  ImageBuffer first(853, 240, 32), second(853, 240, 32), whole(853, 480, 32);
  ComposeFrame(document, 10, FieldMode::kFirstField, 1, first);
  ComposeFrame(document, 10, FieldMode::kSecondField, 1, second);
  ComposeFrame(document, 11, FieldMode::kFullFrame, 1, whole);
  document.clock.currentTime = 10;
  const ImageBuffer even = document.StepFieldPreview();
  ASSERT_EQ(even.Width(), 853);
  ASSERT_EQ(even.Height(), 480);
  const auto row = [](const ImageBuffer& image, int y) {
    return std::span<const uint8_t>(image.RowPointer(image.Height() - 1 - y), 853 * 4);
  };
  for (int y = 0; y < 240; ++y) {
    ASSERT_TRUE(std::ranges::equal(row(even, 2 * y), row(first, y))) << y;
    ASSERT_TRUE(std::ranges::equal(row(even, 2 * y + 1), row(second, y))) << y;
  }
  EXPECT_FALSE(std::ranges::equal(first.PixelBlock(), second.PixelBlock()));
  EXPECT_EQ(document.clock.currentTime, 11);
  EXPECT_TRUE(std::ranges::equal(document.StepFieldPreview().PixelBlock(), whole.PixelBlock()));
  EXPECT_EQ(document.clock.currentTime, 12);
}

TEST_F(ShowDocumentTest, ResetShowClearsTheShowAndFillsTheStage) {
  AddPicture();
  KeyAt(100, 1);
  document->soundFile = SpecFor("/s.wav");
  document->ResetShow();
  EXPECT_EQ(document->pictureCount, 0);
  EXPECT_EQ(document->undoCount, 0);
  EXPECT_FALSE(document->Modified());
  EXPECT_FALSE(document->soundFile.HasPath());
  EXPECT_EQ(host.states[0].x, 200);
  EXPECT_EQ(document->PictureAt(0).keyCount, 1);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kAddressSpaceCanBeLimited = false;
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif

// Pictures of the largest size until memory runs out: the rest are refused
// with the memory message and what is there stays whole.
TEST_F(ShowDocumentTest, PicturesBeyondTheMemoryAreRefusedAndNothingElseIsLost) {
  if (!kAddressSpaceCanBeLimited) GTEST_SKIP() << "the sanitizers reserve the address space";
  const int status = testing::RunInChild([&] {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t room = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t{800} << 20);
    const rlimit limit{room, room};
    if (setrlimit(RLIMIT_AS, &limit) != 0) return 10;
    loader.width = ImageBuffer::kMaxSide;
    loader.height = ImageBuffer::kMaxSide;
    loader.bitsPerPixel = 8;
    for (int p = 0; p < kMaxPictures; ++p) {
      const int before = document->pictureCount;
      const int slot = document->LoadPicture(SpecFor("/pics/p" + std::to_string(p) + ".bmp"), -1);
      if (slot == before && document->pictureCount == before + 1) {
        document->selectedPicture = slot;
        if (!KeyAt(30, 5.0f)) return 11;
      }
    }
    const int loaded = document->pictureCount;
    if (loaded < 1 || loaded >= kMaxPictures) return 12;
    if (int(host.messages.size()) != kMaxPictures - loaded) return 13;
    for (const auto& [text, code] : host.messages) {
      // The fixed text first; the file's name follows on the next line.
      if (text.substr(0, text.find('\n')) != "Not Enough Memory to load Image") return 14;
    }
    for (int slot = 0; slot < loaded; ++slot) {
      if (document->PictureAt(slot).image.Width() != ImageBuffer::kMaxSide ||
          document->PictureAt(slot).keyCount != 2 || document->PictureAt(slot).keys[1].x != 5.0f) {
        return 15;
      }
    }
    // The show still saves whole.
    const auto bytes = WriteShow(*document);
    FakePictureLoader small;
    small.width = 8;
    small.height = 8;
    ShowDocument again{SettingsStore{}};
    again.SetPictureLoader(&small);
    again.EnterStandaloneMode();
    return ReadShow(again, bytes, false) && again.pictureCount == loaded ? 0 : 16;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace vantoril
