#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace vantoril {

class ShowDocument;

// Copies of a show with unsaved changes, kept while the program runs, so that
// a crash, a killed session or a power cut costs at most the last moments'
// work. Each running program keeps its own copy (a show file, the name of the
// show it was made from and a lock the program holds while it runs); a copy
// whose lock is free was left by a program that ended without a clean exit.
class RecoveryStore {
 public:
  // $XDG_STATE_HOME/vantoril, or ~/.local/state/vantoril.
  static std::filesystem::path DefaultFolder();

  explicit RecoveryStore(std::filesystem::path folder);
  // Lets the locks go; the copy stays for the next start (only Discard
  // removes it), as it would if the program had crashed.
  ~RecoveryStore();
  RecoveryStore(const RecoveryStore&) = delete;
  RecoveryStore& operator=(const RecoveryStore&) = delete;

  // Brings the copy up to date: written when the show has unsaved changes
  // that the copy lacks, removed when the show has none. False when it could
  // not be written; `why` then says why.
  bool Keep(const ShowDocument& document, std::error_code* why = nullptr);
  // Removes this program's copy: the program ends cleanly.
  void Discard();
  // Whether this program has a copy on disk.
  bool Keeps() const { return !written_.empty(); }

  struct Orphan {
    std::filesystem::path show;  // the copy, a show file
    std::string origin;          // the show file it was made from; empty for a new show
    std::filesystem::file_time_type written;
  };
  // The copies of programs that ended without a clean exit, newest first.
  // Each stays locked by this store, so that no other program offers it too,
  // until Forget or the store's end.
  std::vector<Orphan> FindOrphans();
  // Removes an orphan's files.
  void Forget(const Orphan& orphan);

 private:
  // An open file holding an exclusive lock; closing it lets the lock go, so
  // a program that dies in any way lets its locks go.
  class Lock {
   public:
    Lock() = default;
    // The lock file at `path`, made when missing and taken without waiting;
    // not held when another program holds it or it cannot be made.
    static Lock Take(const std::filesystem::path& path);
    Lock(Lock&& other) noexcept;
    Lock& operator=(Lock&& other) noexcept;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock();
    bool Held() const { return fd_ >= 0; }

   private:
    explicit Lock(int fd) : fd_(fd) {}
    int fd_ = -1;
  };

  std::filesystem::path PathOf(const std::string& stem, const char* extension) const;
  void RemoveFiles(const std::string& stem) const;

  std::filesystem::path folder_;
  std::string stem_;  // this program's copy: <stem>.vsh, .origin and .lock
  Lock lock_;
  std::vector<uint8_t> written_;  // the copy's bytes and origin as last written
  std::map<std::string, Lock> orphanLocks_;
};

}  // namespace vantoril
