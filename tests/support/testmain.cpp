#include "framework/files.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // Headless unless the caller asked for a display platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings, the desktop and runtime files go to a private home folder that
  // lives as long as this process, never to the user's own. Static, so that
  // a child process that ends with exit() removes it too.
  static QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
  qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
  QStandardPaths::setTestModeEnabled(true);
  // Writes past a file-size limit fail, as in the program.
  LetWritesPastTheSizeLimitFail();

  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Kestrune"));
  QApplication::setApplicationName(QStringLiteral("Varenko"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
