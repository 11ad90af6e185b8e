#include "output/movie_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/image_buffer.h"
#include "output/codec_table.h"
#include "output/movie_join.h"
#include "output/support/movie_reader.h"
#include "output/support/test_frames.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

using test::ExpectedBgra;
using test::FreshFolder;
using test::PatternFrame;
using test::ReadMovie;

MovieRequest Request(const std::filesystem::path& path, const std::string& code = "",
                     float fps = 29.97f) {
  MovieRequest request;
  request.path = path.string();
  request.codecType = code;
  request.frameRate = fps;
  return request;
}

// Writes `count` pattern frames and returns the frames written.
std::vector<ImageBuffer> WriteMovie(const MovieRequest& request, int width, int height, int count) {
  std::vector<ImageBuffer> frames;
  for (int i = 0; i < count; ++i) frames.push_back(PatternFrame(width, height, i));
  MovieWriter writer = MovieWriter::Open(request, frames[0]);
  EXPECT_TRUE(writer.IsOpen()) << writer.ErrorDetail();
  for (const ImageBuffer& frame : frames) {
    EXPECT_TRUE(writer.WriteMovieFrame(-1, frame)) << writer.ErrorDetail();
  }
  EXPECT_TRUE(writer.CloseMovieWriter()) << writer.ErrorDetail();
  return frames;
}

// A codec of the table, the frame size written with it, and the pixel
// aspect that shows 16:9 at that size.
struct CodecCase {
  size_t entry;
  int width, height, aspectNum, aspectDen;
};

std::string CaseName(const testing::TestParamInfo<CodecCase>& info) {
  const CodecEntry& entry = CodecTable()[info.param.entry];
  std::string name;
  for (char c : std::string(entry.fourcc) + std::string(ContainerName(entry.container))) {
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  }
  return name + "_" + std::to_string(info.param.width);
}

std::vector<CodecCase> CodecCases() {
  std::vector<CodecCase> cases;
  for (size_t i = 0; i < CodecTable().size(); ++i) {
    cases.push_back({i, 64, 48, 4, 3});
    // 33 x 3 bytes: rows padded to 4 bytes.
    const std::string_view code = CodecTable()[i].fourcc;
    if (code == "DIB " || code == "rle ") cases.push_back({i, 33, 17, 272, 297});
    // Frames too small for three slices a core take fewer, none of them a
    // pixel wide or high (which FFV1 reads back wrong).
    if (code == "FFV1") {
      cases.push_back({i, 2, 2, 16, 9});
      cases.push_back({i, 3, 3, 16, 9});
      cases.push_back({i, 12, 2, 8, 27});
    }
  }
  return cases;
}

class MovieCodecTest : public testing::TestWithParam<CodecCase> {};

