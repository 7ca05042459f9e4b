#include "framework/bitmap.h"
#include "framework/pngdecode.h"
#include "tests/support/testsupport.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include <gtest/gtest.h>
#include <png.h>

#include <zlib.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

// What Bitmap::FromFile gave before PNG files were decoded on their own.
// Qt's reader takes a scale from a name with '@', which the program does not
// use; the decoder has no name and gives 1.
QImage ReadWithQt(const QString& path) {
  QImageReader::setAllocationLimit(kImageAllocationLimitMb);
  QImageReader reader(path);
  reader.setAutoTransform(false);
  QImage image = reader.read();
  if (image.isNull()) return image;
  image.setDevicePixelRatio(1);
  return image.convertToFormat(QImage::Format_RGB32);
}

// The decoder on a file opened as Bitmap opens it.
QImage Decode(const QString& path, int limitMb = kImageAllocationLimitMb) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return QImage();
  return ReadPngAsRgb32(file, limitMb);
}

// Same pixels, fourth byte included, and the same metadata.
void ExpectSameImage(const QImage& got, const QImage& want) {
  ASSERT_EQ(got.isNull(), want.isNull());
  if (want.isNull()) return;
  ASSERT_EQ(got.format(), QImage::Format_RGB32);
  ASSERT_EQ(got.size(), want.size());
  for (int y = 0; y < want.height(); ++y) {
    const uchar* a = got.constScanLine(y);
    const uchar* b = want.constScanLine(y);
    if (std::memcmp(a, b, static_cast<size_t>(want.width()) * 4) == 0) continue;
    int x = 0;
    while (std::memcmp(a + 4 * x, b + 4 * x, 4) == 0) ++x;
    FAIL() << "pixel " << x << "," << y << " is " << std::hex << got.pixel(x, y) << ", Qt gives " << want.pixel(x, y);
  }
  EXPECT_EQ(got.dotsPerMeterX(), want.dotsPerMeterX());
  EXPECT_EQ(got.dotsPerMeterY(), want.dotsPerMeterY());
  EXPECT_EQ(got.offset(), want.offset());
  EXPECT_EQ(got.textKeys(), want.textKeys());
  for (const QString& key : want.textKeys()) EXPECT_EQ(got.text(key), want.text(key)) << key.toStdString();
  EXPECT_EQ(got.colorSpace(), want.colorSpace());
  EXPECT_EQ(got.devicePixelRatio(), want.devicePixelRatio());
}

// Checks the file against Qt both through the decoder and through
// Bitmap::FromFile, and whether the decoder took it on itself.
void ExpectAsQt(const QString& path, bool decodedHere) {
  SCOPED_TRACE(QFileInfo(path).fileName().toStdString());
  const QImage qt = ReadWithQt(path);
  const QImage fast = Decode(path);
  EXPECT_EQ(!fast.isNull(), decodedHere);
  if (!fast.isNull()) ExpectSameImage(fast, qt);
  ExpectSameImage(Bitmap::FromFile(path)->Image(), qt);
}

// A PNG written by libpng with random samples of the given kind.
struct PngKind {
  const char* name;
  int colourType;
  int bitDepth = 8;
  int width = 37;
  int height = 9;
  bool interlaced = false;
  int paletteSize = 0;         // entries; samples may point past them
  int transparentEntries = 0;  // palette alphas, cycling 0, 1, 128, 255
  bool transparentColour = false;
  bool gamma = false;
  bool srgb = false;
  bool textAfterData = false;
  bool decodedHere = true;
};

[[noreturn]] void JumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

