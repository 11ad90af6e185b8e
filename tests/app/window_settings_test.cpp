#include "app/window_settings.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/settings_store.h"

namespace vantoril {
namespace {

std::vector<std::string> KeysOf(const SettingsStore& store) {
  std::vector<std::string> keys;
  std::istringstream lines(store.Text());
  std::string line;
  while (std::getline(lines, line)) {
    if (const size_t equals = line.find('='); equals != std::string::npos) {
      keys.push_back(line.substr(0, equals));
    }
  }
  return keys;
}

// A command writes its own keys only: a key the user never touched stays out
// of the settings file, as it always has.
TEST(WindowSettings, EachPartWritesItsOwnKeysOnly) {
  const struct {
    WindowSettingsPart part;
    std::vector<std::string> keys;
  } cases[] = {
      {WindowSettingsPart::kFrameRate, {"FrameRate"}},
      {WindowSettingsPart::kAspectMode, {"AspectMode"}},
      {WindowSettingsPart::kAutoAddKey, {"AutoAddKey"}},
      {WindowSettingsPart::kShowMotionPath, {"ShowCameraPath"}},
      {WindowSettingsPart::kShowTvSafe, {"ShowTVSafe"}},
      {WindowSettingsPart::kScale, {"Scale"}},
      {WindowSettingsPart::kStartingFolder, {"InitialFolder", "InitialVrefnum", "InitialParID"}},
      {WindowSettingsPart::kAdvancedOptions,
       {"FieldSwap", "FlopTopField", "AltImageFolder", "ShowPicError", "VideoColors", "AlphaBlur"}},
  };
  for (const auto& c : cases) {
    SettingsStore store("VantorilAppTest");
    StoreWindowSettings(WindowSettings{}, c.part, store);
    EXPECT_EQ(KeysOf(store), c.keys);
  }
}

TEST(WindowSettings, WhatIsStoredLoadsBackAndAnEmptyStoreGivesTheDefaults) {
  SettingsStore store("VantorilAppTest");
  const WindowSettings defaults = LoadWindowSettings(store);
  EXPECT_EQ(defaults.frameRate, 2997);
  EXPECT_EQ(defaults.aspectMode, 7500);
  EXPECT_TRUE(defaults.autoAddKey);
  EXPECT_EQ(defaults.scalePercent, 100);
  EXPECT_TRUE(defaults.advanced.videoColors);

  // Every value differs from its default, so a swapped key cannot pass.
  const WindowSettings saved{2500,
                             5625,
                             false,
                             true,
                             true,
                             50,
                             {"/shows/", 3, 77},
                             {true, true, "/alt/", true, false, true}};
  for (const auto& c :
       {WindowSettingsPart::kFrameRate, WindowSettingsPart::kAspectMode,
        WindowSettingsPart::kAutoAddKey, WindowSettingsPart::kShowMotionPath,
        WindowSettingsPart::kShowTvSafe, WindowSettingsPart::kScale,
        WindowSettingsPart::kStartingFolder, WindowSettingsPart::kAdvancedOptions}) {
    StoreWindowSettings(saved, c, store);
  }
  const WindowSettings loaded = LoadWindowSettings(store);
  EXPECT_EQ(loaded.frameRate, 2500);
  EXPECT_EQ(loaded.aspectMode, 5625);
  EXPECT_FALSE(loaded.autoAddKey);
  EXPECT_TRUE(loaded.showMotionPath);
  EXPECT_TRUE(loaded.showTvSafe);
  EXPECT_EQ(loaded.scalePercent, 50);
  EXPECT_EQ(loaded.folder.path, "/shows/");
  EXPECT_EQ(loaded.folder.volumeRef, 3);
  EXPECT_EQ(loaded.folder.parentId, 77);
  EXPECT_TRUE(loaded.advanced.fieldSwap);
  EXPECT_TRUE(loaded.advanced.flopTopField);
  EXPECT_EQ(loaded.advanced.altImageFolder, "/alt/");
  EXPECT_TRUE(loaded.advanced.showPictureErrors);
  EXPECT_FALSE(loaded.advanced.videoColors);
  EXPECT_TRUE(loaded.advanced.alphaBlur);
}

}  // namespace
}  // namespace vantoril
