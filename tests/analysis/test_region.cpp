#include "analysis/region.h"
#include "tests/analysis/regiontesting.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using namespace regiontesting;

bool SameRect(const Rect& r, int left, int top, int right, int bottom) { return r == Rect{left, top, right, bottom}; }

MCRegion& Built(MCRegion& region, const Picture& picture) {
  region.SetFromMask(MaskOf(picture).data());
  return region;
}

// --- Building from a mask --------------------------------------------------

TEST(Region, StartsNewWithOnlyItsSize) {
  MCRegion region(7, 3);
  EXPECT_EQ(region.m_nWidth, 7);
  EXPECT_EQ(region.m_nHeight, 3);
  EXPECT_EQ(region.m_nArea, 1);
  EXPECT_FALSE(region.HasMask());
  EXPECT_EQ(region.m_nPoints, 0);
  EXPECT_TRUE(SameRect(region.m_rcBounds, 0, 0, 0, 0));
  EXPECT_EQ(region.m_nTag1, -1);
  EXPECT_EQ(region.m_nTag2, -1);
  EXPECT_EQ(region.m_dScale, 1.0);
  EXPECT_EQ(region.m_wSnapshotCount, 0);
  EXPECT_EQ(region.m_wSnapshotIndex, kNoSnapshot);
}

TEST(Region, AMaskWithoutMarksLeavesItEmptyWithoutASnapshot) {
  MCRegion region(6, 4);
  region.m_nTag1 = 3;
  Built(region, {"......", "......", "......", "......"});
  EXPECT_FALSE(region.HasMask());
  EXPECT_EQ(region.m_nPoints, 0);
  EXPECT_EQ(region.m_nArea, 0);
  EXPECT_EQ(region.m_nTag1, -1);
  EXPECT_TRUE(SameRect(region.m_rcBounds, 0, 0, 5, 3));
  EXPECT_EQ(region.m_wSnapshotCount, 0);

  region.SetFromMask(nullptr);  // reads as no mark
  EXPECT_FALSE(region.HasMask());
  EXPECT_EQ(region.m_wSnapshotCount, 0);
  region.SetFromMask(std::vector<uint8_t>(23, kRegionInside));  // one byte short: no mark either
  EXPECT_FALSE(region.HasMask());

  // A mask handed over whole builds the same region as one copied.
  MCRegion copied(3, 3);
  MCRegion taken(3, 3);
  copied.SetFromMask(MaskOf({"##.", "##.", "..."}).data());
  taken.SetFromMask(MaskOf({"##.", "##.", "..."}));
  EXPECT_EQ(PictureOf(taken), PictureOf(copied));
  EXPECT_EQ(taken.m_pPoints, copied.m_pPoints);
  EXPECT_EQ(taken.m_nArea, 4);

  MCRegion none(0, 5);
  none.SetFromMask(nullptr);
  EXPECT_FALSE(none.HasMask());
  EXPECT_EQ(none.m_nArea, 0);
}

TEST(Region, ASingleMarkIsItsOwnOutline) {
  MCRegion region(5, 5);
  Built(region, {".....", ".....", ".....", "..#..", "....."});
  EXPECT_EQ(PictureOf(region), (Picture{".....", ".....", ".....", "..o..", "....."}));
  EXPECT_EQ(region.m_pPoints, (std::vector<Point>{{2, 3}}));
  EXPECT_EQ(region.m_nPoints, 1);
  EXPECT_TRUE(SameRect(region.m_rcBounds, 2, 3, 2, 3));
  EXPECT_EQ(region.m_nArea, 1);
  EXPECT_EQ(region.m_wSnapshotCount, 1);
  EXPECT_EQ(region.m_wSnapshotIndex, 0);
}

TEST(Region, ABlockKeepsItsCentreAndListsItsBorderRowByRow) {
  MCRegion region(6, 6);
  Built(region, {"......", "......", ".###..", ".###..", ".###..", "......"});
  EXPECT_EQ(PictureOf(region), (Picture{"......", "......", ".ooo..", ".o#o..", ".ooo..", "......"}));
  EXPECT_EQ(region.m_pPoints, (std::vector<Point>{{1, 2}, {2, 2}, {3, 2}, {1, 3}, {3, 3}, {1, 4}, {2, 4}, {3, 4}}));
  EXPECT_TRUE(SameRect(region.m_rcBounds, 1, 2, 3, 4));
  EXPECT_EQ(region.m_nArea, 9);
}

