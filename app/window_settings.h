#pragma once

#include <cstdint>
#include <string>

#include "engine/show_clock.h"

namespace vantoril {

class SettingsStore;

// Where the file dialogs open: the folder of the last file chosen (or of the
// last movie written, which the movie run records itself).
struct FileDialogFolder {
  std::string path;
  int16_t volumeRef = 0;
  int32_t parentId = 0;

  friend bool operator==(const FileDialogFolder&, const FileDialogFolder&) = default;
};

// The Advanced Options dialog's choices as the settings keep them.
struct AdvancedSettings {
  bool fieldSwap = false;
  bool flopTopField = false;
  std::string altImageFolder;
  bool showPictureErrors = false;
  bool videoColors = true;
  bool alphaBlur = false;

  friend bool operator==(const AdvancedSettings&, const AdvancedSettings&) = default;
};

// What the main window and its Stage remember between runs.
struct WindowSettings {
  int32_t frameRate = kDefaultFrameRate;
  int32_t aspectMode = 7500;
  bool autoAddKey = true;
  bool showMotionPath = false;
  bool showTvSafe = false;
  int32_t scalePercent = 100;
  FileDialogFolder folder;
  AdvancedSettings advanced;

  friend bool operator==(const WindowSettings&, const WindowSettings&) = default;
};

// The parts of WindowSettings a command changes. Only the changed part is
// written back, so a key the user never touched stays out of the file.
enum class WindowSettingsPart {
  kFrameRate,
  kAspectMode,
  kAutoAddKey,
  kShowMotionPath,
  kShowTvSafe,
  kScale,
  kStartingFolder,
  kAdvancedOptions,
};

WindowSettings LoadWindowSettings(const SettingsStore& store);
FileDialogFolder LoadStartingFolder(const SettingsStore& store);

// Writes one part into the store held in memory (a new show and Make Movie
// read it from there); the file itself is written when the window closes
// and at shutdown.
void StoreWindowSettings(const WindowSettings& settings, WindowSettingsPart part,
                         SettingsStore& store);

}  // namespace vantoril
