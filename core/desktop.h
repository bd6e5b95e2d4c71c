// The seam between the core and the desktop: everything the programs need from the
// window system that is not drawing. The Win32 implementation lives in win32/, a
// scripted one for the native tests in tests/support/.
#pragma once

#include <string>

namespace ned {

// Message box styles and answers, with the values the window system gives them.
constexpr unsigned kMbOk = 0x00000000u;
constexpr unsigned kMbYesNo = 0x00000004u;
constexpr unsigned kMbIconExclamation = 0x00000030u;
constexpr unsigned kMbIconWarning = 0x00000030u;
constexpr unsigned kMbIconInformation = 0x00000040u;
constexpr unsigned kMbTaskModal = 0x00002000u;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// File dialog flags, with the window system's values.
constexpr unsigned kOfnOverwritePrompt = 0x00000002u;
constexpr unsigned kOfnHideReadOnly = 0x00000004u;
constexpr unsigned kOfnPathMustExist = 0x00000800u;
constexpr unsigned kOfnFileMustExist = 0x00001000u;
constexpr unsigned kOfnExplorer = 0x00080000u;

// The buffer the file dialogs are given, in characters, terminator included.
constexpr unsigned kDialogPathChars = 260;

// What a file dialog is asked to show: one filter pair, a default extension, flags.
struct FileDialogRequest {
  std::string filterText;  // e.g. "GridFloat Header (*.hdr)"
  std::string pattern;     // e.g. "*.hdr"
  std::string defaultExtension;
  unsigned flags = 0;
};

// What a file dialog returned. An empty path means the user cancelled.
struct ChosenFile {
  std::string path;
  unsigned extensionOffset = 0;  // offset of the extension in path, 0 when it has none
};

// The offset of a path's extension as the file dialogs report it: just past the last dot
// of the file name, 0 when the name has none.
inline unsigned extensionOffsetOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return 0;
  return static_cast<unsigned>(dot + 1);
}

// The path with its extension replaced by another, cut at the dot before the extension
// the dialog reported. A name without an extension gets one; a name ending in a dot keeps
// the dot and gets the extension after it.
inline std::string replaceExtension(const std::string& path, unsigned extensionOffset,
                                    const std::string& extension) {
  if (extensionOffset > 0 && extensionOffset <= path.size() && path[extensionOffset - 1] == '.')
    return path.substr(0, extensionOffset) + extension;
  if (!path.empty() && path.back() == '.') return path + extension;
  return path + "." + extension;
}

class Desktop {
 public:
  virtual ~Desktop() = default;
  // A modal message box with no owner window; gives the button pressed.
  virtual int showMessage(const std::string& text, const std::string& caption, unsigned style) = 0;
  virtual ChosenFile chooseFileToOpen(const FileDialogRequest& request) = 0;
  virtual ChosenFile chooseFileToSave(const FileDialogRequest& request) = 0;
  // Creates (or truncates) the file, empty, and closes it again.
  virtual bool createEmptyFile(const std::string& path) = 0;
  // Ends the process with the status. The scripted desktop records the call and returns.
  virtual void endProcess(int status) = 0;
};

}  // namespace ned
