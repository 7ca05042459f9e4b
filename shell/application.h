#pragma once

#include "framework/application.h"

#include <QStringList>

#include <span>

class CVarenkoDoc;
class CMainFrame;
class CVarenkoView;

// The application: start-up in order (settings, recent files, the one
// document template, the command line, the maximised main window that
// accepts dropped files), shut-down, and the application's commands.
class CVarenkoApp : public CommandMapped<CVarenkoApp, Application> {
 public:
  explicit CVarenkoApp(QStringList arguments = {});
  ~CVarenkoApp() override;

  static std::span<const CommandEntry<CVarenkoApp>> CommandMap();

  bool InitInstance() override;
  int ExitInstance() override;

  CVarenkoDoc* Document() const;
  CMainFrame* MainFrame() const;
  CVarenkoView* View() const;

  void OnFileNew();
  void OnFileOpen();
  void OnSetThreshold();
  // Writes the reference chart, byte for byte, to a PNG file the user names.
  void OnExportReferenceImage();
  // Opens the guide that lies beside the program with the system's viewer.
  void OnProgramGuide();
  void OnCompareFiles();
  void OnAppAbout();

  // The guide's file name; it lies in the program's own folder.
  static constexpr const char* kGuideFileName = "Varenko_Application_Guide.pdf";

  // The application look, a look id from 205 to 219.
  unsigned m_nAppLook = 0;

 private:
  QStringList m_arguments;
};

// The one application object.
CVarenkoApp* TheApp();
