#include "framework/bitmap.h"

#include "framework/files.h"
#include "framework/imageformat.h"
#include "framework/jpegdecode.h"
#include "framework/pngdecode.h"
#include "framework/pngfast.h"
#include "resources/resource.h"

#include <QBuffer>
#include <QImageReader>

#include <zstd.h>
#include <zstd_errors.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

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
      contentKey_(NewContentKey()) {
  // Qt's reader takes a scale from names such as "plain@2x.png"; a drawing
  // is always shown and measured pixel for pixel.
  if (!image_.isNull()) image_.setDevicePixelRatio(1.0);
}

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

Bitmap::ParkedPixels Bitmap::Pack(const QImage& image, size_t most) {
  if (image.isNull() || image.format() != QImage::Format_RGB32 || most == 0) return nullptr;
  const size_t size = static_cast<size_t>(image.sizeInBytes());
  const size_t largest = std::min(ZSTD_compressBound(size), most - 1);
  // A drawing packs into a small part of its size: room for a sixteenth is
  // tried first, the most it may take only when that is not enough.
  try {
    for (const size_t room : {std::min(largest, size / 16 + 4096), largest}) {
      std::vector<uint8_t> bytes(room);
      const size_t used = ZSTD_compress(bytes.data(), room, image.constBits(), size, kParkLevel);
      if (ZSTD_isError(used)) {
        if (ZSTD_getErrorCode(used) == ZSTD_error_dstSize_tooSmall && room < largest) continue;
        return nullptr;
      }
      bytes.resize(used);
      bytes.shrink_to_fit();
      return std::make_shared<const PackedPixels>(
          PackedPixels{image.width(), image.height(), PackedPixels::Kind::kPacked, std::move(bytes), nullptr, {}});
    }
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

Bitmap::ParkedPixels Bitmap::FromPngFile(std::vector<uint8_t> file, int width, int height) {
  PackedPixels pixels{width, height, PackedPixels::Kind::kPng, std::move(file), nullptr, {}};
  return std::make_shared<const PackedPixels>(std::move(pixels));
}

Bitmap::ParkedPixels Bitmap::Derived(ParkedPixels source, std::function<void(const BitmapData&)> derive) {
  if (!source) return nullptr;
  PackedPixels pixels{source->width, source->height, PackedPixels::Kind::kDerived, {}, source, std::move(derive)};
  return std::make_shared<const PackedPixels>(std::move(pixels));
}

bool Bitmap::Unpack(const ParkedPixels& pixels, QImage& into) {
  if (!pixels || into.format() != QImage::Format_RGB32 || into.width() != pixels->width ||
      into.height() != pixels->height) {
    return false;
  }
  // Making pixels again takes memory of its own (the decoder's rows, the
  // smart area's masks); without it they cannot be made this time.
  try {
    switch (pixels->kind) {
      case PackedPixels::Kind::kPacked: {
        const size_t size = static_cast<size_t>(into.sizeInBytes());
        const size_t got = ZSTD_decompress(into.bits(), size, pixels->bytes.data(), pixels->bytes.size());
        return !ZSTD_isError(got) && got == size;
      }
      case PackedPixels::Kind::kPng: {
        // One decoder's memory per thread, kept for the next drawing.
        thread_local PngScratch scratch;
        const BitmapData out{into.bits(), into.bytesPerLine(), into.width(), into.height()};
        return DecodePngFast(pixels->bytes, out, scratch);
      }
      case PackedPixels::Kind::kDerived:
        if (!Unpack(pixels->source, into)) return false;
        pixels->derive(BitmapData{into.bits(), into.bytesPerLine(), into.width(), into.height()});
        return true;
    }
  } catch (const std::bad_alloc&) {
  }
  return false;
}

std::unique_ptr<Bitmap> Bitmap::FromParked(ParkedPixels pixels) {
  auto bitmap = std::make_unique<Bitmap>();
  if (!pixels || pixels->width <= 0 || pixels->height <= 0) return bitmap;
  bitmap->width_ = pixels->width;
  bitmap->height_ = pixels->height;
  bitmap->parked_ = std::move(pixels);
  return bitmap;
}

namespace {

// The memory of pixels just let go, kept for the next pixels of the same
// size to be made in: stepping through a folder parks one drawing and wakes
// another, and fresh memory costs a page fault a page.
class SparePixels {
 public:
  void Give(QImage image) {
    // Only memory nothing else shares.
    if (image.isNull() || !image.isDetached()) return;
    std::lock_guard lock(mutex_);
    if (spare_.size() >= kKept) spare_.erase(spare_.begin());
    // Without memory for the list, the pixels simply go.
    try {
      spare_.push_back(std::move(image));
    } catch (const std::bad_alloc&) {
    }
  }
  QImage Take(int width, int height) {
    std::lock_guard lock(mutex_);
    for (auto it = spare_.begin(); it != spare_.end(); ++it) {
      if (it->width() != width || it->height() != height) continue;
      QImage image = std::move(*it);
      spare_.erase(it);
      return image;
    }
    return QImage();
  }
  void Clear() {
    std::vector<QImage> dropped;
    {
      std::lock_guard lock(mutex_);
      dropped.swap(spare_);
    }
  }

 private:
  static constexpr size_t kKept = 2;
  std::mutex mutex_;
  std::vector<QImage> spare_;
};

SparePixels& Spare() {
  static SparePixels spare;
  return spare;
}

}  // namespace

bool Bitmap::Park() {
  if (image_.isNull()) return false;
  // Pixels made from something kept are simply let go; others are packed.
  if (!parked_) {
    ParkedPixels packed = Pack(image_);
    if (!packed) return false;
    parked_ = std::move(packed);
  }
  Spare().Give(std::move(image_));
  image_ = QImage();
  return true;
}

void Bitmap::Restore() const {
  if (!parked_ || !image_.isNull()) return;
  // Without memory for the pixels they stay parked: this use finds no image
  // and a later one tries again; nothing is lost. What they were made from
  // is kept, so parking them again costs nothing.
  image_ = Make(parked_);
}

bool Bitmap::WakeFrom(const Bitmap& source) {
  if (!IsParked() || parked_->kind != PackedPixels::Kind::kDerived || source.image_.isNull() ||
      parked_->source != source.parked_) {
    return false;
  }
  QImage image = Make(parked_, source.parked_, source.image_);
  if (image.isNull()) return false;
  image_ = std::move(image);
  return true;
}

QImage Bitmap::Make(const ParkedPixels& pixels, const ParkedPixels& fromPixels, const QImage& from) {
  if (!pixels) return QImage();
  QImage image = Spare().Take(pixels->width, pixels->height);
  if (image.isNull()) image = QImage(pixels->width, pixels->height, QImage::Format_RGB32);
  if (image.isNull()) return image;
  bool made = false;
  if (pixels->kind == PackedPixels::Kind::kDerived && pixels->source == fromPixels && fromPixels &&
      from.format() == QImage::Format_RGB32 && from.size() == image.size() &&
      from.sizeInBytes() == image.sizeInBytes()) {
    // A copy of the source's pixels, changed as these are: no decoding.
    try {
      std::memcpy(image.bits(), from.constBits(), static_cast<size_t>(image.sizeInBytes()));
      pixels->derive(BitmapData{image.bits(), image.bytesPerLine(), image.width(), image.height()});
      made = true;
    } catch (const std::bad_alloc&) {
    }
  } else {
    made = Unpack(pixels, image);
  }
  if (made) return image;
  Recycle(std::move(image));
  return QImage();
}

bool Bitmap::Adopt(const ParkedPixels& pixels, QImage image) {
  if (!IsParked() || !pixels || parked_ != pixels || image.format() != QImage::Format_RGB32 ||
      image.width() != width_ || image.height() != height_) {
    Recycle(std::move(image));
    return false;
  }
  image_ = std::move(image);
  return true;
}

void Bitmap::Recycle(QImage image) { Spare().Give(std::move(image)); }

void Bitmap::DropSpare() { Spare().Clear(); }

namespace {

// The name Qt's readers know a format by.
const char* QtName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kPng:
      return "png";
    case ImageFormat::kJpeg:
      return "jpeg";
    case ImageFormat::kGif:
      return "gif";
    case ImageFormat::kBmp:
      return "bmp";
    case ImageFormat::kTiff:
      return "tiff";
    case ImageFormat::kIco:
      return "ico";
    case ImageFormat::kNone:
      break;
  }
  return "";
}

// The format of the image on an open device and the size its header gives
// (invalid when the format keeps it elsewhere), read from the device's start
// without decoding any pixel. Only the formats drawings are saved in are
// read, known by their first bytes whatever the file's name: other pictures
// (bitmaps written as text, vector pictures) are no drawings, and a few
// kilobytes of some keep their readers busy for seconds.
struct ImageHeader {
  ImageFormat format = ImageFormat::kNone;
  QSize size;
};
ImageHeader ReadHeader(QIODevice& device) {
  const QByteArray start = device.peek(24);
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(start.constData()), static_cast<size_t>(start.size()));
  const ImageFormat format = FormatOf(bytes);
  // A PNG file is read by the program's own decoders only, its size taken
  // from its first 24 bytes. One whose header chunk does not come first with
  // a size, as in every PNG file that can be read, is in no format read.
  if (format == ImageFormat::kPng) {
    const std::optional<PngSize> size = ReadPngSize(bytes);
    if (!size) return ImageHeader{};
    return ImageHeader{format, QSize(size->width, size->height)};
  }
  if (format == ImageFormat::kNone) return ImageHeader{};
  EnsureAllocationLimit();
  QImageReader reader(&device, QtName(format));
  reader.setAutoDetectImageFormat(false);
  ImageHeader header{format, QSize()};
  if (reader.supportsOption(QImageIOHandler::Size)) header.size = reader.size();
  return header;
}

