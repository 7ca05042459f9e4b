#include "analysis/document.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/recentfiles.h"
#include "resources/resource.h"
#include "shell/application.h"
#include "shell/customizedialog.h"
#include "shell/looks.h"
#include "shell/mainframe.h"
#include "shell/view.h"
#include "tests/support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

QString MakeDrawing(const QString& name, QSize size = {30, 30}) {
  QImage image(size, QImage::Format_RGB32);
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

// The button that opens a bar's options stays at its end.
QToolButton* CustomizeButton(QToolBar* bar) {
  return qobject_cast<QToolButton*>(bar->widgetForAction(bar->actions().last()));
}

QList<QWidget*> VisibleWindows() {
  QList<QWidget*> windows = QApplication::topLevelWidgets();
  windows.removeIf([](QWidget* widget) { return !widget->isVisible(); });
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
  CVarenkoDoc& Doc() { return started_->doc(); }
  CommandActions& Actions() { return started_->frame().Actions(); }
  static inline Started* started_ = nullptr;
};

TEST_F(MainWindow, StartsMaximisedAndEmptyAndOpensItsMenusAndDialogsWhereAsked) {
  ASSERT_TRUE(started_->ok);
  EXPECT_EQ(VisibleWindows(), QList<QWidget*>{&Frame()});
  EXPECT_TRUE(Frame().isMaximized());
  EXPECT_EQ(Doc().m_nBodyPixels, 1517036);
  EXPECT_TRUE(Doc().m_vecOriginal.empty());
  // The keyboard's request opens the view's edit menu, the commands without
  // a handler greyed; a right click opens nothing.
  for (auto reason : {QContextMenuEvent::Keyboard, QContextMenuEvent::Mouse}) {
    QList<QAction*> items;
    QTimer::singleShot(0, [&items] {
      if (QWidget* popup = QApplication::activePopupWidget()) {
        items = popup->actions();
        popup->close();
      }
    });
    QContextMenuEvent request(reason, QPoint(50, 50), Frame().View()->mapToGlobal(QPoint(50, 50)));
    QApplication::sendEvent(Frame().View(), &request);
    QApplication::processEvents();
    if (reason == QContextMenuEvent::Mouse) {
      EXPECT_TRUE(items.isEmpty());
      continue;
    }
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[1], Actions().Action(res::ID_EDIT_COPY));
    EXPECT_FALSE(items[0]->isEnabled() || items[2]->isEnabled());
  }
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
}

TEST_F(MainWindow, FilesOpenFromTheMenuTheRecentListAndADrop) {
  ScriptedPrompts prompts;
  ASSERT_NE(started_->app.OpenDocumentFile(MakeDrawing(QStringLiteral("shown.png"))), nullptr);
  // Open File empties the document even when the user cancels.
  prompts.Answer(std::nullopt);
  Actions().Action(res::ID_FILE_OPEN)->trigger();
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_TRUE(Doc().m_vecOriginal.empty());
  EXPECT_EQ(Doc().m_nBodyPixels, 1517036);
  // The recent list keeps four; an entry opens its file, one whose file is
  // gone leaves the list, and the list outlives the program.
  QStringList paths;
  for (int i = 0; i < 6; ++i) {
    paths << MakeDrawing(QStringLiteral("recent%1.png").arg(i));
    ASSERT_NE(started_->app.OpenDocumentFile(paths.last()), nullptr);
  }
  RecentFileList& recent = *started_->app.GetRecentFileList();
  EXPECT_EQ(recent.Files(), (QStringList{paths[5], paths[4], paths[3], paths[2]}));
  Frame().SendCommand(res::ID_FILE_MRU_FILE1 + 2);
  EXPECT_EQ(Doc().m_vecFileName, std::vector<QString>{paths[3]});
  QFile::remove(paths[2]);
  Frame().SendCommand(res::ID_FILE_MRU_FILE1 + 3);
  EXPECT_EQ(recent.Files().size(), 3);
  EXPECT_EQ(RecentFileList(Profile::Instance(), 4).Files(), recent.Files());

  const QString dropped = MakeDrawing(QStringLiteral("dropped.png"));
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(dropped)});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Frame(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Frame(), &drop);
  EXPECT_EQ(Doc().m_vecFileName, std::vector<QString>{dropped});
}

