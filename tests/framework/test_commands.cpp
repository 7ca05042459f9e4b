#include "framework/commands.h"

#include <QAction>
#include <QMenu>
#include <QStyleOptionMenuItem>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

constexpr unsigned kShared = 100;   // handled by view and document
constexpr unsigned kDocOnly = 101;  // handled by the document alone
constexpr unsigned kAppOnly = 102;  // handled by the application alone
constexpr unsigned kNobody = 103;   // handled by no one
constexpr unsigned kChecked = 104;  // update in the document, command in the application
constexpr unsigned kRangeFirst = 200;
constexpr unsigned kRangeLast = 210;

class FakeView : public CommandMapped<FakeView> {
 public:
  static std::span<const CommandEntry<FakeView>> CommandMap() {
    static const CommandEntry<FakeView> map[] = {MapCommand(kShared, &FakeView::OnShared)};
    return map;
  }
  void OnShared() { g_calls.push_back("view"); }
};

class FakeDocBase : public CommandMapped<FakeDocBase> {
 public:
  static std::span<const CommandEntry<FakeDocBase>> CommandMap() {
    static const CommandEntry<FakeDocBase> map[] = {MapCommand(kNobody + 50, &FakeDocBase::OnBase)};
    return map;
  }
  void OnBase() { g_calls.push_back("docbase"); }
};

class FakeDoc : public CommandMapped<FakeDoc, FakeDocBase> {
 public:
  static std::span<const CommandEntry<FakeDoc>> CommandMap() {
    static const CommandEntry<FakeDoc> map[] = {
        MapCommand(kShared, &FakeDoc::OnShared),
        MapCommand(kDocOnly, &FakeDoc::OnDocOnly),
        MapUpdate(kDocOnly, &FakeDoc::OnUpdateDocOnly),
        MapUpdate(kChecked, &FakeDoc::OnUpdateChecked),
    };
    return map;
  }
  void OnShared() { g_calls.push_back("doc"); }
  void OnDocOnly() { g_calls.push_back("doc-only"); }
  void OnUpdateDocOnly(CmdUI* ui) { ui->Enable(enabled); }
  void OnUpdateChecked(CmdUI* ui) { ui->SetCheck(checked ? 1 : 0); }
  bool enabled = true;
  bool checked = false;
};

class FakeApp : public CommandMapped<FakeApp> {
 public:
  static std::span<const CommandEntry<FakeApp>> CommandMap() {
    static const CommandEntry<FakeApp> map[] = {
        MapCommand(kAppOnly, &FakeApp::OnAppOnly),
        MapCommand(kShared, &FakeApp::OnShared),
        MapCommand(kChecked, &FakeApp::OnChecked),
        MapCommandRange(kRangeFirst, kRangeLast, &FakeApp::OnRange),
        MapUpdateRange(kRangeFirst, kRangeLast, &FakeApp::OnUpdateRange),
    };
    return map;
  }
  void OnAppOnly() { g_calls.push_back("app"); }
  void OnShared() { g_calls.push_back("app-shared"); }
  void OnChecked() { g_calls.push_back("app-checked"); }
  void OnRange(unsigned id) { g_calls.push_back("range " + std::to_string(id)); }
  void OnUpdateRange(CmdUI* ui) { ui->SetRadio(ui->id() == current); }
  unsigned current = 205;
};

class Routing : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    router.SetChain([this] { return std::vector<CommandTarget*>{withView ? &view : nullptr, &doc, &app}; });
  }
  FakeView view;
  FakeDoc doc;
  FakeApp app;
  bool withView = true;
  CommandRouter router;
};

TEST_F(Routing, TheFirstTargetWithAnEntryHandlesTheCommand) {
  EXPECT_TRUE(router.Execute(kShared));
  EXPECT_TRUE(router.Execute(kDocOnly));
  EXPECT_TRUE(router.Execute(kAppOnly));
  EXPECT_FALSE(router.Execute(kNobody));
  EXPECT_EQ(g_calls, (std::vector<std::string>{"view", "doc-only", "app"}));

  // Without a view the document comes first.
  g_calls.clear();
  withView = false;
  EXPECT_TRUE(router.Execute(kShared));
  EXPECT_EQ(g_calls, (std::vector<std::string>{"doc"}));
}

TEST_F(Routing, AClassFallsBackToItsBaseTable) {
  EXPECT_TRUE(router.Execute(kNobody + 50));
  EXPECT_EQ(g_calls, (std::vector<std::string>{"docbase"}));
}

