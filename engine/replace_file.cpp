#include "engine/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace vantoril {

namespace {

// A file descriptor that is closed on every path.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int Get() const { return fd_; }
  bool Close() {
    const bool ok = fd_ < 0 || ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// The file a save writes: a link is followed (its target is the user's file,
// and the link stays a link), however many links lead there.
std::filesystem::path SavedFile(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_symlink(std::filesystem::symlink_status(file, error))) return file;
  const auto target = std::filesystem::weakly_canonical(file, error);
  return error ? file : target;
}

}  // namespace

bool ReplaceFile(const std::filesystem::path& givenFile, std::span<const uint8_t> bytes,
                 const char* suffix, std::error_code* why) {
  const std::filesystem::path file = SavedFile(givenFile);
  auto temporary = file;
  temporary += suffix;
  // The new file keeps the old one's permissions (a private file stays
  // private); a new one gets the usual ones, less the umask.
  struct stat old {};
  const bool replacing = ::stat(file.c_str(), &old) == 0;
  bool written = false;
  std::error_code failure;
  {
    errno = 0;
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.Get() >= 0 && replacing && ::fchmod(fd.Get(), old.st_mode & 07777) != 0) {
      // A share that keeps no modes of its own refuses any change of them;
      // the save goes on with the mode the share gives every file.
      errno = 0;
    }
    written = fd.Get() >= 0 && WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0 && fd.Close();
    // Taken before the descriptor's own close can change it.
    if (!written) failure.assign(errno != 0 ? errno : EIO, std::generic_category());
  }
  if (written) {
    std::filesystem::rename(temporary, file, failure);
    written = !failure;
  }
  if (!written) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    if (why != nullptr) *why = failure;
    return false;
  }
  // The rename is only lasting once the folder is on the disk too. Some file
  // systems cannot sync a folder; the file itself is whole either way.
  const auto parent = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  FileDescriptor folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() >= 0) {
    ::fsync(folder.Get());
  }
  return true;
}

}  // namespace vantoril
