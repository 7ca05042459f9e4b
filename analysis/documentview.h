#pragma once

// What the document asks of its view: to lay itself out again after the
// drawings changed, or to draw itself again, without erasing first, when
// the drawing on show changed. The view implements it and registers itself
// with the document when its window is created.
class DocumentView {
 public:
  virtual void UpdateLayout() = 0;
  virtual void Invalidate() = 0;

 protected:
  ~DocumentView() = default;
};
