#pragma once

#include <array>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/document_host.h"
#include "engine/picture_loader.h"
#include "engine/show_document.h"

namespace vantoril::testing {

// A host that records what the document asks of the windows, with a stage
// table of picture states and an optional timeline.
class RecordingHost : public DocumentHost {
 public:
  void ShowMessage(std::string_view text, long code) override {
    messages.emplace_back(std::string(text), code);
  }
  void RepaintStage() override { ++stageRepaints; }
  void RepaintTimeline() override { ++timelineRepaints; }
  void Beep() override { ++beeps; }
  void PicturesLoading(int done, int total) override { loading.emplace_back(done, total); }
  std::span<KeyFrame> StagePictureStates() override { return states; }
  bool HasTimeline() const override { return timeline; }
  int TimeScale() const override { return timeScale; }

  std::array<KeyFrame, kSlotCount> states{};
  std::vector<std::pair<std::string, long>> messages;
  std::vector<std::pair<int, int>> loading;  // PicturesLoading's calls
  int stageRepaints = 0;
  int timelineRepaints = 0;
  int beeps = 0;
  bool timeline = false;
  int timeScale = 30;
};

// Serves pictures of a chosen size and depth (filled with a pattern), or
// fails like an unreadable file.
class FakePictureLoader : public PictureLoader {
 public:
  PictureLoad LoadImageFile(ImageBuffer& image, const FileSpec& file, const FileSpec&,
                            bool) override {
    requested.emplace_back(file.Path());
    if (result == PictureLoad::kFailed || failing.count(std::string(file.Path())) ||
        !image.Create(width, height, bitsPerPixel)) {
      return PictureLoad::kFailed;
    }
    const int bytes = bitsPerPixel / 8;
    for (int y = 0; y < height; ++y) {
      uint8_t* row = image.RowPointer(y);
      for (int i = 0; i < width * bytes; ++i) {
        row[i] = static_cast<uint8_t>(fill + i + 7 * y);
      }
    }
    return result;
  }
  bool JpegAvailable() const override { return true; }

  int width = 320;
  int height = 240;
  int bitsPerPixel = 24;
  PictureLoad result = PictureLoad::kLoaded;
  uint8_t fill = 100;
  std::vector<std::string> requested;
  std::set<std::string> failing;  // paths that read like unreadable files
};

// Changes a picture of a show built by hand.
template <class Edit>
void EditPicture(ShowDocument& document, int slot, Edit edit) {
  Picture picture = document.PictureAt(slot);
  edit(picture);
  document.SetPicture(slot, std::move(picture));
}

inline FileSpec SpecFor(std::string_view path) {
  FileSpec fileRef;
  fileRef.SetPath(path);
  return fileRef;
}

}  // namespace vantoril::testing
