#pragma once

#include "framework/commands.h"

#include <QMainWindow>

class Document;

// The base of the program's main window. It owns the command actions and
// routes every command along view, document, frame and application: the
// first of them with a handler for the id runs it.
class FrameWindow : public QMainWindow, public CommandTarget {
  Q_OBJECT

 public:
  explicit FrameWindow(QWidget* parent = nullptr);
  ~FrameWindow() override;

  // The document and the view the frame shows (the view is a child widget
  // of the frame and a command target).
  void SetDocument(Document* document) { document_ = document; }
  Document* GetActiveDocument() const { return document_; }
  void SetActiveView(CommandTarget* view) { view_ = view; }
  CommandTarget* GetActiveView() const { return view_; }

  const CommandRouter& Router() const { return router_; }
  CommandActions& Actions() { return *actions_; }

  // Routes a command as a menu item, button or accelerator would.
  bool SendCommand(unsigned id);

  // Builds the frame's bars and view; false fails the frame's creation.
  virtual bool OnCreate() { return true; }

 private:
  CommandRouter router_;
  CommandActions* actions_;
  Document* document_ = nullptr;
  CommandTarget* view_ = nullptr;
};
