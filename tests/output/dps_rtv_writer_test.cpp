// The DPS and RTV adapters against stand-in libraries that log every call.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/image_buffer.h"
#include "output/dynamic_library.h"
#include "output/movie_writer.h"
#include "output/stand_ins/stand_in_log.h"
#include "output/support/movie_reader.h"
#include "output/support/test_frames.h"
#include "support/message_recorder.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

const std::filesystem::path kStandIns = VANTORIL_STAND_IN_FOLDER;

class StandInTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    folder_ = test::FreshFolder(std::string("stand_in_") + info->name());
    log_ = folder_ / "calls.log";
    setenv("QUENNET_STAND_IN_LOG", log_.c_str(), 1);
    unsetenv("QUENNET_STAND_IN_FAIL");
  }
  void TearDown() override {
    unsetenv("QUENNET_STAND_IN_LOG");
    unsetenv("QUENNET_STAND_IN_FAIL");
  }

  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  MovieRequest Request(const std::string& name, float fps,
                       const std::filesystem::path& libraries = kStandIns) const {
    MovieRequest request;
    request.path = (folder_ / name).string();
    request.frameRate = fps;
    request.quality = 100;
    request.totalFrames = 7;
    request.libraryFolder = libraries;
    return request;
  }

  static std::string Sum(const ImageBuffer& frame, size_t bytes) {
    return std::to_string(stand_in::Sum(frame.PixelBlock().data(), static_cast<long>(bytes)));
  }

  std::filesystem::path folder_;
  std::filesystem::path log_;
};

// NTSC frames have 525 lines, PAL ones 625; the stand-in compresses to a tenth.
TEST_F(StandInTest, DpsSendsWhatTheLibrariesExpect) {
  struct Case {
    float fps;
    int height, lines, quality;
    size_t bytes;  // 720 x height x 4
  };
  for (Case c : {Case{29.97f, 486, 525, 100, 1399680}, Case{25.0f, 576, 625, 37, 1658880}}) {
    std::filesystem::remove(log_);
    MovieRequest request = Request("m" + std::to_string(c.lines) + ".dps", c.fps);
    request.quality = c.quality;
    const ImageBuffer first = test::PatternFrame(720, c.height, 1);
    const ImageBuffer second = test::PatternFrame(720, c.height, 2);
    MovieWriter writer = MovieWriter::Open(request, first);
    ASSERT_TRUE(writer.IsOpen()) << writer.ErrorDetail();
    EXPECT_EQ(writer.Kind(), MovieKind::kDps);
    EXPECT_TRUE(writer.WriteMovieFrame(-1, first));
    EXPECT_TRUE(writer.WriteMovieFrame(-1, second));
    EXPECT_TRUE(writer.CloseMovieWriter());

    const size_t bytes = c.bytes;
    const std::string lines = std::to_string(c.lines);
    const std::vector<std::string> expected = {
        "CreateQuennetMjpg " + lines + " " + std::to_string(0x3332),
        "SetQuality " + std::to_string(c.quality * 100),
        "CreateQuennetDps5 " + request.path + " " + lines + " 7 4",
        "Encode " + std::to_string(bytes) + " " + Sum(first, bytes),
        "WriteFrame " + std::to_string(bytes / 10) + " " + Sum(first, bytes / 10),
        "Encode " + std::to_string(bytes) + " " + Sum(second, bytes),
        "WriteFrame " + std::to_string(bytes / 10) + " " + Sum(second, bytes / 10),
        "Release",
        "CloseAndRelease",
    };
    EXPECT_EQ(Calls(), expected);
    EXPECT_EQ(test::ReadText(request.path),
              std::to_string(bytes / 10) + "\n" + std::to_string(bytes / 10) + "\n");
  }
}

TEST_F(StandInTest, DpsRefusesOtherSizesBeforeLoadingAnything) {
  for (auto [width, height, fps] :
       {std::tuple{640, 480, 29.97f}, {720, 576, 29.97f}, {720, 486, 25.0f}, {720, 480, 29.97f}}) {
    EXPECT_FALSE(MovieWriter::Open(Request("m.dps", fps), ImageBuffer(width, height, 32)).IsOpen())
        << width << "x" << height << " at " << fps;
  }
  EXPECT_TRUE(Calls().empty());
}

