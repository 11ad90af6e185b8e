#include "engine/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace vantoril {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) return user->pw_dir;
  return {};
}

}  // namespace vantoril
