#pragma once

// Shows the busy cursor over the whole application for as long as it lives;
// every way out of the scope, early returns included, ends it. Restore()
// ends it early (before a message box, say); ending twice is harmless.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  void Restore();

  // True while any wait cursor is showing.
  static bool IsShowing();

 private:
  bool active_ = true;
};
