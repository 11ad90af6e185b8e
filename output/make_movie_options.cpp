#include "output/make_movie_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "engine/timecode.h"

namespace vantoril {
namespace {

constexpr size_t kMaxTextLength = 63;

std::string ReadText(const SettingsStore& settings, std::string_view key,
                     std::string_view defaultValue) {
  std::string text = settings.GetSetting(key, defaultValue);
  if (text.size() > kMaxTextLength) text.resize(kMaxTextLength);
  return text;
}

// The decimal value of a text: leading blanks and a sign, then the longest
// number; anything else gives 0. Independent of the locale, so "29.97" is
// the same everywhere; a decimal comma, as much of the world writes it, is
// read as the point, so that "29,97" is not taken for 29.
double ParseDecimal(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::string number(text.substr(0, kMaxTextLength));
  if (const size_t comma = number.find(',');
      comma != std::string::npos && number.find('.') == std::string::npos) {
    number[comma] = '.';
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || std::isnan(value)) return 0.0;
  return value;
}

}  // namespace

int32_t ShowEndTime(const ShowDocument& document) {
  int32_t end = 0;
  const int count = std::clamp(document.pictureCount, 0, kMaxPictures);
  for (int slot = 0; slot < count; ++slot) {
    const auto keys = document.PictureAt(slot).Keys();
    if (!keys.empty()) end = std::max(end, keys.back().time);
  }
  return end;
}

MakeMovieTexts ReadMakeMovieTexts(const SettingsStore& settings, int32_t showEndTime,
                                  int32_t frameRate) {
  MakeMovieTexts texts;
  texts.width = ReadText(settings, "MovieWid", "720");
  texts.height = ReadText(settings, "MovieHgt", "480");
  texts.startTimecode = ReadText(settings, "MovieStart", "00:00:00");
  texts.endTimecode = FormatTimecode(showEndTime, true, frameRate);
  texts.holds = ReadText(settings, "MovieHold", "00:00:00");
  texts.frameRate = ReadText(settings, "MovieFPS", "29.97");
  texts.quality = ReadText(settings, "MovieQuality", "100");
  texts.renderFields = ReadText(settings, "MovieFields", "1");
  texts.reverseToo = ReadText(settings, "MovieReverse", "");
  return texts;
}

MakeMovieOptions BuildMakeMovieOptions(const MakeMovieTexts& texts, int32_t showEndTime,
                                       int32_t frameRate) {
  MakeMovieOptions options;
  options.width = std::clamp(ParseSettingInt(texts.width), 0, kLargestMovieSide);
  options.height = std::clamp(ParseSettingInt(texts.height), 0, kLargestMovieSide);

  options.startTime = 0;
  ParseTimecode(options.startTime, texts.startTimecode, frameRate);
  options.endTime = showEndTime;
  ParseTimecode(options.endTime, texts.endTimecode, frameRate);
  options.holdFrames = 0;
  ParseTimecode(options.holdFrames, texts.holds, frameRate);
  options.startTime = std::max(options.startTime, 0);
  options.endTime = std::max(options.endTime, 0);
  options.holdFrames = std::max(options.holdFrames, 0);

  options.frameRate = std::clamp(ParseDecimal(texts.frameRate), 0.0, kLargestMovieRate);
  options.quality = std::clamp(ParseSettingInt(texts.quality), 0, 100);
  options.fieldMode =
      texts.renderFields.empty() ? FieldMode::kFullFrame : FieldMode::kInterlacedFields;
  options.reverseToo = !texts.reverseToo.empty();

  options.totalFrames = static_cast<int32_t>(
      std::min<int64_t>(MovieFrames(options), std::numeric_limits<int32_t>::max()));
  return options;
}

int64_t PassFrames(const MakeMovieOptions& options) {
  // A pass renders |end - start| frames, in whichever direction it runs.
  const int64_t rendered = std::abs(int64_t{options.endTime} - int64_t{options.startTime});
  return rendered == 0 ? 0 : rendered + 2 * int64_t{std::max(options.holdFrames, 0)};
}

int64_t MovieFrames(const MakeMovieOptions& options) {
  return options.reverseToo ? 2 * PassFrames(options) : PassFrames(options);
}

void NormaliseTimecodeTexts(MakeMovieTexts& texts, const MakeMovieOptions& options,
                            int32_t frameRate) {
  texts.startTimecode = FormatTimecode(options.startTime, true, frameRate);
  texts.endTimecode = FormatTimecode(options.endTime, true, frameRate);
  texts.holds = FormatTimecode(options.holdFrames, true, frameRate);
}

void StoreMakeMovieTexts(SettingsStore& settings, const MakeMovieTexts& texts) {
  settings.PutSetting("MovieWid", texts.width);
  settings.PutSetting("MovieHgt", texts.height);
  settings.PutSetting("MovieStart", texts.startTimecode);
  settings.PutSetting("MovieHold", texts.holds);
  settings.PutSetting("MovieFPS", texts.frameRate);
  settings.PutSetting("MovieQuality", texts.quality);
  settings.PutSetting("MovieFields", texts.renderFields);
  settings.PutSetting("MovieReverse", texts.reverseToo);
}

}  // namespace vantoril
