#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>
#include <vector>

// Reading files safely: only regular files (and links to them) are read, and
// nothing blocks. A FIFO, a socket, a device or a folder that carries a
// drawing's name is refused instead of read; opening a FIFO for reading would
// wait for a writer for ever, and a device such as /dev/zero never ends.

// The bytes the file system knows a path by.
QByteArray LocalPath(const QString& path);

// Opens a regular file (or a link to one) for unbuffered reading; null for
// anything else, or when it cannot be opened. The check is made on the file
// that was opened, so a name swapped for a FIFO meanwhile is refused too.
std::unique_ptr<QFile> OpenRegularFile(const QByteArray& localPath);

// Whether the path names something that can be opened for reading, found
// without blocking; otherwise a short reason for the user.
bool CanOpenForReading(const QString& path, QString* reason);

// A file of a folder: the name to show, and the bytes to open it by. A name
// that is not valid in the system's encoding shows with replacement
// characters and is still opened by the bytes it has.
struct FolderFile {
  QString name;
  QByteArray localName;
};

// The regular files of a folder (and links to them) whose names end with
// the suffix, letters compared without regard to case, in no particular
// order. Subfolders are not entered.
std::vector<FolderFile> ListFolderFiles(const QString& folder, const QString& suffix);

// Writes the bytes to the path whole or not at all: they go to a temporary
// file beside it, which replaces the old file only once everything has been
// written and flushed. A link is followed, and the file it leads to written.
// An existing read-only file is replaced too. Where the folder allows no
// new file, or no replacement, an existing file is written in place, and
// what it held is put back if the writing fails. Only a regular file is
// ever replaced or written: a device, FIFO, socket or folder of the name,
// directly or through links, is left as it is. False when anything failed;
// the old file then stays as it was.
bool WriteWholeFile(const QString& path, const QByteArray& bytes);

// Makes a write past the file-size limit (a quota, `ulimit -f`) fail as a
// write does on a full disk, instead of ending the process by the signal
// the system sends then. Called once when the program starts.
void LetWritesPastTheSizeLimitFail();
