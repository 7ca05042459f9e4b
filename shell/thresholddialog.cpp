#include "shell/thresholddialog.h"

#include "analysis/document.h"
#include "analysis/threshold.h"
#include "framework/dialogunits.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

CDlgThreshold::CDlgThreshold(QWidget* parent) : QDialog(parent, FixedDialogFlags()) {
  setWindowTitle(QStringLiteral("Set CS Threshold"));
  setFont(DialogUnits::DialogFont());
  // Controls are made once the dialog has its font: under a look's style
  // sheet, a control made before would keep the application's larger font.
  m_edit = new QLineEdit(this);
  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  const DialogUnits units(font());

  auto* label = new QLabel(QStringLiteral("CS Threshold:"), this);
  label->setAlignment(Qt::AlignRight | Qt::AlignTop);
  label->setGeometry(units.ToPixels(7, 10, 49, 8));
  m_edit->setGeometry(units.ToPixels(61, 8, 34, 12));
  m_edit->setMaxLength(399);
  m_ok->setGeometry(units.ToPixels(7, 39, 50, 14));
  m_ok->setDefault(true);
  m_cancel->setGeometry(units.ToPixels(61, 39, 50, 14));
  auto* percent = new QLabel(QStringLiteral("%"), this);
  percent->setGeometry(units.ToPixels(100, 10, 8, 8));
  setFixedSize(units.ToPixels(0, 0, 119, 60).size());

  // Tab order: the edit, OK, Cancel.
  setTabOrder(m_edit, m_ok);
  setTabOrder(m_ok, m_cancel);
  connect(m_ok, &QPushButton::clicked, this, &CDlgThreshold::OnBnClickedOk);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDlgThreshold::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_initialised) OnInitDialog();
}

bool CDlgThreshold::OnInitDialog() {
  m_initialised = true;
  m_edit->setText(Format("%.*g", 15, m_dThreshold));
  m_edit->setText(ReadThresholdText());
  UpdateData();
  m_edit->setFocus();
  return true;
}

bool CDlgThreshold::UpdateData() {
  const std::optional<double> value = ScanLeadingDouble(m_edit->text());
  if (!value) {
    Prompts::Current().MessageBox(QStringLiteral("Enter a number."), MessageIcon::Warning);
    m_edit->setFocus();
    m_edit->selectAll();
    return false;
  }
  m_dThreshold = *value;
  return true;
}

void CDlgThreshold::OnBnClickedOk() {
  if (!UpdateData()) return;
  // Not-a-number is no threshold either: it is refused like a value out of
  // range.
  if (m_dThreshold < 0.0 || m_dThreshold > 100.0 || std::isnan(m_dThreshold)) {
    Prompts::Current().MessageBox(QStringLiteral("Please select a value between 0 and 100"), MessageIcon::Error);
    m_edit->setFocus();
    return;
  }
  Profile::Instance().WriteProfileString(QString::fromLatin1(kOptionsSection), QString::fromLatin1(kThresholdEntry),
                                         Format("%.2f", m_dThreshold));
  accept();
}
