#include "analysis/document.h"
#include "analysis/threshold.h"
#include "framework/frame.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/waitcursor.h"
#include "resources/resource.h"
#include "shell/application.h"
#include "shell/mainframe.h"
#include "shell/view.h"
#include "tests/support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <malloc.h>

namespace {

const QRgb kFrameColour = qRgb(64, 128, 255);
const QRgb kBackground = qRgb(96, 96, 96);

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

// A document and its view in a window of a given size, without the rest of
// the program.
class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Profile::Instance().Settings().clear();
    doc_ = std::make_unique<CVarenkoDoc>();
    ASSERT_TRUE(doc_->OnNewDocument());
    view_ = std::make_unique<CVarenkoView>(doc_.get());
    ASSERT_TRUE(view_->OnCreate());
  }
  void TearDown() override {
    view_.reset();
    doc_.reset();
  }

  void Show(int w, int h) {
    view_->resize(w, h);
    view_->show();
    QApplication::processEvents();
  }

  void OpenDrawing() {
    QImage image(3508, 2480, QImage::Format_RGB32);
    image.fill(Qt::white);
    // A red square on the front figure's belly, all of it body.
    for (int y = 950; y < 1050; ++y) {
      for (int x = 900; x < 1000; ++x) image.setPixel(x, y, qRgb(255, 0, 0));
    }
    const QString path = TempDir() + QStringLiteral("/drawing.png");
    ASSERT_TRUE(image.save(path));
    ASSERT_TRUE(doc_->OnOpenDocument(path));
  }

  // A folder view of n small drawings, as a folder run leaves it; the
  // frequency map is a copy of the first drawing.
  void FolderSet(int n, int w = 70, int h = 50) {
    doc_->ClearImages();
    for (int i = 0; i < n; ++i) {
      QImage image(w, h, QImage::Format_RGB32);
      image.fill(Qt::white);
      doc_->m_vecOriginal.push_back(std::make_unique<Bitmap>(image));
      doc_->m_vecFileName.push_back(QStringLiteral("d%1.png").arg(i + 1));
      doc_->m_vecProcessed.push_back(std::make_unique<Bitmap>(image));
      doc_->m_vecSelectedPixels.push_back(i * 1000);
    }
    QImage map(w, h, QImage::Format_RGB32);
    map.fill(Qt::white);
    doc_->m_pFinalImage = std::make_unique<Bitmap>(map);
    doc_->m_bFolderMode = true;
  }

  std::unique_ptr<CVarenkoDoc> doc_;
  std::unique_ptr<CVarenkoView> view_;
};

