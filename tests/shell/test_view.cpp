#include "analysis/document.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/waitcursor.h"
#include "resources/resource.h"
#include "shell/panelayout.h"
#include "shell/view.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QSettings>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <malloc.h>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);

TEST(PaneLayout, CellsKeepTheirMarginsAndSpansAndImagesShowWholeOrTheirMiddleAtTheRoundedScale) {
  PaneLayout grid;  // 3 x 3 cells of 100 x 100, the first pane covering 2 x 2
  grid.m_nRows = grid.m_nCols = 3;
  grid.m_nSpan = 2;
  grid.RebuildPanes();
  ASSERT_EQ(grid.m_vecPanes.size(), 6u);
  const Rect cells[] = {{4, 4, 200, 200}, {204, 4, 300, 100}, {204, 104, 300, 200}, {4, 204, 100, 300}};
  // An area too small for the margins, as of a minimised window, changes nothing.
  for (Rect area : {Rect{0, 0, 304, 304}, Rect{10, 20, 14, 620}, Rect{10, 20, 15, 620}, Rect{50, 20, 10, 620}}) {
    grid.m_rcArea = area;
    grid.ArrangePanes(false);
    for (size_t i = 0; i < std::size(cells); ++i) EXPECT_EQ(grid.m_vecPanes[i]->rcCell, cells[i]) << area.right;
  }
  const std::tuple<Rect, uint32_t, double, Rect, Rect> cases[] = {
      // cell, image width (its height is 2480), zoom, source, destination
      {{30, 50, 1030, 750}, 3508, 0.25, {0, 0, 3508, 2480}, {91, 90, 968, 710}},   // smaller: centred whole
      {{30, 50, 830, 750}, 3508, 0.25, {154, 0, 3354, 2480}, {30, 90, 830, 710}},  // wider: its middle
      {{30, 50, 1030, 750}, 3508, 0.1, {0, 0, 3508, 2480}, {354, 276, 705, 524}},  // 350.8 x 248 rounds up
      {{30, 50, 830, 750}, 3508, 0.3, {420, 73, 3087, 2406}, {30, 50, 830, 750}},  // 2666.7 x 2333.3 shown
      {{4, 24, 400, 616}, 0, 0.25, {4, 24, 400, 616}, {4, 24, 400, 616}},          // no image size
  };
  for (const auto& [cell, width, zoom, src, dest] : cases) {
    Pane pane;
    pane.rcCell = cell;
    pane.nImageWidth = width;
    pane.nImageHeight = 2480;
    PaneLayout::PlaceImage(&pane, zoom, zoom);
    EXPECT_TRUE(pane.rcSrc == src && pane.rcDest == dest) << zoom << " " << cell.right;
  }
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return false;
  }
  int paints = 0;
};

// A document and its view, without the rest of the program.
class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Profile::Instance().Settings().clear();
    ASSERT_TRUE(doc_->OnNewDocument());
    ASSERT_TRUE(view_->OnCreate());
  }
  void Show(int w, int h) {
    view_->resize(w, h);
    view_->show();
    QApplication::processEvents();
  }
  // n white drawings, the k-th with k * 1000 marked pixels, and a white frequency
  // map, as a folder run leaves them; one drawing alone is no folder view.
  void Drawings(int n, QSize size = {70, 50}, QSize map = {}) {
    doc_->ClearImages();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int i = 0; i < n; ++i) {
      doc_->m_vecOriginal.push_back(std::make_unique<Bitmap>(image));
      doc_->m_vecFileName.push_back(QStringLiteral("d%1.png").arg(i + 1));
      doc_->m_vecProcessed.push_back(std::make_unique<Bitmap>(image));
      doc_->m_vecSelectedPixels.push_back(i * 1000);
    }
    doc_->m_pFinalImage = std::make_unique<Bitmap>(map.isValid() ? image.scaled(map) : image);
    doc_->m_bFolderMode = true;
  }
  QImage Copy() {
    EXPECT_TRUE(view_->OnCommand(res::ID_EDIT_COPY));
    return QGuiApplication::clipboard()->image();
  }
  // Line k of a copy: "Arial" at an em of a 75th of the width (47 pixels for the chart) in
  // 192, 128, 0 from (5, 10), each lower by the rounded line height (54 pixels at 47).
  static QImage Line(const QImage& copy, int k, int step = 54) {
    return copy.copy(Ink(copy, QRect(0, 10 + step * k, 1500, step)));
  }
  static QImage Line(const QString& text, int em = 47) { return Written(text, em, QColor(192, 128, 0)); }

  ScriptedPrompts prompts_;
  std::unique_ptr<CVarenkoDoc> doc_ = std::make_unique<CVarenkoDoc>();
  std::unique_ptr<CVarenkoView> view_ = std::make_unique<CVarenkoView>(doc_.get());
};

