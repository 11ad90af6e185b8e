#include "platform/qt_audio_output.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace vantoril {
namespace {

// Tag, channels, rate, bytes per second, block, bits.
constexpr WaveFormat kStereo16{1, 2, 44100, 176400, 4, 16};

// Test machines have no sound server: then the output must say "no device"
// and stay harmless. Where one runs, queued buffers come back as finished.
TEST(QtAudioOutput, OpensTheDefaultDeviceOrReportsThatThereIsNone) {
  QtAudioOutput output;
  std::atomic<int> finished{0};
  const int result = output.Open(kStereo16, [&] { ++finished; });
  if (result == kAudioOpened) {
    EXPECT_TRUE(output.IsOpen());
    const std::vector<uint8_t> silence(8192, 0);
    output.Queue(silence);
    output.Queue(silence);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (finished < 2 && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(finished, 2);
  } else {
    EXPECT_EQ(result, kAudioNoDevice);
    EXPECT_FALSE(output.IsOpen());
    output.Queue(std::vector<uint8_t>(64, 0));
  }
  output.Reset();
  output.Close();
  EXPECT_FALSE(output.IsOpen());
  // Opening again after a close works the same way.
  EXPECT_EQ(output.Open(kStereo16, [] {}), result);
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
