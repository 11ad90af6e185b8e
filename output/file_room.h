#pragma once

#include <cstdint>
#include <filesystem>

namespace vantoril {

// Disk space claimed ahead of a file that another writer (a muxer with its
// own descriptor) fills from the front. A movie whose index is written last
// keeps room for that index claimed at all times, so a full disk or the file
// size limit stops the movie before a frame instead of in the middle of it,
// and the index still fits. Move-only; the descriptor is closed with it.
class FileRoom {
 public:
  FileRoom() = default;
  ~FileRoom();
  FileRoom(FileRoom&& other) noexcept;
  FileRoom& operator=(FileRoom&& other) noexcept;
  FileRoom(const FileRoom&) = delete;
  FileRoom& operator=(const FileRoom&) = delete;

  // Opens an existing file for claiming; not open when it cannot be opened.
  static FileRoom Open(const std::filesystem::path& file);
  bool IsOpen() const { return fd_ >= 0; }

  // Makes the file at least `end` bytes long, its blocks allocated, without
  // touching bytes already there. 0, or the errno of a full disk (ENOSPC,
  // EDQUOT, EFBIG for the file size limit); a refused claim claims nothing.
  // A file that cannot be claimed for at all (a device, a file system that
  // refuses for another reason) is left unguarded: every claim is 0.
  int ClaimUpTo(int64_t end);

  // Gives back the room claimed beyond `end`, the writer's last byte.
  // 0 or an errno.
  int TrimTo(int64_t end);

 private:
  explicit FileRoom(int fd) : fd_(fd) {}
  int WriteZerosUpTo(int64_t end);
  int fd_ = -1;
  int64_t claimed_ = 0;
  bool unguarded_ = false;
};

}  // namespace vantoril
