#include "media/clip_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/clip_names.h"
#include "media/avi_stream_rate.h"
#include "media/binary_file.h"
#include "media/decoding_loop.h"
#include "media/ffmpeg_memory_io.h"
#include "media/ffmpeg_ptr.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace vantoril {

using ffmpeg_input::MemoryIo;

namespace {

// The decoders copy a stream's colour fields into the frame as they stand, so
// an enum field may hold a number outside its enum; read it as the number.
template <typename Enum>
int RawEnum(const Enum& field) {
  static_assert(sizeof(Enum) == sizeof(int));
  int value = 0;
  std::memcpy(&value, &field, sizeof value);
  return value;
}

}  // namespace

bool IsQuickTimePath(const FileSpec& file) {
  const std::string_view path = file.Path();
  for (size_t i = 0; i + 4 <= path.size(); ++i) {
    if (path[i] == '.' && std::tolower(static_cast<unsigned char>(path[i + 1])) == 'm' &&
        std::tolower(static_cast<unsigned char>(path[i + 2])) == 'o' &&
        std::tolower(static_cast<unsigned char>(path[i + 3])) == 'v') {
      return true;
    }
  }
  return false;
}

// One video stream, indexed at open so that any frame can be found exactly.
//
// Display order is the order of presentation time stamps: frame N is the
// packet with the N-th smallest pts. Streams whose packets carry no pts (AVI
// with B-frames stores decode times only) get them made up from the picture
// types at open, and the decoder carries them through its reordering.
class ClipReader::Decoder {
 public:
  static std::unique_ptr<Decoder> Open(const std::string& path);
  static std::unique_ptr<Decoder> OpenBytes(std::span<const uint8_t> bytes);

  int FrameCount() const { return frameCount_; }
  // The frame on screen `showFrame` frames into the movie at frameRate / 100
  // frames per second; -1 at or past the end.
  int FrameAtTime(int showFrame, int frameRate) const;
  // Frame `index` in display order into image (32 bits, upright); false
  // leaves image as it was.
  bool Read(int index, ImageBuffer& image);

 private:
  struct KeyFrame {
    int display;       // display index of the first frame decodable from here
    int64_t seekTime;  // the time the demuxer's index knows it by (its dts)
  };

  struct PacketData {
    int64_t pts = AV_NOPTS_VALUE;
    int64_t dts = AV_NOPTS_VALUE;
    int64_t duration = 0;
    bool key = false;
    bool shown = true;
    int pictureType = AV_PICTURE_TYPE_NONE;
  };

  bool Start();
  static std::vector<int64_t> SynthesisedPts(const std::vector<PacketData>& packets);
  std::vector<PacketData> ReadPackets();
  bool Index();
  int KeyFor(int index) const;
  bool SeekToKey(int key);
  bool DecodeNext();
  bool DecodeUntil(int index);
  int DisplayIndexOfFrame();
  bool Convert(ImageBuffer& image);

  std::unique_ptr<MemoryIo> memory_;  // the input's bytes, when held in memory
  InputFormatContextPtr input_;
  CodecContextPtr codec_;
  FramePtr frame_ = MakeFrame();
  PacketPtr packet_ = MakePacket();
  SwsContextPtr scaler_;
  AvBlockPtr converted_;  // the scaler's output
  size_t convertedSize_ = 0;
  int stream_ = -1;
  AVRational timeBase_{1, 1};

  // Presentation times made up at open, by decode time; empty when the
  // stream carries its own.
  std::vector<std::pair<int64_t, int64_t>> madePts_;
  std::vector<int64_t> displayPts_;  // sorted
  std::vector<KeyFrame> keys_;       // by display index
  int frameCount_ = 0;
  int64_t endPts_ = 0;

  int current_ = -1;  // display index of the frame held in frame_, -1 none

  // What the scaler was set up for.
  int scalerFormat_ = -1;
  int scalerWidth_ = 0;
  int scalerHeight_ = 0;
  int scalerRange_ = -1;
  int scalerSpace_ = -1;
  // Quarter turns clockwise that show the stored pictures upright (a phone
  // held upright records them on their side and says so in the stream).
  int quarterTurns_ = 0;
};

std::unique_ptr<ClipReader::Decoder> ClipReader::Decoder::Open(const std::string& path) {
  auto decoder = std::make_unique<Decoder>();
  decoder->input_ = OpenInput(path.c_str());
  return decoder->Start() ? std::move(decoder) : nullptr;
}

