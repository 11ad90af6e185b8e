#include "app/main_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/key_table.h"
#include "app/load_notices.h"
#include "app/make_movie_command.h"
#include "app/stage.h"
#include "engine/compositor.h"
#include "engine/picture_loader.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "engine/show_file.h"
#include "media/sound_track_player.h"
#include "output/make_movie_options.h"
#include "output/render_range.h"
#include "platform/drawing.h"
#include "platform/dropped_files.h"
#include "platform/file_dialogs.h"
#include "platform/key_codes.h"
#include "platform/menus.h"
#include "platform/message_boxes.h"
#include "platform/message_queue.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/text_helpers.h"
#include "ui/dialogs/colour_chooser.h"
#include "ui/dialogs/described_dialog.h"

#ifndef VANTORIL_USER_GUIDE
#define VANTORIL_USER_GUIDE "docs/user_guide.html"
#endif

namespace vantoril {

namespace {

constexpr std::string_view kShowFilter = "Vantoril Files (*.vsh)|*.vsh|All Files (*.*)|*.*|";
constexpr std::string_view kSoundFilter = "Audio Files (*.wav)|*.wav|All Files (*.*)|*.*|";
constexpr std::string_view kSaveQuestion = "Do you want to save current show?";
constexpr std::string_view kTooManyPictures = "A show holds at most 30 pictures";
constexpr int kScratchSlot = kSlotCount - 1;

// Whether a key-down (Ctrl not held) is followed by a character message of
// the same press.
bool KeyDownTypesCharacter(int code) {
  return code == vk::kBack || code == vk::kTab || code == vk::kReturn || code == vk::kEscape ||
         code == vk::kSpace || (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') ||
         (code >= vk::kNumpad0 && code <= vk::kDivide) ||
         (code >= vk::kOem1 && code <= vk::kOem3) || (code >= vk::kOem4 && code <= vk::kOem7);
}

// The four-letter spellings are as common on this desktop as the three-letter
// ones; without them a folder of ".jpeg" photos looks empty. PNG is the usual
// file of a logo or a title with transparency.
std::string PictureFilter(bool jpeg) {
  std::string filter = "All Graphics Files|*.bmp;*.tga;*.tif;*.psd";
  if (jpeg) filter += ";*.jpg;*.jpeg";
  filter += ";*.tiff;*.png";
  filter += "|BMP Files (*.bmp)|*.bmp|Targa Files (*.tga)|*.tga|TIFF Files (*.tif)|*.tif;*.tiff";
  filter += "|Photoshop Files (*.psd)|*.psd";
  if (jpeg) filter += "|Jpeg Files (*.jpg)|*.jpg;*.jpeg";
  filter += "|PNG Files (*.png)|*.png";
  filter += "|All Files (*.*)|*.*|";
  return filter;
}

// The guide installed with the program (PREFIX/share/doc/vantoril beside
// PREFIX/bin), else the one of the source tree the program was built from.
std::string UserGuidePath() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path installed =
        program.parent_path().parent_path() / "share/doc/vantoril/user_guide.html";
    if (std::filesystem::is_regular_file(installed, error)) return installed.string();
  }
  return VANTORIL_USER_GUIDE;
}

std::string BackgroundFilter(bool jpeg) {
  // Clips of today's containers by their usual names, which cameras write in
  // capitals.
  constexpr std::string_view kClips =
      "*.mp4;*.MP4;*.m4v;*.M4V;*.mkv;*.MKV;*.mxf;*.MXF;*.webm;*.WEBM;*.mts;*.MTS;*.m2ts;*.M2TS";
  std::string filter = "All Movie / Graphics Files|*.avi;*.mov;*.bmp;*.tga;*.tif;*.psd";
  if (jpeg) filter += ";*.jpg;*.jpeg";
  filter += ";*.tiff;*.png;" + std::string(kClips);
  filter +=
      "|AVI Files (*.avi)|*.avi|QT Files (*.mov)|*.mov|BMP Files (*.bmp)|*.bmp|Targa Files "
      "(*.tga)|*.tga|TIFF Files (*.tif)|*.tif;*.tiff";
  filter += "|Movie Clips (MP4, M4V, MKV, MXF, WebM, MTS, M2TS)|" + std::string(kClips);
  if (jpeg) filter += "|Jpeg Files (*.jpg)|*.jpg;*.jpeg";
  filter += "|Photoshop Files (*.psd)|*.psd|PNG Files (*.png)|*.png|All Files (*.*)|*.*|";
  return filter;
}

}  // namespace

std::string WindowTitleFor(std::string_view showPath) {
  std::string title(kProgramTitle);
  if (!showPath.empty()) {
    std::string name(FileNamePart(showPath));
    CutAtFirstDot(name);
    title += " - " + name;
  }
  return title;
}

std::string MovieNameProposal(std::string_view showPath) {
  const std::string_view name = FileNamePart(showPath);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::string(showPath);
  return std::string(showPath.substr(0, showPath.size() - name.size() + dot));
}

int32_t KeyAtCurrentTime(const ShowDocument& document) {
  const int p = document.EditablePicture();
  if (p < 0) return -1;
  const Picture& picture = document.PictureAt(p);
  const int n = std::clamp(picture.keyCount, 1, kKeySlots);
  for (int k = 0; k < n; ++k) {
    if (picture.keys[k].time == document.clock.currentTime) return k;
  }
  return -1;
}

MainWindow::MainWindow(ShowDocument& document, SettingsStore& settings, SoundTrackPlayer* sound)
    : document_(document),
      settings_(settings),
      sound_(sound),
      previous_(kBitmapPrevious, kBitmapPreviousPressed, 0, 0),
      next_(kBitmapNext, kBitmapNextPressed, 0, 0),
      view_(kBitmapViewSingle, kBitmapViewPressed, 0, kBitmapViewAll) {}

