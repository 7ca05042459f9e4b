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

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

// What Bitmap::FromFile gave before PNG files were decoded on their own, at
// a scale of 1 whatever an '@' in the name says, as the program shows them.
QImage ReadWithQt(QImageReader&& reader) {
  reader.setAutoTransform(false);
  QImage image = reader.read();
  if (image.isNull()) return image;
  image.setDevicePixelRatio(1);
  return image.convertToFormat(QImage::Format_RGB32);
}

// The thorough way.
QImage Decode(QByteArray png, int limitMb = kImageAllocationLimitMb) {
  QBuffer device(&png);
  device.open(QIODevice::ReadOnly);
  return ReadPngAsRgb32(device, limitMb);
}

// Same pixels, fourth byte included, and the same metadata.
void ExpectSameImage(const QImage& got, const QImage& want) {
  ASSERT_EQ(got.isNull(), want.isNull());
  if (want.isNull()) return;
  ASSERT_EQ(got.format(), QImage::Format_RGB32);
  ASSERT_EQ(got.size(), want.size());
  const uchar* end = got.constBits() + got.sizeInBytes();
  const qsizetype at = std::mismatch(got.constBits(), end, want.constBits()).first - got.constBits();
  ASSERT_EQ(at, got.sizeInBytes()) << "pixel " << at / 4 % got.width() << "," << at / 4 / got.width() << " differs";
  EXPECT_EQ(QPoint(got.dotsPerMeterX(), got.dotsPerMeterY()), QPoint(want.dotsPerMeterX(), want.dotsPerMeterY()));
  EXPECT_EQ(got.offset(), want.offset());
  EXPECT_EQ(got.text(), want.text());  // every key and its text
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
// colour spaces, drawings and damaged files of the corpus, and the sample
// drawings: decoded here as Qt's reader gives them, or unreadable to both,
// or refused here where Qt's reader would pay far more than the file's
// bytes for them or reads an invalid file. A few threads decode them at
// once.
TEST(PngDecode, CorpusAndSampleFilesDecodeAsQtOrAsTheirTwin) {
  // Decoded here as the twin without the transparent colour, which Qt's
  // reader mixes up; one of them lacks the end chunk's checksum, and nothing
  // else.
  const QMap<QString, QString> twins = {{"rgb16_trns.png", "rgb16_twin.png"},
                                        {"rgb16_trns_interlaced.png", "rgb16_interlaced.png"},
                                        {"rgb16_trns_icc.png", "rgb16_twin_icc.png"},
                                        {"drawing_rgb16_trns.png", "drawing_rgb16.png"},
                                        {"drawing_rgb16_trns_without_end_crc.png", "drawing_rgb16.png"}};
  // Refused here, read by Qt's reader once it has inflated it all: image
  // data that goes on far beyond the image.
  // Refused here, read by Qt's reader with the first entry's colour: pixels
  // that index past the palette.
  const QStringList refused = {"bomb_chart.png",     "bomb_interlaced.png",     "palette1_one_entry.png",
                               "palette2_short.png", "palette8_short_trns.png", "palette_index_past_end.png"};
  QStringList paths;
  for (const QString& name : QDir(CorpusPath(QString())).entryList(QDir::Files)) paths << CorpusPath(name);
  EXPECT_EQ(paths.size(), 81);
  for (const QString& name : QDir(SourcePath(QStringLiteral("samples"))).entryList({QStringLiteral("*.png")})) {
    paths << SourcePath(QStringLiteral("samples/") + name);
  }
  QImageReader::setAllocationLimit(kImageAllocationLimitMb);  // the program's, set once before the threads
  std::atomic<int> unreadable = 0;
  std::atomic<qsizetype> next = 0;
  const auto decode = [&] {
    for (qsizetype i; (i = next++) < paths.size();) {
      const QString& path = paths[i];
      const QString name = path.section(QLatin1Char('/'), -1);
      SCOPED_TRACE(path.toStdString());
      // Chunks that claim more than their file holds: Qt's reader would
      // allocate what they claim, gigabytes, and is not asked.
      QImage want = name.startsWith(QStringLiteral("lie_"))
                        ? QImage()
                        : ReadWithQt(QImageReader(twins.contains(name) ? CorpusPath(twins[name]) : path));
      if (refused.contains(name)) {
        EXPECT_FALSE(want.isNull());
        want = QImage();
      }
      const QByteArray bytes = ReadAll(path);
      const QImage fast = Decode(bytes);
      EXPECT_EQ(fast.isNull(), want.isNull());
      if (!fast.isNull()) ExpectSameImage(fast, want);
      ExpectSameImage(Bitmap::FromFile(path)->Image(), want);
      unreadable += want.isNull();
      // The quick path takes the intact 8-bit files that are not interlaced.
      const bool eightBit = bytes.size() > 28 && bytes[24] == 8 && bytes[28] == 0;
      const bool declined = name.contains(QStringLiteral("without"));
      EXPECT_EQ(ExpectQuickPathAgrees(bytes, want), eightBit && !declined && !want.isNull());
    }
  };
  std::thread threads[] = {std::thread(decode), std::thread(decode), std::thread(decode)};
  decode();
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(unreadable, 30);  // 29 of the corpus, and notes.png
}

// Files cut in their header, chunks that claim 2 GB in a file of a
// kilobyte, and image data that goes on far past the image: whichever way
// they are read, they cost a few megabytes at most, nothing like what they
// claim.
TEST(PngDecode, DamagedFilesCostNoMoreThanTheirBytes) {
  const ResidentPeak peak;
  for (const char* name : {"cut_after_size.png", "cut_in_header_crc.png", "lie_text.png", "lie_ztxt.png",
                           "lie_data.png", "lie_text_after_data.png", "bomb_chart.png", "bomb_interlaced.png"}) {
    SCOPED_TRACE(name);
    const QString path = CorpusPath(QString::fromLatin1(name));
    const QByteArray bytes = ReadAll(path);
    EXPECT_FALSE(ExpectQuickPathAgrees(bytes, QImage()));
    EXPECT_TRUE(Decode(bytes).isNull());
    EXPECT_TRUE(Bitmap::FromFile(path)->IsEmpty());
  }
  // The quick path's and the thorough way's own memory for a chart's pixels
  // (about 100 MB; more where the address sanitizer keeps freed memory).
  EXPECT_LT(peak.GrownMb(), 600);
}

// A PNG file whose rows use the five filters in turn, so that every filter
// is undone on every pixel size: each row starts with a run of zeros, which
// unfilters to runs of equal pixels as on blank page, and goes on in noise.
// The palette has all 256 entries, so any index is in it.
QByteArray FilteredPng(uint8_t colourType, int width, int height, std::mt19937& random) {
  const int bpp = colourType == 0 || colourType == 3 ? 1 : colourType == 4 ? 2 : colourType == 2 ? 3 : 4;
  QByteArray filtered;
  for (int y = 0; y < height; ++y) {
    filtered += static_cast<char>(y % 5);
    for (int i = 0; i < width * bpp; ++i) filtered += static_cast<char>(i < width ? 0 : random());
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
    for (int i = 0; i < 768; ++i) palette += static_cast<char>(random());
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
      const QByteArray png = FilteredPng(colourType, width, 15, random);
      const QImage thorough = Decode(png);
      ASSERT_FALSE(thorough.isNull());
      EXPECT_TRUE(ExpectQuickPathAgrees(png, thorough));
    }
  }
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
    EXPECT_EQ(!Decode(ReadAll(path), 1).isNull(), qtReads) << height;
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
  std::vector<QByteArray> seeds;
  for (const char* name : {"drawing_rgb.png", "drawing_rgba.png", "drawing_palette.png"}) {
    seeds.push_back(ReadAll(CorpusPath(QString::fromLatin1(name))));
  }
  // Cut anywhere in its first 64 bytes, in the header or the first chunks,
  // a drawing is refused, though the rest of it lies in memory right after
  // the bytes given to the quick path.
  for (const QByteArray& seed : seeds) {
    for (qsizetype cut = 0; cut < 64; ++cut) {
      const QByteArray png = seed.left(cut);
      EXPECT_TRUE(Decode(png).isNull()) << cut;
      PngScratch scratch;
      std::vector<uint8_t> pixels(200 * 150 * 4);
      const auto bytes = std::span(reinterpret_cast<const uint8_t*>(seed.constData()), static_cast<size_t>(cut));
      EXPECT_FALSE(DecodePngFast(bytes, BitmapData{pixels.data(), 800, 200, 150}, scratch)) << cut;
    }
  }
  QImageReader::setAllocationLimit(kImageAllocationLimitMb);
  std::mt19937 random(1605);
  int decoded = 0, quick = 0;
  for (int i = 0; i < 1200; ++i) {
    QByteArray png = seeds[i % seeds.size()];
    Mutate(png, random);
    const QImage fast = Decode(png);
    // The quick path takes none of the files the thorough way refuses, and
    // gives the same pixels for those it takes.
    quick += ExpectQuickPathAgrees(png, fast);
    // Qt's reader is right for 8-bit files, the only ones compared; it
    // reads every file decoded here.
    if (fast.isNull() || png[24] == 16) continue;
    ++decoded;
    QBuffer device(&png);
    device.open(QIODevice::ReadOnly);
    SCOPED_TRACE(i);
    ExpectSameImage(fast, ReadWithQt(QImageReader(&device, "png")));
  }
  EXPECT_GT(decoded, 120);
  EXPECT_GT(quick, 40);
}

