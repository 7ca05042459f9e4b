// The body chart, its mask, the tool-bar images, the icon and the sample
// drawings, as committed and as compiled into the program.

#include "framework/bitmap.h"
#include "resources/resource.h"
#include "tests/support/testsupport.h"

#ifdef VARENKO_HAVE_CHARTGEN
#include "tools/chartgen/chart.h"
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontInfo>
#include <QImageReader>
#include <QMap>
#include <QPainter>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 3508;
constexpr int kHeight = 2480;
constexpr int64_t kBodyCount = 1517036;

// The fields of a PNG's header chunk, read from the file's bytes.
struct PngHeader {
  bool ok = false;
  int width = 0;
  int height = 0;
  int bitDepth = 0;
  int colourType = 0;
  int interlace = 0;
};

PngHeader ReadPngHeader(const QString& path) {
  QFile file(path);
  PngHeader h;
  if (!file.open(QIODevice::ReadOnly)) return h;
  const QByteArray b = file.read(33);
  if (b.size() < 33 || !b.startsWith("\x89PNG\r\n\x1a\n") || b.mid(12, 4) != "IHDR") return h;
  auto u32 = [&](int at) {
    return (uchar(b[at]) << 24) | (uchar(b[at + 1]) << 16) | (uchar(b[at + 2]) << 8) | uchar(b[at + 3]);
  };
  h = {true, static_cast<int>(u32(16)), static_cast<int>(u32(20)), uchar(b[24]), uchar(b[25]), uchar(b[28])};
  return h;
}

// Decoded images, read once per test run: RGBA8888, so byte 0 is red.
const QImage& Decoded(const QString& relative) {
  static QMap<QString, QImage> cache;
  auto it = cache.find(relative);
  if (it == cache.end()) {
    QImageReader reader(SourcePath(relative));
    reader.setAllocationLimit(kImageAllocationLimitMb);
    it = cache.insert(relative, reader.read().convertToFormat(QImage::Format_RGBA8888));
  }
  return *it;
}

const uchar* Px(const QImage& image, int x, int y) { return image.constScanLine(y) + 4 * x; }
bool IsGrey(const uchar* p) { return p[0] == p[1] && p[1] == p[2]; }

enum Class : uint8_t { kOutsideClass, kBodyClass, kLineClass, kOther };

// The mask's pixel classes, by the colours the program relies on.
const std::vector<uint8_t>& MaskClasses() {
  static const std::vector<uint8_t> classes = [] {
    const QImage& mask = Decoded(QStringLiteral("resources/body_mask.png"));
    std::vector<uint8_t> c(static_cast<size_t>(kWidth) * kHeight, kOther);
    if (mask.width() != kWidth || mask.height() != kHeight) return c;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const uchar* p = Px(mask, x, y);
        uint8_t& k = c[static_cast<size_t>(y) * kWidth + x];
        if (p[0] == 116 && p[1] == 167 && p[2] == 254)
          k = kBodyClass;
        else if (p[0] == 255 && p[1] == 217 && p[2] == 168)
          k = kOutsideClass;
        else if (IsGrey(p) && p[2] < 250)
          k = kLineClass;
      }
    }
    return c;
  }();
  return classes;
}

uint8_t ClassAt(int x, int y) { return MaskClasses()[static_cast<size_t>(y) * kWidth + x]; }

// 4-connected areas of the pixels for which `in` holds; reports each area's
// size and its leftmost and rightmost columns.
struct Area {
  int64_t size = 0;
  int left = 0;
  int right = 0;
  bool touchesBorder = false;
};

