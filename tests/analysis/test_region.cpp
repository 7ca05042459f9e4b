// Regions built from marks and from outlines: worked examples, and the
// linear filling held against the step-by-step walks on many thousands of
// random outlines.

#include "analysis/region.h"
#include "tests/analysis/literalfill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Picture = std::vector<std::string>;

// The positions of every c, row by row.
std::vector<Point> PointsOf(const Picture& picture, char c = '#') {
  std::vector<Point> points;
  for (size_t y = 0; y < picture.size(); ++y) {
    for (size_t x = 0; x < picture[y].size(); ++x) {
      if (picture[y][x] == c) points.push_back(Point{static_cast<int32_t>(x), static_cast<int32_t>(y)});
    }
  }
  return points;
}

// The region's mask: '.' outside, 'o' outline, '#' inside, '?' anything
// else; empty without a mask.
Picture PictureOf(const MCRegion& region) {
  Picture picture;
  for (size_t i = 0; i < region.m_pMask.size(); ++i) {
    if (i % static_cast<size_t>(region.m_nWidth) == 0) picture.emplace_back();
    const uint8_t b = region.m_pMask[i];
    picture.back() += b == kRegionOutside ? '.' : b == kRegionOutline ? 'o' : b == kRegionInside ? '#' : '?';
  }
  return picture;
}

TEST(Region, BuildsItsOutlineFromAMask) {
  // The marks; the region's mask, its box and area. Its points are the
  // outline bytes, in an order of their own.
  auto check = [](const Picture& marks, const Picture& expected, Rect box, int area) {
    SCOPED_TRACE(marks[1]);
    const int w = static_cast<int>(marks[0].size());
    std::vector<uint8_t> mask(marks.size() * static_cast<size_t>(w), kRegionOutside);
    for (Point p : PointsOf(marks)) mask[static_cast<size_t>(p.y * w + p.x)] = kRegionInside;
    MCRegion region(w, static_cast<int>(marks.size()));
    region.SetFromMask(mask.data());
    EXPECT_EQ(PictureOf(region), expected);
    std::vector<Point> points = region.m_pPoints;
    std::sort(points.begin(), points.end(), [](Point a, Point b) { return std::pair(a.y, a.x) < std::pair(b.y, b.x); });
    EXPECT_EQ(points, PointsOf(expected, 'o'));
    EXPECT_EQ(region.m_nPoints, static_cast<int>(points.size()));
    EXPECT_EQ(region.m_rcBounds, box);
    EXPECT_EQ(region.m_nArea, area);
    EXPECT_EQ(region.m_wSnapshotCount, area > 0 ? 1 : 0);
  };
  // No mark: empty, with the whole image as its box.
  check({"......", "......"}, {}, {0, 0, 5, 1}, 0);
  check({".....", "..#..", "....."}, {".....", "..o..", "....."}, {2, 1, 2, 1}, 1);
  check({"......", ".###..", ".###..", ".###..", "......"}, {"......", ".ooo..", ".o#o..", ".ooo..", "......"},
        {1, 1, 3, 3}, 9);
  // Marks on the image's edge are outline whatever their neighbours.
  check({"#####", "#####", "##.##", "#####"}, {"ooooo", "o#o#o", "oo.oo", "ooooo"}, {0, 0, 4, 3}, 19);
  check({"#", "#", "#"}, {"o", "o", "o"}, {0, 0, 0, 2}, 3);
}

// An 8-connected line: diagonal steps while both coordinates differ, so
// its pixels touch only at corners there, then straight ones.
void Line(std::vector<Point>& out, Point a, Point b) {
  for (out.push_back(a); !(a == b); out.push_back(a)) {
    a.x += (a.x < b.x) - (b.x < a.x);
    a.y += (a.y < b.y) - (b.y < a.y);
  }
}

struct Case {
  int width = 0, height = 0;
  std::vector<Point> points;
};

