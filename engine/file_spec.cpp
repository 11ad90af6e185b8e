#include "engine/file_spec.h"

#include <algorithm>
#include <cstring>

namespace vantoril {

std::string_view FileSpec::Path() const {
  const auto* end = static_cast<const char*>(std::memchr(path.data(), 0, path.size()));
  return {path.data(), end ? static_cast<size_t>(end - path.data()) : path.size()};
}

bool FileSpec::SetPath(std::string_view text) {
  if (text.size() >= path.size()) {
    return false;
  }
  path.fill(0);
  std::copy(text.begin(), text.end(), path.begin());
  return true;
}

}  // namespace vantoril
