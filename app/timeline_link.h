#pragma once

#include <cstdint>

#include "platform/message.h"

namespace vantoril {

class Window;

// What the main window and the Stage ask of the Timeline window. The
// Timeline implements it; until one is plugged in, TimelineHolder answers
// every request harmlessly so that the program works without it.
class TimelineLink {
 public:
  virtual ~TimelineLink() = default;

  // The Timeline's window (for posting the "drag ended" message and telling
  // a click on it from one on the Stage).
  virtual Window& TimelineWindow() = 0;
  virtual void Repaint() = 0;
  // Scrolls so that the current frame is in view.
  virtual void EnsureTimeVisible() = 0;
  // Frames per ruler step.
  virtual int TimeScale() const = 0;
  // Enlarge Timeline (Ctrl+>) and Contract Timeline (Ctrl+<).
  virtual void Enlarge() = 0;
  virtual void Contract() = 0;
  // 1 shows the selected picture's track alone, 4 (any value above 1) every
  // picture's.
  virtual int ViewMode() const = 0;
  virtual void SetViewMode(int mode) = 0;
  // Lays itself out from the main window's rectangle (after a size change,
  // a new show or a change in the picture count).
  virtual void Relayout() = 0;
  // The Timeline's client rectangle in the main window's client coordinates.
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  // The show frame under client x of the Timeline (a click moves playback).
  virtual int32_t TimeAtX(int x) const = 0;
  // For the playback loop, which takes the Timeline's messages itself: a
  // left-button release on the Timeline moves playback to its time. True
  // when the message was one.
  virtual bool TakePlaybackClick(const Message& message) = 0;
};

inline constexpr int kTimelineSingleView = 1;
inline constexpr int kTimelineAllView = 4;

// The main window's reference to the Timeline: null-safe, with the
// defaults the rest of the program relies on when there is none.
class TimelineHolder {
 public:
  void Plug(TimelineLink* link) { link_ = link; }
  TimelineLink* Get() const { return link_; }
  bool Exists() const { return link_ != nullptr; }

  void Repaint() const {
    if (link_) link_->Repaint();
  }
  void EnsureTimeVisible() const {
    if (link_) link_->EnsureTimeVisible();
  }
  int TimeScale() const { return link_ ? link_->TimeScale() : 30; }
  void Enlarge() const {
    if (link_) link_->Enlarge();
  }
  void Contract() const {
    if (link_) link_->Contract();
  }
  // Without a Timeline the Stage leaves room as for the single view.
  int ViewMode() const { return link_ ? link_->ViewMode() : kTimelineSingleView; }
  void SetViewMode(int mode) const {
    if (link_) link_->SetViewMode(mode);
  }
  void Relayout() const {
    if (link_) link_->Relayout();
  }
  bool TakePlaybackClick(const Message& message) const {
    return link_ && link_->TakePlaybackClick(message);
  }

 private:
  TimelineLink* link_ = nullptr;
};

}  // namespace vantoril