TEST_F(ViewTest, PanesAreFramedTitledAndShowTheDrawingAtOneZoom) {
  Show(1000, 700);
  OpenDrawing();
  QApplication::processEvents();
  const int cy = view_->m_sizeTitle.cy;
  ASSERT_GT(cy, 8);
  ASSERT_EQ(view_->m_layout.m_vecPanes.size(), 2u);
  const Pane& left = *view_->m_layout.m_vecPanes[0];
  const Pane& right = *view_->m_layout.m_vecPanes[1];
  EXPECT_EQ(left.rcCell, (Rect{4, cy + 10, 498, 696}));
  EXPECT_EQ(right.rcCell, (Rect{502, cy + 10, 996, 696}));
  // One zoom for both panes: the smaller ratio of pane 0's cell, less 4
  // pixels, to the drawing.
  const double z = std::min((494.0 - 4.0) / 3508.0, (696.0 - cy - 10 - 4.0) / 2480.0);
  EXPECT_DOUBLE_EQ(left.dZoomX, z);
  EXPECT_DOUBLE_EQ(right.dZoomY, z);

  const QImage shot = view_->grab().toImage();
  EXPECT_EQ(shot.pixel(500, 699), kBackground);
  EXPECT_EQ(shot.pixel(2, 300), kBackground);
  // Two-pixel frames around each cell and its title band.
  for (const Pane* pane : {&left, &right}) {
    const Rect& c = pane->rcCell;
    EXPECT_EQ(shot.pixel(c.left, 300), kFrameColour);
    EXPECT_EQ(shot.pixel(c.left + 1, 300), kFrameColour);
    EXPECT_EQ(shot.pixel(c.right - 1, 300), kFrameColour);
    EXPECT_EQ(shot.pixel(c.left - 1, 300), kBackground);
    EXPECT_EQ(shot.pixel(c.left + 10, c.bottom - 1), kFrameColour);
    EXPECT_EQ(shot.pixel(c.left + 10, c.bottom), kBackground);
    EXPECT_EQ(shot.pixel(c.left + 3, c.top - 6 - cy), kFrameColour);
    EXPECT_EQ(shot.pixel(c.left + 3, c.top - 7 - cy), kBackground);
    EXPECT_EQ(shot.pixel(c.left + 3, c.top), kFrameColour);  // strip's last row
  }
  // White titles in the strips, the right one longer.
  auto whiteIn = [&](const Rect& c) {
    int count = 0;
    for (int y = c.top - 2 - cy; y < c.top; ++y) {
      for (int x = c.left; x < c.right; ++x) count += shot.pixel(x, y) == qRgb(255, 255, 255);
    }
    return count;
  };
  EXPECT_GT(whiteIn(left.rcCell), 20);
  EXPECT_GT(whiteIn(right.rcCell), whiteIn(left.rcCell));
  // The red square: red in the original, cyan in the processed copy.
  auto at = [&](const Pane& pane, int x, int y) {
    return shot.pixel(pane.rcDest.left + static_cast<int>((x - pane.rcSrc.left) * z),
                      pane.rcDest.top + static_cast<int>((y - pane.rcSrc.top) * z));
  };
  EXPECT_EQ(at(left, 950, 1000), qRgb(255, 0, 0));
  EXPECT_EQ(at(right, 950, 1000), qRgb(0, 255, 255));
  EXPECT_EQ(at(left, 300, 300), qRgb(255, 255, 255));
}

TEST_F(ViewTest, SizeChangesBelowTwoPixelsLeaveThePanes) {
  Show(1000, 700);
  const Rect area = view_->m_layout.m_rcArea;
  view_->resize(1001, 701);
  QApplication::processEvents();
  EXPECT_EQ(view_->m_layout.m_rcArea, area);
  EXPECT_EQ(view_->m_rcClient.right, 1001);
  // Measured against the last size, not the one the panes were cut for.
  view_->resize(1002, 702);
  QApplication::processEvents();
  EXPECT_EQ(view_->m_layout.m_rcArea, area);
  view_->resize(1004, 702);
  QApplication::processEvents();
  EXPECT_EQ(view_->m_layout.m_rcArea.right, 1004);
}

TEST_F(ViewTest, ShrinkingCropsInsteadOfFittingAgain) {
  Show(1000, 700);
  OpenDrawing();
  const double zoom = view_->m_layout.m_vecPanes[0]->dZoomX;
  view_->resize(600, 500);
  QApplication::processEvents();
  EXPECT_EQ(view_->m_layout.m_vecPanes[0]->dZoomX, zoom);
  const Pane& pane = *view_->m_layout.m_vecPanes[0];
  EXPECT_GT(pane.rcSrc.left, 0);
  EXPECT_EQ(pane.rcDest.left, pane.rcCell.left);
}

TEST_F(ViewTest, InformationLinesOfOneDrawing) {
  Show(1000, 700);
  OpenDrawing();
  EXPECT_TRUE(view_->InfoLines(0).isEmpty());
  EXPECT_EQ(view_->InfoLines(1), (QStringList{"Whole Body Pixels: 1517036", "Selected Pixels: 10000", "Ratio: 0.66%"}));

  // A ratio equal to the threshold is CS; 25 % is 379259 of 1517036.
  doc_->m_vecSelectedPixels[0] = 379259;
  Profile& profile = Profile::Instance();
  profile.WriteProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), QStringLiteral("25.00"));
  EXPECT_EQ(view_->InfoLines(1).value(2), QStringLiteral("Ratio: 25.00% (CS)"));
  profile.WriteProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), QStringLiteral("25.01"));
  EXPECT_EQ(view_->InfoLines(1).value(2), QStringLiteral("Ratio: 25.00%"));
  // 15.999 % shows as 16.00 without the mark under the default threshold.
  profile.Settings().clear();
  doc_->m_vecSelectedPixels[0] = 242710;  // 15.9990 %
  EXPECT_EQ(view_->InfoLines(1).value(2), QStringLiteral("Ratio: 16.00%"));
  // A threshold that is no number reads as 0: every ratio is CS.
  profile.WriteProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), QStringLiteral("high"));
  doc_->m_vecSelectedPixels[0] = 0;
  EXPECT_EQ(view_->InfoLines(1).value(2), QStringLiteral("Ratio: 0.00% (CS)"));

  // Without body pixels there are no lines at all.
  doc_->m_nBodyPixels = 0;
  EXPECT_TRUE(view_->InfoLines(1).isEmpty());
}