TEST(PngDecode, ChunksAreWalkedUpToTheEndChunkAsTheFileIsRead) {
  // A drawing's file (the header chunk at 8, its one data chunk at 33, the
  // end chunk at 3,372 to 3,384) and bytes after it, as far as it has been
  // read: how many bytes the walk needs next, or where the file ends, a
  // checksum that differs left to the decoders; nothing for no PNG file or
  // a length no chunk has.
  const QByteArray png = ReadAll(CorpusPath("drawing_rgb.png"));
  const QByteArray after(1000, '\0');
  QByteArray damaged = png;
  damaged[100] = static_cast<char>(damaged[100] ^ 1);
  const struct {
    QByteArray head;
    std::optional<std::pair<bool, size_t>> reach;
  } cases[] = {{png.left(7), std::nullopt},
               {png.left(20), std::pair(false, 33)},
               {png.left(40), std::pair(false, 45)},
               {png.left(50), std::pair(false, 3372)},
               {png.left(3380), std::pair(false, 3384)},
               {png + after, std::pair(true, 3384)},
               {damaged + after, std::pair(true, 3384)},
               {png.left(33) + QByteArray("\x80\0\0\0IDAT", 8) + after, std::nullopt},
               {"GIF89a" + after, std::nullopt}};
  for (const auto& [head, want] : cases) {
    size_t pos = 0;
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(head.constData()), static_cast<size_t>(head.size()));
    const std::optional<PngReach> reach = WalkPngChunks(bytes, pos);
    EXPECT_EQ(reach ? std::optional(std::pair(reach->ended, reach->bytes)) : std::nullopt, want) << head.size();
  }
  // Walked on as more is read, it finds the same end.
  const QByteArray file = png + after;
  size_t pos = 0;
  std::optional<PngReach> reach;
  for (size_t read = 1000; read <= static_cast<size_t>(file.size()) && !(reach && reach->ended); read += 1000) {
    reach = WalkPngChunks(std::span(reinterpret_cast<const uint8_t*>(file.constData()), read), pos);
  }
  ASSERT_TRUE(reach && reach->ended);
  EXPECT_EQ(reach->bytes, 3384u);
}

}  // namespace