// Every codec of the table. Lossless codecs give back exactly the pixels
// written, top row first, in order, and opaque whatever alpha the frames
// had. Lossy codecs: the frame count and order, and pictures close to the
// frames written (which also catches frames turned upside down), opaque from
// the codecs that carry alpha. Every movie carries the pixel aspect that
// shows the stage's proportions; the field orders take turns, and rendered
// fields are marked with their order and coded apart where the codec can.
TEST_P(MovieCodecTest, FramesComeBack) {
  const CodecCase& c = GetParam();
  const CodecEntry& entry = CodecTable()[c.entry];
  EXPECT_EQ(entry.fourcc.size(), 4u);
  EXPECT_EQ(entry.lossless, entry.quality == QualityControl::kNone);
  // A code listed twice in a container would hide the later entry.
  EXPECT_EQ(FindCodec(entry.container, entry.fourcc), &entry);
  // The libraries' own encoders are always there.
  if (!EncoderAvailable(entry)) {
    ASSERT_EQ(entry.encoder.rfind("lib", 0), 0u) << entry.encoder << " is missing";
    GTEST_SKIP() << entry.encoder << " is not in this FFmpeg";
  }
  const char* extensions[] = {".avi", ".mov", ".mp4", ".mkv"};
  const std::string extension = extensions[static_cast<int>(entry.container)];
  const std::filesystem::path file = FreshFolder("codec") / ("movie" + extension);
  const std::string code(entry.fourcc);
  // The rates take turns too.
  const auto [fps, rate] =
      std::array{std::pair{29.97f, 2997}, std::pair{25.0f, 2500}, std::pair{23.976f, 2398},
                 std::pair{30.0f, 3000}}[c.entry % 4];
  MovieRequest request = Request(file, code, fps);
  request.displayAspectWidth = 16;
  request.displayAspectHeight = 9;
  request.fieldOrder = FieldOrder(c.entry % 3);
  const std::vector<ImageBuffer> frames = WriteMovie(request, c.width, c.height, 4);
  const test::MovieContents movie = ReadMovie(file);
  ASSERT_TRUE(movie.ok) << movie.error;
  EXPECT_EQ(movie.sampleAspectNum, c.aspectNum);
  EXPECT_EQ(movie.sampleAspectDen, c.aspectDen);
  // Read back: 0 progressive, 2 top first, 3 bottom first (AVI has no mark).
  if (entry.container != MovieContainer::kAvi) {
    EXPECT_EQ(movie.fieldOrder, (std::array{0, 2, 3}[c.entry % 3]));
  }
  // AVI stores the rate in hundredths (reduced by the muxer: the ratio
  // counts). QuickTime's time scale is the rounded rate x 100 (2997 at 29.97,
  // where the old computation gave 2996) and every sample lasts 100 units.
  if (entry.container == MovieContainer::kAvi) {
    EXPECT_EQ(int64_t{movie.timeBaseDen} * 100, int64_t{movie.timeBaseNum} * rate);
    EXPECT_EQ(int64_t{movie.frameRateNum} * 100, int64_t{movie.frameRateDen} * rate);
  } else if (entry.container == MovieContainer::kQuickTime) {
    EXPECT_EQ(movie.timeBaseNum, 1);
    EXPECT_EQ(movie.timeBaseDen, rate);
    EXPECT_EQ(movie.packetDurations, (std::vector<int64_t>{100, 100, 100, 100}));
  }
  // Matroska names codecs by its own words.
  if (extension != ".mkv") {
    EXPECT_EQ(movie.codecTag, code == "DIB " ? 0u : FourccTag(code));
  }
  ASSERT_EQ(movie.frames.size(), frames.size());
  // ProRes and H.264 code the fields of an interlaced movie apart.
  const bool fieldCoder = entry.encoder == "prores_ks" || entry.encoder == "libx264";
  for (size_t i = 0; i < frames.size(); ++i) {
    if (fieldCoder) {
      EXPECT_EQ(movie.frames[i].fieldCoded, request.fieldOrder != FieldOrder::kProgressive);
    }
    EXPECT_EQ(movie.frames[i].width, c.width);
    EXPECT_EQ(movie.frames[i].height, c.height);
    const std::vector<uint8_t> expected = ExpectedBgra(frames[i]);
    if (entry.lossless) {
      EXPECT_EQ(movie.frames[i].bgra, expected) << "frame " << i;
      continue;
    }
    const double difference = test::MeanDifference(movie.frames[i].bgra, expected);
    EXPECT_LT(difference, 8.0) << "frame " << i;
    const size_t other = (i + 1) % frames.size();
    EXPECT_LT(difference, test::MeanDifference(movie.frames[i].bgra, ExpectedBgra(frames[other])));
    for (size_t p = 3; p < expected.size(); p += 4) {
      ASSERT_EQ(movie.frames[i].bgra[p], 255) << "frame " << i;
    }
  }
  // Quality reaches the encoder: a lower quality makes a smaller file.
  if (!entry.lossless) {
    request.quality = 0;
    request.path = (file.parent_path() / ("low" + extension)).string();
    WriteMovie(request, c.width, c.height, 4);
    EXPECT_LT(std::filesystem::file_size(request.path), std::filesystem::file_size(file));
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, MovieCodecTest, testing::ValuesIn(CodecCases()), CaseName);

TEST(CodecTableTest, FindsCodesPerContainer) {
  EXPECT_EQ(FindCodec(MovieContainer::kAvi, "")->encoder, "rawvideo");
  EXPECT_EQ(FindCodec(MovieContainer::kAvi, "DIB "), FindCodec(MovieContainer::kAvi, ""));
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "")->fourcc, "rle ");
  // The settings store may lose a trailing space; a shorter text still names it.
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "rle"),
            FindCodec(MovieContainer::kQuickTime, "rle "));
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, std::string("png\0", 4))->encoder, "png");
  EXPECT_EQ(FindCodec(MovieContainer::kAvi, "apch"), nullptr);
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "MJPG"), nullptr);
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "apch")->profile, "hq");
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "ap4h")->profile, "4444");
  EXPECT_GE(AvailableCodecs(MovieContainer::kQuickTime).size(), 5u);
}

