#include "compare/comparedialog.h"
#include "compare/overlay.h"
#include "framework/bitmap.h"
#include "framework/prompts.h"
#include "framework/waitcursor.h"
#include "resources/resource.h"
#include "tests/support/testsupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>

namespace {

QString Sample(const char* name) { return SourcePath(QStringLiteral("samples/") + QString::fromLatin1(name)); }

QImage BlankChart() { return Bitmap::FromResource(res::IDB_BLANK_CHART_COMPARE)->Image(); }

// Where the statistics lines start, left of the chart's figure.
const QRect kLinesArea(0, 0, 560, 500);

class CompareDialog : public ::testing::Test {
 protected:
  void SetUp() override { dialog_.show(); }

  void Choose(QPushButton* select, const std::optional<QString>& path) {
    prompts_.Answer(path);
    select->click();
  }
  void First(const char* sample) { Choose(dialog_.SelectFirstButton(), Sample(sample)); }
  void Second(const char* sample) { Choose(dialog_.SelectSecondButton(), Sample(sample)); }
  void Display(int index) {
    dialog_.DisplayCombo()->setCurrentIndex(index);
    emit dialog_.DisplayCombo()->activated(index);
  }
  QImage Box() { return dialog_.m_btnPicture->grab(dialog_.m_btnPicture->contentsRect()).toImage(); }
  QString LastInitialName() const { return prompts_.records().back().options.fileName; }

  ScriptedPrompts prompts_;
  CDlgCompareFiles dialog_;
};

TEST_F(CompareDialog, OpensOnTheBlankChartAndCopiesItAtFullSize) {
  EXPECT_EQ(dialog_.DisplayCombo()->currentIndex(), 0);
  EXPECT_FALSE(dialog_.m_btnProcess->isEnabled());
  EXPECT_TRUE(dialog_.m_btnCopy->isEnabled());
  EXPECT_FALSE(Ink(Box(), Box().rect()).isNull());  // the chart's lines
  dialog_.m_btnCopy->click();
  EXPECT_EQ(QGuiApplication::clipboard()->image(), BlankChart());
  // A clipboard that refuses: the user is told, it keeps what it held.
  QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
  {
    RefusingClipboard refusing;
    dialog_.m_btnCopy->click();
  }
  EXPECT_EQ(prompts_.Messages(), QStringList{QStringLiteral("Clipboard error")});
  EXPECT_EQ(prompts_.records()[0].icon, MessageIcon::Error);
  EXPECT_FALSE(WaitCursor::IsShowing());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("earlier"));
}

TEST_F(CompareDialog, ButtonsAndDisplayThroughASessionOfChoices) {
  const QString size = QStringLiteral("The image does not have the correct dimensions");
  struct Step {
    std::function<void()> act;
    QStringList messages;
    int display;
    bool process;
    bool copy;
  };
  const Step steps[] = {
      {[&] { First("neck_shoulder.png"); }, {}, 1, false, true},
      {[&] { Second("low_back_leg.png"); }, {}, 2, true, true},
      {[&] { dialog_.m_btnProcess->click(); }, {}, 0, true, true},
      {[&] { Choose(dialog_.SelectSecondButton(), std::nullopt); }, {}, 0, true, true},  // cancelled
      // A refused second drawing keeps the display; the overlay is gone.
      {[&] { Second("wrong_size.png"); }, {size}, 0, false, false},
      {[&] { Second("low_back_leg.png"); }, {}, 2, true, true},
      // A refused first drawing shows its empty side.
      {[&] { First("notes.png"); }, {QStringLiteral("The file is not a valid image"), size}, 1, false, false},
      // The display choice runs Process and leaves the buttons as they were.
      {[&] { Display(0); }, {}, 0, false, false},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    prompts_.Clear();
    steps[i].act();
    EXPECT_EQ(prompts_.Messages(), steps[i].messages);
    for (const auto& record : prompts_.records()) {
      EXPECT_TRUE(record.kind != ScriptedPrompts::Kind::Message || record.icon == MessageIcon::Error);
    }
    EXPECT_EQ(dialog_.DisplayCombo()->currentIndex(), steps[i].display);
    EXPECT_EQ(dialog_.m_btnProcess->isEnabled(), steps[i].process);
    EXPECT_EQ(dialog_.m_btnCopy->isEnabled(), steps[i].copy);
  }
  EXPECT_TRUE(dialog_.FirstFileEdit()->text().isEmpty());
  EXPECT_EQ(dialog_.m_pResultImage->Image(), BlankChart());  // one drawing missing
  // The empty first side is a white box, and nothing to copy.
  Display(1);
  EXPECT_TRUE(Ink(Box(), Box().rect()).isNull());
  QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
  dialog_.m_btnCopy->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("earlier"));

  // A side's path is its next question's initial name; a typed path once
  // the display choice took it in. Cancelling changes nothing.
  Choose(dialog_.SelectSecondButton(), std::nullopt);
  EXPECT_EQ(LastInitialName(), Sample("low_back_leg.png"));
  EXPECT_EQ(prompts_.records().back().options.filter, QStringLiteral("PNG Files (*.png);;All Files (*.*)"));
  dialog_.FirstFileEdit()->setText(QStringLiteral("/typed.png"));
  Choose(dialog_.SelectFirstButton(), std::nullopt);
  EXPECT_EQ(LastInitialName(), QString());
  Display(1);
  Choose(dialog_.SelectFirstButton(), std::nullopt);
  EXPECT_EQ(LastInitialName(), QStringLiteral("/typed.png"));
}

