#pragma once

#include "framework/bitmapdata.h"

#include <QImage>
#include <QString>

#include <memory>

// An image held as 32-bit pixels (blue, green, red, fourth byte in memory).
// A bitmap whose file could not be read exists but has width and height 0;
// every reader must tolerate it.
class Bitmap {
 public:
  Bitmap() = default;
  explicit Bitmap(QImage image);

  // Reads any image format Qt knows. A file that cannot be read, or that
  // claims a size beyond the image allocation limit, gives an empty bitmap.
  static std::unique_ptr<Bitmap> FromFile(const QString& path);
  // One of the images the program carries (resource ids in resource.h); an
  // unknown id or a missing resource gives an empty bitmap.
  static std::unique_ptr<Bitmap> FromResource(int id);
  // The resource path of an image id, or an empty string for an unknown id.
  static QString ResourcePath(int id);

  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  bool IsEmpty() const { return image_.isNull(); }

  // A 32-bit copy of the area (x, y, w, h); null when the area is empty or
  // does not lie inside the bitmap. The source is not changed.
  std::unique_ptr<Bitmap> CloneArea(int x, int y, int w, int h) const;

  // Read and write access to the pixels for as long as the lock lives.
  class Lock {
   public:
    Lock(Lock&&) = default;
    Lock& operator=(Lock&&) = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock() = default;

    // False when the bitmap holds no image; the data is then empty and must
    // not be walked.
    bool ok() const { return data_.IsValid(); }
    const BitmapData& data() const { return data_; }

   private:
    friend class Bitmap;
    explicit Lock(BitmapData data) : data_(data) {}
    BitmapData data_;
  };
  Lock LockBits();
  // Read access only: the pixels must not be written through this lock.
  // Unlike LockBits it leaves the image's identity (Image().cacheKey())
  // unchanged, so results derived from the pixels can be cached.
  Lock LockBitsForReading() const;

  // The image for drawing on screen or writing to a file.
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
};

// Largest decoded image accepted, in megabytes. A drawing takes 35 MB; a
// damaged or hostile file that claims a far larger size is refused.
inline constexpr int kImageAllocationLimitMb = 512;
