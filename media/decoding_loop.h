#pragma once

#include <functional>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace vantoril {

enum class DecodeStatus {
  kOk,             // a frame is ready
  kEndOfStream,    // the input ran out and the decoder has given every frame
  kDecoderFailed,  // the decoder refused a packet or failed to produce a frame
};

struct DecodeResult {
  DecodeStatus status = DecodeStatus::kOk;
  int error = 0;  // the raw FFmpeg error of the call that ended the loop, 0 when none

  bool Ok() const { return status == DecodeStatus::kOk; }
};

// Fills `packet` with the next packet for the decoder; returns 0, or a
// negative FFmpeg error when the input has no more (which drains the decoder).
// The loop unreferences the packet once the decoder has it.
using PacketSource = std::function<int(AVPacket& packet)>;

// The one send/receive loop: the next frame out of `codec` into `frame`,
// feeding it packets from `source` while it asks for more.
DecodeResult DecodeNextFrame(AVCodecContext& codec, AVFrame& frame, AVPacket& scratch,
                             const PacketSource& source);

}  // namespace vantoril
