#pragma once

#include <cstdint>
#include <memory>

#include "app/main_window_timeline_owner.h"
#include "app/timeline_link.h"
#include "ui/timeline/timeline_window.h"

namespace vantoril {

class MainWindow;
class SettingsStore;
class ShowDocument;

// The Timeline window as the main window and the Stage see it: owns the
// window and what it asks of the main window.
class TimelineAdapter : public TimelineLink {
 public:
  // Creates the Timeline over the main window's client area (after the
  // Stage); null when the window could not be made.
  static std::unique_ptr<TimelineAdapter> Create(MainWindow& main, ShowDocument& document,
                                                 const SettingsStore& settings);

  TimelineAdapter(MainWindow& main, ShowDocument& document, const SettingsStore& settings);

  Window& TimelineWindow() override { return window_; }
  // currentKey is marked first, so that the Edit commands see it even when
  // the window has nothing to paint on.
  void Repaint() override;
  void EnsureTimeVisible() override { window_.EnsureTimeVisible(); }
  int TimeScale() const override { return window_.TimeScale(); }
  void Enlarge() override { window_.Enlarge(); }
  void Contract() override { window_.Contract(); }
  int ViewMode() const override { return window_.ViewMode(); }
  void SetViewMode(int mode) override { window_.SetViewMode(mode); }
  void Relayout() override { window_.Layout(); }
  int Left() const override { return window_.WindowRect().left; }
  int Top() const override { return window_.WindowRect().top; }
  int32_t TimeAtX(int x) const override { return window_.TimeAtClientX(x); }
  bool TakePlaybackClick(const Message& message) override {
    return window_.TakePlaybackClick(message);
  }

  vantoril::TimelineWindow& Timeline() { return window_; }

 private:
  MainWindowTimelineOwner owner_;  // outlives the window, which calls it
  vantoril::TimelineWindow window_;
  MainWindow& main_;
};

}  // namespace vantoril
