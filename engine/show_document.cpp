#include "engine/show_document.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "engine/background_clip.h"
#include "engine/clip_names.h"
#include "engine/document_host.h"
#include "engine/interpolation.h"
#include "engine/picture_loader.h"
#include "engine/settings_store.h"

namespace vantoril {

namespace {

constexpr int32_t kDefaultAspectMode = kAspectMode4x3;
constexpr float kDefaultKeyPosition = 200;
constexpr float kDefaultKeySize = 100;
constexpr uint32_t kDefaultTint = 255;  // pure red

int32_t WrapRing(int32_t index) {
  return ((index % kUndoRingSize) + kUndoRingSize) % kUndoRingSize;
}

}  // namespace

int32_t SanitisedFrameRate(int32_t frameRate) {
  return frameRate > 0 ? frameRate : kDefaultFrameRate;
}

int32_t StageWidthForAspectMode(int32_t aspectMode, float* aspectOut) {
  auto widthFor = [](float aspect) {
    const double width = 0.75 / aspect * 640 + 0.5;
    return std::isfinite(width) && width >= 1 && width < ImageBuffer::kMaxSide + 1
               ? static_cast<int32_t>(width)
               : 0;
  };
  float aspect = static_cast<float>(aspectMode) * 0.0001f;
  int32_t width = widthFor(aspect);
  if (width == 0) {
    // A mode that gives no usable stage (0 would divide by zero) counts as 4:3.
    aspect = static_cast<float>(kDefaultAspectMode) * 0.0001f;
    width = widthFor(aspect);
  }
  if (aspectOut) {
    *aspectOut = aspect;
  }
  return width;
}

ShowDocument::ShowDocument(const SettingsStore& settings)
    : stageFrame(16, 16, 8), backgroundImage(16, 16, 8) {
  for (auto& image : pictureImages) {
    image.Create(16, 16, 8);
  }
  standalone = 0;
  keyClipboard.time = kEmptyClipboardTime;
  ResetShow();

  stageWidth =
      StageWidthForAspectMode(settings.GetSettingInt("AspectMode", kDefaultAspectMode), &aspect);
  fieldSwap = settings.GetSettingInt("FieldSwap", 0) != 0;
  videoColors = settings.GetSettingInt("VideoColors", 1) != 0;
  alphaBlur = settings.GetSettingInt("AlphaBlur", 0) != 0;
  flopTopField = settings.GetSettingInt("FlopTopField", 0) != 0;
  clock.frameRate = SanitisedFrameRate(settings.GetSettingInt("FrameRate", kDefaultFrameRate));
  autoAddKey = settings.GetSettingInt("AutoAddKey", 1) != 0;
  rootVolume = settings.GetSetting("RootVolume", "C:\\");
  if (!altImageFolder.SetPath(settings.GetSetting("AltImageFolder", ""))) {
    altImageFolder = FileSpec{};
  }

  showLength = 1800;
  backgroundSource = kBackgroundClip;
  stageFrame.Create(stageWidth, kStageHeight, 32);
  holdBackgroundFrame = 0;
  // Feathering starts on whatever the setting says; the advanced options
  // write the field and the setting together.
  alphaBlur = 1;
}

void ShowDocument::SetPictureLoader(PictureLoader* loader) {
  loader_ = loader;
  jpegAvailable = loader_ && loader_->JpegAvailable();
}

void ShowDocument::EnterStandaloneMode() {
  standalone = 1;
  showLength = ((clock.frameRate * 60) / 100) * 10;
}

void ShowDocument::ResetSlot(int slot) {
  keys[slot].fill(KeyFrame{});
  KeyFrame& first = keys[slot][0];
  first.x = kDefaultKeyPosition;
  first.y = kDefaultKeyPosition;
  first.width = kDefaultKeySize;
  first.height = kDefaultKeySize;
  keyCount[slot] = 1;
  pictureFiles[slot] = FileSpec{};
  tintColour[slot] = kDefaultTint;
  brush[slot] = BrushCode(Brush::kNormal);
  slotSpareC[slot] = 0;
  slotSpareD[slot] = 0;
  locked[slot] = 0;
  pictureProblems[slot] = PictureProblem::kNone;
  pictureImages[slot] = ImageBuffer(8, 8, 32);
}

bool ShowDocument::ResetShow() {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    ResetSlot(slot);
  }
  ClearUndoHistory();
  modified = 0;
  pictureCount = 0;
  selectedPicture = 0;
  showId = 0;
  soundFile.ClearPath();
  backgroundFile.ClearPath();
  showFile.ClearPath();
  damagedShowFile.ClearPath();
  unreadablePictures_.clear();
  // The clip belonged to the old show; left open it would go on painting
  // under the new one.
  if (clip_) {
    clip_->Close();
  }
  backgroundImage = ImageBuffer(8, 8, 32);
  if (host_) {
    const auto states = host_->StagePictureStates();
    for (size_t slot = 0; slot < states.size() && slot < kSlotCount; ++slot) {
      states[slot] = keys[slot][0];
    }
  }
  return true;
}

