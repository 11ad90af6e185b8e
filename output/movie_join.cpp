#include "output/movie_join.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "media/ffmpeg_ptr.h"
#include "output/movie_writer.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

namespace vantoril {
namespace {

std::string ErrorText(int error) {
  std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
  av_strerror(error, text.data(), text.size());
  return text.data();
}

// The concat demuxer's list: one "file" line a part, quoted so that any
// name (spaces, quotes) reads back as given.
bool WriteList(const std::filesystem::path& list, const std::vector<std::string>& parts) {
  std::ofstream out(list, std::ios::binary | std::ios::trunc);
  out << "ffconcat version 1.0\n";
  for (const std::string& part : parts) {
    std::string quoted;
    for (const char c : std::filesystem::absolute(part).string()) {
      if (c == '\'') {
        quoted += "'\\''";
      } else {
        quoted += c;
      }
    }
    out << "file '" << quoted << "'\n";
  }
  return static_cast<bool>(out);
}

// Removes a file of the join's own however the join ends (once renamed, the
// joined movie is no longer there to remove).
struct RemovedFile {
  std::filesystem::path path;
  ~RemovedFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};

// What must be alike in every part for the packets to make one movie.
struct PartShape {
  std::string container;
  int codec = 0;
  int width = 0;
  int height = 0;
  int format = -1;
  AVRational frameRate{0, 1};
};

// The shape of a part, or why it has none: one video stream is what a
// render's part holds.
std::string ReadShape(const std::string& part, PartShape& shape) {
  AVFormatContext* raw = nullptr;
  const std::string url = "file:" + part;
  if (avformat_open_input(&raw, url.c_str(), nullptr, nullptr) < 0) {
    return "cannot read the part " + part;
  }
  const InputFormatContextPtr input(raw);
  if (avformat_find_stream_info(input.get(), nullptr) < 0 || input->nb_streams != 1 ||
      input->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
    return "the part " + part + " is not a movie of one video stream";
  }
  const AVStream* stream = input->streams[0];
  shape.container = input->iformat->name;
  shape.codec = stream->codecpar->codec_id;
  shape.width = stream->codecpar->width;
  shape.height = stream->codecpar->height;
  shape.format = stream->codecpar->format;
  shape.frameRate = stream->avg_frame_rate;
  return {};
}

// Why `part` cannot follow `first`, or an empty text.
std::string Unlike(const std::string& part, const PartShape& shape, const std::string& first,
                   const PartShape& firstShape) {
  std::string what;
  if (shape.container != firstShape.container) {
    what = "its file type";
  } else if (shape.codec != firstShape.codec) {
    what = "its codec";
  } else if (shape.width != firstShape.width || shape.height != firstShape.height) {
    what = "its frame size (" + std::to_string(shape.width) + " x " + std::to_string(shape.height) +
           ")";
  } else if (shape.format != firstShape.format) {
    what = "its pixel format";
  } else if (av_cmp_q(shape.frameRate, firstShape.frameRate) != 0) {
    what = "its frame rate";
  } else {
    return {};
  }
  return "the part " + part + " is not of the same movie as " + first + ": " + what + " differs";
}

// Copies the parts' packets, in order, into a new movie of kind `container`
// at `output`.
std::string CopyPackets(const std::vector<std::string>& parts, const std::string& output,
                        MovieContainer container, const std::function<bool()>& stopRequested) {
  static constexpr std::array<const char*, 4> kMuxers = {"avi", "mov", "mp4", "matroska"};

  const RemovedFile list{std::filesystem::path(output + ".parts.txt")};
  if (!WriteList(list.path, parts)) return "cannot write " + list.path.string();

  AVDictionary* options = nullptr;
  av_dict_set(&options, "safe", "0", 0);  // absolute names are what the list holds
  AVFormatContext* raw = nullptr;
  const std::string listUrl = "file:" + list.path.string();
  int error = avformat_open_input(&raw, listUrl.c_str(), av_find_input_format("concat"), &options);
  av_dict_free(&options);
  if (error < 0) return "cannot read the parts: " + ErrorText(error);
  InputFormatContextPtr input(raw);
  error = avformat_find_stream_info(input.get(), nullptr);
  if (error < 0 || input->nb_streams != 1) return "the parts are not movies of one video stream";
  AVStream* from = input->streams[0];

  const std::string url = "file:" + output;
  AVFormatContext* made = nullptr;
  error = avformat_alloc_output_context2(&made, nullptr, kMuxers[static_cast<size_t>(container)],
                                         url.c_str());
  OutputFormatContextPtr out(made);
  if (error < 0 || out == nullptr) return "cannot make the movie " + output;
  AVStream* to = avformat_new_stream(out.get(), nullptr);
  if (to == nullptr || avcodec_parameters_copy(to->codecpar, from->codecpar) < 0) {
    return "out of memory";
  }
  // Matroska names the codec by its own words; the others keep the tag.
  if (container == MovieContainer::kMatroska) to->codecpar->codec_tag = 0;
  to->time_base = from->time_base;
  to->avg_frame_rate = from->avg_frame_rate;
  to->sample_aspect_ratio = from->sample_aspect_ratio;
  error = avio_open(&out->pb, url.c_str(), AVIO_FLAG_WRITE);
  if (error < 0) return "cannot create " + output + ": " + ErrorText(error);
  error = avformat_write_header(out.get(), nullptr);
  if (error < 0) return "cannot write the movie header: " + ErrorText(error);

  PacketPtr packet = MakePacket();
  if (packet == nullptr) return "out of memory";
  std::string failure;
  while ((error = av_read_frame(input.get(), packet.get())) >= 0) {
    if (stopRequested && stopRequested()) {
      av_packet_unref(packet.get());
      return "stopped before the movie was whole; nothing was made";
    }
    av_packet_rescale_ts(packet.get(), from->time_base, to->time_base);
    packet->stream_index = 0;
    packet->pos = -1;
    error = av_interleaved_write_frame(out.get(), packet.get());
    av_packet_unref(packet.get());
    if (error < 0) {
      failure = "cannot write a frame: " + ErrorText(error);
      break;
    }
  }
  if (failure.empty() && error != AVERROR_EOF) failure = "cannot read a part: " + ErrorText(error);
  error = av_write_trailer(out.get());
  if (failure.empty() && error < 0) failure = "cannot finish the movie: " + ErrorText(error);
  return failure;
}

}  // namespace

std::string JoinMovies(const std::vector<std::string>& parts, const std::string& output,
                       const std::function<bool()>& stopRequested) {
  if (parts.empty()) return "no parts to join";
  const std::optional<MovieContainer> container = CodecContainer(MovieKindFromPath(output));
  if (!container) {
    return "parts can be joined into .avi, .mov, .mp4 and .mkv movies; image sequences join by "
           "their numbers";
  }
  PartShape firstShape;
  for (const std::string& part : parts) {
    if (!std::filesystem::is_regular_file(part)) return "cannot read the part " + part;
    std::error_code error;
    if (std::filesystem::equivalent(part, output, error)) {
      return "the joined movie would be written over its part " + part;
    }
    PartShape shape;
    if (std::string failure = ReadShape(part, shape); !failure.empty()) return failure;
    if (&part == &parts.front()) {
      firstShape = shape;
    } else if (std::string unlike = Unlike(part, shape, parts.front(), firstShape);
               !unlike.empty()) {
      return unlike;
    }
  }
  // The movie is made beside its place and renamed there once whole: a join
  // that fails leaves no half movie behind, nor destroys one that was there.
  const RemovedFile made{std::filesystem::path(output + ".joining")};
  if (std::string failure = CopyPackets(parts, made.path.string(), *container, stopRequested);
      !failure.empty()) {
    return failure;
  }
  std::error_code error;
  std::filesystem::rename(made.path, output, error);
  if (error) return "cannot make the movie " + output + ": " + error.message();
  return {};
}

}  // namespace vantoril
