#include "analysis/waitdialog.h"

#include "framework/dialogunits.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

CDlgWait::CDlgWait(QWidget* owner) : QDialog(owner, FixedDialogFlags(false)) {
  setWindowTitle(QStringLiteral("Varenko"));
  // The controls are made once the dialog has its font: under a look's
  // style sheet, controls made before would keep the application's larger
  // font, and the text would not fit its line.
  setFont(DialogUnits::DialogFont());
  m_staticText = new QLabel(QStringLiteral("Processing..."), this);
  m_progress = new QProgressBar(this);
  const DialogUnits units(font());
  m_staticText->setGeometry(units.ToPixels(7, 7, 171, 8));
  m_staticText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_progress->setGeometry(units.ToPixels(7, 21, 171, 14));
  m_progress->setTextVisible(false);
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  setFixedSize(units.ToPixels(0, 0, 185, 42).size());
  setModal(false);
}

void CDlgWait::ShowCentred() {
  const QRect area = parentWidget() != nullptr && parentWidget()->isVisible()
                         ? parentWidget()->frameGeometry()
                         : (screen() != nullptr ? screen()->availableGeometry() : QRect());
  if (area.isValid()) move(area.center() - rect().center());
  show();
}

void CDlgWait::closeEvent(QCloseEvent* event) { event->ignore(); }
