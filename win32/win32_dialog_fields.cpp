#include "win32/win32_dialog_fields.h"

#include <vector>

#include "win32/win32_desktop.h"

namespace ned {

std::string Win32DialogFields::text(int id, int limit) {
  if (limit <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(limit), '\0');
  const UINT length = GetDlgItemTextA(dialog_, id, buffer.data(), limit);
  return std::string(buffer.data(), length);
}

void Win32DialogFields::setText(int id, const std::string& value) {
  SetDlgItemTextA(dialog_, id, value.c_str());
}

bool Win32DialogFields::unsignedValue(int id, uint32_t* value) {
  BOOL translated = FALSE;
  const UINT read = GetDlgItemInt(dialog_, id, &translated, FALSE);
  *value = translated ? read : 0u;
  return translated != FALSE;
}

void Win32DialogFields::setUnsignedValue(int id, uint32_t value) {
  SetDlgItemInt(dialog_, id, value, FALSE);
}

void Win32DialogFields::limitText(int id, int chars) {
  SendDlgItemMessageA(dialog_, id, EM_LIMITTEXT, static_cast<WPARAM>(chars), 0);
}

void Win32DialogFields::setChecked(int id, bool checked) {
  CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32DialogFields::isChecked(int id) {
  return IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

OwnerWindow Win32DialogFields::owner() {
  return ownerOf(dialog_);
}

namespace {

// The width in pixels the list of a drop-down list needs to show its longest entry whole,
// in the list's own font, with room for the scroll bar and the margins.
int droppedWidthFor(HWND list, const std::vector<std::string>& entries) {
  HDC dc = GetDC(list);
  if (dc == nullptr) return 0;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  int widest = 0;
  for (const std::string& entry : entries) {
    SIZE size = {};
    if (GetTextExtentPoint32A(dc, entry.c_str(), static_cast<int>(entry.size()), &size) &&
        size.cx > widest) {
      widest = size.cx;
    }
  }
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(list, dc);
  return widest + GetSystemMetrics(SM_CXVSCROLL) + 4 * GetSystemMetrics(SM_CXEDGE);
}

}  // namespace

void Win32DialogFields::setListEntries(int id, const std::vector<std::string>& entries) {
  HWND list = GetDlgItem(dialog_, id);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  size_t bytes = 0;
  for (const std::string& entry : entries) bytes += entry.size() + 1;
  SendMessageA(list, CB_INITSTORAGE, static_cast<WPARAM>(entries.size()),
               static_cast<LPARAM>(bytes));
  for (const std::string& entry : entries)
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  // The list drops at least as wide as its box, and wide enough for every entry.
  RECT box = {};
  GetWindowRect(list, &box);
  const int width = droppedWidthFor(list, entries);
  if (width > box.right - box.left) SendMessageA(list, CB_SETDROPPEDWIDTH, width, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void Win32DialogFields::selectListEntry(int id, int index) {
  SendDlgItemMessageA(dialog_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32DialogFields::selectedListEntry(int id) {
  const LRESULT index = SendDlgItemMessageA(dialog_, id, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

void Win32DialogFields::setEnabled(int id, bool enabled) {
  EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
}

}  // namespace ned
