#pragma once

// The enclosed-area filling done the slow, step-by-step way: straight walks
// cast from bytes known to be outside until they meet the outline, repeated
// until nothing more is cast. MCRegion::FillEnclosed reaches the same mask
// in linear time; this is the reference the tests hold it to, and the
// benchmark's measure of how slow the walks are. Test and benchmark code
// only.

#include "analysis/pixelrule.h"
#include "analysis/region.h"
#include "analysis/smartarea.h"
#include "framework/bitmapdata.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace literal {

using Clock = std::chrono::steady_clock;

// Decides the undecided bytes of the padded mask with walks. False when the
// deadline passed before the walks were done; the mask is then unfinished.
inline bool FillEnclosed(MCRegion& region, uint8_t* mask, Clock::time_point deadline = Clock::time_point::max()) {
  const int width = region.m_nWidth;
  const int height = region.m_nHeight;
  const int left = region.m_rcBounds.left;
  const int top = region.m_rcBounds.top;
  const int right = region.m_rcBounds.right;
  const int bottom = region.m_rcBounds.bottom;
  auto at = [&](int x, int y) -> uint8_t& { return mask[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; };
  auto besideZero = [&](int x, int y) {
    return at(x, y - 1) == 0 || at(x - 1, y) == 0 || at(x + 1, y) == 0 || at(x, y + 1) == 0;
  };

  // Seeds: the four corners of the working box.
  region.CastRaysFrom(mask, left, top);
  region.CastRaysFrom(mask, left, bottom);
  region.CastRaysFrom(mask, right, top);
  region.CastRaysFrom(mask, right, bottom);
  // Passes until one casts nothing; bytes cleared earlier in a pass count
  // for the bytes visited later in it.
  for (bool cast = true; cast;) {
    cast = false;
    for (int y = top + 1; y <= bottom - 1; ++y) {
      for (int x = left + 1; x <= right - 1; ++x) {
        if (at(x, y) != kRegionUndecided || !besideZero(x, y)) continue;
        region.CastRaysFrom(mask, x, y);
        cast = true;
        if (Clock::now() > deadline) return false;
      }
    }
  }
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      if (at(x, y) == kRegionUndecided || at(x, y) == kRegionOutline) at(x, y) = kRegionInside;
    }
  }
  for (int y = top + 1; y <= bottom - 1; ++y) {
    for (int x = left + 1; x <= right - 1; ++x) {
      if (at(x, y) == kRegionInside && besideZero(x, y)) at(x, y) = kRegionOutline;
    }
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (at(x, y) == kRegionUndecided) at(x, y) = kRegionOutside;
    }
  }
  for (int y = 1; y <= height - 2; ++y) {
    for (int x = 1; x <= width - 2; ++x) {
      if (at(x, y) == kRegionInside && besideZero(x, y)) at(x, y) = kRegionOutside;
    }
  }
  return true;
}

// The rebuild from an outline, step by step, with the walks above as its
// filling. False when the deadline passed.
inline bool SetFromOutline(MCRegion& region, MCRegion* source, Clock::time_point deadline = Clock::time_point::max()) {
  if (source == nullptr) return true;
  region.Reset();
  for (Point& p : source->m_pPoints) {
    if (p.x < 0) p.x = 0;
    if (p.x >= region.m_nWidth) p.x = region.m_nWidth - 1;
    if (p.y < 0) p.y = 0;
    if (p.y >= region.m_nHeight) p.y = region.m_nHeight - 1;
  }
  if (source->m_nPoints < 5) {
    region.PushSnapshot();
    return true;
  }
  region.m_nWidth += 4;
  region.m_nHeight += 4;
  const size_t paddedWidth = static_cast<size_t>(region.m_nWidth);
  region.m_pMask.assign(paddedWidth * static_cast<size_t>(region.m_nHeight), kRegionUndecided);
  for (const Point& p : source->m_pPoints) {
    region.m_pMask[static_cast<size_t>(p.y + 2) * paddedWidth + static_cast<size_t>(p.x + 2)] = kRegionOutline;
  }
  region.ComputeBounds(region.m_pMask.data());
  region.m_rcBounds.left -= 2;
  region.m_rcBounds.top -= 2;
  region.m_rcBounds.right += 2;
  region.m_rcBounds.bottom += 2;
  if (!FillEnclosed(region, region.m_pMask.data(), deadline)) return false;

  region.m_nWidth -= 4;
  region.m_nHeight -= 4;
  region.m_rcBounds.right -= 4;
  region.m_rcBounds.bottom -= 4;
  const size_t width = static_cast<size_t>(region.m_nWidth);
  std::vector<uint8_t> unpadded(width * static_cast<size_t>(region.m_nHeight));
  for (int y = 0; y < region.m_nHeight; ++y) {
    std::memcpy(unpadded.data() + static_cast<size_t>(y) * width,
                region.m_pMask.data() + static_cast<size_t>(y + 2) * paddedWidth + 2, width);
  }
  region.m_pMask = std::move(unpadded);

  const Rect box = region.m_rcBounds;
  for (int y = box.top; y <= box.bottom; ++y) {
    for (int x = box.left; x <= box.right; ++x) {
      if (region.m_pMask[static_cast<size_t>(y) * width + static_cast<size_t>(x)] != kRegionOutline) continue;
      region.m_pPoints.push_back(Point{x, y});
      ++region.m_nPoints;
    }
  }
  region.m_nTag1 = source->m_nTag1;
  region.m_nTag2 = source->m_nTag2;
  region.ComputeBounds(region.m_pMask.data());
  int area = 0;
  for (int y = region.m_rcBounds.top; y <= region.m_rcBounds.bottom; ++y) {
    for (int x = region.m_rcBounds.left; x <= region.m_rcBounds.right; ++x) {
      const uint8_t b = region.m_pMask[static_cast<size_t>(y) * width + static_cast<size_t>(x)];
      area += b == kRegionInside || b == kRegionOutline;
    }
  }
  region.m_nArea = area;
  if (region.m_nArea == 0) region.Reset();
  region.PushSnapshot();
  return true;
}

// The smart selected area with the step-by-step filling. False when the
// deadline passed; the drawing is then unchanged.
inline bool FillSmartArea(const BitmapData& drawing, const BodyRuns& body,
                          Clock::time_point deadline = Clock::time_point::max()) {
  if (!drawing.IsValid() || drawing.width != body.width() || drawing.height != body.height()) return true;
  const int width = drawing.width;
  MCRegion region(width, drawing.height);
  {
    std::vector<uint8_t> marks(static_cast<size_t>(width) * static_cast<size_t>(drawing.height));
    for (int y = 0; y < drawing.height; ++y) {
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = drawing.Pixel(x, y);
        const bool grey = p[kBlue] == p[kGreen] && p[kGreen] == p[kRed];
        marks[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = grey ? 0 : 255;
      }
    }
    region.SetFromMask(marks.data());
  }
  std::unique_ptr<MCRegion> outline = region.Clone();
  if (outline->m_nPoints != 0 && !SetFromOutline(region, outline.get(), deadline)) return false;
  if (!region.HasMask()) return true;
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
