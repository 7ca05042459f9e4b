#include "analysis/document.h"
#include "analysis/pixelrule.h"
#include "analysis/smartarea.h"
#include "tests/support/testsupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Picture = std::vector<std::string>;

// A 32-bit pixel buffer drawn from a picture, top-down or bottom-up: 'b' is
// the body mask's body, '-' its outside; 'r' is red, 'k' a grey and anything
// else white. Fourth bytes vary from pixel to pixel.
struct Buffer {
  Buffer(const Picture& picture, bool bottomUp = false) {
    const int w = static_cast<int>(picture[0].size());
    const int h = static_cast<int>(picture.size());
    bytes.resize(static_cast<size_t>(w) * h * 4);
    data.width = w;
    data.height = h;
    data.stride = bottomUp ? -4 * w : 4 * w;
    data.scan0 = bottomUp ? bytes.data() + static_cast<size_t>(h - 1) * w * 4 : bytes.data();
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint8_t* p = data.Pixel(x, y);
        const char c = picture[static_cast<size_t>(y)][static_cast<size_t>(x)];
        const uint32_t colour = c == 'b'   ? 0xFEA774
                                : c == '-' ? 0xA8D9FF
                                : c == 'r' ? 0x0000FF
                                : c == 'k' ? 0x5A5A5A
                                           : 0xFFFFFF;
        p[kBlue] = static_cast<uint8_t>(colour >> 16);
        p[kGreen] = static_cast<uint8_t>(colour >> 8);
        p[kRed] = static_cast<uint8_t>(colour);
        p[3] = static_cast<uint8_t>(x * 7 + y * 31);
      }
    }
  }
  // The drawing again as a picture: 'g' for the smart area's dark green.
  Picture Seen() const {
    Picture picture;
    for (int y = 0; y < data.height; ++y) {
      std::string row;
      for (int x = 0; x < data.width; ++x) {
        const uint8_t* p = data.Pixel(x, y);
        const uint32_t colour = p[kBlue] << 16 | p[kGreen] << 8 | p[kRed];
        row += colour == 0x008000   ? 'g'
               : colour == 0x0000FF ? 'r'
               : colour == 0x5A5A5A ? 'k'
               : colour == 0xFFFFFF ? '.'
                                    : '?';
        if (p[3] != static_cast<uint8_t>(x * 7 + y * 31)) row.back() = '!';  // fourth byte changed
      }
      picture.push_back(row);
    }
    return picture;
  }
  std::vector<uint8_t> bytes;
  BitmapData data;
};

TEST(SmartArea, FillsARingInsideTheBodyAndItsInside) {
  const Buffer mask({"bbbbbbbbb--", "bbbbbbbbb--", "bbbbbbbbb--", "bbbbbbbbb--", "bbbbbbbbb--", "bbbbbbbbb--"});
  Buffer drawing({"...........", ".rrrrr.....", ".r...r.....", ".r...r.....", ".rrrrr.....", "..........."}, true);
  FillSmartArea(drawing.data, mask.data);
  EXPECT_EQ(drawing.Seen(),
            (Picture{"...........", ".ggggg.....", ".ggggg.....", ".ggggg.....", ".ggggg.....", "..........."}));
  EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 20);
  const uint8_t* inverted = drawing.data.Pixel(3, 2);
  EXPECT_EQ((std::vector<int>{inverted[kBlue], inverted[kGreen], inverted[kRed]}), (std::vector<int>{255, 127, 255}));
}

TEST(SmartArea, FillsOnlyBodyPixelsButAllThatMarksEnclose) {
  // A ring across the body's edge: the part outside keeps its colours.
  const Buffer half({"bbbbbb-----", "bbbbbb-----", "bbbbbb-----", "bbbbbb-----", "bbbbbb-----", "bbbbbb-----"});
  Buffer across({"...........", "...rrrrrr..", "...r....r..", "...r....r..", "...rrrrrr..", "..........."});
  FillSmartArea(across.data, half.data);
  EXPECT_EQ(across.Seen(),
            (Picture{"...........", "...gggrrr..", "...ggg..r..", "...ggg..r..", "...gggrrr..", "..........."}));
  EXPECT_EQ(ApplyPixelRule(across.data, half.data), 12);

  // A ring wholly outside the body round a hand: the hand is filled though
  // no mark lies on the body; body the ring does not enclose is not.
  const Buffer hand({"b----------", "b----------", "b---bb-----", "b---bb-----", "b----------", "b----------"});
  Buffer around({"...........", "..rrrrrr...", "..r....r...", "..r....r...", "..rrrrrr...", "..........."});
  FillSmartArea(around.data, hand.data);
  EXPECT_EQ(around.Seen(),
            (Picture{"...........", "..rrrrrr...", "..r.gg.r...", "..r.gg.r...", "..rrrrrr...", "..........."}));
  EXPECT_EQ(ApplyPixelRule(around.data, hand.data), 4);
}

