#include "framework/bitmap.h"
#include "framework/pngdecode.h"
#include "framework/pngfast.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <png.h>
#include <spng.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

// Decoding one drawing from its file into 32-bit blue, green, red, 0xFF
// pixels, by each decoder on offer. Every run reads the file afresh (from the
// page cache) and ends with the full-size 32-bit image.

namespace {

// Argument 0: a sample drawing as committed. Argument 1: the same drawing
// with light noise over the page, as a scanned drawing has, which makes the
// file some fifty times larger and the inflating far more work.
QString DrawingPath(int which) {
  const QString sample = QStringLiteral(VARENKO_SOURCE_DIR "/samples/widespread.png");
  if (which == 0) return sample;
  static QTemporaryDir dir;
  static const QString noisy = [&] {
    QImage image(sample);
    image = image.convertToFormat(QImage::Format_ARGB32);
    QRandomGenerator random(2024);
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<uint8_t*>(image.scanLine(y));
      for (int x = 0; x < image.width() * 4; ++x) {
        if ((x & 3) == 3) continue;
        const int value = line[x] + static_cast<int>(random.bounded(7)) - 3;
        line[x] = static_cast<uint8_t>(std::clamp(value, 0, 255));
      }
    }
    const QString path = dir.filePath(QStringLiteral("noisy.png"));
    QImageWriter(path, "png").write(image);
    return path;
  }();
  return noisy;
}

void Label(benchmark::State& state) {
  const QString path = DrawingPath(static_cast<int>(state.range(0)));
  state.SetLabel(
      QStringLiteral("%1, %2 KB").arg(QFileInfo(path).fileName()).arg(QFileInfo(path).size() / 1024).toStdString());
}

// Qt's reader, then the 32-bit conversion: into a second image, as the
// Bitmap constructor converts what Bitmap::FromFile used to read
// (argument 1 = 0), or in place over the decoded image (argument 1 = 1).
void BM_DecodeQt(benchmark::State& state) {
  Label(state);
  const QString path = DrawingPath(static_cast<int>(state.range(0)));
  const bool inPlace = state.range(1) == 1;
  QImageReader::setAllocationLimit(kImageAllocationLimitMb);
  for (auto _ : state) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    if (inPlace) {
      QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
      benchmark::DoNotOptimize(image.constBits());
    } else {
      const Bitmap bitmap(reader.read());
      benchmark::DoNotOptimize(bitmap.Image().constBits());
    }
  }
}
BENCHMARK(BM_DecodeQt)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// libpng's simplified interface writing blue, green, red, alpha into the
// image, then the alpha forced to 0xFF.
void BM_DecodeLibpngSimplified(benchmark::State& state) {
  Label(state);
  const QByteArray path = QFile::encodeName(DrawingPath(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&png, path.constData()) == 0) state.SkipWithError("begin");
    png.format = PNG_FORMAT_BGRA;
    QImage image(static_cast<int>(png.width), static_cast<int>(png.height), QImage::Format_RGB32);
    if (png_image_finish_read(&png, nullptr, image.bits(), static_cast<png_int_32>(image.bytesPerLine()), nullptr) ==
        0) {
      state.SkipWithError("finish");
    }
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) line[x] |= 0xFF000000u;
    }
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_DecodeLibpngSimplified)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

[[noreturn]] void JumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

// One of the ways of turning a decoded row into blue, green, red, 0xFF.
enum class Rows {
  kBgrThenOpaque,        // libpng swaps to blue, green, red, alpha; alpha forced afterwards
  kStripAlphaAddFiller,  // libpng swaps, drops the alpha and adds a 0xFF filler
  kRawThenSwizzle,       // libpng gives red, green, blue, alpha; one loop of ours rearranges
};

