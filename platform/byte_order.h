#pragma once

#include <cstdint>
#include <span>

namespace vantoril {

// An unsigned integer from up to 4 bytes, little-endian unless bigEndian.
uint32_t IntegerFromBytes(std::span<const uint8_t> bytes, bool bigEndian);
void ReverseBytes(std::span<uint8_t> bytes);

}  // namespace vantoril
