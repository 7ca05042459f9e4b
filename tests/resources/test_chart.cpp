// The body chart, its mask, the tool-bar strip, the icon and the sample
// drawings: as committed, as compiled into the program and as the generator
// draws them.

#include "framework/bitmap.h"
#include "framework/files.h"
#include "resources/resource.h"
#include "resources/tables.h"
#include "tests/support/testsupport.h"

#ifdef VARENKO_HAVE_CHARTGEN
#include "tools/chartgen/chart.h"
#include "tools/chartgen/icons.h"
#endif

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr int kWidth = 3508;
constexpr int kHeight = 2480;
constexpr int64_t kBodyCount = 1517036;

// A committed image as Qt's reader gives it, in RGBA8888: byte 0 is red.
QImage Decoded(const QString& relative) {
  QImageReader reader(SourcePath(relative));
  reader.setAllocationLimit(kImageAllocationLimitMb);
  return reader.read().convertToFormat(QImage::Format_RGBA8888);
}

const uchar* Px(const QImage& image, int x, int y) { return image.constScanLine(y) + 4 * x; }
bool IsGrey(const uchar* p) { return p[0] == p[1] && p[1] == p[2]; }

// The mask's body: its pixels of the body colour.
bool IsBody(const uchar* p) { return p[0] == 116 && p[1] == 167 && p[2] == 254; }

TEST(Chart, TheProgramCarriesTheCommittedFilesByteForByte) {
  const std::pair<int, const char*> images[] = {{res::IDB_BODY_MASK, "body_mask.png"},
                                                {res::IDB_BLANK_CHART, "blank_chart.png"},
                                                {res::IDB_BLANK_CHART_COMPARE, "blank_chart.png"},
                                                {res::IDR_REFERENCE_CHART, "reference_chart.png"},
                                                {res::IDR_MAINFRAME, "toolbar.png"}};
  for (const auto& [id, file] : images) {
    QFile embedded(Bitmap::ResourcePath(id));
    QFile committed(SourcePath(QStringLiteral("resources/") + QString::fromLatin1(file)));
    ASSERT_TRUE(embedded.open(QIODevice::ReadOnly) && committed.open(QIODevice::ReadOnly)) << file;
    EXPECT_TRUE(embedded.readAll() == committed.readAll()) << file;
  }
}

// The program counts the body by the mask's blue alone. (The generator's
// test holds the blank and reference charts to the mask.)
TEST(Chart, TheMaskHoldsTheExactBodyCount) {
  const QImage mask = Decoded(QStringLiteral("resources/body_mask.png"));
  ASSERT_EQ(mask.size(), QSize(kWidth, kHeight));
  int64_t body = 0, blue = 0, lines = 0, other = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uchar* m = Px(mask, x, y);
      const bool line = IsGrey(m) && m[2] < 250;
      body += IsBody(m);
      blue += m[2] >= 250;
      lines += line;
      other += !IsBody(m) && !line && !(m[0] == 255 && m[1] == 217 && m[2] == 168);
    }
  }
  EXPECT_EQ(body, kBodyCount);
  EXPECT_EQ(blue, kBodyCount);
  EXPECT_GT(lines, 0);
  EXPECT_EQ(other, 0);  // the outside's colour
}

// Counts a drawing against the mask: body pixels that are not grey, and
// body pixels that no path of grey pixels joins to the frame around it.
void Recount(const QImage& drawing, const QImage& mask, int64_t* selected, int64_t* smart) {
  // 1 for a grey pixel, 2 once a path reached it, in a frame of grey; raw
  // pointers keep it quick in unoptimised builds too.
  const int w = kWidth + 2;
  const int size = w * (kHeight + 2);
  std::vector<uint8_t> map(static_cast<size_t>(size), 1);
  std::vector<int> stack(static_cast<size_t>(size));
  uint8_t* grey = map.data();
  for (int y = 0; y < kHeight; ++y) {
    const uchar* p = drawing.constScanLine(y);
    for (int x = 0; x < kWidth; ++x, p += 4) grey[(y + 1) * w + x + 1] = p[0] == p[1] && p[1] == p[2];
  }
  int* top = stack.data();
  *top++ = 0;
  grey[0] = 2;
  while (top != stack.data()) {
    const int i = *--top;
    for (const int j : {i - 1, i + 1, i - w, i + w}) {
      if (j >= 0 && j < size && grey[j] == 1) grey[*top++ = j] = 2;
    }
  }
  *selected = *smart = 0;
  for (int y = 0; y < kHeight; ++y) {
    const uchar* m = mask.constScanLine(y);
    for (int x = 0; x < kWidth; ++x, m += 4) {
      if (!IsBody(m)) continue;
      *selected += grey[(y + 1) * w + x + 1] == 0;
      *smart += grey[(y + 1) * w + x + 1] != 2;
    }
  }
}