TEST_F(MainWindow, LooksAreMarkedApartAndShowEveryButton) {
  Actions().UpdateAll();
  EXPECT_TRUE(Actions().Action(217)->isChecked());  // the first run's look
  Actions().Action(205)->trigger();
  EXPECT_TRUE(Actions().Action(205)->isChecked() && !Actions().Action(217)->isChecked());
  EXPECT_EQ(Profile::Instance().GetInt(QStringLiteral("ApplicationLook"), 0), 205);
  for (auto [a, b] : {std::pair{206u, 207u}, {206u, 209u}, {207u, 209u}}) {
    const Look la = LookFor(a), lb = LookFor(b);  // of one family, still apart
    EXPECT_TRUE(la.style != lb.style || la.styleSheet != lb.styleSheet || la.palette != lb.palette) << a << "/" << b;
  }

  QToolBar* bar = Frame().ToolBar();
  for (unsigned look : {205u, 206u, 207u, 208u, 209u, 210u, 215u, 216u, 217u, 218u, 219u}) {
    Frame().OnApplicationLook(look);
    QApplication::processEvents();
    for (QAction* action : bar->actions()) {
      QWidget* button = bar->widgetForAction(action);
      if (button == nullptr || !action->data().isValid()) continue;
      // The button as it shows when its command is enabled stands out of
      // the bar.
      QImage image = button->grab().toImage();
      const QPixmap icon = action->icon().pixmap(bar->iconSize());
      const QPoint at = image.rect().center() - icon.rect().center();
      QPainter painter(&image);
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
    EXPECT_TRUE(!dark.isEmpty() && dark.width() <= 10 && dark.height() <= 10) << look;
  }
}

TEST_F(MainWindow, TheCustomizeDialogShowsHidesMakesAndResetsBars) {
  QToolBar* standard = Frame().ToolBar();
  const std::vector<unsigned> first = Buttons(standard);
  CCustomizeDialog dialog(Frame());
  dialog.show();
  QApplication::processEvents();
  // Labels name their lists; every command shows whole.
  for (QLabel* label : dialog.findChildren<QLabel*>()) EXPECT_NE(label->buddy(), nullptr);
  QListWidget* commands = dialog.CommandList();
  for (int row = 0; row < commands->count(); ++row) {
    const QListWidgetItem* item = commands->item(row);
    EXPECT_LE(commands->visualItemRect(item).left() + commands->iconSize().width() +
                  commands->fontMetrics().horizontalAdvance(item->text()),
              commands->viewport()->width());
  }
  // Hiding a command's button; a new bar with its own customise button
  // takes one.
  ASSERT_EQ(commands->item(4)->data(Qt::UserRole).toUInt(), res::ID_ENABLE_PROBE);
  commands->item(4)->setCheckState(Qt::Unchecked);
  std::vector<unsigned> expected = first;
  std::erase(expected, res::ID_ENABLE_PROBE);
  EXPECT_EQ(Buttons(standard), expected);
  dialog.NewBarName()->setText(QStringLiteral("Mine"));
  dialog.OnNewToolBar();
  ASSERT_EQ(Frame().ToolBars().size(), 2);
  QToolBar* mine = Frame().ToolBars()[1];
  EXPECT_NE(CustomizeButton(mine)->menu(), nullptr);
  commands->item(5)->setCheckState(Qt::Checked);
  EXPECT_EQ(Buttons(mine), std::vector<unsigned>{res::ID_RESULTS});
  // The bars' boxes hide and show them; Reset puts the first buttons back.
  for (Qt::CheckState state : {Qt::Unchecked, Qt::Checked}) {
    dialog.BarList()->item(0)->setCheckState(state);
    EXPECT_EQ(standard->isVisible(), state == Qt::Checked);
  }
  dialog.BarList()->setCurrentRow(0);
  dialog.OnResetToolBar();
  EXPECT_EQ(Buttons(standard), first);
}

TEST_F(MainWindow, ButtonsKeepTheirPlaceWhenOneIsCheckedAndMoveWhereDropped) {
  QToolBar* bar = Frame().ToolBar();
  auto places = [bar] {
    QApplication::processEvents();
    QList<QRect> rects;
    for (QAction* action : bar->actions()) rects << bar->widgetForAction(action)->geometry();
    return rects;
  };
  const QList<QRect> before = places();
  Frame().SendCommand(res::ID_SMART_AREA);
  Actions().UpdateAll();
  ASSERT_TRUE(Actions().Action(res::ID_SMART_AREA)->isChecked());
  EXPECT_EQ(places(), before);
  Frame().SendCommand(res::ID_SMART_AREA);

  QMimeData mime;
  mime.setData(QStringLiteral("application/x-varenko-toolbar-button"), QByteArray::number(res::ID_APP_ABOUT));
  const QPoint onOpen = bar->widgetForAction(Actions().Action(res::ID_FILE_OPEN))->geometry().center();
  QDragEnterEvent enter(onOpen, Qt::MoveAction, &mime, Qt::LeftButton, Qt::AltModifier);
  QApplication::sendEvent(bar, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(onOpen, Qt::MoveAction, &mime, Qt::LeftButton, Qt::AltModifier);
  QApplication::sendEvent(bar, &drop);
  EXPECT_EQ(Buttons(bar).front(), res::ID_APP_ABOUT);
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
  std::unique_ptr<QMenu> menu(Frame().createPopupMenu());
  for (QAction* action : menu->actions()) {
    if (action->isCheckable()) action->trigger();
  }
  EXPECT_TRUE(pane->isVisibleTo(&Frame()));
  EXPECT_FALSE(pane->isAreaAllowed(Qt::LeftToolBarArea) || pane->isAreaAllowed(Qt::RightToolBarArea));
  Frame().ToolBar()->show();
}

// The sample folder through the menu command. While the run works, another
// program drops a file on the window and a timer asks for a file to be
// opened; both reach the program between drawings and are refused.
TEST_F(MainWindow, NothingOpensWhileAFolderRunWorks) {
  const QString other = SourcePath(QStringLiteral("samples/colours.png"));
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(other)});
  int tries = 0;
  bool refused = true;
  QTimer meddler;
  QObject::connect(&meddler, &QTimer::timeout, [&] {
    if (!Doc().IsRunning()) return;
    ++tries;
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Frame(), &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Frame(), &drop);
    refused = refused && !enter.isAccepted() && started_->app.OpenDocumentFile(other) == nullptr;
  });
  meddler.start(0);
  ScriptedPrompts prompts;
  prompts.Answer(SourcePath(QStringLiteral("samples")));
  Actions().Action(res::ID_FILE_OPEN_FOLDER)->trigger();
  meddler.stop();
  EXPECT_GT(tries, 0);
  EXPECT_TRUE(refused);
  EXPECT_TRUE(prompts.Messages().isEmpty());
  EXPECT_FALSE(started_->app.GetRecentFileList()->Files().contains(other));
  // Every drawing of the chart's size, with the count the samples list.
  std::map<QString, int> listed;
  for (const SampleCount& sample : SampleCounts()) {
    if (sample.width == 3508 && sample.height == 2480) listed[sample.file] = static_cast<int>(sample.selected);
  }
  ASSERT_EQ(Doc().m_vecFileName.size(), listed.size());
  ASSERT_EQ(Doc().m_vecProcessed.size(), listed.size());
  for (size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(Doc().m_vecSelectedPixels[i], listed[Doc().m_vecFileName[i]]) << Doc().m_vecFileName[i].toStdString();
  }
}

