#include "framework/clipboard.h"

#include "framework/prompts.h"
#include "framework/waitcursor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstdint>
#include <utility>

namespace {

class SystemClipboard : public Clipboard {
 public:
  bool SetImage(const QImage& image) override {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->setImage(image, QClipboard::Clipboard);
    // Where the platform tells whether we own the clipboard, that is the
    // answer; elsewhere the clipboard must hand the image back.
    if (clipboard->ownsClipboard()) return true;
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    return data != nullptr && data->hasImage();
  }
};

Clipboard*& InstalledClipboard() {
  static Clipboard* installed = nullptr;
  return installed;
}

}  // namespace

Clipboard& Clipboard::Current() {
  static SystemClipboard system;
  Clipboard* installed = InstalledClipboard();
  return installed != nullptr ? *installed : system;
}

void Clipboard::Install(Clipboard* clipboard) { InstalledClipboard() = clipboard; }

bool PutImageOnClipboard(QImage image) {
  if (image.isNull()) return false;
  if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
  // Pixel work may leave the fourth byte 0; other programs read it as
  // alpha, so it is set to 255. Writing detaches an image shared with its
  // owner, which keeps its own pixels; without memory for that copy
  // nothing is placed.
  uchar* bits = image.isNull() ? nullptr : image.bits();
  if (bits == nullptr) return false;
  const qsizetype stride = image.bytesPerLine();
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(bits + y * stride);
    for (int x = 0; x < image.width(); ++x) row[x] |= 0xFF000000u;
  }
  return Clipboard::Current().SetImage(image);
}

bool CopyImageToClipboard(QImage image, WaitCursor& wait) {
  if (PutImageOnClipboard(std::move(image))) return true;
  wait.Restore();
  Prompts::Current().MessageBox(QStringLiteral("Clipboard error"), MessageIcon::Error);
  return false;
}
