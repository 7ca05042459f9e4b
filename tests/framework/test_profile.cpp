#include "framework/profile.h"

#include "tests/support/testsupport.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

TEST(Profile, ReadsDefaultsAndWrittenValues) {
  Profile profile(TempDir() + QStringLiteral("/settings.ini"));
  EXPECT_EQ(profile.GetProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), QStringLiteral("16")),
            QStringLiteral("16"));
  EXPECT_EQ(profile.GetProfileInt(QStringLiteral("Options"), QStringLiteral("Enable Probe"), 0), 0);

  EXPECT_TRUE(
      profile.WriteProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), QStringLiteral("16.50")));
  EXPECT_TRUE(profile.WriteProfileInt(QStringLiteral("Options"), QStringLiteral("Enable Probe"), 1));
  EXPECT_EQ(profile.GetProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), QStringLiteral("16")),
            QStringLiteral("16.50"));
  EXPECT_EQ(profile.GetProfileInt(QStringLiteral("Options"), QStringLiteral("Enable Probe"), 0), 1);
}

TEST(Profile, WritesReachTheStoreAtOnce) {
  const QString file = TempDir() + QStringLiteral("/settings.ini");
  {
    Profile profile(file);
    profile.WriteProfileString(QStringLiteral("Settings"), QStringLiteral("Open Folder Path"),
                               QStringLiteral("/data/"));
    profile.WriteInt(QStringLiteral("ApplicationLook"), 205);
    // A second reader of the same store sees the values while the first lives.
    Profile other(file);
    EXPECT_EQ(other.GetProfileString(QStringLiteral("Settings"), QStringLiteral("Open Folder Path")),
              QStringLiteral("/data/"));
  }
  Profile reopened(file);
  EXPECT_EQ(reopened.GetInt(QStringLiteral("ApplicationLook"), 217), 205);
  EXPECT_EQ(reopened.GetProfileInt(QStringLiteral("Workspace"), QStringLiteral("ApplicationLook"), 217), 205);
  // The threshold stays a text: "16.00" must not come back as 16.
  reopened.WriteProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold"), QStringLiteral("16.00"));
  EXPECT_EQ(Profile(file).GetProfileString(QStringLiteral("Options"), QStringLiteral("CS Threshold")),
            QStringLiteral("16.00"));
}

TEST(Profile, AnEntryWithoutAnIntegerGivesTheDefault) {
  Profile profile(TempDir() + QStringLiteral("/settings.ini"));
  profile.WriteProfileString(QStringLiteral("Options"), QStringLiteral("Enable Probe"), QStringLiteral("yes"));
  EXPECT_EQ(profile.GetProfileInt(QStringLiteral("Options"), QStringLiteral("Enable Probe"), 7), 7);
}

TEST(Profile, TheProgramsProfileLivesInTheTestsPrivateHome) {
  const QString config = QDir::homePath();
  ASSERT_TRUE(config.startsWith(QDir::tempPath())) << config.toStdString();
  Profile& profile = Profile::Instance();
  EXPECT_TRUE(profile.Settings().fileName().startsWith(config)) << profile.Settings().fileName().toStdString();
  EXPECT_TRUE(profile.Settings().fileName().endsWith(QStringLiteral("Kestrune/Varenko.conf")));
}

}  // namespace
