#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <system_error>

namespace vantoril {

// Replaces file with bytes so that whatever happens meanwhile (a full disk,
// a crash, the power going) the file holds either its old contents or the
// new ones, whole: the bytes go to file + suffix, are flushed to the disk and
// renamed over the file, and the rename is flushed with the folder. False
// when any step fails; the old file is then untouched and no temporary is
// left behind, and `why` (when given) says what failed. A link is followed:
// its target is replaced and the link stays. The new file keeps the old
// one's permissions.
bool ReplaceFile(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                 const char* suffix, std::error_code* why = nullptr);

}  // namespace vantoril
