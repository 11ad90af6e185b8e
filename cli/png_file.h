#pragma once

#include <filesystem>

#include "engine/image_buffer.h"

namespace vantoril::cli {

// Writes a 32-bit buffer (blue, green, red, alpha; bottom-up) as an 8-bit RGB
// PNG, the right way up.
bool WriteRgbPng(const ImageBuffer& image, const std::filesystem::path& file);

// Writes any buffer as an 8-bit RGBA PNG: 8-bit pixels through the palette,
// 16-bit 5-5-5 pixels expanded as the picture loader expands them, 24-bit
// with alpha 255, 32-bit with the alpha as stored.
bool WriteRgbaPng(const ImageBuffer& image, const std::filesystem::path& file);

}  // namespace vantoril::cli
