#include "analysis/document.h"
#include "compare/comparedialog.h"
#include "framework/prompts.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace {

// What the three ways a user reads a drawing make of one file: whether a
// folder run counts it (under a drawing's name, with a mask of the size
// given), whether Open File shows it, and whether the comparison takes it.
struct Answers {
  bool folderRun, openFile, comparison;
  bool operator==(const Answers&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Answers& a) {
  return out << "folder run " << a.folderRun << ", Open File " << a.openFile << ", comparison " << a.comparison;
}

class ReadRoutes : public ::testing::Test {
 protected:
  Answers Read(const QString& path, QSize size) {
    const QString folder = TempDir();
    EXPECT_TRUE(QFile::copy(path, folder + QStringLiteral("/drawing.png")));
    QImage mask(size, QImage::Format_RGB32);
    mask.fill(qRgb(116, 167, 254));  // body all over
    run_.m_pBodyMask = std::make_unique<Bitmap>(mask);
    const QString here = QDir::currentPath();
    run_.LoadFolderImages(folder);
    QDir::setCurrent(here);
    prompts_.Clear();
    prompts_.Answer(path);
    dialog_.SelectFirstButton()->click();
    return {!run_.m_vecFileName.empty(), alone_.OnOpenDocument(path),
            !prompts_.Messages().contains(QStringLiteral("The file is not a valid image"))};
  }

  ScriptedPrompts prompts_;
  CVarenkoDoc run_;
  CVarenkoDoc alone_;
  CDlgCompareFiles dialog_;
};

TEST_F(ReadRoutes, FilesCutShortOrOfManyScansAreRefusedByEveryRouteAndDrawingsReadByAll) {
  // The image corpus: its drawings, and files that are none: drawings cut at
  // 30, 60 or 90 % of their bytes (or in the colour table Qt writes last in a
  // TIFF file), which the decoders would fill up with made-up rows, and JPEG
  // files of more scans than a drawing's, each scan a pass over the image:
  // 65 that code a coefficient bit at a time (a drawing of 64 such scans is
  // read), or 50 and 1,000 that code nothing again.
  const QDir images(SourcePath(QStringLiteral("tests/data/images")));
  int refused = 0;
  for (const QString& name : images.entryList(QDir::Files)) {
    SCOPED_TRACE(name.toStdString());
    const bool drawing = name.startsWith(QStringLiteral("drawing"));
    refused += !drawing;
    const QSize size = name.endsWith(QStringLiteral(".ico")) ? QSize(64, 48) : QSize(200, 150);
    EXPECT_EQ(Read(images.filePath(name), size), (Answers{drawing, drawing, drawing}));
  }
  EXPECT_EQ(refused, 32);
}

TEST_F(ReadRoutes, PicturesInFormatsDrawingsAreNotSavedInAreRefusedByEveryRoute) {
  // Pictures Qt reads, by their content whatever their name: at a chart's
  // size as bitmaps written as text (an XBM file took seconds a read) and
  // the portable maps, small as WebP. The same picture as PNG is read.
  QImage chart(3508, 2480, QImage::Format_Mono);
  chart.fill(1);
  chart.setColorTable({qRgb(255, 0, 0), qRgb(255, 255, 255)});
  for (int y = 900; y < 1000; ++y) std::memset(chart.scanLine(y) + 110, 0, 12);
  const QImage small = chart.copy(800, 850, 200, 150);
  const std::pair<const char*, const QImage&> pictures[] = {{"xbm", chart}, {"xpm", chart}, {"pbm", chart},
                                                            {"pgm", chart}, {"ppm", chart}, {"webp", small},
                                                            {"png", chart}, {"png", small}};
  for (const auto& [format, picture] : pictures) {
    SCOPED_TRACE(format);
    const QString path = TempDir() + QStringLiteral("/picture.") + QString::fromLatin1(format);
    ASSERT_TRUE(picture.save(path, format));
    const bool png = std::string_view(format) == "png";
    EXPECT_EQ(Read(path, picture.size()), (Answers{png, png, png}));
  }
}

TEST_F(ReadRoutes, PngFilesWithAllTheirChunksThatAreNoValidPngAreRefusedByEveryRoute) {
  // Every chunk intact, but a chunk whose type holds a byte that is no
  // letter, or pixels that index past the palette; a drawing is read.
  const QDir corpus(SourcePath(QStringLiteral("tests/data/png")));
  const std::pair<QString, bool> files[] = {
      {SavePng(ChartDrawing({QRect(900, 950, 100, 100)}), QStringLiteral("drawing.png")), true},
      {corpus.filePath(QStringLiteral("chunk_type_digit.png")), false},
      {corpus.filePath(QStringLiteral("chunk_type_high_byte.png")), false},
      {corpus.filePath(QStringLiteral("chunk_type_space.png")), false},
      {corpus.filePath(QStringLiteral("palette_index_past_end.png")), false},
  };
  for (const auto& [file, valid] : files) {
    SCOPED_TRACE(file.toStdString());
    EXPECT_EQ(Read(file, QSize(3508, 2480)), (Answers{valid, valid, valid}));
  }
}

}  // namespace
