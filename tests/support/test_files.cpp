#include "support/test_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace vantoril::test {

namespace fs = std::filesystem;

fs::path TestTmpRoot() {
  const char* base = std::getenv("VANTORIL_TEST_TMP");
  return base != nullptr && *base != 0 ? fs::path(base) : fs::temp_directory_path();
}

fs::path FreshFolder(const std::string& name) {
  const fs::path folder = TestTmpRoot() / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::vector<uint8_t> ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vantoril::test
