#pragma once

#include <QString>
#include <QVariant>

#include <memory>

class QSettings;

// The per-user settings of the program, kept under organisation "Kestrune"
// and application "Varenko" (the registry on Windows, an INI file elsewhere).
// Values live in named sections; the "Workspace" section holds the window
// and look state. Every write reaches the store at once.
class Profile {
 public:
  // The user's own settings.
  Profile();
  // Settings kept in one INI file, for tests and tools.
  explicit Profile(const QString& iniFile);
  ~Profile();
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  QString GetProfileString(const QString& section, const QString& entry, const QString& defaultValue = QString()) const;
  // A missing entry, or one that holds no integer, gives the default.
  int GetProfileInt(const QString& section, const QString& entry, int defaultValue) const;
  bool WriteProfileString(const QString& section, const QString& entry, const QString& value);
  bool WriteProfileInt(const QString& section, const QString& entry, int value);

  // Entries of the "Workspace" section.
  int GetInt(const QString& entry, int defaultValue) const;
  bool WriteInt(const QString& entry, int value);

  // The whole store, for state that Qt saves itself (bar layout, file lists).
  QSettings& Settings() const { return *settings_; }

  // The profile the program uses; made on first use.
  static Profile& Instance();
  // Replaces the program's profile (tests point it at a temporary file).
  static void SetInstance(std::unique_ptr<Profile> profile);

 private:
  std::unique_ptr<QSettings> settings_;
};

inline constexpr const char* kWorkspaceSection = "Workspace";

// The text of a stored value. A settings file edited by hand may hold an
// unquoted comma, as in "16,5": the INI reader splits such a text into a
// list, which is put back together here instead of reading as an empty text.
QString SettingText(const QVariant& value);
