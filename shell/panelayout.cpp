#include "shell/panelayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Truncates toward zero into the 32-bit range; a zoom of 0 or a huge
// quotient must not become undefined behaviour.
int32_t TruncToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// Places the image on one axis. cellStart/cellEnd: the cell's extent;
// n: the image extent; z: the zoom. Writes the source and destination.
void PlaceAxis(int32_t cellStart, int32_t cellEnd, uint32_t n, double z, int32_t& srcStart, int32_t& srcEnd,
               int32_t& destStart, int32_t& destEnd) {
  const int32_t c = cellEnd - cellStart;
  const int32_t s = TruncToInt(static_cast<double>(n) * z + 0.5);
  if (s >= c) {
    // The scaled image fills the cell: show its central part.
    destStart = cellStart;
    destEnd = cellEnd;
    const int32_t v = TruncToInt(static_cast<double>(c) / z + 0.5);
    const int64_t start = static_cast<int64_t>(n) > v ? (static_cast<int64_t>(n) - v) / 2 : 0;
    srcStart = static_cast<int32_t>(start);
    srcEnd = static_cast<int32_t>(start + v);
  } else {
    // The whole image, centred in the cell.
    srcStart = 0;
    srcEnd = static_cast<int32_t>(n);
    destStart = cellStart + (c - s) / 2;
    destEnd = destStart + s;
  }
}

}  // namespace

void PaneLayout::ResetLayout() {
  m_vecPanes.clear();
  m_rcArea = Rect{};
  m_nRows = 1;
  m_nCols = 1;
  m_nSpan = 1;
}

bool PaneLayout::CoveredByFirstPane(uint32_t row, uint32_t col) const {
  return !(row == 0 && col == 0) && row < m_nSpan && col < m_nSpan;
}

void PaneLayout::RebuildPanes() {
  m_vecPanes.clear();
  for (uint32_t row = 0; row < m_nRows; ++row) {
    for (uint32_t col = 0; col < m_nCols; ++col) {
      if (!CoveredByFirstPane(row, col)) m_vecPanes.push_back(std::make_unique<Pane>());
    }
  }
  ArrangePanes(true);
}

void PaneLayout::ArrangePanes(bool bFit) {
  if (m_nRows == 0 || m_nCols == 0) return;
  // An area narrower or lower than the margins (a minimised window) has no
  // cells: the panes keep what they had until a real size comes.
  const int64_t width = static_cast<int64_t>(m_rcArea.right) - m_rcArea.left - 4;
  const int64_t height = static_cast<int64_t>(m_rcArea.bottom) - m_rcArea.top - 4;
  if (width <= 0 || height <= 0) return;
  const uint32_t cellW = static_cast<uint32_t>(width) / m_nCols;
  const uint32_t cellH = static_cast<uint32_t>(height) / m_nRows;
  if (cellW == 0 || cellH == 0) return;

  size_t next = 0;
  for (uint32_t row = 0; row < m_nRows; ++row) {
    for (uint32_t col = 0; col < m_nCols; ++col) {
      if (CoveredByFirstPane(row, col)) continue;
      if (next >= m_vecPanes.size()) return;
      Pane* pane = m_vecPanes[next++].get();
      const bool first = row == 0 && col == 0;
      const int64_t x0 = m_rcArea.left + 2 + static_cast<int64_t>(col) * cellW;
      const int64_t y0 = m_rcArea.top + 2 + static_cast<int64_t>(row) * cellH;
      int64_t x1 = x0 + static_cast<int64_t>(first ? m_nSpan : 1) * cellW;
      int64_t y1 = y0 + static_cast<int64_t>(first ? m_nSpan : 1) * cellH;
      if (col == m_nCols - 1) x1 = m_rcArea.right - 2;
      if (row == m_nRows - 1) y1 = m_rcArea.bottom - 2;
      pane->rcCell = Rect{static_cast<int32_t>(x0 + 2), static_cast<int32_t>(y0 + 2), static_cast<int32_t>(x1 - 2),
                          static_cast<int32_t>(y1 - 2)};
      double z = 1.0;
      if (!bFit) z = std::min(pane->dZoomX, pane->dZoomY);
      pane->dZoomX = z;
      pane->dZoomY = z;
      PlaceImage(pane, z, z);
    }
  }
}

void PaneLayout::PlaceImage(Pane* pPane, double dZoomX, double dZoomY) {
  const Rect& cell = pPane->rcCell;
  if (pPane->nImageWidth == 0 || pPane->nImageHeight == 0) {
    pPane->rcSrc = cell;
    pPane->rcDest = cell;
    return;
  }
  Rect src;
  Rect dest;
  PlaceAxis(cell.left, cell.right, pPane->nImageWidth, dZoomX, src.left, src.right, dest.left, dest.right);
  PlaceAxis(cell.top, cell.bottom, pPane->nImageHeight, dZoomY, src.top, src.bottom, dest.top, dest.bottom);
  pPane->rcSrc = src;
  pPane->rcDest = dest;
}
