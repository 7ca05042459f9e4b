#include "framework/prompts.h"
#include "framework/systemopen.h"
#include "resources/resource.h"
#include "shell/aboutdialog.h"
#include "shell/application.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Records what the program asks the system to open, and opens nothing.
class OpenedUrls {
 public:
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
  const QByteArray chart = Contents(SourcePath(QStringLiteral("resources/reference_chart.png")));
  ASSERT_FALSE(chart.isEmpty());
  QString desktop;
  CVarenkoApp::GetDesktopPath(desktop);
  ASSERT_TRUE(QDir().mkpath(desktop));
  const QString dir = TempDir();
  const QString onDesktop = desktop + QStringLiteral("Reference.png");
  QFile::remove(onDesktop);

  const char* const kDone = "The file was exported successfully";
  const char* const kFailed = "The file could not be exported";
  struct Case {
    const char* what;
    QString answer;     // empty: the user cancels
    QByteArray before;  // the file there before, if any
    bool readOnly;
    const char* message;
  };
  const Case cases[] = {
      {"the offered name on the desktop", onDesktop, {}, false, kDone},
      {"the same name again", onDesktop, chart.left(100), false, kDone},
      {"a read-only file", dir + QStringLiteral("/locked.png"), "old", true, kDone},
      {"a name without extension", dir + QStringLiteral("/Reference"), {}, false, kDone},
      {"a place where no file can be made", QStringLiteral("/proc/x.png"), {}, false, kFailed},
      {"a folder that does not exist", dir + QStringLiteral("/none/x.png"), {}, false, kFailed},
      {"a folder of that name", dir, {}, false, kFailed},
      {"cancel", QString(), {}, false, nullptr},
  };
  CVarenkoApp app;
  for (const Case& c : cases) {
    if (!c.before.isEmpty()) {
      ASSERT_EQ(SaveText(QFileInfo(c.answer).fileName(), QFileInfo(c.answer).path(), c.before), c.answer) << c.what;
    }
    if (c.readOnly) {
      ASSERT_TRUE(QFile::setPermissions(c.answer, QFileDevice::ReadOwner)) << c.what;
    }
    ScriptedPrompts prompts;
    prompts.Answer(c.answer.isEmpty() ? std::nullopt : std::optional<QString>(c.answer));
    ASSERT_TRUE(app.OnCommand(res::ID_EXPORT_REFERENCE));

    ASSERT_FALSE(prompts.records().empty()) << c.what;
    const FileDialogOptions& asked = prompts.records()[0].options;
    EXPECT_EQ(prompts.records()[0].kind, ScriptedPrompts::Kind::SaveFile);
    EXPECT_EQ(asked.initialDir, desktop);
    EXPECT_EQ(asked.fileName, QStringLiteral("Reference.png"));
    EXPECT_EQ(asked.filter, QStringLiteral("PNG Files (*.png)"));
    if (c.message == nullptr) {
      EXPECT_EQ(prompts.records().size(), 1u) << c.what;
      continue;
    }
    EXPECT_EQ(prompts.Messages(), QStringList{QString::fromLatin1(c.message)}) << c.what;
    EXPECT_EQ(prompts.records().back().icon, c.message == kDone ? MessageIcon::Information : MessageIcon::Error);
    if (c.message == kDone) {
      EXPECT_EQ(Contents(c.answer), chart) << c.what;
    } else {
      EXPECT_FALSE(QFileInfo(c.answer).isFile()) << c.what;
    }
  }
  // Only the names asked for were written: nothing gained an extension.
  EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name), (QStringList{"Reference", "locked.png"}));
}

TEST(ProgramGuide, OpensTheGuideBesideTheProgramWhateverTheWorkingFolder) {
  const QString guide =
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Varenko_Application_Guide.pdf"));
  QFile::remove(guide);
  // A guide in the working folder is not the program's.
  const QString elsewhere = TempDir();
  SaveText(QStringLiteral("Varenko_Application_Guide.pdf"), elsewhere);
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(elsewhere));

  CVarenkoApp app;
  OpenedUrls opened;
  ScriptedPrompts prompts;
  ASSERT_TRUE(app.OnCommand(res::ID_PROGRAM_GUIDE));
  EXPECT_TRUE(opened.urls.empty());

  SaveText(QStringLiteral("Varenko_Application_Guide.pdf"), QCoreApplication::applicationDirPath(), "%PDF-1.4");
  app.OnCommand(res::ID_PROGRAM_GUIDE);
  EXPECT_EQ(opened.urls, std::vector<QUrl>{QUrl::fromLocalFile(guide)});
  EXPECT_TRUE(prompts.records().empty());

  QFile::remove(guide);
  QDir::setCurrent(previous);
}

TEST(AboutBox, ShowsTheProgramAndItsMakerAndClosesWithOkEscOrTheCloseBox) {
  CAboutDlg dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Varenko"));
  QStringList texts;
  for (const QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
  const QString all = texts.join(QLatin1Char('\n'));
  for (const char* shown : {"Varenko, Version 1.1.0", "Kestrune", "For license information please read the user guide",
                            "For more information contact:", "support@kestrune.example"}) {
    EXPECT_TRUE(all.contains(QString::fromUtf8(shown))) << shown;
  }
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

  {
    // The link opens its target through the system.
    OpenedUrls opened;
    const QRegularExpressionMatch link =
        QRegularExpression(QStringLiteral("href=\"([^\"]*)\"")).match(dialog.Link()->text());
    ASSERT_TRUE(link.hasMatch());
    emit dialog.Link()->linkActivated(link.captured(1));
    EXPECT_EQ(opened.urls, std::vector<QUrl>{QUrl(QStringLiteral("mailto:support@kestrune.example"))});
  }

  const std::vector<std::function<void()>> endings = {
      [&] { dialog.OkButton()->click(); },
      [&] { QTest::keyClick(&dialog, Qt::Key_Escape); },
      [&] { dialog.close(); },
  };
  for (const auto& end : endings) {
    dialog.show();
    ASSERT_TRUE(dialog.isVisible());
    end();
    EXPECT_FALSE(dialog.isVisible());
  }
}

}  // namespace
