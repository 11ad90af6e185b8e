// The render loop and the Make Movie run, with frames stamped by their show
// time (grey level 10 + 8 x time) and read back from lossless movies.

#include "output/render_range.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "engine/compositor.h"
#include "engine/message_sink.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "output/frame_handoff.h"
#include "output/make_movie_run.h"
#include "output/movie_writer.h"
#include "output/support/movie_reader.h"
#include "output/support/test_frames.h"
#include "support/message_recorder.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

constexpr int kWidth = 32;
constexpr int kHeight = 24;
constexpr int kBlack = -1;  // a frame the loop never painted

bool StampTime(ShowDocument&, int32_t time, FieldMode, ImageBuffer& frame) {
  test::FillGrey(frame, static_cast<uint8_t>(10 + 8 * time));
  return true;
}

// The show times of a movie's frames, from their stamps.
std::vector<int> StampedTimes(const std::filesystem::path& file) {
  const test::MovieContents movie = test::ReadMovie(file);
  EXPECT_TRUE(movie.ok) << movie.error;
  std::vector<int> times;
  for (const test::DecodedFrame& frame : movie.frames) {
    const double green = test::MeanGreen(frame.bgra);
    times.push_back(green < 5 ? kBlack : static_cast<int>(std::lround((green - 10) / 8)));
  }
  return times;
}

class RenderTest : public testing::Test {
 protected:
  RenderTest() : document_(settings_) { document_.showLength = 1000; }

  void SetUp() override {
    folder_ = test::FreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    callbacks_.compose = StampTime;
  }

  MakeMovieRequest Request(int32_t start, int32_t end, int32_t holds, bool reverse,
                           const std::string& name = "m.avi") const {
    MakeMovieRequest request;
    request.output.SetPath((folder_ / name).string());
    request.output.volumeRef = 3;
    request.output.parentId = 77;
    request.codecType = "FFV1";
    MakeMovieOptions& options = request.options;
    options.width = kWidth;
    options.height = kHeight;
    options.startTime = start;
    options.endTime = end;
    options.holdFrames = holds;
    options.frameRate = 29.97;
    options.quality = 100;
    options.reverseToo = reverse;
    return request;
  }

  // One pass into its own movie; the stamped times written.
  std::vector<int> RenderPass(int32_t start, int32_t target, int32_t holds,
                              PassResult* result = nullptr) {
    const std::filesystem::path file = folder_ / "pass.avi";
    {
      MovieWriter writer;
      FrameHandoff frames(writer);
      EXPECT_TRUE(frames.Create(kWidth, kHeight));
      MovieRequest request;
      request.path = file.string();
      request.codecType = "FFV1";
      writer = MovieWriter::Open(request, frames.Current());
      EXPECT_TRUE(writer.IsOpen()) << writer.ErrorDetail();
      const PassResult pass =
          RenderRange(document_, frames, FieldMode::kFullFrame, start, target, holds, callbacks_);
      if (result != nullptr) *result = pass;
      frames.Finish();
      EXPECT_TRUE(writer.CloseMovieWriter());
      if (frames.FramesWritten() == 0) return {};  // a movie of no frame does not read back
    }
    return StampedTimes(file);
  }

  SettingsStore settings_;
  ShowDocument document_;
  RenderCallbacks callbacks_;
  std::filesystem::path folder_;
};

// Passes run either way with head and tail holds, and leave the clock at
// their end. A stop request ends the frame loop (the tail hold follows) or
// cuts a hold short; it is polled before every frame and every held copy.
TEST_F(RenderTest, PassesRunEitherWayWithHoldsUntilAStopRequest) {
  const struct {
    int32_t start, target, holds;
    int stopAt;  // 0: never
    std::vector<int> times;
    bool cancelled;
  } cases[] = {
      {5, 10, 2, 0, {5, 5, 5, 6, 7, 8, 9, 9, 9}, false},
      {10, 5, 0, 0, {10, 9, 8, 7, 6}, false},
      // Nothing to render, so nothing to hold: no black frame goes out.
      {7, 7, 2, 0, {}, false},
      {0, 10, 0, 4, {0, 1, 2}, true},  // before frame 3
      // Polls: frame 0, three head copies, frame 1, three tail copies.
      {0, 2, 3, 3, {0, 0, 1, 1, 1, 1}, false},  // the second head copy
      {0, 2, 3, 7, {0, 0, 0, 0, 1, 1}, false},  // the second tail copy
      {0, 2, 1, 1, {}, true},                   // before the first frame: nothing to hold
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + " to " + std::to_string(c.target));
    int polls = 0;
    callbacks_.cancelRequested = [&] { return ++polls == c.stopAt; };
    PassResult pass;
    EXPECT_EQ(RenderPass(c.start, c.target, c.holds, &pass), c.times) << c.stopAt;
    EXPECT_EQ(pass.cancelled, c.cancelled) << c.stopAt;
    EXPECT_TRUE(pass.writesAccepted);
    if (c.stopAt == 0) {
      EXPECT_EQ(document_.clock.currentTime, c.target);
    }
  }
}

