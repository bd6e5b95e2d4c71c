#include "win32/win32_desktop.h"

#include <windows.h>
// windows.h first: commdlg.h needs its types.
#include <commdlg.h>

namespace ned {

namespace {

ChosenFile runFileDialog(const FileDialogRequest& request, bool save) {
  // One filter pair: display text and pattern, each ended by a null, then a final null.
  std::string filter = request.filterText;
  filter.push_back('\0');
  filter += request.pattern;
  filter.push_back('\0');
  filter.push_back('\0');

  char path[kDialogPathChars] = {};
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = kDialogPathChars;
  dialog.lpstrDefExt = request.defaultExtension.c_str();
  dialog.Flags = request.flags;

  // A path that does not fit the buffer makes the dialog fail: it is never cut short.
  const BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  if (!chosen) return {};
  ChosenFile result;
  result.path = path;
  result.extensionOffset = dialog.nFileExtension;
  return result;
}

}  // namespace

int Win32Desktop::showMessage(const std::string& text, const std::string& caption, unsigned style) {
  return MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
}

ChosenFile Win32Desktop::chooseFileToOpen(const FileDialogRequest& request) {
  return runFileDialog(request, false);
}

ChosenFile Win32Desktop::chooseFileToSave(const FileDialogRequest& request) {
  return runFileDialog(request, true);
}

bool Win32Desktop::createEmptyFile(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

void Win32Desktop::endProcess(int status) {
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace ned
