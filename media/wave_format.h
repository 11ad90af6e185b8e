#pragma once

#include <cstdint>

namespace vantoril {

// The sound format as a WAV file's "fmt " chunk gives it (the fields of the
// wave format record). The initial values are 8-bit mono PCM at 8000 Hz.
struct WaveFormat {
  static constexpr uint16_t kPcm = 1;
  static constexpr uint16_t kIeeeFloat = 3;
  // The samples' own format tag sits in the record's extension.
  static constexpr uint16_t kExtensible = 0xFFFE;

  uint16_t formatTag = kPcm;
  uint16_t channels = 1;
  uint32_t samplesPerSec = 8000;
  uint32_t avgBytesPerSec = 8000;
  uint16_t blockAlign = 1;
  uint16_t bitsPerSample = 8;
  uint16_t extraSize = 0;

  friend bool operator==(const WaveFormat&, const WaveFormat&) = default;
};

}  // namespace vantoril
