#include "engine/show_document.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "engine/background_clip.h"
#include "engine/band_pool.h"
#include "engine/clip_names.h"
#include "engine/compositor.h"
#include "engine/document_host.h"
#include "engine/interpolation.h"
#include "engine/picture_loader.h"
#include "engine/settings_store.h"

namespace vantoril {

namespace {

constexpr int32_t kDefaultAspectMode = kAspectMode4x3;
constexpr std::string_view kKeyFramesFullMessage = "A picture holds at most 127 key frames";

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

const Picture& ShowDocument::PictureAt(int slot) const {
  static const Picture kNoPicture;
  return slot >= 0 && slot < kSlotCount ? pictures_[slot] : kNoPicture;
}

void ShowDocument::SetPicture(int slot, Picture picture) {
  if (slot >= 0 && slot < kSlotCount) {
    pictures_[slot] = std::move(picture);
  }
}

bool ShowDocument::ResetShow() {
  pictures_.fill(Picture{});
  ClearUndoHistory();
  modified_ = 0;
  pictureCount = 0;
  selectedPicture = 0;
  showId = 0;
  soundFile.ClearPath();
  backgroundFile.ClearPath();
  showFile.ClearPath();
  damagedShowFile.ClearPath();
  unreadablePictures_.clear();
  backgroundProblem = PictureProblem::kNone;
  // The clip belonged to the old show; left open it would go on painting
  // under the new one.
  if (clip_) {
    clip_->Close();
  }
  backgroundImage = ImageBuffer(8, 8, 32);
  if (host_) {
    const auto states = host_->StagePictureStates();
    for (size_t slot = 0; slot < states.size() && slot < kSlotCount; ++slot) {
      states[slot] = pictures_[slot].keys[0];
    }
  }
  return true;
}

int ShowDocument::LoadPicture(const FileSpec& file, int slot) {
  return LoadPicture(file, slot, nullptr);
}

ShowDocument::ReadPicture ShowDocument::ReadPictureFile(const FileSpec& file, bool quietly) const {
  ReadPicture read;
  ImageBuffer decoded(16, 16, 8);
  if (quietly) {
    read.loaded = loader_->ReadQuietly(decoded, file, altImageFolder, read.problem);
    if (read.loaded == PictureLoad::kLoaded) read.problem = {};
  } else {
    read.loaded = loader_->LoadImageFile(decoded, file, altImageFolder, showPictureErrors != 0);
    if (read.loaded != PictureLoad::kLoaded) read.problem = loader_->LastProblem();
  }
  if (read.loaded != PictureLoad::kLoaded && read.problem.problem == PictureProblem::kNone) {
    read.problem.problem = PictureProblem::kDamaged;  // a reader that gave no reason
  }
  if (read.problem.problem != PictureProblem::kNone && read.problem.path.empty()) {
    read.problem.path = std::string(file.Path());
  }
  if (read.loaded == PictureLoad::kFailed ||
      !read.image.Create(decoded.Width(), decoded.Height(), 32)) {
    return read;
  }
  decoded.StretchTo(read.image, 0, 0);
  if (decoded.BitsPerPixel() < 32) {
    read.image.SetAlpha(255);
  }
  read.image.SetBorderAlpha(0);
  if (alphaBlur) {
    read.image.AlphaBlur();
    read.image.AlphaBlur();
  }
  if (videoColors) {
    read.image.MakeVideoSafe();
  }
  return read;
}

int ShowDocument::LoadPicture(const FileSpec& file, int slot, ReadPicture* read) {
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

  ReadPicture readHere;
  if (read == nullptr) {
    readHere = ReadPictureFile(file, false);
    read = &readHere;
  }
  lastPictureProblem_ = read->problem.problem;
  if (lastPictureProblem_ != PictureProblem::kNone) {
    unreadablePictures_.push_back(read->problem);
    if (unreadablePictures_.back().path.empty()) {
      unreadablePictures_.back().path = std::string(file.Path());
    }
  }
  if (read->loaded == PictureLoad::kFailed) {
    return slot;
  }
  // Everything was prepared aside, so that a failure leaves the slot as it was.
  if (!read->image.HasHeader()) {
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

  if (newPicture) {
    slot = pictureCount;
    ++pictureCount;
  }
  Picture& picture = pictures_[slot];
  picture.file = file;
  picture.image = std::move(read->image);
  picture.problem = lastPictureProblem_;
  if (newPicture) {
    KeyFrame& first = picture.keys[0];
    first.width = static_cast<float>(picture.image.Width());
    first.height = static_cast<float>(picture.image.Height());
    first.x = static_cast<float>(stageWidth * 0.5);
    first.y = static_cast<float>(kStageHeight * 0.5);
    first.rotation = 0;
    first.level = 0;
  }
  modified_ = 1;
  return slot;
}

int ShowDocument::AddRecordedPicture(Picture record) {
  return AddRecordedPicture(std::move(record), nullptr);
}

int ShowDocument::AddRecordedPicture(Picture record, ReadPicture* read) {
  const int slot = pictureCount;
  if (slot < 0 || slot >= kMaxPictures) {
    return -1;
  }
  if (LoadPicture(record.file, -1, read) == slot) {
    record.image = std::move(pictures_[slot].image);
  } else {
    record.image = ImageBuffer(8, 8, 32);
    pictureCount = slot + 1;
  }
  record.problem = lastPictureProblem_;
  pictures_[slot] = std::move(record);
  SortKeys(slot);
  return slot;
}

void ShowDocument::AddRecordedPictures(std::vector<Picture> records) {
  const int total = static_cast<int>(records.size());
  if (host_) host_->PicturesLoading(0, total);
  // Without errors shown (the usual setting) the files are read on every
  // core at once, each aside, and put into the show in order as before.
  std::vector<ReadPicture> read;
  if (total > 1 && loader_ && loader_->ReadsInParallel() && showPictureErrors == 0) {
    read.resize(records.size());
    std::atomic<int> finished{0};
    const std::thread::id caller = std::this_thread::get_id();
    SharedBandPool().Run(total, [&](int i) {
      const auto at = static_cast<size_t>(i);
      try {
        // A name too short for a file is passed over as LoadPicture does.
        if (records[at].file.Path().size() >= 3) read[at] = ReadPictureFile(records[at].file, true);
      } catch (const std::bad_alloc&) {
        read[at].problem.problem = PictureProblem::kNoMemory;  // nothing made; named when put in
      }
      const int done = ++finished;
      // The host draws on the calling thread only.
      if (host_ && std::this_thread::get_id() == caller) host_->PicturesLoading(done, total);
    });
  }
  for (int done = 0; done < total; ++done) {
    const auto at = static_cast<size_t>(done);
    if (read.empty()) {
      if (host_ && done > 0) host_->PicturesLoading(done, total);
      AddRecordedPicture(std::move(records[at]), nullptr);
    } else {
      AddRecordedPicture(std::move(records[at]), &read[at]);
    }
  }
  if (host_) host_->PicturesLoading(total, total);
}

bool ShowDocument::SetBrush(int slot, Brush brush) {
  if (!HasPicture(slot)) {
    return false;
  }
  pictures_[slot].brush = BrushCode(brush);
  modified_ = 1;
  return true;
}

bool ShowDocument::SetTint(int slot, uint32_t colour) {
  if (!HasPicture(slot)) {
    return false;
  }
  pictures_[slot].tint = colour;
  modified_ = 1;
  return true;
}

bool ShowDocument::ToggleLock(int slot) {
  if (!HasPicture(slot)) {
    return false;
  }
  pictures_[slot].locked = pictures_[slot].locked ? 0 : 1;
  modified_ = 1;
  return true;
}

void ShowDocument::StampShowLength() {
  for (int slot = 0; slot < pictureCount && slot < kSlotCount; ++slot) {
    pictures_[slot].keys[0].spare11 = static_cast<float>(showLength);
  }
}

std::vector<UnreadablePicture> ShowDocument::TakeUnreadablePictures() {
  return std::exchange(unreadablePictures_, {});
}

bool ShowDocument::SetBackground(const FileSpec& file) {
  backgroundProblem = PictureProblem::kNone;
  if (!file.HasPath()) {
    return true;
  }
  if (IsClipName(file.Path())) {
    backgroundSource = kBackgroundClip;
    if (clip_ && clip_->Open(file, clock.frameRate)) return true;
    std::error_code error;
    backgroundProblem = std::filesystem::exists(std::filesystem::path(file.Path()), error)
                            ? PictureProblem::kDamaged
                            : PictureProblem::kNoSuchFile;
    return false;
  }
  backgroundSource = kBackgroundPicture;
  if (!loader_) return false;
  if (loader_->LoadImageFile(backgroundImage, backgroundFile, altImageFolder,
                             showPictureErrors != 0) == PictureLoad::kLoaded) {
    return true;
  }
  // Told as the pictures are: a stand-in must not reach a movie unseen.
  UnreadablePicture problem = loader_->LastProblem();
  if (problem.problem == PictureProblem::kNone) problem.problem = PictureProblem::kDamaged;
  if (problem.path.empty()) problem.path = std::string(file.Path());
  backgroundProblem = problem.problem;
  unreadablePictures_.push_back(std::move(problem));
  return false;
}

bool ShowDocument::ChangeBackground(const FileSpec& file) {
  backgroundFile = file;
  modified_ = 1;
  return SetBackground(file);
}

void ShowDocument::SetSoundFile(const FileSpec& file) {
  soundFile = file;
  modified_ = 1;
}

bool ShowDocument::CopyPictureSlot(int destination, int source) {
  if (destination < 0 || destination >= kSlotCount || source < 0 || source >= kSlotCount) {
    return false;
  }
  if (destination == source) {
    return true;
  }
  const Picture& from = pictures_[source];
  Picture& to = pictures_[destination];
  if (!from.image.CopyTo(to.image, true)) {
    return false;
  }
  const int count = std::clamp(from.keyCount, 0, kKeySlots);
  to.keyCount = from.keyCount;
  std::copy_n(from.keys.begin(), count, to.keys.begin());
  to.file = from.file;
  to.tint = from.tint;
  to.brush = from.brush;
  to.spareC = from.spareC;
  to.spareD = from.spareD;
  to.locked = from.locked;
  to.problem = from.problem;
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
  // The vacated slot keeps its image, file, key frames and tint.
  Picture& vacated = pictures_[pictureCount];
  vacated.keyCount = 1;
  vacated.brush = BrushCode(Brush::kNormal);
  vacated.spareC = 0;
  vacated.spareD = 0;
  vacated.locked = 0;
  vacated.problem = PictureProblem::kNone;
  selectedPicture = std::clamp(selectedPicture, 0, std::max(pictureCount - 1, 0));
  ClearUndoHistory();
  modified_ = 1;
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
  modified_ = 1;
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
  const std::span<const KeyFrame> frames = pictures_[slot].Keys();
  if (frames.empty()) {
    return state;
  }
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
  if (p < 0 || pictures_[p].locked) {
    return false;
  }
  Picture& picture = pictures_[p];
  clock.currentTime = std::clamp(clock.currentTime, 0, std::max(showLength - 1, 0));
  const int32_t now = clock.currentTime;
  KeyFrame scratch = picture.keys[0];

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
    for (int i = 0; i < picture.keyCount; ++i) {
      if (std::abs(picture.keys[i].time - now) < distance) {
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
    state = EvaluatePicture(p, added ? now : picture.keys[k].time, false);
  }
  uint16_t code = 0;
  KeyFrame undoRecord;
  if (added) {
    if (picture.keyCount >= kMaxKeys) {
      // The change made on the stage is lost at the next change of time;
      // the user has to know why it did not stick.
      if (host_) {
        host_->ShowMessage(kKeyFramesFullMessage, MessageSink::kNoCode);
      }
      return false;
    }
    k = picture.keyCount++;
    picture.keys[k] = KeyFrame{};
    picture.keys[k].time = now;
    code = kUndoKeyAdded;
  } else {
    code = static_cast<uint16_t>(k);
    // Undo must give back this key frame's own values.
    undoRecord = picture.keys[k];
  }

  if (added || !autoAddKey) {
    if (host_) {
      host_->Beep();
    }
  }
  if ((added || k == 0) && !autoAddKey) {
    clock.currentTime += clock.RoundedRate();
  }

  KeyFrame& key = picture.keys[k];
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
  modified_ = 1;
  return added;
}

void ShowDocument::RemoveKey(int slot, int key) {
  Picture& picture = pictures_[slot];
  std::copy(picture.keys.begin() + key + 1, picture.keys.begin() + picture.keyCount,
            picture.keys.begin() + key);
  --picture.keyCount;
}

void ShowDocument::DeleteKey(int key, int slot) {
  // The last key frame of a picture is never deleted: a picture without one
  // has no state.
  if (!HasPicture(slot) || key < 0 || key >= pictures_[slot].keyCount ||
      pictures_[slot].keyCount <= 1) {
    return;
  }
  PushUndo(pictures_[slot].keys[key], kUndoKeyDeleted, slot);
  RemoveKey(slot, key);
  modified_ = 1;
}

void ShowDocument::SortKeys(int slot) {
  if (slot < 0 || slot >= kSlotCount) {
    return;
  }
  auto& frames = pictures_[slot].keys;
  const int count = std::clamp(pictures_[slot].keyCount, 0, kKeySlots);
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
  const Picture& picture = pictures_[p];
  for (int i = 0; i < picture.keyCount; ++i) {
    if (std::abs(picture.keys[i].time - t) < 4) {
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
  Picture& picture = pictures_[p];
  for (int i = picture.keyCount - 1; i >= 0; --i) {
    KeyFrame& key = picture.keys[i];
    if (key.time > t) {
      // Each entry names the key frame it shifted, so undo puts it back.
      PushUndo(key, static_cast<uint16_t>(i), p);
      const int64_t shifted = int64_t{key.time} + delta;
      key.time = static_cast<int32_t>(std::clamp<int64_t>(shifted, 0, std::max(showLength, 0)));
      modified_ = 1;
    }
  }
  return true;
}

KeyFrame ShowDocument::GetKey(int key, int slot) const {
  if (key < 0 || key >= kKeySlots || slot < 0 || slot >= kSlotCount) {
    return KeyFrame{};
  }
  return pictures_[slot].keys[key];
}

void ShowDocument::PutKey(int key, const KeyFrame& record, int slot) {
  if (key < 0 || key >= kKeySlots || slot < 0 || slot >= kSlotCount) {
    return;
  }
  pictures_[slot].keys[key] = record;
}

int ShowDocument::MoveKey(int slot, int key, int32_t time) {
  if (!HasPicture(slot) || key <= 0 || key >= pictures_[slot].keyCount) {
    return -1;
  }
  Picture& picture = pictures_[slot];
  const KeyFrame old = picture.keys[key];
  if (old.time == time) {
    return -1;
  }
  KeyFrame moved = old;
  moved.time = time;
  picture.keys[key] = moved;
  SortKeys(slot);
  // The undo entry names the key frame where the sort put it, so that undo
  // gives this key frame its old time back and leaves the others alone.
  const auto keys = picture.Keys();
  const auto found = std::find(keys.begin(), keys.end(), moved);
  const int index = found == keys.end() ? key : static_cast<int>(found - keys.begin());
  PushUndo(old, static_cast<uint16_t>(index), slot);
  modified_ = 1;
  return index;
}

bool ShowDocument::EditKey(int slot, int key, const KeyFrame& edited) {
  if (!HasPicture(slot) || key < 0 || key >= kKeySlots) {
    return false;
  }
  PushUndo(pictures_[slot].keys[key], static_cast<uint16_t>(key), slot);
  pictures_[slot].keys[key] = edited;
  modified_ = 1;
  return true;
}

bool ShowDocument::PasteKey() {
  const int p = EditablePicture();
  if (p < 0 || pictures_[p].locked || keyClipboard.time == kEmptyClipboardTime) {
    return false;
  }
  const int32_t f = clock.currentTime;
  int k = currentKey;
  if (k < 0) {
    SetKeyAtCurrentTime();
    k = FindKeyNear(f);
    if (k < 0) {
      return false;
    }
  }
  if (host_) {
    host_->Beep();
  }
  KeyFrame record = GetKey(k, p);
  const KeyFrame& clip = keyClipboard;
  record.x = clip.x;
  record.spare1 = clip.spare1;
  record.y = clip.y;
  record.width = clip.width;
  record.height = clip.height;
  record.spare5 = clip.spare5;
  record.spare6 = clip.spare6;
  record.rotation = clip.rotation;
  record.easeCode = clip.easeCode;
  PutKey(k, record, p);
  modified_ = 1;
  GoToTime(f, true);
  return true;
}

ImageBuffer ShowDocument::StepFieldPreview() {
  const int32_t t = clock.currentTime;
  // As wide as the stage frame: 853 with the 16:9 stage.
  const int width = stageFrame.Width() > 0 ? stageFrame.Width() : 640;
  ImageBuffer frame(width, kStageHeight, 32);
  if (t % 2 != 0) {
    ComposeFrame(*this, t, FieldMode::kFullFrame, 1, frame);
  } else {
    constexpr int kFieldHeight = kStageHeight / 2;
    ImageBuffer first(width, kFieldHeight, 32), second(width, kFieldHeight, 32);
    ComposeFrame(*this, t, FieldMode::kFirstField, 1, first);
    ComposeFrame(*this, t, FieldMode::kSecondField, 1, second);
    // Rows are stored bottom up: display row y is memory row height - 1 - y.
    for (int y = 0; y < kFieldHeight; ++y) {
      frame.SetRow(kStageHeight - 1 - 2 * y, first.RowPointer(kFieldHeight - 1 - y));
      frame.SetRow(kStageHeight - 2 - 2 * y, second.RowPointer(kFieldHeight - 1 - y));
    }
  }
  clock.currentTime = t + 1;
  return frame;
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
  Picture& picture = pictures_[p];
  auto restored = [](KeyFrame record) {
    record.tagSlot = 0;
    record.tagCode = 0;
    return record;
  };

  if (code == kUndoKeyAdded) {
    for (int i = 0; i < picture.keyCount; ++i) {
      if (picture.keys[i].time == entry.time) {
        if (picture.keyCount <= 1) {
          return;
        }
        entry = picture.keys[i];
        entry.tagSlot = static_cast<uint16_t>(p);
        entry.tagCode = kUndoKeyDeleted;
        RemoveKey(p, i);
        modified_ = 1;
        return;
      }
    }
  } else if (code == kUndoKeyDeleted) {
    if (picture.keyCount >= kMaxKeys) {
      return;
    }
    picture.keys[picture.keyCount++] = restored(entry);
    SortKeys(p);
    entry.tagCode = kUndoKeyAdded;
    modified_ = 1;
  } else if (code < kKeySlots) {
    if (code >= picture.keyCount) {
      return;
    }
    const KeyFrame old = picture.keys[code];
    picture.keys[code] = restored(entry);
    // A key frame dragged in time comes back to its old place among the
    // others; the entry follows it there, so that redo finds it again.
    int at = code;
    auto& frames = picture.keys;
    while (at > 0 && frames[at - 1].time > frames[at].time) {
      std::swap(frames[at - 1], frames[at]);
      --at;
    }
    while (at + 1 < picture.keyCount && frames[at + 1].time < frames[at].time) {
      std::swap(frames[at + 1], frames[at]);
      ++at;
    }
    entry = old;
    entry.tagSlot = static_cast<uint16_t>(p);
    entry.tagCode = static_cast<uint16_t>(at);
    modified_ = 1;
  }
}

}  // namespace vantoril
