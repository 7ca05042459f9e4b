#include "tools/chartgen/samples.h"

#include "tools/chartgen/figure.h"
#include "tools/chartgen/pngfile.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPen>
#include <QSaveFile>
#include <QtMath>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// A small deterministic generator (splitmix64), so the drawings come out the
// same on every machine and library version.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double Uniform(double low, double high) { return low + (high - low) * static_cast<double>(Next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_;
};

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 64, 255);
const QColor kGreen(0, 160, 40);
const QColor kBlack(0, 0, 0);

// Marks made the way a person makes them with a mouse or a pen in a paint
// program: anti-aliased round brush strokes that wander a little.
class Sketch {
 public:
  Sketch(QImage* image, const ChartLayout& layout, uint64_t seed) : painter_(image), layout_(layout), random_(seed) {
    painter_.setRenderHint(QPainter::Antialiasing, true);
  }

  // A point of a figure in figure units (x to the viewer's right, so the front
  // view's own right side has negative x and the back view's positive x).
  QPointF At(View view, double x, double y) const {
    const double centre = view == View::kFront ? kPageWidth / 4.0 : kPageWidth * 3 / 4.0;
    return {centre + x * layout_.scale, layout_.top + y * layout_.scale};
  }

  // One brush stroke through the points, each moved a little at random.
  void Stroke(View view, const QList<QPointF>& units, const QColor& colour, double width, double jitter = 4) {
    QList<QPointF> points;
    for (const QPointF& u : units)
      points.append(At(view, u.x(), u.y()) +
                    QPointF(random_.Uniform(-jitter, jitter), random_.Uniform(-jitter, jitter)));
    Draw(points, colour, width);
  }

  // Shades an ellipse (centre and radii in figure units, turned by `degrees`)
  // with one stroke scribbled back and forth; rows miss the edge now and then
  // and leave small gaps, as real shading does.
  void Shade(View view, QPointF centre, double rx, double ry, double degrees, const QColor& colour, double width) {
    const double s = layout_.scale;
    const double spacing = width * 0.72;
    const int rows = std::max(1, static_cast<int>(2 * ry * s / spacing));
    QList<QPointF> local;
    for (int k = 0; k < rows; ++k) {
      const double v = -ry * s + (k + 0.5) * (2 * ry * s / rows);
      const double half = rx * s * std::sqrt(std::max(0.0, 1 - (v / (ry * s)) * (v / (ry * s))));
      const double from = -half * random_.Uniform(0.82, 1.04);
      const double to = half * random_.Uniform(0.82, 1.04);
      const int steps = std::max(1, static_cast<int>((to - from) / 70));
      for (int i = 0; i <= steps; ++i) {
        const double t = k % 2 == 0 ? static_cast<double>(i) / steps : 1 - static_cast<double>(i) / steps;
        local.append({from + (to - from) * t, v + random_.Uniform(-0.18, 0.18) * spacing});
      }
    }
    Draw(Place(view, centre, local, degrees), colour, width);
  }

  // A loop round an ellipse. A full loop runs on past its start so that it
  // closes; `sweep` below 360 degrees leaves it open.
  void Loop(View view, QPointF centre, double rx, double ry, double degrees, const QColor& colour, double width,
            double sweep = 385) {
    const double s = layout_.scale;
    const double start = random_.Uniform(0, 360);
    const double p1 = random_.Uniform(0, 6.3);
    const double p2 = random_.Uniform(0, 6.3);
    QList<QPointF> local;
    for (double a = 0; a <= sweep; a += 6) {
      const double r = qDegreesToRadians(start + a);
      // Slow wobble of the radius, and a slight drift so the end passes
      // beside the start rather than exactly over it.
      const double wobble = 1 + 0.05 * std::sin(2 * r + p1) + 0.03 * std::sin(3 * r + p2) + 0.025 * a / 360;
      local.append({rx * s * wobble * std::cos(r), ry * s * wobble * std::sin(r)});
    }
    Draw(Place(view, centre, local, degrees), colour, width);
  }

 private:
  QList<QPointF> Place(View view, QPointF centre, const QList<QPointF>& local, double degrees) const {
    const QPointF origin = At(view, centre.x(), centre.y());
    const double r = qDegreesToRadians(degrees);
    QList<QPointF> out;
    for (const QPointF& p : local)
      out.append(origin +
                 QPointF(p.x() * std::cos(r) - p.y() * std::sin(r), p.x() * std::sin(r) + p.y() * std::cos(r)));
    return out;
  }

