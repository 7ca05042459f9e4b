#include "framework/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

bool PutImageOnClipboard(const QImage& image) {
  if (image.isNull()) return false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return false;
  clipboard->setImage(image, QClipboard::Clipboard);
  // Where the platform tells whether we own the clipboard, that is the
  // answer; elsewhere the clipboard must hand the image back.
  if (clipboard->ownsClipboard()) return true;
  const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
  return data != nullptr && data->hasImage();
}
