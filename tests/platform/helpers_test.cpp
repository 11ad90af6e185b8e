#include <gtest/gtest.h>

#include "platform/byte_order.h"
#include "platform/text_helpers.h"

namespace vantoril {
namespace {

TEST(TextHelpers, SlashCountsAsASeparatorAsBackslashAndColonDo) {
  EXPECT_EQ(FileNamePart("C:\\Pictures\\a.bmp"), "a.bmp");
  EXPECT_EQ(FileNamePart("/home/me/a.bmp"), "a.bmp");
  EXPECT_EQ(FileNamePart("C:a.bmp"), "a.bmp");
  EXPECT_EQ(FileNamePart("a.bmp"), "a.bmp");
  EXPECT_EQ(FolderPart("C:\\Pictures\\a.bmp"), "C:\\Pictures\\");
  EXPECT_EQ(FolderPart("/home/me/a.bmp"), "/home/me/");
  EXPECT_EQ(FolderPart("a.bmp"), "");

  std::string text = "Dark\r\nSide.of.bmp";
  RemoveLineBreaks(text);
  EXPECT_EQ(text, "DarkSide.of.bmp");
  CutAtFirstDot(text);
  EXPECT_EQ(text, "DarkSide");
  UpperCase(text);
  EXPECT_EQ(text, "DARKSIDE");
  EXPECT_EQ(SplitText("a||b", '|'), (std::vector<std::string>{"a", "", "b"}));
}

TEST(ByteOrder, BothOrders) {
  const uint8_t bytes[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(IntegerFromBytes(bytes, false), 0x78563412u);
  EXPECT_EQ(IntegerFromBytes(bytes, true), 0x12345678u);
  EXPECT_EQ(IntegerFromBytes(std::span(bytes, 2), true), 0x1234u);
  uint8_t reversed[3] = {1, 2, 3};
  ReverseBytes(reversed);
  EXPECT_EQ(reversed[0], 3);
  EXPECT_EQ(reversed[2], 1);
}

}  // namespace
}  // namespace vantoril
