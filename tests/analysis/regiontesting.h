#pragma once

// Small helpers for the region tests: masks and outlines written as text
// pictures, and a region's mask read back as one.

#include "analysis/region.h"

#include <memory>
#include <string>
#include <vector>

namespace regiontesting {

using Picture = std::vector<std::string>;

// 255 for every '#', 0 for anything else.
inline std::vector<uint8_t> MaskOf(const Picture& picture) {
  std::vector<uint8_t> mask;
  for (const std::string& row : picture) {
    for (char c : row) mask.push_back(c == '#' ? kRegionInside : kRegionOutside);
  }
  return mask;
}

// The positions of every c, row by row.
inline std::vector<Point> PointsOf(const Picture& picture, char c = '#') {
  std::vector<Point> points;
  for (size_t y = 0; y < picture.size(); ++y) {
    for (size_t x = 0; x < picture[y].size(); ++x) {
      if (picture[y][x] == c) points.push_back(Point{static_cast<int32_t>(x), static_cast<int32_t>(y)});
    }
  }
  return points;
}

// The region's mask: '.' outside, 'o' outline, '#' inside, '?' anything
// else; empty without a mask.
inline Picture PictureOf(const MCRegion& region) {
  Picture picture;
  if (!region.HasMask()) return picture;
  for (int y = 0; y < region.m_nHeight; ++y) {
    std::string row;
    for (int x = 0; x < region.m_nWidth; ++x) {
      switch (region.m_pMask[static_cast<size_t>(y) * static_cast<size_t>(region.m_nWidth) + static_cast<size_t>(x)]) {
        case kRegionOutside:
          row += '.';
          break;
        case kRegionOutline:
          row += 'o';
          break;
        case kRegionInside:
          row += '#';
          break;
        default:
          row += '?';
      }
    }
    picture.push_back(row);
  }
  return picture;
}

// A source region whose outline is the given points.
inline std::unique_ptr<MCRegion> Outline(const std::vector<Point>& points) {
  auto source = std::make_unique<MCRegion>();
  source->m_pPoints = points;
  source->m_nPoints = static_cast<int32_t>(points.size());
  return source;
}

}  // namespace regiontesting