TEST(Region, MarksOnTheImageEdgeAreOutlineWhateverTheirNeighbours) {
  MCRegion region(5, 4);
  Built(region, {"#####", "#####", "#####", "#####"});
  EXPECT_EQ(PictureOf(region), (Picture{"ooooo", "o###o", "o###o", "ooooo"}));
  // The edge columns row by row, then the edge rows without their corners.
  EXPECT_EQ(region.m_pPoints, (std::vector<Point>{{0, 0},
                                                  {4, 0},
                                                  {0, 1},
                                                  {4, 1},
                                                  {0, 2},
                                                  {4, 2},
                                                  {0, 3},
                                                  {4, 3},
                                                  {1, 0},
                                                  {1, 3},
                                                  {2, 0},
                                                  {2, 3},
                                                  {3, 0},
                                                  {3, 3}}));
  EXPECT_TRUE(SameRect(region.m_rcBounds, 0, 0, 4, 3));
  EXPECT_EQ(region.m_nArea, 20);

  // One column: each byte is listed once, though it is both edges.
  MCRegion column(1, 3);
  Built(column, {"#", "#", "#"});
  EXPECT_EQ(column.m_pPoints, (std::vector<Point>{{0, 0}, {0, 1}, {0, 2}}));
  EXPECT_EQ(column.m_nArea, 3);
}

TEST(Region, AHoleIsOutlinedFromInsideAndNotCounted) {
  MCRegion region(7, 6);
  Built(region, {".......", ".#####.", ".##.##.", ".#.#.#.", ".#####.", "......."});
  EXPECT_EQ(PictureOf(region), (Picture{".......", ".ooooo.", ".oo.oo.", ".o.o.o.", ".ooooo.", "......."}));
  EXPECT_EQ(region.m_nArea, 17);
}

TEST(Region, TraceOutlineStaysInsideItsBoxAndReplacesThePoints) {
  MCRegion region(6, 5);
  std::vector<uint8_t> mask = MaskOf({"######", "######", "######", "######", "######"});
  MCRegion out;
  out.m_pPoints = {{9, 9}};
  out.m_nPoints = 1;
  const Rect box{1, 1, 3, 3};
  region.TraceOutline(mask.data(), &out, &box);
  region.m_pMask = mask;
  EXPECT_EQ(PictureOf(region), (Picture{"######", "#ooo##", "#o#o##", "#ooo##", "######"}));
  EXPECT_EQ(out.m_pPoints, (std::vector<Point>{{1, 1}, {3, 1}, {1, 2}, {3, 2}, {1, 3}, {3, 3}, {2, 1}, {2, 3}}));
  EXPECT_EQ(out.m_nPoints, 8);

  region.TraceOutline(nullptr, &out, &box);  // nothing happens
  EXPECT_EQ(out.m_nPoints, 8);
}

TEST(Region, BoundsFollowOnlyOutlineBytes) {
  MCRegion region(6, 4);
  std::vector<uint8_t> mask(24, kRegionInside);
  EXPECT_FALSE(region.ComputeBounds(mask.data()));
  EXPECT_TRUE(SameRect(region.m_rcBounds, 0, 0, 5, 3));
  mask[1 * 6 + 4] = kRegionOutline;
  mask[2 * 6 + 2] = kRegionOutline;
  EXPECT_TRUE(region.ComputeBounds(mask.data()));
  EXPECT_TRUE(SameRect(region.m_rcBounds, 2, 1, 4, 2));
  EXPECT_EQ(region.CountArea(mask.data()), 6);
  EXPECT_FALSE(region.ComputeBounds(nullptr));
  EXPECT_TRUE(SameRect(region.m_rcBounds, 0, 0, 5, 3));
}

// --- Reset, copies and snapshots ------------------------------------------

TEST(Region, ResetEmptiesButKeepsSizeBoxAndSnapshots) {
  MCRegion region(5, 5);
  Built(region, {".....", ".##..", ".##..", ".....", "....."});
  region.m_nTag1 = 4;
  region.m_nTag2 = 5;
  region.m_nPointsAux = 2;
  region.m_dScale = 3.0;
  region.m_pExtra = std::make_unique<RegionExtra>();
  region.Reset();
  EXPECT_FALSE(region.HasMask());
  EXPECT_EQ(region.m_nPoints, 0);
  EXPECT_TRUE(region.m_pPoints.empty());
  EXPECT_EQ(region.m_nPointsAux, 0);
  EXPECT_EQ(region.m_nArea, 0);
  EXPECT_EQ(region.m_nTag1, -1);
  EXPECT_EQ(region.m_nTag2, -1);
  EXPECT_EQ(region.m_dScale, 1.0);
  EXPECT_EQ(region.m_pExtra, nullptr);
  EXPECT_EQ(region.m_nWidth, 5);
  EXPECT_EQ(region.m_nHeight, 5);
  EXPECT_TRUE(SameRect(region.m_rcBounds, 1, 1, 2, 2));
  EXPECT_EQ(region.m_wSnapshotCount, 1);
}