TEST_F(ViewTest, InformationLinesOfAFolderView) {
  Show(1000, 700);
  FolderSet(5);
  doc_->m_nCurrent = 2;
  doc_->m_nMaxFrequency = 4;
  view_->m_bProbe = false;
  EXPECT_EQ(view_->InfoLines(0), (QStringList{"d3.png", "File: 3/5"}));
  EXPECT_EQ(view_->InfoLines(1), (QStringList{"Whole Body Pixels: 1517036", "Selected Pixels: 2000", "Ratio: 0.13%"}));
  view_->m_bProbe = true;
  EXPECT_EQ(view_->InfoLines(0), (QStringList{"d3.png", "File: 3/5"}));
  EXPECT_EQ(view_->InfoLines(1), QStringList{"Maximum Frequency: 4/5"});
  // One drawing left of a folder run: no folder view.
  FolderSet(1);
  EXPECT_TRUE(view_->InfoLines(0).isEmpty());
  EXPECT_EQ(view_->InfoLines(1).size(), 3);
}

TEST_F(ViewTest, LegendLabels) {
  doc_->m_nMaxFrequency = 1;
  EXPECT_EQ(view_->LegendLabels(), (QStringList{"1", "1", "1"}));
  doc_->m_nMaxFrequency = 3;
  EXPECT_EQ(view_->LegendLabels(), (QStringList{"3", "2", "1"}));
  doc_->m_nMaxFrequency = 0;
  EXPECT_EQ(view_->LegendLabels(), (QStringList{"0", "0", "1"}));
}

TEST_F(ViewTest, TheLegendStandsInTheMiddleOfTheFrequencyMap) {
  Show(1000, 700);
  FolderSet(3);
  view_->UpdateLayout();
  view_->m_bProbe = true;
  doc_->m_nMaxFrequency = 3;
  const QImage shot = view_->grab().toImage();
  const Pane& pane = *view_->m_layout.m_vecPanes[1];
  const Rect dest{pane.rcDest.left + 2, pane.rcDest.top + 2, pane.rcDest.right - 2, pane.rcDest.bottom - 2};
  const int yMid = dest.top + dest.Height() / 2;
  // Find the bar's column: full red on its first line, the palest tint on
  // its last.
  int x0 = -1;
  for (int x = dest.left; x < dest.right && x0 < 0; ++x) {
    if (shot.pixel(x, yMid - 120) == qRgb(255, 0, 0) && shot.pixel(x, yMid + 119) == qRgb(255, 239, 239)) x0 = x;
  }
  ASSERT_GE(x0, 0);
  EXPECT_EQ(shot.pixel(x0, yMid - 120 + 100), qRgb(255, 100, 100));
  EXPECT_EQ(shot.pixel(x0, yMid + 120), qRgb(255, 240, 240));  // the bottom tick
  EXPECT_NE(shot.pixel(x0, yMid - 121), qRgb(255, 0, 0));
}

