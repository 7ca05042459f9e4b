#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box: the program's icon, name and version, who makes it, where
// its license is told, and a contact address that opens the user's mail
// program. OK, Esc and the close box end it.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  QPushButton* OkButton() const { return m_ok; }
  QLabel* Link() const { return m_btnLink; }

  // The address the link opens.
  static constexpr const char* kContactUrl = "mailto:support@kestrune.example";

 private:
  QPushButton* m_ok = nullptr;
  QLabel* m_btnLink = nullptr;
};
