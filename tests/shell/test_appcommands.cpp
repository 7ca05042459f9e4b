#include "analysis/document.h"
#include "analysis/resultsdialog.h"
#include "analysis/threshold.h"
#include "analysis/waitdialog.h"
#include "compare/comparedialog.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/systemopen.h"
#include "resources/resource.h"
#include "shell/aboutdialog.h"
#include "shell/application.h"
#include "shell/thresholddialog.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <tuple>
#include <vector>

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Records what the program asks the system to open, and opens nothing.
struct OpenedUrls {
  OpenedUrls() {
    SetSystemOpener([this](const QUrl& url) {
      urls.push_back(url);
      return true;
    });
  }
  ~OpenedUrls() { SetSystemOpener({}); }
  std::vector<QUrl> urls;
};

TEST(ExportReference, WritesTheChartByteForByteOrKeepsWhatWasThere) {
  const QByteArray chart = Contents(SourcePath("resources/reference_chart.png"));
  ASSERT_FALSE(chart.isEmpty());
  // Without a desktop folder the path stays as it was, and the save dialog
  // opens where the system chooses rather than in a folder that is not there.
  const QString location = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  ASSERT_TRUE(QDir(location).removeRecursively());
  QString desktop = "unchanged";
  CVarenkoApp::GetDesktopPath(desktop);
  EXPECT_EQ(desktop, "unchanged");
  ASSERT_TRUE(QDir().mkpath(location));
  CVarenkoApp::GetDesktopPath(desktop);
  EXPECT_EQ(desktop, QDir::cleanPath(location) + "/");
  QFile::remove(desktop + "Reference.png");
  const QString dir = TempDir();
  const std::tuple<QString, QByteArray, bool, long long, bool> cases[] = {
      // name chosen (none: cancel), file before, read-only, size limit (a full disk), written
      {desktop + "Reference.png", {}, false, 0, true},  // the offered name
      {desktop + "Reference.png", chart.left(100), false, 0, true},
      {dir + "/locked.png", "old", true, 0, true},
      {dir + "/Reference", {}, false, 0, true},  // no extension is added
      {dir + "/full.png", "old", false, 1000, false},
      {"/proc/x.png", {}, false, 0, false},
      {dir + "/none/x.png", {}, false, 0, false},
      {dir, {}, false, 0, false},  // a folder of that name
      {QString(), {}, false, 0, false},
  };
  CVarenkoApp app;
  for (const auto& [answer, before, readOnly, limit, written] : cases) {
    SCOPED_TRACE(answer.toStdString());
    ASSERT_TRUE(before.isEmpty() || SaveText(QFileInfo(answer).fileName(), QFileInfo(answer).path(), before) == answer);
    ASSERT_TRUE(!readOnly || QFile::setPermissions(answer, QFileDevice::ReadOwner));
    ScriptedPrompts prompts;
    prompts.Answer(answer.isEmpty() ? std::nullopt : std::optional<QString>(answer));
    {
      std::unique_ptr<FileSizeLimit> full(limit > 0 ? new FileSizeLimit(limit) : nullptr);
      ASSERT_TRUE(app.OnCommand(res::ID_EXPORT_REFERENCE));
    }
    const FileDialogOptions& asked = prompts.records().at(0).options;
    EXPECT_EQ(QStringList({asked.initialDir, asked.fileName, asked.filter}),
              QStringList({desktop, "Reference.png", "PNG Files (*.png)"}));
    if (answer.isEmpty()) {
      EXPECT_EQ(prompts.records().size(), 1u);
      continue;
    }
    EXPECT_EQ(prompts.Messages(),
              QStringList{written ? "The file was exported successfully" : "The file could not be exported"});
    EXPECT_EQ(prompts.records().back().icon, written ? MessageIcon::Information : MessageIcon::Error);
    EXPECT_EQ(Contents(answer), written ? chart : before);
  }
  EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name), (QStringList{"Reference", "full.png", "locked.png"}));
}

