// Files dragged from the desktop onto the main window or the Stage.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window.h"
#include "engine/clip_names.h"
#include "engine/image_buffer.h"
#include "engine/message_sink.h"
#include "engine/picture_problem.h"
#include "engine/show_document.h"
#include "media/load_image_file.h"
#include "media/wave_file.h"
#include "platform/message_boxes.h"

namespace vantoril {
namespace {

bool EndsWithAnyCase(std::string_view path, std::string_view ending) {
  if (path.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), path.end() - ending.size(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

bool IsShowName(std::string_view path) {
  return EndsWithAnyCase(path, ".vsh");
}

bool IsSoundName(std::string_view path) {
  return EndsWithAnyCase(path, ".wav");
}

// Why the picture cannot be read (kNone when it can). A picture missing from
// a show loads as a placeholder; a dropped one is named instead, in the one
// message at the end of the drop, so the reader's own messages are not shown.
UnreadablePicture ProbePicture(const FileSpec& fileRef) {
  QuietMessageSink quiet;
  ImageBuffer probe(16, 16, 8);
  UnreadablePicture problem;
  if (LoadImageFile(probe, fileRef, FileSpec{}, true, quiet, &problem) == kImageLoaded) return {};
  problem.path = std::string(fileRef.Path());
  if (problem.problem == PictureProblem::kNone) problem.problem = PictureProblem::kDamaged;
  return problem;
}

}  // namespace

void MainWindow::DropFiles(const std::vector<std::string>& files) {
  std::vector<std::string> unread;
  // A show first: the other files go into the show it opens.
  const auto show = std::find_if(files.begin(), files.end(),
                                 [](const std::string& file) { return IsShowName(file); });
  if (show != files.end()) {
    if (!AskToSaveShow("Do you want to save current show?", "New Show", true)) return;
    FileSpec fileRef;
    if (fileRef.SetPath(*show)) {
      OpenShow(fileRef);  // tells its own failure, as Load Show does
    } else {
      unread.push_back(*show + " (the path is longer than 255 characters)");
    }
  }

  bool newPictures = false;
  const int total = static_cast<int>(files.size());
  for (auto file = files.begin(); file != files.end(); ++file) {
    PicturesLoading(static_cast<int>(file - files.begin()), total);
    if (file == show) continue;
    FileSpec fileRef;
    if (IsShowName(*file)) {
      unread.push_back(*file + " (one show opens at a time)");
    } else if (!fileRef.SetPath(*file)) {
      unread.push_back(*file + " (the path is longer than 255 characters)");
    } else if (IsSoundName(*file)) {
      WaveFile wave;
      const WaveOpenResult result = wave.Open(*file, 0, document_.clock.frameRate);
      if (result == WaveOpenResult::kOk || result == WaveOpenResult::kStartBeyondEnd) {
        document_.SetSoundFile(fileRef);
      } else {
        unread.push_back(*file + " (not a WAV sound track that can be played)");
      }
    } else if (IsClipName(*file)) {
      // As Load Background: the clip reader tells a clip it cannot open.
      document_.ChangeBackground(fileRef);
    } else if (document_.pictureCount >= kMaxPictures) {
      unread.push_back(*file + " (a show holds at most 30 pictures)");
    } else if (const UnreadablePicture problem = ProbePicture(fileRef);
               problem.problem != PictureProblem::kNone) {
      unread.push_back(DescribeUnreadablePicture(problem));
    } else if (PlacePicture(fileRef, false)) {
      newPictures = true;
    } else {
      unread.push_back(*file);
    }
  }

  if (newPictures) {
    ShowNewPictures();
  } else {
    document_.GoToTime(document_.clock.currentTime, false);
    RepaintTimeline();
    RepaintStage();
    Repaint();
  }
  if (!unread.empty()) {
    std::string text =
        unread.size() == 1 ? "This file could not be read:" : "These files could not be read:";
    for (const std::string& file : unread) text += "\n" + file;
    ShowErrorBox(text, MessageSink::kNoCode);
  }
}

}  // namespace vantoril
