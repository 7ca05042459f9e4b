#include "framework/bitmap.h"
#include "framework/pngdecode.h"
#include "framework/pngfast.h"
#include "tests/support/testsupport.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

// What Bitmap::FromFile gave before PNG files were decoded on their own.
// Qt's reader takes a scale from a name with '@', which the program does not
// use; the decoder has no name and gives 1.
QImage ReadWithQt(QImageReader& reader) {
  QImageReader::setAllocationLimit(kImageAllocationLimitMb);
  reader.setAutoTransform(false);
  QImage image = reader.read();
  if (image.isNull()) return image;
  image.setDevicePixelRatio(1);
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage ReadWithQt(const QString& path) {
  QImageReader reader(path);
  return ReadWithQt(reader);
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
    FAIL() << "pixel " << x << "," << y << " is " << std::hex << got.pixel(x, y) << ", expected " << want.pixel(x, y);
  }
  EXPECT_EQ(got.dotsPerMeterX(), want.dotsPerMeterX());
  EXPECT_EQ(got.dotsPerMeterY(), want.dotsPerMeterY());
  EXPECT_EQ(got.offset(), want.offset());
  EXPECT_EQ(got.textKeys(), want.textKeys());
  for (const QString& key : want.textKeys()) EXPECT_EQ(got.text(key), want.text(key)) << key.toStdString();
  EXPECT_EQ(got.colorSpace(), want.colorSpace());
  EXPECT_EQ(got.colorSpace().description(), want.colorSpace().description());
  EXPECT_EQ(got.devicePixelRatio(), want.devicePixelRatio());
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The quick path on the file's bytes: the image, or a null image when it
// declines the file. It decodes twice, in memory of its own and in the room
// after the pixels, and both must agree.
QImage DecodeQuickly(const QByteArray& file) {
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(file.constData()), static_cast<size_t>(file.size()));
  const std::optional<PngSize> size = ReadPngSize(bytes);
  if (!size || int64_t{size->width} * size->height > 100'000'000) return QImage();
  QImage image(size->width, size->height, QImage::Format_RGB32);
  PngScratch scratch;
  const BitmapData out{image.bits(), image.bytesPerLine(), image.width(), image.height()};
  const bool taken = DecodePngFast(bytes, out, scratch);
  const size_t room = PngScratch::RoomFor(size->width, size->height);
  std::vector<uint8_t> memory(static_cast<size_t>(size->width) * 4 * static_cast<size_t>(size->height) + room);
  const QImage inPlace(memory.data(), size->width, size->height, 4 * size->width, QImage::Format_RGB32);
  const BitmapData there{memory.data(), 4 * size->width, size->width, size->height};
  EXPECT_EQ(DecodePngFast(bytes, there, scratch, room), taken);
  if (taken) {
    EXPECT_TRUE(inPlace == image) << "decoded in place, the pixels differ";
  }
  return taken ? image : QImage();
}

// The quick path gives the pixels the thorough way gives wherever it takes
// a file; true when it took it.
bool ExpectQuickPathAgrees(const QByteArray& file, const QImage& want) {
  const QImage quick = DecodeQuickly(file);
  if (quick.isNull()) return false;
  EXPECT_FALSE(want.isNull());
  if (want.isNull()) return true;
  EXPECT_EQ(quick.size(), want.size());
  for (int y = 0; y < want.height() && quick.size() == want.size(); ++y) {
    if (std::memcmp(quick.constScanLine(y), want.constScanLine(y), static_cast<size_t>(want.width()) * 4) != 0) {
      ADD_FAILURE() << "the quick path differs in row " << y;
      break;
    }
  }
  return true;
}

QString CorpusPath(const QString& name) { return SourcePath(QStringLiteral("tests/data/png/") + name); }

