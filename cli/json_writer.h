#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantoril::cli {

// A small streaming JSON writer for the tool's fixed output shapes. Floats
// print with 9 significant digits, so that they read back to the same 32-bit
// value; values that JSON cannot hold (NaN, infinities) print as null.
class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray(std::string_view key);
  void EndArray();
  void BeginObjectInArray();
  void Int(std::string_view key, int64_t value);
  void Float(std::string_view key, float value);
  void String(std::string_view key, std::string_view value);

  const std::string& Text() const { return text_; }

 private:
  void Key(std::string_view key);
  void Separator();

  std::string text_;
  bool needComma_ = false;
};

// The text as a JSON string literal. Bytes that are not UTF-8 (paths from
// older systems) are taken as Latin-1.
std::string JsonQuoted(std::string_view text);

std::string FormatFloat(float value);

}  // namespace vantoril::cli
