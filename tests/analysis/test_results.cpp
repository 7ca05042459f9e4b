#include "analysis/document.h"
#include "analysis/listcolor.h"
#include "analysis/resultsdialog.h"
#include "framework/application.h"
#include "framework/files.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

void SetThreshold(const QString& text) {
  Profile::Instance().WriteProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), text);
}

using Colours = std::pair<QColor, QColor>;

QStringList Lines(const QString& text) { return text.split(QStringLiteral("\r\n")); }

class Results : public ::testing::Test {
 protected:
  void SetUp() override { Profile::Instance().Settings().clear(); }

  // Drawings a.png, b.png, ... with the given counts over the given body, as
  // a folder run leaves them; a negative count stands for a drawing whose
  // processed copy could not be made.
  void Fill(const std::vector<int>& counts, int bodyPixels, std::array<int, 3> maxima = {0, 0, 0}) {
    doc_.ClearImages();
    doc_.m_nBodyPixels = bodyPixels;
    for (size_t i = 0; i < counts.size(); ++i) {
      doc_.m_vecOriginal.push_back(std::make_unique<Bitmap>());
      doc_.m_vecFileName.push_back(QString(QChar(u'a' + static_cast<char16_t>(i))) + QStringLiteral(".png"));
      doc_.m_vecProcessed.push_back(counts[i] < 0 ? nullptr : std::make_unique<Bitmap>());
      doc_.m_vecSelectedPixels.push_back(std::max(counts[i], 0));
    }
    doc_.m_nMaxFrequency = maxima[0];
    doc_.m_nMaxFrequencyCS = maxima[1];
    doc_.m_nMaxFrequencyNonCS = maxima[2];
  }

  CVarenkoDoc doc_;
};

TEST_F(Results, TheThreeDrawingsFileLineByLineAndByteForByte) {
  Fill({125, 200, 300}, 1000, {3, 2, 1});
  CDlgResults dialog(&doc_);
  dialog.OnInitDialog();
  const QStringList expected = {"#\tFilename\tRatio (%)\tCS",
                                "1\ta.png\t12.50\tfalse",
                                "2\tb.png\t20.00\ttrue",
                                "3\tc.png\t30.00\ttrue",
                                "",
                                "CS Threshold = 16 %",
                                "Total number of pictures = 3",
                                "Number of pictures with CS = 2 (66.67%)",
                                "",
                                "Mean picture ratio = 20.83",
                                "Mean picture with CS ratio = 25.00",
                                "Mean picture without CS ratio = 12.50",
                                "",
                                "SD picture ratio = 6.11",
                                "SD picture with CS ratio = 5.00",
                                "SD picture without CS ratio = 0.00",
                                "",
                                "Frequency distribution of the whole picture set = 3/3",
                                "Frequency distribution of the CS picture set = 2/2",
                                "Frequency distribution of the non CS picture set = 1/1",
                                ""};
  EXPECT_EQ(Lines(dialog.m_strTable + dialog.m_strStatistics), expected);
  // The file: every character in two bytes, low byte first, no mark before.
  QByteArray bytes;
  for (const QChar c : expected.join(QStringLiteral("\r\n"))) {
    bytes.append(static_cast<char>(c.cell())).append(static_cast<char>(c.row()));
  }
  EXPECT_EQ(ResultsFileBytes(dialog.m_strTable, dialog.m_strStatistics), bytes);
  // What the list shows is what the table says.
  EXPECT_EQ(dialog.m_listResults->GetItemText(1, 1), QStringLiteral("b.png"));
  EXPECT_EQ(dialog.m_listResults->GetItemText(2, 2), QStringLiteral("30.00"));
}

