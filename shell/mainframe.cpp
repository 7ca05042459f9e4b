#include "shell/mainframe.h"

#include "analysis/document.h"
#include "framework/lockkeys.h"
#include "framework/profile.h"
#include "framework/recentfiles.h"
#include "framework/waitcursor.h"
#include "resources/resource.h"
#include "shell/application.h"
#include "shell/customizedialog.h"
#include "shell/looks.h"
#include "shell/view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <memory>
#include <new>

namespace {

constexpr const char* kButtonMime = "application/x-varenko-toolbar-button";
constexpr const char* kCustomizeButtonName = "customizeButton";
// What the status bar's message pane shows while no command is under the mouse.
const QString kIdleMessage = QStringLiteral("Ready");

QString Text(const std::string& s) { return QString::fromStdString(s); }

// The picture of a command's tool-bar button.
QIcon ButtonIcon(unsigned id) {
  static const char* const kNames[] = {"open",  "openfolder", "compare", "smartarea",
                                       "probe", "results",    "about",   "guide"};
  const int index = res::ToolBarImageIndex(id);
  if (index < 0) return QIcon();
  return QIcon(QStringLiteral(":/resources/icons/%1.svg").arg(QLatin1String(kNames[index])));
}

// The button at a tool bar's end that opens the bar's options. It shows one
// small arrow drawn by the look's style: no picture and no separate menu
// arrow, which would make two.
class CustomizeButton : public QToolButton {
 public:
  using QToolButton::QToolButton;

  // The open menu holds the mouse, so the button hears nothing when the
  // mouse leaves it for the menu: once the menu closes away from the button,
  // the button is told the mouse has gone and stops drawing itself hot.
  void MenuClosed() {
    if (rect().contains(mapFromGlobal(QCursor::pos()))) return;
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(this, &leave);
  }

  QSize sizeHint() const override {
    const int across = style()->pixelMetric(QStyle::PM_ToolBarExtensionExtent, nullptr, this);
    const QSize full = QToolButton::sizeHint();
    const auto* bar = qobject_cast<const QToolBar*>(parentWidget());
    return bar != nullptr && bar->orientation() == Qt::Vertical ? QSize(full.width(), across)
                                                                : QSize(across, full.height());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.features &= ~QStyleOptionToolButton::HasMenu;
    option.arrowType = Qt::NoArrow;
    option.icon = QIcon();
    option.text.clear();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
    QStyleOption arrow;
    arrow.initFrom(this);
    // A hot or pressed button has a light face in every look, where the
    // bar's own text colour (white on the dark bars of the black look) would
    // not show: its arrow takes the colour of text on a light ground.
    if (option.state & (QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_On)) {
      const QColor dark = arrow.palette.color(QPalette::Text);
      arrow.palette.setColor(QPalette::WindowText, dark);
      arrow.palette.setColor(QPalette::ButtonText, dark);
    }
    arrow.rect = QRect(0, 0, kArrowSize, kArrowSize);
    arrow.rect.moveCenter(rect().center());
    painter.drawPrimitive(QStyle::PE_IndicatorArrowDown, arrow);
  }

 private:
  static constexpr int kArrowSize = 9;
};

QString WithoutAccessKey(QString text) {
  text = text.section(QLatin1Char('\t'), 0, 0);
  text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
  return text;
}

}  // namespace

CMainFrame::CMainFrame(CVarenkoDoc& document) : m_document(document) {
  if (CVarenkoApp* app = TheApp()) {
    app->m_nAppLook =
        static_cast<unsigned>(Profile::Instance().GetInt(QStringLiteral("ApplicationLook"), kDefaultLook));
  }
  setObjectName(QStringLiteral("MainFrame"));
  setWindowTitle(QStringLiteral("Varenko"));
  setWindowIcon(QIcon(QStringLiteral(":/resources/icons/varenko.svg")));
  SetDocument(&document);
}

CMainFrame::~CMainFrame() {
  // With no memory left as the window goes, the bars stay as last saved
  // rather than the program ending on them.
  try {
    if (!m_bBarsSaved) SaveToolBars();
  } catch (const std::bad_alloc&) {
  }
  // The view goes before the document it shows.
  delete m_pView;
  m_pView = nullptr;
}

