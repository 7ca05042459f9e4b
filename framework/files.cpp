#include "framework/files.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <csignal>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#endif

QByteArray LocalPath(const QString& path) { return QFile::encodeName(path); }

void LetWritesPastTheSizeLimitFail() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

#ifdef Q_OS_UNIX

namespace {

// Opens without waiting for a FIFO's other end; -1 on failure, errno set.
// The mode is that of a file the opening makes.
int OpenWithoutBlocking(const QByteArray& localPath, int access = O_RDONLY, mode_t mode = 0) {
  int fd = -1;
  do {
    fd = ::open(localPath.constData(), access | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool IsRegular(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

QByteArray FolderOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return QByteArrayLiteral(".");
  return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Where a chain of links leads: the path itself when it is no link, or
// names nothing. Empty for a loop, or a chain longer than the system
// follows.
QByteArray FollowLinks(QByteArray path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(path.constData(), target.data(), target.size());
    if (length <= 0 || length >= target.size()) return {};
    target.truncate(length);
    path = target.startsWith('/') ? target : FolderOf(path) + '/' + target;
  }
  return {};
}

// Reads or writes the whole range, as the call does; false when the file
// takes or gives less.
template <typename Call, typename Data>
bool WholeRange(Call call, int fd, Data* data, qsizetype size, off_t offset) {
  while (size > 0) {
    ssize_t done = -1;
    do {
      done = call(fd, data, static_cast<size_t>(size), offset);
    } while (done < 0 && errno == EINTR);
    if (done <= 0) return false;
    data += done;
    size -= done;
    offset += done;
  }
  return true;
}

bool WriteAt(int fd, const char* data, qsizetype size, off_t offset) {
  return WholeRange(::pwrite, fd, data, size, offset);
}

// To the disk: a disk that is full, or gone, shows here at the latest. A
// file system that cannot sync is not a failure.
bool Sync(int fd) { return ::fsync(fd) == 0 || errno == EINVAL; }

// A new file in the folder, of a name no other file there has; -1 when
// none can be made there. The mode is the new file's, less the umask.
int MakeTemporaryFile(const QByteArray& folder, mode_t mode, QByteArray* name) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    QByteArray candidate = folder + "/.varenko-";
    for (int i = 0; i < 8; ++i) candidate += kLetters[QRandomGenerator::global()->bounded(62)];
    const int fd = OpenWithoutBlocking(candidate, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
    if (fd >= 0) {
      *name = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

enum class Replaced { Yes, No, NotHere };

// Writes the bytes to a new file beside the target, which then takes the
// target's place in one step: a failure leaves the old file as it was.
// NotHere where the folder allows no new file, or no replacement of the
// old one; nothing was changed then. The new file gets the permissions of
// the one it replaces, made writable for its owner.
Replaced ReplaceByRenaming(const QByteArray& target, const struct stat* old, const QByteArray& bytes) {
  QByteArray temporary;
  const int fd = MakeTemporaryFile(FolderOf(target), old != nullptr ? 0600 : 0666, &temporary);
  if (fd < 0) return Replaced::NotHere;
  if (old != nullptr) ::fchmod(fd, (old->st_mode & 0777) | S_IWUSR);
  bool written = WriteAt(fd, bytes.constData(), bytes.size(), 0) && Sync(fd);
  written = ::close(fd) == 0 && written;
  const auto discard = [&](Replaced outcome) {
    ::unlink(temporary.constData());
    return outcome;
  };
  if (!written) return discard(Replaced::No);
  // Looked at again just before the replacement, so that a node put in the
  // file's place meanwhile stays.
  struct stat now {};
  if (::lstat(target.constData(), &now) == 0 ? !S_ISREG(now.st_mode) : errno != ENOENT) return discard(Replaced::No);
  if (::rename(temporary.constData(), target.constData()) == 0) return Replaced::Yes;
  const int error = errno;
  return discard(error == EACCES || error == EPERM || error == EBUSY ? Replaced::NotHere : Replaced::No);
}

// Writes the bytes over an existing regular file, where its folder allows
// no new file or replacement. A file that is not writable is made writable
// first, as far as its owner allows. What the file held is put back when
// the writing fails: the part beyond its old end is written first, so that
// a full disk or a size limit changes nothing, and the part the new bytes
// cover is kept in memory until they are written.
bool WriteInPlace(const QByteArray& target, const struct stat& old, const QByteArray& bytes) {
  int fd = OpenWithoutBlocking(target, O_RDWR | O_NOFOLLOW);
  bool unlock = false;
  if (fd < 0 && errno == EACCES) {
    unlock = ::chmod(target.constData(), (old.st_mode & 07777) | S_IWUSR) == 0;
    fd = OpenWithoutBlocking(target, O_RDWR | O_NOFOLLOW);
    // A file that may be written but not read is written without a copy.
    if (fd < 0 && errno == EACCES) fd = OpenWithoutBlocking(target, O_WRONLY | O_NOFOLLOW);
  }
  struct stat now {};
  bool written = fd >= 0 && ::fstat(fd, &now) == 0 && S_ISREG(now.st_mode);
  if (written) {
    const off_t oldSize = now.st_size;
    const qsizetype covered = static_cast<qsizetype>(std::min<off_t>(oldSize, bytes.size()));
    QByteArray held(covered, Qt::Uninitialized);
    const bool kept = WholeRange(::pread, fd, held.data(), covered, 0);
    written = WriteAt(fd, bytes.constData() + covered, bytes.size() - covered, covered) &&
              WriteAt(fd, bytes.constData(), covered, 0) && Sync(fd);
    if (written) {
      written = ::ftruncate(fd, bytes.size()) == 0 && Sync(fd);
    } else {
      if (kept) WriteAt(fd, held.constData(), covered, 0);
      if (::ftruncate(fd, oldSize) == 0) Sync(fd);
    }
  }
  if (fd >= 0) ::close(fd);
  if (!written && unlock) ::chmod(target.constData(), old.st_mode & 07777);
  return written;
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

bool WriteWholeFile(const QString& path, const QByteArray& bytes) {
  // A link is followed to the file it leads to, which is written; the link
  // stays a link. Only a regular file is ever replaced: a device, FIFO,
  // socket or folder of the name stays as it is, and is never opened.
  const QByteArray target = FollowLinks(LocalPath(path));
  if (target.isEmpty()) return false;
  struct stat old {};
  const bool exists = ::lstat(target.constData(), &old) == 0;
  if (exists ? !S_ISREG(old.st_mode) : errno != ENOENT) return false;
  switch (ReplaceByRenaming(target, exists ? &old : nullptr, bytes)) {
    case Replaced::Yes:
      return true;
    case Replaced::No:
      return false;
    case Replaced::NotHere:
      break;
  }
  return exists && WriteInPlace(target, old, bytes);
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

bool WriteWholeFile(const QString& path, const QByteArray& bytes) {
  const QFileInfo existing(path);
  if (existing.exists() && !existing.isFile()) return false;
  // A read-only file is made writable, as far as that is allowed; the
  // writing decides. Where no temporary file can be made beside it, it is
  // written in place.
  const QFileDevice::Permissions permissions = existing.permissions();
  const bool unlock = existing.exists() && !existing.isWritable() &&
                      QFile::setPermissions(path, permissions | QFileDevice::WriteOwner | QFileDevice::WriteUser);
  QSaveFile file(path);
  file.setDirectWriteFallback(true);
  const bool written =
      file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size() && file.commit();
  if (!written && unlock) QFile::setPermissions(path, permissions);
  return written;
}

#endif
