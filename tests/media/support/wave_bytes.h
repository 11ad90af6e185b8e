#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/wave_format.h"

namespace vantoril::test {

// Builds RIFF files byte by byte: chunks are appended with their pad byte and
// the RIFF size is filled in by Bytes().
class WaveBytes {
 public:
  explicit WaveBytes(const std::string& riff = "RIFF", const std::string& form = "WAVE");
  WaveBytes& Chunk(const std::string& id, const std::vector<uint8_t>& body);
  // A "fmt " chunk of the format's 16 bytes (plus extra bytes when given).
  WaveBytes& Format(const WaveFormat& format, std::vector<uint8_t> extra = {});
  // A "data" chunk claiming `claimed` bytes (the body's size when 0).
  WaveBytes& Data(const std::vector<uint8_t>& samples, uint32_t claimed = 0);
  std::vector<uint8_t> Bytes() const;
  bool WriteTo(const std::string& path) const;

 private:
  std::vector<uint8_t> bytes_;
};

// n sample bytes that tell their own position: byte i is a hash of i.
std::vector<uint8_t> CountingSamples(size_t n);

WaveFormat PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits);

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vantoril::test
