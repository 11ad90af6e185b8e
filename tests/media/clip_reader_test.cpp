#include "media/clip_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/clip_names.h"
#include "support/message_recorder.h"
#include "support/test_clip.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;

FileSpec FileRefFor(const fs::path& path) {
  FileSpec file;
  EXPECT_TRUE(file.SetPath(path.string()));
  return file;
}

class ClipReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* root = std::getenv("VANTORIL_TEST_TMP");
    folder_ = fs::path(root ? root : fs::temp_directory_path().string()) / "clip_reader";
    fs::create_directories(folder_);
    ClipReader quiet(nullptr);  // also silences the encoders below
    const std::string bframes = test::HasEncoder("libx264") ? "libx264" : "mpeg4";
    for (const test::TestClipOptions& clip :
         {test::TestClipOptions{Path("mjpeg25.avi"), "mjpeg", 40, 25, 1},
          test::TestClipOptions{Path("bframes2997.mov"), bframes, 60, 30000, 1001, 2, 12},
          test::TestClipOptions{Path("mjpeg25.mov"), "mjpeg", 50, 25, 1},
          test::TestClipOptions{Path("bframes.avi"), "mpeg4", 45, 30000, 1001, 2, 10}}) {
      ASSERT_TRUE(test::WriteTestClip(clip)) << clip.path;
    }
  }

  static std::string Path(const std::string& name) { return (folder_ / name).string(); }

  // Reads the show frames in order and returns the numbers they show.
  static std::vector<int> Shown(ClipReader& reader, const std::vector<int>& frames, int rate) {
    std::vector<int> shown;
    ImageBuffer image;
    for (int frame : frames) {
      shown.push_back(reader.ReadFrame(frame, rate, image) ? test::FrameNumberShown(image) : -2);
    }
    return shown;
  }

  static std::vector<int> Range(int from, int to) {
    std::vector<int> frames;
    for (int i = from; i < to; ++i) frames.push_back(i);
    return frames;
  }

  test::MessageRecorder messages_;
  ClipReader reader_{&messages_};

  static fs::path folder_;
};

fs::path ClipReaderTest::folder_;

TEST_F(ClipReaderTest, AviClipSetsTheFrameRateAndReadsEveryFrameInAnyOrder) {
  int rate = 2997;
  ASSERT_TRUE(reader_.Open(FileRefFor(Path("mjpeg25.avi")), rate));
  EXPECT_EQ(rate, 2500);
  EXPECT_EQ(reader_.Kind(), kAviClip);
  EXPECT_EQ(reader_.FrameCount(), 40);
  EXPECT_TRUE(messages_.texts.empty());

  EXPECT_EQ(Shown(reader_, Range(0, 40), rate), Range(0, 40));
  const std::vector<int> random = {37, 3, 20, 19, 21, 21, 0, 39, 1, 12};
  EXPECT_EQ(Shown(reader_, random, rate), random);

  ImageBuffer image;
  ASSERT_TRUE(reader_.ReadFrame(39, rate, image));
  EXPECT_EQ(image.BitsPerPixel(), 32);
  // Frames past the end leave the background as it was, and the reader usable.
  const std::vector<uint8_t> last(image.PixelBlock().begin(), image.PixelBlock().end());
  EXPECT_FALSE(reader_.ReadFrame(40, rate, image));
  EXPECT_FALSE(reader_.ReadFrame(100000, rate, image));
  EXPECT_FALSE(reader_.ReadFrame(-1, rate, image));
  EXPECT_TRUE(std::equal(last.begin(), last.end(), image.PixelBlock().begin()));
  EXPECT_EQ(Shown(reader_, {38, 39, 0}, rate), (std::vector<int>{38, 39, 0}));
}

// B-frames reorder the stream: decode order is not display order. AVI stores
// decode times only: with B-frames its packets have no pts.
TEST_F(ClipReaderTest, ReorderedStreamsGiveFrameNAsTheNthFrameShown) {
  const struct {
    const char* name;
    int32_t kind;
    int rate, rateAfter, frames;
    std::vector<int> random;  // backwards, across key frames, into groups of pictures
  } clips[] = {
      {"bframes2997.mov",
       kQuickTimeClip,
       2997,
       2997,
       60,
       {59, 58, 13, 11, 12, 24, 2, 47, 0, 36, 35, 50, 51, 52}},
      {"bframes.avi", kAviClip, 2500, 2997, 45, {44, 9, 10, 11, 30, 2, 29, 0, 22}},
  };
  for (const auto& clip : clips) {
    SCOPED_TRACE(clip.name);
    int rate = clip.rate;
    ASSERT_TRUE(reader_.Open(FileRefFor(Path(clip.name)), rate));
    EXPECT_EQ(rate, clip.rateAfter);
    EXPECT_EQ(reader_.Kind(), clip.kind);
    EXPECT_EQ(reader_.FrameCount(), clip.frames);
    EXPECT_EQ(Shown(reader_, Range(0, clip.frames), rate), Range(0, clip.frames));
    EXPECT_EQ(Shown(reader_, clip.random, rate), clip.random);
    ImageBuffer image;
    ASSERT_TRUE(reader_.ReadFrame(17, rate, image));
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(image.Height(), 240);
    EXPECT_TRUE(test::MarkersInPlace(image));
    EXPECT_FALSE(reader_.ReadFrame(clip.frames, rate, image));
  }
}

