#include "framework/clipboard.h"
#include "framework/files.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/recentfiles.h"
#include "framework/text.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(WriteWholeFile, ReplacesAFileWholeOrLeavesItAsItWas) {
  const QString dir = TempDir();
  const QString path = dir + QStringLiteral("/Results.txt");
  const QByteArray text(5000, 'x');
  // A new file, then a read-only one replaced.
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
  EXPECT_TRUE(WriteWholeFile(path, text));
  EXPECT_EQ(Contents(path), text);
  ASSERT_TRUE(WriteWholeFile(path, "old"));

  // A write that fails part-way (the file-size limit stands in for a full
  // disk) keeps the old file and says so.
  EXPECT_FALSE([&] {
    const FileSizeLimit full(1000);
    return WriteWholeFile(path, text);
  }());
  EXPECT_EQ(Contents(path), QByteArray("old"));

  // Places where no file can be made.
  EXPECT_FALSE(WriteWholeFile(dir, text));
  EXPECT_FALSE(WriteWholeFile(QStringLiteral("/proc/Results.txt"), text));
  EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("Results.txt")});
}

// Each entry of a folder as the file system holds it: its kind, node,
// size and, for a link, where it leads.
QStringList Entries(const QString& dir) {
  QStringList entries;
  for (const QFileInfo& entry :
       QDir(dir).entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
    struct stat info {};
    EXPECT_EQ(::lstat(LocalPath(entry.filePath()), &info), 0);
    entries << entry.fileName() +
                   Format(" %o %llu %llu %lld ", unsigned(info.st_mode), 0ULL + info.st_ino, 0ULL + info.st_rdev,
                          0LL + info.st_size) +
                   entry.symLinkTarget();
  }
  return entries;
}

// Writing to each name fails, and nothing in the folder changes.
void ExpectNothingReplaced(const QString& dir, std::initializer_list<const char*> names) {
  const QStringList before = Entries(dir);
  for (const char* name : names) EXPECT_FALSE(WriteWholeFile(dir + '/' + name, "text")) << name;
  EXPECT_EQ(Entries(dir), before);
}

// A FIFO, a socket or a folder, directly or through links, is never
// replaced, nor waited on.
TEST(WriteWholeFile, LeavesWhatIsNoRegularFileAsItWas) {
  const QString dir = TempDir();
  const QByteArray base = LocalPath(dir) + '/';
  ASSERT_EQ(::mkfifo(base + "fifo", 0600), 0);
  ASSERT_TRUE(QDir(dir).mkdir("folder"));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(base.size() + 6, qsizetype(sizeof address.sun_path));
  std::strcpy(address.sun_path, base + "socket");
  const int unixSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(unixSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(unixSocket);
  for (const auto& [link, target] : {std::pair<const char*, QByteArray>{"link", "fifo"},
                                     {"chain", "link"},
                                     {"absolute", base + "socket"},
                                     {"tofolder", "folder/"},
                                     {"loop", "loop2"},
                                     {"loop2", "loop"}}) {
    ASSERT_EQ(::symlink(target, base + link), 0);
  }
  ExpectNothingReplaced(dir, {"fifo", "socket", "folder", "link", "chain", "absolute", "tofolder", "loop"});
}

TEST(WriteWholeFile, LeavesADeviceAsItWas) {
  const QString dir = TempDir();
  const QByteArray base = LocalPath(dir) + '/';
  if (::mknod(base + "char", S_IFCHR | 0600, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "No device node can be made here: " << std::strerror(errno);
  }
  ASSERT_EQ(::mknod(base + "block", S_IFBLK | 0600, makedev(7, 200)), 0);
  ASSERT_EQ(::symlink("char", base + "link"), 0);
  ASSERT_EQ(::symlink(base + "link", base + "chain"), 0);
  ASSERT_EQ(::symlink("block", base + "blocklink"), 0);
  ExpectNothingReplaced(dir, {"char", "block", "link", "chain", "blocklink"});
}

// The call's result in a child process run as the given user; nothing when
// the child could not become that user.
std::optional<bool> AsUser(uid_t uid, const std::function<bool()>& call) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) _exit(2);
    _exit(call() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 2) {
    return std::nullopt;
  }
  return WEXITSTATUS(status) == 0;
}

