#include "tools/chartgen/chart.h"

#include "tools/chartgen/figure.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Horizontal centres of the two views: the middle of each half of the page.
constexpr double kFrontCentre = kPageWidth / 4.0;
constexpr double kBackCentre = kPageWidth * 3 / 4.0;

QTransform Placement(double centre, double scale, double top) {
  return QTransform::fromTranslate(centre, top).scale(scale, scale);
}

QImage Blank8() {
  QImage image(kPageWidth, kPageHeight, QImage::Format_Grayscale8);
  image.fill(0);
  return image;
}

// Where two finger edges run together, their lines can shut in a pixel or two
// of the page. Such specks would show as holes in the line, so they become
// line: everything outside the figures stays one area joined to the border.
void FillPockets(ClassMap& map) {
  const int w = map.width;
  const std::vector<uint8_t> reached = ReachFromBorder(
      map.width, map.height, [&](int x, int y) { return map.cls[static_cast<size_t>(y) * w + x] == kOutside; });
  for (size_t i = 0; i < map.cls.size(); ++i)
    if (map.cls[i] == kOutside && !reached[i]) map.cls[i] = kLine;
}

// The figures' insides and lines as drawn, before any clean-up.
ClassMap RenderOutlines(double scale, double top) {
  QImage inside = Blank8();
  QImage lines = Blank8();
  {
    QPainter fill(&inside);
    QPainter stroke(&lines);
    fill.setRenderHint(QPainter::Antialiasing, false);
    stroke.setRenderHint(QPainter::Antialiasing, false);
    stroke.setPen(QPen(Qt::white, kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    stroke.setBrush(Qt::NoBrush);
    for (const auto& [view, centre] : {std::pair{View::kFront, kFrontCentre}, std::pair{View::kBack, kBackCentre}}) {
      const Figure figure = BuildFigure(view);
      const QTransform place = Placement(centre, scale, top);
      QPainterPath outline = place.map(figure.outline);
      outline.setFillRule(Qt::WindingFill);
      fill.fillPath(outline, Qt::white);
      stroke.drawPath(outline);
      for (const QPainterPath& mark : figure.marks) stroke.drawPath(place.map(mark));
    }
  }
  ClassMap map;
  map.width = kPageWidth;
  map.height = kPageHeight;
  map.cls.resize(static_cast<size_t>(kPageWidth) * kPageHeight);
  for (int y = 0; y < kPageHeight; ++y) {
    const uchar* in = inside.constScanLine(y);
    const uchar* line = lines.constScanLine(y);
    for (int x = 0; x < kPageWidth; ++x) {
      map.At(x, y) = line[x] ? kLine : in[x] ? kBody : kOutside;
    }
  }
  return map;
}

}  // namespace

int64_t ClassMap::Count(PixelClass c) const { return std::count(cls.begin(), cls.end(), c); }

ClassMap RenderClasses(double scale, double top) {
  ClassMap map = RenderOutlines(scale, top);
  FillPockets(map);
  return map;
}

namespace {

constexpr double kTopMargin = 100;

bool HasNeighbour(const ClassMap& map, int x, int y, PixelClass c, bool diagonals) {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if ((dx == 0 && dy == 0) || (!diagonals && dx != 0 && dy != 0)) continue;
      const int nx = x + dx;
      const int ny = y + dy;
      if (nx < 0 || ny < 0 || nx >= map.width || ny >= map.height) continue;
      if (map.At(nx, ny) == c) return true;
    }
  }
  return false;
}

