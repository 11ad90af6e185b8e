// Feeds arbitrary bytes to the show file reader, then writes the show that
// was read and reads it again.
#include <cstddef>
#include <cstdint>
#include <span>

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
  const auto written = vantoril::WriteShow(document);
  again.ResetShow();
  vantoril::ReadShow(again, written, true);
  if (again.pictureCount != document.pictureCount) {
    __builtin_trap();  // what was written must read back whole
  }
  return 0;
}
