#include "app/app_init.h"

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
  app.settings.SaveSettings();
}

}  // namespace vantoril
