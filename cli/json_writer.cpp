#include "cli/json_writer.h"

#include <cmath>
#include <cstdio>

namespace vantoril::cli {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 0;
  }
  if (i + length > text.size()) {
    return 0;
  }
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      return 0;
    }
  }
  return length;
}

}  // namespace

std::string FormatFloat(float value) {
  if (!std::isfinite(value)) {
    return "null";
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
  return buffer;
}

std::string JsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t length = Utf8Length(text, i); length > 0) {
      out.append(text.substr(i, length));
      i += length - 1;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    }
  }
  out += '"';
  return out;
}

void JsonWriter::Separator() {
  if (needComma_) {
    text_ += ',';
  }
  needComma_ = true;
}

void JsonWriter::Key(std::string_view key) {
  Separator();
  text_ += JsonQuoted(key);
  text_ += ':';
}

void JsonWriter::BeginObject() {
  text_ += '{';
  needComma_ = false;
}

void JsonWriter::BeginObjectInArray() {
  Separator();
  text_ += '{';
  needComma_ = false;
}

void JsonWriter::EndObject() {
  text_ += '}';
  needComma_ = true;
}

void JsonWriter::BeginArray(std::string_view key) {
  Key(key);
  text_ += '[';
  needComma_ = false;
}

void JsonWriter::EndArray() {
  text_ += ']';
  needComma_ = true;
}

void JsonWriter::Int(std::string_view key, int64_t value) {
  Key(key);
  text_ += std::to_string(value);
}

void JsonWriter::Float(std::string_view key, float value) {
  Key(key);
  text_ += FormatFloat(value);
}

void JsonWriter::String(std::string_view key, std::string_view value) {
  Key(key);
  text_ += JsonQuoted(value);
}

}  // namespace vantoril::cli
