#include "engine/compositor.h"

#include <algorithm>
#include <span>

#include "engine/background_clip.h"
#include "engine/document_host.h"
#include "engine/show_document.h"

namespace vantoril {
namespace {

// drawMode digits ABC: fieldDiv A + 1, lineStep B + 1, parity C.
constexpr int kOddRowsOfFrame = 10;
constexpr int kEvenRowsOfFrame = 11;
constexpr int kAllRows = 0;
constexpr int kFieldBufferEvenRows = 111;

void PaintBackground(ShowDocument& document, ImageBuffer& destination) {
  if (document.backgroundSource == kBackgroundPicture) {
    document.backgroundImage.StretchTo(destination, 0, 0);
  } else if (document.backgroundSource == kBackgroundClip) {
    BackgroundClip* clip = document.Clip();
    if (!document.holdBackgroundFrame && clip != nullptr && clip->IsOpen()) {
      // A frame past the clip's end leaves the last one in place.
      clip->ReadFrame(document.clock.currentTime, document.clock.frameRate,
                      document.backgroundImage);
    }
    document.backgroundImage.StretchTo(destination, 0, 0);
  }
}

}  // namespace

bool ComposeFrame(ShowDocument& document, int t, int fieldMode, int fieldArg,
                  ImageBuffer& destination) {
  PaintBackground(document, destination);

  const int stageW = document.stageFrame.Width();
  const int stageH = document.stageFrame.Height();
  // A show holds at most 30 pictures; a damaged count must not index past
  // the slots.
  const int count = std::clamp(document.pictureCount, 0, kMaxPictures);
  auto draw = [&](int slot, const KeyFrame& state, int drawMode) {
    DrawPicture(document.pictureImages[slot], destination, state, document.brush[slot],
                document.tintColour[slot], drawMode, stageW, stageH);
  };

  if (fieldMode == kInterlacedFields) {
    const bool swap = document.fieldSwap != 0;
    for (int slot = count - 1; slot >= 0; --slot) {
      draw(slot, document.EvaluatePicture(slot, t, swap), kOddRowsOfFrame);
    }
    for (int slot = count - 1; slot >= 0; --slot) {
      draw(slot, document.EvaluatePicture(slot, t, !swap), kEvenRowsOfFrame);
    }
    return true;
  }

  // fieldArg is a flag: 1 asks for the odd display rows of a field buffer,
  // 0 for the even ones.
  bool f = fieldArg != 0;
  if (document.flopTopField) {
    f = !f;
  }
  bool secondField = false;
  int drawMode = kAllRows;
  if (fieldMode == kFirstField) {
    secondField = document.fieldSwap != 0;
    drawMode = kFieldBufferEvenRows - (f ? 1 : 0);
  } else if (fieldMode == kSecondField) {
    secondField = document.fieldSwap == 0;
    drawMode = kFieldBufferEvenRows - (f ? 1 : 0);
  }

  std::span<const KeyFrame> stageStates;
  if (t < 0 && document.Host() != nullptr) {
    stageStates = document.Host()->StagePictureStates();
  }
  for (int slot = count - 1; slot >= 0; --slot) {
    if (!stageStates.empty() && static_cast<size_t>(slot) < stageStates.size()) {
      draw(slot, stageStates[slot], drawMode);
    } else {
      draw(slot, document.EvaluatePicture(slot, t, secondField), drawMode);
    }
  }
  return true;
}

}  // namespace vantoril
