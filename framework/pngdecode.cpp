#include "framework/pngdecode.h"

#include <QColorSpace>
#include <QIODevice>
#include <QPoint>
#include <QPointF>

#include <png.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kFullAlpha = 0xFF000000u;
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

// The device, read through a buffer of our own: libpng asks for a few bytes
// at a time (chunk headers, 8 KB of image data). The chunks are followed as
// they pass, so that no damaged file costs more than its own bytes:
// - a chunk that claims more data than the file holds ends the read at its
//   header, before anything is allocated for it;
// - once the image's last row is decoded, only the end of the compressed
//   stream may follow, a few bytes: more image data than kDataAfterRows ends
//   the read, so compressed data beyond the image is never inflated;
// - the end chunk's checksum, when the file stops short of it, is supplied,
//   as some programs write files without it: every pixel has been read and
//   checked by then.
class DeviceSource {
 public:
  explicit DeviceSource(QIODevice* device)
      : device_(device), size_(device->isSequential() ? -1 : device->size()), buffer_(kBufferSize) {}

  // False when the file ends (or fails) before `length` bytes, or the bytes
  // must not be read.
  bool Read(uint8_t* out, size_t length) {
    while (length > 0) {
      if (pos_ == end_) {
        const qint64 got = device_->read(buffer_.data(), static_cast<qint64>(buffer_.size()));
        if (got <= 0) return SupplyEndChecksum(out, length);
        pos_ = 0;
        end_ = static_cast<size_t>(got);
      }
      const size_t take = std::min(length, end_ - pos_);
      std::memcpy(out, buffer_.data() + pos_, take);
      pos_ += take;
      if (!Follow(out, take)) return false;
      out += take;
      length -= take;
    }
    return true;
  }

  // How many rows hold image data: after the last of them the image is
  // complete.
  void ExpectRows(uint64_t rows) { rowsLeft_ = rows; }
  // True for the last of them.
  bool RowDecoded() { return rowsLeft_ > 0 && --rowsLeft_ == 0; }

 private:
  static constexpr size_t kBufferSize = 64 * 1024;
  static constexpr uint64_t kDataAfterRows = 1024;
  static constexpr uint8_t kEndChecksum[4] = {0xAE, 0x42, 0x60, 0x82};

