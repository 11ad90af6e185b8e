// A stand-in Motion-JPEG encoder library: records what it receives and
// "compresses" a frame to its first tenth.

#include <cstring>
#include <string>

#include "output/quennet_abi.h"
#include "stand_ins/stand_in_log.h"

namespace {

class Encoder final : public vantoril::quennet::MjpgEncoder {
 public:
  int32_t Encode(const uint8_t* input, uint8_t* output, int32_t* byteCount) override {
    const int32_t count = *byteCount;
    stand_in::Log("Encode " + std::to_string(count) + " " +
                  std::to_string(stand_in::Sum(input, count)));
    if (stand_in::ShouldFail("Encode")) return 1;
    *byteCount = count / 10;
    std::memcpy(output, input, static_cast<size_t>(*byteCount));
    return 0;
  }
  int32_t SetQuality(int32_t quality) override {
    stand_in::Log("SetQuality " + std::to_string(quality));
    return stand_in::ShouldFail("SetQuality") ? 1 : 0;
  }
  void Release() override {
    stand_in::Log("Release");
    delete this;
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t CreateQuennetMjpg(
    int32_t lineStandard, uint16_t pixelFormat, vantoril::quennet::MjpgEncoder** encoder) {
  stand_in::Log("CreateQuennetMjpg " + std::to_string(lineStandard) + " " +
                std::to_string(pixelFormat));
  if (stand_in::ShouldFail("CreateQuennetMjpg")) return 1;
  *encoder = new Encoder;
  return 0;
}
