#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Kestrune"));
  QApplication::setApplicationName(QStringLiteral("Varenko"));
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Varenko"));
  window.showMaximized();
  return app.exec();
}
