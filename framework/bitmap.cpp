#include "framework/bitmap.h"

#include "resources/resource.h"

#include <QImageReader>

namespace {

void EnsureAllocationLimit() {
  static const bool done = [] {
    QImageReader::setAllocationLimit(kImageAllocationLimitMb);
    return true;
  }();
  (void)done;
}

QImage ToRgb32(QImage image) {
  if (image.isNull() || image.format() == QImage::Format_RGB32) return image;
  return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

Bitmap::Bitmap(QImage image) : image_(ToRgb32(std::move(image))) {}

std::unique_ptr<Bitmap> Bitmap::FromFile(const QString& path) {
  EnsureAllocationLimit();
  QImageReader reader(path);
  reader.setAutoTransform(false);
  return std::make_unique<Bitmap>(reader.read());
}

QString Bitmap::ResourcePath(int id) {
  switch (id) {
    case res::IDB_BODY_MASK:
      return QStringLiteral(":/resources/body_mask.png");
    case res::IDB_BLANK_CHART:
    case res::IDB_BLANK_CHART_COMPARE:
      return QStringLiteral(":/resources/blank_chart.png");
    case res::IDR_REFERENCE_CHART:
      return QStringLiteral(":/resources/reference_chart.png");
    case res::IDR_MAINFRAME:
      return QStringLiteral(":/resources/toolbar.png");
    default:
      return QString();
  }
}

std::unique_ptr<Bitmap> Bitmap::FromResource(int id) {
  const QString path = ResourcePath(id);
  if (path.isEmpty()) return std::make_unique<Bitmap>();
  return FromFile(path);
}

std::unique_ptr<Bitmap> Bitmap::CloneArea(int x, int y, int w, int h) const {
  if (w <= 0 || h <= 0 || x < 0 || y < 0 || x > Width() - w || y > Height() - h) return nullptr;
  QImage copy = image_.copy(x, y, w, h);
  if (copy.isNull()) return nullptr;
  return std::make_unique<Bitmap>(std::move(copy));
}

Bitmap::Lock Bitmap::LockBits() {
  if (image_.isNull()) return Lock(BitmapData{});
  // bits() detaches a shared image, so writes never reach another copy.
  uchar* bits = image_.bits();
  if (bits == nullptr) return Lock(BitmapData{});
  return Lock(BitmapData{bits, static_cast<ptrdiff_t>(image_.bytesPerLine()), image_.width(), image_.height()});
}

Bitmap::Lock Bitmap::LockBitsForReading() const {
  if (image_.isNull()) return Lock(BitmapData{});
  uint8_t* bits = const_cast<uint8_t*>(image_.constBits());
  return Lock(BitmapData{bits, static_cast<ptrdiff_t>(image_.bytesPerLine()), image_.width(), image_.height()});
}
