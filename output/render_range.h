#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "engine/compositor.h"

namespace vantoril {

class FrameHandoff;
class ImageBuffer;
class ShowDocument;

inline constexpr std::string_view kRenderingCaption = "Rendering... (Hit Esc key to cancel)";
inline constexpr std::string_view kRenderingHoldCaption = "Rendering Hold... (Press Esc to cancel)";

// The frames of a movie one run writes, by their place in the whole movie
// (holds and both passes counted from 0): [first, end). A movie rendered in
// parts, each part with its own window, joins into the whole movie.
struct FrameWindow {
  int64_t first = 0;
  int64_t end = INT64_MAX;
  bool Contains(int64_t place) const { return place >= first && place < end; }
  // Whether any of the places [from, to) lies in the window.
  bool Overlaps(int64_t from, int64_t to) const { return from < end && to > first; }
};

// The K-th (from 1) of N equal windows over a movie of `total` frames.
FrameWindow PartWindow(int64_t total, int64_t part, int64_t parts);

// What the render loop asks of the program around it; the window program and
// the command-line tool share the loop through it. Every member may be empty.
struct RenderCallbacks {
  // Progress of a pass: the fraction done (0..1), the caption, and the pass's
  // start tick in milliseconds of the steady clock (0: no time estimate).
  std::function<void(double fraction, std::string_view caption, int64_t startTick)> progress;
  // Polled before every frame and every held frame: true once for each
  // request to stop (Esc in the program, Ctrl+C in the command-line tool).
  std::function<bool()> cancelRequested;
  // The frame about to be rendered (the program shows it on the stage and
  // scrolls the timeline to it).
  std::function<void(int32_t time)> frameStarted;
  // Repaint the stage (before a movie and after each pass).
  std::function<void()> repaintStage;
  // Composites frame `time`; ComposeFrame when empty. Tests stamp frames.
  std::function<bool(ShowDocument& document, int32_t time, FieldMode fieldMode, ImageBuffer& frame)>
      compose;
  // Only the frames in the window are written; frames whose every copy lies
  // outside it are not composited.
  FrameWindow window;
};

struct PassResult {
  bool writesAccepted = true;  // every frame handed to the writer was accepted
  bool cancelled = false;      // a stop request ended the frame loop early
};

// Milliseconds of the steady clock, never 0.
int64_t RenderTick();

// One pass of a movie: the n = |targetTime - startTime| frames from
// startTime towards targetTime (ending one short of it), the first written
// holdFrames + 1 times and the last followed by holdFrames copies. A stop
// request ends the frame loop (the tail hold still follows the last frame
// composed, if any) and cuts a hold short. A refused frame ends the pass at
// once, without the tail hold. The show's background clip advances with
// every frame, whatever the document's holdBackgroundFrame says (restored
// afterwards). `passStart` is the place of the pass's first frame in the
// whole movie (for the callbacks' window).
PassResult RenderRange(ShowDocument& document, FrameHandoff& frames, FieldMode fieldMode,
                       int32_t startTime, int32_t targetTime, int32_t holdFrames,
                       const RenderCallbacks& callbacks, int64_t passStart = 0);

// The time-to-go estimate shown with the progress: minutes and seconds,
// seconds + 1 so that it never reads 00:00.
struct TimeToGo {
  int64_t minutes = 0;
  int64_t seconds = 0;
};
TimeToGo EstimateTimeToGo(double fraction, int64_t elapsedMilliseconds);

}  // namespace vantoril
