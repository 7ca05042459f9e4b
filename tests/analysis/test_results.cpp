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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>

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
  const QString expected =
      "#\tFilename\tRatio (%)\tCS\r\n1\ta.png\t12.50\tfalse\r\n2\tb.png\t20.00\ttrue\r\n3\tc.png\t30.00\ttrue\r\n\r\n"
      "CS Threshold = 16 %\r\nTotal number of pictures = 3\r\nNumber of pictures with CS = 2 (66.67%)\r\n\r\n"
      "Mean picture ratio = 20.83\r\nMean picture with CS ratio = 25.00\r\n"
      "Mean picture without CS ratio = 12.50\r\n\r\n"
      "SD picture ratio = 6.11\r\nSD picture with CS ratio = 5.00\r\nSD picture without CS ratio = 0.00\r\n\r\n"
      "Frequency distribution of the whole picture set = 3/3\r\n"
      "Frequency distribution of the CS picture set = 2/2\r\n"
      "Frequency distribution of the non CS picture set = 1/1\r\n";
  EXPECT_EQ(Lines(dialog.m_strTable + dialog.m_strStatistics), Lines(expected));
  // The file: every character in two bytes, low byte first, no mark before.
  QByteArray bytes;
  for (const QChar c : expected) bytes.append(static_cast<char>(c.cell())).append(static_cast<char>(c.row()));
  EXPECT_EQ(ResultsFileBytes(dialog.m_strTable, dialog.m_strStatistics), bytes);
  // What the list shows is what the table says.
  EXPECT_EQ(dialog.m_listResults->GetItemText(1, 1), QStringLiteral("b.png"));
  EXPECT_EQ(dialog.m_listResults->GetItemText(2, 2), QStringLiteral("30.00"));
}

TEST_F(Results, ReportsTheirCasesAsTheyShouldRead) {
  // Counts over a body, the threshold text and the maxima a run left; each
  // drawing's CS label, and lines the table or report must and must not hold.
  auto check = [this](const char* what, const std::vector<int>& counts, int body, const char* threshold,
                      const std::vector<int>& cs, const QStringList& present, const QStringList& absent = {},
                      std::array<int, 3> maxima = {0, 0, 0}) {
    SCOPED_TRACE(what);
    SetThreshold(QString::fromLatin1(threshold));
    Fill(counts, body, maxima);
    CDlgResults dialog(&doc_);
    dialog.OnInitDialog();
    const QStringList lines = Lines(dialog.m_strTable + dialog.m_strStatistics);
    for (const QString& line : present) EXPECT_TRUE(lines.contains(line)) << line.toStdString();
    for (const QString& line : absent) EXPECT_FALSE(lines.contains(line)) << line.toStdString();
    EXPECT_EQ(dialog.m_vecCSFlag, cs);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Results (CS Threshold = %1 %)").arg(QLatin1String(threshold)));
    for (int row = 0; row < static_cast<int>(cs.size()); ++row) {
      const bool label = cs[static_cast<size_t>(row)] != 0;
      EXPECT_EQ(dialog.m_listResults->GetItemText(row, 3), QLatin1String(label ? "true" : "false"));
      EXPECT_EQ(dialog.m_listResults->RowColours(row).value_or(Colours()),
                label ? Colours(QColor(196, 0, 0), QColor(223, 223, 223)) : Colours());
    }
  };
  check("a count either side of 16 %", {242725, 242726}, 1517036, "16", {0, 1},
        {"1\ta.png\t16.00\tfalse", "2\tb.png\t16.00\ttrue", "Number of pictures with CS = 1 (50.00%)"});
  check("mean absolute deviations", {100, 200, 600}, 1000, "16", {0, 1, 1},
        {"Mean picture ratio = 30.00", "Mean picture with CS ratio = 40.00", "Mean picture without CS ratio = 10.00",
         "SD picture ratio = 20.00", "SD picture with CS ratio = 20.00", "SD picture without CS ratio = 0.00"});
  check("one picture: no deviations and no distributions", {300}, 1000, "16", {1},
        {"Total number of pictures = 1", "Mean picture with CS ratio = 30.00"},
        {"SD picture ratio = 0.00", "Mean picture without CS ratio = 0.00",
         "Frequency distribution of the whole picture set = 0/1"});
  check("every picture CS", {300, 400}, 1000, "16", {1, 1},
        {"Number of pictures with CS = 2 (100.00%)", "Frequency distribution of the non CS picture set = 0/0"},
        {"Mean picture without CS ratio = 0.00", "SD picture without CS ratio = 0.00"});
  check("no picture CS", {30, 40}, 1000, "16", {0, 0},
        {"Number of pictures with CS = 0 (0.00%)", "Frequency distribution of the CS picture set = 0/0"},
        {"Mean picture with CS ratio = 0.00", "SD picture with CS ratio = 0.00"});
  check("a decimal comma reads up to the comma", {161, 164}, 1000, "16,5", {1, 1},
        {"CS Threshold = 16,5 %", "Number of pictures with CS = 2 (100.00%)"});
  check("a threshold that is no number is 0, and a ratio equal to it is CS", {0, 5}, 1000, "none", {1, 1},
        {"1\ta.png\t0.00\ttrue", "Number of pictures with CS = 2 (100.00%)"});
  check(
      "the threshold changed after the run: the maxima stay, the split follows", {100, 200, 300}, 1000, "25", {0, 0, 1},
      {"Frequency distribution of the CS picture set = 4/1", "Frequency distribution of the non CS picture set = 1/2"},
      {}, {5, 4, 1});
  check("a drawing without a processed copy keeps the next rows their own counts", {100, -1, 300}, 1000, "16",
        {0, 0, 1}, {"2\tb.png\t0.00\tfalse", "3\tc.png\t30.00\ttrue"});
  check("without a body no ratio is a number: its row reads true, the report counts it without CS", {0, 0}, 0, "16",
        {1, 1}, {"Number of pictures with CS = 0 (0.00%)"});
}