TEST(Region, ACloneIsADeepCopyWithoutSnapshotsOrTags) {
  MCRegion region(4, 4);
  Built(region, {"....", ".##.", ".#..", "...."});
  region.m_nTag1 = 1;
  region.m_nTag2 = 2;
  region.m_dScale = 0.5;
  region.m_pExtra = std::make_unique<RegionExtra>();
  std::unique_ptr<MCRegion> copy = region.Clone();
  EXPECT_EQ(copy->m_nWidth, 4);
  EXPECT_EQ(copy->m_nHeight, 4);
  EXPECT_EQ(copy->m_pMask, region.m_pMask);
  EXPECT_EQ(copy->m_pPoints, region.m_pPoints);
  EXPECT_EQ(copy->m_nPoints, 3);
  EXPECT_EQ(copy->m_rcBounds, region.m_rcBounds);
  EXPECT_EQ(copy->m_nArea, 3);
  EXPECT_EQ(copy->m_dScale, 0.5);
  EXPECT_EQ(copy->m_nTag1, -1);
  EXPECT_EQ(copy->m_nTag2, -1);
  EXPECT_EQ(copy->m_pExtra, nullptr);
  EXPECT_EQ(copy->m_wSnapshotCount, 0);
  EXPECT_EQ(copy->m_wSnapshotIndex, kNoSnapshot);
  copy->m_pMask[5] = 0;
  copy->m_pPoints[0].x = 3;
  EXPECT_EQ(region.m_pMask[5], kRegionOutline);
  EXPECT_EQ(region.m_pPoints[0].x, 1);

  std::unique_ptr<MCRegion> fresh = MCRegion(3, 2).Clone();
  EXPECT_FALSE(fresh->HasMask());
  EXPECT_EQ(fresh->m_nPoints, 0);
  EXPECT_EQ(fresh->m_nArea, 1);
}

TEST(Region, SnapshotsAreIndependentCopiesAppendedInOrder) {
  MCRegion region(4, 3);
  region.Reset();
  region.PushSnapshot();  // empty region, empty list: nothing
  EXPECT_EQ(region.m_wSnapshotCount, 0);
  EXPECT_EQ(region.m_wSnapshotIndex, kNoSnapshot);

  Built(region, {"....", ".#..", "...."});
  ASSERT_EQ(region.m_wSnapshotCount, 1);
  Built(region, {"##..", "##..", "...."});
  ASSERT_EQ(region.m_wSnapshotCount, 2);
  EXPECT_EQ(region.m_wSnapshotIndex, 1);
  EXPECT_EQ(PictureOf(*region.m_ppSnapshots[0]), (Picture{"....", ".o..", "...."}));
  EXPECT_EQ(PictureOf(*region.m_ppSnapshots[1]), (Picture{"oo..", "oo..", "...."}));
  EXPECT_EQ(region.m_ppSnapshots[1]->m_wSnapshotCount, 0);

  // With a list, even an empty region is recorded.
  Built(region, {"....", "....", "...."});
  ASSERT_EQ(region.m_wSnapshotCount, 3);
  EXPECT_FALSE(region.m_ppSnapshots[2]->HasMask());
  EXPECT_EQ(region.m_ppSnapshots[2]->m_nArea, 0);
  EXPECT_EQ(region.m_wSnapshotIndex, 2);
  EXPECT_EQ(PictureOf(*region.m_ppSnapshots[1]), (Picture{"oo..", "oo..", "...."}));
}

// --- Rebuilding from an outline -------------------------------------------

TEST(RegionOutline, ANullSourceChangesNothing) {
  MCRegion region(4, 3);
  Built(region, {"....", ".#..", "...."});
  region.SetFromOutline(nullptr);
  EXPECT_EQ(PictureOf(region), (Picture{"....", ".o..", "...."}));
  EXPECT_EQ(region.m_wSnapshotCount, 1);
}

