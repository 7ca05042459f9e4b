#include "compare/overlay.h"

#include <gtest/gtest.h>

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
  struct Case {
    uint32_t mask, first, second, expected;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    mask.push_back(c.mask);
    first.push_back(c.first);
    second.push_back(c.second);
    overlay.push_back(chart);
  }
  const std::vector<uint32_t> before[] = {mask, first, second};
  const OverlayCounts counts = OverlayDrawings(RowOf(first), RowOf(second), RowOf(overlay), BodyRuns(RowOf(mask)));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(overlay[i], cases[i].expected) << i;
  EXPECT_EQ(counts, (OverlayCounts{4, 1, 1}));
  EXPECT_EQ(mask, before[0]);
  EXPECT_EQ(first, before[1]);
  EXPECT_EQ(second, before[2]);
  const uint8_t green[4] = {100, 220, 20, 0};  // blue, green, red, fourth byte
  EXPECT_EQ(std::memcmp(&overlay[1], green, 4), 0);

  // An overlay of another size than the body's is left alone.
  std::vector<uint32_t> shorter(3, chart);
  EXPECT_EQ(OverlayDrawings(RowOf(first), RowOf(second), RowOf(shorter), BodyRuns(RowOf(mask))), OverlayCounts{});
  EXPECT_EQ(shorter, std::vector<uint32_t>(3, chart));
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
      {2, 2, 3508, 2480, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(FitPicture(c.cw, c.ch, c.w, c.h), c.expected) << c.cw << "x" << c.ch;
}

}  // namespace
