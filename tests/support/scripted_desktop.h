// A desktop for the native tests: answers come from queues the test fills, and every
// call is recorded so that a test can check the messages, in their order.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "core/desktop.h"
#include "core/posix_file_system.h"

namespace ned::testing {

struct MessageCall {
  std::string text;
  std::string caption;
  MessageStyle style;
  OwnerWindow owner = OwnerWindow::none;
};

struct DialogCall {
  bool save = false;
  FileDialogRequest request;
};

class ScriptedDesktop : public Desktop {
 public:
  // Answers, taken in order. An empty queue answers OK to a message box and cancel to a
  // file dialog.
  std::deque<MessageAnswer> buttons;
  std::deque<ChosenFile> files;

  std::vector<MessageCall> messages;
  std::vector<DialogCall> dialogs;
  std::vector<std::string> createdFiles;
  std::vector<int> endedWith;
  // The temporary folder it gives; none unless a test sets one.
  std::string temporary;
  // The files it gives: the machine's own unless a test scripts them.
  FileSystem* disk = &posixFileSystem();
  std::vector<unsigned> progressSteps;
  // The values kept between runs: a test sets what an earlier run left and reads what
  // this one keeps.
  std::map<std::string, std::string> settings;
  // Events in the order they happened: "message:<text>", "open", "save", "create",
  // "end:<n>", "progress:<subject>" (begin), "progress-end".
  std::vector<std::string> events;

  void chooseFile(
      const std::string& path);  // queues a path, extension offset found as the dialog does

  ChosenFile chooseFileToOpen(const FileDialogRequest& request) override;
  ChosenFile chooseFileToSave(const FileDialogRequest& request) override;
  bool createEmptyFile(const std::string& path) override;
  void endProcess(int status) override;
  void beginProgress(const std::string& subject) override;
  void stepProgress(unsigned percent) override;
  void endProgress() override;
  std::string temporaryFolder() override { return temporary; }
  std::string readSetting(const std::string& name) override;
  void writeSetting(const std::string& name, const std::string& value) override;
  FileSystem& fileSystem() override { return *disk; }

  std::vector<std::string> messageTexts() const;

 protected:
  MessageAnswer messageBox(OwnerWindow owner, const std::string& text, const std::string& caption,
                           MessageStyle style) override;
};

}  // namespace ned::testing
