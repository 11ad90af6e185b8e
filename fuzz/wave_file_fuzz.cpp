// Feeds arbitrary bytes to the WAV reader from memory: the RIFF chunks, the
// format block and the data chunk's offsets, then streams what it found.
// The first 8 bytes are the start frame and the frame rate (little-endian
// 32-bit each); the rest is the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "media/wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int32_t startFrame = 0;
  int32_t frameRate = 2997;
  if (size >= 8) {
    std::memcpy(&startFrame, data, 4);
    std::memcpy(&frameRate, data + 4, 4);
    data += 8;
    size -= 8;
  }
  if (size == 0) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  vantoril::WaveFile wave;
  if (wave.OpenStream(fmemopen(bytes.data(), bytes.size(), "rb"), startFrame, frameRate) !=
      vantoril::WaveOpenResult::kOk) {
    return 0;
  }
  // What the sound track does with it: refill buffers of whole sample
  // frames until the data runs out.
  if (wave.DataPosition() > wave.DataLength()) __builtin_trap();
  std::vector<uint8_t> buffer(4096);
  uint32_t left = wave.DataLength() - wave.DataPosition();
  while (left > 0) {
    const uint32_t count = std::min<uint32_t>(left, uint32_t(buffer.size()));
    if (!wave.Read(buffer.data(), count)) break;
    left -= count;
  }
  return 0;
}