// What becomes of a file of the corpus.
enum class Outcome {
  kAsQt,        // decoded here, as Qt's reader gives it
  kLeftToQt,    // refused here; Qt's reader reads it
  kAsTwin,      // decoded here as the twin file without the transparent colour (Qt's reader mixes it up)
  kUnreadable,  // neither reads it; Bitmap::FromFile gives an empty bitmap
};

TEST(PngDecode, CorpusFilesDecodeAsQtOrAsTheirTwin) {
  using enum Outcome;
  const struct {
    const char* name;
    Outcome outcome;
    const char* twin = nullptr;
  } files[] = {
      // Every colour type and depth, interlaced or not.
      {"grey1.png", kAsQt},
      {"grey1_trns.png", kAsQt},
      {"grey2.png", kAsQt},
      {"grey2_trns.png", kAsQt},
      {"grey4.png", kAsQt},
      {"grey4_trns.png", kAsQt},
      {"grey4_interlaced.png", kAsQt},
      {"grey8.png", kAsQt},
      {"grey8_256.png", kAsQt},
      {"grey8_trns.png", kAsQt},
      {"grey16.png", kAsQt},
      {"grey16_trns.png", kAsQt},
      {"grey_alpha8.png", kAsQt},
      {"grey_alpha16.png", kAsQt},
      {"grey_alpha16_interlaced.png", kAsQt},
      {"palette1.png", kAsQt},
      {"palette1_one_entry.png", kLeftToQt},
      {"palette2.png", kAsQt},
      {"palette2_short.png", kAsQt},
      {"palette4.png", kAsQt},
      {"palette8.png", kAsQt},
      {"palette8_short_trns.png", kAsQt},
      {"palette8_interlaced.png", kAsQt},
      {"rgb8.png", kAsQt},
      {"rgb8_1x1.png", kAsQt},
      {"rgb8_trns.png", kAsQt},
      {"rgb8_interlaced.png", kAsQt},
      {"rgb8_interlaced_3x1.png", kAsQt},
      {"rgba8.png", kAsQt},
      {"rgba8_interlaced.png", kAsQt},
      {"rgb16.png", kAsQt},
      {"rgb16_twin.png", kAsQt},
      {"rgb16_trns.png", kAsTwin, "rgb16_twin.png"},
      {"rgb16_interlaced.png", kAsQt},
      {"rgb16_trns_interlaced.png", kAsTwin, "rgb16_interlaced.png"},
      {"rgba16.png", kAsQt},
      // Texts, offset, resolution, a scale in the name, colour spaces.
      {"texts.png", kAsQt},
      {"qt_offset_resolution.png", kAsQt},
      {"scaled@2x.png", kAsQt},
      {"rgb8_icc.png", kLeftToQt},
      {"rgb8_gamma.png", kLeftToQt},
      {"rgb16_icc.png", kAsQt},
      {"rgb16_twin_icc.png", kAsQt},
      {"rgb16_trns_icc.png", kAsTwin, "rgb16_twin_icc.png"},
      {"rgba16_gamma.png", kAsQt},
      {"rgb16_gamma_chrm.png", kAsQt},
      {"grey16_srgb.png", kAsQt},
      // A drawing; white is the transparent colour of the last.
      {"drawing_rgb.png", kAsQt},
      {"drawing_rgba.png", kAsQt},
      {"drawing_palette.png", kAsQt},
      {"drawing_rgb16.png", kAsQt},
      {"drawing_rgb16_trns.png", kAsTwin, "drawing_rgb16.png"},
      // Damaged. Qt's reader supplies the last four bytes when only they
      // are missing.
      {"trailing_bytes.png", kAsQt},
      {"end_without_crc.png", kLeftToQt},
      {"empty.png", kUnreadable},
      {"not_png.png", kUnreadable},
      {"signature_only.png", kUnreadable},
      {"header_only.png", kUnreadable},
      {"cut_in_first_data.png", kUnreadable},
      {"cut_in_last_data.png", kUnreadable},
      {"cut_before_end.png", kUnreadable},
      {"bad_header_crc.png", kUnreadable},
      {"bad_data_crc.png", kUnreadable},
      {"bad_zlib_header.png", kUnreadable},
      {"rgb16_cut.png", kUnreadable},
      {"zero_width.png", kUnreadable},
      // A single pixel's data under a size beyond the allocation limit, and
      // under one just within it.
      {"huge_60000.png", kUnreadable},
      {"huge_11000.png", kUnreadable},
  };
  QStringList listed;
  for (const auto& file : files) listed.append(QString::fromUtf8(file.name));
  listed.sort();
  EXPECT_EQ(QDir(CorpusPath(QString())).entryList(QDir::Files, QDir::Name), listed);

  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const QString path = CorpusPath(QString::fromUtf8(file.name));
    const QImage qt = ReadWithQt(path);
    const QImage fast = Decode(path);
    const QImage bitmap = Bitmap::FromFile(path)->Image();
    const QByteArray bytes = ReadAll(path);
    const bool quick = ExpectQuickPathAgrees(bytes, file.outcome == kAsTwin ? bitmap : qt);
    // The quick path takes the intact 8-bit files that are not interlaced,
    // but for a short palette, which the thorough way reads.
    const bool eightBit = bytes.size() > 28 && bytes[24] == 8 && bytes[28] == 0;
    const bool declined = std::strstr(file.name, "short") != nullptr || std::strstr(file.name, "without") != nullptr;
    EXPECT_EQ(quick, eightBit && !declined && file.outcome != kUnreadable);
    switch (file.outcome) {
      case kAsQt:
        EXPECT_FALSE(fast.isNull());
        ExpectSameImage(fast, qt);
        ExpectSameImage(bitmap, qt);
        break;
      case kLeftToQt:
        EXPECT_TRUE(fast.isNull());
        EXPECT_FALSE(qt.isNull());
        ExpectSameImage(bitmap, qt);
        break;
      case kAsTwin: {
        const QImage twin = ReadWithQt(CorpusPath(QString::fromUtf8(file.twin)));
        ASSERT_FALSE(twin.isNull());
        ExpectSameImage(fast, twin);
        ExpectSameImage(bitmap, twin);
        break;
      }
      case kUnreadable:
        EXPECT_TRUE(fast.isNull());
        EXPECT_TRUE(qt.isNull());
        EXPECT_TRUE(bitmap.isNull());
        break;
    }
  }
}

