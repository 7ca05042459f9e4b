#include "shell/looks.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace {

// The colour scheme of the office 2007 look: 0 blue, 1 black, 2 aqua,
// 3 silver; kept across look changes like the style it stands for.
int g_office2007Scheme = 0;

QPalette MakePalette(QColor window, QColor button, QColor highlight, QColor highlightText = Qt::white,
                     QColor text = Qt::black, QColor base = Qt::white) {
  QPalette p;
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Button, button);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, base.darker(105));
  p.setColor(QPalette::Text, Qt::black);
  p.setColor(QPalette::Highlight, highlight);
  p.setColor(QPalette::HighlightedText, highlightText);
  p.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
  p.setColor(QPalette::ToolTipText, Qt::black);
  p.setColor(QPalette::Light, button.lighter(150));
  p.setColor(QPalette::Midlight, button.lighter(115));
  p.setColor(QPalette::Mid, button.darker(130));
  p.setColor(QPalette::Dark, button.darker(200));
  p.setColor(QPalette::Shadow, Qt::black);
  p.setColor(QPalette::Disabled, QPalette::WindowText,
             text == Qt::black ? QColor(128, 128, 128) : QColor(160, 160, 160));
  p.setColor(QPalette::Disabled, QPalette::ButtonText,
             text == Qt::black ? QColor(128, 128, 128) : QColor(160, 160, 160));
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128));
  return p;
}

// Rules for the bars: a vertical gradient behind menu bar, tool bars and
// status bar, and the colour of a hot menu item or button.
QString BarSheet(const QString& top, const QString& bottom, const QString& hot, const QString& hotBorder,
                 const QString& barText = QStringLiteral("black")) {
  const QString gradient =
      QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)").arg(top, bottom);
  return QStringLiteral(
             "QMenuBar, QToolBar, QStatusBar { background: %1; color: %5; }"
             "QToolBar { border: none; spacing: 2px; }"
             "QMenuBar::item { background: transparent; color: %5; padding: 3px 8px; }"
             "QMenuBar::item:selected, QMenu::item:selected { background: %3; color: black; border: 1px solid %4; }"
             "QToolButton:hover { background: %3; border: 1px solid %4; }"
             "QToolButton:checked { background: %3; border: 1px solid %4; }"
             "QStatusBar QLabel { color: %5; }"
             "QStatusBar QLabel:disabled { color: #9A9A9A; }"
             "QMenu { background: #FAFAFA; border: 1px solid %4; }"
             "QMenu::item { padding: 4px 24px 4px 24px; color: black; }"
             "QMenu::item:disabled { color: #8D8D8D; }"
             "QMenu::separator { height: 1px; background: %2; margin: 3px 6px; }")
      .arg(gradient, bottom, hot, hotBorder, barText);
}

Look Office2007(int scheme) {
  switch (scheme) {
    case 1:  // black
      return {QStringLiteral("Fusion"),
              MakePalette(QColor(83, 83, 83), QColor(110, 110, 110), QColor(255, 200, 100), Qt::black, Qt::white),
              BarSheet(QStringLiteral("#5F5F5F"), QStringLiteral("#2E2E2E"), QStringLiteral("#FFD97A"),
                       QStringLiteral("#C2A149"), QStringLiteral("white"))};
    case 2:  // aqua
      return {QStringLiteral("Fusion"),
              MakePalette(QColor(196, 218, 236), QColor(214, 230, 243), QColor(255, 214, 110), Qt::black),
              BarSheet(QStringLiteral("#E6F1FA"), QStringLiteral("#A9C8E2"), QStringLiteral("#FFE38C"),
                       QStringLiteral("#C2A149"))};
    case 3:  // silver
      return {QStringLiteral("Fusion"),
              MakePalette(QColor(214, 219, 227), QColor(230, 233, 238), QColor(255, 214, 110), Qt::black),
              BarSheet(QStringLiteral("#F4F5F8"), QStringLiteral("#C6CCD6"), QStringLiteral("#FFE38C"),
                       QStringLiteral("#C2A149"))};
    default:  // blue
      return {QStringLiteral("Fusion"),
              MakePalette(QColor(191, 219, 255), QColor(214, 232, 255), QColor(255, 214, 110), Qt::black),
              BarSheet(QStringLiteral("#E3EFFF"), QStringLiteral("#A5C8F7"), QStringLiteral("#FFE38C"),
                       QStringLiteral("#C2A149"))};
  }
}

}  // namespace

