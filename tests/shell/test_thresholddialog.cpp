#include "analysis/threshold.h"
#include "analysis/waitdialog.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "shell/aboutdialog.h"
#include "shell/thresholddialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

QString Stored() {
  return Profile::Instance().GetProfileString(QStringLiteral("Options"), QString::fromLatin1(kThresholdEntry),
                                              QStringLiteral("<none>"));
}

void Store(const QString& text) {
  Profile::Instance().WriteProfileString(QStringLiteral("Options"), QString::fromLatin1(kThresholdEntry), text);
}

class ThresholdDialog : public ::testing::Test {
 protected:
  void SetUp() override { Profile::Instance().Settings().clear(); }

  // Opens the dialog, types the text and presses OK; returns whether the
  // dialog closed.
  bool Enter(const QString& text) {
    CDlgThreshold dialog;
    dialog.show();
    dialog.Edit()->setText(text);
    dialog.OkButton()->click();
    const bool closed = dialog.result() == QDialog::Accepted && !dialog.isVisible();
    return closed;
  }

  ScriptedPrompts prompts;
};

TEST_F(ThresholdDialog, ShowsTheStoredTextAsItStands) {
  {
    CDlgThreshold dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Set CS Threshold"));
    EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("16"));
    EXPECT_EQ(dialog.m_dThreshold, 16.0);
    dialog.OkButton()->click();
  }
  EXPECT_EQ(Stored(), QStringLiteral("16.00"));
  Store(QStringLiteral("16.125"));
  CDlgThreshold dialog;
  dialog.show();
  EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("16.125"));
  EXPECT_TRUE(prompts.Messages().isEmpty());
}

TEST_F(ThresholdDialog, StoresNumbersFromZeroToHundredWithTwoDecimals) {
  const std::pair<const char*, const char*> accepted[] = {
      {"0", "0.00"},    {"100", "100.00"},    {"16,5", "16.00"}, {"12abc", "12.00"}, {"1e2", "100.00"},
      {" 7.5", "7.50"}, {"99.999", "100.00"}, {"0.004", "0.00"}, {"-0", "-0.00"},
  };
  for (const auto& [typed, stored] : accepted) {
    EXPECT_TRUE(Enter(QString::fromLatin1(typed))) << typed;
    EXPECT_EQ(Stored(), QString::fromLatin1(stored)) << typed;
  }
  EXPECT_TRUE(prompts.Messages().isEmpty());
}

TEST_F(ThresholdDialog, RefusesValuesOutOfRange) {
  Store(QStringLiteral("20.00"));
  for (const char* typed : {"-0.01", "100.01", "inf", "-inf", "nan", "1e3"}) {
    prompts.Clear();
    EXPECT_FALSE(Enter(QString::fromLatin1(typed))) << typed;
    ASSERT_EQ(prompts.records().size(), 1u) << typed;
    EXPECT_EQ(prompts.records()[0].text, QStringLiteral("Please select a value between 0 and 100"));
    EXPECT_EQ(prompts.records()[0].icon, MessageIcon::Error);
    EXPECT_EQ(Stored(), QStringLiteral("20.00")) << typed;
  }
}

TEST_F(ThresholdDialog, AskForANumberWhenThereIsNone) {
  Store(QStringLiteral("20.00"));
  for (const char* typed : {"abc", "", "  ", "%"}) {
    prompts.Clear();
    CDlgThreshold dialog;
    dialog.show();
    dialog.Edit()->setText(QString::fromLatin1(typed));
    dialog.OkButton()->click();
    EXPECT_TRUE(dialog.isVisible()) << typed;
    EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("Enter a number.")}) << typed;
    EXPECT_EQ(prompts.records()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(dialog.Edit()->selectedText(), dialog.Edit()->text());
    // Cancel after the message keeps what was stored.
    dialog.CancelButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Stored(), QStringLiteral("20.00"));
  }
}

TEST_F(ThresholdDialog, AStoredTextWithoutANumberIsReportedAsTheDialogOpens) {
  Store(QStringLiteral("high"));
  CDlgThreshold dialog;
  dialog.show();
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("Enter a number.")});
  EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("high"));
  EXPECT_EQ(dialog.m_dThreshold, 0.0);
}

TEST(FixedDialogs, CaptionsHoldTheTitleAndAtMostTheCloseButton) {
  CDlgThreshold threshold;
  CDlgWait progress;
  CAboutDlg about;
  const Qt::WindowFlags unwanted = Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                   Qt::WindowContextHelpButtonHint | Qt::WindowFullscreenButtonHint;
  for (const auto& [dialog, close] :
       {std::pair<QDialog*, bool>{&threshold, true}, {&progress, false}, {&about, true}}) {
    const Qt::WindowFlags flags = dialog->windowFlags();
    // Told explicitly, so that the platform adds no buttons of its own.
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & unwanted);
    EXPECT_EQ(bool(flags & Qt::WindowCloseButtonHint), close);
  }
}

}  // namespace
