#pragma once

#include <string_view>

namespace vantoril {

// When the environment names a file in VANTORIL_MESSAGE_LOG, every message
// box's text is appended to it, followed by a line "----": a record of what
// the program told, for support and for scripted runs. Otherwise nothing.
void LogShownMessage(std::string_view text);

}  // namespace vantoril
