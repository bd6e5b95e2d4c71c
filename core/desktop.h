// The seam between the core and the desktop: everything the programs need from the
// window system that is not drawing. The Win32 implementation lives in win32/, a
// scripted one for the native tests in tests/support/. The seam says what the core
// means; how the window system encodes it is the implementations' business.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/file_system.h"

namespace ned {

// How a message box asks: its buttons, its icon, and whether it holds back every window
// of the program until it is answered.
enum class MessageButtons { ok, yesNo };
enum class MessageIcon { none, warning, information };

struct MessageStyle {
  MessageButtons buttons = MessageButtons::ok;
  MessageIcon icon = MessageIcon::none;
  bool taskModal = false;
  bool operator==(const MessageStyle& other) const {
    return buttons == other.buttons && icon == other.icon && taskModal == other.taskModal;
  }
  bool operator!=(const MessageStyle& other) const { return !(*this == other); }
};

constexpr MessageStyle kPlainMessage{};
constexpr MessageStyle kTaskModalMessage{MessageButtons::ok, MessageIcon::none, true};
constexpr MessageStyle kWarningQuestion{MessageButtons::yesNo, MessageIcon::warning, false};
constexpr MessageStyle kInformationMessage{MessageButtons::ok, MessageIcon::information, false};

// The button that closed a message box.
enum class MessageAnswer { ok, yes, no, other };

// A window of the program that owns a message box, as the desktop identifies it; none
// makes a box without an owner.
enum class OwnerWindow : std::uintptr_t { none = 0 };

// The buffer the file dialogs are given, in characters, terminator included.
constexpr unsigned kDialogPathChars = 260;

// One entry of a file dialog's type list: what the user reads and the names it shows.
struct FileFilter {
  std::string text;     // e.g. "GridFloat Header (*.hdr)"
  std::string pattern;  // e.g. "*.hdr", or several: "*.tif;*.tiff"
};

// What a file dialog is asked to do besides showing names.
struct FileDialogOptions {
  bool fileMustExist = false;    // only an existing file can be opened
  bool pathMustExist = false;    // only a name in an existing folder can be given
  bool overwritePrompt = false;  // asks before an existing file is replaced
  bool operator==(const FileDialogOptions& other) const {
    return fileMustExist == other.fileMustExist && pathMustExist == other.pathMustExist &&
           overwritePrompt == other.overwritePrompt;
  }
};

// What a file dialog is asked to show: its type list (the first is chosen), the extension
// added to a name typed without one, and its options. Both dialogs use the explorer
// style and do not offer the read-only box.
struct FileDialogRequest {
  std::vector<FileFilter> filters;
  std::string defaultExtension;
  FileDialogOptions options;
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
  MessageAnswer showMessage(const std::string& text, const std::string& caption,
                            MessageStyle style) {
    return messageBox(OwnerWindow::none, text, caption, style);
  }
  // A modal message box owned by one of the program's windows (a dialog, say), which it
  // disables until the box is answered.
  MessageAnswer showMessage(OwnerWindow owner, const std::string& text, const std::string& caption,
                            MessageStyle style) {
    return messageBox(owner, text, caption, style);
  }
  virtual ChosenFile chooseFileToOpen(const FileDialogRequest& request) = 0;
  virtual ChosenFile chooseFileToSave(const FileDialogRequest& request) = 0;
  // Creates (or truncates) the file, empty, and closes it again.
  virtual bool createEmptyFile(const std::string& path) = 0;
  // Ends the process with the status. The scripted desktop records the call and returns.
  virtual void endProcess(int status) = 0;

  // Work that keeps the program busy for seconds: between begin and end the desktop shows
  // that the program is busy and what it works on (subject, a file name), and each step
  // how far it is, 0 to 100 percent. A desktop without a screen has nothing to show.
  virtual void beginProgress(const std::string& /*subject*/) {}
  virtual void stepProgress(unsigned /*percent*/) {}
  virtual void endProgress() {}

  // The user's folder for temporary files, where files go that the program makes for
  // itself when the folder it would put them in cannot be written; empty when the
  // desktop has none.
  virtual std::string temporaryFolder() = 0;

  // The files the program reads at random and makes for itself.
  virtual FileSystem& fileSystem() = 0;

  // A choice the user made that the programs keep between runs, by name; empty when none
  // was kept. Both programs share them. A desktop that keeps nothing forgets every value.
  virtual std::string readSetting(const std::string& /*name*/) { return std::string(); }
  virtual void writeSetting(const std::string& /*name*/, const std::string& /*value*/) {}

 protected:
  virtual MessageAnswer messageBox(OwnerWindow owner, const std::string& text,
                                   const std::string& caption, MessageStyle style) = 0;
};

}  // namespace ned