// DestroyWindow has let go of the document, which may be gone by now.
MainWindow::~MainWindow() = default;

bool MainWindow::Create() {
  windowSettings_ = LoadWindowSettings(settings_);
  if (!Window::Create(nullptr, kStyleOverlapped)) return false;
  Move(Rect{0, 0, 640, 480}, false);
  SetTitle({});
  BuildMenuBar();
  Show(kShowMaximised);
  document_.SetHost(this);
  stage_ = std::make_unique<Stage>(document_, settings_, *this, sound_);
  if (!stage_->Create()) return false;
  // Files dropped on the window or on the Stage over it come here.
  AcceptDroppedFiles(*this, Handle());
  AcceptDroppedFiles(*stage_, Handle());
  document_.GoToTime(document_.clock.currentTime, false);
  UpdateEditMenu();
  Repaint();
  return true;
}

void MainWindow::AdoptTimeline(std::unique_ptr<TimelineLink> timeline) {
  ownedTimeline_ = std::move(timeline);
  timeline_.Plug(ownedTimeline_.get());
  LayoutChildren();
  RepaintTimeline();
}

void MainWindow::DestroyWindow() {
  settings_.SaveSettings();
  timeline_.Plug(nullptr);
  if (ownedTimeline_) ownedTimeline_->TimelineWindow().Destroy();
  ownedTimeline_.reset();
  if (stage_) stage_->Destroy();
  stage_.reset();
  if (document_.Host() == this) document_.SetHost(nullptr);
  Destroy();
}

void MainWindow::BuildMenuBar() {
  menu_ = std::make_unique<MenuBar>(*this);
  MenuBar& m = *menu_;
  const int rate = windowSettings_.frameRate;
  const auto checked = [](bool on) { return on ? kMenuChecked : 0u; };
  m.AddSubmenu("File");
  m.AddItem(cmd::kLoadPicture, "Load Picture/L");
  m.AddItem(cmd::kLoadBackground, "Load Background");
  m.AddItem(cmd::kLoadSound, "Load Sound Track");
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kNewShow, "New Show/N");
  m.AddItem(cmd::kLoadShow, "Load Show/O");
  m.AddItem(cmd::kSaveShow, "Save Show/S");
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kMakeMovie, "Make Movie File/K");
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kNtsc, "NTSC", checked(rate == kFrameRateNtsc));
  m.AddItem(cmd::kPal, "PAL", checked(rate == kFrameRatePal));
  m.AddItem(cmd::kFilm, "Film", checked(rate == kFrameRateFilm));
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kExit, "Exit/Q");
  m.AddSubmenu("Edit");
  m.AddItem(cmd::kUndo, "Undo/Z", kMenuGreyed);
  m.AddItem(cmd::kRedo, "Redo/Y", kMenuGreyed);
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kCut, "Cut/X", kMenuGreyed);
  m.AddItem(cmd::kCopy, "Copy/C", kMenuGreyed);
  m.AddItem(cmd::kPaste, "Paste/V", kMenuGreyed);
  m.AddItem(cmd::kDelete, "Delete", kMenuGreyed);
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kChangePicture, "Change Picture");
  m.AddItem(cmd::kDeletePicture, "Delete Picture");
  m.AddSubmenu("Options");
  m.AddItem(cmd::kAutoAddKeys, "Auto-Add Keys", checked(windowSettings_.autoAddKey));
  m.AddItem(cmd::kShowMotionPath, "Show Motion Path", checked(windowSettings_.showMotionPath));
  m.AddItem(cmd::kFastDisplay, "Fast Display", checked(document_.holdBackgroundFrame != 0));
  m.AddSubmenu("Picture");
  m.AddItem(cmd::kNormalImage, "Normal Image", kMenuChecked);
  m.AddItem(1012, "Blur Brush");
  m.AddItem(1013, "Pixelate Brush");
  m.AddItem(1014, "Darken Brush");
  m.AddItem(1015, "Lighten Brush");
  m.AddItem(cmd::kTintBrush, "Tint Brush");
  m.AddItem(cmd::kNoColourBrush, "No Color Brush");
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kLock, "Lock");
  m.AddSubmenu("Render");
  const int aspect = windowSettings_.aspectMode;
  m.AddItem(cmd::kAspect4x3, "4:3 Aspect Ratio", checked(aspect == 7500));
  m.AddItem(cmd::kAspect16x9, "16:9 Aspect Ratio", checked(aspect == 5625));
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kAdvancedOptions, "Advanced Options");
  m.AddSubmenu("View");
  m.AddItem(cmd::kShowTvSafe, "Show TV Safe Area", checked(windowSettings_.showTvSafe));
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kZoomIn, "Stage Zoom In");
  m.AddItem(cmd::kZoomOut, "Stage Zoom Out");
  m.AddItem(kMenuSeparator, "");
  m.AddItem(cmd::kEnlargeTimeline, "Enlarge Timeline/>");
  m.AddItem(cmd::kContractTimeline, "Contract Timeline/<");
  m.AddSubmenu("Help");
  m.AddItem(cmd::kViewHelp, "View Help");
  m.AddItem(cmd::kAbout, "About");
}

void MainWindow::SetTitle(std::string_view showPath) {
  Window::SetTitle(WindowTitleFor(showPath));
}

