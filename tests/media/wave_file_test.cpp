#include "media/wave_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "support/wave_bytes.h"

namespace vantoril {
namespace {

using test::CountingSamples;
using test::PcmFormat;
using test::WaveBytes;

class WaveFileTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = test::FreshFolder("wave_file").string(); }
  std::string Write(const std::vector<uint8_t>& bytes) {
    const std::string path = folder_ + "/" + std::to_string(count_++) + ".wav";
    EXPECT_TRUE(test::WriteFile(path, bytes));
    return path;
  }
  std::string Write(const WaveBytes& bytes) { return Write(bytes.Bytes()); }
  // Reads from the position to the end, and checks that nothing follows.
  std::vector<uint8_t> ReadAll() {
    std::vector<uint8_t> out(wave_.DataLength() - wave_.DataPosition());
    EXPECT_TRUE(wave_.Read(out.data(), out.size()));
    uint8_t extra;
    EXPECT_FALSE(wave_.Read(&extra, 1));
    return out;
  }

  std::string folder_;
  int count_ = 0;
  WaveFile wave_;
};

// The start lies (rate + 10) / 100 whole frames a second in, rounded down to
// a whole sample frame.
TEST_F(WaveFileTest, ReadsTheFormatAndStartsAtTheFramesSound) {
  const auto samples = CountingSamples(20000);
  const std::string mono = Write(WaveBytes().Format(PcmFormat(1, 8000, 8)).Data(samples));
  const std::string stereo = Write(WaveBytes().Format(PcmFormat(2, 44100, 16)).Data(samples));
  // An odd-sized LIST chunk carries a pad byte; a format chunk with extra
  // bytes past the 1024 read at most.
  const std::string chunky =
      Write(WaveBytes()
                .Chunk("JUNK", std::vector<uint8_t>(28, 0))
                .Format(PcmFormat(2, 44100, 16), std::vector<uint8_t>(1101, 7))
                .Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c'})
                .Data(samples));
  // The extensible record of a 24-bit file: size 22, 24 valid bits, front
  // left and right, the PCM sub-format.
  WaveFormat extensible = PcmFormat(2, 48000, 24);
  extensible.formatTag = WaveFormat::kExtensible;
  const std::string wide =
      Write(WaveBytes()
                .Format(extensible, {22, 0, 24,   0, 3,    0, 0, 0,    1, 0,    0,    0,
                                     0,  0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71})
                .Data(samples));
  const struct {
    const std::string& path;
    int frame, rate;
    uint32_t position;
    WaveFormat format;
  } cases[] = {{mono, 0, 2997, 0, PcmFormat(1, 8000, 8)},
               {mono, 30, 2997, 8000, PcmFormat(1, 8000, 8)},
               {mono, 7, 2397, 2333, PcmFormat(1, 8000, 8)},
               {mono, 7, 2500, 2240, PcmFormat(1, 8000, 8)},
               // 7350 is half a sample frame
               {stereo, 1, 2397, 7348, PcmFormat(2, 44100, 16)},
               {chunky, 3, 2997, 17640, PcmFormat(2, 44100, 16)},
               {wide, 1, 2997, 9600, PcmFormat(2, 48000, 24)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.frame) + " at " + std::to_string(c.rate));
    ASSERT_EQ(wave_.Open(c.path, c.frame, c.rate), WaveOpenResult::kOk);
    EXPECT_EQ(wave_.Format(), c.format);
    EXPECT_EQ(wave_.DataLength(), 20000u);
    EXPECT_EQ(wave_.DataPosition(), c.position);
    EXPECT_EQ(ReadAll(), std::vector<uint8_t>(samples.begin() + c.position, samples.end()));
  }
}

// Every result with its message; the files that open play what is there.
TEST_F(WaveFileTest, ShortDamagedAndOtherFiles) {
  const auto samples = CountingSamples(5000);
  const auto mono = PcmFormat(1, 8000, 8);
  // A data chunk claiming more than the file holds; a header claiming 2 GB.
  const std::string cut = Write(WaveBytes().Format(mono).Data(samples, 100000));
  const std::string huge =
      Write(WaveBytes().Format(PcmFormat(2, 44100, 16)).Data(samples, 1u << 31));
  // A chunk before "data" that runs past the end of the file.
  auto chopped = WaveBytes().Format(mono).Chunk("LIST", std::vector<uint8_t>(400, 0)).Bytes();
  chopped.resize(chopped.size() - 100);
  const char* const kNotWav = "Not a valid WAV file";
  ASSERT_EQ(mkfifo((folder_ + "/pipe.wav").c_str(), 0600), 0);  // a read would wait
  const struct {
    std::string path;
    int frame, rate;
    WaveOpenResult result;
    const char* message;
  } cases[] = {
      {cut, 0, 2997, WaveOpenResult::kOk, nullptr},
      {cut, 30, 2997, WaveOpenResult::kStartBeyondEnd, nullptr},
      {huge, 0, 2997, WaveOpenResult::kOk, nullptr},
      {huge, 3000, 2997, WaveOpenResult::kStartBeyondEnd, nullptr},
      // The largest frame rate a settings file can hold.
      {huge, 1, INT_MAX, WaveOpenResult::kOk, nullptr},
      // 176400 x 24348 wraps 32 bits to a start a few hundred bytes in.
      {huge, 24348, 2997, WaveOpenResult::kStartBeyondEnd, nullptr},
      {folder_ + "/none.wav", 0, 2997, WaveOpenResult::kCannotOpen, nullptr},
      {folder_ + "/pipe.wav", 0, 2997, WaveOpenResult::kCannotOpen, nullptr},
      // A file without sound, or cut in its header (an interrupted copy),
      // is no WAV file to play.
      {Write(WaveBytes().Chunk("LIST", std::vector<uint8_t>(10, 0))), 0, 2997,
       WaveOpenResult::kNoData, kNotWav},
      {Write(chopped), 0, 2997, WaveOpenResult::kTruncated, kNotWav},
      {Write(std::vector<uint8_t>{}), 0, 2997, WaveOpenResult::kTruncated, kNotWav},
      {Write(WaveBytes("RIFX").Format(mono).Data(samples)), 10, 2997, WaveOpenResult::kNotRiff,
       "Not a valid RIFF file"},
      {Write(WaveBytes("RIFF", "AVI ").Chunk("LIST", samples)), 10, 2997, WaveOpenResult::kNotWave,
       kNotWav},
      // A format chunk must hold its 16 bytes, and a block alignment to
      // round the start to.
      {Write(WaveBytes().Chunk("fmt ", std::vector<uint8_t>(14, 1)).Data(samples)), 10, 2997,
       WaveOpenResult::kBadFormat, kNotWav},
      {Write(WaveBytes().Format(PcmFormat(0, 8000, 8)).Data(samples)), 10, 2997,
       WaveOpenResult::kBadFormat, kNotWav},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " from " + std::to_string(c.frame));
    ASSERT_EQ(wave_.Open(c.path, c.frame, c.rate), c.result);
    EXPECT_EQ(wave_.IsOpen(), c.result == WaveOpenResult::kOk);
    const char* message = WaveOpenMessage(c.result);
    EXPECT_EQ(std::string(message ? message : "-"), c.message ? c.message : "-");
    if (c.result != WaveOpenResult::kOk) continue;
    EXPECT_EQ(wave_.DataLength(), 5000u);
    EXPECT_EQ(ReadAll(), samples);
  }
}

}  // namespace
}  // namespace vantoril
