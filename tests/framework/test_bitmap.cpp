#include "framework/bitmap.h"
#include "framework/files.h"
#include "framework/readyahead.h"
#include "tests/support/testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace {

// Every byte varied, the fourth one included.
QImage Noise(int w, int h, uint32_t state = 12345) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) row[x] = state = state * 1664525u + 1013904223u;
  }
  return image;
}

QByteArray JpegBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "JPEG"));
  return bytes;
}

bool SameBytes(const Bitmap& bitmap, const QImage& image) {
  const Bitmap::Lock lock = bitmap.LockBitsForReading();
  return lock.ok() && bitmap.Width() == image.width() && bitmap.Height() == image.height() &&
         std::memcmp(lock.data().scan0, image.constBits(), static_cast<size_t>(image.sizeInBytes())) == 0;
}

TEST(Bitmap, ReadsAFileByWhatItHoldsWhateverItsNameAndNothingElse) {
  // Scanners and tablets save other formats under a drawing's name.
  const QImage picture = Noise(4, 2).convertToFormat(QImage::Format_RGB888).convertToFormat(QImage::Format_RGB32);
  for (const auto& [name, format] :
       {std::pair{"tiff.png", "tiff"}, {"bmp.png", "bmp"}, {"png.jpg", "png"}, {"png", "png"}}) {
    const QString path = TempDir() + QLatin1Char('/') + QString::fromLatin1(name);
    ASSERT_TRUE(picture.save(path, format));
    EXPECT_EQ(Bitmap::FromFile(path)->Image(), picture) << name;
  }
  // Nothing there, no regular file or a vector picture: an empty bitmap, at
  // once (a FIFO is not waited on). The decoders' tests read files that
  // hold no image.
  const QString dir = TempDir();
  ASSERT_EQ(::mkfifo(LocalPath(dir + QStringLiteral("/fifo.png")).constData(), 0600), 0);
  QFile svg(dir + QStringLiteral("/svg.png"));
  ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
  svg.write(R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" height="20"><rect width="9" height="9"/></svg>)");
  svg.close();
  for (const QString& path :
       {dir + QStringLiteral("/fifo.png"), dir + QStringLiteral("/missing.png"), dir, svg.fileName(), QString()}) {
    EXPECT_TRUE(Bitmap::FromFile(path)->IsEmpty()) << path.toStdString();
  }
}

TEST(Bitmap, ReadsEveryWholeDrawingOfTheImageCorpusAsQtsReaderDoes) {
  // JPEG files of every kind of colour, baseline (also without its end
  // marker, of a later JFIF version, with stray bytes before its first
  // scan, and arithmetic coded), progressive and of 64 scans (read with
  // libjpeg), GIF with and without its trailer, BMP plain and run-length
  // encoded, TIFF and ICO: the pixels Qt's reader gives.
  const QDir images(SourcePath(QStringLiteral("tests/data/images")));
  const QStringList names = images.entryList({QStringLiteral("drawing*")}, QDir::Files);
  EXPECT_EQ(names.size(), 19);
  for (const QString& name : names) {
    const QImage expected = QImage(images.filePath(name)).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(expected.isNull()) << name.toStdString();
    EXPECT_EQ(Bitmap::FromFile(images.filePath(name))->Image(), expected) << name.toStdString();
  }
}

TEST(Bitmap, ReadsOtherFormatsUpToAChartsSizeAtSixteenBitsAChannel) {
  // Qt's readers give such a file 8 bytes a pixel; a larger picture than a
  // chart is refused before its pixels are allocated.
  for (const int width : {3508, 3600}) {
    QImage picture(width, 2480, QImage::Format_RGBA64);
    picture.fill(Qt::white);
    const QString path = TempDir() + QStringLiteral("/deep.tif");
    QImageWriter writer(path, "tiff");
    writer.setCompression(1);
    ASSERT_TRUE(writer.write(picture));
    EXPECT_EQ(Bitmap::FromFile(path)->Width(), width == 3508 ? 3508 : 0);
  }
}

