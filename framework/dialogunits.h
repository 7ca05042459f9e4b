#pragma once

#include <QFont>
#include <QRect>
#include <Qt>

// Dialog layouts are given in dialog units, which scale with the dialog's
// font: a horizontal unit is a quarter of the font's average character width,
// a vertical unit an eighth of its character height.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int baseX() const { return baseX_; }
  int baseY() const { return baseY_; }

  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
  // A rectangle given as position and size in dialog units.
  QRect ToPixels(int x, int y, int width, int height) const;

  // The font of the program's dialogs: an 8-point sans serif.
  static QFont DialogFont();

 private:
  int baseX_;
  int baseY_;
};

// The window flags of a dialog of fixed size: a caption with the title and,
// when asked, the close button, and nothing else. Minimise, maximise and
// help buttons serve no such dialog and squeeze its title; the flags say so
// explicitly rather than leave the buttons to the platform's defaults.
Qt::WindowFlags FixedDialogFlags(bool closeButton = true);
