// A stand-in DPS file writer library: records what it receives and stores
// the byte count of every frame in the output file, one per line.

#include <cstdio>
#include <string>

#include "output/quennet_abi.h"
#include "stand_ins/stand_in_log.h"

namespace {

class Writer final : public vantoril::quennet::Dps5Writer {
 public:
  explicit Writer(std::FILE* file) : file_(file) {}
  int32_t WriteFrame(const uint8_t* data, int32_t byteCount) override {
    stand_in::Log("WriteFrame " + std::to_string(byteCount) + " " +
                  std::to_string(stand_in::Sum(data, byteCount)));
    if (stand_in::ShouldFail("WriteFrame")) return 1;
    std::fprintf(file_, "%d\n", byteCount);
    return 0;
  }
  void CloseAndRelease() override {
    stand_in::Log("CloseAndRelease");
    std::fclose(file_);
    delete this;
  }

 private:
  std::FILE* file_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t CreateQuennetDps5(
    const char* path, int32_t lineStandard, int32_t totalFrames, int32_t mode,
    vantoril::quennet::Dps5Writer** writer) {
  stand_in::Log("CreateQuennetDps5 " + std::string(path) + " " + std::to_string(lineStandard) +
                " " + std::to_string(totalFrames) + " " + std::to_string(mode));
  if (stand_in::ShouldFail("CreateQuennetDps5")) return 1;
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return 2;
  *writer = new Writer(file);
  return 0;
}