TEST_F(RenderTest, ProgressCaptionsFractionsTicksAndTheBackgroundClip) {
  struct Report {
    double fraction;
    std::string caption;
    int64_t tick;
  };
  std::vector<Report> reports;
  std::vector<int32_t> started;
  callbacks_.progress = [&](double f, std::string_view c, int64_t t) {
    reports.push_back({f, std::string(c), t});
  };
  callbacks_.frameStarted = [&](int32_t time) { started.push_back(time); };
  // The background clip runs during the pass only.
  document_.holdBackgroundFrame = 1;
  std::vector<int> held;
  callbacks_.compose = [&](ShowDocument& document, int32_t time, FieldMode mode,
                           ImageBuffer& frame) {
    held.push_back(document.holdBackgroundFrame);
    EXPECT_EQ(document.clock.currentTime, time);
    return StampTime(document, time, mode, frame);
  };
  EXPECT_EQ(RenderPass(0, 2, 2), (std::vector<int>{0, 0, 0, 1, 1, 1}));
  EXPECT_EQ(held, (std::vector<int>{0, 0}));
  EXPECT_EQ(document_.holdBackgroundFrame, 1);
  ASSERT_EQ(reports.size(), 2u + 2u + 2u);
  EXPECT_EQ(reports[0].caption, kRenderingCaption);
  EXPECT_EQ(reports[0].fraction, 0.0);
  EXPECT_GT(reports[0].tick, 0);
  // Only Esc stops a render, holds included; the caption says so.
  EXPECT_EQ(reports[1].caption, "Rendering Hold... (Press Esc to cancel)");
  EXPECT_EQ(reports[1].tick, 0);
  EXPECT_EQ(reports[2].fraction, 0.5);
  EXPECT_EQ(reports[3].caption, kRenderingCaption);
  EXPECT_EQ(reports[3].fraction, 0.5);
  EXPECT_EQ(reports[5].caption, kRenderingHoldCaption);
  EXPECT_EQ(started, (std::vector<int32_t>{0, 1}));
}

TEST(TimeToGoTest, NeverShowsZero) {
  const auto start = EstimateTimeToGo(0.0, 5000);
  EXPECT_EQ(start.minutes * 60 + start.seconds, 1);
  // A quarter done after 30 s: 90 s to go, shown as 01:31.
  const auto quarter = EstimateTimeToGo(0.25, 30000);
  EXPECT_EQ(quarter.minutes * 100 + quarter.seconds, 131);
}

TEST_F(RenderTest, RunWritesBothPassesIntoOneMovieAndStoresTheOptions) {
  test::MessageRecorder sink;
  MakeMovieTexts texts;
  texts.width = "32";
  const MakeMovieRequest request = Request(5, 8, 1, true);
  const MakeMovieOutcome outcome =
      MakeMovieRun(document_, request, callbacks_, &sink, &settings_, &texts);
  EXPECT_EQ(outcome.status, MakeMovieStatus::kMade);
  EXPECT_EQ(outcome.framesWritten, 10);
  EXPECT_EQ(sink.texts, std::vector<std::string>{"i: Movie file(s) successfully made"});
  EXPECT_EQ(StampedTimes(request.output.Path()), (std::vector<int>{5, 5, 6, 7, 7, 8, 8, 7, 6, 6}));
  const test::MovieContents movie = test::ReadMovie(request.output.Path());
  EXPECT_EQ(movie.frameRateNum * 100, movie.frameRateDen * 2997);

  EXPECT_EQ(settings_.GetSetting("InitialFolder", "?"), folder_.string() + "/");
  EXPECT_EQ(settings_.GetSettingInt("InitialVrefnum", 0), 3);
  EXPECT_EQ(settings_.GetSettingInt("InitialParID", 0), 77);
  EXPECT_EQ(settings_.GetSetting("MovieWid", "?"), "32");
  EXPECT_EQ(settings_.GetSettingInt("MovieType", -1), 0);
}