Look LookFor(unsigned id) {
  switch (id) {
    case 205:  // classic grey
      return {QStringLiteral("Windows"), MakePalette(QColor(212, 208, 200), QColor(212, 208, 200), QColor(10, 36, 106)),
              QString()};
    case 206:  // office XP: flat light bars, lilac hot items
      return {QStringLiteral("Fusion"),
              MakePalette(QColor(239, 237, 229), QColor(239, 237, 229), QColor(182, 189, 210), Qt::black),
              BarSheet(QStringLiteral("#F7F6F1"), QStringLiteral("#E5E2D6"), QStringLiteral("#B6BDD2"),
                       QStringLiteral("#0A246A"))};
    case 207:  // XP: beige bars, blue selection
      return {QStringLiteral("Fusion"), MakePalette(QColor(236, 233, 216), QColor(236, 233, 216), QColor(49, 106, 197)),
              BarSheet(QStringLiteral("#FEFEFD"), QStringLiteral("#DCD9C6"), QStringLiteral("#C1D2EE"),
                       QStringLiteral("#316AC5"))};
    case 208:  // office 2003: blue bars, orange hot items
      return {QStringLiteral("Fusion"),
              MakePalette(QColor(195, 218, 249), QColor(221, 236, 254), QColor(255, 200, 120), Qt::black),
              BarSheet(QStringLiteral("#DDECFE"), QStringLiteral("#81A9E2"), QStringLiteral("#FFD58C"),
                       QStringLiteral("#000080"))};
    case 209:  // VS 2005: warm grey bars
      return {QStringLiteral("Fusion"),
              MakePalette(QColor(236, 233, 216), QColor(243, 241, 230), QColor(193, 210, 238), Qt::black),
              BarSheet(QStringLiteral("#FBFAF6"), QStringLiteral("#D8D3BF"), QStringLiteral("#C1D2EE"),
                       QStringLiteral("#316AC5"))};
    case 210:  // VS 2008: blue-grey bars
      return {QStringLiteral("Fusion"),
              MakePalette(QColor(233, 236, 242), QColor(240, 243, 248), QColor(255, 231, 162), Qt::black),
              BarSheet(QStringLiteral("#F5F7FB"), QStringLiteral("#C4CEDE"), QStringLiteral("#FFE7A2"),
                       QStringLiteral("#E5C365"))};
    case 215:
      g_office2007Scheme = 0;
      return Office2007(0);
    case 216:
      g_office2007Scheme = 1;
      return Office2007(1);
    case 217:
      g_office2007Scheme = 3;
      return Office2007(3);
    case 218:
      g_office2007Scheme = 2;
      return Office2007(2);
    case 219:  // windows 7: white bars, pale blue hot items
      return {QStringLiteral("Fusion"), MakePalette(QColor(240, 240, 240), QColor(245, 245, 245), QColor(51, 153, 255)),
              BarSheet(QStringLiteral("#FFFFFF"), QStringLiteral("#E1E6F0"), QStringLiteral("#CCE8FF"),
                       QStringLiteral("#99D1FF"))};
    default:  // 211 to 214 and unknown ids: office 2007 in its current scheme
      return Office2007(g_office2007Scheme);
  }
}

void ApplyLook(unsigned id) {
  const Look look = LookFor(id);
  if (QStyle* style = QStyleFactory::create(look.style)) QApplication::setStyle(style);
  QApplication::setPalette(look.palette);
  qApp->setStyleSheet(look.styleSheet);
}