// The whole file on the device, which is open at its start: the bytes of a
// buffer as they are, or those read from a file no larger than a drawing's.
std::optional<QByteArray> WholeFile(QIODevice& device) {
  if (const auto* buffer = qobject_cast<const QBuffer*>(&device)) return buffer->data();
  if (device.isSequential() || device.size() > kLargestDrawingFile) return std::nullopt;
  QByteArray bytes = device.readAll();
  if (bytes.size() != device.size()) return std::nullopt;
  return bytes;
}

// Reads the image of the given format from the device's start.
QImage ReadImage(QIODevice& device, ImageFormat format, QImage scratch) {
  if (format == ImageFormat::kNone || !device.seek(0)) return QImage();
  // A PNG file is decoded straight into 32-bit pixels, or not at all.
  if (format == ImageFormat::kPng) return ReadPngAsRgb32(device, kImageAllocationLimitMb, std::move(scratch));
  // Other formats are read whole, and refused when the image data their
  // headers declare is not all there: their decoders would make up the
  // missing rows and give a drawing with wrong counts.
  const std::optional<QByteArray> file = WholeFile(device);
  if (!file) return QImage();
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(file->constData()), static_cast<size_t>(file->size()));
  if (FormatOf(bytes) != format || !HoldsItsImageData(format, bytes)) return QImage();
  // A JPEG file is decoded straight into 32-bit pixels by libjpeg, which
  // tells of data missing or corrupt where Qt's reader makes it up.
  if (format == ImageFormat::kJpeg) return ReadJpegAsRgb32(bytes, kImageAllocationLimitMb, std::move(scratch));
  EnsureAllocationLimit();
  QBuffer buffer;
  buffer.setData(*file);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, QtName(format));
  reader.setAutoDetectImageFormat(false);
  reader.setAutoTransform(false);
  return ToRgb32(reader.read());
}

