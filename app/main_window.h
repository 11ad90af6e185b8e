#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/timeline_link.h"
#include "app/window_settings.h"
#include "engine/document_host.h"
#include "engine/file_spec.h"
#include "engine/key_frame.h"
#include "platform/bitmap_button.h"
#include "platform/window.h"

namespace vantoril {

struct FileSpec;
class MenuBar;
class SettingsStore;
class ShowDocument;
class SoundTrackPlayer;
class Stage;
enum class KeyAction;

// Command ids: the menu items, which keys and buttons send too.
namespace cmd {
inline constexpr int kShowMotionPath = 1000;
inline constexpr int kAutoAddKeys = 1001;
inline constexpr int kFastDisplay = 1002;
inline constexpr int kLock = 1010;
inline constexpr int kNormalImage = 1011;  // 1011..1017: the brushes
inline constexpr int kTintBrush = 1016;
inline constexpr int kNoColourBrush = 1017;
inline constexpr int kLoadPicture = 1020;
inline constexpr int kLoadBackground = 1021;
inline constexpr int kMakeMovie = 1023;
inline constexpr int kNtsc = 1025;
inline constexpr int kPal = 1026;
inline constexpr int kFilm = 1027;
inline constexpr int kLoadSound = 1029;
inline constexpr int kAspect4x3 = 1030;
inline constexpr int kAspect16x9 = 1031;
inline constexpr int kAdvancedOptions = 1032;
inline constexpr int kChangePicture = 1040;
inline constexpr int kDeletePicture = 1041;
inline constexpr int kViewHelp = 1050;
inline constexpr int kAbout = 1054;
inline constexpr int kShowTvSafe = 1060;
inline constexpr int kZoomIn = 1061;
inline constexpr int kZoomOut = 1062;
inline constexpr int kEnlargeTimeline = 1063;
inline constexpr int kContractTimeline = 1064;
inline constexpr int kExit = 2001;
inline constexpr int kSaveShow = 2003;
inline constexpr int kLoadShow = 2004;
inline constexpr int kNewShow = 2005;
inline constexpr int kCopy = 9000;
inline constexpr int kCut = 9001;
inline constexpr int kPaste = 9002;
inline constexpr int kDelete = 9003;
inline constexpr int kUndo = 9004;
inline constexpr int kRedo = 9005;
}  // namespace cmd

inline constexpr std::string_view kProgramTitle = "Quennet Vantoril";

// The title for a show file path: the program's name, then " - " and the
// file's name cut at its first ".".
std::string WindowTitleFor(std::string_view showPath);
// The movie file proposed for a show: its path without the file name's
// extension (cut at the last "." of the name, not of the folders).
std::string MovieNameProposal(std::string_view showPath);

// The selected picture's key frame at the current time, or -1: what the
// Timeline writes into currentKey while it draws, for when there is none.
int32_t KeyAtCurrentTime(const ShowDocument& document);

// The program's top-level window: the menu bar and its commands, the key
// tables, the picture buttons and the status panel; owns the Stage and
// speaks to the Timeline through a TimelineLink.
class MainWindow : public Window, public DocumentHost {
 public:
  MainWindow(ShowDocument& document, SettingsStore& settings, SoundTrackPlayer* sound);
  ~MainWindow() override;

  bool Create();
  // Saves the settings and takes the window and the Stage down.
  void DestroyWindow();

  int HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void Paint() override;

  void SetTitle(std::string_view showPath);
  void UpdateEditMenu();
  void UpdatePictureMenu(int picture);
  void DrawStatusPanel(const KeyFrame& state);
  // Runs a command as if chosen from the menu.
  void RunCommand(int id);
  // A key message of this window or the Stage: runs the key tables and
  // tells whether the message counts (the Stage then handles it too). One
  // physical press runs at most one command.
  bool HandleKey(uint32_t message, int code);
  // Select a picture as the keys and buttons do.
  void SelectPictureAndRefresh(int index);
  // Lays out the Stage and the Timeline after a change of size or pictures.
  void LayoutChildren();

