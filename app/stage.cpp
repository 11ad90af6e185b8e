#include "app/stage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "app/motion_path.h"
#include "app/window_settings.h"
#include "engine/compositor.h"
#include "engine/settings_store.h"
#include "engine/timecode.h"
#include "media/sound_track_player.h"
#include "output/make_movie_options.h"
#include "output/render_range.h"
#include "platform/drawing.h"
#include "platform/key_codes.h"
#include "platform/message_boxes.h"
#include "platform/message_queue.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "ui/dialogs/key_frame_options.h"

namespace vantoril {

namespace {

constexpr uint32_t kYellow = Rgb(255, 255, 0);
constexpr int kScrollLineStep = 60;
constexpr int kScrollRange = 4096;

bool IsShiftHeld(uintptr_t wParam) {
  return (wParam & kMkShift) != 0;
}

std::string LevelName(Brush brush) {
  switch (brush) {
    case Brush::kBlur:
      return "Blurriness";
    case Brush::kPixelate:
      return "Pixelate";
    case Brush::kDarken:
      return "Darkness";
    case Brush::kLighten:
      return "Lightness";
    default:
      return "Transparency";
  }
}

}  // namespace

// The Stage's drawing context with its origin at the scroll position, so that
// everything is drawn in content coordinates; the previous origin comes back
// at the end (scopes nest).
class Stage::ContentScope {
 public:
  explicit ContentScope(Stage& stage) : scope_(stage), saved_(DrawingOrigin()) {
    const Point scroll = stage.ScrollPosition();
    SetDrawingOrigin(scroll.x, scroll.y);
  }
  ~ContentScope() { SetDrawingOrigin(saved_.x, saved_.y); }
  ContentScope(const ContentScope&) = delete;
  ContentScope& operator=(const ContentScope&) = delete;

