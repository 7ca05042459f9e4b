#pragma once

#include <QDialog>

class CMainFrame;
class QLineEdit;
class QListWidget;
class QToolBar;

// Customises the tool bars: shows or hides each bar, shows or hides each
// command's button on the chosen bar, makes a new bar and resets a bar to
// its first buttons.
class CCustomizeDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CCustomizeDialog(CMainFrame& frame);

  QListWidget* BarList() const { return m_bars; }
  QListWidget* CommandList() const { return m_commands; }
  QLineEdit* NewBarName() const { return m_newName; }

  // The buttons of the dialog, for the user and for tests.
  void OnNewToolBar();
  void OnResetToolBar();

 private:
  void FillBars();
  void FillCommands();
  QToolBar* SelectedBar() const;

  CMainFrame& m_frame;
  QListWidget* m_bars;
  QListWidget* m_commands;
  QLineEdit* m_newName;
  bool m_filling = false;
};
