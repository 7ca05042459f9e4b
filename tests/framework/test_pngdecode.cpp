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
#include <QMap>
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

// The thorough way on a file opened as Bitmap opens it.
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

// True when the quick path takes the file; it then gives the pixels of
// `want`, both in memory of its own and in the room after the pixels.
bool ExpectQuickPathAgrees(const QByteArray& file, const QImage& want) {
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(file.constData()), static_cast<size_t>(file.size()));
  const std::optional<PngSize> size = ReadPngSize(bytes);
  if (!size || int64_t{size->width} * size->height > 100'000'000) return false;
  const int w = size->width;
  const int h = size->height;
  const size_t pixels = static_cast<size_t>(w) * 4 * static_cast<size_t>(h);
  std::vector<uint8_t> own(pixels);
  std::vector<uint8_t> inPlace(pixels + PngScratch::RoomFor(w, h));
  PngScratch scratch;
  const bool taken = DecodePngFast(bytes, BitmapData{own.data(), 4 * w, w, h}, scratch);
  EXPECT_EQ(DecodePngFast(bytes, BitmapData{inPlace.data(), 4 * w, w, h}, scratch, PngScratch::RoomFor(w, h)), taken);
  if (!taken) return false;
  EXPECT_EQ(std::memcmp(own.data(), inPlace.data(), pixels), 0) << "decoded in place, the pixels differ";
  EXPECT_TRUE(want.size() == QSize(w, h) && std::memcmp(own.data(), want.constBits(), pixels) == 0)
      << "the quick path differs";
  return true;
}

QString CorpusPath(const QString& name) { return SourcePath(QStringLiteral("tests/data/png/") + name); }

// Every colour type and depth, interlaced or not, texts, offset, resolution,
// colour spaces, drawings and damaged files: decoded here as Qt's reader
// gives them, or refused here and left to Qt's reader, or unreadable to both.
TEST(PngDecode, CorpusFilesDecodeAsQtOrAsTheirTwin) {
  // Refused here, read by Qt: one palette entry for two colours, 8-bit
  // colour spaces, and a file whose last four bytes Qt's reader supplies.
  const QStringList leftToQt = {"palette1_one_entry.png", "rgb8_icc.png", "rgb8_gamma.png", "end_without_crc.png"};
  // Decoded here as the twin without the transparent colour, which Qt's
  // reader mixes up.
  const QMap<QString, QString> twins = {{"rgb16_trns.png", "rgb16_twin.png"},
                                        {"rgb16_trns_interlaced.png", "rgb16_interlaced.png"},
                                        {"rgb16_trns_icc.png", "rgb16_twin_icc.png"},
                                        {"drawing_rgb16_trns.png", "drawing_rgb16.png"}};
  const QStringList names = QDir(CorpusPath(QString())).entryList(QDir::Files);
  int unreadable = 0;
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    const QString path = CorpusPath(name);
    const QImage want = ReadWithQt(twins.contains(name) ? CorpusPath(twins[name]) : path);
    const QImage fast = Decode(path);
    EXPECT_EQ(fast.isNull(), want.isNull() || leftToQt.contains(name));
    if (!fast.isNull()) ExpectSameImage(fast, want);
    ExpectSameImage(Bitmap::FromFile(path)->Image(), want);
    unreadable += want.isNull();
    // The quick path takes the intact 8-bit files that are not interlaced,
    // but for a short palette, which the thorough way reads.
    const QByteArray bytes = ReadAll(path);
    const bool eightBit = bytes.size() > 28 && bytes[24] == 8 && bytes[28] == 0;
    const bool declined = name.contains(QStringLiteral("short")) || name.contains(QStringLiteral("without"));
    EXPECT_EQ(ExpectQuickPathAgrees(bytes, want), eightBit && !declined && !want.isNull());
  }
  EXPECT_EQ(names.size(), 68);
  EXPECT_EQ(unreadable, 14);
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
  auto bigEndian = [](uLong value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(static_cast<quint32>(value), bytes.data());
    return bytes;
  };
  auto chunk = [&](const char* type, const QByteArray& body) {
    const QByteArray typed = QByteArray(type, 4) + body;
    png += bigEndian(static_cast<uLong>(body.size())) + typed +
           bigEndian(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), static_cast<uInt>(typed.size())));
  };
  chunk("IHDR", bigEndian(static_cast<uLong>(width)) + bigEndian(static_cast<uLong>(height)) + char(8) +
                    static_cast<char>(colourType) + QByteArray(3, '\0'));
  if (colourType == 3) {
    QByteArray palette;
    for (int i = 0; i < 48; ++i) palette += static_cast<char>(random());
    chunk("PLTE", palette);
  }
  chunk("IDAT", qCompress(filtered).mid(4));  // a zlib stream after four bytes of length
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

// Each sample drawing, and corpus files of the thorough way and of an
// error, decoded each on a thread of its own, all at the same time.
TEST(PngDecode, SampleDrawingsGiveQtsPixelsOnSeveralThreadsAtOnce) {
  QStringList paths;
  for (const QString& name : QDir(SourcePath(QStringLiteral("samples"))).entryList({QStringLiteral("*.png")})) {
    paths << SourcePath(QStringLiteral("samples/") + name);
  }
  ASSERT_GE(paths.size(), 10);
  for (const char* name : {"rgb16.png", "palette8_interlaced.png", "cut_in_last_data.png"}) {
    paths << CorpusPath(QString::fromLatin1(name));
  }
  std::vector<std::thread> threads;
  for (const QString& path : paths) {
    threads.emplace_back([path] {
      SCOPED_TRACE(path.toStdString());
      const QImage qt = ReadWithQt(path);
      const QImage fast = Decode(path);
      EXPECT_EQ(fast.isNull(), qt.isNull());
      if (!fast.isNull()) ExpectSameImage(fast, qt);
      const QByteArray bytes = ReadAll(path);
      EXPECT_EQ(ExpectQuickPathAgrees(bytes, qt), !qt.isNull() && bytes[24] == 8 && bytes[28] == 0);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

TEST(PngDecode, RefusesSizesBeyondTheAllocationLimitAsQtDoes) {
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
  for (int i = 0; i < 1200; ++i) {
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
  EXPECT_GT(decoded, 120);
  EXPECT_GT(quick, 40);
}

}  // namespace
