#include "ui/timeline/timeline_window.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "engine/timecode.h"
#include "platform/drawing.h"
#include "platform/key_codes.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "ui/dialogs/key_frame_options.h"
#include "ui/timeline/timeline_geometry.h"
#include "ui/timeline/timeline_owner.h"

namespace vantoril {

using namespace timeline;

namespace {

constexpr uint32_t kRulerLight = Rgb(192, 192, 192);
constexpr uint32_t kRulerDark = Rgb(128, 128, 128);
constexpr uint32_t kTrackCyan = Rgb(0, 255, 255);
constexpr uint32_t kTrackYellow = Rgb(255, 255, 0);
constexpr uint32_t kTimeRed = Rgb(255, 0, 0);
constexpr uint32_t kLockedGrey = Rgb(128, 128, 128);
constexpr int kRowsWithoutScrolling = 8;
constexpr int kScrollStep = 60;
constexpr int kRulerBlockStep = 120;
constexpr int kOptionsAboveStageBottom = 340;

std::span<const KeyFrame> KeysOf(const ShowDocument& document, int picture) {
  return document.PictureAt(picture).Keys();
}

// The current key frame's mark: marked by its mark word, or, in the selected
// unlocked picture, the one whose mark box holds the current time.
bool IsCurrentMark(const ShowDocument& document, int picture, int key, int timeScale,
                   int contentWidth) {
  const KeyFrame& frame = document.PictureAt(picture).keys[key];
  if ((frame.tagCode & 0xFF) != 0) {
    return true;
  }
  if (picture != document.selectedPicture || document.PictureAt(picture).locked != 0) {
    return false;
  }
  const int left = MarkLeft(key, frame.time, timeScale, contentWidth);
  const int probe = TimeToX(document.clock.currentTime, timeScale) + 2;
  return probe >= left && probe <= left + 16;
}

}  // namespace

TimelineWindow::TimelineWindow(ShowDocument& document, const SettingsStore& settings,
                               TimelineOwner& owner)
    : document_(document), settings_(settings), owner_(owner) {}

TimelineWindow::~TimelineWindow() = default;

bool TimelineWindow::Create(Window* parent) {
  parent_ = parent;
  const int f = document_.clock.RoundedRate();
  timeScale_ = SanitisedTimeScale(settings_.GetSettingInt("TimeScale", f), document_.showLength, f);
  dragKey_ = -1;
  gesture_ = Gesture::kIdle;
  viewMode_ = kSinglePictureView;
  if (!Window::Create(parent, kStylePopup | kStyleHScroll | kStyleVScroll)) {
    return false;
  }
  // Closing goes through the main window's close request, which may keep
  // the program (and this window) running.
  SetCloseDecidedByProgram(true);
  Show(kShowNormal);
  Layout();
  return true;
}

void TimelineWindow::UpdateContentWidth() {
  contentWidth_ = timeline::ContentWidth(document_.showLength, timeScale_);
}

void TimelineWindow::Layout() {
  if (!IsCreated()) {
    return;
  }
  // The show's length and the scale may have changed since the last layout:
  // the ruler always spans the whole show.
  UpdateContentWidth();
  Rect placed{0, 0, 640, 480};
  int insetWidth = RectWidth(placed);
  if (parent_ != nullptr && parent_->IsCreated()) {
    const Rect r = parent_->ClientRect();
    const int s = GetSystemMetric(SystemMetric::kHScrollArrowWidth);
    const int n = std::clamp(document_.pictureCount, 1, kRowsWithoutScrolling);
    const int top = r.bottom - s - (AllPictures() ? 54 + 15 * n : 84);
    placed = Rect{r.left + s, top + s, r.right - s, r.bottom - s};
    insetWidth = RectWidth(placed);
    placed.left = r.left + 120;
  }
  Move(placed, false);
  const int h = RectHeight(ClientRect());
  const int w = std::min(insetWidth - insetWidth / 8, contentWidth_ - 1);
  // Only more than eight pictures scroll vertically. From about 18 pictures
  // on that page would be empty or negative, which would leave the last rows
  // out of reach: the range then grows by the same measure instead.
  int vMax = h;
  int vPage = AllPictures() ? h + 124 - kRowPitch * document_.pictureCount : h + 1;
  if (vPage < 1) {
    vMax = kRowPitch * document_.pictureCount - 123;
    vPage = 1;
  }
  SetScrollRanges(contentWidth_, vMax, w, vPage);
  Repaint();
}

void TimelineWindow::ScrollTo(int position) {
  const auto request = static_cast<uintptr_t>(kSbThumbPosition) | ScrollThumbParameter(position);
  ScrollStep(kWmHScroll, request, kScrollStep);
}

void TimelineWindow::EnsureTimeVisible() {
  if (!IsCreated()) {
    return;
  }
  const int x = TimeToX(document_.clock.currentTime, timeScale_);
  const int width = RectWidth(ClientRect());
  const int left = ScrollPosition().x;
  if (x < left || x > left + width) {
    ScrollTo(std::max(x - width / 2, 0));  // repaints
  } else {
    Repaint();
  }
}

void TimelineWindow::Enlarge() {
  timeScale_ = EnlargedTimeScale(timeScale_, document_.clock.RoundedRate());
  Layout();
  EnsureTimeVisible();
}

void TimelineWindow::Contract() {
  timeScale_ = ContractedTimeScale(timeScale_, document_.clock.RoundedRate());
  Layout();
  EnsureTimeVisible();
}

int TimelineWindow::TimeAtClientX(int clientX) const {
  return XToTime(clientX + ScrollPosition().x, timeScale_);
}

int TimelineWindow::ClientYToRow(int clientY) const {
  return (clientY + ScrollPosition().y - 12) / kRowPitch;
}

int TimelineWindow::HitTestKey(int clientX, int clientY) const {
  const int p = document_.EditablePicture();
  if (p < 0 || document_.PictureAt(p).locked != 0) {
    return -1;
  }
  const int bandBottom = AllPictures() ? 999 : 30;
  if (clientY < 14 || clientY > bandBottom) {
    return -1;
  }
  return KeyNearFrame(KeysOf(document_, p), TimeAtClientX(clientX));
}

void TimelineWindow::UpdateCurrentKey() {
  document_.currentKey = -1;
  const int p = document_.EditablePicture();
  if (p < 0) {
    return;
  }
  const int count = static_cast<int>(KeysOf(document_, p).size());
  for (int k = 0; k < count; ++k) {
    if (IsCurrentMark(document_, p, k, timeScale_, contentWidth_)) {
      document_.currentKey = k;
    }
  }
}

bool TimelineWindow::TakePlaybackClick(const Message& message) {
  if (message.window != Handle() || message.message != kWmLButtonUp) {
    return false;
  }
  owner_.MovePlaybackTo(TimeAtClientX(MouseX(message.lParam)));
  return true;
}

// --- input ------------------------------------------------------------------

int TimelineWindow::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const int x = MouseX(lParam);
  const int y = MouseY(lParam);
  switch (message) {
    case kWmMove:
    case kWmSize:
      Layout();
      break;
    case kWmLButtonDown:
      OnLeftPress(x, y);
      break;
    case kWmMouseMove:
      OnMove(x, y);
      break;
    case kWmLButtonUp:
      OnLeftRelease(x, y, (wParam & kMkShift) != 0);
      break;
    case kWmRButtonUp:
      OnRightRelease(x, y);
      break;
    case kWmResetGestures:
      ResetGestures();
      break;
    case kWmHScroll:
    case kWmVScroll:
      ScrollStep(message, wParam, kScrollStep);
      break;
    case kWmKeyDown:
      if (static_cast<int>(wParam) != vk::kShift) {
        owner_.PassKeyToMainWindow(message, wParam, lParam);
      }
      break;
    case kWmChar:
      owner_.PassKeyToMainWindow(message, wParam, lParam);
      break;
    case kWmClose:
      owner_.RequestClose();
      break;
    default:
      break;
  }
  return 0;
}

