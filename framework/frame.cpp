#include "framework/frame.h"

#include "framework/application.h"
#include "framework/document.h"

FrameWindow::FrameWindow(QWidget* parent) : QMainWindow(parent), actions_(new CommandActions(router_, this)) {
  router_.SetChain([this] { return std::vector<CommandTarget*>{view_, document_, this, Application::Instance()}; });
}

FrameWindow::~FrameWindow() = default;

bool FrameWindow::SendCommand(unsigned id) {
  const bool handled = router_.Execute(id);
  actions_->UpdateAll();
  return handled;
}