std::unique_ptr<ClipReader::Decoder> ClipReader::Decoder::OpenBytes(
    std::span<const uint8_t> bytes) {
  auto decoder = std::make_unique<Decoder>();
  decoder->memory_ = MemoryIo::Make(bytes);
  if (!decoder->memory_) return nullptr;
  decoder->input_ = OpenInput(decoder->memory_->Context());
  return decoder->Start() ? std::move(decoder) : nullptr;
}

// Finds the video stream of the opened input, opens its decoder and indexes it.
bool ClipReader::Decoder::Start() {
  if (!frame_ || !packet_ || !input_) return false;
  AVFormatContext* input = input_.get();

  // The first video stream, as the clip's own players take it; cover art
  // attached to a file is not a stream of frames.
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* stream = input->streams[i];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      stream_ = int(i);
      break;
    }
  }
  if (stream_ < 0) return false;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    if (int(i) != stream_) input->streams[i]->discard = AVDISCARD_ALL;
  }
  AVStream* stream = input->streams[stream_];
  timeBase_ = stream->time_base;
  if (timeBase_.num <= 0 || timeBase_.den <= 0) return false;

  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return false;
  codec_.reset(avcodec_alloc_context3(codec));
  if (!codec_ || avcodec_parameters_to_context(codec_.get(), stream->codecpar) < 0) {
    return false;
  }
  // Frame threading delays every output by a frame per thread, which makes
  // each random access decode further; one thread reads clips fastest here.
  codec_->thread_count = 1;
  codec_->pkt_timebase = stream->time_base;
  if (avcodec_open2(codec_.get(), codec, nullptr) < 0) return false;
  if (codec_->width < 1 || codec_->height < 1) return false;
  if (const auto* matrix = reinterpret_cast<const int32_t*>(
          av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr))) {
    // The matrix turns counter-clockwise by the angle it gives; a mirrored
    // one (no phone makes it) is shown as stored.
    const double angle = av_display_rotation_get(matrix);
    if (std::isfinite(angle))
      quarterTurns_ = ((static_cast<int>(std::lround(-angle / 90.0)) % 4) + 4) % 4;
  }
  return Index();
}

// Presentation order for a stream stored without presentation times (AVI
// keeps decode times only): a B-frame is shown as it is decoded, any other
// frame waits until the next non-B frame arrives. Without picture types the
// decode order is taken as it is.
std::vector<int64_t> ClipReader::Decoder::SynthesisedPts(const std::vector<PacketData>& packets) {
  std::vector<int64_t> pts(packets.size());
  int64_t next = 0;
  int64_t pending = -1;
  for (size_t i = 0; i < packets.size(); ++i) {
    if (packets[i].pictureType == AV_PICTURE_TYPE_B) {
      pts[i] = next++;
      continue;
    }
    if (pending >= 0) pts[size_t(pending)] = next++;
    pending = int64_t(i);
  }
  if (pending >= 0) pts[size_t(pending)] = next++;
  return pts;
}