void MainWindow::UpdateEditMenu() {
  if (!menu_) return;
  const int key = document_.currentKey;
  const bool picture = document_.EditablePicture() >= 0;
  menu_->SetItemFlags(cmd::kCut, picture && key >= 1 ? 0 : kMenuGreyed);
  menu_->SetItemFlags(cmd::kDelete, picture && key >= 1 ? 0 : kMenuGreyed);
  menu_->SetItemFlags(cmd::kCopy, picture && key != -1 ? 0 : kMenuGreyed);
  menu_->SetItemFlags(cmd::kPaste,
                      document_.keyClipboard.time != kEmptyClipboardTime ? 0 : kMenuGreyed);
  menu_->SetItemFlags(cmd::kUndo, document_.undoCount != 0 ? 0 : kMenuGreyed);
  menu_->SetItemFlags(cmd::kRedo, document_.redoCount != 0 ? 0 : kMenuGreyed);
}

void MainWindow::UpdatePictureMenu(int picture) {
  if (!menu_) return;
  for (int id = cmd::kNormalImage; id <= cmd::kNoColourBrush; ++id) menu_->CheckItem(id, false);
  if (picture < 0 || picture >= kSlotCount) return;
  // A brush read from a damaged show may be anything; only a known one has
  // an item to check.
  const int32_t brush = document_.PictureAt(picture).brush;
  if (brush >= BrushCode(Brush::kNormal) && brush <= BrushCode(Brush::kNoColour)) {
    menu_->CheckItem(cmd::kNormalImage + brush / 1000, true);
  }
  menu_->CheckItem(cmd::kLock, document_.PictureAt(picture).locked != 0);
}

// --- painting ------------------------------------------------------------

void MainWindow::Paint() {
  const Rect client = ClientRect();
  {
    DrawingScope scope(*this);
    TileBitmapResource(Rect{0, 0, client.right, client.bottom}, kBitmapBackgroundTile);
  }
  if (!stage_) return;
  document_.GoToTime(document_.clock.currentTime, false);
  const int p = document_.EditablePicture();
  const KeyFrame state = p >= 0 ? stage_->States()[p] : KeyFrame{};
  stage_->DrawTimecodeAndLevel(document_.clock.currentTime, static_cast<int>(state.level));
  DrawStatusPanel(state);
}

void MainWindow::DrawStatusPanel(const KeyFrame& state) {
  if (!IsCreated()) return;
  DrawingScope scope(*this);
  const Rect c = ClientRect();
  const int l = c.left, b = c.bottom, r = c.right;
  TimelineLink* timeline = timeline_.Get();
  // Without a Timeline the buttons sit where its left edge would be.
  const int tlLeft = timeline ? timeline->Left() : l + 160;
  const int tlTop = timeline ? timeline->Top() : b - 84;
  SelectFont(GetInterfaceFont(InterfaceFont::k10), std::nullopt, kTransparent);
  DrawBitmapResource(Rect{tlLeft - 128, tlTop - 32, tlLeft, tlTop + 96}, kBitmapBackgroundTile);
  DrawBitmapResource(Rect{l, b - 128, l + 128, b}, kBitmapBackgroundTile);
  const double scale = stage_ ? stage_->Scale() : 1.0;
  const double zooms[4] = {2.0, 1.0, 0.75, 0.5};
  const char* labels[4] = {"200%", "100%", "75%", "50%"};
  for (int i = 0; i < 4; ++i) {
    const Rect box{l + 10, b - 82 + 10 * i, l + 19, b - 73 + 10 * i};
    DrawOutlineEllipse(kBlack, box);
    if (scale == zooms[i]) {
      DrawFilledEllipse(kBlack, Rect{box.left + 2, box.top + 2, box.right - 1, box.bottom - 1});
    }
    DrawText(kBlack, labels[i], box.left + 13, box.top - 1, kAlignLeft);
  }
  char text[300];
  std::snprintf(text, sizeof text, "Pos   %d,%d", static_cast<int>(state.x),
                static_cast<int>(state.y));
  DrawText(kBlack, text, l + 10, b - 39, kAlignLeft);
  std::snprintf(text, sizeof text, "Siz   %d,%d", static_cast<int>(state.width),
                static_cast<int>(state.height));
  DrawText(kBlack, text, l + 10, b - 29, kAlignLeft);
  std::snprintf(text, sizeof text, "Rot   %d", static_cast<int>(state.rotation));
  DrawText(kBlack, text, l + 10, b - 19, kAlignLeft);
  std::snprintf(text, sizeof text, "%.2f fps", document_.clock.frameRate * 0.01);
  std::string rate = text;
  if (document_.soundFile.HasPath()) {
    std::string name(FileNamePart(document_.soundFile.Path()));
    CutAtFirstDot(name);
    rate += " / " + name;
  }
  // The text is drawn without a background: clear the row under it first,
  // or each redraw darkens its smoothed edges and a shorter text leaves the
  // longer one's ends behind.
  TileBitmapResource(Rect{tlLeft, b - 13, r, b}, kBitmapBackgroundTile);
  DrawText(kBlack, rate, r / 2, b - 13, kAlignCentre);
  Rect button{tlLeft - 21, b - 75, tlLeft - 9, b - 63};
  previous_.Place(button);
  std::snprintf(text, sizeof text, "%d", document_.selectedPicture + 1);
  DrawText(kDarkGrey, text, tlLeft - 15, b - 62, kAlignCentre);
  OffsetRect(button, 0, 27);
  next_.Place(button);
  OffsetRect(button, 1, 20);
  if (timeline) view_.Place(button);
  SelectFont(kNoFont);
}

// --- messages ------------------------------------------------------------

