#include "analysis/region.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

size_t MaskSize(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<size_t>(width) * static_cast<size_t>(height);
}

// Releases a vector's storage, not only its elements.
template <typename T>
void Release(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

// Position of the first byte equal to value in [from, to), or to. Outline
// bytes often lie close together: the next few bytes are looked at directly
// before the library's search takes over.
int FindByte(const uint8_t* row, int from, int to, uint8_t value) {
  for (const int near = std::min(to, from + 8); from < near; ++from) {
    if (row[from] == value) return from;
  }
  if (from >= to) return to;
  const void* hit = std::memchr(row + from, value, static_cast<size_t>(to - from));
  return hit != nullptr ? static_cast<int>(static_cast<const uint8_t*>(hit) - row) : to;
}

}  // namespace

MCRegion::MCRegion(int width, int height) {
  m_nWidth = width;
  m_nHeight = height;
}

MCRegion::~MCRegion() {
  Reset();
  for (std::unique_ptr<MCRegion>& snapshot : m_ppSnapshots) snapshot.reset();
  Release(m_ppSnapshots);
  m_wSnapshotCount = 0;
  m_wSnapshotIndex = kNoSnapshot;
}

bool MCRegion::Contains(int x, int y) const {
  if (!HasMask() || x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return false;
  const uint8_t b = m_pMask[static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)];
  return b == kRegionInside || b == kRegionOutline;
}

void MCRegion::ClearPoints() {
  m_pPoints.clear();
  m_nPoints = 0;
}

void MCRegion::AppendPoint(int x, int y) {
  m_pPoints.push_back(Point{x, y});
  m_nPoints = static_cast<int32_t>(m_pPoints.size());
}

void MCRegion::Reset() {
  ClearPoints();
  m_nPointsAux = 0;
  m_pMask.clear();
  m_dScale = 1.0;
  m_nTag1 = -1;
  m_nTag2 = -1;
  m_nArea = 0;
  m_pExtra.reset();
}

std::unique_ptr<MCRegion> MCRegion::Clone() const {
  auto copy = std::make_unique<MCRegion>(0, 0);
  copy->Reset();
  copy->m_nWidth = m_nWidth;
  copy->m_nHeight = m_nHeight;
  copy->m_dScale = m_dScale;
  copy->m_nArea = m_nArea;
  copy->m_pPoints = m_pPoints;
  copy->m_nPoints = m_nPoints;
  copy->m_rcBounds = m_rcBounds;
  copy->m_pMask = m_pMask;
  return copy;
}

void MCRegion::SetFromMask(const uint8_t* pMask) {
  const size_t size = MaskSize(m_nWidth, m_nHeight);
  std::vector<uint8_t> mask;
  if (pMask != nullptr) {
    mask.assign(pMask, pMask + size);
  } else {
    mask.assign(size, kRegionOutside);
  }
  SetFromMask(std::move(mask));
}

void MCRegion::SetFromMask(std::vector<uint8_t>&& mask) {
  Reset();
  if (mask.size() == MaskSize(m_nWidth, m_nHeight) && !mask.empty()) {
    m_pMask.swap(mask);
    const Rect whole{0, 0, m_nWidth - 1, m_nHeight - 1};
    TraceOutline(m_pMask.data(), this, &whole);
  }
  ComputeBounds(HasMask() ? m_pMask.data() : nullptr);
  m_nArea = CountArea(HasMask() ? m_pMask.data() : nullptr);
  if (m_nArea == 0) Reset();
  PushSnapshot();
}

void MCRegion::TraceOutline(uint8_t* pMask, MCRegion* pOut, const Rect* pRect) {
  if (pMask == nullptr || pOut == nullptr || pRect == nullptr) return;
  pOut->ClearPoints();
  const int left = pRect->left;
  const int top = pRect->top;
  const int right = pRect->right;
  const int bottom = pRect->bottom;
  if (right < left || bottom < top) return;
  const ptrdiff_t stride = m_nWidth;
  auto row = [&](int y) { return pMask + static_cast<ptrdiff_t>(y) * stride; };

  // Inner bytes: a marked byte beside an unmarked one. Bytes already turned
  // to outline are not 0, so marking in place changes nothing for the bytes
  // visited later.
  for (int y = top + 1; y <= bottom - 1; ++y) {
    uint8_t* line = row(y);
    const uint8_t* above = line - stride;
    const uint8_t* below = line + stride;
    int x = left + 1;
    while ((x = FindByte(line, x, right, kRegionInside)) < right) {
      for (; x < right && line[x] == kRegionInside; ++x) {
        if (above[x] == 0 || line[x - 1] == 0 || line[x + 1] == 0 || below[x] == 0) {
          line[x] = kRegionOutline;
          pOut->AppendPoint(x, y);
        }
      }
    }
  }
  // The box's edges are outline wherever they are marked.
  auto mark = [&](int x, int y) {
    uint8_t& b = row(y)[x];
    if (b == kRegionInside) {
      b = kRegionOutline;
      pOut->AppendPoint(x, y);
    }
  };
  for (int y = top; y <= bottom; ++y) {
    mark(left, y);
    mark(right, y);
  }
  for (int x = left; x <= right; ++x) {
    mark(x, top);
    mark(x, bottom);
  }
}

