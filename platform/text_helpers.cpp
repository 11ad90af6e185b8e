#include "platform/text_helpers.h"

#include <algorithm>

namespace vantoril {

void UpperCase(std::string& text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
}

void CutAtFirstDot(std::string& text) {
  if (const size_t dot = text.find('.'); dot != std::string::npos) {
    text.resize(dot);
  }
}

std::string_view FileNamePart(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1])) {
      return path.substr(i);
    }
  }
  return path;
}

std::string_view FolderPart(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1])) {
      return path.substr(0, i);
    }
  }
  return {};
}

std::vector<std::string> SplitText(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    pieces.emplace_back(
        text.substr(start, end == std::string_view::npos ? text.npos : end - start));
    if (end == std::string_view::npos) {
      return pieces;
    }
    start = end + 1;
  }
}

}  // namespace vantoril