TEST_F(ViewTest, TheProbeReadsTheFrequencyOfThePixelUnderTheCursor) {
  Show(1000, 700);
  FolderSet(30);
  view_->UpdateLayout();
  view_->m_bProbe = true;
  doc_->m_nMaxFrequency = 12;
  Bitmap& map = *doc_->m_pFinalImage;
  {
    Bitmap::Lock lock = map.LockBits();
    uint8_t* full = lock.data().Pixel(10, 20);
    full[kBlue] = 0;
    full[kGreen] = 0;
    full[kRed] = 255;
    uint8_t* pale = lock.data().Pixel(11, 20);
    pale[kBlue] = 239;
    pale[kGreen] = 239;
    pale[kRed] = 255;
  }
  const Pane& pane = *view_->m_layout.m_vecPanes[1];
  const double z = pane.dZoomX;
  auto pointOf = [&](int x, int y) {
    return Point{pane.rcDest.left + static_cast<int>((x + 0.5) * z), pane.rcDest.top + static_cast<int>((y + 0.5) * z)};
  };
  EXPECT_EQ(view_->ProbeText(pointOf(10, 20), &map), QStringLiteral("  12/30 (40.00%)  "));
  EXPECT_EQ(view_->ProbeText(pointOf(11, 20), &map), QStringLiteral("  0/30 (0.00%)  "));
  EXPECT_EQ(view_->ProbeText(pointOf(30, 30), &map), std::nullopt);  // white
  // The right and bottom edges are hits, but lie past the image.
  EXPECT_TRUE(view_->HitTestImage(Point{pane.rcDest.right, pane.rcDest.bottom}));
  EXPECT_FALSE(view_->HitTestImage(Point{pane.rcDest.right + 1, pane.rcDest.bottom}));
  EXPECT_FALSE(view_->HitTestImage(Point{pane.rcDest.right, pane.rcDest.bottom + 1}));
  EXPECT_EQ(view_->ProbeText(Point{pane.rcDest.right, pane.rcDest.bottom}, &map), std::nullopt);
}

TEST_F(ViewTest, KeysStepThroughTheDrawings) {
  Show(800, 600);
  FolderSet(5);
  PaintCounter paints(view_.get());
  const std::pair<Qt::Key, size_t> keys[] = {
      {Qt::Key_Left, 1}, {Qt::Key_Right, 3}, {Qt::Key_Home, 0}, {Qt::Key_PageUp, 0},
      {Qt::Key_Up, 0},   {Qt::Key_End, 4},   {Qt::Key_Down, 4}, {Qt::Key_PageDown, 4},
  };
  for (const auto& [key, expected] : keys) {
    doc_->m_nCurrent = 2;
    const int before = paints.paints;
    QTest::keyClick(view_.get(), key);
    QApplication::processEvents();
    EXPECT_EQ(doc_->m_nCurrent, expected) << key;
    EXPECT_GT(paints.paints, before) << key;
  }
  // At the ends the index stays, and the view is still redrawn.
  doc_->m_nCurrent = 4;
  int before = paints.paints;
  QTest::keyClick(view_.get(), Qt::Key_Right);
  QApplication::processEvents();
  EXPECT_EQ(doc_->m_nCurrent, 4u);
  EXPECT_GT(paints.paints, before);
  doc_->m_nCurrent = 0;
  QTest::keyClick(view_.get(), Qt::Key_Left);
  EXPECT_EQ(doc_->m_nCurrent, 0u);
  // Other keys neither move nor redraw.
  QApplication::processEvents();
  before = paints.paints;
  for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_A}) QTest::keyClick(view_.get(), key);
  QApplication::processEvents();
  EXPECT_EQ(paints.paints, before);
  EXPECT_EQ(doc_->m_nCurrent, 0u);
  // With no drawing every key leaves the index at 0.
  doc_->ClearImages();
  for (Qt::Key key : {Qt::Key_End, Qt::Key_Right, Qt::Key_Left, Qt::Key_Down}) {
    QTest::keyClick(view_.get(), key);
    EXPECT_EQ(doc_->m_nCurrent, 0u);
  }
}

TEST_F(ViewTest, OneWheelNotchIsOneDrawing) {
  Show(800, 600);
  FolderSet(5);
  auto turn = [&](int delta) {
    QWheelEvent wheel(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view_.get(), &wheel);
  };
  doc_->m_nCurrent = 2;
  turn(120);
  EXPECT_EQ(doc_->m_nCurrent, 1u);
  turn(-120);
  turn(-720);
  EXPECT_EQ(doc_->m_nCurrent, 3u);
  turn(0);
  EXPECT_EQ(doc_->m_nCurrent, 4u);
  turn(-120);
  EXPECT_EQ(doc_->m_nCurrent, 4u);
  doc_->ClearImages();
  turn(-120);
  EXPECT_EQ(doc_->m_nCurrent, 0u);
}