TEST_F(Routing, RangeHandlersReceiveTheirId) {
  EXPECT_TRUE(router.Execute(207));
  EXPECT_FALSE(router.Execute(kRangeLast + 1));
  EXPECT_EQ(g_calls, (std::vector<std::string>{"range 207"}));
}

TEST_F(Routing, UpdateStates) {
  // No update handler: enabled exactly when someone handles the command.
  EXPECT_TRUE(router.Update(kAppOnly).enabled());
  EXPECT_FALSE(router.Update(kNobody).enabled());
  EXPECT_FALSE(router.Update(kNobody).checkable());
  // An update handler decides, even when another target has the command.
  doc.enabled = false;
  EXPECT_FALSE(router.Update(kDocOnly).enabled());
  doc.checked = true;
  const CmdUI checked = router.Update(kChecked);
  EXPECT_TRUE(checked.enabled());
  EXPECT_TRUE(checked.checked());
  EXPECT_FALSE(checked.radio());
  // Radio marks in a range.
  EXPECT_TRUE(router.Update(205).radio());
  EXPECT_TRUE(router.Update(205).checked());
  EXPECT_FALSE(router.Update(206).checked());
}

TEST_F(Routing, ActionsRouteTheirCommandAndFollowTheUpdateHandlers) {
  CommandActions actions(router);
  QAction* docOnly = actions.Action(kDocOnly);
  QAction* nobody = actions.Action(kNobody);
  QAction* checked = actions.Action(kChecked);
  QAction* look = actions.Action(206);
  EXPECT_EQ(actions.Action(kDocOnly), docOnly);
  EXPECT_EQ(actions.Find(kAppOnly), nullptr);

  actions.UpdateAll();
  EXPECT_TRUE(docOnly->isEnabled());
  EXPECT_FALSE(nobody->isEnabled());
  EXPECT_FALSE(checked->isChecked());
  EXPECT_FALSE(look->isChecked());

  docOnly->trigger();
  EXPECT_EQ(g_calls, (std::vector<std::string>{"doc-only"}));

  doc.enabled = false;
  doc.checked = true;
  app.current = 206;
  actions.UpdateAll();
  EXPECT_FALSE(docOnly->isEnabled());
  EXPECT_TRUE(checked->isCheckable());
  EXPECT_TRUE(checked->isChecked());
  EXPECT_TRUE(look->isChecked());

  // A disabled action does not run its command.
  docOnly->trigger();
  EXPECT_EQ(g_calls, (std::vector<std::string>{"doc-only"}));
}

// A menu that tells how it draws an item.
class InspectedMenu : public QMenu {
 public:
  using QMenu::initStyleOption;
};

TEST_F(Routing, RadioCommandsShowARadioMarkInMenus) {
  CommandActions actions(router);
  InspectedMenu menu;
  menu.addActions({actions.Action(205), actions.Action(206), actions.Action(kChecked)});
  doc.checked = true;
  actions.UpdateAll();
  struct Case {
    unsigned id;
    QStyleOptionMenuItem::CheckType type;
    bool checked;
  };
  for (const Case& c :
       {Case{205, QStyleOptionMenuItem::Exclusive, true}, Case{206, QStyleOptionMenuItem::Exclusive, false},
        Case{kChecked, QStyleOptionMenuItem::NonExclusive, true}}) {
    QStyleOptionMenuItem option;
    menu.initStyleOption(&option, actions.Action(c.id));
    EXPECT_EQ(option.checkType, c.type) << c.id;
    EXPECT_EQ(option.checked, c.checked) << c.id;
  }
  // Choosing the marked item again keeps its mark; the update handler moves it.
  actions.Action(205)->trigger();
  EXPECT_TRUE(actions.Action(205)->isChecked());
  app.current = 206;
  actions.UpdateAll();
  EXPECT_FALSE(actions.Action(205)->isChecked());
  EXPECT_TRUE(actions.Action(206)->isChecked());
}

TEST_F(Routing, AMenuUpdatesItsActionsWhenItOpens) {
  CommandActions actions(router);
  QMenu menu;
  QAction* docOnly = actions.Action(kDocOnly);
  menu.addAction(docOnly);
  actions.WatchMenu(&menu);
  actions.UpdateAll();
  ASSERT_TRUE(docOnly->isEnabled());
  doc.enabled = false;
  emit menu.aboutToShow();
  EXPECT_FALSE(docOnly->isEnabled());
}

}  // namespace
