#include "engine/show_file.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/show_document.h"

namespace vantoril {

namespace {

static_assert(std::endian::native == std::endian::little,
              "show files are written in the machine's little-endian order");

constexpr size_t kKeyFrameSize = sizeof(KeyFrame);
constexpr size_t kMinPictureBlock = kPictureBlockHeader + kKeyFrameSize;

// Picture block offsets.
constexpr size_t kBrushAt = 262;
constexpr size_t kTintAt = 266;
constexpr size_t kSpareCAt = 270;
constexpr size_t kSpareDAt = 274;
constexpr size_t kLockedAt = 278;
constexpr size_t kKeyCountAt = 294;

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
  template <typename T>
  void Put(T value) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out_.insert(out_.end(), bytes, bytes + sizeof(T));
  }
  void Zeros(size_t count) { out_.insert(out_.end(), count, 0); }
  void PutFileSpec(const FileSpec& fileRef) {
    Put(fileRef.volumeRef);
    Put(fileRef.parentId);
    out_.insert(out_.end(), fileRef.path.begin(), fileRef.path.end());
  }
  void PutKeyFrame(const KeyFrame& key) {
    uint8_t bytes[kKeyFrameSize];
    std::memcpy(bytes, &key, kKeyFrameSize);
    out_.insert(out_.end(), bytes, bytes + kKeyFrameSize);
  }

 private:
  std::vector<uint8_t>& out_;
};

// Reads values at offsets the caller has checked, reversing the bytes of
// counted numbers when the file was written in the other order.
class ByteReader {
 public:
  ByteReader(std::span<const uint8_t> bytes, bool swap) : bytes_(bytes), swap_(swap) {}

  template <typename T>
  T Get(size_t at) const {
    uint8_t raw[sizeof(T)];
    std::memcpy(raw, bytes_.data() + at, sizeof(T));
    if (swap_) {
      std::reverse(raw, raw + sizeof(T));
    }
    T value;
    std::memcpy(&value, raw, sizeof(T));
    return value;
  }

  // The volume number and folder id are carried as they are; a path that
  // does not end within its 256 bytes names no file.
  FileSpec GetFileSpec(size_t at) const {
    FileSpec fileRef;
    std::memcpy(&fileRef.volumeRef, bytes_.data() + at, 2);
    std::memcpy(&fileRef.parentId, bytes_.data() + at + 2, 4);
    std::memcpy(fileRef.path.data(), bytes_.data() + at + 6, fileRef.path.size());
    if (std::find(fileRef.path.begin(), fileRef.path.end(), '\0') == fileRef.path.end()) {
      fileRef.path.fill(0);
    }
    return fileRef;
  }

  KeyFrame GetKeyFrame(size_t at) const {
    KeyFrame key;
    for (int field = 0; field < kInterpolatedFieldCount; ++field) {
      FieldValue(key, field) = Get<float>(at + 4 * field);
    }
    key.time = Get<int32_t>(at + 48);
    key.tagSlot = Get<uint16_t>(at + 52);
    key.tagCode = Get<uint16_t>(at + 54);
    return key;
  }

 private:
  std::span<const uint8_t> bytes_;
  bool swap_;
};

uint16_t DrawShowId() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  std::minstd_rand random(static_cast<uint32_t>(ms % 65535));
  return static_cast<uint16_t>(random() % 32768);
}

bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// The names of a reference's folders and file, from any system's path.
std::vector<std::string_view> PathParts(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const size_t cut = path.find_first_of("/\\:");
    const std::string_view part = path.substr(0, cut);
    if (!part.empty() && part != "." && part != "..") parts.push_back(part);
    if (cut == std::string_view::npos) break;
    path.remove_prefix(cut + 1);
  }
  return parts;
}

// A show moved to another folder, disk or system with its files: a file that
// is not at its reference is looked for under the show's folder by the
// reference's last names, the longest first (pictures/a.bmp, then a.bmp).
// A name that the alternative image folder holds is left to the loader,
// which looks there first.
void FindMovedFile(FileSpec& fileRef, const std::filesystem::path& showFolder,
                   const FileSpec& altFolder) {
  constexpr size_t kMostNames = 3;
  const std::vector<std::string_view> parts = PathParts(fileRef.Path());
  if (parts.empty() || IsFile(std::string(fileRef.Path()))) return;
  if (altFolder.HasPath() && IsFile(std::filesystem::path(altFolder.Path()) / parts.back())) return;
  for (size_t names = std::min(parts.size(), kMostNames); names > 0; --names) {
    std::filesystem::path candidate = showFolder;
    for (size_t k = parts.size() - names; k < parts.size(); ++k) candidate /= parts[k];
    if (IsFile(candidate) && fileRef.SetPath(candidate.string())) return;
  }
}

