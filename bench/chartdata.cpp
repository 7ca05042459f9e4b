#include "bench/chartdata.h"

#include "framework/bitmap.h"
#include "resources/resource.h"

#include <cstring>

BenchBuffer BodyMask() {
  BenchBuffer mask(kChartWidth, kChartHeight);
  auto resource = Bitmap::FromResource(res::IDB_BODY_MASK);
  Bitmap::Lock lock = resource->LockBits();
  if (lock.ok() && lock.data().width == kChartWidth && lock.data().height == kChartHeight) {
    for (int y = 0; y < kChartHeight; ++y) std::memcpy(mask.data.Row(y), lock.data().Row(y), kChartWidth * 4);
    return mask;
  }
  for (int y = 0; y < kChartHeight; ++y) {
    for (int x = 0; x < kChartWidth; ++x) {
      const double dx = (x % (kChartWidth / 2) - kChartWidth / 4.0) / 500.0;
      const double dy = (y - kChartHeight / 2.0) / 1100.0;
      uint8_t* p = mask.data.Pixel(x, y);
      const bool body = dx * dx + dy * dy < 1.0;
      p[0] = body ? 254 : 168;
      p[1] = body ? 167 : 217;
      p[2] = body ? 116 : 255;
      p[3] = 0xFF;
    }
  }
  return mask;
}

BenchBuffer MarkedDrawing() {
  BenchBuffer drawing(kChartWidth, kChartHeight);
  std::memset(drawing.bytes.data(), 0xFF, drawing.bytes.size());
  for (int y = 600; y < 1400; ++y) {
    for (int x = 700; x < 1100; ++x) {
      uint8_t* p = drawing.data.Pixel(x, y);
      p[0] = 0;
      p[1] = 0;
      p[2] = 255;
    }
  }
  return drawing;
}
