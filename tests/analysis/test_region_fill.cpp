// The linear filling against the step-by-step walks, and both against the
// plain meaning of the result (every pixel that no 4-connected path from
// outside the image reaches without crossing the outline belongs to the
// region), on many thousands of small random outlines.

#include "analysis/region.h"
#include "tests/analysis/literalfill.h"
#include "tests/analysis/regiontesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <deque>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace regiontesting;

struct Case {
  int width = 0;
  int height = 0;
  std::vector<Point> points;
  // Set when the points come from a mask, as the smart selected area has
  // them.
  std::vector<uint8_t> mask;
};

std::string Describe(const Case& c) {
  std::ostringstream out;
  out << c.width << " x " << c.height << ", points";
  for (Point p : c.points) out << " (" << p.x << "," << p.y << ")";
  return out.str();
}

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(engine_); }
  std::mt19937& engine() { return engine_; }

 private:
  std::mt19937 engine_;
};

// An 8-connected line, so diagonal steps touch only at corners.
void Line(std::vector<Point>& out, Point a, Point b) {
  const int dx = std::abs(b.x - a.x);
  const int dy = -std::abs(b.y - a.y);
  const int sx = a.x < b.x ? 1 : -1;
  const int sy = a.y < b.y ? 1 : -1;
  int err = dx + dy;
  for (Point p = a;;) {
    out.push_back(p);
    if (p == b) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      p.x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      p.y += sy;
    }
  }
}

void DropOne(Random& random, std::vector<Point>& points) {
  if (points.empty()) return;
  const Point gone = points[static_cast<size_t>(random.Between(0, static_cast<int>(points.size()) - 1))];
  std::erase(points, gone);
}

// Points scattered over and around the image, some far off it, some twice.
Case Scatter(Random& random) {
  Case c{random.Between(1, 12), random.Between(1, 12), {}, {}};
  const int n = random.Between(0, c.width * c.height);
  for (int i = 0; i < n; ++i) {
    Point p{random.Between(-2, c.width + 1), random.Between(-2, c.height + 1)};
    if (random.Chance(0.05)) p.x = random.Chance(0.5) ? random.Between(-100000, -50) : random.Between(50, 100000);
    if (random.Chance(0.05)) p.y = random.Chance(0.5) ? INT_MIN : INT_MAX;
    c.points.push_back(p);
    if (random.Chance(0.1)) c.points.push_back(p);
  }
  return c;
}

// Closed or open polygons of diagonal and straight lines, now and then with
// a gap of one pixel.
Case Polygon(Random& random) {
  Case c{random.Between(3, 14), random.Between(3, 14), {}, {}};
  const int corners = random.Between(2, 6);
  std::vector<Point> vertices;
  for (int i = 0; i < corners; ++i) vertices.push_back({random.Between(-1, c.width), random.Between(-1, c.height)});
  const bool closed = random.Chance(0.7);
  for (int i = 0; i + 1 < corners + (closed ? 1 : 0); ++i) {
    Line(c.points, vertices[static_cast<size_t>(i)], vertices[static_cast<size_t>((i + 1) % corners)]);
  }
  if (random.Chance(0.3)) DropOne(random, c.points);
  return c;
}

// Rectangular rings, one or two pixels thick, touching the image's edges
// or not; some are U shapes or have a gap.
Case Ring(Random& random) {
  Case c{random.Between(3, 14), random.Between(3, 14), {}, {}};
  const int left = random.Between(0, c.width - 3);
  const int top = random.Between(0, c.height - 3);
  const int right = random.Between(left + 2, c.width - 1);
  const int bottom = random.Between(top + 2, c.height - 1);
  const int thickness = random.Chance(0.8) ? 1 : 2;
  const int openSide = random.Chance(0.3) ? random.Between(0, 3) : -1;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      const int dl = x - left;
      const int dt = y - top;
      const int dr = right - x;
      const int db = bottom - y;
      if (std::min({dl, dt, dr, db}) >= thickness) continue;
      const bool onOpenSide = (openSide == 0 && dt < thickness && dl >= thickness && dr >= thickness) ||
                              (openSide == 1 && db < thickness && dl >= thickness && dr >= thickness) ||
                              (openSide == 2 && dl < thickness && dt >= thickness && db >= thickness) ||
                              (openSide == 3 && dr < thickness && dt >= thickness && db >= thickness);
      if (!onOpenSide) c.points.push_back({x, y});
    }
  }
  if (random.Chance(0.3)) DropOne(random, c.points);
  return c;
}

