#include "framework/waitcursor.h"

#include <QCursor>
#include <QGuiApplication>

WaitCursor::WaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

WaitCursor::~WaitCursor() { Restore(); }

void WaitCursor::Restore() {
  if (!active_) return;
  active_ = false;
  QGuiApplication::restoreOverrideCursor();
}

bool WaitCursor::IsShowing() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}
