#include "framework/files.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

QByteArray LocalPath(const QString& path) { return QFile::encodeName(path); }

bool WriteWholeFile(const QString& path, const QByteArray& bytes) {
  // A read-only file is made writable for the time of the writing, as the
  // replacement needs it; it gets its permissions back if the writing
  // fails.
  const QFileInfo existing(path);
  const QFileDevice::Permissions permissions = existing.permissions();
  const bool unlock = existing.isFile() && !existing.isWritable();
  if (unlock && !QFile::setPermissions(path, permissions | QFileDevice::WriteOwner | QFileDevice::WriteUser)) {
    return false;
  }
  // Unbuffered, so that a write the disk cannot take whole shows in its
  // count: a buffered save file reports a short final write as success.
  // Whatever is not committed is thrown away with the temporary file.
  QSaveFile file(path);
  const bool written =
      file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size() && file.commit();
  if (!written && unlock) QFile::setPermissions(path, permissions);
  return written;
}

#ifdef Q_OS_UNIX

namespace {

// Opens without waiting for a FIFO's writer; -1 on failure, errno set.
int OpenWithoutBlocking(const QByteArray& localPath) {
  int fd = -1;
  do {
    fd = ::open(localPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool IsRegular(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

bool EndsWithIgnoringCase(const char* name, const QByteArray& suffix) {
  const size_t length = std::strlen(name);
  const auto n = static_cast<size_t>(suffix.size());
  if (length < n) return false;
  return ::strncasecmp(name + length - n, suffix.constData(), n) == 0;
}

}  // namespace

std::unique_ptr<QFile> OpenRegularFile(const QByteArray& localPath) {
  const int fd = OpenWithoutBlocking(localPath);
  if (fd < 0) return nullptr;
  if (!IsRegular(fd)) {
    ::close(fd);
    return nullptr;
  }
  // Reads of a regular file never wait anyway; the flag goes so that the
  // descriptor behaves as any other.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  auto file = std::make_unique<QFile>();
  if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return nullptr;
  }
  return file;
}

bool CanOpenForReading(const QString& path, QString* reason) {
  const int fd = OpenWithoutBlocking(LocalPath(path));
  if (fd < 0) {
    if (reason != nullptr) *reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  struct stat info {};
  const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  ::close(fd);
  if (folder && reason != nullptr) *reason = QStringLiteral("It is a folder.");
  return !folder;
}

std::vector<FolderFile> ListFolderFiles(const QString& folder, const QString& suffix) {
  std::vector<FolderFile> files;
  QByteArray base = LocalPath(folder);
  if (!base.endsWith('/')) base += '/';
  const QByteArray ending = suffix.toUtf8();
  DIR* dir = ::opendir(base.constData());
  if (dir == nullptr) return files;
  while (const dirent* entry = ::readdir(dir)) {
    if (!EndsWithIgnoringCase(entry->d_name, ending)) continue;
    // stat follows links: a link to a regular file counts, a broken link or
    // a loop of links does not.
    const QByteArray name(entry->d_name);
    struct stat info {};
    if (::stat((base + name).constData(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    files.push_back(FolderFile{QFile::decodeName(name), name});
  }
  ::closedir(dir);
  return files;
}

#else

std::unique_ptr<QFile> OpenRegularFile(const QByteArray& localPath) {
  const QString path = QFile::decodeName(localPath);
  if (!QFileInfo(path).isFile()) return nullptr;
  auto file = std::make_unique<QFile>(path);
  if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return nullptr;
  return file;
}

bool CanOpenForReading(const QString& path, QString* reason) {
  if (QFileInfo(path).isDir()) {
    if (reason != nullptr) *reason = QStringLiteral("It is a folder.");
    return false;
  }
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) return true;
  if (reason != nullptr) *reason = file.errorString();
  return false;
}

std::vector<FolderFile> ListFolderFiles(const QString& folder, const QString& suffix) {
  std::vector<FolderFile> files;
  const QDir dir(folder);
  for (const QString& name : dir.entryList({QStringLiteral("*") + suffix}, QDir::Files | QDir::Hidden)) {
    files.push_back(FolderFile{name, QFile::encodeName(name)});
  }
  return files;
}

#endif