// A movie stopped on request says how far it got, and its file is finished:
// it holds exactly the frames written and plays.
TEST_F(RenderTest, StoppedRunTellsHowManyFramesTheFinishedFileHolds) {
  test::MessageRecorder sink;
  for (const int stopAt : {4, 2}) {  // before frame 7; during the head hold
    int polls = 0;
    callbacks_.cancelRequested = [&] { return ++polls == stopAt; };
    sink.Clear();
    MakeMovieRequest request = Request(5, 10, 1, false);
    request.options.totalFrames = 7;
    const MakeMovieOutcome outcome = MakeMovieRun(document_, request, callbacks_, &sink);
    EXPECT_EQ(outcome.status, MakeMovieStatus::kMade);
    EXPECT_TRUE(outcome.cancelled);
    const std::vector<int> times = StampedTimes(request.output.Path());
    EXPECT_EQ(static_cast<int32_t>(times.size()), outcome.framesWritten);
    EXPECT_EQ(sink.texts, std::vector<std::string>{"i: Movie stopped after " +
                                                   std::to_string(times.size()) + " of 7 frames"});
  }
}

// A clip whose damage the test sets.
class DamagedClip final : public BackgroundClip {
 public:
  bool Open(const FileSpec&, int&) override { return true; }
  bool IsOpen() const override { return true; }
  bool ReadFrame(int, int, ImageBuffer&) override { return false; }
  void Close() override {}
  UndecodedClipFrames Undecoded() const override { return undecoded; }
  UndecodedClipFrames undecoded;
};

// Frames of the background clip that did not decode during the run are told
// after the outcome, with the clip; damage met before the run (the preview)
// is not this movie's.
TEST_F(RenderTest, ClipFramesThatDidNotDecodeAreToldAfterTheRun) {
  DamagedClip clip;
  clip.undecoded = {3, 7, 9};
  document_.SetBackgroundClip(&clip);
  document_.backgroundFile.SetPath("/clips/cut.avi");
  test::MessageRecorder sink;
  MakeMovieRun(document_, Request(5, 8, 0, false), callbacks_, &sink);
  EXPECT_EQ(sink.texts, std::vector<std::string>{"i: Movie file(s) successfully made"});

  callbacks_.compose = [&](ShowDocument& document, int32_t time, FieldMode mode,
                           ImageBuffer& frame) {
    if (time == 6) clip.undecoded = {4, 6, 9};
    return StampTime(document, time, mode, frame);
  };
  sink.Clear();
  MakeMovieRun(document_, Request(5, 8, 0, false), callbacks_, &sink);
  EXPECT_EQ(sink.texts,
            (std::vector<std::string>{"i: Movie file(s) successfully made",
                                      "Some frames of the background clip could not be decoded "
                                      "(between clip frames 6 and 9); the background stays as it "
                                      "was for them.\n/clips/cut.avi"}));
  EXPECT_EQ(UndecodedClipMessage({1, 4, 4}, "c.mov"),
            "Some frames of the background clip could not be decoded (clip frame 4); the "
            "background stays as it was for them.\nc.mov");
}

TEST_F(RenderTest, RunFailuresShowTheirMessagesAndStoreNothing) {
  test::MessageRecorder sink;
  MakeMovieTexts texts;
  MakeMovieRequest request = Request(0, 3, 0, false, "m.mov");
  request.codecType = "png ";
  request.options.width = 0;
  MakeMovieOutcome outcome =
      MakeMovieRun(document_, request, callbacks_, &sink, &settings_, &texts);
  EXPECT_EQ(outcome.status, MakeMovieStatus::kNotEnoughMemory);

  // A rate of 0 would make a movie that cannot play.
  request.options.width = kWidth;
  request.options.frameRate = 0.0;
  outcome = MakeMovieRun(document_, request, callbacks_, &sink, &settings_, &texts);
  EXPECT_EQ(outcome.status, MakeMovieStatus::kOpenFailed);
  EXPECT_FALSE(outcome.detail.empty());
  EXPECT_EQ(sink.texts, (std::vector<std::string>{"Not Enough Memory to Make Movie",
                                                  "Error Opening Movie File\n" + outcome.detail}));
  // A movie, or a part of one, that would hold no frame makes no file:
  // an older movie of the name stays.
  test::WriteBytes(request.output.Path(), {7, 7});
  sink.Clear();
  for (const auto& [start, first, detail] :
       {std::tuple{3, int64_t{0}, "The start and end timecodes are the same frame"},
        {0, int64_t{14}, "The part asked for holds none of the movie's 14 frames"}}) {
    request = Request(start, 3, 2, true, "m.mov");
    callbacks_.window = {first, first + 5};
    outcome = MakeMovieRun(document_, request, callbacks_, &sink, &settings_, &texts);
    EXPECT_EQ(outcome.status, MakeMovieStatus::kNoFrames);
    EXPECT_EQ(sink.texts.back(), "The movie would hold no frame\n" + std::string(detail));
  }
  callbacks_.window = {};
  EXPECT_EQ(test::ReadBytes(request.output.Path()), (std::vector<uint8_t>{7, 7}));
  // The movie type is stored as soon as it is known; nothing else.
  EXPECT_EQ(settings_.GetSettingInt("MovieType", -1), 1);
  EXPECT_EQ(settings_.GetSetting("InitialFolder", "none"), "none");
  EXPECT_EQ(settings_.GetSetting("MovieWid", "none"), "none");
}

