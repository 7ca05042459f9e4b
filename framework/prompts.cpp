#include "framework/prompts.h"

#include "framework/application.h"
#include "framework/frame.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

Prompts*& InstalledPrompts() {
  static Prompts* installed = nullptr;
  return installed;
}

// The window a dialog belongs to: the topmost modal dialog that is open,
// since a question asked from a dialog concerns it; else the active window
// or, when none is active (the file dialog just closed took the activation
// with it), the main window, so that a message after a file dialog stands
// over the window it concerns rather than behind another.
QWidget* DialogParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow()) return active;
  const Application* app = Application::Instance();
  QWidget* frame = app != nullptr ? app->GetMainWnd() : nullptr;
  return frame != nullptr && frame->isVisible() ? frame : nullptr;
}

QString StartPath(const FileDialogOptions& options) {
  if (options.initialDir.isEmpty()) return options.fileName;
  if (options.fileName.isEmpty()) return options.initialDir;
  QString dir = options.initialDir;
  if (!dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\'))) dir += QLatin1Char('/');
  return dir + options.fileName;
}

// Filters are written as "All Files (*.*)" where "*.*" stands for every
// file; here that pattern would hide the names without a dot, so the
// dialog is given "*" for it.
QString DialogFilter(const QString& filter) {
  QString shown = filter;
  return shown.replace(QLatin1String("(*.*)"), QLatin1String("(*)"));
}

std::optional<QString> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace

Prompts& Prompts::Current() {
  static QtPrompts qtPrompts;
  Prompts* installed = InstalledPrompts();
  return installed ? *installed : qtPrompts;
}

void Prompts::Install(Prompts* prompts) { InstalledPrompts() = prompts; }

void QtPrompts::MessageBox(const QString& text, MessageIcon icon) {
  QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::Error:
      qtIcon = QMessageBox::Critical;
      break;
    case MessageIcon::Question:
      qtIcon = QMessageBox::Question;
      break;
    case MessageIcon::Warning:
      qtIcon = QMessageBox::Warning;
      break;
    case MessageIcon::Information:
      qtIcon = QMessageBox::Information;
      break;
    case MessageIcon::None:
      break;
  }
  QMessageBox box(qtIcon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok, DialogParent());
  box.exec();
}

std::optional<QString> QtPrompts::OpenFile(const FileDialogOptions& options) {
  return Chosen(
      QFileDialog::getOpenFileName(DialogParent(), options.title, StartPath(options), DialogFilter(options.filter)));
}

std::optional<QString> QtPrompts::SaveFile(const FileDialogOptions& options) {
  return Chosen(
      QFileDialog::getSaveFileName(DialogParent(), options.title, StartPath(options), DialogFilter(options.filter)));
}

std::optional<QString> QtPrompts::BrowseForFolder(const QString& title, const QString& initialDir) {
  return Chosen(QFileDialog::getExistingDirectory(DialogParent(), title, initialDir, QFileDialog::ShowDirsOnly));
}

ScriptedPrompts::ScriptedPrompts() : previous_(InstalledPrompts()) { Install(this); }

ScriptedPrompts::~ScriptedPrompts() { Install(previous_); }

QStringList ScriptedPrompts::Messages() const {
  QStringList messages;
  for (const Record& record : records_) {
    if (record.kind == Kind::Message) messages << record.text;
  }
  return messages;
}

std::optional<QString> ScriptedPrompts::NextAnswer() {
  if (answers_.empty()) return std::nullopt;
  const QueuedAnswer answer = answers_.front();
  answers_.pop_front();
  if (!answer.chosen) return std::nullopt;
  return answer.path;
}

void ScriptedPrompts::MessageBox(const QString& text, MessageIcon icon) {
  records_.push_back({Kind::Message, text, icon, {}});
}

std::optional<QString> ScriptedPrompts::OpenFile(const FileDialogOptions& options) {
  records_.push_back({Kind::OpenFile, options.title, MessageIcon::None, options});
  return NextAnswer();
}

std::optional<QString> ScriptedPrompts::SaveFile(const FileDialogOptions& options) {
  records_.push_back({Kind::SaveFile, options.title, MessageIcon::None, options});
  return NextAnswer();
}

std::optional<QString> ScriptedPrompts::BrowseForFolder(const QString& title, const QString& initialDir) {
  records_.push_back({Kind::Folder, title, MessageIcon::None, {title, initialDir, {}, {}}});
  return NextAnswer();
}
