#pragma once

#include "framework/geometry.h"

#include <cstdint>
#include <memory>
#include <vector>

// One pane of the view: its rectangle, the part of its image that is shown
// and where that part is drawn, at the pane's zoom.
struct Pane {
  double dZoomX = 1.0;
  double dZoomY = 1.0;
  Rect rcCell;                // the pane's rectangle in client coordinates
  Rect rcSrc;                 // the shown part of the image, in image pixels
  Rect rcDest;                // where that part is drawn, in client coordinates
  uint32_t nImageWidth = 0;   // 0: no image size yet
  uint32_t nImageHeight = 0;  // 0: no image size yet
};

// Divides an area of the view into a grid of panes and places each pane's
// image in its cell: the whole scaled image centred in the cell, or, when it
// does not fit, the central part that fills the cell. The view uses one row
// of two panes, the original on the left and the processed drawing on the
// right, both at one zoom.
class PaneLayout {
 public:
  PaneLayout() = default;
  ~PaneLayout() { ResetLayout(); }
  PaneLayout(const PaneLayout&) = delete;
  PaneLayout& operator=(const PaneLayout&) = delete;

  // Removes every pane and returns the grid to one cell over an empty area.
  void ResetLayout();
  // Makes one pane per grid cell (the first pane covers m_nSpan cells per
  // side) and arranges them, each at zoom 1.
  void RebuildPanes();
  // Gives every pane its cell from the area and places its image. bFit
  // resets every zoom to 1; otherwise each pane keeps its zoom, the smaller
  // of its two zooms on both axes.
  void ArrangePanes(bool bFit);
  // Sets the pane's source and destination rectangles from its cell, its
  // image size and the zoom.
  static void PlaceImage(Pane* pPane, double dZoomX, double dZoomY);

  Rect m_rcArea;
  uint32_t m_nRows = 1;
  uint32_t m_nCols = 1;
  uint32_t m_nSpan = 1;
  int32_t m_nMode = 0;  // 0: the grid arrangement, the only one there is
  std::vector<std::unique_ptr<Pane>> m_vecPanes;

 private:
  bool CoveredByFirstPane(uint32_t row, uint32_t col) const;
};
