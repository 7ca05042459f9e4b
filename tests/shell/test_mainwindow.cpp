#include "analysis/document.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/recentfiles.h"
#include "resources/resource.h"
#include "shell/application.h"
#include "shell/customizedialog.h"
#include "shell/mainframe.h"
#include "shell/view.h"
#include "tests/support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QProxyStyle>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {

constexpr int kBodyPixels = 1517036;

QString MakeDrawing(const QString& name, int w = 3508, int h = 2480) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter(&image).fillRect(850, 1000, 100, 100, Qt::red);
  return SavePng(image, name);
}

// Starts the application as main() does and ends it with the object.
struct Started {
  explicit Started(QStringList arguments = {}) : app(std::move(arguments)) {
    if ((ok = app.InitInstance())) QApplication::processEvents();
  }
  ~Started() { app.ExitInstance(); }
  CMainFrame& frame() { return *app.MainFrame(); }
  CVarenkoDoc& doc() { return *app.Document(); }
  CVarenkoApp app;
  bool ok = false;
};

// The command ids of a tool bar's buttons, 0 for a separator.
std::vector<unsigned> Buttons(QToolBar* bar) {
  std::vector<unsigned> ids;
  for (QAction* action : bar->actions()) {
    if (action->isSeparator() || action->data().isValid()) ids.push_back(action->data().toUInt());
  }
  return ids;
}

QToolButton* CustomizeButton(QToolBar* bar) {
  for (QAction* action : bar->actions()) {
    if (action->objectName() == QStringLiteral("customizeButton")) {
      return qobject_cast<QToolButton*>(bar->widgetForAction(action));
    }
  }
  return nullptr;
}

QList<QWidget*> VisibleWindows() {
  QList<QWidget*> windows;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible()) windows << widget;
  }
  return windows;
}

// One started application for the window's tests, from no settings as on
// a first run.
class MainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Profile::Instance().Settings().clear();
    started_ = new Started;
  }
  static void TearDownTestSuite() { delete started_; }
  CMainFrame& Frame() { return started_->frame(); }
  CommandActions& Actions() { return started_->frame().Actions(); }
  static Started* started_;
};
Started* MainWindow::started_ = nullptr;

TEST_F(MainWindow, StartsMaximisedAndEmptyAndEveryMenuAndDialogOpensAsItShould) {
  ASSERT_TRUE(started_->ok);
  EXPECT_EQ(VisibleWindows(), QList<QWidget*>{&Frame()});
  EXPECT_TRUE(Frame().isMaximized());
  EXPECT_EQ(started_->doc().m_nBodyPixels, kBodyPixels);
  EXPECT_TRUE(started_->doc().m_vecOriginal.empty());
  // The message pane says "Ready" except while a command's prompt shows.
  QStatusBar* status = Frame().StatusBar();
  EXPECT_EQ(status->currentMessage(), QStringLiteral("Ready"));
  QStatusTipEvent over(QStringLiteral("Open all the documents in a folder"));
  QApplication::sendEvent(&Frame(), &over);
  EXPECT_EQ(status->currentMessage(), over.tip());
  QStatusTipEvent away{QString()};
  QApplication::sendEvent(&Frame(), &away);
  EXPECT_EQ(status->currentMessage(), QStringLiteral("Ready"));

  // The keyboard's request opens the view's edit menu, with the commands
  // that have no handler greyed; a right click opens nothing.
  CVarenkoView& view = *Frame().View();
  QList<QAction*> items;
  for (auto reason : {QContextMenuEvent::Keyboard, QContextMenuEvent::Mouse}) {
    items.clear();
    QTimer::singleShot(0, [&items] {
      if (QWidget* popup = QApplication::activePopupWidget()) {
        items = popup->actions();
        popup->close();
      }
    });
    QContextMenuEvent request(reason, QPoint(50, 50), view.mapToGlobal(QPoint(50, 50)));
    QApplication::sendEvent(&view, &request);
    QApplication::processEvents();
    if (reason == QContextMenuEvent::Mouse) break;
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0], Actions().Action(res::ID_EDIT_CUT));
    EXPECT_FALSE(items[0]->isEnabled());
    EXPECT_EQ(items[1], Actions().Action(res::ID_EDIT_COPY));
    EXPECT_FALSE(items[2]->isEnabled());
  }
  EXPECT_TRUE(items.isEmpty());

  // Compare Files opens the comparison.
  QString opened;
  QTimer::singleShot(0, [&opened] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      opened = QString::fromLatin1(modal->metaObject()->className());
      modal->close();
    }
  });
  Actions().Action(res::ID_COMPARE_FILES)->trigger();
  EXPECT_EQ(opened, QStringLiteral("CDlgCompareFiles"));

  // Printing draws the view onto a page.
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(TempDir() + QStringLiteral("/view.pdf"));
  view.PrintTo(printer);
  EXPECT_GT(QFileInfo(printer.outputFileName()).size(), 1000);
}

