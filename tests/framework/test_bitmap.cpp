#include "framework/bitmap.h"
#include "framework/files.h"

#include "resources/resource.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <array>
#include <thread>

namespace {

struct Rgb {
  uint8_t r, g, b;
};

// A 4 x 2 test picture whose colours survive every format below (the greys
// are equal in all channels, so a grey PNG stores them exactly).
constexpr std::array<Rgb, 8> kColours = {{{255, 0, 0},
                                          {0, 255, 0},
                                          {0, 0, 255},
                                          {10, 10, 11},
                                          {0, 0, 0},
                                          {128, 128, 128},
                                          {255, 255, 255},
                                          {116, 167, 254}}};
constexpr std::array<Rgb, 8> kGreys = {{{0, 0, 0},
                                        {17, 17, 17},
                                        {64, 64, 64},
                                        {128, 128, 128},
                                        {200, 200, 200},
                                        {249, 249, 249},
                                        {250, 250, 250},
                                        {255, 255, 255}}};

QImage Picture(const std::array<Rgb, 8>& colours) {
  QImage image(4, 2, QImage::Format_RGB32);
  for (int i = 0; i < 8; ++i) image.setPixel(i % 4, i / 4, qRgb(colours[i].r, colours[i].g, colours[i].b));
  return image;
}

QString Save(const QImage& image, const QString& name, const char* format = "png") {
  const QString path = TempDir() + QLatin1Char('/') + name;
  QImageWriter writer(path, format);
  EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
  return path;
}

void ExpectBytes(Bitmap& bitmap, const std::array<Rgb, 8>& colours) {
  ASSERT_EQ(bitmap.Width(), 4);
  ASSERT_EQ(bitmap.Height(), 2);
  Bitmap::Lock lock = bitmap.LockBits();
  ASSERT_TRUE(lock.ok());
  const BitmapData& data = lock.data();
  for (int i = 0; i < 8; ++i) {
    const uint8_t* p = data.Pixel(i % 4, i / 4);
    EXPECT_EQ(p[kBlue], colours[i].b) << "pixel " << i;
    EXPECT_EQ(p[kGreen], colours[i].g) << "pixel " << i;
    EXPECT_EQ(p[kRed], colours[i].r) << "pixel " << i;
  }
}

TEST(Bitmap, EveryKindOfFileReadsBackAsTheSameBlueGreenRedBytes) {
  const QImage colour = Picture(kColours);
  struct Case {
    const char* name;
    QImage image;
    const std::array<Rgb, 8>* expected;
    const char* format = "png";
  };
  // Scanners and tablets save other formats; a drawing is read by what it
  // holds, whatever its name says.
  const Case cases[] = {
      {"rgb.png", colour.convertToFormat(QImage::Format_RGB888), &kColours},
      {"rgba.png", colour.convertToFormat(QImage::Format_ARGB32), &kColours},
      {"palette.png", colour.convertToFormat(QImage::Format_Indexed8), &kColours},
      {"rgb16.png", colour.convertToFormat(QImage::Format_RGBA64), &kColours},
      {"grey.png", Picture(kGreys).convertToFormat(QImage::Format_Grayscale8), &kGreys},
      {"grey16.png", Picture(kGreys).convertToFormat(QImage::Format_Grayscale16), &kGreys},
      {"tiff.png", colour, &kColours, "tiff"},
      {"bmp.png", colour, &kColours, "bmp"},
      {"jpeg.png", Picture(kGreys), nullptr, "jpeg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bitmap = Bitmap::FromFile(Save(c.image, QString::fromLatin1(c.name), c.format));
    ASSERT_NE(bitmap, nullptr);
    if (c.expected != nullptr) {
      ExpectBytes(*bitmap, *c.expected);
    } else {
      EXPECT_EQ(bitmap->Image().size(), QSize(4, 2));
    }
  }
  // Qt writes no GIF: two pixels, red and white, written by hand.
  const QByteArray gif = QByteArray("GIF89a\x02\x00\x01\x00\x80\x00\x00\xff\x00\x00\xff\xff\xff", 19) +
                         QByteArray("\x2c\x00\x00\x00\x00\x02\x00\x01\x00\x00\x02\x02\x44\x0a\x00\x3b", 16);
  const QImage read = Bitmap::FromFile(SaveText(QStringLiteral("gif.png"), TempDir(), gif))->Image();
  ASSERT_EQ(read.size(), QSize(2, 1));
  EXPECT_EQ(read.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(read.pixel(1, 0), qRgb(255, 255, 255));
}

TEST(Bitmap, KeepsTheFourthByteAsWrittenThroughTheLock) {
  auto bitmap = Bitmap::FromFile(Save(Picture(kColours), QStringLiteral("fourth.png")));
  Bitmap::Lock lock = bitmap->LockBits();
  lock.data().Pixel(1, 1)[3] = 0x5A;
  Bitmap::Lock again = bitmap->LockBits();
  EXPECT_EQ(again.data().Pixel(1, 1)[3], 0x5A);
}

TEST(Bitmap, UnreadableFilesGiveAnEmptyBitmap) {
  const QString dir = TempDir();
  QFile text(dir + QStringLiteral("/notes.png"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("this is no image\n");
  text.close();

  const QString good = Save(QImage(200, 100, QImage::Format_RGB32), QStringLiteral("good.png"));
  QFile goodFile(good);
  ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
  const QByteArray bytes = goodFile.readAll();
  QFile cut(dir + QStringLiteral("/truncated.png"));
  ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
  cut.write(bytes.left(bytes.size() / 2));
  cut.close();

  for (const QString& path : {text.fileName(), cut.fileName(), dir + QStringLiteral("/missing.png"), dir, QString()}) {
    SCOPED_TRACE(path.toStdString());
    auto bitmap = Bitmap::FromFile(path);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 0);
    EXPECT_EQ(bitmap->Height(), 0);
    EXPECT_TRUE(bitmap->IsEmpty());
    EXPECT_FALSE(bitmap->LockBits().ok());
    EXPECT_EQ(bitmap->CloneArea(0, 0, bitmap->Width(), bitmap->Height()), nullptr);
  }
}

TEST(Bitmap, CloneAreaCopiesWithoutTouchingTheSource) {
  auto source = Bitmap::FromFile(Save(Picture(kColours), QStringLiteral("source.png")));
  auto copy = source->CloneArea(0, 0, source->Width(), source->Height());
  ASSERT_NE(copy, nullptr);
  {
    Bitmap::Lock lock = copy->LockBits();
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) std::memset(lock.data().Pixel(x, y), 0x33, 3);
    }
  }
  ExpectBytes(*source, kColours);

  auto part = source->CloneArea(1, 1, 2, 1);
  ASSERT_NE(part, nullptr);
  ASSERT_EQ(part->Width(), 2);
  ASSERT_EQ(part->Height(), 1);
  Bitmap::Lock lock = part->LockBits();
  EXPECT_EQ(lock.data().Pixel(0, 0)[kRed], kColours[5].r);
  EXPECT_EQ(lock.data().Pixel(1, 0)[kBlue], kColours[6].b);

  EXPECT_EQ(source->CloneArea(0, 0, 5, 2), nullptr);
  EXPECT_EQ(source->CloneArea(-1, 0, 2, 2), nullptr);
  EXPECT_EQ(source->CloneArea(0, 0, 0, 2), nullptr);
}

TEST(Bitmap, UnknownResourcesGiveAnEmptyBitmap) {
  EXPECT_TRUE(Bitmap::FromResource(4711)->IsEmpty());
  EXPECT_EQ(Bitmap::ResourcePath(res::IDB_BLANK_CHART), Bitmap::ResourcePath(res::IDB_BLANK_CHART_COMPARE));
}

}  // namespace

namespace {

QImage Noise(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  uint32_t state = 12345;
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      row[x] = state;  // every byte varied, the fourth one included
    }
  }
  return image;
}

