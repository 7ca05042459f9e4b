#pragma once

#include "framework/commands.h"

#include <QString>

// The base of the program's document: the path it was opened from and the
// two hooks the application runs to start a new document or open a file.
class Document : public CommandTarget {
 public:
  ~Document() override = default;

  // Starts an empty document: forgets the path. Always succeeds here.
  virtual bool OnNewDocument();
  // Checks that the file can be opened for reading; when it cannot, tells
  // the user why and fails. Derived documents read the file after this.
  virtual bool OnOpenDocument(const QString& path);

  // True while the document is at work on its contents and lets the window
  // draw meanwhile: nothing may open a file or start a new document then.
  virtual bool IsRunning() const { return false; }

  const QString& GetPathName() const { return m_strPathName; }
  void SetPathName(const QString& path) { m_strPathName = path; }

 private:
  QString m_strPathName;
};