// A file the user may replace is replaced, whichever way the folder and the
// file allow: by a new file in a folder the user may write, in place where
// the user may only write the file (made writable when it is the user's).
// What the user may neither replace nor write stays, as does a file that a
// write in place cannot finish.
TEST(WriteWholeFile, ReplacesWhatTheUserMayReplace) {
  const uid_t user = 65534, root = 0;
  if (::geteuid() != root) GTEST_SKIP() << "Needs root, to make files of another user and run as " << user;
  QTemporaryDir top;
  ASSERT_TRUE(top.isValid() && ::chmod(LocalPath(top.path()), 0755) == 0);
  if (AsUser(user, [&] { return ::access(LocalPath(top.path()), X_OK) == 0; }) != true) {
    GTEST_SKIP() << "Cannot run as user " << user << " in " << top.path().toStdString();
  }
  const QByteArray text(5000, 'x');
  const struct {
    uid_t folderOwner;
    mode_t folderMode;
    uid_t fileOwner;
    mode_t fileMode;
    QByteArray before;
    long long limit;  // the user's file-size limit, 0 for none
    bool written;
  } cases[] = {
      {root, 0755, user, 0644, "old", 0, true},           // in place
      {user, 0755, root, 0444, "old", 0, true},           // by a new file
      {root, 0755, user, 0444, "old", 0, true},           // made writable, in place
      {root, 01777, root, 0666, "old", 0, true},          // no replacing another's file there: in place
      {root, 0755, root, 0444, "old", 0, false},          // neither
      {root, 01777, root, 0444, "old", 0, false},         // neither
      {root, 0755, user, 0644, "old", 1000, false},       // longer than the limit
      {root, 0755, user, 0644, "o" + text, 1000, false},  // covered part past the limit
  };
  for (const auto& row : cases) {
    const QString dir = top.path() + '/' + QString::number(&row - cases);
    const QString path = SaveText("Results.txt", (QDir().mkdir(dir), dir), row.before);
    for (const auto& [node, owner, mode] :
         {std::tuple(dir, row.folderOwner, row.folderMode), std::tuple(path, row.fileOwner, row.fileMode)}) {
      ASSERT_EQ(::chown(LocalPath(node), owner, owner), 0);
      ASSERT_EQ(::chmod(LocalPath(node), mode), 0);
    }
    const std::optional<bool> written = AsUser(user, [&] {
      std::optional<FileSizeLimit> full;
      if (row.limit > 0) full.emplace(row.limit);
      return WriteWholeFile(path, text);
    });
    EXPECT_EQ(written, row.written) << dir.toStdString();
    EXPECT_EQ(Contents(path), row.written ? text : row.before) << dir.toStdString();
    EXPECT_EQ(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"Results.txt"});
  }
}

// Listed and opened by the bytes of their names, regular files and links
// to them only: nothing else, FIFOs included, is opened, nor waited on.
TEST(Files, OnlyRegularFilesAreListedAndOpened) {
  const QString dir = TempDir();
  const QByteArray base = LocalPath(dir) + '/';
  SaveText(QStringLiteral("a.PNG"), dir);
  SaveText(QStringLiteral("a.png.txt"), dir);
  ::close(::open(base + "r\xe9sultat.png", O_CREAT | O_WRONLY, 0600));  // Latin-1: no valid UTF-8
  ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("folder.png")));
  ASSERT_EQ(::mkfifo(base + "fifo.png", 0600), 0);
  ASSERT_EQ(::symlink("a.PNG", base + "link.png"), 0);
  ASSERT_EQ(::symlink("/dev/zero", base + "zero.png"), 0);
  QStringList names;
  for (const FolderFile& file : ListFolderFiles(dir, QStringLiteral(".png"))) {
    names << file.name;
    EXPECT_NE(OpenRegularFile(base + file.localName), nullptr) << file.localName.constData();
  }
  names.sort();
  EXPECT_EQ(names, (QStringList{"a.PNG", "link.png", QStringLiteral("r\uFFFDsultat.png")}));
  for (const char* name : {"fifo.png", "folder.png", "zero.png", "missing.png"}) {
    EXPECT_EQ(OpenRegularFile(base + name), nullptr) << name;
  }
  ::unlink(base + "r\xe9sultat.png");  // Qt cannot remove what it cannot name
}

TEST(Clipboard, HoldsAnOpaqueCopyOfTheImage) {
  // Pixel work leaves the fourth byte 0; the clipboard gets it as 255 and
  // the owner's image keeps its own bytes.
  QImage image(3, 2, QImage::Format_RGB32);
  for (int y = 0; y < 2; ++y) std::fill_n(reinterpret_cast<uint32_t*>(image.scanLine(y)), 3, 0x0014DC64u);
  ASSERT_TRUE(PutImageOnClipboard(image));
  const QImage back = QGuiApplication::clipboard()->image();
  ASSERT_EQ(back.size(), image.size());
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(back.constScanLine(1))[2], 0xFF14DC64u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(image.constScanLine(1))[2], 0x0014DC64u);
}

