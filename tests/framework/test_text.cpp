#include "framework/text.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Switches the process's numbers to a decimal comma for its lifetime, with
// a locale of only that made here: the system may have none.
class DecimalComma {
 public:
  DecimalComma() : previous_(std::setlocale(LC_NUMERIC, nullptr)) {
    QFile source(dir_.filePath(QStringLiteral("comma.src")));
    if (!source.open(QIODevice::WriteOnly)) return;
    source.write(
        "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
        "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n");
    source.close();
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {QStringLiteral("-c"), QStringLiteral("-i"), source.fileName(), QStringLiteral("-f"),
                     QStringLiteral("ANSI_X3.4-1968"), dir_.filePath(QStringLiteral("comma"))});
    localedef.waitForFinished();
    setenv("LOCPATH", dir_.path().toUtf8().constData(), 1);
    char native[8];
    active_ = std::setlocale(LC_NUMERIC, "comma") != nullptr &&
              std::snprintf(native, sizeof native, "%.1f", 1.5) == 3 && std::string(native) == "1,5";
  }
  ~DecimalComma() {
    std::setlocale(LC_NUMERIC, previous_.c_str());
    unsetenv("LOCPATH");
  }
  bool active() const { return active_; }

 private:
  QTemporaryDir dir_;
  std::string previous_;
  bool active_ = false;
};

TEST(Text, NumbersArePrintedAndReadAsInTheCLocaleWhateverTheUsersLocale) {
  const DecimalComma comma;
  EXPECT_EQ(Format("%.2f", 16.0), QStringLiteral("16.00"));
  EXPECT_EQ(Format("Ratio: %.2f%%", 12.345), QStringLiteral("Ratio: 12.35%"));
  EXPECT_EQ(Format("%.2f", 0.125), QStringLiteral("0.12"));  // exact in binary: rounds to even
  EXPECT_EQ(Format("%d/%d", 3, -4), QStringLiteral("3/-4"));
  EXPECT_EQ(Format("%zd of %zd", ptrdiff_t{7}, ptrdiff_t{12}), QStringLiteral("7 of 12"));
  EXPECT_EQ(Format("%.2f", INFINITY), QStringLiteral("inf"));
  EXPECT_TRUE(Format("%.2f", -NAN).endsWith(QStringLiteral("nan")));
  EXPECT_EQ(Format("File: %s and %s", QStringLiteral("Zeichnung_ä.png"), "plain"),
            QStringLiteral("File: Zeichnung_ä.png and plain"));
  const QString longText(1000, QLatin1Char('x'));
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
  EXPECT_TRUE(std::isnan(ParseLeadingDouble(QStringLiteral("nan"))));
  if (!comma.active()) GTEST_SKIP() << "no locale with a decimal comma could be made here";
}

}  // namespace