// Marked pixels as a drawing has them: blobs, strokes and specks, built into
// a region whose outline becomes the points.
Case Marks(Random& random) {
  Case c{random.Between(1, 14), random.Between(1, 14), {}, {}};
  c.mask.assign(static_cast<size_t>(c.width) * static_cast<size_t>(c.height), 0);
  auto mark = [&](int x, int y) {
    if (x >= 0 && y >= 0 && x < c.width && y < c.height) c.mask[static_cast<size_t>(y * c.width + x)] = 255;
  };
  const int shapes = random.Between(0, 4);
  for (int i = 0; i < shapes; ++i) {
    const int kind = random.Between(0, 2);
    if (kind == 0) {  // a filled box
      const int x0 = random.Between(-1, c.width);
      const int y0 = random.Between(-1, c.height);
      const int x1 = x0 + random.Between(0, 5);
      const int y1 = y0 + random.Between(0, 5);
      for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) mark(x, y);
      }
    } else if (kind == 1) {  // a stroke
      std::vector<Point> stroke;
      Line(stroke, {random.Between(-1, c.width), random.Between(-1, c.height)},
           {random.Between(-1, c.width), random.Between(-1, c.height)});
      for (Point p : stroke) mark(p.x, p.y);
    } else {  // specks
      for (int n = random.Between(1, 12); n > 0; --n)
        mark(random.Between(0, c.width - 1), random.Between(0, c.height - 1));
    }
  }
  MCRegion region(c.width, c.height);
  region.SetFromMask(c.mask.data());
  c.points = region.Clone()->m_pPoints;
  return c;
}

// The plain meaning of the result: a breadth-first search from a frame
// around the image.
struct Expected {
  std::vector<uint8_t> mask;  // empty for an empty region
  std::vector<Point> points;
  Rect box;
  int area = 0;
};

Expected Meaning(const Case& c, const std::vector<Point>& clamped) {
  Expected e;
  if (clamped.size() < 5) return e;
  const int w = c.width + 2;
  const int h = c.height + 2;
  std::vector<char> outline(static_cast<size_t>(w * h), 0);
  std::vector<char> reached(static_cast<size_t>(w * h), 0);
  e.box = Rect{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (Point p : clamped) {
    outline[static_cast<size_t>((p.y + 1) * w + p.x + 1)] = 1;
    e.box = Rect{std::min(e.box.left, p.x), std::min(e.box.top, p.y), std::max(e.box.right, p.x),
                 std::max(e.box.bottom, p.y)};
  }
  std::deque<Point> queue;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
        reached[static_cast<size_t>(y * w + x)] = 1;
        queue.push_back({x, y});
      }
    }
  }
  while (!queue.empty()) {
    const Point p = queue.front();
    queue.pop_front();
    for (Point d : {Point{0, -1}, Point{-1, 0}, Point{1, 0}, Point{0, 1}}) {
      const Point q{p.x + d.x, p.y + d.y};
      if (q.x < 0 || q.y < 0 || q.x >= w || q.y >= h) continue;
      const size_t i = static_cast<size_t>(q.y * w + q.x);
      if (reached[i] || outline[i]) continue;
      reached[i] = 1;
      queue.push_back(q);
    }
  }
  for (int y = 1; y < h - 1; ++y) {
    for (int x = 1; x < w - 1; ++x) {
      const size_t i = static_cast<size_t>(y * w + x);
      uint8_t b = kRegionOutside;
      if (!reached[i]) {
        const bool edge = reached[i - 1] || reached[i + 1] || reached[i - static_cast<size_t>(w)] ||
                          reached[i + static_cast<size_t>(w)];
        b = edge ? kRegionOutline : kRegionInside;
        ++e.area;
        if (edge) e.points.push_back({x - 1, y - 1});
      }
      e.mask.push_back(b);
    }
  }
  return e;
}

