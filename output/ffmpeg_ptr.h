#pragma once

#include <memory>

// Owners for the FFmpeg objects of the movie writers. Only the types are
// declared here; FFmpeg's headers stay in the .cpp files.
struct AVBufferRef;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace vantoril {

// An output format context: closes its file (when the format has one) and
// frees the context. The trailer is the writer's business, not the deleter's.
struct OutputFormatContextDeleter {
  void operator()(AVFormatContext* context) const;
};
struct BufferRefDeleter {
  void operator()(AVBufferRef* buffer) const;
};
struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const;
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const;
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const;
};
struct SwsContextDeleter {
  void operator()(SwsContext* context) const;
};

using OutputFormatContextPtr = std::unique_ptr<AVFormatContext, OutputFormatContextDeleter>;
using BufferRefPtr = std::unique_ptr<AVBufferRef, BufferRefDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;

// Empty on allocation failure.
FramePtr MakeFrame();
PacketPtr MakePacket();

}  // namespace vantoril
