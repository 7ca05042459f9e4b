#include "analysis/region.h"
#include "tests/analysis/regiontesting.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using namespace regiontesting;

MCRegion& Built(MCRegion& region, const Picture& picture) {
  region.SetFromMask(MaskOf(picture).data());
  return region;
}

std::unique_ptr<MCRegion> FromOutline(int width, int height, MCRegion* source) {
  auto region = std::make_unique<MCRegion>(width, height);
  region->SetFromOutline(source);
  return region;
}

// --- Building from a mask --------------------------------------------------

TEST(Region, AMaskWithoutMarksLeavesItEmptyWithoutASnapshot) {
  MCRegion region(6, 4);
  EXPECT_EQ(region.m_nArea, 1);  // new, not yet empty
  region.m_nTag1 = 3;
  Built(region, {"......", "......", "......", "......"});
  EXPECT_FALSE(region.HasMask());
  EXPECT_EQ(region.m_nPoints, 0);
  EXPECT_EQ(region.m_nArea, 0);
  EXPECT_EQ(region.m_nTag1, -1);
  EXPECT_EQ(region.m_rcBounds, (Rect{0, 0, 5, 3}));
  EXPECT_EQ(region.m_wSnapshotCount, 0);
  EXPECT_EQ(region.m_wSnapshotIndex, kNoSnapshot);

  region.SetFromMask(nullptr);                                  // reads as no mark
  region.SetFromMask(std::vector<uint8_t>(23, kRegionInside));  // one byte short: no mark either
  EXPECT_FALSE(region.HasMask());
  EXPECT_EQ(region.m_wSnapshotCount, 0);
}

TEST(Region, ASingleMarkIsItsOwnOutline) {
  MCRegion region(5, 5);
  Built(region, {".....", ".....", ".....", "..#..", "....."});
  EXPECT_EQ(PictureOf(region), (Picture{".....", ".....", ".....", "..o..", "....."}));
  EXPECT_EQ(region.m_pPoints, (std::vector<Point>{{2, 3}}));
  EXPECT_EQ(region.m_rcBounds, (Rect{2, 3, 2, 3}));
  EXPECT_EQ(region.m_nArea, 1);
  EXPECT_EQ(region.m_wSnapshotCount, 1);
}

TEST(Region, ABlockKeepsItsCentreAndListsItsBorderRowByRow) {
  MCRegion region(6, 6);
  Built(region, {"......", "......", ".###..", ".###..", ".###..", "......"});
  EXPECT_EQ(PictureOf(region), (Picture{"......", "......", ".ooo..", ".o#o..", ".ooo..", "......"}));
  EXPECT_EQ(region.m_pPoints, (std::vector<Point>{{1, 2}, {2, 2}, {3, 2}, {1, 3}, {3, 3}, {1, 4}, {2, 4}, {3, 4}}));
  EXPECT_EQ(region.m_rcBounds, (Rect{1, 2, 3, 4}));
  EXPECT_EQ(region.m_nArea, 9);

  // A mask handed over whole builds the same region.
  MCRegion taken(6, 6);
  taken.SetFromMask(MaskOf({"......", "......", ".###..", ".###..", ".###..", "......"}));
  EXPECT_EQ(taken.m_pMask, region.m_pMask);
  EXPECT_EQ(taken.m_pPoints, region.m_pPoints);
}

TEST(Region, MarksOnTheImageEdgeAreOutlineWhateverTheirNeighbours) {
  MCRegion region(5, 4);
  Built(region, {"#####", "#####", "#####", "#####"});
  EXPECT_EQ(PictureOf(region), (Picture{"ooooo", "o###o", "o###o", "ooooo"}));
  // The edge columns row by row, then the edge rows without their corners.
  std::vector<Point> expected{{0, 0}, {4, 0}, {0, 1}, {4, 1}, {0, 2}, {4, 2}, {0, 3}, {4, 3}};
  expected.insert(expected.end(), {{1, 0}, {1, 3}, {2, 0}, {2, 3}, {3, 0}, {3, 3}});
  EXPECT_EQ(region.m_pPoints, expected);
  EXPECT_EQ(region.m_rcBounds, (Rect{0, 0, 4, 3}));
  EXPECT_EQ(region.m_nArea, 20);

  // One column: each byte is listed once, though it is both edges.
  MCRegion column(1, 3);
  EXPECT_EQ(Built(column, {"#", "#", "#"}).m_pPoints, (std::vector<Point>{{0, 0}, {0, 1}, {0, 2}}));
}