TEST(SmartArea, ASolidRectangleCountsAsWithoutTheOption) {
  const Picture body(6, std::string(11, 'b'));
  const Picture shaded{"...........", "..rrrrr....", "..rrrrr....", "..rrrrr....", "...........", "..........."};
  Buffer smart(shaded);
  Buffer plain(shaded);
  FillSmartArea(smart.data, Buffer(body).data);
  EXPECT_EQ(ApplyPixelRule(smart.data, Buffer(body).data), 15);
  EXPECT_EQ(ApplyPixelRule(plain.data, Buffer(body).data), 15);
}

TEST(SmartArea, AnEmptyRegionCoversNothing) {
  const Buffer body(Picture(6, std::string(11, 'b')));
  // No mark at all: the chart's grey lines are no marks.
  Buffer blank({"...........", "...........", "kkkkkkkkkkk", "...........", "...........", "..........."});
  const std::vector<uint8_t> before = blank.bytes;
  FillSmartArea(blank.data, body.data);
  EXPECT_EQ(blank.bytes, before);
  EXPECT_EQ(ApplyPixelRule(blank.data, body.data), 0);

  // A 2 x 2 speck has an outline of four pixels, too short to enclose
  // anything: only the speck itself counts.
  Buffer speck({"...........", "...rr......", "...rr......", "...........", "...........", "..........."});
  FillSmartArea(speck.data, body.data);
  EXPECT_EQ(speck.Seen()[1], "...rr......");
  EXPECT_EQ(ApplyPixelRule(speck.data, body.data), 4);
}

// --- Through the document ----------------------------------------------------

QImage RingImage(int w, int h, int left, int top, int right, int bottom) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      if (x == left || x == right || y == top || y == bottom) image.setPixel(x, y, qRgb(255, 0, 0));
    }
  }
  return image;
}

TEST(SmartAreaDocument, ProcessingFillsOutlinedAreasOnlyWithTheOption) {
  CVarenkoDoc doc;
  QImage mask(30, 20, QImage::Format_RGB32);
  mask.fill(qRgb(116, 167, 254));  // all body
  doc.m_pBodyMask = std::make_unique<Bitmap>(mask);
  const QImage ring = RingImage(30, 20, 2, 3, 11, 12);

  doc.m_bSmartArea = false;
  Bitmap plain(ring);
  int count = -1;
  doc.ProcessImage(&plain, &count);
  EXPECT_EQ(count, 36);

  doc.m_bSmartArea = true;
  Bitmap smart(ring);
  doc.ProcessImage(&smart, &count);
  EXPECT_EQ(count, 100);
  EXPECT_EQ(smart.Image().pixel(6, 7), qRgb(255, 127, 255));  // dark green, inverted

  Bitmap blank(RingImage(30, 20, 0, 0, -1, -1));
  doc.ProcessImage(&blank, &count);
  EXPECT_EQ(count, 0);

  // A drawing of another size is not filled either.
  Bitmap other(RingImage(29, 20, 2, 3, 11, 12));
  doc.ProcessImage(&other, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(other.Image().pixel(6, 7), qRgb(255, 255, 255));

  doc.ApplySmartArea(nullptr);
}

// Sample drawings on the program's chart with the option on, opened the way
// a user opens them; the counts are those of samples/README.md.
TEST(SmartAreaDocument, SampleDrawingsCountTheirEnclosedAreas) {
  struct Sample {
    const char* file;
    int selectedWithSmartArea;
  };
  CVarenkoDoc doc;
  ASSERT_TRUE(doc.OnNewDocument());
  doc.m_bSmartArea = true;
  for (const Sample& sample : {Sample{"outlined.png", 35928}, Sample{"outline_open.png", 5079},
                               Sample{"widespread.png", 284706}, Sample{"blank.png", 0}}) {
    SCOPED_TRACE(sample.file);
    ASSERT_TRUE(doc.OnOpenDocument(SourcePath(QStringLiteral("samples/") + QString::fromLatin1(sample.file))));
    EXPECT_EQ(doc.m_vecSelectedPixels, std::vector<int>{sample.selectedWithSmartArea});
  }
}

}  // namespace
