#include "platform/message_log.h"

#include <cstdlib>
#include <fstream>

namespace vantoril {

void LogShownMessage(std::string_view text) {
  const char* path = std::getenv("VANTORIL_MESSAGE_LOG");
  if (path == nullptr || *path == '\0') return;
  std::ofstream log(path, std::ios::app | std::ios::binary);
  log << text << "\n----\n";
}

}  // namespace vantoril
