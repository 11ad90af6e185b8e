#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_spec.h"
#include "engine/image_buffer.h"
#include "engine/key_frame.h"
#include "engine/picture_problem.h"
#include "engine/show_clock.h"
#include "engine/stretched_background.h"

namespace vantoril {

class BackgroundClip;
class DocumentHost;
class PictureLoader;
class SettingsStore;

inline constexpr int kSlotCount = 32;    // picture slots; slot 31 is scratch
inline constexpr int kMaxPictures = 30;  // pictures a show holds
inline constexpr int kKeySlots = 128;    // key frame records per slot
inline constexpr int kMaxKeys = 127;     // key frames in use per slot
inline constexpr int kUndoRingSize = 32;
inline constexpr int kStageHeight = 480;
inline constexpr int32_t kEmptyClipboardTime = -9999;

// Undo entry codes (the second half of an entry's tag); 0..127 name the
// changed key frame.
inline constexpr uint16_t kUndoKeyAdded = 160;
inline constexpr uint16_t kUndoKeyDeleted = 161;

// Picture treatments ("brush"). The show stores each as its code, by
// thousands; a painted code counts as the brush whose thousand it lies in.
enum class Brush : int32_t {
  kNormal = 0,
  kBlur = 1000,
  kPixelate = 2000,
  kDarken = 3000,
  kLighten = 4000,
  kTint = 5000,
  kNoColour = 6000,
};

constexpr int32_t BrushCode(Brush brush) {
  return static_cast<int32_t>(brush);
}
// Any stored code, unknown ones included, so that painting can judge them.
constexpr Brush BrushOfCode(int32_t code) {
  return static_cast<Brush>(code);
}

// "AspectMode" values: the stage's height over its width x 10000.
inline constexpr int32_t kAspectMode4x3 = 7500;
inline constexpr int32_t kAspectMode16x9 = 5625;

// Background sources.
inline constexpr uint32_t kBackgroundPicture = 1;
inline constexpr uint32_t kBackgroundClip = 2;

// The one show that is open: its pictures with their key frames, the
// background, the sound track reference, the show-wide options, the undo ring
// and the key clipboard, and the stage frame the compositor paints.
//
// The fields are the show's record and are read and written by the windows
// directly; the operations keep the invariants that span several fields.
// Slots are 0..31; index arguments outside their ranges make an operation do
// nothing (and return false where it has a result).
class ShowDocument {
 public:
  // Reads "AspectMode", "FieldSwap", "VideoColors", "AlphaBlur",
  // "FlopTopField", "FrameRate", "AutoAddKey", "RootVolume" and
  // "AltImageFolder". Nothing is kept of the store afterwards.
  explicit ShowDocument(const SettingsStore& settings);
  ShowDocument(const ShowDocument&) = delete;
  ShowDocument& operator=(const ShowDocument&) = delete;

  // What the document talks to; none is owned, each may be null.
  void SetHost(DocumentHost* host) { host_ = host; }
  void SetPictureLoader(PictureLoader* loader);
  void SetBackgroundClip(BackgroundClip* clip) { clip_ = clip; }
  DocumentHost* Host() const { return host_; }
  PictureLoader* Loader() const { return loader_; }
  BackgroundClip* Clip() const { return clip_; }

  // What start-up does after construction: the stand-alone flag and a show
  // length of ten minutes at the frame rate.
  void EnterStandaloneMode();

  bool ResetShow();
  // Loads a picture file into `slot`, or as a new picture with slot -1.
  // Returns the slot loaded; on failure the slot argument (-1 for a new
  // picture), or 0 when memory ran out, with the show unchanged. A file that
  // could not be read (a placeholder stands in, or nothing was loaded) is
  // added to the list TakeUnreadablePictures hands out.
  int LoadPicture(const FileSpec& file, int slot);
  // The pictures LoadPicture could not read since the list was last taken.
  std::vector<UnreadablePicture> TakeUnreadablePictures();
  // Why LoadPicture's last file could not be read (kNone when it was).
  PictureProblem LastPictureProblem() const { return lastPictureProblem_; }
  // Callers store the same FileSpec in backgroundFile first.
  bool SetBackground(const FileSpec& file);
  bool DeletePicture(int slot);
  bool CopyPictureSlot(int destination, int source);
  bool InsertPictureCopy(int after, int source);
  bool MovePicture(int target, int source);
  int SelectPicture(int index);

