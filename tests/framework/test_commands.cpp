#include "framework/commands.h"

#include <QAction>
#include <QMenu>
#include <QStyleOptionMenuItem>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

constexpr unsigned kShared = 100;   // handled by document and application
constexpr unsigned kDocOnly = 101;  // handled by the document alone, which also updates it
constexpr unsigned kAppOnly = 102;  // handled by the application alone
constexpr unsigned kNobody = 103;   // handled by no one
constexpr unsigned kChecked = 104;  // updated by the document, handled by the application
constexpr unsigned kBase = 150;     // handled by the document's base class
constexpr unsigned kRangeFirst = 200;
constexpr unsigned kRangeLast = 210;

class FakeDocBase : public CommandMapped<FakeDocBase> {
 public:
  static std::span<const CommandEntry<FakeDocBase>> CommandMap() {
    static const CommandEntry<FakeDocBase> map[] = {MapCommand(kBase, &FakeDocBase::OnBase)};
    return map;
  }
  void OnBase() { g_calls.push_back("docbase"); }
};

class FakeDoc : public CommandMapped<FakeDoc, FakeDocBase> {
 public:
  static std::span<const CommandEntry<FakeDoc>> CommandMap() {
    static const CommandEntry<FakeDoc> map[] = {
        MapCommand(kShared, &FakeDoc::OnShared), MapCommand(kDocOnly, &FakeDoc::OnDocOnly),
        MapUpdate(kDocOnly, &FakeDoc::OnUpdateDocOnly), MapUpdate(kChecked, &FakeDoc::OnUpdateChecked)};
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
        MapCommand(kAppOnly, &FakeApp::OnAppOnly), MapCommand(kShared, &FakeApp::OnShared),
        MapCommand(kChecked, &FakeApp::OnChecked), MapCommandRange(kRangeFirst, kRangeLast, &FakeApp::OnRange),
        MapUpdateRange(kRangeFirst, kRangeLast, &FakeApp::OnUpdateRange)};
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
    router.SetChain([this] { return std::vector<CommandTarget*>{nullptr, withDoc ? &doc : nullptr, &app}; });
  }
  FakeDoc doc;
  FakeApp app;
  bool withDoc = true;
  CommandRouter router;
};

TEST_F(Routing, TheFirstTargetWithAnEntryHandlesTheCommand) {
  const struct {
    unsigned id;
    bool withDoc;
    const char* handler;  // null: no one
  } cases[] = {{kShared, true, "doc"},   {kShared, false, "app-shared"},  {kDocOnly, false, nullptr},
               {kAppOnly, true, "app"},  {kBase, true, "docbase"},        {207, true, "range 207"},
               {kNobody, true, nullptr}, {kRangeLast + 1, true, nullptr}, {kRangeFirst - 1, true, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    g_calls.clear();
    withDoc = c.withDoc;
    EXPECT_EQ(router.Execute(c.id), c.handler != nullptr);
    EXPECT_EQ(g_calls, c.handler ? std::vector<std::string>{c.handler} : std::vector<std::string>{});
  }
}

TEST_F(Routing, UpdateHandlersDecideElseWhetherAnyoneHandlesTheCommand) {
  doc.enabled = false;
  doc.checked = true;
  const struct {
    unsigned id;
    bool enabled, checkable, checked, radio;
  } cases[] = {{kAppOnly, true, false, false, false},     {kNobody, false, false, false, false},
               {kDocOnly, false, false, false, false},    {kChecked, true, true, true, false},
               {kRangeFirst + 5, true, true, true, true}, {kRangeFirst + 6, true, true, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const CmdUI ui = router.Update(c.id);
    EXPECT_EQ(ui.enabled(), c.enabled);
    EXPECT_EQ(ui.checkable(), c.checkable);
    EXPECT_EQ(ui.checked(), c.checked);
    EXPECT_EQ(ui.radio(), c.radio);
  }
}

// A menu that tells how it draws an item.
class InspectedMenu : public QMenu {
 public:
  using QMenu::initStyleOption;
};

TEST_F(Routing, ActionsRouteTheirCommandAndShowTheUpdateHandlersState) {
  CommandActions actions(router);
  QAction* docOnly = actions.Action(kDocOnly);
  EXPECT_EQ(actions.Action(kDocOnly), docOnly);
  EXPECT_EQ(actions.Find(kAppOnly), nullptr);
  InspectedMenu menu;
  menu.addActions(
      {docOnly, actions.Action(kNobody), actions.Action(kChecked), actions.Action(205), actions.Action(206)});
  actions.WatchMenu(&menu);
  actions.UpdateAll();
  EXPECT_TRUE(docOnly->isEnabled());
  EXPECT_FALSE(actions.Action(kNobody)->isEnabled());
  docOnly->trigger();
  EXPECT_EQ(g_calls, std::vector<std::string>{"doc-only"});

  // The menu updates its items as it opens; a disabled one runs nothing.
  doc.enabled = false;
  doc.checked = true;
  emit menu.aboutToShow();
  EXPECT_FALSE(docOnly->isEnabled());
  docOnly->trigger();
  EXPECT_EQ(g_calls, std::vector<std::string>{"doc-only"});
  // Radio commands show a radio mark, others a tick.
  const struct {
    unsigned id;
    QStyleOptionMenuItem::CheckType type;
    bool checked;
  } marks[] = {{205, QStyleOptionMenuItem::Exclusive, true},
               {206, QStyleOptionMenuItem::Exclusive, false},
               {kChecked, QStyleOptionMenuItem::NonExclusive, true}};
  for (const auto& mark : marks) {
    QStyleOptionMenuItem option;
    menu.initStyleOption(&option, actions.Action(mark.id));
    EXPECT_EQ(option.checkType, mark.type) << mark.id;
    EXPECT_EQ(option.checked, mark.checked) << mark.id;
  }
  // Choosing the marked item again keeps its mark; the update handler moves it.
  actions.Action(205)->trigger();
  EXPECT_TRUE(actions.Action(205)->isChecked());
  app.current = 206;
  actions.UpdateAll();
  EXPECT_FALSE(actions.Action(205)->isChecked());
  EXPECT_TRUE(actions.Action(206)->isChecked());
}

}  // namespace
