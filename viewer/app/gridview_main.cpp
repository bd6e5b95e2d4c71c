// gridview: the map viewer's window, menu and commands.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/tile/tile_open.h"
#include "viewer/app/render_win32.h"
#include "viewer/app/resource.h"
#include "viewer/menu_commands.h"
#include "viewer/navigation.h"
#include "viewer/viewer_state.h"
#include "viewer/write_dialog.h"
#include "win32/win32_desktop.h"
#include "win32/win32_dialog_fields.h"

namespace {

static_assert(IDD_WRITE == ned::kWriteDialogId && IDC_FILE_LABEL == ned::kIdcFileLabel &&
              IDC_SEL_COLS == ned::kIdcSelCols && IDC_SEL_ROWS == ned::kIdcSelRows &&
              IDC_SELECTED_POINTS == ned::kIdcSelectedPoints &&
              IDC_REMOVE == ned::kIdcSelRemoveCount && IDC_EST_POINTS == ned::kIdcEstimatedPoints &&
              IDC_EST_SIZE == ned::kIdcEstimatedSize && IDC_EASTING == ned::kIdcEasting &&
              IDC_NORTHING == ned::kIdcNorthing && IDC_UL_LAT == ned::kIdcUpperLeftLat &&
              IDC_UL_LON == ned::kIdcUpperLeftLon && IDC_COORDINATES == ned::kIdcCoordinates);
static_assert(IDC_PROJECT_NORTH == ned::kIdcProjectNorthForm &&
              IDC_CSV_GRID == ned::kIdcCsvGridForm && IDC_BINARY == ned::kIdcBinaryForm &&
              IDC_RECTANGULAR == ned::kIdcRectangularForm && IDC_FEET == ned::kIdcFeet &&
              IDC_ESTIMATES == ned::kIdcEstimates && IDOK == ned::kIdcWritePoints &&
              IDCANCEL == ned::kIdcCancelWrite);

const char kClassName[] = "myWindowClass";
const char kCaption[] = "Terravane  (www.example.com/terravane)";

// The program-wide state and the desktop behind the core's messages and dialogs.
ned::ViewerState g_state;
ned::Win32Desktop g_desktop;

// Fills the client area with black and, unless the Notes dialog is open, lets Notes be
// chosen again.
int clearClientArea(HWND window) {
  HDC dc = GetDC(window);
  HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, black);
  DeleteObject(black);
  ReleaseDC(window, dc);
  if (ned::mayEnableNotes(g_state)) ned::setMenuItemEnabled(window, IDM_NOTES, true);
  return 1;
}

void showDisplayMarks(HWND window) {
  HMENU menu = GetMenu(window);
  for (UINT id = IDM_COLOR_MAP; id <= IDM_SOUTH_EAST; ++id) {
    const bool checked = ned::isDisplayItemChecked(g_state, static_cast<int>(id));
    CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

// The Notes dialog is given the state whose flag it clears when it closes.
INT_PTR CALLBACK notesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, 1);
    auto* state = reinterpret_cast<ned::ViewerState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (state != nullptr) ned::notesClosed(*state);
    return TRUE;
  }
  return FALSE;
}

// The export dialog is given its run: the state, the desktop and the selection's size.
INT_PTR CALLBACK writeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    ned::Win32DialogFields fields(dialog);
    ned::initWriteDialog(*reinterpret_cast<ned::WriteDialog*>(lParam), fields);
    return TRUE;
  }
  auto* run = reinterpret_cast<ned::WriteDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message != WM_COMMAND || run == nullptr) return FALSE;
  ned::Win32DialogFields fields(dialog);
  if (ned::writeDialogCommand(*run, LOWORD(wParam), fields)) EndDialog(dialog, 1);
  return TRUE;
}

void openWriteDialog(HWND window) {
  ned::prepareSelection(g_state);
  clearClientArea(window);
  ned::WriteDialog dialog;
  dialog.state = &g_state;
  dialog.desktop = &g_desktop;
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_WRITE), nullptr, writeDialogProc,
                  reinterpret_cast<LPARAM>(&dialog));
  const ned::WriteDialogResponse after = ned::finishWriteDialog(dialog);
  if (after.endProgram) g_desktop.endProcess(after.exitStatus);
}

void redraw(HWND window) {
  clearClientArea(window);
  ned::drawInfoBox(window, g_state);
  ned::renderView(window, g_state, g_desktop);
}