  void Draw(const QList<QPointF>& points, const QColor& colour, double width) {
    painter_.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawPath(SmoothOpenPath(points));
  }

  QPainter painter_;
  ChartLayout layout_;
  Random random_;
};

struct Sample {
  QString file;
  QString shows;
  std::function<void(Sketch&)> draw;  // empty: the reference chart unchanged
};

constexpr View F = View::kFront;
constexpr View B = View::kBack;

QList<Sample> DrawnSamples() {
  QList<Sample> samples;
  samples.append({QStringLiteral("neck_shoulder.png"),
                  QStringLiteral("Red shading over the right side of the neck and the right shoulder, front and back."),
                  [](Sketch& k) {
                    k.Shade(F, {-0.52, 1.42}, 0.30, 0.11, 12, kRed, 22);
                    k.Shade(F, {-0.17, 1.12}, 0.07, 0.13, 0, kRed, 20);
                    k.Shade(B, {0.10, 1.18}, 0.13, 0.16, 0, kRed, 22);
                    k.Shade(B, {0.55, 1.56}, 0.32, 0.17, -14, kRed, 24);
                  }});
  samples.append({QStringLiteral("low_back_leg.png"),
                  QStringLiteral("Red shading across the low back, the right buttock and down the back of the right "
                                 "thigh and calf."),
                  [](Sketch& k) {
                    k.Shade(B, {0.02, 3.42}, 0.48, 0.20, 0, kRed, 26);
                    k.Shade(B, {0.36, 3.92}, 0.25, 0.19, 0, kRed, 26);
                    k.Shade(B, {0.40, 4.85}, 0.11, 0.55, -3, kRed, 22);
                    k.Shade(B, {0.40, 6.30}, 0.09, 0.35, 4, kRed, 20);
                  }});
  samples.append({QStringLiteral("widespread.png"),
                  QStringLiteral("Red shading over many regions of both views: neck, shoulders, back, hips, knees "
                                 "and hands."),
                  [](Sketch& k) {
                    k.Shade(F, {0.0, 1.15}, 0.16, 0.12, 0, kRed, 24);
                    k.Shade(F, {-0.62, 1.55}, 0.30, 0.18, 20, kRed, 26);
                    k.Shade(F, {0.62, 1.55}, 0.30, 0.18, -20, kRed, 26);
                    k.Shade(F, {-0.40, 3.85}, 0.28, 0.20, 0, kRed, 26);
                    k.Shade(F, {0.40, 3.85}, 0.28, 0.20, 0, kRed, 26);
                    k.Shade(F, {-0.38, 5.85}, 0.17, 0.22, 0, kRed, 24);
                    k.Shade(F, {0.38, 5.85}, 0.17, 0.22, 0, kRed, 24);
                    k.Shade(F, {-1.72, 4.55}, 0.14, 0.22, 12, kRed, 18);
                    k.Shade(F, {1.72, 4.55}, 0.14, 0.22, -12, kRed, 18);
                    k.Shade(B, {0.0, 2.1}, 0.55, 0.55, 0, kRed, 28);
                    k.Shade(B, {0.0, 3.35}, 0.55, 0.30, 0, kRed, 28);
                    k.Shade(B, {-0.38, 4.7}, 0.20, 0.45, 0, kRed, 26);
                    k.Shade(B, {0.38, 4.7}, 0.20, 0.45, 0, kRed, 26);
                  }});
  samples.append({QStringLiteral("colours.png"),
                  QStringLiteral("Blue over both knees, green over both hands and a blue forearm, red over the "
                                 "left heel."),
                  [](Sketch& k) {
                    k.Shade(F, {-0.38, 5.85}, 0.18, 0.20, 0, kBlue, 22);
                    k.Shade(F, {0.38, 5.85}, 0.18, 0.20, 0, kBlue, 22);
                    k.Shade(F, {-1.70, 4.50}, 0.13, 0.22, 12, kGreen, 18);
                    k.Shade(F, {1.70, 4.50}, 0.13, 0.22, -12, kGreen, 18);
                    k.Shade(B, {1.42, 3.60}, 0.10, 0.40, -20, kBlue, 20);
                    k.Shade(B, {-0.36, 7.70}, 0.10, 0.16, 0, kRed, 18);
                  }});
  samples.append({QStringLiteral("black_marker.png"),
                  QStringLiteral("Black marker scribbles over the belly and the chest, which do not count, and a "
                                 "small red area on the left knee."),
                  [](Sketch& k) {
                    k.Shade(F, {0.0, 3.0}, 0.40, 0.25, 0, kBlack, 16);
                    k.Stroke(F, {{-0.45, 2.2}, {-0.1, 2.05}, {0.2, 2.3}, {0.45, 2.1}}, kBlack, 12);
                    k.Shade(F, {0.38, 5.88}, 0.13, 0.13, 0, kRed, 20);
                  }});
  samples.append({QStringLiteral("outlined.png"),
                  QStringLiteral("Areas only outlined in red, as closed loops: one on the belly, one round the back "
                                 "of the right elbow that takes in some of the page beside the arm."),
                  [](Sketch& k) {
                    k.Loop(F, {0.12, 2.95}, 0.34, 0.28, 10, kRed, 11);
                    k.Loop(B, {1.18, 3.02}, 0.26, 0.22, -15, kRed, 10);
                  }});
  samples.append({QStringLiteral("outline_open.png"),
                  QStringLiteral("A red outline on the upper back that does not close, so it encloses nothing."),
                  [](Sketch& k) {
                    k.Loop(B, {-0.25, 2.2}, 0.30, 0.25, 0, kRed, 11, 315);
                  }});
  samples.append(
      {QStringLiteral("over_lines.png"),
       QStringLiteral("Red and green strokes that run over the outline and out into the page: across the "
                      "right hip, along the right arm, over the head and across the back of the right thigh."),
       [](Sketch& k) {
         k.Shade(F, {-0.80, 3.80}, 0.35, 0.20, 0, kRed, 26);
         k.Stroke(F, {{-0.75, 1.7}, {-1.05, 2.4}, {-1.35, 3.2}, {-1.75, 3.9}, {-2.1, 4.3}}, kRed, 30, 6);
         k.Stroke(F, {{-0.2, -0.15}, {0.0, 0.25}, {0.25, 0.1}, {0.5, 0.35}}, kGreen, 24, 6);
         k.Stroke(B, {{0.3, 5.2}, {0.65, 5.3}, {1.0, 5.25}, {1.3, 5.35}}, kRed, 28, 6);
       }});
  samples.append({QStringLiteral("small_marks.png"),
                  QStringLiteral("A few small red dabs: forehead, right wrist, left ankle and one on the back."),
                  [](Sketch& k) {
                    k.Shade(F, {0.0, 0.35}, 0.06, 0.05, 0, kRed, 16);
                    k.Shade(F, {-1.58, 4.12}, 0.05, 0.05, 0, kRed, 16);
                    k.Shade(F, {0.36, 7.6}, 0.05, 0.06, 0, kRed, 16);
                    k.Shade(B, {-0.2, 2.6}, 0.07, 0.07, 0, kRed, 18);
                  }});
  samples.append({QStringLiteral("blank.png"), QStringLiteral("The reference chart unchanged."), {}});
  return samples;
}

