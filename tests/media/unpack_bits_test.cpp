#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "media/image_readers.h"

namespace vantoril {
namespace {

// Decodes into a row of width bytes, from a heap copy of exactly the source
// bytes so that a read past them is caught by the address sanitizer.
std::vector<uint8_t> Unpack(const std::vector<uint8_t>& source, size_t width, size_t& written) {
  auto exact = std::make_unique<uint8_t[]>(source.size());
  std::copy(source.begin(), source.end(), exact.get());
  std::vector<uint8_t> row(width, 0xEE);
  written = UnpackBits(row, std::span<const uint8_t>(exact.get(), source.size()));
  return row;
}

TEST(UnpackBits, DecodesRunsAndLiteralsWithinRowAndSource) {
  const uint8_t E = 0xEE;  // a byte not written
  const struct {
    std::vector<uint8_t> source;
    std::vector<uint8_t> row;
    size_t written;
  } cases[] = {
      // -2 repeats 3 times, 2 copies 3 literals, -1 repeats twice.
      {{0xFE, 7, 0x02, 1, 2, 3, 0xFF, 9}, {7, 7, 7, 1, 2, 3, 9, 9}, 8},
      {{0x80, 4}, std::vector<uint8_t>(129, 4), 129},  // -128 gives 129 copies
      // Stops at the row end, in a run and in a literal.
      {{0xF9, 5}, {5, 5, 5, 5}, 4},
      {{0x01, 1, 2, 0x03, 3, 4, 5, 6}, {1, 2, 3}, 3},
      // A literal that promises 4 bytes and has 2; a run header with no value.
      {{0x03, 1, 2}, {1, 2, E, E, E, E}, 2},
      {{0x00, 8, 0xFD}, {8, E, E}, 1},
      {{}, {E, E, E}, 0},
  };
  for (const auto& c : cases) {
    size_t written = 0;
    EXPECT_EQ(Unpack(c.source, c.row.size(), written), c.row) << c.source.size();
    EXPECT_EQ(written, c.written) << c.source.size();
  }
  // A literal of 128 bytes.
  std::vector<uint8_t> literal = {0x7F};
  for (int i = 0; i < 128; ++i) literal.push_back(static_cast<uint8_t>(i));
  size_t written = 0;
  EXPECT_EQ(Unpack(literal, 128, written),
            std::vector<uint8_t>(literal.begin() + 1, literal.end()));
  EXPECT_EQ(written, 128u);
}

}  // namespace
}  // namespace vantoril
