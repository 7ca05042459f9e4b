#pragma once

#include "framework/geometry.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Byte values of a region's mask. A pixel lies in the region when its byte
// is kRegionOutline or kRegionInside. Undecided bytes exist only while an
// outline is being filled.
inline constexpr uint8_t kRegionOutside = 0;
inline constexpr uint8_t kRegionUndecided = 64;
inline constexpr uint8_t kRegionOutline = 128;
inline constexpr uint8_t kRegionInside = 255;

// The index a region's snapshot list holds when it has no snapshot.
inline constexpr uint16_t kNoSnapshot = 0xFFFF;

class MCRegion;

// Something a region owns besides its mask and points. Nothing in the
// program attaches one; a reset deletes it.
struct RegionExtra {
  virtual ~RegionExtra() = default;
};

// The data of a region. The fields are public: the region's user reads them
// directly.
struct _MREGION {
  // Number of outline points; always m_pPoints.size().
  int32_t m_nPoints = 0;
  // Outline points in the order they were found.
  std::vector<Point> m_pPoints;
  // Cleared with the points; nothing else uses it.
  int32_t m_nPointsAux = 0;
  // Mask size; a mask row is m_nWidth bytes long.
  int32_t m_nWidth = 0;
  int32_t m_nHeight = 0;
  // Number of mask bytes in m_rcBounds that lie in the region.
  int32_t m_nArea = 1;
  // Bounding box of the outline bytes, inclusive on all four sides: right is
  // the last column and bottom the last row (not one past, unlike Rect's
  // own arithmetic, which is therefore not used on it).
  Rect m_rcBounds;
  // The mask, row by row from the top: the byte of (x, y) is at
  // y * m_nWidth + x. Empty when the region has no mask.
  std::vector<uint8_t> m_pMask;
  // Kept and copied, never read.
  double m_dScale = 1.0;
  // Earlier states of the region, oldest first; m_wSnapshotCount is always
  // m_ppSnapshots.size() and m_wSnapshotIndex the newest, or kNoSnapshot.
  std::vector<std::unique_ptr<MCRegion>> m_ppSnapshots;
  int16_t m_wSnapshotCount = 0;
  uint16_t m_wSnapshotIndex = kNoSnapshot;
  // Labels carried from an outline's source to the region built from it.
  int32_t m_nTag1 = -1;
  int32_t m_nTag2 = -1;
  std::unique_ptr<RegionExtra> m_pExtra;
};

// One region of an image: a byte mask of the image's size (0 outside, 128
// outline, 255 inside), its outline points, the box of the outline, its area
// and a list of snapshots of earlier states.
//
// A region is new after construction (no mask, no points, area 1), empty
// after a reset or a build that found nothing (no mask, no points, area 0),
// or built (a mask, its outline points, area at least 1). Every build starts
// with a reset and ends with a snapshot; the snapshot list lasts until the
// region is destroyed.
//
// Plain computation on memory: no GUI library, no shared state, so a region
// can be built on any thread that owns it.
class MCRegion : public _MREGION {
 public:
  explicit MCRegion(int width = 0, int height = 0);
  virtual ~MCRegion();
  MCRegion(const MCRegion&) = delete;
  MCRegion& operator=(const MCRegion&) = delete;

  bool HasMask() const { return !m_pMask.empty(); }
  // True when (x, y) lies on the mask and its byte is outline or inside.
  bool Contains(int x, int y) const;

  // Makes the region empty: no points, no mask, area 0, tags -1, no extra.
  // Keeps the size, the box and the snapshots, and the memory of the mask
  // and points for the next ones.
  void Reset();

  // A deep copy of the mask, points, size, box, area and scale; the copy
  // has no snapshots, tags -1 and no extra.
  std::unique_ptr<MCRegion> Clone() const;

  // Builds the region from m_nWidth x m_nHeight bytes, each 0 or 255: the
  // marked bytes that touch an unmarked one or the image edge become outline
  // and are listed as points. A mask without a 255 byte leaves the region
  // empty. A null mask reads as all 0.
  void SetFromMask(const uint8_t* pMask);
  // The same with a mask the region takes over as its own, saving a copy; a
  // mask of the wrong size reads as all 0. The caller's vector is left with
  // the memory of the region's earlier mask, there to be filled again.
  void SetFromMask(std::vector<uint8_t>&& mask);

  // Turns into outline (128) every 255 byte of the inclusive box pRect that
  // has a 0 neighbour (above, left, right, below) or lies on the box's edge,
  // and lists them in pOut's points, replacing what pOut held: first the
  // inner bytes row by row, then the edge columns row by row (left before
  // right), then the rest of the edge rows column by column (top before
  // bottom). Rows are m_nWidth bytes; the box must lie within the mask.
  void TraceOutline(uint8_t* pMask, MCRegion* pOut, const Rect* pRect);

  // Sets m_rcBounds to the inclusive box of the outline (128) bytes of an
  // m_nWidth x m_nHeight mask. Without a mask or an outline byte the box is
  // the whole mask and the result false.
  bool ComputeBounds(const uint8_t* pMask);

  // The number of bytes in m_rcBounds (both ends included) that lie in the
  // region.
  int32_t CountArea(const uint8_t* pMask) const;

  // Appends a copy of the region to the snapshot list, except while the
  // region is empty and the list is too, or snapshots are off.
  void PushSnapshot();
  // Off, a region keeps no snapshots: one reused for drawing after drawing
  // whose past states nobody reads then makes no copy of its mask each time.
  void KeepSnapshots(bool on) { m_bKeepSnapshots = on; }

  // Rebuilds the region from pSource's outline points: the points are
  // clamped onto this region's image (in pSource's own list), and every
  // pixel that no 4-connected path from outside the image reaches without
  // crossing an outline point becomes part of the region: 128 where it
  // touches a reachable pixel, 255 elsewhere, 0 for the reachable pixels.
  // Fewer than five points, or nothing left, leave the region empty.
  // Copies pSource's tags; takes a snapshot. A null source does nothing.
  void SetFromOutline(MCRegion* pSource);

  // Decides every undecided byte of a padded mask whose m_rcBounds lies
  // within it with at least two non-outline bytes between the outline and
  // each side: bytes reachable from the box's edge through non-outline
  // bytes, and all bytes outside the box, become 0; the rest become 255, or
  // 128 where they touch a 0 byte. Inside the box the mask must hold only
  // undecided and outline bytes. One pass over the box splits its rows into
  // runs between outline bytes and joins the runs that touch, so the time
  // grows with the size of the box, never with the length of walks.
  void FillEnclosed(uint8_t* pMask);

  // Casts one walk from (x, y) to every byte of the ring just inside the
  // working box m_rcBounds (columns left to right - 1, rows top to
  // bottom - 1), clockwise from (left, top). False when pMask is null.
  bool CastRaysFrom(uint8_t* pMask, int x, int y);

  // One straight walk from (x0, y0) to (x1, y1) that clears undecided bytes
  // until it meets an outline byte. The walk never slips between two
  // outline bytes that touch only at their corners. A start or target off
  // the mask does nothing.
  void CastRay(uint8_t* pMask, int x0, int y0, int x1, int y1);

 private:
  void AppendPoint(int x, int y);
  void ClearPoints();

  bool m_bKeepSnapshots = true;
};