TEST_F(ClipReaderTest, QuickTimeClipsRunOnTheirOwnClock) {
  // A QuickTime clip keeps the show's rate and is read by time: at 50 show
  // frames a second, a 25 fps clip advances every other show frame.
  // .mov in any letter case.
  fs::copy_file(Path("mjpeg25.mov"), Path("UPPER.MOV"), fs::copy_options::overwrite_existing);
  int rate = 5000;
  ASSERT_TRUE(reader_.Open(FileRefFor(Path("UPPER.MOV")), rate));
  EXPECT_EQ(reader_.Kind(), kQuickTimeClip);
  EXPECT_EQ(rate, 5000);
  EXPECT_FALSE(IsQuickTimePath(FileRefFor("/clips/take.avi")));
  EXPECT_TRUE(IsQuickTimePath(FileRefFor("/clips/take.MoV")));
  EXPECT_EQ(Shown(reader_, {0, 1, 2, 3, 40, 41, 99}, 5000),
            (std::vector<int>{0, 0, 1, 1, 20, 20, 49}));
  // Show frame 30 at 29.97 is 1.001 seconds in: clip frame 25.
  EXPECT_EQ(Shown(reader_, {30, 29}, 2997), (std::vector<int>{25, 24}));
  // At 23.98 a show frame is no whole number of the clip's 12,800 ticks a
  // second: show frame 47 lies 25,087.6 ticks in, just short of clip frame 49
  // (25,088), and rounds down into frame 48.
  EXPECT_EQ(Shown(reader_, {47, 46}, 2398), (std::vector<int>{48, 47}));
  ImageBuffer image;
  EXPECT_FALSE(reader_.ReadFrame(100, 5000, image));
  EXPECT_FALSE(reader_.ReadFrame(60, 2997, image));
}

// Clips in the containers editors use today are read as QuickTime clips
// are: by time, the show's rate kept, whatever the stream's first time stamp.
TEST_F(ClipReaderTest, ClipsOfTodaysContainersRunOnTheirOwnClock) {
  struct Clip {
    const char* name;
    const char* encoder;
    int bFrames;
    bool openGop;
  };
  // Open groups (MPEG-2 with B-frames, and libx264 asked for them) are read
  // in random order too: the frames just before each key frame in display
  // order are decoded after it and refer back to the group before.
  const std::vector<int> random = {11, 23, 10, 35, 22, 47, 34, 46, 12, 24, 0, 49, 36};
  int tried = 0;
  for (const Clip clip :
       {Clip{"h264.MP4", "libx264", 2, false}, Clip{"vp9.webm", "libvpx-vp9", 0, false},
        Clip{"ffv1.Mkv", "ffv1", 0, false}, Clip{"mpeg2.m2ts", "mpeg2video", 2, false},
        Clip{"open.mp4", "libx264", 3, true}}) {
    if (!test::HasEncoder(clip.encoder)) continue;
    ++tried;
    test::TestClipOptions options{Path(clip.name), clip.encoder, 50, 25, 1, clip.bFrames, 12};
    options.openGop = clip.openGop;
    ASSERT_TRUE(test::WriteTestClip(options)) << clip.name;
    int rate = 5000;
    ASSERT_TRUE(reader_.Open(FileRefFor(Path(clip.name)), rate)) << clip.name;
    EXPECT_EQ(rate, 5000) << clip.name;
    EXPECT_EQ(reader_.Kind(), kQuickTimeClip) << clip.name;
    EXPECT_EQ(Shown(reader_, {0, 1, 2, 3, 40, 41, 99, 31, 6}, 5000),
              (std::vector<int>{0, 0, 1, 1, 20, 20, 49, 15, 3}))
        << clip.name;
    EXPECT_EQ(Shown(reader_, random, 2500), random) << clip.name;
  }
  EXPECT_GE(tried, 2);
  for (const char* name : {"a.mp4", "a.M4V", "a.mkv", "a.MXF", "a.WebM", "a.mts", "a.M2TS"}) {
    EXPECT_TRUE(IsTimedClipName(name)) << name;
    EXPECT_TRUE(IsClipName(name)) << name;
  }
  EXPECT_FALSE(IsTimedClipName("a.mp4.bmp"));
  EXPECT_FALSE(IsClipName("a.mp4.bmp"));
  EXPECT_TRUE(IsClipName("/clips.AVI/still"));  // ".AVI" anywhere in the path still counts
}

