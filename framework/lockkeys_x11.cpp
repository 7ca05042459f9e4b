// Kept apart from the rest: the X headers define names (KeyPress, None,
// Bool) that clash with Qt's.
#include "framework/lockkeys.h"

#include <QGuiApplication>

#if defined(VARENKO_HAVE_XKB)
#include <X11/XKBlib.h>
#endif

std::optional<LockKeys> ReadLockKeys() {
#if defined(VARENKO_HAVE_XKB) && QT_CONFIG(xcb)
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  auto* x11 = app != nullptr ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 != nullptr ? x11->display() : nullptr;
  if (display == nullptr) return std::nullopt;
  // Which indicator stands for which lock depends on the keyboard's map:
  // they are found by name once, and their state read in one request.
  static Display* known = nullptr;
  static int index[3] = {-1, -1, -1};
  if (display != known) {
    known = display;
    const char* const names[3] = {"Caps Lock", "Num Lock", "Scroll Lock"};
    for (int i = 0; i < 3; ++i) {
      index[i] = -1;
      const Atom atom = XInternAtom(display, names[i], True);
      int found = -1;
      Bool on = False;
      if (atom != None && XkbGetNamedIndicator(display, atom, &found, &on, nullptr, nullptr)) index[i] = found;
    }
  }
  unsigned int state = 0;
  if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success) return std::nullopt;
  auto lit = [state](int i) { return index[i] >= 0 && index[i] < 32 && ((state >> index[i]) & 1u) != 0; };
  return LockKeys{lit(0), lit(1), lit(2)};
#else
  return std::nullopt;
#endif
}