  void GoToTime(int t, bool redraw);
  KeyFrame EvaluatePicture(int slot, int t, bool secondField) const;
  bool SetKeyAtCurrentTime();
  void DeleteKey(int key, int slot);
  void SortKeys(int slot);
  int FindKeyNear(int t) const;
  bool ShiftKeysAfter(int t, int delta);
  KeyFrame GetKey(int key, int slot) const;
  void PutKey(int key, const KeyFrame& record, int slot);

  void PushUndo(const KeyFrame& record, uint16_t code, int slot);
  void Undo();
  void Redo();
  void ClearUndoHistory();

  // Whether `slot` holds one of the show's pictures.
  bool HasPicture(int slot) const { return slot >= 0 && slot < pictureCount; }
  // The selected picture when there is one, else -1.
  int EditablePicture() const { return HasPicture(selectedPicture) ? selectedPicture : -1; }

  ShowClock clock;

  std::array<ImageBuffer, kSlotCount> pictureImages;
  ImageBuffer stageFrame;
  ImageBuffer backgroundImage;
  // backgroundImage at the size of the frames last composed.
  StretchedBackground stretchedBackground;
  uint8_t modified = 0;
  float aspect = 0.75f;
  int32_t showLength = 1800;
  std::string rootVolume;
  int32_t pictureCount = 0;
  std::array<std::array<KeyFrame, kKeySlots>, kSlotCount> keys{};
  std::array<FileSpec, kSlotCount> pictureFiles{};
  std::array<int32_t, kSlotCount + 1> keyCount{};
  std::array<uint32_t, kSlotCount + 1> tintColour{};
  std::array<int32_t, kSlotCount + 1> brush{};
  std::array<uint32_t, kSlotCount + 1> slotSpareC{};
  std::array<uint32_t, kSlotCount + 1> slotSpareD{};
  std::array<uint8_t, kSlotCount> locked{};
  // Why a slot's picture is a stand-in for its file (kNone: the file was read).
  std::array<PictureProblem, kSlotCount> pictureProblems{};
  uint16_t showId = 0;
  uint8_t fieldSwap = 0;
  KeyFrame keyClipboard{};
  int32_t currentKey = 0;
  uint8_t standalone = 0;
  int32_t undoTop = -1;
  int32_t undoCount = 0;
  int32_t redoCount = 0;
  uint8_t videoColors = 1;
  uint8_t flopTopField = 0;
  uint8_t autoAddKey = 1;
  uint8_t jpegAvailable = 0;
  FileSpec soundFile{};
  FileSpec backgroundFile{};
  std::array<KeyFrame, kUndoRingSize> undoRing{};
  FileSpec showFile{};
  // The file a damaged show was read from: not its name (a save would write
  // half a show over it), only what the save dialog proposes.
  FileSpec damagedShowFile{};
  uint8_t showPictureErrors = 0;
  int32_t selectedPicture = 0;
  FileSpec altImageFolder{};
  uint32_t backgroundSource = kBackgroundClip;
  uint8_t holdBackgroundFrame = 0;
  uint8_t alphaBlur = 0;
  int32_t stageWidth = 640;

 private:
  void ResetSlot(int slot);
  void ApplyUndoEntry();
  void RemoveKey(int slot, int key);
  void Repaint();

  std::vector<UnreadablePicture> unreadablePictures_;
  PictureProblem lastPictureProblem_ = PictureProblem::kNone;
  DocumentHost* host_ = nullptr;
  PictureLoader* loader_ = nullptr;
  BackgroundClip* clip_ = nullptr;
};

// The stage width for an "AspectMode" value, with the sanitising of the
// settings: a mode that gives a width outside 1..8192 counts as 7500.
int32_t StageWidthForAspectMode(int32_t aspectMode, float* aspectOut = nullptr);
// A frame rate of 0 or less counts as 2997.
int32_t SanitisedFrameRate(int32_t frameRate);

}  // namespace vantoril