TEST_F(ViewTest, PanesShowTheDrawingFramedAtOneZoomAndKeepItAsTheSizeChanges) {
  Show(1000, 700);
  QImage image(3508, 2480, QImage::Format_RGB32);  // a red square on the front figure's belly
  image.fill(Qt::white);
  QPainter(&image).fillRect(900, 950, 100, 100, Qt::red);
  ASSERT_TRUE(doc_->OnOpenDocument(SavePng(image, "drawing.png")));
  QApplication::processEvents();
  const int cy = view_->m_sizeTitle.cy;
  const Pane& left = *view_->m_layout.m_vecPanes[0];
  const Pane& right = *view_->m_layout.m_vecPanes[1];
  EXPECT_EQ(right.rcCell, (Rect{502, cy + 10, 996, 696}));
  // One zoom for both panes: the smaller ratio of pane 0's cell, less 4, to the drawing.
  const double z = std::min(490.0 / 3508.0, (682.0 - cy) / 2480.0);
  EXPECT_DOUBLE_EQ(left.dZoomX, z);
  EXPECT_DOUBLE_EQ(right.dZoomY, z);
  // Frames around the cell and its title band; the square red, and cyan when processed.
  const QImage shot = view_->grab().toImage();
  const Rect& c = right.rcCell;
  const QRgb frame = qRgb(64, 128, 255), grey = qRgb(96, 96, 96);
  EXPECT_TRUE(shot.pixel(c.left + 1, 300) == frame && shot.pixel(c.left - 1, 300) == grey);
  EXPECT_TRUE(shot.pixel(c.left + 3, c.top - 6 - cy) == frame && shot.pixel(c.left + 3, c.top - 7 - cy) == grey);
  auto at = [&](const Pane& pane, int x, int y) {
    return shot.pixel(pane.rcDest.left + static_cast<int>((x - pane.rcSrc.left) * z),
                      pane.rcDest.top + static_cast<int>((y - pane.rcSrc.top) * z));
  };
  EXPECT_EQ(at(left, 950, 1000), qRgb(255, 0, 0));
  EXPECT_EQ(at(right, 950, 1000), qRgb(0, 255, 255));
  EXPECT_EQ(at(left, 300, 300), kWhite);
  // Changes below two pixels from the last size leave the panes; a smaller window crops.
  for (const auto& [w, h, edge] :
       {std::tuple{1001, 701, 1000}, {1002, 702, 1000}, {1004, 702, 1004}, {600, 500, 600}}) {
    view_->resize(w, h);
    QApplication::processEvents();
    EXPECT_EQ(view_->m_layout.m_rcArea.right, edge) << w;
  }
  EXPECT_EQ(left.dZoomX, z);
  EXPECT_GT(left.rcSrc.left, 0);
  EXPECT_EQ(left.rcDest.left, left.rcCell.left);
}