// A PNG file of random 8-bit samples whose rows use the five filters in
// turn, so that every filter is undone on every pixel size.
QByteArray FilteredPng(uint8_t colourType, int width, int height, std::mt19937& random) {
  const int bpp = colourType == 0 || colourType == 3 ? 1 : colourType == 4 ? 2 : colourType == 2 ? 3 : 4;
  const auto rowBytes = static_cast<size_t>(width * bpp);
  std::vector<uint8_t> raw(rowBytes * static_cast<size_t>(height));
  for (uint8_t& byte : raw) byte = static_cast<uint8_t>(random() % (colourType == 3 ? 16 : 256));
  // Runs of equal pixels as on blank page, next to noise.
  for (size_t i = 0; i < raw.size() / 3; ++i) raw[i] = colourType == 3 ? 7 : 255;
  QByteArray filtered;
  std::vector<uint8_t> zeros(rowBytes);
  for (int y = 0; y < height; ++y) {
    const uint8_t filter = static_cast<uint8_t>(y % 5);
    const uint8_t* row = raw.data() + static_cast<size_t>(y) * rowBytes;
    const uint8_t* prior = y > 0 ? row - rowBytes : zeros.data();
    filtered += static_cast<char>(filter);
    for (size_t i = 0; i < rowBytes; ++i) {
      const int a = i >= static_cast<size_t>(bpp) ? row[i - bpp] : 0;
      const int c = i >= static_cast<size_t>(bpp) ? prior[i - bpp] : 0;
      const int b = prior[i];
      const int p = a + b - c;
      const int paeth = std::abs(p - a) <= std::abs(p - b) && std::abs(p - a) <= std::abs(p - c) ? a
                        : std::abs(p - b) <= std::abs(p - c)                                     ? b
                                                                                                 : c;
      const int predicted[] = {0, a, b, (a + b) / 2, paeth};
      filtered += static_cast<char>(row[i] - predicted[filter]);
    }
  }
  QByteArray png("\x89PNG\r\n\x1a\n", 8);
  auto chunk = [&png](const char* type, const QByteArray& body) {
    QByteArray typed = QByteArray(type, 4) + body;
    const auto length = qToBigEndian<quint32>(static_cast<quint32>(body.size()));
    const auto crc = qToBigEndian<quint32>(static_cast<quint32>(
        crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), static_cast<uInt>(typed.size()))));
    png += QByteArray(reinterpret_cast<const char*>(&length), 4) + typed +
           QByteArray(reinterpret_cast<const char*>(&crc), 4);
  };
  QByteArray header(13, '\0');
  const auto w = qToBigEndian<quint32>(static_cast<quint32>(width));
  const auto h = qToBigEndian<quint32>(static_cast<quint32>(height));
  std::memcpy(header.data(), &w, 4);
  std::memcpy(header.data() + 4, &h, 4);
  header[8] = 8;
  header[9] = static_cast<char>(colourType);
  chunk("IHDR", header);
  if (colourType == 3) {
    QByteArray palette;
    for (int i = 0; i < 48; ++i) palette += static_cast<char>(random());
    chunk("PLTE", palette);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
  QByteArray packed(static_cast<qsizetype>(packedSize), '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(filtered.constData()),
           static_cast<uLong>(filtered.size()));
  chunk("IDAT", packed.left(static_cast<qsizetype>(packedSize)));
  chunk("IEND", QByteArray());
  return png;
}

