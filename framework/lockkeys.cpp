#include "framework/lockkeys.h"

#include <QCoreApplication>
#include <QEvent>

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
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ApplicationActivate) Update();
  return QObject::eventFilter(watched, event);
}
