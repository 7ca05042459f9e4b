#include "tools/chartgen/figure.h"

#include <QtMath>

#include <cmath>
#include <iterator>

namespace {

// A direction that leans `degrees` away from straight down, towards +x.
QPointF Down(double degrees) {
  const double r = qDegreesToRadians(degrees);
  return {std::sin(r), std::cos(r)};
}

// The side normal of a direction from Down(): it points to +x for a limb that
// hangs straight down.
QPointF Side(QPointF down) { return {down.y(), -down.x()}; }

double Length(QPointF p) { return std::hypot(p.x(), p.y()); }

QPointF Normalized(QPointF p) { return p / Length(p); }

// A limb's centre line: a chain of joints. Points on its two edges are found by
// the distance along the chain and the width to each side.
class Limb {
 public:
  explicit Limb(QList<QPointF> joints) : joints_(std::move(joints)) {}

  // The point `width` to the +x side (negative: the other side) of the centre
  // line, `along` units down the chain. At a joint the two segments' normals
  // are averaged so the edge bends without a kink.
  QPointF Edge(double along, double width) const {
    for (qsizetype i = 0; i + 1 < joints_.size(); ++i) {
      const QPointF a = joints_[i];
      const QPointF b = joints_[i + 1];
      const double len = Length(b - a);
      const bool last = i + 2 == joints_.size();
      if (along <= len || last) {
        const QPointF dir = (b - a) / len;
        QPointF normal = Side(dir);
        // Blend towards the neighbour segment's normal near a joint.
        constexpr double kBlend = 0.12;
        if (along > len - kBlend && !last) {
          const QPointF next = Normalized(joints_[i + 2] - b);
          const double w = 0.5 * (along - (len - kBlend)) / kBlend;
          normal = Normalized(normal * (1 - w) + Side(next) * w);
        } else if (along < kBlend && i > 0) {
          const QPointF prev = Normalized(a - joints_[i - 1]);
          const double w = 0.5 * (kBlend - along) / kBlend;
          normal = Normalized(normal * (1 - w) + Side(prev) * w);
        }
        return a + dir * along + normal * width;
      }
      along -= len;
    }
    return joints_.back();
  }

 private:
  QList<QPointF> joints_;
};

// A hand in its own frame: u across the palm towards the thumb, v from the
// wrist towards the finger tips. Placed at the wrist, turned by `degrees`.
class HandFrame {
 public:
  HandFrame(QPointF wrist, double degrees) : wrist_(wrist), down_(Down(degrees)), side_(Side(down_)) {}
  QPointF Map(double u, double v) const { return wrist_ + side_ * u + down_ * v; }

 private:
  QPointF wrist_;
  QPointF down_;
  QPointF side_;
};

// A finger in the hand's frame, all in figure units.
struct Finger {
  QPointF base;    // middle of the finger where it leaves the palm
  double degrees;  // lean from the hand's axis, towards the thumb
  double length;
  double halfWidth;
};

// One finger as a rounded strip in the hand's frame: its thumb-side edge down
// to the tip, the tip, and its other edge back up to the base. The thumb-side
// edge starts `from` (a share of the length) past the base, for a finger that
// grows out of the edge of the palm.
void AddFinger(QList<QPointF>& out, const HandFrame& hand, const Finger& f, double from = 0.0) {
  const QPointF d = Down(f.degrees);
  const QPointF n = Side(d);
  const double hw = f.halfWidth;
  auto add = [&](QPointF p) { out.append(hand.Map(p.x(), p.y())); };
  const QPointF tipCentre = f.base + d * (f.length - hw);
  add(f.base + d * (from * f.length) + n * hw);
  add(f.base + d * (0.55 * f.length) + n * (hw * 1.02));
  add(tipCentre + n * (hw * 0.98));
  add(tipCentre + (n * 0.70 + d * 0.72) * hw);
  add(tipCentre + d * hw);
  add(tipCentre + (-n * 0.70 + d * 0.72) * hw);
  add(tipCentre - n * (hw * 0.98));
  add(f.base + d * (0.55 * f.length) - n * (hw * 1.02));
  add(f.base - n * hw);
}

// The fold between two fingers: a little nearer the wrist than their bases.
QPointF Web(const Finger& a, const Finger& b) {
  const QPointF edgeA = a.base - Side(Down(a.degrees)) * a.halfWidth;
  const QPointF edgeB = b.base + Side(Down(b.degrees)) * b.halfWidth;
  return (edgeA + edgeB) / 2 - QPointF(0, 0.018);
}

// The open hand, palm towards the viewer, fingers slightly spread and the
// thumb turned out: from the wrist's thumb side round the finger tips to the
// wrist's other side.
void AddHand(QList<QPointF>& out, const HandFrame& hand) {
  auto add = [&](QPointF p) { out.append(hand.Map(p.x(), p.y())); };
  add({0.124, 0.0});
  add({0.148, 0.090});
  // Thumb: its outer edge runs on from the ball of the thumb; its inner edge
  // ends in the fold towards the index finger.
  const Finger thumb{{0.118, 0.250}, 25, 0.37, 0.057};
  AddFinger(out, hand, thumb, 0.05);
  out.removeLast();
  const Finger fingers[] = {{{0.108, 0.565}, 8, 0.305, 0.042},
                            {{0.025, 0.578}, 1, 0.340, 0.044},
                            {{-0.060, 0.570}, -5, 0.315, 0.042},
                            {{-0.138, 0.545}, -11, 0.250, 0.036}};
  for (size_t i = 0; i < std::size(fingers); ++i) {
    if (i > 0) add(Web(fingers[i - 1], fingers[i]));
    AddFinger(out, hand, fingers[i]);
  }
  // Heel of the hand on the little finger's side, back to the wrist.
  add({-0.176, 0.47});
  add({-0.188, 0.34});
  add({-0.172, 0.18});
  add({-0.133, 0.065});
  add({-0.114, 0.0});
}

}  // namespace