// Draws an outline by inverting the pixels under the context's default pen.
void invertOutlines(HWND window, const std::vector<ned::BandOutline>& outlines) {
  HDC dc = GetDC(window);
  if (dc == nullptr) return;
  SetROP2(dc, R2_NOTXORPEN);
  for (const ned::BandOutline& outline : outlines) {
    for (const ned::Segment& segment : ned::outlineSegments(outline)) {
      MoveToEx(dc, segment.x1, segment.y1, nullptr);
      LineTo(dc, segment.x2, segment.y2);
    }
  }
  ReleaseDC(window, dc);
}

void carryOut(HWND window, const ned::MouseResponse& response) {
  if (response.captureAndConfine) {
    SetCapture(window);
    POINT topLeft = {ned::kAreaLeft, ned::kAreaTop};
    POINT bottomRight = {ned::kAreaRight, ned::kAreaBottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    RECT area;
    SetRect(&area, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
    ClipCursor(&area);
  }
  if (!response.inverts.empty()) invertOutlines(window, response.inverts);
  if (response.freePointer) {
    ClipCursor(nullptr);
    ReleaseCapture();
  }
  if (response.redraw) redraw(window);
  if (response.openWriteDialog) openWriteDialog(window);
}

int32_t pointerX(LPARAM lParam) {
  return static_cast<int16_t>(LOWORD(lParam));
}

int32_t pointerY(LPARAM lParam) {
  return static_cast<int16_t>(HIWORD(lParam));
}

void openTile(HWND window) {
  clearClientArea(window);
  ned::setMenuItemEnabled(window, IDM_SELECT_ALL, false);
  ned::setMenuItemEnabled(window, IDM_SELECT_WINDOW, false);
  const ned::TileOpenResult result = ned::openTile(g_desktop, ned::Program::viewer, g_state.header);
  ned::finishTileOpen(g_state, result);
  if (result == ned::TileOpenResult::accepted) {
    ned::drawInfoBox(window, g_state);
    ned::renderView(window, g_state, g_desktop);
  }
}

void carryOut(HWND window, const ned::MenuResponse& response) {
  if (response.openTile) openTile(window);
  if (response.close) PostMessageA(window, WM_CLOSE, 0, 0);
  if (response.openWriteDialog) openWriteDialog(window);
  if (response.openNotes) {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_NOTES), nullptr,
                    notesDialogProc, reinterpret_cast<LPARAM>(&g_state));
  }
  if (response.showDisplayMarks) showDisplayMarks(window);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CheckMenuItem(GetMenu(window), IDM_GREYSCALE, MF_BYCOMMAND | MF_CHECKED);
      CheckMenuItem(GetMenu(window), IDM_NORTH_WEST, MF_BYCOMMAND | MF_CHECKED);
      return 0;
    case WM_COMMAND:
      carryOut(window, ned::menuCommand(g_state, LOWORD(wParam)));
      return 0;
    case WM_LBUTTONDOWN:
      carryOut(window, ned::leftPress(g_state, pointerX(lParam), pointerY(lParam),
                                      (wParam & MK_CONTROL) != 0));
      return 0;
    case WM_MOUSEMOVE:
      carryOut(window, ned::pointerMove(g_state, pointerX(lParam), pointerY(lParam),
                                        (wParam & MK_LBUTTON) != 0));
      return 0;
    case WM_LBUTTONUP:
      carryOut(window, ned::leftRelease(g_state, pointerX(lParam), pointerY(lParam)));
      return 0;
    case WM_RBUTTONDOWN:
      carryOut(window, ned::rightPress(g_state));
      return 0;
    case WM_CAPTURECHANGED:
      // Something else took the mouse during a drag: the drag ends without a selection.
      carryOut(window, ned::abandonDrag(g_state));
      return 0;
    case WM_CANCELMODE:
      carryOut(window, ned::abandonDrag(g_state));
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_CLOSE:
      carryOut(window, ned::abandonDrag(g_state));
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = 0;
  windowClass.lpfnWndProc = mainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExA(&windowClass)) {
    MessageBoxA(nullptr, "Window Registration Failed!", "Error!", MB_ICONEXCLAMATION | MB_OK);
    return 0;
  }

  HWND window = CreateWindowExA(0, kClassName, kCaption, WS_CAPTION | WS_SYSMENU, 0, 0, 560, 760,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    MessageBoxA(nullptr, "Window Creation Failed!", "Error!", MB_ICONEXCLAMATION | MB_OK);
    return 0;
  }
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message = {};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
