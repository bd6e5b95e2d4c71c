// The desktop seam over user32, gdi32, comdlg32 and kernel32. The settings kept between
// runs live in the registry, under HKEY_CURRENT_USER\Software\Terravane, as text values;
// its calls come from advapi32, loaded when a setting is first read or written.
#pragma once

#include <windows.h>

#include "core/desktop.h"
#include "win32/progress_window.h"
#include "win32/win32_file_system.h"

namespace ned {

class Win32Desktop : public Desktop {
 public:
  ChosenFile chooseFileToOpen(const FileDialogRequest& request) override;
  ChosenFile chooseFileToSave(const FileDialogRequest& request) override;
  bool createEmptyFile(const std::string& path) override;
  void endProcess(int status) override;
  void beginProgress(const std::string& subject) override { progress_.begin(subject); }
  void stepProgress(unsigned percent) override { progress_.step(percent); }
  void endProgress() override { progress_.end(); }
  std::string temporaryFolder() override;
  std::string readSetting(const std::string& name) override;
  void writeSetting(const std::string& name, const std::string& value) override;
  FileSystem& fileSystem() override { return files_; }

 protected:
  MessageAnswer messageBox(OwnerWindow owner, const std::string& text, const std::string& caption,
                           MessageStyle style) override;

 private:
  ProgressWindow progress_;
  Win32FileSystem files_;
};

// The seam's names of a window and of a message box's looks, in the window system's terms.
inline OwnerWindow ownerOf(HWND window) {
  return static_cast<OwnerWindow>(reinterpret_cast<std::uintptr_t>(window));
}
UINT messageBoxStyle(MessageStyle style);
MessageAnswer messageAnswer(int button);
DWORD fileDialogFlags(const FileDialogOptions& options);

}  // namespace ned
