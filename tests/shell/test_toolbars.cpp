#include "framework/profile.h"
#include "resources/resource.h"
#include "shell/application.h"
#include "shell/customizedialog.h"
#include "shell/mainframe.h"
#include "shell/view.h"
#include "tests/support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

std::vector<unsigned> Buttons(QToolBar* bar) {
  std::vector<unsigned> ids;
  for (QAction* action : bar->actions()) {
    if (action->isSeparator()) {
      ids.push_back(0);
    } else if (action->data().isValid()) {
      ids.push_back(action->data().toUInt());
    }
  }
  return ids;
}

class ToolBars : public ::testing::Test {
 protected:
  void SetUp() override {
    Profile::Instance().Settings().clear();
    app_ = std::make_unique<CVarenkoApp>();
    ASSERT_TRUE(app_->InitInstance());
  }
  void TearDown() override {
    app_->ExitInstance();
    app_.reset();
  }
  CMainFrame& Frame() { return *app_->MainFrame(); }
  std::unique_ptr<CVarenkoApp> app_;
};

const std::vector<unsigned> kStandard = {res::ID_FILE_OPEN,  res::ID_FILE_OPEN_FOLDER, 0, res::ID_COMPARE_FILES, 0,
                                         res::ID_SMART_AREA, res::ID_ENABLE_PROBE,     0, res::ID_RESULTS,       0,
                                         res::ID_APP_ABOUT,  res::ID_PROGRAM_GUIDE,    0};

TEST_F(ToolBars, TheCustomizeDialogShowsHidesMakesAndResets) {
  QToolBar* standard = Frame().ToolBar();
  ASSERT_EQ(Buttons(standard), kStandard);
  CCustomizeDialog dialog(Frame());
  ASSERT_EQ(dialog.BarList()->count(), 1);
  ASSERT_EQ(dialog.CommandList()->count(), 8);
  // Hiding a command's button.
  QListWidgetItem* probe = dialog.CommandList()->item(4);
  ASSERT_EQ(probe->data(Qt::UserRole).toUInt(), res::ID_ENABLE_PROBE);
  probe->setCheckState(Qt::Unchecked);
  std::vector<unsigned> expected = kStandard;
  expected.erase(std::find(expected.begin(), expected.end(), res::ID_ENABLE_PROBE));
  EXPECT_EQ(Buttons(standard), expected);
  // Hiding the bar itself.
  dialog.BarList()->item(0)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(standard->isVisible());
  dialog.BarList()->item(0)->setCheckState(Qt::Checked);
  EXPECT_TRUE(standard->isVisible());

  // A new bar, with its own customise button, that takes a command.
  dialog.NewBarName()->setText(QStringLiteral("Mine"));
  dialog.OnNewToolBar();
  ASSERT_EQ(Frame().ToolBars().size(), 2);
  QToolBar* mine = Frame().ToolBars()[1];
  EXPECT_EQ(mine->windowTitle(), QStringLiteral("Mine"));
  const QList<QAction*> mineActions = mine->actions();
  EXPECT_EQ(std::count_if(mineActions.begin(), mineActions.end(),
                          [](QAction* a) { return a->objectName() == QStringLiteral("customizeButton"); }),
            1);
  EXPECT_EQ(dialog.BarList()->currentRow(), 1);
  dialog.CommandList()->item(5)->setCheckState(Qt::Checked);
  EXPECT_EQ(Buttons(mine), std::vector<unsigned>{res::ID_RESULTS});

  // Reset puts the first buttons back.
  dialog.BarList()->setCurrentRow(0);
  dialog.OnResetToolBar();
  EXPECT_EQ(Buttons(standard), kStandard);
}