struct Row {
  QString file;
  QString shows;
  int width = 0;
  int height = 0;
  MarkCounts counts;
};

QString SizeText(const Row& row) {
  return row.width > 0 ? QStringLiteral("%1 x %2").arg(row.width).arg(row.height) : QStringLiteral("-");
}

bool WriteText(const QString& path, const QByteArray& text) {
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

QByteArray Readme(const QList<Row>& rows) {
  QString out = QStringLiteral(
      "# Sample drawings\n\n"
      "Drawings made on the program's reference chart by `tools/chartgen` (fixed seed), for trying the program\n"
      "and for the tests. Marks are anti-aliased brush strokes; their soft edges are coloured, so they count.\n"
      "Black, white and every grey count as unmarked.\n\n");
  for (const Row& row : rows) out += QStringLiteral("- `%1`: %2\n").arg(row.file, row.shows);
  out += QStringLiteral(
             "\nThe counts below come from the body mask and the drawing, not from the program:\n\n"
             "- *selected*: body pixels of the mask (blue 250 or more) whose drawing pixel is not a grey\n"
             "  (red, green and blue not all equal);\n"
             "- *selected with smart area*: body pixels that no 4-connected path of grey drawing pixels joins to the\n"
             "  outside of the image, that is, marked body pixels and those that marks enclose;\n"
             "- *ratio*: selected x 100 / %1, printed with two decimals.\n\n"
             "The same numbers, tab-separated, are in `counts.tsv`.\n\n"
             "| file | width x height | selected | selected with smart area | ratio |\n"
             "|---|---|---|---|---|\n")
             .arg(kBodyPixels);
  for (const Row& row : rows) {
    out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
               .arg(row.file, SizeText(row))
               .arg(row.counts.selected)
               .arg(row.counts.selectedWithArea)
               .arg(RatioText(row.counts.selected));
  }
  return out.toUtf8();
}

QByteArray CountsTable(const QList<Row>& rows) {
  QString out =
      QStringLiteral("file\twidth\theight\tselected\tselected_with_smart_area\tratio\tratio_with_smart_area\n");
  for (const Row& row : rows) {
    out += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\n")
               .arg(row.file)
               .arg(row.width)
               .arg(row.height)
               .arg(row.counts.selected)
               .arg(row.counts.selectedWithArea)
               .arg(RatioText(row.counts.selected), RatioText(row.counts.selectedWithArea));
  }
  return out.toUtf8();
}

}  // namespace

