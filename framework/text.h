#pragma once

#include <QString>

#include <optional>
#include <string>
#include <tuple>
#include <type_traits>

// printf-style formatting that always uses the C locale: "%.2f" of 16 gives
// "16.00" whatever the user's regional settings, and inf and nan print as the
// C library prints them. QString arguments are passed to "%s" as UTF-8.

namespace text_detail {

QString FormatC(const char* format, ...);

inline std::string Hold(const QString& s) { return s.toStdString(); }
template <class T>
T Hold(const T& value) {
  static_assert(!std::is_class_v<T>, "Format takes numbers, C strings and QString");
  return value;
}

inline const char* Raw(const std::string& s) { return s.c_str(); }
template <class T>
T Raw(T value) {
  return value;
}

}  // namespace text_detail

template <class... Args>
QString Format(const char* format, const Args&... args) {
  auto held = std::make_tuple(text_detail::Hold(args)...);
  return std::apply([format](const auto&... h) { return text_detail::FormatC(format, text_detail::Raw(h)...); }, held);
}

// Reads the number at the start of a text the way the C runtime's
// string-to-double does: leading white space is skipped, the longest leading
// number is taken ("16,5" gives 16, "1e2" gives 100, "inf" and "nan" as the
// C library reads them), and a text without a leading number gives 0.0.
double ParseLeadingDouble(const QString& text);

// Reads one number at the start of a text as a dialog field does: the same
// rule as ParseLeadingDouble, but a text without a leading number gives
// nothing instead of 0.
std::optional<double> ScanLeadingDouble(const QString& text);