int ShowDocument::LoadPicture(const FileSpec& file, int slot) {
  const bool newPicture = slot == -1;
  lastPictureProblem_ = PictureProblem::kNone;
  if (file.Path().size() < 3 || slot < -1 || slot >= kSlotCount || !loader_) {
    return slot;
  }
  // A show holds at most 30 pictures; the caller tells the user.
  if (newPicture && pictureCount >= kMaxPictures) {
    return slot;
  }
  struct BusyCursor {
    DocumentHost* host;
    explicit BusyCursor(DocumentHost* h) : host(h) {
      if (host) host->SetBusyCursor(true);
    }
    ~BusyCursor() {
      if (host) host->SetBusyCursor(false);
    }
  } busy(host_);

  ImageBuffer decoded(16, 16, 8);
  const PictureLoad loaded =
      loader_->LoadImageFile(decoded, file, altImageFolder, showPictureErrors != 0);
  UnreadablePicture problem =
      loaded == PictureLoad::kLoaded ? UnreadablePicture{} : loader_->LastProblem();
  if (loaded != PictureLoad::kLoaded && problem.problem == PictureProblem::kNone) {
    problem.problem = PictureProblem::kDamaged;  // a reader that gave no reason
  }
  if (problem.problem != PictureProblem::kNone && problem.path.empty()) {
    problem.path = std::string(file.Path());
  }
  lastPictureProblem_ = problem.problem;
  if (lastPictureProblem_ != PictureProblem::kNone) {
    unreadablePictures_.push_back(problem);
  }
  if (loaded == PictureLoad::kFailed) {
    return slot;
  }

  // Everything is prepared aside, so that a failure leaves the slot as it was.
  ImageBuffer image;
  if (!image.Create(decoded.Width(), decoded.Height(), 32)) {
    if (host_) {
      host_->ShowMessage("Not Enough Memory to load Image\n" + std::string(file.Path()),
                         MessageSink::kNoCode);
    }
    if (lastPictureProblem_ == PictureProblem::kNone) {
      lastPictureProblem_ = PictureProblem::kNoMemory;
      unreadablePictures_.push_back({std::string(file.Path()), lastPictureProblem_});
    }
    return slot;
  }
  decoded.StretchTo(image, 0, 0);
  if (decoded.BitsPerPixel() < 32) {
    image.SetAlpha(255);
  }
  image.SetBorderAlpha(0);
  if (alphaBlur) {
    image.AlphaBlur();
    image.AlphaBlur();
  }
  if (videoColors) {
    image.MakeVideoSafe();
  }

  if (newPicture) {
    slot = pictureCount;
    ++pictureCount;
  }
  pictureFiles[slot] = file;
  pictureImages[slot] = std::move(image);
  pictureProblems[slot] = lastPictureProblem_;
  if (newPicture) {
    KeyFrame& first = keys[slot][0];
    first.width = static_cast<float>(pictureImages[slot].Width());
    first.height = static_cast<float>(pictureImages[slot].Height());
    first.x = static_cast<float>(stageWidth * 0.5);
    first.y = static_cast<float>(kStageHeight * 0.5);
    first.rotation = 0;
    first.level = 0;
  }
  modified = 1;
  return slot;
}

std::vector<UnreadablePicture> ShowDocument::TakeUnreadablePictures() {
  return std::exchange(unreadablePictures_, {});
}

