#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_spec.h"
#include "engine/image_buffer.h"
#include "engine/key_frame.h"
#include "engine/picture.h"
#include "engine/picture_loader.h"
#include "engine/picture_problem.h"
#include "engine/show_clock.h"
#include "engine/stretched_background.h"

namespace vantoril {

class BackgroundClip;
class DocumentHost;
class SettingsStore;

inline constexpr int kSlotCount = 32;    // picture slots; slot 31 is scratch
inline constexpr int kMaxPictures = 30;  // pictures a show holds
inline constexpr int kUndoRingSize = 32;
inline constexpr int kStageHeight = 480;
inline constexpr int32_t kEmptyClipboardTime = -9999;

// Undo entry codes (the second half of an entry's tag); 0..127 name the
// changed key frame.
inline constexpr uint16_t kUndoKeyAdded = 160;
inline constexpr uint16_t kUndoKeyDeleted = 161;

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
// The show-wide fields are read and written by the windows directly; the
// pictures and the modified mark change only through the operations, which
// keep the invariants that span several fields and mark the show modified.
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
  // Callers store the same FileSpec in backgroundFile first.
  bool SetBackground(const FileSpec& file);
  // Load Background: stores the file and opens it; the show is modified even
  // when the file cannot be opened, since it names the file now.
  bool ChangeBackground(const FileSpec& file);
  void SetSoundFile(const FileSpec& file);

  // The picture in `slot`; an empty picture for a slot outside 0..31.
  const Picture& PictureAt(int slot) const;
  // Puts `picture` into `slot` as it is, for a show built by hand; the count
  // of pictures, the undo ring and the modified mark are left alone.
  void SetPicture(int slot, Picture picture);
  // Adds the next picture of a show being read: `record`'s fields and key
  // frames, its image loaded from record.file. A picture that cannot be read
  // keeps its place and file reference (a save keeps it too), invisible.
  // Returns its slot, or -1 when the show is full.
  int AddRecordedPicture(Picture record);
  // AddRecordedPicture for each record in order, telling the host how far
  // the reading has come.
  void AddRecordedPictures(std::vector<Picture> records);
  // The menus' picture edits.
  bool SetBrush(int slot, Brush brush);
  bool SetTint(int slot, uint32_t colour);
  bool ToggleLock(int slot);
  // A save stores the show's length in each picture's first key frame.
  void StampShowLength();
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
  // A key frame other than the first dragged to `time`: sorted in among the
  // others, with an undo entry that gives it its old time back. Returns where
  // it ended up, or -1 when nothing moved.
  int MoveKey(int slot, int key, int32_t time);
  // A key frame edited in the options dialog, undoable.
  bool EditKey(int slot, int key, const KeyFrame& edited);
  // Paste: the clipboard's position, size, rotation and ease into the
  // selected picture's key frame at the current time, set first when there is
  // none. Needs a key frame on the clipboard and an unlocked picture.
  bool PasteKey();
  // One step of the field preview: the frame at the current time, its two
  // fields composed apart and interleaved on even times, whole on odd ones;
  // the clock then moves on one frame.
  ImageBuffer StepFieldPreview();

  void PushUndo(const KeyFrame& record, uint16_t code, int slot);
  void Undo();
  void Redo();
  void ClearUndoHistory();

  // Whether the show changed since it was read or saved. The operations set
  // it; reading and saving the show file clear it (a damaged read sets it).
  bool Modified() const { return modified_ != 0; }
  void SetModified(bool modified) { modified_ = modified ? 1 : 0; }

  // Whether `slot` holds one of the show's pictures.
  bool HasPicture(int slot) const { return slot >= 0 && slot < pictureCount; }
  // The selected picture when there is one, else -1.
  int EditablePicture() const { return HasPicture(selectedPicture) ? selectedPicture : -1; }

  ShowClock clock;

  ImageBuffer stageFrame;
  ImageBuffer backgroundImage;
  // backgroundImage at the size of the frames last composed.
  StretchedBackground stretchedBackground;
  float aspect = 0.75f;
  int32_t showLength = 1800;
  std::string rootVolume;
  int32_t pictureCount = 0;
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
  // Why the background is not its file's picture: a still that could not be
  // read (a placeholder stands in, and it is listed with the unreadable
  // pictures) or a clip that did not open (nothing is painted; the clip says
  // so itself).
  PictureProblem backgroundProblem = PictureProblem::kNone;
  uint8_t holdBackgroundFrame = 0;
  uint8_t alphaBlur = 0;
  int32_t stageWidth = 640;

 private:
  // A picture file read and made ready for its slot, aside from the show.
  struct ReadPicture {
    PictureLoad loaded = PictureLoad::kFailed;
    UnreadablePicture problem;
    ImageBuffer image;  // 32 bits, as the slot holds it; no header when memory ran out
  };
  // Reads and prepares the file; quietly (ReadQuietly) from any thread,
  // else through LoadImageFile on this one.
  ReadPicture ReadPictureFile(const FileSpec& file, bool quietly) const;
  // LoadPicture with the file already read when `read` is given.
  int LoadPicture(const FileSpec& file, int slot, ReadPicture* read);
  int AddRecordedPicture(Picture record, ReadPicture* read);
  void ApplyUndoEntry();
  void RemoveKey(int slot, int key);
  void Repaint();

  std::array<Picture, kSlotCount> pictures_{};
  uint8_t modified_ = 0;
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
