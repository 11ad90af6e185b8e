#include "output/make_movie_options.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "engine/settings_store.h"
#include "engine/show_document.h"

namespace vantoril {
namespace {

constexpr int32_t kThirty = 3000;

MakeMovieOptions Build(const MakeMovieTexts& texts, int32_t showEnd = 300) {
  return BuildMakeMovieOptions(texts, showEnd, kThirty);
}

// Sizes are clamped to 4096 (width and height crossed, so that swapped
// fields cannot pass); the frame rate is a decimal up to 60.
TEST(MakeMovieOptionsTest, SizesAndFrameRate) {
  const std::pair<const char*, int> sizes[] = {
      {"5000", 4096}, {"-3", 0}, {"abc", 0}, {" 486 lines", 486}};
  for (int i = 0; i < 4; ++i) {
    MakeMovieTexts texts;
    texts.width = sizes[i].first;
    texts.height = sizes[3 - i].first;
    EXPECT_EQ(Build(texts).width, sizes[i].second) << i;
    EXPECT_EQ(Build(texts).height, sizes[3 - i].second) << i;
  }
  struct Case {
    const char* text;
    double rate;
  };
  for (auto [text, rate] :
       {Case{"29.97", 29.97}, Case{" 25", 25.0}, Case{"+23.976", 23.976}, Case{"75", 60.0},
        Case{"0", 0.0}, Case{"-30", 0.0}, Case{"abc", 0.0}, Case{"", 0.0}, Case{"nan", 0.0},
        Case{"inf", 60.0}, Case{"1e400", 0.0}, Case{"30fps", 30.0}, Case{"29,97", 29.97},
        Case{" 23,976", 23.976}, Case{"25,5.1", 25.0}}) {
    MakeMovieTexts texts;
    texts.frameRate = text;
    EXPECT_DOUBLE_EQ(Build(texts).frameRate, rate) << '"' << text << '"';
  }
}

TEST(MakeMovieOptionsTest, TimesAreTimecodesAndTotalCountsEveryWrittenFrame) {
  MakeMovieTexts texts;
  texts.startTimecode = "00:10:00";  // 10 seconds
  texts.endTimecode = "00:05:00";
  texts.holds = "00:00:10";  // ten frames
  MakeMovieOptions options = Build(texts);
  EXPECT_EQ(options.startTime, 300);
  EXPECT_EQ(options.endTime, 150);
  EXPECT_EQ(options.holdFrames, 10);
  // A backwards range still renders |end - start| frames per pass.
  EXPECT_EQ(options.totalFrames, 170);
  texts.reverseToo = "1";
  options = Build(texts);
  EXPECT_TRUE(options.reverseToo);
  EXPECT_EQ(options.totalFrames, 340);

  // With "Reverse too?" a range of 100 frames and no holds is 200 frames.
  texts.startTimecode = "0";
  texts.endTimecode = "03:10";
  texts.holds = "";
  EXPECT_EQ(Build(texts).totalFrames, 200);
  // A range of no frame has no frame to hold either.
  texts.endTimecode = "0";
  texts.holds = "00:00:10";
  EXPECT_EQ(Build(texts).totalFrames, 0);

  // The end counts from the show's end; negative times are 0.
  for (auto [text, end] : {std::pair{"", 450}, {"+10", 460}, {"-10", 440}}) {
    texts.endTimecode = text;
    EXPECT_EQ(Build(texts, 450).endTime, end) << text;
  }
  texts.startTimecode = "-10";
  texts.holds = "-5";
  options = Build(texts, 450);
  EXPECT_EQ(options.startTime, 0);
  EXPECT_EQ(options.holdFrames, 0);
}

TEST(MakeMovieOptionsTest, CheckBoxesQualityAndNormalForm) {
  MakeMovieTexts texts;
  texts.renderFields = "";
  texts.quality = "150";
  MakeMovieOptions options = Build(texts);
  EXPECT_EQ(options.fieldMode, FieldMode::kFullFrame);
  EXPECT_FALSE(options.reverseToo);
  EXPECT_EQ(options.quality, 100);
  texts.renderFields = "1";
  texts.quality = "42";
  texts.startTimecode = "1:2";
  texts.holds = "90";  // a two-digit frames field: three seconds
  options = Build(texts);
  EXPECT_EQ(options.fieldMode, FieldMode::kInterlacedFields);
  EXPECT_EQ(options.quality, 42);
  NormaliseTimecodeTexts(texts, options, kThirty);
  EXPECT_EQ(texts.startTimecode, "00:01:02");
  EXPECT_EQ(texts.holds, "00:03:00");
  EXPECT_EQ(texts.endTimecode, "00:10:00");
}

TEST(MakeMovieOptionsTest, TextsComeFromAndGoToTheSettings) {
  SettingsStore settings;
  MakeMovieTexts texts = ReadMakeMovieTexts(settings, 95, kThirty);
  EXPECT_EQ(texts.width, "720");
  EXPECT_EQ(texts.height, "480");
  EXPECT_EQ(texts.startTimecode, "00:00:00");
  EXPECT_EQ(texts.endTimecode, "00:03:05");
  EXPECT_EQ(texts.holds, "00:00:00");
  EXPECT_EQ(texts.frameRate, "29.97");
  EXPECT_EQ(texts.quality, "100");
  EXPECT_EQ(texts.renderFields, "1");
  EXPECT_EQ(texts.reverseToo, "");

  texts.width = std::string(80, '7');
  texts.reverseToo = "1";
  texts.endTimecode = "00:09:00";
  StoreMakeMovieTexts(settings, texts);
  const MakeMovieTexts again = ReadMakeMovieTexts(settings, 95, kThirty);
  EXPECT_EQ(again.width, std::string(63, '7'));
  EXPECT_EQ(again.reverseToo, "1");
  EXPECT_EQ(again.endTimecode, "00:03:05");  // the end is never stored
}

TEST(MakeMovieOptionsTest, ShowEndIsTheLatestLastKeyFrame) {
  SettingsStore settings;
  ShowDocument document(settings);
  EXPECT_EQ(ShowEndTime(document), 0);
  document.pictureCount = 2;
  const auto lastAt = [&](int slot, int count, int32_t time) {
    Picture picture{.keyCount = count};
    picture.keys[count - 1].time = time;
    document.SetPicture(slot, std::move(picture));
  };
  lastAt(0, 2, 120);
  lastAt(1, 1, 200);
  lastAt(2, 1, 999);  // not a picture of the show
  EXPECT_EQ(ShowEndTime(document), 200);
}

}  // namespace
}  // namespace vantoril
