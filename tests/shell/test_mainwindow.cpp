#include "analysis/document.h"
#include "framework/lockkeys.h"
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
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

QString MakeDrawing(const QString& name, QSize size = {30, 30}) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  return SavePng(image, name);
}

// Starts the application as main() does and ends it with the object.
struct Started {
  explicit Started(QStringList arguments = {}) : app(std::move(arguments)) {
    if ((ok = app.InitInstance())) QApplication::processEvents();
  }
  ~Started() { app.ExitInstance(); }
  CMainFrame& frame() { return *app.MainFrame(); }
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

// The looks the View menu offers, and the Windows 7 look.
constexpr unsigned kLooks[] = {205, 206, 207, 208, 209, 210, 215, 216, 217, 218, 219};

// The mean difference of two pictures' channels over their common part.
double MeanDifference(const QImage& a, const QImage& b) {
  const QSize size = a.size().boundedTo(b.size());
  double sum = 0;
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  }
  return sum / (3.0 * size.width() * size.height());
}

QList<QWidget*> VisibleWindows() {
  QList<QWidget*> windows = QApplication::topLevelWidgets();
  windows.removeIf([](QWidget* widget) { return !widget->isVisible(); });
  return windows;
}

// One application for the window's tests, started without settings.
class MainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Profile::Instance().Settings().clear();
    started_ = new Started;
  }
  static void TearDownTestSuite() { delete started_; }
  CMainFrame& Frame() { return started_->frame(); }
  CVarenkoDoc& Doc() { return *started_->app.Document(); }
  CommandActions& Actions() { return started_->frame().Actions(); }
  static inline Started* started_ = nullptr;
};

TEST_F(MainWindow, StartsMaximisedAndEmptyAndOpensItsMenusAndDialogsWhereAsked) {
  ASSERT_TRUE(started_->ok);
  EXPECT_EQ(VisibleWindows(), QList<QWidget*>{&Frame()});
  EXPECT_TRUE(Frame().isMaximized());
  EXPECT_TRUE(Doc().m_nBodyPixels == 1517036 && Doc().m_vecOriginal.empty());
  // The keyboard opens the view's edit menu, Cut and Paste greyed; a right click nothing.
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
    ASSERT_EQ(items.size(), reason == QContextMenuEvent::Keyboard ? 3 : 0);
    EXPECT_TRUE(items.isEmpty() ||
                (items[1] == Actions().Action(res::ID_EDIT_COPY) && !items[0]->isEnabled() && !items[2]->isEnabled()));
  }
  // The lock indicators follow the keys' state, read again as a key goes down.
  auto* watcher = Frame().findChild<LockKeysWatcher*>();
  ASSERT_NE(watcher, nullptr);
  auto lit = [this] {
    QStringList on;
    for (const QLabel* label : Frame().statusBar()->findChildren<QLabel*>()) {
      if (QStringList{"CAP", "NUM", "SCRL"}.contains(label->text()) && label->isEnabled()) on << label->text();
    }
    return on;
  };
  EXPECT_TRUE(lit().isEmpty());
  for (const auto& [keys, shown] : {std::pair{LockKeys{true, false, true}, QStringList{"CAP", "SCRL"}},
                                    {LockKeys{false, true, false}, QStringList{"NUM"}},
                                    {LockKeys{}, QStringList{}}}) {
    watcher->read = [keys] { return std::optional<LockKeys>(keys); };
    QTest::keyClick(Frame().windowHandle(), Qt::Key_CapsLock);
    EXPECT_EQ(lit(), shown);
  }
  watcher->read = ReadLockKeys;
  // Compare Files opens the comparison.
  QString opened;
  QTimer::singleShot(0, [&opened] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      opened = QString::fromLatin1(modal->metaObject()->className());
      modal->close();
    }
  });
  Actions().Action(res::ID_COMPARE_FILES)->trigger();
  EXPECT_EQ(opened, "CDlgCompareFiles");
}

