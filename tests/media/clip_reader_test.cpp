#include "media/clip_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/clip_names.h"
#include "support/message_recorder.h"
#include "support/test_clip.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;

FileSpec FileRefFor(const fs::path& path) {
  FileSpec file;
  EXPECT_TRUE(file.SetPath(path.string()));
  return file;
}

struct Clip {
  const char* name;
  const char* encoder;  // the first of these the libraries have
  int frames, rateNum, rateDen, bFrames, gop;
  bool openGop;
  bool tiny;  // 40 x 24 with 4-pixel blocks: quick to make at any length
  int32_t kind;
  int rate, rateAfter;  // the show's rate before and after the open
};

// AVI clips set the show's rate and are read by frame number; the others keep
// it and are read by time. B-frames reorder the stream (AVI stores decode
// times only: its packets then have no pts); open groups (MPEG-2 with
// B-frames, libx264 asked for them) decode the frames just before a key
// frame after it, referring back to the group before.
const Clip kClips[] = {
    {"mjpeg25.avi", "mjpeg", 40, 25, 1, 0, 12, false, false, kAviClip, 2997, 2500},
    {"bframes.avi", "mpeg4", 45, 30000, 1001, 2, 10, false, false, kAviClip, 2500, 2997},
    {"bframes2997.mov", "libx264 mpeg4", 60, 30000, 1001, 2, 12, false, false, kQuickTimeClip, 2997,
     2997},
    {"mjpeg25.MOV", "mjpeg", 50, 25, 1, 0, 12, false, false, kQuickTimeClip, 5000, 5000},
    {"h264.MP4", "libx264", 50, 25, 1, 2, 12, false, false, kQuickTimeClip, 5000, 5000},
    {"vp9.webm", "libvpx-vp9", 50, 25, 1, 0, 12, false, false, kQuickTimeClip, 5000, 5000},
    {"ffv1.Mkv", "ffv1", 50, 25, 1, 0, 12, false, false, kQuickTimeClip, 5000, 5000},
    {"mpeg2.m2ts", "mpeg2video", 50, 25, 1, 2, 12, false, false, kQuickTimeClip, 5000, 5000},
    {"open.mp4", "libx264", 50, 25, 1, 3, 12, true, false, kQuickTimeClip, 5000, 5000},
    {"one.avi", "mpeg4", 1, 25, 1, 0, 12, false, true, kAviClip, 2500, 2500},
    {"one.mov", "mjpeg", 1, 25, 1, 0, 1, false, true, kQuickTimeClip, 2500, 2500},
    {"long.avi", "mjpeg", 10000, 25, 1, 0, 1, false, true, kAviClip, 2500, 2500},
    {"long.mov", "mpeg4", 10000, 25, 1, 0, 50, false, true, kQuickTimeClip, 2500, 2500},
};

// Backwards, across key frames, into groups of pictures, the frames before
// each key frame; a clip reads those it has.
const int kJumps[] = {59, 58, 13, 11, 23, 10, 35, 22, 47, 34, 46, 12, 24, 2,  44, 9,
                      30, 29, 0,  49, 36, 50, 51, 52, 37, 3,  20, 19, 21, 21, 39, 1};

std::string EncoderFor(const Clip& clip) {
  const std::string names = clip.encoder;
  const size_t space = names.find(' ');
  const std::string first = names.substr(0, space);
  return space == std::string::npos || test::HasEncoder(first) ? first : names.substr(space + 1);
}

test::TestClipOptions Tiny(test::TestClipOptions options) {
  options.width = 40;
  options.height = 24;
  options.block = 4;
  return options;
}

class ClipReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = test::FreshFolder("clip_reader");
    ClipReader quiet(nullptr);  // also silences the encoders below
    for (const Clip& clip : kClips) {
      const std::string encoder = EncoderFor(clip);
      // The libraries' own encoders are always there.
      if (encoder.rfind("lib", 0) == 0 && !test::HasEncoder(encoder)) continue;
      test::TestClipOptions options{Path(clip.name), encoder,      clip.frames, clip.rateNum,
                                    clip.rateDen,    clip.bFrames, clip.gop};
      options.openGop = clip.openGop;
      ASSERT_TRUE(test::WriteTestClip(clip.tiny ? Tiny(options) : options)) << clip.name;
    }
  }

  static std::string Path(const std::string& name) { return (folder_ / name).string(); }

  // Reads the show frames in order and returns the numbers they show.
  std::vector<int> Shown(const std::vector<int>& frames, int rate, int block = 32) {
    std::vector<int> shown;
    for (int frame : frames) {
      shown.push_back(reader_.ReadFrame(frame, rate, image_) ? test::FrameNumberShown(image_, block)
                                                             : -2);
    }
    return shown;
  }

  test::MessageRecorder messages_;
  ClipReader reader_{&messages_};
  ImageBuffer image_;

  static fs::path folder_;
};

