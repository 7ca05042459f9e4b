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
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
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
  EXPECT_EQ(texts, (QStringList{"Menu Bar", "Standard", "-", "Customize..."}));
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
