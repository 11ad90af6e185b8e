#include "engine/show_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "support/child_process.h"
#include "support/test_doubles.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;
using testing::EditPicture;
using testing::FakePictureLoader;
using testing::RecordingHost;
using testing::SpecFor;

class ShowFileTest : public ::testing::Test {
 protected:
  ShowFileTest() { document = MakeDocument(); }

  std::unique_ptr<ShowDocument> MakeDocument() {
    auto made = std::make_unique<ShowDocument>(SettingsStore{});
    made->SetHost(&host);
    made->SetPictureLoader(&loader);
    made->EnterStandaloneMode();
    return made;
  }

  void AddPicture(const std::string& path, int keys) {
    const int slot = document->LoadPicture(SpecFor(path), -1);
    ASSERT_GE(slot, 0);
    document->selectedPicture = slot;
    for (int k = 1; k < keys; ++k) {
      document->clock.currentTime = 10 * k;
      host.states[slot] = document->PictureAt(slot).keys[0];
      host.states[slot].x = static_cast<float>(k);
      host.states[slot].rotation = 1.5f * static_cast<float>(k);
      host.states[slot].easeCode = 2013;
      document->SetKeyAtCurrentTime();
    }
  }

  void ExpectSameShow(const ShowDocument& a, const ShowDocument& b) {
    ASSERT_EQ(a.pictureCount, b.pictureCount);
    EXPECT_EQ(a.backgroundFile, b.backgroundFile);
    EXPECT_EQ(a.soundFile, b.soundFile);
    EXPECT_EQ(a.videoColors, b.videoColors);
    EXPECT_EQ(a.alphaBlur, b.alphaBlur);
    for (int s = 0; s < a.pictureCount; ++s) {
      const Picture &p = a.PictureAt(s), &q = b.PictureAt(s);
      EXPECT_EQ(p.file, q.file);
      EXPECT_EQ(p.brush, q.brush);
      EXPECT_EQ(p.tint, q.tint);
      EXPECT_EQ(p.spareC, q.spareC);
      EXPECT_EQ(p.spareD, q.spareD);
      EXPECT_EQ(p.locked, q.locked);
      EXPECT_TRUE(std::ranges::equal(p.Keys(), q.Keys())) << s;
    }
  }

  RecordingHost host;
  FakePictureLoader loader;
  std::unique_ptr<ShowDocument> document;
};

