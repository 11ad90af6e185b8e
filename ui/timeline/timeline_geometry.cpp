#include "ui/timeline/timeline_geometry.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "engine/show_document.h"
#include "platform/text_helpers.h"

namespace vantoril::timeline {

namespace {

int ClampToInt(int64_t value) {
  return static_cast<int>(
      std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

int TimeToX(int64_t frame, int timeScale) {
  return ClampToInt(frame * kPixelsPerStep / std::max(timeScale, 1) + kRulerLeft);
}

int XToTime(int x, int timeScale) {
  const int64_t frame = (int64_t{x} - kRulerLeft) * std::max(timeScale, 1) / kPixelsPerStep;
  return ClampToInt(std::max<int64_t>(frame, 0));
}

int ContentWidth(int32_t length, int timeScale) {
  const int64_t width =
      int64_t{std::max(length, 0)} * kPixelsPerStep / std::max(timeScale, 1) + kRulerLeft;
  return static_cast<int>(std::min<int64_t>(width, kContentWidthLimit));
}

int SanitisedTimeScale(int timeScale, int32_t length, int roundedRate) {
  const int f = std::max(roundedRate, 1);
  if (timeScale < 1) {
    return length < 3 * f ? 5 : length < 8 * f ? 10 : f;
  }
  return std::min(timeScale, kMaxScaleSteps * f);
}

int EnlargedTimeScale(int timeScale, int roundedRate) {
  const int f = std::max(roundedRate, 1);
  int scale = std::min(2 * std::max(timeScale, 1), kMaxScaleSteps * f);
  if (scale > f) {
    scale = scale / f * f;
  }
  return scale;
}

int ContractedTimeScale(int timeScale, int roundedRate) {
  const int f = std::max(roundedRate, 1);
  const int scale = std::max(f / 4, timeScale / 2) / 5 * 5;
  // Rates below 20 f.p.s. could round the scale to 0, which has no ruler.
  return std::max(scale, 1);
}

int MarkLeft(int keyIndex, int32_t time, int timeScale, int contentWidth) {
  const int left = keyIndex == 0 ? 6 : TimeToX(time, timeScale) - kMarkSize / 2;
  return std::min(left, contentWidth - 14);
}

bool IsHold(const KeyFrame& earlier, const KeyFrame& later) {
  return earlier.x == later.x && earlier.y == later.y && earlier.width == later.width &&
         earlier.height == later.height && earlier.rotation == later.rotation &&
         earlier.level == later.level;
}

std::vector<HoldSpan> HoldSpans(std::span<const KeyFrame> keys, int timeScale, int labelWidth) {
  std::vector<HoldSpan> spans;
  for (size_t k = 1; k < keys.size(); ++k) {
    if (!IsHold(keys[k - 1], keys[k])) {
      continue;
    }
    const int previous = TimeToX(keys[k - 1].time, timeScale);
    const int x1 = k == 1 ? previous + labelWidth + 22 : previous + 8;
    spans.push_back({static_cast<int>(k), x1, TimeToX(keys[k].time, timeScale) - 8});
  }
  return spans;
}

int KeyNearFrame(std::span<const KeyFrame> keys, int frame) {
  for (size_t k = 0; k < keys.size(); ++k) {
    if (std::llabs(int64_t{keys[k].time} - frame) < kHitTolerance) {
      return static_cast<int>(k);
    }
  }
  return -1;
}

std::string TrackLabel(std::string_view path, Brush brush) {
  std::string label(FileNamePart(path));
  CutAtFirstDot(label);
  switch (brush) {
    case Brush::kBlur:
      label += " / Blur";
      break;
    case Brush::kPixelate:
      label += " / Pix";
      break;
    case Brush::kDarken:
      label += " / Dark";
      break;
    case Brush::kLighten:
      label += " / Light";
      break;
    case Brush::kTint:
      label += " / Tint";
      break;
    case Brush::kNoColour:
      label += " / B&W";
      break;
    default:
      break;
  }
  return label;
}

}  // namespace vantoril::timeline