bool DecodeClassic(FILE* file, QImage& image, Rows rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  const int width = static_cast<int>(png_get_image_width(png, info));
  const int height = static_cast<int>(png_get_image_height(png, info));
  if (rows != Rows::kRawThenSwizzle) png_set_bgr(png);
  if (rows == Rows::kStripAlphaAddFiller) {
    png_set_strip_alpha(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  }
  png_read_update_info(png, info);
  image = QImage(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
    png_read_row(png, reinterpret_cast<png_bytep>(line), nullptr);
    if (rows == Rows::kBgrThenOpaque) {
      for (int x = 0; x < width; ++x) line[x] |= 0xFF000000u;
    } else if (rows == Rows::kRawThenSwizzle) {
      for (int x = 0; x < width; ++x) {
        const uint32_t p = line[x];
        line[x] = 0xFF000000u | (p & 0xFFu) << 16 | (p & 0xFF00u) | (p >> 16 & 0xFFu);
      }
    }
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// libpng's classic interface, row by row into the image's scan lines.
void BM_DecodeLibpngClassic(benchmark::State& state) {
  const QByteArray path = QFile::encodeName(DrawingPath(static_cast<int>(state.range(0))));
  const auto rows = static_cast<Rows>(state.range(1));
  Label(state);
  for (auto _ : state) {
    FILE* file = std::fopen(path.constData(), "rb");
    QImage image;
    if (file == nullptr || !DecodeClassic(file, image, rows)) state.SkipWithError("decode");
    if (file != nullptr) std::fclose(file);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_DecodeLibpngClassic)->ArgsProduct({{0, 1}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

void SwizzleRgba(const uint8_t* in, uint32_t* out, int width) {
  for (int x = 0; x < width; ++x) {
    uint32_t p;
    std::memcpy(&p, in + 4 * x, 4);
    out[x] = 0xFF000000u | (p & 0xFFu) << 16 | (p & 0xFF00u) | (p >> 16 & 0xFFu);
  }
}

// libspng, which gives red, green, blue, alpha: row by row into a small
// buffer and rearranged into the scan line (argument 1 = 0), or the whole
// image at once into the image and rearranged in place (argument 1 = 1).
void BM_DecodeSpng(benchmark::State& state) {
  const QByteArray path = QFile::encodeName(DrawingPath(static_cast<int>(state.range(0))));
  const bool whole = state.range(1) == 1;
  Label(state);
  for (auto _ : state) {
    FILE* file = std::fopen(path.constData(), "rb");
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_file(ctx, file);
    spng_ihdr ihdr{};
    if (spng_get_ihdr(ctx, &ihdr) != 0) state.SkipWithError("ihdr");
    const int width = static_cast<int>(ihdr.width);
    const int height = static_cast<int>(ihdr.height);
    QImage image(width, height, QImage::Format_RGB32);
    if (whole) {
      const size_t size = static_cast<size_t>(image.sizeInBytes());
      if (spng_decode_image(ctx, image.bits(), size, SPNG_FMT_RGBA8, 0) != 0) state.SkipWithError("decode");
      for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        SwizzleRgba(reinterpret_cast<const uint8_t*>(line), line, width);
      }
    } else {
      std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
      if (spng_decode_image(ctx, nullptr, 0, SPNG_FMT_RGBA8, SPNG_DECODE_PROGRESSIVE) != 0) {
        state.SkipWithError("start");
      }
      for (int y = 0; y < height; ++y) {
        const int error = spng_decode_row(ctx, row.data(), row.size());
        if (error != 0 && error != SPNG_EOI) state.SkipWithError("row");
        SwizzleRgba(row.data(), reinterpret_cast<uint32_t*>(image.scanLine(y)), width);
      }
    }
    spng_ctx_free(ctx);
    std::fclose(file);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_DecodeSpng)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// The program's own decoder, and Bitmap::FromFile as the program calls it.
void BM_DecodeReadPng(benchmark::State& state) {
  Label(state);
  const QString path = DrawingPath(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) state.SkipWithError("open");
    QImage image = ReadPngAsRgb32(file, kImageAllocationLimitMb);
    if (image.isNull()) state.SkipWithError("decode");
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_DecodeReadPng)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

// The quick path: the file read whole, inflated in one call, unfiltered
// straight into the pixels.
void BM_DecodeQuick(benchmark::State& state) {
  Label(state);
  const QString path = DrawingPath(static_cast<int>(state.range(0)));
  QImage image(3508, 2480, QImage::Format_RGB32);
  const BitmapData out{image.bits(), image.bytesPerLine(), image.width(), image.height()};
  PngScratch scratch;
  for (auto _ : state) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) state.SkipWithError("open");
    const QByteArray bytes = file.readAll();
    if (!DecodePngFast(
            std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())), out,
            scratch)) {
      state.SkipWithError("decode");
    }
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_DecodeQuick)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

void BM_DecodeFromFile(benchmark::State& state) {
  Label(state);
  const QString path = DrawingPath(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::unique_ptr<Bitmap> bitmap = Bitmap::FromFile(path);
    if (bitmap->IsEmpty()) state.SkipWithError("decode");
    benchmark::DoNotOptimize(bitmap.get());
  }
}
BENCHMARK(BM_DecodeFromFile)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

}  // namespace
