// A stand-in RTV library: records every call and its arguments.

#include <string>

#include "output/quennet_abi.h"
#include "stand_ins/stand_in_log.h"

#define STAND_IN_EXPORT extern "C" __attribute__((visibility("default")))

STAND_IN_EXPORT int32_t VTOpen(const char* path, int32_t width, int32_t height,
                               int32_t bitsPerPixel) {
  stand_in::Log("VTOpen " + std::string(path) + " " + std::to_string(width) + " " +
                std::to_string(height) + " " + std::to_string(bitsPerPixel));
  return stand_in::ShouldFail("VTOpen") ? 0 : 1;
}

STAND_IN_EXPORT int32_t VTWrite(void* context, int32_t frameNumber, int32_t width, int32_t height,
                                const void* pixels) {
  const long bytes = long{width} * height * 4;
  stand_in::Log("VTWrite " + std::string(static_cast<const char*>(context)) + " " +
                std::to_string(frameNumber) + " " + std::to_string(width) + " " +
                std::to_string(height) + " " +
                std::to_string(stand_in::Sum(static_cast<const unsigned char*>(pixels), bytes)));
  return stand_in::ShouldFail("VTWrite") ? 0 : 1;
}

STAND_IN_EXPORT int32_t VTClose(void* context) {
  stand_in::Log("VTClose " + std::string(static_cast<const char*>(context)));
  return stand_in::ShouldFail("VTClose") ? 0 : 1;
}
