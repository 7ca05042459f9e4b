#include "compare/comparedialog.h"
#include "compare/overlay.h"
#include "framework/bitmap.h"
#include "framework/prompts.h"
#include "framework/waitcursor.h"
#include "resources/resource.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>

namespace {

QString Sample(const char* name) { return SourcePath(QStringLiteral("samples/") + QString::fromLatin1(name)); }

// Counts the pixels of an area that are not white.
int InkIn(const QImage& image, const QRect& area) {
  int ink = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) ink += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  }
  return ink;
}

// Where the statistics lines start on a chart (nine lines from (5, 10)),
// left of the figure's shoulder.
const QRect kLinesArea(0, 0, 560, 10 + 9 * 54);

class CompareDialog : public ::testing::Test {
 protected:
  void SetUp() override { dialog_.show(); }

  void Choose(QPushButton* select, const std::optional<QString>& path) {
    prompts_.Answer(path);
    select->click();
  }
  void ChooseFirst(const std::optional<QString>& path) { Choose(dialog_.SelectFirstButton(), path); }
  void ChooseSecond(const std::optional<QString>& path) { Choose(dialog_.SelectSecondButton(), path); }
  void Display(int index) {
    dialog_.DisplayCombo()->setCurrentIndex(index);
    emit dialog_.DisplayCombo()->activated(index);
  }
  QImage Box() { return dialog_.m_btnPicture->grab().toImage(); }
  // The initial file name of the last file question.
  QString LastInitialName() const {
    for (auto it = prompts_.records().rbegin(); it != prompts_.records().rend(); ++it) {
      if (it->kind == ScriptedPrompts::Kind::OpenFile) return it->options.fileName;
    }
    return QStringLiteral("<none>");
  }

  ScriptedPrompts prompts_;
  CDlgCompareFiles dialog_;
};

TEST_F(CompareDialog, OpensOnTheBlankChartInAFixedWindow) {
  EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("Compare Files"));
  EXPECT_EQ(dialog_.minimumSize(), dialog_.maximumSize());
  EXPECT_TRUE(dialog_.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(dialog_.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  QStringList items;
  for (int i = 0; i < dialog_.DisplayCombo()->count(); ++i) items << dialog_.DisplayCombo()->itemText(i);
  EXPECT_EQ(items, (QStringList{"Results", "First Image", "Second Image"}));
  // Tab order: the first side, the second side, Process, the display, OK,
  // Copy To Clipboard; the picture box takes no focus.
  QStringList chain;
  QWidget* widget = dialog_.FirstFileEdit();
  for (int i = 0; i < 8; ++i, widget = widget->nextInFocusChain()) {
    while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isEnabled()) widget = widget->nextInFocusChain();
    chain << widget->objectName() + QLatin1Char(':') + widget->property("text").toString();
  }
  EXPECT_EQ(chain, (QStringList{"1003:", "1007:Select...", "1004:", "1008:Select...", "1013:", ":OK",
                                "1011:Copy To Clipboard", "1003:"}));

  EXPECT_EQ(dialog_.DisplayCombo()->currentText(), QStringLiteral("Results"));
  EXPECT_FALSE(dialog_.m_btnProcess->isEnabled());
  EXPECT_TRUE(dialog_.m_btnCopy->isEnabled());
  EXPECT_GT(InkIn(Box(), dialog_.m_btnPicture->contentsRect()), 1000);  // the chart's lines
  // The copy puts the blank chart on the clipboard at its full size.
  dialog_.m_btnCopy->click();
  const QImage copy = QGuiApplication::clipboard()->image();
  EXPECT_EQ(copy.size(), QSize(3508, 2480));
  EXPECT_EQ(copy, Bitmap::FromResource(res::IDB_BLANK_CHART_COMPARE)->Image());
  EXPECT_TRUE(prompts_.Messages().isEmpty());
}