TEST_F(MainWindow, FilesOpenFromTheMenuTheRecentListAndADrop) {
  ScriptedPrompts prompts;
  ASSERT_NE(started_->app.OpenDocumentFile(MakeDrawing("shown.png")), nullptr);
  // Open File empties the document even when the user cancels.
  prompts.Answer(std::nullopt);
  Actions().Action(res::ID_FILE_OPEN)->trigger();
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_TRUE(Doc().m_vecOriginal.empty() && Doc().m_nBodyPixels == 1517036);
  // The recent list keeps four; an entry opens its file, a gone one leaves; the list is kept.
  QStringList paths;
  for (int i = 0; i < 6; ++i) {
    paths << MakeDrawing(QString("recent%1.png").arg(i));
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
  const QString dropped = MakeDrawing("dropped.png");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(dropped)});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Frame(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&Frame(), &drop);
  EXPECT_EQ(Doc().m_vecFileName, std::vector<QString>{dropped});
  // A path relative to the working folder, as on the command line, is kept
  // in full, as Results and their file show it.
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QFileInfo(dropped).path()));
  ASSERT_NE(started_->app.OpenDocumentFile("./dropped.png"), nullptr);
  QDir::setCurrent(previous);
  EXPECT_EQ(Doc().m_vecFileName, std::vector<QString>{dropped});
}

TEST_F(MainWindow, LooksAreMarkedAndApartAndTheCustomizeButtonShowsOneSmallArrow) {
  Actions().UpdateAll();
  EXPECT_TRUE(Actions().Action(217)->isChecked());  // the first run's look
  Actions().Action(205)->trigger();
  EXPECT_TRUE(Actions().Action(205)->isChecked() && !Actions().Action(217)->isChecked());
  EXPECT_TRUE(Actions().Action(205)->actionGroup() && Actions().Action(205)->actionGroup()->isExclusive());  // radio
  EXPECT_EQ(Profile::Instance().GetInt("ApplicationLook", 0), 205);
  // Every two looks' bars, as drawn, differ by more than 4 units a channel on average.
  std::map<unsigned, QImage> bars;
  for (unsigned look : kLooks) {
    Frame().OnApplicationLook(look);
    QApplication::processEvents();
    bars[look] = Frame().grab(QRect(0, 0, Frame().width(), Frame().View()->y())).toImage();
  }
  for (auto a = bars.begin(); a != bars.end(); ++a) {
    for (auto b = std::next(a); b != bars.end(); ++b) {
      EXPECT_GT(MeanDifference(a->second, b->second), 4.0) << a->first << "/" << b->first;
    }
  }
  // The customise button draws one small dark arrow.
  for (unsigned look : {205u, 217u}) {
    Frame().OnApplicationLook(look);
    QApplication::processEvents();
    const QImage customize = CustomizeButton(Frame().ToolBar())->grab().toImage();
    QRect dark;
    for (int y = 0; y < customize.height(); ++y) {
      for (int x = 0; x < customize.width(); ++x) {
        if (qGray(customize.pixel(x, y)) < 100) dark |= QRect(x, y, 1, 1);
      }
    }
    EXPECT_TRUE(!dark.isEmpty() && dark.width() <= 10 && dark.height() <= 10) << look;
  }
}