// Moves `count` pixels between body and line along the lines' inner edge:
// body pixels beside a line join it (count > 0), or line pixels beside the
// body and away from the outside join the body (count < 0). The pixels are
// taken at even steps through the candidates in page order, so the lines
// thicken or thin by one pixel at scattered points, never a run of them.
void MoveAlongEdge(ClassMap& map, int64_t count) {
  const bool thicken = count > 0;
  const int64_t n = std::llabs(count);
  if (n == 0) return;
  std::vector<size_t> candidates;
  for (int y = 1; y + 1 < map.height; ++y) {
    for (int x = 1; x + 1 < map.width; ++x) {
      const uint8_t c = map.At(x, y);
      if (thicken ? c == kBody && HasNeighbour(map, x, y, kLine, false)
                  : c == kLine && HasNeighbour(map, x, y, kBody, false) && !HasNeighbour(map, x, y, kOutside, true)) {
        candidates.push_back(static_cast<size_t>(y) * map.width + x);
      }
    }
  }
  if (static_cast<int64_t>(candidates.size()) < 8 * n) {
    std::fprintf(stderr, "chartgen: too few edge pixels to move %lld\n", static_cast<long long>(count));
    std::exit(1);
  }
  const auto total = static_cast<int64_t>(candidates.size());
  for (int64_t i = 0; i < n; ++i)
    map.cls[candidates[static_cast<size_t>((2 * i + 1) * total / (2 * n))]] = thicken ? kLine : kBody;
}

}  // namespace

ClassMap BuildChart(ChartLayout* layout) {
  // The figures sit a little above the middle of the page, which leaves room
  // for the view names under them.
  auto topFor = [](double scale) {
    return kTopMargin + (kPageHeight - 2 * kTopMargin - 100 - kFigureHeightUnits * scale) / 2;
  };
  // The body count grows with the scale; halve the interval until the scale
  // is pinned down to far less than a pixel over the whole figure. Filling
  // pockets of page leaves the body alone, so the search can skip it.
  double low = 255;
  double high = 290;
  for (int i = 0; i < 26; ++i) {
    const double mid = (low + high) / 2;
    if (RenderOutlines(mid, topFor(mid)).Count(kBody) < kBodyPixels)
      low = mid;
    else
      high = mid;
  }
  const double scale = low;
  ClassMap map = RenderClasses(scale, topFor(scale));
  const int64_t difference = map.Count(kBody) - kBodyPixels;
  MoveAlongEdge(map, difference);
  if (layout != nullptr) *layout = {scale, topFor(scale), static_cast<int>(difference)};
  return map;
}

std::vector<int64_t> BodyAreas(const ClassMap& map) {
  std::vector<uint8_t> seen(map.cls.size(), 0);
  std::vector<size_t> stack;
  std::vector<int64_t> areas;
  for (size_t start = 0; start < map.cls.size(); ++start) {
    if (map.cls[start] != kBody || seen[start]) continue;
    int64_t area = 0;
    seen[start] = 1;
    stack.push_back(start);
    while (!stack.empty()) {
      const size_t i = stack.back();
      stack.pop_back();
      ++area;
      const int x = static_cast<int>(i % map.width);
      const int y = static_cast<int>(i / map.width);
      auto visit = [&](int nx, int ny) {
        if (nx < 0 || ny < 0 || nx >= map.width || ny >= map.height) return;
        const size_t j = static_cast<size_t>(ny) * map.width + nx;
        if (map.cls[j] == kBody && !seen[j]) {
          seen[j] = 1;
          stack.push_back(j);
        }
      };
      visit(x - 1, y);
      visit(x + 1, y);
      visit(x, y - 1);
      visit(x, y + 1);
    }
    areas.push_back(area);
  }
  std::sort(areas.rbegin(), areas.rend());
  return areas;
}

QImage MaskImage(const ClassMap& map) {
  QImage image(map.width, map.height, QImage::Format_RGB888);
  for (int y = 0; y < map.height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < map.width; ++x) {
      const uint8_t c = map.At(x, y);
      const QRgb rgb = c == kBody ? kMaskBody : c == kOutside ? kMaskOutside : qRgb(kLineGrey, kLineGrey, kLineGrey);
      row[3 * x] = static_cast<uchar>(qRed(rgb));
      row[3 * x + 1] = static_cast<uchar>(qGreen(rgb));
      row[3 * x + 2] = static_cast<uchar>(qBlue(rgb));
    }
  }
  return image;
}

