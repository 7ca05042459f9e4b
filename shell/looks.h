#pragma once

#include <QPalette>
#include <QString>

// The application looks: each gives the whole user interface a style, a
// palette and a few rules for the bars, after the desktop styles people
// know (classic grey, the blue and silver office styles, and so on).
struct Look {
  QString style;  // Qt style name: "Windows" or "Fusion"
  QPalette palette;
  QString styleSheet;  // rules for menus, tool bars and the status bar
};

inline constexpr unsigned kFirstLook = 205;
inline constexpr unsigned kLastLook = 219;
inline constexpr unsigned kDefaultLook = 217;

// The look of a look id. 211 to 214 and ids outside 205 to 219 take the
// office 2007 look in its current colour scheme, which 215 to 218 set.
Look LookFor(unsigned id);

// Applies a look to the whole application at once.
void ApplyLook(unsigned id);