 private:
  DrawingScope scope_;
  Point saved_;
};

Point RotatePointAbout(int px, int py, int cx, int cy, double degrees) {
  const double r = degrees * static_cast<double>(0.0174532f);
  const double dx = px - cx;
  const double dy = py - cy;
  return Point{cx + static_cast<int>(std::cos(r) * dx - std::sin(r) * dy + 0.5),
               cy + static_cast<int>(std::sin(r) * dx + std::cos(r) * dy + 0.5)};
}

PictureOutline OutlineOf(const KeyFrame& state, double scale, Point origin) {
  PictureOutline o;
  o.halfWidth = static_cast<int>(state.width * scale * 0.5);
  o.halfHeight = static_cast<int>(state.height * scale * 0.5);
  o.centre = Point{origin.x + static_cast<int>(state.x * scale),
                   origin.y + static_cast<int>(state.y * scale)};
  const int cx = o.centre.x, cy = o.centre.y, hw = o.halfWidth, hh = o.halfHeight;
  const Point raw[4] = {
      {cx - hw, cy - hh}, {cx + hw, cy - hh}, {cx + hw, cy + hh}, {cx - hw, cy + hh}};
  for (int i = 0; i < 4; ++i) {
    o.corners[i] = RotatePointAbout(raw[i].x, raw[i].y, cx, cy, state.rotation);
  }
  return o;
}

StageDrag HitTestOutline(const KeyFrame& state, double scale, Point origin, int x, int y) {
  const PictureOutline o = OutlineOf(state, scale, origin);
  const int t = std::max(o.halfWidth / 6, 4);
  for (int i = 0; i < 4; ++i) {
    if (std::abs(x - o.corners[i].x) <= t && std::abs(y - o.corners[i].y) <= t) {
      return i == 0 ? StageDrag::kRotate : StageDrag::kResize;
    }
  }
  if (std::abs(x - o.centre.x) <= o.halfHeight && std::abs(y - o.centre.y) <= o.halfHeight) {
    return StageDrag::kMove;
  }
  return StageDrag::kNone;
}

double ZoomIn(double scale) {
  if (scale < 0.75) return 0.75;
  if (scale < 1.0) return 1.0;
  return 2.0;
}

double ZoomOut(double scale) {
  if (scale > 1.0) return 1.0;
  if (scale > 0.75) return 0.75;
  return 0.5;
}

double ScaleFromSetting(int32_t percent) {
  switch (percent) {
    case 50:
      return 0.5;
    case 75:
      return 0.75;
    case 200:
      return 2.0;
    default:
      return 1.0;
  }
}

Stage::Stage(ShowDocument& document, SettingsStore& settings, MainWindow& main,
             SoundTrackPlayer* sound)
    : document_(document),
      settings_(settings),
      main_(main),
      sound_(sound),
      reverse_(kBitmapReverse, kBitmapReversePressed, 0, kBitmapReverseLit),
      stop_(kBitmapStop, kBitmapStopPressed, 0, kBitmapStopLit),
      play_(kBitmapPlay, kBitmapPlayPressed, 0, kBitmapPlayLit),
      setKey_(kBitmapSetKey, kBitmapSetKeyPressed, 0, 0) {}

Stage::~Stage() = default;

bool Stage::Create() {
  const WindowSettings saved = LoadWindowSettings(settings_);
  scale_ = ScaleFromSetting(saved.scalePercent);
  showMotionPath = saved.showMotionPath;
  showTvSafe = saved.showTvSafe;
  playDirection_ = 0;
  if (!Window::Create(&main_, kStylePopup | kStyleBorder | kStyleHScroll | kStyleVScroll)) {
    return false;
  }
  Show(kShowNormal);
  Layout();
  ResetGestures();
  states_[0] = document_.PictureAt(0).keys[0];
  return true;
}

void Stage::Layout() {
  const Rect client = main_.ClientRect();
  const int margin = GetSystemMetric(SystemMetric::kHScrollArrowWidth);
  int bottomMargin = 84;
  if (main_.Timeline().Exists() && main_.Timeline().ViewMode() > kTimelineSingleView) {
    bottomMargin = 54 + 15 * std::clamp(document_.pictureCount, 1, 8);
  }
  Rect place{client.left + margin, client.top + margin, client.right - margin,
             client.bottom - bottomMargin};
  place.right = std::max(place.right, place.left + 1);
  place.bottom = std::max(place.bottom, place.top + 1);
  SetScrollRanges(kScrollRange, kScrollRange, RectWidth(place), RectHeight(place));
  Move(place, false);
  Repaint();
}

Rect Stage::PictureRect() const {
  return Rect{left_, top_, left_ + width_, top_ + height_};
}

void Stage::Paint() {
  if (!IsCreated()) return;
  const Rect client = ClientRect();
  const int W = document_.stageFrame.Width();
  const int H = document_.stageFrame.Height();
  width_ = static_cast<int>(W * scale_);
  height_ = static_cast<int>(H * scale_);
  left_ = std::max((RectWidth(client) - width_) / 2, 0);
  top_ = std::max((RectHeight(client) - height_) / 2, 0);
  {
    ContentScope scope(*this);
    const int L = left_, T = top_, w = width_, h = height_;
    DrawFilledRect(kLightGrey, Rect{0, 0, L + 1, 4096});
    DrawFilledRect(kLightGrey, Rect{L, 0, 4096, T + 1});
    DrawFilledRect(kLightGrey, Rect{L + w, 0, 4096, 4096});
    DrawFilledRect(kLightGrey, Rect{L, T + h, L + w + 1, 4096});
  }
  DrawStage(true);
  const int p = document_.EditablePicture();
  const int level = p >= 0 ? static_cast<int>(states_[p].level) : 0;
  PlaceControls(left_ + width_ - 184, top_ + height_ + 4, level);
  if (p >= 0) {
    main_.DrawStatusPanel(states_[p]);
  }
}

void Stage::DrawStage(bool overlays) {
  if (!IsCreated()) return;
  ComposeFrame(document_, -1, FieldMode::kFullFrame, 1, document_.stageFrame);
  ContentScope scope(*this);
  const Rect picture = PictureRect();
  DrawImageBuffer(document_.stageFrame, picture);
  outlineShown_ = false;
  const int p = document_.EditablePicture();
  if (!overlays) return;
  const int L = left_, T = top_, w = width_, h = height_;
  if (p >= 0 && document_.PictureAt(p).locked) return;
  DrawOutlineRect(kWhite, picture);
  if (p >= 0 && showMotionPath) {
    const Picture& picture = document_.PictureAt(p);
    const int n = std::clamp(picture.keyCount, 1, kKeySlots);
    DrawMotionPath(std::span<const KeyFrame>(picture.keys.data(), n), kPathMode, L, T, scale_,
                   kYellow);
  }
  if (showTvSafe) {
    Rect title = picture;
    InflateRect(title, -static_cast<int>(0.096 * w), -static_cast<int>(0.096 * h));
    DrawOutlineRoundRect(kWhite, title, static_cast<int>(0.1 * w));
    Rect action = picture;
    InflateRect(action, -static_cast<int>(0.048 * w), -static_cast<int>(0.048 * h));
    DrawOutlineRect(kWhite, action);
  }
  DrawLine(kWhite, Rect{L, T + h, L, T});
  DrawLine(kWhite, Rect{L, T, L + w, T});
  DrawLine(kDarkGrey, Rect{L + w, T, L + w, T + h});
  DrawLine(kDarkGrey, Rect{L + w, T + h, L - 1, T + h});
  if (p >= 0) {
    DrawPictureOutline(p, false);
  }
}

void Stage::DrawPictureOutline(int picture, bool inverted) {
  if (!document_.HasPicture(picture)) return;
  ContentScope scope(*this);
  const PictureOutline o = OutlineOf(states_[picture], scale_, Point{left_, top_});
  const Point outline[5] = {o.corners[0], o.corners[1], o.corners[2], o.corners[3], o.corners[0]};
  const int cx = o.centre.x, cy = o.centre.y;
  const Point handle = RotatePointAbout(cx - o.halfWidth + 7, cy - o.halfHeight + 7, cx, cy,
                                        states_[picture].rotation);
  const Rect circle{handle.x - 4, handle.y - 4, handle.x + 4, handle.y + 4};
  const int d = std::max(o.halfWidth / 8, 4);
  const Rect vertical{cx, cy - d, cx, cy + d};
  const Rect horizontal{cx - d, cy, cx + d, cy};
  if (inverted) {
    InvertPolyline(outline, 2);
    InvertLine(vertical, 2);
    InvertLine(horizontal, 2);
    InvertEllipse(circle, 1);
    outlineShown_ = !outlineShown_;
    return;
  }
  for (const auto& [colour, width] : {std::pair{kYellow, 3}, std::pair{kBlack, 1}}) {
    // The ellipse call has no pen width; the wide yellow ring is two rings.
    DrawOutlineEllipse(colour, circle);
    if (width > 1) {
      DrawOutlineEllipse(
          colour, Rect{circle.left - 1, circle.top - 1, circle.right + 1, circle.bottom + 1});
    }
    DrawPolyline(colour, width, outline);
    DrawLine(colour, vertical, width);
    DrawLine(colour, horizontal, width);
  }
}

StageDrag Stage::HitTestSelected(int x, int y) const {
  const int p = document_.EditablePicture();
  if (p < 0 || document_.PictureAt(p).locked) return StageDrag::kNone;
  return HitTestOutline(states_[p], scale_, Point{left_, top_}, x, y);
}

int Stage::PickPicture(int x, int y) const {
  for (int p = 0; p < document_.pictureCount; ++p) {
    if (document_.PictureAt(p).locked) continue;
    const KeyFrame& s = states_[p];
    const int cx = left_ + static_cast<int>(s.x * scale_);
    const int cy = top_ + static_cast<int>(s.y * scale_);
    const int hw = static_cast<int>(s.width * scale_ * 0.25);
    const int hh = static_cast<int>(s.height * scale_ * 0.25);
    if (x >= cx - hw && x <= cx + hw && y >= cy - hh && y <= cy + hh) {
      return p;
    }
  }
  return document_.selectedPicture;
}

void Stage::PlaceControls(int x, int y, int level) {
  ContentScope scope(*this);
  Rect r{x + 4, y + 4, x + 4 + 19, y + 4 + 19};
  reverse_.Place(r);
  OffsetRect(r, 24, 0);
  stop_.Place(r);
  OffsetRect(r, 24, 0);
  play_.Place(r);
  OffsetRect(r, 109, 0);
  setKey_.Place(r);
  timecodeBox_ = Rect{r.left - 85, r.top, r.left - 85 + 80, r.bottom};
  DrawTimecodeAndLevel(document_.clock.currentTime, level);
}

void Stage::DrawTimecodeAndLevel(int frame, int level) {
  if (!IsCreated()) return;
  ContentScope scope(*this);
  const Rect box = timecodeBox_;
  DrawFilledRect(kWhite, Rect{box.left, box.top, box.right + 1, box.bottom + 1});
  DrawOutlineRoundRect(kBlack, box, 6);
  SelectFont(GetInterfaceFont(InterfaceFont::k12), kWhite, kOpaque);
  DrawText(kBlack, FormatTimecode(frame, false, document_.clock.frameRate), RectCentreX(box),
           box.bottom - 17, kAlignCentre);
  SelectFont(kNoFont);
  if (level < 0) return;
  const int L = left_, B = top_ + height_;
  DrawFilledRect(kLightGrey, Rect{L - 72, B + 8, L + 1, B + 21});
  const int p = document_.EditablePicture();
  SelectFont(GetInterfaceFont(InterfaceFont::k10), std::nullopt, kTransparent);
  DrawText(kBlack, LevelName(p >= 0 ? document_.PictureAt(p).BrushKind() : Brush::kNormal), L + 40,
           B + 20, kAlignCentre);
  SelectFont(kNoFont);
  DrawSlider(kLightGrey, kDarkGrey, Rect{L, B + 8, L + 80, B + 20}, level, 100, false);
}

void Stage::ResetGestures() {
  dragMode_ = StageDrag::kNone;
  levelDrag_ = false;
}

Point Stage::ContentPoint(intptr_t lParam) const {
  const Point scroll = ScrollPosition();
  return Point{MouseX(lParam) + scroll.x, MouseY(lParam) + scroll.y};
}

bool Stage::ScrollByKey(int code) {
  if (!IsControlDown()) return false;
  switch (code) {
    case vk::kLeft:
      ScrollStep(kWmHScroll, kSbLineUp, kScrollLineStep);
      return true;
    case vk::kRight:
      ScrollStep(kWmHScroll, kSbLineDown, kScrollLineStep);
      return true;
    case vk::kUp:
      ScrollStep(kWmVScroll, kSbLineUp, kScrollLineStep);
      return true;
    case vk::kDown:
      ScrollStep(kWmVScroll, kSbLineDown, kScrollLineStep);
      return true;
    case vk::kPrior:
      ScrollStep(kWmVScroll, kSbPageUp, kScrollLineStep);
      return true;
    case vk::kNext:
      ScrollStep(kWmVScroll, kSbPageDown, kScrollLineStep);
      return true;
    default:
      return false;
  }
}

int Stage::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // Mouse positions are tested in content coordinates.
  const Point at = ContentPoint(lParam);
  const int x = at.x;
  const int y = at.y;
  switch (message) {
    case kWmMove:
    case kWmSize:
      break;
    case kWmKeyDown:
      // Ctrl with the arrows and page keys scrolls; without Ctrl they stay
      // the picture's and the selection's keys.
      if (ScrollByKey(static_cast<int>(wParam))) break;
      [[fallthrough]];
    case kWmChar: {
      // The picture the key was meant for: Page Up and Page Down change the
      // selection in the main window's handling before they resize.
      const int picture = document_.EditablePicture();
      if (main_.HandleKey(message, static_cast<int>(wParam))) {
        KeyPress(static_cast<int>(wParam), picture);
      }
      break;
    }
    case kWmLButtonDown:
      LeftPress(x, y, IsShiftHeld(wParam));
      break;
    case kWmLButtonUp:
      LeftRelease(x, y);
      break;
    case kWmMouseMove:
      MouseMove(x, y, wParam);
      break;
    case kWmRButtonDown:
      RightPress(x, y);
      break;
    case kWmLButtonDblClk:
      if (PointInRect(timecodeBox_, x, y)) EditTimecode();
      break;
    case kWmHScroll:
    case kWmVScroll:
      ScrollStep(message, wParam, kScrollLineStep);
      break;
    case kWmResetGestures:
      ResetGestures();
      break;
    default:
      break;
  }
  return 1;
}