TEST_F(ViewTest, MouseMovesRedrawOnlyOverTheProbedImage) {
  Show(1000, 700);
  FolderSet(3);
  view_->UpdateLayout();
  view_->m_bProbe = true;
  QApplication::processEvents();
  PaintCounter paints(view_.get());
  const Pane& right = *view_->m_layout.m_vecPanes[1];
  const Pane& left = *view_->m_layout.m_vecPanes[0];
  QTest::mouseMove(view_.get(), QPoint(left.rcDest.left + 20, left.rcDest.top + 20));
  QApplication::processEvents();
  EXPECT_EQ(paints.paints, 0);
  QTest::mouseMove(view_.get(), QPoint(right.rcDest.left + 20, right.rcDest.top + 20));
  QApplication::processEvents();
  EXPECT_EQ(paints.paints, 1);
}

TEST_F(ViewTest, TheProbeCommandWorksOnlyInFolderView) {
  for (bool probe : {false, true}) {
    view_->m_bProbe = probe;
    CmdUI ui(res::ID_ENABLE_PROBE);
    ASSERT_TRUE(view_->OnUpdateCommandUI(ui));
    EXPECT_FALSE(ui.enabled());
    EXPECT_FALSE(ui.checked());
  }
  FolderSet(2);
  view_->m_bProbe = false;
  CmdUI off(res::ID_ENABLE_PROBE);
  view_->OnUpdateCommandUI(off);
  EXPECT_TRUE(off.enabled());
  EXPECT_FALSE(off.checked());
  EXPECT_TRUE(view_->OnCommand(res::ID_ENABLE_PROBE));
  CmdUI on(res::ID_ENABLE_PROBE);
  view_->OnUpdateCommandUI(on);
  EXPECT_TRUE(on.checked());
}

TEST(ViewSettings, TheProbeSettingIsReadAtStartAndWrittenAsZeroOrOne) {
  Profile& profile = Profile::Instance();
  profile.WriteProfileInt(QStringLiteral("Options"), QStringLiteral("Enable Probe"), 7);
  CVarenkoDoc doc;
  {
    CVarenkoView view(&doc);
    EXPECT_TRUE(view.m_bProbe);
    view.OnEnableProbe();
    EXPECT_FALSE(view.m_bProbe);
    view.OnEnableProbe();
  }
  EXPECT_EQ(profile.GetProfileInt(QStringLiteral("Options"), QStringLiteral("Enable Probe"), -1), 1);
}

TEST(ViewContextMenu, OpensOnTheKeyboardsRequestOnly) {
  Profile::Instance().Settings().clear();
  CVarenkoApp app;
  ASSERT_TRUE(app.InitInstance());
  CVarenkoView& view = *app.View();
  QStringList shown;
  QTimer::singleShot(0, [&shown] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions()) {
        shown << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
      }
      menu->close();
    }
  });
  QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(50, 50), view.mapToGlobal(QPoint(50, 50)));
  QApplication::sendEvent(&view, &keyboard);
  ASSERT_EQ(shown.size(), 3);
  EXPECT_EQ(shown[0], QStringLiteral("Cu&t\tCtrl+X (disabled)"));
  EXPECT_TRUE(shown[1].startsWith(QStringLiteral("&Copy\tCtrl+C")));
  EXPECT_EQ(shown[2], QStringLiteral("&Paste\tCtrl+V (disabled)"));
  // A right click opens nothing.
  shown.clear();
  QTimer::singleShot(0, [&shown] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      shown << QStringLiteral("menu");
      popup->close();
    }
  });
  QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(50, 50), view.mapToGlobal(QPoint(50, 50)));
  QApplication::sendEvent(&view, &mouse);
  QApplication::processEvents();
  EXPECT_TRUE(shown.isEmpty());
  app.ExitInstance();
}