TEST_F(MainWindow, FilesOpenFromTheMenuTheRecentListAndADrop) {
  ScriptedPrompts prompts;
  ASSERT_NE(started_->app.OpenDocumentFile(MakeDrawing(QStringLiteral("shown.png"), 30, 30)), nullptr);
  // Open File empties the document even when the user cancels.
  prompts.Answer(std::nullopt);
  Actions().Action(res::ID_FILE_OPEN)->trigger();
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].kind, ScriptedPrompts::Kind::OpenFile);
  EXPECT_TRUE(started_->doc().m_vecOriginal.empty());
  EXPECT_EQ(started_->doc().m_nBodyPixels, kBodyPixels);

  // The recent list keeps four; an entry opens its file, one whose file is
  // gone leaves the list, and the list outlives the program.
  QStringList paths;
  for (int i = 0; i < 6; ++i) {
    paths << MakeDrawing(QStringLiteral("recent%1.png").arg(i), 20, 20);
    ASSERT_NE(started_->app.OpenDocumentFile(paths.last()), nullptr);
  }
  RecentFileList& recent = *started_->app.GetRecentFileList();
  EXPECT_EQ(recent.Files(), (QStringList{paths[5], paths[4], paths[3], paths[2]}));
  QMenu* file = Frame().MenuBar()->actions().first()->menu();
  emit file->aboutToShow();
  QStringList entries;
  for (QAction* action : file->actions()) {
    if (action->isVisible() && QRegularExpression(QStringLiteral("^&[0-9] ")).match(action->text()).hasMatch()) {
      entries << action->text();
    }
  }
  ASSERT_EQ(entries.size(), 4);
  EXPECT_TRUE(entries[0].startsWith(QStringLiteral("&1 ")) && entries[0].endsWith(QStringLiteral("recent5.png")));
  EXPECT_TRUE(entries[3].startsWith(QStringLiteral("&4 ")) && entries[3].endsWith(QStringLiteral("recent2.png")));
  Frame().SendCommand(res::ID_FILE_MRU_FILE1 + 2);
  EXPECT_EQ(started_->doc().m_vecFileName, std::vector<QString>{paths[3]});
  QFile::remove(paths[2]);
  Frame().SendCommand(res::ID_FILE_MRU_FILE1 + 3);
  EXPECT_EQ(recent.Files().size(), 3);
  EXPECT_EQ(RecentFileList(Profile::Instance(), 4).Files(), recent.Files());

  const QString dropped = MakeDrawing(QStringLiteral("dropped.png"), 30, 30);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(dropped)});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Frame(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Frame(), &drop);
  EXPECT_EQ(started_->doc().m_vecFileName, std::vector<QString>{dropped});
}

double MeanDifference(const QImage& a, const QImage& b) {
  double sum = 0;
  const int w = std::min(a.width(), b.width());
  const int h = std::min(a.height(), b.height());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  }
  return sum / (3.0 * w * h);
}