bool MCRegion::ComputeBounds(const uint8_t* pMask) {
  m_rcBounds = Rect{0, 0, m_nWidth - 1, m_nHeight - 1};
  if (pMask == nullptr || m_nWidth <= 0 || m_nHeight <= 0) return false;
  int left = m_nWidth;
  int right = -1;
  int top = -1;
  int bottom = -1;
  for (int y = 0; y < m_nHeight; ++y) {
    const uint8_t* line = pMask + static_cast<ptrdiff_t>(y) * m_nWidth;
    const int first = FindByte(line, 0, m_nWidth, kRegionOutline);
    if (first == m_nWidth) continue;
    if (top < 0) top = y;
    bottom = y;
    left = std::min(left, first);
    // Only columns right of the widest row so far can widen the box.
    for (int x = m_nWidth - 1; x > std::max(right, first - 1); --x) {
      if (line[x] == kRegionOutline) {
        right = x;
        break;
      }
    }
    right = std::max(right, first);
  }
  if (top < 0) return false;
  m_rcBounds = Rect{left, top, right, bottom};
  return true;
}

int32_t MCRegion::CountArea(const uint8_t* pMask) const {
  if (pMask == nullptr) return 0;
  const int left = std::max(0, m_rcBounds.left);
  const int top = std::max(0, m_rcBounds.top);
  const int right = std::min(m_nWidth - 1, m_rcBounds.right);
  const int bottom = std::min(m_nHeight - 1, m_rcBounds.bottom);
  int32_t area = 0;
  for (int y = top; y <= bottom; ++y) {
    const uint8_t* line = pMask + static_cast<ptrdiff_t>(y) * m_nWidth;
    int32_t n = 0;
    for (int x = left; x <= right; ++x) n += (line[x] == kRegionInside) | (line[x] == kRegionOutline);
    area += n;
  }
  return area;
}

void MCRegion::PushSnapshot() {
  if (!m_bKeepSnapshots || (m_wSnapshotCount == 0 && m_nArea == 0)) return;
  if (!m_ppSnapshots.empty()) {
    // Drop the states after the current one. Nothing moves the index back,
    // so in practice there are none.
    const size_t keep = m_wSnapshotIndex == kNoSnapshot ? 0 : static_cast<size_t>(m_wSnapshotIndex) + 1;
    if (keep < m_ppSnapshots.size())
      m_ppSnapshots.erase(m_ppSnapshots.begin() + static_cast<ptrdiff_t>(keep), m_ppSnapshots.end());
    if (m_ppSnapshots.empty()) Release(m_ppSnapshots);
  }
  m_ppSnapshots.push_back(Clone());
  m_wSnapshotCount = static_cast<int16_t>(m_ppSnapshots.size());
  m_wSnapshotIndex = static_cast<uint16_t>(m_ppSnapshots.size() - 1);
}