std::span<const CommandEntry<CMainFrame>> CMainFrame::CommandMap() {
  static const CommandEntry<CMainFrame> map[] = {
      MapCommand(res::ID_VIEW_CUSTOMIZE, &CMainFrame::OnViewCustomize),
      MapCommandRange(kFirstLook, kLastLook, &CMainFrame::OnApplicationLook),
      MapUpdateRange(kFirstLook, kLastLook, &CMainFrame::OnUpdateApplicationLook),
      MapCommand(res::ID_VIEW_STATUS_BAR, &CMainFrame::OnViewStatusBar),
      MapUpdate(res::ID_VIEW_STATUS_BAR, &CMainFrame::OnUpdateViewStatusBar),
  };
  return map;
}

bool CMainFrame::OnCreate() {
  // The view first: it registers with the document before anything asks
  // the document to lay it out.
  m_pView = new CVarenkoView(&m_document, this);
  setCentralWidget(m_pView);
  if (!m_pView->OnCreate()) return false;
  SetActiveView(m_pView);

  BuildMenuBar();
  BuildToolBar();
  BuildStatusBar();
  setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
  OnApplicationLook(TheApp() ? TheApp()->m_nAppLook : kDefaultLook);
  RestoreToolBars();
  // Give the hidden window a real size and lay it out, so the view has its
  // panes before the first drawing is fitted into them.
  if (const QScreen* screen = this->screen()) resize(screen->availableSize() * 4 / 5);
  if (layout() != nullptr) layout()->activate();
  m_pView->OnSize();
  Actions().EnableIdleUpdates();
  Actions().UpdateAll();
  m_pView->setFocus();
  return true;
}

QAction* CMainFrame::SetUpAction(unsigned id, const std::string& text) {
  QAction* action = Actions().Action(id);
  if (!text.empty()) action->setText(Text(text));
  const res::CommandString strings = res::CommandStringOf(id);
  action->setStatusTip(Text(strings.prompt));
  action->setToolTip(strings.tooltip.empty() ? WithoutAccessKey(action->text()) : Text(strings.tooltip));
  if (action->icon().isNull()) action->setIcon(ButtonIcon(id));
  action->setIconVisibleInMenu(false);
  QList<QKeySequence> keys;
  for (const res::Accelerator& accelerator : res::Accelerators()) {
    if (accelerator.id == id) keys << QKeySequence(Text(accelerator.key), QKeySequence::PortableText);
  }
  if (!keys.isEmpty() && action->shortcuts() != keys) action->setShortcuts(keys);
  // Every command's shortcut works wherever the focus is in the window.
  if (!actions().contains(action)) addAction(action);
  return action;
}

void CMainFrame::BuildMenu(QMenu* menu, const std::vector<res::MenuItem>& items) {
  for (const res::MenuItem& item : items) {
    switch (item.kind) {
      case res::MenuItem::Kind::Separator:
        menu->addSeparator();
        break;
      case res::MenuItem::Kind::Popup: {
        QMenu* sub = menu->addMenu(Text(item.text));
        if (item.children.size() == 1 && item.children[0].id == res::ID_VIEW_TOOLBAR) {
          // The list of bars, filled each time the menu opens.
          connect(sub, &QMenu::aboutToShow, this, [this, sub] { FillBarsMenu(sub); });
        } else {
          BuildMenu(sub, item.children);
          Actions().WatchMenu(sub);
        }
        break;
      }
      case res::MenuItem::Kind::Command:
        if (item.id == res::ID_FILE_MRU_FILE1) {
          // The recent files stand where the placeholder stands.
          m_recentPlaceholder = menu->addAction(Text(item.text));
          m_recentPlaceholder->setEnabled(false);
          for (unsigned id = res::ID_FILE_MRU_FILE1; id < res::ID_FILE_MRU_FILE1 + 4; ++id) {
            QAction* action = SetUpAction(id, "");
            menu->addAction(action);
            m_recentActions << action;
          }
          connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateRecentFiles(menu); });
        } else {
          menu->addAction(SetUpAction(item.id, item.text));
        }
        break;
    }
  }
}

