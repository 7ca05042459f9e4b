#pragma once

#include <cstdint>

// Plain rectangle, point and size in signed 32-bit pixel coordinates.
// A Rect's right and bottom lie one past its last column and row, so
// Width() is right - left. (QRect's right() is inclusive: convert only
// where drawing happens.)

struct Point {
  int32_t x = 0;
  int32_t y = 0;

  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int32_t cx = 0;
  int32_t cy = 0;

  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  constexpr int32_t Width() const { return right - left; }
  constexpr int32_t Height() const { return bottom - top; }
  // Nothing to draw when either extent is zero or negative.
  constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
  // Half-open containment: right and bottom are outside.
  constexpr bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

  friend bool operator==(const Rect&, const Rect&) = default;
};