// Relative references are taken from the show's folder; anything that looks
// like a path of another system is left for the alternative image folder,
// unless the file is found beside the show.
FileSpec Resolved(FileSpec fileRef, const std::filesystem::path& showFolder,
                  const FileSpec& altFolder) {
  const std::string_view path = fileRef.Path();
  if (showFolder.empty() || path.empty()) return fileRef;
  if (path.front() != '/' && path.front() != '\\' && path.find(':') == std::string_view::npos) {
    // Too long a path keeps the reference as it is.
    fileRef.SetPath((showFolder / std::filesystem::path(path)).lexically_normal().string());
  }
  FindMovedFile(fileRef, showFolder, altFolder);
  return fileRef;
}

enum class ShowDamage { kNone, kCutShort, kLengthDiffers, kBlocksDoNotAddUp, kTooManyPictures };

std::string DamageText(ShowDamage damage, int picturesRead, size_t size, uint32_t statedLength) {
  const std::string read = picturesRead == 1 ? std::string("1 picture was read")
                                             : std::to_string(picturesRead) + " pictures were read";
  const std::string prefix = "This show file is damaged: ";
  switch (damage) {
    case ShowDamage::kNone:
      return {};
    case ShowDamage::kCutShort:
      return prefix + "it is cut short (" + std::to_string(size) + " of its " +
             std::to_string(statedLength) + " bytes are there); " + read;
    case ShowDamage::kLengthDiffers:
      return prefix + "its length field gives " + std::to_string(statedLength) +
             " bytes but it holds " + std::to_string(size) + "; " + read;
    case ShowDamage::kBlocksDoNotAddUp:
      return prefix + read + "; the rest of the file does not hold a whole picture";
    case ShowDamage::kTooManyPictures:
      return prefix + "it holds more than " + std::to_string(kMaxPictures) +
             " pictures; the first " + std::to_string(kMaxPictures) + " were read";
  }
  return {};
}

}  // namespace

bool LooksLikeShow(std::span<const uint8_t> bytes) {
  if (bytes.size() < kShowHeaderSize) {
    return false;
  }
  const uint16_t magic = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  return magic == kShowMagic || magic == 0x3412;
}

std::vector<uint8_t> WriteShow(ShowDocument& document) {
  document.StampShowLength();
  document.showId = DrawShowId();
  std::vector<uint8_t> out = ShowBytes(document, document.showId);
  document.SetModified(false);
  return out;
}

std::vector<uint8_t> ShowBytes(const ShowDocument& document, uint16_t showId) {
  std::vector<uint8_t> out;
  out.reserve(kShowHeaderSize + kShowTrailerSize + kSoundBlockSize +
              static_cast<size_t>(document.pictureCount) *
                  (kPictureBlockHeader + 8 * kKeyFrameSize));
  ByteWriter writer(out);
  writer.Zeros(8);  // magic, show id and length come last
  writer.PutFileSpec(document.backgroundFile);
  writer.Put<uint8_t>(document.videoColors ? 1 : 0);
  writer.Put<uint8_t>(document.alphaBlur ? 1 : 0);
  writer.Zeros(kShowHeaderSize - out.size());

  for (int slot = 0; slot < document.pictureCount && slot < kSlotCount; ++slot) {
    const Picture& picture = document.PictureAt(slot);
    const int count = std::clamp(picture.keyCount, 1, kMaxKeys);
    writer.PutFileSpec(picture.file);
    writer.Put<int32_t>(picture.brush);
    writer.Put<uint32_t>(picture.tint);
    writer.Put<uint32_t>(picture.spareC);
    writer.Put<uint32_t>(picture.spareD);
    writer.Put<uint8_t>(picture.locked);
    writer.Zeros(15);
    writer.Put<int32_t>(count);
    for (int k = 0; k < count; ++k) {
      KeyFrame key = picture.keys[k];
      if (k == 0) key.spare11 = static_cast<float>(document.showLength);
      writer.PutKeyFrame(key);
    }
  }
  if (document.soundFile.HasPath()) {
    writer.PutFileSpec(document.soundFile);
    writer.Put<uint32_t>(0);
  }
  writer.Zeros(kShowTrailerSize);

  const auto length = static_cast<uint32_t>(out.size());
  std::memcpy(out.data(), &kShowMagic, 2);
  std::memcpy(out.data() + 2, &showId, 2);
  std::memcpy(out.data() + 4, &length, 4);
  return out;
}

