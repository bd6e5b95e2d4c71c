// The desktop seam over user32, comdlg32 and kernel32.
#pragma once

#include "core/desktop.h"

namespace ned {

class Win32Desktop : public Desktop {
 public:
  int showMessage(const std::string& text, const std::string& caption, unsigned style) override;
  ChosenFile chooseFileToOpen(const FileDialogRequest& request) override;
  ChosenFile chooseFileToSave(const FileDialogRequest& request) override;
  bool createEmptyFile(const std::string& path) override;
  void endProcess(int status) override;
};

}  // namespace ned