TEST_F(CompareDialog, ButtonsAndDisplayThroughASessionOfChoices) {
  const QString dimensions = QStringLiteral("The image does not have the correct dimensions");
  struct Step {
    const char* what;
    std::function<void()> act;
    QStringList messages;
    const char* display;
    bool process;
    bool copy;
  };
  const Step steps[] = {
      {"first drawing", [&] { ChooseFirst(Sample("neck_shoulder.png")); }, {}, "First Image", false, true},
      {"second drawing", [&] { ChooseSecond(Sample("low_back_leg.png")); }, {}, "Second Image", true, true},
      {"process", [&] { dialog_.m_btnProcess->click(); }, {}, "Results", true, true},
      {"cancelled", [&] { ChooseSecond(std::nullopt); }, {}, "Results", true, true},
      // A refused second drawing keeps the display choice; the overlay is
      // gone, so there is nothing to copy.
      {"second of the wrong size",
       [&] { ChooseSecond(Sample("wrong_size.png")); },
       {dimensions},
       "Results",
       false,
       false},
      {"second again", [&] { ChooseSecond(Sample("low_back_leg.png")); }, {}, "Second Image", true, true},
      // A refused first drawing shows its empty side.
      {"first that is no image",
       [&] { ChooseFirst(Sample("notes.png")); },
       {QStringLiteral("The file is not a valid image"), dimensions},
       "First Image",
       false,
       false},
      // The display choice leaves the buttons as they were.
      {"results", [&] { Display(0); }, {}, "Results", false, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    prompts_.Clear();
    step.act();
    EXPECT_EQ(prompts_.Messages(), step.messages);
    for (const auto& record : prompts_.records()) {
      if (record.kind == ScriptedPrompts::Kind::Message) {
        EXPECT_EQ(record.icon, MessageIcon::Error);
      }
    }
    EXPECT_EQ(dialog_.DisplayCombo()->currentText(), QString::fromLatin1(step.display));
    EXPECT_EQ(dialog_.m_btnProcess->isEnabled(), step.process);
    EXPECT_EQ(dialog_.m_btnCopy->isEnabled(), step.copy);
  }
  EXPECT_EQ(dialog_.FirstFileEdit()->text(), QString());
  EXPECT_EQ(dialog_.SecondFileEdit()->text(), Sample("low_back_leg.png"));
  // "Results" with one drawing missing shows the blank chart.
  EXPECT_EQ(dialog_.m_nFirstOnly + dialog_.m_nCommon, 30904u);  // from the last overlay
  EXPECT_EQ(dialog_.m_pResultImage->Image(), Bitmap::FromResource(res::IDB_BLANK_CHART_COMPARE)->Image());
  Display(1);
  EXPECT_EQ(InkIn(Box(), dialog_.m_btnPicture->contentsRect()), 0);
  dialog_.m_btnCopy->click();  // nothing on show: nothing happens
  EXPECT_TRUE(prompts_.Messages().isEmpty());
  EXPECT_FALSE(WaitCursor::IsShowing());

  // The side's path is the next question's initial name; a typed one once
  // the display choice took it in.
  ChooseSecond(std::nullopt);
  EXPECT_EQ(LastInitialName(), Sample("low_back_leg.png"));
  dialog_.FirstFileEdit()->setText(QStringLiteral("/typed/there.png"));
  ChooseFirst(std::nullopt);
  EXPECT_EQ(LastInitialName(), QString());
  Display(1);
  ChooseFirst(std::nullopt);
  EXPECT_EQ(LastInitialName(), QStringLiteral("/typed/there.png"));
  EXPECT_EQ(prompts_.records().back().options.filter, QStringLiteral("PNG Files (*.png);;All Files (*.*)"));
}

TEST_F(CompareDialog, TheOverlayWithItsStatisticsEachTimeFromACleanChart) {
  ChooseFirst(Sample("neck_shoulder.png"));
  ChooseSecond(Sample("low_back_leg.png"));
  const QImage first = dialog_.m_pFirstImage->Image();
  const QImage mask = dialog_.m_pMaskImage->Image().copy();
  dialog_.m_btnProcess->click();
  // Every pixel the first drawing marks is red or green: the sample's
  // count of marked body pixels.
  EXPECT_EQ(dialog_.m_nFirstOnly + dialog_.m_nCommon, 30904u);
  EXPECT_GT(dialog_.m_nSecondOnly, 0u);
  const QImage overlay = dialog_.m_pResultImage->Image().copy();
  EXPECT_GT(InkIn(overlay, kLinesArea), 2000);
  // Process again, or "Results" in the combo box: the same picture, the
  // lines written once.
  dialog_.m_btnProcess->click();
  EXPECT_EQ(dialog_.m_pResultImage->Image(), overlay);
  Display(0);
  EXPECT_EQ(dialog_.m_pResultImage->Image(), overlay);
  EXPECT_EQ(dialog_.m_pFirstImage->Image(), first);
  EXPECT_EQ(dialog_.m_pMaskImage->Image(), mask);
  EXPECT_EQ(Bitmap::FromFile(Sample("neck_shoulder.png"))->Image(), first);

  // Two identical drawings: all green, no lines; the copy carries it so.
  ChooseSecond(Sample("neck_shoulder.png"));
  Display(0);
  EXPECT_EQ(dialog_.m_nCommon, 30904u);
  EXPECT_EQ(dialog_.m_nFirstOnly + dialog_.m_nSecondOnly, 0u);
  dialog_.m_btnCopy->click();
  const QImage copy = QGuiApplication::clipboard()->image();
  ASSERT_EQ(copy.size(), QSize(3508, 2480));
  EXPECT_EQ(InkIn(copy, kLinesArea), 0);
  // The box shows the green opaque, and a repaint does not scale again.
  const QImage box = Box();
  bool green = false;
  for (int y = 0; y < box.height() && !green; ++y) {
    for (int x = 0; x < box.width() && !green; ++x) {
      const QColor c = box.pixelColor(x, y);
      green = c.green() > 200 && c.red() < 60 && c.blue() > 80 && c.blue() < 120;
    }
  }
  EXPECT_TRUE(green);
  const qint64 scaled = dialog_.ScaledPicture().cacheKey();
  Box();
  EXPECT_EQ(dialog_.ScaledPicture().cacheKey(), scaled);
  const QRect inside = dialog_.m_btnPicture->contentsRect();
  const Rect fit = FitPicture(inside.width(), inside.height(), 3508, 2480);
  EXPECT_EQ(dialog_.ScaledPicture().size(), QSize(fit.Width(), fit.Height()));
}

TEST(CompareStatistics, NineLinesAsTheCountsGiveThem) {
  EXPECT_EQ(StatisticsLines(2, 1, 1), (QStringList{
                                          "first total (red + green): 3",
                                          "first only (red): 2",
                                          "second total (blue + green): 2",
                                          "second only (blue: 1",
                                          "common area (green): 1",
                                          "total area (first + second): 4",
                                          "common vs first: 33.33%",
                                          "common vs second: 50.00%",
                                          "common vs total: 25.00%",
                                      }));
  EXPECT_EQ(StatisticsLines(500, 7, 1000).value(6), QStringLiteral("common vs first: 66.67%"));
}

TEST(CompareClipboard, ARefusedCopyIsReportedAndChangesNothing) {
  ScriptedPrompts prompts;
  CDlgCompareFiles dialog;
  dialog.show();
  QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
  {
    RefusingClipboard refusing;
    dialog.m_btnCopy->click();
  }
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("Clipboard error")});
  EXPECT_EQ(prompts.records()[0].icon, MessageIcon::Error);
  EXPECT_FALSE(WaitCursor::IsShowing());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("earlier"));
}

TEST(CompareReferences, WithoutThemTheDialogEndsBeforeItShows) {
  ScriptedPrompts prompts;
  {
    CDlgCompareFiles dialog;
    dialog.m_pMaskImage = std::make_unique<Bitmap>();
    EXPECT_EQ(dialog.exec(), -1);
    EXPECT_FALSE(dialog.isVisible());
  }
  CDlgCompareFiles dialog;
  dialog.m_pResultImage.reset();
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.result(), -1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(prompts.Messages(), QStringList(2, QStringLiteral("The reference image could not be read")));
}

}  // namespace
