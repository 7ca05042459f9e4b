#include "shell/application.h"

#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Kestrune"));
  QApplication::setApplicationName(QStringLiteral("Varenko"));
  QApplication::setApplicationVersion(QStringLiteral(VARENKO_VERSION));

  CVarenkoApp theApp(QApplication::arguments().mid(1));
  if (!theApp.InitInstance()) {
    theApp.ExitInstance();
    return 1;
  }
  const int status = QApplication::exec();
  const int exitStatus = theApp.ExitInstance();
  return status != 0 ? status : exitStatus;
}
