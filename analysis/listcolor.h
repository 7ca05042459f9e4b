#pragma once

#include <QColor>
#include <QString>
#include <QTableView>

#include <optional>
#include <utility>
#include <vector>

class QAbstractTableModel;

// A report list: columns with titles and widths, rows of cell texts kept in
// the order they were inserted. Clicking a column header sorts nothing. The
// owner may give a row its own text and background colours, which every
// cell of the row then shows, selected or not.
class MCListColor : public QTableView {
  Q_OBJECT

 public:
  explicit MCListColor(QWidget* parent = nullptr);
  ~MCListColor() override;

  // Columns are added at the end, left-aligned, with a width in pixels.
  void InsertColumn(int column, const QString& title, int width);
  // Inserts a row at the index with the text of its first cell.
  void InsertItem(int row, const QString& text);
  void SetItemText(int row, int column, const QString& text);
  QString GetItemText(int row, int column) const;
  int GetItemCount() const;
  void DeleteAllItems();
  void SetRowColours(int row, QColor text, QColor background);
  // The colours a row was given, if any.
  std::optional<std::pair<QColor, QColor>> RowColours(int row) const;

 private:
  class Model;
  Model* m_model;
};