// The customise button's menu holds the mouse while open: closed with the
// mouse elsewhere, the button is no longer hot. Hot, its arrow shows on the
// hot face in every look.
TEST_F(MainWindow, TheCustomizeButtonIsNotLeftHotAndItsArrowShowsWhenHot) {
  QToolButton* button = CustomizeButton(Frame().ToolBar());
  for (unsigned look : kLooks) {
    Frame().OnApplicationLook(look);
    QApplication::processEvents();  // laid out in the look
    QTest::mouseMove(button);
    ASSERT_TRUE(button->underMouse());
    const QImage hot = button->grab().toImage();
    const QPoint centre = QRect(QPoint(), hot.size()).center();
    const int face = qGray(hot.pixel(centre.x(), 4));  // above the arrow
    int arrow = 0;
    for (int y = centre.y() - 4; y <= centre.y() + 4; ++y) {
      for (int x = centre.x() - 4; x <= centre.x() + 4; ++x) arrow += std::abs(qGray(hot.pixel(x, y)) - face) > 80;
    }
    EXPECT_GT(arrow, 4) << look;
  }
  Frame().OnApplicationLook(216);
  QApplication::processEvents();
  // Under X11 the open menu holds the pointer and the main window hears of no
  // leave as the mouse goes to the menu; the offscreen platform tells it one.
  struct HeldPointer : QObject {
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Leave; }
  } held;
  Frame().windowHandle()->installEventFilter(&held);
  bool opened = false;
  QTimer::singleShot(0, [&opened] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      opened = true;
      QCursor::setPos(menu->mapToGlobal(menu->rect().center()));
      QTest::keyClick(menu, Qt::Key_Escape);
    }
  });
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_TRUE(opened);
  EXPECT_FALSE(button->underMouse() || button->isDown());
  Frame().windowHandle()->removeEventFilter(&held);
  QTest::mouseMove(Frame().View());
}

TEST_F(MainWindow, TheCustomizeDialogShowsHidesMakesAndResetsBarsWhoseButtonsKeepTheirPlace) {
  QToolBar* standard = Frame().ToolBar();
  const std::vector<unsigned> first = Buttons(standard);
  CCustomizeDialog dialog(Frame());
  QListWidget* commands = dialog.CommandList();
  // Hiding a command's button; a new bar with a customise button takes one.
  ASSERT_EQ(commands->item(4)->data(Qt::UserRole).toUInt(), res::ID_ENABLE_PROBE);
  commands->item(4)->setCheckState(Qt::Unchecked);
  std::vector<unsigned> expected = first;
  std::erase(expected, res::ID_ENABLE_PROBE);
  EXPECT_EQ(Buttons(standard), expected);
  dialog.NewBarName()->setText("Mine");
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
  // Buttons keep their place when one is checked.
  auto places = [standard] {  // laid out afresh, as when the mouse passes over them
    for (QAction* action : standard->actions()) {
      QWidget* button = standard->widgetForAction(action);
      button->style()->unpolish(button);
      button->style()->polish(button);
      button->updateGeometry();
    }
    QApplication::processEvents();
    QList<QRect> rects;
    for (QAction* action : standard->actions()) rects << standard->widgetForAction(action)->geometry();
    return rects;
  };
  const QList<QRect> before = places();
  Frame().SendCommand(res::ID_SMART_AREA);
  Actions().UpdateAll();
  ASSERT_TRUE(Actions().Action(res::ID_SMART_AREA)->isChecked());
  EXPECT_EQ(places(), before);
  Frame().SendCommand(res::ID_SMART_AREA);
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
    // Something is drawn before a ticked item's text, nothing before others.
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

// The message pane shows the prompt of the command under the mouse, nothing
// for a command without one, and "Ready" once the mouse has left.
TEST_F(MainWindow, ThePromptPaneIsBlankOverACommandWithoutAPromptAndReadyAfter) {
  QStatusBar* pane = Frame().StatusBar();
  const QString open = "Open an existing document";
  QMenu* file = Frame().MenuBar()->actions().first()->menu();
  Frame().MenuBar()->setActiveAction(file->menuAction());  // opened as a click opens it
  ASSERT_EQ(QApplication::activePopupWidget(), file);
  for (const auto& [item, shown] : {std::pair{res::ID_EXPORT_REFERENCE, QString()},
                                    {res::ID_FILE_OPEN, open},
                                    {res::ID_EXPORT_REFERENCE, QString()},
                                    {0u, QString("Ready")}}) {
    file->setActiveAction(item != 0 ? Actions().Action(item) : nullptr);
    EXPECT_EQ(pane->currentMessage(), shown) << item;
  }
  file->setActiveAction(Actions().Action(res::ID_EXPORT_REFERENCE));
  file->close();
  EXPECT_EQ(pane->currentMessage(), "Ready");
  QToolBar* bar = Frame().ToolBar();
  QApplication::processEvents();
  for (const auto& [over, shown] : {std::pair{bar->widgetForAction(Actions().Action(res::ID_RESULTS)), QString()},
                                    {bar->widgetForAction(Actions().Action(res::ID_FILE_OPEN)), open},
                                    {bar->widgetForAction(Actions().Action(res::ID_RESULTS)), QString()},
                                    {static_cast<QWidget*>(Frame().View()), QString("Ready")}}) {
    QTest::mouseMove(over);
    EXPECT_EQ(pane->currentMessage(), shown) << over->metaObject()->className();
  }
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
  // Floating, it has no close button, and closed it comes back.
  pane->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  pane->show();
  QApplication::processEvents();
  EXPECT_FALSE(pane->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(pane->windowFlags() & Qt::WindowTitleHint);
  QCloseEvent close;  // as the window manager closes a window: hidden once accepted
  QApplication::sendEvent(pane, &close);
  if (close.isAccepted()) pane->hide();
  QApplication::processEvents();
  EXPECT_TRUE(pane->isVisible());
  Frame().insertToolBar(Frame().ToolBar(), pane);
  Frame().insertToolBarBreak(Frame().ToolBar());
  // A right click on the menu bar shows the bars' menu, the way back to a hidden tool bar.
  QStringList items;
  QTimer::singleShot(0, [&items] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      for (QAction* action : popup->actions()) items << action->text();
      popup->close();
    }
  });
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(300, 5), Frame().MenuBar()->mapToGlobal(QPoint(300, 5)));
  QApplication::sendEvent(Frame().MenuBar(), &click);
  QStringList bars;
  for (QToolBar* bar : Frame().ToolBars()) bars << bar->windowTitle();
  EXPECT_EQ(items, (bars + QStringList{"", "Customize..."}));
  EXPECT_EQ(bars.value(0), "Standard");
  Frame().ToolBar()->show();
}

