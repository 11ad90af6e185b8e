#include "support/byte_writer.h"

namespace vantoril::test {

ByteWriter& ByteWriter::U8(unsigned value) {
  bytes_.push_back(static_cast<uint8_t>(value));
  return *this;
}

ByteWriter& ByteWriter::U16LE(unsigned value) {
  return U8(value).U8(value >> 8);
}

ByteWriter& ByteWriter::U32LE(uint32_t value) {
  return U16LE(value & 0xFFFF).U16LE(value >> 16);
}

ByteWriter& ByteWriter::U16BE(unsigned value) {
  return U8(value >> 8).U8(value);
}

ByteWriter& ByteWriter::U32BE(uint32_t value) {
  return U16BE(value >> 16).U16BE(value & 0xFFFF);
}

ByteWriter& ByteWriter::Text(std::string_view text) {
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return *this;
}

ByteWriter& ByteWriter::Bytes(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

ByteWriter& ByteWriter::Fill(size_t count, uint8_t value) {
  bytes_.insert(bytes_.end(), count, value);
  return *this;
}

ByteWriter& ByteWriter::PadTo(size_t offset) {
  if (bytes_.size() < offset) {
    bytes_.resize(offset, 0);
  }
  return *this;
}

ByteWriter& ByteWriter::PutU32LE(size_t offset, uint32_t value) {
  PadTo(offset + 4);
  for (int i = 0; i < 4; ++i) {
    bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  return *this;
}

}  // namespace vantoril::test
