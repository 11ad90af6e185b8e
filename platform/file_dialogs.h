#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/file_spec.h"

namespace vantoril {

class Window;

// One entry of a filter string "Description|*.a;*.b|...|": a description and
// its patterns.
struct FileFilter {
  std::string description;
  std::vector<std::string> patterns;
};

std::vector<FileFilter> ParseFileFilter(std::string_view filter);
// The entries as the dialog's name filters: each description followed by its
// patterns in parentheses, "*.*" as "*", and every pattern also in upper
// case (names are matched without regard to case, as the shows expect).
std::vector<std::string> DialogNameFilters(std::string_view filter);

// The open dialog: existing files only. `fileRef` names the file shown at first
// (a trailing separator is dropped; a name of fewer than 4 characters is
// not shown) and receives the choice. startingFolder is where the dialog
// opens. False when cancelled, or when the chosen path is longer than a file
// reference holds (the user is told).
bool OpenFileDialog(Window* owner, FileSpec& fileRef, std::string_view filter,
                    std::string_view defaultExtension, std::string_view startingFolder);
// Several files at once; `chosen` receives one reference per file.
bool OpenFilesDialog(Window* owner, std::vector<FileSpec>& chosen, std::string_view filter,
                     std::string_view defaultExtension, std::string_view startingFolder);
// The save dialog, asking before a file is overwritten.
bool SaveFileDialog(Window* owner, FileSpec& fileRef, std::string_view filter,
                    std::string_view defaultExtension, std::string_view startingFolder);

// The text shown when a chosen path does not fit a file reference.
inline constexpr std::string_view kPathTooLongMessage =
    "The path of this file is longer than 255 characters, more than a show can keep. "
    "Move the file to a folder with a shorter path and choose it again.";

}  // namespace vantoril
