// gridview: the map viewer's window, menu and commands.
#include <windows.h>

#include "core/tile/tile_open.h"
#include "viewer/app/render_win32.h"
#include "viewer/app/resource.h"
#include "viewer/menu_commands.h"
#include "viewer/viewer_state.h"
#include "win32/win32_desktop.h"

namespace {

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
  if (g_state.notesOpen == 0) ned::setMenuItemEnabled(window, IDM_NOTES, true);
  return 1;
}

void showDisplayMarks(HWND window) {
  HMENU menu = GetMenu(window);
  for (UINT id = IDM_COLOR_MAP; id <= IDM_SOUTH_EAST; ++id) {
    const bool checked = ned::isDisplayItemChecked(g_state, static_cast<int>(id));
    CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

INT_PTR CALLBACK notesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, 1);
    g_state.notesOpen = 0;
    return TRUE;
  }
  return FALSE;
}

void openTileCommand(HWND window) {
  clearClientArea(window);
  ned::prepareTileOpen(g_state);
  const ned::TileOpenResult result = ned::openTile(g_desktop, ned::Program::viewer, g_state.header);
  ned::finishTileOpen(g_state, result);
  if (result == ned::TileOpenResult::accepted) {
    ned::drawInfoBox(window, g_state);
    ned::renderView(window, g_state, g_desktop);
  }
}

void handleCommand(HWND window, int id) {
  switch (id) {
    case IDM_OPEN:
      openTileCommand(window);
      break;
    case IDM_EXIT:
      PostMessageA(window, WM_CLOSE, 0, 0);
      break;
    case IDM_SELECT_ALL:
      g_state.selectAllPending = 1;
      break;
    case IDM_SELECT_WINDOW:
      g_state.selectMode = 1;
      break;
    case IDM_NOTES:
      if (g_state.notesOpen == 0) {
        g_state.notesOpen = 1;
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_NOTES), nullptr,
                        notesDialogProc, 0);
      }
      break;
    default:
      if (ned::applyDisplayCommand(g_state, id)) showDisplayMarks(window);
      break;
  }
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CheckMenuItem(GetMenu(window), IDM_GREYSCALE, MF_BYCOMMAND | MF_CHECKED);
      CheckMenuItem(GetMenu(window), IDM_NORTH_WEST, MF_BYCOMMAND | MF_CHECKED);
      return 0;
    case WM_COMMAND:
      handleCommand(window, LOWORD(wParam));
      return 0;
    case WM_CLOSE:
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
