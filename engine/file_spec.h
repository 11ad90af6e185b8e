#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vantoril {

// The file reference in which every file name travels: a volume number and a
// folder identifier (carried along, stored, never used to open anything) and
// a complete path of at most 255 characters.
struct FileSpec {
  static constexpr int kPathCapacity = 256;
  static constexpr int kStoredSize = 262;  // i16 + i32 + path, packed, in files

  int16_t volumeRef = 0;
  int32_t parentId = 0;
  std::array<char, kPathCapacity> path{};

  // The path up to its terminating zero (or all 256 bytes if there is none).
  std::string_view Path() const;
  bool HasPath() const { return path[0] != 0; }
  // Refuses (returns false, changes nothing) a path longer than 255
  // characters: a cut path would name another file.
  bool SetPath(std::string_view text);
  void ClearPath() { path[0] = 0; }

  friend bool operator==(const FileSpec&, const FileSpec&) = default;
};

}  // namespace vantoril
