#include "output/file_room.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

namespace vantoril {

FileRoom::~FileRoom() {
  if (fd_ >= 0) ::close(fd_);
}

FileRoom::FileRoom(FileRoom&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), claimed_(other.claimed_), unguarded_(other.unguarded_) {}

FileRoom& FileRoom::operator=(FileRoom&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    claimed_ = other.claimed_;
    unguarded_ = other.unguarded_;
  }
  return *this;
}

FileRoom FileRoom::Open(const std::filesystem::path& file) {
  return FileRoom(::open(file.c_str(), O_WRONLY | O_CLOEXEC));
}

int FileRoom::ClaimUpTo(int64_t end) {
  if (fd_ < 0 || unguarded_ || end <= claimed_) return 0;
  int result = 0;
  do {
    result = ::fallocate(fd_, 0, claimed_, end - claimed_) == 0 ? 0 : errno;
  } while (result == EINTR);
  if (result == EOPNOTSUPP) result = WriteZerosUpTo(end);
  if (result == 0) {
    claimed_ = end;
  } else if (result != ENOSPC && result != EFBIG && result != EDQUOT) {
    // Not a full disk: a device, or a file system that cannot claim. The
    // file is written as it would be without the room.
    unguarded_ = true;
    result = 0;
  }
  return result;
}

int FileRoom::WriteZerosUpTo(int64_t end) {
  // The writer overwrites the zeros; none go over bytes it already wrote.
  struct stat status {};
  if (::fstat(fd_, &status) != 0) return errno;
  const int64_t start = std::max<int64_t>(claimed_, status.st_size);
  static constexpr std::array<char, 65536> kZeros{};
  for (int64_t at = start; at < end;) {
    const auto count = static_cast<size_t>(std::min<int64_t>(end - at, kZeros.size()));
    const ssize_t written = ::pwrite(fd_, kZeros.data(), count, at);
    if (written > 0) {
      at += written;
    } else if (written == 0 || errno != EINTR) {
      const int result = written == 0 ? ENOSPC : errno;
      // A refused claim claims nothing.
      if (at > start && ::ftruncate(fd_, start) != 0) unguarded_ = true;
      return result;
    }
  }
  return 0;
}

int FileRoom::TrimTo(int64_t end) {
  if (fd_ < 0 || claimed_ <= end) return 0;
  claimed_ = end;
  return ::ftruncate(fd_, end) == 0 ? 0 : errno;
}

}  // namespace vantoril
