#pragma once

#include <cstdint>

namespace vantoril {

class Window;

// What the Timeline asks of the main window around it (and, through it, of
// the Stage). The main window implements it and hands it to
// TimelineWindow::Create.
class TimelineOwner {
 public:
  virtual ~TimelineOwner() = default;

  // After every drawing of the tracks: the Edit items follow currentKey.
  virtual void UpdateEditMenu() = 0;
  // After the Timeline changed the selected picture (a click on its row, a
  // track drag): the Picture items (brush, Lock) follow it.
  virtual void UpdatePictureMenu() = 0;
  // Key presses the Timeline receives (all but Shift) go to the main
  // window's key tables, as if pressed there.
  virtual void PassKeyToMainWindow(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // The user closed the Timeline: the main window's own close request, with
  // its save question. The Timeline stays open if that is cancelled.
  virtual void RequestClose() = 0;

  // The Stage window (host of the key frame options), or null.
  virtual Window* StageWindow() = 0;
  virtual void RepaintStage() = 0;
  // The stage frame alone, without the outline and overlays (while scrubbing).
  virtual void DrawStage(bool overlays) = 0;
  // The Stage's timecode box, and its level gauge when level >= 0.
  virtual void DrawTimecodeAndLevel(int frame, int level) = 0;
  // The main window's status panel with the selected picture's state.
  virtual void DrawStatusPanel() = 0;

  // During playback a click on the Timeline moves playback to `frame`:
  // the playback loop restarts there (and its sound, when playing forward).
  virtual void MovePlaybackTo(int frame) = 0;
};

}  // namespace vantoril
