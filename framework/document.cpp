#include "framework/document.h"

#include "framework/prompts.h"

#include <QFile>
#include <QFileInfo>

bool Document::OnNewDocument() {
  m_strPathName.clear();
  return true;
}

bool Document::OnOpenDocument(const QString& path) {
  QFile file(path);
  if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
    const QString reason = QFileInfo(path).isDir() ? QStringLiteral("It is a folder.") : file.errorString();
    Prompts::Current().MessageBox(QStringLiteral("Cannot open %1.\n%2").arg(path, reason), MessageIcon::Error);
    return false;
  }
  return true;
}