void Stage::KeyPress(int code, int p) {
  if (code == vk::kShift) return;
  if (!document_.HasPicture(p) || document_.PictureAt(p).locked) return;
  KeyFrame& s = states_[p];
  switch (code) {
    case vk::kLeft:
      s.x -= 1;
      break;
    case vk::kRight:
      s.x += 1;
      break;
    case vk::kUp:
      s.y -= 1;
      break;
    case vk::kDown:
      s.y += 1;
      break;
    case vk::kPrior:
      s.width += 1;
      s.height += 1;
      break;
    case vk::kNext:
      s.width = std::max(s.width - 1, 4.0f);
      s.height = std::max(s.height - 1, 4.0f);
      break;
    default:
      return;
  }
  DrawStage(true);
}

void Stage::LeftPress(int x, int y, bool shift) {
  SetFocus();
  if (shift && document_.pictureCount > 0) {
    document_.SelectPicture(PickPicture(x, y));
    main_.UpdatePictureMenu(document_.selectedPicture);
    main_.RepaintTimeline();
  }
  {
    ContentScope scope(*this);
    reverse_.PressTest(x, y, BitmapButton::kPressed);
    stop_.PressTest(x, y, BitmapButton::kPressed);
    play_.PressTest(x, y, BitmapButton::kPressed);
    setKey_.PressTest(x, y, BitmapButton::kPressed);
  }
  const int p = document_.EditablePicture();
  const int L = left_, B = top_ + height_;
  if (p >= 0 && !document_.PictureAt(p).locked && x > L && x < L + 100 && y > B && y < B + 20) {
    levelDrag_ = true;
  }
  dragMode_ = HitTestSelected(x, y);
  if (dragMode_ != StageDrag::kNone) {
    DrawPictureOutline(p, true);
    const KeyFrame& s = states_[p];
    pressCentre_ = Point{static_cast<int>(s.x * scale_), static_cast<int>(s.y * scale_)};
    grab_ = Point{x - L - pressCentre_.x, y - top_ - pressCentre_.y};
    if (dragMode_ == StageDrag::kRotate) {
      grab_.x = (x - L) - static_cast<int>(s.rotation * 2.0);
    }
  }
  main_.RepaintTimeline();
}

