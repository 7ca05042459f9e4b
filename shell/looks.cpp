#include "shell/looks.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

#include <algorithm>

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

// How a look draws its bars and menus.
struct BarStyle {
  QString top;        // bar gradient, top
  QString bottom;     // bar gradient, bottom; the same as top for flat bars
  QString hot;        // a hot or checked button, a selected menu item
  QString hotBorder;  // its border
  QString barText = QStringLiteral("black");
  QString selectedText = QStringLiteral("black");  // text of a selected menu item
  QString menu = QStringLiteral("#FAFAFA");        // menu background
  int radius = 0;                                  // corners of hot buttons
};

// Rules for the bars: a gradient behind menu bar, tool bars and status bar,
// and the colours of hot items. Every tool button keeps a border of one
// pixel in every state, transparent when it is neither hot nor checked, so
// that no button moves when one changes state.
QString BarSheet(const BarStyle& b) {
  const QString gradient =
      QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)").arg(b.top, b.bottom);
  const QString corner = QString::number(b.radius);
  return QStringLiteral(
             "QMenuBar, QToolBar, QStatusBar { background: %1; color: %5; }"
             "QToolBar { border: none; spacing: 2px; }"
             "QMenuBar::item { background: transparent; color: %5; padding: 3px 8px; }"
             "QMenuBar::item:selected, QMenu::item:selected { background: %3; color: %6; border: 1px solid %4; }"
             "QToolButton { border: 1px solid transparent; border-radius: %8px; padding: 1px; }"
             "QToolButton:hover, QToolButton:checked, QToolButton:pressed { background: %3; border-color: %4; }"
             "QStatusBar QLabel { color: %5; }"
             "QStatusBar QLabel:disabled { color: #9A9A9A; }"
             "QMenu { background: %7; border: 1px solid %4; }"
             "QMenu::item { padding: 4px 24px 4px 24px; color: black; border: 1px solid transparent; }"
             "QMenu::item:disabled { color: #8D8D8D; }"
             "QMenu::separator { height: 1px; background: %2; margin: 3px 6px; }")
      .arg(gradient, b.bottom, b.hot, b.hotBorder, b.barText, b.selectedText, b.menu, corner);
}

Look Office2007(int scheme) {
  switch (scheme) {
    case 1:  // black
      return {"Fusion",
              MakePalette(QColor(83, 83, 83), QColor(110, 110, 110), QColor(255, 200, 100), Qt::black, Qt::white),
              BarSheet({.top = "#5F5F5F",
                        .bottom = "#2E2E2E",
                        .hot = "#FFD97A",
                        .hotBorder = "#C2A149",
                        .barText = "white",
                        .radius = 2})};
    case 2:  // aqua
      return {"Fusion", MakePalette(QColor(196, 218, 236), QColor(214, 230, 243), QColor(255, 214, 110), Qt::black),
              BarSheet({.top = "#E6F1FA", .bottom = "#A9C8E2", .hot = "#FFE38C", .hotBorder = "#C2A149", .radius = 2})};
    case 3:  // silver
      return {"Fusion", MakePalette(QColor(214, 219, 227), QColor(230, 233, 238), QColor(255, 214, 110), Qt::black),
              BarSheet({.top = "#F4F5F8", .bottom = "#C6CCD6", .hot = "#FFE38C", .hotBorder = "#C2A149", .radius = 2})};
    default:  // blue
      return {"Fusion", MakePalette(QColor(191, 219, 255), QColor(214, 232, 255), QColor(255, 214, 110), Qt::black),
              BarSheet({.top = "#E3EFFF", .bottom = "#A5C8F7", .hot = "#FFE38C", .hotBorder = "#C2A149", .radius = 2})};
  }
}