TEST(ChartSamples, CountsAgreeWithARecountFromTheMask) {
  const std::vector<SampleCount> rows = SampleCounts();
  QStringList listed;
  for (const SampleCount& row : rows) listed.append(row.file);
  listed.sort();
  EXPECT_EQ(QDir(SourcePath(QStringLiteral("samples"))).entryList({QStringLiteral("*.png")}), listed);
  // Read as the program reads drawings; the decoder's tests hold it to Qt's
  // reader on these files.
  DrawingReader reader(kWidth, kHeight);
  const QImage mask = Decoded(QStringLiteral("resources/body_mask.png"));
  for (const SampleCount& row : rows) {
    SCOPED_TRACE(row.file.toStdString());
    const QString path = SourcePath(QStringLiteral("samples/") + row.file);
    const QSize size = QImageReader(path).size();
    EXPECT_EQ(size.isValid() ? size : QSize(0, 0), QSize(row.width, row.height));
    int64_t selected = 0, smart = 0;
    if (reader.Read(LocalPath(path)) != nullptr) Recount(reader.Pixels(), mask, &selected, &smart);
    EXPECT_EQ(row.selected, selected);
    EXPECT_EQ(row.selectedWithSmartArea, smart);
    EXPECT_EQ(row.ratio, QString::asprintf("%.2f", static_cast<double>(selected) * 100.0 / kBodyCount));
    // The unchanged drawing is the reference chart itself.
    if (row.file == QStringLiteral("blank.png")) {
      EXPECT_TRUE(reader.Pixels().convertToFormat(QImage::Format_RGBA8888) ==
                  Decoded(QStringLiteral("resources/reference_chart.png")));
    }
  }
}

#ifdef VARENKO_HAVE_CHARTGEN
// Whether two images of one size differ by at most `tolerance` in any byte.
bool Near(const QImage& a, const QImage& b, int tolerance) {
  if (a.size() != b.size() || a.format() != b.format()) return false;
  for (int y = 0; y < a.height(); ++y) {
    for (qsizetype i = 0; i < a.bytesPerLine(); ++i) {
      if (std::abs(a.constScanLine(y)[i] - b.constScanLine(y)[i]) > tolerance) return false;
    }
  }
  return true;
}

// The generator, run now, draws the committed images pixel for pixel.
TEST(ChartGenerator, RedrawsTheCommittedImages) {
  ChartLayout layout;
  const ClassMap map = BuildChart(&layout);
  EXPECT_TRUE(MaskImage(map).convertToFormat(QImage::Format_RGBA8888) ==
              Decoded(QStringLiteral("resources/body_mask.png")));
  EXPECT_TRUE(BlankChartImage(map).convertToFormat(QImage::Format_RGBA8888) ==
              Decoded(QStringLiteral("resources/blank_chart.png")));
  // The tool-bar strip, each command's image where the tool bar takes it.
  EXPECT_TRUE(ToolbarStrip(SourcePath(QStringLiteral("resources/icons"))).convertToFormat(QImage::Format_RGBA8888) ==
              Decoded(QStringLiteral("resources/toolbar.png")));
  const std::pair<unsigned, const char*> buttons[] = {
      {res::ID_FILE_OPEN, "open.svg"},        {res::ID_FILE_OPEN_FOLDER, "openfolder.svg"},
      {res::ID_COMPARE_FILES, "compare.svg"}, {res::ID_SMART_AREA, "smartarea.svg"},
      {res::ID_ENABLE_PROBE, "probe.svg"},    {res::ID_RESULTS, "results.svg"},
      {res::ID_APP_ABOUT, "about.svg"},       {res::ID_PROGRAM_GUIDE, "guide.svg"}};
  for (const auto& [id, svg] : buttons) {
    EXPECT_EQ(ToolbarIconFiles().value(res::ToolBarImageIndex(id)), QString::fromLatin1(svg));
  }
  const QString svg = SourcePath(QStringLiteral("resources/icons/varenko.svg"));
  // Qt's painter rounds an anti-aliased edge's coverage a unit apart on
  // processors with wider vector instructions.
  for (const int size : kIconSizes) {
    EXPECT_TRUE(Near(RenderSvg(svg, size), Decoded(QStringLiteral("resources/icons/varenko_%1.png").arg(size)), 1))
        << size;
  }
  // The labels come from an installed font; without it they would differ.
  if (QFontInfo(QFont(QStringLiteral("Liberation Sans"))).family() == QStringLiteral("Liberation Sans")) {
    EXPECT_TRUE(ReferenceChartImage(map, layout) == Decoded(QStringLiteral("resources/reference_chart.png")));
  }
}
#endif

}  // namespace
