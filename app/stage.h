#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/key_frame.h"
#include "engine/show_document.h"
#include "platform/bitmap_button.h"
#include "platform/geometry.h"
#include "platform/window.h"

namespace vantoril {

class MainWindow;
class SettingsStore;
class SoundTrackPlayer;

// Drag modes of the Stage: what a press on the selected picture grabbed.
enum class StageDrag { kNone, kMove, kRotate, kResize };

// Rotates (px, py) about (cx, cy) by `degrees`, rounding half up.
Point RotatePointAbout(int px, int py, int cx, int cy, double degrees);

// The outline of a picture state on a stage drawn at `scale` with its top
// left at `origin`: the four rotated corners (top-left, top-right,
// bottom-right, bottom-left), the centre and the half sizes.
struct PictureOutline {
  std::array<Point, 4> corners;
  Point centre;
  int halfWidth = 0;
  int halfHeight = 0;
};
PictureOutline OutlineOf(const KeyFrame& state, double scale, Point origin);

// The hit test of the selected picture's outline: 9 rotate (top-left
// corner), 10 resize (another corner), 8 move (the square of half the
// height around the centre), else 0.
StageDrag HitTestOutline(const KeyFrame& state, double scale, Point origin, int x, int y);

// The zoom steps of the Stage.
double ZoomIn(double scale);
double ZoomOut(double scale);
// "Scale" as stored (percent); 0 or less, or a value that is not a zoom
// step, reads as 100.
double ScaleFromSetting(int32_t percent);

// The view of the show: the stage frame drawn scaled with the selected
// picture's outline and handles, the transport and set-key buttons, the
// timecode box and the level gauge; gestures edit the picture states and
// set key frames; the transport plays the show paced by the clock.
class Stage : public Window {
 public:
  Stage(ShowDocument& document, SettingsStore& settings, MainWindow& main, SoundTrackPlayer* sound);
  ~Stage() override;

  bool Create();
  int HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void Paint() override;

  // Places the window over the main window's client area above the
  // Timeline.
  void Layout();
  void DrawStage(bool overlays);
  void DrawPictureOutline(int picture, bool inverted);
  StageDrag HitTestSelected(int x, int y) const;
  int PickPicture(int x, int y) const;
  void DrawTimecodeAndLevel(int frame, int level);
  void Transport(int direction);
  // During playback: playback goes on from `frame` (the sound restarts
  // there when playing forward).
  void MovePlaybackTo(int frame);
  // A frame at its own size at the content's top-left (the field preview).
  void DrawFrameAtOrigin(const ImageBuffer& frame);
  // The progress panel of Make Movie, drawn straight onto the Stage.
  void DrawRenderProgress(double fraction, std::string_view caption, int64_t startTick);

  std::span<KeyFrame> States() { return states_; }
  double Scale() const { return scale_; }
  void SetScale(double scale) { scale_ = scale; }
  bool showMotionPath = false;
  bool showTvSafe = false;
  int PlayDirection() const { return playDirection_; }
  StageDrag DragMode() const { return dragMode_; }
  // The picture rectangle of the last paint.
  Rect PictureRect() const;
  // The interpolation mode the Stage draws paths with.
  static constexpr int kPathMode = 0;

 private:
  void PlaceControls(int x, int y, int level);
  void LeftPress(int x, int y, bool shift);
  void LeftRelease(int x, int y);
  void MouseMove(int x, int y, uintptr_t buttons);
  void RightPress(int x, int y);
  void EditTimecode();
  class ContentScope;
  // A mouse message's client point plus the scroll position.
  Point ContentPoint(intptr_t lParam) const;
  bool ScrollByKey(int code);
  void KeyPress(int code, int picture);
  void SetLevelFromX(int x);
  void RunPlayback();
  void StartSound();
  bool NearPathPoint(int x, int y, int32_t* time) const;
  void ResetGestures();

  ShowDocument& document_;
  SettingsStore& settings_;
  MainWindow& main_;
  SoundTrackPlayer* sound_;
  std::array<KeyFrame, kSlotCount> states_{};
  double scale_ = 1.0;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;  // the picture rectangle
  BitmapButton reverse_, stop_, play_, setKey_;
  Rect timecodeBox_{};
  StageDrag dragMode_ = StageDrag::kNone;
  bool levelDrag_ = false;
  bool outlineShown_ = false;
  Point pressCentre_{};
  Point grab_{};
  int playDirection_ = 0;
  int64_t ticksPerFrame_ = 1;
  int32_t endFrame_ = 0;
  int32_t startFrame_ = 0;
  int64_t startCounter_ = 0;
};

}  // namespace vantoril
