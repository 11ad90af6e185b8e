#pragma once

#include <string>
#include <string_view>

#include "engine/settings_store.h"

namespace vantoril {

// The process-wide state that start-up sets up and shutdown takes down.
struct AppContext {
  static constexpr size_t kProductNameCapacity = 63;

  std::string productName;
  int iconId = 0;
  SettingsStore settings;
};

// The program's first call: records the product name (63 characters at
// most) and the icon, makes the five interface fonts, empties
// AppWindowList and loads the settings.
void AppInit(AppContext& app, std::string_view productName, int iconId);

// The end of the run after the main window and the document are gone: the
// fonts go and the settings are written once more.
void AppShutdown(AppContext& app);

}  // namespace vantoril
