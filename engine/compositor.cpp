#include "engine/compositor.h"

#include <algorithm>
#include <array>
#include <span>

#include "engine/background_clip.h"
#include "engine/band_pool.h"
#include "engine/document_host.h"
#include "engine/draw_picture.h"
#include "engine/show_document.h"

namespace vantoril {
namespace {

// Puts the background into destination. Returns the image to copy under the
// pictures band by band when it already has the destination's size and
// depth; otherwise the background is painted here (null).
const ImageBuffer* PaintBackground(ShowDocument& document, ImageBuffer& destination) {
  if (document.backgroundSource == kBackgroundPicture) {
    if (const ImageBuffer* kept =
            document.stretchedBackground.For(document.backgroundImage, destination)) {
      return kept;
    }
    document.backgroundImage.StretchTo(destination, 0, 0);
  } else if (document.backgroundSource == kBackgroundClip) {
    BackgroundClip* clip = document.Clip();
    if (!document.holdBackgroundFrame && clip != nullptr && clip->IsOpen()) {
      // A frame past the clip's end leaves the last one in place.
      clip->ReadFrame(document.clock.currentTime, document.clock.frameRate,
                      document.backgroundImage);
    }
    if (SameLayout(document.backgroundImage, destination)) {
      return &document.backgroundImage;
    }
    document.backgroundImage.StretchTo(destination, 0, 0);
  }
  return nullptr;
}

struct Draw {
  int slot;
  KeyFrame state;
  DrawMode drawMode;
};

// Every picture of a frame, in painting order: both fields of an interlaced
// frame give two.
using DrawList = std::array<Draw, 2 * kMaxPictures>;

// The pictures of frame t in painting order, each in its state at t; returns
// how many.
int ListDraws(ShowDocument& document, int t, FieldMode fieldMode, int fieldArg, DrawList& draws) {
  // A show holds at most 30 pictures; a damaged count must not index past
  // the slots.
  const int count = std::clamp(document.pictureCount, 0, kMaxPictures);
  int drawCount = 0;
  auto add = [&](int slot, const KeyFrame& state, DrawMode drawMode) {
    draws[drawCount++] = Draw{slot, state, drawMode};
  };

  if (fieldMode == FieldMode::kInterlacedFields) {
    const bool swap = document.fieldSwap != 0;
    for (int slot = count - 1; slot >= 0; --slot) {
      add(slot, document.EvaluatePicture(slot, t, swap), kOddRowsOfFrame);
    }
    for (int slot = count - 1; slot >= 0; --slot) {
      add(slot, document.EvaluatePicture(slot, t, !swap), kEvenRowsOfFrame);
    }
    return drawCount;
  }
  // fieldArg is a flag: 1 asks for the odd display rows of a field buffer,
  // 0 for the even ones.
  bool f = fieldArg != 0;
  if (document.flopTopField) {
    f = !f;
  }
  bool secondField = false;
  DrawMode drawMode = kAllRows;
  if (fieldMode == FieldMode::kFirstField) {
    secondField = document.fieldSwap != 0;
    drawMode = f ? kFieldBufferOddRows : kFieldBufferEvenRows;
  } else if (fieldMode == FieldMode::kSecondField) {
    secondField = document.fieldSwap == 0;
    drawMode = f ? kFieldBufferOddRows : kFieldBufferEvenRows;
  }

  std::span<const KeyFrame> stageStates;
  if (t < 0 && document.Host() != nullptr) {
    stageStates = document.Host()->StagePictureStates();
  }
  for (int slot = count - 1; slot >= 0; --slot) {
    if (!stageStates.empty() && static_cast<size_t>(slot) < stageStates.size()) {
      add(slot, stageStates[slot], drawMode);
    } else {
      add(slot, document.EvaluatePicture(slot, t, secondField), drawMode);
    }
  }
  return drawCount;
}

// Paints the draws over the backdrop (when there is one to copy) in bands
// across the cores.
void PaintDraws(const ShowDocument& document, std::span<const Draw> draws,
                const ImageBuffer* backdrop, ImageBuffer& destination, int bandsAsked) {
  const int stageW = document.stageFrame.Width();
  const int stageH = document.stageFrame.Height();
  auto paint = [&](const Draw& draw, const DrawPictureOptions& drawOptions) {
    const Picture& picture = document.PictureAt(draw.slot);
    DrawPictureWith(picture.image, destination, draw.state, picture.BrushKind(), picture.tint,
                    draw.drawMode, stageW, stageH, drawOptions);
  };
  const int height = std::max(destination.Height(), 1);
  const int bands = std::clamp(bandsAsked > 0 ? bandsAsked : CoreCount(), 1, height);
  const int drawCount = static_cast<int>(draws.size());

  // Runs of pictures that read no neighbour are painted band by band; a
  // picture that does waits for everything beneath it and is painted whole.
  int first = 0;
  while (first < drawCount || backdrop != nullptr) {
    int end = first;
    while (end < drawCount &&
           !BrushReadsNeighbours(document.PictureAt(draws[end].slot).BrushKind())) {
      ++end;
    }
    const auto band = [&](int b) {
      DrawPictureOptions drawOptions;
      drawOptions.threads = PaintThreads::kSingle;
      drawOptions.bandFirst = static_cast<int>(int64_t{height} * b / bands);
      drawOptions.bandEnd = static_cast<int>(int64_t{height} * (b + 1) / bands);
      if (backdrop != nullptr) {
        CopyRowsFromTop(*backdrop, destination, drawOptions.bandFirst, drawOptions.bandEnd);
      }
      for (int i = first; i < end; ++i) {
        paint(draws[i], drawOptions);
      }
    };
    if (end > first || backdrop != nullptr) {
      SharedBandPool().Run(bands, band);
    }
    backdrop = nullptr;
    if (end < drawCount) {
      DrawPictureOptions whole;
      whole.threads = PaintThreads::kSingle;
      paint(draws[end], whole);
      ++end;
    }
    first = end;
  }
}

}  // namespace

bool ComposeFrameWith(ShowDocument& document, int t, FieldMode fieldMode, int fieldArg,
                      ImageBuffer& destination, const ComposeOptions& options) {
  const ImageBuffer* backdrop = PaintBackground(document, destination);
  DrawList draws;
  const int count = ListDraws(document, t, fieldMode, fieldArg, draws);
  PaintDraws(document, std::span<const Draw>(draws.data(), static_cast<size_t>(count)), backdrop,
             destination, options.bands);
  return true;
}

bool ComposeFrame(ShowDocument& document, int t, FieldMode fieldMode, int fieldArg,
                  ImageBuffer& destination) {
  return ComposeFrameWith(document, t, fieldMode, fieldArg, destination, ComposeOptions{});
}

}  // namespace vantoril