class ViewCopy : public ViewTest {
 protected:
  // One white drawing of the given size with its count.
  void OneDrawing(int w, int h, int selected) {
    doc_->ClearImages();
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    doc_->m_vecOriginal.push_back(std::make_unique<Bitmap>(image));
    doc_->m_vecFileName.push_back(QStringLiteral("one.png"));
    doc_->m_vecProcessed.push_back(std::make_unique<Bitmap>(image));
    doc_->m_vecSelectedPixels.push_back(selected);
  }
  bool CopyEnabled() {
    CmdUI ui(res::ID_EDIT_COPY);
    EXPECT_TRUE(view_->OnUpdateCommandUI(ui));
    return ui.enabled();
  }
  QImage Copy() {
    EXPECT_TRUE(view_->OnCommand(res::ID_EDIT_COPY));
    return QGuiApplication::clipboard()->image();
  }
  // Information line k of a copy as written: "Arial" at an em of 47 pixels
  // in 192, 128, 0, lines 54 pixels (the rounded line height) apart from
  // (5, 10).
  static QImage Line(const QImage& copy, int k) { return copy.copy(Ink(copy, QRect(0, 10 + 54 * k, 1500, 54))); }
  static QImage Line(const char* text) { return Written(QString::fromLatin1(text), 47, QColor(192, 128, 0)); }

  ScriptedPrompts prompts_;
};

TEST_F(ViewCopy, TheProcessedDrawingAtFullSizeWithItsThreeLines) {
  OpenDrawing();
  ASSERT_TRUE(doc_->m_vecProcessed[0]->Park());
  const QImage copy = Copy();
  ASSERT_EQ(copy.size(), QSize(3508, 2480));
  EXPECT_EQ(copy.pixel(950, 1000), qRgb(0, 255, 255));  // the processed square
  const char* texts[] = {"Whole Body Pixels: 1517036", "Selected Pixels: 10000", "Ratio: 0.66%"};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(Line(copy, k), Line(texts[k])) << texts[k];
    // The capitals start about 10 pixels below the line's top, right of
    // x 5 by their side bearing.
    const QRect ink = Ink(copy, QRect(0, 10 + 54 * k, 1500, 54));
    EXPECT_NEAR(ink.top(), 20 + 54 * k, 1) << texts[k];
    EXPECT_NEAR(ink.left(), 7, 2) << texts[k];
  }
  EXPECT_TRUE(Ink(copy, QRect(0, 10 + 54 * 3, 1500, 200)).isNull());
  // The document's drawing stays as it was, parked.
  EXPECT_TRUE(doc_->m_vecProcessed[0]->IsParked());
  EXPECT_TRUE(Ink(doc_->m_vecProcessed[0]->Image(), QRect(0, 0, 1500, 200)).isNull());
  EXPECT_FALSE(WaitCursor::IsShowing());
}

TEST_F(ViewCopy, TheFrequencyMapWithItsLineAndLegend) {
  FolderSet(3);
  view_->m_bProbe = true;
  doc_->m_nMaxFrequency = 7;
  doc_->m_nCurrent = 9;  // past the end: the map is copied all the same
  QImage map(3508, 2480, QImage::Format_RGB32);
  map.fill(Qt::white);
  doc_->m_pFinalImage = std::make_unique<Bitmap>(map);
  const QImage copy = Copy();
  EXPECT_EQ(Line(copy, 0), Line("Maximum Frequency: 7/3"));
  // The band: rows 760 to 1719, 4 rows a step, full red at the top; as
  // wide as "88" in the labels' font (two thirds of the lines' em: 31
  // pixels), half of "8888" left of the middle column.
  QFont labels(QStringLiteral("Arial"));
  labels.setPixelSize(31);
  const QFontMetrics metrics(labels);
  const QRect band = Ink(copy, QRect(1600, 1000, 300, 1));
  const int x0 = band.left();
  const int x1 = band.right();
  EXPECT_EQ(x1 - x0, metrics.horizontalAdvance(QStringLiteral("88")));
  EXPECT_EQ(1754 - x0, metrics.horizontalAdvance(QStringLiteral("8888")) / 2);
  for (int y = 760; y < 1720; ++y) {
    const int i = (y - 760) / 4;
    ASSERT_EQ(copy.pixel(x0, y), qRgb(255, i, i)) << y;
    ASSERT_EQ(copy.pixel(x1, y), qRgb(255, i, i)) << y;
  }
  EXPECT_EQ(copy.pixel(x0, 759), qRgb(255, 255, 255));
  EXPECT_EQ(copy.pixel(x0, 1721), qRgb(255, 255, 255));
  // Ticks reach 10 pixels past the band; labels start 15 past it, centred
  // on their ticks, each in its colour.
  struct Mark {
    int row;
    QRgb tick;
    QColor label;
    const char* text;
  };
  for (const Mark& m :
       {Mark{760, qRgb(255, 0, 0), QColor(255, 0, 0), "7"}, Mark{1240, qRgb(255, 120, 120), QColor(255, 120, 120), "4"},
        Mark{1720, qRgb(255, 240, 240), QColor(255, 136, 136), "1"}}) {
    EXPECT_EQ(copy.pixel(x1 + 10, m.row), m.tick) << m.row;
    EXPECT_EQ(copy.pixel(x1 + 11, m.row), qRgb(255, 255, 255)) << m.row;
    const QRect label = Ink(copy, QRect(x1 + 11, m.row - 30, 60, 60));
    EXPECT_EQ(copy.copy(label), Written(QString::fromLatin1(m.text), 31, m.label)) << m.row;
    EXPECT_GE(label.left(), x1 + 15) << m.row;
    EXPECT_NEAR(label.center().y(), m.row, 2) << m.row;
  }
}