TEST_F(ViewTest, InformationLinesOfAFolderViewAndLegendLabels) {
  Drawings(5);
  doc_->m_nCurrent = 2;
  doc_->m_nMaxFrequency = 4;
  EXPECT_EQ(view_->InfoLines(1), (QStringList{"Whole Body Pixels: 1517036", "Selected Pixels: 2000", "Ratio: 0.13%"}));
  view_->m_bProbe = true;
  EXPECT_EQ(view_->InfoLines(0), (QStringList{"d3.png", "File: 3/5"}));
  EXPECT_EQ(view_->InfoLines(1), QStringList{"Maximum Frequency: 4/5"});
  // One drawing is no folder view; without body pixels there are no lines.
  Drawings(1);
  EXPECT_TRUE(view_->InfoLines(0).isEmpty() && view_->InfoLines(1).size() == 3);
  doc_->m_nBodyPixels = 0;
  EXPECT_TRUE(view_->InfoLines(1).isEmpty());
  // The legend's labels: the highest frequency, half of it rounded, 1.
  for (const auto& [max, labels] :
       {std::pair{1, QStringList{"1", "1", "1"}}, {3, {"3", "2", "1"}}, {0, {"0", "0", "1"}}}) {
    doc_->m_nMaxFrequency = max;
    EXPECT_EQ(view_->LegendLabels(), labels) << max;
  }
}

TEST_F(ViewTest, TheProbeReadsTheFrequencyUnderTheCursorOverTheImageOnly) {
  Show(1000, 700);
  Drawings(30);
  view_->UpdateLayout();
  view_->m_bProbe = true;
  doc_->m_nMaxFrequency = 12;
  const Pane& pane = *view_->m_layout.m_vecPanes[1];
  // Blue 0 is the highest frequency, 239 none; grey pixels show nothing.
  Bitmap& map = *doc_->m_pFinalImage;
  {
    Bitmap::Lock lock = map.LockBits();
    for (const auto& [column, blue] : {std::pair{10, 0}, {11, 239}, {12, 120}}) {
      uint8_t* p = lock.data().Pixel(column, 20);
      p[kBlue] = p[kGreen] = static_cast<uint8_t>(blue);
      p[kRed] = 255;
    }
  }
  auto over = [&](int x, int y) {
    return Point{pane.rcDest.left + static_cast<int>((x + 0.5) * pane.dZoomX),
                 pane.rcDest.top + static_cast<int>((y + 0.5) * pane.dZoomX)};
  };
  EXPECT_EQ(view_->ProbeText(over(10, 20), &map), QString("  12/30 (40.00%)  "));
  EXPECT_EQ(view_->ProbeText(over(11, 20), &map), QString("  0/30 (0.00%)  "));
  EXPECT_EQ(view_->ProbeText(over(12, 20), &map), QString("  6/30 (20.00%)  "));  // 5.97 rounded
  EXPECT_EQ(view_->ProbeText(over(30, 30), &map), std::nullopt);
  // The right and bottom edges are hits, but lie past the image.
  const Point corner{pane.rcDest.right, pane.rcDest.bottom};
  EXPECT_TRUE(view_->HitTestImage(corner));
  EXPECT_FALSE(view_->HitTestImage(Point{corner.x + 1, corner.y}) ||
               view_->HitTestImage(Point{corner.x, corner.y + 1}));
  EXPECT_EQ(view_->ProbeText(corner, &map), std::nullopt);
}

