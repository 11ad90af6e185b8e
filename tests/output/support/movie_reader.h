#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantoril::test {

// A decoded picture: top-down rows of blue, green, red (and alpha, 255 when
// the stream has none), width x height x 4 bytes.
struct DecodedFrame {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgra;
  bool fieldCoded = false;  // the decoder's mark of a picture coded as two fields
};

// What a movie file holds, read back through libavformat/libavcodec.
struct MovieContents {
  bool ok = false;
  std::string error;
  uint32_t codecTag = 0;  // first character in the lowest byte
  int timeBaseNum = 0;    // the stream's time base
  int timeBaseDen = 0;
  int frameRateNum = 0;  // the stream's average frame rate
  int frameRateDen = 0;
  int sampleAspectNum = 0;  // the pixel aspect the container or the pictures carry
  int sampleAspectDen = 1;
  int fieldOrder = 0;                    // AVFieldOrder: 1 progressive, 2 top first, 3 bottom first
  std::vector<int64_t> packetDurations;  // in the time base
  std::vector<DecodedFrame> frames;
};

MovieContents ReadMovie(const std::filesystem::path& file);

}  // namespace vantoril::test
