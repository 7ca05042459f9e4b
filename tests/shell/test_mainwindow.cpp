#include "analysis/document.h"
#include "framework/frame.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/recentfiles.h"
#include "resources/resource.h"
#include "shell/application.h"
#include "shell/looks.h"
#include "shell/mainframe.h"
#include "shell/view.h"
#include "tests/support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QProxyStyle>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

constexpr int kBodyPixels = 1517036;

QString MakeDrawing(const QString& name, int w = 3508, int h = 2480) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int y = 1000; y < 1100; ++y) {
    for (int x = 850; x < 950; ++x) image.setPixel(x, y, qRgb(255, 0, 0));
  }
  return SavePng(image, name);
}

// Starts the application as main() does and ends it with the test. Every
// start begins from the settings the test left, so tests that run in one
// process clear them first (see MainWindow below).
class Started {
 public:
  explicit Started(QStringList arguments = {}) : app_(std::make_unique<CVarenkoApp>(std::move(arguments))) {
    ok_ = app_->InitInstance();
    if (ok_) QApplication::processEvents();
  }
  ~Started() { app_->ExitInstance(); }
  bool ok() const { return ok_; }
  CVarenkoApp& app() { return *app_; }
  CMainFrame& frame() { return *app_->MainFrame(); }
  CVarenkoDoc& doc() { return *app_->Document(); }
  CVarenkoView& view() { return *app_->View(); }

 private:
  std::unique_ptr<CVarenkoApp> app_;
  bool ok_ = false;
};

QStringList ActionTexts(const QList<QAction*>& actions) {
  QStringList texts;
  for (QAction* action : actions) {
    if (action->isSeparator()) {
      texts << QStringLiteral("-");
    } else if (action->isVisible()) {
      texts << action->text();
    }
  }
  return texts;
}

// The name of the Qt style behind the application's look.
QString StyleName() {
  const QStyle* style = QApplication::style();
  if (const auto* proxy = qobject_cast<const QProxyStyle*>(style)) style = proxy->baseStyle();
  return style->name().toLower();
}

QMenu* TopMenu(CMainFrame& frame, const QString& title) {
  for (QAction* action : frame.MenuBar()->actions()) {
    if (action->text() == title) return action->menu();
  }
  return nullptr;
}

QMenu* SubMenu(QMenu* menu, const QString& title) {
  for (QAction* action : menu->actions()) {
    if (action->text() == title) return action->menu();
  }
  return nullptr;
}

// Each test starts with no settings, as on a first run.
class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override { Profile::Instance().Settings().clear(); }
};

QList<QWidget*> VisibleWindows() {
  QList<QWidget*> windows;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible()) windows << widget;
  }
  return windows;
}

TEST_F(MainWindow, StartsMaximisedWithAnEmptyDocument) {
  Started started;
  ASSERT_TRUE(started.ok());
  EXPECT_EQ(VisibleWindows(), QList<QWidget*>{&started.frame()});
  EXPECT_TRUE(started.frame().isMaximized());
  EXPECT_EQ(started.frame().windowTitle(), QStringLiteral("Varenko"));
  EXPECT_EQ(started.doc().m_nBodyPixels, kBodyPixels);
  EXPECT_TRUE(started.doc().m_vecOriginal.empty());
  EXPECT_EQ(started.doc().m_pView, &started.view());
  EXPECT_TRUE(started.frame().acceptDrops());
}

TEST_F(MainWindow, StartsWithTheDrawingNamedOnTheCommandLine) {
  const QString path = MakeDrawing(QStringLiteral("start.png"));
  Started started({path});
  ASSERT_TRUE(started.ok());
  EXPECT_EQ(started.doc().m_nBodyPixels, kBodyPixels);
  ASSERT_EQ(started.doc().m_vecFileName, std::vector<QString>{path});
  EXPECT_EQ(started.doc().m_vecProcessed.size(), 1u);
  EXPECT_EQ(started.frame().windowTitle(), QStringLiteral("Varenko"));
  EXPECT_EQ(started.app().GetRecentFileList()->Files().value(0), path);
}

