#include "compare/overlay.h"

#include <algorithm>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "overlay colours are stored as little-endian words");

OverlayCounts OverlayDrawings(const BitmapData& first, const BitmapData& second, const BitmapData& overlay,
                              const BodyRuns& body) {
  OverlayCounts counts;
  const int w = body.width();
  const int h = body.height();
  for (const BitmapData* data : {&first, &second, &overlay}) {
    if (!data->IsValid() || data->width != w || data->height != h) return counts;
  }
  for (int y = 0; y < h; ++y) {
    const uint8_t* rowA = first.Row(y);
    const uint8_t* rowB = second.Row(y);
    uint8_t* rowO = overlay.Row(y);
    for (const BodyRuns::Run* run = body.RowBegin(y); run != body.RowEnd(y); ++run) {
      for (int x = run->begin; x < run->end; ++x) {
        uint32_t a;
        uint32_t b;
        uint32_t o;
        std::memcpy(&a, rowA + 4 * x, 4);
        std::memcpy(&b, rowB + 4 * x, 4);
        std::memcpy(&o, rowO + 4 * x, 4);
        if (o == a && o == b) continue;
        uint32_t colour;
        if (a == b) {
          colour = kOverlayCommon;
          ++counts.common;
        } else if (o == a) {
          colour = kOverlaySecondOnly;
          ++counts.secondOnly;
        } else {
          colour = kOverlayFirstOnly;
          ++counts.firstOnly;
        }
        std::memcpy(rowO + 4 * x, &colour, 4);
      }
    }
  }
  return counts;
}

double SharePercent(uint32_t part, uint32_t whole) {
  const float quotient = static_cast<float>(part) / static_cast<float>(whole);
  return static_cast<double>(quotient) * 100.0;
}

Rect FitPicture(int cw, int ch, int w, int h) {
  if (w <= 0 || h <= 0) return Rect{};
  const double scale = std::min((cw - 2.0) / w, (ch - 2.0) / h);
  const int dw = static_cast<int>(w * scale);
  const int dh = static_cast<int>(h * scale);
  if (dw <= 0 || dh <= 0) return Rect{};
  const int x = dw < cw ? (cw - dw) / 2 : 0;
  const int y = dh < ch ? (ch - dh) / 2 : 0;
  return Rect{x, y, x + dw, y + dh};
}