// --- Copies and snapshots ----------------------------------------------------

TEST(Region, ACloneIsADeepCopyWithoutSnapshotsOrTags) {
  MCRegion region(4, 4);
  Built(region, {"....", ".##.", ".#..", "...."});
  region.m_nTag1 = 1;
  region.m_dScale = 0.5;
  region.m_pExtra = std::make_unique<RegionExtra>();
  std::unique_ptr<MCRegion> copy = region.Clone();
  EXPECT_EQ(copy->m_pMask, region.m_pMask);
  EXPECT_EQ(copy->m_pPoints, region.m_pPoints);
  EXPECT_EQ(copy->m_nPoints, 3);
  EXPECT_EQ(copy->m_rcBounds, region.m_rcBounds);
  EXPECT_EQ(copy->m_nArea, 3);
  EXPECT_EQ(copy->m_dScale, 0.5);
  EXPECT_EQ(copy->m_nTag1, -1);
  EXPECT_EQ(copy->m_pExtra, nullptr);
  EXPECT_EQ(copy->m_wSnapshotCount, 0);
  copy->m_pMask[5] = 0;
  copy->m_pPoints[0].x = 3;
  EXPECT_EQ(region.m_pMask[5], kRegionOutline);
  EXPECT_EQ(region.m_pPoints[0].x, 1);

  std::unique_ptr<MCRegion> fresh = MCRegion(3, 2).Clone();
  EXPECT_FALSE(fresh->HasMask());
  EXPECT_EQ(fresh->m_nPoints, 0);
}

TEST(Region, SnapshotsAreIndependentCopiesAppendedInOrder) {
  MCRegion region(4, 3);
  region.Reset();
  region.PushSnapshot();  // empty region, empty list: nothing
  EXPECT_EQ(region.m_wSnapshotCount, 0);

  Built(region, {"....", ".#..", "...."});
  Built(region, {"##..", "##..", "...."});
  ASSERT_EQ(region.m_wSnapshotCount, 2);
  EXPECT_EQ(region.m_wSnapshotIndex, 1);
  EXPECT_EQ(PictureOf(*region.m_ppSnapshots[0]), (Picture{"....", ".o..", "...."}));
  EXPECT_EQ(PictureOf(*region.m_ppSnapshots[1]), (Picture{"oo..", "oo..", "...."}));

  // With a list, even an empty region is recorded.
  Built(region, {"....", "....", "...."});
  ASSERT_EQ(region.m_wSnapshotCount, 3);
  EXPECT_FALSE(region.m_ppSnapshots[2]->HasMask());
  EXPECT_EQ(region.m_ppSnapshots[2]->m_nArea, 0);
}

// --- Rebuilding from an outline -------------------------------------------

TEST(RegionOutline, FewerThanFivePointsLeaveItEmpty) {
  auto four = Outline({{1, 1}, {2, 1}, {3, 1}, {3, 2}});
  four->m_nTag1 = 8;
  EXPECT_EQ(FromOutline(5, 5, four.get())->m_wSnapshotCount, 0);

  // A region that was built keeps its size, box and snapshots, and records
  // the empty state.
  MCRegion region(5, 5);
  Built(region, {".....", ".##..", ".....", ".....", "....."});
  region.SetFromOutline(nullptr);  // no source: nothing at all
  EXPECT_TRUE(region.HasMask());
  EXPECT_EQ(region.m_wSnapshotCount, 1);
  region.SetFromOutline(four.get());
  EXPECT_FALSE(region.HasMask());
  EXPECT_EQ(region.m_nPoints, 0);
  EXPECT_EQ(region.m_nArea, 0);
  EXPECT_EQ(region.m_nTag1, -1);
  EXPECT_EQ(region.m_nWidth, 5);
  EXPECT_EQ(region.m_rcBounds, (Rect{1, 1, 2, 1}));
  EXPECT_EQ(region.m_wSnapshotCount, 2);
}