void Stage::MouseMove(int x, int y, uintptr_t buttons) {
  const int p = document_.EditablePicture();
  if (levelDrag_ && p >= 0) {
    SetLevelFromX(x);
    DrawTimecodeAndLevel(document_.clock.currentTime, static_cast<int>(states_[p].level));
    DrawStage(false);
    return;
  }
  if (dragMode_ == StageDrag::kNone || p < 0) {
    switch (HitTestSelected(x, y)) {
      case StageDrag::kMove:
        SetCursor(kCursorHand);
        break;
      case StageDrag::kResize:
        SetCursor(kCursorSizeNwSe);
        break;
      case StageDrag::kRotate:
        SetCursor(kCursorRotate);
        break;
      default:
        SetCursor(showMotionPath && NearPathPoint(x, y, nullptr) ? kCursorCross : kCursorArrow);
        break;
    }
    return;
  }
  if (outlineShown_) DrawPictureOutline(p, true);
  KeyFrame& s = states_[p];
  const int mx = x - left_;
  const int my = y - top_;
  const bool shift = IsShiftHeld(buttons);
  switch (dragMode_) {
    case StageDrag::kMove:
      s.x = static_cast<float>((mx - grab_.x) / scale_);
      s.y = static_cast<float>((my - grab_.y) / scale_);
      if (shift) {
        if (std::abs(mx - pressCentre_.x) <= std::abs(my - pressCentre_.y)) {
          s.x = static_cast<float>(pressCentre_.x / scale_);
        } else {
          s.y = static_cast<float>(pressCentre_.y / scale_);
        }
      }
      break;
    case StageDrag::kRotate:
      s.rotation = shift ? 0.0f : static_cast<float>((mx - grab_.x) * 0.5);
      break;
    case StageDrag::kResize: {
      const ImageBuffer& image = document_.PictureAt(p).image;
      const double k =
          image.Width() > 0 ? static_cast<double>(image.Height()) / image.Width() : 1.0;
      const int cx = left_ + static_cast<int>(s.x * scale_);
      const int cy = top_ + static_cast<int>(s.y * scale_);
      const Point u = RotatePointAbout(x, y, cx, cy, 360.0 - s.rotation);
      s.width = static_cast<float>(2.0 * std::abs(u.x - cx) / scale_);
      s.height = shift ? static_cast<float>(2.0 * std::abs(u.y - cy) / scale_)
                       : static_cast<float>(s.width * k);
      break;
    }
    default:
      break;
  }
  DrawPictureOutline(p, true);
  main_.DrawStatusPanel(s);
}