TEST(RegionOutline, FewerThanFivePointsLeaveItEmpty) {
  auto source = Outline({{1, 1}, {2, 1}, {3, 1}, {3, 2}});
  source->m_nTag1 = 8;
  MCRegion fresh(5, 5);
  fresh.SetFromOutline(source.get());
  EXPECT_FALSE(fresh.HasMask());
  EXPECT_EQ(fresh.m_nArea, 0);
  EXPECT_EQ(fresh.m_nTag1, -1);
  EXPECT_EQ(fresh.m_wSnapshotCount, 0);

  // A region that was built keeps its box and records the empty state.
  MCRegion region(5, 5);
  Built(region, {".....", ".##..", ".....", ".....", "....."});
  region.SetFromOutline(source.get());
  EXPECT_FALSE(region.HasMask());
  EXPECT_EQ(region.m_nPoints, 0);
  EXPECT_EQ(region.m_nArea, 0);
  EXPECT_TRUE(SameRect(region.m_rcBounds, 1, 1, 2, 1));
  EXPECT_EQ(region.m_wSnapshotCount, 2);

  auto none = Outline({});
  region.SetFromOutline(none.get());
  EXPECT_EQ(region.m_wSnapshotCount, 3);
}

TEST(RegionOutline, ASquareRingIsFilled) {
  const Picture ring{".......", ".#####.", ".#...#.", ".#...#.", ".#...#.", ".#####.", "......."};
  auto source = Outline(PointsOf(ring));
  MCRegion region(7, 7);
  region.SetFromOutline(source.get());
  EXPECT_EQ(PictureOf(region), (Picture{".......", ".ooooo.", ".o###o.", ".o###o.", ".o###o.", ".ooooo.", "......."}));
  EXPECT_EQ(region.m_nArea, 25);
  EXPECT_EQ(region.m_pPoints, PointsOf(ring));
  EXPECT_TRUE(SameRect(region.m_rcBounds, 1, 1, 5, 5));
  EXPECT_EQ(region.m_wSnapshotCount, 1);
}

TEST(RegionOutline, ADiamondOfDiagonalsIsClosed) {
  const Picture diamond{".........", "....#....", "...#.#...", "..#...#..", ".#.....#.",
                        "..#...#..", "...#.#...", "....#....", "........."};
  auto source = Outline(PointsOf(diamond));
  MCRegion region(9, 9);
  region.SetFromOutline(source.get());
  EXPECT_EQ(PictureOf(region), (Picture{".........", "....o....", "...o#o...", "..o###o..", ".o#####o.", "..o###o..",
                                        "...o#o...", "....o....", "........."}));
  EXPECT_EQ(region.m_nArea, 25);
  EXPECT_EQ(region.m_pPoints, PointsOf(diamond));
}

TEST(RegionOutline, OpenShapesEncloseNothing) {
  // A line of ten pixels.
  std::vector<Point> line;
  for (int x = 1; x <= 10; ++x) line.push_back({x, 2});
  auto source = Outline(line);
  MCRegion region(12, 5);
  region.SetFromOutline(source.get());
  EXPECT_EQ(PictureOf(region),
            (Picture{"............", "............", ".oooooooooo.", "............", "............"}));
  EXPECT_EQ(region.m_nArea, 10);
  EXPECT_EQ(region.m_pPoints, line);

  // A ring with a gap of one pixel: the inside is reached through the gap.
  const Picture gap{".......", ".#####.", ".#...#.", ".#.....", ".#...#.", ".#####.", "......."};
  source = Outline(PointsOf(gap));
  MCRegion gapped(7, 7);
  gapped.SetFromOutline(source.get());
  EXPECT_EQ(PictureOf(gapped), (Picture{".......", ".ooooo.", ".o...o.", ".o.....", ".o...o.", ".ooooo.", "......."}));
  EXPECT_EQ(gapped.m_nArea, 15);

  // A U whose arms reach the top row: the image's edge does not close it.
  const Picture u{"#...#", "#...#", "#####", "....."};
  source = Outline(PointsOf(u));
  MCRegion open(5, 4);
  open.SetFromOutline(source.get());
  EXPECT_EQ(PictureOf(open), (Picture{"o...o", "o...o", "ooooo", "....."}));
  EXPECT_EQ(open.m_nArea, 9);
}

TEST(RegionOutline, AThickOutlineIsInsideWhereItTouchesNothingReachable) {
  const Picture thick{".......", ".#####.", ".#####.", ".##.##.", ".#####.", ".#####.", "......."};
  auto source = Outline(PointsOf(thick));
  MCRegion region(7, 7);
  region.SetFromOutline(source.get());
  EXPECT_EQ(PictureOf(region), (Picture{".......", ".ooooo.", ".o###o.", ".o###o.", ".o###o.", ".ooooo.", "......."}));
  EXPECT_EQ(region.m_nPoints, 16);
  EXPECT_EQ(region.m_nArea, 25);
}

