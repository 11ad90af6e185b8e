#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vantoril {

class ShowDocument;

// The show file: magic 0x1234 (little-endian as written; the opposite order
// is read too), the show id, the total length, the background reference, two
// options, one block per picture (file reference, brush settings, key frames)
// and, when the show has one, the sound track's block, then 4 zero bytes.
inline constexpr uint16_t kShowMagic = 0x1234;
inline constexpr size_t kShowHeaderSize = 334;
inline constexpr size_t kPictureBlockHeader = 298;
inline constexpr size_t kSoundBlockSize = 266;
inline constexpr size_t kShowTrailerSize = 4;
// Thirty pictures of 127 key frames with a sound track, with room to spare.
inline constexpr size_t kMaxShowFileSize = 1 << 20;

// Writes the show's byte image. Draws a new show id, stores the show length
// in each picture's first key frame and clears `modified`, as a save does.
std::vector<uint8_t> WriteShow(ShowDocument& document);

// The byte image WriteShow would give with this show id, the document left
// as it is: what a copy of a show that is not being saved holds.
std::vector<uint8_t> ShowBytes(const ShowDocument& document, uint16_t showId);

// Fills a freshly reset document from a byte image. Pictures are read from
// their files again; relative paths are taken from showFolder. False when the
// bytes are not a show; a damaged show loads as far as it is sound, and
// `damage` (when given) receives what is wrong with it ("" for a whole show).
bool ReadShow(ShowDocument& document, std::span<const uint8_t> bytes, bool redraw,
              const std::filesystem::path& showFolder = {}, std::string* damage = nullptr);

// Whether the bytes start like a show file.
bool LooksLikeShow(std::span<const uint8_t> bytes);

enum class ShowFileStatus {
  kOk,
  kCannotOpen,    // the file cannot be read
  kNotAShow,      // wrong magic number or too short
  kPathTooLong,   // a file reference holds at most 255 characters
  kCannotWrite,   // the file (or its temporary) cannot be written
  kShowMaterial,  // a save over one of the show's pictures, background or sound
};

// The message for a status (empty for kOk).
std::string ShowFileMessage(ShowFileStatus status);

// The message as it is shown for a file: the fixed text, then the file's
// path on a line of its own, then the system's reason where one is known.
std::string ShowFileProblem(ShowFileStatus status, std::string_view path,
                            const std::error_code& why = {});

// "Load Show": reads the file and, only when it is a show, replaces the
// document's show with it and remembers the file. Anything else leaves the
// document as it was. A damaged show loads as far as it is sound, modified
// and without a file name (its file becomes `damagedShowFile`), and `damage`
// receives what is wrong with it. `why` receives the system's reason when
// the file cannot be opened or read.
ShowFileStatus LoadShowFile(ShowDocument& document, const std::filesystem::path& file, bool redraw,
                            std::string* damage = nullptr, std::error_code* why = nullptr);

// "Save Show": writes the show to a temporary file beside the target and
// renames it over the old one, so that a failure leaves the old file whole.
// On success the document remembers the file and is no longer modified; on
// failure it stays modified. A file the show reads its pictures, background
// or sound from is refused: the show would lose it. `why` receives the
// system's reason for kCannotWrite.
ShowFileStatus SaveShowFile(ShowDocument& document, const std::filesystem::path& file,
                            std::error_code* why = nullptr);

}  // namespace vantoril