TEST(ParkedBitmap, ComesBackUnchangedWhenAnythingReadsIt) {
  const QImage original = Noise(37, 11);
  Bitmap bitmap(original);
  const int64_t key = bitmap.ContentKey();
  ASSERT_TRUE(bitmap.Park());
  EXPECT_TRUE(bitmap.IsParked());
  EXPECT_FALSE(bitmap.Park());
  // Size and identity are known without unpacking.
  EXPECT_EQ(bitmap.Width(), 37);
  EXPECT_EQ(bitmap.Height(), 11);
  EXPECT_FALSE(bitmap.IsEmpty());
  EXPECT_TRUE(bitmap.IsParked());
  EXPECT_EQ(bitmap.ContentKey(), key);

  EXPECT_EQ(bitmap.Image(), original);
  EXPECT_FALSE(bitmap.IsParked());
  EXPECT_EQ(bitmap.ContentKey(), key);

  // Every way in brings the pixels back: read locks, write locks, copies.
  bitmap.Park();
  EXPECT_EQ(std::memcmp(bitmap.LockBitsForReading().data().scan0, original.constBits(), original.sizeInBytes()), 0);
  bitmap.Park();
  {
    Bitmap::Lock lock = bitmap.LockBits();
    lock.data().Pixel(3, 4)[0] ^= 0xFF;
  }
  EXPECT_NE(bitmap.ContentKey(), key);
  bitmap.Park();
  auto part = bitmap.CloneArea(2, 3, 5, 5);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->Image().pixel(1, 1), bitmap.Image().pixel(3, 4));
}