bool WriteGuarded(FILE* file, const PngKind& kind, png_bytepp rows, png_colorp palette, png_bytep alphas,
                  png_color_16p colour, png_textp text) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  // Lets palette indices point past the palette, as some files do.
  png_set_benign_errors(png, 1);
  png_set_IHDR(png, info, kind.width, kind.height, kind.bitDepth, kind.colourType,
               kind.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (kind.paletteSize > 0) png_set_PLTE(png, info, palette, kind.paletteSize);
  if (kind.transparentEntries > 0) png_set_tRNS(png, info, alphas, kind.transparentEntries, nullptr);
  if (kind.transparentColour) png_set_tRNS(png, info, nullptr, 0, colour);
  if (kind.gamma) png_set_gAMA(png, info, 1 / 2.2);
  if (kind.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  png_write_info(png, info);
  if (kind.bitDepth < 8) png_set_packing(png);
  png_write_image(png, rows);
  if (kind.textAfterData) png_set_text(png, info, text, 1);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

QString WritePng(const PngKind& kind) {
  static const int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
  const int channels = kChannels[kind.colourType];
  const int bytes = kind.bitDepth == 16 ? 2 : 1;
  const size_t rowSize = static_cast<size_t>(kind.width) * channels * bytes;
  std::mt19937 random(static_cast<unsigned>(kind.width * 131 + kind.height + kind.colourType * 7 + kind.bitDepth));
  std::vector<uint8_t> pixels(rowSize * kind.height);
  const bool alpha = (kind.colourType & PNG_COLOR_MASK_ALPHA) != 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const bool alphaSample = alpha && (i / bytes) % channels == static_cast<size_t>(channels - 1);
    const uint8_t alphas[] = {0, 1, 128, 255};
    pixels[i] =
        alphaSample ? alphas[random() % 4] : static_cast<uint8_t>(random() % (1u << std::min(kind.bitDepth, 8)));
  }
  std::vector<png_bytep> rows;
  for (int y = 0; y < kind.height; ++y) rows.push_back(pixels.data() + y * rowSize);
  std::vector<png_color> palette;
  for (int i = 0; i < std::max(kind.paletteSize, 1); ++i) {
    palette.push_back({static_cast<png_byte>(random()), static_cast<png_byte>(random()), static_cast<png_byte>(i)});
  }
  std::vector<png_byte> alphas;
  for (int i = 0; i < std::max(kind.transparentEntries, 1); ++i) alphas.push_back(std::array{0, 1, 128, 255}[i % 4]);
  png_color_16 colour{0, 1, 2, 3, 1};
  char key[] = "Comment";
  char value[] = "written after the image";
  png_text text{PNG_TEXT_COMPRESSION_NONE, key, value, sizeof value - 1, 0, nullptr, nullptr};

  const QString path = TempDir() + QStringLiteral("/%1.png").arg(QLatin1String(kind.name));
  FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return path;
  EXPECT_TRUE(WriteGuarded(file, kind, rows.data(), palette.data(), alphas.data(), &colour, &text)) << kind.name;
  std::fclose(file);
  return path;
}

TEST(PngDecode, EveryKindOfPngGivesQtsBytes) {
  const PngKind kinds[] = {
      {.name = "rgb", .colourType = PNG_COLOR_TYPE_RGB},
      {.name = "rgb_1x1", .colourType = PNG_COLOR_TYPE_RGB, .width = 1, .height = 1},
      {.name = "rgb_wide", .colourType = PNG_COLOR_TYPE_RGB, .width = 3508, .height = 2},
      {.name = "rgb_interlaced", .colourType = PNG_COLOR_TYPE_RGB, .interlaced = true},
      {.name = "rgb_interlaced_3x1", .colourType = PNG_COLOR_TYPE_RGB, .width = 3, .height = 1, .interlaced = true},
      {.name = "rgb_transparent_colour", .colourType = PNG_COLOR_TYPE_RGB, .transparentColour = true},
      {.name = "rgba", .colourType = PNG_COLOR_TYPE_RGB_ALPHA},
      {.name = "rgba_3x7", .colourType = PNG_COLOR_TYPE_RGB_ALPHA, .width = 3, .height = 7},
      {.name = "rgba_interlaced", .colourType = PNG_COLOR_TYPE_RGB_ALPHA, .width = 9, .height = 17, .interlaced = true},
      {.name = "grey1", .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 1},
      {.name = "grey1_transparent", .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 1, .transparentColour = true},
      {.name = "grey2", .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 2},
      {.name = "grey4_transparent", .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 4, .transparentColour = true},
      {.name = "grey8", .colourType = PNG_COLOR_TYPE_GRAY, .width = 256, .height = 3},
      {.name = "grey8_transparent",
       .colourType = PNG_COLOR_TYPE_GRAY,
       .width = 256,
       .height = 3,
       .transparentColour = true},
      {.name = "grey8_interlaced", .colourType = PNG_COLOR_TYPE_GRAY, .width = 9, .interlaced = true},
      {.name = "grey_alpha", .colourType = PNG_COLOR_TYPE_GRAY_ALPHA},
      {.name = "palette1", .colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 1, .paletteSize = 2},
      {.name = "palette2_short", .colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 2, .paletteSize = 3},
      {.name = "palette4_transparent",
       .colourType = PNG_COLOR_TYPE_PALETTE,
       .bitDepth = 4,
       .paletteSize = 16,
       .transparentEntries = 16},
      {.name = "palette8_short_transparent",
       .colourType = PNG_COLOR_TYPE_PALETTE,
       .width = 64,
       .paletteSize = 100,
       .transparentEntries = 7},
      {.name = "palette8_interlaced",
       .colourType = PNG_COLOR_TYPE_PALETTE,
       .interlaced = true,
       .paletteSize = 256,
       .transparentEntries = 3},
      {.name = "text_after_data", .colourType = PNG_COLOR_TYPE_RGB, .textAfterData = true},
      // Left to Qt.
      {.name = "rgb16", .colourType = PNG_COLOR_TYPE_RGB, .bitDepth = 16, .decodedHere = false},
      {.name = "rgba16", .colourType = PNG_COLOR_TYPE_RGB_ALPHA, .bitDepth = 16, .decodedHere = false},
      {.name = "grey16", .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 16, .decodedHere = false},
      {.name = "grey_alpha16", .colourType = PNG_COLOR_TYPE_GRAY_ALPHA, .bitDepth = 16, .decodedHere = false},
      {.name = "palette1_one_entry",
       .colourType = PNG_COLOR_TYPE_PALETTE,
       .bitDepth = 1,
       .paletteSize = 1,
       .decodedHere = false},
      {.name = "gamma", .colourType = PNG_COLOR_TYPE_RGB_ALPHA, .gamma = true, .decodedHere = false},
      {.name = "srgb", .colourType = PNG_COLOR_TYPE_RGB, .srgb = true, .decodedHere = false},
  };
  for (const PngKind& kind : kinds) ExpectAsQt(WritePng(kind), kind.decodedHere);
}

TEST(PngDecode, QtWrittenFilesGiveQtsBytesAndMetadata) {
  QImage colours(41, 13, QImage::Format_ARGB32);
  std::mt19937 random(7);
  for (int y = 0; y < colours.height(); ++y) {
    for (int x = 0; x < colours.width(); ++x)
      colours.setPixel(x, y, random() | (std::array{0u, 1u, 128u, 255u}[x % 4] << 24));
  }
  QImage marked = colours.convertToFormat(QImage::Format_RGB32);
  marked.setOffset(QPoint(-3, 12));
  marked.setDotsPerMeterX(11811);
  marked.setDotsPerMeterY(5905);
  marked.setText(QStringLiteral("Title"), QStringLiteral("short"));
  marked.setText(QStringLiteral("Description"), QStringLiteral("long enough to be written compressed, so zTXt"));
  marked.setText(QStringLiteral("Author"), QStringLiteral("Zoë Łukasiewicz, 東京"));
  const std::pair<const char*, QImage> images[] = {
      {"argb", colours},
      {"rgb_with_metadata", marked},
      {"rgb888", colours.convertToFormat(QImage::Format_RGB888)},
      {"indexed", colours.convertToFormat(QImage::Format_Indexed8)},
      {"grayscale", colours.convertToFormat(QImage::Format_Grayscale8)},
      {"mono", colours.convertToFormat(QImage::Format_Mono)},
  };
  for (const auto& [name, image] : images) ExpectAsQt(SavePng(image, QLatin1String(name)), true);
  ExpectAsQt(SavePng(colours, QStringLiteral("drawing@2x.png")), true);
}

TEST(PngDecode, SampleDrawingsGiveQtsBytes) {
  const QStringList names = QDir(SourcePath(QStringLiteral("samples"))).entryList({QStringLiteral("*.png")});
  ASSERT_GE(names.size(), 10);
  for (const QString& name : names) {
    ExpectAsQt(SourcePath(QStringLiteral("samples/") + name), name != QStringLiteral("notes.png"));
  }
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Offset of the first chunk of the given type.
qsizetype FindChunk(const QByteArray& png, const char* type) { return png.indexOf(type) - 4; }

TEST(PngDecode, DamagedFilesEndAsQtEndsThem) {
  // Noise compresses badly, so the image data spans several chunks.
  const QByteArray good =
      ReadAll(WritePng({.name = "noisy", .colourType = PNG_COLOR_TYPE_RGB_ALPHA, .width = 300, .height = 200}));
  const qsizetype idat = FindChunk(good, "IDAT");
  const qsizetype iend = FindChunk(good, "IEND");
  ASSERT_GT(idat, 0);
  ASSERT_GT(good.indexOf("IDAT", idat + 8), idat);
  const qsizetype idatCrc = idat + 8 + qFromBigEndian<quint32>(good.constData() + idat);
  auto flipped = [&good](qsizetype at) {
    QByteArray bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
    return bytes;
  };
  // Qt's reader supplies the last four bytes when only they are missing;
  // the decoder leaves that file to it.
  const struct {
    const char* name;
    QByteArray bytes;
    bool empty;
    bool decodedHere;
  } cases[] = {
      {"signature_only.png", good.left(8), true, false},
      {"header_only.png", good.left(33), true, false},
      {"cut_in_first_data.png", good.left(idat + 100), true, false},
      {"cut_in_last_data.png", good.left(iend - 100), true, false},
      {"cut_before_end.png", good.left(iend), true, false},
      {"end_without_crc.png", good.left(good.size() - 4), false, false},
      {"bad_header_crc.png", flipped(29), true, false},
      {"bad_data_crc.png", flipped(idatCrc), true, false},
      {"bad_data.png", flipped(idat + 40), true, false},
      {"trailing_bytes.png", good + QByteArray(100, 'x'), false, true},
  };
  for (const auto& c : cases) {
    const QString path = SaveText(QLatin1String(c.name), QString(), c.bytes);
    ExpectAsQt(path, c.decodedHere);
    EXPECT_EQ(Bitmap::FromFile(path)->IsEmpty(), c.empty) << c.name;
  }
}

TEST(PngDecode, RefusesSizesBeyondTheAllocationLimit) {
  // 512 x 512 pixels take exactly 1 MB at 32 bits; one more row is too many.
  for (const int height : {512, 513}) {
    const QString path = WritePng({.name = height == 512 ? "limit_512" : "limit_513",
                                   .colourType = PNG_COLOR_TYPE_RGB_ALPHA,
                                   .width = 512,
                                   .height = height});
    QImageReader::setAllocationLimit(1);
    QImageReader reader(path);
    const bool qtReads = !reader.read().isNull();
    QImageReader::setAllocationLimit(kImageAllocationLimitMb);
    EXPECT_EQ(qtReads, height == 512);
    EXPECT_EQ(!Decode(path, 1).isNull(), qtReads) << height;
  }
  // A header claiming 60000 x 60000 pixels over a tiny data chunk.
  QByteArray huge =
      ReadAll(WritePng({.name = "huge", .colourType = PNG_COLOR_TYPE_RGB_ALPHA, .width = 1, .height = 1}));
  const char side[] = {0, 0, static_cast<char>(0xEA), 0x60};
  huge.replace(16, 4, side, 4).replace(20, 4, side, 4);
  const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(huge.constData() + 12), 17));
  const char crcBytes[] = {static_cast<char>(crc >> 24), static_cast<char>(crc >> 16), static_cast<char>(crc >> 8),
                           static_cast<char>(crc)};
  const QString path = SaveText(QStringLiteral("huge.png"), QString(), huge.replace(29, 4, crcBytes, 4));
  EXPECT_TRUE(Decode(path).isNull());
  EXPECT_TRUE(Bitmap::FromFile(path)->IsEmpty());
}

