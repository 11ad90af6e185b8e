#include "media/wave_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/wave_bytes.h"

namespace vantoril {
namespace {

using test::CountingSamples;
using test::PcmFormat;
using test::WaveBytes;

class WaveFileTest : public ::testing::Test {
 protected:
  std::string Write(const WaveBytes& bytes) {
    const std::string path = test::TestFolder("wave_file") + "/" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             std::to_string(count_++) + ".wav";
    EXPECT_TRUE(bytes.WriteTo(path));
    return path;
  }
  std::vector<uint8_t> ReadAll(WaveFile& wave) {
    std::vector<uint8_t> out(wave.DataLength() - wave.DataPosition());
    EXPECT_TRUE(wave.Read(out.data(), out.size()));
    uint8_t extra;
    EXPECT_FALSE(wave.Read(&extra, 1));
    return out;
  }
  int count_ = 0;
};

TEST_F(WaveFileTest, ReadsTheFormatAndStartsAtTheFramesSound) {
  const auto samples = CountingSamples(20000);
  const std::string path = Write(WaveBytes().Format(PcmFormat(1, 8000, 8)).Data(samples));
  WaveFile wave;
  ASSERT_EQ(wave.Open(path, 0, 2997), WaveOpenResult::kOk);
  EXPECT_EQ(wave.Format(), PcmFormat(1, 8000, 8));
  EXPECT_EQ(wave.DataLength(), 20000u);
  EXPECT_EQ(wave.DataPosition(), 0u);
  EXPECT_EQ(ReadAll(wave), samples);

  // 29.97 counts as 30 whole frames a second: frame 30 is one second in.
  ASSERT_EQ(wave.Open(path, 30, 2997), WaveOpenResult::kOk);
  EXPECT_EQ(wave.DataPosition(), 8000u);
  EXPECT_EQ(ReadAll(wave), std::vector<uint8_t>(samples.begin() + 8000, samples.end()));
  // 23.97 counts as 24; 25 as 25.
  ASSERT_EQ(wave.Open(path, 7, 2397), WaveOpenResult::kOk);
  EXPECT_EQ(wave.DataPosition(), 8000u * 7 / 24);
  ASSERT_EQ(wave.Open(path, 7, 2500), WaveOpenResult::kOk);
  EXPECT_EQ(wave.DataPosition(), 8000u * 7 / 25);
  // 176400 bytes a second / 24 frames = 7350: half a stereo sample frame; the
  // start is 7348.
  const std::string stereo = Write(WaveBytes().Format(PcmFormat(2, 44100, 16)).Data(samples));
  ASSERT_EQ(wave.Open(stereo, 1, 2397), WaveOpenResult::kOk);
  EXPECT_EQ(wave.DataPosition(), 7348u);
  EXPECT_EQ(ReadAll(wave), std::vector<uint8_t>(samples.begin() + 7348, samples.end()));
}

TEST_F(WaveFileTest, SkipsOtherChunksWithTheirPadBytes) {
  const auto samples = CountingSamples(176400 * 2);
  // An odd-sized LIST chunk carries a pad byte; a format chunk with extra
  // bytes past the 1024 read at most.
  const std::vector<uint8_t> list = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M',
                                     3,   0,   0,   0,   'a', 'b', 'c'};
  const std::string path = Write(WaveBytes()
                                     .Chunk("JUNK", std::vector<uint8_t>(28, 0))
                                     .Format(PcmFormat(2, 44100, 16), std::vector<uint8_t>(1101, 7))
                                     .Chunk("LIST", list)
                                     .Data(samples));
  WaveFile wave;
  ASSERT_EQ(wave.Open(path, 30, 2997), WaveOpenResult::kOk);
  EXPECT_EQ(wave.Format(), PcmFormat(2, 44100, 16));
  EXPECT_EQ(wave.DataPosition(), 176400u);
  EXPECT_EQ(ReadAll(wave), std::vector<uint8_t>(samples.begin() + 176400, samples.end()));
}

TEST_F(WaveFileTest, ShortAndDamagedFiles) {
  WaveFile wave;
  const auto samples = CountingSamples(5000);
  // A data chunk that claims more than the file holds plays what is there.
  const std::string cut = Write(WaveBytes().Format(PcmFormat(1, 8000, 8)).Data(samples, 100000));
  ASSERT_EQ(wave.Open(cut, 0, 2997), WaveOpenResult::kOk);
  EXPECT_EQ(wave.DataLength(), 5000u);
  EXPECT_EQ(ReadAll(wave), samples);
  ASSERT_EQ(wave.Open(cut, 30, 2997), WaveOpenResult::kStartBeyondEnd);
  EXPECT_FALSE(wave.IsOpen());
  // A header that claims 2 GB: the start is judged against what is there.
  const std::string huge =
      Write(WaveBytes().Format(PcmFormat(2, 44100, 16)).Data(samples, 0x80000000u));
  ASSERT_EQ(wave.Open(huge, 0, 2997), WaveOpenResult::kOk);
  EXPECT_EQ(wave.DataLength(), 5000u);
  EXPECT_EQ(ReadAll(wave), samples);
  EXPECT_EQ(wave.Open(huge, 3000, 2997), WaveOpenResult::kStartBeyondEnd);
  // The largest frame rate a settings file can hold.
  EXPECT_EQ(wave.Open(huge, 1, 2147483647), WaveOpenResult::kOk);

  // The start offset is computed in 64 bits: 176400 x 24348 wraps 32 bits to
  // a few hundred bytes, which would start a 13-minute offset near the start.
  const std::string stereo =
      Write(WaveBytes().Format(PcmFormat(2, 44100, 16)).Data(CountingSamples(40000)));
  EXPECT_EQ(wave.Open(stereo, 24348, 2997), WaveOpenResult::kStartBeyondEnd);

  EXPECT_EQ(wave.Open(test::TestFolder("wave_file") + "/none.wav", 0, 2997),
            WaveOpenResult::kCannotOpen);
  EXPECT_EQ(wave.Open(Write(WaveBytes().Chunk("LIST", std::vector<uint8_t>(10, 0))), 0, 2997),
            WaveOpenResult::kNoData);
  // A chunk before "data" that runs past the end of the file.
  auto chopped =
      WaveBytes().Format(PcmFormat(1, 8000, 8)).Chunk("LIST", std::vector<uint8_t>(400, 0)).Bytes();
  chopped.resize(chopped.size() - 100);
  const std::string choppedPath = test::TestFolder("wave_file") + "/chopped.wav";
  ASSERT_TRUE(test::WriteFile(choppedPath, chopped));
  EXPECT_EQ(wave.Open(choppedPath, 0, 2997), WaveOpenResult::kTruncated);
}

TEST_F(WaveFileTest, RefusesOtherFilesWithTheirMessages) {
  WaveFile wave;
  const auto samples = CountingSamples(100);
  const struct {
    WaveBytes bytes;
    WaveOpenResult result;
  } cases[] = {
      {WaveBytes("RIFX").Format(PcmFormat(1, 8000, 8)).Data(samples), WaveOpenResult::kNotRiff},
      {WaveBytes("RIFF", "AVI ").Chunk("LIST", samples), WaveOpenResult::kNotWave},
      // A format chunk must hold its 16 bytes, and a block alignment to
      // round the start to.
      {WaveBytes().Chunk("fmt ", std::vector<uint8_t>(14, 1)).Data(samples),
       WaveOpenResult::kBadFormat},
      {WaveBytes().Format(PcmFormat(0, 8000, 8)).Data(samples), WaveOpenResult::kBadFormat},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wave.Open(Write(c.bytes), 10, 2997), c.result);
    EXPECT_FALSE(wave.IsOpen());
  }
  // The other messages are pinned through the sound track player's tests.
  EXPECT_EQ(WaveOpenMessage(WaveOpenResult::kTruncated), nullptr);
}

}  // namespace
}  // namespace vantoril