QImage BlankChartImage(const ClassMap& map) {
  QImage image(map.width, map.height, QImage::Format_RGB888);
  for (int y = 0; y < map.height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < map.width; ++x) {
      const uchar v = map.At(x, y) == kLine ? kLineGrey : 255;
      row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
    }
  }
  return image;
}

namespace {

// Rows and columns any figure pixel (body or line) takes within a band of rows.
struct Extent {
  int left = kPageWidth;
  int right = -1;
};

Extent FigureExtent(const ClassMap& map, int fromX, int toX, int fromY, int toY) {
  Extent e;
  for (int y = std::max(fromY, 0); y < std::min(toY, map.height); ++y) {
    for (int x = fromX; x < toX; ++x) {
      if (map.At(x, y) != kOutside) {
        e.left = std::min(e.left, x);
        e.right = std::max(e.right, x);
      }
    }
  }
  return e;
}

int FigureBottom(const ClassMap& map, int fromX, int toX) {
  for (int y = map.height - 1; y >= 0; --y) {
    for (int x = fromX; x < toX; ++x)
      if (map.At(x, y) != kOutside) return y;
  }
  return 0;
}

}  // namespace

QImage ReferenceChartImage(const ClassMap& map, const ChartLayout& layout) {
  // Labels go on a layer of their own first: drawn without anti-aliasing, so
  // each of its pixels is either label or not.
  QImage labels = Blank8();
  QList<QRect> boxes;
  {
    QPainter painter(&labels);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(58);
    font.setStyleStrategy(QFont::NoAntialias);
    // Another family draws the labels a little differently; the chart stays
    // valid, but the committed images would change.
    if (QFontInfo(font).family() != font.family())
      std::fprintf(stderr, "chartgen: %s not installed, labels drawn in %s\n", qPrintable(font.family()),
                   qPrintable(QFontInfo(font).family()));
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QFontMetrics metrics(font);
    constexpr int kGap = 90;  // between a label and the figure beside it
    const int half = map.width / 2;
    // Side labels sit level with the waist, clear of the hanging arms.
    const int sideY = static_cast<int>(layout.top + 3.0 * layout.scale);
    auto place = [&](const QString& text, QPoint topLeft) {
      const QRect box(topLeft, QSize(metrics.horizontalAdvance(text), metrics.height()));
      painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
      boxes.append(box);
    };
    for (int view = 0; view < 2; ++view) {
      const int from = view * half;
      const Extent beside = FigureExtent(map, from, from + half, sideY - 150, sideY + 150);
      const QString viewerLeft = view == 0 ? QStringLiteral("Right") : QStringLiteral("Left");
      const QString viewerRight = view == 0 ? QStringLiteral("Left") : QStringLiteral("Right");
      const int textTop = sideY - metrics.height() / 2;
      place(viewerLeft, {beside.left - kGap - metrics.horizontalAdvance(viewerLeft), textTop});
      place(viewerRight, {beside.right + kGap, textTop});
      const QString name = view == 0 ? QStringLiteral("Front") : QStringLiteral("Back");
      const int bottom = FigureBottom(map, from, from + half);
      place(name, {from + half / 2 - metrics.horizontalAdvance(name) / 2, bottom + 50});
    }
  }
  // A label must keep well away from the figures and stay on the page.
  for (const QRect& box : boxes) {
    const QRect margin = box.adjusted(-30, -30, 30, 30);
    if (!QRect(0, 0, map.width, map.height).contains(margin)) return {};
    for (int y = margin.top(); y <= margin.bottom(); ++y)
      for (int x = margin.left(); x <= margin.right(); ++x)
        if (map.At(x, y) != kOutside) return {};
  }
  QImage image(map.width, map.height, QImage::Format_RGBA8888);
  for (int y = 0; y < map.height; ++y) {
    uchar* row = image.scanLine(y);
    const uchar* label = labels.constScanLine(y);
    for (int x = 0; x < map.width; ++x) {
      const uchar v = map.At(x, y) == kLine ? kLineGrey : label[x] ? kLabelGrey : 255;
      row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = v;
      row[4 * x + 3] = 255;
    }
  }
  return image;
}