QImage ReadImage(QIODevice& device) { return ReadImage(device, ReadHeader(device).format, QImage()); }

}  // namespace

DrawingReader::DrawingReader(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      memory_(std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4 +
                                                        PngScratch::RoomFor(width_, height_))),
      pixels_(Wrap()),
      png_(std::make_unique<PngScratch>()) {}

QImage DrawingReader::Wrap() {
  if (width_ == 0 || height_ == 0) return QImage();
  // The pixels lie at the start of the memory; the room after them is for
  // decoding a PNG file in place.
  return QImage(memory_.get(), width_, height_, 4 * width_, QImage::Format_RGB32);
}

DrawingReader::~DrawingReader() = default;

bool DrawingReader::Load(const Bitmap::ParkedPixels& pixels) {
  if (!pixels || pixels->width != width_ || pixels->height != height_) return false;
  if (pixels_.constBits() != memory_.get()) pixels_ = Wrap();
  if (pixels->kind != Bitmap::PackedPixels::Kind::kPng) return Bitmap::Unpack(pixels, pixels_);
  const BitmapData out{pixels_.bits(), pixels_.bytesPerLine(), width_, height_};
  return DecodePngFast(pixels->bytes, out, *png_, PngScratch::RoomFor(width_, height_));
}

namespace {

// Reads on until `bytes` holds the file's first `want` bytes; false when the
// file ends or fails before.
bool ReadOn(QFile& file, std::vector<uint8_t>& bytes, size_t want) {
  const size_t have = bytes.size();
  bytes.resize(want);
  const auto more = static_cast<qint64>(want - have);
  return file.read(reinterpret_cast<char*>(bytes.data() + have), more) == more;
}

// The bytes of a drawing's file. A PNG file is read in blocks as its chunks
// lead, up to the end of its end chunk, and no further: bytes after it are
// no part of the image. Any other file, or a PNG file whose end is not
// found, is read whole. Nothing when the file cannot be read as large as it
// was found, or when more than kLargestDrawingFile would be read.
std::optional<std::vector<uint8_t>> ReadDrawingFile(QFile& file) {
  // Nearly every drawing's file is read whole at the first read, and the
  // rest of one up to kRoom into the same memory; memory not read into is
  // never touched.
  constexpr size_t kFirstRead = size_t{1} << 20;
  constexpr size_t kRoom = size_t{16} << 20;
  const qint64 size = file.size();
  if (size < 0) return std::nullopt;
  const auto most = static_cast<size_t>(std::min(size, kLargestDrawingFile));
  std::vector<uint8_t> bytes;
  bytes.reserve(std::min(most, kRoom));
  size_t pos = 0;
  size_t want = std::min(most, kFirstRead);
  while (true) {
    if (!ReadOn(file, bytes, want)) return std::nullopt;
    const std::optional<PngReach> reach = WalkPngChunks(bytes, pos);
    if (reach && reach->ended) {
      bytes.resize(reach->bytes);
      bytes.shrink_to_fit();
      return bytes;
    }
    if (bytes.size() == static_cast<size_t>(size)) return bytes;
    if (!reach || reach->bytes > most) {
      if (size > kLargestDrawingFile || !ReadOn(file, bytes, static_cast<size_t>(size))) return std::nullopt;
      return bytes;
    }
    want = std::min(most, std::max(reach->bytes, 2 * bytes.size()));
  }
}

}  // namespace

