#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantoril {

// "/" separates folders here; "\" and ":" still do in paths written on the
// platform the shows come from.
constexpr bool IsPathSeparator(char c) {
  return c == '\\' || c == ':' || c == '/';
}

void UpperCase(std::string& text);
void CutAtFirstDot(std::string& text);
// The part after the last separator (the whole text without one).
std::string_view FileNamePart(std::string_view path);
// Up to and including the last separator (empty without one).
std::string_view FolderPart(std::string_view path);
// The pieces between separators; "a||b" gives "a", "", "b".
std::vector<std::string> SplitText(std::string_view text, char separator);

}  // namespace vantoril
