// Writes the benchmark show into a folder: bench.vsh, its background and its
// pictures as Targa files, named relative to the show so the folder can move.
//
//   make_bench_show DIR [PICTURES]     (PICTURES 1..30, default 30)

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench/bench_show.h"
#include "engine/settings_store.h"
#include "engine/show_file.h"

namespace {

using namespace vantoril;

// Uncompressed true-colour Targa, bottom-up rows as the buffer holds them.
bool WriteTarga(const std::filesystem::path& file, const ImageBuffer& image, bool alpha) {
  const int bytes = alpha ? 4 : 3;
  const int w = image.Width();
  const int h = image.Height();
  std::vector<uint8_t> data(18, 0);
  data[2] = 2;
  data[12] = static_cast<uint8_t>(w & 255);
  data[13] = static_cast<uint8_t>(w >> 8);
  data[14] = static_cast<uint8_t>(h & 255);
  data[15] = static_cast<uint8_t>(h >> 8);
  data[16] = static_cast<uint8_t>(8 * bytes);
  data[17] = alpha ? 8 : 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = image.RowPointer(y);
    for (int x = 0; x < w; ++x, p += 4) {
      data.insert(data.end(), p, p + bytes);
    }
  }
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: make_bench_show DIR [PICTURES]\n";
    return 1;
  }
  const std::filesystem::path folder = argv[1];
  const int pictures = argc == 3 ? std::atoi(argv[2]) : bench::kBenchPictures;
  if (pictures < 1 || pictures > bench::kBenchPictures) {
    std::cerr << "make_bench_show: PICTURES is 1 to " << bench::kBenchPictures << '\n';
    return 1;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);

  SettingsStore settings;
  ShowDocument document(settings);
  bench::AnimateBenchShow(document, pictures);
  bool written = WriteTarga(folder / "background.tga", bench::BenchBackground(), false);
  document.backgroundFile.SetPath("background.tga");
  for (int slot = 0; slot < pictures; ++slot) {
    char name[16];
    std::snprintf(name, sizeof name, "p%02d.tga", slot);
    written = written && WriteTarga(folder / name, bench::BenchPicture(slot), true);
    Picture picture = document.PictureAt(slot);
    picture.file.SetPath(name);
    document.SetPicture(slot, std::move(picture));
  }
  if (!written || SaveShowFile(document, folder / "bench.vsh") != ShowFileStatus::kOk) {
    std::cerr << "make_bench_show: cannot write into " << folder << '\n';
    return 2;
  }
  std::cout << (folder / "bench.vsh").string() << '\n';
  return 0;
}