TEST(ParkedBitmap, ComesBackByteForByteWhicheverWayItIsRead) {
  // Noise: it packs into more than a drawing's room, so the packing's second
  // try is needed.
  const QImage original = Noise(160, 90);
  Bitmap bitmap(original);
  const int64_t key = bitmap.ContentKey();
  ASSERT_TRUE(bitmap.Park());
  EXPECT_TRUE(SameBytes(bitmap, original));
  EXPECT_FALSE(bitmap.IsParked());
  EXPECT_EQ(bitmap.ContentKey(), key);

  // A whole copy of a parked bitmap leaves it parked; a copy of an area
  // inside it is made from its pixels. Neither shares pixels with it.
  bitmap.Park();
  auto copy = bitmap.CloneArea(0, 0, 160, 90);
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(bitmap.IsParked());
  EXPECT_TRUE(SameBytes(*copy, original));
  EXPECT_NE(copy->ContentKey(), key);
  std::memset(copy->LockBits().data().Pixel(3, 4), 0x33, 4);
  auto part = bitmap.CloneArea(2, 3, 5, 8);
  ASSERT_NE(part, nullptr);
  EXPECT_TRUE(SameBytes(*part, original.copy(2, 3, 5, 8)));
  std::memset(part->LockBits().data().Pixel(1, 1), 0x33, 4);
  EXPECT_TRUE(SameBytes(bitmap, original));
  for (const QRect& outside : {QRect(0, 0, 161, 90), QRect(-1, 0, 2, 2), QRect(0, 0, 0, 2), QRect(159, 0, 2, 1),
                               QRect(0, 89, 1, 2), QRect(0, 0, 4, -1)}) {
    EXPECT_EQ(bitmap.CloneArea(outside.x(), outside.y(), outside.width(), outside.height()), nullptr);
  }

  // Written through a lock, the fourth byte too, and parked: the change
  // comes back.
  bitmap.LockBits().data().Pixel(3, 4)[3] ^= 0xFF;
  EXPECT_NE(bitmap.ContentKey(), key);
  QImage changed = original;
  changed.scanLine(4)[4 * 3 + 3] ^= 0xFF;
  ASSERT_TRUE(bitmap.Park());
  EXPECT_TRUE(SameBytes(*bitmap.CloneArea(0, 0, 160, 90), changed));

  // Another thread may unpack the shared packed pixels, into an image of
  // their shape only.
  const Bitmap::ParkedPixels packed = bitmap.Parked();
  QImage into(160, 90, QImage::Format_RGB32);
  QImage wrong(90, 160, QImage::Format_RGB32);
  std::thread([&] { EXPECT_TRUE(Bitmap::Unpack(packed, into)); }).join();
  EXPECT_EQ(std::memcmp(into.constBits(), changed.constBits(), into.sizeInBytes()), 0);
  EXPECT_FALSE(Bitmap::Unpack(packed, wrong));
}

TEST(ParkedBitmap, PixelsDerivedFromOthersAreMadeAgainAlikeHoweverTheyWake) {
  const QImage original = Noise(16, 8);
  const auto invert = [](const BitmapData& data) {
    for (uint8_t* p = data.scan0; p != data.Row(data.height); ++p) *p = static_cast<uint8_t>(~*p);
  };
  QImage expected = original;
  invert(BitmapData{expected.bits(), expected.bytesPerLine(), expected.width(), expected.height()});
  std::unique_ptr<Bitmap> source = Bitmap::FromParked(Bitmap::Pack(original));
  std::unique_ptr<Bitmap> derived = Bitmap::FromParked(Bitmap::Derived(source->Parked(), invert));
  // From scratch while the source sleeps; from the source's pixels once it
  // is awake; the same pixels each time, and parking costs nothing.
  EXPECT_FALSE(derived->WakeFrom(*source));
  EXPECT_TRUE(SameBytes(*derived, expected));
  ASSERT_TRUE(derived->Park());
  EXPECT_TRUE(SameBytes(*source, original));
  EXPECT_TRUE(derived->WakeFrom(*source));
  EXPECT_TRUE(SameBytes(*derived, expected));
  // A source written since holds other pixels than those derived from.
  ASSERT_TRUE(derived->Park());
  source->LockBits().data().Pixel(0, 0)[0] ^= 0xFF;
  EXPECT_FALSE(derived->WakeFrom(*source));
  EXPECT_TRUE(SameBytes(*derived, expected));
}

