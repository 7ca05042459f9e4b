#pragma once

#include "analysis/pixelrule.h"
#include "framework/bitmapdata.h"
#include "framework/geometry.h"

#include <cstdint>

// The overlay of two drawings on a blank chart. A drawing marks a pixel
// when its pixel differs from the chart's in any of its four bytes, grey
// marks included. Every body pixel that either drawing marks is coloured:
// green where both mark it alike, blue where only the second marks it, red
// where the first marks it and the second leaves it blank or marks it
// otherwise. The colours are written as whole 32-bit pixels whose fourth
// byte is 0; pixels outside the body are never touched.
inline constexpr uint32_t kOverlayCommon = 0x0014DC64u;      // blue 100, green 220, red 20
inline constexpr uint32_t kOverlaySecondOnly = 0x0050B4FFu;  // blue 255, green 180, red 80
inline constexpr uint32_t kOverlayFirstOnly = 0x00FF1E00u;   // blue 0, green 30, red 255

struct OverlayCounts {
  uint32_t firstOnly = 0;   // red
  uint32_t secondOnly = 0;  // blue
  uint32_t common = 0;      // green

  friend bool operator==(const OverlayCounts&, const OverlayCounts&) = default;
};

// Colours the overlay, which holds the blank chart, from the two drawings
// and counts the colours. Only the overlay is written. When the three
// buffers and the body differ in size nothing is written and the counts
// are 0.
OverlayCounts OverlayDrawings(const BitmapData& first, const BitmapData& second, const BitmapData& overlay,
                              const BodyRuns& body);

// part / whole in per cent, the quotient taken in single precision (as the
// statistics lines show it); whole must not be 0.
double SharePercent(uint32_t part, uint32_t whole);

// Where a picture of w x h pixels goes in a box of cw x ch: at one scale
// that leaves a pixel free at either side of the tighter extent, centred.
// Empty when the picture or the box has no room.
Rect FitPicture(int cw, int ch, int w, int h);
