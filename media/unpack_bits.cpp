#include <algorithm>

#include "media/image_readers.h"

namespace vantoril {

size_t UnpackBits(std::span<uint8_t> row, std::span<const uint8_t> source) {
  size_t written = 0;
  size_t read = 0;
  while (read < source.size() && written < row.size()) {
    // The header byte is signed.
    const int header = source[read] < 128 ? source[read] : source[read] - 256;
    ++read;
    if (header < 0) {
      // A run: the next byte 1 - n times (-128 gives 129 copies).
      if (read >= source.size()) {
        break;
      }
      const uint8_t value = source[read++];
      const size_t copies = std::min<size_t>(1 - header, row.size() - written);
      std::fill_n(row.begin() + written, copies, value);
      written += copies;
    } else {
      // A literal: the next n + 1 bytes, as far as the source holds them.
      const size_t available = std::min<size_t>(header + 1, source.size() - read);
      const size_t copies = std::min(available, row.size() - written);
      std::copy_n(source.begin() + read, copies, row.begin() + written);
      written += copies;
      read += available;
    }
  }
  return written;
}

}  // namespace vantoril
