#pragma once

#include "framework/bitmapdata.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// An image held as 32-bit pixels (blue, green, red, fourth byte in memory).
// A bitmap whose file could not be read exists but has width and height 0;
// every reader must tolerate it.
//
// A bitmap can be parked: its pixels are then kept compressed in memory
// (a drawing takes about a tenth of a megabyte instead of 35) and come back
// by themselves the moment anything reads or writes them. Readers see no
// difference. A bitmap is used by one thread at a time.
class Bitmap {
 public:
  Bitmap();
  explicit Bitmap(QImage image);
  ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  // Reads any image format Qt knows from a regular file (or a link to one).
  // A file that cannot be read, anything that is not a regular file, or a
  // file that claims a size beyond the image allocation limit gives an
  // empty bitmap.
  static std::unique_ptr<Bitmap> FromFile(const QString& path);
  // One of the images the program carries (resource ids in resource.h); an
  // unknown id or a missing resource gives an empty bitmap.
  static std::unique_ptr<Bitmap> FromResource(int id);
  // The resource path of an image id, or an empty string for an unknown id.
  static QString ResourcePath(int id);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool IsEmpty() const { return width_ == 0 || height_ == 0; }

  // Compresses the pixels and frees them; false (and nothing changed) when
  // the bitmap is empty or already parked.
  bool Park();
  bool IsParked() const { return parked_ != nullptr; }
  // Compressed pixels with the size they unpack to.
  struct PackedPixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;
  };
  // The compressed pixels of a parked bitmap (null otherwise). They never
  // change, so another thread may unpack them while this bitmap lives on.
  using ParkedPixels = std::shared_ptr<const PackedPixels>;
  ParkedPixels Parked() const { return parked_; }
  // Packs a 32-bit image's pixels as Park does; null for an empty image or
  // when memory runs out.
  static ParkedPixels Pack(const QImage& image);
  // Unpacks into an existing 32-bit image of the pixels' size (written in
  // place: it must share its pixels with no other image); false when the
  // sizes differ or the pixels are damaged.
  static bool Unpack(const ParkedPixels& pixels, QImage& into);
  // A bitmap that starts parked; an empty bitmap for null pixels.
  static std::unique_ptr<Bitmap> FromParked(ParkedPixels pixels);

  // Identifies the pixels: it changes whenever they may have been written
  // (a LockBits), never when the bitmap is parked or brought back, and no
  // two bitmaps share one.
  int64_t ContentKey() const { return contentKey_; }

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
  // Unlike LockBits it leaves ContentKey() unchanged, so results derived
  // from the pixels can be cached.
  Lock LockBitsForReading() const;

  // The image for drawing on screen or writing to a file.
  const QImage& Image() const;

 private:
  // Brings parked pixels back.
  void Restore() const;
  static int64_t NewContentKey();

  mutable QImage image_;
  mutable ParkedPixels parked_;
  int width_ = 0;
  int height_ = 0;
  int64_t contentKey_;
};

// Reads many drawings of one size one after the other and parks each at
// once, decoding every PNG file into the same block of memory instead of a
// fresh one. One reader per thread.
class ParkingReader {
 public:
  // Takes the memory for one image of the size at once; throws
  // std::bad_alloc when there is none.
  ParkingReader(int width, int height);
  // The file, named by the bytes the file system knows it by, as a parked
  // bitmap: what FromFile reads, parked. An empty bitmap when the file
  // cannot be read or its image has another size than the reader's; the
  // size is taken from the file's header where it gives one, before any
  // pixel is decoded.
  std::unique_ptr<Bitmap> Read(const QByteArray& localPath);

 private:
  int width_;
  int height_;
  std::vector<uint8_t> buffer_;
};

// Largest decoded image accepted, in megabytes. A drawing takes 35 MB; a
// damaged or hostile file that claims a far larger size is refused.
inline constexpr int kImageAllocationLimitMb = 512;
