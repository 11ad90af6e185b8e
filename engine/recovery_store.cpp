#include "engine/recovery_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <span>
#include <utility>

#include "engine/home_folder.h"
#include "engine/replace_file.h"
#include "engine/show_document.h"
#include "engine/show_file.h"

namespace vantoril {

namespace {

constexpr const char* kShowExtension = ".vsh";
constexpr const char* kOriginExtension = ".origin";
constexpr const char* kLockExtension = ".lock";
// An origin is a path of at most 255 bytes; a longer text is none.
constexpr size_t kMostOriginBytes = 255;

std::span<const uint8_t> BytesOf(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string ReadOrigin(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string text;
  text.resize(kMostOriginBytes + 1);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return text.size() <= kMostOriginBytes ? text : std::string();
}

}  // namespace

std::filesystem::path RecoveryStore::DefaultFolder() {
  std::filesystem::path state;
  // A relative XDG_STATE_HOME is invalid and is ignored, as the base
  // directory rules have it.
  if (const char* folder = std::getenv("XDG_STATE_HOME"); folder && *folder == '/') {
    state = folder;
  } else if (const std::filesystem::path home = HomeFolder(); !home.empty()) {
    state = home / ".local" / "state";
  } else {
    state = std::filesystem::temp_directory_path();
  }
  return state / "vantoril";
}

RecoveryStore::Lock RecoveryStore::Lock::Take(const std::filesystem::path& path) {
  Lock lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.fd_ >= 0 && ::flock(lock.fd_, LOCK_EX | LOCK_NB) != 0) {
    return {};
  }
  return lock;
}

RecoveryStore::Lock::Lock(Lock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

RecoveryStore::Lock& RecoveryStore::Lock::operator=(Lock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

RecoveryStore::Lock::~Lock() {
  if (fd_ >= 0) ::close(fd_);
}

RecoveryStore::RecoveryStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

RecoveryStore::~RecoveryStore() = default;

bool RecoveryStore::Keep(const ShowDocument& document, std::error_code* why) {
  if (!document.Modified()) {
    Discard();
    return true;
  }
  const std::string origin(document.showFile.Path());
  std::vector<uint8_t> contents(origin.begin(), origin.end());
  contents.push_back(0);
  const std::vector<uint8_t> show = ShowBytes(document, document.showId);
  contents.insert(contents.end(), show.begin(), show.end());
  if (lock_.Held() && contents == written_) {
    return true;
  }

  if (!lock_.Held()) {
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    stem_ = "show-" + std::to_string(::getpid()) + "-" +
            std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    lock_ = Lock::Take(PathOf(stem_, kLockExtension));
    if (!lock_.Held()) {
      if (why) *why = error ? error : std::error_code(errno, std::generic_category());
      return false;
    }
  }
  // The origin first: a show copy is never there without its origin.
  if (!ReplaceFile(PathOf(stem_, kOriginExtension), BytesOf(origin), ".tmp", why) ||
      !ReplaceFile(PathOf(stem_, kShowExtension), show, ".tmp", why)) {
    return false;
  }
  written_ = std::move(contents);
  return true;
}

void RecoveryStore::Discard() {
  if (!lock_.Held()) return;
  RemoveFiles(stem_);
  lock_ = Lock();
  written_.clear();
}

std::vector<RecoveryStore::Orphan> RecoveryStore::FindOrphans() {
  std::vector<Orphan> orphans;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    const std::filesystem::path& file = entry.path();
    const std::string stem = file.stem().string();
    if (file.extension() == kLockExtension &&
        !std::filesystem::exists(PathOf(stem, kShowExtension))) {
      // The lock of a program that ended before it wrote a copy.
      if (stem == stem_) continue;
      if (const Lock stale = Lock::Take(file); stale.Held()) {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
      }
      continue;
    }
    if (file.extension() != kShowExtension) continue;
    if (stem == stem_ && lock_.Held()) continue;
    if (!orphanLocks_.contains(stem)) {
      Lock lock = Lock::Take(PathOf(stem, kLockExtension));
      if (!lock.Held()) continue;  // its program runs, or another offers it
      if (!std::filesystem::exists(file)) {
        RemoveFiles(stem);  // its program ended cleanly meanwhile
        continue;
      }
      orphanLocks_.emplace(stem, std::move(lock));
    }
    std::error_code timeError;
    orphans.push_back(
        {file, ReadOrigin(PathOf(stem, kOriginExtension)), entry.last_write_time(timeError)});
  }
  std::sort(orphans.begin(), orphans.end(),
            [](const Orphan& a, const Orphan& b) { return a.written > b.written; });
  return orphans;
}

void RecoveryStore::Forget(const Orphan& orphan) {
  const std::string stem = orphan.show.stem().string();
  const auto lock = orphanLocks_.find(stem);
  if (lock == orphanLocks_.end()) return;  // not one this store found
  RemoveFiles(stem);
  orphanLocks_.erase(lock);
}

std::filesystem::path RecoveryStore::PathOf(const std::string& stem, const char* extension) const {
  return folder_ / (stem + extension);
}

void RecoveryStore::RemoveFiles(const std::string& stem) const {
  std::error_code ignored;
  // The lock file goes last: while it is there and held, no other program
  // takes the copy for its own.
  for (const char* extension : {kShowExtension, kOriginExtension, kLockExtension}) {
    std::filesystem::remove(PathOf(stem, extension), ignored);
  }
}

}  // namespace vantoril
