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
#include <QMimeData>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

namespace {

// The sample folder through the menu command. While the run works, another
// program drops a file on the window and a timer asks for a file to be
// opened; both reach the program between drawings and are refused.
TEST(FolderEndToEnd, NothingOpensWhileARunWorks) {
  Profile::Instance().Settings().clear();
  CVarenkoApp app;
  ASSERT_TRUE(app.InitInstance());
  CMainFrame& frame = *app.MainFrame();
  const CVarenkoDoc& doc = *app.Document();
  const QString other = SourcePath(QStringLiteral("samples/colours.png"));
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
  prompts.Answer(SourcePath(QStringLiteral("samples")));
  frame.Actions().UpdateAll();
  QAction* openFolder = frame.Actions().Action(res::ID_FILE_OPEN_FOLDER);
  ASSERT_TRUE(openFolder->isEnabled());
  openFolder->trigger();
  meddler.stop();
  EXPECT_GT(tries, 0);
  EXPECT_TRUE(refused);
  EXPECT_TRUE(prompts.Messages().isEmpty());

  // Every drawing of the chart's size, with the count the samples list.
  std::map<QString, int> listed;
  for (const SampleCount& sample : SampleCounts()) {
    if (sample.width == 3508 && sample.height == 2480) listed[sample.file] = static_cast<int>(sample.selected);
  }
  ASSERT_EQ(doc.m_vecFileName.size(), listed.size());
  ASSERT_EQ(doc.m_vecSelectedPixels.size(), listed.size());
  EXPECT_EQ(doc.m_vecProcessed.size(), listed.size());
  for (size_t i = 0; i < doc.m_vecFileName.size(); ++i) {
    EXPECT_EQ(doc.m_vecSelectedPixels[i], listed[doc.m_vecFileName[i]]) << doc.m_vecFileName[i].toStdString();
  }
  // The file that could not be opened stays out of the recent files.
  EXPECT_TRUE(app.GetRecentFileList()->Files().isEmpty());

  // The probe command opens in folder view and shows the frequency map.
  frame.Actions().UpdateAll();
  QAction* probe = frame.Actions().Action(res::ID_ENABLE_PROBE);
  EXPECT_TRUE(probe->isEnabled());
  EXPECT_FALSE(probe->isChecked());
  probe->trigger();
  EXPECT_GT(doc.m_nMaxFrequency, 1);
  EXPECT_EQ(app.View()->InfoLines(1).value(0),
            QStringLiteral("Maximum Frequency: %1/%2").arg(doc.m_nMaxFrequency).arg(doc.m_vecOriginal.size()));
  app.ExitInstance();
}

}  // namespace
