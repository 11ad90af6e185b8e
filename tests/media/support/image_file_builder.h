#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/image_buffer.h"
#include "media/image_read_result.h"

namespace vantoril::test {

// Builds the bytes of a file field by field.
class ByteWriter {
 public:
  ByteWriter& U8(unsigned value);
  ByteWriter& U16LE(unsigned value);
  ByteWriter& U32LE(uint32_t value);
  ByteWriter& U16BE(unsigned value);
  ByteWriter& U32BE(uint32_t value);
  ByteWriter& Text(std::string_view text);
  ByteWriter& Bytes(const std::vector<uint8_t>& bytes);
  ByteWriter& Fill(size_t count, uint8_t value = 0);
  // Pads with zeros up to an absolute offset.
  ByteWriter& PadTo(size_t offset);
  // Overwrites 4 little-endian bytes at an absolute offset.
  ByteWriter& PutU32LE(size_t offset, uint32_t value);

  size_t Size() const { return bytes_.size(); }
  const std::vector<uint8_t>& Data() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// The folder for files written by the tests: $VANTORIL_TEST_TMP, or a
// subfolder of the system's temporary folder. Created on first use.
std::filesystem::path TestFolder();
// Writes bytes to TestFolder()/name and returns the full path.
std::string WriteTestFile(std::string_view name, const std::vector<uint8_t>& bytes);

// Writes bytes to a file called name and reads it with ReadImageByFormat into
// image (created at 16 x 16 x 8 first, as the show document does).
ImageReadResult ReadImageBytes(const std::vector<uint8_t>& bytes, std::string_view name,
                               ImageBuffer& image);

// A test picture's sample: x from the left, y from the top, channel 0..3.
uint8_t PatternSample(int x, int y, int channel);

// Pixel (x, y from the top) of a 24- or 32-bit buffer: blue, green, red.
const uint8_t* PixelAt(const ImageBuffer& image, int x, int y);

}  // namespace vantoril::test
