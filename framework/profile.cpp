#include "framework/profile.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

std::unique_ptr<Profile>& InstanceSlot() {
  static std::unique_ptr<Profile> instance;
  return instance;
}

QString Key(const QString& section, const QString& entry) { return section + QLatin1Char('/') + entry; }

// The file to keep settings in for a path. Something that is neither a file
// nor a folder under that name (a FIFO, a socket, a device) is not opened:
// reading a FIFO waits for a writer for ever, and a device may never end.
// The settings then go to a place under it that can be neither read nor
// written, so the program starts on its defaults and keeps the session's
// changes in memory.
QString UsableFile(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || info.isFile() || info.isDir()) return path;
  return path + QStringLiteral("/settings");
}

// The user's settings where the system keeps them: a file in the user's
// configuration folder (on Windows the registry, where no FIFO can be).
std::unique_ptr<QSettings> UserSettings() {
  const QString organization = QStringLiteral("Kestrune");
  const QString application = QStringLiteral("Varenko");
  const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
                       organization + QLatin1Char('/') + application + QStringLiteral(".conf");
  if (UsableFile(file) != file) return std::make_unique<QSettings>(UsableFile(file), QSettings::IniFormat);
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, organization, application);
}

}  // namespace

Profile::Profile() : settings_(UserSettings()) {}

Profile::Profile(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(UsableFile(iniFile), QSettings::IniFormat)) {}

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
