#include "shell/panelayout.h"

#include <gtest/gtest.h>

namespace {

// The view's grid: one row of two panes.
void ViewGrid(PaneLayout& layout) {
  layout.m_nRows = 1;
  layout.m_nCols = 2;
  layout.m_nSpan = 1;
  layout.m_nMode = 0;
  layout.RebuildPanes();
}

TEST(PaneLayout, TwoPanesWithMarginsAndGap) {
  PaneLayout layout;
  ViewGrid(layout);
  ASSERT_EQ(layout.m_vecPanes.size(), 2u);
  layout.m_rcArea = Rect{0, 20, 805, 620};
  layout.ArrangePanes(false);
  EXPECT_EQ(layout.m_vecPanes[0]->rcCell, (Rect{4, 24, 400, 616}));
  EXPECT_EQ(layout.m_vecPanes[1]->rcCell, (Rect{404, 24, 801, 616}));
  // Without an image size the whole cell is source and destination.
  EXPECT_EQ(layout.m_vecPanes[1]->rcSrc, layout.m_vecPanes[1]->rcCell);
  EXPECT_EQ(layout.m_vecPanes[1]->rcDest, layout.m_vecPanes[1]->rcCell);
}

TEST(PaneLayout, ATooSmallAreaChangesNothing) {
  PaneLayout layout;
  ViewGrid(layout);
  layout.m_rcArea = Rect{0, 20, 805, 620};
  layout.ArrangePanes(false);
  const Rect before = layout.m_vecPanes[0]->rcCell;
  for (Rect area : {Rect{10, 20, 14, 620}, Rect{10, 20, 15, 620}, Rect{10, 20, 12, 620}, Rect{0, 20, 805, 22},
                    Rect{0, 0, 0, 0}, Rect{50, 20, 10, 620}}) {
    layout.m_rcArea = area;
    layout.ArrangePanes(false);
    EXPECT_EQ(layout.m_vecPanes[0]->rcCell, before);
  }
}

Pane ChartPane(Rect cell) {
  Pane pane;
  pane.rcCell = cell;
  pane.nImageWidth = 3508;
  pane.nImageHeight = 2480;
  return pane;
}

TEST(PaneLayout, ASmallerImageIsCentredWhole) {
  Pane pane = ChartPane(Rect{30, 50, 1030, 750});  // 1000 x 700
  PaneLayout::PlaceImage(&pane, 0.25, 0.25);
  EXPECT_EQ(pane.rcSrc, (Rect{0, 0, 3508, 2480}));
  EXPECT_EQ(pane.rcDest, (Rect{30 + 61, 50 + 40, 30 + 938, 50 + 660}));
}

TEST(PaneLayout, ALargerImageShowsItsCentralPart) {
  Pane pane = ChartPane(Rect{30, 50, 830, 750});  // 800 x 700
  PaneLayout::PlaceImage(&pane, 0.25, 0.25);
  EXPECT_EQ(pane.rcSrc, (Rect{154, 0, 3354, 2480}));
  EXPECT_EQ(pane.rcDest, (Rect{30, 50 + 40, 830, 50 + 660}));
}

TEST(PaneLayout, APaneWithoutImageSizeShowsItsCell) {
  Pane pane = ChartPane(Rect{4, 24, 400, 616});
  pane.nImageWidth = 0;
  PaneLayout::PlaceImage(&pane, 0.25, 0.25);
  EXPECT_EQ(pane.rcSrc, pane.rcCell);
  EXPECT_EQ(pane.rcDest, pane.rcCell);
}

TEST(PaneLayout, ArrangingKeepsTheSmallerZoomOnBothAxes) {
  PaneLayout layout;
  ViewGrid(layout);
  for (auto& pane : layout.m_vecPanes) {
    pane->nImageWidth = 3508;
    pane->nImageHeight = 2480;
    pane->dZoomX = 0.3;
    pane->dZoomY = 0.25;
  }
  layout.m_rcArea = Rect{0, 0, 2008, 704};  // cells of 998 x 696
  layout.ArrangePanes(false);
  for (auto& pane : layout.m_vecPanes) {
    EXPECT_EQ(pane->dZoomX, 0.25);
    EXPECT_EQ(pane->dZoomY, 0.25);
  }
  EXPECT_EQ(layout.m_vecPanes[0]->rcCell, (Rect{4, 4, 1002, 700}));
  EXPECT_EQ(layout.m_vecPanes[0]->rcSrc, (Rect{0, 0, 3508, 2480}));
  // The odd pixel of the centring goes to the right and bottom.
  EXPECT_EQ(layout.m_vecPanes[0]->rcDest, (Rect{4 + 60, 4 + 38, 4 + 60 + 877, 4 + 38 + 620}));

  layout.ArrangePanes(true);
  EXPECT_EQ(layout.m_vecPanes[0]->dZoomX, 1.0);
  EXPECT_EQ(layout.m_vecPanes[0]->dZoomY, 1.0);
}

TEST(PaneLayout, AFirstPaneSpanningCellsTakesTheirPlace) {
  PaneLayout layout;
  layout.m_nRows = 3;
  layout.m_nCols = 3;
  layout.m_nSpan = 2;
  layout.RebuildPanes();
  ASSERT_EQ(layout.m_vecPanes.size(), 6u);  // 9 cells, 3 covered by the first pane
  layout.m_rcArea = Rect{0, 0, 304, 304};   // cells of 100 x 100
  layout.ArrangePanes(false);
  EXPECT_EQ(layout.m_vecPanes[0]->rcCell, (Rect{4, 4, 200, 200}));
  EXPECT_EQ(layout.m_vecPanes[1]->rcCell, (Rect{204, 4, 300, 100}));    // row 0, column 2
  EXPECT_EQ(layout.m_vecPanes[2]->rcCell, (Rect{204, 104, 300, 200}));  // row 1, column 2
  EXPECT_EQ(layout.m_vecPanes[3]->rcCell, (Rect{4, 204, 100, 300}));    // row 2, column 0

  layout.ResetLayout();
  EXPECT_TRUE(layout.m_vecPanes.empty());
  EXPECT_EQ(layout.m_nCols, 1u);
  EXPECT_EQ(layout.m_rcArea, Rect{});
}

}  // namespace