// Every field holds a value of its own so that swapped fields cannot pass.
TEST_F(ShowFileTest, RoundTripGivesTheSameBytesButTheShowId) {
  AddPicture("/pics/a.bmp", 3);
  AddPicture("/pics/b.tga", 5);
  for (int s = 0; s < 2; ++s) {
    EditPicture(*document, s, [s](Picture& picture) {
      for (int k = 0; k < picture.keyCount; ++k) {
        KeyFrame& key = picture.keys[k];
        for (int f = 0; f < kInterpolatedFieldCount; ++f) {
          FieldValue(key, f) = static_cast<float>(100 * s + 10 * k + f) + 0.25f;
        }
        key.tagCode = static_cast<uint16_t>(0x100 * s + k + 1);
      }
      picture.brush = BrushCode(s ? Brush::kTint : Brush::kLighten);
      picture.tint = s ? 0x00336699 : 0x00112233;
      picture.spareC = 7 + s;
      picture.spareD = 9 + s;
      picture.locked = static_cast<uint8_t>(s);
    });
  }
  document->videoColors = 0;
  document->alphaBlur = 1;
  document->backgroundFile = SpecFor("/pics/back.bmp");
  document->soundFile = SpecFor("/sound/track.wav");
  document->SetModified(true);
  const auto folder = test::FreshFolder("show_round_trip");
  const auto file = folder / "show.vsh";
  ASSERT_EQ(SaveShowFile(*document, file), ShowFileStatus::kOk);
  EXPECT_FALSE(document->Modified());
  EXPECT_EQ(document->showFile.Path(), file.string());
  EXPECT_FALSE(fs::exists(folder / "show.vsh.saving"));
  const auto first = test::ReadBytes(file);

  auto loaded = MakeDocument();
  ASSERT_EQ(LoadShowFile(*loaded, file, true), ShowFileStatus::kOk);
  ExpectSameShow(*document, *loaded);
  // The host hears how far the pictures' reading has come.
  EXPECT_EQ(host.loading, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
  EXPECT_EQ(loaded->showFile.Path(), file.string());
  EXPECT_EQ(loaded->soundFile.Path(), "/sound/track.wav");
  EXPECT_FALSE(loaded->Modified());
  EXPECT_EQ(loaded->undoCount, 0);
  uint16_t id;
  std::memcpy(&id, first.data() + 2, 2);
  EXPECT_EQ(loaded->showId, id);

  EXPECT_EQ(loaded->PictureAt(0).keys[0].spare11, 17980.0f);  // the show's length
  auto second = WriteShow(*loaded);
  ASSERT_EQ(first.size(), second.size());
  second[2] = first[2];
  second[3] = first[3];
  EXPECT_EQ(first, second);

  // A sound track alone has a block of its own, restored without pictures.
  auto soundOnly = MakeDocument();
  soundOnly->soundFile = SpecFor("/sound/only.wav");
  soundOnly->SetModified(true);
  ASSERT_TRUE(ReadShow(*loaded, WriteShow(*soundOnly), false));
  EXPECT_FALSE(soundOnly->Modified());
  EXPECT_EQ(loaded->pictureCount, 0);
  EXPECT_EQ(loaded->soundFile.Path(), "/sound/only.wav");
}

TEST_F(ShowFileTest, OppositeByteOrderReadsTheSameShow) {
  AddPicture("/pics/a.bmp", 4);
  EditPicture(*document, 0, [](Picture& picture) {
    picture.brush = BrushCode(Brush::kLighten);
    picture.tint = 0x00112233;
  });
  auto bytes = WriteShow(*document);

  // Reverse every number, as the other byte order would have written them.
  auto reverseAt = [&](size_t at, size_t size) {
    std::reverse(bytes.begin() + at, bytes.begin() + at + size);
  };
  reverseAt(0, 2);
  reverseAt(2, 2);
  reverseAt(4, 4);
  const size_t block = 334;
  for (size_t at : {262u, 266u, 270u, 274u, 294u}) {
    reverseAt(block + at, 4);
  }
  for (int k = 0; k < 4; ++k) {
    const size_t key = block + 298 + 56 * k;
    for (int f = 0; f < 13; ++f) {
      reverseAt(key + 4 * f, 4);
    }
    reverseAt(key + 52, 2);
    reverseAt(key + 54, 2);
  }
  ASSERT_EQ(bytes[0], 0x12);
  auto loaded = MakeDocument();
  ASSERT_TRUE(ReadShow(*loaded, bytes, false));
  ExpectSameShow(*document, *loaded);
}

TEST_F(ShowFileTest, UnreadablePictureKeepsItsSlotAndReference) {
  AddPicture("/pics/a.bmp", 2);
  AddPicture("/pics/gone.bmp", 3);
  AddPicture("/pics/c.bmp", 4);
  const auto bytes = WriteShow(*document);
  loader.failing.insert("/pics/gone.bmp");
  auto loaded = MakeDocument();
  ASSERT_TRUE(ReadShow(*loaded, bytes, false));
  ExpectSameShow(*document, *loaded);
  EXPECT_EQ(loaded->PictureAt(1).file.Path(), "/pics/gone.bmp");
  EXPECT_EQ(loaded->PictureAt(2).image.Width(), 320);
  // The slot remembers that it stands in for its file; the load names it once.
  const auto unread = UnreadablePicturesOf(*loaded);
  ASSERT_EQ(unread.size(), 1u);
  EXPECT_EQ(unread[0].path, "/pics/gone.bmp");
  EXPECT_EQ(loaded->TakeUnreadablePictures().size(), 1u);
  EXPECT_TRUE(loaded->TakeUnreadablePictures().empty());
}

TEST_F(ShowFileTest, DamagedShowsLoadAsFarAsTheyAreSound) {
  AddPicture("/pics/a.bmp", 2);
  AddPicture("/pics/b.bmp", 2);
  const auto good = WriteShow(*document);
  const size_t second = 334 + 298 + 2 * 56;

  std::string damage;
  {  // no show at all: a wrong magic number, or too short for a header
    auto bytes = good;
    bytes[0] = 0x00;
    EXPECT_FALSE(ReadShow(*MakeDocument(), bytes, false));
    EXPECT_FALSE(ReadShow(*MakeDocument(), std::vector<uint8_t>(10, 0x34), false));
  }
  {  // a key count beyond 127 in the second block
    auto bytes = good;
    const int32_t count = 500;
    std::memcpy(bytes.data() + second + 294, &count, 4);
    auto loaded = MakeDocument();
    ASSERT_TRUE(ReadShow(*loaded, bytes, false, {}, &damage));
    EXPECT_EQ(loaded->pictureCount, 1);
    EXPECT_EQ(damage,
              "This show file is damaged: 1 picture was read; the rest of the file does not "
              "hold a whole picture");
  }
  {  // a length field that claims more than the file holds
    auto bytes = good;
    bytes.resize(second + 100);
    auto loaded = MakeDocument();
    ASSERT_TRUE(ReadShow(*loaded, bytes, false, {}, &damage));
    EXPECT_EQ(loaded->pictureCount, 1);
    EXPECT_EQ(damage, "This show file is damaged: it is cut short (" +
                          std::to_string(second + 100) + " of its " + std::to_string(good.size()) +
                          " bytes are there); 1 picture was read");
  }
  {  // a length field that claims less than the file holds
    auto bytes = good;
    bytes.push_back(0);
    ASSERT_TRUE(ReadShow(*MakeDocument(), bytes, false, {}, &damage));
    EXPECT_EQ(damage, "This show file is damaged: its length field gives " +
                          std::to_string(good.size()) + " bytes but it holds " +
                          std::to_string(good.size() + 1) + "; 2 pictures were read");
  }
  {  // a path without its terminating zero names no file
    auto bytes = good;
    std::fill(bytes.begin() + 334 + 6, bytes.begin() + 334 + 262, 'x');
    auto loaded = MakeDocument();
    ASSERT_TRUE(ReadShow(*loaded, bytes, false));
    EXPECT_EQ(loaded->pictureCount, 2);
    EXPECT_FALSE(loaded->PictureAt(0).file.HasPath());
  }
  // Random damage stays in bounds (the sanitizer build watches) and in limits.
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    auto bytes = good;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i) {
      bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
    }
    if (random() % 3 == 0) {
      bytes.resize(random() % bytes.size());
    }
    auto loaded = MakeDocument();
    ReadShow(*loaded, bytes, false);
    ASSERT_LE(loaded->pictureCount, kMaxPictures);
    for (int s = 0; s < loaded->pictureCount; ++s) {
      ASSERT_GE(loaded->PictureAt(s).keyCount, 1);
      ASSERT_LE(loaded->PictureAt(s).keyCount, kMaxKeys);
    }
  }
}