template <typename In>
std::vector<Area> Areas(int w, int h, In in, bool diagonals = false) {
  std::vector<uint8_t> seen(static_cast<size_t>(w) * h, 0);
  std::vector<Area> areas;
  std::vector<int> stack;
  for (int start = 0; start < w * h; ++start) {
    if (seen[start] || !in(start % w, start / w)) continue;
    Area a{0, start % w, start % w, false};
    seen[start] = 1;
    stack.push_back(start);
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      const int x = i % w;
      const int y = i / w;
      ++a.size;
      a.left = std::min(a.left, x);
      a.right = std::max(a.right, x);
      a.touchesBorder = a.touchesBorder || x == 0 || y == 0 || x == w - 1 || y == h - 1;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const bool diagonal = dx != 0 && dy != 0;
          if ((dx == 0 && dy == 0) || (diagonal && !diagonals)) continue;
          const int nx = x + dx;
          const int ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const int j = ny * w + nx;
          if (!seen[j] && in(nx, ny)) {
            seen[j] = 1;
            stack.push_back(j);
          }
        }
      }
    }
    areas.push_back(a);
  }
  return areas;
}

// ---------------------------------------------------------------------------
// File formats

TEST(ChartFiles, AreEightBitPngsOfThePagesSizeWithTheirColourTypes) {
  struct Expect {
    const char* file;
    int width, height, colourType;
  };
  for (const Expect& e :
       {Expect{"resources/body_mask.png", kWidth, kHeight, 2}, Expect{"resources/blank_chart.png", kWidth, kHeight, 2},
        Expect{"resources/reference_chart.png", kWidth, kHeight, 6}, Expect{"resources/toolbar.png", 256, 32, 2}}) {
    SCOPED_TRACE(e.file);
    const PngHeader h = ReadPngHeader(SourcePath(QString::fromLatin1(e.file)));
    ASSERT_TRUE(h.ok);
    EXPECT_EQ(h.width, e.width);
    EXPECT_EQ(h.height, e.height);
    EXPECT_EQ(h.bitDepth, 8);
    EXPECT_EQ(h.colourType, e.colourType);
    EXPECT_EQ(h.interlace, 0);
  }
}

TEST(ChartFiles, TheProgramCarriesTheSameImages) {
  struct Expect {
    int id;
    const char* file;
  };
  for (const Expect& e : {Expect{res::IDB_BODY_MASK, "resources/body_mask.png"},
                          Expect{res::IDB_BLANK_CHART, "resources/blank_chart.png"},
                          Expect{res::IDB_BLANK_CHART_COMPARE, "resources/blank_chart.png"},
                          Expect{res::IDR_REFERENCE_CHART, "resources/reference_chart.png"},
                          Expect{res::IDR_MAINFRAME, "resources/toolbar.png"}}) {
    SCOPED_TRACE(e.file);
    const auto bitmap = Bitmap::FromResource(e.id);
    const QImage& file = Decoded(QString::fromLatin1(e.file));
    ASSERT_FALSE(bitmap->IsEmpty());
    ASSERT_EQ(bitmap->Width(), file.width());
    ASSERT_EQ(bitmap->Height(), file.height());
    EXPECT_TRUE(bitmap->Image().convertToFormat(QImage::Format_RGB32) == file.convertToFormat(QImage::Format_RGB32));
  }
  // The export writes the embedded reference chart out byte for byte, so it
  // must be the committed file itself, header and all.
  QFile embedded(QStringLiteral(":/resources/reference_chart.png"));
  QFile committed(SourcePath(QStringLiteral("resources/reference_chart.png")));
  ASSERT_TRUE(embedded.open(QIODevice::ReadOnly));
  ASSERT_TRUE(committed.open(QIODevice::ReadOnly));
  EXPECT_TRUE(embedded.readAll() == committed.readAll());
}

// ---------------------------------------------------------------------------
// The body mask