QList<QPointF> HalfOutlinePoints() {
  QList<QPointF> p;
  auto add = [&](double x, double y) { p.append({x, y}); };

  // Head and ear.
  add(0.0, 0.0);
  add(0.165, 0.022);
  add(0.285, 0.105);
  add(0.345, 0.25);
  add(0.352, 0.41);
  add(0.385, 0.43);
  add(0.402, 0.5);
  add(0.392, 0.585);
  add(0.36, 0.635);
  add(0.335, 0.75);
  add(0.29, 0.86);
  add(0.235, 0.95);
  // Neck and the slope of the shoulder.
  add(0.225, 1.05);
  add(0.235, 1.16);
  add(0.30, 1.265);
  add(0.45, 1.335);
  add(0.62, 1.385);
  add(0.775, 1.43);
  add(0.885, 1.49);

  // Arm, hanging a little away from the body, slightly bent at the elbow.
  const QPointF shoulder(0.835, 1.66);
  const QPointF elbow = shoulder + Down(13) * 1.42;
  const QPointF wrist = elbow + Down(19) * 1.13;
  const Limb arm({shoulder, elbow, wrist});
  add(0.965, 1.56);
  // Outer edge: deltoid, upper arm, elbow, forearm, wrist.
  const double outer[][2] = {{0.12, 0.215}, {0.40, 0.205}, {0.75, 0.185}, {1.10, 0.165},
                             {1.42, 0.152}, {1.68, 0.172}, {2.00, 0.160}, {2.30, 0.138}};
  for (const auto& s : outer) p.append(arm.Edge(s[0], s[1]));
  AddHand(p, HandFrame(wrist, 10));
  // Inner edge back up to the armpit.
  const double inner[][2] = {{2.30, 0.126}, {2.00, 0.148}, {1.70, 0.160}, {1.42, 0.140},
                             {1.12, 0.150}, {0.80, 0.172}, {0.50, 0.178}};
  for (const auto& s : inner) p.append(arm.Edge(s[0], -s[1]));
  add(0.762, 2.03);  // armpit

  // Side of the chest, waist and hip.
  add(0.742, 2.2);
  add(0.718, 2.5);
  add(0.672, 2.8);
  add(0.638, 3.05);
  add(0.65, 3.3);
  add(0.698, 3.56);
  add(0.748, 3.8);
  add(0.77, 4.02);
  // Outer edge of the leg.
  add(0.765, 4.28);
  add(0.728, 4.62);
  add(0.672, 5.0);
  add(0.615, 5.4);
  add(0.582, 5.75);
  add(0.58, 5.98);
  add(0.608, 6.26);
  add(0.604, 6.6);
  add(0.556, 7.0);
  add(0.505, 7.34);
  add(0.488, 7.6);
  // Foot seen from the front, its toes turned a little outwards.
  add(0.5, 7.69);
  add(0.54, 7.8);
  add(0.598, 7.88);
  add(0.636, 7.945);
  add(0.615, 7.995);
  add(0.45, 8.0);
  add(0.29, 7.996);
  add(0.236, 7.966);
  add(0.222, 7.9);
  add(0.222, 7.8);
  add(0.226, 7.68);
  add(0.227, 7.56);
  // Inner edge of the leg up to the crotch.
  add(0.222, 7.32);
  add(0.196, 6.95);
  add(0.166, 6.55);
  add(0.17, 6.2);
  add(0.178, 5.95);
  add(0.17, 5.7);
  add(0.146, 5.3);
  add(0.11, 4.85);
  add(0.072, 4.45);
  add(0.038, 4.2);
  add(0.0, 4.13);
  return p;
}