TEST(CodecTableTest, QualityLevelsAndEncoderValues) {
  for (auto [quality, level] :
       {std::pair{0, 0}, {19, 0}, {20, 1}, {59, 2}, {79, 3}, {80, 4}, {100, 4}}) {
    EXPECT_EQ(QualityLevel(quality), level) << quality;
  }
  // Better quality never asks for a coarser quantiser or a higher rate factor.
  for (QualityControl control :
       {QualityControl::kJpegQscale, QualityControl::kCrf, QualityControl::kProResQuant}) {
    for (int q = 1; q <= 100; ++q) {
      EXPECT_LE(EncoderQualityValue(control, q), EncoderQualityValue(control, q - 1));
    }
    EXPECT_GT(EncoderQualityValue(control, 100), 0);
  }
  EXPECT_EQ(EncoderQualityValue(QualityControl::kNone, 50), 0);
}

TEST(MovieAspectTest, SampleAspectShowsTheStagesProportions) {
  struct Case {
    int dw, dh, width, height, num, den;
  };
  for (Case c :
       {Case{4, 3, 720, 480, 8, 9}, Case{4, 3, 720, 486, 9, 10}, Case{16, 9, 720, 480, 32, 27},
        Case{4, 3, 640, 480, 1, 1}, Case{16, 9, 1920, 1080, 1, 1}, Case{4, 3, 720, 576, 16, 15}}) {
    const PixelAspect aspect = SampleAspect(c.dw, c.dh, c.width, c.height);
    EXPECT_EQ(aspect.num, c.num) << c.width << "x" << c.height;
    EXPECT_EQ(aspect.den, c.den) << c.width << "x" << c.height;
  }
}