TEST(ChartMask, HoldsOnlyBodyOutsideAndGreyLinesWithTheExactBodyCount) {
  const QImage& mask = Decoded(QStringLiteral("resources/body_mask.png"));
  ASSERT_EQ(mask.width(), kWidth);
  ASSERT_EQ(mask.height(), kHeight);
  int64_t counts[4] = {};
  int64_t blueAtLeast250 = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      ++counts[ClassAt(x, y)];
      if (Px(mask, x, y)[2] >= 250) ++blueAtLeast250;
    }
  }
  EXPECT_EQ(counts[kOther], 0);
  EXPECT_EQ(counts[kBodyClass], kBodyCount);
  // The program counts the body by its blue alone.
  EXPECT_EQ(blueAtLeast250, kBodyCount);
  EXPECT_GT(counts[kLineClass], 0);
}

TEST(ChartMask, EachFigureIsOneAreaCentredInItsHalfAndOfAdultHeight) {
  const auto body = Areas(kWidth, kHeight, [](int x, int y) { return ClassAt(x, y) == kBodyClass; });
  ASSERT_EQ(body.size(), 2u);
  const int half = kWidth / 2;
  const Area& front = body[0].left < body[1].left ? body[0] : body[1];
  const Area& back = body[0].left < body[1].left ? body[1] : body[0];
  EXPECT_LT(front.right, half);
  EXPECT_GE(back.left, half);

  for (int view = 0; view < 2; ++view) {
    SCOPED_TRACE(view == 0 ? "front" : "back");
    int top = kHeight, bottom = -1, left = kWidth, right = -1;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = view * half; x < (view + 1) * half; ++x) {
        if (ClassAt(x, y) == kOutsideClass) continue;
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    EXPECT_GE(bottom - top + 1, 2100);
    EXPECT_LE(bottom - top + 1, 2250);
    EXPECT_NEAR((left + right) / 2.0, view * half + half / 2.0, 4);
    EXPECT_NEAR((top + bottom) / 2.0, kHeight / 2.0, 80);
    // Arms away from the body and open hands make a figure about half as wide
    // as it is tall.
    EXPECT_GT(right - left, (bottom - top) * 4 / 10);
  }
}

TEST(ChartMask, OutlinesAreClosedLinesWithoutSpecks) {
  // Everything outside the figures is one area reaching the border: no pocket
  // of page shut inside a line.
  const auto outside = Areas(kWidth, kHeight, [](int x, int y) { return ClassAt(x, y) == kOutsideClass; });
  ASSERT_EQ(outside.size(), 1u);
  EXPECT_TRUE(outside[0].touchesBorder);
  // Lines: the two outlines and a few short inner marks, no loose pixels.
  const auto lines = Areas(
      kWidth, kHeight, [](int x, int y) { return ClassAt(x, y) == kLineClass; }, true);
  EXPECT_GE(lines.size(), 2u);
  EXPECT_LE(lines.size(), 8u);
  for (const Area& a : lines) EXPECT_GE(a.size, 50) << "line piece at column " << a.left;
}

TEST(ChartMask, LinesAreFourToSixPixelsAcross) {
  // Rows across the thighs and knees, below the finger tips, cross only the
  // legs' nearly upright outlines, so each run of line pixels there is about
  // as long as the line is wide.
  const QImage& mask = Decoded(QStringLiteral("resources/body_mask.png"));
  ASSERT_FALSE(mask.isNull());
  int runs = 0;
  for (int y = 1500; y <= 1700; y += 25) {
    int run = 0;
    for (int x = 0; x < kWidth; ++x) {
      if (ClassAt(x, y) == kLineClass) {
        ++run;
      } else if (run > 0) {
        EXPECT_GE(run, 4) << "row " << y << " column " << x;
        EXPECT_LE(run, 7) << "row " << y << " column " << x;
        ++runs;
        run = 0;
      }
    }
  }
  EXPECT_GT(runs, 40);
}

// ---------------------------------------------------------------------------
// Blank and reference charts