void Stage::SetLevelFromX(int x) {
  const int p = document_.EditablePicture();
  if (p < 0) return;
  states_[p].level = static_cast<float>(std::clamp(static_cast<int>((x - left_) * 1.3), 0, 100));
}

void Stage::LeftRelease(int x, int y) {
  if (main_.Timeline().Exists()) {
    SendMessage(main_.Timeline().Get()->TimelineWindow().Handle(), kWmResetGestures, 0, 0);
  }
  // Taken first: a transport button ends the gesture.
  const bool gesture = dragMode_ != StageDrag::kNone || levelDrag_;
  const bool levelDrag = levelDrag_;
  {
    ContentScope scope(*this);
    if (reverse_.PressTest(x, y, BitmapButton::kNormal)) Transport(-1);
    if (stop_.PressTest(x, y, BitmapButton::kNormal)) Transport(0);
    if (play_.PressTest(x, y, BitmapButton::kNormal)) Transport(1);
    if (setKey_.PressTest(x, y, BitmapButton::kNormal)) document_.SetKeyAtCurrentTime();
  }
  if (levelDrag) {
    DrawStage(true);
    SetLevelFromX(x);
  }
  if (gesture && document_.autoAddKey) {
    document_.SetKeyAtCurrentTime();
  }
  ResetGestures();
  Repaint();
  int32_t time = 0;
  if (showMotionPath && NearPathPoint(x, y, &time)) {
    document_.GoToTime(time, true);
  }
}

