#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/key_frame.h"
#include "engine/show_document.h"

namespace vantoril {

// The Timeline's ruler arithmetic, in content pixels (before scrolling).
// `timeScale` is frames per 60 pixels of ruler.
namespace timeline {

inline constexpr int kRulerLeft = 4;
inline constexpr int kPixelsPerStep = 60;
// Far beyond any show (an hour at the smallest scale is about 1.3 million
// pixels); it only keeps the ruler's arithmetic clear of overflow.
inline constexpr int kContentWidthLimit = 1 << 30;
inline constexpr int kFirstRowTop = 14;
inline constexpr int kRowPitch = 15;  // rows are 16 high and share a border line
inline constexpr int kRowHeight = 16;
inline constexpr int kMarkSize = 12;
inline constexpr int kHitTolerance = 7;    // frames, not pixels
inline constexpr int kMaxScaleSteps = 64;  // TimeScale at most 64 s of frames per step

int TimeToX(int64_t frame, int timeScale);
// Left of the ruler's start is frame 0.
int XToTime(int x, int timeScale);

// The scrollable width for a show of `length` frames: the whole show at every
// scale.
int ContentWidth(int32_t length, int timeScale);

// A TimeScale from the settings kept within 1..64 f: below 1 it is chosen
// from the show's length (5 for under 3 s, 10 for under 8 s, else f).
int SanitisedTimeScale(int timeScale, int32_t length, int roundedRate);

// "Enlarge Timeline": twice the scale, at most 64 f, whole seconds above f.
int EnlargedTimeScale(int timeScale, int roundedRate);
// "Contract Timeline": half the scale, at least f / 4, a multiple of 5 (and
// at least 1).
int ContractedTimeScale(int timeScale, int roundedRate);

// Where a key frame's mark stands: the first one at the row's left, the
// others centred on their time; never past the content's right end.
int MarkLeft(int keyIndex, int32_t time, int timeScale, int contentWidth);

// Two key frames that change nothing between them (position, size,
// rotation, level).
bool IsHold(const KeyFrame& earlier, const KeyFrame& later);

// A "HOLD" span of a track: the line between the marks of key frames
// key - 1 and key, drawn from x1 to x2.
struct HoldSpan {
  int key = 0;
  int x1 = 0;
  int x2 = 0;
};
// The first span starts after the track's label (labelWidth pixels).
std::vector<HoldSpan> HoldSpans(std::span<const KeyFrame> keys, int timeScale, int labelWidth);

// The index of the first key frame whose time is less than 7 frames from
// `frame`, or -1.
int KeyNearFrame(std::span<const KeyFrame> keys, int frame);

// A track's label: the file name without folder and extension, with the
// brush's suffix (" / Blur" ... " / B&W").
std::string TrackLabel(std::string_view path, Brush brush);

}  // namespace timeline
}  // namespace vantoril
