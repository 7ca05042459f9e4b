#include "analysis/document.h"

#include "analysis/pixelrule.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace {

class CountingView : public DocumentView {
 public:
  void UpdateLayout() override { ++layouts; }
  void Invalidate() override {}
  int layouts = 0;
};

// A document whose body mask is a small synthetic one: body on the left
// half, outside on the right.
void UseSmallMask(CVarenkoDoc& doc, int w, int h) {
  QImage mask(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) mask.setPixel(x, y, x < w / 2 ? qRgb(116, 167, 254) : qRgb(255, 217, 168));
  }
  doc.m_pBodyMask = std::make_unique<Bitmap>(mask);
  doc.m_pFinalImage = std::make_unique<Bitmap>(QImage(w, h, QImage::Format_RGB32));
}

TEST(Document, ANewDocumentIsEmptyWithItsChartLoaded) {
  CVarenkoDoc doc;
  CountingView view;
  doc.m_pView = &view;
  ASSERT_TRUE(doc.OnNewDocument());
  ASSERT_NE(doc.m_pBodyMask, nullptr);
  ASSERT_NE(doc.m_pFinalImage, nullptr);
  EXPECT_EQ(doc.m_nBodyPixels, BodyRuns(doc.m_pBodyMask->LockBitsForReading().data()).BodyPixels());
  EXPECT_TRUE(doc.m_vecOriginal.empty());
  EXPECT_TRUE(doc.m_vecProcessed.empty());
  EXPECT_EQ(doc.m_nCurrent, 0u);
  EXPECT_EQ(doc.GetCurrentOriginal(), nullptr);
  EXPECT_EQ(doc.GetCurrentProcessed(), nullptr);
  EXPECT_FALSE(doc.IsFolderView());
  EXPECT_EQ(view.layouts, 1);
}

TEST(Document, OpeningASmallDrawingKeepsItUnchangedWithCountZero) {
  QImage image(100, 100, QImage::Format_RGB32);
  image.fill(qRgb(255, 0, 0));
  const QString path = SavePng(image, QStringLiteral("small.png"));
  CVarenkoDoc doc;
  CountingView view;
  doc.m_pView = &view;
  ASSERT_TRUE(doc.OnOpenDocument(path));
  // Opened without a new document first, the chart is loaded all the same.
  ASSERT_NE(doc.m_pBodyMask, nullptr);
  EXPECT_EQ(doc.m_vecOriginal.size(), 1u);
  EXPECT_EQ(doc.m_vecFileName, std::vector<QString>{path});
  ASSERT_EQ(doc.m_vecProcessed.size(), 1u);
  EXPECT_EQ(doc.m_vecSelectedPixels, std::vector<int>{0});
  EXPECT_EQ(doc.GetCurrentProcessed()->Image().pixel(50, 50), qRgb(255, 0, 0));
  EXPECT_EQ(view.layouts, 1);
}

TEST(Document, AFileThatIsNoImageStaysListedWithoutACopy) {
  const QString path = SaveText(QStringLiteral("drawing.png"));
  CVarenkoDoc doc;
  CountingView view;
  doc.m_pView = &view;
  ASSERT_TRUE(doc.OnNewDocument());
  view.layouts = 0;
  EXPECT_FALSE(doc.OnOpenDocument(path));
  EXPECT_EQ(doc.m_vecOriginal.size(), 1u);
  EXPECT_EQ(doc.m_vecFileName.size(), 1u);
  EXPECT_TRUE(doc.m_vecProcessed.empty());
  EXPECT_TRUE(doc.m_vecSelectedPixels.empty());
  ASSERT_NE(doc.GetCurrentOriginal(), nullptr);
  EXPECT_EQ(doc.GetCurrentOriginal()->Width(), 0);
  EXPECT_EQ(doc.GetCurrentProcessed(), nullptr);
  EXPECT_EQ(view.layouts, 0);
}

