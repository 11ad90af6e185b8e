#include "media/binary_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace vantoril {

BinaryFile::BinaryFile(BinaryFile&& other) noexcept
    : stream_(std::move(other.stream_)),
      memory_(std::exchange(other.memory_, {})),
      memoryPosition_(std::exchange(other.memoryPosition_, 0)),
      memoryOpen_(std::exchange(other.memoryOpen_, false)),
      writing_(std::exchange(other.writing_, false)) {}

BinaryFile& BinaryFile::operator=(BinaryFile&& other) noexcept {
  if (this != &other) {
    Close();
    stream_ = std::move(other.stream_);
    memory_ = std::exchange(other.memory_, {});
    memoryPosition_ = std::exchange(other.memoryPosition_, 0);
    memoryOpen_ = std::exchange(other.memoryOpen_, false);
    writing_ = std::exchange(other.writing_, false);
  }
  return *this;
}

bool IsRegularFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool BinaryFile::Open(const std::string& path, Mode mode) {
  Close();
  if (mode == Mode::kRead && !IsRegularFile(path)) return false;
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): stream_ takes it at once
  std::FILE* stream = std::fopen(path.c_str(), mode == Mode::kRead ? "rb" : "wb");
  if (stream == nullptr) {
    return false;
  }
  stream_.reset(stream);
  writing_ = mode == Mode::kWrite;
  return true;
}

void BinaryFile::OpenMemory(std::span<const uint8_t> bytes) {
  Close();
  memory_ = bytes;
  memoryPosition_ = 0;
  memoryOpen_ = true;
}

bool BinaryFile::Close() {
  memory_ = {};
  memoryPosition_ = 0;
  memoryOpen_ = false;
  writing_ = false;
  if (stream_ == nullptr) {
    return true;
  }
  return std::fclose(stream_.release()) == 0;
}

size_t BinaryFile::Read(void* destination, size_t count) {
  if (stream_ != nullptr) {
    return std::fread(destination, 1, count, stream_.get());
  }
  if (!memoryOpen_ || count == 0 || memoryPosition_ >= static_cast<int64_t>(memory_.size())) {
    return 0;
  }
  const size_t available = memory_.size() - static_cast<size_t>(memoryPosition_);
  const size_t taken = std::min(count, available);
  std::memcpy(destination, memory_.data() + memoryPosition_, taken);
  memoryPosition_ += static_cast<int64_t>(taken);
  return taken;
}

size_t BinaryFile::Write(const void* source, size_t count) {
  if (stream_ == nullptr) {
    return 0;
  }
  return std::fwrite(source, 1, count, stream_.get());
}

bool BinaryFile::Seek(int64_t position) {
  if (position < 0) {
    return false;
  }
  if (stream_ != nullptr) {
    return fseeko(stream_.get(), static_cast<off_t>(position), SEEK_SET) == 0;
  }
  if (!memoryOpen_) {
    return false;
  }
  memoryPosition_ = position;
  return true;
}

bool BinaryFile::Skip(int64_t count) {
  const int64_t position = Position();
  if (position < 0 || count > INT64_MAX - position) {
    return false;
  }
  return Seek(position + count);
}

int64_t BinaryFile::Position() const {
  if (stream_ != nullptr) {
    return ftello(stream_.get());
  }
  return memoryOpen_ ? memoryPosition_ : -1;
}

int64_t BinaryFile::Size() const {
  if (stream_ != nullptr) {
    if (writing_) {
      std::fflush(stream_.get());  // buffered writes are not in the file yet
    }
    struct stat status {};
    if (fstat(fileno(stream_.get()), &status) != 0) {
      return -1;
    }
    return status.st_size;
  }
  return memoryOpen_ ? static_cast<int64_t>(memory_.size()) : -1;
}

}  // namespace vantoril
