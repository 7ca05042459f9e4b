#pragma once

// The enclosed-area filling done the slow, step-by-step way: straight walks
// cast from bytes known to be outside until they meet the outline, repeated
// until nothing more is cast. MCRegion::FillEnclosed reaches the same mask
// in linear time; this is the reference the tests hold it to, and the
// benchmark's measure of how slow the walks are.

#include "analysis/pixelrule.h"
#include "analysis/region.h"
#include "analysis/smartarea.h"
#include "framework/bitmapdata.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace literal {

using Clock = std::chrono::steady_clock;

// Decides the undecided bytes of the padded mask with walks. False when the
// deadline passed before the walks were done; the mask is then unfinished.
inline bool FillEnclosed(MCRegion& region, uint8_t* mask, Clock::time_point deadline = Clock::time_point::max()) {
  const int width = region.m_nWidth;
  const int height = region.m_nHeight;
  const Rect box = region.m_rcBounds;
  auto at = [&](int x, int y) -> uint8_t& { return mask[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; };
  auto besideZero = [&](int x, int y) {
    return at(x, y - 1) == 0 || at(x - 1, y) == 0 || at(x + 1, y) == 0 || at(x, y + 1) == 0;
  };
  // Visits x0..x1, y0..y1 row by row.
  auto each = [](int x0, int y0, int x1, int y1, auto visit) {
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) visit(x, y);
    }
  };

  // Seeds: the four corners of the working box.
  for (const int y : {box.top, box.bottom}) {
    for (const int x : {box.left, box.right}) region.CastRaysFrom(mask, x, y);
  }
  // Passes until one casts nothing; bytes cleared earlier in a pass count
  // for the bytes visited later in it.
  for (bool cast = true, late = false; cast;) {
    cast = false;
    each(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1, [&](int x, int y) {
      if (late || at(x, y) != kRegionUndecided || !besideZero(x, y)) return;
      region.CastRaysFrom(mask, x, y);
      cast = true;
      late = Clock::now() > deadline;
    });
    if (late) return false;
  }
  each(box.left, box.top, box.right, box.bottom, [&](int x, int y) {
    if (at(x, y) == kRegionUndecided || at(x, y) == kRegionOutline) at(x, y) = kRegionInside;
  });
  each(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1, [&](int x, int y) {
    if (at(x, y) == kRegionInside && besideZero(x, y)) at(x, y) = kRegionOutline;
  });
  each(0, 0, width - 1, height - 1, [&](int x, int y) {
    if (at(x, y) == kRegionUndecided) at(x, y) = kRegionOutside;
  });
  each(1, 1, width - 2, height - 2, [&](int x, int y) {
    if (at(x, y) == kRegionInside && besideZero(x, y)) at(x, y) = kRegionOutside;
  });
  return true;
}

// The rebuild from an outline, step by step, with the walks above as its
// filling. False when the deadline passed.
inline bool SetFromOutline(MCRegion& region, MCRegion* source, Clock::time_point deadline = Clock::time_point::max()) {
  if (source == nullptr) return true;
  region.Reset();
  for (Point& p : source->m_pPoints) {
    p.x = std::clamp(p.x, 0, region.m_nWidth - 1);
    p.y = std::clamp(p.y, 0, region.m_nHeight - 1);
  }
  if (source->m_nPoints < 5) {
    region.PushSnapshot();
    return true;
  }
  // A frame of two undecided bytes around the image.
  const size_t padded = static_cast<size_t>(region.m_nWidth) + 4;
  region.m_nWidth += 4;
  region.m_nHeight += 4;
  region.m_pMask.assign(padded * static_cast<size_t>(region.m_nHeight), kRegionUndecided);
  for (const Point& p : source->m_pPoints) {
    region.m_pMask[static_cast<size_t>(p.y + 2) * padded + static_cast<size_t>(p.x + 2)] = kRegionOutline;
  }
  region.ComputeBounds(region.m_pMask.data());
  const Rect box = region.m_rcBounds;
  region.m_rcBounds = Rect{box.left - 2, box.top - 2, box.right + 2, box.bottom + 2};
  if (!FillEnclosed(region, region.m_pMask.data(), deadline)) return false;

  // The image without its frame; every outline byte a point, row by row.
  region.m_nWidth -= 4;
  region.m_nHeight -= 4;
  std::vector<uint8_t> image;
  for (int y = 0; y < region.m_nHeight; ++y) {
    for (int x = 0; x < region.m_nWidth; ++x) {
      image.push_back(region.m_pMask[static_cast<size_t>(y + 2) * padded + static_cast<size_t>(x + 2)]);
      if (image.back() == kRegionOutline) region.m_pPoints.push_back(Point{x, y});
    }
  }
  region.m_pMask = std::move(image);
  region.m_nPoints = static_cast<int32_t>(region.m_pPoints.size());
  region.m_nTag1 = source->m_nTag1;
  region.m_nTag2 = source->m_nTag2;
  region.ComputeBounds(region.m_pMask.data());
  region.m_nArea =
      static_cast<int32_t>(std::count(region.m_pMask.begin(), region.m_pMask.end(), kRegionInside) + region.m_nPoints);
  if (region.m_nArea == 0) region.Reset();
  region.PushSnapshot();
  return true;
}

// The smart selected area with the step-by-step filling. False when the
// deadline passed; the drawing is then unchanged.
inline bool FillSmartArea(const BitmapData& drawing, const BodyRuns& body,
                          Clock::time_point deadline = Clock::time_point::max()) {
  if (!drawing.IsValid() || drawing.width != body.width() || drawing.height != body.height()) return true;
  MCRegion region(drawing.width, drawing.height);
  std::vector<uint8_t> marks;
  for (int y = 0; y < drawing.height; ++y) {
    for (int x = 0; x < drawing.width; ++x) {
      const uint8_t* p = drawing.Pixel(x, y);
      marks.push_back(p[kBlue] == p[kGreen] && p[kGreen] == p[kRed] ? 0 : 255);
    }
  }
  region.SetFromMask(marks.data());
  std::unique_ptr<MCRegion> outline = region.Clone();
  if (outline->m_nPoints != 0 && !SetFromOutline(region, outline.get(), deadline)) return false;
  for (int y = 0; y < drawing.height; ++y) {
    for (const BodyRuns::Run* run = body.RowBegin(y); run != body.RowEnd(y); ++run) {
      for (int x = run->begin; x < run->end; ++x) {
        if (!region.Contains(x, y)) continue;
        uint8_t* p = drawing.Pixel(x, y);
        p[kBlue] = kSmartAreaBlue;
        p[kGreen] = kSmartAreaGreen;
        p[kRed] = kSmartAreaRed;
      }
    }
  }
  return true;
}

}  // namespace literal