TEST_F(MainWindow, LooksAreMarkedAndDrawTheirBarsApartWithButtonsThatStandOut) {
  Actions().UpdateAll();
  EXPECT_TRUE(Actions().Action(217)->isChecked());  // the first run's look
  Actions().Action(205)->trigger();
  EXPECT_TRUE(Actions().Action(205)->isChecked());
  EXPECT_FALSE(Actions().Action(217)->isChecked());
  EXPECT_EQ(Profile::Instance().GetInt(QStringLiteral("ApplicationLook"), 0), 205);

  QToolBar* bar = Frame().ToolBar();
  Frame().SendCommand(res::ID_SMART_AREA);  // a checked button
  std::map<unsigned, QImage> bars;
  for (unsigned look : {205u, 206u, 207u, 208u, 209u, 210u, 215u, 216u, 217u, 218u, 219u}) {
    Frame().OnApplicationLook(look);
    QApplication::processEvents();
    QMenu* view = Frame().MenuBar()->actions()[2]->menu();
    view->adjustSize();
    view->setActiveAction(view->actions().first());
    bars[look] = Frame().grab(QRect(0, 0, bar->geometry().right(), bar->geometry().bottom())).toImage();
    bars[look + 1000] = view->grab().toImage();
    for (QAction* action : bar->actions()) {
      QWidget* button = bar->widgetForAction(action);
      if (button == nullptr || !action->data().isValid()) continue;
      // The button as it shows when its command is enabled.
      QImage image = button->grab().toImage();
      QPainter painter(&image);
      const QPixmap icon = action->icon().pixmap(bar->iconSize());
      const QPoint at = image.rect().center() - icon.rect().center();
      painter.fillRect(QRect(at, icon.size()), image.pixel(1, image.height() / 2));
      painter.drawPixmap(at, icon);
      painter.end();
      int contrasting = 0;
      for (int y = 0; y < image.height(); ++y) {
        const int face = qGray(image.pixel(1, y));
        for (int x = 0; x < image.width(); ++x) contrasting += std::abs(qGray(image.pixel(x, y)) - face) > 96;
      }
      EXPECT_GE(contrasting, 40) << look << " " << action->toolTip().toStdString();
    }
    // The customise button draws one small dark arrow.
    if (look != 205 && look != 217) continue;
    const QImage customize = CustomizeButton(bar)->grab().toImage();
    QRect dark;
    for (int y = 0; y < customize.height(); ++y) {
      for (int x = 0; x < customize.width(); ++x) {
        if (qGray(customize.pixel(x, y)) < 100) dark |= QRect(x, y, 1, 1);
      }
    }
    EXPECT_FALSE(dark.isEmpty()) << look;
    EXPECT_LE(std::max(dark.width(), dark.height()), 10) << look;
  }
  Frame().SendCommand(res::ID_SMART_AREA);
  // Looks of one family still look apart, in their bars and menus.
  for (auto [a, b] : {std::pair{206u, 207u}, {206u, 209u}, {207u, 209u}}) {
    EXPECT_GT(MeanDifference(bars[a], bars[b]) + MeanDifference(bars[a + 1000], bars[b + 1000]), 20) << a << "/" << b;
  }
}

TEST_F(MainWindow, TheCustomizeDialogShowsHidesMakesAndResetsBars) {
  QToolBar* standard = Frame().ToolBar();
  const std::vector<unsigned> first = Buttons(standard);
  CCustomizeDialog dialog(Frame());
  dialog.show();
  QApplication::processEvents();
  // Labels with an access key name their list; every command shows whole.
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (label->text().contains(QLatin1Char('&'))) {
      EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    }
  }
  QListWidget* commands = dialog.CommandList();
  ASSERT_EQ(commands->count(), 8);
  for (int row = 0; row < commands->count(); ++row) {
    QListWidgetItem* item = commands->item(row);
    EXPECT_LE(commands->visualItemRect(item).left() + commands->iconSize().width() +
                  commands->fontMetrics().horizontalAdvance(item->text()),
              commands->viewport()->width())
        << item->text().toStdString();
  }
  // Hiding a command's button.
  ASSERT_EQ(commands->item(4)->data(Qt::UserRole).toUInt(), res::ID_ENABLE_PROBE);
  commands->item(4)->setCheckState(Qt::Unchecked);
  std::vector<unsigned> expected = first;
  std::erase(expected, res::ID_ENABLE_PROBE);
  EXPECT_EQ(Buttons(standard), expected);
  // A new bar with its own customise button takes a command.
  dialog.NewBarName()->setText(QStringLiteral("Mine"));
  dialog.OnNewToolBar();
  ASSERT_EQ(Frame().ToolBars().size(), 2);
  QToolBar* mine = Frame().ToolBars()[1];
  EXPECT_NE(CustomizeButton(mine), nullptr);
  EXPECT_EQ(dialog.BarList()->currentRow(), 1);
  commands->item(5)->setCheckState(Qt::Checked);
  EXPECT_EQ(Buttons(mine), std::vector<unsigned>{res::ID_RESULTS});
  // The bars' boxes hide and show them; Reset puts the first buttons back.
  dialog.BarList()->item(0)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(standard->isVisible());
  dialog.BarList()->item(0)->setCheckState(Qt::Checked);
  EXPECT_TRUE(standard->isVisible());
  dialog.BarList()->setCurrentRow(0);
  dialog.OnResetToolBar();
  EXPECT_EQ(Buttons(standard), first);
}