  // Takes the Timeline window (created after the Stage, owned by this
  // window from then on), plugs it in and lays both out.
  void AdoptTimeline(std::unique_ptr<TimelineLink> timeline);

  Stage* GetStage() const { return stage_.get(); }
  MenuBar& Menu() const { return *menu_; }
  TimelineHolder& Timeline() { return timeline_; }
  ShowDocument& Document() const { return document_; }
  SettingsStore& Settings() const { return settings_; }

  // DocumentHost.
  void ShowMessage(std::string_view text, long code) override;
  void RepaintStage() override;
  void RepaintTimeline() override;
  void Beep() override;
  void SetBusyCursor(bool busy) override;
  void PicturesLoading(int done, int total) override;
  std::span<KeyFrame> StagePictureStates() override;
  bool HasTimeline() const override { return timeline_.Exists(); }
  int TimeScale() const override { return timeline_.TimeScale(); }

 private:
  void BuildMenuBar();
  // RunCommand's parts, one per menu: true when the id was theirs.
  bool RunFileCommand(int id);
  bool RunEditCommand(int id);
  bool RunOptionsCommand(int id);
  bool RunViewCommand(int id);
  bool RunKeyTables(uint32_t message, int code);
  void RunKeyAction(KeyAction action);
  void Transport(int direction);
  void StepFrame(int delta);
  void LoadPicture(bool change);
  void LoadBackground();
  void LoadSound();
  // The save question before the show goes: false when the user cancelled
  // or the save did not happen.
  bool AskToSaveShow(std::string_view question, std::string_view caption, bool withCancel);
  bool SaveShowAs();
  bool SaveShowTo(std::string_view path);
  void QuickSave();
  void LoadShow();
  // LoadPicture's work once the file is chosen: loads it into a new slot
  // (in front) or the selected one. False when it could not be read.
  bool PlacePicture(const FileSpec& fileRef, bool change);
  // Selects picture 0 and brings the windows up to date after new pictures.
  void ShowNewPictures();
  // Brings the windows up to date with the document after a load.
  void ShowLoadedShow();
  void NewShow();
  // The save question before the program closes: false keeps it open.
 public:
  bool ConfirmClose();
  // Opens a show file as Load Show does once the file is chosen (its
  // messages included); no save question. False when it did not load.
  bool OpenShow(const FileSpec& fileRef);
  // Opens the copy of a show that a program left when it ended without a
  // clean exit: the show takes the name it was made from (`origin`, empty
  // for a new show) and its changes stay unsaved. False when it did not load.
  bool OpenRecoveredShow(const std::string& copy, std::string_view origin);
  // Files dropped on the window, in the order dropped: a show opens (after
  // the save question), a WAV file becomes the sound track, a movie clip the
  // background, pictures become new pictures as Load Picture makes them.
  // Files that cannot be read are named in one message.
  void DropFiles(const std::vector<std::string>& files);

 private:
  void Paste();
  void SetBrush(int id);
  void ToggleLock();
  void SetFrameRate(int id);
  void SetAspect(bool wide);
  void AdvancedOptions();
  void NextKeyFrame();
  void FieldPreviewStep();
  void SetZoom(double scale);
  void RememberFolder(std::string_view path, const FileSpec& fileRef);
  std::string StartingFolder() const;
  // Writes one changed part of windowSettings_ back to the settings.
  void StoreSettings(WindowSettingsPart part);
  void ReleaseButtons(int x, int y);

  ShowDocument& document_;
  SettingsStore& settings_;
  // Read when the window is created; every change goes through StoreSettings.
  WindowSettings windowSettings_;
  SoundTrackPlayer* sound_;
  std::unique_ptr<MenuBar> menu_;
  std::unique_ptr<Stage> stage_;
  std::unique_ptr<TimelineLink> ownedTimeline_;
  TimelineHolder timeline_;
  BitmapButton previous_, next_, view_;
  bool swallowCharacter_ = false;
  int64_t picturesLoadingSince_ = 0;  // RenderTick of the first picture read
};

}  // namespace vantoril
