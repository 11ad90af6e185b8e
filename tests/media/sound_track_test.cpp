#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "media/silent_audio_output.h"
#include "media/sound_track_player.h"
#include "support/message_recorder.h"
#include "support/test_files.h"
#include "support/wave_bytes.h"

namespace vantoril {
namespace {

using std::chrono::milliseconds;
using test::CountingSamples;
using test::PcmFormat;
using test::WaveBytes;

class SoundTrackTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = test::FreshFolder("sound_track").string(); }
  FileSpec Write(const WaveBytes& bytes, const std::string& name) {
    EXPECT_TRUE(bytes.WriteTo(folder_ + "/" + name));
    FileSpec file;
    EXPECT_TRUE(file.SetPath(folder_ + "/" + name));
    return file;
  }

  // The sound track's messages carry no code.
  void TearDown() override {
    for (const long code : messages_.codes) EXPECT_EQ(code, MessageSink::kNoCode);
  }

  std::string folder_;
  test::MessageRecorder messages_;
  SilentAudioOutput output_{SilentAudioOutput::Pace::kOnDemand};
  SoundTrackPlayer player_{output_, &messages_};
};

TEST_F(SoundTrackTest, StreamsFromTheFramesSoundTwoBuffersAtATime) {
  const auto samples = CountingSamples(8192 * 3 + 100);
  const FileSpec file = Write(WaveBytes().Format(PcmFormat(1, 8000, 8)).Data(samples), "mono.wav");
  player_.PlaySoundTrackFrom(file, 0, 2997);
  ASSERT_TRUE(player_.IsPlaying());
  EXPECT_EQ(output_.OpenedFormat(), PcmFormat(1, 8000, 8));
  EXPECT_EQ(output_.QueuedSizes(), (std::vector<size_t>{8192, 8192}));
  EXPECT_EQ(output_.Pending(), 2u);

  // Each finished buffer brings the next piece, until the data runs out.
  EXPECT_EQ(output_.FinishBuffers(1), 1u);
  EXPECT_EQ(output_.QueuedSizes(), (std::vector<size_t>{8192, 8192, 8192}));
  EXPECT_EQ(output_.FinishBuffers(10), 3u);
  EXPECT_EQ(output_.QueuedSizes(), (std::vector<size_t>{8192, 8192, 8192, 100}));
  EXPECT_EQ(output_.Received(), samples);
  // The device stays open with nothing queued.
  EXPECT_TRUE(player_.IsPlaying());
  EXPECT_TRUE(output_.IsOpen());

  // Moving the time during play: the sound starts again at the new frame,
  // one second in.
  player_.PlaySoundTrackFrom(file, 30, 2997);
  EXPECT_EQ(output_.OpenCount(), 2);
  output_.FinishBuffers(1000);
  EXPECT_EQ(output_.Received(), std::vector<uint8_t>(samples.begin() + 8000, samples.end()));
  EXPECT_TRUE(messages_.texts.empty());

  player_.StopSoundTrack();
  EXPECT_FALSE(player_.IsPlaying());
  EXPECT_FALSE(output_.IsOpen());
  EXPECT_FALSE(player_.IsReaderOpen());
}

// 24-bit samples, which sound devices rarely take, play as 32-bit ones:
// each sample's bytes on top of a zero byte, in pieces of whole samples.
TEST_F(SoundTrackTest, TwentyFourBitSamplesPlayWidened) {
  const auto samples = CountingSamples(8190 + 300);
  const FileSpec file =
      Write(WaveBytes().Format(PcmFormat(2, 48000, 24)).Data(samples), "wide.wav");
  player_.PlaySoundTrackFrom(file, 0, 2997);
  ASSERT_TRUE(player_.IsPlaying());
  EXPECT_EQ(output_.OpenedFormat(), PcmFormat(2, 48000, 32));
  output_.FinishBuffers(10);
  EXPECT_EQ(output_.QueuedSizes(), (std::vector<size_t>{10920, 400}));
  std::vector<uint8_t> widened;
  for (size_t i = 0; i < samples.size(); i += 3) {
    widened.insert(widened.end(), {0, samples[i], samples[i + 1], samples[i + 2]});
  }
  EXPECT_EQ(output_.Received(), widened);
  EXPECT_TRUE(messages_.texts.empty());
}

