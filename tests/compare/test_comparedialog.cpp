#include "compare/comparedialog.h"
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
  QImage Copied() {
    dialog_.m_btnCopy->click();
    return QGuiApplication::clipboard()->image();
  }

  ScriptedPrompts prompts_;
  CDlgCompareFiles dialog_;
};

TEST_F(CompareDialog, ButtonsAndDisplayThroughASessionOfChoices) {
  // At first the blank chart shows, and is copied at full size.
  EXPECT_FALSE(Ink(Box(), Box().rect()).isNull());
  const QImage blank = Bitmap::FromResource(res::IDB_BLANK_CHART_COMPARE)->Image();
  EXPECT_EQ(Copied(), blank);
  const QString size = QStringLiteral("The image does not have the correct dimensions");
  const std::tuple<std::function<void()>, QStringList, int, bool, bool> steps[] = {
      // what the user does, the messages, then the display, Process, Copy
      {[&] {}, {}, 0, false, true},
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
    const auto& [act, messages, display, process, copy] = steps[i];
    SCOPED_TRACE(i);
    prompts_.Clear();
    act();
    EXPECT_EQ(prompts_.Messages(), messages);
    for (const auto& record : prompts_.records()) {
      EXPECT_TRUE(record.kind != ScriptedPrompts::Kind::Message || record.icon == MessageIcon::Error);
    }
    EXPECT_EQ(dialog_.DisplayCombo()->currentIndex(), display);
    EXPECT_EQ(dialog_.m_btnProcess->isEnabled(), process);
    EXPECT_EQ(dialog_.m_btnCopy->isEnabled(), copy);
  }
  EXPECT_TRUE(dialog_.FirstFileEdit()->text().isEmpty());
  EXPECT_EQ(dialog_.m_pResultImage->Image(), blank);  // one drawing missing
  // The empty first side is a white box, and nothing to copy.
  Display(1);
  EXPECT_TRUE(Ink(Box(), Box().rect()).isNull());
  QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
  dialog_.m_btnCopy->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("earlier"));

  // A side's path is its next question's initial name; a typed path once
  // the display choice took it in.
  auto asked = [&](QPushButton* select) {
    Choose(select, std::nullopt);
    return prompts_.records().back().options.fileName;
  };
  EXPECT_EQ(asked(dialog_.SelectSecondButton()), Sample("low_back_leg.png"));
  dialog_.FirstFileEdit()->setText(QStringLiteral("/typed.png"));
  EXPECT_EQ(asked(dialog_.SelectFirstButton()), QString());
  Display(1);
  EXPECT_EQ(asked(dialog_.SelectFirstButton()), QStringLiteral("/typed.png"));
}

TEST_F(CompareDialog, TheOverlayWithItsStatisticsEachTimeFromACleanChart) {
  First("neck_shoulder.png");
  Second("low_back_leg.png");
  const QImage first = dialog_.m_pFirstImage->Image().copy();
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
  const QImage copy = Copied();
  EXPECT_EQ(copy.size(), QSize(3508, 2480));
  EXPECT_TRUE(Ink(copy, kLinesArea).isNull());
  // The box shows the green opaque, scaled once for all repaints.
  const QImage box = Box();
  bool green = false;
  for (int y = 0; y < box.height(); ++y) {
    for (int x = 0; x < box.width(); ++x) green = green || box.pixel(x, y) == qRgb(20, 220, 100);
  }
  EXPECT_TRUE(green);
  const qint64 scaled = dialog_.ScaledPicture().cacheKey();
  Box();
  EXPECT_EQ(dialog_.ScaledPicture().cacheKey(), scaled);

  // A clipboard that refuses: the user is told, it keeps what it held.
  QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
  prompts_.Clear();
  {
    RefusingClipboard refusing;
    dialog_.m_btnCopy->click();
  }
  EXPECT_EQ(prompts_.Messages(), QStringList{QStringLiteral("Clipboard error")});
  EXPECT_FALSE(WaitCursor::IsShowing());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("earlier"));
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
