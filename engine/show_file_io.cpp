#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "engine/replace_file.h"
#include "engine/show_document.h"
#include "engine/show_file.h"
#include "engine/show_inputs.h"

namespace vantoril {

std::string ShowFileMessage(ShowFileStatus status) {
  switch (status) {
    case ShowFileStatus::kOk:
      return {};
    case ShowFileStatus::kCannotOpen:
      return "Can't open show file";
    case ShowFileStatus::kNotAShow:
      return "This file is not a show file";
    case ShowFileStatus::kPathTooLong:
      return "The file's path is longer than 255 characters";
    case ShowFileStatus::kCannotWrite:
      return "Can't save show file";
    case ShowFileStatus::kShowMaterial:
      return "Can't save show file over one of its pictures, its background or its sound track";
  }
  return {};
}

ShowFileStatus LoadShowFile(ShowDocument& document, const std::filesystem::path& file, bool redraw,
                            std::string* damage) {
  FileSpec fileRef;
  if (!fileRef.SetPath(file.string())) {
    return ShowFileStatus::kPathTooLong;
  }
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error) {
    return ShowFileStatus::kCannotOpen;
  }
  if (size > kMaxShowFileSize) {
    return ShowFileStatus::kNotAShow;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return ShowFileStatus::kCannotOpen;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (in.bad()) {
    return ShowFileStatus::kCannotOpen;
  }
  // Judge the file before the show in memory is given up.
  if (!LooksLikeShow(bytes)) {
    return ShowFileStatus::kNotAShow;
  }
  document.ResetShow();
  std::string found;
  ReadShow(document, bytes, redraw, std::filesystem::absolute(file, error).parent_path(), &found);
  if (found.empty()) {
    document.showFile = fileRef;
  } else {
    // Saving half a show over the whole one must take a deliberate choice.
    document.damagedShowFile = fileRef;
    document.SetModified(true);
  }
  if (damage != nullptr) *damage = std::move(found);
  return ShowFileStatus::kOk;
}

ShowFileStatus SaveShowFile(ShowDocument& document, const std::filesystem::path& file,
                            std::error_code* why) {
  FileSpec fileRef;
  if (!fileRef.SetPath(file.string())) {
    return ShowFileStatus::kPathTooLong;
  }
  if (!ShowMaterialAt(document, file).empty()) return ShowFileStatus::kShowMaterial;
  const bool wasModified = document.Modified();
  const std::vector<uint8_t> bytes = WriteShow(document);

  if (!ReplaceFile(file, bytes, ".saving", why)) {
    document.SetModified(wasModified);
    return ShowFileStatus::kCannotWrite;
  }
  document.showFile = fileRef;
  document.damagedShowFile.ClearPath();
  document.SetModified(false);
  return ShowFileStatus::kOk;
}

}  // namespace vantoril