int MainWindow::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmCommand:
      RunCommand(LowWord(wParam));
      break;
    case kWmKeyDown:
    case kWmChar:
      HandleKey(message, static_cast<int>(wParam));
      break;
    case kWmClose:
      // The question was asked before the request was let through.
      PostQuitMessage(0);
      break;
    case kWmSize:
    case kWmMove:
      LayoutChildren();
      break;
    case kWmLButtonDown: {
      DrawingScope scope(*this);
      const int x = MouseX(lParam), y = MouseY(lParam);
      previous_.PressTest(x, y, BitmapButton::kPressed);
      next_.PressTest(x, y, BitmapButton::kPressed);
      if (timeline_.Exists()) view_.PressTest(x, y, BitmapButton::kPressed);
      break;
    }
    case kWmLButtonUp:
      ReleaseButtons(MouseX(lParam), MouseY(lParam));
      break;
    case kWmMouseMove:
      SetCursor(kCursorArrow);
      break;
    case kWmDropFiles:
      DropFiles(TakeDroppedFiles(Handle(), wParam));
      break;
    default:
      break;
  }
  return 1;
}

void MainWindow::ReleaseButtons(int x, int y) {
  bool previous = false, next = false, view = false;
  {
    DrawingScope scope(*this);
    previous = previous_.PressTest(x, y, BitmapButton::kNormal);
    next = next_.PressTest(x, y, BitmapButton::kNormal);
    view = timeline_.Exists() && view_.PressTest(x, y, BitmapButton::kNormal);
  }
  if (previous) SelectPictureAndRefresh(std::max(document_.selectedPicture - 1, 0));
  if (next) {
    SelectPictureAndRefresh(
        std::max(std::min(document_.selectedPicture + 1, document_.pictureCount - 1), 0));
  }
  if (view) {
    const bool toAll = timeline_.ViewMode() <= kTimelineSingleView;
    {
      DrawingScope scope(*this);
      view_.SetState(toAll ? BitmapButton::kAlternate : BitmapButton::kNormal);
    }
    timeline_.SetViewMode(toAll ? kTimelineAllView : kTimelineSingleView);
    LayoutChildren();
    timeline_.EnsureTimeVisible();
  }
  if (x < 40) {
    const int b = ClientRect().bottom;
    const double scale = stage_ ? stage_->Scale() : 1.0;
    double chosen = scale;
    if (b - 82 < y && y < b - 72) chosen = 2.0;
    if (b - 72 < y && y < b - 62) chosen = 1.0;
    if (b - 62 < y && y < b - 52) chosen = 0.75;
    if (b - 52 < y && y < b - 42) chosen = 0.5;
    if (b - 82 < y && y < b - 42) SetZoom(chosen);
  }
}

bool MainWindow::HandleKey(uint32_t message, int code) {
  if (message == kWmKeyDown) {
    swallowCharacter_ = false;
    if (code == vk::kShift) return false;
    const bool types = !IsControlDown() && KeyDownTypesCharacter(code);
    // Set before the command runs: a modal loop it starts may take the
    // character itself.
    swallowCharacter_ = types;
    const bool ran = RunKeyTables(message, code);
    swallowCharacter_ = ran && types;
    return true;
  }
  if (swallowCharacter_) {
    swallowCharacter_ = false;
    return false;
  }
  RunKeyTables(message, code);
  return true;
}

bool MainWindow::RunKeyTables(uint32_t message, int code) {
  const bool keyDown = message == kWmKeyDown;
  // Ctrl+letter arrives as its control character.
  if (keyDown && IsControlDown() && !KeyDownWorksWithControl(code)) return false;
  const std::optional<KeyAction> action =
      FindKeyAction(keyDown ? KeyDownTable() : CharacterTable(), code);
  if (!action) return false;
  RunKeyAction(*action);
  return true;
}

void MainWindow::RunKeyAction(KeyAction action) {
  switch (action) {
    case KeyAction::kEnlargeTimeline:
      RunCommand(cmd::kEnlargeTimeline);
      break;
    case KeyAction::kContractTimeline:
      RunCommand(cmd::kContractTimeline);
      break;
    case KeyAction::kSetKey:
      document_.SetKeyAtCurrentTime();
      break;
    case KeyAction::kUndo:
      RunCommand(cmd::kUndo);
      break;
    case KeyAction::kRedo:
      RunCommand(cmd::kRedo);
      break;
    case KeyAction::kCut:
      RunCommand(cmd::kCut);
      break;
    case KeyAction::kCopy:
      RunCommand(cmd::kCopy);
      break;
    case KeyAction::kPaste:
      RunCommand(cmd::kPaste);
      break;
    case KeyAction::kQuickSave:
      QuickSave();
      break;
    case KeyAction::kExit:
      RunCommand(cmd::kExit);
      break;
    case KeyAction::kLoadShow:
      RunCommand(cmd::kLoadShow);
      break;
    case KeyAction::kNewShow:
      RunCommand(cmd::kNewShow);
      break;
    case KeyAction::kLoadPicture:
      RunCommand(cmd::kLoadPicture);
      break;
    case KeyAction::kMakeMovie:
      RunCommand(cmd::kMakeMovie);
      break;
    case KeyAction::kNextKeyFrame:
      NextKeyFrame();
      break;
    case KeyAction::kDelete:
      RunCommand(cmd::kDelete);
      break;
    case KeyAction::kPlay:
      Transport(1);
      break;
    case KeyAction::kPlayBackwards:
      Transport(-1);
      break;
    case KeyAction::kStop:
      Transport(0);
      break;
    case KeyAction::kPlayFromStart:
      document_.clock.currentTime = 0;
      Transport(1);
      break;
    case KeyAction::kStepForward:
      StepFrame(1);
      break;
    case KeyAction::kStepBack:
      StepFrame(-1);
      break;
    case KeyAction::kGoToStart:
      document_.GoToTime(0, true);
      break;
    case KeyAction::kGoToEnd: {
      int32_t end = -1;
      for (int p = 0; p < document_.pictureCount; ++p) {
        end = std::max(end, document_.PictureAt(p).LastKey().time);
      }
      document_.GoToTime(end, true);
      break;
    }
    case KeyAction::kPreviousPicture:
      SelectPictureAndRefresh(std::max(document_.selectedPicture - 1, 0));
      break;
    case KeyAction::kNextPicture:
      SelectPictureAndRefresh(
          std::max(std::min(document_.selectedPicture + 1, document_.pictureCount - 1), 0));
      break;
    case KeyAction::kFieldPreviewStep:
      FieldPreviewStep();
      break;
  }
}

