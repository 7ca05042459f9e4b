#include "framework/clipboard.h"
#include "framework/files.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "tests/support/testsupport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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
  bool written = true;
  {
    const FileSizeLimit full(1000);
    written = WriteWholeFile(path, text);
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(Contents(path), QByteArray("old"));

  // Places where no file can be made.
  EXPECT_FALSE(WriteWholeFile(dir, text));
  EXPECT_FALSE(WriteWholeFile(QStringLiteral("/proc/Results.txt"), text));
  EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("Results.txt")});
}

TEST(Files, OnlyRegularFilesAreListedAndOpenedAndNothingWaits) {
  const QString dir = TempDir();
  const QByteArray base = LocalPath(dir) + '/';
  SaveText(QStringLiteral("a.PNG"), dir);
  SaveText(QStringLiteral("a.png.txt"), dir);
  ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("folder.png")));
  ASSERT_EQ(::mkfifo(base + "fifo.png", 0600), 0);
  for (const auto& [link, target] : {std::pair<const char*, const char*>{"link.png", "a.PNG"},
                                     {"loop.png", "loop.png"},
                                     {"zero.png", "/dev/zero"},
                                     {"broken.png", "missing.png"}}) {
    ASSERT_EQ(::symlink(target, base + link), 0);
  }
  // A name in Latin-1, which is no valid UTF-8: shown with a replacement
  // character, opened by its bytes.
  ::close(::open(base + "r\xe9sultat.png", O_CREAT | O_WRONLY, 0600));

  std::vector<FolderFile> files = ListFolderFiles(dir, QStringLiteral(".png"));
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  QStringList names;
  for (const FolderFile& file : files) {
    names << file.name;
    EXPECT_NE(OpenRegularFile(base + file.localName), nullptr) << file.localName.constData();
  }
  EXPECT_EQ(names, (QStringList{"a.PNG", "link.png", QStringLiteral("r\uFFFDsultat.png")}));
  for (const char* name : {"fifo.png", "folder.png", "loop.png", "zero.png", "broken.png"}) {
    EXPECT_EQ(OpenRegularFile(base + name), nullptr) << name;
  }
  QString reason;
  EXPECT_FALSE(CanOpenForReading(dir + QStringLiteral("/folder.png"), &reason));
  EXPECT_EQ(reason, QStringLiteral("It is a folder."));
  EXPECT_FALSE(CanOpenForReading(dir + QStringLiteral("/broken.png"), &reason));
  EXPECT_FALSE(reason.isEmpty());
  // Qt cannot remove what it cannot name.
  ::unlink(base + "r\xe9sultat.png");
}

TEST(Clipboard, HoldsAnOpaqueCopyOfTheImage) {
  // Pixel work leaves the fourth byte 0; the clipboard gets it as 255 and
  // the owner's image keeps its own bytes.
  QImage image(3, 2, QImage::Format_RGB32);
  for (int y = 0; y < 2; ++y) std::fill_n(reinterpret_cast<uint32_t*>(image.scanLine(y)), 3, 0x0014DC64u);
  ASSERT_TRUE(PutImageOnClipboard(image));
  const QImage back = QGuiApplication::clipboard()->image();
  ASSERT_EQ(back.size(), image.size());
  EXPECT_EQ(back.pixel(2, 1), 0xFF14DC64u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(image.constScanLine(1))[2], 0x0014DC64u);
  EXPECT_FALSE(PutImageOnClipboard(QImage()));
}

TEST(Profile, WritesReachTheStoreAtOnceAndTextsStayTexts) {
  const QString file = TempDir() + QStringLiteral("/settings.ini");
  const QString options = QStringLiteral("Options");
  Profile profile(file);
  EXPECT_EQ(profile.GetProfileString(options, QStringLiteral("CS Threshold"), QStringLiteral("16")),
            QStringLiteral("16"));
  EXPECT_EQ(profile.GetProfileInt(options, QStringLiteral("Enable Probe"), 7), 7);
  EXPECT_TRUE(profile.WriteProfileString(options, QStringLiteral("CS Threshold"), QStringLiteral("16.00")));
  EXPECT_TRUE(profile.WriteProfileString(options, QStringLiteral("Enable Probe"), QStringLiteral("yes")));
  EXPECT_TRUE(profile.WriteProfileInt(options, QStringLiteral("Smart"), 1));
  EXPECT_TRUE(profile.WriteInt(QStringLiteral("ApplicationLook"), 205));
  // A second reader of the same store sees the values while the first lives.
  const Profile other(file);
  EXPECT_EQ(other.GetProfileString(options, QStringLiteral("CS Threshold")), QStringLiteral("16.00"));
  EXPECT_EQ(other.GetProfileInt(options, QStringLiteral("Enable Probe"), 7), 7);  // no integer
  EXPECT_EQ(other.GetProfileInt(options, QStringLiteral("Smart"), 0), 1);
  EXPECT_EQ(other.GetProfileInt(QStringLiteral("Workspace"), QStringLiteral("ApplicationLook"), 217), 205);
}

TEST(ScriptedPrompts, RecordsQuestionsAnswersFromItsQueueAndRestoresTheOuterOnes) {
  Prompts& real = Prompts::Current();
  {
    ScriptedPrompts outer;
    {
      ScriptedPrompts prompts;
      prompts.Answer(QStringLiteral("/data/a.png"));
      prompts.Answer(std::nullopt);
      Prompts::Current().MessageBox(QStringLiteral("No files"), MessageIcon::Error);
      EXPECT_EQ(Prompts::Current().OpenFile({QString(), QStringLiteral("/data"), QString(), QString()}),
                QStringLiteral("/data/a.png"));
      EXPECT_EQ(Prompts::Current().BrowseForFolder(QStringLiteral("Folder:"), QStringLiteral("/")), std::nullopt);
      EXPECT_EQ(Prompts::Current().SaveFile({}), std::nullopt);  // an empty queue cancels
      ASSERT_EQ(prompts.records().size(), 4u);
      EXPECT_EQ(prompts.records()[1].options.initialDir, QStringLiteral("/data"));
      EXPECT_EQ(prompts.records()[2].options.initialDir, QStringLiteral("/"));
      EXPECT_EQ(prompts.records()[3].kind, ScriptedPrompts::Kind::SaveFile);
      EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("No files")});
    }
    EXPECT_EQ(&Prompts::Current(), &outer);
  }
  EXPECT_EQ(&Prompts::Current(), &real);
}

}  // namespace
