#pragma once

#include <cstdint>

namespace vantoril {

// One key frame of a picture, and also the evaluated state of a picture at a
// time. Fourteen fields of four bytes; the layout is the one stored in show
// files, so fields 0..11 are addressed by index too (see FieldValue).
struct KeyFrame {
  float x = 0;         // 0: centre, stage pixels
  float spare1 = 0;    // 1: carried and saved
  float y = 0;         // 2: centre, stage pixels, growing downwards
  float width = 0;     // 3
  float height = 0;    // 4
  float spare5 = 0;    // 5
  float spare6 = 0;    // 6
  float rotation = 0;  // 7: degrees, clockwise on the screen
  float easeCode = 0;  // 8: ease of the move that starts here
  float spare9 = 0;    // 9
  float level = 0;     // 10: 0..100, transparency or brush strength
  float spare11 = 0;   // 11: show length in a saved first key frame
  int32_t time = 0;    // 12: frame number
  // 13: in an undo entry the picture slot and the entry's code; in a live key
  // frame tagCode is the timeline's mark word.
  uint16_t tagSlot = 0;
  uint16_t tagCode = 0;

  friend bool operator==(const KeyFrame&, const KeyFrame&) = default;
};

static_assert(sizeof(KeyFrame) == 56, "a key frame is 14 fields of 4 bytes");

inline constexpr int kInterpolatedFieldCount = 12;

// Fields 0..11 by index, as the interpolation addresses them.
inline float& FieldValue(KeyFrame& key, int field) {
  static constexpr float KeyFrame::*kFields[kInterpolatedFieldCount] = {
      &KeyFrame::x,        &KeyFrame::spare1, &KeyFrame::y,      &KeyFrame::width,
      &KeyFrame::height,   &KeyFrame::spare5, &KeyFrame::spare6, &KeyFrame::rotation,
      &KeyFrame::easeCode, &KeyFrame::spare9, &KeyFrame::level,  &KeyFrame::spare11};
  return key.*kFields[field];
}

inline float FieldValue(const KeyFrame& key, int field) {
  return FieldValue(const_cast<KeyFrame&>(key), field);
}

}  // namespace vantoril
