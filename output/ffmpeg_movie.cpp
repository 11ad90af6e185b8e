// AVI, QuickTime and numbered-PNG movies through libavformat/libavcodec.

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/image_buffer.h"
#include "media/ffmpeg_ptr.h"
#include "output/codec_table.h"
#include "output/encoding_loop.h"
#include "output/file_room.h"
#include "output/movie_backend.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace vantoril {
namespace {

// Numbered image files are always PNG.
constexpr CodecEntry kSequenceCodec{"png ", MovieContainer::kQuickTime, "PNG", "png", "rgb24",
                                    "",     QualityControl::kNone,      true,  false};

// The file of a "file:" address.
std::string NumberedPath(std::string_view url) {
  constexpr std::string_view kScheme = "file:";
  if (url.starts_with(kScheme)) url.remove_prefix(kScheme.size());
  return std::string(url);
}

std::string ErrorText(int error) {
  std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
  av_strerror(error, text.data(), text.size());
  return text.data();
}

// The FFV1 encoder takes only slice counts it can lay out as h x v slices
// with v <= h < 2v, each of a bounded size; a slice one pixel wide or high
// opens, but reads back wrong. The count is the smallest of them with at
// least three slices a core. Slices differ in cost, and with two a core the
// last one of a frame often left a core idle (a 2-core render of the
// benchmark show: 4 slices 3.3-3.6 s, 6 slices 3.1-3.2 s, the movie no
// larger). A frame too small for that many takes the most it has room for.
int Ffv1SliceCount(int width, int height) {
  struct Layout {
    int across, down;
  };
  static constexpr Layout kLayouts[] = {{1, 1}, {2, 2}, {3, 2}, {3, 3}, {4, 3}, {4, 4}, {5, 4},
                                        {5, 5}, {6, 5}, {6, 6}, {7, 6}, {7, 7}, {8, 7}};
  const auto fits = [&](const Layout& l) {
    // The encoder's bound on a slice: 8 << 24 for 8-bit samples in four planes.
    const int64_t sliceWidth = (width + l.across - 1) / l.across;
    const int64_t sliceHeight = (height + l.down - 1) / l.down;
    return width / l.across >= 2 && height / l.down >= 2 &&
           sliceWidth * sliceHeight * 9 * 4 <= (8 << 24);
  };
  const int wanted = 3 * static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  int count = 1;
  for (const Layout& layout : kLayouts) {
    if (!fits(layout)) continue;
    count = layout.across * layout.down;
    if (count >= wanted) break;
  }
  return count;
}

struct Dictionary {
  AVDictionary* entries = nullptr;
  Dictionary() = default;
  Dictionary(const Dictionary&) = delete;
  Dictionary& operator=(const Dictionary&) = delete;
  ~Dictionary() { av_dict_free(&entries); }
  void Set(const char* key, const std::string& value) {
    av_dict_set(&entries, key, value.c_str(), 0);
  }
};

// An upper bound of the index a QuickTime or MP4 muxer writes last for
// `samples` video samples: each sample adds at most one entry to each of its
// tables (durations, sync samples, dependencies, display offsets, chunks,
// sizes, 64-bit offsets, partial sync), under 64 bytes together; the rest
// (movie, track and media headers, the sample description with the codec's
// own data) stays under 16 KiB.
int64_t IndexBound(int64_t samples, int extradataSize) {
  return 16384 + int64_t{extradataSize} + 64 * samples;
}

// Sets every alpha sample of `frame` to its largest value; the movie is
// opaque whatever the compositor left in the frame's alpha bytes.
void MakeOpaque(AVFrame& frame) {
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
  if (format == nullptr || (format->flags & AV_PIX_FMT_FLAG_ALPHA) == 0) return;
  const AVComponentDescriptor& alpha = format->comp[3];
  for (int y = 0; y < frame.height; ++y) {
    uint8_t* row = frame.data[alpha.plane] + ptrdiff_t{y} * frame.linesize[alpha.plane];
    if (alpha.depth <= 8) {
      for (int x = 0; x < frame.width; ++x) row[alpha.offset + x * alpha.step] = 0xFF;
    } else {
      // Planar little-endian samples of 9 to 16 bits.
      const uint16_t opaque = static_cast<uint16_t>((1u << alpha.depth) - 1);
      for (int x = 0; x < frame.width; ++x) {
        uint8_t* sample = row + alpha.offset + x * alpha.step;
        sample[0] = static_cast<uint8_t>(opaque & 0xFF);
        sample[1] = static_cast<uint8_t>(opaque >> 8);
      }
    }
  }
}

class FfmpegMovie final : public MovieBackend {
 public:
  FfmpegMovie() = default;
  FfmpegMovie(const FfmpegMovie&) = delete;
  FfmpegMovie& operator=(const FfmpegMovie&) = delete;
  ~FfmpegMovie() override {
    if (!closed_) Close();
  }

