#pragma once

#include "framework/bitmapdata.h"

#include <cstdint>
#include <vector>

// A full-size 32-bit buffer for benchmarks.
struct BenchBuffer {
  BenchBuffer(int w, int h) : bytes(static_cast<size_t>(w) * h * 4) {
    data = BitmapData{bytes.data(), static_cast<ptrdiff_t>(w) * 4, w, h};
  }
  std::vector<uint8_t> bytes;
  BitmapData data;
};

inline constexpr int kChartWidth = 3508;
inline constexpr int kChartHeight = 2480;

// The program's body mask, or when it is not built in, an ellipse of about
// the same share of body pixels.
BenchBuffer BodyMask();
// A drawing with a few hundred thousand coloured pixels over the chart.
BenchBuffer MarkedDrawing();
