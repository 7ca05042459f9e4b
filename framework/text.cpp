#include "framework/text.h"

#include <locale.h>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// One C locale for the whole process, made on first use.
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

// Switches the calling thread to the C locale for as long as it lives; the
// process-wide locale is never touched.
class ScopedCLocale {
 public:
  ScopedCLocale() : previous_(uselocale(CLocale())) {}
  ~ScopedCLocale() { uselocale(previous_); }
  ScopedCLocale(const ScopedCLocale&) = delete;
  ScopedCLocale& operator=(const ScopedCLocale&) = delete;

 private:
  locale_t previous_;
};

}  // namespace

namespace text_detail {

QString FormatC(const char* format, ...) {
  ScopedCLocale c_locale;
  char small[256];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (needed < 0) {
    va_end(again);
    return QString();
  }
  if (static_cast<size_t>(needed) < sizeof small) {
    va_end(again);
    return QString::fromUtf8(small, needed);
  }
  std::vector<char> large(static_cast<size_t>(needed) + 1);
  std::vsnprintf(large.data(), large.size(), format, again);
  va_end(again);
  return QString::fromUtf8(large.data(), needed);
}

}  // namespace text_detail

double ParseLeadingDouble(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return strtod_l(bytes.constData(), nullptr, CLocale());
}

std::optional<double> ScanLeadingDouble(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  char* end = nullptr;
  const double value = strtod_l(bytes.constData(), &end, CLocale());
  if (end == bytes.constData()) return std::nullopt;
  return value;
}