  std::string Open(MovieKind kind, const MovieRequest& request, int32_t rate, int32_t width,
                   int32_t height);
  bool WriteFrame(int32_t frameNumber, const ImageBuffer& frame) override;
  bool Close() override;
  std::string ErrorDetail() const override { return error_; }

 private:
  // The first failure is the one told: what fails after it follows from it.
  bool Fail(std::string_view what, int error) {
    if (error_.empty()) error_ = std::string(what) + ": " + ErrorText(error);
    return false;
  }
  void NumberedFileFailed(std::string_view what, int error) {
    if (numberedFailure_ == 0) numberedFailure_ = error;
    Fail(what, error);
  }
  static int OpenNumberedFile(AVFormatContext* format, AVIOContext** file, const char* url,
                              int flags, AVDictionary** options);
  static int CloseNumberedFile(AVFormatContext* format, AVIOContext* file);
  std::string OpenEncoder(MovieKind kind, const CodecEntry& entry, const MovieRequest& request,
                          int32_t rate);
  std::string OpenUncompressed(const MovieRequest& request, Dictionary& muxerOptions);
  void SetCodingOptions(const CodecEntry& entry, const MovieRequest& request, Dictionary& options);
  std::string OpenScaler(const CodecEntry& entry, AVPixelFormat pixelFormat, bool yuv);
  bool WriteRawFrame(int32_t frameNumber, const ImageBuffer& frame);
  int WritePacket(AVPacket& packet);
  int WriteHeldPackets();
  int Mux(AVPacket& packet);

