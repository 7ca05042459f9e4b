#include "analysis/pixelrule.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

BodyRuns::BodyRuns(const BitmapData& mask) {
  if (!mask.IsValid()) return;
  width_ = mask.width;
  height_ = mask.height;
  rowStart_.reserve(static_cast<size_t>(height_) + 1);
  for (int y = 0; y < height_; ++y) {
    rowStart_.push_back(static_cast<uint32_t>(runs_.size()));
    const uint8_t* row = mask.Row(y);
    int x = 0;
    while (x < width_) {
      while (x < width_ && row[4 * x + kBlue] < kBodyBlueMin) ++x;
      if (x == width_) break;
      const int begin = x;
      while (x < width_ && row[4 * x + kBlue] >= kBodyBlueMin) ++x;
      runs_.push_back({begin, x});
      bodyPixels_ += x - begin;
    }
  }
  rowStart_.push_back(static_cast<uint32_t>(runs_.size()));
}

int ApplyPixelRule(const BitmapData& drawing, const BodyRuns& body) {
  if (!drawing.IsValid() || body.width() == 0) return 0;
  if (drawing.width != body.width() || drawing.height != body.height()) return 0;
  int count = 0;
  for (int y = 0; y < drawing.height; ++y) {
    uint8_t* row = drawing.Row(y);
    for (const BodyRuns::Run* run = body.RowBegin(y); run != body.RowEnd(y); ++run) {
      for (int x = run->begin; x < run->end; ++x) {
        uint8_t* p = row + 4 * x;
        // Grey pixels (white, the chart's lines) are the vast majority;
        // only the others are written.
        if (p[kBlue] == p[kGreen] && p[kGreen] == p[kRed]) continue;
        p[kBlue] = static_cast<uint8_t>(~p[kBlue]);
        p[kGreen] = static_cast<uint8_t>(~p[kGreen]);
        p[kRed] = static_cast<uint8_t>(~p[kRed]);
        ++count;
      }
    }
  }
  return count;
}

int ApplyPixelRule(const BitmapData& drawing, const BitmapData& mask) {
  if (!drawing.IsValid() || !mask.IsValid()) return 0;
  if (drawing.width != mask.width || drawing.height != mask.height) return 0;
  return ApplyPixelRule(drawing, BodyRuns(mask));
}
