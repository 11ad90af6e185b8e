#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "media/image_readers.h"

namespace vantoril {
namespace {

// Decodes into a row of width bytes, from a heap copy of exactly the source
// bytes so that a read past them is caught by the address sanitizer.
std::vector<uint8_t> Unpack(std::vector<uint8_t> source, size_t width, size_t* written = nullptr) {
  auto exact = std::make_unique<uint8_t[]>(source.size());
  std::copy(source.begin(), source.end(), exact.get());
  std::vector<uint8_t> row(width, 0xEE);
  const size_t count = UnpackBits(row, std::span<const uint8_t>(exact.get(), source.size()));
  if (written != nullptr) {
    *written = count;
  }
  return row;
}

TEST(UnpackBits, DecodesRunsAndLiterals) {
  size_t written = 0;
  // -2 repeats 3 times, 2 copies 3 literals, -1 repeats twice.
  EXPECT_EQ(Unpack({0xFE, 7, 0x02, 1, 2, 3, 0xFF, 9}, 8, &written),
            (std::vector<uint8_t>{7, 7, 7, 1, 2, 3, 9, 9}));
  EXPECT_EQ(written, 8u);
  // -128 gives 129 copies.
  EXPECT_EQ(Unpack({0x80, 4}, 129), std::vector<uint8_t>(129, 4));
  // A literal of 128 bytes.
  std::vector<uint8_t> literal = {0x7F};
  for (int i = 0; i < 128; ++i) {
    literal.push_back(static_cast<uint8_t>(i));
  }
  const std::vector<uint8_t> row = Unpack(literal, 128);
  EXPECT_EQ(row.front(), 0);
  EXPECT_EQ(row.back(), 127);
}

TEST(UnpackBits, StopsAtTheRowEnd) {
  size_t written = 0;
  EXPECT_EQ(Unpack({0xF9, 5}, 4, &written), (std::vector<uint8_t>{5, 5, 5, 5}));
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(Unpack({0x01, 1, 2, 0x03, 3, 4, 5, 6}, 3, &written), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(written, 3u);
}

TEST(UnpackBits, NeverReadsPastItsSource) {
  size_t written = 0;
  // A literal that promises 4 bytes and has 2; a run header with no value.
  EXPECT_EQ(Unpack({0x03, 1, 2}, 6, &written),
            (std::vector<uint8_t>{1, 2, 0xEE, 0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(Unpack({0x00, 8, 0xFD}, 3, &written), (std::vector<uint8_t>{8, 0xEE, 0xEE}));
  EXPECT_EQ(written, 1u);
  EXPECT_EQ(Unpack({}, 3, &written), (std::vector<uint8_t>{0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(written, 0u);
}

}  // namespace
}  // namespace vantoril
