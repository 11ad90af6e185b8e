#include "app/app_init.h"

#include <iostream>
#include <system_error>

#include "platform/app_window_list.h"
#include "platform/drawing.h"

namespace vantoril {

void AppInit(AppContext& app, std::string_view productName, int iconId) {
  app.productName = std::string(productName.substr(0, AppContext::kProductNameCapacity));
  app.iconId = iconId;
  CreateInterfaceFonts("Sans");
  AppWindowList::Clear();
  app.settings = SettingsStore(app.productName);
  app.settings.LoadSettings();
}

void AppShutdown(AppContext& app) {
  DeleteInterfaceFonts();
  // The windows are gone by now; a terminal, or the desktop's log of the
  // program's output, is the one place left to say that the settings of
  // this run were lost.
  std::error_code why;
  if (!app.settings.SaveSettings(&why)) {
    std::cerr << "vantoril: cannot save the settings to " << app.settings.FilePath().string();
    if (why) std::cerr << ": " << why.message();
    std::cerr << "\n";
  }
}

}  // namespace vantoril