TEST(RegionOutline, ClosedOutlinesAreFilled) {
  const Picture ring{".......", ".#####.", ".#...#.", ".#...#.", ".#...#.", ".#####.", "......."};
  auto source = Outline(PointsOf(ring));
  auto region = FromOutline(7, 7, source.get());
  EXPECT_EQ(PictureOf(*region), (Picture{".......", ".ooooo.", ".o###o.", ".o###o.", ".o###o.", ".ooooo.", "......."}));
  EXPECT_EQ(region->m_nArea, 25);
  EXPECT_EQ(region->m_pPoints, PointsOf(ring));
  EXPECT_EQ(region->m_rcBounds, (Rect{1, 1, 5, 5}));
  EXPECT_EQ(region->m_wSnapshotCount, 1);

  // Diagonal sides touch only at corners, and still close the diamond.
  const Picture diamond{".........", "....#....", "...#.#...", "..#...#..", ".#.....#.",
                        "..#...#..", "...#.#...", "....#....", "........."};
  source = Outline(PointsOf(diamond));
  region = FromOutline(9, 9, source.get());
  EXPECT_EQ(PictureOf(*region), (Picture{".........", "....o....", "...o#o...", "..o###o..", ".o#####o.", "..o###o..",
                                         "...o#o...", "....o....", "........."}));
  EXPECT_EQ(region->m_pPoints, PointsOf(diamond));

  // Outline pixels that touch nothing reachable are inside, not outline.
  const Picture thick{".......", ".#####.", ".#####.", ".##.##.", ".#####.", ".#####.", "......."};
  source = Outline(PointsOf(thick));
  region = FromOutline(7, 7, source.get());
  EXPECT_EQ(PictureOf(*region), (Picture{".......", ".ooooo.", ".o###o.", ".o###o.", ".o###o.", ".ooooo.", "......."}));
  EXPECT_EQ(region->m_nPoints, 16);
}

TEST(RegionOutline, OpenOutlinesEncloseNothing) {
  std::vector<Point> line;
  for (int x = 1; x <= 10; ++x) line.push_back({x, 2});
  auto source = Outline(line);
  auto region = FromOutline(12, 5, source.get());
  EXPECT_EQ(PictureOf(*region),
            (Picture{"............", "............", ".oooooooooo.", "............", "............"}));
  EXPECT_EQ(region->m_nArea, 10);

  // A gap of one pixel lets the outside in.
  source = Outline(PointsOf({".......", ".#####.", ".#...#.", ".#.....", ".#...#.", ".#####.", "......."}));
  region = FromOutline(7, 7, source.get());
  EXPECT_EQ(PictureOf(*region), (Picture{".......", ".ooooo.", ".o...o.", ".o.....", ".o...o.", ".ooooo.", "......."}));
  EXPECT_EQ(region->m_nArea, 15);

  // The image's edge does not close a U whose arms reach the top row.
  source = Outline(PointsOf({"#...#", "#...#", "#####", "....."}));
  region = FromOutline(5, 4, source.get());
  EXPECT_EQ(PictureOf(*region), (Picture{"o...o", "o...o", "ooooo", "....."}));
  EXPECT_EQ(region->m_nArea, 9);
}

TEST(RegionOutline, PointsOffTheImageAreClampedInTheSourceAndUsed) {
  auto source = Outline({{-100, -100}, {1000, -5}, {1000, 1000}, {-7, 1000}, {2, -50}, {2, 2}});
  auto region = FromOutline(5, 4, source.get());
  EXPECT_EQ(source->m_pPoints, (std::vector<Point>{{0, 0}, {4, 0}, {4, 3}, {0, 3}, {2, 0}, {2, 2}}));
  EXPECT_EQ(PictureOf(*region), (Picture{"o.o.o", ".....", "..o..", "o...o"}));
  EXPECT_EQ(region->m_nArea, 6);
  EXPECT_EQ(region->m_rcBounds, (Rect{0, 0, 4, 3}));
}

TEST(RegionOutline, CarriesTheSourcesTagsAndKeepsASnapshotPerBuild) {
  MCRegion region(6, 6);
  Built(region, {"......", ".####.", ".#..#.", ".#..#.", ".####.", "......"});
  std::unique_ptr<MCRegion> copy = region.Clone();
  copy->m_nTag1 = 11;
  copy->m_nTag2 = 12;
  region.SetFromOutline(copy.get());
  EXPECT_EQ(PictureOf(region), (Picture{"......", ".oooo.", ".o##o.", ".o##o.", ".oooo.", "......"}));
  EXPECT_EQ(region.m_nTag1, 11);
  EXPECT_EQ(region.m_nTag2, 12);
  ASSERT_EQ(region.m_wSnapshotCount, 2);
  EXPECT_EQ(PictureOf(*region.m_ppSnapshots[1]), PictureOf(region));
  // The source keeps its own mask and area.
  EXPECT_EQ(PictureOf(*copy), (Picture{"......", ".oooo.", ".o..o.", ".o..o.", ".oooo.", "......"}));
  EXPECT_EQ(copy->m_nArea, 12);
}

