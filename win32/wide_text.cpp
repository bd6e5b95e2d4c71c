#include "win32/wide_text.h"

#include <windows.h>

namespace ned {

namespace {

std::wstring widened(const std::string& utf8, DWORD flags) {
  if (utf8.empty()) return std::wstring();
  // Longer texts than an int counts are no text the programs show or open.
  if (utf8.size() > 0x7FFFFFFFu) return std::wstring();
  const int bytes = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, flags, utf8.data(), bytes, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(units), L'\0');
  if (MultiByteToWideChar(CP_UTF8, flags, utf8.data(), bytes, &wide[0], units) != units)
    return std::wstring();
  return wide;
}

}  // namespace

std::wstring wideText(const std::string& utf8) {
  return widened(utf8, 0);
}

std::wstring widePath(const std::string& utf8) {
  return widened(utf8, MB_ERR_INVALID_CHARS);
}

std::string utf8Of(const wchar_t* text, int units, bool strict) {
  if (text == nullptr) return std::string();
  if (units < 0) units = lstrlenW(text);
  if (units == 0) return std::string();
  const DWORD flags = strict ? WC_ERR_INVALID_CHARS : 0;
  const int bytes = WideCharToMultiByte(CP_UTF8, flags, text, units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string narrow(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_UTF8, flags, text, units, &narrow[0], bytes, nullptr, nullptr) !=
      bytes)
    return std::string();
  return narrow;
}

unsigned utf8Length(const wchar_t* text, unsigned units) {
  return static_cast<unsigned>(utf8Of(text, static_cast<int>(units)).size());
}

}  // namespace ned