TEST(Document, AFileThatCannotBeOpenedLeavesTheSetAsItWas) {
  QImage image(10, 10, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QString path = SavePng(image, QStringLiteral("first.png"));
  CVarenkoDoc doc;
  ASSERT_TRUE(doc.OnOpenDocument(path));
  doc.m_bFolderMode = true;
  ScriptedPrompts prompts;
  EXPECT_FALSE(doc.OnOpenDocument(TempDir() + QStringLiteral("/missing.png")));
  EXPECT_EQ(prompts.Messages().size(), 1);
  EXPECT_EQ(doc.m_vecFileName, std::vector<QString>{path});
  EXPECT_EQ(doc.m_vecProcessed.size(), 1u);
  EXPECT_TRUE(doc.m_bFolderMode);
}

TEST(Document, ProcessingMarksBodyPixelsOfADrawingOfTheMasksSize) {
  CVarenkoDoc doc;
  UseSmallMask(doc, 6, 4);
  QImage image(6, 4, QImage::Format_RGB32);
  image.fill(qRgb(0, 0, 255));  // blue everywhere
  image.setPixel(0, 0, qRgb(77, 77, 77));
  Bitmap copy(image);
  int count = -1;
  doc.ProcessImage(&copy, &count);
  EXPECT_EQ(count, 11);  // 12 body pixels, one of them grey
  EXPECT_EQ(copy.Image().pixel(1, 0), qRgb(255, 255, 0));
  EXPECT_EQ(copy.Image().pixel(4, 0), qRgb(0, 0, 255));

  // A new mask of the same size is followed, not a remembered one.
  QImage wholeBody(6, 4, QImage::Format_RGB32);
  wholeBody.fill(qRgb(116, 167, 254));
  doc.m_pBodyMask = std::make_unique<Bitmap>(wholeBody);
  Bitmap again(image);
  doc.ProcessImage(&again, &count);
  EXPECT_EQ(count, 23);

  Bitmap other(QImage(5, 4, QImage::Format_RGB32));
  doc.ProcessImage(&other, &count);
  EXPECT_EQ(count, 0);
  doc.ProcessImage(nullptr, &count);
  EXPECT_EQ(count, 0);
  doc.m_pBodyMask.reset();
  doc.ProcessImage(&copy, &count);
  EXPECT_EQ(count, 0);
}

TEST(Document, ANewDocumentAfterAFolderRunEmptiesTheSet) {
  CVarenkoDoc doc;
  ASSERT_TRUE(doc.OnNewDocument());
  const int body = doc.m_nBodyPixels;
  // The state a folder run leaves behind.
  for (int i = 0; i < 3; ++i) {
    doc.m_vecOriginal.push_back(std::make_unique<Bitmap>(QImage(4, 4, QImage::Format_RGB32)));
    doc.m_vecFileName.push_back(QStringLiteral("d%1.png").arg(i));
    doc.m_vecProcessed.push_back(std::make_unique<Bitmap>(QImage(4, 4, QImage::Format_RGB32)));
    doc.m_vecSelectedPixels.push_back(i);
  }
  doc.m_bFolderMode = true;
  doc.m_nCurrent = 2;
  doc.m_nMaxFrequency = 3;
  doc.m_nMaxFrequencyCS = 2;
  doc.m_nMaxFrequencyNonCS = 1;
  EXPECT_TRUE(doc.IsFolderView());
  EXPECT_EQ(doc.GetCurrentProcessed(), doc.m_vecProcessed[2].get());

  // An index with an original but no processed copy.
  doc.m_vecProcessed.pop_back();
  doc.m_vecSelectedPixels.pop_back();
  EXPECT_NE(doc.GetCurrentOriginal(), nullptr);
  EXPECT_EQ(doc.GetCurrentProcessed(), nullptr);

  ASSERT_TRUE(doc.OnNewDocument());
  EXPECT_TRUE(doc.m_vecOriginal.empty());
  EXPECT_TRUE(doc.m_vecFileName.empty());
  EXPECT_TRUE(doc.m_vecProcessed.empty());
  EXPECT_TRUE(doc.m_vecSelectedPixels.empty());
  EXPECT_EQ(doc.m_nCurrent, 0u);
  EXPECT_EQ(doc.m_nMaxFrequency, 0);
  EXPECT_EQ(doc.m_nMaxFrequencyCS, 0);
  EXPECT_EQ(doc.m_nMaxFrequencyNonCS, 0);
  EXPECT_EQ(doc.m_nBodyPixels, body);
  EXPECT_TRUE(doc.m_bFolderMode);
  EXPECT_FALSE(doc.IsFolderView());

  // One drawing after a folder run is no folder view either.
  doc.m_vecOriginal.push_back(std::make_unique<Bitmap>());
  doc.m_vecFileName.push_back(QStringLiteral("one.png"));
  EXPECT_FALSE(doc.IsFolderView());
}

TEST(Document, TheSmartAreaOptionComesFromTheSettings) {
  Profile& profile = Profile::Instance();
  const QString section = QString::fromLatin1(kOptionsSection);
  const QString entry = QString::fromLatin1(kSmartAreaEntry);
  profile.WriteProfileInt(section, entry, 0);
  EXPECT_FALSE(CVarenkoDoc().m_bSmartArea);
  profile.WriteProfileInt(section, entry, 5);
  EXPECT_TRUE(CVarenkoDoc().m_bSmartArea);
  profile.WriteProfileString(section, entry, QStringLiteral("-1"));
  EXPECT_TRUE(CVarenkoDoc().m_bSmartArea);
  profile.WriteProfileInt(section, entry, 0);
}

}  // namespace

