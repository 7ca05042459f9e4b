#include "compare/comparedialog.h"
#include "compare/overlay.h"
#include "framework/bitmap.h"
#include "framework/prompts.h"
#include "resources/resource.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <vector>

namespace {

QString Sample(const char* name) { return SourcePath(QString("samples/") + QString::fromLatin1(name)); }

const QRect kLinesArea(0, 0, 560, 500);  // where statistics lines stand, left of the figures

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
  const QString size = "The image does not have the correct dimensions";
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
      {[&] { First("notes.png"); }, {QString("The file is not a valid image"), size}, 1, false, false},
      // The display choice runs Process and leaves the buttons as they were.
      {[&] { Display(0); }, {}, 0, false, false},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    const auto& [act, messages, display, process, copy] = steps[i];
    SCOPED_TRACE(i);
    prompts_.Clear();
    act();
    EXPECT_EQ(prompts_.Messages(), messages);
    EXPECT_EQ(dialog_.DisplayCombo()->currentIndex(), display);
    EXPECT_EQ(dialog_.m_btnProcess->isEnabled(), process);
    EXPECT_EQ(dialog_.m_btnCopy->isEnabled(), copy);
  }
  EXPECT_TRUE(dialog_.FirstFileEdit()->text().isEmpty());
  EXPECT_EQ(dialog_.m_pResultImage->Image(), blank);  // one drawing missing
  // The empty first side is a white box, and nothing to copy.
  Display(1);
  EXPECT_TRUE(Ink(Box(), Box().rect()).isNull());
  QGuiApplication::clipboard()->setText(QString("earlier"));
  dialog_.m_btnCopy->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString("earlier"));
}

TEST_F(CompareDialog, KeysStartInTheFirstPathAndEveryDisplayEntryShowsWhole) {
  // Not on OK, where a key pressed at once would close the dialog.
  EXPECT_EQ(dialog_.focusWidget(), dialog_.FirstFileEdit());
  QComboBox* combo = dialog_.DisplayCombo();
  QStyleOptionComboBox option;
  option.initFrom(combo);
  const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
  // The entry's text stands a pixel in from either side of the field.
  for (int i = 0; i < combo->count(); ++i) {
    EXPECT_LE(combo->fontMetrics().horizontalAdvance(combo->itemText(i)), field.width() - 2) << i;
  }
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
  const QString line4 = QString("second only (blue: %1").arg(dialog_.m_nSecondOnly);
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
}

// Answers file questions from the script; the file dialog takes the
// activation with it when it closes. Messages show in Qt's own box, whose
// parent window is noted before the box is closed.
class BoxParents : public ScriptedPrompts {
 public:
  std::optional<QString> OpenFile(const FileDialogOptions& options) override {
    QApplication::setActiveWindow(nullptr);
    return ScriptedPrompts::OpenFile(options);
  }
  void MessageBox(const QString& text, MessageIcon icon) override {
    QTimer::singleShot(0, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      parents.push_back(box != nullptr ? box->parentWidget() : nullptr);
      if (box != nullptr) box->done(0);
    });
    QtPrompts().MessageBox(text, icon);
  }
  std::vector<QWidget*> parents;
};

TEST(CompareMessages, StandOverTheComparisonTheUserIsIn) {
  BoxParents prompts;
  CDlgCompareFiles dialog;
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.show();
  // The wrong size, then a file that is no image (two messages).
  for (const char* sample : {"wrong_size.png", "notes.png"}) {
    prompts.Answer(Sample(sample));
    dialog.SelectSecondButton()->click();
  }
  EXPECT_EQ(prompts.parents, std::vector<QWidget*>(3, &dialog));
}

