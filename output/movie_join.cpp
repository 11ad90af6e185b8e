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

// Removes the list file however the join ends.
struct ListFile {
  std::filesystem::path path;
  ~ListFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};

}  // namespace

std::string JoinMovies(const std::vector<std::string>& parts, const std::string& output) {
  if (parts.empty()) return "no parts to join";
  const std::optional<MovieContainer> container = CodecContainer(MovieKindFromPath(output));
  if (!container) {
    return "parts can be joined into .avi, .mov, .mp4 and .mkv movies; image sequences join by "
           "their numbers";
  }
  for (const std::string& part : parts) {
    if (!std::filesystem::is_regular_file(part)) return "cannot read the part " + part;
  }
  static constexpr std::array<const char*, 4> kMuxers = {"avi", "mov", "mp4", "matroska"};

  const ListFile list{std::filesystem::path(output + ".parts.txt")};
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
  error = avformat_alloc_output_context2(&made, nullptr, kMuxers[static_cast<size_t>(*container)],
                                         url.c_str());
  OutputFormatContextPtr out(made);
  if (error < 0 || out == nullptr) return "cannot make the movie " + output;
  AVStream* to = avformat_new_stream(out.get(), nullptr);
  if (to == nullptr || avcodec_parameters_copy(to->codecpar, from->codecpar) < 0) {
    return "out of memory";
  }
  // Matroska names the codec by its own words; the others keep the tag.
  if (*container == MovieContainer::kMatroska) to->codecpar->codec_tag = 0;
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

}  // namespace vantoril
