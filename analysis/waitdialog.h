#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

// The small window a folder run shows while it works: one line of text
// over a progress bar. It has no buttons and no close box; the run sets it
// and closes it.
class CDlgWait : public QDialog {
  Q_OBJECT

 public:
  explicit CDlgWait(QWidget* owner = nullptr);

  // Centres the dialog over its owner (or the screen) and shows it.
  void ShowCentred();

  QLabel* m_staticText = nullptr;
  QProgressBar* m_progress = nullptr;

 public slots:
  // Nothing the user does ends the dialog.
  void reject() override {}

 protected:
  void closeEvent(QCloseEvent* event) override;
};
