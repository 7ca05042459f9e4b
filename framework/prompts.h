#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

// The icons of the program's message boxes.
enum class MessageIcon { None = 0, Error = 16, Question = 32, Warning = 48, Information = 64 };

struct FileDialogOptions {
  QString title;       // empty: the platform's own title
  QString initialDir;  // empty: the platform's choice
  QString fileName;    // a name or a full path filled in at the start
  QString filter;      // Qt filter list, e.g. "PNG Files (*.png);;All Files (*.*)"
};

// Everything that asks the user something or tells them something in a
// modal box. The program never calls Qt's dialogs directly, so tests can
// answer them from a script.
class Prompts {
 public:
  virtual ~Prompts() = default;

  // A modal box with an OK button and the program's title as caption.
  virtual void MessageBox(const QString& text, MessageIcon icon) = 0;
  // The chosen file, or nothing when the user cancels.
  virtual std::optional<QString> OpenFile(const FileDialogOptions& options) = 0;
  // The chosen file, or nothing when the user cancels. The dialog asks
  // before an existing file is replaced.
  virtual std::optional<QString> SaveFile(const FileDialogOptions& options) = 0;
  // The chosen folder, or nothing when the user cancels.
  virtual std::optional<QString> BrowseForFolder(const QString& title, const QString& initialDir) = 0;

  // The prompts the program uses: Qt's dialogs unless a test installed others.
  static Prompts& Current();
  // Installs prompts (the caller keeps ownership; null restores Qt's).
  static void Install(Prompts* prompts);
};

// The real prompts on Qt's dialogs, parented to the modal dialog open on top,
// else to the active window, else to the main window.
class QtPrompts : public Prompts {
 public:
  void MessageBox(const QString& text, MessageIcon icon) override;
  std::optional<QString> OpenFile(const FileDialogOptions& options) override;
  std::optional<QString> SaveFile(const FileDialogOptions& options) override;
  std::optional<QString> BrowseForFolder(const QString& title, const QString& initialDir) override;
};

// Prompts for tests: records every question and message, and answers file
// and folder questions from a queue (an empty queue, or a queued nullopt,
// cancels). Installs itself for its lifetime.
class ScriptedPrompts : public Prompts {
 public:
  enum class Kind { Message, OpenFile, SaveFile, Folder };
  struct Record {
    Kind kind;
    QString text;  // the message, or the dialog's title
    MessageIcon icon = MessageIcon::None;
    FileDialogOptions options;  // for file and folder questions
  };

  ScriptedPrompts();
  ~ScriptedPrompts() override;
  ScriptedPrompts(const ScriptedPrompts&) = delete;
  ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

  // Queues the answer to the next file or folder question: a path, or
  // nothing for a cancel.
  void Answer(const std::optional<QString>& answer) {
    answers_.push_back({answer.has_value(), answer.value_or(QString())});
  }

  const std::vector<Record>& records() const { return records_; }
  QStringList Messages() const;
  void Clear() { records_.clear(); }

  void MessageBox(const QString& text, MessageIcon icon) override;
  std::optional<QString> OpenFile(const FileDialogOptions& options) override;
  std::optional<QString> SaveFile(const FileDialogOptions& options) override;
  std::optional<QString> BrowseForFolder(const QString& title, const QString& initialDir) override;

 private:
  std::optional<QString> NextAnswer();

  struct QueuedAnswer {
    bool chosen;
    QString path;
  };
  std::deque<QueuedAnswer> answers_;
  std::vector<Record> records_;
  Prompts* previous_ = nullptr;
};

// The program's title, the caption of every message box.
inline constexpr const char* kApplicationTitle = "Varenko";
