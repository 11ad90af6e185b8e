#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace vantoril {

// The program's settings: one text of "Key=Value" lines ending in CR LF after
// a section line, kept in memory for the whole run and written to
// "<product>.ini" at exit. Lines keep the order in which keys were first
// stored.
class SettingsStore {
 public:
  explicit SettingsStore(std::string productName = "Vantoril");

  // $XDG_CONFIG_HOME/<product>.ini, or ~/.config/<product>.ini.
  std::filesystem::path FilePath() const;

  // Reads the file; a missing file keeps the text as it is. A text that does
  // not carry the product name is replaced by the section line alone.
  void LoadSettings();
  void LoadSettingsFrom(const std::filesystem::path& file);
  // Writes the text; false when the file cannot be written, and `why` (when
  // given) says what failed.
  bool SaveSettings(std::error_code* why = nullptr) const;
  bool SaveSettingsTo(const std::filesystem::path& file, std::error_code* why = nullptr) const;

  std::string GetSetting(std::string_view key, std::string_view defaultValue) const;
  void PutSetting(std::string_view key, std::string_view value);
  int32_t GetSettingInt(std::string_view key, int32_t defaultValue) const;
  void PutSettingInt(std::string_view key, int32_t value);

  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  const std::string& ProductName() const { return productName_; }

 private:
  // Offset of the first character of key's value, or npos.
  size_t FindValue(std::string_view key) const;
  void EnsureSection();

  std::string productName_;
  std::string text_;
};

// The decimal conversion of the settings: leading white space and a sign
// allowed, stops at the first non-digit, no digits give 0.
int32_t ParseSettingInt(std::string_view text);

}  // namespace vantoril
