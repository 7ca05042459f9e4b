// The pixel rule and the smart selected area on small pixel buffers: worked
// examples, and both held against plain readings on random pictures.

#include "analysis/pixelrule.h"
#include "analysis/smartarea.h"
#include "tests/analysis/literalfill.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Picture = std::vector<std::string>;

constexpr uint32_t kBodyColour = 0x74A7FE;  // 0xRRGGBB, as the chart's mask
constexpr uint32_t kOutsideColour = 0xFFD9A8;

// A 32-bit pixel buffer owned by the test, top-down or bottom-up.
struct Buffer {
  Buffer(int w, int h, bool bottomUp = false) : bytes(static_cast<size_t>(w) * h * 4) {
    data.scan0 = bottomUp ? bytes.data() + static_cast<size_t>(h - 1) * w * 4 : bytes.data();
    data.stride = bottomUp ? -4 * w : 4 * w;
    data.width = w;
    data.height = h;
  }
  // Drawn from a picture: 'b' the body mask's body, '-' its outside, 'r'
  // red, 'k' a grey, anything else white. Fourth bytes vary.
  explicit Buffer(const Picture& picture, bool bottomUp = false)
      : Buffer(static_cast<int>(picture[0].size()), static_cast<int>(picture.size()), bottomUp) {
    for (int y = 0; y < data.height; ++y) {
      for (int x = 0; x < data.width; ++x) {
        const char c = picture[static_cast<size_t>(y)][static_cast<size_t>(x)];
        Set(x, y,
            c == 'b'   ? kBodyColour
            : c == '-' ? kOutsideColour
            : c == 'r' ? 0xFF0000
            : c == 'k' ? 0x5A5A5A
                       : 0xFFFFFF,
            Fourth(x, y));
      }
    }
  }
  static uint8_t Fourth(int x, int y) { return static_cast<uint8_t>(x * 7 + y * 31); }
  void Set(int x, int y, uint32_t rgb, uint8_t fourth) {
    uint8_t* p = data.Pixel(x, y);
    p[kBlue] = static_cast<uint8_t>(rgb);
    p[kGreen] = static_cast<uint8_t>(rgb >> 8);
    p[kRed] = static_cast<uint8_t>(rgb >> 16);
    p[3] = fourth;
  }
  uint32_t Rgb(int x, int y) const {
    const uint8_t* p = data.Pixel(x, y);
    return static_cast<uint32_t>(p[kRed] << 16 | p[kGreen] << 8 | p[kBlue]);
  }
  // The drawing as a picture: 'g' for the smart area's dark green, '!' where
  // a fourth byte changed.
  Picture Seen() const {
    Picture picture(static_cast<size_t>(data.height));
    for (int y = 0; y < data.height; ++y) {
      for (int x = 0; x < data.width; ++x) {
        const uint32_t c = Rgb(x, y);
        const char seen = c == 0x008000 ? 'g' : c == 0xFF0000 ? 'r' : c == 0x5A5A5A ? 'k' : c == 0xFFFFFF ? '.' : '?';
        picture[static_cast<size_t>(y)] += data.Pixel(x, y)[3] == Fourth(x, y) ? seen : '!';
      }
    }
    return picture;
  }
  std::vector<uint8_t> bytes;
  BitmapData data;
};

TEST(PixelRule, MarksAndCountsColouredBodyPixelsOnly) {
  Buffer mask({"bbbb", "bbb-"});
  mask.Set(1, 1, 0x0000FA, 0);  // the lowest blue that is body
  mask.Set(2, 1, 0x0000F9, 0);  // just below it
  Buffer drawing({"....", "...."});
  const struct {
    int x, y;
    uint32_t before, after;
  } pixels[] = {
      {0, 0, 0x0B0A0A, 0xF4F5F5},  // barely coloured: selected
      {1, 0, 0x808080, 0x808080},  // grey: not selected
      {2, 0, 0xFF0000, 0x00FFFF},  // red becomes cyan
      {1, 1, 0x0000FF, 0xFFFF00},  // blue on mask blue 250 becomes yellow
      {2, 1, 0x0000FF, 0x0000FF},  // on mask blue 249: no body
      {3, 1, 0xFF0000, 0xFF0000},  // outside the body
  };
  for (const auto& p : pixels) drawing.Set(p.x, p.y, p.before, Buffer::Fourth(p.x, p.y));
  EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 3);
  for (const auto& p : pixels) EXPECT_EQ(drawing.Rgb(p.x, p.y), p.after) << p.x << "," << p.y;
  EXPECT_EQ(drawing.Seen(), (Picture{"???.", ".??r"}));  // the fourth bytes kept
}

TEST(PixelRule, LeavesADrawingOfAnotherSizeAlone) {
  const Buffer mask(Picture(3, "bbbbb"));
  for (auto [w, h] : {std::pair{4, 3}, std::pair{5, 2}, std::pair{6, 3}}) {
    Buffer drawing(Picture(static_cast<size_t>(h), std::string(static_cast<size_t>(w), 'r')));
    const std::vector<uint8_t> before = drawing.bytes;
    FillSmartArea(drawing.data, mask.data);
    EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 0);
    EXPECT_EQ(drawing.bytes, before);
  }
  EXPECT_EQ(ApplyPixelRule(mask.data, BitmapData{}), 0);
  EXPECT_EQ(ApplyPixelRule(BitmapData{}, mask.data), 0);
}