TEST_F(ViewTest, KeysAndWheelNotchesStepThroughTheDrawings) {
  Show(800, 600);
  Drawings(5);
  PaintCounter paints(view_.get());
  // At the ends the index stays and the view is redrawn; other keys do neither.
  const std::tuple<Qt::Key, size_t, size_t> keys[] = {
      {Qt::Key_Left, 2, 1},  {Qt::Key_Right, 2, 3}, {Qt::Key_Home, 2, 0},  {Qt::Key_PageUp, 2, 0},
      {Qt::Key_Up, 2, 0},    {Qt::Key_End, 2, 4},   {Qt::Key_Down, 2, 4},  {Qt::Key_PageDown, 2, 4},
      {Qt::Key_Right, 4, 4}, {Qt::Key_Left, 0, 0},  {Qt::Key_Space, 2, 2}, {Qt::Key_A, 2, 2},
  };
  for (const auto& [key, from, to] : keys) {
    doc_->m_nCurrent = from;
    const int before = paints.paints;
    QTest::keyClick(view_.get(), key);
    QApplication::processEvents();
    EXPECT_EQ(doc_->m_nCurrent, to) << key;
    EXPECT_EQ(paints.paints > before, key != Qt::Key_Space && key != Qt::Key_A) << key;
  }
  // A notch up is one drawing back; any other turn, however large, one on.
  auto turn = [&](int delta) {
    QWheelEvent wheel(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view_.get(), &wheel);
    return doc_->m_nCurrent;
  };
  for (const auto& [delta, index] : {std::pair{120, 1u}, {-720, 2u}, {0, 3u}, {-120, 4u}, {-120, 4u}}) {
    EXPECT_EQ(turn(delta), index) << delta;
  }
  doc_->ClearImages();  // with no drawing the index stays at 0
  for (Qt::Key key : {Qt::Key_End, Qt::Key_Right, Qt::Key_Down}) QTest::keyClick(view_.get(), key);
  EXPECT_EQ(turn(-120), 0u);
}

TEST_F(ViewTest, CopyGivesTheProcessedDrawingAtFullSizeWithItsThreeLinesAndKeepsOnlyTheLast) {
  QImage image(3508, 2480, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter(&image).fillRect(900, 950, 100, 100, Qt::red);
  ASSERT_TRUE(doc_->OnOpenDocument(SavePng(image, "drawing.png")));
  ASSERT_TRUE(doc_->m_vecProcessed[0]->Park());
  {
    const QImage copy = Copy();
    ASSERT_EQ(copy.size(), QSize(3508, 2480));
    EXPECT_EQ(copy.pixel(950, 1000), qRgb(0, 255, 255));  // the processed square
    const QStringList texts = {"Whole Body Pixels: 1517036", "Selected Pixels: 10000", "Ratio: 0.66%"};
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(Line(copy, k), Line(texts[k])) << k;
      // Capitals start about 10 pixels below the line's top, right of x 5 by their bearing.
      const QRect ink = Ink(copy, QRect(0, 10 + 54 * k, 1500, 54));
      EXPECT_NEAR(ink.top(), 20 + 54 * k, 1) << k;
      EXPECT_NEAR(ink.left(), 7, 2) << k;
    }
    EXPECT_TRUE(Ink(copy, QRect(0, 10 + 54 * 3, 1500, 200)).isNull());
  }
  // The document's drawing stays as it was, parked.
  EXPECT_TRUE(doc_->m_vecProcessed[0]->IsParked());
  EXPECT_TRUE(Ink(doc_->m_vecProcessed[0]->Image(), QRect(0, 0, 1500, 200)).isNull());
  // More copies leave only the last behind; one takes 35 MB.
  auto heapInUse = [] { return static_cast<long>(mallinfo2().uordblks + mallinfo2().hblkhd); };
  [[maybe_unused]] const long before = heapInUse();
  for (const int selected : {7, 1234567, 7, 1234567, 7, 1234567}) {
    doc_->m_vecSelectedPixels[0] = selected;
    Copy();
  }
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(heapInUse() - before, 4L << 20);
#endif
  EXPECT_EQ(Line(QGuiApplication::clipboard()->image(), 1), Line("Selected Pixels: 1234567"));
}