// Every write reaches the file at once; a threshold stays a text ("16.00"
// must not come back as 16); an entry without an integer gives the default.
TEST(Profile, WritesReachTheFileAtOnceAndTextsStayTexts) {
  const QString file = TempDir() + QStringLiteral("/settings.ini");
  const QString options = QStringLiteral("Options");
  Profile profile(file);
  EXPECT_TRUE(profile.WriteProfileString(options, QStringLiteral("CS Threshold"), QStringLiteral("16.00")));
  EXPECT_TRUE(Contents(file).contains("16.00"));
  EXPECT_TRUE(profile.WriteProfileString(options, QStringLiteral("Probe"), QStringLiteral("yes")));
  EXPECT_TRUE(profile.WriteInt(QStringLiteral("ApplicationLook"), 205));
  EXPECT_TRUE(Contents(file).contains("ApplicationLook=205"));
  EXPECT_EQ(profile.GetProfileString(options, QStringLiteral("CS Threshold")), QStringLiteral("16.00"));
  EXPECT_EQ(profile.GetProfileInt(options, QStringLiteral("Probe"), 7), 7);
  EXPECT_EQ(profile.GetProfileInt(QStringLiteral("Workspace"), QStringLiteral("ApplicationLook"), 217), 205);
}

// Nothing at the settings' name, at the lock beside it or at a settings
// file of the same maker makes the program wait for ever: a FIFO there is
// not read, and a lock that could never be taken is not waited on. What
// could be read holds, and a value written lasts for the session.
TEST(Profile, NothingAtOrBesideTheSettingsFileIsWaitedOn) {
  const QString options = QStringLiteral("Options"), entry = QStringLiteral("CS Threshold");
  const QString file = TempDir() + QStringLiteral("/settings.ini");
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  const struct {
    QString odd;
    char kind;  // a FIFO, a folder, or a link to nothing
    bool user;  // the user's own settings rather than the file's
  } cases[] = {{file, 'p', false},
               {file + ".lock", 'p', false},
               {file + ".lock", 'd', false},
               {file + ".lock", 'l', false},
               {config + "/Kestrune.conf", 'p', true},
               {config + "/Kestrune/Varenko.conf", 'p', true}};
  for (const auto& c : cases) {
    const bool stored = c.odd.endsWith(".lock");
    if (stored) Profile(file).WriteProfileString(options, entry, QStringLiteral("20.00"));
    QDir().mkpath(QFileInfo(c.odd).path());
    const QByteArray path = LocalPath(c.odd);
    ::unlink(path);
    ASSERT_EQ(c.kind == 'p' ? ::mkfifo(path, 0600) : c.kind == 'd' ? ::mkdir(path, 0700) : ::symlink("/no/x", path), 0);
    std::atomic<bool> done = false, waited = false;
    std::thread rescue([&] {  // frees whatever waits on the entry, after a while
      for (int i = 0; i < 100 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      while (!done) {
        waited = true;
        ::close(::open(path, O_WRONLY | O_NONBLOCK));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    QString read, kept;
    {
      const auto profile = c.user ? std::make_unique<Profile>() : std::make_unique<Profile>(file);
      read = profile->GetProfileString(options, entry, QStringLiteral("16"));
      profile->WriteProfileString(options, entry, QStringLiteral("30.00"));
      kept = profile->GetProfileString(options, entry);
    }
    done = true;
    rescue.join();
    ::rmdir(path);
    ::unlink(path);
    EXPECT_FALSE(waited) << c.odd.toStdString();
    EXPECT_EQ(read, stored ? "20.00" : "16") << c.odd.toStdString();
    EXPECT_EQ(kept, "30.00") << c.odd.toStdString();
  }
}

// A list edited by hand: gaps close up, a file named twice is listed once,
// and a name too long for a menu shows shortened, its end kept.
TEST(RecentFileList, ReadsAListEditedByHandAsTheMenuCanShowIt) {
  Profile profile(TempDir() + QStringLiteral("/settings.ini"));
  const QString longName = QStringLiteral("/d").repeated(2000) + QStringLiteral("/") + QString(300, 'n') + ".png";
  const QStringList stored{"", "/a/x.png", "/a/y.png", "/a/./x.png", longName};
  for (int i = 0; i < stored.size(); ++i)
    profile.WriteProfileString("Recent File List", QString("File%1").arg(i + 1), stored[i]);
  RecentFileList list(profile, 5);
  EXPECT_EQ(list.Files(), (QStringList{"/a/x.png", "/a/y.png", longName}));
  EXPECT_EQ(list.MenuText(1), "&2 /a/y.png");
  EXPECT_TRUE(list.MenuText(2).size() <= 60 && list.MenuText(2).endsWith("nn.png")) << list.MenuText(2).size();
}

// Records every question, answers from its queue (empty, it cancels), and
// gives the prompts back to the outer ones when it ends.
TEST(ScriptedPrompts, RecordsQuestionsAnswersFromItsQueueAndRestoresTheOuterOnes) {
  ScriptedPrompts outer;
  {
    ScriptedPrompts prompts;
    prompts.Answer(QStringLiteral("/data/a.png"));
    prompts.Answer(std::nullopt);
    Prompts::Current().MessageBox(QStringLiteral("No files"), MessageIcon::Error);
    EXPECT_EQ(Prompts::Current().OpenFile({QString(), QStringLiteral("/data"), QString(), QString()}),
              QStringLiteral("/data/a.png"));
    EXPECT_EQ(Prompts::Current().BrowseForFolder(QStringLiteral("Folder:"), QStringLiteral("/")), std::nullopt);
    EXPECT_EQ(Prompts::Current().SaveFile({}), std::nullopt);
    ASSERT_EQ(prompts.records().size(), 4u);
    EXPECT_EQ(prompts.records()[1].options.initialDir, QStringLiteral("/data"));
    EXPECT_EQ(prompts.records()[2].options.initialDir, QStringLiteral("/"));
    EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("No files")});
  }
  EXPECT_EQ(&Prompts::Current(), &outer);
}

TEST(QtPrompts, AnAllFilesFilterListsNamesWithoutADot) {
  QStringList shown;
  QTimer::singleShot(0, [&shown] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    shown = dialog->nameFilters();
    dialog->reject();
  });
  QtPrompts().OpenFile({QString(), QString(), QString(), QStringLiteral("PNG Files (*.png);;All Files (*.*)")});
  EXPECT_EQ(shown, (QStringList{"PNG Files (*.png)", "All Files (*)"}));
}

// Format, ParseLeadingDouble and ScanLeadingDouble under a locale whose
// numbers have a decimal comma, made here from a source of that alone: the
// system may have none.
TEST(Text, NumbersArePrintedAndReadAsInTheCLocaleWhateverTheUsersLocale) {
  const QTemporaryDir dir;
  QFile source(dir.filePath(QStringLiteral("comma.src")));
  ASSERT_TRUE(source.open(QIODevice::WriteOnly));
  source.write(
      "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\nLC_NUMERIC\ndecimal_point \",\"\ngrouping -1\nEND LC_NUMERIC\n");
  source.close();
  // A path, not a name: a name would go into the system's locales.
  QProcess::execute(QStringLiteral("localedef"),
                    {QStringLiteral("-c"), QStringLiteral("-i"), source.fileName(), QStringLiteral("-f"),
                     QStringLiteral("ANSI_X3.4-1968"), dir.filePath(QStringLiteral("comma"))});
  setenv("LOCPATH", dir.path().toUtf8().constData(), 1);
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  char native[8] = "";
  if (std::setlocale(LC_NUMERIC, "comma") != nullptr) std::snprintf(native, sizeof native, "%.1f", 1.5);

  EXPECT_EQ(Format("%.2f", 16.0), QStringLiteral("16.00"));
  EXPECT_EQ(Format("Ratio: %.2f%%, %d of %zd", 12.345, 3, ptrdiff_t{12}), QStringLiteral("Ratio: 12.35%, 3 of 12"));
  EXPECT_EQ(Format("File: %s and %s", QStringLiteral("Zeichnung_ä.png"), "plain"),
            QStringLiteral("File: Zeichnung_ä.png and plain"));
  const QString longText(1000, QLatin1Char('x'));  // beyond the first buffer
  EXPECT_EQ(Format("<%s>", longText), QLatin1Char('<') + longText + QLatin1Char('>'));

  // The longest leading number; nothing (or 0) without one.
  const struct {
    const char* text;
    std::optional<double> value;
  } numbers[] = {{"16", 16.0}, {" 16.5x", 16.5},  {"\t\n-2.25", -2.25},     {"16,5", 16.0}, {"1e2", 100.0}, {".5", 0.5},
                 {"0", 0.0},   {"inf", INFINITY}, {"-Infinity", -INFINITY}, {"abc", {}},    {"", {}},       {"   ", {}},
                 {"x16", {}},  {"-", {}}};
  for (const auto& n : numbers) {
    EXPECT_EQ(ScanLeadingDouble(QString::fromUtf8(n.text)), n.value) << n.text;
    EXPECT_EQ(ParseLeadingDouble(QString::fromUtf8(n.text)), n.value.value_or(0.0)) << n.text;
  }
  std::setlocale(LC_NUMERIC, previous.c_str());
  unsetenv("LOCPATH");
  if (std::string(native) != "1,5") GTEST_SKIP() << "no locale with a decimal comma could be made here";
}

}  // namespace
