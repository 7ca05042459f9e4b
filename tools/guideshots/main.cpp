// guideshots <repo-root>
// Makes the pictures of the user guide from the program itself: the main
// window with a drawing, a folder run with the frequency map, the tool bar,
// the threshold dialog, the reference chart and an outlined area before and
// after the smart selected area. Runs offscreen with settings of its own,
// so the user's settings are never touched. Writes docs/images/*.png.

#include "analysis/document.h"
#include "framework/bitmap.h"
#include "framework/prompts.h"
#include "resources/resource.h"
#include "shell/application.h"
#include "shell/mainframe.h"
#include "shell/thresholddialog.h"
#include "shell/view.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QToolBar>

#include <cstdio>

namespace {

QString g_out;

// Saves a picture as a small PNG: at most `width` pixels wide, and with a
// palette of at most 256 colours where that loses nothing visible.
void Save(QImage image, const QString& name, int width = 0, bool palette = true) {
  image = image.convertToFormat(QImage::Format_RGB32);
  if (width > 0 && image.width() > width) {
    image = image.scaledToWidth(width, Qt::SmoothTransformation);
  }
  if (palette) image = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AutoColor);
  const QString path = QDir(g_out).filePath(name);
  if (!image.save(path, "PNG", 9)) {
    std::fprintf(stderr, "guideshots: cannot write %s\n", qPrintable(path));
    std::exit(1);
  }
  std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
}

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// The main window at a size that reads well on a page.
void Place(CVarenkoApp& app) {
  CMainFrame* frame = app.MainFrame();
  frame->showNormal();
  frame->resize(1120, 500);
  Settle();
  app.View()->UpdateLayout();
  // The buttons and menu items show their state as the running program
  // shows it once it waits for input, which these pictures never do.
  frame->Actions().UpdateAll();
  Settle();
}

// The part of a drawing around its marks, with a margin.
QRect MarkedArea(QImage image, int margin) {
  image = image.convertToFormat(QImage::Format_RGB32);
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (qRed(row[x]) != qGreen(row[x]) || qGreen(row[x]) != qBlue(row[x])) box |= QRect(x, y, 1, 1);
    }
  }
  return box.adjusted(-margin, -margin, margin, margin).intersected(image.rect());
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
  QApplication qapp(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Kestrune"));
  QApplication::setApplicationName(QStringLiteral("Varenko"));
  if (argc != 2) {
    std::fprintf(stderr, "usage: guideshots <repo-root>\n");
    return 2;
  }
  const QDir root(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
  g_out = root.filePath(QStringLiteral("docs/images"));
  QDir().mkpath(g_out);
  const QString samples = root.filePath(QStringLiteral("samples"));

  // The reference chart, as a user prints it.
  QImage chart(Bitmap::ResourcePath(res::IDR_REFERENCE_CHART));
  QImage onWhite(chart.size(), QImage::Format_RGB32);
  onWhite.fill(Qt::white);
  QPainter(&onWhite).drawImage(0, 0, chart);
  Save(onWhite, QStringLiteral("reference_chart.png"), 900);

  // One drawing.
  CVarenkoApp app({QDir(samples).filePath(QStringLiteral("neck_shoulder.png"))});
  if (!app.InitInstance()) return 1;
  Place(app);
  Save(app.MainFrame()->grab().toImage(), QStringLiteral("main_window.png"), 0, false);
  QToolBar* bar = app.MainFrame()->ToolBar();
  Save(bar->grab(QRect(0, 0, bar->childrenRect().right() + 4, bar->height())).toImage(), QStringLiteral("toolbar.png"),
       0, false);

  // An outlined area without and with the smart selected area, side by side.
  CVarenkoDoc& doc = *app.Document();
  app.OpenDocumentFile(QDir(samples).filePath(QStringLiteral("outlined.png")));
  const QImage without = doc.m_vecProcessed.at(0)->Image().copy();
  doc.OnSmartArea();
  const QImage with = doc.m_vecProcessed.at(0)->Image().copy();
  doc.OnSmartArea();
  // The loop on the belly, in the front view (the left half of the chart).
  const QImage outlined(QDir(samples).filePath(QStringLiteral("outlined.png")));
  const QRect area = MarkedArea(outlined.copy(0, 0, outlined.width() / 2, outlined.height()), 60);
  QImage pair(area.width() * 2 + 40, area.height(), QImage::Format_RGB32);
  pair.fill(Qt::white);
  {
    QPainter painter(&pair);
    painter.drawImage(0, 0, without.copy(area));
    painter.drawImage(area.width() + 40, 0, with.copy(area));
  }
  Save(pair, QStringLiteral("smart_area.png"), 900);

  // A folder run, shown as the frequency map with its legend and the probe's
  // read-out at the mouse.
  {
    ScriptedPrompts prompts;
    prompts.Answer(samples);
    app.MainFrame()->SendCommand(res::ID_FILE_OPEN_FOLDER);
  }
  if (app.Document()->m_vecOriginal.size() < 2) {
    std::fprintf(stderr, "guideshots: the folder run found no drawings in %s\n", qPrintable(samples));
    return 1;
  }
  app.MainFrame()->SendCommand(res::ID_ENABLE_PROBE);
  Place(app);
  CVarenkoView* view = app.View();
  const Rect dest = view->m_layout.m_vecPanes[1]->rcDest;
  // Over the right shoulder of the front view, which most drawings mark.
  const QPoint probe(dest.left + (dest.right - dest.left) * 30 / 100, dest.top + (dest.bottom - dest.top) * 22 / 100);
  QCursor::setPos(view->mapToGlobal(probe));
  view->update();
  Settle();
  Save(app.MainFrame()->grab().toImage(), QStringLiteral("frequency_map.png"), 0, false);

  // The threshold dialog.
  {
    CDlgThreshold dialog;
    dialog.show();
    Settle();
    Save(dialog.grab().toImage(), QStringLiteral("threshold_dialog.png"), 0, false);
  }

  app.ExitInstance();
  return 0;
}