// A dropped file is only read: whatever the source proposes, the window
// takes it as a copy, or not at all where copying is not allowed.
TEST_F(MainWindow, DroppedFilesAreTakenAsACopyOrNotAtAll) {
  const QString dropped = MakeDrawing("copied.png");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(dropped)});
  const struct {
    Qt::DropActions allowed;
    Qt::KeyboardModifiers keys;  // Shift proposes a move
    bool taken;
  } cases[] = {
      {Qt::CopyAction, Qt::NoModifier, true},
      {Qt::CopyAction | Qt::MoveAction, Qt::ShiftModifier, true},
      {Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::AltModifier, true},
      {Qt::MoveAction, Qt::ShiftModifier, false},
      {Qt::MoveAction | Qt::LinkAction, Qt::NoModifier, false},
  };
  for (const auto& drop : cases) {
    ASSERT_TRUE(started_->app.OpenDocumentFile(MakeDrawing("before.png")));
    QDragEnterEvent enter(QPoint(10, 10), drop.allowed, &mime, Qt::LeftButton, drop.keys);
    QDragMoveEvent move(QPoint(20, 20), drop.allowed, &mime, Qt::LeftButton, drop.keys);
    QDropEvent release(QPointF(20, 20), drop.allowed, &mime, Qt::LeftButton, drop.keys);
    for (QDropEvent* event : std::initializer_list<QDropEvent*>{&enter, &move, &release}) {
      QApplication::sendEvent(&Frame(), event);
      EXPECT_EQ(event->isAccepted(), drop.taken) << drop.allowed << event->type();
      if (drop.taken) {
        EXPECT_EQ(event->dropAction(), Qt::CopyAction) << drop.allowed << event->type();
      }
    }
    EXPECT_EQ(Doc().m_vecFileName.at(0).endsWith("copied.png"), drop.taken) << drop.allowed;
    EXPECT_TRUE(QFileInfo::exists(dropped));
  }
}

