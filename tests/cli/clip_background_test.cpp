// A show over a movie clip, rendered by vantoril-cli: every movie frame
// carries the clip frame of its show frame.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/image_buffer.h"
#include "media/support/test_clip.h"
#include "output/support/movie_reader.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;

// Writes a test clip (with one frame lost, when asked) and the smallest show
// over it (a background reference and no pictures), and renders the show
// with vantoril-cli to `out`; its stderr goes to stderr.txt.
int RenderOverClip(const fs::path& folder, vantoril::test::TestClipOptions clip,
                   const fs::path& out, const std::string& options, int lostFrame = -1) {
  clip.path = (folder / "clip.avi").string();
  if (!vantoril::test::WriteTestClip(clip)) return -1;
  if (lostFrame >= 0 && !vantoril::test::LoseAviFrame(clip.path, lostFrame)) return -1;
  const fs::path show = folder / "clip.vsh";
  std::vector<uint8_t> bytes(338, 0);
  bytes[0] = 0x34;
  bytes[1] = 0x12;
  bytes[4] = 338 & 0xFF;
  bytes[5] = 338 >> 8;
  std::memcpy(bytes.data() + 8 + 6, clip.path.data(), clip.path.size());
  std::ofstream(show, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const std::string command =
      "XDG_CONFIG_HOME='" + folder.string() + "' '" VANTORIL_CLI "' render '" + show.string() +
      "' '" + out.string() + "' " + options + " 2>'" + (folder / "stderr.txt").string() + "'";
  return std::system(command.c_str());
}

vantoril::ImageBuffer ToBuffer(const vantoril::test::DecodedFrame& frame) {
  vantoril::ImageBuffer image(frame.width, frame.height, 32);
  for (int y = 0; y < frame.height; ++y) {
    std::memcpy(image.RowPointer(frame.height - 1 - y), frame.bgra.data() + y * frame.width * 4,
                static_cast<size_t>(frame.width) * 4);
  }
  return image;
}

// Timecodes count in the rate the clip gives the show, whatever the setting:
// "00:00:01:05" is 30 frames at 25 a second and 35 at 29.97; the holds
// repeat the first and the last frame.
TEST(CliClipBackground, EveryMovieFrameShowsTheClipFrameOfItsTime) {
  const fs::path folder = vantoril::test::FreshFolder("cli_clip_background");
  struct Case {
    int rateNum, rateDen;
    const char* setting;
    int frames;
  };
  for (const Case& c : {Case{25, 1, "2997", 30}, Case{30000, 1001, "2500", 35}}) {
    const fs::path movie = folder / (std::to_string(c.rateNum) + ".avi");
    ASSERT_EQ(RenderOverClip(folder,
                             {.path = "",
                              .encoder = "mjpeg",
                              .frames = 40,
                              .rateNum = c.rateNum,
                              .rateDen = c.rateDen},
                             movie,
                             "--codec 'DIB ' --width 320 --height 240 --no-fields"
                             " --end 00:00:01:05 --hold 00:00:02 --frame-rate " +
                                 std::string(c.setting)),
              0);
    const auto contents = vantoril::test::ReadMovie(movie);
    ASSERT_TRUE(contents.ok) << contents.error;
    std::vector<int> shown;
    for (const auto& frame : contents.frames) {
      shown.push_back(vantoril::test::FrameNumberShown(ToBuffer(frame)));
    }
    std::vector<int> expected = {0, 0};
    for (int i = 0; i < c.frames; ++i) expected.push_back(i);
    expected.insert(expected.end(), 2, c.frames - 1);
    EXPECT_EQ(shown, expected) << c.rateNum << "/" << c.rateDen;
  }
}

// A clip frame that does not decode: the frame before stands in for it in a
// movie, and the render, the null sink and a single frame say so with the
// clip's name.
TEST(CliClipBackground, AFrameThatDoesNotDecodeIsToldAndTheFrameBeforeStandsIn) {
  const fs::path folder = vantoril::test::FreshFolder("cli_clip_lost_frame");
  const fs::path movie = folder / "over.avi";
  ASSERT_EQ(RenderOverClip(folder, {.path = "", .encoder = "mjpeg", .frames = 12}, movie,
                           "--codec 'DIB ' --width 320 --height 240 --no-fields --end 00:00:10", 5),
            0);
  const std::string told =
      "Some frames of the background clip could not be decoded (clip frame "
      "5); the background stays as it was for them.\n" +
      (folder / "clip.avi").string();
  EXPECT_NE(vantoril::test::ReadText(folder / "stderr.txt").find(told), std::string::npos);
  const auto contents = vantoril::test::ReadMovie(movie);
  ASSERT_TRUE(contents.ok) << contents.error;
  std::vector<int> shown;
  for (const auto& frame : contents.frames) {
    shown.push_back(vantoril::test::FrameNumberShown(ToBuffer(frame)));
  }
  EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4, 4, 6, 7, 8, 9}));

  // A single frame over it, and the null sink, tell it too.
  for (const std::string& words :
       {"frame '" + (folder / "clip.vsh").string() + "' 5 '" + (folder / "five.png").string() + "'",
        "render '" + (folder / "clip.vsh").string() + "' - --end 00:00:10"}) {
    const std::string command = "XDG_CONFIG_HOME='" + folder.string() + "' '" VANTORIL_CLI "' " +
                                words + " 2>'" + (folder / "stderr.txt").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << words;
    EXPECT_NE(vantoril::test::ReadText(folder / "stderr.txt").find(told), std::string::npos)
        << words;
  }
}

}  // namespace
