#include "media/support/image_file_builder.h"

#include <cstdlib>
#include <fstream>

#include "media/image_readers.h"

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

std::filesystem::path TestFolder() {
  const char* configured = std::getenv("VANTORIL_TEST_TMP");
  std::filesystem::path folder = configured != nullptr && *configured != 0
                                     ? std::filesystem::path(configured)
                                     : std::filesystem::temp_directory_path() / "vantoril-tests";
  folder /= "media";
  std::filesystem::create_directories(folder);
  return folder;
}

std::string WriteTestFile(std::string_view name, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path path = TestFolder() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

ImageReadResult ReadImageBytes(const std::vector<uint8_t>& bytes, std::string_view name,
                               ImageBuffer& image) {
  image.Create(16, 16, 8);
  ImageFile file;
  file.path = WriteTestFile(name, bytes);
  if (!file.file.Open(file.path, BinaryFile::Mode::kRead)) {
    return -1;
  }
  return ReadImageByFormat(image, file);
}

uint8_t PatternSample(int x, int y, int channel) {
  return static_cast<uint8_t>(x * 37 + y * 11 + channel * 80 + 5);
}

const uint8_t* PixelAt(const ImageBuffer& image, int x, int y) {
  return image.RowPointer(image.Height() - 1 - y) + x * (image.BitsPerPixel() / 8);
}

}  // namespace vantoril::test
