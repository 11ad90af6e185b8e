// Feeds arbitrary bytes to the clip reader as an in-memory movie: AVI when
// they start with "RIFF", QuickTime otherwise. Opens (which indexes the clip
// and reads frame 0), then reads frames in the orders a show asks for them:
// forward one by one, jumps ahead, back to the start, past the end.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/image_buffer.h"
#include "media/clip_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vantoril::ClipReader reader(nullptr);
  const bool avi = size >= 4 && std::memcmp(data, "RIFF", 4) == 0;
  vantoril::ImageBuffer image(16, 16, 8);
  if (!reader.OpenClipBytes({data, size}, avi ? vantoril::kAviClip : vantoril::kQuickTimeClip,
                            image)) {
    return 0;
  }
  const int count = reader.FrameCount();
  if (count < 1) __builtin_trap();  // an open clip has a frame
  const int rate = reader.ClipFrameRate(2997);
  // The last bytes choose a few frames at random, the same for the same input.
  const int chosen = int((size_t(data[size - 1]) * 131 + data[size / 2]) % size_t(count + 2));
  for (const int frame : {1, 2, 3, count - 1, count, count / 2, 0, chosen, chosen - 1, chosen + 1,
                          count / 2 - 1, -1}) {
    reader.ReadFrame(frame, rate, image);
  }
  reader.Close();
  return 0;
}