TEST(ChartBlank, IsWhiteWithTheMasksLineGreys) {
  const QImage& mask = Decoded(QStringLiteral("resources/body_mask.png"));
  const QImage& blank = Decoded(QStringLiteral("resources/blank_chart.png"));
  ASSERT_EQ(blank.size(), QSize(kWidth, kHeight));
  int64_t wrong = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uchar* b = Px(blank, x, y);
      const uchar expected = ClassAt(x, y) == kLineClass ? Px(mask, x, y)[0] : 255;
      if (!IsGrey(b) || b[0] != expected) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(ChartReference, MatchesTheBlankChartOnTheFiguresAndLabelsOnlyTheSpaceAround) {
  const QImage& blank = Decoded(QStringLiteral("resources/blank_chart.png"));
  const QImage& reference = Decoded(QStringLiteral("resources/reference_chart.png"));
  ASSERT_EQ(reference.size(), QSize(kWidth, kHeight));
  int64_t differ = 0, notOpaque = 0, notGrey = 0, nearFigure = 0, labelPixels = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uchar* r = Px(reference, x, y);
      if (r[3] != 255) ++notOpaque;
      if (!IsGrey(r)) ++notGrey;
      if (ClassAt(x, y) != kOutsideClass) {
        if (std::memcmp(r, Px(blank, x, y), 3) != 0) ++differ;
      } else if (r[0] != 255) {
        ++labelPixels;
        // A label keeps a clear margin from both figures.
        for (int dy = -12; dy <= 12; ++dy)
          for (int dx = -12; dx <= 12; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < kWidth && ny < kHeight && ClassAt(nx, ny) != kOutsideClass) ++nearFigure;
          }
      }
    }
  }
  EXPECT_EQ(differ, 0);
  EXPECT_EQ(notOpaque, 0);
  EXPECT_EQ(notGrey, 0);
  EXPECT_EQ(nearFigure, 0);
  EXPECT_GT(labelPixels, 0);
}

// ---------------------------------------------------------------------------
// Tool-bar images and the icon

QImage RenderSvg(const QString& path, int size, QColor background) {
  QSvgRenderer renderer(path);
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(background);
  if (!renderer.isValid()) return {};
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  renderer.render(&painter, QRectF(0, 0, size, size));
  painter.end();
  return image.convertToFormat(QImage::Format_RGBA8888);
}

// Mean difference per channel between two images of one size.
double MeanDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 255;
  int64_t sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      for (int c = 0; c < 3; ++c) sum += std::abs(Px(a, x, y)[c] - Px(b, x, y)[c]);
  return static_cast<double>(sum) / (3.0 * a.width() * a.height());
}

TEST(ChartToolbar, ShowsTheEightButtonsImagesInButtonOrder) {
  const QStringList order = {QStringLiteral("open"),      QStringLiteral("openfolder"), QStringLiteral("compare"),
                             QStringLiteral("smartarea"), QStringLiteral("probe"),      QStringLiteral("results"),
                             QStringLiteral("about"),     QStringLiteral("guide")};
  const QImage& strip = Decoded(QStringLiteral("resources/toolbar.png"));
  ASSERT_EQ(strip.size(), QSize(256, 32));
  std::vector<QImage> icons;
  for (const QString& name : order) {
    const QString path = QStringLiteral(":/resources/icons/%1.svg").arg(name);
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    icons.push_back(RenderSvg(path, 32, QColor(192, 192, 192)));
    ASSERT_FALSE(icons.back().isNull()) << path.toStdString();
  }
  for (int i = 0; i < 8; ++i) {
    const QImage cell = strip.copy(32 * i, 0, 32, 32);
    for (int j = 0; j < 8; ++j) {
      const double d = MeanDifference(cell, icons[j]);
      if (i == j)
        EXPECT_LT(d, 1.0) << order[i].toStdString();
      else
        EXPECT_GT(d, 10.0) << order[i].toStdString() << " looks like " << order[j].toStdString();
    }
  }
}