TEST(ParkedBitmap, AWholeCopyLeavesTheSourceParked) {
  const QImage original = Noise(64, 9);
  Bitmap bitmap(original);
  bitmap.Park();
  auto copy = bitmap.CloneArea(0, 0, 64, 9);
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(bitmap.IsParked());
  EXPECT_EQ(copy->Image(), original);
  EXPECT_NE(copy->ContentKey(), bitmap.ContentKey());

  // Another thread may unpack the shared compressed pixels.
  const Bitmap::ParkedPixels packed = bitmap.Parked();
  std::unique_ptr<Bitmap> fromThread;
  std::thread worker([&] {
    QImage into(64, 9, QImage::Format_RGB32);
    if (Bitmap::Unpack(packed, into)) fromThread = std::make_unique<Bitmap>(into);
  });
  worker.join();
  ASSERT_NE(fromThread, nullptr);
  EXPECT_EQ(fromThread->Image(), original);
}

TEST(ParkedBitmap, AnEmptyBitmapIsNotParked) {
  Bitmap empty;
  EXPECT_FALSE(empty.Park());
  EXPECT_FALSE(empty.IsParked());
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_NE(Bitmap().ContentKey(), empty.ContentKey());
}

}  // namespace

namespace {

TEST(DrawingReader, ReadsWhatFromFileReadsWhenTheSizeIsTheReaders) {
  const QString dir = TempDir();
  // Two files of the reader's size (the second through the same memory),
  // one 16-bit file, which the quick path leaves to the thorough one, then
  // files that are left out: another size, no image.
  const QImage first = Noise(40, 30);
  const QImage second = Noise(40, 30).mirrored(true, false);
  using Kind = Bitmap::PackedPixels::Kind;
  const struct {
    QString path;
    bool kept;
    Kind kind = Kind::kPng;
  } files[] = {{Save(first, QStringLiteral("first.png")), true},
               {Save(second, QStringLiteral("second.png")), true},
               {Save(first.convertToFormat(QImage::Format_RGBA64), QStringLiteral("deep.png")), true, Kind::kPacked},
               {Save(Noise(41, 30), QStringLiteral("wide.png")), false},
               {dir + QStringLiteral("/missing.png"), false}};
  DrawingReader reader(40, 30);
  for (const auto& file : files) {
    SCOPED_TRACE(file.path.toStdString());
    const Bitmap::ParkedPixels kept = reader.Read(LocalPath(file.path));
    ASSERT_EQ(kept != nullptr, file.kept);
    if (!kept) continue;
    EXPECT_EQ(kept->kind, file.kind);
    const QImage expected = Bitmap::FromFile(file.path)->Image();
    EXPECT_EQ(reader.Pixels(), expected);
    EXPECT_EQ(Bitmap::FromParked(kept)->Image(), expected);
  }
}

TEST(ParkedBitmap, PacksAndUnpacksIntoGivenMemory) {
  const QImage original = Noise(16, 8);
  const Bitmap::ParkedPixels packed = Bitmap::Pack(original);
  ASSERT_NE(packed, nullptr);
  QImage into(16, 8, QImage::Format_RGB32);
  ASSERT_TRUE(Bitmap::Unpack(packed, into));
  EXPECT_EQ(into, original);
  // The same number of bytes in another shape is refused.
  QImage wrong(8, 16, QImage::Format_RGB32);
  EXPECT_FALSE(Bitmap::Unpack(packed, wrong));
  EXPECT_FALSE(Bitmap::Unpack(nullptr, into));
  EXPECT_EQ(Bitmap::Pack(QImage()), nullptr);
  std::unique_ptr<Bitmap> bitmap = Bitmap::FromParked(packed);
  EXPECT_EQ(bitmap->Width(), 16);
  EXPECT_TRUE(bitmap->IsParked());
  EXPECT_EQ(bitmap->Image(), original);
  EXPECT_TRUE(Bitmap::FromParked(nullptr)->IsEmpty());
}

TEST(ParkedBitmap, PixelsDerivedFromOthersAreMadeAgainAlikeHoweverTheyWake) {
  const QImage original = Noise(16, 8);
  const auto invert = [](const BitmapData& data) {
    for (int y = 0; y < data.height; ++y) {
      for (int x = 0; x < data.width * 4; ++x) data.Row(y)[x] = static_cast<uint8_t>(~data.Row(y)[x]);
    }
  };
  QImage expected = original;
  expected.invertPixels();
  std::unique_ptr<Bitmap> source = Bitmap::FromParked(Bitmap::Pack(original));
  std::unique_ptr<Bitmap> derived = Bitmap::FromParked(Bitmap::Derived(source->Parked(), invert));
  // From scratch while the source sleeps; from the source's pixels once it
  // is awake; the same pixels each time, and parking costs nothing.
  EXPECT_FALSE(derived->WakeFrom(*source));
  EXPECT_EQ(derived->Image(), expected);
  ASSERT_TRUE(derived->Park());
  EXPECT_EQ(source->Image(), original);
  EXPECT_TRUE(derived->WakeFrom(*source));
  EXPECT_EQ(derived->Image(), expected);
  // Once written, the pixels are no longer the source's changed.
  derived->LockBits();
  ASSERT_TRUE(derived->Park());
  EXPECT_FALSE(derived->WakeFrom(*source));
  EXPECT_EQ(derived->Image(), expected);
}

}  // namespace