TEST_F(ShowFileTest, FailedSaveOrFullDiskKeepsTheOldFileAndTheModifiedMark) {
  const auto folder = test::FreshFolder("show_save_fail");
  const auto file = folder / "show.vsh";
  AddPicture("/pics/a.bmp", 2);
  ASSERT_EQ(SaveShowFile(*document, file), ShowFileStatus::kOk);
  const auto old = test::ReadBytes(file);

  AddPicture("/pics/b.bmp", 2);
  ASSERT_TRUE(document->Modified());
  fs::create_directories(folder / "show.vsh.saving");  // the temporary cannot be made
  std::error_code why;
  EXPECT_EQ(SaveShowFile(*document, file, &why), ShowFileStatus::kCannotWrite);
  EXPECT_EQ(why, std::errc::is_a_directory);
  EXPECT_TRUE(document->Modified());
  EXPECT_EQ(test::ReadBytes(file), old);

  EXPECT_EQ(SaveShowFile(*document, folder / "missing" / "show.vsh"), ShowFileStatus::kCannotWrite);
  EXPECT_EQ(SaveShowFile(*document, fs::path("/" + std::string(300, 'a'))),
            ShowFileStatus::kPathTooLong);
  // Nor is a show saved over a file it reads a picture from.
  test::WriteBytes(folder / "picture.bmp", {'B', 'M'});
  AddPicture((folder / "picture.bmp").string(), 2);
  fs::create_symlink(folder / "picture.bmp", folder / "picture.vsh");
  EXPECT_EQ(SaveShowFile(*document, folder / "picture.vsh"), ShowFileStatus::kShowMaterial);
  EXPECT_EQ(test::ReadBytes(folder / "picture.bmp"), (std::vector<uint8_t>{'B', 'M'}));
  EXPECT_EQ(document->showFile.Path(), file.string());

  // A full disk (a file size limit) fails the save and keeps the old file.
  fs::remove(folder / "show.vsh.saving");
  for (int p = 1; p < 8; ++p) {
    AddPicture("/pics/p" + std::to_string(p) + ".bmp", 60);
  }
  const int status = testing::RunInChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{old.size() + 100, old.size() + 100};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    const ShowFileStatus saved = SaveShowFile(*document, file);
    if (saved != ShowFileStatus::kCannotWrite || !document->Modified()) return 1;
    return ShowFileMessage(saved) == "Can't save show file" ? 0 : 2;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test::ReadBytes(file), old);
  EXPECT_FALSE(fs::exists(folder / "show.vsh.saving"));
}