void TimelineWindow::ResetGestures() {
  dragKey_ = -1;
  if (gesture_ == Gesture::kScrubbing) {
    gesture_ = Gesture::kIdle;
  }
  if (gesture_ != Gesture::kIdle) {
    // A drag cut short: its feedback goes with the next painting.
    gesture_ = Gesture::kIdle;
    markerShown_ = false;
    barShown_ = false;
    Repaint();
  }
}

void TimelineWindow::OnLeftPress(int x, int y) {
  pressPosition_ = x + ScrollPosition().x;
  markerShown_ = false;
  barShown_ = false;
  const int hit = HitTestKey(x, y);
  if (hit > 0) {
    dragKey_ = hit;
    gesture_ = Gesture::kKeyDrag;
  } else if (hit == 0) {
    if (AllPictures() && document_.pictureCount > 1) {
      dragKey_ = 0;
      gesture_ = Gesture::kTrackDrag;
      pressPosition_ = ClientYToRow(y);
      ToggleTrackBar(y);
    }
  } else {
    gesture_ = Gesture::kScrubbing;
  }
}

void TimelineWindow::OnMove(int x, int y) {
  switch (gesture_) {
    case Gesture::kScrubbing:
      document_.GoToTime(TimeAtClientX(x), false);
      // Everything that shows the time follows the mouse: the tracks with
      // the red line and the current mark, the Stage, its timecode box and
      // the status panel.
      UpdateCurrentKey();
      Repaint();
      owner_.DrawTimecodeAndLevel(document_.clock.currentTime, -1);
      owner_.DrawStage(false);
      owner_.DrawStatusPanel();
      return;
    case Gesture::kKeyDrag: {
      if (markerShown_) {
        ToggleDragMarker(markerX_);
      }
      ToggleDragMarker(x);
      const int t = std::clamp(TimeAtClientX(x), 0, std::max(document_.showLength, 0));
      owner_.DrawTimecodeAndLevel(t, -1);
      return;
    }
    case Gesture::kTrackDrag:
      if (barShown_) {
        ToggleTrackBar(barY_);
      }
      ToggleTrackBar(y);
      SetCursor(kCursorHand);
      return;
    case Gesture::kIdle:
      break;
  }
  const int hit = HitTestKey(x, y);
  if (hit > 0) {
    SetCursor(kCursorSizeHorizontal);
  } else if (hit == 0 && AllPictures()) {
    SetCursor(kCursorHand);
  } else {
    SetCursor(kCursorArrow);
  }
}

