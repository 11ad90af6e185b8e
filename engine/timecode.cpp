#include "engine/timecode.h"

#include <array>
#include <cstdio>
#include <limits>

namespace vantoril {
namespace {

int64_t RoundedRate(int64_t frameRate) {
  return (frameRate + 50) / 100;
}

int32_t Saturate(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

}  // namespace

std::string FormatTimecode(int32_t frames, bool shortForm, int32_t frameRate) {
  // A rate below 1 would divide by zero; the program's sanitised rate is
  // never below 1, so this only guards callers with a bad value.
  const int64_t rate = frameRate >= 1 ? frameRate : 1;
  const int64_t wholeRate = RoundedRate(rate) >= 1 ? RoundedRate(rate) : 1;
  const int64_t framesPerMinute = 60 * rate / 100 >= 1 ? 60 * rate / 100 : 1;

  // 64 bits: negating INT32_MIN must not overflow.
  int64_t n = frames;
  char separator = ':';
  if (n < 0) {
    separator = '.';
    n = -n;
  }
  const int64_t hours = (n / (36 * rate)) % 12;
  n -= hours * 36 * rate;
  const int64_t minutes = (n / framesPerMinute) % 60;
  n -= minutes * framesPerMinute;
  const int64_t seconds = (n / wholeRate) % 60;
  const int64_t frameField = (n % wholeRate) % 60;

  std::array<char, 16> text{};
  if (shortForm) {
    std::snprintf(text.data(), text.size(), "%02d:%02d%c%02d", static_cast<int>(minutes),
                  static_cast<int>(seconds), separator, static_cast<int>(frameField));
  } else {
    std::snprintf(text.data(), text.size(), "%02d:%02d:%02d%c%02d", static_cast<int>(hours),
                  static_cast<int>(minutes), static_cast<int>(seconds), separator,
                  static_cast<int>(frameField));
  }
  return text.data();
}

bool ParseTimecode(int32_t& value, std::string_view text, int32_t frameRate) {
  const int64_t wholeRate = RoundedRate(frameRate);
  const std::array<int64_t, 4> weights = {1, wholeRate, 60 * wholeRate, 3600 * wholeRate};

  int64_t parsed = 0;
  size_t field = 0;
  bool anyDigit = false;
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  for (size_t i = text.size(); i-- > 0;) {
    if (!isDigit(text[i])) continue;
    int64_t number = text[i] - '0';
    if (i > 0 && isDigit(text[i - 1])) {
      --i;
      number += 10 * (text[i] - '0');
    }
    anyDigit = true;
    if (field < weights.size()) parsed += number * weights[field];
    ++field;
  }
  if (!anyDigit) return false;

  if (!text.empty() && text.front() == '+') {
    value = Saturate(int64_t{value} + parsed);
  } else if (!text.empty() && text.front() == '-') {
    value = Saturate(int64_t{value} - parsed);
  } else {
    value = Saturate(parsed);
  }
  return true;
}

}  // namespace vantoril
