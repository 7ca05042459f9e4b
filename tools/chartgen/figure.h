#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointF>

// The standing figure of the body chart as vectors, in figure units: the top of
// the head at (0, 0), the soles at y = 8 (so one unit is one head height), the
// body's midline at x = 0, x growing to the viewer's right.
enum class View { kFront, kBack };

struct Figure {
  // One closed outline around head, arms, hands, legs and feet, so that the
  // inside of the figure is a single area.
  QPainterPath outline;
  // Short inner lines (navel, gluteal folds). Each touches the outline at one
  // end at most and none closes a loop, so the inside stays in one piece.
  QList<QPainterPath> marks;
};

inline constexpr double kFigureHeightUnits = 8.0;

Figure BuildFigure(View view);

// The outline's points for the viewer's right half, from the top of the head
// down to the crotch; the left half is their mirror image.
QList<QPointF> HalfOutlinePoints();

// A smooth curve through the points (centripetal Catmull-Rom, turned into
// cubic Bezier segments). Centripetal spacing keeps tight turns such as finger
// tips and the crotch free of loops and cusps.
QPainterPath SmoothClosedPath(const QList<QPointF>& points);
QPainterPath SmoothOpenPath(const QList<QPointF>& points);