// Refused opens say why and leave no file behind. A movie needs a rate: one
// rounded to 0 hundredths would make it unplayable.
TEST(MovieWriterTest, RefusedOpens) {
  const std::filesystem::path folder = FreshFolder("refused_open");
  const ImageBuffer frame(16, 16, 32);
  const struct {
    const char* name;
    const char* code;
    float fps;
    const ImageBuffer& frame;
    const char* says;
  } cases[] = {
      {"m.avi", "XYZW", 29.97f, frame, ""},
      {"m.avi", "apch", 29.97f, frame, ""},  // a QuickTime code in an AVI file
      {"m.avi", "FFV1", 29.97f, ImageBuffer(16, 16, 24), ""},
      {"m.avi", "FFV1", 29.97f, ImageBuffer(), ""},
      {"missing-folder/m.avi", "FFV1", 29.97f, frame, ""},
      {"missing-folder/f%05d.png", "", 29.97f, frame, "no folder"},
      {"m.avi", "", 0.0f, frame, "rate"},
      {"m.mov", "", 0.004f, frame, "rate"},
      {"f%03d.png", "", -25.0f, frame, "rate"},
      {"m.mkv", "", std::nanf(""), frame, "rate"},
      {"a.webm", "", 29.97f, frame, ".mkv"},
      {"a.mp4", "apch", 29.97f, frame, "ProRes"},
      {"m.mkv", "FFV1", 29.97f, ImageBuffer(1, 5, 32),
       "at least 2 x 2 pixels: this movie is 1 x 5"},
  };
  for (const auto& c : cases) {
    const MovieWriter writer = MovieWriter::Open(Request(folder / c.name, c.code, c.fps), c.frame);
    EXPECT_FALSE(writer.IsOpen()) << c.name << " " << c.fps;
    EXPECT_NE(writer.ErrorDetail().find(c.says), std::string::npos) << writer.ErrorDetail();
    EXPECT_FALSE(writer.ErrorDetail().empty()) << c.name << " " << c.code;
  }
  // H.264 halves the colour samples: an odd side is named, not a library's
  // "generic error".
  if (const CodecEntry* h264 = FindCodec(MovieContainer::kMp4, "avc1"); EncoderAvailable(*h264)) {
    const MovieWriter writer =
        MovieWriter::Open(Request(folder / "odd.mp4", "avc1"), ImageBuffer(15, 16, 32));
    EXPECT_EQ(writer.ErrorDetail(),
              "H.264 codes only sizes divisible by 2 across and 2 down: this movie is 15 x 16");
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  EXPECT_EQ(MovieRateTimes100(0.01f), 1);
  EXPECT_EQ(MovieRateTimes100(29.97f), 2997);
}

// Frames are numbered from 0; a frame of another size, or one the writer
// has passed, is refused without spoiling the movie. A writer dropped without
// closing still finishes its file; a moved writer is the one that owns it.
TEST(MovieWriterTest, NumbersFramesRefusesWrongOnesAndMoves) {
  const std::filesystem::path file = FreshFolder("numbering") / "m.mov";
  const ImageBuffer frame = PatternFrame(16, 16, 1);
  {
    MovieWriter first = MovieWriter::Open(Request(file, "png "), frame);
    ASSERT_TRUE(first.IsOpen());
    EXPECT_EQ(first.Kind(), MovieKind::kQuickTime);
    EXPECT_EQ(first.NextFrame(), 0);
    EXPECT_TRUE(first.WriteMovieFrame(-1, frame));
    EXPECT_TRUE(first.WriteMovieFrame(-1, frame));
    EXPECT_EQ(first.NextFrame(), 2);
    EXPECT_FALSE(first.WriteMovieFrame(-1, PatternFrame(16, 8, 1)));
    EXPECT_FALSE(first.WriteMovieFrame(-1, ImageBuffer(16, 16, 24)));
    EXPECT_FALSE(first.WriteMovieFrame(1, frame));
    MovieWriter second = std::move(first);
    EXPECT_FALSE(first.IsOpen());  // NOLINT(bugprone-use-after-move)
    EXPECT_TRUE(second.WriteMovieFrame(-1, frame));
  }
  const test::MovieContents movie = ReadMovie(file);
  ASSERT_TRUE(movie.ok) << movie.error;
  EXPECT_EQ(movie.frames.size(), 3u);

  MovieWriter closed = MovieWriter::Open(Request(file, "png "), frame);
  EXPECT_TRUE(closed.CloseMovieWriter());
  EXPECT_FALSE(closed.IsOpen());
  EXPECT_FALSE(closed.WriteMovieFrame(-1, frame));
}

// A join stopped part way (Ctrl+C) makes nothing and leaves the movie that
// was there; one let be joins the parts' frames.
TEST(MovieJoinTest, AStoppedJoinMakesNothing) {
  const std::filesystem::path folder = FreshFolder("join");
  const std::vector<std::string> parts = {(folder / "a.avi").string(), (folder / "b.avi").string()};
  for (const std::string& part : parts) WriteMovie(Request(part, "FFV1"), 16, 16, 6);
  const std::filesystem::path joined = folder / "joined.avi";
  std::ofstream(joined) << "the movie that was there";
  int asked = 0;
  EXPECT_EQ(JoinMovies(parts, joined.string(), [&asked] { return ++asked > 8; }),
            "stopped before the movie was whole; nothing was made");
  EXPECT_EQ(test::ReadText(joined), "the movie that was there");
  EXPECT_FALSE(std::filesystem::exists(folder / "joined.avi.joining"));
  EXPECT_EQ(JoinMovies(parts, joined.string(), [] { return false; }), "");
  EXPECT_EQ(ReadMovie(joined).frames.size(), 12u);
}

// The pictures carry the pixel aspect too: 16:9 x 10 / 24 = 20:27.
TEST(ImageSequenceTest, WritesNumberedPngFilesFromZero) {
  const std::filesystem::path folder = FreshFolder("sequence");
  MovieRequest request = Request(folder / "f%05d.png");
  request.displayAspectWidth = 16;
  request.displayAspectHeight = 9;
  const std::vector<ImageBuffer> frames = WriteMovie(request, 24, 10, 3);
  for (int i = 0; i < 3; ++i) {
    const std::filesystem::path file = folder / ("f0000" + std::to_string(i) + ".png");
    const test::MovieContents picture = ReadMovie(file);
    ASSERT_TRUE(picture.ok) << file;
    ASSERT_EQ(picture.frames.size(), 1u);
    EXPECT_EQ(picture.frames[0].bgra, ExpectedBgra(frames[i]));
    EXPECT_EQ(picture.sampleAspectNum, 20);
    EXPECT_EQ(picture.sampleAspectDen, 27);
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "f00003.png"));
}

