#include <gtest/gtest.h>

#include "platform/text_helpers.h"

namespace vantoril {
namespace {

// File names and the cut at the first dot are pinned with the Timeline's track labels, upper case
// with the file dialogs' filters.
TEST(TextHelpers, FoldersEndAtTheLastSeparatorAndEmptyPiecesCount) {
  EXPECT_EQ(FolderPart("C:\\Pictures\\a.bmp"), "C:\\Pictures\\");
  EXPECT_EQ(FolderPart("/home/me/a.bmp"), "/home/me/");
  EXPECT_EQ(FolderPart("a.bmp"), "");
  EXPECT_EQ(FileNamePart("a.bmp"), "a.bmp");
  EXPECT_EQ(SplitText("a||b", '|'), (std::vector<std::string>{"a", "", "b"}));
}

}  // namespace
}  // namespace vantoril
