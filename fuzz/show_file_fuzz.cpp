// Feeds arbitrary bytes to the show file reader, composes a few frames of the
// show that was read in one pass and in bands (which must agree), then writes
// the show and reads it again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "engine/compositor.h"
#include "engine/image_buffer.h"
#include "engine/picture_loader.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "engine/show_file.h"

namespace {

// Pictures "load" without touching the disk; names that end in "x" fail.
class MemoryPictureLoader final : public vantoril::PictureLoader {
 public:
  vantoril::PictureLoad LoadImageFile(vantoril::ImageBuffer& image, const vantoril::FileSpec& file,
                                      const vantoril::FileSpec&, bool) override {
    const auto path = file.Path();
    if (!path.empty() && path.back() == 'x') {
      return vantoril::PictureLoad::kFailed;
    }
    return image.Create(4 + static_cast<int>(path.size() % 5), 3, 24)
               ? vantoril::PictureLoad::kLoaded
               : vantoril::PictureLoad::kFailed;
  }
  bool JpegAvailable() const override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The documents live across inputs: a reset is what loading a show does
  // anyway, and building a document per input would make the fuzzer crawl.
  static const vantoril::SettingsStore settings;
  static MemoryPictureLoader loader;
  static vantoril::ShowDocument document(settings);
  static vantoril::ShowDocument again(settings);
  static const bool ready = [] {
    for (auto* each : {&document, &again}) {
      each->SetPictureLoader(&loader);
      each->EnterStandaloneMode();
    }
    return true;
  }();
  (void)ready;

  document.ResetShow();
  if (!vantoril::ReadShow(document, std::span<const uint8_t>(data, size), true)) {
    return 0;
  }
  // Whatever a show file holds, its frames compose without a fault.
  static vantoril::ImageBuffer frame;
  static vantoril::ImageBuffer banded;
  static const bool made = frame.Create(48, 36, 32) && banded.Create(48, 36, 32);
  if (made) {
    const int last = document.showLength;
    for (const int t : {0, last / 2, last - 1, last}) {
      for (const auto mode :
           {vantoril::FieldMode::kFullFrame, vantoril::FieldMode::kInterlacedFields}) {
        vantoril::ComposeFrameWith(document, t, mode, 1, frame, {1});
        vantoril::ComposeFrameWith(document, t, mode, 1, banded, {3});
        for (int y = 0; y < 36; ++y) {
          if (std::memcmp(frame.RowPointer(y), banded.RowPointer(y), 48 * 4) != 0) {
            __builtin_trap();  // bands paint what one pass paints
          }
        }
      }
    }
  }
  const auto written = vantoril::WriteShow(document);
  again.ResetShow();
  vantoril::ReadShow(again, written, true);
  if (again.pictureCount != document.pictureCount) {
    __builtin_trap();  // what was written must read back whole
  }
  return 0;
}
