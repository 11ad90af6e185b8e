#include "wave_bytes.h"

#include <fstream>

namespace vantoril::test {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

}  // namespace

WaveBytes::WaveBytes(const std::string& riff, const std::string& form) {
  bytes_.insert(bytes_.end(), riff.begin(), riff.end());
  Put32(bytes_, 0);
  bytes_.insert(bytes_.end(), form.begin(), form.end());
}

WaveBytes& WaveBytes::Chunk(const std::string& id, const std::vector<uint8_t>& body) {
  bytes_.insert(bytes_.end(), id.begin(), id.end());
  Put32(bytes_, uint32_t(body.size()));
  bytes_.insert(bytes_.end(), body.begin(), body.end());
  if (body.size() & 1) bytes_.push_back(0xEE);
  return *this;
}

WaveBytes& WaveBytes::Format(const WaveFormat& format, std::vector<uint8_t> extra) {
  std::vector<uint8_t> body;
  Put16(body, format.formatTag);
  Put16(body, format.channels);
  Put32(body, format.samplesPerSec);
  Put32(body, format.avgBytesPerSec);
  Put16(body, format.blockAlign);
  Put16(body, format.bitsPerSample);
  body.insert(body.end(), extra.begin(), extra.end());
  return Chunk("fmt ", body);
}

WaveBytes& WaveBytes::Data(const std::vector<uint8_t>& samples, uint32_t claimed) {
  bytes_.insert(bytes_.end(), {'d', 'a', 't', 'a'});
  Put32(bytes_, claimed ? claimed : uint32_t(samples.size()));
  bytes_.insert(bytes_.end(), samples.begin(), samples.end());
  return *this;
}

std::vector<uint8_t> WaveBytes::Bytes() const {
  std::vector<uint8_t> out = bytes_;
  const uint32_t size = uint32_t(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + i] = uint8_t(size >> (8 * i));
  return out;
}

bool WaveBytes::WriteTo(const std::string& path) const {
  return WriteFile(path, Bytes());
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(file);
}

std::vector<uint8_t> CountingSamples(size_t n) {
  std::vector<uint8_t> samples(n);
  for (size_t i = 0; i < n; ++i) samples[i] = uint8_t((i * 2654435761u) >> 13);
  return samples;
}

WaveFormat PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
  WaveFormat format;
  format.formatTag = WaveFormat::kPcm;
  format.channels = channels;
  format.samplesPerSec = rate;
  format.blockAlign = uint16_t(channels * bits / 8);
  format.avgBytesPerSec = rate * format.blockAlign;
  format.bitsPerSample = bits;
  return format;
}

}  // namespace vantoril::test