TEST(RegionOutline, PointsOffTheImageAreClampedInTheSourceAndUsed) {
  auto source = Outline({{-100, -100}, {1000, -5}, {1000, 1000}, {-7, 1000}, {2, -50}, {2, 2}});
  MCRegion region(5, 4);
  region.SetFromOutline(source.get());
  EXPECT_EQ(source->m_pPoints, (std::vector<Point>{{0, 0}, {4, 0}, {4, 3}, {0, 3}, {2, 0}, {2, 2}}));
  EXPECT_EQ(PictureOf(region), (Picture{"o.o.o", ".....", "..o..", "o...o"}));
  EXPECT_EQ(region.m_nArea, 6);
  EXPECT_TRUE(SameRect(region.m_rcBounds, 0, 0, 4, 3));
}

TEST(RegionOutline, CarriesTheSourcesTagsAndKeepsASnapshotPerBuild) {
  MCRegion region(6, 6);
  Built(region, {"......", ".####.", ".#..#.", ".#..#.", ".####.", "......"});
  ASSERT_EQ(region.m_wSnapshotCount, 1);
  std::unique_ptr<MCRegion> copy = region.Clone();
  copy->m_nTag1 = 11;
  copy->m_nTag2 = 12;
  region.SetFromOutline(copy.get());
  EXPECT_EQ(PictureOf(region), (Picture{"......", ".oooo.", ".o##o.", ".o##o.", ".oooo.", "......"}));
  EXPECT_EQ(region.m_nTag1, 11);
  EXPECT_EQ(region.m_nTag2, 12);
  EXPECT_EQ(region.m_wSnapshotCount, 2);
  EXPECT_EQ(region.m_wSnapshotIndex, 1);
  EXPECT_EQ(PictureOf(*region.m_ppSnapshots[1]), PictureOf(region));
  // The source keeps its own mask, box and area.
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
  MCRegion region;
  std::vector<uint8_t> mask;
};

TEST(RegionWalk, ClearsUndecidedBytesUntilTheOutline) {
  Walks w(10, 3, {{6, 1}});
  w.at(2, 1) = kRegionOutside;
  w.region.CastRay(w.mask.data(), 0, 1, 9, 1);
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(w.at(x, 1), x < 6 ? kRegionOutside : x == 6 ? kRegionOutline : kRegionUndecided) << x;
  }
  EXPECT_EQ(w.at(3, 0), kRegionUndecided);

  w.region.CastRay(w.mask.data(), 8, 2, 8, 2);  // the start is the target
  EXPECT_EQ(w.at(8, 2), kRegionOutside);
  w.region.CastRay(w.mask.data(), 6, 1, 6, 1);
  EXPECT_EQ(w.at(6, 1), kRegionOutline);
  w.region.CastRay(w.mask.data(), 9, 0, 10, 0);  // a target off the mask
  EXPECT_EQ(w.at(9, 0), kRegionUndecided);
  EXPECT_FALSE(w.region.CastRaysFrom(nullptr, 1, 1));
}

TEST(RegionWalk, NeverSlipsBetweenOutlineBytesTouchingAtCorners) {
  Walks closed(3, 3, {{1, 0}, {0, 1}});
  closed.region.CastRay(closed.mask.data(), 0, 0, 2, 2);
  EXPECT_EQ(closed.at(0, 0), kRegionOutside);
  EXPECT_EQ(closed.at(1, 1), kRegionUndecided);

  // Flat walks check the byte behind them on their row.
  Walks flat(4, 2, {{2, 0}, {1, 1}});
  flat.region.CastRay(flat.mask.data(), 0, 0, 3, 1);
  EXPECT_EQ(flat.at(1, 0), kRegionOutside);
  EXPECT_EQ(flat.at(2, 1), kRegionUndecided);
  EXPECT_EQ(flat.at(3, 1), kRegionUndecided);

  // One byte of the pair open: the walk goes on diagonally.
  Walks open(3, 3, {{0, 1}});
  open.region.CastRay(open.mask.data(), 0, 0, 2, 2);
  EXPECT_EQ(open.at(1, 1), kRegionOutside);
  EXPECT_EQ(open.at(2, 2), kRegionOutside);
}

TEST(RegionWalk, TheSlopeIsSinglePrecision) {
  // From (0, 0) to (7, 8) the offset at row 4 is exactly 3.5; the slope in
  // single precision puts the walk in column 3.
  Walks steep(8, 9);
  steep.region.CastRay(steep.mask.data(), 0, 0, 7, 8);
  EXPECT_EQ(steep.at(3, 4), kRegionOutside);
  EXPECT_EQ(steep.at(4, 4), kRegionUndecided);

  // A flat walk from (0, 0) to (22, 13) is in row 6 at column 11.
  Walks flat(23, 14);
  flat.region.CastRay(flat.mask.data(), 0, 0, 22, 13);
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
