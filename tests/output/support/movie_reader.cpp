#include "output/support/movie_reader.h"

#include <memory>

#include "media/ffmpeg_ptr.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace vantoril::test {
namespace {

DecodedFrame Convert(const AVFrame& frame) {
  DecodedFrame out;
  out.width = frame.width;
  out.height = frame.height;
  out.fieldCoded = frame.interlaced_frame != 0;
  out.bgra.resize(static_cast<size_t>(frame.width) * frame.height * 4);
  const auto format = static_cast<AVPixelFormat>(frame.format);
  const bool hasAlpha = (av_pix_fmt_desc_get(format)->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
  SwsContextPtr scaler(sws_getContext(frame.width, frame.height, format, frame.width, frame.height,
                                      AV_PIX_FMT_BGRA, SWS_POINT | SWS_ACCURATE_RND, nullptr,
                                      nullptr, nullptr));
  uint8_t* planes[1] = {out.bgra.data()};
  int strides[1] = {frame.width * 4};
  sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
  if (!hasAlpha) {
    for (size_t i = 3; i < out.bgra.size(); i += 4) out.bgra[i] = 255;
  }
  return out;
}

}  // namespace

MovieContents ReadMovie(const std::filesystem::path& file) {
  MovieContents contents;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) {
    contents.error = "cannot open " + file.string();
    return contents;
  }
  InputFormatContextPtr input(raw);
  if (avformat_find_stream_info(input.get(), nullptr) < 0 || input->nb_streams != 1) {
    contents.error = "no single stream";
    return contents;
  }
  AVStream* stream = input->streams[0];
  contents.codecTag = stream->codecpar->codec_tag;
  contents.fieldOrder = stream->codecpar->field_order;
  const AVRational aspect = av_guess_sample_aspect_ratio(input.get(), stream, nullptr);
  contents.sampleAspectNum = aspect.num;
  contents.sampleAspectDen = aspect.den;
  contents.timeBaseNum = stream->time_base.num;
  contents.timeBaseDen = stream->time_base.den;
  contents.frameRateNum = stream->avg_frame_rate.num;
  contents.frameRateDen = stream->avg_frame_rate.den;

  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  CodecContextPtr codec(avcodec_alloc_context3(decoder));
  if (decoder == nullptr || codec == nullptr ||
      avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0 ||
      avcodec_open2(codec.get(), decoder, nullptr) < 0) {
    contents.error = "no decoder";
    return contents;
  }

  PacketPtr packet = MakePacket();
  FramePtr frame = MakeFrame();
  auto drain = [&] {
    while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
      contents.frames.push_back(Convert(*frame));
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    contents.packetDurations.push_back(packet->duration);
    if (avcodec_send_packet(codec.get(), packet.get()) < 0) {
      contents.error = "decoding failed";
      return contents;
    }
    av_packet_unref(packet.get());
    drain();
  }
  avcodec_send_packet(codec.get(), nullptr);
  drain();
  contents.ok = true;
  return contents;
}

}  // namespace vantoril::test
