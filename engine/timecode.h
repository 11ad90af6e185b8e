#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantoril {

// The timecode text form, "hh:mm:ss:ff" (short form "mm:ss:ff"), at a frame
// rate given as frames per second x 100 (2997, 2500, 3000).
//
// The formatter counts an hour as 36 x rate frames and a minute as 60 x rate
// / 100 frames, so at 29.97 a minute is 1798 frames; the parser counts whole
// seconds of the rounded rate (a minute is 1800 frames). The two agree at
// whole rates. A negative frame number shows "." before its frames field.
std::string FormatTimecode(int32_t frames, bool shortForm, int32_t frameRate);

// Reads a timecode into value. Runs of one or two digits are the fields,
// read from the end: frames, seconds, minutes, hours; more fields are
// ignored and other characters skipped. A leading "+" adds the old value, a
// leading "-" subtracts the parsed value from it. Text without digits leaves
// value as it was and returns false.
bool ParseTimecode(int32_t& value, std::string_view text, int32_t frameRate);

}  // namespace vantoril
