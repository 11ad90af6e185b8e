#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/image_buffer.h"
#include "media/image_read_result.h"
#include "support/byte_writer.h"

namespace vantoril::test {

// The folder for the media tests' files, under TestTmpRoot(). Created on
// first use.
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
