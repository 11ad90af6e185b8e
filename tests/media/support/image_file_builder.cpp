#include "media/support/image_file_builder.h"

#include <fstream>

#include "media/image_readers.h"
#include "support/test_files.h"

namespace vantoril::test {

std::filesystem::path TestFolder() {
  const std::filesystem::path folder = TestTmpRoot() / "media";
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
