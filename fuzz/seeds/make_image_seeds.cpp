// Writes every picture file of PictureFiles() into a folder: the seed corpus
// of image_reader_fuzz (one small file of every variant, so the fuzzer starts
// deep inside each reader) and the reader tests' data files.
//   make_image_seeds OUTPUT_FOLDER

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fuzz/seeds/picture_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  for (const vantoril::pictures::PictureFile& picture : vantoril::pictures::PictureFiles()) {
    std::ofstream out(folder / picture.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(picture.bytes.data()),
              static_cast<std::streamsize>(picture.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", (folder / picture.name).c_str());
      return 1;
    }
  }
  return 0;
}
