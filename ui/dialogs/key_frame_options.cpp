#include "ui/dialogs/key_frame_options.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "ui/dialogs/described_dialog.h"

namespace vantoril {

namespace {

constexpr int kEaseGroupRow = 5;  // "Use Default"; rows 6..9 are modes 1000..4000
constexpr int kEaseSpeedRow = 10;
constexpr int kNoCurvesRow = 11;
constexpr int kEaseModeCount = 4;
constexpr int32_t kEaseSpeedBits = 254;  // bits 1..7; bit 0 is "No Curves"

// Truncation toward zero that stays defined for values no int holds.
int32_t Truncate(float value) {
  if (std::isnan(value)) {
    return 0;
  }
  constexpr double kLow = std::numeric_limits<int32_t>::min();
  constexpr double kHigh = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(static_cast<double>(value), kLow, kHigh));
}

const char* LevelDescription(Brush brush) {
  switch (brush) {
    case Brush::kBlur:
      return "@SBlurriness";
    case Brush::kPixelate:
      return "@SPixelate";
    case Brush::kDarken:
      return "@SDarkness";
    case Brush::kLighten:
      return "@SLightness";
    default:
      return "@STransparency";
  }
}

bool IsChecked(const std::string& value) {
  return value == "1";
}

}  // namespace

KeyFrameOptionRows BuildKeyFrameOptionRows(const KeyFrame& record, Brush brush) {
  KeyFrameOptionRows rows{{"Horizontal Position", "Vertical Position", "Width", "Rotation",
                           LevelDescription(brush), "@REases|Use Default", "@RIn & Out", "@RIn",
                           "@ROut", "@RNone", "@SEase Speed", "@CNo Curves"},
                          {}};
  const float fields[] = {record.x, record.y, record.width, record.rotation, record.level};
  for (int row = 0; row < kKeyFrameOptionShortRows; ++row) {
    rows.values[row] = std::to_string(Truncate(fields[row]));
  }
  // The mode is the code's thousands, rounded: 1000 "In & Out" ... 4000
  // "None". A negative code from a file counts as "Use Default".
  const int32_t mode = Truncate(record.easeCode * 0.001f + 0.5f);
  rows.values[kEaseGroupRow + std::clamp(mode, 0, kEaseModeCount)] = "1";
  const int32_t code = Truncate(record.easeCode);
  rows.values[kEaseSpeedRow] = std::to_string((code % 1000) & kEaseSpeedBits);
  if ((code & 1) != 0) {
    rows.values[kNoCurvesRow] = "1";
  }
  return rows;
}

void ReadKeyFrameOptionRows(const KeyFrameOptionRows& rows, bool shortForm, KeyFrame& record) {
  // The rows show whole numbers, but the Stage moves pictures by fractions
  // and turns them by half degrees: a row left as shown keeps its field, so
  // OK alone never moves a picture.
  float* const fields[] = {&record.x, &record.y, &record.width, &record.rotation, &record.level};
  for (int row = 0; row < kKeyFrameOptionShortRows; ++row) {
    if (rows.values[row] != std::to_string(Truncate(*fields[row]))) {
      *fields[row] = static_cast<float>(ParseSettingInt(rows.values[row]));
    }
  }
  if (shortForm) {
    return;
  }
  int32_t code = 0;
  for (int mode = 1; mode <= kEaseModeCount; ++mode) {
    if (IsChecked(rows.values[kEaseGroupRow + mode])) {
      code = 1000 * mode;
      break;
    }
  }
  if (IsChecked(rows.values[kNoCurvesRow])) {
    code += 1;
  }
  code += ParseSettingInt(rows.values[kEaseSpeedRow]) & kEaseSpeedBits;
  record.easeCode = static_cast<float>(code);
}

bool EditKeyFrameOptions(Window& stage, int x, int y, KeyFrame& record, Brush brush,
                         bool shortForm) {
  KeyFrameOptionRows rows = BuildKeyFrameOptionRows(record, brush);
  const size_t count = shortForm ? kKeyFrameOptionShortRows : kKeyFrameOptionRows;
  const int x0 = std::max(x - 250, 8);
  if (RunDescribedDialog(
          stage, x0, y, std::span<const std::string>(rows.descriptions.data(), count),
          std::span<std::string>(rows.values.data(), count), "Set KeyFrame Options") != 1) {
    return false;
  }
  ReadKeyFrameOptionRows(rows, shortForm, record);
  return true;
}

}  // namespace vantoril