void MCRegion::SetFromOutline(MCRegion* pSource) {
  if (pSource == nullptr) return;
  Reset();
  for (Point& p : pSource->m_pPoints) {
    if (p.x < 0) p.x = 0;
    if (p.x >= m_nWidth) p.x = m_nWidth - 1;
    if (p.y < 0) p.y = 0;
    if (p.y >= m_nHeight) p.y = m_nHeight - 1;
  }
  // An image without pixels has nothing to enclose.
  if (pSource->m_nPoints < 5 || m_nWidth <= 0 || m_nHeight <= 0) {
    PushSnapshot();
    return;
  }

  // A frame of two undecided bytes around the image: the outline never
  // touches the padded mask's edge, so the fill can start from outside it.
  m_nWidth += 4;
  m_nHeight += 4;
  m_pMask.assign(MaskSize(m_nWidth, m_nHeight), kRegionUndecided);
  for (const Point& p : pSource->m_pPoints) {
    m_pMask[static_cast<size_t>(p.y + 2) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(p.x + 2)] =
        kRegionOutline;
  }
  ComputeBounds(m_pMask.data());
  m_rcBounds.left -= 2;
  m_rcBounds.top -= 2;
  m_rcBounds.right += 2;
  m_rcBounds.bottom += 2;
  FillEnclosed(m_pMask.data());

  // Back to the image's own size; the box becomes the outline's box.
  m_nWidth -= 4;
  m_nHeight -= 4;
  m_rcBounds.right -= 4;
  m_rcBounds.bottom -= 4;
  // Each image row moves towards the front of the block, never past a row
  // still to be moved, so the mask is unpadded in place.
  const size_t paddedWidth = static_cast<size_t>(m_nWidth) + 4;
  for (int y = 0; y < m_nHeight; ++y) {
    std::memmove(m_pMask.data() + static_cast<size_t>(y) * static_cast<size_t>(m_nWidth),
                 m_pMask.data() + (static_cast<size_t>(y) + 2) * paddedWidth + 2, static_cast<size_t>(m_nWidth));
  }
  m_pMask.resize(MaskSize(m_nWidth, m_nHeight));

  for (int y = m_rcBounds.top; y <= m_rcBounds.bottom; ++y) {
    const uint8_t* line = m_pMask.data() + static_cast<size_t>(y) * static_cast<size_t>(m_nWidth);
    for (int x = m_rcBounds.left; (x = FindByte(line, x, m_rcBounds.right + 1, kRegionOutline)) <= m_rcBounds.right;
         ++x) {
      AppendPoint(x, y);
    }
  }
  m_nTag1 = pSource->m_nTag1;
  m_nTag2 = pSource->m_nTag2;
  ComputeBounds(m_pMask.data());
  m_nArea = CountArea(m_pMask.data());
  if (m_nArea == 0) Reset();
  PushSnapshot();
}

void MCRegion::FillEnclosed(uint8_t* pMask) {
  if (pMask == nullptr || m_nWidth <= 0 || m_nHeight <= 0) return;
  const int width = m_nWidth;
  const int height = m_nHeight;
  const ptrdiff_t stride = width;
  auto row = [&](int y) { return pMask + static_cast<ptrdiff_t>(y) * stride; };
  auto clearUndecided = [](uint8_t* from, uint8_t* to) {
    for (uint8_t* p = from; p < to; ++p) *p = *p == kRegionUndecided ? kRegionOutside : *p;
  };

  const int left = std::max(0, m_rcBounds.left);
  const int top = std::max(0, m_rcBounds.top);
  const int right = std::min(width - 1, m_rcBounds.right);
  const int bottom = std::min(height - 1, m_rcBounds.bottom);
  // Everything outside the working box is outside the region.
  for (int y = 0; y < height; ++y) {
    if (y < top || y > bottom || left > right) {
      clearUndecided(row(y), row(y) + width);
    } else {
      clearUndecided(row(y), row(y) + left);
      clearUndecided(row(y) + right + 1, row(y) + width);
    }
  }
  if (left > right || top > bottom) return;

  // Split every row of the box into runs of non-outline bytes and join the
  // runs of neighbouring rows that share a column: the joined runs are the
  // 4-connected pieces of the box that the outline separates. A piece that
  // touches the box's edge is reachable from outside; the others are
  // enclosed.
  struct Run {
    int begin;  // first column
    int end;    // one past the last column
  };
  std::vector<Run> runs;
  std::vector<size_t> rowStart;
  rowStart.reserve(static_cast<size_t>(bottom - top) + 2);
  // Node 0 stands for the outside; run i is node i + 1.
  std::vector<uint32_t> parent(1, 0);
  auto find = [&parent](uint32_t n) {
    while (parent[n] != n) {
      parent[n] = parent[parent[n]];
      n = parent[n];
    }
    return n;
  };
  // The smaller root wins, so the outside stays the root of its piece.
  auto join = [&](uint32_t a, uint32_t b) {
    a = find(a);
    b = find(b);
    if (a < b) {
      parent[b] = a;
    } else if (b < a) {
      parent[a] = b;
    }
  };
  for (int y = top; y <= bottom; ++y) {
    const uint8_t* line = row(y);
    rowStart.push_back(runs.size());
    int x = left;
    while (x <= right) {
      const int stop = FindByte(line, x, right + 1, kRegionOutline);
      if (stop > x) {
        const uint32_t node = static_cast<uint32_t>(runs.size() + 1);
        runs.push_back(Run{x, stop});
        parent.push_back(node);
        if (y == top || y == bottom || x == left || stop == right + 1) join(0, node);
      }
      x = stop + 1;
    }
    if (y == top) continue;
    // Two-pointer walk over this row's runs and the previous row's.
    size_t a = rowStart[rowStart.size() - 2];
    const size_t aEnd = rowStart.back();
    for (size_t b = aEnd; b < runs.size() && a < aEnd;) {
      if (runs[a].begin < runs[b].end && runs[b].begin < runs[a].end) {
        join(static_cast<uint32_t>(a + 1), static_cast<uint32_t>(b + 1));
      }
      if (runs[a].end < runs[b].end) {
        ++a;
      } else {
        ++b;
      }
    }
  }
  rowStart.push_back(runs.size());

  const uint32_t outside = find(0);
  for (int y = top; y <= bottom; ++y) {
    uint8_t* line = row(y);
    const size_t r = static_cast<size_t>(y - top);
    for (size_t i = rowStart[r]; i < rowStart[r + 1]; ++i) {
      const uint8_t value = find(static_cast<uint32_t>(i + 1)) == outside ? kRegionOutside : kRegionInside;
      std::memset(line + runs[i].begin, value, static_cast<size_t>(runs[i].end - runs[i].begin));
    }
  }
  // An outline byte stays outline only where it touches a reachable byte;
  // one surrounded by the region's own bytes is inside. Bytes off the mask
  // count as reachable.
  for (int y = top; y <= bottom; ++y) {
    uint8_t* line = row(y);
    for (int x = left; (x = FindByte(line, x, right + 1, kRegionOutline)) <= right; ++x) {
      const bool touches = y == 0 || line[x - stride] == kRegionOutside || x == 0 || line[x - 1] == kRegionOutside ||
                           x == width - 1 || line[x + 1] == kRegionOutside || y == height - 1 ||
                           line[x + stride] == kRegionOutside;
      if (!touches) line[x] = kRegionInside;
    }
  }
}

