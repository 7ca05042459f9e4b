#pragma once

#include "framework/commands.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <span>

class Document;
class FrameWindow;
class Profile;
class RecentFileList;
class SingleDocTemplate;

// The base of the program's application object: one document template,
// the recent-file list, the New and Open commands, Exit and the recent
// files. There is one instance for the life of the program.
class Application : public CommandMapped<Application> {
 public:
  Application();
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  static Application* Instance();
  static std::span<const CommandEntry<Application>> CommandMap();

  // Start-up; false ends the program.
  virtual bool InitInstance() = 0;
  // Shut-down; returns the exit code.
  virtual int ExitInstance();

  Profile& GetProfile() const;
  // The user's desktop folder with exactly one trailing separator; the
  // path is left as it was when there is no desktop folder.
  static void GetDesktopPath(QString& path);
  // Reads the recent-file list, keeping up to maxEntries files.
  void LoadStdProfileSettings(int maxEntries);
  RecentFileList* GetRecentFileList() const { return recentFiles_.get(); }

  void AddDocTemplate(std::unique_ptr<SingleDocTemplate> docTemplate);
  SingleDocTemplate* GetDocTemplate() const { return template_.get(); }
  FrameWindow* GetMainWnd() const;
  Document* GetDocument() const;

  // True while the document is at work (a long run that lets the window
  // draw): no file is opened and no new document started meanwhile.
  bool IsBusy() const;
  // Opens a file through the template; a success goes to the recent files.
  Document* OpenDocumentFile(const QString& path);
  // Runs the command line: a file path opens it, no path starts a new
  // document (through the New command). False when that failed.
  bool ProcessShellCommand(const QStringList& arguments);

  // The standard New: a new, empty document.
  void OnFileNew();
  // The standard Open: asks for a file (all files offered) and opens it.
  void OnFileOpen();

 protected:
  void OnAppExit();
  void OnOpenRecentFile(unsigned id);
  void OnUpdateRecentFile(CmdUI* ui);

 private:
  std::unique_ptr<SingleDocTemplate> template_;
  std::unique_ptr<RecentFileList> recentFiles_;
};