  OutputFormatContextPtr format_;
  // For the movies whose index is written last: the room for the next samples
  // and the index is claimed before the samples are written.
  FileRoom room_;
  int64_t samples_ = 0;
  int roomRefused_ = 0;  // the AVERROR of the claim the disk refused; 0 before
  // A reordering encoder's packets wait until every frame shown before the
  // latest of them has its packet, and are claimed for and written together:
  // a movie cut short never shows a frame whose predecessors are missing.
  std::vector<PacketPtr> held_;
  std::deque<int64_t> framesWithoutPacket_;  // sent to the encoder, in order
  int64_t latestHeld_ = 0;
  CodecContextPtr codec_;  // null for uncompressed AVI: the rows are the samples
  SwsContextPtr scaler_;
  FramePtr frame_;
  PacketPtr packet_;
  BufferRefPtr rawRows_;        // the rows of uncompressed AVI, made once
  AVStream* stream_ = nullptr;  // owned by format_
  std::string numberedFile_;    // the numbered file being written
  int numberedFailure_ = 0;     // the AVERROR of the first one not written
  AVRational codecTimeBase_{1, 1};
  AVRational sampleAspect_{1, 1};
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool interlaced_ = false;
  bool topFieldFirst_ = false;
  bool headerWritten_ = false;
  bool closed_ = false;
  std::string error_;
};

std::string FfmpegMovie::Open(MovieKind kind, const MovieRequest& request, int32_t rate,
                              int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
  // The rate over a scale of 100: 29.97 is 2997/100 frames per second.
  codecTimeBase_ = AVRational{100, rate};

  const CodecEntry* entry = &kSequenceCodec;
  const char* formatName = "image2";
  if (const std::optional<MovieContainer> container = CodecContainer(kind)) {
    static constexpr std::array<const char*, 4> kMuxers = {"avi", "mov", "mp4", "matroska"};
    formatName = kMuxers[static_cast<size_t>(*container)];
    entry = FindCodec(*container, request.codecType);
    if (entry == nullptr) {
      const std::string_view refusal = CodecRefusal(*container, request.codecType);
      if (!refusal.empty()) return std::string(refusal);
      return "no codec \"" + request.codecType + "\" for " +
             std::string(ContainerName(*container)) + " movies";
    }
  }
  if (!EncoderAvailable(*entry)) {
    return "the encoder " + std::string(entry->encoder) + " is not in this FFmpeg";
  }

  // "file:" keeps a name such as "a:b.avi" from being read as a protocol.
  const std::string url = "file:" + request.path;
  AVFormatContext* format = nullptr;
  int error = avformat_alloc_output_context2(&format, nullptr, formatName, url.c_str());
  format_.reset(format);
  if (error < 0 || format_ == nullptr)
    return "cannot make the " + std::string(formatName) + " muxer";

  stream_ = avformat_new_stream(format_.get(), nullptr);
  packet_ = MakePacket();
  frame_ = MakeFrame();
  if (stream_ == nullptr || packet_ == nullptr || frame_ == nullptr) return "out of memory";
  stream_->time_base = codecTimeBase_;
  stream_->avg_frame_rate = AVRational{rate, 100};
  const PixelAspect aspect =
      SampleAspect(request.displayAspectWidth, request.displayAspectHeight, width, height);
  sampleAspect_ = AVRational{aspect.num, aspect.den};
  // Players and editors read it from the stream, the codecs from the context.
  stream_->sample_aspect_ratio = sampleAspect_;

  Dictionary muxerOptions;
  std::string failure = entry->encoder == "rawvideo" ? OpenUncompressed(request, muxerOptions)
                                                     : OpenEncoder(kind, *entry, request, rate);
  if (!failure.empty()) return failure;

  if (kind == MovieKind::kQuickTime || kind == MovieKind::kMp4) {
    // The media's time scale is the rate itself (2997 units a second) and
    // every sample lasts 100 units; the muxer would otherwise double the
    // scale until it passes 10000.
    muxerOptions.Set("video_track_timescale", std::to_string(rate));
  } else if (kind == MovieKind::kImageSequence) {
    // The file number is the frame number, from 0.
    muxerOptions.Set("frame_pts", "1");
    muxerOptions.Set("start_number", "0");
    format_->opaque = this;
    format_->io_open = OpenNumberedFile;
    format_->io_close2 = CloseNumberedFile;
  }

  if ((format_->oformat->flags & AVFMT_NOFILE) == 0) {
    error = avio_open(&format_->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (error < 0) return "cannot create " + request.path + ": " + ErrorText(error);
  } else {
    // Numbered files are made one by one as the frames come; a folder that
    // is not there would otherwise show only as a write error at the end.
    const std::filesystem::path folder = std::filesystem::path(request.path).parent_path();
    std::error_code ignored;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
      return "cannot create " + request.path + ": there is no folder " + folder.string();
    }
  }
  // Without a descriptor of its own the movie is written unguarded.
  if (kind == MovieKind::kQuickTime || kind == MovieKind::kMp4) {
    room_ = FileRoom::Open(request.path);
  }
  error = avformat_write_header(format_.get(), &muxerOptions.entries);
  if (error < 0) return "cannot write the movie header: " + ErrorText(error);
  headerWritten_ = true;
  return {};
}

// Uncompressed AVI stores the frame's own rows: bottom-up, blue, green, red,
// each row padded to 4 bytes, as a device-independent bitmap does.
std::string FfmpegMovie::OpenUncompressed(const MovieRequest& request, Dictionary& muxerOptions) {
  AVCodecParameters& parameters = *stream_->codecpar;
  parameters.codec_type = AVMEDIA_TYPE_VIDEO;
  parameters.codec_id = AV_CODEC_ID_RAWVIDEO;
  parameters.codec_tag = 0;  // BI_RGB
  parameters.format = AV_PIX_FMT_BGR24;
  parameters.bits_per_coded_sample = 24;
  parameters.width = width_;
  parameters.height = height_;
  parameters.sample_aspect_ratio = sampleAspect_;
  if (request.fieldOrder != FieldOrder::kProgressive) {
    parameters.field_order =
        request.fieldOrder == FieldOrder::kTopFirst ? AV_FIELD_TT : AV_FIELD_BB;
  }
  // Without this the muxer marks the rows top-down (a negative height).
  muxerOptions.Set("flipped_raw_rgb", "1");
  const int stride = (width_ * 3 + 3) & ~3;
  rawRows_.reset(av_buffer_alloc(static_cast<size_t>(stride) * static_cast<size_t>(height_)));
  if (rawRows_ == nullptr) return "out of memory";
  return {};
}

std::string FfmpegMovie::OpenEncoder(MovieKind kind, const CodecEntry& entry,
                                     const MovieRequest& request, int32_t rate) {
  const AVCodec* encoder = avcodec_find_encoder_by_name(std::string(entry.encoder).c_str());
  const AVPixelFormat pixelFormat = av_get_pix_fmt(std::string(entry.pixelFormat).c_str());
  codec_.reset(avcodec_alloc_context3(encoder));
  if (encoder == nullptr || codec_ == nullptr || pixelFormat == AV_PIX_FMT_NONE) {
    return "cannot make the " + std::string(entry.encoder) + " encoder";
  }
  AVCodecContext& codec = *codec_;
  codec.width = width_;
  codec.height = height_;
  codec.pix_fmt = pixelFormat;
  codec.time_base = codecTimeBase_;
  codec.framerate = AVRational{rate, 100};
  // The PNG encoder writes it as the pictures' physical pixel size (pHYs).
  codec.sample_aspect_ratio = sampleAspect_;
  codec.thread_count = 0;  // the encoder's own threads, where it has them
  if (format_->oformat->flags & AVFMT_GLOBALHEADER) codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  const bool yuv = (av_pix_fmt_desc_get(pixelFormat)->flags & AV_PIX_FMT_FLAG_RGB) == 0;
  const bool jpeg = entry.quality == QualityControl::kJpegQscale;
  // Standard-definition frames carry BT.601 colours, larger ones BT.709.
  const bool highDefinition = height_ >= 720;
  if (yuv) {
    codec.color_range = jpeg ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    codec.colorspace = highDefinition ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    codec.color_primaries = highDefinition ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    codec.color_trc = highDefinition ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
  }

  Dictionary options;
  SetCodingOptions(entry, request, options);
  // AVI has no presentation times: keep the frames in order.
  if (kind == MovieKind::kAvi && entry.quality == QualityControl::kCrf) codec.max_b_frames = 0;

  // Even as one slice, a frame one pixel wide or high reads back wrong.
  if (entry.encoder == "ffv1" && (width_ < 2 || height_ < 2)) {
    return std::string(entry.description) +
           " codes frames of at least 2 x 2 pixels: this movie is " + std::to_string(width_) +
           " x " + std::to_string(height_);
  }
  // The H.264 and HEVC encoders refuse half a colour sample with a library's
  // "generic error", leaking what they allocated: the size is checked first.
  if (entry.encoder == "libx264" || entry.encoder == "libx265") {
    const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(pixelFormat);
    const int across = 1 << layout->log2_chroma_w;
    const int down = 1 << layout->log2_chroma_h;
    if (width_ % across != 0 || height_ % down != 0) {
      return std::string(entry.description) + " codes only sizes divisible by " +
             std::to_string(across) + " across and " + std::to_string(down) +
             " down: this movie is " + std::to_string(width_) + " x " + std::to_string(height_);
    }
  }
  int error = avcodec_open2(&codec, encoder, &options.entries);
  if (error < 0)
    return "cannot open the " + std::string(entry.encoder) + " encoder: " + ErrorText(error);

  error = avcodec_parameters_from_context(stream_->codecpar, &codec);
  if (error < 0) return "cannot describe the video stream";
  // Matroska names codecs by its own words, not by four characters.
  if (kind != MovieKind::kImageSequence && kind != MovieKind::kMatroska) {
    stream_->codecpar->codec_tag = FourccTag(entry.fourcc);
  }

  frame_->format = pixelFormat;
  frame_->width = width_;
  frame_->height = height_;
  error = av_frame_get_buffer(frame_.get(), 0);
  if (error < 0) return "out of memory";

  return OpenScaler(entry, pixelFormat, yuv);
}

// The encoder's options: quality, profile, slices and the coding of fields.
void FfmpegMovie::SetCodingOptions(const CodecEntry& entry, const MovieRequest& request,
                                   Dictionary& options) {
  const int qualityValue = EncoderQualityValue(entry.quality, request.quality);
  switch (entry.quality) {
    case QualityControl::kJpegQscale:
    case QualityControl::kProResQuant:
      codec_->flags |= AV_CODEC_FLAG_QSCALE;
      codec_->global_quality = FF_QP2LAMBDA * qualityValue;
      break;
    case QualityControl::kCrf:
      options.Set("crf", std::to_string(qualityValue));
      break;
    case QualityControl::kNone:
      break;
  }
  if (!entry.profile.empty()) options.Set("profile", std::string(entry.profile));
  if (entry.encoder == "ffv1") {
    // Version 3 codes the slices of a frame apart, so the encoder's threads
    // share each frame; three slices a core keep them busy. Still lossless.
    options.Set("level", "3");
    options.Set("slices", std::to_string(Ffv1SliceCount(width_, height_)));
  }
  // The HEVC encoder reports every movie on the terminal otherwise.
  if (entry.encoder == "libx265") options.Set("x265-params", "log-level=error");
  if (request.fieldOrder != FieldOrder::kProgressive) {
    topFieldFirst_ = request.fieldOrder == FieldOrder::kTopFirst;
    interlaced_ = true;
    codec_->field_order = topFieldFirst_ ? AV_FIELD_TT : AV_FIELD_BB;
    // ProRes and H.264 code the two fields apart, so that a block never mixes
    // two moments; the JPEG encoder refuses the flag.
    if (entry.encoder == "prores_ks" || entry.encoder == "libx264") {
      codec_->flags |= AV_CODEC_FLAG_INTERLACED_DCT;
    }
    // The H.264 encoder starts top field first whatever the pictures say.
    if (entry.encoder == "libx264") options.Set("x264-params", topFieldFirst_ ? "tff=1" : "bff=1");
  }
}

// Frames come as BGRA rows; standard-definition frames carry BT.601
// colours, larger ones BT.709.
std::string FfmpegMovie::OpenScaler(const CodecEntry& entry, AVPixelFormat pixelFormat, bool yuv) {
  const bool jpeg = entry.quality == QualityControl::kJpegQscale;
  const bool highDefinition = height_ >= 720;
  scaler_.reset(sws_getContext(width_, height_, AV_PIX_FMT_BGRA, width_, height_, pixelFormat,
                               SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr,
                               nullptr, nullptr));
  if (scaler_ == nullptr) return "cannot convert frames to " + std::string(entry.pixelFormat);
  if (yuv) {
    const int* coefficients = sws_getCoefficients(highDefinition ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(scaler_.get(), coefficients, 1, coefficients, jpeg ? 1 : 0, 0, 1 << 16,
                             1 << 16);
  }
  return {};
}

int FfmpegMovie::Mux(AVPacket& packet) {
  if (packet.duration == 0) packet.duration = 1;
  av_packet_rescale_ts(&packet, codecTimeBase_, stream_->time_base);
  packet.stream_index = stream_->index;
  const int error = av_interleaved_write_frame(format_.get(), &packet);
  // Some versions of the muxer pass over a file that failed to close.
  return error < 0 ? error : numberedFailure_;
}

// Each numbered file is written under a temporary name and put in place once
// it is whole: a full disk or a stopped render never leaves a cut picture,
// nor one under the name of an older picture it was to replace.
int FfmpegMovie::OpenNumberedFile(AVFormatContext* format, AVIOContext** file, const char* url,
                                  int flags, AVDictionary** options) {
  auto& movie = *static_cast<FfmpegMovie*>(format->opaque);
  movie.numberedFile_ = url;
  const std::string writing = movie.numberedFile_ + ".writing";
  const int error = avio_open2(file, writing.c_str(), flags, &format->interrupt_callback, options);
  if (error < 0) movie.NumberedFileFailed("cannot create " + NumberedPath(url), error);
  return error;
}

int FfmpegMovie::CloseNumberedFile(AVFormatContext* format, AVIOContext* file) {
  auto& movie = *static_cast<FfmpegMovie*>(format->opaque);
  const std::filesystem::path path = NumberedPath(movie.numberedFile_);
  std::filesystem::path writing = path;
  writing += ".writing";
  // avio_close gives the first error of any write to the file.
  int error = avio_close(file);
  std::error_code renamed;
  if (error >= 0) {
    std::filesystem::rename(writing, path, renamed);
    if (renamed) error = AVERROR(renamed.value());
  }
  if (error < 0) {
    std::error_code ignored;
    std::filesystem::remove(writing, ignored);
    movie.NumberedFileFailed("cannot write " + path.string(), error);
  }
  return error;
}

int FfmpegMovie::WritePacket(AVPacket& packet) {
  if (!room_.IsOpen()) return Mux(packet);
  // Once a sample did not fit none follows, so the movie has no gap.
  if (roomRefused_ != 0) return roomRefused_;
  PacketPtr copy(av_packet_clone(&packet));
  if (copy == nullptr) return AVERROR(ENOMEM);
  latestHeld_ = held_.empty() ? packet.pts : std::max(latestHeld_, packet.pts);
  held_.push_back(std::move(copy));
  // Each frame gives one packet; the frames are sent in showing order.
  int64_t shownUpTo = packet.pts;
  if (!framesWithoutPacket_.empty()) {
    shownUpTo = framesWithoutPacket_.front();
    framesWithoutPacket_.pop_front();
  }
  // An encoder that dropped a frame must not make the packets wait forever.
  static constexpr size_t kMostHeld = 64;
  if (shownUpTo < latestHeld_ && held_.size() < kMostHeld) return 0;
  return WriteHeldPackets();
}

int FfmpegMovie::WriteHeldPackets() {
  if (held_.empty()) return 0;
  // The muxer may lengthen a sample by a quarter (H.264 and HEVC start codes
  // of three bytes become lengths of four).
  int64_t bytes = 0;
  for (const PacketPtr& packet : held_) bytes += packet->size;
  const int64_t count = static_cast<int64_t>(held_.size());
  const int64_t end = avio_tell(format_->pb) + bytes + bytes / 4 +
                      IndexBound(samples_ + count, stream_->codecpar->extradata_size);
  if (const int refused = room_.ClaimUpTo(end); refused != 0) {
    roomRefused_ = AVERROR(refused);
    held_.clear();
    return roomRefused_;
  }
  samples_ += count;
  int error = 0;
  for (const PacketPtr& packet : held_) {
    if (error >= 0) error = Mux(*packet);
  }
  held_.clear();
  return error;
}

bool FfmpegMovie::WriteFrame(int32_t frameNumber, const ImageBuffer& frame) {
  if (closed_) {
    error_ = "the movie is closed";
    return false;
  }
  if (codec_ == nullptr) return WriteRawFrame(frameNumber, frame);

  // An encoder may still hold the previous picture.
  int error = av_frame_make_writable(frame_.get());
  if (error < 0) return Fail("cannot reuse the frame", error);
  // The buffer is bottom-up: start at its top row and step backwards.
  const std::array<const uint8_t*, 1> source = {frame.RowPointer(height_ - 1)};
  const std::array<int, 1> sourceStride = {-frame.Stride()};
  sws_scale(scaler_.get(), source.data(), sourceStride.data(), 0, height_, frame_->data,
            frame_->linesize);
  MakeOpaque(*frame_);
  frame_->pts = frameNumber;
  if (room_.IsOpen()) framesWithoutPacket_.push_back(frameNumber);
  frame_->pkt_duration = 1;
  frame_->interlaced_frame = interlaced_ ? 1 : 0;
  frame_->top_field_first = topFieldFirst_ ? 1 : 0;
  // The MPEG-family encoders take a fixed quantiser from each picture.
  frame_->quality = codec_->global_quality;

  const EncodeResult result = EncodeAndDrain(
      *codec_, frame_.get(), *packet_, [this](AVPacket& packet) { return WritePacket(packet); });
  if (!result.Ok()) {
    return Fail(result.status == EncodeStatus::kEncoderFailed ? "the encoder refused the frame"
                                                              : "cannot write the frame",
                result.error);
  }
  return true;
}

bool FfmpegMovie::WriteRawFrame(int32_t frameNumber, const ImageBuffer& frame) {
  // The muxer may still hold the previous frame's rows.
  AVBufferRef* rows = rawRows_.release();
  int error = av_buffer_make_writable(&rows);
  rawRows_.reset(rows);
  if (error < 0) return Fail("cannot reuse the frame", error);
  const size_t stride = static_cast<size_t>(rawRows_->size) / static_cast<size_t>(height_);
  for (int y = 0; y < height_; ++y) {
    const uint8_t* from = frame.RowPointer(y);
    uint8_t* to = rawRows_->data + stride * static_cast<size_t>(y);
    for (int x = 0; x < width_; ++x, from += 4, to += 3) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
    std::memset(to, 0, stride - static_cast<size_t>(width_) * 3);
  }
  packet_->buf = av_buffer_ref(rawRows_.get());
  if (packet_->buf == nullptr) return Fail("cannot write the frame", AVERROR(ENOMEM));
  packet_->data = packet_->buf->data;
  packet_->size = static_cast<int>(packet_->buf->size);
  packet_->flags |= AV_PKT_FLAG_KEY;
  packet_->pts = packet_->dts = frameNumber;
  packet_->duration = 1;
  error = Mux(*packet_);
  av_packet_unref(packet_.get());
  if (error < 0) return Fail("cannot write the frame", error);
  return true;
}

bool FfmpegMovie::Close() {
  if (closed_) return true;
  closed_ = true;
  bool ok = true;
  if (!headerWritten_) return false;
  if (codec_ != nullptr) {
    const EncodeResult result = EncodeAndDrain(
        *codec_, nullptr, *packet_, [this](AVPacket& packet) { return WritePacket(packet); });
    if (!result.Ok()) ok = Fail("cannot finish the encoder", result.error);
  }
  if (const int error = roomRefused_ == 0 ? WriteHeldPackets() : 0; error < 0) {
    ok = Fail("cannot finish the movie", error);
  }
  // The trailer is written even after a failed frame, so that the frames
  // before it stay playable.
  int error = av_write_trailer(format_.get());
  if (error < 0) ok = Fail("cannot finish the movie", error);
  // The index is the last thing written: the room claimed beyond it goes.
  const int64_t end = format_->pb != nullptr ? avio_tell(format_->pb) : 0;
  if ((format_->oformat->flags & AVFMT_NOFILE) == 0) {
    error = avio_closep(&format_->pb);
    if (error < 0) ok = Fail("cannot close the movie file", error);
  }
  if (room_.IsOpen()) {
    if (const int refused = room_.TrimTo(end); refused != 0) {
      ok = Fail("cannot give back the room kept for the index", AVERROR(refused));
    }
  }
  return ok;
}

}  // namespace

BackendResult OpenFfmpegMovie(MovieKind kind, const MovieRequest& request, int32_t rate,
                              int32_t width, int32_t height) {
  auto movie = std::make_unique<FfmpegMovie>();
  std::string failure = movie->Open(kind, request, rate, width, height);
  if (!failure.empty()) return {nullptr, std::move(failure)};
  return {std::move(movie), {}};
}

}  // namespace vantoril
