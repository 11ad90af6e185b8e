#include "app/show_recovery.h"

#include <chrono>
#include <ctime>
#include <iostream>
#include <system_error>
#include <utility>

#include "app/main_window.h"
#include "platform/message_boxes.h"
#include "platform/text_helpers.h"

namespace vantoril {

namespace {

std::string LocalTime(std::filesystem::file_time_type written) {
  const std::time_t when =
      std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
  std::tm parts{};
  char text[32] = "";
  if (localtime_r(&when, &parts) != nullptr) {
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
  }
  return text;
}

}  // namespace

std::string RecoveryQuestion(const RecoveryStore::Orphan& orphan) {
  const std::string show =
      orphan.origin.empty() ? std::string("a new show")
                            : std::string(FileNamePart(orphan.origin)) + " (" + orphan.origin + ")";
  return "Vantoril ended without saving the changes to " + show +
         ".\n\nA copy of the show as it was at " + LocalTime(orphan.written) +
         " was kept. Open it?\n\nNo deletes the copy; Cancel keeps it for the next start.";
}

ShowRecovery::ShowRecovery(std::filesystem::path folder)
    : folder_(std::move(folder)), store_(folder_) {}

std::optional<RecoveryStore::Orphan> ShowRecovery::Choose() {
  for (RecoveryStore::Orphan& orphan : store_.FindOrphans()) {
    const int answer = AskYesNoCancel(RecoveryQuestion(orphan), "Recover Show");
    if (answer > 0) return std::move(orphan);
    if (answer == 0) store_.Forget(orphan);
  }
  return std::nullopt;
}

bool ShowRecovery::Open(const RecoveryStore::Orphan& orphan, MainWindow& window,
                        const ShowDocument& document) {
  if (!window.OpenRecoveredShow(orphan.show.string(), orphan.origin)) return false;
  Keep(document);
  if (store_.Keeps()) store_.Forget(orphan);
  return true;
}

void ShowRecovery::Keep(const ShowDocument& document) {
  std::error_code why;
  if (!store_.Keep(document, &why) && !told_) {
    told_ = true;
    std::cerr << "vantoril: cannot keep a copy of the unsaved show in " << folder_.string();
    if (why) std::cerr << ": " << why.message();
    std::cerr << "\n";
  }
}

}  // namespace vantoril