// One record a packet of the clip's stream, in file order; empty when the
// stream cannot be read through.
std::vector<ClipReader::Decoder::PacketData> ClipReader::Decoder::ReadPackets() {
  std::vector<PacketData> packets;
  const AVStream* stream = input_->streams[stream_];
  ParserContextPtr parser(av_parser_init(stream->codecpar->codec_id));
  CodecContextPtr parserCodec(avcodec_alloc_context3(nullptr));
  if (parser) {
    if (!parserCodec || avcodec_parameters_to_context(parserCodec.get(), stream->codecpar) < 0) {
      return {};
    }
    parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
  }
  for (;;) {
    if (av_read_frame(input_.get(), packet_.get()) < 0) break;
    PacketRef unref(packet_.get());
    if (packet_->stream_index != stream_) continue;
    PacketData data;
    data.pts = packet_->pts;
    data.dts = packet_->dts;
    data.duration = packet_->duration;
    data.key = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
    // Samples before the start of an edit list are decoded but never shown.
    data.shown = !(packet_->flags & AV_PKT_FLAG_DISCARD);
    if (parser) {
      uint8_t* output = nullptr;
      int outputSize = 0;
      av_parser_parse2(parser.get(), parserCodec.get(), &output, &outputSize, packet_->data,
                       packet_->size, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      data.pictureType = parser->pict_type;
    }
    packets.push_back(data);
  }
  return packets;
}

bool ClipReader::Decoder::Index() {
  std::vector<PacketData> packets = ReadPackets();
  if (packets.empty()) return false;

  const bool hasPts = std::none_of(packets.begin(), packets.end(),
                                   [](const PacketData& p) { return p.pts == AV_NOPTS_VALUE; });
  if (!hasPts) {
    // Decode times must name the packets: the decoder is handed the made-up
    // presentation times by them.
    const std::vector<int64_t> made = SynthesisedPts(packets);
    for (size_t i = 0; i < packets.size(); ++i) {
      if (packets[i].dts == AV_NOPTS_VALUE) return false;
      packets[i].pts = made[i];
      packets[i].shown = true;
      madePts_.push_back({packets[i].dts, made[i]});
    }
    std::sort(madePts_.begin(), madePts_.end());
    for (size_t i = 1; i < madePts_.size(); ++i) {
      if (madePts_[i].first == madePts_[i - 1].first) return false;
    }
  }

  for (const PacketData& p : packets) {
    if (p.shown) displayPts_.push_back(p.pts);
  }
  std::sort(displayPts_.begin(), displayPts_.end());
  displayPts_.erase(std::unique(displayPts_.begin(), displayPts_.end()), displayPts_.end());
  frameCount_ = int(displayPts_.size());
  if (frameCount_ == 0) return false;

  int64_t lastDuration = 0;
  for (const PacketData& p : packets) {
    if (p.shown && p.pts == displayPts_.back()) lastDuration = p.duration;
    if (!p.key) continue;
    const auto at = std::lower_bound(displayPts_.begin(), displayPts_.end(), p.pts);
    if (at == displayPts_.end()) continue;
    keys_.push_back({int(at - displayPts_.begin()), p.dts != AV_NOPTS_VALUE ? p.dts : p.pts});
  }
  if (lastDuration <= 0) {
    lastDuration =
        frameCount_ > 1 ? displayPts_[frameCount_ - 1] - displayPts_[frameCount_ - 2] : 1;
  }
  endPts_ = displayPts_.back() + lastDuration;
  std::sort(keys_.begin(), keys_.end(),
            [](const KeyFrame& a, const KeyFrame& b) { return a.display < b.display; });
  return !keys_.empty();
}

int ClipReader::Decoder::FrameAtTime(int showFrame, int frameRate) const {
  if (showFrame < 0 || frameRate <= 0) return -1;
  // showFrame * 100 / frameRate seconds, in stream ticks, rounded down so
  // that a clip running at the show's rate gives frame N for show frame N.
  const int64_t ticks = av_rescale_rnd(int64_t{showFrame} * 100, timeBase_.den,
                                       int64_t{frameRate} * timeBase_.num, AV_ROUND_DOWN);
  const int64_t target = displayPts_.front() + ticks;
  if (ticks < 0 || target >= endPts_) return -1;
  const auto after = std::upper_bound(displayPts_.begin(), displayPts_.end(), target);
  return int(after - displayPts_.begin()) - 1;
}

int ClipReader::Decoder::KeyFor(int index) const {
  const auto after = std::upper_bound(keys_.begin(), keys_.end(), index,
                                      [](int i, const KeyFrame& key) { return i < key.display; });
  return int(after - keys_.begin()) - 1;
}

bool ClipReader::Decoder::SeekToKey(int key) {
  current_ = -1;
  if (key < 0) return false;
  if (av_seek_frame(input_.get(), stream_, keys_[key].seekTime, AVSEEK_FLAG_BACKWARD) < 0) {
    return false;
  }
  avcodec_flush_buffers(codec_.get());
  return true;
}

// The next frame of the clip's stream out of the decoder into frame_.
bool ClipReader::Decoder::DecodeNext() {
  const PacketSource source = [this](AVPacket& packet) {
    for (;;) {
      const int read = av_read_frame(input_.get(), &packet);
      if (read < 0) return read;
      if (packet.stream_index == stream_) break;
      av_packet_unref(&packet);
    }
    if (!madePts_.empty()) {
      const auto made =
          std::lower_bound(madePts_.begin(), madePts_.end(), std::make_pair(packet.dts, INT64_MIN));
      if (made != madePts_.end() && made->first == packet.dts) packet.pts = made->second;
    }
    return 0;
  };
  return DecodeNextFrame(*codec_, *frame_, *packet_, source).Ok();
}

int ClipReader::Decoder::DisplayIndexOfFrame() {
  const int64_t pts = frame_->pts != AV_NOPTS_VALUE ? frame_->pts : frame_->best_effort_timestamp;
  const auto at = std::lower_bound(displayPts_.begin(), displayPts_.end(), pts);
  if (at == displayPts_.end() || *at != pts) return -1;
  return int(at - displayPts_.begin());
}

// Decodes forward to frame `index`. False when the decoder passes it or runs
// out first (a frame that needs references from before the key frame).
bool ClipReader::Decoder::DecodeUntil(int index) {
  while (DecodeNext()) {
    const int display = DisplayIndexOfFrame();
    if (display < 0) continue;
    current_ = display;
    if (display == index) return true;
    if (display > index) return false;
  }
  current_ = -1;
  return false;
}

bool ClipReader::Decoder::Read(int index, ImageBuffer& image) {
  if (index < 0 || index >= frameCount_) return false;
  if (index == current_) return Convert(image);

  int key = KeyFor(index);
  if (key < 0) return false;
  // Going on from the frame held costs less than a seek whenever no key frame
  // lies between it and the target.
  if (current_ >= 0 && index > current_ && keys_[key].display <= current_ + 1) {
    if (DecodeUntil(index)) return Convert(image);
  }
  // Open groups of pictures: a frame may need the key frame before its own.
  for (int attempt = 0; attempt < 3 && key >= 0; ++attempt, --key) {
    if (!SeekToKey(key)) return false;
    if (DecodeUntil(index)) return Convert(image);
  }
  return false;
}

bool ClipReader::Decoder::Convert(ImageBuffer& image) {
  const int width = frame_->width;
  const int height = frame_->height;
  const auto format = static_cast<AVPixelFormat>(frame_->format);
  if (width < 1 || height < 1) return false;
  const bool across = quarterTurns_ % 2 == 1;
  if (!image.Create(across ? height : width, across ? width : height, 32)) return false;

  const bool fullRange = RawEnum(frame_->color_range) == AVCOL_RANGE_JPEG ||
                         format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
                         format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
                         format == AV_PIX_FMT_YUVJ411P;
  const int space = RawEnum(frame_->colorspace) == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
  SwsContext* cached =
      sws_getCachedContext(scaler_.release(), width, height, format, width, height, AV_PIX_FMT_BGRA,
                           SWS_BILINEAR, nullptr, nullptr, nullptr);
  scaler_.reset(cached);
  if (!scaler_) return false;
  if (format != scalerFormat_ || width != scalerWidth_ || height != scalerHeight_ ||
      int(fullRange) != scalerRange_ || space != scalerSpace_) {
    const int* coefficients = sws_getCoefficients(space);
    sws_setColorspaceDetails(scaler_.get(), coefficients, fullRange ? 1 : 0, coefficients, 1, 0,
                             1 << 16, 1 << 16);
    scalerFormat_ = format;
    scalerWidth_ = width;
    scalerHeight_ = height;
    scalerRange_ = fullRange;
    scalerSpace_ = space;
  }
  // The scaler's vector code stores whole blocks and runs past the end of a
  // row whose width is not a multiple of its block (a 40-pixel-wide clip
  // overran the image by 4 bytes): it writes into an aligned, padded buffer
  // of its own, whose rows are then copied into the bottom-up image.
  const int rowBytes = width * 4;
  const int convertedStride = FFALIGN(rowBytes, 64);
  const size_t convertedSize = size_t(convertedStride) * size_t(height) + 64;
  if (convertedSize_ < convertedSize) {
    converted_.reset(static_cast<uint8_t*>(av_malloc(convertedSize)));
    convertedSize_ = converted_ ? convertedSize : 0;
    if (!converted_) return false;
  }
  uint8_t* destination[4] = {converted_.get(), nullptr, nullptr, nullptr};
  const int destinationStride[4] = {convertedStride, 0, 0, 0};
  if (sws_scale(scaler_.get(), frame_->data, frame_->linesize, 0, height, destination,
                destinationStride) != height) {
    return false;
  }
  if (quarterTurns_ == 0) {
    for (int y = 0; y < height; ++y) {
      std::memcpy(image.RowPointer(height - 1 - y), converted_.get() + size_t(y) * convertedStride,
                  size_t(rowBytes));
    }
    return true;
  }
  // Row y of the upright picture, from the top, walks the stored one: up a
  // column from the bottom (one turn), back along a row (two), or down a
  // column (three).
  const ptrdiff_t stride = convertedStride;
  const ptrdiff_t step = quarterTurns_ == 1 ? -stride : quarterTurns_ == 2 ? -4 : stride;
  const int shownWidth = image.Width();
  const int shownHeight = image.Height();
  for (int y = 0; y < shownHeight; ++y) {
    const ptrdiff_t start = quarterTurns_ == 1   ? (height - 1) * stride + ptrdiff_t{y} * 4
                            : quarterTurns_ == 2 ? (height - 1 - y) * stride + (width - 1) * 4
                                                 : ptrdiff_t{width - 1 - y} * 4;
    const uint8_t* source = converted_.get() + start;
    uint8_t* row = image.RowPointer(shownHeight - 1 - y);
    for (int x = 0; x < shownWidth; ++x, source += step) std::memcpy(row + 4 * x, source, 4);
  }
  return true;
}

ClipReader::ClipReader(MessageSink* messages) : messages_(messages) {
  // The program logs nothing; what a clip's damage means to the user is the
  // frame that does not change.
  av_log_set_level(AV_LOG_QUIET);
}
ClipReader::~ClipReader() = default;

bool ClipReader::Open(const FileSpec& file, int& frameRate) {
  ImageBuffer probe(16, 16, 8);
  const bool opened = OpenClip(file, probe);
  // A clip that did not open is reported whatever its kind; the rate of a
  // clip that did is never 0 (OpenClip refuses those).
  const int32_t rate = opened ? ClipFrameRate(frameRate) : 0;
  if (rate == 0) {
    Close();
    // The fixed text first (scripts match it), then the file it is about.
    if (messages_) {
      messages_->ShowMessage("Error Loading Movie!\n" + std::string(file.Path()),
                             MessageSink::kNoCode);
    }
    return false;
  }
  frameRate = rate;
  return true;
}

bool ClipReader::IsOpen() const {
  return decoder_ != nullptr;
}

// Where a clip comes from: a file, or bytes in memory when path is empty.
struct ClipReader::Source {
  int32_t kind;
  std::string path;
  std::span<const uint8_t> bytes;
};

bool ClipReader::OpenClip(const FileSpec& file, ImageBuffer& image) {
  const std::string path(file.Path());
  // Clips of today's containers are timed as QuickTime clips are; frame rate
  // adoption stays AVI's.
  const bool timed = IsQuickTimePath(file) || IsTimedClipName(path);
  return OpenSource({timed ? kQuickTimeClip : kAviClip, path, {}}, image);
}

bool ClipReader::OpenClipBytes(std::span<const uint8_t> bytes, int32_t kind, ImageBuffer& image) {
  return OpenSource({kind == kQuickTimeClip ? kQuickTimeClip : kAviClip, {}, bytes}, image);
}

bool ClipReader::OpenSource(const Source& source, ImageBuffer& image) {
  Close();
  const bool inMemory = source.path.empty();
  kind_ = source.kind;
  if (!inMemory && !IsRegularFile(source.path)) return false;
  try {
    if (kind_ == kAviClip) {
      // The rate comes from the stream header as stored: the demuxer would
      // quietly replace a zero rate or scale with a guess.
      const auto stored = inMemory ? ReadAviVideoRate(source.bytes) : ReadAviVideoRate(source.path);
      aviFrameRate_ = stored ? AviFrameRate(*stored) : 0;
      if (aviFrameRate_ == 0) return false;
    }
    auto decoder = inMemory ? Decoder::OpenBytes(source.bytes) : Decoder::Open(source.path);
    if (!decoder) return false;
    // The first frame must decode: it sizes the background.
    if (!decoder->Read(0, image)) return false;
    decoder_ = std::move(decoder);
  } catch (const std::bad_alloc&) {
    decoder_.reset();
    return false;
  }
  return true;
}

bool ClipReader::ReadFrame(int frame, int frameRate, ImageBuffer& image) {
  if (!decoder_) return false;
  const int index = kind_ == kQuickTimeClip ? decoder_->FrameAtTime(frame, frameRate) : frame;
  bool read = false;
  try {
    read = decoder_->Read(index, image);
  } catch (const std::bad_alloc&) {
    // No room for the frame: it counts as not decoded.
  }
  // Frames past either end are none to read; one inside that gives nothing
  // is damage, which the program tells about once it has composed.
  if (!read && index >= 0 && index < decoder_->FrameCount()) {
    ++undecoded_.reads;
    undecoded_.first = undecoded_.first < 0 ? index : std::min(undecoded_.first, index);
    undecoded_.last = std::max(undecoded_.last, index);
  }
  return read;
}

int32_t ClipReader::ClipFrameRate(int32_t currentFrameRate) const {
  if (!decoder_) return 0;
  return kind_ == kQuickTimeClip ? currentFrameRate : aviFrameRate_;
}

int32_t ClipReader::Kind() const {
  return kind_;
}

int ClipReader::FrameCount() const {
  return decoder_ ? decoder_->FrameCount() : 0;
}

void ClipReader::Close() {
  decoder_.reset();
  undecoded_ = {};
  kind_ = kAviClip;
  aviFrameRate_ = 0;
}

}  // namespace vantoril