bool ShowDocument::SetBackground(const FileSpec& file) {
  if (!file.HasPath()) {
    return true;
  }
  if (IsClipName(file.Path())) {
    backgroundSource = kBackgroundClip;
    return clip_ && clip_->Open(file, clock.frameRate);
  }
  backgroundSource = kBackgroundPicture;
  return loader_ && loader_->LoadImageFile(backgroundImage, backgroundFile, altImageFolder,
                                           showPictureErrors != 0) == PictureLoad::kLoaded;
}

bool ShowDocument::CopyPictureSlot(int destination, int source) {
  if (destination < 0 || destination >= kSlotCount || source < 0 || source >= kSlotCount) {
    return false;
  }
  if (destination == source) {
    return true;
  }
  if (!pictureImages[source].CopyTo(pictureImages[destination], true)) {
    return false;
  }
  const int count = std::clamp(keyCount[source], 0, kKeySlots);
  keyCount[destination] = keyCount[source];
  std::copy_n(keys[source].begin(), count, keys[destination].begin());
  pictureFiles[destination] = pictureFiles[source];
  tintColour[destination] = tintColour[source];
  brush[destination] = brush[source];
  slotSpareC[destination] = slotSpareC[source];
  slotSpareD[destination] = slotSpareD[source];
  locked[destination] = locked[source];
  pictureProblems[destination] = pictureProblems[source];
  // Undo entries name pictures by slot.
  ClearUndoHistory();
  return true;
}

bool ShowDocument::DeletePicture(int slot) {
  if (!HasPicture(slot)) {
    return false;
  }
  --pictureCount;
  for (int i = slot; i < pictureCount; ++i) {
    CopyPictureSlot(i, i + 1);
  }
  keyCount[pictureCount] = 1;
  brush[pictureCount] = BrushCode(Brush::kNormal);
  slotSpareC[pictureCount] = 0;
  slotSpareD[pictureCount] = 0;
  locked[pictureCount] = 0;
  pictureProblems[pictureCount] = PictureProblem::kNone;
  selectedPicture = std::clamp(selectedPicture, 0, std::max(pictureCount - 1, 0));
  ClearUndoHistory();
  modified = 1;
  return true;
}

bool ShowDocument::InsertPictureCopy(int after, int source) {
  if (after < 0 || after >= kSlotCount || source < 0 || source >= kSlotCount || after == source) {
    return false;
  }
  // No gaps between pictures, and never into the scratch slot.
  if (after >= pictureCount || pictureCount >= kMaxPictures) {
    return false;
  }
  for (int i = pictureCount - 1; i > after; --i) {
    CopyPictureSlot(i + 1, i);
  }
  // A source among the moved slots has moved up with them.
  if (source > after && source < pictureCount) {
    ++source;
  }
  CopyPictureSlot(after + 1, source);
  ++pictureCount;
  ClearUndoHistory();
  modified = 1;
  return true;
}

bool ShowDocument::MovePicture(int target, int source) {
  if (!HasPicture(target) || !HasPicture(source) || target == source) {
    return false;
  }
  constexpr int kScratch = kSlotCount - 1;
  if (!CopyPictureSlot(kScratch, source)) {
    return false;
  }
  DeletePicture(source);
  return InsertPictureCopy(target > source ? target - 1 : target, kScratch);
}

int ShowDocument::SelectPicture(int index) {
  selectedPicture = std::clamp(index, 0, std::max(pictureCount - 1, 0));
  return selectedPicture;
}

void ShowDocument::Repaint() {
  if (host_) {
    host_->RepaintStage();
    host_->RepaintTimeline();
  }
}

void ShowDocument::GoToTime(int t, bool redraw) {
  t = std::clamp(t, 0, std::max(showLength, 0));
  clock.currentTime = t;
  if (host_) {
    const auto states = host_->StagePictureStates();
    for (int slot = 0; slot < pictureCount && slot < static_cast<int>(states.size()); ++slot) {
      states[slot] = EvaluatePicture(slot, t, false);
    }
  }
  if (redraw) {
    Repaint();
  }
}

KeyFrame ShowDocument::EvaluatePicture(int slot, int t, bool secondField) const {
  KeyFrame state{};
  if (slot < 0 || slot >= kSlotCount) {
    return state;
  }
  const int count = std::clamp(keyCount[slot], 0, kMaxKeys);
  if (count == 0) {
    return state;
  }
  const std::span<const KeyFrame> frames(keys[slot].data(), static_cast<size_t>(count));
  auto value = [&](int field, int mode) {
    return static_cast<float>(Interpolate(frames, field, t, secondField, mode));
  };
  state.x = value(0, 0);
  state.y = value(2, 0);
  state.width = value(3, 0);
  state.height = value(4, 0);
  state.level = value(10, 0);
  state.rotation = value(7, kStraightLines);
  state.easeCode = value(8, kHoldMode);
  return state;
}