void TimelineWindow::OnLeftRelease(int x, int y, bool shift) {
  const Gesture gesture = gesture_;
  const int key = dragKey_;
  gesture_ = Gesture::kIdle;
  // A drop past either end of the show lands on it.
  const int t = std::clamp(TimeAtClientX(x), 0, std::max(document_.showLength, 0));
  const int row = ClientYToRow(y);
  const int before = document_.selectedPicture;

  if (gesture == Gesture::kKeyDrag && shift) {
    const int t0 = XToTime(pressPosition_, timeScale_);
    if (t != t0) {
      ShiftLaterKeys(before, t0, t - t0);
    }
  }
  if (AllPictures() && row != document_.selectedPicture && document_.HasPicture(row)) {
    document_.SelectPicture(row);
  }
  if (gesture == Gesture::kTrackDrag) {
    if (barShown_) {
      ToggleTrackBar(barY_);
    }
    document_.MovePicture(document_.selectedPicture, pressPosition_);
  }
  if (gesture == Gesture::kKeyDrag && key > 0) {
    FinishKeyDrag(before, key, t);
  }
  if (gesture == Gesture::kTrackDrag || document_.selectedPicture != before) {
    owner_.UpdatePictureMenu();
  }
  markerShown_ = false;

  document_.GoToTime(t, false);
  UpdateCurrentKey();
  owner_.RepaintStage();
  EnsureTimeVisible();
  owner_.DrawStatusPanel();
  const int p = document_.EditablePicture();
  const int level = p < 0 ? 0 : static_cast<int>(document_.EvaluatePicture(p, t, false).level);
  owner_.DrawTimecodeAndLevel(t, level);
  dragKey_ = -1;
}

void TimelineWindow::ShiftLaterKeys(int picture, int t0, int delta) {
  if (!document_.HasPicture(picture)) {
    return;
  }
  // The shifted key frames stop at the last one they do not shift: passing
  // it would unsort the track, and the undo entries name key frames by index.
  if (delta < 0) {
    int lastKept = 0;
    int firstShifted = -1;
    for (const KeyFrame& frame : KeysOf(document_, picture)) {
      if (frame.time > t0) {
        firstShifted = firstShifted < 0 ? frame.time : std::min(firstShifted, frame.time);
      } else {
        lastKept = std::max(lastKept, frame.time);
      }
    }
    if (firstShifted >= 0) {
      delta = std::max(delta, lastKept - firstShifted);
    }
  }
  if (delta != 0) {
    document_.ShiftKeysAfter(t0, delta);
  }
}

void TimelineWindow::FinishKeyDrag(int picture, int key, int t) {
  const int index = document_.MoveKey(picture, key, t);
  // Dropped at the very start: the key frame is deleted.
  if (index >= 0 && t < std::min(timeScale_ / 2, 5)) {
    document_.DeleteKey(index, picture);
  }
}