void MainWindow::Transport(int direction) {
  if (stage_) stage_->Transport(direction);
}

void MainWindow::StepFrame(int delta) {
  document_.GoToTime(document_.clock.currentTime + delta, true);
  const int p = document_.EditablePicture();
  if (stage_) {
    stage_->DrawTimecodeAndLevel(document_.clock.currentTime,
                                 p >= 0 ? static_cast<int>(stage_->States()[p].level) : 0);
  }
}

void MainWindow::SelectPictureAndRefresh(int index) {
  document_.SelectPicture(index);
  UpdatePictureMenu(document_.selectedPicture);
  Repaint();
  document_.GoToTime(document_.clock.currentTime, true);
}

void MainWindow::LayoutChildren() {
  if (stage_) stage_->Layout();
  timeline_.Relayout();
}

// --- commands ------------------------------------------------------------

void MainWindow::RunCommand(int id) {
  if (RunFileCommand(id) || RunEditCommand(id) || RunOptionsCommand(id) || RunViewCommand(id)) {
    return;
  }
  if (id >= cmd::kNormalImage && id <= cmd::kNoColourBrush) SetBrush(id);
}

// The File menu: pictures, background, sound, shows, movies, frame rate, exit.
bool MainWindow::RunFileCommand(int id) {
  switch (id) {
    case cmd::kLoadPicture:
      LoadPicture(false);
      return true;
    case cmd::kLoadBackground:
      LoadBackground();
      return true;
    case cmd::kLoadSound:
      LoadSound();
      return true;
    case cmd::kNewShow:
      NewShow();
      return true;
    case cmd::kLoadShow:
      LoadShow();
      return true;
    case cmd::kSaveShow:
      SaveShowAs();
      return true;
    case cmd::kMakeMovie:
      if (stage_) {
        MakeMovieCommand(*this, *stage_, document_, settings_);
        // The movie run records the folder the movie went to.
        windowSettings_.folder = LoadStartingFolder(settings_);
      }
      return true;
    case cmd::kNtsc:
    case cmd::kPal:
    case cmd::kFilm:
      SetFrameRate(id);
      return true;
    case cmd::kExit:
      PostMessage(Handle(), kWmClose, 0, 0);
      return true;
    default:
      return false;
  }
}

// The Edit menu: undo, the key frame clipboard, Change and Delete Picture.
bool MainWindow::RunEditCommand(int id) {
  const int p = document_.EditablePicture();
  switch (id) {
    case cmd::kUndo:
    case cmd::kRedo:
      if (id == cmd::kUndo) {
        document_.Undo();
      } else {
        document_.Redo();
      }
      document_.GoToTime(document_.clock.currentTime, true);
      return true;
    case cmd::kCopy:
      if (p >= 0 && document_.currentKey >= 0) {
        document_.keyClipboard = document_.GetKey(document_.currentKey, p);
        UpdateEditMenu();
      }
      return true;
    case cmd::kCut:
    case cmd::kDelete:
      // The first key frame of a picture is never removed.
      if (p >= 0 && document_.currentKey >= 1) {
        if (id == cmd::kCut) document_.keyClipboard = document_.GetKey(document_.currentKey, p);
        document_.DeleteKey(document_.currentKey, p);
        document_.GoToTime(document_.clock.currentTime, true);
        Beep();
      }
      return true;
    case cmd::kPaste:
      Paste();
      return true;
    case cmd::kChangePicture:
      if (p >= 0) LoadPicture(true);
      return true;
    case cmd::kDeletePicture:
      if (p >= 0 && AskYesNo("Are you sure?", "Delete Picture")) {
        document_.DeletePicture(p);
        UpdatePictureMenu(document_.selectedPicture);
      }
      LayoutChildren();
      document_.GoToTime(document_.clock.currentTime, false);
      RepaintTimeline();
      RepaintStage();
      return true;
    default:
      return false;
  }
}

// The Options, Picture (but the brushes) and Render menus.
bool MainWindow::RunOptionsCommand(int id) {
  switch (id) {
    case cmd::kAutoAddKeys:
      document_.autoAddKey = document_.autoAddKey ? 0 : 1;
      menu_->CheckItem(id, document_.autoAddKey != 0);
      windowSettings_.autoAddKey = document_.autoAddKey != 0;
      StoreSettings(WindowSettingsPart::kAutoAddKey);
      return true;
    case cmd::kShowMotionPath:
      if (stage_) {
        stage_->showMotionPath = !stage_->showMotionPath;
        menu_->CheckItem(id, stage_->showMotionPath);
        windowSettings_.showMotionPath = stage_->showMotionPath;
        StoreSettings(WindowSettingsPart::kShowMotionPath);
        RepaintStage();
      }
      return true;
    case cmd::kFastDisplay:
      document_.holdBackgroundFrame = document_.holdBackgroundFrame ? 0 : 1;
      menu_->CheckItem(id, document_.holdBackgroundFrame != 0);
      return true;
    case cmd::kLock:
      ToggleLock();
      return true;
    case cmd::kAspect4x3:
    case cmd::kAspect16x9:
      SetAspect(id == cmd::kAspect16x9);
      return true;
    case cmd::kAdvancedOptions:
      AdvancedOptions();
      return true;
    default:
      return false;
  }
}