void CMainFrame::BuildMenuBar() {
  m_wndMenuBar = new QMenuBar;
  m_wndMenuBar->setNativeMenuBar(false);
  for (const res::MenuItem& top : res::MainMenu()) {
    QMenu* menu = m_wndMenuBar->addMenu(Text(top.text));
    BuildMenu(menu, top.children);
    Actions().WatchMenu(menu);
  }
  // The menu bar sits in a bar of its own so that it can be moved and
  // floated like the tool bar.
  m_wndMenuBarPane = new QToolBar(QStringLiteral("Menu Bar"), this);
  m_wndMenuBarPane->setObjectName(QStringLiteral("MenuBar"));
  m_wndMenuBarPane->addWidget(m_wndMenuBar);
  m_wndMenuBarPane->setMovable(true);
  m_wndMenuBarPane->setFloatable(true);
  // A menu bar is a row of words: docked at a side it would stand as a
  // wide, mostly empty column.
  m_wndMenuBarPane->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
  // A right click on the menu bar shows the bars' menu, as on any other
  // bar: it is the way back to a tool bar that was hidden.
  m_wndMenuBar->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_wndMenuBar, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const std::unique_ptr<QMenu> menu(createPopupMenu());
    menu->exec(m_wndMenuBar->mapToGlobal(pos));
  });
  addToolBar(Qt::TopToolBarArea, m_wndMenuBarPane);
  addToolBarBreak(Qt::TopToolBarArea);
  m_wndMenuBarPane->installEventFilter(this);
  UpdateRecentFiles(nullptr);
  // Shortcuts of commands that have no menu item.
  for (const res::Accelerator& accelerator : res::Accelerators()) SetUpAction(accelerator.id, "");
  for (const res::MenuItem& item : res::EditPopupMenu().children) SetUpAction(item.id, item.text);
}

void CMainFrame::BuildToolBar() {
  m_wndToolBar = new QToolBar(Text(res::LoadString(res::IDS_TOOLBAR_STANDARD)), this);
  m_wndToolBar->setObjectName(QStringLiteral("Standard"));
  m_wndToolBar->setIconSize(QSize(32, 32));
  m_wndToolBar->setMovable(true);
  m_wndToolBar->setFloatable(true);
  m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
  addToolBar(Qt::TopToolBarArea, m_wndToolBar);
  AddCustomizeButton(m_wndToolBar);
  ResetToolBar(m_wndToolBar);
}

QAction* CMainFrame::CustomizeButtonAction(QToolBar* bar) const {
  for (QAction* action : bar->actions()) {
    if (action->objectName() == QLatin1String(kCustomizeButtonName)) return action;
  }
  return nullptr;
}

void CMainFrame::AddCustomizeButton(QToolBar* bar) {
  auto* button = new CustomizeButton(bar);
  button->setPopupMode(QToolButton::InstantPopup);
  button->setToolTip(QStringLiteral("Toolbar Options"));
  button->setAutoRaise(true);
  auto* menu = new QMenu(button);
  connect(menu, &QMenu::aboutToShow, this, [this, bar, menu] {
    menu->clear();
    QMenu* add = menu->addMenu(QStringLiteral("&Add or Remove Buttons"));
    QMenu* list = add->addMenu(bar->windowTitle());
    for (unsigned id : ButtonCommands()) {
      QAction* command = Actions().Action(id);
      // No picture: menus draw a checked item's picture in place of its
      // tick, and the tick is what tells which buttons are on the bar.
      QAction* item = list->addAction(WithoutAccessKey(command->text()));
      item->setCheckable(true);
      item->setChecked(bar->actions().contains(command));
      connect(item, &QAction::toggled, this, [this, bar, command](bool on) {
        if (on) {
          bar->insertAction(CustomizeButtonAction(bar), command);
        } else {
          bar->removeAction(command);
        }
        WatchButtons(bar);
        SaveToolBars();
      });
    }
    list->addSeparator();
    connect(list->addAction(QStringLiteral("&Reset Toolbar")), &QAction::triggered, this, [this, bar] {
      ResetToolBar(bar);
      SaveToolBars();
    });
    menu->addSeparator();
    menu->addAction(Actions().Action(res::ID_VIEW_CUSTOMIZE));
  });
  connect(menu, &QMenu::aboutToHide, button, &CustomizeButton::MenuClosed);
  button->setMenu(menu);
  QAction* holder = bar->addWidget(button);
  holder->setObjectName(QLatin1String(kCustomizeButtonName));
  bar->installEventFilter(this);
  bar->setAcceptDrops(true);
  Actions().Action(res::ID_VIEW_CUSTOMIZE)->setText(Text(res::LoadString(res::IDS_TOOLBAR_CUSTOMIZE)));
}

std::vector<unsigned> CMainFrame::ButtonCommands() {
  std::vector<unsigned> ids;
  for (unsigned id : res::ToolBarButtons()) {
    if (id != 0) ids.push_back(id);
  }
  return ids;
}

