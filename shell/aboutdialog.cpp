#include "shell/aboutdialog.h"

#include "framework/dialogunits.h"
#include "framework/systemopen.h"

#include <QFocusEvent>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

namespace {

QLabel* AddText(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  label->setGeometry(geometry);
  return label;
}

// The contact address, one stop of the tab order. Tab and Shift+Tab land on
// the link itself, so that it shows as chosen and Enter opens it (a plain
// label first takes the focus with nothing chosen, where Enter ends the
// dialog), and leave it again in either direction (a plain label keeps
// choosing its one link on Shift+Tab).
class LinkLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QLabel::focusInEvent(event);
    const bool tab = event->reason() == Qt::TabFocusReason;
    if ((tab || event->reason() == Qt::BacktabFocusReason) && !hasSelectedText()) QLabel::focusNextPrevChild(tab);
  }
  bool focusNextPrevChild(bool next) override {
    if (hasSelectedText()) return QWidget::focusNextPrevChild(next);
    return QLabel::focusNextPrevChild(next);
  }
};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent, FixedDialogFlags()) {
  setWindowTitle(QStringLiteral("About Varenko"));
  setFont(DialogUnits::DialogFont());
  // Controls are made once the dialog has its font: under a look's style
  // sheet, a control made before would keep the application's larger font.
  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_btnLink = new LinkLabel(this);
  const DialogUnits units(font());

  // The icon at its largest square within its place.
  const QRect iconPlace = units.ToPixels(14, 14, 20, 20);
  const int side = std::min(iconPlace.width(), iconPlace.height());
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/resources/icons/varenko.svg")).pixmap(side, side));
  icon->setGeometry(QRect(iconPlace.topLeft(), QSize(side, side)));

  AddText(this, QStringLiteral("Varenko, Version 1.1.0"), units.ToPixels(42, 14, 114, 8))->setWordWrap(false);
  AddText(this, QStringLiteral("Measures drawings made on a body chart."), units.ToPixels(42, 28, 207, 11));
  AddText(this,
          QStringLiteral("Counts the marked pixels inside the body and classes each drawing by the CS threshold."),
          units.ToPixels(42, 41, 192, 19));
  AddText(this, QStringLiteral("Made by Kestrune.\nCopyright \u00A9 Kestrune. All rights reserved."),
          units.ToPixels(42, 63, 192, 18));
  AddText(this, QStringLiteral("For clinical and research use.\n\nFor license information please read the user guide"),
          units.ToPixels(42, 86, 186, 34));
  AddText(this, QStringLiteral("For more information contact:"), units.ToPixels(42, 124, 96, 8))->setWordWrap(false);

  // The contact address: a link that the user's mail program opens; the
  // keyboard reaches it with Tab and opens it with Enter. It reaches nearly
  // to the dialog's right edge so that the whole address shows.
  const QUrl contact(QString::fromLatin1(kContactUrl));
  m_btnLink->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(contact.toString(), contact.path()));
  m_btnLink->setTextFormat(Qt::RichText);
  m_btnLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  m_btnLink->setGeometry(units.ToPixels(141, 122, 136, 12));
  connect(m_btnLink, &QLabel::linkActivated, this, [](const QString& link) { OpenWithSystem(QUrl(link)); });

  m_ok->setGeometry(units.ToPixels(228, 148, 50, 14));
  m_ok->setDefault(true);
  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
  setTabOrder(m_ok, m_btnLink);

  setFixedSize(units.ToPixels(0, 0, 285, 169).size());
}