TEST_F(Results, ReportsTheirCasesAsTheyShouldRead) {
  const struct {
    const char* name;
    std::vector<int> counts;
    int body;
    const char* threshold;
    std::vector<int> csFlags;
    QStringList present;      // lines the table or report must hold
    QStringList absent = {};  // lines it must not hold
    std::array<int, 3> maxima = {0, 0, 0};
  } cases[] = {
      {"a count either side of 16 %",
       {242725, 242726},
       1517036,
       "16",
       {0, 1},
       {"1\ta.png\t16.00\tfalse", "2\tb.png\t16.00\ttrue", "Number of pictures with CS = 1 (50.00%)"}},
      {"mean absolute deviations",
       {100, 200, 600},
       1000,
       "16",
       {0, 1, 1},
       {"Mean picture ratio = 30.00", "Mean picture with CS ratio = 40.00", "Mean picture without CS ratio = 10.00",
        "SD picture ratio = 20.00", "SD picture with CS ratio = 20.00", "SD picture without CS ratio = 0.00"}},
      {"one picture: no deviations and no distributions",
       {300},
       1000,
       "16",
       {1},
       {"Total number of pictures = 1", "Mean picture with CS ratio = 30.00"},
       {"SD picture ratio = 0.00", "Mean picture without CS ratio = 0.00",
        "Frequency distribution of the whole picture set = 0/1"}},
      {"every picture CS",
       {300, 400},
       1000,
       "16",
       {1, 1},
       {"Number of pictures with CS = 2 (100.00%)", "Frequency distribution of the non CS picture set = 0/0"},
       {"Mean picture without CS ratio = 0.00", "SD picture without CS ratio = 0.00"}},
      {"no picture CS",
       {30, 40},
       1000,
       "16",
       {0, 0},
       {"Number of pictures with CS = 0 (0.00%)", "Frequency distribution of the CS picture set = 0/0"},
       {"Mean picture with CS ratio = 0.00", "SD picture with CS ratio = 0.00"}},
      {"a decimal comma reads up to the comma",
       {161, 164},
       1000,
       "16,5",
       {1, 1},
       {"CS Threshold = 16,5 %", "Number of pictures with CS = 2 (100.00%)"}},
      {"a threshold that is no number is 0, and a ratio equal to it is CS",
       {0, 5},
       1000,
       "none",
       {1, 1},
       {"1\ta.png\t0.00\ttrue", "Number of pictures with CS = 2 (100.00%)", "Mean picture with CS ratio = 0.25"}},
      {"the threshold changed after the run: the maxima stay, the split follows",
       {100, 200, 300},
       1000,
       "25",
       {0, 0, 1},
       {"Frequency distribution of the CS picture set = 4/1", "Frequency distribution of the non CS picture set = 1/2"},
       {},
       {5, 4, 1}},
      {"a drawing without a processed copy keeps the next rows their own counts",
       {100, -1, 300},
       1000,
       "16",
       {0, 0, 1},
       {"2\tb.png\t0.00\tfalse", "3\tc.png\t30.00\ttrue"}},
      {"without a body no ratio is a number: its row reads true, the report counts it without CS",
       {0, 0},
       0,
       "16",
       {1, 1},
       {"Number of pictures with CS = 0 (0.00%)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetThreshold(QString::fromLatin1(c.threshold));
    Fill(c.counts, c.body, c.maxima);
    CDlgResults dialog(&doc_);
    dialog.OnInitDialog();
    const QStringList lines = Lines(dialog.m_strTable + dialog.m_strStatistics);
    for (const QString& line : c.present) EXPECT_TRUE(lines.contains(line)) << line.toStdString();
    for (const QString& line : c.absent) EXPECT_FALSE(lines.contains(line)) << line.toStdString();
    EXPECT_EQ(dialog.m_vecCSFlag, c.csFlags);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Results (CS Threshold = %1 %)").arg(QLatin1String(c.threshold)));
    for (int row = 0; row < static_cast<int>(c.csFlags.size()); ++row) {
      const bool cs = c.csFlags[static_cast<size_t>(row)] != 0;
      EXPECT_EQ(dialog.m_listResults->GetItemText(row, 3), QLatin1String(cs ? "true" : "false"));
      EXPECT_EQ(dialog.m_listResults->RowColours(row).value_or(Colours()),
                cs ? Colours(QColor(196, 0, 0), QColor(223, 223, 223)) : Colours());
    }
  }
}

TEST_F(Results, TheCommandShowsTheFirstDrawingMeanwhileAndPutsTheIndexBack) {
  SetThreshold(QStringLiteral("16.00"));
  CmdUI none(32778);
  doc_.OnUpdateCommandUI(none);
  EXPECT_FALSE(none.enabled());
  Fill({100, 200, 300, 400, 500}, 1000);
  CmdUI some(32778);
  doc_.OnUpdateCommandUI(some);
  EXPECT_TRUE(some.enabled());
  doc_.m_nCurrent = 4;

  bool looked = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CDlgResults*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    looked = true;
    EXPECT_EQ(doc_.m_nCurrent, 0u);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Results (CS Threshold = 16.00 %)"));
    EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint));
    // A click on a column header sorts nothing and changes no colour.
    MCListColor* list = dialog->m_listResults;
    QHeaderView* header = list->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    for (int row = 0; row < 5; ++row) {
      EXPECT_EQ(list->GetItemText(row, 0), QString::number(row + 1));
      EXPECT_EQ(list->RowColours(row).has_value(), row >= 1);
    }
    // A CS row keeps its colours when selected.
    list->selectRow(1);
    const QImage shown = list->viewport()->grab().toImage();
    const int y = list->rowViewportPosition(1) + list->rowHeight(1) / 2;
    EXPECT_EQ(shown.pixel(list->columnViewportPosition(1) + 200, y), qRgb(223, 223, 223));
    dialog->accept();
  });
  doc_.OnResults();
  EXPECT_TRUE(looked);
  EXPECT_EQ(doc_.m_nCurrent, 4u);
}

