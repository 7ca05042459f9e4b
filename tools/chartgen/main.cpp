// chartgen <repo-root>: redraws the body chart images, the tool-bar strip, the
// icon renders and the sample drawings from their vector descriptions. Run by
// hand after changing any of them; its output is committed.

#include "tools/chartgen/chart.h"
#include "tools/chartgen/icons.h"
#include "tools/chartgen/pngfile.h"
#include "tools/chartgen/samples.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

namespace {

bool Write(const QImage& image, const QString& path) {
  if (image.isNull() || !WritePng(image, path)) {
    std::fprintf(stderr, "chartgen: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: chartgen <repo-root>\n");
    return 2;
  }
  const QDir root(QString::fromLocal8Bit(argv[1]));
  const QString resources = root.filePath(QStringLiteral("resources"));
  const QString icons = root.filePath(QStringLiteral("resources/icons"));
  const QString samples = root.filePath(QStringLiteral("samples"));
  if (!QDir().mkpath(icons) || !QDir().mkpath(samples)) {
    std::fprintf(stderr, "chartgen: cannot make the output folders under %s\n", argv[1]);
    return 1;
  }

  ChartLayout layout;
  const ClassMap map = BuildChart(&layout);
  const std::vector<int64_t> areas = BodyAreas(map);
  std::printf("scale %.4f px per head, figure %.0f px tall, %d pixels moved, body %lld in %zu areas\n", layout.scale,
              layout.scale * 8, layout.adjusted, static_cast<long long>(map.Count(kBody)), areas.size());
  if (map.Count(kBody) != kBodyPixels || areas.size() != 2) {
    std::fprintf(stderr, "chartgen: the inside of each figure must be one area\n");
    return 1;
  }
  const QImage reference = ReferenceChartImage(map, layout);
  if (reference.isNull()) {
    std::fprintf(stderr, "chartgen: a label would touch a figure\n");
    return 1;
  }
  bool ok = Write(MaskImage(map), QDir(resources).filePath(QStringLiteral("body_mask.png"))) &&
            Write(BlankChartImage(map), QDir(resources).filePath(QStringLiteral("blank_chart.png"))) &&
            Write(reference, QDir(resources).filePath(QStringLiteral("reference_chart.png"))) &&
            Write(ToolbarStrip(icons), QDir(resources).filePath(QStringLiteral("toolbar.png")));
  for (int size : kIconSizes) {
    const QString svg = QDir(icons).filePath(QStringLiteral("varenko.svg"));
    ok = ok && Write(RenderSvg(svg, size), QDir(icons).filePath(QStringLiteral("varenko_%1.png").arg(size)));
  }
  if (ok && !WriteSamples(map, layout, reference, samples)) {
    std::fprintf(stderr, "chartgen: cannot write the samples in %s\n", qPrintable(samples));
    ok = false;
  }
  return ok ? 0 : 1;
}
