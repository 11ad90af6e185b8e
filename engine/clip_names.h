#pragma once

#include <string_view>

namespace vantoril {

// Whether a background file is a movie clip by its name: it contains ".AVI"
// or ".MOV" in any letter case, or it ends in the extension of a container
// editors use today (see IsTimedClipName).
bool IsClipName(std::string_view path);

// Whether the name ends (in any letter case) in ".mp4", ".m4v", ".mkv",
// ".mxf", ".webm", ".mts" or ".m2ts": clips whose frames are found by time,
// as QuickTime clips are, and which leave the show's frame rate alone.
bool IsTimedClipName(std::string_view path);

}  // namespace vantoril
