#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace vantoril {

// Whether path names a regular file (or a link to one). Reading a pipe
// waits for a writer that may never come, and a device may never end: the
// readers of the user's files take regular files only.
bool IsRegularFile(const std::string& path);

// A binary file opened by path for reading or writing, or a read-only view of
// bytes in memory (so parsers can be driven without a disk, as the fuzzers
// do). Closing is automatic; a move hands the open file over. Positions and
// sizes are 64-bit. Nothing here throws.
class BinaryFile {
 public:
  enum class Mode {
    kRead,   // an existing file, from its first byte
    kWrite,  // created, or emptied when it exists
  };

  BinaryFile() = default;
  BinaryFile(BinaryFile&& other) noexcept;
  BinaryFile& operator=(BinaryFile&& other) noexcept;

  // Closes what was open first. False when the file cannot be opened, or
  // (for reading) is not a regular file.
  bool Open(const std::string& path, Mode mode);
  // Reads from bytes, which must outlive the reading; never writes.
  void OpenMemory(std::span<const uint8_t> bytes);
  // False when buffered writes could not be completed.
  bool Close();

  bool IsOpen() const { return stream_ != nullptr || memoryOpen_; }

  // Bytes actually read: fewer than count at the end of the file or on error.
  size_t Read(void* destination, size_t count);
  // Bytes actually written; 0 for a file opened for reading.
  size_t Write(const void* source, size_t count);
  // Moves to an absolute position; a position past the end is allowed (later
  // reads return nothing). False for a negative position or a closed file.
  bool Seek(int64_t position);
  bool Skip(int64_t count);
  // -1 when closed.
  int64_t Position() const;
  int64_t Size() const;

 private:
  struct StreamCloser {
    // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): this deleter is the owner
    void operator()(std::FILE* stream) const { std::fclose(stream); }
  };

  std::unique_ptr<std::FILE, StreamCloser> stream_;
  std::span<const uint8_t> memory_;
  int64_t memoryPosition_ = 0;
  bool memoryOpen_ = false;
  bool writing_ = false;
};

}  // namespace vantoril