  static bool IsType(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

  // Follows the chunks over bytes just read; false when they must not be.
  bool Follow(const uint8_t* bytes, size_t length) {
    while (length > 0) {
      size_t take = 0;
      if (offset_ < 8) {
        take = static_cast<size_t>(std::min<uint64_t>(length, 8 - offset_));  // the signature
      } else if (const uint64_t at = offset_ - chunkStart_; at < 8) {
        take = static_cast<size_t>(std::min<uint64_t>(length, 8 - at));
        std::memcpy(header_ + at, bytes, take);
        if (at + take == 8) {
          chunkLength_ = uint32_t{header_[0]} << 24 | uint32_t{header_[1]} << 16 | uint32_t{header_[2]} << 8 |
                         uint32_t{header_[3]};
          if (size_ >= 0 && uint64_t{chunkLength_} > static_cast<uint64_t>(size_) - (chunkStart_ + 8)) return false;
        }
      } else {
        const uint64_t chunkEnd = 12 + uint64_t{chunkLength_};
        take = static_cast<size_t>(std::min<uint64_t>(length, chunkEnd - at));
        if (rowsLeft_ == 0 && IsType(header_ + 4, "IDAT") && at < 8 + uint64_t{chunkLength_}) {
          dataAfterRows_ += std::min<uint64_t>(take, 8 + uint64_t{chunkLength_} - at);
          if (dataAfterRows_ > kDataAfterRows) return false;
        }
        if (at + take == chunkEnd) chunkStart_ += chunkEnd;
      }
      offset_ += take;
      bytes += take;
      length -= take;
    }
    return true;
  }

  // At the end of the file: the end chunk's checksum, or the rest of it,
  // when that is all that is asked for.
  bool SupplyEndChecksum(uint8_t* out, size_t length) {
    const uint64_t checksumAt = chunkStart_ + 8;
    if (offset_ < checksumAt || !IsType(header_ + 4, "IEND") || chunkLength_ != 0 ||
        offset_ + length > checksumAt + 4) {
      return false;
    }
    std::memcpy(out, kEndChecksum + (offset_ - checksumAt), length);
    offset_ += length;
    if (offset_ == checksumAt + 4) chunkStart_ += 12;
    return true;
  }

  QIODevice* device_;
  qint64 size_;  // -1 when not known
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  uint64_t offset_ = 0;      // bytes of the file read so far
  uint64_t chunkStart_ = 8;  // where the chunk being read starts
  uint8_t header_[8] = {};   // its length and type
  uint32_t chunkLength_ = 0;
  uint64_t rowsLeft_ = UINT64_MAX;
  uint64_t dataAfterRows_ = 0;
};

extern "C" {

static void ReadFromSource(png_structp png, png_bytep out, size_t length) {
  if (!static_cast<DeviceSource*>(png_get_io_ptr(png))->Read(out, length)) png_error(png, "Read Error");
}

// Called as each row with image data is decoded, before libpng reads on.
// Once the image is complete, the compressed stream must end: data that goes
// on after it, or a stream that ends damaged, is an error here, not the
// warning libpng makes of it by default.
static void OnRowDecoded(png_structp png, png_row_infop, png_bytep) {
  if (static_cast<DeviceSource*>(png_get_io_ptr(png))->RowDecoded()) png_set_benign_errors(png, 0);
}

// Errors end the decoding silently: the file is then not read.
[[noreturn]] static void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

static void OnPngWarning(png_structp, png_const_charp) {}

}  // extern "C"

// How a decoded row becomes 32-bit pixels. Each row is decoded to the start
// of its own scan line, in the layout Qt's reader gives, and widened there.
enum class Layout {
  kOpaque,  // blue, green, red, 0xFF already
  kAlpha,   // blue, green, red, alpha: the alpha is dropped
  kBytes,   // one byte per pixel, looked up in the table
  kBits,    // one bit per pixel, most significant first, looked up in the table
};

// libpng's handles; destroyed however the decoding ends.
struct PngHandles {
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_infop end = nullptr;
  ~PngHandles() {
    if (png != nullptr)
      png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, end != nullptr ? &end : nullptr);
  }
};

// What the decoding works on. It holds no object with a destructor, since a
// libpng error jumps straight out of the code that fills it in.
struct Job {
  png_structp png;
  png_infop info;
  png_infop end;
  int limitMb;
  QImage* image;
  int passes;
  Layout layout;
  uint32_t table[256];
  int colours;  // how many entries of the table a pixel may index
};

// False when a pixel indexes the table at or past `colours`: a palette
// file whose pixels use entries its palette does not have is invalid.
bool WidenRow(uint8_t* line, int width, Layout layout, const uint32_t* table, int colours) {
  int highest = 0;
  switch (layout) {
    case Layout::kOpaque:
      return true;
    case Layout::kAlpha:
      for (int x = 0; x < width; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, line + 4 * x, 4);
        pixel |= kFullAlpha;
        std::memcpy(line + 4 * x, &pixel, 4);
      }
      return true;
    case Layout::kBytes:
      // From the right, so no source byte is overwritten before it is read.
      for (int x = width - 1; x >= 0; --x) {
        highest = std::max<int>(highest, line[x]);
        const uint32_t pixel = table[line[x]];
        std::memcpy(line + 4 * x, &pixel, 4);
      }
      return highest < colours;
    case Layout::kBits:
      for (int x = width - 1; x >= 0; --x) {
        const int bit = (line[x >> 3] >> (7 - (x & 7))) & 1;
        highest = std::max(highest, bit);
        const uint32_t pixel = table[bit];
        std::memcpy(line + 4 * x, &pixel, 4);
      }
      return highest < colours;
  }
  return false;
}

