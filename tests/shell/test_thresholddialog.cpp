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

TEST(ThresholdDialog, StoresNumbersFromZeroToHundredAndRefusesTheRest) {
  Profile::Instance().Settings().clear();
  ScriptedPrompts prompts;
  {
    // The default shows as 16 and is stored with two decimals.
    CDlgThreshold dialog;
    dialog.show();
    EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("16"));
    dialog.OkButton()->click();
    EXPECT_EQ(Stored(), QStringLiteral("16.00"));
  }
  const char* const range = "Please select a value between 0 and 100";
  const char* const number = "Enter a number.";
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"0", "0.00", nullptr},        {"100", "100.00", nullptr}, {"16,5", "16.00", nullptr},
      {"12abc", "12.00", nullptr},   {"1e2", "100.00", nullptr}, {" 7.5", "7.50", nullptr},
      {"99.999", "100.00", nullptr}, {"0.004", "0.00", nullptr}, {"-0", "-0.00", nullptr},
      {"-0.01", nullptr, range},     {"100.01", nullptr, range}, {"inf", nullptr, range},
      {"-inf", nullptr, range},      {"nan", nullptr, range},    {"1e3", nullptr, range},
      {"abc", nullptr, number},      {"", nullptr, number},      {"  ", nullptr, number},
      {"%", nullptr, number},
  };
  for (const auto& [typed, stored, message] : cases) {
    Store(QStringLiteral("20.00"));
    prompts.Clear();
    CDlgThreshold dialog;
    dialog.show();
    dialog.Edit()->setText(QString::fromLatin1(typed));
    dialog.OkButton()->click();
    EXPECT_EQ(Stored(), QString::fromLatin1(stored ? stored : "20.00")) << typed;
    if (message == nullptr) {
      EXPECT_EQ(dialog.result(), QDialog::Accepted) << typed;
      EXPECT_TRUE(prompts.records().empty()) << typed;
      continue;
    }
    // The dialog stays open after the message; Cancel keeps the stored value.
    EXPECT_TRUE(dialog.isVisible()) << typed;
    EXPECT_EQ(prompts.Messages(), QStringList{QString::fromLatin1(message)}) << typed;
    EXPECT_EQ(prompts.records()[0].icon, message == range ? MessageIcon::Error : MessageIcon::Warning) << typed;
    if (message == number) {
      EXPECT_EQ(dialog.Edit()->selectedText(), dialog.Edit()->text()) << typed;
    }
    dialog.CancelButton()->click();
    EXPECT_EQ(Stored(), QStringLiteral("20.00")) << typed;
  }

  // A stored text is shown as it stands; one without a number is reported
  // as the dialog opens.
  for (const char* text : {"16.125", "high"}) {
    Store(QString::fromLatin1(text));
    prompts.Clear();
    CDlgThreshold dialog;
    dialog.show();
    EXPECT_EQ(dialog.Edit()->text(), QString::fromLatin1(text));
    EXPECT_EQ(prompts.Messages().size(), text[0] == 'h' ? 1 : 0) << text;
  }
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
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
  }
}

}  // namespace
