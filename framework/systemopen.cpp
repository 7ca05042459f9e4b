#include "framework/systemopen.h"

#include <QDesktopServices>

namespace {

SystemOpener& InstalledOpener() {
  static SystemOpener opener;
  return opener;
}

}  // namespace

bool OpenWithSystem(const QUrl& url) {
  if (const SystemOpener& opener = InstalledOpener()) return opener(url);
  return QDesktopServices::openUrl(url);
}

void SetSystemOpener(SystemOpener opener) { InstalledOpener() = std::move(opener); }
