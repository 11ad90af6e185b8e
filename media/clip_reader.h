#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "engine/background_clip.h"
#include "engine/file_spec.h"
#include "engine/image_buffer.h"
#include "engine/message_sink.h"

namespace vantoril {

// Clip kinds. MP4, M4V, MKV, MXF, WebM, MTS and M2TS clips are of the
// QuickTime kind: found by time, the show's rate kept.
inline constexpr int32_t kAviClip = 0;
inline constexpr int32_t kQuickTimeClip = 200;

// True when the path names a QuickTime clip: it contains ".mov" in any letter
// case. Every other clip is read as AVI.
bool IsQuickTimePath(const FileSpec& file);

// The background movie clip: one open clip, read frame-exactly.
//
// Frames come out as 32-bit blue, green, red, alpha image buffers, upright
// (row 0 is the bottom line). Show frame N of an AVI clip is clip frame N in
// display order; a QuickTime clip shows the frame that is on screen at N / show
// frame rate seconds into the movie. Frames past the end give no frame.
//
// Reading the frame after the last one read costs one decode; any other frame
// seeks to the key frame before it and decodes forward.
class ClipReader final : public BackgroundClip {
 public:
  // messages may be null (nothing is shown).
  explicit ClipReader(MessageSink* messages);
  ~ClipReader() override;
  ClipReader(const ClipReader&) = delete;
  ClipReader& operator=(const ClipReader&) = delete;

  // LoadBackgroundMovie: closes any open clip and opens this one; an AVI clip
  // sets frameRate to its own rate. Shows "Error Loading Movie!" and returns
  // false when the clip cannot be opened.
  bool Open(const FileSpec& file, int& frameRate) override;
  bool IsOpen() const override;
  // ReadClipFrame for show frame `frame` at the show's frameRate (x 100).
  bool ReadFrame(int frame, int frameRate, ImageBuffer& image) override;
  void Close() override;
  UndecodedClipFrames Undecoded() const override { return undecoded_; }

  // Opens the clip (closing the open one) and creates image at its frame size,
  // 32 bits. No message.
  bool OpenClip(const FileSpec& file, ImageBuffer& image);
  // The same for a clip held in memory, of the given kind; the bytes must
  // outlive the open clip.
  bool OpenClipBytes(std::span<const uint8_t> bytes, int32_t kind, ImageBuffer& image);
  // The open clip's rate (frames per second x 100) for an AVI clip, the
  // given current rate for a QuickTime clip, 0 when no clip is open.
  int32_t ClipFrameRate(int32_t currentFrameRate) const;
  // The open clip's kind (kAviClip or kQuickTimeClip) and length in frames.
  int32_t Kind() const;
  int FrameCount() const;

 private:
  class Decoder;
  struct Source;
  bool OpenSource(const Source& source, ImageBuffer& image);
  MessageSink* messages_;
  int32_t kind_ = kAviClip;
  int32_t aviFrameRate_ = 0;
  std::unique_ptr<Decoder> decoder_;
  UndecodedClipFrames undecoded_;
};

}  // namespace vantoril
