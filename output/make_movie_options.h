#pragma once

#include <cstdint>
#include <string>

#include "engine/compositor.h"

namespace vantoril {

// The largest side of a movie: a larger width or height is cut back to it.
inline constexpr int32_t kLargestMovieSide = 4096;
// The highest frame rate of a movie: a higher one is cut back to it.
inline constexpr double kLargestMovieRate = 60.0;

class SettingsStore;
class ShowDocument;

// The nine value texts of the "Make Movie Options" dialog, in row order.
// Check boxes are checked when their text is not empty.
struct MakeMovieTexts {
  std::string width = "720";               // "Width"
  std::string height = "480";              // "Height"
  std::string startTimecode = "00:00:00";  // "Start Timecode"
  std::string endTimecode;                 // "End Timecode" (never stored)
  std::string holds = "00:00:00";          // "Head/Tail Holds"
  std::string frameRate = "29.97";         // "FrameRate"
  std::string quality = "100";             // "@SQuality"
  std::string renderFields = "1";          // "@CRender Fields?"
  std::string reverseToo;                  // "@CReverse too?"
};

// The values of one Make Movie run.
struct MakeMovieOptions {
  int32_t width = 0;                            // 0..4096
  int32_t height = 0;                           // 0..4096
  int32_t startTime = 0;                        // frames
  int32_t endTime = 0;                          // frames
  int32_t holdFrames = 0;                       // frames, not negative
  double frameRate = 0.0;                       // 0..60 frames per second
  int32_t quality = 0;                          // 0..100
  FieldMode fieldMode = FieldMode::kFullFrame;  // or both fields interlaced
  bool reverseToo = false;
  // MovieFrames, at most the largest 32-bit count.
  int32_t totalFrames = 0;
};

// The frames one pass writes: |endTime - startTime| and the head and tail
// holds. A pass that renders no frame has no frame to hold and writes none.
int64_t PassFrames(const MakeMovieOptions& options);
// The frames of the whole movie: one pass, or two with the reverse pass.
int64_t MovieFrames(const MakeMovieOptions& options);

// The show's end: the largest time of any picture's last key frame; 0 with
// no pictures.
int32_t ShowEndTime(const ShowDocument& document);

// The texts the dialog opens with: the stored ones (at most 63 characters
// each) and the show's end time in short timecode form.
MakeMovieTexts ReadMakeMovieTexts(const SettingsStore& settings, int32_t showEndTime,
                                  int32_t frameRate);

// The options from the texts. Sizes are cut to 0..4096, the frame rate to
// 0..60 (text that is not a number gives 0), the quality to 0..100; times
// are timecodes at the show's frame rate (x 100), the start counted from 0,
// the end from the show's end, holds from 0. Negative times and holds count
// as 0: frame -1 means "the stage's own states" to the compositor.
MakeMovieOptions BuildMakeMovieOptions(const MakeMovieTexts& texts, int32_t showEndTime,
                                       int32_t frameRate);

// Rewrites the start, end and hold texts in normal short timecode form.
void NormaliseTimecodeTexts(MakeMovieTexts& texts, const MakeMovieOptions& options,
                            int32_t frameRate);

// Stores the texts that persist ("MovieWid" ... "MovieReverse").
void StoreMakeMovieTexts(SettingsStore& settings, const MakeMovieTexts& texts);

}  // namespace vantoril