bool Stage::NearPathPoint(int x, int y, int32_t* time) const {
  const int p = document_.EditablePicture();
  if (p < 0) return false;
  const Picture& picture = document_.PictureAt(p);
  const int n = std::clamp(picture.keyCount, 1, kKeySlots);
  for (int k = 0; k < n; ++k) {
    const KeyFrame& key = picture.keys[k];
    const int px = left_ + static_cast<int>(key.x * scale_);
    const int py = top_ + static_cast<int>(key.y * scale_);
    if (std::abs(x - px) < 8 && std::abs(y - py) < 8) {
      if (time) *time = key.time;
      return true;
    }
  }
  return false;
}

void Stage::RightPress(int x, int y) {
  if (HitTestSelected(x, y) == StageDrag::kNone) return;
  const int p = document_.EditablePicture();
  // The short form: position, width, rotation and level; the state's ease
  // stays as it was.
  KeyFrame edited = states_[p];
  // The options are drawn over the visible part of the Stage.
  const Point scroll = ScrollPosition();
  const int mx = x - scroll.x, my = y - scroll.y;
  const int top = std::max(std::min(my + 30, RectHeight(ClientRect()) - 160), 0);
  if (EditKeyFrameOptions(*this, mx + 100, top, edited, document_.PictureAt(p).BrushKind(), true)) {
    states_[p] = edited;
    document_.SetKeyAtCurrentTime();
  }
  Repaint();
}

void Stage::EditTimecode() {
  std::string text = FormatTimecode(document_.clock.currentTime, false, document_.clock.frameRate);
  if (PromptForText(text, "Timecode", "Type Timecode", "")) {
    int32_t frame = document_.clock.currentTime;
    ParseTimecode(frame, text, document_.clock.frameRate);
    document_.GoToTime(frame, true);
  }
}

void Stage::Transport(int direction) {
  playDirection_ = direction;
  {
    ContentScope scope(*this);
    reverse_.SetState(direction == -1 ? BitmapButton::kAlternate : BitmapButton::kNormal);
    stop_.SetState(BitmapButton::kNormal);
    play_.SetState(direction == 1 ? BitmapButton::kAlternate : BitmapButton::kNormal);
  }
  // A transport key pressed during a drag ends the drag.
  ResetGestures();
  if (direction == 0) return;
  endFrame_ = ShowEndTime(document_);
  if (document_.clock.currentTime >= endFrame_) {
    document_.clock.currentTime = 0;
  }
  startFrame_ = document_.clock.currentTime;
  // The frame rate in force now, which may have changed since the start:
  // the preview keeps the movie's pace and the sound's.
  ticksPerFrame_ =
      std::max<int64_t>(PerformanceFrequency() * 100 / std::max(document_.clock.frameRate, 1), 1);
  startCounter_ = PerformanceCounter();
  RunPlayback();
  document_.GoToTime(document_.clock.currentTime, false);
  main_.RepaintTimeline();
  Repaint();
}

void Stage::StartSound() {
  if (sound_ && playDirection_ == 1 && document_.soundFile.HasPath()) {
    sound_->PlaySoundTrackFrom(document_.soundFile, document_.clock.currentTime,
                               document_.clock.frameRate);
  }
}

void Stage::MovePlaybackTo(int frame) {
  document_.clock.currentTime = startFrame_ = frame;
  StartSound();  // forward playback only
  startCounter_ = PerformanceCounter();
}