MarkCounts CountMarks(const ClassMap& map, const QImage& drawing) {
  MarkCounts counts;
  if (drawing.width() != map.width || drawing.height() != map.height) return counts;
  const QImage rgba = drawing.convertToFormat(QImage::Format_RGBA8888);
  const int w = map.width;
  const int h = map.height;
  auto marked = [&](int x, int y) { return IsMarked(rgba.constScanLine(y) + 4 * x); };
  // The unmarked pixels that the outside of the image reaches: every
  // unmarked pixel of the border, and on from there to 4-neighbours.
  const std::vector<uint8_t> reached = ReachFromBorder(w, h, [&](int x, int y) { return !marked(x, y); });
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (map.At(x, y) != kBody) continue;
      if (marked(x, y)) ++counts.selected;
      if (!reached[static_cast<size_t>(y) * w + x]) ++counts.selectedWithArea;
    }
  }
  return counts;
}

QString RatioText(int64_t selected) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(selected) * 100.0 / static_cast<double>(kBodyPixels));
  return QString::fromLatin1(text);
}

bool WriteSamples(const ClassMap& map, const ChartLayout& layout, const QImage& reference, const QString& folder) {
  const QDir dir(folder);
  QList<Row> rows;
  uint64_t seed = 20240611;
  for (const Sample& sample : DrawnSamples()) {
    QImage drawing = reference.copy();
    if (sample.draw) {
      Sketch sketch(&drawing, layout, seed++);
      sample.draw(sketch);
    }
    if (!WritePng(drawing, dir.filePath(sample.file))) return false;
    rows.append({sample.file, sample.shows, drawing.width(), drawing.height(), CountMarks(map, drawing)});
  }

  // A drawing one column short of the chart's width: the program refuses it,
  // so it counts nothing.
  {
    QImage narrow = reference.copy(0, 0, reference.width() - 1, reference.height());
    {
      Sketch sketch(&narrow, layout, seed++);
      sketch.Shade(View::kFront, {-0.52, 1.42}, 0.30, 0.11, 12, kRed, 22);
    }
    const QString file = QStringLiteral("wrong_size.png");
    if (!WritePng(narrow, dir.filePath(file))) return false;
    rows.append({file,
                 QStringLiteral("A drawing 3507 pixels wide, one column short of the chart, with a red shoulder "
                                "mark. Not of the chart's size, so it counts nothing."),
                 narrow.width(), narrow.height(), MarkCounts{}});
  }
  // A text file that only carries an image's name.
  {
    const QString file = QStringLiteral("notes.png");
    if (!WriteText(dir.filePath(file), "Visit notes: drawing to follow.\n")) return false;
    rows.append({file, QStringLiteral("Not an image: a line of text under an image's name."), 0, 0, MarkCounts{}});
  }
  return WriteText(dir.filePath(QStringLiteral("README.md")), Readme(rows)) &&
         WriteText(dir.filePath(QStringLiteral("counts.tsv")), CountsTable(rows));
}
