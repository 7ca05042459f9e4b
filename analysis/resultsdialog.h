#pragma once

#include <QDialog>
#include <QString>

#include <vector>

class CVarenkoDoc;
class MCListColor;
class QPlainTextEdit;
class QPushButton;

// The Results dialog: every drawing of the document with its number, name,
// ratio and CS class, the CS rows in their own colours, and the statistics
// report below; both can be saved as a text file.
class CDlgResults : public QDialog {
  Q_OBJECT

 public:
  explicit CDlgResults(CVarenkoDoc* doc, QWidget* parent = nullptr);
  ~CDlgResults() override;

  // Fills the list and the two texts, and runs the dialog; -1 without a
  // drawing to list, when the dialog never shows.
  int DoModal();
  // Fills the list, the table text and the report; ends the dialog with -1
  // when there is no drawing. Always true.
  bool OnInitDialog();
  // The columns, and the table text's header line.
  void SetupColumns();
  // Asks for a file and saves the table and the report in it.
  void OnExport();

  CVarenkoDoc* m_pDoc;
  double m_dThreshold = 0.0;
  std::vector<int> m_vecCSFlag;
  std::vector<double> m_vecRatio;
  std::vector<double> m_vecRatioCS;
  std::vector<double> m_vecRatioNonCS;
  MCListColor* m_listResults = nullptr;
  QString m_strStatistics;
  QString m_strTable;

  QPushButton* m_ok = nullptr;
  QPushButton* m_export = nullptr;
  QPlainTextEdit* m_edit = nullptr;

 private:
  // Shows the report in its box.
  void UpdateData();
  bool m_bEnded = false;
};

// The bytes of the results file: the table and the report in UTF-16
// little-endian, without a byte-order mark.
QByteArray ResultsFileBytes(const QString& table, const QString& statistics);

// The mean absolute deviation of the values about their mean: the sum of
// the distances from the mean, divided by their number.
double MeanAbsoluteDeviation(const std::vector<double>& values, double mean);