void TimelineWindow::OnRightRelease(int x, int y) {
  const int key = HitTestKey(x, y);
  if (key < 0) {
    return;
  }
  const int p = document_.selectedPicture;
  KeyFrame edited = document_.GetKey(key, p);
  Window* stage = owner_.StageWindow();
  Window& host = stage != nullptr && stage->IsCreated() ? *stage : *this;
  int ox = x;
  int oy = 0;
  if (&host == stage) {
    ox = WindowRect().left - stage->WindowRect().left + x;
    oy = std::max(RectHeight(stage->ClientRect()) - kOptionsAboveStageBottom, 0);
  }
  // The undo entry is pushed only for a confirmed edit: a cancelled dialog
  // leaves no step to undo.
  if (EditKeyFrameOptions(host, ox, oy, edited, document_.PictureAt(p).BrushKind(), false)) {
    document_.EditKey(p, key, edited);
  }
  document_.GoToTime(TimeAtClientX(x), false);
  UpdateCurrentKey();
  owner_.RepaintStage();
  Repaint();
}

// --- drag feedback ------------------------------------------------------------

void TimelineWindow::ToggleDragMarker(int clientX) {
  DrawingScope scope(*this);
  // The selected picture's row: the first one in the single-picture view.
  const int row = AllPictures() ? document_.selectedPicture : 0;
  const int top = 16 + kRowPitch * row - ScrollPosition().y;
  InvertEllipse(Rect{clientX - kMarkSize / 2, top, clientX + kMarkSize / 2, top + kMarkSize});
  markerShown_ = !markerShown_;
  markerX_ = clientX;
}

void TimelineWindow::ToggleTrackBar(int clientY) {
  DrawingScope scope(*this);
  const int top = 16 + kRowPitch * ((clientY - 12) / kRowPitch);
  InvertRect(Rect{3, top, RectWidth(ClientRect()), top + 13}, 2);
  barShown_ = !barShown_;
  barY_ = clientY;
}

// --- painting -----------------------------------------------------------------

void TimelineWindow::Paint() {
  const Rect client = ClientRect();
  if (RectWidth(client) <= 0 || RectHeight(client) <= 0) {
    return;
  }
  DrawingScope scope(*this);
  // The whole client first: in the all-pictures view the rows leave a gap
  // above the bottom band, where the current-time line of earlier paintings
  // would stay behind as a trail (during playback, one per frame).
  DrawFilledRect(kRulerLight, Rect{0, 0, client.right + 1, client.bottom + 1});
  const Point scroll = ScrollPosition();
  SetDrawingOrigin(scroll.x, scroll.y);
  DrawFilledRect(kRulerLight, Rect{0, 0, contentWidth_, 5});
  DrawFilledRect(kRulerLight, Rect{0, client.bottom - 4, contentWidth_, client.bottom + 1});
  DrawFilledRect(kRulerLight, Rect{0, 0, 8, client.bottom});
  SelectFont(GetInterfaceFont(InterfaceFont::k10), std::nullopt, kTransparent);
  PaintRuler(client);
  DrawFilledRect(kRulerLight, Rect{client.right - 6, client.top, client.right + 1, client.bottom});
  PaintTracks(client);
  SelectFont(kNoFont);
  SetDrawingOrigin(0, 0);
  markerShown_ = false;
  barShown_ = false;
  owner_.UpdateEditMenu();
}