bool ShowDocument::SetKeyAtCurrentTime() {
  const int p = EditablePicture();
  if (p < 0 || locked[p]) {
    return false;
  }
  clock.currentTime = std::clamp(clock.currentTime, 0, std::max(showLength - 1, 0));
  const int32_t now = clock.currentTime;
  KeyFrame scratch = keys[p][0];

  int distance = 4;
  if (host_ && host_->HasTimeline()) {
    distance = static_cast<int>(host_->TimeScale() * 0.033333335f * 4.0);
    if (distance < 3) {
      distance = 2;
    }
  }

  int k = -1;
  if (now < 2 * distance) {
    k = 0;
  } else {
    for (int i = 0; i < keyCount[p]; ++i) {
      if (std::abs(keys[p][i].time - now) < distance) {
        k = i;
        break;
      }
    }
  }

  const bool added = k < 0;
  // The picture's state as the stage shows it; without a stage, as evaluated.
  KeyFrame state;
  const auto states = host_ ? host_->StagePictureStates() : std::span<KeyFrame>{};
  if (p < static_cast<int>(states.size())) {
    state = states[p];
  } else {
    state = EvaluatePicture(p, added ? now : keys[p][k].time, false);
  }
  uint16_t code = 0;
  KeyFrame undoRecord;
  if (added) {
    if (keyCount[p] >= kMaxKeys) {
      return false;
    }
    k = keyCount[p]++;
    keys[p][k] = KeyFrame{};
    keys[p][k].time = now;
    code = kUndoKeyAdded;
  } else {
    code = static_cast<uint16_t>(k);
    // Undo must give back this key frame's own values.
    undoRecord = keys[p][k];
  }

  if (added || !autoAddKey) {
    if (host_) {
      host_->Beep();
    }
  }
  if ((added || k == 0) && !autoAddKey) {
    clock.currentTime += clock.RoundedRate();
  }

  KeyFrame& key = keys[p][k];
  const int32_t time = key.time;
  key = state;
  key.time = time;
  key.spare9 = scratch.spare9;
  key.tagCode = 0;
  if (added) {
    key.easeCode = 0;
  }

  scratch.time = time;
  PushUndo(added ? scratch : undoRecord, code, p);
  SortKeys(p);
  GoToTime(clock.currentTime, true);
  modified = 1;
  return added;
}

void ShowDocument::RemoveKey(int slot, int key) {
  auto& frames = keys[slot];
  std::copy(frames.begin() + key + 1, frames.begin() + keyCount[slot], frames.begin() + key);
  --keyCount[slot];
}

void ShowDocument::DeleteKey(int key, int slot) {
  // The last key frame of a picture is never deleted: a picture without one
  // has no state.
  if (!HasPicture(slot) || key < 0 || key >= keyCount[slot] || keyCount[slot] <= 1) {
    return;
  }
  PushUndo(keys[slot][key], kUndoKeyDeleted, slot);
  RemoveKey(slot, key);
  modified = 1;
}

void ShowDocument::SortKeys(int slot) {
  if (slot < 0 || slot >= kSlotCount) {
    return;
  }
  auto& frames = keys[slot];
  const int count = std::clamp(keyCount[slot], 0, kKeySlots);
  for (int i = 0; i < count; ++i) {
    int smallest = i;
    for (int j = i + 1; j < count; ++j) {
      if (frames[j].time < frames[smallest].time) {
        smallest = j;
      }
    }
    if (smallest != i) {
      std::swap(frames[i], frames[smallest]);
    }
  }
}

int ShowDocument::FindKeyNear(int t) const {
  const int p = EditablePicture();
  if (p < 0) {
    return -1;
  }
  for (int i = 0; i < keyCount[p]; ++i) {
    if (std::abs(keys[p][i].time - t) < 4) {
      return i;
    }
  }
  return -1;
}