// The View and Help menus.
bool MainWindow::RunViewCommand(int id) {
  switch (id) {
    case cmd::kShowTvSafe:
      if (stage_) {
        stage_->showTvSafe = !stage_->showTvSafe;
        menu_->CheckItem(id, stage_->showTvSafe);
        windowSettings_.showTvSafe = stage_->showTvSafe;
        StoreSettings(WindowSettingsPart::kShowTvSafe);
        RepaintStage();
      }
      return true;
    case cmd::kZoomIn:
      if (stage_) SetZoom(ZoomIn(stage_->Scale()));
      return true;
    case cmd::kZoomOut:
      if (stage_) SetZoom(ZoomOut(stage_->Scale()));
      return true;
    case cmd::kEnlargeTimeline:
      timeline_.Enlarge();
      timeline_.EnsureTimeVisible();
      return true;
    case cmd::kContractTimeline:
      timeline_.Contract();
      timeline_.EnsureTimeVisible();
      return true;
    case cmd::kViewHelp: {
      const std::string guide = UserGuidePath();
      if (!OpenDocument(guide)) {
        ShowErrorBox(
            "The user guide could not be opened: no program on this desktop opens "
            "web pages. It is the file " +
                guide + ".",
            MessageSink::kNoCode);
      }
      return true;
    }
    case cmd::kAbout:
      ShowInformationBox("Quennet Vantoril, version 1.0");
      return true;
    default:
      return false;
  }
}

void MainWindow::SetZoom(double scale) {
  if (!stage_) return;
  stage_->SetScale(scale);
  windowSettings_.scalePercent = static_cast<int32_t>(scale * 100);
  StoreSettings(WindowSettingsPart::kScale);
  // The Stage alone (it redraws the status panel's zoom list too): the main
  // window's painting would evaluate the pictures again and drop a change
  // that is not a key frame yet.
  RepaintStage();
}

void MainWindow::SetFrameRate(int id) {
  const int32_t rate = id == cmd::kNtsc  ? kFrameRateNtsc
                       : id == cmd::kPal ? kFrameRatePal
                                         : kFrameRateFilm;
  menu_->CheckItem(cmd::kNtsc, id == cmd::kNtsc);
  menu_->CheckItem(cmd::kPal, id == cmd::kPal);
  menu_->CheckItem(cmd::kFilm, id == cmd::kFilm);
  document_.clock.frameRate = rate;
  windowSettings_.frameRate = rate;
  StoreSettings(WindowSettingsPart::kFrameRate);
  Repaint();
}

void MainWindow::SetAspect(bool wide) {
  menu_->CheckItem(cmd::kAspect4x3, !wide);
  menu_->CheckItem(cmd::kAspect16x9, wide);
  document_.aspect = wide ? 0.5625f : 0.75f;
  // New pictures are centred on the stage width too.
  document_.stageWidth = wide ? 853 : 640;
  windowSettings_.aspectMode = wide ? 5625 : 7500;
  StoreSettings(WindowSettingsPart::kAspectMode);
  document_.stageFrame.Create(document_.stageWidth, kStageHeight, 32);
  RepaintStage();
}

void MainWindow::SetBrush(int id) {
  const int p = document_.EditablePicture();
  if (p < 0) return;
  if (id == cmd::kTintBrush && stage_) {
    uint32_t colour = document_.PictureAt(p).tint;
    if (RunColourChooser(*stage_, 50, 50, colour, "Choose Tint Brush Color")) {
      document_.SetTint(p, colour);
    }
  }
  document_.SetBrush(p, BrushOfCode((id - cmd::kNormalImage) * 1000));
  UpdatePictureMenu(p);
  Repaint();
  RepaintStage();
}

void MainWindow::ToggleLock() {
  const int p = document_.EditablePicture();
  if (p < 0) return;
  document_.ToggleLock(p);
  UpdatePictureMenu(p);
  RepaintStage();
}

void MainWindow::Paste() {
  document_.PasteKey();
}

std::string MainWindow::StartingFolder() const {
  return windowSettings_.folder.path;
}

void MainWindow::RememberFolder(std::string_view path, const FileSpec& fileRef) {
  windowSettings_.folder = {std::string(FolderPart(path)), fileRef.volumeRef, fileRef.parentId};
  StoreSettings(WindowSettingsPart::kStartingFolder);
}

void MainWindow::StoreSettings(WindowSettingsPart part) {
  StoreWindowSettings(windowSettings_, part, settings_);
}

void MainWindow::LoadPicture(bool change) {
  if (!change && document_.pictureCount >= kMaxPictures) {
    ShowErrorBox(kTooManyPictures, MessageSink::kNoCode);
    return;
  }
  const bool jpeg = document_.Loader() && document_.Loader()->JpegAvailable();
  if (change) {
    FileSpec fileRef;
    fileRef.volumeRef = windowSettings_.folder.volumeRef;
    fileRef.parentId = windowSettings_.folder.parentId;
    if (OpenFileDialog(this, fileRef, PictureFilter(jpeg), ".bmp", StartingFolder())) {
      PlacePicture(fileRef, true);
      RememberFolder(fileRef.Path(), fileRef);
    }
  } else {
    // Several pictures may be chosen at once: each goes in as if loaded
    // alone, so the last one chosen ends in front.
    std::vector<FileSpec> chosen;
    if (OpenFilesDialog(this, chosen, PictureFilter(jpeg), ".bmp", StartingFolder())) {
      const int total = static_cast<int>(chosen.size());
      size_t tried = 0;
      for (; tried < chosen.size() && document_.pictureCount < kMaxPictures; ++tried) {
        PicturesLoading(static_cast<int>(tried), total);
        PlacePicture(chosen[tried], false);
      }
      RememberFolder(chosen.front().Path(), chosen.front());
      if (tried < chosen.size()) ShowErrorBox(kTooManyPictures, MessageSink::kNoCode);
    }
  }
  ShowNewPictures();
}