TEST_F(MainWindow, ButtonsMoveWhereDroppedAndKeepTheirPlaceWhenOneIsChecked) {
  QToolBar* bar = Frame().ToolBar();
  auto places = [bar] {
    QApplication::processEvents();
    QList<QRect> rects;
    for (QAction* action : bar->actions()) {
      if (QWidget* button = bar->widgetForAction(action)) rects << button->geometry();
    }
    return rects;
  };
  const QList<QRect> before = places();
  Frame().SendCommand(res::ID_SMART_AREA);
  Actions().UpdateAll();
  ASSERT_TRUE(Actions().Action(res::ID_SMART_AREA)->isChecked());
  EXPECT_EQ(places(), before);
  Frame().SendCommand(res::ID_SMART_AREA);

  QAction* about = Actions().Action(res::ID_APP_ABOUT);
  QAction* open = Actions().Action(res::ID_FILE_OPEN);
  QMimeData mime;
  mime.setData(QStringLiteral("application/x-varenko-toolbar-button"), QByteArray::number(res::ID_APP_ABOUT));
  const QPoint onOpen = bar->widgetForAction(open)->geometry().center();
  QDragEnterEvent enter(onOpen, Qt::MoveAction, &mime, Qt::LeftButton, Qt::AltModifier);
  QApplication::sendEvent(bar, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(onOpen, Qt::MoveAction, &mime, Qt::LeftButton, Qt::AltModifier);
  QApplication::sendEvent(bar, &drop);
  EXPECT_EQ(bar->actions().indexOf(about) + 1, bar->actions().indexOf(open));
  EXPECT_EQ(std::ranges::count(Buttons(bar), res::ID_APP_ABOUT), 1);
  Frame().ResetToolBar(bar);
}

TEST_F(MainWindow, TheQuickListTicksTheButtonsOnTheBar) {
  QToolBar* bar = Frame().ToolBar();
  bar->removeAction(Actions().Action(res::ID_ENABLE_PROBE));
  for (unsigned look : {205u, 217u}) {
    Frame().OnApplicationLook(look);
    QMenu* options = CustomizeButton(bar)->menu();
    emit options->aboutToShow();
    QMenu* list = options->actions().first()->menu()->actions().first()->menu();
    list->adjustSize();
    const QImage image = list->grab().toImage();
    // Something is drawn before the text of a ticked item, nothing before
    // that of an item without a tick.
    for (QAction* item : list->actions()) {
      if (!item->isCheckable()) continue;
      const QRect row = list->actionGeometry(item);
      const QRgb face = image.pixel(row.right() - 2, row.center().y());
      int marks = 0;
      for (int y = row.top() + 2; y < row.bottom() - 1; ++y) {
        for (int x = row.left() + 2; x < row.left() + 16; ++x) marks += image.pixel(x, y) != face;
      }
      EXPECT_EQ(marks > 0, item->isChecked()) << look << " " << item->text().toStdString();
    }
  }
  Frame().ResetToolBar(bar);
}

TEST_F(MainWindow, TheMenuBarCanNeitherBeHiddenNorDockedAtASide) {
  auto* pane = qobject_cast<QToolBar*>(Frame().MenuBar()->parentWidget());
  ASSERT_NE(pane, nullptr);
  {
    std::unique_ptr<QMenu> menu(Frame().createPopupMenu());
    for (QAction* action : menu->actions()) {
      if (action->isCheckable()) action->trigger();
    }
  }
  EXPECT_TRUE(pane->isVisibleTo(&Frame()));
  EXPECT_FALSE(pane->isAreaAllowed(Qt::LeftToolBarArea) || pane->isAreaAllowed(Qt::RightToolBarArea));
  Frame().ToolBar()->show();
}

TEST(MainWindowStart, TheDrawingNamedOnTheCommandLineFillsItsPanesLikeOneOpenedLater) {
  Profile::Instance().Settings().clear();
  const QString path = MakeDrawing(QStringLiteral("start.png"));
  Started started({path});
  ASSERT_TRUE(started.ok);
  ASSERT_EQ(started.doc().m_vecFileName, std::vector<QString>{path});
  EXPECT_EQ(started.doc().m_vecProcessed.size(), 1u);
  EXPECT_EQ(started.app.GetRecentFileList()->Files().value(0), path);
  const Rect atStart = started.frame().View()->m_layout.m_vecPanes[0]->rcDest;
  ASSERT_NE(started.app.OpenDocumentFile(path), nullptr);
  EXPECT_EQ(started.frame().View()->m_layout.m_vecPanes[0]->rcDest, atStart);
}

TEST(MainWindowStart, AFileThatIsNoImageEndsTheStartWithoutAWindowAndTheProgramWithAnError) {
  const QString notes = SaveText(QStringLiteral("notes.png"));
  {
    Started started({notes});
    EXPECT_FALSE(started.ok);
    EXPECT_EQ(started.app.GetMainWnd(), nullptr);
    EXPECT_TRUE(VisibleWindows().isEmpty());
  }
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(VARENKO_EXECUTABLE), {notes});
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_NE(program.exitCode(), 0);
}