// A share that keeps no modes of its own (a network or phone folder mounted
// on the desktop; bindfs stands in for one) refuses every change of mode. A
// show is saved over there all the same.
TEST_F(ShowFileTest, ASaveOverAShowOnAShareThatRefusesModesGoesThrough) {
  const fs::path folder = test::TestTmpRoot() / "show_save_share";
  const fs::path store = folder / "store";
  const fs::path share = folder / "share";
  const std::string unmount = "fusermount3 -u '" + share.string() + "' 2>/dev/null || umount '" +
                              share.string() + "' 2>/dev/null";
  if (std::system(unmount.c_str()) == 0) {
    // a mount left behind by a run that crashed
  }
  fs::remove_all(folder);
  fs::create_directories(store);
  fs::create_directories(share);
  const std::string mount = "command -v bindfs >/dev/null && bindfs --chmod-deny '" +
                            store.string() + "' '" + share.string() + "' 2>/dev/null";
  if (std::system(mount.c_str()) != 0) GTEST_SKIP() << "bindfs cannot mount a folder here";
  struct Unmount {
    const std::string& command;
    ~Unmount() { EXPECT_EQ(std::system(command.c_str()), 0); }
  } unmountAtEnd{unmount};

  AddPicture("/pics/a.bmp", 2);
  ASSERT_EQ(SaveShowFile(*document, share / "show.vsh"), ShowFileStatus::kOk);
  AddPicture("/pics/b.bmp", 2);
  std::error_code why;
  EXPECT_EQ(SaveShowFile(*document, share / "show.vsh", &why), ShowFileStatus::kOk)
      << why.message();
  EXPECT_FALSE(document->Modified());
  auto loaded = MakeDocument();
  ASSERT_EQ(LoadShowFile(*loaded, store / "show.vsh", false), ShowFileStatus::kOk);
  ExpectSameShow(*document, *loaded);
}

// Half a show must not be saved over the whole one by a quick save: it comes
// without a name, modified, and its old name is only proposed.
TEST_F(ShowFileTest, ADamagedShowFileLoadsWithoutItsName) {
  const auto folder = test::FreshFolder("show_damaged");
  AddPicture("/pics/a.bmp", 2);
  AddPicture("/pics/b.bmp", 2);
  auto bytes = WriteShow(*document);
  bytes.resize(bytes.size() - 60);
  const auto file = folder / "cut.vsh";
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  auto loaded = MakeDocument();
  std::string damage;
  ASSERT_EQ(LoadShowFile(*loaded, file, false, &damage), ShowFileStatus::kOk);
  EXPECT_EQ(damage.rfind("This show file is damaged: it is cut short", 0), 0u) << damage;
  EXPECT_TRUE(loaded->Modified());
  EXPECT_FALSE(loaded->showFile.HasPath());
  EXPECT_EQ(loaded->damagedShowFile.Path(), file.string());
  ASSERT_EQ(SaveShowFile(*loaded, folder / "saved.vsh"), ShowFileStatus::kOk);
  EXPECT_FALSE(loaded->damagedShowFile.HasPath());
  ASSERT_EQ(LoadShowFile(*loaded, folder / "saved.vsh", false, &damage), ShowFileStatus::kOk);
  EXPECT_EQ(damage, "");
  EXPECT_FALSE(loaded->Modified());
}

TEST_F(ShowFileTest, RelativeReferencesAreTakenFromTheShowsFolderAndNonShowsRefused) {
  const auto folder = test::FreshFolder("show_relative");
  AddPicture("pictures/a.bmp", 1);
  document->backgroundFile = SpecFor("C:\\old\\back.bmp");
  ASSERT_EQ(SaveShowFile(*document, folder / "show.vsh"), ShowFileStatus::kOk);
  auto loaded = MakeDocument();
  loader.requested.clear();
  ASSERT_EQ(LoadShowFile(*loaded, folder / "show.vsh", false), ShowFileStatus::kOk);
  ASSERT_FALSE(loader.requested.empty());
  EXPECT_EQ(loader.requested.front(), (folder / "pictures" / "a.bmp").string());
  // A reference from another system is left for the alternative image folder.
  EXPECT_EQ(loaded->backgroundFile.Path(), "C:\\old\\back.bmp");

  // Loading a file that is not a show keeps the show.
  const auto photo = folder / "photo.jpg";
  std::ofstream(photo, std::ios::binary) << std::string(2000, '\xff');
  EXPECT_EQ(LoadShowFile(*loaded, photo, true), ShowFileStatus::kNotAShow);
  EXPECT_EQ(LoadShowFile(*loaded, folder / "none.vsh", true), ShowFileStatus::kCannotOpen);
  EXPECT_EQ(loaded->pictureCount, 1);
  EXPECT_EQ(loaded->showFile.Path(), (folder / "show.vsh").string());
}