void CMainFrame::ResetToolBar(QToolBar* bar) {
  QAction* customize = CustomizeButtonAction(bar);
  for (QAction* action : bar->actions()) {
    if (action != customize) bar->removeAction(action);
  }
  if (bar == m_wndToolBar) {
    for (unsigned id : res::ToolBarButtons()) {
      if (id == 0) {
        bar->insertSeparator(customize);
      } else {
        bar->insertAction(customize, SetUpAction(id, ""));
      }
    }
    bar->insertSeparator(customize);
  }
  WatchButtons(bar);
}

QToolBar* CMainFrame::CreateToolBar(const QString& name) {
  QToolBar* bar = AddUserToolBar(name);
  SaveToolBars();
  return bar;
}

QToolBar* CMainFrame::AddUserToolBar(const QString& name) {
  auto* bar = new QToolBar(name, this);
  bar->setObjectName(QStringLiteral("User:%1").arg(name));
  bar->setIconSize(QSize(32, 32));
  bar->setAllowedAreas(Qt::AllToolBarAreas);
  addToolBar(Qt::TopToolBarArea, bar);
  AddCustomizeButton(bar);
  // Shown from the start: a bar added to a window on the screen would be
  // shown only at the next layout, and saved before that as hidden. A
  // restored bar then takes the visibility it was saved with.
  bar->show();
  m_userToolBars << bar;
  return bar;
}

QList<QToolBar*> CMainFrame::ToolBars() const { return QList<QToolBar*>{m_wndToolBar} + m_userToolBars; }

QList<QToolBar*> CMainFrame::AllBars() const { return ToolBars() << m_wndMenuBarPane; }

void CMainFrame::BuildStatusBar() {
  m_wndStatusBar = new QStatusBar(this);
  m_wndStatusBar->setObjectName(QStringLiteral("StatusBar"));
  setStatusBar(m_wndStatusBar);
  m_wndStatusBar->showMessage(kIdleMessage);
  // The lock-key indicators light while their key is on; they stay dim
  // where the windowing system tells no lock state.
  const char* const texts[] = {"CAP", "NUM", "SCRL"};
  for (int i = 0; i < 3; ++i) {
    m_indicators[i] = new QLabel(QString::fromLatin1(texts[i]));
    m_indicators[i]->setAlignment(Qt::AlignCenter);
    m_indicators[i]->setMinimumWidth(m_indicators[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
    m_indicators[i]->setEnabled(false);
    m_wndStatusBar->addPermanentWidget(m_indicators[i]);
  }
  m_lockKeys = new LockKeysWatcher(this);
  connect(m_lockKeys, &LockKeysWatcher::Changed, this, [this](const LockKeys& keys) {
    m_indicators[0]->setEnabled(keys.caps);
    m_indicators[1]->setEnabled(keys.num);
    m_indicators[2]->setEnabled(keys.scroll);
  });
  m_lockKeys->Update();
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // The message pane shows a command's prompt while its item or button is
    // under the mouse, and "Ready" otherwise. Menus tell both an item with no
    // prompt and the mouse leaving an item by an empty tip: the open menu's
    // current item tells which, and its own prompt, blank or not, is shown.
    QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    QAction* item = nullptr;
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()); menu != nullptr && tip.isEmpty()) {
      item = menu->activeAction();
      if (item != nullptr && item->isSeparator()) item = nullptr;
      if (item != nullptr) tip = item->statusTip();
    }
    if (m_wndStatusBar != nullptr) m_wndStatusBar->showMessage(tip.isEmpty() && item == nullptr ? kIdleMessage : tip);
    return true;
  }
  return FrameWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A folder run in progress finishes first.
  if (m_document.IsRunning()) {
    event->ignore();
    return;
  }
  // The bars are saved while they all still show: as the program quits, it
  // closes a floating tool bar too, and saved hidden it would not come back.
  SaveToolBars();
  m_bBarsSaved = true;
  FrameWindow::closeEvent(event);
}

void CMainFrame::showEvent(QShowEvent* event) {
  FrameWindow::showEvent(event);
  if (m_bShown || event->spontaneous()) return;
  m_bShown = true;
  // A tool bar restored floating showed before this window did, and the
  // window manager put this window over it: shown again once this window is
  // up, it stands above the window like any floating bar.
  QTimer::singleShot(0, this, [this] {
    for (QToolBar* bar : AllBars()) {
      if (bar->isFloating() && bar->isVisible()) {
        bar->hide();
        bar->show();
      }
    }
  });
}

