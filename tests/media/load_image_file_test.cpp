#include "media/load_image_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/file_spec.h"
#include "engine/image_buffer.h"
#include "engine/message_sink.h"
#include "media/image_file_loader.h"
#include "media/support/image_file_builder.h"
#include "support/message_recorder.h"

namespace vantoril {
namespace {

using test::ByteWriter;

// A 2 x 2 BMP at the given depth: 8, 24 or 32 bits. For 32 bits every alpha
// byte is alpha.
std::vector<uint8_t> SmallBmp(int bitCount, uint32_t compression = 0, int width = 2,
                              uint8_t alpha = 0) {
  ByteWriter pixels;
  const int rowBytes = (width * (bitCount / 8) + 3) & ~3;
  for (int y = 0; y < 2; ++y) {
    for (int i = 0; i < rowBytes; ++i) {
      pixels.U8(bitCount == 32 && i % 4 == 3 ? alpha : 100 + i);
    }
  }
  ByteWriter file;
  file.Text("BM")
      .U32LE(54 + static_cast<uint32_t>(pixels.Size()))
      .U32LE(0)
      .U32LE(54)
      .U32LE(40)
      .U32LE(width)
      .U32LE(2)
      .U16LE(1)
      .U16LE(bitCount)
      .U32LE(compression)
      .Fill(20)
      .Bytes(pixels.Data());
  return file.Data();
}

FileSpec FileRefFor(const std::string& path) {
  FileSpec fileRef;
  EXPECT_TRUE(fileRef.SetPath(path));
  return fileRef;
}

class LoadImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = test::TestFolder() / "load";
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_ / "alt");
    image_.Create(16, 16, 8);
  }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    return test::WriteTestFile(std::string("load/") + name, bytes);
  }

  int Load(const std::string& path, const std::string& altFolder, bool showErrors) {
    FileSpec folder;
    if (!altFolder.empty()) {
      folder = FileRefFor(altFolder);
    }
    return LoadImageFile(image_, FileRefFor(path), folder, showErrors, sink_);
  }

  std::filesystem::path folder_;
  ImageBuffer image_;
  test::MessageRecorder sink_;
};

TEST_F(LoadImageFileTest, LoadsTheFileOrTheSameNameInTheAlternateFolder) {
  const std::string path = Write("here.bmp", SmallBmp(24));
  EXPECT_EQ(Load(path, "", true), kImageLoaded);
  EXPECT_EQ(image_.BitsPerPixel(), 24);

  Write("alt/moved.bmp", SmallBmp(8));
  const std::string alt = (folder_ / "alt").string();
  // The folder path with and without its final separator; the picture path
  // as written on this system and on another.
  for (const std::string& folder : {alt, alt + "/"}) {
    for (const std::string& picture :
         {(folder_ / "gone" / "moved.bmp").string(), std::string("C:\\shows\\moved.bmp"),
          std::string("Disk:Pictures:moved.bmp")}) {
      image_.Create(16, 16, 24);
      EXPECT_EQ(Load(picture, folder, true), kImageLoaded) << picture << " in " << folder;
      EXPECT_EQ(image_.BitsPerPixel(), 8);
    }
  }
  EXPECT_TRUE(sink_.texts.empty());
}

