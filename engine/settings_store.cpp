#include "engine/settings_store.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <span>
#include <system_error>

#include "engine/home_folder.h"
#include "engine/replace_file.h"

namespace vantoril {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// A value keeps at most this many characters.
constexpr size_t kMaxValueLength = 512;
// A settings file is a few hundred bytes; anything far larger is not ours.
constexpr std::uintmax_t kMaxFileSize = 1 << 20;

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

}  // namespace

int32_t ParseSettingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    // Saturate instead of overflowing on absurd hand-edited values.
    value = std::min<int64_t>(value, int64_t{std::numeric_limits<int32_t>::max()} + 1);
  }
  if (negative) {
    value = -value;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

SettingsStore::SettingsStore(std::string productName) : productName_(std::move(productName)) {
  EnsureSection();
}

std::filesystem::path SettingsStore::FilePath() const {
  std::filesystem::path folder;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
    folder = config;
  } else if (const std::filesystem::path home = HomeFolder(); !home.empty()) {
    folder = home / ".config";
  } else {
    folder = std::filesystem::temp_directory_path();
  }
  return folder / (productName_ + ".ini");
}

void SettingsStore::LoadSettings() {
  LoadSettingsFrom(FilePath());
}

void SettingsStore::LoadSettingsFrom(const std::filesystem::path& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (!error && size <= kMaxFileSize) {
    std::ifstream in(file, std::ios::binary);
    if (in) {
      std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!in.bad()) {
        text_ = std::move(content);
      }
    }
  }
  // A NUL ends the text, as it always has.
  if (const auto nul = text_.find('\0'); nul != std::string::npos) {
    text_.resize(nul);
  }
  EnsureSection();
}

bool SettingsStore::SaveSettings(std::error_code* why) const {
  return SaveSettingsTo(FilePath(), why);
}

bool SettingsStore::SaveSettingsTo(const std::filesystem::path& file, std::error_code* why) const {
  std::error_code error;
  if (file.has_parent_path()) {
    std::filesystem::create_directories(file.parent_path(), error);
  }
  // Write beside the file and rename over it, so that a failed write or a
  // crash never leaves a half-written settings file behind.
  return ReplaceFile(file, std::span(reinterpret_cast<const uint8_t*>(text_.data()), text_.size()),
                     ".tmp", why);
}

void SettingsStore::SetText(std::string text) {
  text_ = std::move(text);
  EnsureSection();
}

void SettingsStore::EnsureSection() {
  if (text_.find(productName_) == std::string::npos) {
    text_ = "[" + productName_ + "]" + std::string(kLineEnd);
  }
}

size_t SettingsStore::FindValue(std::string_view key) const {
  if (key.empty()) {
    return std::string::npos;
  }
  // A key matches only at the start of a line, so that "Scale" never reads
  // the value of "TimeScale".
  std::string pattern(key);
  pattern += '=';
  for (size_t at = text_.find(pattern); at != std::string::npos; at = text_.find(pattern, at + 1)) {
    if (at == 0 || IsLineBreak(text_[at - 1])) {
      return at + pattern.size();
    }
  }
  return std::string::npos;
}

std::string SettingsStore::GetSetting(std::string_view key, std::string_view defaultValue) const {
  const size_t begin = FindValue(key);
  if (begin == std::string::npos) {
    return std::string(defaultValue);
  }
  // A value ends at CR, LF or the end of the text (a hand-edited file).
  size_t end = begin;
  while (end < text_.size() && !IsLineBreak(text_[end])) {
    ++end;
  }
  return text_.substr(begin, end - begin);
}

void SettingsStore::PutSetting(std::string_view key, std::string_view value) {
  if (key.empty()) {
    return;
  }
  std::string clean;
  for (char c : value.substr(0, std::min(value.size(), kMaxValueLength))) {
    if (!IsLineBreak(c)) {
      clean += c;
    }
  }
  if (const size_t begin = FindValue(key); begin != std::string::npos) {
    size_t end = begin;
    while (end < text_.size() && !IsLineBreak(text_[end])) {
      ++end;
    }
    text_.replace(begin, end - begin, clean);
    if (begin + clean.size() == text_.size()) {
      text_ += kLineEnd;
    }
    return;
  }
  if (!text_.empty() && !IsLineBreak(text_.back())) {
    text_ += kLineEnd;
  }
  text_.append(key).append("=").append(clean).append(kLineEnd);
}

int32_t SettingsStore::GetSettingInt(std::string_view key, int32_t defaultValue) const {
  return ParseSettingInt(GetSetting(key, std::to_string(defaultValue)));
}

void SettingsStore::PutSettingInt(std::string_view key, int32_t value) {
  PutSetting(key, std::to_string(value));
}

}  // namespace vantoril
