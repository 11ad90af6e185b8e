#pragma once

#include <memory>
#include <string_view>

#include "platform/message.h"

namespace vantoril {

// The platform for the length of the program: the application object of the
// toolkit. Windows live only inside a session. Closing the last window does
// not end anything: the program's own loop decides.
class PlatformSession {
 public:
  PlatformSession(int& argc, char** argv);
  ~PlatformSession();
  PlatformSession(const PlatformSession&) = delete;
  PlatformSession& operator=(const PlatformSession&) = delete;

  // The program's name as the desktop shows it (a box without a title of
  // its own, the window class that the desktop file's StartupWMClass names)
  // and its desktop file's name, by which Wayland desktops find its icon.
  void NameProgram(std::string_view name, std::string_view desktopFileName);

  // SIGTERM, SIGINT and SIGHUP become a close request (kWmClose) to the
  // window, so that the program shuts down in order and keeps its settings.
  void RouteTerminationTo(WindowHandle window);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vantoril
