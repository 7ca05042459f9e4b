#include "framework/commands.h"

#include <QAction>
#include <QMenu>
#include <QStyleOptionMenuItem>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

// The application handles 100 to 102 and 200 to 210; the document 100 and
// 110 and, through its base class, 150.
constexpr unsigned kShared = 100;
constexpr unsigned kAppOnly = 101;
constexpr unsigned kChecked = 102;  // updated by the document
constexpr unsigned kDocOnly = 110;  // updated by the document
constexpr unsigned kNobody = 111;
constexpr unsigned kBase = 150;
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
    static const CommandEntry<FakeApp> map[] = {MapCommandRange(kShared, kChecked, &FakeApp::OnApp),
                                                MapCommandRange(kRangeFirst, kRangeLast, &FakeApp::OnApp),
                                                MapUpdateRange(kRangeFirst, kRangeLast, &FakeApp::OnUpdateRange)};
    return map;
  }
  void OnApp(unsigned id) { g_calls.push_back("app " + std::to_string(id)); }
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
  } cases[] = {{kShared, true, "doc"},      {kShared, false, "app 100"},     {kDocOnly, false, nullptr},
               {kAppOnly, true, "app 101"}, {kBase, true, "docbase"},        {207, true, "app 207"},
               {kNobody, true, nullptr},    {kRangeLast + 1, true, nullptr}, {kRangeFirst - 1, true, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    g_calls.clear();
    withDoc = c.withDoc;
    EXPECT_EQ(router.Execute(c.id), c.handler != nullptr);
    EXPECT_EQ(g_calls, c.handler ? std::vector<std::string>{c.handler} : std::vector<std::string>{});
  }
}

// A menu that tells how it draws an item.
class InspectedMenu : public QMenu {
 public:
  using QMenu::initStyleOption;
};

// Update handlers decide an action's state; without one, it is enabled
// exactly when some target handles the command.
TEST_F(Routing, ActionsRouteTheirCommandAndShowTheUpdateHandlersState) {
  CommandActions actions(router);
  QAction* docOnly = actions.Action(kDocOnly);
  InspectedMenu menu;
  for (const unsigned id : {kDocOnly, kAppOnly, kNobody, kChecked, 205u, 206u}) menu.addAction(actions.Action(id));
  actions.WatchMenu(&menu);
  actions.UpdateAll();
  docOnly->trigger();
  EXPECT_EQ(g_calls, std::vector<std::string>{"doc-only"});
  // The menu updates its items as it opens; a disabled one runs nothing.
  doc.enabled = false;
  doc.checked = true;
  emit menu.aboutToShow();
  docOnly->trigger();
  EXPECT_EQ(g_calls.size(), 1u);
  // Radio commands show a radio mark, others a tick.
  using Item = QStyleOptionMenuItem;
  const struct {
    unsigned id;
    bool enabled;
    Item::CheckType type;
    bool checked;
  } shown[] = {{kDocOnly, false, Item::NotCheckable, false}, {kAppOnly, true, Item::NotCheckable, false},
               {kNobody, false, Item::NotCheckable, false},  {kChecked, true, Item::NonExclusive, true},
               {205, true, Item::Exclusive, true},           {206, true, Item::Exclusive, false}};
  for (const auto& item : shown) {
    Item option;
    menu.initStyleOption(&option, actions.Action(item.id));
    EXPECT_EQ(option.state.testFlag(QStyle::State_Enabled), item.enabled) << item.id;
    EXPECT_EQ(option.checkType, item.type) << item.id;
    EXPECT_EQ(option.checked, item.checked) << item.id;
  }
  // The update handler moves the mark.
  app.current = 206;
  actions.UpdateAll();
  EXPECT_FALSE(actions.Action(205)->isChecked());
  EXPECT_TRUE(actions.Action(206)->isChecked());
}

}  // namespace