void Stage::RunPlayback() {
  StartSound();
  // Opening the sound device takes a while here; the pictures' clock starts
  // once it is open, so that they keep step with the sound.
  startCounter_ = PerformanceCounter();
  const int direction = playDirection_;
  while (playDirection_ != 0) {
    int32_t& now = document_.clock.currentTime;
    if (now < 0 || now > endFrame_) {
      Transport(0);
    }
    document_.GoToTime(now, false);
    DrawStage(false);
    const int64_t n = (PerformanceCounter() - startCounter_) / ticksPerFrame_;
    if (playDirection_ != 0) {
      now = startFrame_ + static_cast<int32_t>(n) * direction;
    }
    main_.Timeline().EnsureTimeVisible();
    DrawTimecodeAndLevel(now, -1);

    Message message;
    if (!PeekMessage(message)) continue;
    if (message.message == kWmQuit) {
      PostQuitMessage(static_cast<int>(message.wParam));  // the main loop must see it
      break;
    }
    // A request to close the program (the session ending, say) stops the
    // preview and waits for the main loop.
    if (message.message == kWmClose) {
      PostMessage(message.window, kWmClose, 0, 0);
      break;
    }
    // The window's new size or place is laid out at once, and playback goes on.
    if (message.message == kWmSize || message.message == kWmMove) {
      DispatchMessage(message);
      continue;
    }
    // A menu command and a drop of files stop playback, and are carried out
    // once it has stopped.
    if (message.message == kWmCommand || message.message == kWmDropFiles) {
      PostMessage(message.window, message.message, message.wParam, message.lParam);
      break;
    }
    // The character of a key that started playback arrives after its
    // key-down; only a new key-down stops.
    if (message.message == kWmKeyDown) break;
    if (message.message != kWmLButtonUp) continue;
    if (main_.Timeline().TakePlaybackClick(message)) continue;
    if (message.window == Handle()) {
      const Point at = ContentPoint(message.lParam);
      const int mx = at.x, my = at.y;
      const Rect buttons[3] = {reverse_.Rectangle(), stop_.Rectangle(), play_.Rectangle()};
      if (std::any_of(std::begin(buttons), std::end(buttons),
                      [&](const Rect& r) { return PointInRect(r, mx, my); })) {
        break;
      }
      continue;
    }
    break;
  }
  Transport(0);
  if (sound_) sound_->StopSoundTrack();
}

void Stage::DrawFrameAtOrigin(const ImageBuffer& frame) {
  if (!IsCreated()) return;
  ContentScope scope(*this);
  DrawImageBuffer(frame, Rect{0, 0, frame.Width(), frame.Height()});
}

void Stage::DrawRenderProgress(double fraction, std::string_view caption, int64_t startTick) {
  if (!IsCreated()) return;
  DrawingScope scope(*this);
  const Rect panel{24, 24, 264, 80};
  DrawFilledRect(kLightGrey, Rect{panel.left, panel.top, panel.right + 1, panel.bottom + 1});
  DrawBevel(kWhite, kDarkGrey, panel);
  const Rect bar{panel.left + 8, panel.top + 34, panel.right - 48, panel.bottom - 8};
  DrawFilledRect(Rgb(0, 255, 0), Rect{bar.left, bar.top, bar.right + 1, bar.bottom + 1});
  const int split = bar.left + static_cast<int>(RectWidth(bar) * fraction);
  DrawFilledRect(Rgb(255, 0, 0), Rect{split, bar.top, bar.right + 1, bar.bottom + 1});
  DrawOutlineRect(kBlack, bar);
  SelectFont(GetInterfaceFont(InterfaceFont::k10), std::nullopt, kTransparent);
  char text[64];
  if (startTick != 0) {
    const TimeToGo left = EstimateTimeToGo(fraction, RenderTick() - startTick);
    std::snprintf(text, sizeof text, "Time to go: %02lld:%02lld",
                  static_cast<long long>(left.minutes), static_cast<long long>(left.seconds));
    DrawText(kBlack, text, bar.left, bar.top - 18, kAlignLeft);
  }
  DrawText(kBlack, caption, bar.left, bar.top - 30, kAlignLeft);
  std::snprintf(text, sizeof text, "%d%c", static_cast<int>(100 * fraction), '%');
  DrawText(kBlack, text, bar.right + 4, bar.bottom - 14, kAlignLeft);
  SelectFont(kNoFont);
}

}  // namespace vantoril
