#pragma once

#include <cstdint>

#include "platform/message.h"
#include "platform/window.h"

namespace vantoril {

class SettingsStore;
class ShowDocument;
class TimelineOwner;

// The strip beneath the Stage: a ruler of timecodes, one track per picture
// with a mark per key frame, "HOLD" spans, the red current-time line, and
// the gestures that scrub time, drag key frames, open the key frame options
// and reorder pictures.
class TimelineWindow : public Window {
 public:
  static constexpr int kSinglePictureView = 1;
  static constexpr int kAllPicturesView = 4;

  TimelineWindow(ShowDocument& document, const SettingsStore& settings, TimelineOwner& owner);
  ~TimelineWindow() override;

  // Reads "TimeScale" (default the rounded frame rate), creates the pop-up
  // over `parent`'s client area (a top-level window without one) with both
  // scroll bars, and lays itself out.
  bool Create(Window* parent);

  int HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void Paint() override;

  // Placement against the parent's client area, and the scroll ranges (both
  // positions back to 0). Also on every size or move message.
  void Layout();

  // Scrolls so that the current time is in view (centred when it was not),
  // then repaints.
  void EnsureTimeVisible();

  int TimeScale() const { return timeScale_; }
  // "Enlarge Timeline" and "Contract Timeline"; each ends in
  // EnsureTimeVisible.
  void Enlarge();
  void Contract();

  // 1: the selected picture alone; above 1: every picture. The caller lays
  // out the Timeline and the Stage afterwards and calls EnsureTimeVisible.
  int ViewMode() const { return viewMode_; }
  void SetViewMode(int mode) { viewMode_ = mode; }

  int ContentWidth() const { return contentWidth_; }

  // Sets the document's currentKey from the current time, the selection and
  // the key frames, as the tracks show it. The main window calls it after
  // any change of these it makes; the Timeline calls it after its own.
  void UpdateCurrentKey();

  // Content x and time of a client x (the horizontal scroll included).
  int TimeAtClientX(int clientX) const;
  // The first key frame of the selected picture under a client point, or -1.
  int HitTestKey(int clientX, int clientY) const;

  // For the playback loop, which takes the Timeline's messages itself: a
  // left-button release on the Timeline moves playback to its time
  // (through TimelineOwner::MovePlaybackTo). True when the message was one.
  bool TakePlaybackClick(const Message& message);

 private:
  enum class Gesture { kIdle, kScrubbing, kKeyDrag, kTrackDrag };

  int ClientYToRow(int clientY) const;
  bool AllPictures() const { return viewMode_ > kSinglePictureView; }
  void UpdateContentWidth();
  void ScrollTo(int position);

  void OnLeftPress(int x, int y);
  void OnMove(int x, int y);
  void OnLeftRelease(int x, int y, bool shift);
  void OnRightRelease(int x, int y);
  void ResetGestures();
  void FinishKeyDrag(int picture, int key, int t);
  void ShiftLaterKeys(int picture, int t0, int delta);

  void PaintRuler(const Rect& client);
  void PaintTracks(const Rect& client);
  void PaintTrack(int picture, int row, bool selectedRow, const Rect& client);
  void ToggleDragMarker(int clientX);
  void ToggleTrackBar(int clientY);

  ShowDocument& document_;
  const SettingsStore& settings_;
  TimelineOwner& owner_;
  Window* parent_ = nullptr;

  int timeScale_ = 30;
  int dragKey_ = -1;       // -1 none, 0 a track, > 0 the key frame being dragged
  int pressPosition_ = 0;  // content x at the press; the row in a track drag
  int contentWidth_ = 4;
  Gesture gesture_ = Gesture::kIdle;
  int viewMode_ = kSinglePictureView;

  // Inverted drag feedback: drawn twice at one place it is gone.
  bool markerShown_ = false;
  int markerX_ = 0;
  int markerTop_ = 0;
  bool barShown_ = false;
  int barY_ = 0;
};

}  // namespace vantoril