Bitmap::ParkedPixels DrawingReader::Read(const QByteArray& localPath) {
  const std::unique_ptr<QFile> opened = OpenRegularFile(localPath);
  if (!opened || pixels_.isNull()) return nullptr;
  std::optional<std::vector<uint8_t>> file = ReadDrawingFile(*opened);
  if (!file) return nullptr;
  std::vector<uint8_t>& bytes = *file;
  const QSize wanted(width_, height_);
  // A PNG file of another size is left out on its header's word, before
  // any memory is spent on it: a folder's large pictures that are no
  // drawings cost a few bytes of reading each.
  if (const std::optional<PngSize> size = ReadPngSize(bytes)) {
    if (QSize(size->width, size->height) != wanted) return nullptr;
    const BitmapData out{pixels_.bits(), pixels_.bytesPerLine(), width_, height_};
    const size_t room = pixels_.constBits() == memory_.get() ? PngScratch::RoomFor(width_, height_) : 0;
    if (DecodePngFast(bytes, out, *png_, room)) return Kept(std::move(bytes));
  }
  // The thorough way, for every other file: the header first here too.
  QByteArray data =
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  QBuffer device(&data);
  device.open(QIODevice::ReadOnly);
  const ImageHeader header = ReadHeader(device);
  if (header.size.isValid() && header.size != wanted) return nullptr;
  // The thorough way decodes into the reader's memory where it can.
  pixels_ = QImage();
  QImage image = ReadImage(device, header.format, Wrap());
  const bool read = image.size() == wanted && image.format() == QImage::Format_RGB32;
  pixels_ = read ? std::move(image) : Wrap();
  if (!read) return nullptr;
  Bitmap::ParkedPixels packed = Bitmap::Pack(pixels_);
  // Pixels that were read pack unless memory ran out.
  if (!packed) throw std::bad_alloc();
  return packed;
}

