#include "engine/recovery_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "engine/show_file.h"
#include "support/test_doubles.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;

class RecoveryStoreTest : public ::testing::Test {
 protected:
  RecoveryStoreTest()
      : folder_(test::FreshFolder("recovery") / "state" / "vantoril"), document_(SettingsStore{}) {
    document_.SetHost(&host_);
    document_.SetPictureLoader(&loader_);
    document_.EnterStandaloneMode();
  }

  // The copies in the folder, by extension.
  int Count(const char* extension) const {
    int count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
      count += entry.path().extension() == extension ? 1 : 0;
    }
    return count;
  }

  // Edits the show as a user does: a picture with a second key frame.
  void Edit(float x) {
    if (document_.pictureCount == 0) {
      ASSERT_GE(document_.LoadPicture(testing::SpecFor("/pics/sun.bmp"), -1), 0);
    }
    document_.clock.currentTime = 30;
    host_.states[0] = document_.PictureAt(0).keys[0];
    host_.states[0].x = x;
    document_.SetKeyAtCurrentTime();
    ASSERT_TRUE(document_.Modified());
  }

  fs::path folder_;
  testing::RecordingHost host_;
  testing::FakePictureLoader loader_;
  ShowDocument document_;
};

// While the program runs its copy follows the unsaved show and no other
// program takes it; a save, or a clean end, removes it.
TEST_F(RecoveryStoreTest, TheCopyFollowsTheUnsavedShowUntilItIsSaved) {
  RecoveryStore store(folder_);
  EXPECT_TRUE(store.Keep(document_));
  EXPECT_FALSE(fs::exists(folder_)) << "an unchanged show needs no copy";

  ASSERT_TRUE(document_.showFile.SetPath("/shows/holiday.vsh"));
  Edit(111);
  std::error_code why;
  ASSERT_TRUE(store.Keep(document_, &why)) << why.message();
  ASSERT_EQ(Count(".vsh"), 1);
  EXPECT_TRUE(document_.Modified()) << "a copy is not a save";
  RecoveryStore other(folder_);
  EXPECT_TRUE(other.FindOrphans().empty()) << "the copy of a running program";

  // The copy is the show as a save would write it, but for the show id.
  fs::path copy;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    if (entry.path().extension() == ".vsh") copy = entry.path();
  }
  Edit(222);
  ASSERT_TRUE(store.Keep(document_));
  std::vector<uint8_t> kept = test::ReadBytes(copy);
  std::vector<uint8_t> written = WriteShow(document_);
  ASSERT_EQ(kept.size(), written.size());
  kept[2] = kept[3] = written[2] = written[3] = 0;
  EXPECT_EQ(kept, written);

  EXPECT_TRUE(store.Keep(document_));
  EXPECT_EQ(Count(".vsh") + Count(".origin") + Count(".lock"), 0);
  Edit(333);  // fresh changes on the saved show: a new copy
  ASSERT_TRUE(store.Keep(document_));
  EXPECT_EQ(Count(".vsh"), 1);
  store.Discard();
  EXPECT_EQ(Count(".vsh") + Count(".origin") + Count(".lock"), 0);
}

// A program that ends without a clean exit leaves its copy; the next program
// finds it, with the show it was made from, and only one program offers it.
TEST_F(RecoveryStoreTest, ACopyLeftBehindIsFoundOnceAndForgotten) {
  ASSERT_TRUE(document_.showFile.SetPath("/shows/holiday.vsh"));
  Edit(111);
  {
    RecoveryStore crashed(folder_);
    ASSERT_TRUE(crashed.Keep(document_));
  }
  // The lock of a program that died before its first copy is cleared away.
  std::ofstream(folder_ / "show-1-2.lock") << "";

  RecoveryStore next(folder_);
  const std::vector<RecoveryStore::Orphan> orphans = next.FindOrphans();
  ASSERT_EQ(orphans.size(), 1u);
  EXPECT_EQ(orphans[0].origin, "/shows/holiday.vsh");
  EXPECT_FALSE(fs::exists(folder_ / "show-1-2.lock"));
  RecoveryStore another(folder_);
  EXPECT_TRUE(another.FindOrphans().empty()) << "offered by the program that found it";

  ShowDocument recovered(SettingsStore{});
  recovered.SetPictureLoader(&loader_);
  recovered.EnterStandaloneMode();
  ASSERT_TRUE(ReadShow(recovered, test::ReadBytes(orphans[0].show), false));
  ASSERT_EQ(recovered.pictureCount, 1);
  EXPECT_EQ(recovered.PictureAt(0).keyCount, 2);
  EXPECT_EQ(recovered.PictureAt(0).keys[1].x, 111);

  next.Forget(orphans[0]);
  EXPECT_EQ(Count(".vsh") + Count(".origin") + Count(".lock"), 0);
  EXPECT_TRUE(another.FindOrphans().empty());
}

}  // namespace
}  // namespace vantoril
