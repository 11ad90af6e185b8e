#pragma once

// Picture files built in memory, for the reader tests and the fuzzers' seeds.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vantoril::test {

struct TiffEntry {
  uint16_t tag;
  uint16_t type;  // 3 SHORT, 4 LONG
  uint32_t count;
  uint32_t value;  // a SHORT value, or a LONG (also an offset)
};

// A TIFF in either byte order: the header, the pixel data at offset 8 (or
// the IFD at ifdAt), the IFD, then a table of LONGs (strip offsets or counts)
// whose offset TiffTableOffset gives beforehand.
std::vector<uint8_t> TiffBytes(bool bigEndian, const std::vector<uint8_t>& pixels,
                               const std::vector<TiffEntry>& entries,
                               const std::vector<uint32_t>& longTable = {}, size_t ifdAt = 0);
uint32_t TiffTableOffset(size_t pixelBytes, size_t entries);

// A JPEG of width x height, grey or RGB, each sample from sample(x, y, channel).
std::vector<uint8_t> JpegBytes(int width, int height, bool grey, int quality, bool progressive,
                               const std::function<uint8_t(int, int, int)>& sample);

}  // namespace vantoril::test