// Compares everything a rebuild leaves: the mask, the points in their
// order, the box, the area, the tags and the snapshots.
::testing::AssertionResult Same(const MCRegion& a, const MCRegion& b) {
  if (a.m_pMask != b.m_pMask) return ::testing::AssertionFailure() << "masks differ";
  if (a.m_pPoints != b.m_pPoints || a.m_nPoints != b.m_nPoints) return ::testing::AssertionFailure() << "points differ";
  if (!(a.m_rcBounds == b.m_rcBounds)) return ::testing::AssertionFailure() << "boxes differ";
  if (a.m_nArea != b.m_nArea) return ::testing::AssertionFailure() << "areas " << a.m_nArea << " and " << b.m_nArea;
  if (a.m_nWidth != b.m_nWidth || a.m_nHeight != b.m_nHeight) return ::testing::AssertionFailure() << "sizes differ";
  if (a.m_nTag1 != b.m_nTag1 || a.m_nTag2 != b.m_nTag2) return ::testing::AssertionFailure() << "tags differ";
  if (a.m_wSnapshotCount != b.m_wSnapshotCount || a.m_wSnapshotIndex != b.m_wSnapshotIndex) {
    return ::testing::AssertionFailure() << "snapshots differ";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult Means(const MCRegion& region, const Expected& e) {
  if (e.mask.empty()) {
    if (region.HasMask() || region.m_nPoints != 0 || region.m_nArea != 0) {
      return ::testing::AssertionFailure() << "should be empty";
    }
    return ::testing::AssertionSuccess();
  }
  if (region.m_pMask != e.mask) return ::testing::AssertionFailure() << "mask is not the enclosed shape";
  if (region.m_pPoints != e.points) return ::testing::AssertionFailure() << "points are not the shape's edge";
  if (!(region.m_rcBounds == e.box)) return ::testing::AssertionFailure() << "box is not the outline's";
  if (region.m_nArea != e.area) return ::testing::AssertionFailure() << "area is not the shape's";
  return ::testing::AssertionSuccess();
}

// Rebuilds the case's outline into a region that already holds one
// snapshot, as the smart selected area does; the source carries tags.
std::unique_ptr<MCRegion> Rebuild(const Case& c, const std::vector<Point>& points, bool walks,
                                  std::vector<Point>* clamped = nullptr) {
  auto region = std::make_unique<MCRegion>(c.width, c.height);
  region->PushSnapshot();
  auto source = Outline(points);
  source->m_nTag1 = 21;
  source->m_nTag2 = 22;
  if (walks) {
    literal::SetFromOutline(*region, source.get());
  } else {
    region->SetFromOutline(source.get());
  }
  if (clamped != nullptr) *clamped = source->m_pPoints;
  return region;
}

void RunCases(Case (*make)(Random&), unsigned seed, int count) {
  Random random(seed);
  int filled = 0;
  for (int i = 0; i < count; ++i) {
    const Case c = make(random);
    std::vector<Point> clamped;
    std::vector<Point> clampedByWalks;
    const auto fast = Rebuild(c, c.points, false, &clamped);
    const auto walks = Rebuild(c, c.points, true, &clampedByWalks);
    ASSERT_EQ(clamped, clampedByWalks) << Describe(c);
    ASSERT_TRUE(Same(*fast, *walks)) << "linear filling and walks, case " << i << ": " << Describe(c);
    ASSERT_TRUE(Means(*fast, Meaning(c, clamped))) << "case " << i << ": " << Describe(c);
    filled += fast->m_nArea > static_cast<int>(fast->m_nPoints);

    // The order of the points does not matter.
    std::vector<Point> shuffled = c.points;
    std::reverse(shuffled.begin(), shuffled.end());
    ASSERT_TRUE(Same(*fast, *Rebuild(c, shuffled, false))) << "reversed, " << Describe(c);
    std::shuffle(shuffled.begin(), shuffled.end(), random.engine());
    ASSERT_TRUE(Same(*fast, *Rebuild(c, shuffled, false))) << "shuffled, " << Describe(c);
    if (i % 8 == 0) {
      ASSERT_TRUE(Same(*fast, *Rebuild(c, shuffled, true))) << "shuffled walks, " << Describe(c);
    }
  }
  // The cases must include enclosed areas, or they prove little.
  EXPECT_GT(filled, count / 20);
}

TEST(RegionFillDifferential, ScatteredPointsOnAndOffTheImage) { RunCases(Scatter, 1, 15000); }

TEST(RegionFillDifferential, PolygonsWithDiagonalsAndGaps) { RunCases(Polygon, 2, 15000); }

TEST(RegionFillDifferential, RingsAndUShapesAgainstTheEdges) { RunCases(Ring, 3, 15000); }

TEST(RegionFillDifferential, OutlinesOfMarkedPixels) { RunCases(Marks, 4, 15000); }

// Larger pictures: longer walks, more passes.
Case LargeMarks(Random& random) {
  Case c{random.Between(30, 60), random.Between(30, 60), {}, {}};
  c.mask.assign(static_cast<size_t>(c.width) * static_cast<size_t>(c.height), 0);
  for (int n = random.Between(3, 12); n > 0; --n) {
    std::vector<Point> stroke;
    Point a{random.Between(-2, c.width + 1), random.Between(-2, c.height + 1)};
    for (int k = random.Between(1, 6); k > 0; --k) {
      const Point b{random.Between(-2, c.width + 1), random.Between(-2, c.height + 1)};
      Line(stroke, a, b);
      a = b;
    }
    for (Point p : stroke) {
      if (p.x >= 0 && p.y >= 0 && p.x < c.width && p.y < c.height)
        c.mask[static_cast<size_t>(p.y * c.width + p.x)] = 255;
    }
  }
  MCRegion region(c.width, c.height);
  region.SetFromMask(c.mask.data());
  c.points = region.m_pPoints;
  return c;
}

TEST(RegionFillDifferential, LargerDrawingsOfStrokes) { RunCases(LargeMarks, 5, 300); }

// The filling itself on a hand-made padded mask: every undecided byte is
// decided, the frame of two bytes around the image included. The walks can
// miss a byte of the box's last row or column and leave it 255 where that
// row or column is the mask's last, inside the frame; only the image part is
// kept, so only that is compared with them.
TEST(RegionFill, DecidesEveryByteOfThePaddedMask) {
  const Picture outline{"..........", "..........", "...####...", "...#..#...",
                        "...####...", "..........", ".........."};
  MCRegion region(10, 7);
  region.m_pMask = MaskOf(outline);
  for (uint8_t& b : region.m_pMask) b = b != 0 ? kRegionOutline : kRegionUndecided;
  ASSERT_TRUE(region.ComputeBounds(region.m_pMask.data()));
  region.m_rcBounds = Rect{1, 0, 8, 6};
  MCRegion walks(10, 7);
  walks.m_pMask = region.m_pMask;
  walks.m_rcBounds = region.m_rcBounds;
  region.FillEnclosed(region.m_pMask.data());
  ASSERT_TRUE(literal::FillEnclosed(walks, walks.m_pMask.data()));
  EXPECT_EQ(PictureOf(region), (Picture{"..........", "..........", "...oooo...", "...o##o...", "...oooo...",
                                        "..........", ".........."}));
  for (int y = 2; y <= 4; ++y) {
    for (int x = 2; x <= 7; ++x) EXPECT_EQ(region.m_pMask[y * 10 + x], walks.m_pMask[y * 10 + x]) << x << "," << y;
  }
}

}  // namespace