// Both exports under a file-size limit (a quota, `ulimit -f`) smaller than
// the file, in a child process whose start-up is the program's: the write
// fails with the export's message, the old file stays, nothing is left
// beside it, and the process lives on.
TEST(Exports, PastTheFileSizeLimitFailAndKeepTheOldFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto child = [] {
    // As in a process just started, a write past the limit would end it.
    std::signal(SIGXFSZ, SIG_DFL);
    CVarenkoApp app;
    CVarenkoDoc doc;
    CDlgResults results(&doc);
    results.OnInitDialog();
    const std::tuple<QString, std::function<void()>, QString> exports[] = {
        {"Results.txt", [&] { results.OnExport(); }, "The file could not be saved"},
        {"Reference.png", [&] { app.OnCommand(res::ID_EXPORT_REFERENCE); }, "The file could not be exported"},
    };
    const QString dir = TempDir();
    bool ok = true;
    for (const auto& [name, run, message] : exports) {
      const QString path = SaveText(name, dir, "old");
      ScriptedPrompts prompts;
      prompts.Answer(path);
      {
        const FileSizeLimit quota(16);
        run();
      }
      std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(prompts.Messages().join("; ")));
      ok = ok && prompts.Messages() == QStringList{message} && Contents(path) == "old";
    }
    const QStringList left = QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    std::fprintf(stderr, "in the folder: %s\n", qPrintable(left.join(", ")));
    std::exit(ok && left == QStringList({"Reference.png", "Results.txt"}) ? 0 : 1);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST(ProgramGuide, OpensTheGuideBesideTheProgramWhateverTheWorkingFolder) {
  const QString guide = QDir(QCoreApplication::applicationDirPath()).filePath("Varenko_Application_Guide.pdf");
  QFile::remove(guide);
  // A guide in the working folder is not the program's.
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QFileInfo(SaveText("Varenko_Application_Guide.pdf")).path()));
  CVarenkoApp app;
  OpenedUrls opened;
  ScriptedPrompts prompts;
  ASSERT_TRUE(app.OnCommand(res::ID_PROGRAM_GUIDE));
  EXPECT_TRUE(opened.urls.empty());
  SaveText("Varenko_Application_Guide.pdf", QCoreApplication::applicationDirPath(), "%PDF-1.4");
  app.OnCommand(res::ID_PROGRAM_GUIDE);
  EXPECT_EQ(opened.urls, std::vector<QUrl>{QUrl::fromLocalFile(guide)});
  EXPECT_TRUE(prompts.records().empty());
  QFile::remove(guide);
  QDir::setCurrent(previous);
}

QString StoredThreshold() { return Profile::Instance().GetProfileString("Options", kThresholdEntry, "<none>"); }

TEST(ThresholdDialog, StoresNumbersFromZeroToHundredAndRefusesTheRest) {
  Profile::Instance().Settings().clear();
  ScriptedPrompts prompts;
  const char* const range = "Please select a value between 0 and 100";
  const char* const number = "Enter a number.";
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"0", "0.00", nullptr},        {"100", "100.00", nullptr}, {"16,5", "16.00", nullptr},
      {"12abc", "12.00", nullptr},   {"1e2", "100.00", nullptr}, {" 7.5", "7.50", nullptr},
      {"99.999", "100.00", nullptr}, {"0.004", "0.00", nullptr}, {"-0", "-0.00", nullptr},
      {"-0.01", "20", range},        {"100.01", "20", range},    {"inf", "20", range},
      {"-inf", "20", range},         {"nan", "20", range},       {"1e3", "20", range},
      {"abc", "20", number},         {"", "20", number},         {"  ", "20", number},
      {"%", "20", number},
  };
  for (const auto& [typed, stored, message] : cases) {
    Profile::Instance().WriteProfileString("Options", kThresholdEntry, "20");
    prompts.Clear();
    CDlgThreshold dialog;
    dialog.show();
    dialog.Edit()->setText(typed);
    dialog.OkButton()->click();
    EXPECT_EQ(StoredThreshold(), stored) << typed;
    EXPECT_EQ(prompts.Messages(), message ? QStringList{message} : QStringList()) << typed;
    // After a message the dialog stays open; Cancel keeps the stored value.
    EXPECT_EQ(dialog.isVisible(), message != nullptr) << typed;
    if (message == nullptr) continue;
    EXPECT_EQ(prompts.records().at(0).icon, message == range ? MessageIcon::Error : MessageIcon::Warning) << typed;
    if (message == number) {
      EXPECT_EQ(dialog.Edit()->selectedText(), dialog.Edit()->text()) << typed;
    }
    dialog.CancelButton()->click();
    EXPECT_EQ(StoredThreshold(), "20") << typed;
  }
}