void GreyTable(uint32_t* table, int colours) {
  for (int i = 0; i < colours; ++i) {
    const uint32_t c = static_cast<uint32_t>(i * 255 / (colours - 1));
    table[i] = kFullAlpha | c << 16 | c << 8 | c;
  }
}

// Sets up libpng's transformations the way Qt's reader does for the same
// file, so that the decoded rows and every error libpng raises are the same,
// and fills in how the rows are widened. False for a file not read.
bool SetUpRows(Job& job, png_uint_32 width, png_uint_32 height) {
  png_structp png = job.png;
  png_infop info = job.info;
  int bitDepth = 0;
  int colourType = 0;
  png_get_IHDR(png, info, nullptr, nullptr, &bitDepth, &colourType, nullptr, nullptr, nullptr);
  png_bytep transAlpha = nullptr;
  png_color_16p transColour = nullptr;
  int transCount = 0;
  const bool hasTrans = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  job.passes = png_set_interlace_handling(png);

  // Decoded at the final size only, so the limit is checked once for the
  // 32-bit image, before anything is allocated for it.
  if (job.limitMb > 0 && uint64_t{width} * height * 4 > (uint64_t{static_cast<unsigned>(job.limitMb)} << 20)) {
    return false;
  }

  if (colourType == PNG_COLOR_TYPE_GRAY) {
    if (bitDepth == 1) {
      // Read as bits with 1 for black and 0 for white; transparency only
      // changes the alpha of one of the two, which is dropped.
      png_set_invert_mono(png);
      png_read_update_info(png, info);
      job.table[0] = kWhite;
      job.table[1] = kBlack;
      job.layout = Layout::kBits;
    } else if (bitDepth == 16) {
      // Rounded to 8 bits as Qt's reader and conversion round them. The
      // transparent grey, when given, keeps its grey: Qt's reader gives it
      // as transparent grey, not black as at 8 bits, and the alpha is dropped.
      png_set_scale_16(png);
      png_read_update_info(png, info);
      GreyTable(job.table, 256);
      job.layout = Layout::kBytes;
    } else if (bitDepth == 8 && !hasTrans) {
      png_set_expand(png);
      png_read_update_info(png, info);
      GreyTable(job.table, 256);
      job.layout = Layout::kBytes;
    } else {
      // Grey levels spread over 0..255. The transparent grey, when given,
      // becomes transparent black, and so black once the alpha is dropped.
      if (bitDepth < 8) png_set_packing(png);
      const int colours = bitDepth < 8 ? 1 << bitDepth : 256;
      png_read_update_info(png, info);
      GreyTable(job.table, colours);
      if (png_get_tRNS(png, info, &transAlpha, &transCount, &transColour) != 0 && transColour != nullptr &&
          transColour->gray < colours) {
        job.table[transColour->gray] = kBlack;
      }
      job.layout = Layout::kBytes;
    }
  } else if (colourType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int paletteSize = 0;
    if (png_get_PLTE(png, info, &palette, &paletteSize) == 0 || paletteSize > 256 || paletteSize < 1) return false;
    if (bitDepth != 1) png_set_packing(png);
    png_read_update_info(png, info);
    png_get_IHDR(png, info, nullptr, nullptr, &bitDepth, nullptr, nullptr, nullptr, nullptr);
    png_get_PLTE(png, info, &palette, &paletteSize);
    // Transparency only sets the alpha of palette entries, which is dropped.
    // A pixel that indexes past the palette makes the file invalid.
    for (int i = 0; i < paletteSize; ++i) {
      const png_color& c = palette[i];
      job.table[i] = kFullAlpha | uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | uint32_t{c.blue};
    }
    job.colours = paletteSize;
    png_set_bgr(png);
    job.layout = bitDepth == 1 ? Layout::kBits : Layout::kBytes;
  } else {
    // RGB, RGBA and grey with alpha, as blue, green, red and alpha or a
    // filler byte. 16-bit channels are rounded to the nearest of 256 levels,
    // as Qt's conversion to 32 bits rounds them; a transparent colour only
    // sets an alpha, which is dropped. (Qt's own reader mixes up the channels
    // of 16-bit RGB files with a transparent colour, so these are read here
    // as if the colour were not given.)
    if (bitDepth == 16) png_set_scale_16(png);
    png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    job.layout = Layout::kAlpha;
    if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && !hasTrans) {
      png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
      job.layout = Layout::kOpaque;
    }
    png_set_bgr(png);
    png_read_update_info(png, info);
  }

  const size_t expected = job.layout == Layout::kBits    ? (size_t{width} + 7) / 8
                          : job.layout == Layout::kBytes ? size_t{width}
                                                         : size_t{width} * 4;
  return png_get_rowbytes(png, info) == expected;
}