bool ReadShow(ShowDocument& document, std::span<const uint8_t> bytes, bool redraw,
              const std::filesystem::path& showFolder, std::string* damage) {
  if (!LooksLikeShow(bytes)) {
    return false;
  }
  const bool swap = bytes[0] == 0x12;
  const ByteReader reader(bytes, swap);
  // A length field that claims more than the file holds reads what is there.
  const uint32_t statedLength = reader.Get<uint32_t>(4);
  const size_t length = std::min<size_t>(statedLength, bytes.size());
  const size_t end =
      length >= kShowHeaderSize + kShowTrailerSize ? length - kShowTrailerSize : kShowHeaderSize;

  document.pictureCount = 0;
  document.backgroundFile = Resolved(reader.GetFileSpec(8), showFolder, document.altImageFolder);
  document.videoColors = bytes[270] != 0;
  document.alphaBlur = bytes[271] != 0;

  size_t at = kShowHeaderSize;
  int slot = 0;
  ShowDamage found = ShowDamage::kNone;
  // The pictures are read once the file has been walked, so that the host
  // can tell how many are to come.
  std::vector<Picture> records;
  while (at < end) {
    // The sound block is the last thing before the trailer.
    if (end - at == kSoundBlockSize) {
      document.soundFile = Resolved(reader.GetFileSpec(at), showFolder, document.altImageFolder);
      break;
    }
    if (end - at < kMinPictureBlock) {
      found = ShowDamage::kBlocksDoNotAddUp;
      break;
    }
    const int32_t count = reader.Get<int32_t>(at + kKeyCountAt);
    if (count == 0) {
      // An old-style sound block carries a zero key count.
      document.soundFile = Resolved(reader.GetFileSpec(at), showFolder, document.altImageFolder);
      break;
    }
    if (count < 0 || count > kMaxKeys ||
        kPictureBlockHeader + static_cast<size_t>(count) * kKeyFrameSize > end - at) {
      found = ShowDamage::kBlocksDoNotAddUp;
      break;
    }
    if (slot >= kMaxPictures) {
      found = ShowDamage::kTooManyPictures;
      break;
    }
    Picture picture;
    picture.file = Resolved(reader.GetFileSpec(at), showFolder, document.altImageFolder);
    picture.brush = reader.Get<int32_t>(at + kBrushAt);
    picture.tint = reader.Get<uint32_t>(at + kTintAt);
    picture.spareC = reader.Get<uint32_t>(at + kSpareCAt);
    picture.spareD = reader.Get<uint32_t>(at + kSpareDAt);
    picture.locked = bytes[at + kLockedAt] != 0;
    for (int32_t k = 0; k < count; ++k) {
      picture.keys[k] = reader.GetKeyFrame(at + kPictureBlockHeader + k * kKeyFrameSize);
    }
    picture.keyCount = count;
    records.push_back(std::move(picture));

    ++slot;
    at += kPictureBlockHeader + static_cast<size_t>(count) * kKeyFrameSize;
  }

  document.AddRecordedPictures(std::move(records));

  if (document.standalone) {
    document.SetBackground(document.backgroundFile);
  }
  if (redraw) {
    document.GoToTime(0, redraw);
  }
  document.showId = reader.Get<uint16_t>(2);
  document.ClearUndoHistory();
  document.SetModified(false);
  // A file shorter than its length field was cut short; in one longer than
  // it the length field itself does not add up.
  if (statedLength > bytes.size()) {
    found = ShowDamage::kCutShort;
  } else if (found == ShowDamage::kNone && statedLength != bytes.size()) {
    found = ShowDamage::kLengthDiffers;
  }
  if (damage != nullptr) {
    *damage = DamageText(found, slot, bytes.size(), statedLength);
  }
  return true;
}

}  // namespace vantoril