// A refused frame stops the run: no more frames, no reverse pass, and the
// file is finished so that the frames before the refusal play. The refusal
// of the very last frame, which the writer's thread meets after the loop has
// handed over everything, fails the run too.
TEST_F(RenderTest, RefusedFrameStopsTheRunAndKeepsThePlayableStart) {
  callbacks_.compose = [](ShowDocument& document, int32_t time, FieldMode mode,
                          ImageBuffer& frame) {
    if (time == 7) frame.Create(kWidth / 2, kHeight, 32);  // the writer refuses this size
    return StampTime(document, time, mode, frame);
  };
  for (const auto& [request, written] :
       {std::pair{Request(5, 10, 1, true), std::vector<int>{5, 5, 6}},
        {Request(5, 8, 0, false), std::vector<int>{5, 6}}}) {
    test::MessageRecorder sink;
    const MakeMovieOutcome outcome =
        MakeMovieRun(document_, request, callbacks_, &sink, &settings_);
    EXPECT_EQ(outcome.status, MakeMovieStatus::kWriteFailed);
    ASSERT_EQ(sink.texts.size(), 1u);
    EXPECT_EQ(sink.texts[0].rfind("Error Writing Movie File", 0), 0u) << sink.texts[0];
    EXPECT_EQ(outcome.framesWritten, static_cast<int>(written.size()));
    EXPECT_EQ(StampedTimes(request.output.Path()), written);
    EXPECT_EQ(settings_.GetSetting("InitialFolder", "none"), "none");
  }
}

// With the real compositor, the overlapped loop writes exactly the frames a
// plain loop composites into one buffer.
TEST_F(RenderTest, OverlappedFramesEqualSerialCompositing) {
  document_.stageFrame.Create(640, 480, 32);
  document_.backgroundSource = kBackgroundPicture;
  document_.backgroundImage = test::PatternFrame(64, 48, 5);
  ImageBuffer picture = test::PatternFrame(40, 30, 1);
  picture.SetAlpha(255);
  Picture moving{.image = picture, .keyCount = 2};
  document_.pictureCount = 1;
  moving.keys[0] = KeyFrame{.x = 100, .y = 100, .width = 160, .height = 120, .level = 100};
  moving.keys[1] = moving.keys[0];
  moving.keys[1].x = 500;
  moving.keys[1].rotation = 90;
  moving.keys[1].time = 6;
  document_.SetPicture(0, std::move(moving));
  callbacks_.compose = nullptr;

  MakeMovieRequest request = Request(0, 6, 1, false, "m.mov");
  request.codecType = "png ";
  request.options.width = 160;
  request.options.height = 120;
  request.options.fieldMode = FieldMode::kInterlacedFields;
  ASSERT_EQ(MakeMovieRun(document_, request, callbacks_, nullptr).status, MakeMovieStatus::kMade);

  ImageBuffer frame(160, 120, 32);
  std::vector<std::vector<uint8_t>> expected;
  for (int t = 0; t < 6; ++t) {
    document_.clock.currentTime = t;
    ComposeFrame(document_, t, FieldMode::kInterlacedFields, 1, frame);
    expected.push_back(test::ExpectedBgra(frame));
    if (t == 0) expected.push_back(expected.back());
  }
  expected.push_back(expected.back());
  const test::MovieContents movie = test::ReadMovie(request.output.Path());
  ASSERT_EQ(movie.frames.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(movie.frames[i].bgra, expected[i]) << "frame " << i;
  }
  EXPECT_NE(expected.front(), expected.back());
  // Without "FieldSwap" the later field lies on the top lines: bottom first.
  EXPECT_EQ(movie.fieldOrder, 3);
}

}  // namespace
}  // namespace vantoril