TEST(PngDecode, TheQuickPathUndoesEveryFilterOnEveryPixelSize) {
  std::mt19937 random(77);
  for (const uint8_t colourType : {0, 2, 3, 4, 6}) {
    for (const int width : {1, 5, 61}) {
      SCOPED_TRACE(testing::Message() << "colour type " << int{colourType} << ", width " << width);
      QByteArray png = FilteredPng(colourType, width, 15, random);
      QBuffer device(&png);
      device.open(QIODevice::ReadOnly);
      const QImage thorough = ReadPngAsRgb32(device, kImageAllocationLimitMb);
      ASSERT_FALSE(thorough.isNull());
      EXPECT_TRUE(ExpectQuickPathAgrees(png, thorough));
    }
  }
}

TEST(PngDecode, SampleDrawingsGiveQtsBytes) {
  const QStringList names = QDir(SourcePath(QStringLiteral("samples"))).entryList({QStringLiteral("*.png")});
  ASSERT_GE(names.size(), 10);
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    const QString path = SourcePath(QStringLiteral("samples/") + name);
    const QImage qt = ReadWithQt(path);
    const QImage fast = Decode(path);
    EXPECT_EQ(fast.isNull(), name == QStringLiteral("notes.png"));
    if (!fast.isNull()) ExpectSameImage(fast, qt);
    EXPECT_EQ(ExpectQuickPathAgrees(ReadAll(path), qt), !fast.isNull());
    ExpectSameImage(Bitmap::FromFile(path)->Image(), qt);
  }
}

TEST(PngDecode, RefusesSizesBeyondTheAllocationLimit) {
  // 512 x 512 pixels take exactly 1 MB at 32 bits; one more row is too many.
  for (const int height : {512, 513}) {
    QImage image(512, height, QImage::Format_ARGB32);
    image.fill(qRgba(10, 20, 30, 40));
    const QString path = SavePng(image, QStringLiteral("limit.png"));
    QImageReader::setAllocationLimit(1);
    const bool qtReads = !QImageReader(path).read().isNull();
    QImageReader::setAllocationLimit(kImageAllocationLimitMb);
    EXPECT_EQ(qtReads, height == 512);
    EXPECT_EQ(!Decode(path, 1).isNull(), qtReads) << height;
  }
}

