#include "analysis/document.h"

#include "framework/profile.h"
#include "framework/prompts.h"
#include "tests/support/testsupport.h"

#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

constexpr int kChartBody = 1517036;  // body pixels of the shipped mask

class CountingView : public DocumentView {
 public:
  void UpdateLayout() override { ++layouts; }
  void Invalidate() override {}
  int layouts = 0;
};

QImage Filled(int w, int h, QRgb colour) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

TEST(Document, OpensFilesWithTheChartLoadedAndANewDocumentEmptiesTheSet) {
  CVarenkoDoc doc;
  CountingView view;
  doc.m_pView = &view;
  ScriptedPrompts prompts;
  // The command-line route: no new document before the file. One that is no
  // image stays listed, without a processed copy and without a new layout.
  EXPECT_FALSE(doc.OnOpenDocument(SaveText(QStringLiteral("drawing.png"))));
  EXPECT_EQ(doc.m_nBodyPixels, kChartBody);
  ASSERT_EQ(doc.m_vecOriginal.size(), 1u);
  EXPECT_TRUE(doc.m_vecProcessed.empty() && doc.m_vecSelectedPixels.empty());
  EXPECT_EQ(view.layouts, 0);
  // A drawing of another size stays as it is, with count 0.
  const QString path = SavePng(Filled(100, 100, qRgb(255, 0, 0)), QStringLiteral("small.png"));
  ASSERT_TRUE(doc.OnOpenDocument(path));
  EXPECT_EQ(doc.m_vecFileName, std::vector<QString>{path});
  EXPECT_EQ(doc.m_vecSelectedPixels, std::vector<int>{0});
  EXPECT_EQ(doc.GetCurrentProcessed()->Image().pixel(50, 50), qRgb(255, 0, 0));
  EXPECT_EQ(view.layouts, 1);
  // A file that cannot be opened is reported and leaves the set as it was.
  doc.m_bFolderMode = true;
  EXPECT_FALSE(doc.OnOpenDocument(TempDir() + QStringLiteral("/missing.png")));
  EXPECT_EQ(prompts.Messages().size(), 1);
  EXPECT_EQ(doc.m_vecFileName, std::vector<QString>{path});
  EXPECT_EQ(doc.m_vecProcessed.size(), 1u);
  EXPECT_TRUE(doc.m_bFolderMode);

  // The state a folder run leaves behind, emptied by a new document.
  doc.m_vecOriginal.push_back(std::make_unique<Bitmap>());
  doc.m_vecFileName.push_back(QStringLiteral("d.png"));
  doc.m_nCurrent = 1;
  doc.m_nMaxFrequency = doc.m_nMaxFrequencyCS = doc.m_nMaxFrequencyNonCS = 3;
  ASSERT_TRUE(doc.OnNewDocument());
  EXPECT_TRUE(doc.m_vecOriginal.empty() && doc.m_vecFileName.empty());
  EXPECT_TRUE(doc.m_vecProcessed.empty() && doc.m_vecSelectedPixels.empty());
  EXPECT_EQ(doc.m_nCurrent, 0u);
  EXPECT_EQ(doc.m_nMaxFrequency + doc.m_nMaxFrequencyCS + doc.m_nMaxFrequencyNonCS, 0);
  EXPECT_EQ(view.layouts, 2);
}

TEST(Document, EachDocumentHasAMaskAndABlankChartOfItsOwn) {
  // What another document does to its chart (a run colours it into the
  // map) or its mask reaches no other, nor the next new document.
  CVarenkoDoc first;
  CVarenkoDoc second;
  ASSERT_TRUE(first.OnNewDocument() && second.OnNewDocument());
  const QImage blank = Bitmap::FromResource(324)->Image().copy();
  const QImage mask = Bitmap::FromResource(323)->Image().copy();
  for (Bitmap* bitmap : {first.m_pFinalImage.get(), first.m_pBodyMask.get()}) {
    const Bitmap::Lock lock = bitmap->LockBits();
    ASSERT_TRUE(lock.ok());
    std::memset(lock.data().Row(1000), 0, 4 * 3508);
  }
  EXPECT_TRUE(second.m_pFinalImage->Image() == blank && second.m_pBodyMask->Image() == mask);
  ASSERT_TRUE(first.OnNewDocument());
  EXPECT_TRUE(first.m_pFinalImage->Image() == blank && first.m_pBodyMask->Image() == mask);
  EXPECT_EQ(first.m_nBodyPixels, kChartBody);
}

TEST(Document, ProcessingFollowsANewBodyMaskOfTheSameSize) {
  CVarenkoDoc doc;
  int count = -1;
  // A mask of body on its left half; then a new mask of the same size,
  // which is followed, not the one remembered.
  QImage half = Filled(6, 4, qRgb(255, 217, 168));
  QPainter(&half).fillRect(0, 0, 3, 4, QColor(116, 167, 254));
  QImage drawing = Filled(6, 4, qRgb(0, 0, 255));
  drawing.setPixel(0, 0, qRgb(77, 77, 77));
  for (const auto& [mask, expected] : {std::pair{half, 11}, std::pair{Filled(6, 4, qRgb(116, 167, 254)), 23}}) {
    doc.m_pBodyMask = std::make_unique<Bitmap>(mask);
    Bitmap copy(drawing);
    doc.ProcessImage(&copy, &count);
    EXPECT_EQ(count, expected);
    EXPECT_EQ(copy.Image().pixel(1, 0), qRgb(255, 255, 0));
  }
  doc.ProcessImage(nullptr, &count);
  EXPECT_EQ(count, 0);
}

