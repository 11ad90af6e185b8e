#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vantoril::test {

// Builds the bytes of a file field by field.
class ByteWriter {
 public:
  ByteWriter& U8(unsigned value);
  ByteWriter& U16LE(unsigned value);
  ByteWriter& U32LE(uint32_t value);
  ByteWriter& U16BE(unsigned value);
  ByteWriter& U32BE(uint32_t value);
  // Big-endian when big, else little-endian.
  ByteWriter& U16(bool big, unsigned value) { return big ? U16BE(value) : U16LE(value); }
  ByteWriter& U32(bool big, uint32_t value) { return big ? U32BE(value) : U32LE(value); }
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

}  // namespace vantoril::test