TEST(ChartIcon, RendersAtEachSizeFromItsDrawing) {
  const QString svg = QStringLiteral(":/resources/icons/varenko.svg");
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    SCOPED_TRACE(size);
    const QString file = QStringLiteral("resources/icons/varenko_%1.png").arg(size);
    const QImage& png = Decoded(file);
    ASSERT_EQ(png.size(), QSize(size, size));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/") + file));
    // Compared over white, so transparent pixels compare too.
    QImage flat(size, size, QImage::Format_RGBA8888);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, png);
    EXPECT_LT(MeanDifference(flat, RenderSvg(svg, size, Qt::white)), 1.0);
    // The red mark survives at every size.
    int red = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        if (Px(flat, x, y)[0] > 200 && Px(flat, x, y)[1] < 60) ++red;
    EXPECT_GT(red, size * size / 40);
  }
}

// ---------------------------------------------------------------------------
// Sample drawings

using SampleRow = SampleCount;

std::vector<SampleRow> ReadCountsTable() { return SampleCounts(); }

// The table in samples/README.md: file | width x height | selected | smart | ratio.
std::vector<SampleRow> ReadReadmeTable() {
  std::vector<SampleRow> rows;
  QFile file(SourcePath(QStringLiteral("samples/README.md")));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return rows;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (!line.startsWith(QLatin1Char('|'))) continue;
    QStringList f = line.split(QLatin1Char('|'));
    if (f.size() != 7) continue;
    for (QString& s : f) s = s.trimmed();
    bool isNumber = false;
    f[3].toLongLong(&isNumber);
    if (!isNumber) continue;  // the header and its rule
    const QStringList size = f[2].split(QStringLiteral(" x "));
    rows.push_back({f[1], size.size() == 2 ? size[0].toInt() : 0, size.size() == 2 ? size[1].toInt() : 0,
                    f[3].toLongLong(), f[4].toLongLong(), f[5]});
  }
  return rows;
}

// Counts a drawing against the mask: marked body pixels, and body pixels that
// no path of grey pixels joins to the frame around the image.
void Recount(const QImage& drawing, int64_t* selected, int64_t* smart) {
  *selected = *smart = 0;
  if (drawing.size() != QSize(kWidth, kHeight)) return;
  std::vector<uint8_t> open(static_cast<size_t>(kWidth) * kHeight, 0);
  std::vector<int> queue;
  auto enter = [&](int x, int y) {
    const int i = y * kWidth + x;
    if (!open[i] && IsGrey(Px(drawing, x, y))) {
      open[i] = 1;
      queue.push_back(i);
    }
  };
  for (int x = 0; x < kWidth; ++x) enter(x, 0), enter(x, kHeight - 1);
  for (int y = 0; y < kHeight; ++y) enter(0, y), enter(kWidth - 1, y);
  for (size_t head = 0; head < queue.size(); ++head) {
    const int x = queue[head] % kWidth;
    const int y = queue[head] / kWidth;
    if (x > 0) enter(x - 1, y);
    if (x + 1 < kWidth) enter(x + 1, y);
    if (y > 0) enter(x, y - 1);
    if (y + 1 < kHeight) enter(x, y + 1);
  }
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (ClassAt(x, y) == kBodyClass) {
        if (!IsGrey(Px(drawing, x, y))) ++*selected;
        if (!open[y * kWidth + x]) ++*smart;
      }
}

TEST(ChartSamples, ReadmeAndTableListTheSameFilesAndCounts) {
  const auto tsv = ReadCountsTable();
  const auto readme = ReadReadmeTable();
  ASSERT_GE(tsv.size(), 8u);
  ASSERT_EQ(tsv.size(), readme.size());
  for (size_t i = 0; i < tsv.size(); ++i) {
    EXPECT_EQ(tsv[i].file, readme[i].file);
    EXPECT_EQ(tsv[i].width, readme[i].width);
    EXPECT_EQ(tsv[i].height, readme[i].height);
    EXPECT_EQ(tsv[i].selected, readme[i].selected);
    EXPECT_EQ(tsv[i].selectedWithSmartArea, readme[i].selectedWithSmartArea);
    EXPECT_EQ(tsv[i].ratio, readme[i].ratio);
  }
  // Every file in the folder is listed, and every listed file exists.
  const QStringList present = QDir(SourcePath(QStringLiteral("samples"))).entryList({QStringLiteral("*.png")});
  QStringList listed;
  for (const SampleRow& row : tsv) listed.append(row.file);
  listed.sort();
  EXPECT_EQ(present, listed);
}

