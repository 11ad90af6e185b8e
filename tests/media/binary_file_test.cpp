#include "media/binary_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <vector>

#include "support/test_files.h"

namespace vantoril {
namespace {

// The same reads through a file on disk and through memory.
void ExpectReads(BinaryFile& file) {
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), 6);
  std::array<uint8_t, 4> bytes{};
  EXPECT_EQ(file.Read(bytes.data(), 4), 4u);
  EXPECT_EQ(bytes, (std::array<uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(file.Position(), 4);
  EXPECT_EQ(file.Read(bytes.data(), 4), 2u);  // short at the end
  EXPECT_EQ(bytes[1], 6);
  EXPECT_TRUE(file.Seek(1));
  EXPECT_TRUE(file.Skip(2));
  EXPECT_EQ(file.Read(bytes.data(), 1), 1u);
  EXPECT_EQ(bytes[0], 4);
  // Past the end: allowed, reads nothing.
  EXPECT_TRUE(file.Seek(1000));
  EXPECT_EQ(file.Read(bytes.data(), 4), 0u);
  EXPECT_FALSE(file.Seek(-1));
  EXPECT_EQ(file.Write(bytes.data(), 1), 0u);  // opened for reading
}

TEST(BinaryFile, WritesThenReadsFromDiskAndMemory) {
  const std::string path = (test::FreshFolder("binary_file") / "file.bin").string();
  const std::vector<uint8_t> content = {1, 2, 3, 4, 5, 6};
  {
    BinaryFile out;
    ASSERT_TRUE(out.Open(path, BinaryFile::Mode::kWrite));
    EXPECT_EQ(out.Write(content.data(), content.size()), content.size());
    EXPECT_EQ(out.Size(), 6);
    EXPECT_TRUE(out.Close());
    EXPECT_FALSE(out.IsOpen());
  }
  BinaryFile disk;
  ASSERT_TRUE(disk.Open(path, BinaryFile::Mode::kRead));
  ExpectReads(disk);

  BinaryFile memory;
  memory.OpenMemory(content);
  ExpectReads(memory);

  // A move hands the open file over.
  BinaryFile moved = std::move(disk);
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_FALSE(disk.IsOpen());  // NOLINT(bugprone-use-after-move): the moved-from state is defined
  EXPECT_EQ(moved.Size(), 6);

  // A missing file does not open and reads nothing.
  BinaryFile missing;
  EXPECT_FALSE(missing.Open(path + ".none", BinaryFile::Mode::kRead));
  EXPECT_FALSE(missing.IsOpen());
  std::array<uint8_t, 2> bytes{};
  EXPECT_EQ(missing.Read(bytes.data(), 2), 0u);
  EXPECT_EQ(missing.Size(), -1);

  // Nor do a pipe (its read would wait for a writer), a device or a folder.
  ASSERT_EQ(mkfifo((path + ".pipe").c_str(), 0600), 0);
  for (const std::string& other : {path + ".pipe", std::string("/dev/zero"),
                                   test::FreshFolder("binary_file_folder").string()}) {
    EXPECT_FALSE(missing.Open(other, BinaryFile::Mode::kRead)) << other;
  }
}

}  // namespace
}  // namespace vantoril
