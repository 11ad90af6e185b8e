#include "engine/picture_problem.h"

#include "engine/image_buffer.h"
#include "engine/show_document.h"

namespace vantoril {

std::string_view PictureProblemText(PictureProblem problem) {
  switch (problem) {
    case PictureProblem::kNone:
      return "read";
    case PictureProblem::kNoSuchFile:
      return "no such file";
    case PictureProblem::kCannotOpen:
      return "the file cannot be opened";
    case PictureProblem::kUnknownFormat:
      return "not a format the program reads";
    case PictureProblem::kDamaged:
      return "damaged";
    case PictureProblem::kTooLarge:
      return "too large: more than 8192 pixels a side";
    case PictureProblem::kNoMemory:
      return "not enough memory";
  }
  return "damaged";
}

std::string DescribeUnreadablePicture(const UnreadablePicture& picture) {
  return picture.path + " (" + std::string(PictureProblemText(picture.problem)) + ")";
}

namespace {

std::string PathLines(std::span<const UnreadablePicture> pictures, bool withReasons) {
  std::string lines;
  for (const UnreadablePicture& picture : pictures) {
    lines += '\n';
    lines += withReasons ? DescribeUnreadablePicture(picture) : picture.path;
  }
  return lines;
}

}  // namespace

std::string UnreadablePicturesMessage(std::span<const UnreadablePicture> pictures,
                                      bool placeholders) {
  if (pictures.empty()) return {};
  const bool one = pictures.size() == 1;
  std::string text = one ? std::string("1 picture could not be read:")
                         : std::to_string(pictures.size()) + " pictures could not be read:";
  text += PathLines(pictures, true);
  if (placeholders) {
    text += one ? "\nIt is shown as a placeholder." : "\nEach is shown as a placeholder.";
  }
  return text;
}

std::string PlaceholderMovieQuestion(std::span<const UnreadablePicture> pictures) {
  const bool one = pictures.size() == 1;
  std::string text =
      one ? std::string(
                "1 picture of this show could not be read and would render as a "
                "placeholder:")
          : std::to_string(pictures.size()) +
                " pictures of this show could not be read and would render as placeholders:";
  text += PathLines(pictures, false);
  text += "\nMake the movie anyway?";
  return text;
}

std::vector<UnreadablePicture> UnreadablePicturesOf(const ShowDocument& document) {
  std::vector<UnreadablePicture> pictures;
  for (int slot = 0; slot < document.pictureCount && slot < kSlotCount; ++slot) {
    const Picture& picture = document.PictureAt(slot);
    if (picture.problem != PictureProblem::kNone) {
      pictures.push_back({std::string(picture.file.Path()), picture.problem});
    }
  }
  // Last, as a show is read.
  if (document.backgroundSource == kBackgroundPicture &&
      document.backgroundProblem != PictureProblem::kNone) {
    pictures.push_back({std::string(document.backgroundFile.Path()), document.backgroundProblem});
  }
  return pictures;
}

}  // namespace vantoril
