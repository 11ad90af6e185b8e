#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vantoril {

// Joins movies rendered in parts into one, in the order given, without
// coding the frames again (FFmpeg's concat demuxer, packets copied). The
// parts must share container, codec and size, as the parts of one render
// do. The output's kind follows its name as a render's does (AVI,
// QuickTime, MP4, Matroska). Returns an empty text on success, else why not.
// `stopRequested`, asked between frames, ends the join with nothing made.
std::string JoinMovies(const std::vector<std::string>& parts, const std::string& output,
                       const std::function<bool()>& stopRequested = {});

}  // namespace vantoril
