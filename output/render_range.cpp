#include "output/render_range.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "engine/compositor.h"
#include "engine/show_document.h"
#include "output/frame_handoff.h"

namespace vantoril {
namespace {

// Restores the document's "Fast Display" state however the pass ends.
class BackgroundHoldOff {
 public:
  explicit BackgroundHoldOff(ShowDocument& document)
      : document_(document), saved_(document.holdBackgroundFrame) {
    document_.holdBackgroundFrame = 0;
  }
  ~BackgroundHoldOff() { document_.holdBackgroundFrame = saved_; }
  BackgroundHoldOff(const BackgroundHoldOff&) = delete;
  BackgroundHoldOff& operator=(const BackgroundHoldOff&) = delete;

 private:
  ShowDocument& document_;
  uint8_t saved_;
};

bool Cancelled(const RenderCallbacks& callbacks) {
  return callbacks.cancelRequested && callbacks.cancelRequested();
}

void Progress(const RenderCallbacks& callbacks, double fraction, std::string_view caption,
              int64_t startTick) {
  if (callbacks.progress) callbacks.progress(fraction, caption, startTick);
}

enum class HoldEnd { kDone, kCancelled, kWriteFailed };

// Writes the current frame `count` times with the hold progress, from place
// `place` of the movie on; copies outside the window are left out.
HoldEnd WriteHold(FrameHandoff& frames, int32_t count, int64_t place,
                  const RenderCallbacks& callbacks) {
  for (int32_t j = 0; j < count; ++j) {
    if (Cancelled(callbacks)) return HoldEnd::kCancelled;
    if (callbacks.window.Contains(place + j) && !frames.Write()) return HoldEnd::kWriteFailed;
    Progress(callbacks, static_cast<double>(j) / count, kRenderingHoldCaption, 0);
  }
  return HoldEnd::kDone;
}

}  // namespace

int64_t RenderTick() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const int64_t tick = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return tick != 0 ? tick : 1;
}

FrameWindow PartWindow(int64_t total, int64_t part, int64_t parts) {
  return {(part - 1) * total / parts, part * total / parts};
}

PassResult RenderRange(ShowDocument& document, FrameHandoff& frames, FieldMode fieldMode,
                       int32_t startTime, int32_t targetTime, int32_t holdFrames,
                       const RenderCallbacks& callbacks, int64_t passStart) {
  PassResult result;
  {
    BackgroundHoldOff backgroundRuns(document);
    document.GoToTime(startTime, true);
    const int64_t startTick = RenderTick();

    const int64_t n = std::llabs(int64_t{targetTime} - int64_t{startTime});
    const int32_t step = targetTime >= startTime ? 1 : -1;
    const FrameWindow& window = callbacks.window;
    const int64_t holds = std::max(holdFrames, 0);
    // Frame i goes to place passStart + holds + i (the first also to the
    // holds before it); the tail hold follows the last frame.
    const int64_t tailPlace = passStart + holds + n;
    // The tail hold repeats the last frame composed; without one there is
    // nothing to hold (the canvas would go out black).
    bool composed = false;
    int32_t time = startTime;
    for (int64_t i = 0; i < n; ++i, time += step) {
      const int64_t place = passStart + holds + i;
      const bool needed = window.Overlaps(i == 0 ? passStart : place, place + 1) ||
                          (i == n - 1 && window.Overlaps(tailPlace, tailPlace + holds));
      if (!needed) continue;
      Progress(callbacks, static_cast<double>(i) / static_cast<double>(n), kRenderingCaption,
               startTick);
      if (callbacks.frameStarted) callbacks.frameStarted(time);
      if (Cancelled(callbacks)) {
        result.cancelled = true;
        break;
      }
      // The clip reader and the stage follow the program's current time.
      document.clock.currentTime = time;
      ImageBuffer& canvas = frames.Canvas();
      if (callbacks.compose) {
        callbacks.compose(document, time, fieldMode, canvas);
      } else {
        ComposeFrame(document, time, fieldMode, 1, canvas);
      }
      composed = true;
      frames.Present();
      if (i == 0 && WriteHold(frames, holdFrames, passStart, callbacks) == HoldEnd::kWriteFailed) {
        result.writesAccepted = false;
        break;
      }
      if (window.Contains(place) && !frames.Write()) {
        result.writesAccepted = false;
        break;
      }
    }
    document.clock.currentTime = time;
    // A refused frame ends the movie: more writes would fail the same way.
    if (result.writesAccepted && composed &&
        WriteHold(frames, holdFrames, tailPlace, callbacks) == HoldEnd::kWriteFailed) {
      result.writesAccepted = false;
    }
    if (!frames.Finish()) result.writesAccepted = false;
  }
  if (callbacks.repaintStage) callbacks.repaintStage();
  document.GoToTime(document.clock.currentTime, true);
  return result;
}

TimeToGo EstimateTimeToGo(double fraction, int64_t elapsedMilliseconds) {
  int64_t seconds = 0;
  if (fraction > 0.0) {
    const double total = static_cast<double>(elapsedMilliseconds) / fraction;
    seconds = static_cast<int64_t>(total - static_cast<double>(elapsedMilliseconds)) / 1000;
  }
  return {seconds / 60, seconds % 60 + 1};
}

}  // namespace vantoril
