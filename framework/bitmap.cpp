#include "framework/bitmap.h"

#include "framework/pngdecode.h"
#include "resources/resource.h"

#include <QFile>
#include <QImageReader>

#include <zstd.h>

#include <atomic>
#include <cstring>

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

Bitmap::Bitmap() : contentKey_(NewContentKey()) {}

Bitmap::Bitmap(QImage image)
    : image_(ToRgb32(std::move(image))),
      width_(image_.width()),
      height_(image_.height()),
      contentKey_(NewContentKey()) {}

Bitmap::~Bitmap() = default;

int64_t Bitmap::NewContentKey() {
  static std::atomic<int64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

namespace {

// Fast compression: drawings are mostly white page and compress about
// 250 to 1 in a few milliseconds.
constexpr int kParkLevel = 1;

}  // namespace

Bitmap::ParkedPixels Bitmap::Pack(const QImage& image) {
  if (image.isNull() || image.format() != QImage::Format_RGB32) return nullptr;
  const size_t size = static_cast<size_t>(image.sizeInBytes());
  // Left uninitialised: the packed pixels take a small part of the bound,
  // and only that part is ever touched.
  const size_t bound = ZSTD_compressBound(size);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[bound]);
  const size_t used = ZSTD_compress(buffer.get(), bound, image.constBits(), size, kParkLevel);
  if (ZSTD_isError(used)) return nullptr;
  return std::make_shared<const PackedPixels>(
      PackedPixels{image.width(), image.height(), std::vector<uint8_t>(buffer.get(), buffer.get() + used)});
}

bool Bitmap::Unpack(const ParkedPixels& pixels, QImage& into) {
  if (!pixels || into.format() != QImage::Format_RGB32 || into.width() != pixels->width ||
      into.height() != pixels->height) {
    return false;
  }
  const size_t size = static_cast<size_t>(into.sizeInBytes());
  const size_t got = ZSTD_decompress(into.bits(), size, pixels->bytes.data(), pixels->bytes.size());
  return !ZSTD_isError(got) && got == size;
}

std::unique_ptr<Bitmap> Bitmap::FromParked(ParkedPixels pixels) {
  auto bitmap = std::make_unique<Bitmap>();
  if (!pixels || pixels->width <= 0 || pixels->height <= 0) return bitmap;
  bitmap->width_ = pixels->width;
  bitmap->height_ = pixels->height;
  bitmap->parked_ = std::move(pixels);
  return bitmap;
}

bool Bitmap::Park() {
  if (parked_ || image_.isNull()) return false;
  ParkedPixels packed = Pack(image_);
  if (!packed) return false;
  parked_ = std::move(packed);
  image_ = QImage();
  return true;
}

void Bitmap::Restore() const {
  if (!parked_) return;
  QImage image(width_, height_, QImage::Format_RGB32);
  image_ = Unpack(parked_, image) ? std::move(image) : QImage();
  parked_.reset();
}

ParkingReader::ParkingReader(int width, int height) : width_(width), height_(height) {}

std::unique_ptr<Bitmap> ParkingReader::Read(const QString& path) {
  EnsureAllocationLimit();
  QImageReader reader(path);
  reader.setAutoTransform(false);
  QImage image;
  if (reader.format() == "png" && width_ > 0 && height_ > 0) {
    buffer_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
    // A fresh image over the same memory each time: only the pixels are
    // reused, never another file's texts or resolution.
    QImage target(buffer_.data(), width_, height_, 4 * width_, QImage::Format_RGB32);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
      image = ReadPngAsRgb32(file, kImageAllocationLimitMb, std::move(target));
    }
  }
  if (image.isNull()) image = ToRgb32(reader.read());
  return Bitmap::FromParked(Bitmap::Pack(image));
}

const QImage& Bitmap::Image() const {
  Restore();
  return image_;
}

std::unique_ptr<Bitmap> Bitmap::FromFile(const QString& path) {
  EnsureAllocationLimit();
  QImageReader reader(path);
  reader.setAutoTransform(false);
  // A file Qt reads as PNG is decoded straight into 32-bit pixels; whatever
  // that decoder leaves alone goes through Qt's reader as before.
  if (reader.format() == "png") {
    QFile file(path);
    QImage image;
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) image = ReadPngAsRgb32(file, kImageAllocationLimitMb);
    if (!image.isNull()) return std::make_unique<Bitmap>(std::move(image));
  }
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
  // A whole parked bitmap is copied by unpacking it once more, leaving the
  // source parked.
  if (parked_ && x == 0 && y == 0 && w == width_ && h == height_) {
    QImage copy(w, h, QImage::Format_RGB32);
    if (!Unpack(parked_, copy)) return nullptr;
    return std::make_unique<Bitmap>(std::move(copy));
  }
  QImage copy = Image().copy(x, y, w, h);
  if (copy.isNull()) return nullptr;
  return std::make_unique<Bitmap>(std::move(copy));
}

Bitmap::Lock Bitmap::LockBits() {
  Restore();
  contentKey_ = NewContentKey();
  if (image_.isNull()) return Lock(BitmapData{});
  // bits() detaches a shared image, so writes never reach another copy.
  uchar* bits = image_.bits();
  if (bits == nullptr) return Lock(BitmapData{});
  return Lock(BitmapData{bits, static_cast<ptrdiff_t>(image_.bytesPerLine()), image_.width(), image_.height()});
}

Bitmap::Lock Bitmap::LockBitsForReading() const {
  Restore();
  if (image_.isNull()) return Lock(BitmapData{});
  uint8_t* bits = const_cast<uint8_t*>(image_.constBits());
  return Lock(BitmapData{bits, static_cast<ptrdiff_t>(image_.bytesPerLine()), image_.width(), image_.height()});
}
