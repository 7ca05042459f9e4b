#pragma once

#include <QHash>
#include <QObject>

#include <functional>
#include <span>
#include <vector>

class QAction;
class QMenu;

// The state an update handler gives a command: enabled, checked, and whether
// the check shows as a radio mark.
class CmdUI {
 public:
  explicit CmdUI(unsigned id) : id_(id) {}

  unsigned id() const { return id_; }
  void Enable(bool on = true) { enabled_ = on; }
  void SetCheck(int check = 1) {
    checkable_ = true;
    checked_ = check != 0;
  }
  void SetRadio(bool on = true) {
    checkable_ = true;
    radio_ = true;
    checked_ = on;
  }

  bool enabled() const { return enabled_; }
  bool checkable() const { return checkable_; }
  bool checked() const { return checked_; }
  bool radio() const { return radio_; }

 private:
  unsigned id_;
  bool enabled_ = true;
  bool checkable_ = false;
  bool checked_ = false;
  bool radio_ = false;
};

// One row of a command table: a command handler, a handler for a range of
// ids that receives the id, or an update handler for one id or a range.
template <class T>
struct CommandEntry {
  unsigned first = 0;
  unsigned last = 0;
  void (T::*command)() = nullptr;
  void (T::*rangeCommand)(unsigned) = nullptr;
  void (T::*update)(CmdUI*) = nullptr;

  bool Covers(unsigned id) const { return id >= first && id <= last; }
};

template <class T>
constexpr CommandEntry<T> MapCommand(unsigned id, void (T::*handler)()) {
  return {id, id, handler, nullptr, nullptr};
}
template <class T>
constexpr CommandEntry<T> MapCommandRange(unsigned first, unsigned last, void (T::*handler)(unsigned)) {
  return {first, last, nullptr, handler, nullptr};
}
template <class T>
constexpr CommandEntry<T> MapUpdate(unsigned id, void (T::*handler)(CmdUI*)) {
  return {id, id, nullptr, nullptr, handler};
}
template <class T>
constexpr CommandEntry<T> MapUpdateRange(unsigned first, unsigned last, void (T::*handler)(CmdUI*)) {
  return {first, last, nullptr, nullptr, handler};
}

// Something that handles commands: the view, the document, the frame or the
// application.
class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  // Runs this target's handler for the id; false when it has none.
  virtual bool OnCommand(unsigned /*id*/) { return false; }
  // Runs this target's update handler for the id; false when it has none.
  virtual bool OnUpdateCommandUI(CmdUI& /*ui*/) { return false; }
  virtual bool HasCommandHandler(unsigned /*id*/) const { return false; }
};

// Gives a class T a command table: T declares
//   static std::span<const CommandEntry<T>> CommandMap();
// and derives from CommandMapped<T, Base>. T's own entries come first; ids
// it does not know go on to Base.
template <class T, class Base = CommandTarget>
class CommandMapped : public Base {
 public:
  using Base::Base;

  bool OnCommand(unsigned id) override {
    T* self = static_cast<T*>(this);
    for (const auto& entry : T::CommandMap()) {
      if (!entry.Covers(id)) continue;
      if (entry.command) {
        (self->*entry.command)();
        return true;
      }
      if (entry.rangeCommand) {
        (self->*entry.rangeCommand)(id);
        return true;
      }
    }
    return Base::OnCommand(id);
  }

  bool OnUpdateCommandUI(CmdUI& ui) override {
    T* self = static_cast<T*>(this);
    for (const auto& entry : T::CommandMap()) {
      if (entry.update && entry.Covers(ui.id())) {
        (self->*entry.update)(&ui);
        return true;
      }
    }
    return Base::OnUpdateCommandUI(ui);
  }

  bool HasCommandHandler(unsigned id) const override {
    for (const auto& entry : T::CommandMap()) {
      if ((entry.command || entry.rangeCommand) && entry.Covers(id)) return true;
    }
    return Base::HasCommandHandler(id);
  }
};

// Sends commands along the chain of targets, first to last (view, document,
// frame, application); the first target with an entry for the id handles it.
class CommandRouter {
 public:
  using Chain = std::function<std::vector<CommandTarget*>()>;

  void SetChain(Chain chain) { chain_ = std::move(chain); }

  // Runs the handler of the first target that has one; false when none has.
  bool Execute(unsigned id) const;
  // The command's state: the first target with an update handler decides;
  // without one, a command is enabled exactly when some target handles it.
  CmdUI Update(unsigned id) const;

 private:
  std::vector<CommandTarget*> Targets() const;
  Chain chain_;
};

// One QAction per command id. Triggering an action routes its command; the
// actions' enabled and checked states come from the update handlers, run
// before a menu opens and whenever the event loop falls idle.
class CommandActions : public QObject {
  Q_OBJECT

 public:
  explicit CommandActions(const CommandRouter& router, QObject* parent = nullptr);
  ~CommandActions() override;

  // The action of the id, made on first use.
  QAction* Action(unsigned id);
  // The action of the id, or null when none was made.
  QAction* Find(unsigned id) const;
  std::vector<unsigned> Ids() const;

  // Runs the update handlers of every action now.
  void UpdateAll();
  // Runs them on one action.
  void UpdateAction(unsigned id);
  // Runs the update handlers of a menu's actions each time it opens.
  void WatchMenu(QMenu* menu);
  // Runs every update handler whenever the event loop is about to wait.
  void EnableIdleUpdates();

 private:
  void Apply(QAction* action, const CmdUI& ui);
  void SetRadio(QAction* action, bool radio);

  const CommandRouter& router_;
  QHash<unsigned, QAction*> actions_;
  bool updating_ = false;
};
