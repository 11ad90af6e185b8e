#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "engine/show_document.h"
#include "engine/show_file.h"

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

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
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

}  // namespace

std::string ShowFileMessage(ShowFileStatus status) {
  switch (status) {
    case ShowFileStatus::kOk:
      return {};
    case ShowFileStatus::kCannotOpen:
      return "Can't open show file";
    case ShowFileStatus::kNotAShow:
      return "This file is not a show file";
    case ShowFileStatus::kPathTooLong:
      return "The file's path is longer than 255 characters";
    case ShowFileStatus::kCannotWrite:
      return "Can't save show file";
  }
  return {};
}

ShowFileStatus LoadShowFile(ShowDocument& document, const std::filesystem::path& file, bool redraw,
                            std::string* damage) {
  FileSpec fileRef;
  if (!fileRef.SetPath(file.string())) {
    return ShowFileStatus::kPathTooLong;
  }
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error) {
    return ShowFileStatus::kCannotOpen;
  }
  if (size > kMaxShowFileSize) {
    return ShowFileStatus::kNotAShow;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return ShowFileStatus::kCannotOpen;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (in.bad()) {
    return ShowFileStatus::kCannotOpen;
  }
  // Judge the file before the show in memory is given up.
  if (!LooksLikeShow(bytes)) {
    return ShowFileStatus::kNotAShow;
  }
  document.ResetShow();
  std::string found;
  ReadShow(document, bytes, redraw, std::filesystem::absolute(file, error).parent_path(), &found);
  if (found.empty()) {
    document.showFile = fileRef;
  } else {
    // Saving half a show over the whole one must take a deliberate choice.
    document.damagedShowFile = fileRef;
    document.modified = 1;
  }
  if (damage != nullptr) *damage = std::move(found);
  return ShowFileStatus::kOk;
}

ShowFileStatus SaveShowFile(ShowDocument& document, const std::filesystem::path& file) {
  FileSpec fileRef;
  if (!fileRef.SetPath(file.string())) {
    return ShowFileStatus::kPathTooLong;
  }
  const uint8_t wasModified = document.modified;
  const std::vector<uint8_t> bytes = WriteShow(document);

  auto temporary = file;
  temporary += ".saving";
  bool written = false;
  {
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    written = fd.Get() >= 0 && WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0 && fd.Close();
  }
  std::error_code error;
  if (written) {
    std::filesystem::rename(temporary, file, error);
    written = !error;
  }
  if (!written) {
    std::filesystem::remove(temporary, error);
    document.modified = wasModified;
    return ShowFileStatus::kCannotWrite;
  }
  document.showFile = fileRef;
  document.damagedShowFile.ClearPath();
  document.modified = 0;
  return ShowFileStatus::kOk;
}

}  // namespace vantoril