TEST(PngDecode, PathsThatAreNoPngFileAreLeftToQt) {
  const QString dir = TempDir();
  const QByteArray png = ReadAll(CorpusPath(QStringLiteral("rgb8.png")));
  const QString paths[] = {
      dir,
      dir + QStringLiteral("/missing.png"),
      QString(),
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
}

TEST(PngDecode, DecodesOnSeveralThreadsAtOnce) {
  const QString files[] = {
      SourcePath(QStringLiteral("samples/widespread.png")),
      SourcePath(QStringLiteral("samples/outlined.png")),
      CorpusPath(QStringLiteral("drawing_rgba.png")),
      CorpusPath(QStringLiteral("palette8_interlaced.png")),
      CorpusPath(QStringLiteral("rgb16.png")),
      CorpusPath(QStringLiteral("cut_in_last_data.png")),
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

quint32 ChunkLength(const QByteArray& png, qsizetype at) { return qFromBigEndian<quint32>(png.constData() + at); }

// One of: a few bits flipped anywhere; a bit flipped in one chunk's data
// with its checksum made to match, so that the change gets past libpng's
// check; the file cut short; a chunk's length changed by a little or to
// anything.
void Mutate(QByteArray& png, std::mt19937& random) {
  std::vector<qsizetype> chunks;
  for (qsizetype at = 8; at + 12 <= png.size(); at += 12 + ChunkLength(png, at)) chunks.push_back(at);
  const qsizetype chunk = chunks[random() % chunks.size()];
  const quint32 length = ChunkLength(png, chunk);
  auto flip = [&](qsizetype at) { png[at] = static_cast<char>(png[at] ^ (1 << random() % 8)); };
  switch (random() % 4) {
    case 0:
      for (int n = 1 + random() % 3; n > 0; --n) flip(random() % png.size());
      break;
    case 1: {
      if (length == 0) break;
      flip(chunk + 8 + random() % length);
      const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.constData() + chunk + 4), length + 4);
      qToBigEndian(static_cast<quint32>(crc), png.data() + chunk + 8 + length);
      break;
    }
    case 2:
      png.truncate(random() % png.size());
      break;
    case 3:
      qToBigEndian(static_cast<quint32>(random() % 2 == 0 ? length + random() % 9 - 4 : random()), png.data() + chunk);
      break;
  }
}

TEST(PngDecode, MutatedDrawingsDecodeAsQtOrNotAtAll) {
  const QByteArray seeds[] = {
      ReadAll(CorpusPath(QStringLiteral("drawing_rgb.png"))),
      ReadAll(CorpusPath(QStringLiteral("drawing_rgba.png"))),
      ReadAll(CorpusPath(QStringLiteral("drawing_palette.png"))),
  };
  std::mt19937 random(1605);
  int decoded = 0;
  int quick = 0;
  for (int i = 0; i < 3000; ++i) {
    QByteArray png = seeds[i % std::size(seeds)];
    Mutate(png, random);
    QBuffer device(&png);
    device.open(QIODevice::ReadOnly);
    const QImage fast = ReadPngAsRgb32(device, kImageAllocationLimitMb);
    // The quick path takes none of the files the thorough way refuses, and
    // gives the same pixels for those it takes.
    if (ExpectQuickPathAgrees(png, fast)) ++quick;
    // Qt's reader is right for 8-bit files, the only ones compared; it
    // reads every file decoded here.
    if (fast.isNull() || png.size() <= 24 || png[24] == 16) continue;
    ++decoded;
    device.seek(0);
    QImageReader reader(&device, "png");
    SCOPED_TRACE(i);
    ExpectSameImage(fast, ReadWithQt(reader));
  }
  EXPECT_GT(decoded, 300);
  EXPECT_GT(quick, 100);
}

}  // namespace