bool MainWindow::PlacePicture(const FileSpec& fileRef, bool change) {
  const int countBefore = document_.pictureCount;
  const int n = document_.LoadPicture(fileRef, change ? document_.selectedPicture : -1);
  if (!document_.HasPicture(n)) return false;
  auto states = StagePictureStates();
  if (n < static_cast<int>(states.size())) states[n] = document_.PictureAt(n).keys[0];
  if (!change && document_.pictureCount > countBefore && n != 0) {
    // The new picture becomes picture 0, the one drawn in front.
    document_.CopyPictureSlot(kScratchSlot, n);
    document_.CopyPictureSlot(n, 0);
    document_.CopyPictureSlot(0, kScratchSlot);
  }
  return true;
}

void MainWindow::ShowNewPictures() {
  document_.SelectPicture(0);
  UpdatePictureMenu(0);
  LayoutChildren();
  document_.GoToTime(0, false);
  RepaintTimeline();
  RepaintStage();
  TellUnreadablePictures(document_);
}

void MainWindow::LoadBackground() {
  FileSpec fileRef = document_.backgroundFile;
  const bool jpeg = document_.Loader() && document_.Loader()->JpegAvailable();
  if (OpenFileDialog(this, fileRef, BackgroundFilter(jpeg), ".avi", StartingFolder())) {
    document_.ChangeBackground(fileRef);
    RememberFolder(fileRef.Path(), fileRef);
  }
  document_.GoToTime(document_.clock.currentTime, false);
  RepaintTimeline();
  RepaintStage();
  TellUnreadablePictures(document_);  // a still that could not be read
}

void MainWindow::LoadSound() {
  // A cancelled dialog leaves the show without its sound track.
  document_.SetSoundFile(FileSpec{});
  FileSpec fileRef;
  if (OpenFileDialog(this, fileRef, kSoundFilter, ".wav", StartingFolder())) {
    document_.SetSoundFile(fileRef);
    RememberFolder(fileRef.Path(), fileRef);
  }
  Repaint();
}

bool MainWindow::AskToSaveShow(std::string_view question, std::string_view caption,
                               bool withCancel) {
  if (!document_.Modified()) return true;
  const int answer =
      withCancel ? AskYesNoCancel(question, caption) : (AskYesNo(question, caption) ? 1 : 0);
  if (answer < 0) return false;
  if (answer == 0) return true;  // No: the changes go
  return SaveShowAs();           // Yes: only a show that was saved may go
}

bool MainWindow::SaveShowTo(std::string_view path) {
  std::error_code why;
  const ShowFileStatus status = SaveShowFile(document_, std::string(path), &why);
  if (status != ShowFileStatus::kOk) {
    ShowErrorBox(ShowFileProblem(status, path, why), MessageSink::kNoCode);
    return false;
  }
  SetTitle(document_.showFile.Path());
  return true;
}

bool MainWindow::SaveShowAs() {
  FileSpec fileRef = document_.showFile.HasPath() ? document_.showFile : document_.damagedShowFile;
  if (!SaveFileDialog(this, fileRef, kShowFilter, ".vsh", StartingFolder())) return false;
  if (!SaveShowTo(fileRef.Path())) return false;
  RememberFolder(fileRef.Path(), fileRef);
  return true;
}

void MainWindow::QuickSave() {
  if (!document_.showFile.HasPath()) {
    SaveShowAs();
    return;
  }
  const int32_t frame = document_.clock.currentTime;
  document_.GoToTime(0, true);
  SaveShowTo(document_.showFile.Path());
  document_.GoToTime(frame, true);
}

void MainWindow::LoadShow() {
  if (!AskToSaveShow(kSaveQuestion, "New Show", true)) return;
  FileSpec fileRef = document_.showFile;
  if (OpenFileDialog(this, fileRef, kShowFilter, ".vsh", StartingFolder())) {
    OpenShow(fileRef);
    return;
  }
  ShowLoadedShow();
}

bool MainWindow::OpenShow(const FileSpec& fileRef) {
  std::string damage;
  std::error_code why;
  const ShowFileStatus status =
      LoadShowFile(document_, std::string(fileRef.Path()), false, &damage, &why);
  if (status == ShowFileStatus::kOk) {
    SetTitle(document_.showFile.Path());
    RememberFolder(fileRef.Path(), fileRef);
  } else {
    ShowErrorBox(ShowFileProblem(status, fileRef.Path(), why), MessageSink::kNoCode);
  }
  if (!damage.empty()) ShowErrorBox(DamagedShowNotice(damage), MessageSink::kNoCode);
  ShowLoadedShow();
  return status == ShowFileStatus::kOk;
}

bool MainWindow::OpenRecoveredShow(const std::string& copy, std::string_view origin) {
  std::string damage;
  std::error_code why;
  const ShowFileStatus status = LoadShowFile(document_, copy, false, &damage, &why);
  if (status != ShowFileStatus::kOk) {
    ShowErrorBox(ShowFileProblem(status, copy, why), MessageSink::kNoCode);
  } else {
    FileSpec original;
    if (!original.SetPath(origin)) original.ClearPath();
    // A damaged copy goes back over its show only by a deliberate choice,
    // as a damaged show does.
    if (damage.empty()) {
      document_.showFile = original;
    } else {
      document_.showFile.ClearPath();
      document_.damagedShowFile = original;
    }
    document_.SetModified(true);
    SetTitle(document_.showFile.Path());
  }
  if (!damage.empty()) ShowErrorBox(DamagedShowNotice(damage), MessageSink::kNoCode);
  ShowLoadedShow();
  return status == ShowFileStatus::kOk;
}