// The fixed text stays the first line (scripts match it, code included);
// the file's path follows on the second. With messages off the placeholder
// is loaded instead, silently; the reason in words is reported either way.
TEST_F(LoadImageFileTest, EachReadFailureHasItsMessageAndReason) {
  struct Case {
    std::vector<uint8_t> bytes;  // none: the file is missing here and in the alternate folder
    std::string firstLine;
    PictureProblem problem;
  };
  const std::vector<uint8_t> targaDepth4 = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 4, 0};
  const std::vector<uint8_t> cutBmp = {'B', 'M', 1, 2, 3};
  const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H',
                                    'D',  'R', 0,   0,   0,  1,  0,  0,  0, 1, 8, 6,  0,   0};
  const Case cases[] = {
      {{}, "Can't open graphics file", PictureProblem::kNoSuchFile},
      {SmallBmp(8, 1), "Can't read compressed images", PictureProblem::kUnknownFormat},
      {SmallBmp(24, 0, 8193), "Images must be smaller than 8192 pixels", PictureProblem::kTooLarge},
      {SmallBmp(4), "Images must have 256 colors or more", PictureProblem::kUnknownFormat},
      {targaDepth4, "Can't read image file  [ 3 ]", PictureProblem::kUnknownFormat},
      {cutBmp, "Can't read image file  [ 3 ]", PictureProblem::kDamaged},
      {png, "Can't read image file  [ 3 ]", PictureProblem::kUnknownFormat},
  };
  const std::string alt = (folder_ / "alt").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firstLine);
    const std::string path =
        c.bytes.empty() ? (folder_ / "missing.bmp").string() : Write("bad.img", c.bytes);
    sink_.Clear();
    EXPECT_EQ(Load(path, alt, true), kImageLoadFailed);
    ASSERT_EQ(sink_.texts.size(), 1u);
    EXPECT_EQ(sink_.texts[0], c.firstLine + "\n" + path);
    EXPECT_EQ(sink_.codes[0], MessageSink::kNoCode);

    sink_.Clear();
    UnreadablePicture problem;
    EXPECT_EQ(LoadImageFile(image_, FileRefFor(path), FileRefFor(alt), false, sink_, &problem),
              kImagePlaceholderLoaded);
    EXPECT_TRUE(sink_.texts.empty());
    EXPECT_EQ(problem.problem, c.problem);
    EXPECT_EQ(problem.path, path);

    // The placeholder: 160 x 120, black and some white.
    ASSERT_EQ(image_.Width(), 160);
    ASSERT_EQ(image_.Height(), 120);
    ASSERT_EQ(image_.BitsPerPixel(), 24);
    int white = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 160 * 3; ++x) {
        const uint8_t value = image_.RowPointer(y)[x];
        ASSERT_TRUE(value == 0 || value == 255);
        white += value == 255;
      }
    }
    EXPECT_GT(white, 0);
    EXPECT_LT(white, 160 * 120 * 3 / 2);
  }
}

TEST_F(LoadImageFileTest, BufferWithoutHeaderFailsSilently) {
  const std::string path = Write("fine.bmp", SmallBmp(24));
  ImageBuffer never;
  EXPECT_EQ(LoadImageFile(never, FileRefFor(path), FileSpec{}, true, sink_), kImageLoadFailed);
  EXPECT_EQ(LoadImageFile(never, FileRefFor(path + ".missing"), FileSpec{}, false, sink_),
            kImageLoadFailed);
  EXPECT_FALSE(never.HasHeader());
  EXPECT_TRUE(sink_.texts.empty());
}

TEST_F(LoadImageFileTest, ZeroAlphaPictureLoadsOpaque) {
  const std::string path = Write("noalpha.bmp", SmallBmp(32));
  ASSERT_EQ(Load(path, "", true), kImageLoaded);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(image_.RowPointer(y)[3], 255);
    EXPECT_EQ(image_.RowPointer(y)[7], 255);
  }
  ASSERT_EQ(Load(Write("alpha.bmp", SmallBmp(32, 0, 2, 9)), "", true), kImageLoaded);
  EXPECT_EQ(image_.RowPointer(1)[7], 9);
}

TEST_F(LoadImageFileTest, ClosesTheFileOnEveryPath) {
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const std::string good = Write("good.bmp", SmallBmp(24));
  const std::string bad = Write("bad.bmp", SmallBmp(8, 1));
  const auto before = openFiles();
  for (bool showErrors : {true, false}) {
    Load(good, "", showErrors);
    Load(bad, "", showErrors);
    Load(good + ".missing", "", showErrors);
  }
  EXPECT_EQ(openFiles(), before);
}

TEST_F(LoadImageFileTest, LoaderForwardsToLoadImageFile) {
  ImageFileLoader loader(sink_);
  EXPECT_TRUE(loader.JpegAvailable());
  EXPECT_EQ(
      loader.LoadImageFile(image_, FileRefFor((folder_ / "none.bmp").string()), FileSpec{}, true),
      PictureLoad::kFailed);
  ASSERT_EQ(sink_.texts.size(), 1u);
  EXPECT_EQ(loader.LastProblem().problem, PictureProblem::kNoSuchFile);
  EXPECT_EQ(
      loader.LoadImageFile(image_, FileRefFor(Write("ok.bmp", SmallBmp(24))), FileSpec{}, true),
      PictureLoad::kLoaded);
  EXPECT_EQ(loader.LastProblem().problem, PictureProblem::kNone);
}

}  // namespace
}  // namespace vantoril