// How many rows of the file hold image data: all of them, or the rows of
// each pass of an interlaced file that has pixels in it.
uint64_t DataRows(png_uint_32 width, png_uint_32 height, bool interlaced) {
  if (!interlaced) return height;
  uint64_t rows = 0;
  for (int pass = 0; pass < 7; ++pass) {
    if (PNG_PASS_COLS(width, pass) > 0) rows += PNG_PASS_ROWS(height, pass);
  }
  return rows;
}

// Everything that may raise a libpng error. False for a file not read.
bool DecodeRows(Job& job) {
  png_structp png = job.png;
  png_read_info(png, job.info);

  png_uint_32 width = 0;
  png_uint_32 height = 0;
  png_get_IHDR(png, job.info, &width, &height, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  if (!SetUpRows(job, width, height)) return false;
  const bool interlaced = png_get_interlace_type(png, job.info) != PNG_INTERLACE_NONE;
  static_cast<DeviceSource*>(png_get_io_ptr(png))->ExpectRows(DataRows(width, height, interlaced));

  const bool reuse = job.image->width() == static_cast<int>(width) && job.image->height() == static_cast<int>(height) &&
                     job.image->format() == QImage::Format_RGB32;
  if (!reuse) *job.image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  if (job.image->isNull()) return false;
  uchar* bits = job.image->bits();
  const qsizetype stride = job.image->bytesPerLine();
  for (int pass = 0; pass < job.passes; ++pass) {
    const bool last = pass == job.passes - 1;
    for (png_uint_32 y = 0; y < height; ++y) {
      uchar* line = bits + static_cast<qsizetype>(y) * stride;
      png_read_row(png, line, nullptr);
      // Rows of an interlaced file are complete only after the last pass.
      if (last && !WidenRow(line, static_cast<int>(width), job.layout, job.table, job.colours)) return false;
    }
  }
  // The chunks after the image are read as leniently as ever.
  png_set_benign_errors(png, 1);
  png_read_end(png, job.end);
  return true;
}

// libpng reports an error by jumping back into this frame, which therefore
// holds nothing that needs destroying.
bool DecodeGuarded(Job& job) {
  if (setjmp(png_jmpbuf(job.png)) != 0) return false;
  return DecodeRows(job);
}

void CopyTexts(png_structp png, png_infop info, QImage& image) {
  png_textp texts = nullptr;
  int count = 0;
  png_get_text(png, info, &texts, &count);
  for (int i = 0; i < count; ++i) {
    const png_text& text = texts[i];
    const QString key = QString::fromLatin1(text.key);
#ifdef PNG_iTXt_SUPPORTED
    if (text.itxt_length != 0) {
      image.setText(key, QString::fromUtf8(text.text, static_cast<qsizetype>(text.itxt_length)));
      continue;
    }
#endif
    image.setText(key, QString::fromLatin1(text.text, static_cast<qsizetype>(text.text_length)));
  }
}

// The colour space Qt's reader gives a file: an ICC profile it can parse
// first, then an sRGB chunk, then a gamma with the chromaticities (or sRGB's
// primaries without them). Null when the file gives none.
QColorSpace ReadColourSpace(png_structp png, png_infop info) {
  QColorSpace space;
#ifdef PNG_iCCP_SUPPORTED
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  if (png_get_iCCP(png, info, &name, &compression, &profile, &length) != 0) {
    space = QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(profile), length));
    if (space.isValid()) {
      if (space.description().isEmpty()) space.setDescription(QString::fromLatin1(name));
      return space;
    }
  }
