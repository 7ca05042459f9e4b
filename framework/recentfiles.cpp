#include "framework/recentfiles.h"

#include "framework/profile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QString EntryName(int index) { return QStringLiteral("File%1").arg(index + 1); }

bool SameFile(const QString& a, const QString& b) {
  return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

}  // namespace

RecentFileList::RecentFileList(Profile& profile, int maxEntries) : profile_(profile), maxEntries_(maxEntries) {
  const QString section = QString::fromLatin1(kRecentFileSection);
  for (int i = 0; i < maxEntries_; ++i) {
    const QString path = profile_.GetProfileString(section, EntryName(i));
    // A list edited by hand may leave gaps or name a file twice: each file
    // is listed once.
    const bool listed = std::any_of(files_.begin(), files_.end(), [&](const QString& f) { return SameFile(f, path); });
    if (!path.isEmpty() && !listed) files_ << path;
  }
}

void RecentFileList::Add(const QString& path) {
  if (path.isEmpty() || maxEntries_ <= 0) return;
  const QString absolute = QFileInfo(path).absoluteFilePath();
  for (int i = files_.size() - 1; i >= 0; --i) {
    if (SameFile(files_[i], absolute)) files_.removeAt(i);
  }
  files_.prepend(absolute);
  while (files_.size() > maxEntries_) files_.removeLast();
  Save();
}

void RecentFileList::Remove(int index) {
  if (index < 0 || index >= files_.size()) return;
  files_.removeAt(index);
  Save();
}

QString RecentFileList::MenuText(int index) const {
  if (index < 0 || index >= files_.size()) return QString();
  QString shown = QDir::toNativeSeparators(files_[index]);
  // Long paths keep their start and the file name: "/home/…/drawing.png";
  // a name too long by itself keeps its start and its end.
  constexpr int kMaxShown = 50;
  if (shown.size() > kMaxShown) {
    QString name = QFileInfo(files_[index]).fileName();
    if (name.size() > kMaxShown - 4) {
      // Cuts never split a character made of two code units.
      int head = kMaxShown / 2 - 4;
      int tail = kMaxShown / 2 - 3;
      if (name.at(head - 1).isHighSurrogate()) --head;
      if (name.at(name.size() - tail).isLowSurrogate()) --tail;
      name = name.left(head) + QStringLiteral("...") + name.right(tail);
    }
    int keep = std::max(0, kMaxShown - static_cast<int>(name.size()) - 4);
    if (keep > 0 && shown.at(keep - 1).isHighSurrogate()) --keep;
    shown = shown.left(keep) + QStringLiteral("...") + QDir::separator() + name;
  }
  shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

void RecentFileList::Save() const {
  const QString section = QString::fromLatin1(kRecentFileSection);
  for (int i = 0; i < maxEntries_; ++i) {
    profile_.WriteProfileString(section, EntryName(i), i < files_.size() ? files_[i] : QString());
  }
}