TEST_F(ViewCopy, TheRatioIsCSFromTheThresholdOnAndWhenTheThresholdIsNoNumber) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"16", 16, "Ratio: 16.00% (CS)"},
      {"16.01", 16, "Ratio: 16.00%"},
      {"none", 0, "Ratio: 0.00% (CS)"},
  };
  for (const auto& [threshold, selected, line] : cases) {
    Profile::Instance().WriteProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"),
                                           QString::fromLatin1(threshold));
    OneDrawing(3508, 200, selected);
    doc_->m_nBodyPixels = 100;
    EXPECT_EQ(Line(Copy(), 2), Line(line)) << line;
  }
}

TEST_F(ViewCopy, EnabledExactlyWhenPaneOneShowsAnImage) {
  EXPECT_FALSE(CopyEnabled());  // nothing loaded
  FolderSet(3);
  doc_->m_nCurrent = 3;
  EXPECT_FALSE(CopyEnabled());
  view_->m_bProbe = true;
  EXPECT_TRUE(CopyEnabled());  // the frequency map, whatever the index
  OneDrawing(70, 50, 0);
  EXPECT_TRUE(CopyEnabled());  // not a folder view: the processed drawing
  doc_->m_vecProcessed.clear();
  doc_->m_vecSelectedPixels.clear();
  EXPECT_FALSE(CopyEnabled());
}

// Notes whether the wait cursor still shows when a message comes.
class CursorAtMessage : public ScriptedPrompts {
 public:
  void MessageBox(const QString& text, MessageIcon icon) override {
    waitCursor = WaitCursor::IsShowing();
    ScriptedPrompts::MessageBox(text, icon);
  }
  bool waitCursor = true;
};

TEST_F(ViewCopy, ARefusingClipboardKeepsWhatItHeldAndTheUserIsTold) {
  OneDrawing(700, 50, 10);
  QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
  CursorAtMessage prompts;
  {
    RefusingClipboard refusing;
    Copy();
  }
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("Clipboard error")});
  EXPECT_EQ(prompts.records()[0].icon, MessageIcon::Error);
  EXPECT_FALSE(prompts.waitCursor);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("earlier"));
}

TEST_F(ViewCopy, ManyCopiesLeaveOnlyTheLastBehind) {
  OpenDrawing();
  auto heapInUse = [] {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>(info.uordblks + info.hblkhd);
  };
  Copy();
  const long before = heapInUse();
  for (const int selected : {7, 1234567, 7, 1234567, 7, 1234567}) {
    doc_->m_vecSelectedPixels[0] = selected;
    Copy();
  }
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(heapInUse() - before, 4L << 20);  // a copy takes 35 MB
#endif
  (void)before;
  EXPECT_EQ(Line(QGuiApplication::clipboard()->image(), 1), Line("Selected Pixels: 1234567"));
}

}  // namespace
