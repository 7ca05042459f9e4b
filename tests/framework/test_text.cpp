#include "framework/text.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Switches the process to a German locale (decimal comma) for the test's
// lifetime, building it with localedef when the system has none.
class GermanNumbers {
 public:
  GermanNumbers() {
    previous_ = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
      active_ = true;
      return;
    }
    if (!dir_.isValid()) return;
    const QString target = dir_.filePath(QStringLiteral("de_DE.UTF-8"));
    const int status = QProcess::execute(
        QStringLiteral("localedef"),
        {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"), QStringLiteral("UTF-8"), target});
    if (status != 0) return;
    setenv("LOCPATH", dir_.path().toUtf8().constData(), 1);
    active_ = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  }
  ~GermanNumbers() {
    std::setlocale(LC_NUMERIC, previous_.c_str());
    unsetenv("LOCPATH");
  }
  bool active() const { return active_; }

 private:
  std::string previous_;
  QTemporaryDir dir_;
  bool active_ = false;
};

TEST(Format, PrintsNumbersAsTheCLibraryDoes) {
  EXPECT_EQ(Format("%.2f", 16.0), QStringLiteral("16.00"));
  EXPECT_EQ(Format("Ratio: %.2f%%", 12.345), QStringLiteral("Ratio: 12.35%"));
  EXPECT_EQ(Format("%d/%d", 3, -4), QStringLiteral("3/-4"));
  EXPECT_EQ(Format("%zd of %zd", static_cast<ptrdiff_t>(7), static_cast<ptrdiff_t>(12)), QStringLiteral("7 of 12"));
  EXPECT_EQ(Format("%.2f", INFINITY), QStringLiteral("inf"));
  EXPECT_EQ(Format("%.2f", -NAN).endsWith(QStringLiteral("nan")), true);
  // Rounding of the C library: 0.125 is exact in binary and rounds to even.
  EXPECT_EQ(Format("%.2f", 0.125), QStringLiteral("0.12"));
}

TEST(Format, PassesQStringAndLongTexts) {
  EXPECT_EQ(Format("File: %s", QStringLiteral("Zeichnung_ä.png")), QStringLiteral("File: Zeichnung_ä.png"));
  const QString longText(1000, QLatin1Char('x'));
  EXPECT_EQ(Format("<%s>", longText), QLatin1Char('<') + longText + QLatin1Char('>'));
  EXPECT_EQ(Format("%s and %s", "plain", QStringLiteral("wide")), QStringLiteral("plain and wide"));
}

TEST(Format, KeepsTheFullStopUnderADecimalCommaLocale) {
  GermanNumbers german;
  if (!german.active()) GTEST_SKIP() << "no German locale could be made here";
  char native[32];
  std::snprintf(native, sizeof native, "%.1f", 1.5);
  ASSERT_STREQ(native, "1,5") << "the locale switch did not take effect";
  EXPECT_EQ(Format("%.2f", 16.0), QStringLiteral("16.00"));
  EXPECT_DOUBLE_EQ(ParseLeadingDouble(QStringLiteral("16.5")), 16.5);
}

TEST(ParseLeadingDouble, TakesTheLongestLeadingNumber) {
  EXPECT_DOUBLE_EQ(ParseLeadingDouble(QStringLiteral("16")), 16.0);
  EXPECT_DOUBLE_EQ(ParseLeadingDouble(QStringLiteral(" 16.5x")), 16.5);
  EXPECT_DOUBLE_EQ(ParseLeadingDouble(QStringLiteral("\t\n-2.25")), -2.25);
  EXPECT_DOUBLE_EQ(ParseLeadingDouble(QStringLiteral("16,5")), 16.0);
  EXPECT_DOUBLE_EQ(ParseLeadingDouble(QStringLiteral("1e2")), 100.0);
  EXPECT_DOUBLE_EQ(ParseLeadingDouble(QStringLiteral("16.00")), 16.0);
  EXPECT_DOUBLE_EQ(ParseLeadingDouble(QStringLiteral(".5")), 0.5);
}

TEST(ParseLeadingDouble, GivesZeroWithoutANumber) {
  EXPECT_EQ(ParseLeadingDouble(QStringLiteral("abc")), 0.0);
  EXPECT_EQ(ParseLeadingDouble(QString()), 0.0);
  EXPECT_EQ(ParseLeadingDouble(QStringLiteral("   ")), 0.0);
  EXPECT_EQ(ParseLeadingDouble(QStringLiteral("x16")), 0.0);
}

TEST(ScanLeadingDouble, TellsAMissingNumberFromZero) {
  EXPECT_EQ(ScanLeadingDouble(QStringLiteral("0")), 0.0);
  EXPECT_EQ(ScanLeadingDouble(QStringLiteral(" 12.5 %")), 12.5);
  EXPECT_EQ(ScanLeadingDouble(QStringLiteral("16,5")), 16.0);
  EXPECT_EQ(ScanLeadingDouble(QStringLiteral("abc")), std::nullopt);
  EXPECT_EQ(ScanLeadingDouble(QString()), std::nullopt);
  EXPECT_EQ(ScanLeadingDouble(QStringLiteral("-")), std::nullopt);
  EXPECT_TRUE(std::isinf(*ScanLeadingDouble(QStringLiteral("inf"))));
}

TEST(ParseLeadingDouble, ReadsInfinityAndNotANumber) {
  EXPECT_TRUE(std::isinf(ParseLeadingDouble(QStringLiteral("inf"))));
  EXPECT_TRUE(std::isinf(ParseLeadingDouble(QStringLiteral("-Infinity"))));
  EXPECT_TRUE(std::isnan(ParseLeadingDouble(QStringLiteral("nan"))));
}

}  // namespace
