#pragma once

// Small pieces the image readers share; not part of the media interface.

#include <cstddef>
#include <cstdint>

#include "engine/image_buffer.h"
#include "media/binary_file.h"
#include "media/image_read_result.h"

namespace vantoril::image_reader {

inline uint16_t LittleEndian16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LittleEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t BigEndian16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t BigEndian32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// True when all count bytes were read.
inline bool ReadFully(BinaryFile& file, void* destination, size_t count) {
  return file.Read(destination, count) == count;
}

// Re-creates image at the picture's size with every pixel zero and the grey
// palette, also when Create keeps the old blocks because size and depth are
// unchanged (rows a short file leaves unread must not show the last picture).
// A side below 1 is a bad header (3); a failed Create is kImageNoMemory. The
// callers test sides above 8192 themselves, in their own order.
ImageReadResult CreatePicture(ImageBuffer& image, int64_t width, int64_t height, int bitsPerPixel);

// Most programs write 32-bit pictures without alpha as alpha 0 everywhere;
// such a picture would load invisible, so it is made opaque instead.
void MakeZeroAlphaOpaque(ImageBuffer& image);

}  // namespace vantoril::image_reader