TEST_F(ClipReaderTest, ClipsThatDoNotOpenAreReportedWhateverTheirKind) {
  std::ofstream(Path("text.avi")) << "not a movie at all";
  std::ofstream(Path("text.mov")) << "not a movie at all";
  int rate = 2997;
  ASSERT_TRUE(reader_.Open(FileRefFor(Path("mjpeg25.avi")), rate));
  for (const char* name : {"missing.avi", "missing.mov", "text.avi", "text.mov"}) {
    messages_.Clear();
    rate = 2397;
    EXPECT_FALSE(reader_.Open(FileRefFor(Path(name)), rate)) << name;
    EXPECT_EQ(rate, 2397) << name;
    EXPECT_FALSE(reader_.IsOpen()) << name;
    ASSERT_EQ(messages_.texts.size(), 1u) << name;
    EXPECT_EQ(messages_.texts[0], "Error Loading Movie!\n" + Path(name));
    EXPECT_EQ(messages_.codes[0], MessageSink::kNoCode);
  }
  ImageBuffer image;
  EXPECT_FALSE(reader_.ReadFrame(0, rate, image));
  EXPECT_FALSE(image.HasHeader());
}

// Clips of no frame, one frame and 10,000 frames (tiny, so that they are
// quick to make), read at random.
TEST_F(ClipReaderTest, ClipsOfAnyLengthReadAtRandom) {
  struct Clip {
    const char* name;
    const char* encoder;
    int frames;
    int gop;
  };
  std::mt19937 random(14);
  for (const Clip& clip :
       {Clip{"none.avi", "mjpeg", 0, 1}, Clip{"none.mov", "mpeg4", 0, 12},
        Clip{"one.avi", "mpeg4", 1, 12}, Clip{"one.mov", "mjpeg", 1, 1},
        Clip{"long.avi", "mjpeg", 10000, 1}, Clip{"long.mov", "mpeg4", 10000, 50}}) {
    SCOPED_TRACE(clip.name);
    test::TestClipOptions options{Path(clip.name), clip.encoder, clip.frames, 25, 1, 0, clip.gop};
    options.width = 40;
    options.height = 24;
    options.block = 4;
    ASSERT_TRUE(test::WriteTestClip(options));
    messages_.Clear();
    int rate = 2500;
    ASSERT_EQ(reader_.Open(FileRefFor(Path(clip.name)), rate), clip.frames > 0);
    EXPECT_EQ(messages_.texts.size(), clip.frames > 0 ? 0u : 1u);
    if (clip.frames == 0) continue;
    EXPECT_EQ(reader_.FrameCount(), clip.frames);
    ImageBuffer image;
    for (int read = 0; read < 60; ++read) {
      const int frame = int(random() % uint32_t(clip.frames));
      ASSERT_TRUE(reader_.ReadFrame(frame, rate, image)) << frame;
      ASSERT_EQ(test::FrameNumberShown(image, 4), frame);
    }
    EXPECT_FALSE(reader_.ReadFrame(clip.frames, rate, image));
    EXPECT_TRUE(reader_.ReadFrame(clip.frames - 1, rate, image));
  }
}

// Patches the first video stream header's rate or scale in a copy of an AVI.
void PatchStreamHeader(const std::string& from, const std::string& to, int offset, uint32_t value) {
  std::ifstream in(from, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string_view view(bytes.data(), bytes.size());
  const size_t strh = view.find("strh");
  ASSERT_NE(strh, std::string_view::npos);
  ASSERT_EQ(view.substr(strh + 8, 4), "vids");
  for (int i = 0; i < 4; ++i) bytes[strh + 8 + offset + i] = char(value >> (8 * i));
  std::ofstream(to, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

TEST_F(ClipReaderTest, AviWithoutRateInformationIsRefused) {
  // dwScale sits 20 bytes into the stream header, dwRate 24.
  PatchStreamHeader(Path("mjpeg25.avi"), Path("noscale.avi"), 20, 0);
  PatchStreamHeader(Path("mjpeg25.avi"), Path("norate.avi"), 24, 0);
  PatchStreamHeader(Path("mjpeg25.avi"), Path("ntsc.avi"), 24, 30000);
  PatchStreamHeader(Path("ntsc.avi"), Path("ntsc.avi"), 20, 1001);
  for (const char* name : {"noscale.avi", "norate.avi"}) {
    int rate = 2997;
    EXPECT_FALSE(reader_.Open(FileRefFor(Path(name)), rate)) << name;
    EXPECT_EQ(rate, 2997);
  }
  EXPECT_EQ(messages_.texts.size(), 2u);
  // The rate is taken from the header in integer hundredths.
  int rate = 2500;
  ASSERT_TRUE(reader_.Open(FileRefFor(Path("ntsc.avi")), rate));
  EXPECT_EQ(rate, 2997);
}

}  // namespace
}  // namespace vantoril