TEST_F(ViewTest, CopyGivesTheFrequencyMapWithItsLineAndLegend) {
  Drawings(3, {70, 50}, {3508, 2480});
  view_->m_bProbe = true;
  doc_->m_nMaxFrequency = 7;
  doc_->m_nCurrent = 9;  // past the end: the map is copied all the same
  const QImage copy = Copy();
  EXPECT_EQ(Line(copy, 0), Line("Maximum Frequency: 7/3"));
  // The band: rows 760 to 1719, 4 a step, red at the top; as wide as "88" in the labels'
  // font, two thirds of the lines' em (31.33 pixels, where "8" advances 17.42), and half of
  // "8888" left of the middle: "88" 34.84 rounds to 35, "8888" 69.68 to 70, so the band starts
  // at 1754 - 35 and spans 36 columns, both ends included.
  const QRect band = Ink(copy, QRect(1600, 1000, 300, 1));
  const int x0 = band.left(), x1 = band.right();
  EXPECT_EQ(x0, 1719);
  EXPECT_EQ(band.width(), 36);
  for (int y = 760; y < 1720; ++y) {
    const int i = (y - 760) / 4;
    ASSERT_TRUE(copy.pixel(x0, y) == qRgb(255, i, i) && copy.pixel(x1, y) == qRgb(255, i, i)) << y;
  }
  EXPECT_TRUE(copy.pixel(x0, 759) == kWhite && copy.pixel(x0, 1721) == kWhite);
  // Ticks reach 10 pixels past the band; labels, 15 past it, centre on them in their colours.
  const std::tuple<int, QRgb, QRgb, const char*> marks[] = {{760, qRgb(255, 0, 0), qRgb(255, 0, 0), "7"},
                                                            {1240, qRgb(255, 120, 120), qRgb(255, 120, 120), "4"},
                                                            {1720, qRgb(255, 240, 240), qRgb(255, 136, 136), "1"}};
  for (const auto& [row, tick, colour, text] : marks) {
    EXPECT_TRUE(copy.pixel(x1 + 10, row) == tick && copy.pixel(x1 + 11, row) == kWhite) << row;
    const QRect label = Ink(copy, QRect(x1 + 11, row - 30, 60, 60));
    EXPECT_EQ(copy.copy(label), Written(text, 47 * 48 / 72.0, QColor(colour))) << row;
    EXPECT_GE(label.left(), x1 + 15) << row;
    EXPECT_NEAR(label.center().y(), row, 2) << row;
  }
}

TEST_F(ViewTest, TheRatioIsCSFromTheThresholdOnAndARefusingClipboardKeepsWhatItHeld) {
  const std::tuple<const char*, int, int, const char*> cases[] = {
      {"25.00", 1517036, 379259, "Ratio: 25.00% (CS)"},  // exactly a quarter
      {"25.01", 1517036, 379259, "Ratio: 25.00%"},
      {"16", 100000, 15999, "Ratio: 16.00%"},  // 15.999 % shows as 16.00
      {"none", 100, 0, "Ratio: 0.00% (CS)"},   // a threshold that is no number reads as 0
  };
  for (const auto& [threshold, body, selected, line] : cases) {
    Profile::Instance().WriteProfileString("Options", "CS Threshold", threshold);
    Drawings(1, {2325, 200});  // an em of 31 pixels, lines 35.64 high
    doc_->m_vecSelectedPixels[0] = selected;
    doc_->m_nBodyPixels = body;
    EXPECT_EQ(view_->InfoLines(1).value(2), line);
    const QImage copy = Copy();
    EXPECT_EQ(Line(copy, 2, 36), Line(line, 31)) << line;
    // "Whole" and "Ratio" stand exactly two whole line heights apart.
    EXPECT_EQ(Ink(copy, QRect(0, 82, 1000, 36)).top() - Ink(copy, QRect(0, 10, 1000, 36)).top(), 72) << line;
  }
  // A clipboard that refuses keeps what it held, and the user is told.
  QGuiApplication::clipboard()->setText("earlier");
  {
    RefusingClipboard refusing;
    Copy();
  }
  ASSERT_EQ(prompts_.Messages(), QStringList{"Clipboard error"});
  EXPECT_EQ(prompts_.records()[0].icon, MessageIcon::Error);
  EXPECT_FALSE(WaitCursor::IsShowing());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "earlier");
}

}  // namespace