fs::path ClipReaderTest::folder_;

TEST_F(ClipReaderTest, FrameNIsTheNthFrameShownInAnyOrder) {
  std::mt19937 random(14);
  for (const Clip& clip : kClips) {
    if (!fs::exists(Path(clip.name))) continue;
    SCOPED_TRACE(clip.name);
    int rate = clip.rate;
    ASSERT_TRUE(reader_.Open(FileRefFor(Path(clip.name)), rate));
    EXPECT_EQ(rate, clip.rateAfter);
    EXPECT_EQ(reader_.Kind(), clip.kind);
    EXPECT_EQ(reader_.FrameCount(), clip.frames);
    // At the clip's own rate show frame n is clip frame n.
    const int own = clip.rateNum * 100 / clip.rateDen;
    const int block = clip.tiny ? 4 : 32;
    std::vector<int> frames;
    for (int i = 0; i < std::min(clip.frames, 60); ++i) frames.push_back(i);
    EXPECT_EQ(Shown(frames, own, block), frames);
    frames.clear();
    std::copy_if(std::begin(kJumps), std::end(kJumps), std::back_inserter(frames),
                 [&](int frame) { return frame < clip.frames; });
    for (int read = 0; read < 20; ++read) frames.push_back(int(random() % uint32_t(clip.frames)));
    EXPECT_EQ(Shown(frames, own, block), frames);

    // Frames past the end leave the background as it was, and the reader usable.
    ASSERT_TRUE(reader_.ReadFrame(clip.frames - 1, own, image_));
    const std::vector<uint8_t> last(image_.PixelBlock().begin(), image_.PixelBlock().end());
    EXPECT_EQ(Shown({clip.frames, 100000, -1}, own), (std::vector<int>{-2, -2, -2}));
    EXPECT_TRUE(std::equal(last.begin(), last.end(), image_.PixelBlock().begin()));
    EXPECT_EQ(Shown({clip.frames - 1, 0}, own, block), (std::vector<int>{clip.frames - 1, 0}));
    if (!clip.tiny) {
      ASSERT_TRUE(reader_.ReadFrame(17, own, image_));
      EXPECT_EQ(image_.Width(), 320);
      EXPECT_EQ(image_.Height(), 240);
      EXPECT_EQ(image_.BitsPerPixel(), 32);
      EXPECT_TRUE(test::MarkersInPlace(image_));
    }
    if (clip.kind != kQuickTimeClip || clip.frames != 50) continue;
    // A timed clip runs on its own clock: at 50 show frames a second a 25 fps
    // clip advances every other show frame; show frame 30 at 29.97 is 1.001 s
    // in. At 23.98 show frame 47 lies just short of clip frame 49 (25,087.6
    // of the QuickTime clip's 12,800 ticks a second against 25,088) and
    // rounds down into frame 48.
    const struct {
      int frame, rate, shown;
    } clock[] = {{0, 5000, 0},   {1, 5000, 0},   {2, 5000, 1},   {3, 5000, 1},    {40, 5000, 20},
                 {41, 5000, 20}, {99, 5000, 49}, {31, 5000, 15}, {6, 5000, 3},    {30, 2997, 25},
                 {29, 2997, 24}, {47, 2398, 48}, {46, 2398, 47}, {100, 5000, -2}, {60, 2997, -2}};
    for (const auto& c : clock) EXPECT_EQ(Shown({c.frame}, c.rate)[0], c.shown) << c.frame;
  }
  EXPECT_TRUE(messages_.texts.empty());
  EXPECT_FALSE(IsQuickTimePath(FileRefFor("/clips/take.avi")));
  EXPECT_TRUE(IsQuickTimePath(FileRefFor("/clips/take.MoV")));
  for (const char* name : {"a.mp4", "a.M4V", "a.mkv", "a.MXF", "a.WebM", "a.mts", "a.M2TS"}) {
    EXPECT_TRUE(IsTimedClipName(name)) << name;
    EXPECT_TRUE(IsClipName(name)) << name;
  }
  EXPECT_FALSE(IsTimedClipName("a.mp4.bmp"));
  EXPECT_FALSE(IsClipName("a.mp4.bmp"));
  EXPECT_TRUE(IsClipName("/clips.AVI/still"));  // ".AVI" anywhere in the path still counts
}

// Patches the first video stream header's rate or scale in a copy of an AVI.
void PatchStreamHeader(const std::string& from, const std::string& to, int offset, uint32_t value) {
  std::vector<uint8_t> bytes = test::ReadBytes(from);
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const size_t strh = view.find("strh");
  ASSERT_NE(strh, std::string_view::npos);
  ASSERT_EQ(view.substr(strh + 8, 4), "vids");
  for (int i = 0; i < 4; ++i) bytes[strh + 8 + offset + i] = uint8_t(value >> (8 * i));
  test::WriteBytes(to, bytes);
}