// Shows carried to another disk or system with their files (absolute paths,
// or a path of the old system) find the files under their new folder; a
// file still at its reference, or in the alternative image folder, is left
// to be read from there.
TEST_F(ShowFileTest, AShowMovedWithItsFilesFindsThemUnderItsFolder) {
  const auto folder = test::FreshFolder("show_moved");
  const auto elsewhere = test::FreshFolder("show_moved_elsewhere");
  const auto alternative = test::FreshFolder("show_moved_alternative");
  for (const fs::path& file :
       {folder / "pictures" / "a.bmp", folder / "a.bmp", folder / "back.bmp", folder / "track.wav",
        folder / "b.bmp", folder / "c.bmp", elsewhere / "b.bmp", alternative / "c.bmp"}) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
  }
  AddPicture("/old/Project/pictures/a.bmp", 1);
  AddPicture((elsewhere / "b.bmp").string(), 1);
  AddPicture("/old/Project/c.bmp", 1);
  AddPicture("/old/Project/gone.bmp", 1);
  document->backgroundFile = SpecFor("C:\\Shows\\back.bmp");
  document->soundFile = SpecFor("/old/Project/track.wav");
  ASSERT_EQ(SaveShowFile(*document, folder / "show.vsh"), ShowFileStatus::kOk);

  auto loaded = MakeDocument();
  ASSERT_TRUE(loaded->altImageFolder.SetPath(alternative.string()));
  ASSERT_EQ(LoadShowFile(*loaded, folder / "show.vsh", false), ShowFileStatus::kOk);
  ASSERT_EQ(loaded->pictureCount, 4);
  EXPECT_EQ(loaded->PictureAt(0).file.Path(), (folder / "pictures" / "a.bmp").string());
  EXPECT_EQ(loaded->PictureAt(1).file.Path(), (elsewhere / "b.bmp").string());
  EXPECT_EQ(loaded->PictureAt(2).file.Path(), "/old/Project/c.bmp");
  EXPECT_EQ(loaded->PictureAt(3).file.Path(), "/old/Project/gone.bmp");
  EXPECT_EQ(loaded->backgroundFile.Path(), (folder / "back.bmp").string());
  EXPECT_EQ(loaded->soundFile.Path(), (folder / "track.wav").string());
}

// A large show saved over a small one by a child killed at random moments
// leaves the old show or the new one, whole.
TEST_F(ShowFileTest, AKilledSaveLeavesTheOldShowOrTheNewOneWhole) {
  using std::chrono::microseconds;
  const auto folder = test::FreshFolder("show_kill");
  const auto file = folder / "show.vsh";
  AddPicture("/pics/old.bmp", 2);
  ASSERT_EQ(SaveShowFile(*document, file), ShowFileStatus::kOk);
  const auto old = test::ReadBytes(file);
  loader.width = 8;
  loader.height = 8;
  for (int p = 1; p < kMaxPictures; ++p) {
    AddPicture("/pics/p" + std::to_string(p) + ".bmp", kMaxKeys);
  }
  document->soundFile = SpecFor("/sound/a.wav");
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(SaveShowFile(*document, folder / "new.vsh"), ShowFileStatus::kOk);
  const auto took =
      std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - started);
  const auto fresh = test::ReadBytes(folder / "new.vsh");
  EXPECT_GT(fresh.size(), 128000u);
  auto loaded = MakeDocument();  // a large show reads back whole
  ASSERT_EQ(LoadShowFile(*loaded, folder / "new.vsh", false), ShowFileStatus::kOk);
  ExpectSameShow(*document, *loaded);

  std::mt19937 random(14);
  constexpr int kRounds = 40;
  for (int round = 0; round < kRounds; ++round) {
    const auto after = microseconds(random() % (2 * took.count() + 2000));
    testing::KillChildAfter([&] { SaveShowFile(*document, file); }, after);
    auto now = test::ReadBytes(file);
    if (now == old) continue;
    ASSERT_EQ(now.size(), fresh.size()) << "round " << round;
    std::copy(fresh.begin() + 2, fresh.begin() + 4, now.begin() + 2);  // the show id
    ASSERT_EQ(now, fresh) << "round " << round;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(old.data()), std::streamsize(old.size()));
  }
}

}  // namespace
}  // namespace vantoril