// A message given while no window is active, as right after a file dialog
// closes, stands over the main window.
TEST_F(MainWindow, AMessageWhileNoWindowIsActiveBelongsToTheMainWindow) {
  {
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();
  }
  QApplication::processEvents();
  ASSERT_EQ(QApplication::activeWindow(), nullptr);
  QWidget* parent = nullptr;
  QTimer::singleShot(0, [&parent] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      parent = box->parentWidget();
      box->close();
    }
  });
  Prompts::Current().MessageBox("There are no png files in this folder", MessageIcon::Error);
  EXPECT_EQ(parent, &Frame());
  Frame().activateWindow();
}

// The sample folder through the menu; meanwhile a file dropped on the window
// and one asked for by a timer reach the program between drawings: refused.
TEST_F(MainWindow, NothingOpensWhileAFolderRunWorks) {
  const QString other = SourcePath("samples/colours.png");
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
  prompts.Answer(SourcePath("samples"));
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
  std::map<QString, int> counted;
  for (size_t i = 0; i < Doc().m_vecFileName.size(); ++i)
    counted[Doc().m_vecFileName[i]] = Doc().m_vecSelectedPixels[i];
  EXPECT_EQ(counted, listed);
  EXPECT_EQ(Doc().m_vecProcessed.size(), listed.size());
}

TEST(MainWindowStart, TheDrawingNamedOnTheCommandLineFillsItsPanesLikeOneOpenedLater) {
  Profile::Instance().Settings().clear();
  const QString path = MakeDrawing("start.png", {3508, 2480});
  Started started({path});
  ASSERT_TRUE(started.ok);
  ASSERT_EQ(started.app.Document()->m_vecFileName, std::vector<QString>{path});
  EXPECT_EQ(started.app.GetRecentFileList()->Files().value(0), path);
  const Rect atStart = started.frame().View()->m_layout.m_vecPanes[0]->rcDest;
  ASSERT_NE(started.app.OpenDocumentFile(path), nullptr);
  EXPECT_EQ(started.frame().View()->m_layout.m_vecPanes[0]->rcDest, atStart);
}

TEST(MainWindowStart, AFileThatIsNoImageEndsTheStartWithoutAWindowAndTheProgramWithAnError) {
  const QString notes = SaveText("notes.png");
  {
    Started started({notes});
    EXPECT_FALSE(started.ok);
    EXPECT_TRUE(VisibleWindows().isEmpty());
  }
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(VARENKO_EXECUTABLE), {notes});
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_NE(program.exitCode(), 0);
}

// The program started under a limit on its address space, in a child
// process of its own for each limit: Open Folder's dialog is drawn and the
// sample folder chosen in it, and the run keeps every drawing or says that
// memory is short. Dialogs and the window are drawn, as on a screen. A child
// that hangs is ended by an alarm; one that aborts dies of its signal.
TEST(MainWindowStart, UnderAMemoryLimitTheFolderDialogAndARunNeverHangNorAbort) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than any of these limits allows";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::map<QString, int> listed;
  for (const SampleCount& sample : SampleCounts()) {
    if (sample.width == 3508 && sample.height == 2480) listed[sample.file] = static_cast<int>(sample.selected);
  }
  auto child = [&](long extraMb) {
    alarm(60);
    const rlim_t room = static_cast<rlim_t>(StatusKb("VmSize") + extraMb * 1024) * 1024;
    const rlimit limit{room, room};
    setrlimit(RLIMIT_AS, &limit);
    // Answers the folder dialog with the samples, and notes each message.
    QStringList told;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        dialog->grab();
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText(SourcePath("samples"));
        static_cast<QDialog*>(dialog)->accept();
      } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        told << box->text();
        box->grab();
        box->accept();
      }
    });
    answer.start(10);
    Started started;
    std::map<QString, int> counted;
    if (started.ok) {
      started.frame().grab();
      started.frame().Actions().Action(res::ID_FILE_OPEN_FOLDER)->trigger();
      started.frame().grab();
      const CVarenkoDoc& doc = *started.app.Document();
      for (size_t i = 0; i < doc.m_vecFileName.size(); ++i) {
        if (i < doc.m_vecProcessed.size() && doc.m_vecProcessed[i])
          counted[doc.m_vecFileName[i]] = doc.m_vecSelectedPixels[i];
      }
    }
    const bool every = counted == listed && told.isEmpty();
    const bool said = counted.empty() && told == QStringList{"There is not enough memory to process the images"};
    std::fprintf(stderr, "%+ld MB: %s, %zu drawings; %s\n", extraMb, started.ok ? "window" : "no window",
                 counted.size(), qPrintable(told.join("; ")));
    std::exit(!started.ok || every || said ? 0 : 1);
  };
  // Above what the process takes when it starts: from room for the window
  // and a message to room for every drawing. With less, Qt itself may find
  // no memory as it builds the folder dialog, and it does not survive that.
  for (long extraMb = 120; extraMb <= 300; extraMb += 20) {
    EXPECT_EXIT(child(extraMb), ::testing::ExitedWithCode(0), "") << extraMb << " MB";
  }
