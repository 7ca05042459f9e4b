#include "shell/application.h"

#include "analysis/document.h"
#include "compare/comparedialog.h"
#include "framework/bitmap.h"
#include "framework/doctemplate.h"
#include "framework/files.h"
#include "framework/memoryroom.h"
#include "framework/prompts.h"
#include "framework/systemopen.h"
#include "resources/resource.h"
#include "shell/aboutdialog.h"
#include "shell/mainframe.h"
#include "shell/thresholddialog.h"
#include "shell/view.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

CVarenkoApp* TheApp() { return static_cast<CVarenkoApp*>(Application::Instance()); }

CVarenkoApp::CVarenkoApp(QStringList arguments) : m_arguments(std::move(arguments)) {}

CVarenkoApp::~CVarenkoApp() = default;

std::span<const CommandEntry<CVarenkoApp>> CVarenkoApp::CommandMap() {
  static const CommandEntry<CVarenkoApp> map[] = {
      MapCommand(res::ID_FILE_NEW, &CVarenkoApp::OnFileNew),
      MapCommand(res::ID_FILE_OPEN, &CVarenkoApp::OnFileOpen),
      MapCommand(res::ID_SET_THRESHOLD, &CVarenkoApp::OnSetThreshold),
      MapCommand(res::ID_EXPORT_REFERENCE, &CVarenkoApp::OnExportReferenceImage),
      MapCommand(res::ID_PROGRAM_GUIDE, &CVarenkoApp::OnProgramGuide),
      MapCommand(res::ID_COMPARE_FILES, &CVarenkoApp::OnCompareFiles),
      MapCommand(res::ID_APP_ABOUT, &CVarenkoApp::OnAppAbout),
  };
  return map;
}

bool CVarenkoApp::InitInstance() {
  // Qt's drawing waits for the threads of its shared pool: they are started
  // before the first drawing, while there is memory for them.
  StartSharedThreads();
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

void CVarenkoApp::OnExportReferenceImage() {
  FileDialogOptions options;
  GetDesktopPath(options.initialDir);
  options.fileName = QStringLiteral("Reference.png");
  options.filter = QStringLiteral("PNG Files (*.png)");
  const std::optional<QString> path = Prompts::Current().SaveFile(options);
  if (!path) return;

  // The new file replaces the old one only once it is written whole, so a
  // failed export leaves whatever was there before.
  QFile chart(Bitmap::ResourcePath(res::IDR_REFERENCE_CHART));
  const bool written = chart.open(QIODevice::ReadOnly) && WriteWholeFile(*path, chart.readAll());
  if (written) {
    Prompts::Current().MessageBox(QStringLiteral("The file was exported successfully"), MessageIcon::Information);
  } else {
    Prompts::Current().MessageBox(QStringLiteral("The file could not be exported"), MessageIcon::Error);
  }
}

void CVarenkoApp::OnProgramGuide() {
  const QString guide = QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kGuideFileName));
  // A missing guide is passed over in silence, as is a system without a PDF
  // viewer: the command then simply does nothing.
  if (!QFileInfo(guide).isFile()) return;
  OpenWithSystem(QUrl::fromLocalFile(guide));
}

// The comparison of two drawings: a dialog of its own that shares nothing
// with the document.
void CVarenkoApp::OnCompareFiles() {
  CDlgCompareFiles dialog;
  dialog.exec();
}

void CVarenkoApp::OnAppAbout() {
  CAboutDlg dialog(GetMainWnd());
  dialog.exec();
}