void CMainFrame::FillBarsMenu(QMenu* menu) {
  menu->clear();
  AddBarsTo(menu);
}

void CMainFrame::AddBarsTo(QMenu* menu) {
  // The menu bar is not listed: hidden, it would take the way back to every
  // command with it.
  for (QToolBar* bar : ToolBars()) menu->addAction(bar->toggleViewAction());
  menu->addSeparator();
  menu->addAction(Actions().Action(res::ID_VIEW_CUSTOMIZE));
}

QMenu* CMainFrame::createPopupMenu() {
  auto* menu = new QMenu(this);
  AddBarsTo(menu);
  return menu;
}

void CMainFrame::UpdateRecentFiles(QMenu*) {
  const RecentFileList* recent = TheApp() ? TheApp()->GetRecentFileList() : nullptr;
  const int count = recent ? static_cast<int>(recent->Files().size()) : 0;
  if (m_recentPlaceholder != nullptr) m_recentPlaceholder->setVisible(count == 0);
  for (int i = 0; i < m_recentActions.size(); ++i) {
    QAction* action = m_recentActions[i];
    action->setVisible(i < count);
    if (i < count) action->setText(recent->MenuText(i));
  }
}

void CMainFrame::OnViewCustomize() {
  // Modeless; it deletes itself when closed.
  auto* dialog = new CCustomizeDialog(*this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

void CMainFrame::OnApplicationLook(unsigned id) {
  WaitCursor wait;
  if (CVarenkoApp* app = TheApp()) app->m_nAppLook = id;
  ApplyLook(id);
  update();
  Profile::Instance().WriteInt(QStringLiteral("ApplicationLook"), static_cast<int>(id));
}

void CMainFrame::OnUpdateApplicationLook(CmdUI* ui) {
  ui->SetRadio(TheApp() != nullptr && TheApp()->m_nAppLook == ui->id());
}

void CMainFrame::OnViewStatusBar() { m_wndStatusBar->setVisible(!m_wndStatusBar->isVisible()); }

void CMainFrame::OnUpdateViewStatusBar(CmdUI* ui) { ui->SetCheck(m_wndStatusBar->isVisibleTo(this) ? 1 : 0); }

bool CMainFrame::AcceptFileDrop(QDropEvent* event) const {
  // The window only reads what is dropped: the drop is always a copy, so
  // that no source takes it for a move and deletes the user's file. A
  // source that does not allow copying gets no drop, and neither does any
  // source while a run is at work, with the cursor saying so.
  if (!event->mimeData()->hasUrls() || !(event->possibleActions() & Qt::CopyAction) || m_document.IsRunning()) {
    event->ignore();
    return false;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  return true;
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) { AcceptFileDrop(event); }

void CMainFrame::dragMoveEvent(QDragMoveEvent* event) { AcceptFileDrop(event); }

void CMainFrame::dropEvent(QDropEvent* event) {
  if (!AcceptFileDrop(event)) return;
  const QList<QUrl> urls = event->mimeData()->urls();
  activateWindow();
  for (const QUrl& url : urls) {
    if (url.isLocalFile() && TheApp() != nullptr) TheApp()->OpenDocumentFile(url.toLocalFile());
  }
}

void CMainFrame::WatchButtons(QToolBar* bar) {
  for (QAction* action : bar->actions()) {
    if (QWidget* widget = bar->widgetForAction(action)) {
      widget->removeEventFilter(this);
      widget->installEventFilter(this);
    }
  }
}

void CMainFrame::DecorateFloatingBar(QToolBar* bar) {
  // A bar being dragged is left alone until it is let go.
  if (!bar->isFloating() || QGuiApplication::mouseButtons() != Qt::NoButton) return;
  // A floating bar is a small window with its title and, but for the menu
  // bar, which must stay, a button that closes it. Docked, it has neither.
  Qt::WindowFlags flags = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (bar != m_wndMenuBarPane) flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
  if (bar->windowFlags() == flags) return;
  const bool shown = bar->isVisible();
  const QRect place = bar->geometry();
  bar->setWindowFlags(flags);
  bar->setGeometry(place);
  if (shown) bar->show();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (auto* bar = qobject_cast<QToolBar*>(watched)) {
    if (event->type() == QEvent::Show) {
      // A bar's window flags change with each float, dock and drag, which
      // hides it, and it is shown again once they have changed: a bar that
      // floats is decorated as soon as it shows.
      QTimer::singleShot(0, bar, [this, bar] { DecorateFloatingBar(bar); });
    } else if (event->type() == QEvent::Close && bar == m_wndMenuBarPane) {
      // The menu bar floating has no button that closes it; closed by the
      // window manager's own means, it comes back while the window shows.
      // The close itself is not refused, which would stop a logout.
      QTimer::singleShot(0, this, [this] {
        if (isVisible()) KeepMenuBar();
      });
    } else if (event->type() == QEvent::MouseMove && !m_bDraggingBar && QWidget::mouseGrabber() == bar &&
               bar->isWindow() && !(bar->windowFlags() & Qt::FramelessWindowHint)) {
      // A floating bar dragged by its grip is moved as if it had no title:
      // once the bar has moved, it is put back where the mouse holds it,
      // its title above.
      m_bDraggingBar = true;
      QCoreApplication::sendEvent(bar, event);
      m_bDraggingBar = false;
      if (bar->isWindow()) bar->move(bar->pos() - (bar->geometry().topLeft() - bar->frameGeometry().topLeft()));
      return true;
    } else if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (drag->mimeData()->hasFormat(QLatin1String(kButtonMime))) {
        drag->acceptProposedAction();
        return true;
      }
    } else if (event->type() == QEvent::Drop) {
      return DropButton(bar, static_cast<QDropEvent*>(event));
    }
    return FrameWindow::eventFilter(watched, event);
  }
  if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
    // A button whose command has no prompt sends no tip as the mouse comes
    // and goes; the pane is blank while the mouse is on it all the same.
    auto* button = qobject_cast<QToolButton*>(watched);
    if (button != nullptr && button->defaultAction() != nullptr && button->defaultAction()->statusTip().isEmpty()) {
      m_wndStatusBar->showMessage(event->type() == QEvent::Enter ? QString() : kIdleMessage);
    }
  } else if (event->type() == QEvent::MouseButtonPress) {
    auto* press = static_cast<QMouseEvent*>(event);
    auto* button = qobject_cast<QToolButton*>(watched);
    if (button != nullptr && press->button() == Qt::LeftButton && (press->modifiers() & Qt::AltModifier)) {
      if (auto* bar = qobject_cast<QToolBar*>(button->parentWidget())) {
        if (QAction* action = button->defaultAction(); action != nullptr && action != CustomizeButtonAction(bar)) {
          StartButtonDrag(bar, action);
          return true;
        }
      }
    }
  }
  return FrameWindow::eventFilter(watched, event);
}

void CMainFrame::StartButtonDrag(QToolBar* bar, QAction* action) {
  auto* mime = new QMimeData;
  mime->setData(QLatin1String(kButtonMime), QByteArray::number(action->data().toUInt()));
  auto* drag = new QDrag(bar);
  drag->setMimeData(mime);
  drag->setPixmap(action->icon().pixmap(bar->iconSize()));
  const Qt::DropAction result = drag->exec(Qt::MoveAction);
  // Dropped anywhere but on a tool bar: the button is removed.
  if (result == Qt::IgnoreAction) {
    bar->removeAction(action);
    SaveToolBars();
  }
}

bool CMainFrame::DropButton(QToolBar* bar, QDropEvent* event) {
  if (!event->mimeData()->hasFormat(QLatin1String(kButtonMime))) return false;
  const unsigned id = event->mimeData()->data(QLatin1String(kButtonMime)).toUInt();
  QAction* action = Actions().Find(id);
  if (action == nullptr) return false;
  QAction* before = bar->actionAt(event->position().toPoint());
  if (before == nullptr || before == action) before = CustomizeButtonAction(bar);
  // Moving within or between bars: the button leaves its old place.
  for (QToolBar* other : ToolBars()) {
    if (other != bar || before != action) other->removeAction(action);
  }
  bar->insertAction(before, action);
  WatchButtons(bar);
  event->setDropAction(Qt::MoveAction);
  event->accept();
  SaveToolBars();
  return true;
}

void CMainFrame::SaveToolBars() const {
  if (m_wndToolBar == nullptr) return;
  QSettings& settings = Profile::Instance().Settings();
  settings.beginGroup(QString::fromLatin1(kWorkspaceSection));
  QStringList names;
  for (QToolBar* bar : ToolBars()) {
    QStringList buttons;
    for (QAction* action : bar->actions()) {
      if (action->isSeparator()) {
        buttons << QStringLiteral("0");
      } else if (action->data().isValid()) {
        buttons << QString::number(action->data().toUInt());
      }
    }
    settings.setValue(QStringLiteral("ToolBar-%1").arg(bar->objectName()), buttons.join(QLatin1Char(',')));
    if (bar != m_wndToolBar) names << bar->windowTitle();
  }
  settings.setValue(QStringLiteral("UserToolBars"), names.join(QLatin1Char('\n')));
  settings.setValue(QStringLiteral("WindowState"), saveState());
  // The window's state leaves out the status bar, whose View command may
  // have hidden it.
  settings.setValue(QStringLiteral("StatusBar"), m_wndStatusBar->isVisibleTo(this));
  settings.endGroup();
  settings.sync();
}

void CMainFrame::RestoreToolBars() {
  QSettings& settings = Profile::Instance().Settings();
  settings.beginGroup(QString::fromLatin1(kWorkspaceSection));
  const QString userNames = SettingText(settings.value(QStringLiteral("UserToolBars")));
  QList<QPair<QToolBar*, QString>> layouts;
  for (const QString& name : userNames.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) AddUserToolBar(name);
  for (QToolBar* bar : ToolBars()) {
    const QVariant stored = settings.value(QStringLiteral("ToolBar-%1").arg(bar->objectName()));
    if (stored.isValid()) layouts << qMakePair(bar, SettingText(stored));
  }
  const QByteArray state = settings.value(QStringLiteral("WindowState")).toByteArray();
  const QVariant statusBar = settings.value(QStringLiteral("StatusBar"));
  settings.endGroup();

  const std::vector<unsigned> known = ButtonCommands();
  for (const auto& [bar, list] : layouts) {
    QAction* customize = CustomizeButtonAction(bar);
    for (QAction* action : bar->actions()) {
      if (action != customize) bar->removeAction(action);
    }
    for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      // What is no number, as a list edited by hand may hold, is left out.
      bool number = false;
      const unsigned id = item.trimmed().toUInt(&number);
      if (!number) continue;
      if (id == 0) {
        bar->insertSeparator(customize);
      } else if (std::find(known.begin(), known.end(), id) != known.end()) {
        bar->insertAction(customize, SetUpAction(id, ""));
      }
    }
    WatchButtons(bar);
  }
  if (!state.isEmpty()) restoreState(state);
  if (statusBar.isValid()) m_wndStatusBar->setVisible(statusBar.toBool());
  KeepMenuBar();
  KeepFloatingBarsOnScreen();
}