// The samples opened the way a user opens them, counted with and without
// the smart area as samples/counts.tsv lists them; the option switched with
// one drawing open measures it again, and is stored.
TEST(Document, SampleDrawingsCountAsListed) {
  Profile::Instance().Settings().clear();
  const std::vector<SampleCount> samples = SampleCounts();
  ASSERT_GE(samples.size(), 10u);
  CVarenkoDoc doc;
  ScriptedPrompts prompts;
  for (const SampleCount& sample : samples) {
    SCOPED_TRACE(sample.file.toStdString());
    const bool smart = doc.m_bSmartArea;
    if (!doc.OnOpenDocument(SourcePath(QStringLiteral("samples/") + sample.file))) {
      EXPECT_EQ(sample.width, 0);  // the file that is no image
      continue;
    }
    EXPECT_EQ(doc.m_vecSelectedPixels[0], smart ? sample.selectedWithSmartArea : sample.selected);
    doc.OnSmartArea();
    EXPECT_EQ(doc.m_vecSelectedPixels[0], smart ? sample.selected : sample.selectedWithSmartArea);
    EXPECT_EQ(CVarenkoDoc().m_bSmartArea, !smart);
  }
}

// A chart-size drawing with a square of its own place and red shade on
// the body, and the same inverted.
QImage Drawing(size_t i, int shade) {
  return ChartDrawing({QRect(900 + 20 * static_cast<int>(i), 950, 10, 10)}, qRgb(shade, 0, 0));
}
void Invert(const BitmapData& data) {
  for (uint8_t* p = data.scan0; p != data.Row(data.height); ++p) *p = static_cast<uint8_t>(~*p);
}
QImage Inverted(QImage image) {
  Invert(BitmapData{image.bits(), image.bytesPerLine(), image.width(), image.height()});
  return image;
}

// A folder set of n such drawings, each processed copy its original
// inverted on its way through the gate.
void LoadSet(CVarenkoDoc& doc, size_t n, int shade, const std::shared_ptr<Gate>& gate) {
  for (size_t i = 0; i < n; ++i) {
    const Bitmap::ParkedPixels original = Bitmap::Pack(Drawing(i, shade));
    doc.m_vecOriginal.push_back(Bitmap::FromParked(original));
    doc.m_vecProcessed.push_back(Bitmap::FromParked(Bitmap::Derived(original, [gate](const BitmapData& data) {
      gate->Pass();
      Invert(data);
    })));
    doc.m_vecFileName.push_back(QString::number(i));
    doc.m_vecSelectedPixels.push_back(0);
  }
}

// The drawings whose original and copy are both awake.
std::vector<size_t> Awake(const CVarenkoDoc& doc) {
  std::vector<size_t> awake;
  for (size_t i = 0; i < doc.m_vecOriginal.size(); ++i) {
    if (!doc.m_vecOriginal[i]->IsParked() && !doc.m_vecProcessed[i]->IsParked()) awake.push_back(i);
  }
  return awake;
}

// Stepping on, clearing the set or measuring it again while a neighbour is
// in the making: the drawing on show is made at once, the neighbours of the
// new one follow with their own pixels, and nothing made for a drawing left
// or a set gone reaches a bitmap.
TEST(Document, StepsClearsAndRunsAgainWhileANeighbourIsInTheMaking) {
  const auto gate = std::make_shared<Gate>();
  CVarenkoDoc doc;
  ASSERT_TRUE(doc.OnNewDocument());
  doc.m_nWorkerThreads = 1;
  LoadSet(doc, 5, 255, gate);
  // Waits until just these drawings are awake, and checks their pixels:
  // the copies made by the program's processing after a new run, not by
  // inverting.
  auto expectAwake = [&doc](const std::vector<size_t>& indices, int shade, bool inverted) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return Awake(doc) == indices; }, kWorkerWaitMs));
    for (size_t i : indices) {
      const QImage& copy = doc.m_vecProcessed[i]->Image();
      EXPECT_EQ(doc.m_vecOriginal[i]->Image(), Drawing(i, shade)) << i;
      EXPECT_EQ(copy, Bitmap::Make(doc.m_vecProcessed[i]->Parked())) << i;
      EXPECT_EQ(copy == Inverted(Drawing(i, shade)), inverted) << i;
    }
  };
  // Shows a drawing, whose neighbour the user goes towards is then held in
  // the making.
  auto show = [&](size_t i) {
    gate->Close();
    doc.m_nCurrent = i;
    EXPECT_FALSE(doc.GetCurrentProcessed()->IsParked());
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate->Held(); }, kWorkerWaitMs));
  };
  show(0);  // 1 held
  doc.m_nCurrent = 3;
  EXPECT_FALSE(doc.GetCurrentProcessed()->IsParked());
  gate->Open();
  expectAwake({2, 3, 4}, 255, true);

  // The set cleared and another loaded while drawing 0 is in the making;
  // the new drawing 0 is made next.
  show(1);
  doc.ClearImages();
  LoadSet(doc, 5, 128, gate);
  doc.m_nCurrent = 1;
  doc.GetCurrentProcessed();
  gate->Open();
  expectAwake({0, 1, 2}, 128, true);

  // The set measured again while drawing 4 is in the making: the new
  // copies follow.
  show(3);
  doc.OnSmartArea();
  gate->Open();
  expectAwake({2, 3, 4}, 128, false);
}

}  // namespace
