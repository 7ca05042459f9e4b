#include "compare/overlay.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// One row of pixels as 32-bit words.
struct Row {
  explicit Row(std::vector<uint32_t> pixels) : words(std::move(pixels)) {}
  BitmapData Data() {
    return BitmapData{reinterpret_cast<uint8_t*>(words.data()), static_cast<ptrdiff_t>(words.size() * 4),
                      static_cast<int>(words.size()), 1};
  }
  std::vector<uint32_t> words;
};

constexpr uint32_t kBody = 0xFF74A7FEu;     // the mask's body: blue 254
constexpr uint32_t kOutside = 0xFFFFD9F9u;  // blue 249: just outside
constexpr uint32_t kChart = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kBlue = 0xFF0000FFu;

TEST(Overlay, ColoursEachBodyPixelByWhichDrawingsMarkIt) {
  struct Case {
    const char* what;
    uint32_t mask, chart, first, second, expected;
  };
  const Case cases[] = {
      {"neither marks it", kBody, kChart, kChart, kChart, kChart},
      {"both alike", kBody, kChart, kRed, kRed, kOverlayCommon},
      {"only the second", kBody, kChart, kChart, kBlue, kOverlaySecondOnly},
      {"only the first", kBody, kChart, kRed, kChart, kOverlayFirstOnly},
      {"both, in two colours", kBody, kChart, kRed, kBlue, kOverlayFirstOnly},
      {"a grey mark counts", kBody, kChart, 0xFF808080u, kChart, kOverlayFirstOnly},
      {"the fourth byte counts", kBody, kChart, 0x00FFFFFFu, kChart, kOverlayFirstOnly},
      {"outside the body", kOutside, kChart, kRed, kBlue, kChart},
      {"outside, both alike", kOutside, kChart, kRed, kRed, kChart},
  };
  std::vector<uint32_t> mask, chart, first, second;
  for (const Case& c : cases) {
    mask.push_back(c.mask);
    chart.push_back(c.chart);
    first.push_back(c.first);
    second.push_back(c.second);
  }
  Row m(mask), o(chart), a(first), b(second);
  const OverlayCounts counts = OverlayDrawings(a.Data(), b.Data(), o.Data(), BodyRuns(m.Data()));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(o.words[i], cases[i].expected) << cases[i].what;
  EXPECT_EQ(counts, (OverlayCounts{4, 1, 1}));
  // Only the overlay changes.
  EXPECT_EQ(a.words, first);
  EXPECT_EQ(b.words, second);
  EXPECT_EQ(m.words, mask);
  // The colours' bytes in memory: blue, green, red, then 0.
  const uint8_t green[4] = {100, 220, 20, 0};
  EXPECT_EQ(std::memcmp(&o.words[1], green, 4), 0);

  // Buffers of another size than the body's are left alone.
  Row shorter(std::vector<uint32_t>(3, kChart));
  EXPECT_EQ(OverlayDrawings(a.Data(), b.Data(), shorter.Data(), BodyRuns(m.Data())), OverlayCounts{});
  EXPECT_EQ(shorter.words, std::vector<uint32_t>(3, kChart));
}

TEST(Overlay, SharesAreDividedInSinglePrecision) {
  struct Case {
    uint32_t part, whole;
    double percent;
  };
  const Case cases[] = {
      {1, 3, static_cast<double>(1.0f / 3.0f) * 100.0},
      {1, 2, 50.0},
      {1, 4, 25.0},
      {1000, 1500, static_cast<double>(1000.0f / 1500.0f) * 100.0},
      {16777217, 16777216, 100.0},  // both round to the same float
  };
  for (const Case& c : cases) EXPECT_EQ(SharePercent(c.part, c.whole), c.percent) << c.part << "/" << c.whole;
  EXPECT_NE(SharePercent(1, 3), 100.0 / 3.0);
}

TEST(Overlay, PicturesFitTheBoxAtOneScaleCentred) {
  struct Case {
    int cw, ch, w, h;
    Rect expected;
  };
  const Case cases[] = {
      {740, 546, 3508, 2480, {1, 12, 739, 533}},  // 738 x 521 at 1, 12
      {302, 500, 100, 50, {1, 175, 301, 325}},
      {500, 202, 100, 50, {50, 1, 450, 201}},
      {740, 546, 0, 2480, {}},
      {740, 546, 3508, 0, {}},
      {2, 2, 3508, 2480, {}},
      {1, 300, 10, 10, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitPicture(c.cw, c.ch, c.w, c.h), c.expected) << c.cw << "x" << c.ch << " " << c.w << "x" << c.h;
  }
}

}  // namespace
