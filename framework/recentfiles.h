#pragma once

#include <QString>
#include <QStringList>

class Profile;

// The most recently opened files, newest first, kept in the settings under
// "Recent File List" as "File1", "File2", ...
class RecentFileList {
 public:
  RecentFileList(Profile& profile, int maxEntries);

  int MaxEntries() const { return maxEntries_; }
  const QStringList& Files() const { return files_; }

  // Puts the path first; an entry for the same file moves up, and the
  // oldest falls off the end when the list is full.
  void Add(const QString& path);
  void Remove(int index);

  // The text of a menu entry: "&1 name" with the path shortened to fit.
  QString MenuText(int index) const;

 private:
  void Save() const;

  Profile& profile_;
  int maxEntries_;
  QStringList files_;
};

inline constexpr const char* kRecentFileSection = "Recent File List";