// A random outline: polygons closed or left open, rectangular rings one or
// two pixels thick and filled blocks, scattered points (some far off the
// image, some twice), now and then a point dropped to open a gap, and now
// and then the outline of all that taken as marks, as the smart area has
// its outlines.
Case RandomCase(std::mt19937& random, int largest) {
  auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  Case c{between(1, largest), between(1, largest), {}};
  auto near = [&] { return Point{between(-2, c.width + 1), between(-2, c.height + 1)}; };
  for (int shapes = between(0, largest / 4); shapes > 0; --shapes) {
    const int kind = between(0, 2);
    if (kind == 0) {
      const Point first = near();
      Point a = first;
      for (int k = between(1, 5); k > 0; --k) {
        const Point b = near();
        Line(c.points, a, b);
        a = b;
      }
      if (between(0, 2) > 0) Line(c.points, a, first);
    } else if (kind == 1) {
      const Point a = near();
      const Point b{a.x + between(0, 8), a.y + between(0, 8)};
      const int thickness = between(1, 3);
      for (int y = a.y; y <= b.y; ++y) {
        for (int x = a.x; x <= b.x; ++x) {
          if (std::min({x - a.x, y - a.y, b.x - x, b.y - y}) < thickness) c.points.push_back({x, y});
        }
      }
    } else {
      for (int n = between(1, 10); n > 0; --n) {
        Point p = near();
        if (between(0, 19) == 0) p.x = between(0, 1) ? between(-100000, -50) : between(50, 100000);
        if (between(0, 19) == 0) p.y = between(0, 1) ? INT_MIN : INT_MAX;
        c.points.push_back(p);
        if (between(0, 9) == 0) c.points.push_back(p);
      }
    }
  }
  if (!c.points.empty() && between(0, 3) == 0) {
    std::erase(c.points, c.points[static_cast<size_t>(between(0, static_cast<int>(c.points.size()) - 1))]);
  }
  if (between(0, 3) == 0) {
    std::vector<uint8_t> marks(static_cast<size_t>(c.width * c.height), 0);
    for (Point p : c.points) {
      if (p.x >= 0 && p.y >= 0 && p.x < c.width && p.y < c.height)
        marks[static_cast<size_t>(p.y * c.width + p.x)] = 255;
    }
    MCRegion region(c.width, c.height);
    region.SetFromMask(marks.data());
    c.points = region.m_pPoints;
  }
  return c;
}

std::string Describe(const Case& c) {
  std::ostringstream out;
  out << c.width << " x " << c.height << ", points";
  for (Point p : c.points) out << " (" << p.x << "," << p.y << ")";
  return out.str();
}

// Rebuilds the outline into a region that already holds one snapshot, from
// a source with tags; the points come back clamped.
std::unique_ptr<MCRegion> Rebuild(const Case& c, std::vector<Point>& points, bool walks) {
  auto region = std::make_unique<MCRegion>(c.width, c.height);
  region->PushSnapshot();
  auto source = std::make_unique<MCRegion>();
  source->m_pPoints = points;
  source->m_nPoints = static_cast<int32_t>(points.size());
  source->m_nTag1 = 21;
  source->m_nTag2 = 22;
  if (walks) {
    literal::SetFromOutline(*region, source.get());
  } else {
    region->SetFromOutline(source.get());
  }
  points = source->m_pPoints;
  return region;
}

// Everything a rebuild leaves: the mask, the points in their order, the
// box, the area, the size, the tags and the snapshots.
auto Fields(const MCRegion& r) {
  return std::tie(r.m_pMask, r.m_pPoints, r.m_nPoints, r.m_rcBounds, r.m_nArea, r.m_nWidth, r.m_nHeight, r.m_nTag1,
                  r.m_nTag2, r.m_wSnapshotCount, r.m_wSnapshotIndex);
}

TEST(RegionFill, TheLinearFillingAgreesWithTheWalks) {
  std::mt19937 random(1);
  const int cases = 40000;
  int enclosing = 0;
  for (int i = 0; i < cases; ++i) {
    // Now and then a larger picture: longer walks, more passes.
    const Case c = RandomCase(random, i % 100 == 0 ? 60 : 14);
    std::vector<Point> clamped = c.points, clampedByWalks = c.points;
    const auto fast = Rebuild(c, clamped, false);
    ASSERT_TRUE(Fields(*fast) == Fields(*Rebuild(c, clampedByWalks, true))) << "case " << i << ": " << Describe(c);
    ASSERT_EQ(clamped, clampedByWalks) << Describe(c);
    enclosing += fast->m_nArea > fast->m_nPoints;
    // The order of the points does not matter.
    std::shuffle(clamped.begin(), clamped.end(), random);
    ASSERT_TRUE(Fields(*fast) == Fields(*Rebuild(c, clamped, false))) << "shuffled, " << Describe(c);
  }
  // The cases must include enclosed areas, or they prove little.
  EXPECT_GT(enclosing, cases / 10);
}

}  // namespace
