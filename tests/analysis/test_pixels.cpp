// The pixel rule and the smart selected area on small pixel buffers: the
// rule against a plain reading of it on random pictures, the smart area in
// worked examples, with the step-by-step filling beside it.

#include "analysis/pixelrule.h"
#include "analysis/smartarea.h"
#include "tests/analysis/literalfill.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Picture = std::vector<std::string>;

constexpr uint32_t kBodyColour = 0x74A7FE;  // 0xRRGGBB, as the chart's mask

// A 32-bit pixel buffer owned by the test, top-down or bottom-up.
struct Buffer {
  Buffer(int w, int h, bool bottomUp = false) : bytes(static_cast<size_t>(w) * h * 4) {
    data.scan0 = bottomUp ? bytes.data() + static_cast<size_t>(h - 1) * w * 4 : bytes.data();
    data.stride = bottomUp ? -4 * w : 4 * w;
    data.width = w;
    data.height = h;
  }
  // Drawn from a picture: 'b' the body mask's body, '-' its outside, 'r' or
  // 'R' red, 'k' a grey, anything else white. Fourth bytes vary.
  explicit Buffer(const Picture& picture, bool bottomUp = false)
      : Buffer(static_cast<int>(picture[0].size()), static_cast<int>(picture.size()), bottomUp) {
    for (int y = 0; y < data.height; ++y) {
      for (int x = 0; x < data.width; ++x) {
        const size_t k = std::string_view("b-rRk").find(picture[static_cast<size_t>(y)][static_cast<size_t>(x)]);
        constexpr uint32_t kColours[] = {kBodyColour, 0xFFD9A8, 0xFF0000, 0xFF0000, 0x5A5A5A};
        Set(x, y, k == std::string_view::npos ? 0xFFFFFF : kColours[k], Fourth(x, y));
      }
    }
  }
  static uint8_t Fourth(int x, int y) { return static_cast<uint8_t>(x * 7 + y * 31); }
  // Pixels are little-endian words: blue in the lowest byte, the fourth in
  // the highest.
  void Set(int x, int y, uint32_t rgb, uint8_t fourth) {
    const uint32_t word = rgb | static_cast<uint32_t>(fourth) << 24;
    std::memcpy(data.Pixel(x, y), &word, 4);
  }
  // The drawing as a picture: 'g' for the smart area's dark green, '!' where
  // a fourth byte changed.
  Picture Seen() const {
    Picture picture(static_cast<size_t>(data.height));
    for (int y = 0; y < data.height; ++y) {
      for (int x = 0; x < data.width; ++x) {
        uint32_t word;
        std::memcpy(&word, data.Pixel(x, y), 4);
        const uint32_t c = word & 0xFFFFFF;
        const char seen = c == 0x008000 ? 'g' : c == 0xFF0000 ? 'r' : c == 0x5A5A5A ? 'k' : c == 0xFFFFFF ? '.' : '?';
        picture[static_cast<size_t>(y)] += word >> 24 == Fourth(x, y) ? seen : '!';
      }
    }
    return picture;
  }
  std::vector<uint8_t> bytes;
  BitmapData data;
};

// The rule against a plain per-pixel reading of it, on random pictures and
// masks of awkward widths, with top-down and bottom-up buffers.
TEST(PixelRule, AgreesWithAPlainReadingOnRandomPictures) {
  std::mt19937 random(1234);
  for (int round = 0; round < 60; ++round) {
    const int w = 1 + static_cast<int>(random() % 37);
    const int h = 1 + static_cast<int>(random() % 9);
    Buffer mask(w, h, round % 2 == 1), drawing(w, h, round % 3 == 1), expected(w, h, round % 3 == 1);
    int count = 0, body = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        // Mask blues either side of the body's least, 250; greys among the
        // drawing's colours.
        mask.Set(x, y, (random() & 0xFFFF00) | (245 + random() % 11), 0);
        const uint32_t g = random() % 4 == 0 ? random() % 256 : 200;
        const uint32_t rgb = (random() % 2 ? g : random() % 256) << 16 | g << 8 | (random() % 2 ? g : random() % 256);
        const uint8_t fourth = static_cast<uint8_t>(random());
        const bool inBody = mask.data.Pixel(x, y)[kBlue] >= 250;
        const bool selected = inBody && rgb != (g << 16 | g << 8 | g);
        drawing.Set(x, y, rgb, fourth);
        expected.Set(x, y, selected ? ~rgb & 0xFFFFFF : rgb, fourth);
        count += selected;
        body += inBody;
      }
    }
    ASSERT_EQ(ApplyPixelRule(drawing.data, mask.data), count) << "round " << round;
    ASSERT_EQ(drawing.bytes, expected.bytes) << "round " << round;
    EXPECT_EQ(BodyRuns(mask.data).BodyPixels(), body);
  }
}

TEST(SmartArea, FillsTheBodyPixelsThatMarksCoverOrEnclose) {
  // The drawing on the mask, written as in Buffer, with 'R' for red and 'o'
  // for white that turn dark green; the count the pixel rule then gives.
  auto check = [](const char* what, const Picture& mask, const Picture& drawing, int count) {
    SCOPED_TRACE(what);
    Picture expected = drawing;
    for (std::string& row : expected) {
      for (char& c : row) c = c == 'R' || c == 'o' ? 'g' : c;
    }
    const Buffer body(mask);
    for (const bool bottomUp : {false, true}) {
      Buffer filled(drawing, bottomUp);
      Buffer slowly(drawing, bottomUp);
      FillSmartArea(filled.data, body.data);
      literal::FillSmartArea(slowly.data, BodyRuns(body.data));
      EXPECT_EQ(filled.Seen(), expected);
      EXPECT_EQ(filled.bytes, slowly.bytes);  // as the step-by-step filling has it
      EXPECT_EQ(ApplyPixelRule(filled.data, body.data), count);
    }
  };
  const Picture body(6, std::string(11, 'b'));
  check("a ring and its inside", body,
        {"...........", ".RRRRR.....", ".RoooR.....", ".RoooR.....", ".RRRRR.....", "..........."}, 20);
  check("a ring across the body's edge: the part outside keeps its colours", Picture(6, "bbbbbb-----"),
        {"...........", "...RRRrrr..", "...Roo..r..", "...Roo..r..", "...RRRrrr..", "..........."}, 12);
  check("a ring outside the body round a hand: body it does not enclose stays",
        {"b----------", "b----------", "b---bb-----", "b---bb-----", "b----------", "b----------"},
        {"...........", "..rrrrrr...", "..r.oo.r...", "..r.oo.r...", "..rrrrrr...", "..........."}, 4);
  check("a solid rectangle counts as without the option", body,
        {"...........", "..RRRRR....", "..RRRRR....", "..RRRRR....", "...........", "..........."}, 15);
  check("the chart's grey lines are no marks", body,
        {"...........", "...........", "kkkkkkkkkkk", "...........", "...........", "..........."}, 0);
  check("a 2 x 2 dot's outline is too short to enclose anything", body,
        {"...........", "...rr......", "...rr......", "...........", "...........", "..........."}, 4);
}

}  // namespace