TEST(ChartSamples, CountsAgreeWithARecountFromTheMask) {
  for (const SampleRow& row : ReadCountsTable()) {
    SCOPED_TRACE(row.file.toStdString());
    const QString path = SourcePath(QStringLiteral("samples/") + row.file);
    QImageReader reader(path);
    const QImage image = reader.read();
    if (row.width == 0) {
      EXPECT_TRUE(image.isNull()) << "listed as not an image";
    } else {
      ASSERT_FALSE(image.isNull());
      EXPECT_EQ(image.size(), QSize(row.width, row.height));
      const PngHeader h = ReadPngHeader(path);
      EXPECT_EQ(h.colourType, 6);
      EXPECT_EQ(h.bitDepth, 8);
    }
    int64_t selected = 0, smart = 0;
    Recount(image.convertToFormat(QImage::Format_RGBA8888), &selected, &smart);
    EXPECT_EQ(row.selected, selected);
    EXPECT_EQ(row.selectedWithSmartArea, smart);
    EXPECT_GE(smart, selected);
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.2f", static_cast<double>(selected) * 100.0 / static_cast<double>(kBodyCount));
    EXPECT_EQ(row.ratio.toStdString(), ratio);
  }
}

TEST(ChartSamples, CoverTheCasesTheProgramMustHandle) {
  bool blank = false, wrongSize = false, notImage = false, outlined = false, large = false;
  for (const SampleRow& row : ReadCountsTable()) {
    blank = blank || (row.width == kWidth && row.selected == 0);
    wrongSize = wrongSize || (row.width != 0 && row.width != kWidth);
    notImage = notImage || row.width == 0;
    outlined = outlined || row.selectedWithSmartArea > 2 * row.selected;
    large = large || row.selected * 100 > 16 * kBodyCount;
  }
  EXPECT_TRUE(blank && wrongSize && notImage && outlined && large);
  // The unchanged drawing is the reference chart itself.
  EXPECT_TRUE(Decoded(QStringLiteral("samples/blank.png")) == Decoded(QStringLiteral("resources/reference_chart.png")));
  // The folder stays small enough to keep in the repository.
  qint64 bytes = 0;
  for (const QFileInfo& info : QDir(SourcePath(QStringLiteral("samples"))).entryInfoList(QDir::Files))
    bytes += info.size();
  EXPECT_LT(bytes, 5 * 1024 * 1024);
}

#ifdef VARENKO_HAVE_CHARTGEN
// The generator, run now, draws the committed mask and charts pixel for pixel.
TEST(ChartGenerator, RedrawsTheCommittedCharts) {
  ChartLayout layout;
  const ClassMap map = BuildChart(&layout);
  EXPECT_EQ(map.Count(kBody), kBodyPixels);
  EXPECT_TRUE(MaskImage(map).convertToFormat(QImage::Format_RGBA8888) ==
              Decoded(QStringLiteral("resources/body_mask.png")));
  EXPECT_TRUE(BlankChartImage(map).convertToFormat(QImage::Format_RGBA8888) ==
              Decoded(QStringLiteral("resources/blank_chart.png")));
  // The labels come from an installed font; without it they would differ.
  if (QFontInfo(QFont(QStringLiteral("Liberation Sans"))).family() == QStringLiteral("Liberation Sans")) {
    EXPECT_TRUE(ReferenceChartImage(map, layout) == Decoded(QStringLiteral("resources/reference_chart.png")));
  }
}
#endif

}  // namespace
