#include "shell/application.h"

#include "analysis/document.h"
#include "framework/doctemplate.h"
#include "resources/resource.h"
#include "shell/mainframe.h"
#include "shell/thresholddialog.h"
#include "shell/view.h"

CVarenkoApp* TheApp() { return static_cast<CVarenkoApp*>(Application::Instance()); }

CVarenkoApp::CVarenkoApp(QStringList arguments) : m_arguments(std::move(arguments)) {}

CVarenkoApp::~CVarenkoApp() = default;

std::span<const CommandEntry<CVarenkoApp>> CVarenkoApp::CommandMap() {
  static const CommandEntry<CVarenkoApp> map[] = {
      MapCommand(res::ID_FILE_NEW, &CVarenkoApp::OnFileNew),
      MapCommand(res::ID_FILE_OPEN, &CVarenkoApp::OnFileOpen),
      MapCommand(res::ID_SET_THRESHOLD, &CVarenkoApp::OnSetThreshold),
  };
  return map;
}

bool CVarenkoApp::InitInstance() {
  LoadStdProfileSettings(4);
  AddDocTemplate(std::make_unique<SingleDocTemplate>(
      res::IDR_MAINFRAME, [] { return std::make_unique<CVarenkoDoc>(); },
      [](::Document& document) -> std::unique_ptr<FrameWindow> {
        auto frame = std::make_unique<CMainFrame>(static_cast<CVarenkoDoc&>(document));
        if (!frame->OnCreate()) return nullptr;
        return frame;
      }));
  if (!ProcessShellCommand(m_arguments)) return false;
  CMainFrame* frame = MainFrame();
  frame->showMaximized();
  frame->setAcceptDrops(true);
  return true;
}

int CVarenkoApp::ExitInstance() { return Application::ExitInstance(); }

CVarenkoDoc* CVarenkoApp::Document() const { return static_cast<CVarenkoDoc*>(GetDocument()); }

CMainFrame* CVarenkoApp::MainFrame() const { return static_cast<CMainFrame*>(GetMainWnd()); }

CVarenkoView* CVarenkoApp::View() const { return MainFrame() ? MainFrame()->View() : nullptr; }

void CVarenkoApp::OnFileNew() { Application::OnFileNew(); }

void CVarenkoApp::OnFileOpen() {
  Application::OnFileNew();
  Application::OnFileOpen();
}

void CVarenkoApp::OnSetThreshold() {
  CDlgThreshold dialog(GetMainWnd());
  dialog.exec();
}