TEST_F(ToolBars, AButtonDroppedOnTheBarMovesThere) {
  QToolBar* bar = Frame().ToolBar();
  QAction* about = Frame().Actions().Action(res::ID_APP_ABOUT);
  QAction* open = Frame().Actions().Action(res::ID_FILE_OPEN);
  QMimeData mime;
  mime.setData(QStringLiteral("application/x-varenko-toolbar-button"), QByteArray::number(res::ID_APP_ABOUT));
  const QPoint onOpen = bar->widgetForAction(open)->geometry().center();
  QDragEnterEvent enter(onOpen, Qt::MoveAction, &mime, Qt::LeftButton, Qt::AltModifier);
  QApplication::sendEvent(bar, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(onOpen, Qt::MoveAction, &mime, Qt::LeftButton, Qt::AltModifier);
  QApplication::sendEvent(bar, &drop);
  const std::vector<unsigned> buttons = Buttons(bar);
  EXPECT_EQ(buttons.front(), res::ID_APP_ABOUT);
  EXPECT_EQ(std::count(buttons.begin(), buttons.end(), res::ID_APP_ABOUT), 1);
  EXPECT_EQ(bar->actions().indexOf(about) + 1, bar->actions().indexOf(open));
}

TEST_F(ToolBars, ButtonsAndNewBarsAreThereAtTheNextStart) {
  {
    CCustomizeDialog dialog(Frame());
    dialog.CommandList()->item(2)->setCheckState(Qt::Unchecked);  // Compare Files
    dialog.NewBarName()->setText(QStringLiteral("Extra"));
    dialog.OnNewToolBar();
    dialog.CommandList()->item(0)->setCheckState(Qt::Checked);
  }
  const std::vector<unsigned> standard = Buttons(Frame().ToolBar());
  TearDown();
  app_ = std::make_unique<CVarenkoApp>();
  ASSERT_TRUE(app_->InitInstance());
  EXPECT_EQ(Buttons(Frame().ToolBar()), standard);
  ASSERT_EQ(Frame().ToolBars().size(), 2);
  EXPECT_EQ(Frame().ToolBars()[1]->windowTitle(), QStringLiteral("Extra"));
  EXPECT_EQ(Buttons(Frame().ToolBars()[1]), std::vector<unsigned>{res::ID_FILE_OPEN});
}

TEST_F(ToolBars, ThePaneMenuListsTheBarsAndCustomize) {
  std::unique_ptr<QMenu> menu(Frame().createPopupMenu());
  QStringList texts;
  for (QAction* action : menu->actions()) texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  EXPECT_EQ(texts, (QStringList{"Standard", "-", "Customize..."}));
}

TEST_F(ToolBars, TheMenuBarStaysShownAtTheTopOrBottom) {
  auto* pane = qobject_cast<QToolBar*>(Frame().MenuBar()->parentWidget());
  ASSERT_NE(pane, nullptr);
  {
    std::unique_ptr<QMenu> menu(Frame().createPopupMenu());
    for (QAction* action : menu->actions()) {
      if (action->isCheckable()) action->trigger();
    }
  }
  EXPECT_TRUE(pane->isVisibleTo(&Frame()));
  Frame().ToolBar()->show();
  EXPECT_FALSE(pane->isAreaAllowed(Qt::LeftToolBarArea) || pane->isAreaAllowed(Qt::RightToolBarArea));

  // A layout saved with the menu bar hidden at a side, as earlier versions
  // allowed, comes back with it shown above the tool bar.
  pane->hide();
  Frame().addToolBar(Qt::LeftToolBarArea, pane);
  TearDown();
  app_ = std::make_unique<CVarenkoApp>();
  ASSERT_TRUE(app_->InitInstance());
  pane = qobject_cast<QToolBar*>(Frame().MenuBar()->parentWidget());
  QApplication::processEvents();
  EXPECT_TRUE(pane->isVisible());
  EXPECT_EQ(Frame().toolBarArea(pane), Qt::TopToolBarArea);
  EXPECT_LT(pane->geometry().bottom(), Frame().ToolBar()->geometry().top());
}

QToolButton* CustomizeButton(QToolBar* bar) {
  for (QAction* action : bar->actions()) {
    if (action->objectName() == QStringLiteral("customizeButton")) {
      return qobject_cast<QToolButton*>(bar->widgetForAction(action));
    }
  }
  return nullptr;
}

// The bounding box of the pixels darker than the button's face, and how many.
std::pair<QRect, int> DarkPixels(const QImage& image) {
  QRect box;
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) < 100) {
        box |= QRect(x, y, 1, 1);
        ++count;
      }
    }
  }
  return {box, count};
}

TEST_F(ToolBars, TheCustomizeButtonShowsOneSmallArrowInEveryLook) {
  for (unsigned look : {205u, 217u}) {
    Frame().OnApplicationLook(look);
    QApplication::processEvents();
    const auto [box, count] = DarkPixels(CustomizeButton(Frame().ToolBar())->grab().toImage());
    EXPECT_GT(count, 0) << look;
    EXPECT_LE(box.width(), 10) << look;
    EXPECT_LE(box.height(), 10) << look;
  }
}

TEST_F(ToolBars, TheQuickListTicksTheButtonsOnTheBar) {
  QToolBar* bar = Frame().ToolBar();
  bar->removeAction(Frame().Actions().Action(res::ID_ENABLE_PROBE));
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
}

TEST_F(ToolBars, ButtonsKeepTheirPlaceWhenOneIsChecked) {
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
  Frame().Actions().UpdateAll();
  ASSERT_TRUE(Frame().Actions().Action(res::ID_SMART_AREA)->isChecked());
  EXPECT_EQ(places(), before);
  Frame().SendCommand(res::ID_SMART_AREA);
}

TEST_F(ToolBars, TheCustomizeDialogShowsItsLabelsAndWholeNames) {
  CCustomizeDialog dialog(Frame());
  dialog.show();
  QApplication::processEvents();
  // An ampersand marks the access key of the list the label names.
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (label->text().contains(QLatin1Char('&'))) {
      EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    }
  }
  QListWidget* commands = dialog.CommandList();
  for (int row = 0; row < commands->count(); ++row) {
    QListWidgetItem* item = commands->item(row);
    const int needed = commands->visualItemRect(item).left() + commands->iconSize().width() +
                       commands->fontMetrics().horizontalAdvance(item->text());
    EXPECT_LE(needed, commands->viewport()->width()) << item->text().toStdString();
  }
}

TEST_F(ToolBars, PrintingDrawsTheViewOntoAPage) {
  const QString pdf = TempDir() + QStringLiteral("/view.pdf");
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  app_->View()->PrintTo(printer);
  EXPECT_GT(QFileInfo(pdf).size(), 1000);
}

}  // namespace
