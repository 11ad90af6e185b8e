#include "platform/byte_order.h"

#include <algorithm>

namespace vantoril {

uint32_t IntegerFromBytes(std::span<const uint8_t> bytes, bool bigEndian) {
  const size_t count = std::min<size_t>(bytes.size(), 4);
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t byte = bigEndian ? bytes[i] : bytes[count - 1 - i];
    value = (value << 8) | byte;
  }
  return value;
}

void ReverseBytes(std::span<uint8_t> bytes) {
  std::reverse(bytes.begin(), bytes.end());
}

}  // namespace vantoril
