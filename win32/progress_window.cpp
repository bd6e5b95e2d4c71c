#include "win32/progress_window.h"

#include <cstdio>
#include <cstring>

#include "win32/wide_text.h"

namespace ned {

namespace {

const char kClassName[] = "TerravaneProgress";
const char kCaption[] = "Converting GeoTIFF tile";
constexpr int kClientWidth = 360;
constexpr int kClientHeight = 96;
constexpr int kMargin = 14;
constexpr int kBarTop = 58;
constexpr int kBarHeight = 18;

bool registerClass(HINSTANCE instance, WNDPROC procedure) {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_WAIT);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kClassName;
  registered = RegisterClassExA(&windowClass) != 0;
  return registered;
}

}  // namespace

void ProgressWindow::begin(const std::string& subject) {
  end();
  subject_ = wideText(subject);
  percent_ = 0;
  previousCursor_ = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!registerClass(instance, &ProgressWindow::windowProc)) return;
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  const DWORD style = WS_POPUP | WS_CAPTION | WS_BORDER;
  const DWORD extendedStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  AdjustWindowRectEx(&frame, style, FALSE, extendedStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  window_ = CreateWindowExA(extendedStyle, kClassName, kCaption, style, x, y, width, height,
                            nullptr, nullptr, instance, this);
  if (window_ == nullptr) return;
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  UpdateWindow(window_);
  // Holding the mouse keeps the wait cursor over every window of the program (none is
  // asked for its own cursor) and keeps clicks from them until the work is done.
  SetCapture(window_);
  pumpOwnMessages();
}

void ProgressWindow::step(unsigned percent) {
  percent_ = percent > 100 ? 100 : percent;
  if (window_ == nullptr) return;
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);
  pumpOwnMessages();
}

void ProgressWindow::end() {
  if (window_ != nullptr) {
    if (GetCapture() == window_) ReleaseCapture();
    DestroyWindow(window_);
    window_ = nullptr;
  }
  if (previousCursor_ != nullptr) {
    SetCursor(previousCursor_);
    previousCursor_ = nullptr;
  }
}

void ProgressWindow::pumpOwnMessages() {
  // Only this window's messages: the program's other windows wait until the work is done.
  MSG message;
  while (window_ != nullptr && PeekMessageA(&message, window_, 0, 0, PM_REMOVE))
    DispatchMessageA(&message);
}

void ProgressWindow::paint(HDC dc) const {
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  TextOutW(dc, kMargin, 12, subject_.c_str(), static_cast<int>(subject_.size()));
  char done[48];
  std::snprintf(done, sizeof done, "%u %% converted to GridFloat", percent_);
  TextOutA(dc, kMargin, 32, done, static_cast<int>(std::strlen(done)));

  // The bar: a black frame, filled dark blue as far as the work has come.
  const int barWidth = kClientWidth - 2 * kMargin;
  RECT outline = {kMargin, kBarTop, kMargin + barWidth, kBarTop + kBarHeight};
  HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  FrameRect(dc, &outline, black);
  DeleteObject(black);
  RECT filled = {kMargin + 1, kBarTop + 1,
                 kMargin + 1 + static_cast<int>((barWidth - 2) * percent_ / 100),
                 kBarTop + kBarHeight - 1};
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 128));
  FillRect(dc, &filled, blue);
  DeleteObject(blue);
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK ProgressWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const CREATESTRUCTA* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  const ProgressWindow* self =
      reinterpret_cast<const ProgressWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_PAINT && self != nullptr) {
    PAINTSTRUCT paintStruct;
    HDC dc = BeginPaint(window, &paintStruct);
    self->paint(dc);
    EndPaint(window, &paintStruct);
    return 0;
  }
  if (message == WM_CLOSE) return 0;  // it goes when the work is done
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace ned
