#include "win32/win32_desktop.h"

// windows.h first: commdlg.h needs its types.
#include <commdlg.h>

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

ChosenFile runFileDialog(const FileDialogRequest& request, bool save) {
  // The filter pairs: display text and pattern, each ended by a null, then a final null.
  std::string filter;
  for (const FileFilter& pair : request.filters) {
    filter += pair.text;
    filter.push_back('\0');
    filter += pair.pattern;
    filter.push_back('\0');
  }
  filter.push_back('\0');

  char path[kDialogPathChars] = {};
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = kDialogPathChars;
  dialog.lpstrDefExt = request.defaultExtension.c_str();
  dialog.Flags = fileDialogFlags(request.options);

  // A path that does not fit the buffer makes the dialog fail: it is never cut short.
  const BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  if (!chosen) return {};
  ChosenFile result;
  result.path = path;
  result.extensionOffset = dialog.nFileExtension;
  return result;
}

}  // namespace

MessageAnswer Win32Desktop::messageBox(OwnerWindow owner, const std::string& text,
                                       const std::string& caption, MessageStyle style) {
  HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner));
  return messageAnswer(MessageBoxA(window, text.c_str(), caption.c_str(), messageBoxStyle(style)));
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

std::string Win32Desktop::temporaryFolder() {
  char folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof folder, folder);
  return length > 0 && length < sizeof folder ? std::string(folder, length) : std::string();
}

void Win32Desktop::endProcess(int status) {
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace ned