TEST(MovieKindTest, PathDecidesTheWriter) {
  // Delivery containers by their ending in any case; other media names that
  // cannot be written are refused instead of getting AVI under their name.
  const std::pair<MovieKind, std::vector<const char*>> kinds[] = {
      {MovieKind::kAvi,
       {"/m/show.avi", "/m/show", "/m/show.MOV", "/m/100%.avi", "/m/f%05d%d", "/m/show.mp4.bak",
        "/m.webm/show"}},
      {MovieKind::kQuickTime, {"/m/show.mov", "C:\\clips.mov\\show.avi", "/m.dps/show.mov"}},
      {MovieKind::kDps, {"/m/show.dps"}},
      {MovieKind::kRtv, {"/m/show.rtv"}},
      {MovieKind::kImageSequence,
       {"/m/f%05d.png", "/m/f%d.png", "/m/50%%f%03d.png", "/m/f%019d.png"}},
      {MovieKind::kMp4, {"/m/show.mp4", "/m.mov/SHOW.MP4"}},
      {MovieKind::kMatroska, {"/m/show.Mkv"}},
      {MovieKind::kUnwritable,
       {"a.webm", "a.M4V", "a.mpg", "a.ts", "a.wmv", "a.gif", "f%03d.gif", "a.png", "f%05d%d.png",
        "f%s.PNG", "f%x.png", "f%-5d.png", "f%020d.png", "f%%05d.png", "a.jpg", "a.tif"}}};
  for (const auto& [kind, paths] : kinds) {
    for (const char* path : paths) EXPECT_EQ(MovieKindFromPath(path), kind) << path;
  }
  const std::string message = UnwritableNameMessage("/m/a.WebM");
  for (const char* part : {".webm", ".avi", ".mov", ".mp4", ".mkv"}) {
    EXPECT_NE(message.find(part), std::string::npos) << part;
  }

  // The stored movie type tests ".dps" first.
  int type = 0;
  for (const char* path : {"/m/show.avi", "/m/show.mov", "/m.dps/show.mov", "/m/show.rtv",
                           "/m/show.mp4", "/m/show.mkv"}) {
    EXPECT_EQ(MovieTypeFromPath(path), type++) << path;
  }
}

}  // namespace
}  // namespace vantoril