TEST(ReadyAhead, HandsOverTheJobInHandWhileWantedAndDropsWhatIsNot) {
  const auto gate = std::make_shared<Gate>();
  const QImage original = Noise(16, 8);
  QImage expected = original;
  for (uint8_t* p = expected.bits(); p != expected.bits() + expected.sizeInBytes(); ++p) *p = ~*p;
  const Bitmap::ParkedPixels source = Bitmap::Pack(original);
  const Bitmap::ParkedPixels derived = Bitmap::Derived(source, [gate](const BitmapData& data) {
    gate->Pass();
    for (uint8_t* p = data.scan0; p != data.Row(data.height); ++p) *p = static_cast<uint8_t>(~*p);
  });
  std::atomic<int> finished = 0;
  ReadyAhead ahead([&finished] { ++finished; });
  const ReadyAhead::Job job{1, {source, derived}};
  gate->Close();
  ahead.Aim({job}, {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate->Held(); }, kWorkerWaitMs));
  // Still wanted, the job in hand goes on, and a wait for it ends with its
  // images: the original, and the copy made from it.
  ahead.Aim({}, {job});
  std::thread opener([&gate] { gate->Open(); });
  EXPECT_TRUE(ahead.Await(job));
  opener.join();
  std::vector<ReadyAhead::Made> made = ahead.Take();
  ASSERT_EQ(made.size(), 1u);
  ASSERT_EQ(made[0].job, job);
  EXPECT_EQ(made[0].images[0], original);
  EXPECT_EQ(made[0].images[1], expected);
  // A bitmap takes images only of the pixels it is parked on.
  const std::unique_ptr<Bitmap> other = Bitmap::FromParked(Bitmap::Derived(source, [](const BitmapData&) {}));
  const std::unique_ptr<Bitmap> bitmap = Bitmap::FromParked(derived);
  EXPECT_FALSE(other->Adopt(derived, made[0].images[1]));
  EXPECT_TRUE(other->IsParked());
  EXPECT_TRUE(bitmap->Adopt(derived, made[0].images[1]));
  EXPECT_FALSE(bitmap->IsParked());
  EXPECT_TRUE(SameBytes(*bitmap, expected));

  // A job no longer wanted is dropped, though it was in hand; the next is
  // made.
  gate->Close();
  ahead.Aim({ReadyAhead::Job{2, {derived}}}, {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate->Held(); }, kWorkerWaitMs));
  const ReadyAhead::Job next{3, {source}};
  ahead.Aim({next}, {});
  gate->Open();
  ASSERT_TRUE(QTest::qWaitFor([&finished] { return finished == 2; }, kWorkerWaitMs));
  made = ahead.Take();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].job, next);
  EXPECT_EQ(made[0].images[0], original);
  // Cancelled, the images not taken are dropped.
  ahead.Aim({job}, {});
  ASSERT_TRUE(QTest::qWaitFor([&finished] { return finished == 3; }, kWorkerWaitMs));
  ahead.Cancel();
  EXPECT_TRUE(ahead.Take().empty());
}

TEST(DrawingReader, ReadsWhatFromFileReadsWhenTheSizeIsTheReaders) {
  // Files of the reader's size, one after the other in the same memory, a
  // 16-bit one and a JPEG by the thorough way; a file of another size is
  // left out.
  const QImage first = Noise(40, 30);
  using Kind = Bitmap::PackedPixels::Kind;
  const struct {
    QString path;
    bool kept;
    Kind kind = Kind::kPng;
  } files[] = {{SavePng(first, QStringLiteral("first.png")), true},
               {SavePng(Noise(40, 30, 99), QStringLiteral("second.png")), true},
               {SavePng(first.convertToFormat(QImage::Format_RGBA64), QStringLiteral("deep.png")), true, Kind::kPacked},
               {SaveText(QStringLiteral("first.jpg"), QString(), JpegBytes(first)), true, Kind::kPacked},
               {SavePng(Noise(41, 30), QStringLiteral("wide.png")), false}};
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

TEST(DrawingReader, KeepsADrawingAsTheSmallerOfItsFileAndItsPackedPixels) {
  // Grain whose rows come again six rows down, too far back for the file's
  // compression and near enough for packing; grain alone, which packs no
  // smaller than its file.
  QImage repeating = Noise(2000, 300);
  for (int y = 6; y < repeating.height(); ++y) {
    std::memcpy(repeating.scanLine(y), repeating.constScanLine(y % 6), static_cast<size_t>(repeating.bytesPerLine()));
  }
  using Kind = Bitmap::PackedPixels::Kind;
  const struct {
    QString path;
    bool packing;
    Kind kind;
  } files[] = {{SavePng(repeating, QStringLiteral("repeating.png")), true, Kind::kPacked},
               {SavePng(repeating, QStringLiteral("repeating.png")), false, Kind::kPng},
               {SavePng(Noise(2000, 300), QStringLiteral("grain.png")), true, Kind::kPng}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.path.toStdString() + (file.packing ? " packing" : ""));
    DrawingReader reader(2000, 300);
    if (!file.packing) reader.PackWhereSmaller(false);
    const Bitmap::ParkedPixels kept = reader.Read(LocalPath(file.path));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->kind, file.kind);
    EXPECT_LE(kept->bytes.size(), static_cast<size_t>(QFileInfo(file.path).size()));
    EXPECT_TRUE(SameBytes(*Bitmap::FromParked(kept), Bitmap::FromFile(file.path)->Image()));
  }
}

}  // namespace
