#pragma once

namespace vantoril {

// What every image reader returns. LoadImageFile turns each into a fixed
// message; any value not listed is shown like kImageUnreadable, with its number.
using ImageReadResult = int;

inline constexpr ImageReadResult kImageRead = 0;          // picture decoded
inline constexpr ImageReadResult kImageCompressed = 1;    // a compression we cannot read
inline constexpr ImageReadResult kImageTooLarge = 2;      // a side longer than 8192 pixels
inline constexpr ImageReadResult kImageUnreadable = 3;    // header or data bad, or variant refused
inline constexpr ImageReadResult kImageNoBuffer = 4;      // the target buffer was never created
inline constexpr ImageReadResult kImageTooFewColors = 5;  // fewer than 8 bits per pixel
inline constexpr ImageReadResult kImageNoMemory = 6;      // memory, or the buffer at that size

}  // namespace vantoril
