#include "analysis/document.h"
#include "analysis/pixelrule.h"
#include "analysis/smartarea.h"
#include "tests/support/testsupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr uint8_t kWhite[3] = {255, 255, 255};
constexpr uint8_t kRed[3] = {0, 0, 255};  // blue, green, red
constexpr uint8_t kGreen[3] = {kSmartAreaBlue, kSmartAreaGreen, kSmartAreaRed};
constexpr uint8_t kBodyColour[3] = {254, 167, 116};
constexpr uint8_t kOutsideColour[3] = {168, 217, 255};

// A 32-bit pixel buffer owned by the test, top-down or bottom-up.
struct Buffer {
  Buffer(int w, int h, bool bottomUp = false) : bytes(static_cast<size_t>(w) * h * 4, 0xFF) {
    data.width = w;
    data.height = h;
    data.stride = bottomUp ? -4 * w : 4 * w;
    data.scan0 = bottomUp ? bytes.data() + static_cast<size_t>(h - 1) * w * 4 : bytes.data();
  }
  void Set(int x, int y, const uint8_t (&c)[3]) {
    uint8_t* p = data.Pixel(x, y);
    p[0] = c[0];
    p[1] = c[1];
    p[2] = c[2];
  }
  bool Is(int x, int y, const uint8_t (&c)[3]) const {
    const uint8_t* p = data.Pixel(x, y);
    return p[0] == c[0] && p[1] == c[1] && p[2] == c[2];
  }
  std::vector<uint8_t> bytes;
  BitmapData data;
};

// A body mask whose body is where the predicate holds.
Buffer BodyWhere(int w, int h, const std::function<bool(int, int)>& body) {
  Buffer mask(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) mask.Set(x, y, body(x, y) ? kBodyColour : kOutsideColour);
  }
  return mask;
}

// A one-pixel rectangle outline, both corners included.
void Ring(Buffer& drawing, int left, int top, int right, int bottom, const uint8_t (&c)[3] = kRed) {
  for (int x = left; x <= right; ++x) {
    drawing.Set(x, top, c);
    drawing.Set(x, bottom, c);
  }
  for (int y = top; y <= bottom; ++y) {
    drawing.Set(left, y, c);
    drawing.Set(right, y, c);
  }
}

bool Within(int x, int y, int left, int top, int right, int bottom) {
  return x >= left && x <= right && y >= top && y <= bottom;
}

TEST(SmartArea, FillsARingInsideTheBodyAndItsInside) {
  const Buffer mask = BodyWhere(20, 16, [](int x, int) { return x < 14; });
  Buffer drawing(20, 16);
  Ring(drawing, 3, 3, 9, 10);
  FillSmartArea(drawing.data, mask.data);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 20; ++x) {
      EXPECT_TRUE(drawing.Is(x, y, Within(x, y, 3, 3, 9, 10) ? kGreen : kWhite)) << x << "," << y;
    }
  }
  EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 7 * 8);
  EXPECT_TRUE(drawing.Is(5, 5, {255, 127, 255}));
}

TEST(SmartArea, FillsOnlyTheBodyPixelsOfARingAcrossTheBodysEdge) {
  const Buffer mask = BodyWhere(20, 12, [](int x, int) { return x < 10; });
  Buffer drawing(20, 12);
  Ring(drawing, 6, 2, 13, 8);
  FillSmartArea(drawing.data, mask.data);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool inRing = Within(x, y, 6, 2, 13, 8);
      const bool onRing = inRing && !Within(x, y, 7, 3, 12, 7);
      const uint8_t(&expected)[3] = inRing && x < 10 ? kGreen : onRing ? kRed : kWhite;
      EXPECT_TRUE(drawing.Is(x, y, expected)) << x << "," << y;
    }
  }
  EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 4 * 7);
}

TEST(SmartArea, FillsABodyAreaEnclosedByMarksOutsideTheBody) {
  // An island of body (a hand) with a ring around it that touches no body
  // pixel, and body on the left that the ring does not enclose.
  const Buffer mask = BodyWhere(20, 16, [](int x, int y) { return Within(x, y, 8, 6, 10, 8) || x < 3; });
  Buffer drawing(20, 16);
  Ring(drawing, 5, 3, 13, 11);
  FillSmartArea(drawing.data, mask.data);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool onRing = Within(x, y, 5, 3, 13, 11) && !Within(x, y, 6, 4, 12, 10);
      const uint8_t(&expected)[3] = Within(x, y, 8, 6, 10, 8) ? kGreen : onRing ? kRed : kWhite;
      EXPECT_TRUE(drawing.Is(x, y, expected)) << x << "," << y;
    }
  }
  EXPECT_EQ(ApplyPixelRule(drawing.data, mask.data), 9);
}

TEST(SmartArea, ASolidRectangleCountsAsWithoutTheOption) {
  const Buffer mask = BodyWhere(16, 12, [](int, int) { return true; });
  Buffer shaded(16, 12);
  for (int y = 3; y <= 7; ++y) {
    for (int x = 4; x <= 9; ++x) shaded.Set(x, y, kRed);
  }
  Buffer plain = shaded;
  plain.data.scan0 = plain.bytes.data();
  FillSmartArea(shaded.data, mask.data);
  EXPECT_EQ(ApplyPixelRule(shaded.data, mask.data), 30);
  EXPECT_EQ(ApplyPixelRule(plain.data, mask.data), 30);
}