// The rule against a plain per-pixel reading of it, on random pictures and
// masks of awkward widths, with top-down and bottom-up buffers.
TEST(PixelRule, AgreesWithAPlainReadingOnRandomPictures) {
  std::mt19937 random(1234);
  for (int round = 0; round < 60; ++round) {
    const int w = 1 + static_cast<int>(random() % 37);
    const int h = 1 + static_cast<int>(random() % 9);
    Buffer mask(w, h, round % 2 == 1);
    Buffer drawing(w, h, round % 3 == 1);
    Buffer expected(w, h);
    int expectedCount = 0;
    int body = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        mask.Set(x, y, (random() & 0xFFFF00) | (245 + random() % 11), 0);
        const uint32_t g = random() % 4 == 0 ? random() % 256 : 200;
        const uint32_t rgb = (random() % 2 ? g : random() % 256) << 16 | g << 8 | (random() % 2 ? g : random() % 256);
        const uint8_t fourth = static_cast<uint8_t>(random());
        drawing.Set(x, y, rgb, fourth);
        const bool selected = mask.data.Pixel(x, y)[kBlue] >= 250 && rgb != (g << 16 | g << 8 | g);
        expected.Set(x, y, selected ? ~rgb & 0xFFFFFF : rgb, fourth);
        expectedCount += selected;
        body += mask.data.Pixel(x, y)[kBlue] >= 250;
      }
    }
    ASSERT_EQ(ApplyPixelRule(drawing.data, mask.data), expectedCount) << "round " << round;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(drawing.Rgb(x, y), expected.Rgb(x, y)) << round << ": " << x << "," << y;
        ASSERT_EQ(drawing.data.Pixel(x, y)[3], expected.data.Pixel(x, y)[3]);
      }
    }
    EXPECT_EQ(BodyRuns(mask.data).BodyPixels(), body);
  }
}

TEST(SmartArea, FillsTheBodyPixelsThatMarksCoverOrEnclose) {
  const Picture body(6, std::string(11, 'b'));
  const Picture half(6, "bbbbbb-----");
  const Picture hand{"b----------", "b----------", "b---bb-----", "b---bb-----", "b----------", "b----------"};
  const struct {
    const char* what;
    Picture mask, drawing, expected;
    int count;
  } cases[] = {
      {"a ring and its inside",
       body,
       {"...........", ".rrrrr.....", ".r...r.....", ".r...r.....", ".rrrrr.....", "..........."},
       {"...........", ".ggggg.....", ".ggggg.....", ".ggggg.....", ".ggggg.....", "..........."},
       20},
      {"a ring across the body's edge: the part outside keeps its colours",
       half,
       {"...........", "...rrrrrr..", "...r....r..", "...r....r..", "...rrrrrr..", "..........."},
       {"...........", "...gggrrr..", "...ggg..r..", "...ggg..r..", "...gggrrr..", "..........."},
       12},
      {"a ring outside the body round a hand: body it does not enclose stays",
       hand,
       {"...........", "..rrrrrr...", "..r....r...", "..r....r...", "..rrrrrr...", "..........."},
       {"...........", "..rrrrrr...", "..r.gg.r...", "..r.gg.r...", "..rrrrrr...", "..........."},
       4},
      {"a solid rectangle counts as without the option",
       body,
       {"...........", "..rrrrr....", "..rrrrr....", "..rrrrr....", "...........", "..........."},
       {"...........", "..ggggg....", "..ggggg....", "..ggggg....", "...........", "..........."},
       15},
      {"the chart's grey lines are no marks",
       body,
       {"...........", "...........", "kkkkkkkkkkk", "...........", "...........", "..........."},
       {"...........", "...........", "kkkkkkkkkkk", "...........", "...........", "..........."},
       0},
      {"a 2 x 2 speck's outline is too short to enclose anything",
       body,
       {"...........", "...rr......", "...rr......", "...........", "...........", "..........."},
       {"...........", "...rr......", "...rr......", "...........", "...........", "..........."},
       4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool bottomUp : {false, true}) {
      Buffer drawing(c.drawing, bottomUp);
      FillSmartArea(drawing.data, Buffer(c.mask).data);
      EXPECT_EQ(drawing.Seen(), c.expected);
      EXPECT_EQ(ApplyPixelRule(drawing.data, Buffer(c.mask).data), c.count);
    }
  }
}

// The filling against the step-by-step one, on random marks over random
// bodies.
TEST(SmartArea, AgreesWithTheStepByStepFillingOnRandomDrawings) {
  std::mt19937 random(7);
  int filled = 0;
  for (int round = 0; round < 400; ++round) {
    const int w = 1 + static_cast<int>(random() % 24);
    const int h = 1 + static_cast<int>(random() % 16);
    Buffer mask(w, h);
    Buffer drawing(w, h, round % 2 == 1);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        mask.Set(x, y, random() % 4 != 0 ? kBodyColour : kOutsideColour, 0);
        const uint32_t k = random() % 8;
        drawing.Set(x, y, k < 3 ? 0xFF0000 : k == 3 ? 0x5A5A5A : 0xFFFFFF, static_cast<uint8_t>(random()));
      }
    }
    Buffer expected = drawing;
    expected.data.scan0 = expected.bytes.data() + (drawing.data.scan0 - drawing.bytes.data());
    const BodyRuns runs(mask.data);
    literal::FillSmartArea(expected.data, runs);
    filled += expected.bytes != drawing.bytes;
    FillSmartArea(drawing.data, runs);
    ASSERT_EQ(drawing.bytes, expected.bytes) << "round " << round;
  }
  EXPECT_GT(filled, 100);
}

}  // namespace
