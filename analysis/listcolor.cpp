#include "analysis/listcolor.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QStyledItemDelegate>

class MCListColor::Model : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
      case Qt::DisplayRole:
        return row.cells.value(index.column());
      case Qt::ForegroundRole:
        return row.colours ? QVariant(row.colours->first) : QVariant();
      case Qt::BackgroundRole:
        return row.colours ? QVariant(row.colours->second) : QVariant();
      case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= titles_.size()) return {};
    if (role == Qt::DisplayRole) return titles_[section];
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
  }

  void AddColumn(const QString& title) {
    beginInsertColumns(QModelIndex(), static_cast<int>(titles_.size()), static_cast<int>(titles_.size()));
    titles_ << title;
    endInsertColumns();
  }

  void InsertRow(int at, const QString& text) {
    at = std::clamp(at, 0, static_cast<int>(rows_.size()));
    beginInsertRows(QModelIndex(), at, at);
    rows_.insert(rows_.begin() + at, Row{QStringList{text}, std::nullopt});
    endInsertRows();
  }

  void SetText(int row, int column, const QString& text) {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0) return;
    QStringList& cells = rows_[static_cast<size_t>(row)].cells;
    while (cells.size() <= column) cells << QString();
    cells[column] = text;
    emit dataChanged(index(row, column), index(row, column));
  }

  void SetColours(int row, QColor text, QColor background) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    rows_[static_cast<size_t>(row)].colours = std::make_pair(text, background);
    emit dataChanged(index(row, 0), index(row, static_cast<int>(titles_.size()) - 1));
  }

  void Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
  }

  struct Row {
    QStringList cells;
    std::optional<std::pair<QColor, QColor>> colours;
  };
  std::vector<Row> rows_;
  QStringList titles_;
};

namespace {

// A row with colours of its own shows them in every cell, selected or not.
class RowColourDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!index.data(Qt::BackgroundRole).isValid()) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem plain(option);
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    QStyledItemDelegate::paint(painter, plain, index);
  }
};

}  // namespace

MCListColor::MCListColor(QWidget* parent) : QTableView(parent), m_model(new Model(this)) {
  setModel(m_model);
  setItemDelegate(new RowColourDelegate(this));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The list is one stop of the dialog's tab order: Tab leaves it instead of
  // walking its cells, which would keep the keyboard in it.
  setTabKeyNavigation(false);
  setShowGrid(true);
  setSortingEnabled(false);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionsClickable(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

MCListColor::~MCListColor() = default;

void MCListColor::InsertColumn(int column, const QString& title, int width) {
  m_model->AddColumn(title);
  setColumnWidth(column, width);
}

void MCListColor::InsertItem(int row, const QString& text) { m_model->InsertRow(row, text); }

void MCListColor::SetItemText(int row, int column, const QString& text) { m_model->SetText(row, column, text); }

QString MCListColor::GetItemText(int row, int column) const {
  return m_model->data(m_model->index(row, column), Qt::DisplayRole).toString();
}

int MCListColor::GetItemCount() const { return m_model->rowCount(QModelIndex()); }

void MCListColor::DeleteAllItems() { m_model->Clear(); }

void MCListColor::SetRowColours(int row, QColor text, QColor background) { m_model->SetColours(row, text, background); }

std::optional<std::pair<QColor, QColor>> MCListColor::RowColours(int row) const {
  if (row < 0 || row >= GetItemCount()) return std::nullopt;
  return m_model->rows_[static_cast<size_t>(row)].colours;
}