void TimelineWindow::PaintRuler(const Rect& client) {
  Rect a{4, 0, 65, 15};
  Rect b{64, 4, 125, 15};
  Rect c{4, 30, 65, client.bottom};
  Rect d{64, 30, 125, client.bottom};
  int64_t t = timeScale_;
  // Long shows have rulers of a million pixels and more: only the blocks
  // near the visible part are drawn (with a block to spare on either side).
  const int visibleLeft = ScrollPosition().x;
  const int visibleRight = visibleLeft + client.right;
  const int skipped = std::max(0, (visibleLeft - 2 * kRulerBlockStep) / kRulerBlockStep);
  for (Rect* block : {&a, &b, &c, &d}) {
    OffsetRect(*block, skipped * kRulerBlockStep, 0);
  }
  t += 2 * int64_t{timeScale_} * skipped;
  // Each dark block starts at an odd multiple of the scale and is labelled
  // with that time.
  while (a.right < contentWidth_ && a.left <= visibleRight + kRulerBlockStep) {
    const std::string label =
        FormatTimecode(static_cast<int32_t>(t), true, document_.clock.frameRate);
    t += 2 * int64_t{timeScale_};
    DrawFilledRect(kRulerLight, a);
    DrawFilledRect(kRulerDark, b);
    if (AllPictures()) {
      DrawText(kWhite, label, RectCentreX(d), b.bottom - 12, kAlignCentre);
    } else {
      DrawFilledRect(kRulerLight, c);
      DrawFilledRect(kRulerDark, d);
      DrawText(kWhite, label, RectCentreX(d), client.bottom - 12, kAlignCentre);
    }
    for (Rect* block : {&a, &b, &c, &d}) {
      OffsetRect(*block, kRulerBlockStep, 0);
    }
  }
  DrawFilledRect(kRulerLight, a);
  DrawFilledRect(kRulerLight, c);
  DrawFilledRect(kRulerDark, b);
  DrawFilledRect(kRulerDark, d);
}

void TimelineWindow::PaintTracks(const Rect& client) {
  UpdateCurrentKey();
  if (AllPictures()) {
    for (int p = 0; p < document_.pictureCount && p < kSlotCount; ++p) {
      PaintTrack(p, p, p == document_.selectedPicture, client);
    }
  } else if (document_.HasPicture(document_.selectedPicture)) {
    PaintTrack(document_.selectedPicture, 0, false, client);
  }
}

void TimelineWindow::PaintTrack(int picture, int row, bool selectedRow, const Rect& client) {
  const int top = kFirstRowTop + kRowPitch * row;
  const uint32_t rowColour = selectedRow ? kTrackYellow : kTrackCyan;
  const Rect track{4, top, contentWidth_, top + kRowHeight};
  DrawFilledRect(rowColour, track);
  DrawOutlineRect(kBlack, track);
  const int lineX = std::max(TimeToX(document_.clock.currentTime, timeScale_), 3);
  DrawLine(kTimeRed, Rect{lineX, client.top + 5, lineX, client.bottom - 5}, 2);

  const Picture& shown = document_.PictureAt(picture);
  const bool locked = shown.locked != 0;
  const uint32_t labelColour = locked ? kLockedGrey : kBlack;
  const std::string label = TrackLabel(shown.file.Path(), shown.BrushKind());
  DrawText(labelColour, label, 20, top + 2, kAlignLeft);

  const auto keys = KeysOf(document_, picture);
  const int markTop = top + 2;
  const int lineY = markTop + 6;
  const std::string hold = " HOLD ";
  const int holdWidth = TextWidth(hold);
  for (const HoldSpan& span : HoldSpans(keys, timeScale_, TextWidth(label))) {
    const int gap = span.x1 + (span.x2 - span.x1 - holdWidth) / 2;
    if (gap > span.x1) {
      DrawLine(labelColour, Rect{span.x1, lineY, gap, lineY});
    }
    if (span.x2 > gap + holdWidth) {
      DrawLine(labelColour, Rect{gap + holdWidth, lineY, span.x2, lineY});
    }
    if (holdWidth < span.x2 - span.x1) {
      DrawText(labelColour, hold, gap, lineY - 6, kAlignLeft);
    }
  }

  std::vector<int> lefts;
  lefts.reserve(keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    const int key = static_cast<int>(k);
    const int left = MarkLeft(key, keys[k].time, timeScale_, contentWidth_);
    int image = selectedRow ? kBitmapMarkYellow : kBitmapMarkCyan;
    if (IsCurrentMark(document_, picture, key, timeScale_, contentWidth_)) {
      image = selectedRow ? kBitmapMarkCurrentYellow : kBitmapMarkCurrentCyan;
    } else if (locked) {
      image = selectedRow ? kBitmapMarkLockedYellow : kBitmapMarkLockedCyan;
    }
    DrawBitmapResource(Rect{left, markTop, left + kMarkSize, markTop + kMarkSize}, image);
    // Marks that nearly cover each other get a circle, so none hides.
    for (const int earlier : lefts) {
      if (std::abs(earlier - left) < 4) {
        DrawOutlineEllipse(kTimeRed, Rect{earlier - 6, markTop - 6, earlier + kMarkSize + 6,
                                          markTop + kMarkSize + 6});
      }
    }
    lefts.push_back(left);
  }
}

}  // namespace vantoril
