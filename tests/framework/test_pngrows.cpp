#include "framework/pngrows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::string IsaName(RowIsa isa) {
  switch (isa) {
    case RowIsa::kScalar:
      return "Scalar";
    case RowIsa::kSse2:
      return "Sse2";
    case RowIsa::kSsse3:
      return "Ssse3";
    case RowIsa::kAvx2:
      return "Avx2";
  }
  return "Unknown";
}

// Random bytes, or runs of one random pixel, as blank page and flat colour
// are (where Paeth on the row below predicts from the left throughout).
std::vector<uint8_t> RandomRow(std::mt19937& random, size_t length, int bpp, bool runs) {
  std::vector<uint8_t> row(length);
  for (uint8_t& byte : row) byte = static_cast<uint8_t>(random());
  if (!runs) return row;
  const auto step = static_cast<size_t>(bpp);
  for (size_t start = 0; start < length;) {
    const size_t end = std::min(length, start + (1 + random() % 40) * step);
    for (size_t i = start + step; i < end; ++i) row[i] = row[i - step];
    start = end;
  }
  return row;
}

// Undoes rows of random bytes with the filter types given, one after
// another as the decoder does, the first below `top`. Every row is a
// vector of its own size, so that reading past one is caught where the
// address sanitizer runs. Empty when a row is refused.
std::vector<std::vector<uint8_t>> Undone(std::mt19937 random, const std::vector<uint8_t>& filters,
                                         const std::vector<uint8_t>& top, int bpp, RowIsa isa) {
  std::vector<std::vector<uint8_t>> rows;
  for (const uint8_t filter : filters) {
    rows.push_back(RandomRow(random, top.size() + 1, 1, false));
    rows.back()[0] = filter;
  }
  const uint8_t* prior = top.data();
  for (size_t y = 0; y < rows.size();) {
    uint8_t* next = y + 1 < rows.size() ? rows[y + 1].data() : nullptr;
    const int undone = UnfilterPngRows(rows[y].data(), next, prior, top.size(), bpp, isa);
    if (undone == 0) return {};
    y += static_cast<size_t>(undone);
    prior = rows[y - 1].data() + 1;
  }
  return rows;
}

class PngRows : public testing::TestWithParam<RowIsa> {};

// Every filter type, one PNG does not have, and runs of Paeth rows (which
// go two at a time) among others; every pixel size PNG has (those of 16
// bits a sample are undone but not expanded); every width up to twenty
// pixels and longer ones of odd lengths; random rows above, and rows of flat
// runs: each set undoes and expands them to the plain loops' bytes.
TEST_P(PngRows, UndoAndExpandAsThePlainLoops) {
  const RowIsa isa = GetParam();
  if (!RowIsaRuns(isa)) GTEST_SKIP() << IsaName(isa) << " does not run on this processor or build";
  const std::vector<std::vector<uint8_t>> sequences = {{0},    {1},       {2},       {3},       {4},
                                                       {5},    {4, 4},    {4, 4, 4}, {4, 1, 4}, {1, 4, 4},
                                                       {3, 4}, {4, 3, 3}, {4, 5},    {4, 4, 5}, {2, 4, 4, 4, 4}};
  std::vector<size_t> widths;
  for (size_t w = 1; w <= 20; ++w) widths.push_back(w);
  for (size_t w : {31, 33, 64, 65, 127, 255, 1001, 3508}) widths.push_back(w);
  std::mt19937 random(25);
  std::vector<uint32_t> table(256);
  for (uint32_t& entry : table) entry = static_cast<uint32_t>(random()) | 0xFF000000u;
  for (const int bpp : {1, 2, 3, 4, 6, 8}) {
    for (const size_t width : widths) {
      const size_t length = width * static_cast<size_t>(bpp);
      for (const bool runs : {false, true}) {
        const std::vector<uint8_t> top = RandomRow(random, length, bpp, runs);
        for (const std::vector<uint8_t>& filters : sequences) {
          SCOPED_TRACE(testing::Message() << "bpp " << bpp << ", width " << width << ", filters "
                                          << testing::PrintToString(filters) << (runs ? ", flat runs above" : ""));
          const auto seed = static_cast<std::mt19937::result_type>(random());
          const std::vector<std::vector<uint8_t>> want = Undone(std::mt19937(seed), filters, top, bpp, RowIsa::kScalar);
          EXPECT_EQ(want.empty(), filters.back() == 5);
          ASSERT_EQ(Undone(std::mt19937(seed), filters, top, bpp, isa), want);
        }
        const std::vector<uint8_t> row = RandomRow(random, length, bpp, runs);
        const int tableSize = 1 + static_cast<int>(random() % 256);
        std::vector<uint8_t> want(4 * width);
        std::vector<uint8_t> got(4 * width);
        const bool wanted = ExpandPngRow(row.data(), want.data(), width, bpp, table.data(), tableSize, RowIsa::kScalar);
        ASSERT_FALSE(bpp > 4 && wanted) << "expanded " << bpp << " bytes a pixel";
        ASSERT_EQ(ExpandPngRow(row.data(), got.data(), width, bpp, table.data(), tableSize, isa), wanted);
        ASSERT_EQ(got, want) << "expanded, bpp " << bpp << ", width " << width;
      }
    }
  }
}

// Pixel sizes PNG does not have, and rows of no pixel or of part of one:
// every set refuses them before reading the row.
TEST(PngRowsRefused, SizesNoRowOfAFileHas) {
  const std::pair<int, size_t> rows[] = {{0, 8}, {-1, 8}, {9, 18}, {3, 0}, {3, 7}, {6, 9}, {8, 12}};
  for (const RowIsa isa : {RowIsa::kScalar, RowIsa::kSse2, RowIsa::kSsse3, RowIsa::kAvx2}) {
    if (!RowIsaRuns(isa)) continue;
    for (const auto& [bpp, length] : rows) {
      for (uint8_t filter = 0; filter <= 4; ++filter) {
        std::vector<uint8_t> row(64, filter);
        std::vector<uint8_t> next(64, filter);
        const std::vector<uint8_t> prior(64, 1);
        const int undone = UnfilterPngRows(row.data(), next.data(), prior.data(), length, bpp, isa);
        EXPECT_EQ(undone, 0) << IsaName(isa) << ", bpp " << bpp << ", length " << length;
      }
    }
    std::vector<uint8_t> out(64);
    const std::vector<uint32_t> table(256);
    for (const int bpp : {-1, 0, 5, 6, 8}) {
      EXPECT_FALSE(ExpandPngRow(out.data(), out.data(), 4, bpp, table.data(), 256, isa)) << bpp;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySet, PngRows, testing::Values(RowIsa::kSse2, RowIsa::kSsse3, RowIsa::kAvx2),
                         [](const testing::TestParamInfo<RowIsa>& info) { return IsaName(info.param); });

}  // namespace