#endif
  int intent = -1;
  if (png_get_sRGB(png, info, &intent) != 0 && intent >= 0 && intent <= 3) return QColorSpace(QColorSpace::SRgb);
  // The chunk holds the encoding exponent; the colour space takes its
  // inverse, in single precision as Qt's reader computes it.
  double fileGamma = 0.0;
  if (png_get_gAMA(png, info, &fileGamma) == 0 || static_cast<float>(fileGamma) <= 0.0f) return QColorSpace();
  const float gamma = 1.0f / static_cast<float>(fileGamma);
  double white[2] = {};
  double red[2] = {};
  double green[2] = {};
  double blue[2] = {};
  if (png_get_cHRM(png, info, &white[0], &white[1], &red[0], &red[1], &green[0], &green[1], &blue[0], &blue[1]) != 0) {
    space = QColorSpace(QPointF(white[0], white[1]), QPointF(red[0], red[1]), QPointF(green[0], green[1]),
                        QPointF(blue[0], blue[1]), QColorSpace::TransferFunction::Gamma, gamma);
    if (space.isValid()) return space;
  }
  return QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma, gamma);
}

}  // namespace

QImage ReadPngAsRgb32(QIODevice& device, int allocationLimitMb, QImage scratch) {
  // The byte order above is that of little-endian machines.
  if constexpr (std::endian::native != std::endian::little) return QImage();
  if (!device.isReadable()) return QImage();
  DeviceSource source(&device);

  PngHandles handles;
  handles.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (handles.png == nullptr) return QImage();
  handles.info = png_create_info_struct(handles.png);
  handles.end = png_create_info_struct(handles.png);
  if (handles.info == nullptr || handles.end == nullptr) return QImage();
#if defined(PNG_SET_OPTION_SUPPORTED) && defined(PNG_MAXIMUM_INFLATE_WINDOW)
  // As Qt's reader: accept streams that claim too small a window.
  png_set_option(handles.png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
#endif
  // At most 1,000 text and other ancillary chunks kept, none of whose
  // data, once inflated, takes more than 8 MB: whatever a build of libpng
  // sets by itself.
  png_set_chunk_cache_max(handles.png, 1000);
  png_set_chunk_malloc_max(handles.png, 8'000'000);
  png_set_read_fn(handles.png, &source, ReadFromSource);
  // Tells the source when the image is complete.
  png_set_read_user_transform_fn(handles.png, OnRowDecoded);

  QImage image = std::move(scratch);
  Job job{handles.png, handles.info, handles.end, allocationLimitMb, &image, 1, Layout::kOpaque, {}, 256};
  if (!DecodeGuarded(job)) return QImage();

  image.setDotsPerMeterX(static_cast<int>(png_get_x_pixels_per_meter(handles.png, handles.info)));
  image.setDotsPerMeterY(static_cast<int>(png_get_y_pixels_per_meter(handles.png, handles.info)));
  png_int_32 offsetX = 0;
  png_int_32 offsetY = 0;
  int offsetUnit = PNG_OFFSET_PIXEL;
  png_get_oFFs(handles.png, handles.info, &offsetX, &offsetY, &offsetUnit);
  if (offsetUnit == PNG_OFFSET_PIXEL) image.setOffset(QPoint(offsetX, offsetY));
  // Texts before the image data first, then those after it.
  CopyTexts(handles.png, handles.info, image);
  CopyTexts(handles.png, handles.end, image);
  const QColorSpace space = ReadColourSpace(handles.png, handles.info);
  if (space.isValid()) image.setColorSpace(space);
  return image;
}