TEST_F(MainWindow, ADrawingNamedAtStartFillsItsPanesLikeOneOpenedLater) {
  const QString path = MakeDrawing(QStringLiteral("fit.png"));
  Started started({path});
  ASSERT_TRUE(started.ok());
  const Rect atStart = started.view().m_layout.m_vecPanes[0]->rcDest;
  ASSERT_NE(started.app().OpenDocumentFile(path), nullptr);
  EXPECT_EQ(started.view().m_layout.m_vecPanes[0]->rcDest, atStart);
}

TEST_F(MainWindow, AFileThatIsNoImageEndsTheStartWithoutAWindow) {
  Started started({SaveText(QStringLiteral("notes.png"))});
  EXPECT_FALSE(started.ok());
  EXPECT_EQ(started.app().GetMainWnd(), nullptr);
  EXPECT_TRUE(VisibleWindows().isEmpty());
}

TEST_F(MainWindow, TheProgramExitsWithAnErrorForAFileThatIsNoImage) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(VARENKO_EXECUTABLE), {SaveText(QStringLiteral("notes.png"))});
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_NE(program.exitCode(), 0);
}

TEST_F(MainWindow, MenusAsTheUserSeesThem) {
  Started started;
  CMainFrame& frame = started.frame();
  EXPECT_EQ(ActionTexts(frame.MenuBar()->actions()), (QStringList{"&File", "&Edit", "&View", "&Options", "&Help"}));
  EXPECT_EQ(ActionTexts(TopMenu(frame, "&File")->actions()),
            (QStringList{"&Open File...\tCtrl+O", "Open &Folder...\tCtrl+Shift+O", "-", "Compare Files...", "-",
                         "&Export Reference Image...", "-", "Recent File", "-", "E&xit"}));
  EXPECT_EQ(ActionTexts(TopMenu(frame, "&Edit")->actions()), (QStringList{"&Copy\tCtrl+C"}));
  QMenu* view = TopMenu(frame, "&View");
  EXPECT_EQ(ActionTexts(view->actions()),
            (QStringList{"&Toolbars and Docking Windows", "&Status Bar", "&Application Look", "-", "&Results"}));
  QMenu* looks = SubMenu(view, "&Application Look");
  EXPECT_EQ(ActionTexts(looks->actions()), (QStringList{"Windows &2000", "Office &XP", "&Windows XP", "Office 200&3",
                                                        "Visual Studio 200&5", "Visual Studio 200&8", "Office 200&7"}));
  EXPECT_EQ(ActionTexts(SubMenu(looks, "Office 200&7")->actions()),
            (QStringList{"&Blue Style", "B&lack Style", "&Silver Style", "&Aqua Style"}));
  EXPECT_EQ(ActionTexts(TopMenu(frame, "&Options")->actions()),
            (QStringList{"&Use Smart Selected Area Calculations", "&Enable Probe Tool", "-", "&Set CS Threshold..."}));
  EXPECT_EQ(ActionTexts(TopMenu(frame, "&Help")->actions()),
            (QStringList{"&About Varenko...", "-", "&Program's Guide..."}));

  // The bar list of the View menu, filled when it opens.
  QMenu* bars = SubMenu(view, "&Toolbars and Docking Windows");
  emit bars->aboutToShow();
  EXPECT_EQ(ActionTexts(bars->actions()), (QStringList{"Standard", "-", "Customize..."}));
}

