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
// of the settings file, as it always has. What is stored loads back; every
// value differs from its default, so a swapped key cannot pass.
TEST(WindowSettings, EachPartWritesItsOwnKeysOnlyAndLoadsBack) {
  const WindowSettings saved{2500,
                             5625,
                             false,
                             true,
                             true,
                             50,
                             {"/shows/", 3, 77},
                             {true, true, "/alt/", true, false, true}};
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
  SettingsStore all("VantorilAppTest");
  for (const auto& c : cases) {
    SettingsStore store("VantorilAppTest");
    StoreWindowSettings(saved, c.part, store);
    EXPECT_EQ(KeysOf(store), c.keys);
    StoreWindowSettings(saved, c.part, all);
  }
  EXPECT_TRUE(LoadWindowSettings(all) == saved);
}

TEST(WindowSettings, AnEmptyStoreGivesTheDefaults) {
  const WindowSettings defaults = LoadWindowSettings(SettingsStore("VantorilAppTest"));
  EXPECT_EQ(defaults.frameRate, 2997);
  EXPECT_EQ(defaults.aspectMode, 7500);
  EXPECT_TRUE(defaults.autoAddKey);
  EXPECT_EQ(defaults.scalePercent, 100);
  EXPECT_TRUE(defaults.advanced.videoColors);
  EXPECT_TRUE(defaults == WindowSettings{});
}

}  // namespace
}  // namespace vantoril
