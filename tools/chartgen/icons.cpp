#include "tools/chartgen/icons.h"

#include <QDir>
#include <QPainter>
#include <QSvgRenderer>

QStringList ToolbarIconFiles() {
  return {QStringLiteral("open.svg"),      QStringLiteral("openfolder.svg"), QStringLiteral("compare.svg"),
          QStringLiteral("smartarea.svg"), QStringLiteral("probe.svg"),      QStringLiteral("results.svg"),
          QStringLiteral("about.svg"),     QStringLiteral("guide.svg")};
}

QImage RenderSvg(const QString& path, int size) {
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    renderer.render(&painter, QRectF(0, 0, size, size));
  }
  return image.convertToFormat(QImage::Format_RGBA8888);
}

QImage ToolbarStrip(const QString& iconFolder) {
  const QStringList files = ToolbarIconFiles();
  constexpr int kSize = 32;
  QImage strip(kSize * static_cast<int>(files.size()), kSize, QImage::Format_RGB32);
  strip.fill(QColor(192, 192, 192));
  QPainter painter(&strip);
  for (int i = 0; i < files.size(); ++i) {
    const QImage icon = RenderSvg(QDir(iconFolder).filePath(files[i]), kSize);
    if (icon.isNull()) return {};
    painter.drawImage(i * kSize, 0, icon);
  }
  painter.end();
  return strip.convertToFormat(QImage::Format_RGB888);
}
