#include "win32/win32_desktop.h"

// windows.h first: commdlg.h needs its types.
#include <commdlg.h>

#include "win32/wide_text.h"

namespace ned {

UINT messageBoxStyle(MessageStyle style) {
  UINT bits = style.buttons == MessageButtons::yesNo ? MB_YESNO : MB_OK;
  if (style.icon == MessageIcon::warning) bits |= MB_ICONWARNING;
  if (style.icon == MessageIcon::information) bits |= MB_ICONINFORMATION;
  if (style.taskModal) bits |= MB_TASKMODAL;
  return bits;
}

MessageAnswer messageAnswer(int button) {
  switch (button) {
    case IDOK:
      return MessageAnswer::ok;
    case IDYES:
      return MessageAnswer::yes;
    case IDNO:
      return MessageAnswer::no;
    default:
      return MessageAnswer::other;
  }
}

DWORD fileDialogFlags(const FileDialogOptions& options) {
  DWORD flags = OFN_EXPLORER | OFN_HIDEREADONLY;
  if (options.fileMustExist) flags |= OFN_FILEMUSTEXIST;
  if (options.pathMustExist) flags |= OFN_PATHMUSTEXIST;
  if (options.overwritePrompt) flags |= OFN_OVERWRITEPROMPT;
  return flags;
}

namespace {

// The wide-character dialogs, so that any name the user's folders hold can be chosen; the
// path comes back in UTF-8, and the extension's offset counted in its bytes.
ChosenFile runFileDialog(const FileDialogRequest& request, bool save) {
  // The filter pairs: display text and pattern, each ended by a null, then a final null.
  std::wstring filter;
  for (const FileFilter& pair : request.filters) {
    filter += wideText(pair.text);
    filter.push_back(L'\0');
    filter += wideText(pair.pattern);
    filter.push_back(L'\0');
  }
  filter.push_back(L'\0');
  const std::wstring defaultExtension = wideText(request.defaultExtension);

  wchar_t path[kDialogPathChars] = {};
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = kDialogPathChars;
  dialog.lpstrDefExt = defaultExtension.c_str();
  dialog.Flags = fileDialogFlags(request.options);

  // A path that does not fit the buffer makes the dialog fail: it is never cut short.
  const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) return {};
  const int units = lstrlenW(path);
  ChosenFile result;
  result.path = utf8Of(path, units);
  // The dialog counts the extension's offset in UTF-16 units, the core in bytes.
  const unsigned extension = dialog.nFileExtension;
  result.extensionOffset =
      extension <= static_cast<unsigned>(units) ? utf8Length(path, extension) : 0;
  return result;
}

}  // namespace

MessageAnswer Win32Desktop::messageBox(OwnerWindow owner, const std::string& text,
                                       const std::string& caption, MessageStyle style) {
  HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner));
  // A message may name a file: shown in wide characters from its UTF-8.
  return messageAnswer(MessageBoxW(window, wideText(text).c_str(), wideText(caption).c_str(),
                                   messageBoxStyle(style)));
}

ChosenFile Win32Desktop::chooseFileToOpen(const FileDialogRequest& request) {
  return runFileDialog(request, false);
}

ChosenFile Win32Desktop::chooseFileToSave(const FileDialogRequest& request) {
  return runFileDialog(request, true);
}

bool Win32Desktop::createEmptyFile(const std::string& path) {
  const HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::string Win32Desktop::temporaryFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD size = sizeof folder / sizeof folder[0];
  const DWORD length = GetTempPathW(size, folder);
  // A folder whose name is not UTF-16 could not be found again: none, then.
  return length > 0 && length < size ? utf8Of(folder, static_cast<int>(length), true)
                                     : std::string();
}

namespace {

// The registry calls the settings need. advapi32 is loaded at run time rather than
// imported, so that the programs import nothing beyond user32, gdi32, comdlg32, kernel32
// and the C run time.
struct RegistryCalls {
  using CreateKey = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                                  PHKEY, LPDWORD);
  using OpenKey = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
  using QueryValue = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
  using SetValue = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
  using CloseKey = LONG(WINAPI*)(HKEY);
  CreateKey createKey = nullptr;
  OpenKey openKey = nullptr;
  QueryValue queryValue = nullptr;
  SetValue setValue = nullptr;
  CloseKey closeKey = nullptr;
  bool complete() const {
    return createKey != nullptr && openKey != nullptr && queryValue != nullptr &&
           setValue != nullptr && closeKey != nullptr;
  }
};

// A procedure of the library as the type it has, through void (*)(), the function pointer
// type that converts to any other.
template <class Procedure>
Procedure procedureOf(HMODULE library, const char* name) {
  return reinterpret_cast<Procedure>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// The calls, or null when advapi32 or one of them is missing: then nothing is kept.
const RegistryCalls* registryCalls() {
  static const RegistryCalls calls = [] {
    RegistryCalls loaded;
    HMODULE library = LoadLibraryA("advapi32.dll");
    if (library == nullptr) return loaded;
    loaded.createKey = procedureOf<RegistryCalls::CreateKey>(library, "RegCreateKeyExA");
    loaded.openKey = procedureOf<RegistryCalls::OpenKey>(library, "RegOpenKeyExA");
    loaded.queryValue = procedureOf<RegistryCalls::QueryValue>(library, "RegQueryValueExA");
    loaded.setValue = procedureOf<RegistryCalls::SetValue>(library, "RegSetValueExA");
    loaded.closeKey = procedureOf<RegistryCalls::CloseKey>(library, "RegCloseKey");
    return loaded;
  }();
  return calls.complete() ? &calls : nullptr;
}

constexpr const char kSettingsKey[] = "Software\\Terravane";
// The longest value read back; the programs keep short texts.
constexpr DWORD kSettingChars = 256;

}  // namespace

std::string Win32Desktop::readSetting(const std::string& name) {
  const RegistryCalls* registry = registryCalls();
  HKEY key = nullptr;
  if (registry == nullptr || registry->openKey(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE,
                                               &key) != ERROR_SUCCESS) {
    return std::string();
  }
  char value[kSettingChars + 1] = {};
  DWORD type = 0;
  DWORD size = kSettingChars;
  const LONG read = registry->queryValue(key, name.c_str(), nullptr, &type,
                                         reinterpret_cast<LPBYTE>(value), &size);
  registry->closeKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ) return std::string();
  // The stored text may or may not end with its terminator.
  std::string text(value, size);
  return text.substr(0, text.find('\0'));
}

void Win32Desktop::writeSetting(const std::string& name, const std::string& value) {
  const RegistryCalls* registry = registryCalls();
  HKEY key = nullptr;
  if (registry == nullptr ||
      registry->createKey(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  // A setting that cannot be kept costs the user only the choice at the next start.
  registry->setValue(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  registry->closeKey(key);
}

void Win32Desktop::endProcess(int status) {
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace ned