#endif
}

TEST(MainWindowStart, TheNextStartBringsBackTheLookTheBarsAndTheMenuBarShownAtTheTop) {
  Profile::Instance().Settings().clear();
  std::vector<unsigned> standard;
  {
    Started started;
    started.frame().OnApplicationLook(205);
    CCustomizeDialog(started.frame()).CommandList()->item(2)->setCheckState(Qt::Unchecked);  // Compare Files
    QToolBar* extra = started.frame().CreateToolBar("Extra");
    extra->insertAction(extra->actions().first(), started.frame().Actions().Action(res::ID_FILE_OPEN));
    standard = Buttons(started.frame().ToolBar());
    started.frame().SendCommand(res::ID_VIEW_STATUS_BAR);  // hidden
    // A layout saved with the menu bar hidden at a side, as once allowed.
    QWidget* pane = started.frame().MenuBar()->parentWidget();
    pane->hide();
    started.frame().addToolBar(Qt::LeftToolBarArea, qobject_cast<QToolBar*>(pane));
  }
  {
    Started started;
    EXPECT_EQ(started.app.m_nAppLook, 205u);
    EXPECT_FALSE(started.frame().StatusBar()->isVisible());
    EXPECT_EQ(Buttons(started.frame().ToolBar()), standard);
    ASSERT_EQ(started.frame().ToolBars().size(), 2);
    EXPECT_EQ(started.frame().ToolBars()[1]->windowTitle(), "Extra");
    EXPECT_EQ(Buttons(started.frame().ToolBars()[1]), std::vector<unsigned>{res::ID_FILE_OPEN});
    auto* pane = qobject_cast<QToolBar*>(started.frame().MenuBar()->parentWidget());
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(started.frame().toolBarArea(pane), Qt::TopToolBarArea);
    EXPECT_LT(pane->geometry().bottom(), started.frame().ToolBar()->geometry().top());
  }
}

// A new bar shows beside the others, which keep the visibility they had, in
// the window and in the dialog's boxes; the next start shows what showed.
TEST(MainWindowStart, ANewToolBarShowsAndLeavesTheOthersAsTheyWereNowAndAfterARestart) {
  Profile::Instance().Settings().clear();
  auto shown = [](CMainFrame& frame) {
    std::map<std::string, bool> bars;
    for (QToolBar* bar : frame.ToolBars()) bars[bar->windowTitle().toStdString()] = bar->isVisibleTo(&frame);
    return bars;
  };
  auto ticked = [](CCustomizeDialog& dialog) {
    std::map<std::string, bool> boxes;
    for (int i = 0; i < dialog.BarList()->count(); ++i) {
      boxes[dialog.BarList()->item(i)->text().toStdString()] = dialog.BarList()->item(i)->checkState() == Qt::Checked;
    }
    return boxes;
  };
  std::map<std::string, bool> expected{{"Standard", true}};
  {
    Started started;
    started.frame().show();
    CCustomizeDialog dialog(started.frame());
    dialog.show();
    QApplication::processEvents();
    for (const std::string name : {"", "Mine", "Later"}) {
      if (name == "Later") {  // hidden by the user first
        dialog.BarList()->item(0)->setCheckState(Qt::Unchecked);
        expected["Standard"] = false;
      }
      dialog.NewBarName()->setText(QString::fromStdString(name));
      dialog.OnNewToolBar();
      expected[name.empty() ? "Custom " + std::to_string(expected.size()) : name] = true;
      EXPECT_EQ(shown(started.frame()), expected) << name;
      EXPECT_EQ(ticked(dialog), expected) << name;
    }
    QToolBar* mine = started.frame().ToolBars()[2];
    EXPECT_EQ(started.frame().toolBarArea(mine), Qt::TopToolBarArea);
    EXPECT_FALSE(started.frame().toolBarBreak(mine));
  }
  Started started;
  EXPECT_EQ(shown(started.frame()), expected);
}

