#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "engine/file_spec.h"
#include "engine/image_buffer.h"
#include "engine/key_frame.h"
#include "engine/picture_problem.h"

namespace vantoril {

inline constexpr int kKeySlots = 128;  // key frame records per picture
inline constexpr int kMaxKeys = 127;   // key frames in use per picture

// Picture treatments ("brush"). The show stores each as its code, by
// thousands; a painted code counts as the brush whose thousand it lies in.
enum class Brush : int32_t {
  kNormal = 0,
  kBlur = 1000,
  kPixelate = 2000,
  kDarken = 3000,
  kLighten = 4000,
  kTint = 5000,
  kNoColour = 6000,
};

constexpr int32_t BrushCode(Brush brush) {
  return static_cast<int32_t>(brush);
}
// Any stored code, unknown ones included, so that painting can judge them.
constexpr Brush BrushOfCode(int32_t code) {
  return static_cast<Brush>(code);
}

inline constexpr uint32_t kDefaultTint = 255;  // pure red

// A new picture's one key frame, before its image gives it a size and place.
constexpr std::array<KeyFrame, kKeySlots> NewPictureKeys() {
  std::array<KeyFrame, kKeySlots> keys{};
  keys[0].x = 200;
  keys[0].y = 200;
  keys[0].width = 100;
  keys[0].height = 100;
  return keys;
}

// One picture of a show: the image drawn, the file it came from, its key
// frames and the treatment it is drawn with. The fields are the show file's
// record of the picture; the spare words are carried so that a save gives
// them back.
struct Picture {
  ImageBuffer image{8, 8, 32};
  FileSpec file{};
  std::array<KeyFrame, kKeySlots> keys = NewPictureKeys();
  int32_t keyCount = 1;
  int32_t brush = BrushCode(Brush::kNormal);  // a code, as the file stores it
  uint32_t tint = kDefaultTint;
  uint32_t spareC = 0;
  uint32_t spareD = 0;
  uint8_t locked = 0;
  // Why the image is a stand-in for its file (kNone: the file was read).
  PictureProblem problem = PictureProblem::kNone;

  // The key frames in use, however damaged keyCount is.
  std::span<const KeyFrame> Keys() const {
    return {keys.data(), static_cast<size_t>(std::clamp(keyCount, 0, kMaxKeys))};
  }
  // The last key frame in use (the first when there is none).
  const KeyFrame& LastKey() const { return keys[std::clamp(keyCount, 1, kKeySlots) - 1]; }
  Brush BrushKind() const { return BrushOfCode(brush); }
};

}  // namespace vantoril