bool ShowDocument::ShiftKeysAfter(int t, int delta) {
  const int p = EditablePicture();
  if (p < 0) {
    return false;
  }
  // From the last key frame down: undone in the opposite order, every step
  // then leaves the key frames in time order.
  for (int i = keyCount[p] - 1; i >= 0; --i) {
    KeyFrame& key = keys[p][i];
    if (key.time > t) {
      // Each entry names the key frame it shifted, so undo puts it back.
      PushUndo(key, static_cast<uint16_t>(i), p);
      const int64_t shifted = int64_t{key.time} + delta;
      key.time = static_cast<int32_t>(std::clamp<int64_t>(shifted, 0, std::max(showLength, 0)));
      modified = 1;
    }
  }
  return true;
}

KeyFrame ShowDocument::GetKey(int key, int slot) const {
  if (key < 0 || key >= kKeySlots || slot < 0 || slot >= kSlotCount) {
    return KeyFrame{};
  }
  return keys[slot][key];
}

void ShowDocument::PutKey(int key, const KeyFrame& record, int slot) {
  if (key < 0 || key >= kKeySlots || slot < 0 || slot >= kSlotCount) {
    return;
  }
  keys[slot][key] = record;
}

void ShowDocument::PushUndo(const KeyFrame& record, uint16_t code, int slot) {
  if (slot < 0 || slot >= kSlotCount) {
    return;
  }
  undoCount = std::min(undoCount + 1, kUndoRingSize);
  undoTop = WrapRing(undoTop + 1);
  KeyFrame& entry = undoRing[undoTop];
  entry = record;
  entry.tagSlot = static_cast<uint16_t>(slot);
  entry.tagCode = code;
  // A new edit ends the redo chain: the ring slots beyond it are stale.
  redoCount = 0;
}

void ShowDocument::Undo() {
  if (undoCount <= 0 || undoTop < 0) {
    return;
  }
  ApplyUndoEntry();
  undoTop = WrapRing(undoTop - 1);
  redoCount = std::min(redoCount + 1, kUndoRingSize);
  --undoCount;
}

void ShowDocument::Redo() {
  if (redoCount <= 0 || undoTop < 0) {
    return;
  }
  undoTop = WrapRing(undoTop + 1);
  ApplyUndoEntry();
  undoCount = std::min(undoCount + 1, kUndoRingSize);
  --redoCount;
}

void ShowDocument::ClearUndoHistory() {
  undoTop = -1;
  undoCount = 0;
  redoCount = 0;
}

void ShowDocument::ApplyUndoEntry() {
  KeyFrame& entry = undoRing[undoTop];
  const int p = entry.tagSlot;
  const int code = entry.tagCode;
  if (!HasPicture(p)) {
    return;
  }
  auto restored = [](KeyFrame record) {
    record.tagSlot = 0;
    record.tagCode = 0;
    return record;
  };

  if (code == kUndoKeyAdded) {
    for (int i = 0; i < keyCount[p]; ++i) {
      if (keys[p][i].time == entry.time) {
        if (keyCount[p] <= 1) {
          return;
        }
        entry = keys[p][i];
        entry.tagSlot = static_cast<uint16_t>(p);
        entry.tagCode = kUndoKeyDeleted;
        RemoveKey(p, i);
        modified = 1;
        return;
      }
    }
  } else if (code == kUndoKeyDeleted) {
    if (keyCount[p] >= kMaxKeys) {
      return;
    }
    keys[p][keyCount[p]++] = restored(entry);
    SortKeys(p);
    entry.tagCode = kUndoKeyAdded;
    modified = 1;
  } else if (code < kKeySlots) {
    if (code >= keyCount[p]) {
      return;
    }
    const KeyFrame old = keys[p][code];
    keys[p][code] = restored(entry);
    // A key frame dragged in time comes back to its old place among the
    // others; the entry follows it there, so that redo finds it again.
    int at = code;
    auto& frames = keys[p];
    while (at > 0 && frames[at - 1].time > frames[at].time) {
      std::swap(frames[at - 1], frames[at]);
      --at;
    }
    while (at + 1 < keyCount[p] && frames[at + 1].time < frames[at].time) {
      std::swap(frames[at + 1], frames[at]);
      ++at;
    }
    entry = old;
    entry.tagSlot = static_cast<uint16_t>(p);
    entry.tagCode = static_cast<uint16_t>(at);
    modified = 1;
  }
}

}  // namespace vantoril