TEST(PngDecode, PathsThatAreNoPngFileAreLeftToQt) {
  const QString dir = TempDir();
  const QByteArray png = ReadAll(WritePng({.name = "named", .colourType = PNG_COLOR_TYPE_RGB}));
  const QString paths[] = {
      SaveText(QStringLiteral("empty.png"), QString(), QByteArray()),
      dir,
      dir + QStringLiteral("/missing.png"),
      QString(),
      SourcePath(QStringLiteral("samples/notes.png")),
      // PNG bytes under other names: whatever Qt makes of them.
      SaveText(QStringLiteral("drawing.jpg"), QString(), png),
      SaveText(QStringLiteral("drawing.gif"), QString(), png),
      SaveText(QStringLiteral("drawing"), QString(), png),
      SaveText(QStringLiteral("drawing.PNG"), QString(), png),
  };
  for (const QString& path : paths) {
    SCOPED_TRACE(path.toStdString());
    ExpectSameImage(Bitmap::FromFile(path)->Image(), ReadWithQt(path));
  }
  EXPECT_TRUE(Decode(paths[0]).isNull());
}

TEST(PngDecode, DecodesOnSeveralThreadsAtOnce) {
  const QString rgba =
      WritePng({.name = "threads_rgba", .colourType = PNG_COLOR_TYPE_RGB_ALPHA, .width = 300, .height = 200});
  const QString files[] = {
      SourcePath(QStringLiteral("samples/widespread.png")),
      SourcePath(QStringLiteral("samples/outlined.png")),
      rgba,
      WritePng({.name = "threads_palette",
                .colourType = PNG_COLOR_TYPE_PALETTE,
                .bitDepth = 4,
                .width = 301,
                .height = 77,
                .interlaced = true,
                .paletteSize = 16,
                .transparentEntries = 5}),
      SaveText(QStringLiteral("threads_cut.png"), QString(), ReadAll(rgba).left(5000)),
  };
  std::vector<QImage> expected;
  for (const QString& file : files) expected.push_back(ReadWithQt(file));
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < std::size(files); ++i) {
          const size_t f = (i + t) % std::size(files);
          SCOPED_TRACE(files[f].toStdString());
          ExpectSameImage(Bitmap::FromFile(files[f])->Image(), expected[f]);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
}

}  // namespace
