#include "framework/doctemplate.h"

#include "framework/document.h"
#include "framework/frame.h"

SingleDocTemplate::SingleDocTemplate(int resourceId, DocumentFactory makeDocument, FrameFactory makeFrame)
    : resourceId_(resourceId), makeDocument_(std::move(makeDocument)), makeFrame_(std::move(makeFrame)) {}

SingleDocTemplate::~SingleDocTemplate() { CloseAll(); }

void SingleDocTemplate::CloseAll() {
  frame_.reset();
  document_.reset();
}

bool SingleDocTemplate::EnsureCreated(bool& created) {
  created = false;
  if (document_ && frame_) return true;
  document_ = makeDocument_();
  if (!document_) return false;
  frame_ = makeFrame_(*document_);
  if (!frame_) {
    document_.reset();
    return false;
  }
  created = true;
  return true;
}

Document* SingleDocTemplate::OpenDocumentFile(const QString& path) {
  bool created = false;
  if (!EnsureCreated(created)) return nullptr;
  const bool ok = path.isEmpty() ? document_->OnNewDocument() : document_->OnOpenDocument(path);
  if (!ok) {
    if (created) CloseAll();
    return nullptr;
  }
  document_->SetPathName(path);
  return document_.get();
}