// --- Walks -------------------------------------------------------------------

// A width x height mask of undecided bytes with outline bytes at the given
// points, the working box set to the whole mask.
struct Walks {
  Walks(int width, int height, const std::vector<Point>& outline = {}) : region(width, height) {
    mask.assign(static_cast<size_t>(width) * height, kRegionUndecided);
    for (Point p : outline) at(p.x, p.y) = kRegionOutline;
    region.m_rcBounds = Rect{0, 0, width - 1, height - 1};
  }
  uint8_t& at(int x, int y) { return mask[static_cast<size_t>(y) * region.m_nWidth + x]; }
  void Cast(int x0, int y0, int x1, int y1) { region.CastRay(mask.data(), x0, y0, x1, y1); }
  MCRegion region;
  std::vector<uint8_t> mask;
};

TEST(RegionWalk, ClearsUndecidedBytesUntilTheOutline) {
  Walks w(10, 3, {{6, 1}});
  w.at(2, 1) = kRegionOutside;
  w.Cast(0, 1, 9, 1);
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(w.at(x, 1), x < 6 ? kRegionOutside : x == 6 ? kRegionOutline : kRegionUndecided) << x;
  }
  w.Cast(8, 2, 8, 2);  // the start is the target
  EXPECT_EQ(w.at(8, 2), kRegionOutside);
  w.Cast(9, 0, 10, 0);  // a target off the mask
  EXPECT_EQ(w.at(9, 0), kRegionUndecided);
  EXPECT_FALSE(w.region.CastRaysFrom(nullptr, 1, 1));
}

TEST(RegionWalk, NeverSlipsBetweenOutlineBytesTouchingAtCorners) {
  Walks steep(3, 3, {{1, 0}, {0, 1}});
  steep.Cast(0, 0, 2, 2);
  EXPECT_EQ(steep.at(0, 0), kRegionOutside);
  EXPECT_EQ(steep.at(1, 1), kRegionUndecided);

  Walks flat(4, 2, {{2, 0}, {1, 1}});
  flat.Cast(0, 0, 3, 1);
  EXPECT_EQ(flat.at(1, 0), kRegionOutside);
  EXPECT_EQ(flat.at(2, 1), kRegionUndecided);

  // One byte of the pair open: the walk goes on diagonally.
  Walks open(3, 3, {{0, 1}});
  open.Cast(0, 0, 2, 2);
  EXPECT_EQ(open.at(2, 2), kRegionOutside);
}

TEST(RegionWalk, TheSlopeIsSinglePrecision) {
  // From (0, 0) to (7, 8) the offset at row 4 is exactly 3.5; in single
  // precision it comes out just below, in column 3.
  Walks steep(8, 9);
  steep.Cast(0, 0, 7, 8);
  EXPECT_EQ(steep.at(3, 4), kRegionOutside);
  EXPECT_EQ(steep.at(4, 4), kRegionUndecided);

  Walks flat(23, 14);
  flat.Cast(0, 0, 22, 13);
  EXPECT_EQ(flat.at(11, 6), kRegionOutside);
  EXPECT_EQ(flat.at(11, 7), kRegionUndecided);
}

TEST(RegionWalk, RaysReachTheRingInsideTheBoxButNotItsLastColumnAndRow) {
  Walks w(7, 6);
  w.region.m_rcBounds = Rect{1, 1, 5, 4};
  EXPECT_TRUE(w.region.CastRaysFrom(w.mask.data(), 3, 2));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 7; ++x) {
      const bool ring = x >= 1 && x <= 4 && y >= 1 && y <= 3 && (x == 1 || x == 4 || y == 1 || y == 3);
      const bool beyond = x == 0 || x >= 5 || y == 0 || y >= 4;
      if (ring || beyond) {
        EXPECT_EQ(w.at(x, y), ring ? kRegionOutside : kRegionUndecided) << x << "," << y;
      }
    }
  }
}

}  // namespace
