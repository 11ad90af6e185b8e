#pragma once

#include <filesystem>
#include <string>

namespace vantoril {

class ShowDocument;

// What the open show reads from `file`: "the show's own file", "the show's
// background", "the show's sound track" or "the show's picture N" (counted
// from 1), or an empty text when it reads nothing there. Files are compared
// as files, so another name for the same one (a link, a path through "..")
// counts; a file that is not there is none of them. Whatever is written there
// would destroy the show's own material, and a background clip is still being
// read while a movie is written.
std::string ShowInputAt(const ShowDocument& document, const std::filesystem::path& file);

// ShowInputAt without the show's own file: what a save must not overwrite.
std::string ShowMaterialAt(const ShowDocument& document, const std::filesystem::path& file);

}  // namespace vantoril
