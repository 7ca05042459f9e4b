#include "framework/imagetext.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

ImageText::ImageText(QPainter& painter, double emPixels) : painter_(painter), font_(QStringLiteral("Arial")) {
  font_.setStyleHint(QFont::SansSerif);
  font_.setWeight(QFont::Normal);
  // A size in pixels is one in the device's pixels, whatever resolution an
  // image carries. Glyphs are measured and drawn at whole pixel sizes, so a
  // fractional em is rounded.
  font_.setPixelSize(std::max(1, static_cast<int>(emPixels + 0.5)));
}

QSizeF ImageText::Measure(const QString& text) const {
  const QFontMetricsF metrics(font_, painter_.device());
  return QSizeF(metrics.horizontalAdvance(text), metrics.lineSpacing());
}

void ImageText::Draw(QPointF topLeft, const QString& text, const QColor& colour) {
  const QFontMetricsF metrics(font_, painter_.device());
  painter_.save();
  painter_.setFont(font_);
  painter_.setPen(colour);
  painter_.drawText(QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), text);
  painter_.restore();
}

double ImageText::DrawLines(QPointF topLeft, const QStringList& lines, const QColor& colour) {
  double y = topLeft.y();
  for (const QString& line : lines) {
    const double height = Measure(line).height();
    Draw(QPointF(topLeft.x(), y), line, colour);
    y += static_cast<int>(height + 0.5);
  }
  return y;
}

int ImageTextEm(int imageWidth) { return static_cast<int>(imageWidth / 75.0 + 0.5); }
