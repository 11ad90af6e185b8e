// Every input a fuzzer ever found a fault with is kept under
// tests/data/fuzz/<fuzzer>/ and fed again through that fuzzer's own entry
// point: the readers must refuse it or read it without a finding (the
// sanitizer build reports memory faults, the fuzzers' own checks trap).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

// The fuzzers' entry points, each renamed at compile time.
extern "C" int FuzzImageReader(const uint8_t* data, size_t size);
extern "C" int FuzzShowFile(const uint8_t* data, size_t size);
extern "C" int FuzzSettings(const uint8_t* data, size_t size);
extern "C" int FuzzWaveFile(const uint8_t* data, size_t size);
extern "C" int FuzzClipReader(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

struct Target {
  const char* fuzzer;
  int (*entry)(const uint8_t*, size_t);
};

TEST(FuzzRegression, KeptInputsAreRefusedOrReadCleanly) {
  int count = 0;
  for (const Target& target :
       {Target{"image_reader_fuzz", FuzzImageReader}, Target{"show_file_fuzz", FuzzShowFile},
        Target{"settings_fuzz", FuzzSettings}, Target{"wave_file_fuzz", FuzzWaveFile},
        Target{"clip_reader_fuzz", FuzzClipReader}}) {
    const fs::path folder = fs::path(VANTORIL_FUZZ_DATA) / target.fuzzer;
    if (!fs::is_directory(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      EXPECT_EQ(target.entry(bytes.data(), bytes.size()), 0);
      ++count;
    }
  }
  EXPECT_GT(count, 0);
}

}  // namespace
