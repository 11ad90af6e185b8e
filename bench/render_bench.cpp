// Rendering a show to a movie at 720 x 486, both fields interlaced: frames
// per second for three codecs, and where the time goes (compositing or
// encoding). Movies go to $TMPDIR (or /tmp).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_show.h"
#include "engine/compositor.h"
#include "engine/image_buffer.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "output/frame_handoff.h"
#include "output/make_movie_run.h"
#include "output/movie_writer.h"

namespace vantoril {
namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 486;
constexpr int kFrames = 30;
const char* const kCodecs[] = {"MJPG", "FFV1", "apch"};

ImageBuffer Picture(int width, int height, int seed) {
  ImageBuffer picture(width, height, 32);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture.RowPointer(y);
    for (int x = 0; x < width; ++x) {
      row[4 * x + 0] = static_cast<uint8_t>(x + seed * 40);
      row[4 * x + 1] = static_cast<uint8_t>(y * 2 + seed * 70);
      row[4 * x + 2] = static_cast<uint8_t>((x ^ y) + seed * 20);
      row[4 * x + 3] = 255;
    }
  }
  return picture;
}

// A background and four moving, turning pictures, one of them a blur brush.
struct Show {
  SettingsStore settings;
  ShowDocument document{settings};

  Show() {
    document.showLength = 1000;
    document.stageFrame.Create(640, 480, 32);
    document.backgroundSource = kBackgroundPicture;
    document.backgroundImage = Picture(640, 480, 9);
    document.pictureCount = 4;
    for (int slot = 0; slot < 4; ++slot) {
      vantoril::Picture picture;
      picture.image = Picture(320, 240, slot);
      picture.brush = slot == 3 ? BrushCode(Brush::kBlur) : BrushCode(Brush::kNormal);
      KeyFrame first{.x = 120.0f + 100 * slot, .y = 120, .width = 240, .height = 180, .level = 100};
      KeyFrame last = first;
      last.x = 520.0f - 100 * slot;
      last.y = 360;
      last.rotation = 45.0f * (slot + 1);
      last.width = 160;
      last.time = 2 * kFrames;
      picture.keys[0] = first;
      picture.keys[1] = last;
      picture.keyCount = 2;
      document.SetPicture(slot, std::move(picture));
    }
  }
};

std::filesystem::path MoviePath(const std::string& codec) {
  const char* folder = std::getenv("TMPDIR");
  return std::filesystem::path(folder != nullptr ? folder : "/tmp") /
         ("vantoril_render_bench_" + codec + (codec == "apch" ? ".mov" : ".avi"));
}

// The whole render: compositing overlapped with encoding.
void BM_RenderMovie(benchmark::State& state) {
  const std::string codec = kCodecs[state.range(0)];
  state.SetLabel(codec);
  Show show;
  double composeSeconds = 0;
  RenderCallbacks callbacks;
  callbacks.compose = [&](ShowDocument& document, int32_t t, FieldMode mode, ImageBuffer& frame) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = ComposeFrame(document, t, mode, 1, frame);
    composeSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok;
  };
  MakeMovieRequest request;
  request.output.SetPath(MoviePath(codec).string());
  request.codecType = codec;
  request.options = {.width = kWidth,
                     .height = kHeight,
                     .startTime = 0,
                     .endTime = kFrames,
                     .holdFrames = 0,
                     .frameRate = 29.97,
                     .quality = 100,
                     .fieldMode = FieldMode::kInterlacedFields,
                     .totalFrames = kFrames};
  double wallSeconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const MakeMovieOutcome outcome = MakeMovieRun(show.document, request, callbacks, nullptr);
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (outcome.status != MakeMovieStatus::kMade) {
      state.SkipWithError(outcome.detail.c_str());
      return;
    }
  }
  const double frames = static_cast<double>(state.iterations()) * kFrames;
  state.counters["fps"] = benchmark::Counter(frames / wallSeconds);
  state.counters["compose_share"] = composeSeconds / wallSeconds;
  std::filesystem::remove(MoviePath(codec));
}
BENCHMARK(BM_RenderMovie)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Compositing alone: one interlaced 720 x 486 frame.
void BM_ComposeInterlaced(benchmark::State& state) {
  Show show;
  ImageBuffer frame(kWidth, kHeight, 32);
  int t = 0;
  for (auto _ : state) {
    ComposeFrame(show.document, t, FieldMode::kInterlacedFields, 1, frame);
    t = (t + 1) % kFrames;
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ComposeInterlaced)->Unit(benchmark::kMillisecond)->UseRealTime();

// Encoding alone: the writer fed one composited frame over and over.
void BM_EncodeOnly(benchmark::State& state) {
  const std::string codec = kCodecs[state.range(0)];
  state.SetLabel(codec);
  Show show;
  ImageBuffer frame(kWidth, kHeight, 32);
  ComposeFrame(show.document, 5, FieldMode::kInterlacedFields, 1, frame);
  MovieRequest request;
  request.path = MoviePath(codec).string();
  request.codecType = codec;
  MovieWriter writer = MovieWriter::Open(request, frame);
  if (!writer.IsOpen()) {
    state.SkipWithError(writer.ErrorDetail().c_str());
    return;
  }
  // The first frames carry the encoders' start-up; a movie amortises it.
  for (int i = 0; i < 5; ++i) writer.WriteMovieFrame(-1, frame);
  for (auto _ : state) {
    if (!writer.WriteMovieFrame(-1, frame)) state.SkipWithError("write refused");
  }
  writer.CloseMovieWriter();
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  std::filesystem::remove(MoviePath(codec));
}
BENCHMARK(BM_EncodeOnly)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

// The encoder alone on the benchmark show's frames at 720 x 480 (every
// tenth, composed beforehand and written in turn): the floor under a render
// of that show to FFV1, whatever the compositor does.
void BM_EncodeBenchShow(benchmark::State& state) {
  SettingsStore settings;
  ShowDocument document(settings);
  bench::BuildBenchShow(document);
  constexpr int kStep = 10;
  std::vector<ImageBuffer> frames;
  for (int t = 0; t < bench::kBenchFrames; t += kStep) {
    frames.emplace_back(bench::kBenchBackgroundW, bench::kBenchBackgroundH, 32);
    ComposeFrame(document, t, FieldMode::kFullFrame, 1, frames.back());
  }
  MovieRequest request;
  request.path = MoviePath("bench-FFV1").string();
  request.codecType = "FFV1";
  MovieWriter writer = MovieWriter::Open(request, frames.front());
  if (!writer.IsOpen()) {
    state.SkipWithError(writer.ErrorDetail().c_str());
    return;
  }
  for (auto _ : state) {
    for (int i = 0; i < bench::kBenchFrames; ++i) {
      if (!writer.WriteMovieFrame(-1, frames[i % frames.size()])) state.SkipWithError("refused");
    }
  }
  writer.CloseMovieWriter();
  state.counters["frame"] =
      benchmark::Counter(bench::kBenchFrames, benchmark::Counter::kIsIterationInvariantRate |
                                                  benchmark::Counter::kInvert);
  std::filesystem::remove(MoviePath("bench-FFV1"));
}
BENCHMARK(BM_EncodeBenchShow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace
}  // namespace vantoril

BENCHMARK_MAIN();
