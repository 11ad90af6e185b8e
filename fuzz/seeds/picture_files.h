#pragma once

// Small picture files of every variant the image readers accept or refuse,
// built field by field: the image reader fuzzer's seeds, and the reader
// tests' data files (committed under tests/data/images, which must stay equal
// to what PictureFiles() gives).

#include <cstdint>
#include <string>
#include <vector>

namespace vantoril::pictures {

// The test picture: byte c of pixel (x, y from the top) as the image buffer
// holds it (blue, green, red, alpha). The files store it in their own order.
inline uint8_t PatternSample(int x, int y, int c) {
  return static_cast<uint8_t>(x * 37 + y * 11 + c * 80 + 5);
}

// The pattern with the first two pixels of every row alike, so that PackBits
// rows hold runs as well as literals.
inline uint8_t RunSample(int x, int y, int c) {
  return PatternSample(x < 2 ? 0 : x, y, c);
}

// Streaks of four pixels along rows five wide, running on from the end of
// one row into the next.
inline uint8_t StreakSample(int x, int y, int c) {
  return PatternSample((y * 5 + x) / 4, 0, c);
}

// A smooth picture, which JPEG keeps within a few levels: blue constant,
// green down, red across.
inline uint8_t SmoothSample(int x, int y, int c) {
  return static_cast<uint8_t>(c == 0 ? 128 : c == 1 ? y * 12 : x * 8);
}

// For pictures past the largest side, read at half their size: each 2 x 2
// block holds its level plus 0, 10, 20 and 30, so it averages to the level
// plus 15.
inline uint8_t BlockLevel(int x, int y, int c) {
  return static_cast<uint8_t>(40 * c + (x / 512) % 4 * 30 + 5 * y);
}
inline uint8_t WidePattern(int x, int y, int c) {
  return static_cast<uint8_t>(BlockLevel(x / 2, y / 2, c) + 10 * (x % 2) + 20 * (y % 2));
}

struct PictureFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

std::vector<PictureFile> PictureFiles();

}  // namespace vantoril::pictures
