// The desktop of a native tool: no screen, so no dialogs, no progress to show and no
// temporary folder; messages go to the error stream under the tool's name.
#pragma once

#include <cstdio>
#include <string>

#include "core/desktop.h"
#include "core/posix_file_system.h"

class SilentDesktop : public ned::Desktop {
 public:
  explicit SilentDesktop(const char* program) : program_(program) {}
  ned::ChosenFile chooseFileToOpen(const ned::FileDialogRequest&) override { return {}; }
  ned::ChosenFile chooseFileToSave(const ned::FileDialogRequest&) override { return {}; }
  bool createEmptyFile(const std::string&) override { return false; }
  void endProcess(int) override {}
  std::string temporaryFolder() override { return {}; }
  ned::FileSystem& fileSystem() override { return ned::posixFileSystem(); }

 protected:
  ned::MessageAnswer messageBox(ned::OwnerWindow, const std::string& text, const std::string&,
                                ned::MessageStyle) override {
    std::fprintf(stderr, "%s: %s\n", program_, text.c_str());
    return ned::MessageAnswer::ok;
  }

 private:
  const char* program_;
};