TEST(ThresholdDialog, ShowsAndReadsAStoredTextAsItWasWrittenByHand) {
  // A settings file edited by hand: an unquoted comma must not turn the text
  // into something else.
  const QString ini = SaveText("hand.ini", QString(), "[Options]\nCS%20Threshold=16,5\n");
  Profile::SetInstance(std::make_unique<Profile>(ini));
  ScriptedPrompts prompts;
  CDlgThreshold dialog;
  dialog.show();
  EXPECT_EQ(dialog.Edit()->text(), "16,5");
  EXPECT_EQ(ReadThreshold(), 16.0);
  EXPECT_TRUE(prompts.records().empty());
  Profile::SetInstance(nullptr);
}

TEST(AboutBox, TabReachesTheAddressAndEnterOpensIt) {
  CAboutDlg about;
  about.show();
  QApplication::setActiveWindow(&about);
  OpenedUrls opened;
  // From OK one Tab lands on the address itself, shown as chosen; the next
  // goes back to OK; Shift+Tab reaches and leaves it the same way.
  about.OkButton()->setFocus();
  for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
    QTest::keyClick(QApplication::focusWidget(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    EXPECT_EQ(about.Link()->selectedText(), "support@kestrune.example") << key;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(about.isVisible()) << key;
    QTest::keyClick(QApplication::focusWidget(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    EXPECT_TRUE(about.OkButton()->hasFocus()) << key;
  }
  EXPECT_EQ(opened.urls, std::vector<QUrl>(2, QUrl(CAboutDlg::kContactUrl)));
}

TEST(FixedDialogs, CaptionsHoldTheTitleAndAtMostTheCloseButton) {
  // Every look but the classic one puts a style sheet on the application;
  // each control keeps its dialog's font under it, and texts fit their lines.
  qApp->setStyleSheet(QStringLiteral("QToolBar { border: none; }"));
  CDlgThreshold threshold;
  CDlgWait progress;
  CAboutDlg about;
  CVarenkoDoc doc;
  CDlgResults results(&doc);
  CDlgCompareFiles compare;
  for (QDialog* dialog : std::initializer_list<QDialog*>{&threshold, &progress, &about, &results, &compare}) {
    dialog->show();
    QApplication::processEvents();
    for (const QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      EXPECT_EQ(child->font().toString().toStdString(), dialog->font().toString().toStdString())
          << child->metaObject()->className();
    }
    dialog->hide();
  }
  EXPECT_LE(QFontMetrics(progress.m_staticText->font()).height(), progress.m_staticText->height());
  qApp->setStyleSheet(QString());
  const Qt::WindowFlags unwanted = Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                   Qt::WindowContextHelpButtonHint | Qt::WindowFullscreenButtonHint;
  for (const auto& [dialog, close] :
       {std::pair<QDialog*, bool>{&threshold, true}, {&progress, false}, {&about, true}}) {
    const Qt::WindowFlags flags = dialog->windowFlags();
    // Told explicitly, so that the platform adds no buttons of its own.
    EXPECT_TRUE((flags & Qt::CustomizeWindowHint) && (flags & Qt::WindowTitleHint) && !(flags & unwanted));
    EXPECT_EQ(bool(flags & Qt::WindowCloseButtonHint), close);
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
  }
}

}  // namespace
