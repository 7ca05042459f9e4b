#pragma once

#include "framework/bitmapdata.h"

#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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

  // Reads a drawing from a regular file (or a link to one) in one of the
  // formats drawings are saved in, known by the file's first bytes whatever
  // its name: PNG with the program's own decoders, JPEG with libjpeg, GIF,
  // BMP, TIFF and ICO with Qt's readers. A file in another format or none,
  // one that cannot be read, anything that is not a regular file, a file
  // whose image data ends before its image does, or one that claims a size
  // beyond the image allocation limit gives an empty bitmap.
  static std::unique_ptr<Bitmap> FromFile(const QString& path);
  // The size the header of a regular file gives, read without decoding: an
  // invalid size when the format keeps it elsewhere, nothing when the file
  // cannot be read or is in no image format read.
  static std::optional<QSize> HeaderSize(const QByteArray& localPath);
  // One of the images the program carries (resource ids in resource.h); an
  // unknown id or a missing resource gives an empty bitmap.
  static std::unique_ptr<Bitmap> FromResource(int id);
  // The resource path of an image id, or an empty string for an unknown id.
  static QString ResourcePath(int id);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool IsEmpty() const { return width_ == 0 || height_ == 0; }

  // Frees the pixels, keeping what they can be made again from (packing
  // them first when nothing else is kept); false (and nothing changed) when
  // the bitmap is empty or already parked.
  bool Park();
  bool IsParked() const { return image_.isNull() && parked_ != nullptr; }
  // What parked pixels are made again from: packed pixels, a PNG file the
  // quick path reads, or another bitmap's pixels with a change applied.
  struct PackedPixels {
    enum class Kind { kPacked, kPng, kDerived };
    int width = 0;
    int height = 0;
    Kind kind = Kind::kPacked;
    std::vector<uint8_t> bytes;
    std::shared_ptr<const PackedPixels> source;
    std::function<void(const BitmapData&)> derive;
  };
  // Never changed once made, so another thread may unpack them while the
  // bitmap lives on. Null when the bitmap's pixels were written since it
  // was made from them.
  using ParkedPixels = std::shared_ptr<const PackedPixels>;
  ParkedPixels Parked() const { return parked_; }
  // Packs a 32-bit image's pixels as Park does; null for an empty image,
  // when memory runs out, or when they would take `most` bytes or more.
  static ParkedPixels Pack(const QImage& image, size_t most = SIZE_MAX);
  // A PNG file the quick path reads to pixels of the given size.
  static ParkedPixels FromPngFile(std::vector<uint8_t> file, int width, int height);
  // The source's pixels with `derive` applied to them in place; `derive`
  // must give the same pixels each time and may run on any thread.
  static ParkedPixels Derived(ParkedPixels source, std::function<void(const BitmapData&)> derive);
  // Unpacks into an existing 32-bit image of the pixels' size (written in
  // place: it must share its pixels with no other image); false when the
  // sizes differ or the pixels cannot be made.
  static bool Unpack(const ParkedPixels& pixels, QImage& into);
  // A bitmap that starts parked; an empty bitmap for null pixels.
  static std::unique_ptr<Bitmap> FromParked(ParkedPixels pixels);
  // Wakes pixels that are the source's changed, from the source's pixels
  // in memory instead of making them from scratch; false (and nothing
  // changed) when they are not, or the source is parked itself.
  bool WakeFrom(const Bitmap& source);
  // Makes pixels in an image of their own, on any thread, for a bitmap
  // parked on them to adopt; the memory of pixels let go is reused. Pixels
  // derived from `fromPixels` are made from `from`, the image made of
  // those, without making their source again. A null image when they
  // cannot be made.
  static QImage Make(const ParkedPixels& pixels, const ParkedPixels& fromPixels = nullptr,
                     const QImage& from = QImage());
  // Takes an image that Make made of `pixels` as the bitmap's pixels, when
  // the bitmap is still parked on them; otherwise false, and the image's
  // memory is kept for pixels made later.
  bool Adopt(const ParkedPixels& pixels, QImage image);
  // Keeps the memory of an image no longer wanted for pixels made later.
  static void Recycle(QImage image);
  // Gives the memory kept for pixels made later back to the system.
  static void DropSpare();

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

// Reads drawings of one size one after the other into the same memory, for
// one thread: the pixels, there to be measured at once, and what the drawing
// is kept as: the smaller of its PNG file (when the quick path read it) and
// its packed pixels.
class DrawingReader {
 public:
  // Takes the memory for the pixels and their decoding at once, without
  // touching it: its pages are made as the reader first writes them, on the
  // thread that reads. Throws std::bad_alloc when there is none.
  DrawingReader(int width, int height);
  ~DrawingReader();
  DrawingReader(const DrawingReader&) = delete;
  DrawingReader& operator=(const DrawingReader&) = delete;

  // Reads the file, named by the bytes the file system knows it by, into
  // Pixels(): the pixels FromFile gives. Null when it is no regular file,
  // cannot be read, or its image has another size than the reader's, which
  // the file's header tells before any pixel is decoded where it can. A
  // PNG file is read only up to its end chunk. Throws std::bad_alloc when
  // memory runs out before a drawing is read and kept.
  Bitmap::ParkedPixels Read(const QByteArray& localPath);
  // Makes kept pixels again in Pixels(), as Bitmap::Unpack does, in the
  // reader's own memory; false when they cannot be made.
  bool Load(const Bitmap::ParkedPixels& pixels);
  // The pixels of the last file read or pixels made, which the caller may
  // change.
  QImage& Pixels() { return pixels_; }
  // Whether a drawing the quick path read is kept as its packed pixels
  // where they take less memory than its file (on at first), or always as
  // its file: packing costs half as long again as the reading.
  void PackWhereSmaller(bool on) { packWhereSmaller_ = on; }

 private:
  QImage Wrap();
  // What a drawing the quick path read into Pixels() is kept as.
  Bitmap::ParkedPixels Kept(std::vector<uint8_t> file) const;

  int width_;
  int height_;
  std::unique_ptr<uint8_t[]> memory_;
  QImage pixels_;
  std::unique_ptr<class PngScratch> png_;
  bool packWhereSmaller_ = true;
};

// The most of a file read as a drawing. A drawing's file is far smaller
// even with its pixels stored raw; a larger one is no drawing and is not
// read. Of a PNG file only the bytes up to its end chunk count.
inline constexpr qint64 kLargestDrawingFile = qint64{256} << 20;

// Largest decoded image accepted, in megabytes: what a drawing (3508 x 2480
// pixels) takes at 8 bytes a pixel, 66.4 MB, as Qt's readers give a file of
// 16 bits a channel (a TIFF, say); at 32 bits, as every image is kept, it
// takes half that. A damaged or hostile file that claims a larger size is
// refused before its pixels are allocated.
inline constexpr int kImageAllocationLimitMb = 67;
