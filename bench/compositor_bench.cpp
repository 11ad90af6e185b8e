// The compositor's hot path: DrawPicture per painted pixel for every brush,
// and whole frames of full-stage shows.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>

#include "bench/bench_show.h"
#include "engine/band_pool.h"
#include "engine/compositor.h"
#include "engine/draw_picture.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"

// Every allocation of the program is counted, so that a benchmark can show
// how many its loop makes.
std::atomic<int64_t> allocations{0};

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace vantoril {
namespace {

constexpr int kStageW = 640;
constexpr int kStageH = 480;

// A picture as the loader leaves it: random colours, opaque inside, a
// transparent 1-pixel border.
ImageBuffer NoisyPicture(int width, int height, uint32_t seed) {
  ImageBuffer image(width, height, 32);
  std::mt19937 random(seed);
  for (uint8_t& byte : image.PixelBlock()) {
    byte = static_cast<uint8_t>(random());
  }
  image.SetAlpha(255);
  image.SetBorderAlpha(0);
  return image;
}

KeyFrame FullStage(float level) {
  KeyFrame state{};
  state.x = kStageW / 2.0f;
  state.y = kStageH / 2.0f;
  state.width = kStageW;
  state.height = kStageH;
  state.rotation = 3;
  state.level = level;
  return state;
}

int64_t PaintedPixels(const ImageBuffer& picture, const KeyFrame& state, int width, int height) {
  ImageBuffer probe(width, height, 32);
  DrawPicture(picture, probe, state, Brush::kNormal, 0, kAllRows, kStageW, kStageH);
  int64_t painted = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = probe.RowPointer(y);
    for (int x = 0; x < width; ++x) {
      painted += p[4 * x + 3] == 255 ? 1 : 0;
    }
  }
  return painted;
}

// Arguments: brush code, level, output width, output height, threads
// (0 automatic, 1 single).
void BM_DrawPicture(benchmark::State& state) {
  const Brush brush = BrushOfCode(static_cast<int32_t>(state.range(0)));
  const auto level = static_cast<float>(state.range(1));
  const int width = static_cast<int>(state.range(2));
  const int height = static_cast<int>(state.range(3));
  const DrawPictureOptions options{
      BlurMethod::kRunningSums, state.range(4) == 0 ? PaintThreads::kAuto : PaintThreads::kSingle};
  const ImageBuffer picture = NoisyPicture(kStageW, kStageH, 1);
  ImageBuffer frame = NoisyPicture(width, height, 2);
  const KeyFrame key = FullStage(level);
  for (auto _ : state) {
    DrawPictureWith(picture, frame, key, brush, 0x336699, kAllRows, kStageW, kStageH, options);
    benchmark::ClobberMemory();
  }
  const auto painted = static_cast<double>(PaintedPixels(picture, key, width, height));
  state.counters["pixels"] = painted;
  state.counters["per_pixel"] = benchmark::Counter(
      painted, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BrushArguments(benchmark::internal::Benchmark* b) {
  const int64_t brushes[][2] = {{BrushCode(Brush::kNormal), 30}, {BrushCode(Brush::kBlur), 50},
                                {BrushCode(Brush::kBlur), 100},  {BrushCode(Brush::kPixelate), 50},
                                {BrushCode(Brush::kDarken), 50}, {BrushCode(Brush::kLighten), 50},
                                {BrushCode(Brush::kTint), 50},   {BrushCode(Brush::kNoColour), 50}};
  for (const auto& [brush, level] : brushes) {
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{1920, 1080}}) {
      for (int threads : {0, 1}) {
        b->Args({brush, level, width, height, threads});
      }
    }
  }
  b->ArgNames({"brush", "level", "w", "h", "single"});
}
// Real time: the brushes that split their rows work on two threads.
BENCHMARK(BM_DrawPicture)->Apply(BrushArguments)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The normal brush on one thread with each instruction set this processor
// has: the speed on machines without AVX-512 (or without AVX2).
void BM_NormalBrushPath(benchmark::State& state) {
  const auto path = static_cast<VectorPath>(state.range(0));
  if ((path == VectorPath::kAvx2 && !ProcessorHasAvx2()) ||
      (path == VectorPath::kAvx512 && !ProcessorHasAvx512())) {
    state.SkipWithError("this processor lacks the instruction set");
    return;
  }
  DrawPictureOptions options;
  options.threads = PaintThreads::kSingle;
  options.vector = path;
  const ImageBuffer picture = NoisyPicture(kStageW, kStageH, 1);
  ImageBuffer frame = NoisyPicture(kStageW, kStageH, 2);
  const KeyFrame key = FullStage(30);
  for (auto _ : state) {
    DrawPictureWith(picture, frame, key, Brush::kNormal, 0, kAllRows, kStageW, kStageH, options);
    benchmark::ClobberMemory();
  }
  const auto painted = static_cast<double>(PaintedPixels(picture, key, kStageW, kStageH));
  state.counters["per_pixel"] = benchmark::Counter(
      painted, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_NormalBrushPath)
    ->ArgName("path")
    ->DenseRange(static_cast<int64_t>(VectorPath::kScalar),
                 static_cast<int64_t>(VectorPath::kAvx512))
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// Arguments: pictures, field mode. Full-stage pictures moving and turning
// slightly between two key frames, over a still background, into a
// 720 x 486 output frame.
void BM_ComposeFrame(benchmark::State& state) {
  const int pictures = static_cast<int>(state.range(0));
  const auto fieldMode = static_cast<FieldMode>(state.range(1));
  SettingsStore settings;
  ShowDocument document(settings);
  document.backgroundSource = kBackgroundPicture;
  document.backgroundImage = NoisyPicture(720, 486, 3);
  for (int slot = 0; slot < pictures; ++slot) {
    Picture picture;
    picture.image = NoisyPicture(kStageW, kStageH, 10 + slot);
    KeyFrame first = FullStage(20);
    KeyFrame last = first;
    last.x += 40;
    last.rotation = -5;
    last.time = 300;
    picture.keys[0] = first;
    picture.keys[1] = last;
    picture.keyCount = 2;
    document.SetPicture(slot, std::move(picture));
  }
  document.pictureCount = pictures;
  ImageBuffer frame(720, 486, 32);
  int t = 0;
  for (auto _ : state) {
    ComposeFrame(document, t, fieldMode, 1, frame);
    t = (t + 1) % 300;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ComposeFrame)
    ->ArgsProduct({{10, 30},
                   {static_cast<int64_t>(FieldMode::kFullFrame),
                    static_cast<int64_t>(FieldMode::kInterlacedFields)}})
    ->ArgNames({"pictures", "fieldMode"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The benchmark show (bench/bench_show.h) composed at 720 x 480 or, for the
// preview, at the stage's 640 x 480 and copied into the window's image.
// Arguments: bands (0: one per core), preview (0/1). "allocs" is the
// allocations per frame once the first frame has made the buffers.
void BM_BenchShow(benchmark::State& state) {
  const int bands = static_cast<int>(state.range(0));
  const bool preview = state.range(1) != 0;
  SettingsStore settings;
  ShowDocument document(settings);
  bench::BuildBenchShow(document);
  ImageBuffer frame(preview ? kStageW : 720, 480, 32);
  ImageBuffer window(frame.Width(), frame.Height(), 32);
  const ComposeOptions options{bands};
  ComposeFrameWith(document, 0, FieldMode::kFullFrame, 1, frame, options);
  // An iteration is the whole show: its frames differ in cost as the
  // pictures turn and cross.
  const int64_t before = allocations.load();
  for (auto _ : state) {
    for (int t = 0; t < bench::kBenchFrames; ++t) {
      ComposeFrameWith(document, t, FieldMode::kFullFrame, 1, frame, options);
      if (preview) frame.CopyTo(window, false);
      benchmark::ClobberMemory();
    }
  }
  const auto frames = static_cast<double>(state.iterations()) * bench::kBenchFrames;
  state.counters["allocs_per_frame"] =
      benchmark::Counter(static_cast<double>(allocations.load() - before) / frames);
  state.counters["frame"] =
      benchmark::Counter(bench::kBenchFrames, benchmark::Counter::kIsIterationInvariantRate |
                                                  benchmark::Counter::kInvert);
  state.counters["bands"] = bands > 0 ? bands : CoreCount();
}
BENCHMARK(BM_BenchShow)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->ArgNames({"bands", "preview"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

}  // namespace
}  // namespace vantoril

BENCHMARK_MAIN();
