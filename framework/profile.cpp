#include "framework/profile.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <functional>

namespace {

std::unique_ptr<Profile>& InstanceSlot() {
  static std::unique_ptr<Profile> instance;
  return instance;
}

QString Key(const QString& section, const QString& entry) { return section + QLatin1Char('/') + entry; }

// Settings kept in a file, opened by `open`, unless what lies at the file's
// name or at the lock beside it would make the program wait for ever.
// Reading a FIFO waits for a writer, and a device may never end: anything
// but a file or a folder under the file's name is not read. Every write
// first takes the lock, a file of its own: a FIFO, a folder or a link to
// nothing there is never released. In either case the settings live in
// memory only, in a place that can be neither read nor made, starting from
// what could be read; the program then keeps the session's changes.
std::unique_ptr<QSettings> SafeSettings(const QString& file, const std::function<std::unique_ptr<QSettings>()>& open) {
  const QFileInfo info(file);
  const QFileInfo lock(file + QStringLiteral(".lock"));
  const bool readable = !info.exists() || info.isFile() || info.isDir();
  const bool lockable = lock.isFile() || !(lock.exists() || lock.isSymLink());
  if (readable && lockable) return open();
  auto kept = std::make_unique<QSettings>(QStringLiteral("/dev/null/settings"), QSettings::IniFormat);
  if (readable) {
    const std::unique_ptr<QSettings> stored = open();
    for (const QString& key : stored->allKeys()) kept->setValue(key, stored->value(key));
  }
  return kept;
}

// The user's settings where the system keeps them. On Windows and macOS
// that is the registry or the system's preferences, which nothing can block.
// Elsewhere it is the one file in the user's configuration folder, opened
// by its name: the file checked is the file read, and no other settings
// file (a FIFO, say) is looked at on the way.
std::unique_ptr<QSettings> UserSettings() {
  const QString organization = QStringLiteral("Kestrune");
  const QString application = QStringLiteral("Varenko");
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, organization, application);
#else
  const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
                       organization + QLatin1Char('/') + application + QStringLiteral(".conf");
  return SafeSettings(file, [&] { return std::make_unique<QSettings>(file, QSettings::IniFormat); });
#endif
}

}  // namespace

Profile::Profile() : settings_(UserSettings()) {}

Profile::Profile(const QString& iniFile)
    : settings_(SafeSettings(iniFile, [&] { return std::make_unique<QSettings>(iniFile, QSettings::IniFormat); })) {}

Profile::~Profile() = default;

QString Profile::GetProfileString(const QString& section, const QString& entry, const QString& defaultValue) const {
  const QVariant value = settings_->value(Key(section, entry));
  if (!value.isValid()) return defaultValue;
  return SettingText(value);
}

int Profile::GetProfileInt(const QString& section, const QString& entry, int defaultValue) const {
  const QVariant value = settings_->value(Key(section, entry));
  if (!value.isValid()) return defaultValue;
  bool ok = false;
  const int number = value.toInt(&ok);
  return ok ? number : defaultValue;
}

bool Profile::WriteProfileString(const QString& section, const QString& entry, const QString& value) {
  settings_->setValue(Key(section, entry), value);
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

bool Profile::WriteProfileInt(const QString& section, const QString& entry, int value) {
  settings_->setValue(Key(section, entry), value);
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

int Profile::GetInt(const QString& entry, int defaultValue) const {
  return GetProfileInt(QString::fromLatin1(kWorkspaceSection), entry, defaultValue);
}

bool Profile::WriteInt(const QString& entry, int value) {
  return WriteProfileInt(QString::fromLatin1(kWorkspaceSection), entry, value);
}

QString SettingText(const QVariant& value) {
  if (value.userType() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(','));
  return value.toString();
}

Profile& Profile::Instance() {
  auto& instance = InstanceSlot();
  if (!instance) instance = std::make_unique<Profile>();
  return *instance;
}

void Profile::SetInstance(std::unique_ptr<Profile> profile) { InstanceSlot() = std::move(profile); }
