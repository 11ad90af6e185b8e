#include "engine/clip_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace vantoril {
namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

}  // namespace

bool IsTimedClipName(std::string_view path) {
  static constexpr std::array<std::string_view, 7> kEndings = {".MP4",  ".M4V", ".MKV", ".MXF",
                                                               ".WEBM", ".MTS", ".M2TS"};
  const std::string upper = Upper(path);
  return std::any_of(kEndings.begin(), kEndings.end(),
                     [&](std::string_view ending) { return upper.ends_with(ending); });
}

bool IsClipName(std::string_view path) {
  const std::string upper = Upper(path);
  return upper.find(".AVI") != std::string::npos || upper.find(".MOV") != std::string::npos ||
         IsTimedClipName(path);
}

}  // namespace vantoril