TEST(MainWindowStart, TheNextStartBringsBackTheLookTheBarsAndTheMenuBarShownAtTheTop) {
  Profile::Instance().Settings().clear();
  std::vector<unsigned> standard;
  {
    Started started;
    started.frame().OnApplicationLook(205);
    CCustomizeDialog dialog(started.frame());
    dialog.CommandList()->item(2)->setCheckState(Qt::Unchecked);  // Compare Files
    QToolBar* extra = started.frame().CreateToolBar(QStringLiteral("Extra"));
    extra->insertAction(extra->actions().first(), started.frame().Actions().Action(res::ID_FILE_OPEN));
    standard = Buttons(started.frame().ToolBar());
    // A layout saved with the menu bar hidden at a side, as earlier
    // versions allowed.
    QToolBar* pane = qobject_cast<QToolBar*>(started.frame().MenuBar()->parentWidget());
    pane->hide();
    started.frame().addToolBar(Qt::LeftToolBarArea, pane);
  }
  {
    Started started;
    EXPECT_EQ(started.app.m_nAppLook, 205u);
    const QStyle* style = QApplication::style();
    if (const auto* proxy = qobject_cast<const QProxyStyle*>(style)) style = proxy->baseStyle();
    EXPECT_EQ(style->name().toLower(), QStringLiteral("windows"));
    EXPECT_EQ(Buttons(started.frame().ToolBar()), standard);
    ASSERT_EQ(started.frame().ToolBars().size(), 2);
    EXPECT_EQ(started.frame().ToolBars()[1]->windowTitle(), QStringLiteral("Extra"));
    EXPECT_EQ(Buttons(started.frame().ToolBars()[1]), std::vector<unsigned>{res::ID_FILE_OPEN});
    QToolBar* pane = qobject_cast<QToolBar*>(started.frame().MenuBar()->parentWidget());
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(started.frame().toolBarArea(pane), Qt::TopToolBarArea);
    EXPECT_LT(pane->geometry().bottom(), started.frame().ToolBar()->geometry().top());
  }
  // A stored look outside the menu gets no radio mark and stays stored.
  Profile::Instance().WriteInt(QStringLiteral("ApplicationLook"), 219);
  Started started;
  started.frame().Actions().UpdateAll();
  for (unsigned id = 205; id <= 218; ++id) {
    if (QAction* action = started.frame().Actions().Find(id)) {
      EXPECT_FALSE(action->isChecked()) << id;
    }
  }
  EXPECT_EQ(Profile::Instance().GetInt(QStringLiteral("ApplicationLook"), 0), 219);
}

}  // namespace
