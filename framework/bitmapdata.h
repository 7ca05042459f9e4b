#pragma once

#include <cstddef>
#include <cstdint>

// A locked 32-bit pixel buffer. Row y starts at scan0 + y * stride (the stride
// may be negative for bottom-up buffers); pixel x lies 4 * x bytes into the
// row, its bytes in the order blue, green, red and a fourth byte that pixel
// work leaves alone. Pixel algorithms take this, never an image class, so they
// can run and be measured without any GUI library.
struct BitmapData {
  uint8_t* scan0 = nullptr;
  ptrdiff_t stride = 0;
  int width = 0;
  int height = 0;

  bool IsValid() const { return scan0 != nullptr && width > 0 && height > 0; }
  uint8_t* Row(int y) const { return scan0 + static_cast<ptrdiff_t>(y) * stride; }
  uint8_t* Pixel(int x, int y) const { return Row(y) + static_cast<ptrdiff_t>(x) * 4; }
};

inline constexpr int kBlue = 0;
inline constexpr int kGreen = 1;
inline constexpr int kRed = 2;
