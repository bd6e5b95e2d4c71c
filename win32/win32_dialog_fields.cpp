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

}  // namespace ned