// Every reader result's message is pinned with the reader; here they reach
// the user and leave the preview silent.
TEST_F(SoundTrackTest, FilesThatCannotPlayLeaveThePreviewSilent) {
  const auto samples = CountingSamples(1000);
  const struct {
    WaveBytes bytes;
    int frame;
    const char* message;
  } cases[] = {
      {WaveBytes("RIFX").Format(PcmFormat(1, 8000, 8)).Data(samples), 0, "Not a valid RIFF file"},
      // 64-bit samples: a format the output cannot play.
      {WaveBytes().Format(PcmFormat(2, 48000, 64)).Data(samples), 0, "Not a valid WAV file"},
      // The start lies past the end of the sound: silent, no message.
      {WaveBytes().Format(PcmFormat(1, 8000, 8)).Data(samples), 30, nullptr},
  };
  int n = 0;
  for (const auto& c : cases) {
    messages_.Clear();
    player_.PlaySoundTrackFrom(Write(c.bytes, "bad" + std::to_string(n++) + ".wav"), c.frame, 2997);
    EXPECT_FALSE(player_.IsPlaying());
    EXPECT_FALSE(output_.IsOpen());
    EXPECT_FALSE(player_.IsReaderOpen());
    EXPECT_EQ(messages_.texts,
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
  }
  // A sound file that is not there (moved with its show, say) is told once
  // with the reason, not at every start; one that plays again is told again
  // when it goes.
  messages_.Clear();
  FileSpec missing;
  ASSERT_TRUE(missing.SetPath(folder_ + "/missing.wav"));
  FileSpec folder;
  ASSERT_TRUE(folder.SetPath(folder_));
  const FileSpec good = Write(WaveBytes().Format(PcmFormat(1, 8000, 8)).Data(samples), "g.wav");
  for (const FileSpec& file : {missing, missing, FileSpec{}, folder, good, missing}) {
    player_.PlaySoundTrackFrom(file, 0, 2997);
  }
  const std::string silent = "; the show plays without sound";
  EXPECT_EQ(messages_.texts,
            (std::vector<std::string>{"Can't open sound file\n" + folder_ +
                                          "/missing.wav\nNo such file or directory" + silent,
                                      "Can't open sound file\n" + folder_ + "\nnot a file" + silent,
                                      "Can't open sound file\n" + folder_ +
                                          "/missing.wav\nNo such file or directory" + silent}));
  player_.StopSoundTrack();
  EXPECT_EQ(output_.OpenCount(), 1);
}

TEST_F(SoundTrackTest, DeviceFailuresAndARunWithoutDevice) {
  const auto samples = CountingSamples(30000);
  const FileSpec file = Write(WaveBytes().Format(PcmFormat(1, 8000, 8)).Data(samples), "ok.wav");
  output_.SetOpenResult(kAudioInUse);
  player_.PlaySoundTrackFrom(file, 0, 2997);
  player_.PlaySoundTrackFrom(file, 0, 2997);
  // Without a sound device the preview runs silent and says so once.
  output_.SetOpenResult(kAudioNoDevice);
  player_.PlaySoundTrackFrom(file, 0, 2997);
  player_.PlaySoundTrackFrom(file, 5, 2997);
  output_.SetOpenResult(kAudioError);
  player_.PlaySoundTrackFrom(file, 0, 2997);
  EXPECT_EQ(messages_.texts, (std::vector<std::string>{
                                 "The sound device is in use by another program",
                                 "The sound device is in use by another program",
                                 "Error opening wave output device 6\n",
                                 "Error opening wave output device 1\n",
                             }));
  EXPECT_FALSE(player_.IsPlaying());
  EXPECT_FALSE(player_.IsReaderOpen());

  // Nothing is open to take the buffers, yet the reader stays open and
  // moves; a stop closes it.
  ASSERT_TRUE(player_.OpenWave(0, false));
  EXPECT_TRUE(player_.IsReaderOpen());
  EXPECT_FALSE(player_.IsPlaying());
  EXPECT_EQ(player_.DataPosition(), 16384u);
  EXPECT_TRUE(output_.Received().empty());
  player_.StopSoundTrack();
  EXPECT_FALSE(player_.IsReaderOpen());
  EXPECT_EQ(player_.DataPosition(), 0u);
  ASSERT_TRUE(player_.OpenWave(0, true));
  EXPECT_FALSE(player_.IsReaderOpen());
  EXPECT_EQ(player_.DataLength(), 30000u);

  output_.SetOpenResult(kAudioOpened);
  player_.PlaySoundTrackFrom(file, 0, 2997);
  EXPECT_TRUE(player_.IsPlaying());
}

// Starts and stops from this thread while the output's thread finishes
// buffers and refills: run under ThreadSanitizer this shows the player's
// state is only touched under its lock and no refill outlives a stop.
TEST(SoundTrackThreads, StartsAndStopsWhileBuffersFinish) {
  const std::string path = (test::FreshFolder("sound_track_threads") / "threads.wav").string();
  const auto samples = CountingSamples(8192 * 40 + 6);
  ASSERT_TRUE(WaveBytes().Format(PcmFormat(2, 44100, 16)).Data(samples).WriteTo(path));
  FileSpec file;
  ASSERT_TRUE(file.SetPath(path));

  SilentAudioOutput output(SilentAudioOutput::Pace::kFast);
  test::MessageRecorder messages;
  SoundTrackPlayer player(output, &messages);

  // Buffers finishing at once still find the player playing: nothing is lost.
  player.PlaySoundTrackFrom(file, 0, 2997);
  ASSERT_TRUE(output.WaitUntilIdle(milliseconds(10000)));
  EXPECT_EQ(output.Received(), samples);

  for (int round = 0; round < 200; ++round) {
    player.PlaySoundTrackFrom(file, round % 7, 2997);
    if (round % 3 == 0) std::this_thread::yield();
    if (round % 2 == 0) player.StopSoundTrack();
  }
  player.StopSoundTrack();
  const size_t queued = output.QueuedSizes().size();
  std::this_thread::sleep_for(milliseconds(20));
  // Nothing is queued once a stop has returned.
  EXPECT_EQ(output.QueuedSizes().size(), queued);
  EXPECT_FALSE(output.IsOpen());
  EXPECT_FALSE(player.IsReaderOpen());
  EXPECT_TRUE(messages.texts.empty());
}

TEST(SilentAudioOutput, PlaysInRealTimeAndRefusesWhatItCannotPlay) {
  SilentAudioOutput output;
  std::atomic<int> finished{0};
  EXPECT_EQ(output.Open(PcmFormat(2, 48000, 24), [] {}), kAudioBadFormat);
  EXPECT_FALSE(output.IsOpen());
  ASSERT_EQ(output.Open(PcmFormat(1, 8000, 8), [&] { ++finished; }), kAudioOpened);
  // 80 bytes at 8000 a second: each buffer sounds for 10 ms.
  const std::vector<uint8_t> piece(80, 1);
  output.Queue(piece);
  output.Queue(piece);
  ASSERT_TRUE(output.WaitUntilIdle(milliseconds(5000)));
  EXPECT_EQ(finished, 2);
  // A long buffer is cut short by a reset, without a report.
  output.Queue(std::vector<uint8_t>(80000, 1));
  output.Reset();
  EXPECT_EQ(output.Pending(), 0u);
  output.Close();
  EXPECT_EQ(finished, 2);
  output.Queue(piece);  // closed: nothing happens
  EXPECT_EQ(output.Pending(), 0u);
}

}  // namespace
}  // namespace vantoril