// Without the libraries only RTV shows a message of its own; DPS names the
// cause in the failure's detail. What the DPS open made is released.
TEST_F(StandInTest, MissingOrBrokenLibrariesReleaseWhatWasMade) {
  const ImageBuffer dps(720, 486, 32);
  const ImageBuffer rtv(64, 48, 32);
  test::MessageRecorder sink;
  MovieWriter missing = MovieWriter::Open(Request("a.dps", 29.97f, folder_), dps, &sink);
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_NE(missing.ErrorDetail().find("libQuennetMjpg.so, which is not installed"),
            std::string::npos)
      << missing.ErrorDetail();
  EXPECT_TRUE(sink.texts.empty());
  EXPECT_FALSE(MovieWriter::Open(Request("m.rtv", 29.97f, folder_), rtv, &sink).IsOpen());
  EXPECT_EQ(sink.texts, std::vector<std::string>{"QuennetRTV.dll is not installed!"});
  EXPECT_EQ(sink.codes, std::vector<long>{MessageSink::kNoCode});
  EXPECT_TRUE(Calls().empty());

  sink.Clear();
  MovieWriter broken = MovieWriter::Open(Request("b.dps", 29.97f, kStandIns / "broken"), dps);
  EXPECT_EQ(broken.ErrorDetail(), "libQuennetDps5.so has no CreateQuennetDps5");
  EXPECT_FALSE(
      MovieWriter::Open(Request("m.rtv", 29.97f, kStandIns / "broken"), rtv, &sink).IsOpen());
  EXPECT_TRUE(sink.texts.empty());
  EXPECT_EQ(Calls(), (std::vector<std::string>{"CreateQuennetMjpg 525 " + std::to_string(0x3332),
                                               "Release"}));

  for (const auto& [failing, detail] :
       {std::pair{"CreateQuennetMjpg@0",
                  "the Motion-JPEG encoder of libQuennetMjpg.so could not be made"},
        {"SetQuality@0", "the Motion-JPEG encoder refused the quality"},
        {"CreateQuennetDps5@0", "the DPS library could not make the file (code 1)"}}) {
    std::filesystem::remove(log_);
    setenv("QUENNET_STAND_IN_FAIL", failing, 1);
    const MovieWriter failed = MovieWriter::Open(Request("c.dps", 29.97f), dps);
    EXPECT_FALSE(failed.IsOpen()) << failing;
    EXPECT_EQ(failed.ErrorDetail(), detail);
    const std::vector<std::string> calls = Calls();
    // An encoder that was made is released once; one that was not, never.
    const bool made = std::string(failing) != "CreateQuennetMjpg@0";
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Release"), made ? 1 : 0) << failing;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "CloseAndRelease"), 0) << failing;
  }
}

TEST_F(StandInTest, RtvNumbersFramesAndPassesTheBufferBottomUp) {
  const MovieRequest request = Request("m.rtv", 29.97f);
  std::vector<ImageBuffer> frames;
  for (int i = 0; i < 3; ++i) frames.push_back(test::PatternFrame(64, 48, i));
  MovieWriter writer = MovieWriter::Open(request, frames[0]);
  ASSERT_TRUE(writer.IsOpen());
  EXPECT_EQ(writer.Kind(), MovieKind::kRtv);
  for (const ImageBuffer& frame : frames) EXPECT_TRUE(writer.WriteMovieFrame(-1, frame));
  EXPECT_TRUE(writer.CloseMovieWriter());

  std::vector<std::string> expected = {"VTOpen " + request.path + " 64 48 32"};
  for (int i = 0; i < 3; ++i) {
    expected.push_back("VTWrite " + request.path + " " + std::to_string(i) + " 64 48 " +
                       Sum(frames[i], 64 * 48 * 4));
  }
  expected.push_back("VTClose " + request.path);
  EXPECT_EQ(Calls(), expected);
}

// A frame the library refuses is refused; the writer still closes (DPS) or
// reports the failed close (RTV).
TEST_F(StandInTest, DpsAndRtvRefusals) {
  const ImageBuffer dps(720, 486, 32);
  for (const char* failing : {"Encode@1", "WriteFrame@1"}) {
    setenv("QUENNET_STAND_IN_FAIL", failing, 1);
    MovieWriter writer = MovieWriter::Open(Request("m.dps", 29.97f), dps);
    ASSERT_TRUE(writer.IsOpen());
    EXPECT_TRUE(writer.WriteMovieFrame(-1, dps)) << failing;
    EXPECT_FALSE(writer.WriteMovieFrame(-1, dps)) << failing;
    EXPECT_TRUE(writer.CloseMovieWriter());
  }
  const ImageBuffer frame(64, 48, 32);
  setenv("QUENNET_STAND_IN_FAIL", "VTOpen@0", 1);
  EXPECT_FALSE(MovieWriter::Open(Request("a.rtv", 29.97f), frame).IsOpen());

  setenv("QUENNET_STAND_IN_FAIL", "VTWrite@1,VTClose@0", 1);
  MovieWriter writer = MovieWriter::Open(Request("b.rtv", 29.97f), frame);
  ASSERT_TRUE(writer.IsOpen());
  EXPECT_TRUE(writer.WriteMovieFrame(-1, frame));
  EXPECT_FALSE(writer.WriteMovieFrame(-1, frame));
  EXPECT_FALSE(writer.CloseMovieWriter());
}

TEST(DynamicLibraryTest, LoadsOnlyPlainNamesFromTheFolderGiven) {
  EXPECT_TRUE(DynamicLibrary::Load("libQuennetRTV.so", kStandIns).IsLoaded());
  EXPECT_FALSE(DynamicLibrary::Load("../stand_ins/libQuennetRTV.so", kStandIns).IsLoaded());
  EXPECT_FALSE(DynamicLibrary::Load("libQuennetRTV.so", kStandIns / "missing").IsLoaded());
  // Without a folder: the program's folder and the system's paths, where no
  // such library is installed.
  EXPECT_FALSE(DynamicLibrary::Load("libQuennetRTV.so").IsLoaded());

  DynamicLibrary library = DynamicLibrary::Load("libQuennetRTV.so", kStandIns);
  EXPECT_NE(library.Symbol("VTWrite"), nullptr);
  EXPECT_EQ(library.Symbol("VTNothing"), nullptr);
  DynamicLibrary moved = std::move(library);
  EXPECT_FALSE(library.IsLoaded());  // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(moved.IsLoaded());
  moved.Unload();
  EXPECT_EQ(moved.Symbol("VTWrite"), nullptr);
  EXPECT_FALSE(ProgramFolder().empty());
}

}  // namespace
}  // namespace vantoril
