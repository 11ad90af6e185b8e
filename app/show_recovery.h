#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/recovery_store.h"

namespace vantoril {

class MainWindow;
class ShowDocument;

// The main window's timer message that brings the copy of an unsaved show
// up to date, and how often it comes.
inline constexpr uint32_t kWmKeepRecoveryCopy = 1234540;
inline constexpr int kRecoveryIntervalMs = 10000;

// The question asked at start for a copy left behind.
std::string RecoveryQuestion(const RecoveryStore::Orphan& orphan);

// The program's side of the recovery copies: what it offers at start and
// the copy it keeps of its own show while it runs.
class ShowRecovery {
 public:
  explicit ShowRecovery(std::filesystem::path folder);

  // Asks about each show that a program left when it ended without a clean
  // exit, newest first: No deletes the copy, Cancel keeps it for the next
  // start, Yes ends the questions. The program asks before its window is
  // shown, so that the question stands alone. The copy chosen with Yes.
  std::optional<RecoveryStore::Orphan> Choose();
  // Opens the chosen copy in the window's document; the old copy goes once
  // this program's own copy is there. False when it could not be opened
  // (it then stays for the next start).
  bool Open(const RecoveryStore::Orphan& orphan, MainWindow& window, const ShowDocument& document);
  // The timer's work: the copy follows the show. A copy that cannot be
  // written is told on stderr once; a box every few seconds would stop the
  // very work that the copy is for.
  void Keep(const ShowDocument& document);
  // The program ends cleanly: its copy goes.
  void Discard() { store_.Discard(); }

 private:
  std::filesystem::path folder_;
  RecoveryStore store_;
  bool told_ = false;
};

}  // namespace vantoril
