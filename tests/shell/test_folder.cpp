#include "analysis/document.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/recentfiles.h"
#include "resources/resource.h"
#include "shell/application.h"
#include "shell/mainframe.h"
#include "shell/view.h"
#include "tests/support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QFile>
#include <QMimeData>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

namespace {

// The selected-pixel counts that samples/counts.tsv lists for the drawings
// of the chart's size.
std::map<QString, int> ListedCounts() {
  std::map<QString, int> counts;
  for (const SampleCount& sample : SampleCounts()) {
    if (sample.width == 3508 && sample.height == 2480) counts[sample.file] = static_cast<int>(sample.selected);
  }
  return counts;
}

TEST(FolderEndToEnd, TheSampleFolderThroughTheMenuCommand) {
  Profile::Instance().Settings().clear();
  CVarenkoApp app;
  ASSERT_TRUE(app.InitInstance());
  ScriptedPrompts prompts;
  prompts.Answer(SourcePath(QStringLiteral("samples")));
  CMainFrame& frame = *app.MainFrame();
  QAction* openFolder = frame.Actions().Action(res::ID_FILE_OPEN_FOLDER);
  frame.Actions().UpdateAll();
  ASSERT_TRUE(openFolder->isEnabled());
  openFolder->trigger();

  const CVarenkoDoc& doc = *app.Document();
  const std::map<QString, int> listed = ListedCounts();
  ASSERT_EQ(doc.m_vecFileName.size(), listed.size());
  ASSERT_EQ(doc.m_vecSelectedPixels.size(), listed.size());
  for (size_t i = 0; i < doc.m_vecFileName.size(); ++i) {
    SCOPED_TRACE(doc.m_vecFileName[i].toStdString());
    ASSERT_EQ(listed.count(doc.m_vecFileName[i]), 1u);
    EXPECT_EQ(doc.m_vecSelectedPixels[i], listed.at(doc.m_vecFileName[i]));
  }
  EXPECT_TRUE(prompts.Messages().isEmpty());
  EXPECT_TRUE(doc.IsFolderView());
  EXPECT_GT(doc.m_nMaxFrequency, 1);
  // The probe command is open in folder view; the frequency map shows with
  // it on.
  frame.Actions().UpdateAll();
  QAction* probe = frame.Actions().Action(res::ID_ENABLE_PROBE);
  EXPECT_TRUE(probe->isEnabled());
  EXPECT_FALSE(probe->isChecked());
  probe->trigger();
  EXPECT_TRUE(app.View()->m_bProbe);
  EXPECT_EQ(app.View()->InfoLines(1).value(0),
            QStringLiteral("Maximum Frequency: %1/%2").arg(doc.m_nMaxFrequency).arg(doc.m_vecOriginal.size()));
  app.ExitInstance();
}

TEST(FolderEndToEnd, NothingOpensWhileARunWorks) {
  Profile::Instance().Settings().clear();
  CVarenkoApp app;
  ASSERT_TRUE(app.InitInstance());
  CMainFrame& frame = *app.MainFrame();
  const CVarenkoDoc& doc = *app.Document();
  const QString folder = TempDir();
  for (const QString& name : {QStringLiteral("neck_shoulder.png"), QStringLiteral("widespread.png"),
                              QStringLiteral("outlined.png"), QStringLiteral("low_back_leg.png")}) {
    ASSERT_TRUE(QFile::copy(SourcePath(QStringLiteral("samples/") + name), folder + QLatin1Char('/') + name));
  }
  const QString other = SourcePath(QStringLiteral("samples/colours.png"));

  // While the run works, another program drops a file on the window and a
  // timer asks for a file to be opened; both reach the program between
  // drawings.
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(other)});
  int tries = 0;
  bool refused = true;
  QTimer meddler;
  QObject::connect(&meddler, &QTimer::timeout, [&] {
    if (!doc.IsRunning()) return;
    ++tries;
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    refused = refused && !enter.isAccepted() && app.OpenDocumentFile(other) == nullptr;
  });
  meddler.start(0);
  ScriptedPrompts prompts;
  prompts.Answer(folder);
  frame.SendCommand(res::ID_FILE_OPEN_FOLDER);
  meddler.stop();

  EXPECT_GT(tries, 0);
  EXPECT_TRUE(refused);
  ASSERT_EQ(doc.m_vecFileName.size(), 4u);
  EXPECT_EQ(doc.m_vecOriginal.size(), 4u);
  EXPECT_EQ(doc.m_vecProcessed.size(), 4u);
  EXPECT_EQ(doc.m_vecSelectedPixels.size(), 4u);
  const std::map<QString, int> listed = ListedCounts();
  for (size_t i = 0; i < doc.m_vecFileName.size(); ++i) {
    EXPECT_EQ(doc.m_vecSelectedPixels[i], listed.at(doc.m_vecFileName[i])) << doc.m_vecFileName[i].toStdString();
  }
  // The file that could not be opened stays out of the recent files.
  EXPECT_TRUE(app.GetRecentFileList()->Files().isEmpty());
  app.ExitInstance();
}

}  // namespace
