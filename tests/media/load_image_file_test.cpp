#include "media/load_image_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/file_spec.h"
#include "engine/image_buffer.h"
#include "engine/message_sink.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "engine/show_file.h"
#include "media/image_file_loader.h"
#include "support/message_recorder.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

// The reader tests' picture files (see image_readers_test.cpp).
const std::string kPictures = VANTORIL_TEST_DATA "/images";

FileSpec FileRefFor(const std::string& path) {
  FileSpec fileRef;
  EXPECT_TRUE(path.empty() || fileRef.SetPath(path));
  return fileRef;
}

class LoadImageFileTest : public ::testing::Test {
 protected:
  int Load(const std::string& path, const std::string& altFolder, bool showErrors,
           UnreadablePicture* problem = nullptr) {
    return LoadImageFile(image_, FileRefFor(path), FileRefFor(altFolder), showErrors, sink_,
                         problem);
  }

  ImageBuffer image_{16, 16, 8};
  test::MessageRecorder sink_;
};

TEST_F(LoadImageFileTest, LoadsTheFileOrTheSameNameInTheAlternateFolder) {
  EXPECT_EQ(Load(kPictures + "/bmp24.bmp", "", true), kImageLoaded);
  EXPECT_EQ(image_.BitsPerPixel(), 24);
  // The folder path with and without its final separator; the picture path
  // as written on this system and on others.
  for (const std::string& folder : {kPictures, kPictures + "/"}) {
    for (const std::string& picture :
         {kPictures + "/gone/bmp8.bmp", std::string("C:\\shows\\bmp8.bmp"),
          std::string("Disk:Pictures:bmp8.bmp")}) {
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
  const struct {
    const char* file;  // missing.bmp is neither here nor in the alternate folder
    std::string firstLine;
    PictureProblem problem;
  } cases[] = {
      {"missing.bmp", "Can't open graphics file", PictureProblem::kNoSuchFile},
      {"bmp8-rle.bmp", "Can't read compressed images", PictureProblem::kUnknownFormat},
      {"bmp24-width-8193.bmp", "Images must be smaller than 8192 pixels",
       PictureProblem::kTooLarge},
      {"bmp4.bmp", "Images must have 256 colors or more", PictureProblem::kUnknownFormat},
      {"tga4.tga", "Can't read image file  [ 3 ]", PictureProblem::kUnknownFormat},
      {"bmp-cut-in-header.bmp", "Can't read image file  [ 3 ]", PictureProblem::kDamaged},
      {"not-a-picture.gif", "Can't read image file  [ 3 ]", PictureProblem::kUnknownFormat},
      {"png-half.png", "Can't read image file  [ 3 ]", PictureProblem::kDamaged},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = kPictures + "/" + c.file;
    sink_.Clear();
    EXPECT_EQ(Load(path, kPictures + "/gone", true), kImageLoadFailed);
    ASSERT_EQ(sink_.texts.size(), 1u);
    EXPECT_EQ(sink_.texts[0], c.firstLine + "\n" + path);
    EXPECT_EQ(sink_.codes[0], MessageSink::kNoCode);

    sink_.Clear();
    UnreadablePicture problem;
    EXPECT_EQ(Load(path, kPictures + "/gone", false, &problem), kImagePlaceholderLoaded);
    EXPECT_TRUE(sink_.texts.empty());
    EXPECT_EQ(problem.problem, c.problem);
    EXPECT_EQ(problem.path, path);

    // The placeholder: 160 x 120, black and some white.
    ASSERT_EQ(image_.Width(), 160);
    ASSERT_EQ(image_.Height(), 120);
    ASSERT_EQ(image_.BitsPerPixel(), 24);
    int white = 0;
    for (const uint8_t value : image_.PixelBlock()) {
      ASSERT_TRUE(value == 0 || value == 255);
      white += value == 255;
    }
    EXPECT_GT(white, 0);
    EXPECT_LT(white, 160 * 120 * 3 / 2);
  }
}

TEST_F(LoadImageFileTest, BufferWithoutHeaderFailsSilently) {
  ImageBuffer never;
  const std::string path = kPictures + "/bmp24.bmp";
  EXPECT_EQ(LoadImageFile(never, FileRefFor(path), FileSpec{}, true, sink_), kImageLoadFailed);
  EXPECT_EQ(LoadImageFile(never, FileRefFor(path + ".missing"), FileSpec{}, false, sink_),
            kImageLoadFailed);
  EXPECT_FALSE(never.HasHeader());
  EXPECT_TRUE(sink_.texts.empty());
}

TEST_F(LoadImageFileTest, ClosesTheFileOnEveryPath) {
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const auto before = openFiles();
  for (bool showErrors : {true, false}) {
    for (const char* file : {"bmp24.bmp", "bmp8-rle.bmp", "missing.bmp"}) {
      Load(kPictures + "/" + file, "", showErrors);
    }
  }
  EXPECT_EQ(openFiles(), before);
}

TEST_F(LoadImageFileTest, LoaderForwardsToLoadImageFile) {
  ImageFileLoader loader(sink_);
  EXPECT_TRUE(loader.JpegAvailable());
  EXPECT_EQ(loader.LoadImageFile(image_, FileRefFor(kPictures + "/missing.bmp"), FileSpec{}, true),
            PictureLoad::kFailed);
  ASSERT_EQ(sink_.texts.size(), 1u);
  EXPECT_EQ(loader.LastProblem().problem, PictureProblem::kNoSuchFile);
  EXPECT_EQ(loader.LoadImageFile(image_, FileRefFor(kPictures + "/bmp24.bmp"), FileSpec{}, true),
            PictureLoad::kLoaded);
  EXPECT_EQ(loader.LastProblem().problem, PictureProblem::kNone);
}

// The loader read one file at a time, as a loader that cannot read on
// several threads is.
class OneAtATime final : public PictureLoader {
 public:
  explicit OneAtATime(ImageFileLoader& loader) : loader_(loader) {}
  PictureLoad LoadImageFile(ImageBuffer& image, const FileSpec& file, const FileSpec& altFolder,
                            bool showErrors) override {
    return loader_.LoadImageFile(image, file, altFolder, showErrors);
  }
  UnreadablePicture LastProblem() const override { return loader_.LastProblem(); }
  bool JpegAvailable() const override { return true; }

 private:
  ImageFileLoader& loader_;
};

// A show's pictures are read on every core at once; the show that comes of it
// is the one read a file at a time: the same pictures in the same slots, the
// same placeholders, and the unreadable ones listed in the show's order.
TEST_F(LoadImageFileTest, AShowReadOnEveryCoreIsTheShowReadOneFileAtATime) {
  const std::vector<std::string> names = {
      "bmp24.bmp",       "missing.bmp",        "jpeg-rgb.jpg",  "jpeg-garbage.jpg",
      "psd-indexed.psd", "png-grey-alpha.png", "bmp8-rle.bmp",  "jpeg-progressive.jpg",
      "tif-mm-rgba.tif", "bmp32.bmp",          "jpeg-half.jpg", "png-half.png"};
  const std::filesystem::path show = test::FreshFolder("parallel_read") / "show.vsh";
  {
    ShowDocument document{SettingsStore{}};
    for (size_t slot = 0; slot < names.size(); ++slot) {
      Picture picture;
      ASSERT_TRUE(picture.file.SetPath(kPictures + "/" + names[slot]));
      picture.keyCount = 1;
      document.SetPicture(static_cast<int>(slot), std::move(picture));
    }
    document.pictureCount = static_cast<int>(names.size());
    document.alphaBlur = 1;
    document.videoColors = 1;
    ASSERT_EQ(SaveShowFile(document, show), ShowFileStatus::kOk);
  }
  ImageFileLoader loader(sink_);
  OneAtATime oneAtATime(loader);
  ShowDocument together{SettingsStore{}};
  ShowDocument alone{SettingsStore{}};
  together.SetPictureLoader(&loader);
  alone.SetPictureLoader(&oneAtATime);
  ASSERT_EQ(LoadShowFile(together, show, false), ShowFileStatus::kOk);
  ASSERT_EQ(LoadShowFile(alone, show, false), ShowFileStatus::kOk);
  EXPECT_TRUE(sink_.texts.empty());

  ASSERT_EQ(together.pictureCount, static_cast<int>(names.size()));
  ASSERT_EQ(alone.pictureCount, together.pictureCount);
  for (int slot = 0; slot < together.pictureCount; ++slot) {
    const Picture& a = together.PictureAt(slot);
    const Picture& b = alone.PictureAt(slot);
    EXPECT_EQ(a.file, b.file) << slot;
    EXPECT_EQ(a.problem, b.problem) << names[static_cast<size_t>(slot)];
    ASSERT_EQ(a.image.Width(), b.image.Width()) << slot;
    ASSERT_EQ(a.image.Height(), b.image.Height()) << slot;
    for (int y = 0; y < a.image.Height(); ++y) {
      ASSERT_TRUE(std::equal(a.image.RowPointer(y), a.image.RowPointer(y) + 4 * a.image.Width(),
                             b.image.RowPointer(y)))
          << names[static_cast<size_t>(slot)] << " row " << y;
    }
  }
  const std::vector<UnreadablePicture> unreadTogether = together.TakeUnreadablePictures();
  const std::vector<UnreadablePicture> unreadAlone = alone.TakeUnreadablePictures();
  ASSERT_EQ(unreadTogether.size(), unreadAlone.size());
  EXPECT_GE(unreadTogether.size(), 3u);
  for (size_t i = 0; i < unreadAlone.size(); ++i) {
    EXPECT_EQ(unreadTogether[i].path, unreadAlone[i].path);
    EXPECT_EQ(unreadTogether[i].problem, unreadAlone[i].problem);
  }
}

}  // namespace
}  // namespace vantoril
