#include "engine/settings_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>

#include "support/child_process.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;

TEST(SettingsStore, FirstRunWritesSectionAndKeysInOrderOfFirstStorage) {
  const auto file = test::FreshFolder("settings_first") / "sub" / "Vantoril.ini";
  SettingsStore store;
  store.LoadSettingsFrom(file);  // missing: section line only
  store.PutSettingInt("FrameRate", 2500);
  store.PutSetting("AltImageFolder", "/pics/");
  store.PutSettingInt("FrameRate", 2997);
  ASSERT_TRUE(store.SaveSettingsTo(file));
  EXPECT_EQ(test::ReadText(file), "[Vantoril]\r\nFrameRate=2997\r\nAltImageFolder=/pics/\r\n");

  SettingsStore again;
  again.LoadSettingsFrom(file);
  EXPECT_EQ(again.GetSettingInt("FrameRate", 0), 2997);
  EXPECT_EQ(again.GetSetting("AltImageFolder", "x"), "/pics/");
  EXPECT_EQ(again.GetSetting("Missing", "dflt"), "dflt");

  // It grows past the old limit without losing settings.
  const auto value = [](int i) { return std::string(20, static_cast<char>('a' + i % 26)); };
  for (int i = 0; i < 100; ++i) store.PutSetting("Key" + std::to_string(i), value(i));
  ASSERT_GT(store.Text().size(), 2000u);
  ASSERT_TRUE(store.SaveSettingsTo(file));
  again.LoadSettingsFrom(file);
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(again.GetSetting("Key" + std::to_string(i), ""), value(i));
}

TEST(SettingsStore, KeysMatchAtLineStartsAndHandEditedLinesChange) {
  SettingsStore store;
  store.SetText("[Vantoril]\nScale=50\nMovieWid=640");
  EXPECT_EQ(store.GetSetting("MovieWid", ""), "640");
  store.PutSettingInt("TimeScale", 30);
  EXPECT_EQ(store.GetSettingInt("Scale", 100), 50);
  store.PutSetting("MovieWid", "720");
  store.PutSettingInt("Scale", 75);
  EXPECT_EQ(store.GetSetting("MovieWid", ""), "720");
  EXPECT_EQ(store.GetSettingInt("Scale", 100), 75);
  EXPECT_EQ(store.GetSettingInt("TimeScale", 0), 30);
  // A value that merely contains "Key=" is not a key either.
  store.PutSetting("Note", "Quality=5");
  EXPECT_EQ(store.GetSetting("Quality", "none"), "none");
  store.PutSetting("AltImageFolder", "/a\r\nb\n/");
  EXPECT_EQ(store.GetSetting("AltImageFolder", ""), "/ab/");
  store.PutSetting("MovieReverse", "");
  EXPECT_EQ(store.GetSetting("MovieReverse", "1"), "");
}

TEST(SettingsStore, AnUnwritableFileIsReportedAndLeavesNoTemporaryFile) {
  const auto folder = test::FreshFolder("settings_unwritable");
  fs::create_directories(folder / "Vantoril.ini");  // a folder where the file should be
  EXPECT_FALSE(SettingsStore().SaveSettingsTo(folder / "Vantoril.ini"));
  EXPECT_FALSE(fs::exists(folder / "Vantoril.ini.tmp"));
}

// Settings kept elsewhere behind a link (a dotfiles folder) are saved there:
// the link stays, and the file keeps its permissions; so does a show file.
TEST(SettingsStore, ASaveThroughALinkWritesItsTargetAndKeepsItsPermissions) {
  const auto folder = test::FreshFolder("settings_link");
  fs::create_directories(folder / "dotfiles");
  const auto target = folder / "dotfiles" / "Vantoril.ini";
  test::WriteBytes(target, {'x'});
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("dotfiles/Vantoril.ini", folder / "Vantoril.ini");
  fs::create_symlink("Vantoril.ini", folder / "again.ini");  // a link to the link
  SettingsStore store;
  store.PutSettingInt("Scale", 100);
  ASSERT_TRUE(store.SaveSettingsTo(folder / "again.ini"));
  EXPECT_TRUE(fs::is_symlink(folder / "Vantoril.ini"));
  EXPECT_TRUE(fs::is_symlink(folder / "again.ini"));
  EXPECT_EQ(test::ReadText(target), store.Text());
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "dotfiles"), {}), 1);
}

// A save killed at any moment leaves the old settings or the new ones.
TEST(SettingsStore, AKilledSaveLeavesTheOldFileOrTheNewOne) {
  const auto file = test::FreshFolder("settings_kill") / "Vantoril.ini";
  SettingsStore store;
  store.PutSettingInt("Scale", 100);
  ASSERT_TRUE(store.SaveSettingsTo(file));
  const auto old = test::ReadText(file);
  for (int i = 0; i < 4000; ++i) {
    store.PutSetting("Key" + std::to_string(i), std::string(40, char('a' + i % 26)));
  }
  const auto fresh = store.Text();
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(store.SaveSettingsTo(file.parent_path() / "probe.ini"));
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - started);
  std::mt19937 random(14);
  for (int round = 0; round < 60; ++round) {
    // From the fork to after the rename; the write itself is short.
    testing::KillChildAfter([&] { store.SaveSettingsTo(file); },
                            std::chrono::microseconds(random() % (2 * took.count() + 1500)));
    const auto now = test::ReadText(file);
    ASSERT_TRUE(now == old || now == fresh) << "round " << round << ": " << now.size() << " bytes";
    std::ofstream(file, std::ios::binary) << old;
  }
}

TEST(SettingsStore, IntegerConversion) {
  const std::pair<const char*, int> cases[] = {{"abc", 0},
                                               {"-5", -5},
                                               {"12x", 12},
                                               {"  +7", 7},
                                               {"", 0},
                                               {"99999999999", 2147483647},
                                               {"-99999999999", -2147483647 - 1}};
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(ParseSettingInt(text), value) << text;
  }
  SettingsStore store;
  store.PutSettingInt("FrameRate", -2500);
  EXPECT_EQ(store.GetSetting("FrameRate", ""), "-2500");
}

}  // namespace
}  // namespace vantoril
