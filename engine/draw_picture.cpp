#include "engine/draw_picture.h"

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <thread>
#include <type_traits>

#include "engine/compositor.h"
#include "engine/draw_plan.h"
#include "engine/four_pixels.h"
#include "engine/neighbour_brushes.h"
#include "engine/normal_brush_avx2.h"
#include "engine/normal_brush_avx512.h"
#include "engine/pixel_brushes.h"

namespace vantoril {
namespace paint {
namespace {

// Codes from here on name no brush and paint nothing.
constexpr int32_t kBrushEnd = 7000;
constexpr int32_t kBrushStep = 1000;

// Below this many visited pixels a second thread costs more than it saves.
constexpr int64_t kSplitArea = int64_t{1} << 16;

bool TwoCores() {
  static const bool twoCores = std::thread::hardware_concurrency() >= 2;
  return twoCores;
}

// The rows of a brush on the portable path, one pixel at a time.
template <class Brush>
void PaintRows(const Plan& p, const Brush& brush, int rowFirst, int rowLast) {
  for (int r = rowFirst; r < rowLast; ++r) {
    if (!p.Painted(r)) {
      continue;
    }
    uint8_t* row = p.DestRow(r);
    WalkRow(
        p, r,
        [&](int X, const Taps& t) __attribute__((always_inline)) { brush(row + 4 * X, t, X, r); },
        [](int) {});
  }
}

// The rows of a brush on the vector path. Pixels outside the picture keep
// their bytes: the store blends by the inside mask.
template <class Lanes, class Single>
__attribute__((target("avx2,fma"))) void PaintLanesAvx2(const Plan& p, const Lanes& lanes,
                                                        const Single& single, int rowFirst,
                                                        int rowLast) {
  int r = rowFirst;
  for (RowGroup group = NextRows(p, r, rowLast); group.count > 0; group = NextRows(p, r, rowLast)) {
    GroupWalk w;
    if (!StartGroup(p, group, w)) {
      continue;
    }
    const GroupRows dest = DestRows(p, group);
    WalkGroup(
        p, w,
        [&](int k, const FourPlaces& place) __attribute__((target("avx2,fma"), always_inline)) {
          __m128i sample[4];
          SampleFour<Lanes::kColour>(p, place, sample);
          uint8_t* d = dest.rows[k] + 4 * w.X;
          const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                           _mm_blendv_epi8(old, lanes(sample, old), place.mask));
        },
        [&](int k, int X, const Taps& taps) {
          single(dest.rows[k] + 4 * X, taps, X, group.rows[k]);
        });
  }
}

// The brush's rows on the instruction set chosen.
template <class Brush, class Lanes>
void PaintRowsOn(const Plan& p, const Brush& brush, const Lanes& lanes, int rowFirst, int rowLast) {
  if constexpr (std::is_same_v<Brush, NormalBrush>) {
    if (UsesAvx512(p)) {
      PaintNormalAvx512(p, brush.keep, rowFirst, rowLast);
      return;
    }
    if (UsesAvx2(p)) {
      PaintNormalAvx2(p, brush.keep, rowFirst, rowLast);
      return;
    }
  }
  if (UsesAvx2(p)) {
    PaintLanesAvx2(p, lanes, brush, rowFirst, rowLast);
  } else {
    PaintRows(p, brush, rowFirst, rowLast);
  }
}

// For brushes that read only the pixel they paint: the two halves of the
// visited rows go to two threads when that pays. The result is the same as
// on one thread, because no pixel depends on another.
template <class Brush, class Lanes>
void PaintIndependentRows(const Plan& p, const Brush& brush, PaintThreads threads,
                          const Lanes& wide) {
  // Each buffer row must belong to one display row only, or the halves would
  // share rows.
  const bool rowsDistinct =
      p.fieldDiv == 1 || (p.fieldDiv == 2 && p.lineStep == 2 && (p.parity == 0 || p.parity == 1));
  const int64_t area = int64_t{p.colEnd - p.colBegin} * (p.rowEnd - p.rowBegin);
  const bool split = rowsDistinct && p.rowEnd - p.rowBegin >= 2 &&
                     (threads == PaintThreads::kSplit ||
                      (threads == PaintThreads::kAuto && area >= kSplitArea && TwoCores()));
  if (split) {
    const int middle = p.rowBegin + (p.rowEnd - p.rowBegin) / 2;
    std::optional<std::jthread> helper;
    try {
      helper.emplace(
          [&p, &brush, &wide, middle] { PaintRowsOn(p, brush, wide, p.rowBegin, middle); });
    } catch (const std::exception&) {
      // No thread to be had: paint everything here.
    }
    if (helper) {
      PaintRowsOn(p, brush, wide, middle, p.rowEnd);
      helper->join();
      return;
    }
  }
  PaintRowsOn(p, brush, wide, p.rowBegin, p.rowEnd);
}

// A small picture is asked into the cache as a whole before it is painted:
// its rows are read across, along the turned rows of the destination, and a
// read that waits for memory each time costs more than the painting.
void FetchSource(const Plan& p) {
  constexpr size_t kLargest = size_t{256} << 10;
  constexpr int kLine = 64;
  const size_t rowBytes = 4 * static_cast<size_t>(p.srcW);
  if (rowBytes * static_cast<size_t>(p.srcH) > kLargest) {
    return;
  }
  for (int j = 0; j < p.srcH; ++j) {
    const char* row = reinterpret_cast<const char*>(p.SrcRow(j));
    for (size_t b = 0; b < rowBytes; b += kLine) {
      _mm_prefetch(row + b, _MM_HINT_T1);
    }
  }
}

// The brush a stored code paints: the one whose thousand the code lies in, any
// code below the first thousand painting normally; none past the last.
std::optional<Brush> PaintedBrush(Brush brush) {
  const int32_t code = BrushCode(brush);
  if (code >= kBrushEnd) {
    return std::nullopt;
  }
  if (code < BrushCode(Brush::kBlur)) {
    return Brush::kNormal;
  }
  return BrushOfCode(code / kBrushStep * kBrushStep);
}

}  // namespace
}  // namespace paint

