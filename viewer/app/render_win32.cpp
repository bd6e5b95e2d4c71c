#include "viewer/app/render_win32.h"

#include <vector>

#include "viewer/annotations.h"
#include "viewer/app/gdi_painter.h"
#include "viewer/render.h"

namespace ned {

namespace {

// The main window while one view is drawn, through the drawing context taken when the
// drawing starts.
class Win32MapWindow final : public MapWindow {
 public:
  explicit Win32MapWindow(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~Win32MapWindow() override { releaseDrawingContext(); }
  Win32MapWindow(const Win32MapWindow&) = delete;
  Win32MapWindow& operator=(const Win32MapWindow&) = delete;

  void setMenuItemEnabled(int id, bool enabled) override {
    ned::setMenuItemEnabled(window_, id, enabled);
  }

  // One blit of the whole map area; the pixels are those that setting each one would give.
  void putPicture(const MapPicture& picture) override {
    if (dc_ == nullptr) return;
    std::vector<DWORD> bits(picture.pixels.size());
    for (size_t i = 0; i < bits.size(); ++i) {
      const DWORD c = picture.pixels[i];  // 0x00BBGGRR
      bits[i] = ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kMapWidth;
    info.bmiHeader.biHeight = -kMapLines;  // top line first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc_, kMapLeft, kMapTop, kMapWidth, kMapLines, 0, 0, 0, kMapLines, bits.data(),
                      &info, DIB_RGB_COLORS);
  }

  void draw(const DrawList& list) override {
    if (dc_ != nullptr) paintOperations(dc_, list);
  }

  void releaseDrawingContext() override {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
    dc_ = nullptr;
  }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace

void setMenuItemEnabled(HWND window, int id, bool enabled) {
  EnableMenuItem(GetMenu(window), static_cast<UINT>(id),
                 MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  DrawMenuBar(window);
}

int drawInfoBox(HWND window, ViewerState& state) {
  HDC dc = GetDC(window);
  const DrawList list = drawInfoBox(state);
  if (dc != nullptr) {
    paintOperations(dc, list);
    ReleaseDC(window, dc);
  }
  return 1;
}

int renderView(HWND window, ViewerState& state, Desktop& desktop) {
  Win32MapWindow map(window);
  RasterSampleSource source(desktop.fileSystem());
  return renderView(state, map, source, desktop);
}

}  // namespace ned