void CMainFrame::KeepFloatingBarsOnScreen() {
  // A layout saved on a larger or a second screen, or edited by hand, may
  // place a floating bar out of sight, or make it so large that it covers
  // everything: it comes back at the size its buttons need, wholly on the
  // screen where it was or else on this window's.
  for (QToolBar* bar : AllBars()) {
    if (!bar->isFloating()) continue;
    const QRect placed = bar->geometry();
    const QScreen* screen = QGuiApplication::screenAt(placed.center());
    if (screen == nullptr) screen = this->screen();
    if (screen == nullptr) continue;
    const QRect area = screen->availableGeometry();
    const QSize size = bar->sizeHint().boundedTo(area.size());
    const int x = std::clamp(placed.x(), area.left(), area.right() + 1 - size.width());
    const int y = std::clamp(placed.y(), area.top(), area.bottom() + 1 - size.height());
    bar->setGeometry(x, y, size.width(), size.height());
  }
}

void CMainFrame::KeepMenuBar() {
  // A saved layout may hide the menu bar or dock it at a side (earlier
  // versions allowed both); it comes back shown, at the top.
  if (!m_wndMenuBarPane->isFloating() && !m_wndMenuBarPane->isAreaAllowed(toolBarArea(m_wndMenuBarPane))) {
    if (!m_wndToolBar->isFloating() && toolBarArea(m_wndToolBar) == Qt::TopToolBarArea) {
      // On a line of its own above the "Standard" tool bar.
      insertToolBar(m_wndToolBar, m_wndMenuBarPane);
      insertToolBarBreak(m_wndToolBar);
    } else {
      addToolBar(Qt::TopToolBarArea, m_wndMenuBarPane);
    }
  }
  m_wndMenuBarPane->setVisible(true);
}