TEST(CompareReferences, WithoutThemTheDialogEndsBeforeItShows) {
  ScriptedPrompts prompts;
  CDlgCompareFiles dialog;
  dialog.m_pMaskImage = std::make_unique<Bitmap>();
  EXPECT_EQ(dialog.exec(), -1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(prompts.Messages(), QStringList{QString("The reference image could not be read")});
}

BitmapData RowOf(std::vector<uint32_t>& pixels) {
  return BitmapData{reinterpret_cast<uint8_t*>(pixels.data()), static_cast<ptrdiff_t>(pixels.size() * 4),
                    static_cast<int>(pixels.size()), 1};
}

TEST(Overlay, ColoursEachBodyPixelByWhichDrawingsMarkIt) {
  constexpr uint32_t body = 0xFF74A7FEu, outside = 0xFFFFD9F9u;  // mask blue 254 and 249
  constexpr uint32_t chart = 0xFFFFFFFFu, red = 0xFFFF0000u, blue = 0xFF0000FFu;
  const uint32_t cases[][4] = {
      // mask, first, second, overlay
      {body, chart, chart, chart},                    // neither marks it
      {body, red, red, kOverlayCommon},               // both alike
      {body, chart, blue, kOverlaySecondOnly},        // only the second
      {body, red, chart, kOverlayFirstOnly},          // only the first
      {body, red, blue, kOverlayFirstOnly},           // both, differently
      {body, 0xFF808080u, chart, kOverlayFirstOnly},  // a grey mark
      {body, 0x00FFFFFFu, chart, kOverlayFirstOnly},  // the fourth byte
      {outside, red, blue, chart},
      {outside, red, red, chart},
  };
  std::vector<uint32_t> mask, first, second, overlay;
  for (const auto& c : cases) {
    mask.push_back(c[0]);
    first.push_back(c[1]);
    second.push_back(c[2]);
    overlay.push_back(chart);
  }
  const std::vector<uint32_t> before[] = {mask, first, second};
  const OverlayCounts counts = OverlayDrawings(RowOf(first), RowOf(second), RowOf(overlay), BodyRuns(RowOf(mask)));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(overlay[i], cases[i][3]) << i;
  EXPECT_EQ(counts, (OverlayCounts{4, 1, 1}));
  EXPECT_TRUE(mask == before[0] && first == before[1] && second == before[2]);
  // The colours' bytes: blue, green, red, fourth byte.
  const uint8_t colours[][4] = {{100, 220, 20, 0}, {255, 180, 80, 0}, {0, 30, 255, 0}};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(std::memcmp(&overlay[1 + i], colours[i], 4), 0) << i;
  // An overlay of another size than the body's is left alone.
  std::vector<uint32_t> shorter(3, chart);
  EXPECT_EQ(OverlayDrawings(RowOf(first), RowOf(second), RowOf(shorter), BodyRuns(RowOf(mask))), OverlayCounts{});
  EXPECT_EQ(shorter, std::vector<uint32_t>(3, chart));
}

TEST(Overlay, NineStatisticsLinesFromTheCounts) {
  EXPECT_EQ(StatisticsLines(2, 1, 1),
            (QStringList{"first total (red + green): 3", "first only (red): 2", "second total (blue + green): 2",
                         "second only (blue: 1", "common area (green): 1", "total area (first + second): 4",
                         "common vs first: 33.33%", "common vs second: 50.00%", "common vs total: 25.00%"}));
  EXPECT_EQ(StatisticsLines(500, 7, 1000).value(6), QString("common vs first: 66.67%"));
}

TEST(Overlay, PicturesFitTheBoxAtOneScaleCentred) {
  const std::pair<std::array<int, 4>, Rect> cases[] = {
      {{740, 546, 3508, 2480}, {1, 12, 739, 533}},  // 738 x 521 at 1, 12
      {{302, 500, 100, 50}, {1, 175, 301, 325}},
      {{500, 202, 100, 50}, {50, 1, 450, 201}},
      {{740, 546, 0, 2480}, {}},
      {{2, 2, 3508, 2480}, {}},
  };
  for (const auto& [box, fit] : cases) EXPECT_EQ(FitPicture(box[0], box[1], box[2], box[3]), fit) << box[0];
}

}  // namespace