namespace {

// Files up to this size are kept as they are: a light drawing's file takes
// about as much memory as its packed pixels. A larger file, of a drawing
// with broad anti-aliased strokes, mostly takes more than its packed
// pixels; one of a scanned sheet with its grain, less.
constexpr size_t kKeptAsFileUpTo = size_t{256} << 10;

// Whether the image's pixels would take fewer than `bytes` packed, judged
// from eight bands of eight rows spread over it, each packed alone (which
// takes no less than in the whole), in a fortieth of the time packing them
// all takes. Grain that packs no smaller is given up on halfway.
bool PacksSmallerThan(const QImage& image, size_t bytes) {
  constexpr int kBands = 8;
  const int rows = std::clamp(image.height() / kBands, 1, 8);
  const size_t bandBytes = static_cast<size_t>(image.bytesPerLine()) * static_cast<size_t>(rows);
  const std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context(ZSTD_createCCtx(), ZSTD_freeCCtx);
  std::vector<uint8_t> out(ZSTD_compressBound(bandBytes));
  if (!context) return false;
  size_t packed = 0;
  size_t sampled = 0;
  for (int band = 0; band < kBands; ++band) {
    const int y = static_cast<int>(static_cast<int64_t>(image.height()) * band / kBands);
    if (y + rows > image.height()) break;
    const size_t used =
        ZSTD_compressCCtx(context.get(), out.data(), out.size(), image.constScanLine(y), bandBytes, kParkLevel);
    if (ZSTD_isError(used)) return false;
    packed += used;
    sampled += static_cast<size_t>(rows);
    const bool half = 2 * (band + 1) >= kBands;
    if (half && packed / sampled * static_cast<size_t>(image.height()) >= bytes) return false;
  }
  return sampled != 0 && packed / sampled * static_cast<size_t>(image.height()) < bytes;
}

}  // namespace

Bitmap::ParkedPixels DrawingReader::Kept(std::vector<uint8_t> file) const {
  if (packWhereSmaller_ && file.size() > kKeptAsFileUpTo && PacksSmallerThan(pixels_, file.size())) {
    if (Bitmap::ParkedPixels packed = Bitmap::Pack(pixels_, file.size())) return packed;
  }
  return Bitmap::FromPngFile(std::move(file), width_, height_);
}

const QImage& Bitmap::Image() const {
  Restore();
  return image_;
}

std::optional<QSize> Bitmap::HeaderSize(const QByteArray& localPath) {
  const std::unique_ptr<QFile> file = OpenRegularFile(localPath);
  if (!file) return std::nullopt;
  // A file in a format that is not read can never be read as an image.
  const ImageHeader header = ReadHeader(*file);
  if (header.format == ImageFormat::kNone) return std::nullopt;
  return header.size;
}

std::unique_ptr<Bitmap> Bitmap::FromFile(const QString& path) {
  const std::unique_ptr<QFile> file = OpenRegularFile(LocalPath(path));
  if (!file) return std::make_unique<Bitmap>();
  return std::make_unique<Bitmap>(ReadImage(*file));
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
  QFile file(ResourcePath(id));
  if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly)) return std::make_unique<Bitmap>();
  return std::make_unique<Bitmap>(ReadImage(file));
}

std::unique_ptr<Bitmap> Bitmap::CloneArea(int x, int y, int w, int h) const {
  if (w <= 0 || h <= 0 || x < 0 || y < 0 || x > Width() - w || y > Height() - h) return nullptr;
  // A whole parked bitmap is copied by unpacking it once more, leaving the
  // source parked.
  if (IsParked() && x == 0 && y == 0 && w == width_ && h == height_) {
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
  // The pixels may be written: what they were made from no longer holds.
  if (!image_.isNull()) parked_.reset();
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
