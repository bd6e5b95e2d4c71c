// The window that shows long work: a small captioned box in the middle of the screen
// with what is being worked on, the percentage done and a bar, and the wait cursor
// while it is up. Drawn with user32 and gdi32 only.
#pragma once

#include <windows.h>

#include <string>

namespace ned {

class ProgressWindow {
 public:
  ProgressWindow() = default;
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
  ~ProgressWindow() { end(); }

  // The subject is UTF-8.
  void begin(const std::string& subject);
  // Shows the new percentage at once, and lets the window answer the system meanwhile.
  void step(unsigned percent);
  void end();

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void paint(HDC dc) const;
  void pumpOwnMessages();

  HWND window_ = nullptr;
  HCURSOR previousCursor_ = nullptr;
  std::wstring subject_;  // the file name, as the window system draws it
  unsigned percent_ = 0;
};

}  // namespace ned
