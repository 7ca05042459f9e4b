#include "framework/dialogunits.h"

#include <QFontMetrics>
#include <QStringList>

namespace {

// Rounded a * b / c, as dialog-unit conversion has always done it.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  static const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  // Average width over both cases of the alphabet, rounded.
  baseX_ = (metrics.horizontalAdvance(kAlphabet) / 26 + 1) / 2;
  baseY_ = metrics.height();
  if (baseX_ <= 0) baseX_ = 1;
  if (baseY_ <= 0) baseY_ = 1;
}

int DialogUnits::ToPixelsX(int units) const { return MulDiv(units, baseX_, 4); }

int DialogUnits::ToPixelsY(int units) const { return MulDiv(units, baseY_, 8); }

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  const int left = ToPixelsX(x);
  const int top = ToPixelsY(y);
  return QRect(left, top, ToPixelsX(x + width) - left, ToPixelsY(y + height) - top);
}

QFont DialogUnits::DialogFont() {
  QFont font;
  const QStringList families = {QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Tahoma"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                QStringLiteral("DejaVu Sans")};
  font.setFamilies(families);
  font.setPointSize(8);
  return font;
}

Qt::WindowFlags FixedDialogFlags(bool closeButton) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (closeButton) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  return flags;
}
