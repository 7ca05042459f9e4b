#include "framework/application.h"
#include "framework/clipboard.h"
#include "framework/dialogunits.h"
#include "framework/files.h"
#include "framework/geometry.h"
#include "framework/imagetext.h"
#include "framework/waitcursor.h"
#include "tests/support/testsupport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(Geometry, RightAndBottomLieOutside) {
  const Rect r{4, 24, 400, 616};
  EXPECT_EQ(r.Width(), 396);
  EXPECT_EQ(r.Height(), 592);
  EXPECT_TRUE(r.Contains({4, 24}));
  EXPECT_TRUE(r.Contains({399, 615}));
  EXPECT_FALSE(r.Contains({400, 100}));
  EXPECT_FALSE(r.Contains({100, 616}));
  EXPECT_TRUE((Rect{5, 5, 5, 9}).IsEmpty());
  EXPECT_FALSE(r.IsEmpty());
}

int EarlyReturn(bool early) {
  WaitCursor wait;
  if (early) return 1;
  wait.Restore();
  return 2;
}

TEST(WaitCursor, EndsOnEveryWayOut) {
  EXPECT_FALSE(WaitCursor::IsShowing());
  {
    WaitCursor wait;
    EXPECT_TRUE(WaitCursor::IsShowing());
    wait.Restore();
    EXPECT_FALSE(WaitCursor::IsShowing());
    wait.Restore();  // a second end leaves other cursors alone
  }
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EarlyReturn(true);
  EarlyReturn(false);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  {
    WaitCursor outer;
    { WaitCursor inner; }
    EXPECT_TRUE(WaitCursor::IsShowing());
  }
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(DialogUnits, ScaleWithTheFont) {
  const DialogUnits units(DialogUnits::DialogFont());
  ASSERT_GT(units.baseX(), 2);
  ASSERT_GT(units.baseY(), 6);
  EXPECT_EQ(units.ToPixels(0, 0, 4, 8), QRect(0, 0, units.baseX(), units.baseY()));
  // Positions and sizes round separately but edges stay consistent:
  // a control ending where the next one starts leaves no gap.
  const QRect a = units.ToPixels(7, 7, 50, 14);
  const QRect b = units.ToPixels(57, 7, 50, 14);
  EXPECT_EQ(a.left() + a.width(), b.left());
  QFont big = DialogUnits::DialogFont();
  big.setPointSize(16);
  EXPECT_GT(DialogUnits(big).ToPixelsX(100), units.ToPixelsX(100));
}

TEST(Clipboard, HoldsAnOpaqueCopyOfTheImage) {
  // Pixel work leaves the fourth byte 0; the clipboard gets it as 255 and
  // the owner's image keeps its own bytes.
  QImage image(3, 2, QImage::Format_RGB32);
  for (int y = 0; y < 2; ++y) std::fill_n(reinterpret_cast<uint32_t*>(image.scanLine(y)), 3, 0x0014DC64u);
  ASSERT_TRUE(PutImageOnClipboard(image));
  const QImage back = QGuiApplication::clipboard()->image();
  ASSERT_EQ(back.size(), image.size());
  EXPECT_EQ(back.pixel(2, 1), 0xFF14DC64u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(image.constScanLine(1))[2], 0x0014DC64u);
  EXPECT_FALSE(PutImageOnClipboard(QImage()));
}

TEST(ImageText, ArialAtAnEmOfGivenPixelsWhateverTheResolution) {
  EXPECT_EQ(ImageTextEm(3508), 47);
  EXPECT_EQ(ImageTextEm(3507), 47);
  EXPECT_EQ(ImageTextEm(37), 0);
  EXPECT_EQ(ImageTextEm(38), 1);
  for (const int dotsPerMeter : {2835, 3780, 11811}) {
    QImage image(10, 10, QImage::Format_RGB32);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QPainter painter(&image);
    painter.setFont(ImageText(painter, 47).font());
    // Liberation Sans is drawn for Arial; without it the text would be wider
    // or drawn as empty boxes.
    EXPECT_EQ(painter.fontInfo().family(), QStringLiteral("Liberation Sans")) << dotsPerMeter;
    EXPECT_EQ(painter.fontInfo().pixelSize(), 47) << dotsPerMeter;
  }
}

}  // namespace

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(WriteWholeFile, ReplacesAFileWholeOrLeavesItAsItWas) {
  const QString dir = TempDir();
  const QString path = dir + QStringLiteral("/Results.txt");
  const QByteArray text(5000, 'x');
  // A new file, then a read-only one replaced.
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
  EXPECT_TRUE(WriteWholeFile(path, text));
  EXPECT_EQ(Contents(path), text);
  ASSERT_TRUE(WriteWholeFile(path, "old"));

  // A write that fails part-way (the file-size limit stands in for a full
  // disk) keeps the old file and says so.
  bool written = true;
  {
    const FileSizeLimit full(1000);
    written = WriteWholeFile(path, text);
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(Contents(path), QByteArray("old"));

  // Places where no file can be made.
  EXPECT_FALSE(WriteWholeFile(dir, text));
  EXPECT_FALSE(WriteWholeFile(QStringLiteral("/proc/Results.txt"), text));
  EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("Results.txt")});
}

TEST(DesktopPath, EndsWithExactlyOneSeparator) {
  QString path = QStringLiteral("untouched");
  Application::GetDesktopPath(path);
  ASSERT_FALSE(path.isEmpty());
  EXPECT_TRUE(path.endsWith(QDir::separator()));
  EXPECT_FALSE(path.endsWith(QString(2, QDir::separator())));
  EXPECT_EQ(QDir::cleanPath(path), QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)));
}

}  // namespace