TEST_F(CompareDialog, TheOverlayWithItsStatisticsEachTimeFromACleanChart) {
  First("neck_shoulder.png");
  Second("low_back_leg.png");
  const QImage first = Bitmap::FromFile(Sample("neck_shoulder.png"))->Image();
  const QImage mask = dialog_.m_pMaskImage->Image().copy();
  dialog_.m_btnProcess->click();
  // The first drawing's marked body pixels, as the samples list them.
  EXPECT_EQ(dialog_.m_nFirstOnly + dialog_.m_nCommon, 30904u);
  ASSERT_GT(dialog_.m_nSecondOnly, 0u);
  const QImage overlay = dialog_.m_pResultImage->Image().copy();
  // Line 4 of nine from (5, 10), "Arial" at 47 pixels, 54 apart.
  const QString line4 = QStringLiteral("second only (blue: %1").arg(dialog_.m_nSecondOnly);
  EXPECT_EQ(overlay.copy(Ink(overlay, QRect(0, 10 + 3 * 54, 560, 54))), Written(line4, 47, QColor(192, 128, 0)));
  // Process again, or "Results": the same picture, its lines written once.
  dialog_.m_btnProcess->click();
  EXPECT_EQ(dialog_.m_pResultImage->Image(), overlay);
  Display(0);
  EXPECT_EQ(dialog_.m_pResultImage->Image(), overlay);
  EXPECT_EQ(dialog_.m_pFirstImage->Image(), first);
  EXPECT_EQ(dialog_.m_pMaskImage->Image(), mask);

  // A marked first drawing against the blank chart: red only, no lines.
  Second("blank.png");
  Display(0);
  EXPECT_EQ(dialog_.m_nFirstOnly, 30904u);
  EXPECT_TRUE(Ink(dialog_.m_pResultImage->Image(), kLinesArea).isNull());
  // Two identical drawings: green, no lines, and the copy carries it so.
  Second("neck_shoulder.png");
  Display(0);
  EXPECT_EQ(dialog_.m_nCommon, 30904u);
  EXPECT_EQ(dialog_.m_nFirstOnly + dialog_.m_nSecondOnly, 0u);
  dialog_.m_btnCopy->click();
  const QImage copy = QGuiApplication::clipboard()->image();
  EXPECT_EQ(copy.size(), QSize(3508, 2480));
  EXPECT_TRUE(Ink(copy, kLinesArea).isNull());
  // The box shows the green opaque, scaled once for all repaints.
  const QImage box = Box();
  EXPECT_FALSE(Ink(box, box.rect()).isNull());
  bool green = false;
  for (int y = 0; y < box.height(); ++y) {
    for (int x = 0; x < box.width(); ++x) green = green || box.pixel(x, y) == qRgb(20, 220, 100);
  }
  EXPECT_TRUE(green);
  const qint64 scaled = dialog_.ScaledPicture().cacheKey();
  Box();
  EXPECT_EQ(dialog_.ScaledPicture().cacheKey(), scaled);
}

TEST(CompareStatistics, NineLinesFromTheCounts) {
  EXPECT_EQ(StatisticsLines(2, 1, 1),
            (QStringList{"first total (red + green): 3", "first only (red): 2", "second total (blue + green): 2",
                         "second only (blue: 1", "common area (green): 1", "total area (first + second): 4",
                         "common vs first: 33.33%", "common vs second: 50.00%", "common vs total: 25.00%"}));
  EXPECT_EQ(StatisticsLines(500, 7, 1000).value(6), QStringLiteral("common vs first: 66.67%"));
}

TEST(CompareReferences, WithoutThemTheDialogEndsBeforeItShows) {
  ScriptedPrompts prompts;
  CDlgCompareFiles dialog;
  dialog.m_pMaskImage = std::make_unique<Bitmap>();
  EXPECT_EQ(dialog.exec(), -1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("The reference image could not be read")});
}

}  // namespace
