#include "framework/document.h"

#include "framework/files.h"
#include "framework/prompts.h"

bool Document::OnNewDocument() {
  m_strPathName.clear();
  return true;
}

bool Document::OnOpenDocument(const QString& path) {
  QString reason;
  if (!CanOpenForReading(path, &reason)) {
    Prompts::Current().MessageBox(QStringLiteral("Cannot open %1.\n%2").arg(path, reason), MessageIcon::Error);
    return false;
  }
  return true;
}
