#include "framework/commands.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QThread>

#include <algorithm>

std::vector<CommandTarget*> CommandRouter::Targets() const {
  if (!chain_) return {};
  std::vector<CommandTarget*> targets = chain_();
  targets.erase(std::remove(targets.begin(), targets.end(), nullptr), targets.end());
  return targets;
}

bool CommandRouter::Execute(unsigned id) const {
  for (CommandTarget* target : Targets()) {
    if (target->OnCommand(id)) return true;
  }
  return false;
}

CmdUI CommandRouter::Update(unsigned id) const {
  const std::vector<CommandTarget*> targets = Targets();
  for (CommandTarget* target : targets) {
    CmdUI ui(id);
    if (target->OnUpdateCommandUI(ui)) return ui;
  }
  CmdUI ui(id);
  ui.Enable(std::any_of(targets.begin(), targets.end(),
                        [id](const CommandTarget* target) { return target->HasCommandHandler(id); }));
  return ui;
}

CommandActions::CommandActions(const CommandRouter& router, QObject* parent) : QObject(parent), router_(router) {}

CommandActions::~CommandActions() = default;

QAction* CommandActions::Action(unsigned id) {
  if (QAction* existing = actions_.value(id)) return existing;
  auto* action = new QAction(this);
  action->setData(id);
  connect(action, &QAction::triggered, this, [this, id] {
    router_.Execute(id);
    UpdateAll();
  });
  actions_.insert(id, action);
  return action;
}

QAction* CommandActions::Find(unsigned id) const { return actions_.value(id); }

std::vector<unsigned> CommandActions::Ids() const {
  std::vector<unsigned> ids(actions_.keyBegin(), actions_.keyEnd());
  std::sort(ids.begin(), ids.end());
  return ids;
}

void CommandActions::Apply(QAction* action, const CmdUI& ui) {
  if (action->isEnabled() != ui.enabled()) action->setEnabled(ui.enabled());
  if (ui.checkable()) {
    if (!action->isCheckable()) action->setCheckable(true);
    SetRadio(action, ui.radio());
    if (action->isChecked() != ui.checked()) action->setChecked(ui.checked());
  } else if (action->isCheckable()) {
    action->setChecked(false);
    action->setCheckable(false);
    SetRadio(action, false);
  }
}

void CommandActions::SetRadio(QAction* action, bool radio) {
  // Menus draw a radio mark instead of a tick for an action in an exclusive
  // group. Each radio action gets a group of its own: which item of a set
  // carries the mark is the update handlers' business, so the group only
  // changes how the check is drawn.
  QActionGroup* group = action->actionGroup();
  if (radio && group == nullptr) {
    group = new QActionGroup(action);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    group->addAction(action);
  } else if (!radio && group != nullptr && group->parent() == action) {
    group->removeAction(action);
    delete group;
  }
}

void CommandActions::UpdateAction(unsigned id) {
  if (QAction* action = actions_.value(id)) Apply(action, router_.Update(id));
}

void CommandActions::UpdateAll() {
  // An update handler may make the event loop run; do not nest.
  if (updating_) return;
  updating_ = true;
  for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) Apply(it.value(), router_.Update(it.key()));
  updating_ = false;
}

void CommandActions::WatchMenu(QMenu* menu) {
  connect(menu, &QMenu::aboutToShow, this, [this, menu] {
    for (QAction* action : menu->actions()) {
      bool isCommand = false;
      const unsigned id = action->data().toUInt(&isCommand);
      if (isCommand && actions_.value(id) == action) UpdateAction(id);
    }
  });
}

void CommandActions::EnableIdleUpdates() {
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread())) {
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CommandActions::UpdateAll);
  }
}
