#include "engine/show_inputs.h"

#include <system_error>

#include "engine/show_document.h"

namespace vantoril {

namespace {

bool SameFile(const FileSpec& reference, const std::filesystem::path& file) {
  if (!reference.HasPath()) return false;
  std::error_code error;
  return std::filesystem::equivalent(std::filesystem::path(reference.Path()), file, error) &&
         !error;
}

}  // namespace

std::string ShowInputAt(const ShowDocument& document, const std::filesystem::path& file) {
  if (SameFile(document.showFile, file) || SameFile(document.damagedShowFile, file)) {
    return "the show's own file";
  }
  return ShowMaterialAt(document, file);
}

std::string ShowMaterialAt(const ShowDocument& document, const std::filesystem::path& file) {
  if (SameFile(document.backgroundFile, file)) return "the show's background";
  if (SameFile(document.soundFile, file)) return "the show's sound track";
  for (int slot = 0; slot < document.pictureCount; ++slot) {
    if (SameFile(document.PictureAt(slot).file, file)) {
      return "the show's picture " + std::to_string(slot + 1);
    }
  }
  return {};
}

}  // namespace vantoril
