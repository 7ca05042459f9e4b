#include "tests/support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUuid>

#include <memory>

QString SourcePath(const QString& relative) { return QDir(QStringLiteral(VARENKO_SOURCE_DIR)).filePath(relative); }

QString TempDir() {
  static std::unique_ptr<QTemporaryDir> root = std::make_unique<QTemporaryDir>();
  const QString path = root->filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
  QDir().mkpath(path);
  return path;
}