TEST(MainWindowStart, TheDrawingNamedOnTheCommandLineFillsItsPanesLikeOneOpenedLater) {
  Profile::Instance().Settings().clear();
  const QString path = MakeDrawing(QStringLiteral("start.png"), {3508, 2480});
  Started started({path});
  ASSERT_TRUE(started.ok);
  ASSERT_EQ(started.doc().m_vecFileName, std::vector<QString>{path});
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
    CCustomizeDialog(started.frame()).CommandList()->item(2)->setCheckState(Qt::Unchecked);  // Compare Files
    QToolBar* extra = started.frame().CreateToolBar(QStringLiteral("Extra"));
    extra->insertAction(extra->actions().first(), started.frame().Actions().Action(res::ID_FILE_OPEN));
    standard = Buttons(started.frame().ToolBar());
    // A layout saved with the menu bar hidden at a side, as earlier
    // versions allowed.
    QWidget* pane = started.frame().MenuBar()->parentWidget();
    pane->hide();
    started.frame().addToolBar(Qt::LeftToolBarArea, qobject_cast<QToolBar*>(pane));
  }
  {
    Started started;
    EXPECT_EQ(started.app.m_nAppLook, 205u);
    EXPECT_EQ(Buttons(started.frame().ToolBar()), standard);
    ASSERT_EQ(started.frame().ToolBars().size(), 2);
    EXPECT_EQ(started.frame().ToolBars()[1]->windowTitle(), QStringLiteral("Extra"));
    EXPECT_EQ(Buttons(started.frame().ToolBars()[1]), std::vector<unsigned>{res::ID_FILE_OPEN});
    auto* pane = qobject_cast<QToolBar*>(started.frame().MenuBar()->parentWidget());
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(started.frame().toolBarArea(pane), Qt::TopToolBarArea);
    EXPECT_LT(pane->geometry().bottom(), started.frame().ToolBar()->geometry().top());
  }
  // A stored look outside the menu gets no radio mark and stays stored.
  Profile::Instance().WriteInt(QStringLiteral("ApplicationLook"), 219);
  Started started;
  started.frame().Actions().UpdateAll();
  for (unsigned id = 205; id <= 218; ++id) {
    const QAction* action = started.frame().Actions().Find(id);
    EXPECT_FALSE(action != nullptr && action->isChecked()) << id;
  }
  EXPECT_EQ(Profile::Instance().GetInt(QStringLiteral("ApplicationLook"), 0), 219);
}

}  // namespace