TEST_F(Results, ExportWritesTheFileWholeOrKeepsTheOldOne) {
  Fill({125, 200, 300}, 1000);
  CDlgResults dialog(&doc_);
  dialog.OnInitDialog();
  const QByteArray expected = ResultsFileBytes(dialog.m_strTable, dialog.m_strStatistics);
  const QString dir = TempDir();
  const QString readOnly = SaveText(QStringLiteral("Results.txt"), dir, "old");
  QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
  QString desktop;
  Application::GetDesktopPath(desktop);
  ScriptedPrompts prompts;
  // A path, and whether the file is saved there; twice the same path gives
  // the same bytes, and a read-only file is replaced.
  const std::pair<QString, bool> cases[] = {{dir + QStringLiteral("/new.txt"), true},
                                            {dir + QStringLiteral("/new.txt"), true},
                                            {readOnly, true},
                                            {dir + QStringLiteral("/without extension"), true},
                                            {QStringLiteral("/proc/Results.txt"), false},
                                            {dir, false}};
  for (const auto& [path, saved] : cases) {
    SCOPED_TRACE(path.toStdString());
    prompts.Clear();
    prompts.Answer(path);
    dialog.OnExport();
    ASSERT_EQ(prompts.records().size(), 2u);
    const FileDialogOptions& asked = prompts.records()[0].options;
    EXPECT_EQ(asked.fileName, QStringLiteral("Results.txt"));
    EXPECT_EQ(asked.filter, QStringLiteral("Text Files (*.txt)"));
    EXPECT_EQ(asked.initialDir, desktop);
    EXPECT_EQ(prompts.Messages(), QStringList{saved ? QStringLiteral("The file was saved successfully")
                                                    : QStringLiteral("The file could not be saved")});
    EXPECT_EQ(prompts.records()[1].icon, saved ? MessageIcon::Information : MessageIcon::Error);
    QFile file(path);
    if (saved) {
      EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.readAll() == expected);
    }
  }
  // A write that fails part-way, as on a full disk, keeps the old file.
  prompts.Clear();
  prompts.Answer(readOnly);
  ASSERT_TRUE(WriteWholeFile(readOnly, "old"));
  {
    const FileSizeLimit full(100);
    dialog.OnExport();
  }
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("The file could not be saved")});
  QFile kept(readOnly);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), QByteArray("old"));
  // A cancelled choice writes nothing and says nothing.
  prompts.Clear();
  prompts.Answer(std::nullopt);
  dialog.OnExport();
  EXPECT_TRUE(prompts.Messages().isEmpty());
}

}  // namespace
