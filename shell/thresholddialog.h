#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Edits the CS threshold: shows the stored text as it stands and stores a
// number from 0 to 100 as "%.2f".
class CDlgThreshold : public QDialog {
  Q_OBJECT

 public:
  explicit CDlgThreshold(QWidget* parent = nullptr);

  // Fills the edit with the stored text and reads its number.
  bool OnInitDialog();
  // OK: checks the number and its range, stores it and closes the dialog.
  void OnBnClickedOk();

  // Reads the number from the edit into m_dThreshold; without a number it
  // says "Enter a number.", selects the edit's text and fails.
  bool UpdateData();

  QLineEdit* Edit() const { return m_edit; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }

  double m_dThreshold = 0.0;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* m_edit = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
  bool m_initialised = false;
};
