#pragma once

#include "framework/geometry.h"

#include <QImage>
#include <QSize>

#include <cstdint>

class Bitmap;

// The last smoothly scaled copy of an area of a bitmap. Scaling a full
// drawing takes long, and windows redraw often (on every mouse move with
// the probe): the copy is made again only when the bitmap's content, the
// area or the size changes.
class ScaledCopy {
 public:
  const QImage& Of(const Bitmap& image, const Rect& src, QSize size);
  const QImage& Image() const { return image_; }

 private:
  int64_t key_ = 0;
  Rect src_;
  QSize size_;
  QImage image_;
};
