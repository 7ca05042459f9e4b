#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QPainter;

// Text written onto an image or a pane: "Arial" (a sans serif where it is
// missing), regular, at an em of a given number of the device's pixels.
// Each text is measured with the font's metrics and drawn from the top-left
// corner of its line box; lines stand one under the other, each lower than
// the one before by that line's measured height rounded to whole pixels,
// with no spacing between them. The view's panes, the picture the view
// copies and the comparison picture all write their lines this way.
class ImageText {
 public:
  // Text at an em of emPixels pixels of the painter's device, fractions
  // kept, whatever resolution the device carries.
  ImageText(QPainter& painter, double emPixels);

  const QFont& font() const { return font_; }
  // The size of the text's line box: its advance and the font's line
  // height.
  QSizeF Measure(const QString& text) const;
  // Draws the text in the colour with its line box's top-left corner at the
  // point.
  void Draw(QPointF topLeft, const QString& text, const QColor& colour);
  // Draws the lines from the point downwards; returns the y below the last.
  double DrawLines(QPointF topLeft, const QStringList& lines, const QColor& colour);

 private:
  QPainter& painter_;
  QFont font_;
  double scale_ = 1.0;  // the em over the font's whole pixel size
};

// The em, in pixels, of the lines written onto a full-size image: a 75th of
// its width, rounded (47 for a chart 3508 pixels wide).
int ImageTextEm(int imageWidth);

// The colour of information lines: RGB 192, 128, 0.
inline const QColor kImageTextColour{192, 128, 0};