bool MCRegion::CastRaysFrom(uint8_t* pMask, int x, int y) {
  if (pMask == nullptr) return false;
  const int left = m_rcBounds.left;
  const int top = m_rcBounds.top;
  const int right = m_rcBounds.right;
  const int bottom = m_rcBounds.bottom;
  for (int tx = left; tx <= right - 1; ++tx) CastRay(pMask, x, y, tx, top);
  for (int ty = top; ty <= bottom - 1; ++ty) CastRay(pMask, x, y, right - 1, ty);
  for (int tx = right - 1; tx >= left; --tx) CastRay(pMask, x, y, tx, bottom - 1);
  for (int ty = bottom - 1; ty >= top; --ty) CastRay(pMask, x, y, left, ty);
  return true;
}

void MCRegion::CastRay(uint8_t* pMask, int x0, int y0, int x1, int y1) {
  if (pMask == nullptr) return;
  auto onMask = [this](int x, int y) { return x >= 0 && y >= 0 && x < m_nWidth && y < m_nHeight; };
  if (!onMask(x0, y0) || !onMask(x1, y1)) return;
  const ptrdiff_t stride = m_nWidth;
  auto at = [&](int x, int y) -> uint8_t& { return pMask[static_cast<ptrdiff_t>(y) * stride + x]; };
  if (x0 == x1 && y0 == y1) {
    uint8_t& b = at(x0, y0);
    if (b == kRegionUndecided) b = kRegionOutside;
    return;
  }
  const int dx = std::abs(x1 - x0);
  const int dy = std::abs(y1 - y0);
  const int stepX = x1 > x0 ? 1 : -1;
  const int stepY = y1 > y0 ? 1 : -1;
  // Steep walks and diagonals go row by row, flat ones column by column.
  const bool byRows = dx <= dy;
  const int n = byRows ? dy : dx;
  // The slope in single precision, as the walk has always been traced.
  const float slope =
      dx == 0 ? std::numeric_limits<float>::infinity() : static_cast<float>(dy) / static_cast<float>(dx);
  const int minorLow = byRows ? std::min(x0, x1) : std::min(y0, y1);
  const int minorHigh = byRows ? std::max(x0, x1) : std::max(y0, y1);
  for (int i = 0; i <= n; ++i) {
    const float f = byRows ? static_cast<float>(i) / slope : static_cast<float>(i) * slope;
    const int k = static_cast<int>(static_cast<double>(f) + 0.5);
    const int x = byRows ? x0 + stepX * k : x0 + stepX * i;
    const int y = byRows ? y0 + stepY * i : y0 + stepY * k;
    const int minor = byRows ? x : y;
    if (minor < minorLow || minor > minorHigh) return;
    uint8_t& b = at(x, y);
    if (b == kRegionOutline) return;
    // Never slip diagonally between two outline bytes that touch at their
    // corners: the byte behind on the major axis must be open too.
    if (i > 0 && (byRows ? at(x, y - stepY) : at(x - stepX, y)) == kRegionOutline) return;
    if (b == kRegionUndecided) b = kRegionOutside;
  }
}
