#pragma once

#include <filesystem>
#include <string>

#include "engine/image_buffer.h"

namespace vantoril::cli {

// Both write the whole file or none of it (an older file of the name stays)
// and return why they failed, or nothing.

// Writes a 32-bit buffer (blue, green, red, alpha; bottom-up) as an 8-bit RGB
// PNG, the right way up.
std::string WriteRgbPng(const ImageBuffer& image, const std::filesystem::path& file);

// Writes any buffer as an 8-bit RGBA PNG: 8-bit pixels through the palette,
// 16-bit 5-5-5 pixels expanded as the picture loader expands them, 24-bit
// with alpha 255, 32-bit with the alpha as stored.
std::string WriteRgbaPng(const ImageBuffer& image, const std::filesystem::path& file);

}  // namespace vantoril::cli