bool DrawPictureWith(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                     Brush brush, uint32_t tint, DrawMode drawMode, int stageW, int stageH,
                     const DrawPictureOptions& options) {
  using namespace paint;
  if (!source.HasHeader() || !destination.HasHeader()) {
    return false;
  }
  // Both are read and written four bytes a pixel.
  if (source.BitsPerPixel() != 32 || destination.BitsPerPixel() != 32) {
    return false;
  }
  const std::optional<Brush> painted = PaintedBrush(brush);
  if (!painted) {
    return true;
  }
  try {
    Plan p;
    p.rowSpans = options.rowSpans;
    p.vector = options.vector;
    if (!PlanPicture(p, state, drawMode, source.Width(), source.Height(), destination.Width(),
                     destination.Height(), stageW, stageH)) {
      return true;
    }
    if (*painted == Brush::kPixelate && p.R16 == 0) {
      return true;
    }
    p.srcTop = source.RowPointer(p.srcH - 1);
    p.srcStride = source.Stride();
    p.dstTop = destination.RowPointer(p.dstH - 1);
    p.dstStride = destination.Stride();
    if (!BrushReadsNeighbours(brush)) {
      // Display rows whose buffer row lies in the band. The row walk does not
      // depend on where the visited rows start, so the band's pixels come
      // out as in the whole picture.
      const int64_t first = int64_t{std::max(options.bandFirst, 0)} * p.fieldDiv;
      const int64_t end = int64_t{std::max(options.bandEnd, 0)} * p.fieldDiv;
      p.rowBegin = static_cast<int>(std::max<int64_t>(p.rowBegin, first));
      p.rowEnd = static_cast<int>(std::min<int64_t>(p.rowEnd, end));
      if (p.rowBegin >= p.rowEnd) {
        return true;
      }
    }

    FetchSource(p);
    switch (*painted) {
      case Brush::kNormal:
        PaintIndependentRows(p, NormalBrush{255 - p.L}, options.threads, NormalLanes{255 - p.L});
        break;
      case Brush::kBlur:
        if (options.blur == BlurMethod::kDirect) {
          PaintBlurDirect(p, destination);
        } else {
          PaintBlurRunning(p);
        }
        break;
      case Brush::kPixelate:
        PaintPixelate(p);
        break;
      case Brush::kDarken:
        PaintIndependentRows(p, DarkenBrush{p.L}, options.threads, DarkenLanes{p.L});
        break;
      case Brush::kLighten:
        PaintIndependentRows(p, LightenBrush{p.L}, options.threads, LightenLanes{p.L});
        break;
      case Brush::kTint: {
        const TintBrush tintBrush{p.L, static_cast<int>((tint >> 16) & 255),
                                  static_cast<int>((tint >> 8) & 255),
                                  static_cast<int>(tint & 255)};
        const TintLanes tintLanes{p.L,
                                  {tintBrush.tintBlue, tintBrush.tintGreen, tintBrush.tintRed}};
        PaintIndependentRows(p, tintBrush, options.threads, tintLanes);
        break;
      }
      case Brush::kNoColour:
        PaintIndependentRows(p, NoColourBrush{p.L}, options.threads, NoColourLanes{p.L});
        break;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool ProcessorHasAvx2() {
  return paint::HasAvx2();
}

bool ProcessorHasAvx512() {
  return paint::HasAvx512();
}

bool BrushReadsNeighbours(Brush brush) {
  const std::optional<Brush> painted = paint::PaintedBrush(brush);
  return painted == Brush::kBlur || painted == Brush::kPixelate;
}

bool DrawPicture(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                 Brush brush, uint32_t tint, DrawMode drawMode, int stageW, int stageH) {
  return DrawPictureWith(source, destination, state, brush, tint, drawMode, stageW, stageH,
                         DrawPictureOptions{});
}

}  // namespace vantoril