// A clip recorded on its side (a phone held upright) is shown as players
// show it: turned as the stream says.
TEST_F(ClipReaderTest, ClipsAreShownTurnedAsTheirStreamSays) {
  if (!test::HasEncoder("mpeg4")) GTEST_SKIP() << "no MPEG-4 encoder";
  for (const int turns : {1, 2, 3}) {
    SCOPED_TRACE(turns);
    const std::string name = Path("turned" + std::to_string(turns) + ".mov");
    test::TestClipOptions options{name, "mpeg4", 3};
    options.displayTurns = turns;
    ASSERT_TRUE(test::WriteTestClip(options));
    int rate = 2500;
    ASSERT_TRUE(reader_.Open(FileRefFor(name), rate));
    ASSERT_TRUE(reader_.ReadFrame(1, rate, image_));
    EXPECT_EQ(image_.Width(), turns == 2 ? 320 : 240);
    EXPECT_EQ(image_.Height(), turns == 2 ? 240 : 320);
    EXPECT_TRUE(test::MarkersInPlace(image_, turns));
    if (turns == 2) {
      EXPECT_FALSE(test::MarkersInPlace(image_, 0));
    }
  }
}

TEST_F(ClipReaderTest, ClipsThatDoNotOpenAreReportedWhateverTheirKind) {
  std::ofstream(Path("text.avi")) << "not a movie at all";
  std::ofstream(Path("text.mov")) << "not a movie at all";
  for (const char* name : {"none.avi", "none.mov"}) {
    ASSERT_TRUE(test::WriteTestClip(Tiny({Path(name), "mjpeg", 0})));
  }
  // dwScale sits 20 bytes into the stream header, dwRate 24.
  PatchStreamHeader(Path("mjpeg25.avi"), Path("noscale.avi"), 20, 0);
  PatchStreamHeader(Path("mjpeg25.avi"), Path("norate.avi"), 24, 0);
  ASSERT_EQ(mkfifo(Path("pipe.mov").c_str(), 0600), 0);  // a read would wait
  int rate = 2997;
  ASSERT_TRUE(reader_.Open(FileRefFor(Path("mjpeg25.avi")), rate));
  for (const char* name : {"missing.avi", "missing.mov", "text.avi", "text.mov", "none.avi",
                           "none.mov", "noscale.avi", "norate.avi", "pipe.mov"}) {
    messages_.Clear();
    rate = 2397;
    EXPECT_FALSE(reader_.Open(FileRefFor(Path(name)), rate)) << name;
    EXPECT_EQ(rate, 2397) << name;
    EXPECT_FALSE(reader_.IsOpen()) << name;
    EXPECT_EQ(messages_.texts, std::vector<std::string>{"Error Loading Movie!\n" + Path(name)});
    EXPECT_EQ(messages_.codes, std::vector<long>{MessageSink::kNoCode});
  }
  EXPECT_FALSE(reader_.ReadFrame(0, rate, image_));
  EXPECT_FALSE(image_.HasHeader());

  // The rate is taken from the header in integer hundredths.
  PatchStreamHeader(Path("mjpeg25.avi"), Path("ntsc.avi"), 24, 30000);
  PatchStreamHeader(Path("ntsc.avi"), Path("ntsc.avi"), 20, 1001);
  rate = 2500;
  ASSERT_TRUE(reader_.Open(FileRefFor(Path("ntsc.avi")), rate));
  EXPECT_EQ(rate, 2997);
}

// A frame inside the clip that does not decode (its data lost) keeps the
// frame before and is counted with its number, which the program tells once
// it has composed; frames past the end are none to read and are not.
TEST_F(ClipReaderTest, FramesThatDoNotDecodeAreCounted) {
  fs::copy_file(Path("mjpeg25.avi"), Path("damaged.avi"));
  ASSERT_TRUE(test::LoseAviFrame(Path("damaged.avi"), 10));

  int rate = 2500;
  ASSERT_TRUE(reader_.Open(FileRefFor(Path("damaged.avi")), rate));
  EXPECT_EQ(reader_.Undecoded().reads, 0);
  EXPECT_EQ(Shown({9, 10, 11, 10, 40, 45}, rate), (std::vector<int>{9, -2, 11, -2, -2, -2}));
  EXPECT_EQ(reader_.Undecoded().reads, 2);
  EXPECT_EQ(reader_.Undecoded().first, 10);
  EXPECT_EQ(reader_.Undecoded().last, 10);
  ASSERT_TRUE(reader_.Open(FileRefFor(Path("mjpeg25.avi")), rate));
  EXPECT_EQ(reader_.Undecoded().reads, 0);
  EXPECT_EQ(reader_.Undecoded().first, -1);
}

}  // namespace
}  // namespace vantoril