void MainWindow::ShowLoadedShow() {
  UpdatePictureMenu(document_.selectedPicture);
  LayoutChildren();
  document_.GoToTime(document_.clock.currentTime, true);
  Repaint();
  TellUnreadablePictures(document_);
}

void MainWindow::NewShow() {
  if (!AskToSaveShow(kSaveQuestion, "New Show", true)) return;
  SetTitle({});
  document_.ResetShow();
  UpdatePictureMenu(0);
  // The single view before the layout, so that the Stage takes its room back.
  timeline_.SetViewMode(kTimelineSingleView);
  if (timeline_.Exists()) {
    DrawingScope scope(*this);
    view_.SetState(BitmapButton::kNormal);
  }
  LayoutChildren();
  document_.GoToTime(0, false);
  RepaintTimeline();
  RepaintStage();
}

bool MainWindow::ConfirmClose() {
  return AskToSaveShow("Do you want to save this show?", "Exit Application", false);
}

void MainWindow::AdvancedOptions() {
  if (!stage_) return;
  const std::string descriptions[6] = {"@CFlop Field Order",         "@CFlop Top Field",
                                       "@FAlternative Image Folder", "@CShow Pic Errors",
                                       "@CVideoSafe Color?",         "@CFeather Alpha?"};
  const auto box = [](uint8_t on) { return std::string(on ? "1" : ""); };
  // The folder row keeps the whole path; only its display is short.
  const std::string folder(document_.altImageFolder.Path());
  std::string values[6] = {
      box(document_.fieldSwap),         box(document_.flopTopField), folder,
      box(document_.showPictureErrors), box(document_.videoColors),  box(document_.alphaBlur)};
  DescribedDialogFolder().SetPath(folder);  // the folder chooser starts there

  if (RunDescribedDialog(*stage_, 50, 50, descriptions, values, "Advanced Options") == 1) {
    const auto on = [&](int i) -> uint8_t { return values[i].empty() ? 0 : 1; };
    document_.fieldSwap = on(0);
    document_.flopTopField = on(1);
    if (values[2] != folder) {
      FileSpec chosen;
      if (chosen.SetPath(FolderPart(values[2]))) document_.altImageFolder = chosen;
    }
    document_.showPictureErrors = on(3);
    document_.videoColors = on(4);
    document_.alphaBlur = on(5);
    windowSettings_.advanced = {document_.fieldSwap != 0,
                                document_.flopTopField != 0,
                                std::string(document_.altImageFolder.Path()),
                                document_.showPictureErrors != 0,
                                document_.videoColors != 0,
                                document_.alphaBlur != 0};
    StoreSettings(WindowSettingsPart::kAdvancedOptions);
  }
  SetCursor(kCursorWait);
  const int count = document_.pictureCount;
  for (int i = 0; i < count; ++i) {
    PicturesLoading(i, count);
    const FileSpec fileRef = document_.PictureAt(i).file;
    document_.LoadPicture(fileRef, i);
  }
  PicturesLoading(count, count);
  Repaint();
  document_.GoToTime(document_.clock.currentTime, false);
  RepaintTimeline();
  RepaintStage();
  SetCursor(kCursorArrow);
  TellUnreadablePictures(document_);
}

void MainWindow::NextKeyFrame() {
  for (int p = std::max(document_.selectedPicture, 0); p < document_.pictureCount; ++p) {
    const Picture& picture = document_.PictureAt(p);
    const int n = std::clamp(picture.keyCount, 1, kKeySlots);
    for (int k = 0; k < n; ++k) {
      if (picture.keys[k].time > document_.clock.currentTime) {
        document_.GoToTime(picture.keys[k].time, true);
        return;
      }
    }
  }
  document_.GoToTime(0, true);
}

void MainWindow::FieldPreviewStep() {
  if (!stage_) return;
  stage_->DrawFrameAtOrigin(document_.StepFieldPreview());
}

// --- DocumentHost --------------------------------------------------------

void MainWindow::ShowMessage(std::string_view text, long code) {
  ShowErrorBox(text, code);
}

void MainWindow::RepaintStage() {
  if (stage_) stage_->Repaint();
}

void MainWindow::RepaintTimeline() {
  timeline_.Repaint();
  // The Timeline updates the Edit menu when it draws; without one, here.
  if (!timeline_.Exists()) {
    document_.currentKey = KeyAtCurrentTime(document_);
    UpdateEditMenu();
  }
}

void MainWindow::Beep() {
  vantoril::Beep();
}

void MainWindow::SetBusyCursor(bool busy) {
  SetCursor(busy ? kCursorWait : kCursorArrow);
}

void MainWindow::PicturesLoading(int done, int total) {
  // A show of a few small pictures opens at once, without the panel; large
  // photographs can take many seconds.
  constexpr int64_t kPanelAfterMs = 300;
  const int64_t now = RenderTick();
  if (done == 0) picturesLoadingSince_ = now;
  if (!stage_ || done == 0 || done >= total || now - picturesLoadingSince_ < kPanelAfterMs) {
    return;
  }
  stage_->DrawRenderProgress(
      static_cast<double>(done) / total,
      "Loading pictures: " + std::to_string(done) + " of " + std::to_string(total),
      picturesLoadingSince_);
  ShowDrawingNow();
}

std::span<KeyFrame> MainWindow::StagePictureStates() {
  return stage_ ? stage_->States() : std::span<KeyFrame>{};
}

}  // namespace vantoril
