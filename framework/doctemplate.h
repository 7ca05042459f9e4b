#pragma once

#include <QString>

#include <functional>
#include <memory>

class Document;
class FrameWindow;

// Joins the program's one document with its main window and view. The
// document and the window are made on first use and live until the program
// ends; every later New or Open reuses them.
class SingleDocTemplate {
 public:
  using DocumentFactory = std::function<std::unique_ptr<Document>()>;
  // Makes the main window with its view for the document; null on failure.
  using FrameFactory = std::function<std::unique_ptr<FrameWindow>(Document&)>;

  SingleDocTemplate(int resourceId, DocumentFactory makeDocument, FrameFactory makeFrame);
  ~SingleDocTemplate();
  SingleDocTemplate(const SingleDocTemplate&) = delete;
  SingleDocTemplate& operator=(const SingleDocTemplate&) = delete;

  int ResourceId() const { return resourceId_; }

  // An empty path starts a new document; otherwise the file is opened into
  // the document. Returns the document, or null when that failed. When the
  // window was made for this call and the call fails, the window and the
  // document are given up again.
  Document* OpenDocumentFile(const QString& path);

  Document* GetDocument() const { return document_.get(); }
  FrameWindow* GetFrame() const { return frame_.get(); }

  // Closes the window (its view first) and then the document.
  void CloseAll();

 private:
  bool EnsureCreated(bool& created);

  int resourceId_;
  DocumentFactory makeDocument_;
  FrameFactory makeFrame_;
  std::unique_ptr<Document> document_;
  std::unique_ptr<FrameWindow> frame_;
};
