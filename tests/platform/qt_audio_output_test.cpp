#include "platform/qt_audio_output.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantoril {
namespace {

// Tag, channels, rate, bytes per second, block, bits.
constexpr WaveFormat kStereo16{1, 2, 44100, 176400, 4, 16};

// Without a sound server the output says "no device" and stays harmless; playing through one is
// the sound server test's part.
TEST(QtAudioOutput, WithoutASoundServerReportsThatThereIsNoDevice) {
  QtAudioOutput output;
  const int result = output.Open(kStereo16, [] {});
  if (result == kAudioOpened) GTEST_SKIP() << "a sound server runs here";
  EXPECT_EQ(result, kAudioNoDevice);
  EXPECT_FALSE(output.IsOpen());
  output.Queue(std::vector<uint8_t>(64, 0));
  output.Reset();
  output.Close();
  EXPECT_EQ(output.Open(kStereo16, [] {}), kAudioNoDevice);  // again after a close
  output.Close();
}

TEST(QtAudioOutput, RefusesFormatsItCannotPlay) {
  QtAudioOutput output;
  for (const WaveFormat& format : {WaveFormat{2, 2, 44100, 176400, 4, 4},  // ADPCM
                                   WaveFormat{1, 2, 44100, 176400, 6, 24}}) {
    EXPECT_EQ(output.Open(format, [] {}), kAudioBadFormat) << format.bitsPerSample;
    EXPECT_FALSE(output.IsOpen());
  }
}

}  // namespace
}  // namespace vantoril
