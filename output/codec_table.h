#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vantoril {

// The containers codecs are chosen for. MP4 and Matroska are the delivery
// formats that editors and players of today take without doubt.
enum class MovieContainer { kAvi, kQuickTime, kMp4, kMatroska };

// "AVI", "QuickTime", "MP4", "Matroska".
std::string_view ContainerName(MovieContainer container);

// Why a container refuses a codec that other containers take (ProRes in
// MP4), or empty.
std::string_view CodecRefusal(MovieContainer container, std::string_view fourcc);

// How the 0..100 quality reaches an encoder.
enum class QualityControl {
  kNone,         // lossless, or the encoder's own defaults
  kJpegQscale,   // JPEG quantiser scale 2..31, lower is better
  kCrf,          // constant rate factor of the H.264 encoder
  kProResQuant,  // fixed ProRes quantiser 1..64, lower is better
};

// One codec a movie can be written with, named by its four characters (the
// "CodecType" setting).
struct CodecEntry {
  std::string_view fourcc;  // four characters; "DIB " is uncompressed
  MovieContainer container;
  std::string_view description;  // for the compression dialog and the command line
  std::string_view encoder;      // FFmpeg encoder name
  std::string_view pixelFormat;  // FFmpeg pixel format name the encoder is fed
  std::string_view profile;      // the encoder's "profile" option, or empty
  QualityControl quality;
  bool lossless;
  bool alphaCapable;  // the pixel format carries alpha (written opaque)
};

std::span<const CodecEntry> CodecTable();

// The entry for a "CodecType" text in a container. Trailing spaces and NULs do
// not count ("rle" finds "rle "); an empty text gives the container's default
// (uncompressed in AVI, Animation in QuickTime, H.264 in MP4, FFV1 in
// Matroska). Null when there is none.
const CodecEntry* FindCodec(MovieContainer container, std::string_view fourcc);

// Whether the linked FFmpeg has the entry's encoder (asked at run time).
bool EncoderAvailable(const CodecEntry& entry);

// The entries of a container whose encoder is present, in table order.
std::vector<const CodecEntry*> AvailableCodecs(MovieContainer container);

// The five quality levels: below 20, 40, 60 and 80, and the rest (0..4).
int QualityLevel(int quality);

// The encoder's value for a 0..100 quality under `control` (0 for kNone).
int EncoderQualityValue(QualityControl control, int quality);

// The 32-bit tag of four characters, the first in the lowest byte; shorter
// texts count the missing characters as 0.
uint32_t FourccTag(std::string_view fourcc);

}  // namespace vantoril
