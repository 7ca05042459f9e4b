#include "framework/imagetext.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

ImageText::ImageText(QPainter& painter, double emPixels) : painter_(painter), font_(QStringLiteral("Arial")) {
  font_.setStyleHint(QFont::SansSerif);
  font_.setWeight(QFont::Normal);
  // A size in pixels is one in the device's pixels, whatever resolution an
  // image carries. Fonts are made at whole pixel sizes only, so a
  // fractional em (two thirds of 47 for a legend's labels) is the nearest
  // whole size scaled by the rest, in the measures and in the drawing.
  const int pixels = std::max(1, static_cast<int>(emPixels + 0.5));
  font_.setPixelSize(pixels);
  scale_ = emPixels >= 1.0 ? emPixels / pixels : 1.0;
}

QSizeF ImageText::Measure(const QString& text) const {
  const QFontMetricsF metrics(font_, painter_.device());
  return QSizeF(metrics.horizontalAdvance(text), metrics.lineSpacing()) * scale_;
}

void ImageText::Draw(QPointF topLeft, const QString& text, const QColor& colour) {
  const QFontMetricsF metrics(font_, painter_.device());
  painter_.save();
  painter_.translate(topLeft);
  painter_.scale(scale_, scale_);
  painter_.setFont(font_);
  painter_.setPen(colour);
  painter_.drawText(QPointF(0.0, metrics.ascent()), text);
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
