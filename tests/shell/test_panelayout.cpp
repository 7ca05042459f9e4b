#include "shell/panelayout.h"

#include <gtest/gtest.h>

namespace {

TEST(PaneLayout, CellsKeepTheirMarginsGapsAndSpansAndATooSmallAreaChangesNothing) {
  PaneLayout view;  // the view's grid: one row of two panes
  view.m_nCols = 2;
  view.RebuildPanes();
  view.m_rcArea = Rect{0, 20, 805, 620};
  view.ArrangePanes(false);
  EXPECT_EQ(view.m_vecPanes[0]->rcCell, (Rect{4, 24, 400, 616}));
  EXPECT_EQ(view.m_vecPanes[1]->rcCell, (Rect{404, 24, 801, 616}));
  EXPECT_EQ(view.m_vecPanes[1]->rcDest, view.m_vecPanes[1]->rcCell);  // no image size: the whole cell
  for (Rect area : {Rect{10, 20, 14, 620}, Rect{10, 20, 15, 620}, Rect{0, 20, 805, 22}, Rect{50, 20, 10, 620}}) {
    view.m_rcArea = area;
    view.ArrangePanes(false);
    EXPECT_EQ(view.m_vecPanes[1]->rcCell, (Rect{404, 24, 801, 616})) << area.left << "," << area.right;
  }

  PaneLayout grid;  // 3 x 3 cells of 100 x 100, the first pane covering 2 x 2
  grid.m_nRows = 3;
  grid.m_nCols = 3;
  grid.m_nSpan = 2;
  grid.RebuildPanes();
  ASSERT_EQ(grid.m_vecPanes.size(), 6u);
  grid.m_rcArea = Rect{0, 0, 304, 304};
  grid.ArrangePanes(false);
  const Rect cells[] = {{4, 4, 200, 200}, {204, 4, 300, 100}, {204, 104, 300, 200}, {4, 204, 100, 300}};
  for (size_t i = 0; i < std::size(cells); ++i) EXPECT_EQ(grid.m_vecPanes[i]->rcCell, cells[i]) << i;
}

TEST(PaneLayout, ImagesAreCentredWholeOrShowTheirCentralPartAtTheRoundedScale) {
  struct Case {
    Rect cell;
    uint32_t width;
    double zoom;
    Rect src, dest;
  };
  const Case cases[] = {
      {{30, 50, 1030, 750}, 3508, 0.25, {0, 0, 3508, 2480}, {91, 90, 968, 710}},   // smaller: centred whole
      {{30, 50, 830, 750}, 3508, 0.25, {154, 0, 3354, 2480}, {30, 90, 830, 710}},  // wider: its middle
      {{30, 50, 1030, 750}, 3508, 0.1, {0, 0, 3508, 2480}, {354, 276, 705, 524}},  // 350.8 x 248 rounds up
      {{30, 50, 830, 750}, 3508, 0.3, {420, 73, 3087, 2406}, {30, 50, 830, 750}},  // 2666.7 x 2333.3 shown
      {{4, 24, 400, 616}, 0, 0.25, {4, 24, 400, 616}, {4, 24, 400, 616}},          // no image size
  };
  for (const Case& c : cases) {
    Pane pane;
    pane.rcCell = c.cell;
    pane.nImageWidth = c.width;
    pane.nImageHeight = 2480;
    PaneLayout::PlaceImage(&pane, c.zoom, c.zoom);
    EXPECT_EQ(pane.rcSrc, c.src) << c.zoom << " " << c.cell.right;
    EXPECT_EQ(pane.rcDest, c.dest) << c.zoom << " " << c.cell.right;
  }

  // Arranging keeps the smaller zoom on both axes, or 1 when fitting anew;
  // the odd pixel of the centring goes to the right and bottom.
  PaneLayout layout;
  layout.m_nCols = 2;
  layout.RebuildPanes();
  for (auto& pane : layout.m_vecPanes) {
    pane->nImageWidth = 3508;
    pane->nImageHeight = 2480;
    pane->dZoomX = 0.3;
    pane->dZoomY = 0.25;
  }
  layout.m_rcArea = Rect{0, 0, 2008, 704};  // cells of 998 x 696
  layout.ArrangePanes(false);
  EXPECT_EQ(layout.m_vecPanes[1]->dZoomX, 0.25);
  EXPECT_EQ(layout.m_vecPanes[0]->rcDest, (Rect{64, 42, 941, 662}));
  layout.ArrangePanes(true);
  EXPECT_EQ(layout.m_vecPanes[0]->dZoomY, 1.0);
}

}  // namespace
