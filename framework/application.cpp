#include "framework/application.h"

#include "framework/doctemplate.h"
#include "framework/document.h"
#include "framework/files.h"
#include "framework/frame.h"
#include "framework/profile.h"
#include "framework/prompts.h"
#include "framework/recentfiles.h"
#include "resources/resource.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
Application* g_instance = nullptr;
}

Application::Application() {
  g_instance = this;
  // An export beyond a file-size limit then fails with a message, rather
  // than ending the program and leaving its temporary file behind.
  LetWritesPastTheSizeLimitFail();
}

Application::~Application() {
  template_.reset();
  if (g_instance == this) g_instance = nullptr;
}

Application* Application::Instance() { return g_instance; }

std::span<const CommandEntry<Application>> Application::CommandMap() {
  static const CommandEntry<Application> map[] = {
      MapCommand(res::ID_APP_EXIT, &Application::OnAppExit),
      MapCommandRange(res::ID_FILE_MRU_FILE1, res::ID_FILE_MRU_LAST, &Application::OnOpenRecentFile),
      MapUpdateRange(res::ID_FILE_MRU_FILE1, res::ID_FILE_MRU_LAST, &Application::OnUpdateRecentFile),
  };
  return map;
}

int Application::ExitInstance() {
  if (template_) template_->CloseAll();
  return 0;
}

Profile& Application::GetProfile() const { return Profile::Instance(); }

void Application::GetDesktopPath(QString& path) {
  QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  // A desktop folder that does not exist is no place to start a save
  // dialog in: the dialog then opens where the system chooses.
  if (desktop.isEmpty() || !QFileInfo(desktop).isDir()) return;
  desktop = QDir::toNativeSeparators(desktop);
  while (desktop.endsWith(QDir::separator())) desktop.chop(1);
  path = desktop + QDir::separator();
}

void Application::LoadStdProfileSettings(int maxEntries) {
  recentFiles_ = std::make_unique<RecentFileList>(GetProfile(), maxEntries);
}

void Application::AddDocTemplate(std::unique_ptr<SingleDocTemplate> docTemplate) { template_ = std::move(docTemplate); }

FrameWindow* Application::GetMainWnd() const { return template_ ? template_->GetFrame() : nullptr; }

Document* Application::GetDocument() const { return template_ ? template_->GetDocument() : nullptr; }

bool Application::IsBusy() const {
  const Document* document = GetDocument();
  return document != nullptr && document->IsRunning();
}

Document* Application::OpenDocumentFile(const QString& path) {
  if (!template_ || IsBusy()) return nullptr;
  // A path relative to the working folder (from the command line) is made
  // full first: the document names its file by it, and the working folder
  // moves with every folder run.
  const QString full = path.isEmpty() ? path : QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  Document* document = template_->OpenDocumentFile(full);
  if (document != nullptr && !full.isEmpty() && recentFiles_) recentFiles_->Add(full);
  return document;
}

bool Application::ProcessShellCommand(const QStringList& arguments) {
  if (arguments.isEmpty()) {
    if (!OnCommand(res::ID_FILE_NEW)) OnFileNew();
  } else if (OpenDocumentFile(arguments.first()) == nullptr) {
    return false;
  }
  return GetMainWnd() != nullptr;
}

void Application::OnFileNew() {
  if (template_ && !IsBusy()) template_->OpenDocumentFile(QString());
}

void Application::OnFileOpen() {
  if (IsBusy()) return;
  FileDialogOptions options;
  options.title = QStringLiteral("Open");
  options.filter = QStringLiteral("All Files (*)");
  const std::optional<QString> path = Prompts::Current().OpenFile(options);
  if (path) OpenDocumentFile(*path);
}

void Application::OnAppExit() {
  if (FrameWindow* frame = GetMainWnd()) frame->close();
}

void Application::OnOpenRecentFile(unsigned id) {
  if (!recentFiles_ || IsBusy()) return;
  const int index = static_cast<int>(id - res::ID_FILE_MRU_FILE1);
  if (index >= recentFiles_->Files().size()) return;
  // A file that cannot be opened any more leaves the list.
  if (OpenDocumentFile(recentFiles_->Files()[index]) == nullptr) recentFiles_->Remove(index);
}

void Application::OnUpdateRecentFile(CmdUI* ui) {
  const int index = static_cast<int>(ui->id() - res::ID_FILE_MRU_FILE1);
  ui->Enable(recentFiles_ && index < recentFiles_->Files().size());
}
