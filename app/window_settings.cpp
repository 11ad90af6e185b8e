#include "app/window_settings.h"

#include "engine/settings_store.h"

namespace vantoril {

FileDialogFolder LoadStartingFolder(const SettingsStore& store) {
  FileDialogFolder folder;
  folder.path = store.GetSetting("InitialFolder", "");
  folder.volumeRef = static_cast<int16_t>(store.GetSettingInt("InitialVrefnum", 0));
  folder.parentId = store.GetSettingInt("InitialParID", 0);
  return folder;
}

WindowSettings LoadWindowSettings(const SettingsStore& store) {
  WindowSettings settings;
  settings.frameRate = store.GetSettingInt("FrameRate", kDefaultFrameRate);
  settings.aspectMode = store.GetSettingInt("AspectMode", 7500);
  settings.autoAddKey = store.GetSettingInt("AutoAddKey", 1) != 0;
  settings.showMotionPath = store.GetSettingInt("ShowCameraPath", 0) != 0;
  settings.showTvSafe = store.GetSettingInt("ShowTVSafe", 0) != 0;
  settings.scalePercent = store.GetSettingInt("Scale", 100);
  settings.folder = LoadStartingFolder(store);
  AdvancedSettings& advanced = settings.advanced;
  advanced.fieldSwap = store.GetSettingInt("FieldSwap", 0) != 0;
  advanced.flopTopField = store.GetSettingInt("FlopTopField", 0) != 0;
  advanced.altImageFolder = store.GetSetting("AltImageFolder", "");
  advanced.showPictureErrors = store.GetSettingInt("ShowPicError", 0) != 0;
  advanced.videoColors = store.GetSettingInt("VideoColors", 1) != 0;
  advanced.alphaBlur = store.GetSettingInt("AlphaBlur", 0) != 0;
  return settings;
}

void StoreWindowSettings(const WindowSettings& settings, WindowSettingsPart part,
                         SettingsStore& store) {
  const auto flag = [](bool on) -> int32_t { return on ? 1 : 0; };
  switch (part) {
    case WindowSettingsPart::kFrameRate:
      store.PutSettingInt("FrameRate", settings.frameRate);
      break;
    case WindowSettingsPart::kAspectMode:
      store.PutSettingInt("AspectMode", settings.aspectMode);
      break;
    case WindowSettingsPart::kAutoAddKey:
      store.PutSettingInt("AutoAddKey", flag(settings.autoAddKey));
      break;
    case WindowSettingsPart::kShowMotionPath:
      store.PutSettingInt("ShowCameraPath", flag(settings.showMotionPath));
      break;
    case WindowSettingsPart::kShowTvSafe:
      store.PutSettingInt("ShowTVSafe", flag(settings.showTvSafe));
      break;
    case WindowSettingsPart::kScale:
      store.PutSettingInt("Scale", settings.scalePercent);
      break;
    case WindowSettingsPart::kStartingFolder:
      store.PutSetting("InitialFolder", settings.folder.path);
      store.PutSettingInt("InitialVrefnum", settings.folder.volumeRef);
      store.PutSettingInt("InitialParID", settings.folder.parentId);
      break;
    case WindowSettingsPart::kAdvancedOptions: {
      const AdvancedSettings& advanced = settings.advanced;
      store.PutSettingInt("FieldSwap", flag(advanced.fieldSwap));
      store.PutSettingInt("FlopTopField", flag(advanced.flopTopField));
      store.PutSetting("AltImageFolder", advanced.altImageFolder);
      store.PutSettingInt("ShowPicError", flag(advanced.showPictureErrors));
      store.PutSettingInt("VideoColors", flag(advanced.videoColors));
      store.PutSettingInt("AlphaBlur", flag(advanced.alphaBlur));
      break;
    }
  }
}

}  // namespace vantoril
