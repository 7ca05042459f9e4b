#include "framework/prompts.h"
#include "framework/systemopen.h"
#include "resources/resource.h"
#include "shell/aboutdialog.h"
#include "shell/application.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
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
    QString answer;     // empty: the user cancels
    QByteArray before;  // the file there before, if any
    bool readOnly;
    long long limit;  // a file-size limit standing in for a full disk; 0: none
    const char* message;
  };
  const Case cases[] = {
      {onDesktop, {}, false, 0, kDone},  // the offered name
      {onDesktop, chart.left(100), false, 0, kDone},
      {dir + QStringLiteral("/locked.png"), "old", true, 0, kDone},
      {dir + QStringLiteral("/Reference"), {}, false, 0, kDone},  // no extension is added
      {dir + QStringLiteral("/full.png"), "old", false, 1000, kFailed},
      {QStringLiteral("/proc/x.png"), {}, false, 0, kFailed},
      {dir + QStringLiteral("/none/x.png"), {}, false, 0, kFailed},
      {dir, {}, false, 0, kFailed},  // a folder of that name
      {QString(), {}, false, 0, nullptr},
  };
  CVarenkoApp app;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer.toStdString());
    if (!c.before.isEmpty()) {
      ASSERT_EQ(SaveText(QFileInfo(c.answer).fileName(), QFileInfo(c.answer).path(), c.before), c.answer);
    }
    if (c.readOnly) {
      ASSERT_TRUE(QFile::setPermissions(c.answer, QFileDevice::ReadOwner));
    }
    ScriptedPrompts prompts;
    prompts.Answer(c.answer.isEmpty() ? std::nullopt : std::optional<QString>(c.answer));
    {
      std::unique_ptr<FileSizeLimit> full(c.limit > 0 ? new FileSizeLimit(c.limit) : nullptr);
      ASSERT_TRUE(app.OnCommand(res::ID_EXPORT_REFERENCE));
    }
    ASSERT_FALSE(prompts.records().empty());
    const FileDialogOptions& asked = prompts.records()[0].options;
    EXPECT_EQ(prompts.records()[0].kind, ScriptedPrompts::Kind::SaveFile);
    EXPECT_EQ(QStringList({asked.initialDir, asked.fileName, asked.filter}),
              QStringList({desktop, QStringLiteral("Reference.png"), QStringLiteral("PNG Files (*.png)")}));
    if (c.message == nullptr) {
      EXPECT_EQ(prompts.records().size(), 1u);
      continue;
    }
    EXPECT_EQ(prompts.Messages(), QStringList{QString::fromLatin1(c.message)});
    EXPECT_EQ(prompts.records().back().icon, c.message == kDone ? MessageIcon::Information : MessageIcon::Error);
    if (c.message == kDone) {
      EXPECT_EQ(Contents(c.answer), chart);
    } else if (!c.before.isEmpty()) {
      EXPECT_EQ(Contents(c.answer), c.before);
    } else {
      EXPECT_FALSE(QFileInfo(c.answer).isFile());
    }
  }
  EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name), (QStringList{"Reference", "full.png", "locked.png"}));
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

TEST(AboutBox, TheLinkMailsTheMakerAndOkEscOrTheCloseBoxClose) {
  CAboutDlg dialog;
  {
    OpenedUrls opened;
    const QRegularExpressionMatch link =
        QRegularExpression(QStringLiteral("href=\"([^\"]*)\"")).match(dialog.Link()->text());
    ASSERT_TRUE(link.hasMatch());
    emit dialog.Link()->linkActivated(link.captured(1));
    EXPECT_EQ(opened.urls, std::vector<QUrl>{QUrl(QStringLiteral("mailto:support@kestrune.example"))});
  }
  const std::function<void()> endings[] = {
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
