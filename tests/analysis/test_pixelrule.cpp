#include "analysis/pixelrule.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// A 32-bit pixel buffer owned by the test.
struct Buffer {
  Buffer(int w, int h, bool bottomUp = false) : bytes(static_cast<size_t>(w) * h * 4, 0) {
    data.width = w;
    data.height = h;
    data.stride = bottomUp ? -4 * w : 4 * w;
    data.scan0 = bottomUp ? bytes.data() + static_cast<size_t>(h - 1) * w * 4 : bytes.data();
  }
  void Set(int x, int y, uint8_t b, uint8_t g, uint8_t r, uint8_t a = 0xFF) {
    uint8_t* p = data.Pixel(x, y);
    p[0] = b;
    p[1] = g;
    p[2] = r;
    p[3] = a;
  }
  void Fill(uint8_t b, uint8_t g, uint8_t r, uint8_t a = 0xFF) {
    for (int y = 0; y < data.height; ++y) {
      for (int x = 0; x < data.width; ++x) Set(x, y, b, g, r, a);
    }
  }
  std::vector<uint8_t> bytes;
  BitmapData data;
};

constexpr uint8_t kBody[3] = {254, 167, 116};     // blue, green, red
constexpr uint8_t kOutside[3] = {168, 217, 255};  // blue, green, red

TEST(PixelRule, MarksAndCountsColouredBodyPixelsOnly) {
  Buffer mask(4, 2);
  mask.Fill(kBody[0], kBody[1], kBody[2]);
  mask.Set(3, 1, kOutside[0], kOutside[1], kOutside[2]);
  mask.Set(2, 1, 249, 0, 0);  // just below the body's blue
  mask.Set(1, 1, 250, 0, 0);  // the lowest blue that is body

  Buffer drawing(4, 2);
  drawing.Fill(255, 255, 255);
  drawing.Set(0, 0, 10, 10, 11, 0x12);     // barely coloured: selected
  drawing.Set(1, 0, 128, 128, 128, 0x34);  // grey: not selected
  drawing.Set(2, 0, 0, 0, 255, 0x56);      // red
  drawing.Set(1, 1, 255, 0, 0, 0x78);      // blue, mask blue 250
  drawing.Set(2, 1, 255, 0, 0, 0x9A);      // blue, mask blue 249
  drawing.Set(3, 1, 0, 0, 255, 0xBC);      // red outside the body

  EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 3);
  auto at = [&](int x, int y) {
    const uint8_t* p = drawing.data.Pixel(x, y);
    return std::vector<int>{p[0], p[1], p[2], p[3]};
  };
  EXPECT_EQ(at(0, 0), (std::vector<int>{245, 245, 244, 0x12}));
  EXPECT_EQ(at(1, 0), (std::vector<int>{128, 128, 128, 0x34}));
  EXPECT_EQ(at(2, 0), (std::vector<int>{255, 255, 0, 0x56}));  // red becomes cyan
  EXPECT_EQ(at(1, 1), (std::vector<int>{0, 255, 255, 0x78}));  // blue becomes yellow
  EXPECT_EQ(at(2, 1), (std::vector<int>{255, 0, 0, 0x9A}));
  EXPECT_EQ(at(3, 1), (std::vector<int>{0, 0, 255, 0xBC}));
  EXPECT_EQ(at(3, 0), (std::vector<int>{255, 255, 255, 0xFF}));
}

TEST(PixelRule, LeavesADrawingOfAnotherSizeAlone) {
  Buffer mask(5, 3);
  mask.Fill(kBody[0], kBody[1], kBody[2]);
  for (auto [w, h] : {std::pair{4, 3}, std::pair{5, 2}, std::pair{6, 3}}) {
    Buffer drawing(w, h);
    drawing.Fill(0, 0, 255);
    const std::vector<uint8_t> before = drawing.bytes;
    EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 0);
    EXPECT_EQ(drawing.bytes, before);
  }
  Buffer drawing(5, 3);
  EXPECT_EQ(ApplyPixelRule(drawing.data, BitmapData{}), 0);
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
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        mask.Set(x, y, static_cast<uint8_t>(245 + random() % 11), static_cast<uint8_t>(random()),
                 static_cast<uint8_t>(random()));
        const uint8_t g = static_cast<uint8_t>(random() % 4 == 0 ? random() : 200);
        drawing.Set(x, y, random() % 2 ? g : static_cast<uint8_t>(random()), g,
                    random() % 2 ? g : static_cast<uint8_t>(random()), static_cast<uint8_t>(random()));
      }
    }
    Buffer expected(w, h);
    int expectedCount = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = drawing.data.Pixel(x, y);
        uint8_t* e = expected.data.Pixel(x, y);
        std::copy(p, p + 4, e);
        const bool body = mask.data.Pixel(x, y)[0] >= 250;
        if (body && !(p[0] == p[1] && p[1] == p[2])) {
          for (int k = 0; k < 3; ++k) e[k] = static_cast<uint8_t>(255 - e[k]);
          ++expectedCount;
        }
      }
    }
    ASSERT_EQ(ApplyPixelRule(drawing.data, mask.data), expectedCount) << "round " << round;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        for (int k = 0; k < 4; ++k) {
          ASSERT_EQ(drawing.data.Pixel(x, y)[k], expected.data.Pixel(x, y)[k]) << round << ": " << x << "," << y;
        }
      }
    }
    EXPECT_EQ(BodyRuns(mask.data).BodyPixels(), [&] {
      int n = 0;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) n += mask.data.Pixel(x, y)[0] >= 250;
      }
      return n;
    }());
  }
}

TEST(PixelRule, InvertingTwiceRestoresTheDrawingAndFindsTheSamePixels) {
  Buffer mask(7, 3);
  mask.Fill(kBody[0], kBody[1], kBody[2]);
  Buffer drawing(7, 3);
  drawing.Fill(255, 255, 255);
  drawing.Set(1, 1, 0, 128, 0);
  drawing.Set(5, 2, 30, 40, 50);
  const std::vector<uint8_t> before = drawing.bytes;
  EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 2);
  EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 2);
  EXPECT_EQ(drawing.bytes, before);
}

}  // namespace
