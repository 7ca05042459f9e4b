#pragma once

#include <QObject>

#include <functional>
#include <optional>

// Which of the three lock keys are on.
struct LockKeys {
  bool caps = false;
  bool num = false;
  bool scroll = false;

  friend bool operator==(const LockKeys&, const LockKeys&) = default;
};

// The lock keys' state as the windowing system keeps it; nothing where it
// tells none (no X server, as with the offscreen platform).
std::optional<LockKeys> ReadLockKeys();

// Reads the lock keys again whenever a lock key goes down or up in the
// program or the program becomes active (a lock may have changed in another
// program meanwhile), and tells when they changed.
class LockKeysWatcher : public QObject {
  Q_OBJECT

 public:
  explicit LockKeysWatcher(QObject* parent = nullptr);
  ~LockKeysWatcher() override;

  // What reads the state; tests put their own in its place.
  std::function<std::optional<LockKeys>()> read = ReadLockKeys;

  // Reads the state and tells when it differs from the last one told.
  void Update();

 signals:
  void Changed(const LockKeys& keys);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  LockKeys last_;
};
