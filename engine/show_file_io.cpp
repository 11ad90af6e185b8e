#include <cerrno>
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

std::string ShowFileProblem(ShowFileStatus status, std::string_view path,
                            const std::error_code& why) {
  std::string text = ShowFileMessage(status);
  text += '\n';
  text += path;
  if (why) {
    text += '\n';
    text += why.message();
  }
  return text;
}

ShowFileStatus LoadShowFile(ShowDocument& document, const std::filesystem::path& file, bool redraw,
                            std::string* damage, std::error_code* why) {
  FileSpec fileRef;
  if (!fileRef.SetPath(file.string())) {
    return ShowFileStatus::kPathTooLong;
  }
  const auto cannotOpen = [why](std::error_code reason) {
    if (why != nullptr) *why = reason;
    return ShowFileStatus::kCannotOpen;
  };
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error) {
    return cannotOpen(error);
  }
  if (size > kMaxShowFileSize) {
    return ShowFileStatus::kNotAShow;
  }
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return cannotOpen(std::error_code(errno, std::generic_category()));
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (in.bad()) {
    return cannotOpen(std::make_error_code(std::errc::io_error));
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