// Button lists edited by hand, without the quotes the program writes, read
// as the lists they are; what is no number is left out.
TEST(MainWindowStart, ToolBarsEditedByHandKeepTheirButtons) {
  QSettings& settings = Profile::Instance().Settings();
  settings.clear();
  settings.setValue("Workspace/ToolBar-Standard", QStringList{"57601", "abc", "0", " 32778"});
  settings.setValue("Workspace/UserToolBars", QStringList{"Mine", " too"});
  settings.setValue("Workspace/ToolBar-User:Mine, too", QStringList{"57664", "-5", "32782"});
  Started started;
  EXPECT_EQ(Buttons(started.frame().ToolBar()), (std::vector<unsigned>{res::ID_FILE_OPEN, 0, res::ID_RESULTS}));
  ASSERT_EQ(started.frame().ToolBars().size(), 2);
  EXPECT_EQ(Buttons(started.frame().ToolBars()[1]), (std::vector<unsigned>{res::ID_APP_ABOUT, res::ID_PROGRAM_GUIDE}));
}

// A floating bar is a window with its title and a button that closes it.
bool Captioned(QToolBar* bar) {
  const Qt::WindowFlags flags = bar->windowFlags();
  return bar->isWindow() && bar->isVisible() && bar->windowTitle() == "Standard" && (flags & Qt::WindowTitleHint) &&
         (flags & Qt::WindowCloseButtonHint) && !(flags & Qt::FramelessWindowHint);
}

// A tool bar left floating comes back shown, with its title, wholly on the
// screen and at the size its buttons need, also when it was saved off the
// screen and huge.
TEST(MainWindowStart, AFloatingToolBarComesBackShownOnTheScreenAtItsOwnSize) {
  Profile::Instance().Settings().clear();
  for (bool misplaced : {false, true}) {
    {
      Started started;
      QToolBar* bar = started.frame().ToolBar();
      if (!bar->isFloating()) {  // dragged away by its handle
        const QPoint handle(3, bar->height() / 2);
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, handle);
        QTest::mouseMove(bar, handle + QPoint(5, 100));
        QTest::mouseMove(bar, handle + QPoint(50, 300));
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, handle + QPoint(50, 300));
      }
      ASSERT_TRUE(bar->isFloating());
      QApplication::processEvents();
      EXPECT_TRUE(Captioned(bar)) << bar->windowFlags();
      if (misplaced) bar->setGeometry(5000, -3000, 20000, 20000);
      started.frame().close();  // then, as the program quits, the others
      QApplication::closeAllWindows();
    }
    Started started;
    QToolBar* bar = started.frame().ToolBar();
    EXPECT_TRUE(bar->isFloating() && bar->isVisible()) << misplaced;
    EXPECT_TRUE(bar->screen()->availableGeometry().contains(bar->geometry())) << misplaced;
    EXPECT_EQ(bar->size(), bar->sizeHint()) << misplaced;
    QApplication::processEvents();
    EXPECT_TRUE(Captioned(bar)) << bar->windowFlags();
    // Docked again, it is part of the window, with no title of its own.
    started.frame().addToolBar(Qt::TopToolBarArea, bar);
    QApplication::processEvents();
    EXPECT_FALSE(bar->isWindow() || bar->isHidden()) << bar->windowFlags();
  }
}

}  // namespace
