#include "output/codec_table.h"

#include <array>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vantoril {
namespace {

using enum MovieContainer;
using enum QualityControl;

// Motion and Photo JPEG are fed 4:2:2: rendered fields are interlaced, and
// 4:2:0 would mix the two fields' colour.
constexpr std::array kCodecs = {
    CodecEntry{"DIB ", kAvi, "Uncompressed RGB", "rawvideo", "bgr24", "", kNone, true, false},
    CodecEntry{"MJPG", kAvi, "Motion JPEG", "mjpeg", "yuv422p", "", kJpegQscale, false, false},
    CodecEntry{"FFV1", kAvi, "FFV1 lossless", "ffv1", "bgr0", "", kNone, true, false},
    CodecEntry{"HFYU", kAvi, "HuffYUV lossless", "huffyuv", "rgb24", "", kNone, true, false},
    CodecEntry{"H264", kAvi, "H.264", "libx264", "yuv420p", "", kCrf, false, false},
    CodecEntry{"rle ", kQuickTime, "Animation", "qtrle", "argb", "", kNone, true, true},
    CodecEntry{"png ", kQuickTime, "PNG", "png", "rgb24", "", kNone, true, false},
    CodecEntry{"jpeg", kQuickTime, "Photo - JPEG", "mjpeg", "yuv422p", "", kJpegQscale, false,
               false},
    CodecEntry{"apch", kQuickTime, "ProRes 422 HQ", "prores_ks", "yuv422p10le", "hq", kProResQuant,
               false, false},
    CodecEntry{"ap4h", kQuickTime, "ProRes 4444", "prores_ks", "yuva444p10le", "4444", kProResQuant,
               false, true},
    CodecEntry{"avc1", kQuickTime, "H.264", "libx264", "yuv420p", "", kCrf, false, false},
    CodecEntry{"avc1", kMp4, "H.264", "libx264", "yuv420p", "", kCrf, false, false},
    CodecEntry{"hvc1", kMp4, "HEVC (H.265)", "libx265", "yuv420p", "", kCrf, false, false},
    CodecEntry{"FFV1", kMatroska, "FFV1 lossless", "ffv1", "bgr0", "", kNone, true, false},
    CodecEntry{"HFYU", kMatroska, "HuffYUV lossless", "huffyuv", "rgb24", "", kNone, true, false},
    CodecEntry{"png ", kMatroska, "PNG", "png", "rgb24", "", kNone, true, false},
    CodecEntry{"MJPG", kMatroska, "Motion JPEG", "mjpeg", "yuv422p", "", kJpegQscale, false, false},
    CodecEntry{"avc1", kMatroska, "H.264", "libx264", "yuv420p", "", kCrf, false, false},
    CodecEntry{"hvc1", kMatroska, "HEVC (H.265)", "libx265", "yuv420p", "", kCrf, false, false},
    CodecEntry{"apch", kMatroska, "ProRes 422 HQ", "prores_ks", "yuv422p10le", "hq", kProResQuant,
               false, false},
    CodecEntry{"ap4h", kMatroska, "ProRes 4444", "prores_ks", "yuva444p10le", "4444", kProResQuant,
               false, true},
};

std::string_view TrimCode(std::string_view code) {
  while (!code.empty() && (code.back() == ' ' || code.back() == '\0')) code.remove_suffix(1);
  return code;
}

}  // namespace

std::string_view ContainerName(MovieContainer container) {
  switch (container) {
    case kAvi:
      return "AVI";
    case kQuickTime:
      return "QuickTime";
    case kMp4:
      return "MP4";
    case kMatroska:
      return "Matroska";
  }
  return "AVI";
}

std::string_view CodecRefusal(MovieContainer container, std::string_view fourcc) {
  const std::string_view code = TrimCode(fourcc);
  if (container == kMp4 && (code == "apch" || code == "ap4h")) {
    return "MP4 does not carry ProRes well; write ProRes to a QuickTime (.mov) or Matroska (.mkv) "
           "file";
  }
  return {};
}

std::span<const CodecEntry> CodecTable() {
  return kCodecs;
}

const CodecEntry* FindCodec(MovieContainer container, std::string_view fourcc) {
  std::string_view wanted = TrimCode(fourcc);
  if (wanted.empty()) {
    static constexpr std::array<std::string_view, 4> kDefaults = {"DIB", "rle", "avc1", "FFV1"};
    wanted = kDefaults[static_cast<size_t>(container)];
  }
  for (const CodecEntry& entry : kCodecs) {
    if (entry.container == container && TrimCode(entry.fourcc) == wanted) return &entry;
  }
  return nullptr;
}

bool EncoderAvailable(const CodecEntry& entry) {
  // The encoder names are literals of the table, so they are terminated.
  return avcodec_find_encoder_by_name(entry.encoder.data()) != nullptr;
}

std::vector<const CodecEntry*> AvailableCodecs(MovieContainer container) {
  std::vector<const CodecEntry*> result;
  for (const CodecEntry& entry : kCodecs) {
    if (entry.container == container && EncoderAvailable(entry)) result.push_back(&entry);
  }
  return result;
}

int QualityLevel(int quality) {
  if (quality < 20) return 0;
  if (quality < 40) return 1;
  if (quality < 60) return 2;
  if (quality < 80) return 3;
  return 4;
}

int EncoderQualityValue(QualityControl control, int quality) {
  // Per level, from the lowest quality to the highest.
  static constexpr std::array kJpegQscale = {20, 10, 5, 3, 2};
  static constexpr std::array kCrf = {32, 27, 23, 18, 14};
  static constexpr std::array kProResQuant = {16, 10, 6, 4, 2};
  const int level = QualityLevel(quality);
  switch (control) {
    case QualityControl::kJpegQscale:
      return kJpegQscale[level];
    case QualityControl::kCrf:
      return kCrf[level];
    case QualityControl::kProResQuant:
      return kProResQuant[level];
    case QualityControl::kNone:
      break;
  }
  return 0;
}

uint32_t FourccTag(std::string_view fourcc) {
  uint32_t tag = 0;
  for (size_t i = 0; i < 4 && i < fourcc.size(); ++i) {
    tag |= uint32_t{static_cast<uint8_t>(fourcc[i])} << (8 * i);
  }
  return tag;
}

}  // namespace vantoril
