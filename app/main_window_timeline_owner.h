#pragma once

#include <cstdint>

#include "ui/timeline/timeline_owner.h"

namespace vantoril {

class MainWindow;

// What the Timeline asks of the main window, answered by the main window
// and its Stage.
class MainWindowTimelineOwner : public TimelineOwner {
 public:
  explicit MainWindowTimelineOwner(MainWindow& main) : main_(main) {}

  void UpdateEditMenu() override;
  void UpdatePictureMenu() override;
  void PassKeyToMainWindow(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void RequestClose() override;
  Window* StageWindow() override;
  void RepaintStage() override;
  void DrawStage(bool overlays) override;
  void DrawTimecodeAndLevel(int frame, int level) override;
  void DrawStatusPanel() override;
  void MovePlaybackTo(int frame) override;

 private:
  MainWindow& main_;
};

}  // namespace vantoril