namespace {

TEST(DocumentWithTheChart, CountsTheBodyOfTheShippedMask) {
  CVarenkoDoc opened;
  // The command-line route: no new document before the drawing.
  ASSERT_TRUE(opened.OnOpenDocument(SourcePath(QStringLiteral("samples/blank.png"))));
  EXPECT_EQ(opened.m_nBodyPixels, 1517036);
  CVarenkoDoc fresh;
  ASSERT_TRUE(fresh.OnNewDocument());
  EXPECT_EQ(fresh.m_nBodyPixels, 1517036);
  EXPECT_EQ(fresh.m_nMaxFrequency, 0);
}

TEST(DocumentWithTheChart, EveryColouredBodyPixelCounts) {
  QImage image(3508, 2480, QImage::Format_RGB32);
  image.fill(qRgb(0, 0, 255));
  const QString path = SavePng(image, QStringLiteral("all.png"));
  CVarenkoDoc doc;
  ASSERT_TRUE(doc.OnOpenDocument(path));
  EXPECT_EQ(doc.m_vecSelectedPixels, std::vector<int>{1517036});

  // One column short: nothing is measured, the copy stays as it was.
  const QString narrow = SavePng(image.copy(0, 0, 3507, 2480), QStringLiteral("narrow.png"));
  for (bool smart : {false, true}) {
    doc.m_bSmartArea = smart;
    ASSERT_TRUE(doc.OnOpenDocument(narrow));
    EXPECT_EQ(doc.m_vecSelectedPixels, std::vector<int>{0});
    EXPECT_EQ(doc.GetCurrentProcessed()->Image().pixel(100, 100), qRgb(0, 0, 255));
  }
}

TEST(DocumentWithTheChart, SampleDrawingsCountAsListed) {
  const std::vector<SampleCount> counts = SampleCounts();
  ASSERT_GE(counts.size(), 10u);
  CVarenkoDoc doc;
  ASSERT_TRUE(doc.OnNewDocument());
  for (const SampleCount& sample : counts) {
    SCOPED_TRACE(sample.file.toStdString());
    ScriptedPrompts prompts;
    const bool opened = doc.OnOpenDocument(SourcePath(QStringLiteral("samples/") + sample.file));
    ASSERT_EQ(doc.m_vecOriginal.size(), 1u);
    if (!opened) {
      // The file that is no image stays listed without a processed copy.
      EXPECT_TRUE(doc.m_vecProcessed.empty());
      EXPECT_EQ(sample.selected, 0);
      continue;
    }
    EXPECT_EQ(doc.m_vecSelectedPixels, std::vector<int>{static_cast<int>(sample.selected)});
  }
}

}  // namespace