namespace {

QList<QPointF> MirroredOutline() {
  const QList<QPointF> half = HalfOutlinePoints();
  QList<QPointF> all = half;
  // The other half in reverse, without the two points on the midline.
  for (qsizetype i = half.size() - 2; i >= 1; --i) all.append({-half[i].x(), half[i].y()});
  return all;
}

// The Bezier control points of the centripetal Catmull-Rom segment from p1 to
// p2, with p0 and p3 as neighbours.
void AddSegment(QPainterPath& path, QPointF p0, QPointF p1, QPointF p2, QPointF p3) {
  auto knot = [](QPointF a, QPointF b) { return std::max(std::sqrt(Length(b - a)), 1e-9); };
  const double d1 = knot(p0, p1);
  const double d2 = knot(p1, p2);
  const double d3 = knot(p2, p3);
  const QPointF c1 =
      (p2 * (d1 * d1) - p0 * (d2 * d2) + p1 * (2 * d1 * d1 + 3 * d1 * d2 + d2 * d2)) / (3 * d1 * (d1 + d2));
  const QPointF c2 =
      (p1 * (d3 * d3) - p3 * (d2 * d2) + p2 * (2 * d3 * d3 + 3 * d3 * d2 + d2 * d2)) / (3 * d3 * (d3 + d2));
  path.cubicTo(c1, c2, p2);
}

}  // namespace

QPainterPath SmoothClosedPath(const QList<QPointF>& pts) {
  QPainterPath path;
  const qsizetype n = pts.size();
  if (n < 3) return path;
  path.moveTo(pts[0]);
  for (qsizetype i = 0; i < n; ++i) AddSegment(path, pts[(i + n - 1) % n], pts[i], pts[(i + 1) % n], pts[(i + 2) % n]);
  path.closeSubpath();
  return path;
}

QPainterPath SmoothOpenPath(const QList<QPointF>& pts) {
  QPainterPath path;
  const qsizetype n = pts.size();
  if (n < 2) return path;
  path.moveTo(pts[0]);
  for (qsizetype i = 0; i + 1 < n; ++i) {
    // The ends are mirrored through the end points so the curve leaves them
    // straight towards the next point.
    const QPointF p0 = i > 0 ? pts[i - 1] : pts[0] * 2 - pts[1];
    const QPointF p3 = i + 2 < n ? pts[i + 2] : pts[n - 1] * 2 - pts[n - 2];
    AddSegment(path, p0, pts[i], pts[i + 1], p3);
  }
  return path;
}

Figure BuildFigure(View view) {
  Figure figure;
  figure.outline = SmoothClosedPath(MirroredOutline());
  if (view == View::kFront) {
    // Navel: a short upright stroke.
    figure.marks.append(SmoothOpenPath({{-0.004, 3.19}, {0.008, 3.235}, {-0.004, 3.285}}));
  } else {
    // Cleft between the buttocks, up from the crotch, and the fold under each
    // buttock, which stays clear of the outer outline.
    figure.marks.append(SmoothOpenPath({{0.0, 4.13}, {0.0, 3.95}, {0.0, 3.78}}));
    for (double side : {-1.0, 1.0}) {
      figure.marks.append(
          SmoothOpenPath({{side * 0.09, 4.2}, {side * 0.24, 4.235}, {side * 0.40, 4.225}, {side * 0.52, 4.19}}));
    }
  }
  return figure;
}