TEST_F(Results, TheCommandShowsTheFirstDrawingMeanwhileAndPutsTheIndexBack) {
  SetThreshold(QStringLiteral("16.00"));
  Fill({100, 200, 300, 400, 500}, 1000);
  doc_.m_nCurrent = 4;

  bool looked = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CDlgResults*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    looked = true;
    EXPECT_EQ(doc_.m_nCurrent, 0u);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Results (CS Threshold = 16.00 %)"));
    EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint));
    // A CS row keeps its colours when selected.
    MCListColor* list = dialog->m_listResults;
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

TEST_F(Results, TabVisitsEachControlOnceAndEnterOrEscapeEndTheDialog) {
  Fill({100, 200, 300}, 1000);
  // A key pressed in a control (OK, Export, the list, the report): the
  // control that has the focus then, or how the dialog ended.
  const std::tuple<int, Qt::Key, const char*> cases[] = {
      {0, Qt::Key_Tab, "1"},     {1, Qt::Key_Tab, "2"},     {2, Qt::Key_Tab, "3"},
      {3, Qt::Key_Tab, "0"},     {3, Qt::Key_Backtab, "2"}, {2, Qt::Key_Backtab, "1"},
      {2, Qt::Key_Return, "OK"}, {3, Qt::Key_Return, "OK"}, {2, Qt::Key_Escape, "closed"},
  };
  for (const auto& [from, key, expected] : cases) {
    CDlgResults dialog(&doc_);
    dialog.OnInitDialog();
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QWidget* const controls[] = {dialog.m_ok, dialog.m_export, dialog.m_listResults, dialog.m_edit};
    controls[from]->setFocus();
    QTest::keyClick(QApplication::focusWidget(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    std::string now = dialog.isVisible() ? "lost" : dialog.result() == QDialog::Accepted ? "OK" : "closed";
    for (int i = 0; i < 4 && dialog.isVisible(); ++i) {
      if (controls[i]->hasFocus()) now = std::to_string(i);
    }
    EXPECT_EQ(now, expected) << from << " " << key;
  }
}

// The report's box has no scroll bars; the keys reach every line of it.
TEST_F(Results, TheReportShowsNoScrollBarAndItsLinesAreReachedByTheKeys) {
  Fill({100, 200, 300}, 1000, {3, 2, 1});
  CDlgResults dialog(&doc_);
  dialog.OnInitDialog();
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  QPlainTextEdit* report = dialog.m_edit;
  ASSERT_GE(report->document()->blockCount(), 14);
  EXPECT_FALSE(report->verticalScrollBar()->isVisible() || report->horizontalScrollBar()->isVisible());
  report->setFocus();
  const QScrollBar* bar = report->verticalScrollBar();
  // A key, how many times, and where the text then stands.
  const std::tuple<Qt::Key, Qt::KeyboardModifiers, int, const char*> keys[] = {
      {Qt::Key_End, Qt::ControlModifier, 1, "end"}, {Qt::Key_Home, Qt::ControlModifier, 1, "start"},
      {Qt::Key_PageDown, Qt::NoModifier, 1, "end"}, {Qt::Key_PageUp, Qt::NoModifier, 1, "start"},
      {Qt::Key_Down, Qt::NoModifier, 20, "end"},    {Qt::Key_Up, Qt::NoModifier, 20, "start"}};
  for (const auto& [key, modifiers, times, where] : keys) {
    for (int i = 0; i < times; ++i) QTest::keyClick(report, key, modifiers);
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value() == 0                ? "start"
              : bar->value() == bar->maximum() ? "end"
                                               : "between",
              std::string(where))
        << key;
  }
  EXPECT_TRUE(report->isReadOnly());
}

TEST_F(Results, ExportWritesTheFileWholeOrKeepsTheOldOne) {
  Fill({125, 200, 300}, 1000);
  CDlgResults dialog(&doc_);
  dialog.OnInitDialog();
  const QString dir = TempDir();
  const QString readOnly = SaveText(QStringLiteral("Results.txt"), dir, "old");
  QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
  ScriptedPrompts prompts;
  // Exports to the path chosen, the file limited to a size or not: what the
  // file then holds, and what the user is told.
  auto exportTo = [&](const std::optional<QString>& path, long long limit = -1) {
    prompts.Clear();
    prompts.Answer(path);
    {
      std::optional<FileSizeLimit> full;
      if (limit >= 0) full.emplace(limit);
      dialog.OnExport();
    }
    const std::unique_ptr<QFile> file = path ? OpenRegularFile(LocalPath(*path)) : nullptr;
    return std::pair(file ? file->readAll() : QByteArray(), prompts.Messages());
  };
  const QStringList saved{QStringLiteral("The file was saved successfully")};
  const QStringList failed{QStringLiteral("The file could not be saved")};
  const QByteArray bytes = ResultsFileBytes(dialog.m_strTable, dialog.m_strStatistics);
  // Twice to one path gives the same bytes; a read-only file is replaced.
  for (const QString& path : {dir + QStringLiteral("/new.txt"), dir + QStringLiteral("/new.txt"), readOnly,
                              dir + QStringLiteral("/without extension")}) {
    EXPECT_EQ(exportTo(path), std::pair(bytes, saved)) << path.toStdString();
  }
  EXPECT_EQ(prompts.records()[1].icon, MessageIcon::Information);
  const FileDialogOptions& asked = prompts.records()[0].options;
  EXPECT_EQ(asked.fileName, QStringLiteral("Results.txt"));
  EXPECT_EQ(asked.filter, QStringLiteral("Text Files (*.txt)"));
  QString desktop;
  Application::GetDesktopPath(desktop);
  EXPECT_EQ(asked.initialDir, desktop);
  // Nowhere to write, or no file to replace: a FIFO, directly or through a
  // link, stays a FIFO.
  const QString fifo = dir + QStringLiteral("/fifo.txt"), link = dir + QStringLiteral("/link.txt");
  ASSERT_EQ(::mkfifo(LocalPath(fifo), 0600), 0);
  ASSERT_TRUE(QFile::link(fifo, link));
  for (const QString& path : {QStringLiteral("/proc/Results.txt"), dir, fifo, link}) {
    EXPECT_EQ(exportTo(path).second, failed) << path.toStdString();
    EXPECT_EQ(prompts.records()[1].icon, MessageIcon::Error);
  }
  struct stat info {};
  EXPECT_TRUE(::stat(LocalPath(link), &info) == 0 && S_ISFIFO(info.st_mode));
  // A write that fails part-way, as on a full disk, keeps the old file.
  ASSERT_TRUE(WriteWholeFile(readOnly, "old"));
  EXPECT_EQ(exportTo(readOnly, 100), std::pair(QByteArray("old"), failed));
  // A cancelled choice writes nothing and says nothing.
  EXPECT_TRUE(exportTo(std::nullopt).second.isEmpty());
}

TEST_F(Results, NamesWithATabOrALineBreakKeepTheirRowAndFieldsInTheFile) {
  ASSERT_TRUE(doc_.OnNewDocument());
  const QString dir = TempDir();
  for (const char* name : {"tab\there.png", "new\r\nline.png"}) SavePng(ChartDrawing(), name, dir);
  ScriptedPrompts prompts;
  prompts.Answer(dir);
  doc_.OnOpenFolder();
  ASSERT_EQ(doc_.m_vecFileName.size(), 2u);
  CDlgResults dialog(&doc_);
  dialog.OnInitDialog();
  prompts.Answer(dir + QStringLiteral("/Results.txt"));
  dialog.OnExport();
  QFile file(dir + QStringLiteral("/Results.txt"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray table = ResultsFileBytes(
      "#\tFilename\tRatio (%)\tCS\r\n1\tnew  line.png\t0.00\tfalse\r\n2\ttab here.png\t0.00\tfalse\r\n\r\n", {});
  EXPECT_TRUE(file.readAll().startsWith(table));
  EXPECT_EQ(dialog.m_listResults->GetItemText(0, 1), QStringLiteral("new  line.png"));
}

}  // namespace
