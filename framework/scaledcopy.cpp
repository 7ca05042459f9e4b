#include "framework/scaledcopy.h"

#include "framework/bitmap.h"

const QImage& ScaledCopy::Of(const Bitmap& image, const Rect& src, QSize size) {
  const int64_t key = image.ContentKey();
  if (key != key_ || src != src_ || size != size_ || image_.isNull()) {
    key_ = key;
    src_ = src;
    size_ = size;
    const QImage& whole = image.Image();
    // Only the area is copied out before scaling. Smooth scaling gives
    // opaque pixels, also where colours carry a fourth byte of 0.
    const QImage part = src == Rect{0, 0, whole.width(), whole.height()}
                            ? whole
                            : whole.copy(src.left, src.top, src.Width(), src.Height());
    image_ = part.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return image_;
}
