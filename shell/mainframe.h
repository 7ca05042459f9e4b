#pragma once

#include "framework/frame.h"
#include "resources/tables.h"

#include <QStringList>

#include <span>

class CVarenkoDoc;
class CVarenkoView;
class LockKeysWatcher;
class QDropEvent;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolBar;
class QToolButton;

// The main window: menu bar, the "Standard" tool bar and the status bar,
// all movable; the application looks; the view in the middle. Its caption
// is always "Varenko".
class CMainFrame : public CommandMapped<CMainFrame, FrameWindow> {
  Q_OBJECT

 public:
  explicit CMainFrame(CVarenkoDoc& document);
  ~CMainFrame() override;

  static std::span<const CommandEntry<CMainFrame>> CommandMap();

  bool OnCreate() override;
  // The pane menu: every bar with a tick when it shows, then "Customize...".
  QMenu* createPopupMenu() override;

  CVarenkoView* View() const { return m_pView; }
  QMenuBar* MenuBar() const { return m_wndMenuBar; }
  QToolBar* ToolBar() const { return m_wndToolBar; }
  QStatusBar* StatusBar() const { return m_wndStatusBar; }
  // The tool bars the user can customise: "Standard" and those they made.
  QList<QToolBar*> ToolBars() const;
  // A new, empty tool bar with its own customise button.
  QToolBar* CreateToolBar(const QString& name);
  // Puts the default buttons back on the "Standard" tool bar.
  void ResetToolBar(QToolBar* bar);
  // The commands that can have a tool-bar button.
  static std::vector<unsigned> ButtonCommands();

  void OnViewCustomize();
  void OnApplicationLook(unsigned id);
  void OnUpdateApplicationLook(CmdUI* ui);
  void OnViewStatusBar();
  void OnUpdateViewStatusBar(CmdUI* ui);

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenu(QMenu* menu, const std::vector<res::MenuItem>& items);
  void BuildMenuBar();
  void BuildToolBar();
  void BuildStatusBar();
  QAction* SetUpAction(unsigned id, const std::string& text);
  void AddCustomizeButton(QToolBar* bar);
  // A user's tool bar with its customise button, not yet saved.
  QToolBar* AddUserToolBar(const QString& name);
  // The pane menu: every bar with its visibility, then "Customize...".
  void FillBarsMenu(QMenu* menu);
  void AddBarsTo(QMenu* menu);
  void UpdateRecentFiles(QMenu* fileMenu);
  void SaveToolBars() const;
  void RestoreToolBars();
  // Shows the menu bar docked at the top or bottom, or floating.
  void KeepMenuBar();
  // The tool bars and the bar that holds the menu bar.
  QList<QToolBar*> AllBars() const;
  // Brings floating bars back at their own size and within a screen.
  void KeepFloatingBarsOnScreen();
  // Quick customisation: Alt and drag moves a tool-bar button within a bar
  // or removes it when dropped outside. The buttons' prompts are watched too.
  void WatchButtons(QToolBar* bar);
  void StartButtonDrag(QToolBar* bar, QAction* action);
  bool DropButton(QToolBar* bar, QDropEvent* event);
  QAction* CustomizeButtonAction(QToolBar* bar) const;
  // Gives a floating bar its title as a window of its own.
  void DecorateFloatingBar(QToolBar* bar);
  // Accepts a drag or drop of files as a copy where it may be taken.
  bool AcceptFileDrop(QDropEvent* event) const;

  CVarenkoDoc& m_document;
  CVarenkoView* m_pView = nullptr;
  QMenuBar* m_wndMenuBar = nullptr;
  QToolBar* m_wndMenuBarPane = nullptr;
  QToolBar* m_wndToolBar = nullptr;
  QStatusBar* m_wndStatusBar = nullptr;
  QLabel* m_indicators[3] = {nullptr, nullptr, nullptr};
  LockKeysWatcher* m_lockKeys = nullptr;
  QList<QToolBar*> m_userToolBars;
  QAction* m_recentPlaceholder = nullptr;
  bool m_bBarsSaved = false;
  bool m_bShown = false;
  bool m_bDraggingBar = false;  // a floating bar's drag is being handled
  QList<QAction*> m_recentActions;
};
