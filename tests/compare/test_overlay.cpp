#include "compare/comparedialog.h"
#include "compare/overlay.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

BitmapData RowOf(std::vector<uint32_t>& pixels) {
  return BitmapData{reinterpret_cast<uint8_t*>(pixels.data()), static_cast<ptrdiff_t>(pixels.size() * 4),
                    static_cast<int>(pixels.size()), 1};
}

TEST(Overlay, ColoursEachBodyPixelByWhichDrawingsMarkIt) {
  constexpr uint32_t body = 0xFF74A7FEu, outside = 0xFFFFD9F9u;  // mask blue 254 and 249
  constexpr uint32_t chart = 0xFFFFFFFFu, red = 0xFFFF0000u, blue = 0xFF0000FFu;
  const uint32_t cases[][4] = {
      // mask, first, second, overlay
      {body, chart, chart, chart},                    // neither marks it
      {body, red, red, kOverlayCommon},               // both alike
      {body, chart, blue, kOverlaySecondOnly},        // only the second
      {body, red, chart, kOverlayFirstOnly},          // only the first
      {body, red, blue, kOverlayFirstOnly},           // both, differently
      {body, 0xFF808080u, chart, kOverlayFirstOnly},  // a grey mark
      {body, 0x00FFFFFFu, chart, kOverlayFirstOnly},  // the fourth byte
      {outside, red, blue, chart},
      {outside, red, red, chart},
  };
  std::vector<uint32_t> mask, first, second, overlay;
  for (const auto& c : cases) {
    mask.push_back(c[0]);
    first.push_back(c[1]);
    second.push_back(c[2]);
    overlay.push_back(chart);
  }
  const std::vector<uint32_t> before[] = {mask, first, second};
  const OverlayCounts counts = OverlayDrawings(RowOf(first), RowOf(second), RowOf(overlay), BodyRuns(RowOf(mask)));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(overlay[i], cases[i][3]) << i;
  EXPECT_EQ(counts, (OverlayCounts{4, 1, 1}));
  EXPECT_TRUE(mask == before[0] && first == before[1] && second == before[2]);
  const uint8_t green[4] = {100, 220, 20, 0};  // blue, green, red, fourth byte
  EXPECT_EQ(std::memcmp(&overlay[1], green, 4), 0);

  // An overlay of another size than the body's is left alone.
  std::vector<uint32_t> shorter(3, chart);
  EXPECT_EQ(OverlayDrawings(RowOf(first), RowOf(second), RowOf(shorter), BodyRuns(RowOf(mask))), OverlayCounts{});
  EXPECT_EQ(shorter, std::vector<uint32_t>(3, chart));
}

TEST(Overlay, NineStatisticsLinesFromTheCounts) {
  EXPECT_EQ(StatisticsLines(2, 1, 1),
            (QStringList{"first total (red + green): 3", "first only (red): 2", "second total (blue + green): 2",
                         "second only (blue: 1", "common area (green): 1", "total area (first + second): 4",
                         "common vs first: 33.33%", "common vs second: 50.00%", "common vs total: 25.00%"}));
  EXPECT_EQ(StatisticsLines(500, 7, 1000).value(6), QStringLiteral("common vs first: 66.67%"));
}

TEST(Overlay, PicturesFitTheBoxAtOneScaleCentred) {
  const std::pair<std::array<int, 4>, Rect> cases[] = {
      {{740, 546, 3508, 2480}, {1, 12, 739, 533}},  // 738 x 521 at 1, 12
      {{302, 500, 100, 50}, {1, 175, 301, 325}},
      {{500, 202, 100, 50}, {50, 1, 450, 201}},
      {{740, 546, 0, 2480}, {}},
      {{2, 2, 3508, 2480}, {}},
  };
  for (const auto& [box, fit] : cases) EXPECT_EQ(FitPicture(box[0], box[1], box[2], box[3]), fit) << box[0];
}

}  // namespace