TEST(SmartArea, KeepsTheFourthByteOfEveryPixel) {
  const Buffer mask = BodyWhere(12, 10, [](int, int) { return true; });
  Buffer drawing(12, 10, true);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) drawing.data.Pixel(x, y)[3] = static_cast<uint8_t>(x * 7 + y * 31);
  }
  Ring(drawing, 1, 1, 8, 7);
  FillSmartArea(drawing.data, mask.data);
  EXPECT_TRUE(drawing.Is(4, 4, kGreen));
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) EXPECT_EQ(drawing.data.Pixel(x, y)[3], static_cast<uint8_t>(x * 7 + y * 31));
  }
}

TEST(SmartArea, AnEmptyRegionCoversNothing) {
  const Buffer mask = BodyWhere(10, 8, [](int, int) { return true; });
  // No mark at all; the chart's grey lines are no marks.
  Buffer blank(10, 8);
  for (int x = 0; x < 10; ++x) blank.Set(x, 4, {90, 90, 90});
  const std::vector<uint8_t> before = blank.bytes;
  FillSmartArea(blank.data, mask.data);
  EXPECT_EQ(blank.bytes, before);
  EXPECT_EQ(ApplyPixelRule(blank.data, mask.data), 0);

  // A 2 x 2 speck has an outline of four pixels: too short to enclose
  // anything, so only the speck itself counts.
  Buffer speck(10, 8);
  for (int y = 3; y <= 4; ++y) {
    for (int x = 3; x <= 4; ++x) speck.Set(x, y, kRed);
  }
  FillSmartArea(speck.data, mask.data);
  EXPECT_TRUE(speck.Is(3, 3, kRed));
  EXPECT_EQ(ApplyPixelRule(speck.data, mask.data), 4);
}

TEST(SmartArea, LeavesADrawingOfAnotherSizeAlone) {
  const Buffer mask = BodyWhere(10, 8, [](int, int) { return true; });
  Buffer drawing(9, 8);
  Ring(drawing, 1, 1, 6, 6);
  const std::vector<uint8_t> before = drawing.bytes;
  FillSmartArea(drawing.data, mask.data);
  FillSmartArea(drawing.data, BodyRuns(mask.data));
  FillSmartArea(drawing.data, BitmapData{});
  EXPECT_EQ(drawing.bytes, before);
}

// --- Through the document ----------------------------------------------------

QImage SmallMask(int w, int h) {
  QImage mask(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) mask.setPixel(x, y, x < w / 2 ? qRgb(116, 167, 254) : qRgb(255, 217, 168));
  }
  return mask;
}

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
  doc.m_pBodyMask = std::make_unique<Bitmap>(SmallMask(30, 20));
  const QImage ring = RingImage(30, 20, 2, 3, 11, 12);  // inside the body half

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
  EXPECT_EQ(smart.Image().pixel(20, 7), qRgb(255, 255, 255));

  Bitmap blank(RingImage(30, 20, 0, 0, -1, -1));
  doc.ProcessImage(&blank, &count);
  EXPECT_EQ(count, 0);

  // A drawing of another size is not filled either.
  Bitmap other(RingImage(29, 20, 2, 3, 11, 12));
  doc.ProcessImage(&other, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(other.Image().pixel(6, 7), qRgb(255, 255, 255));

  doc.ApplySmartArea(nullptr);
  doc.m_pBodyMask.reset();
  doc.ApplySmartArea(&smart);
}

TEST(SmartAreaDocument, AnOpenedDrawingIsFilledWithTheOption) {
  const QString path = TempDir() + QStringLiteral("/ring.png");
  ASSERT_TRUE(RingImage(30, 20, 1, 1, 20, 18).save(path, "PNG"));  // across the body's edge
  CVarenkoDoc doc;
  doc.m_pBodyMask = std::make_unique<Bitmap>(SmallMask(30, 20));
  doc.m_pFinalImage = std::make_unique<Bitmap>(QImage(30, 20, QImage::Format_RGB32));
  doc.m_bSmartArea = true;
  ASSERT_TRUE(doc.OnOpenDocument(path));
  EXPECT_EQ(doc.m_vecSelectedPixels, std::vector<int>{14 * 18});
  EXPECT_EQ(doc.GetCurrentOriginal()->Image().pixel(5, 5), qRgb(255, 255, 255));
}

// With the program's own chart: a blank drawing counts nothing, and an
// outlined rectangle counts the body pixels it holds.
TEST(SmartAreaDocument, TheRealChart) {
  CVarenkoDoc doc;
  ASSERT_TRUE(doc.OnNewDocument());
  const int w = doc.m_pBodyMask->Width();
  const int h = doc.m_pBodyMask->Height();
  if (w < 1000 || h < 1000) GTEST_SKIP() << "the program's body mask is not built in";
  doc.m_bSmartArea = true;

  QImage white(w, h, QImage::Format_RGB32);
  white.fill(Qt::white);
  Bitmap blank(white);
  int count = -1;
  doc.ProcessImage(&blank, &count);
  EXPECT_EQ(count, 0);

  const int left = w / 5;
  const int top = h / 4;
  const int right = w * 3 / 4;
  const int bottom = h * 3 / 4;
  Bitmap outlined(RingImage(w, h, left, top, right, bottom));
  doc.ProcessImage(&outlined, &count);
  const Bitmap::Lock body = doc.m_pBodyMask->LockBitsForReading();
  int expected = 0;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) expected += body.data().Pixel(x, y)[kBlue] >= kBodyBlueMin;
  }
  EXPECT_GT(expected, 0);
  EXPECT_EQ(count, expected);
}

// Sample drawings with the option on, through the route a user takes; the
// counts are those of samples/README.md.
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
