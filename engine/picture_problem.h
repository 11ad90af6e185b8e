#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantoril {

class ShowDocument;

// Why a picture file could not be read, in the words the user is told.
enum class PictureProblem : uint8_t {
  kNone,
  kNoSuchFile,     // neither at its path nor in the alternative image folder
  kCannotOpen,     // there, but not readable (permissions, a folder...)
  kUnknownFormat,  // no format the program reads, or a variant of one it cannot
  kDamaged,        // a known format whose header or data is broken
  kTooLarge,       // a side longer than the largest picture
  kNoMemory,       // memory for the picture could not be had
};

std::string_view PictureProblemText(PictureProblem problem);

// One picture that could not be read: the path that was tried and why.
struct UnreadablePicture {
  std::string path;
  PictureProblem problem = PictureProblem::kNone;
};

// "path (reason)", the line that names one unreadable picture.
std::string DescribeUnreadablePicture(const UnreadablePicture& picture);

// The one message after loading: how many pictures could not be read, then
// one line per picture. With placeholders, says that each stands in.
std::string UnreadablePicturesMessage(std::span<const UnreadablePicture> pictures,
                                      bool placeholders);

// The question Make Movie asks before rendering a show with stand-ins.
std::string PlaceholderMovieQuestion(std::span<const UnreadablePicture> pictures);

// The show's pictures that are stand-ins for files that could not be read,
// in slot order, then its background when that is one.
std::vector<UnreadablePicture> UnreadablePicturesOf(const ShowDocument& document);

}  // namespace vantoril
