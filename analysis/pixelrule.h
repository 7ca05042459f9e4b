#pragma once

#include "framework/bitmapdata.h"

#include <cstdint>
#include <vector>

// A body pixel is one whose blue byte in the body mask is 250 or more.
inline constexpr uint8_t kBodyBlueMin = 250;

// The body pixels of a body mask as runs of consecutive pixels per row.
// The body is a small share of the chart, so pixel work that only concerns
// the body walks these runs instead of every pixel of the mask and the
// drawing. Made once per mask; read-only afterwards, so threads may share it.
class BodyRuns {
 public:
  struct Run {
    int32_t begin;  // first column of the run
    int32_t end;    // one past its last column
  };

  BodyRuns() = default;
  explicit BodyRuns(const BitmapData& mask);

  int width() const { return width_; }
  int height() const { return height_; }
  int BodyPixels() const { return bodyPixels_; }
  // The runs of row y, left to right.
  const Run* RowBegin(int y) const { return runs_.data() + rowStart_[y]; }
  const Run* RowEnd(int y) const { return runs_.data() + rowStart_[y + 1]; }

 private:
  int width_ = 0;
  int height_ = 0;
  int bodyPixels_ = 0;
  std::vector<uint32_t> rowStart_;
  std::vector<Run> runs_;
};

// Marks and counts the selected pixels of a drawing: every body pixel that
// is not grey (blue, green and red not all equal) gets its three colour
// bytes inverted and is counted; the fourth byte is left alone. A drawing
// whose size differs from the mask's is left unchanged and counts 0.
int ApplyPixelRule(const BitmapData& drawing, const BodyRuns& body);
int ApplyPixelRule(const BitmapData& drawing, const BitmapData& mask);