// Draws the radio mark of a menu item that is one of a set: the styles
// behind the looks draw a tick for it like for any checked item.
class LookStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != PE_IndicatorMenuCheckMark || item == nullptr || item->checkType != QStyleOptionMenuItem::Exclusive) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    // The colour the tick would have: grey when disabled, the highlighted
    // text colour on a selected item.
    const QColor colour = !(option->state & State_Enabled) ? option->palette.color(QPalette::Mid)
                          : (option->state & State_On)     ? option->palette.color(QPalette::HighlightedText)
                                                           : option->palette.color(QPalette::Text);
    const qreal diameter = std::max(4.0, std::min(option->rect.width(), option->rect.height()) / 2.5);
    QRectF dot(0, 0, diameter, diameter);
    dot.moveCenter(QRectF(option->rect).center());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    painter->drawEllipse(dot);
    painter->restore();
  }
};

}  // namespace

Look LookFor(unsigned id) {
  switch (id) {
    case 205:  // classic grey
      return {"Windows", MakePalette(QColor(212, 208, 200), QColor(212, 208, 200), QColor(10, 36, 106)), QString()};
    case 206:  // office XP: flat light bars without gradient, lilac hot items framed in navy, white menus
      return {
          "Fusion", MakePalette(QColor(239, 237, 229), QColor(239, 237, 229), QColor(182, 189, 210), Qt::black),
          BarSheet(
              {.top = "#EFEDE5", .bottom = "#EFEDE5", .hot = "#B6BDD2", .hotBorder = "#0A246A", .menu = "#FFFFFF"})};
    case 207:  // XP: beige bars, menu items selected in solid blue with white text, rounded hot buttons
      return {"Fusion", MakePalette(QColor(236, 233, 216), QColor(236, 233, 216), QColor(49, 106, 197)),
              BarSheet({.top = "#F6F4EC",
                        .bottom = "#E3DFCC",
                        .hot = "#316AC5",
                        .hotBorder = "#2A5AA8",
                        .selectedText = "white",
                        .menu = "#FFFFFF",
                        .radius = 3}) +
                  "QToolButton:hover, QToolButton:checked, QToolButton:pressed { background: "
                  "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #DCD7C2); border-color: #A39E88; }"};
    case 208:  // office 2003: blue bars, orange hot items
      return {"Fusion", MakePalette(QColor(195, 218, 249), QColor(221, 236, 254), QColor(255, 200, 120), Qt::black),
              BarSheet({.top = "#DDECFE", .bottom = "#81A9E2", .hot = "#FFD58C", .hotBorder = "#000080"})};
    case 209:  // VS 2005: strongly graded warm grey bars, pale blue hot items framed in blue, grey menus
      return {
          "Fusion", MakePalette(QColor(236, 233, 216), QColor(243, 241, 230), QColor(193, 210, 238), Qt::black),
          BarSheet(
              {.top = "#FFFFFF", .bottom = "#C9C3AC", .hot = "#C1D2EE", .hotBorder = "#316AC5", .menu = "#F6F5F1"})};
    case 210:  // VS 2008: menu bar and status bar flat on the lavender frame, graded lavender tool bars, pale
               // blue hot items framed in slate blue
      return {"Fusion", MakePalette(QColor(203, 209, 238), QColor(236, 238, 250), QColor(216, 226, 250), Qt::black),
              BarSheet({.top = "#F6F7FD",
                        .bottom = "#BCC3E8",
                        .hot = "#D8E2FA",
                        .hotBorder = "#7A8CC7",
                        .menu = "#F6F7FD",
                        .radius = 2}) +
                  "QMenuBar, QToolBar#MenuBar, QStatusBar { background: #CBD1EE; }"};
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
      return {"Fusion", MakePalette(QColor(240, 240, 240), QColor(245, 245, 245), QColor(51, 153, 255)),
              BarSheet({.top = "#FFFFFF", .bottom = "#E1E6F0", .hot = "#CCE8FF", .hotBorder = "#99D1FF", .radius = 2})};
    default:  // 211 to 214 and unknown ids: office 2007 in its current scheme
      return Office2007(g_office2007Scheme);
  }
}

void ApplyLook(unsigned id) {
  const Look look = LookFor(id);
  if (QStyle* style = QStyleFactory::create(look.style)) QApplication::setStyle(new LookStyle(style));
  QApplication::setPalette(look.palette);
  qApp->setStyleSheet(look.styleSheet);
}
