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

namespace {

namespace fs = std::filesystem;

// The smallest show: a background reference and no pictures.
void WriteShowWithBackground(const fs::path& show, const std::string& background) {
  std::vector<uint8_t> bytes(338, 0);
  bytes[0] = 0x34;
  bytes[1] = 0x12;
  bytes[4] = 338 & 0xFF;
  bytes[5] = 338 >> 8;
  std::memcpy(bytes.data() + 8 + 6, background.data(), background.size());
  std::ofstream(show, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
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
  const fs::path folder = vantoril::test::TestFolder("cli_clip_background");
  const fs::path clip = folder / "clip.avi";
  ASSERT_TRUE(vantoril::test::WriteTestClip(
      {.path = clip.string(), .encoder = "mjpeg", .frames = 12, .rateNum = 25, .rateDen = 1}));
  const fs::path show = folder / "clip.vsh";
  WriteShowWithBackground(show, clip.string());

  const fs::path movie = folder / "out.avi";
  // The clip brings its 25 frames per second; "00:00:10" is ten frames.
  const std::string command = std::string("XDG_CONFIG_HOME='") + folder.string() + "' '" +
                              VANTORIL_CLI + "' render '" + show.string() + "' '" + movie.string() +
                              "' --codec 'DIB ' --width 320 --height 240 --no-fields"
                              " --end 00:00:10 --hold 00:00:02 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);

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
  const fs::path folder = vantoril::test::TestFolder("cli_clip_rate");
  struct Case {
    int rateNum, rateDen;
    const char* setting;
    size_t frames;
  };
  for (const Case& c : {Case{25, 1, "2997", 30}, Case{30000, 1001, "2500", 35}}) {
    const fs::path clip = folder / "clip.avi";
    ASSERT_TRUE(vantoril::test::WriteTestClip({.path = clip.string(),
                                               .encoder = "mjpeg",
                                               .frames = 40,
                                               .rateNum = c.rateNum,
                                               .rateDen = c.rateDen}));
    const fs::path show = folder / "clip.vsh";
    WriteShowWithBackground(show, clip.string());
    const fs::path frames = folder / std::to_string(c.rateNum);
    fs::create_directories(frames);
    const std::string command = std::string("XDG_CONFIG_HOME='") + folder.string() + "' '" +
                                VANTORIL_CLI + "' render '" + show.string() + "' '" +
                                (frames / "f%04d.png").string() +
                                "' --width 16 --height 12 --no-fields --end 00:00:01:05"
                                " --frame-rate " +
                                c.setting + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto count = std::distance(fs::directory_iterator(frames), fs::directory_iterator());
    EXPECT_EQ(static_cast<size_t>(count), c.frames) << c.rateNum << "/" << c.rateDen;
  }
}

}  // namespace
