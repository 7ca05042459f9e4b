#pragma once

class QImage;
class WaitCursor;

// The clipboard the program's copy commands fill: the system's, unless a
// test installed a stand-in.
class Clipboard {
 public:
  virtual ~Clipboard() = default;

  // Places the image; false when the clipboard did not take it, in which
  // case it keeps what it held.
  virtual bool SetImage(const QImage& image) = 0;

  static Clipboard& Current();
  // Installs a clipboard (the caller keeps ownership; null restores the
  // system's).
  static void Install(Clipboard* clipboard);
};

// Puts an opaque copy of the image on the clipboard: the fourth byte of
// every pixel reads 255 there, whatever the image held. False, and the
// clipboard as it was, when there is no image, no memory for the copy, or
// the clipboard did not take it. An image handed over by moving it is made
// opaque in place instead of copied.
bool PutImageOnClipboard(QImage image);

// The copy commands' way to the clipboard: puts the image there and, when
// that fails, ends the wait cursor and says "Clipboard error".
bool CopyImageToClipboard(QImage image, WaitCursor& wait);
