#include "shell/customizedialog.h"

#include "framework/commands.h"
#include "shell/mainframe.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolBar>

#include <utility>

CCustomizeDialog::CCustomizeDialog(CMainFrame& frame)
    : QDialog(&frame), m_frame(frame), m_bars(new QListWidget), m_commands(new QListWidget), m_newName(new QLineEdit) {
  setWindowTitle(QStringLiteral("Customize"));
  auto* layout = new QGridLayout(this);
  // Each label names its list and gives it an access key.
  auto* barsLabel = new QLabel(QStringLiteral("Tool&bars:"));
  barsLabel->setBuddy(m_bars);
  auto* commandsLabel = new QLabel(QStringLiteral("B&uttons on the selected toolbar:"));
  commandsLabel->setBuddy(m_commands);
  layout->addWidget(barsLabel, 0, 0);
  layout->addWidget(m_bars, 1, 0, 3, 1);
  layout->addWidget(commandsLabel, 0, 1);
  layout->addWidget(m_commands, 1, 1, 3, 1);

  auto* newBar = new QPushButton(QStringLiteral("&New Toolbar"));
  auto* reset = new QPushButton(QStringLiteral("&Reset"));
  m_newName->setPlaceholderText(QStringLiteral("Name of the new toolbar"));
  layout->addWidget(m_newName, 4, 0);
  layout->addWidget(newBar, 5, 0);
  layout->addWidget(reset, 4, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  layout->addWidget(buttons, 6, 0, 1, 2);
  m_commands->setIconSize(QSize(24, 24));
  // The command list is as wide as its longest name.
  m_commands->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);

  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  connect(newBar, &QPushButton::clicked, this, &CCustomizeDialog::OnNewToolBar);
  connect(reset, &QPushButton::clicked, this, &CCustomizeDialog::OnResetToolBar);
  connect(m_bars, &QListWidget::currentRowChanged, this, &CCustomizeDialog::FillCommands);
  connect(m_bars, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (m_filling) return;
    const QList<QToolBar*> bars = m_frame.ToolBars();
    const int row = m_bars->row(item);
    if (row >= 0 && row < bars.size()) bars[row]->setVisible(item->checkState() == Qt::Checked);
  });
  connect(m_commands, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    QToolBar* bar = SelectedBar();
    if (m_filling || bar == nullptr) return;
    QAction* command = m_frame.Actions().Action(item->data(Qt::UserRole).toUInt());
    if (item->checkState() == Qt::Checked) {
      if (!bar->actions().contains(command)) {
        // New buttons go before the customise button at the bar's end.
        bar->insertAction(bar->actions().isEmpty() ? nullptr : bar->actions().last(), command);
      }
    } else {
      bar->removeAction(command);
    }
  });
  FillBars();
}

QToolBar* CCustomizeDialog::SelectedBar() const {
  const QList<QToolBar*> bars = m_frame.ToolBars();
  const int row = m_bars->currentRow();
  return row >= 0 && row < bars.size() ? bars[row] : nullptr;
}

void CCustomizeDialog::FillBars() {
  {
    // Emptying the list changes its current row, which refills the command
    // list: the flag is put back as it was, not cleared, so that the boxes
    // of the bars being listed never reach their bars.
    const bool filling = std::exchange(m_filling, true);
    const int row = std::max(0, m_bars->currentRow());
    m_bars->clear();
    for (QToolBar* bar : m_frame.ToolBars()) {
      // Each box is ticked as its bar shows before it joins the list.
      auto* item = new QListWidgetItem(bar->windowTitle());
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(bar->isVisibleTo(&m_frame) ? Qt::Checked : Qt::Unchecked);
      m_bars->addItem(item);
    }
    m_bars->setCurrentRow(std::min(row, m_bars->count() - 1));
    m_filling = filling;
  }
  FillCommands();
}

void CCustomizeDialog::FillCommands() {
  const bool filling = std::exchange(m_filling, true);
  m_commands->clear();
  QToolBar* bar = SelectedBar();
  for (unsigned id : CMainFrame::ButtonCommands()) {
    QAction* command = m_frame.Actions().Action(id);
    QString text = command->text().section(QLatin1Char('\t'), 0, 0);
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    auto* item = new QListWidgetItem(command->icon(), text, m_commands);
    item->setData(Qt::UserRole, id);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(bar != nullptr && bar->actions().contains(command) ? Qt::Checked : Qt::Unchecked);
  }
  m_filling = filling;
}

void CCustomizeDialog::OnNewToolBar() {
  QString name = m_newName->text().trimmed();
  if (name.isEmpty()) name = QStringLiteral("Custom %1").arg(m_frame.ToolBars().size());
  m_frame.CreateToolBar(name);
  m_newName->clear();
  FillBars();
  m_bars->setCurrentRow(m_bars->count() - 1);
}

void CCustomizeDialog::OnResetToolBar() {
  if (QToolBar* bar = SelectedBar()) m_frame.ResetToolBar(bar);
  FillCommands();
}
