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

// Writes a test clip and the smallest show over it (a background reference
// and no pictures), and renders the show with vantoril-cli to `out`.
int RenderOverClip(const fs::path& folder, vantoril::test::TestClipOptions clip,
                   const fs::path& out, const std::string& options) {
  clip.path = (folder / "clip.avi").string();
  if (!vantoril::test::WriteTestClip(clip)) return -1;
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
  const std::string command = "XDG_CONFIG_HOME='" + folder.string() +
                              "' '" VANTORIL_CLI "' render '" + show.string() + "' '" +
                              out.string() + "' " + options + " 2>/dev/null";
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

TEST(CliClipBackground, EveryMovieFrameShowsTheClipFrameOfItsTime) {
  const fs::path folder = vantoril::test::FreshFolder("cli_clip_background");
  const fs::path movie = folder / "out.avi";
  // The clip brings its 25 frames per second; "00:00:10" is ten frames.
  ASSERT_EQ(RenderOverClip(
                folder, {.path = "", .encoder = "mjpeg", .frames = 12, .rateNum = 25, .rateDen = 1},
                movie,
                "--codec 'DIB ' --width 320 --height 240 --no-fields"
                " --end 00:00:10 --hold 00:00:02"),
            0);

  const auto contents = vantoril::test::ReadMovie(movie);
  ASSERT_TRUE(contents.ok) << contents.error;
  ASSERT_EQ(contents.frames.size(), 14u);  // two held frames at each end
  std::vector<int> shown;
  for (const auto& frame : contents.frames) {
    shown.push_back(vantoril::test::FrameNumberShown(ToBuffer(frame)));
  }
  EXPECT_EQ(shown, (std::vector<int>{0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9}));
}

// Timecodes count in the rate the clip gives the show, whatever the setting.
TEST(CliClipBackground, TimecodesCountInTheClipsFrameRate) {
  const fs::path folder = vantoril::test::FreshFolder("cli_clip_rate");
  struct Case {
    int rateNum, rateDen;
    const char* setting;
    size_t frames;
  };
  for (const Case& c : {Case{25, 1, "2997", 30}, Case{30000, 1001, "2500", 35}}) {
    const fs::path frames = folder / std::to_string(c.rateNum);
    fs::create_directories(frames);
    ASSERT_EQ(RenderOverClip(folder,
                             {.path = "",
                              .encoder = "mjpeg",
                              .frames = 40,
                              .rateNum = c.rateNum,
                              .rateDen = c.rateDen},
                             frames / "f%04d.png",
                             "--width 16 --height 12 --no-fields --end 00:00:01:05 --frame-rate " +
                                 std::string(c.setting)),
              0);
    const auto count = std::distance(fs::directory_iterator(frames), fs::directory_iterator());
    EXPECT_EQ(static_cast<size_t>(count), c.frames) << c.rateNum << "/" << c.rateDen;
  }
}

}  // namespace
