#include "framework/lockkeys.h"

#include <QCoreApplication>
#include <QKeyEvent>

LockKeysWatcher::LockKeysWatcher(QObject* parent) : QObject(parent) {
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

LockKeysWatcher::~LockKeysWatcher() = default;

void LockKeysWatcher::Update() {
  const LockKeys keys = read ? read().value_or(LockKeys{}) : LockKeys{};
  if (keys == last_) return;
  last_ = keys;
  emit Changed(keys);
}

bool LockKeysWatcher::eventFilter(QObject* watched, QEvent* event) {
  // A key event passes the filter once for its window and again for every
  // widget on its way: the window's is enough, and only a lock key can
  // change a lock.
  const QEvent::Type type = event->type();
  if (type == QEvent::ApplicationActivate) {
    Update();
  } else if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWindowType()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock) Update();
  }
  return QObject::eventFilter(watched, event);
}