TEST_F(MainWindow, ToolBarButtonsShortcutsAndPrompts) {
  Started started;
  CMainFrame& frame = started.frame();
  QToolBar* bar = frame.ToolBar();
  EXPECT_EQ(bar->windowTitle(), QStringLiteral("Standard"));
  QStringList tips;
  for (QAction* action : bar->actions()) {
    if (action->isSeparator()) {
      tips << QStringLiteral("-");
    } else if (action->data().isValid()) {
      tips << action->toolTip();
    } else {
      tips << QStringLiteral("[customize]");
    }
  }
  EXPECT_EQ(tips, (QStringList{"Open", "Open Folder", "-", "Compare files", "-", "Use Smart Selected Area Calculations",
                               "Enable Probe Tool", "-", "View Results", "-", "About", "Program's Guide", "-",
                               "[customize]"}));
  for (QAction* action : bar->actions()) {
    if (action->data().isValid()) {
      EXPECT_FALSE(action->icon().isNull()) << action->toolTip().toStdString();
    }
  }

  CommandActions& actions = frame.Actions();
  EXPECT_EQ(actions.Action(res::ID_FILE_OPEN)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
  EXPECT_EQ(actions.Action(res::ID_FILE_OPEN_FOLDER)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+O")));
  EXPECT_EQ(actions.Action(res::ID_EDIT_COPY)->shortcuts(),
            (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+C")), QKeySequence(QStringLiteral("Ctrl+Ins"))}));
  EXPECT_EQ(actions.Action(res::ID_NEXT_PANE)->shortcut(), QKeySequence(QStringLiteral("F6")));
  EXPECT_EQ(actions.Action(res::ID_PREV_PANE)->shortcut(), QKeySequence(QStringLiteral("Shift+F6")));
  // Commands without a handler are greyed.
  EXPECT_FALSE(actions.Action(res::ID_NEXT_PANE)->isEnabled());
  EXPECT_FALSE(actions.Action(res::ID_EDIT_CUT)->isEnabled());
  EXPECT_FALSE(actions.Action(res::ID_EDIT_PASTE)->isEnabled());
  EXPECT_TRUE(actions.Action(res::ID_FILE_OPEN)->isEnabled());
  // The application's own commands are there.
  for (unsigned id : {res::ID_COMPARE_FILES, res::ID_EXPORT_REFERENCE, res::ID_PROGRAM_GUIDE, res::ID_APP_ABOUT}) {
    EXPECT_TRUE(actions.Action(id)->isEnabled()) << id;
  }
  // Compare Files opens the comparison.
  QString opened;
  QTimer::singleShot(0, [&opened] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    opened = QString::fromLatin1(modal->metaObject()->className());
    modal->close();
  });
  actions.Action(res::ID_COMPARE_FILES)->trigger();
  EXPECT_EQ(opened, QStringLiteral("CDlgCompareFiles"));

  // The message pane: "Ready", a command's prompt while it is under the
  // mouse, "Ready" again afterwards.
  QStatusBar* status = frame.StatusBar();
  EXPECT_EQ(status->currentMessage(), QStringLiteral("Ready"));
  QStatusTipEvent over(actions.Action(res::ID_FILE_OPEN_FOLDER)->statusTip());
  QApplication::sendEvent(&frame, &over);
  EXPECT_EQ(status->currentMessage(), QStringLiteral("Open all the documents in a folder"));
  QStatusTipEvent away{QString()};
  QApplication::sendEvent(&frame, &away);
  EXPECT_EQ(status->currentMessage(), QStringLiteral("Ready"));
  EXPECT_EQ(actions.Action(res::ID_FILE_OPEN)->statusTip(), QStringLiteral("Open an existing document"));
  EXPECT_EQ(actions.Action(res::ID_APP_EXIT)->statusTip(),
            QStringLiteral("Quit the application; prompts to save documents"));
  EXPECT_EQ(status->findChildren<QLabel*>().size(), 3);
}

TEST_F(MainWindow, OpenFileThenCancelLeavesAnEmptyDocument) {
  Started started({MakeDrawing(QStringLiteral("shown.png"))});
  ASSERT_EQ(started.doc().m_vecOriginal.size(), 1u);
  ScriptedPrompts prompts;
  prompts.Answer(std::nullopt);
  started.frame().Actions().Action(res::ID_FILE_OPEN)->trigger();
  ASSERT_EQ(prompts.records().size(), 1u);
  EXPECT_EQ(prompts.records()[0].kind, ScriptedPrompts::Kind::OpenFile);
  EXPECT_TRUE(prompts.records()[0].options.filter.contains(QStringLiteral("*")));
  EXPECT_TRUE(started.doc().m_vecOriginal.empty());
  EXPECT_EQ(started.doc().m_nBodyPixels, kBodyPixels);

  const QString next = MakeDrawing(QStringLiteral("next.png"));
  prompts.Answer(next);
  started.frame().Actions().Action(res::ID_FILE_OPEN)->trigger();
  EXPECT_EQ(started.doc().m_vecFileName, std::vector<QString>{next});
}

TEST_F(MainWindow, TheRecentFileListKeepsFour) {
  Started started;
  QStringList paths;
  for (int i = 0; i < 6; ++i) {
    paths << MakeDrawing(QStringLiteral("recent%1.png").arg(i), 20, 20);
    ASSERT_NE(started.app().OpenDocumentFile(paths.last()), nullptr);
  }
  const QStringList expected{paths[5], paths[4], paths[3], paths[2]};
  EXPECT_EQ(started.app().GetRecentFileList()->Files(), expected);
  QMenu* file = TopMenu(started.frame(), "&File");
  emit file->aboutToShow();
  const QStringList texts = ActionTexts(file->actions());
  EXPECT_FALSE(texts.contains(QStringLiteral("Recent File")));
  const QStringList entries = texts.filter(QRegularExpression(QStringLiteral("^&[0-9] ")));
  ASSERT_EQ(entries.size(), 4);
  EXPECT_TRUE(entries[0].startsWith(QStringLiteral("&1 ")) && entries[0].endsWith(QStringLiteral("recent5.png")));
  EXPECT_TRUE(entries[3].startsWith(QStringLiteral("&4 ")) && entries[3].endsWith(QStringLiteral("recent2.png")));

  // An entry opens its file; one whose file is gone leaves the list.
  started.frame().SendCommand(res::ID_FILE_MRU_FILE1 + 2);
  EXPECT_EQ(started.doc().m_vecFileName, std::vector<QString>{paths[3]});
  QFile::remove(paths[2]);
  ScriptedPrompts prompts;
  started.frame().SendCommand(res::ID_FILE_MRU_FILE1 + 3);
  EXPECT_EQ(started.app().GetRecentFileList()->Files().size(), 3);
  // The list outlives the program.
  EXPECT_EQ(RecentFileList(Profile::Instance(), 4).Files(), started.app().GetRecentFileList()->Files());
}

TEST_F(MainWindow, LooksAreStoredMarkedAndUsedAtTheNextStart) {
  Profile::Instance().WriteInt(QStringLiteral("ApplicationLook"), 217);
  {
    Started started;
    CommandActions& actions = started.frame().Actions();
    actions.UpdateAll();
    EXPECT_TRUE(actions.Action(217)->isChecked());
    started.frame().Actions().Action(205)->trigger();
    EXPECT_EQ(Profile::Instance().GetInt(QStringLiteral("ApplicationLook"), 0), 205);
    EXPECT_EQ(started.app().m_nAppLook, 205u);
    EXPECT_TRUE(actions.Action(205)->isChecked());
    EXPECT_FALSE(actions.Action(217)->isChecked());
    EXPECT_EQ(StyleName(), QStringLiteral("windows"));
  }
  {
    Started started;
    EXPECT_EQ(started.app().m_nAppLook, 205u);
    EXPECT_EQ(StyleName(), QStringLiteral("windows"));
  }
  // A stored look outside the menu: no radio mark, written back unchanged.
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

TEST_F(MainWindow, EveryLookIsItsOwn) {
  const unsigned ids[] = {205, 206, 207, 208, 209, 210, 215, 216, 217, 218, 219};
  for (unsigned a : ids) {
    for (unsigned b : ids) {
      if (a >= b) continue;
      const Look la = LookFor(a);
      const Look lb = LookFor(b);
      EXPECT_TRUE(la.style != lb.style || la.styleSheet != lb.styleSheet ||
                  la.palette.color(QPalette::Window) != lb.palette.color(QPalette::Window))
          << a << " and " << b;
    }
  }
  // 211 to 214 and unknown ids follow the office scheme chosen last.
  LookFor(216);
  EXPECT_EQ(LookFor(212).styleSheet, LookFor(216).styleSheet);
  EXPECT_EQ(LookFor(4711).styleSheet, LookFor(216).styleSheet);
}

// The menu bar and tool bar with a checked button, and the View menu with
// its first item selected, as a look draws them.
std::pair<QImage, QImage> BarsAndMenu(CMainFrame& frame, unsigned look) {
  frame.OnApplicationLook(look);
  QApplication::processEvents();
  QToolBar* bar = frame.ToolBar();
  const QImage bars = frame.grab(QRect(0, 0, bar->geometry().right(), bar->geometry().bottom())).toImage();
  QMenu* view = TopMenu(frame, "&View");
  view->adjustSize();
  view->setActiveAction(view->actions().first());
  return {bars, view->grab().toImage()};
}

double MeanDifference(const QImage& a, const QImage& b) {
  const int w = std::min(a.width(), b.width());
  const int h = std::min(a.height(), b.height());
  double sum = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  }
  return sum / (3.0 * w * h);
}

TEST_F(MainWindow, LooksOfOneFamilyStillLookApart) {
  Started started;
  started.frame().SendCommand(res::ID_SMART_AREA);
  std::map<unsigned, std::pair<QImage, QImage>> shots;
  for (unsigned look : {206u, 207u, 209u}) shots[look] = BarsAndMenu(started.frame(), look);
  for (auto [a, b] : {std::pair{206u, 207u}, std::pair{206u, 209u}, std::pair{207u, 209u}}) {
    EXPECT_GT(MeanDifference(shots[a].first, shots[b].first) + MeanDifference(shots[a].second, shots[b].second), 20)
        << a << " and " << b;
  }
  started.frame().SendCommand(res::ID_SMART_AREA);
}

TEST_F(MainWindow, EveryButtonStandsOutOnEveryLooksBar) {
  Started started;
  QToolBar* bar = started.frame().ToolBar();
  for (unsigned look : {205u, 206u, 207u, 208u, 209u, 210u, 215u, 216u, 217u, 218u, 219u}) {
    started.frame().OnApplicationLook(look);
    QApplication::processEvents();
    for (QAction* action : bar->actions()) {
      QWidget* button = bar->widgetForAction(action);
      if (button == nullptr || !action->data().isValid()) continue;
      // The button as it shows when its command is enabled.
      QImage image = button->grab().toImage();
      QPainter painter(&image);
      const QPixmap icon = action->icon().pixmap(bar->iconSize());
      painter.fillRect(QRect(QPoint(), icon.size()).translated(image.rect().center() - icon.rect().center()),
                       image.pixel(1, image.height() / 2));
      painter.drawPixmap(image.rect().center() - icon.rect().center(), icon);
      painter.end();
      int contrasting = 0;
      for (int y = 0; y < image.height(); ++y) {
        const int face = qGray(image.pixel(1, y));
        for (int x = 0; x < image.width(); ++x) contrasting += std::abs(qGray(image.pixel(x, y)) - face) > 96;
      }
      EXPECT_GE(contrasting, 40) << look << " " << action->toolTip().toStdString();
    }
  }
}

TEST_F(MainWindow, ADroppedFileOpens) {
  Started started;
  const QString path = MakeDrawing(QStringLiteral("dropped.png"), 30, 30);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&started.frame(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&started.frame(), &drop);
  EXPECT_EQ(started.doc().m_vecFileName, std::vector<QString>{path});
}

}  // namespace
