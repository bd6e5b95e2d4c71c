#include "tests/support/scripted_desktop.h"

#include <cstdio>

namespace ned::testing {

void ScriptedDesktop::chooseFile(const std::string& path) {
  ChosenFile chosen;
  chosen.path = path;
  chosen.extensionOffset = extensionOffsetOf(path);
  files.push_back(chosen);
}

MessageAnswer ScriptedDesktop::messageBox(OwnerWindow owner, const std::string& text,
                                          const std::string& caption, MessageStyle style) {
  messages.push_back({text, caption, style, owner});
  events.push_back("message:" + text);
  if (buttons.empty()) return MessageAnswer::ok;
  const MessageAnswer answer = buttons.front();
  buttons.pop_front();
  return answer;
}

ChosenFile ScriptedDesktop::chooseFileToOpen(const FileDialogRequest& request) {
  dialogs.push_back({false, request});
  events.push_back("open");
  if (files.empty()) return {};
  ChosenFile answer = files.front();
  files.pop_front();
  return answer;
}

ChosenFile ScriptedDesktop::chooseFileToSave(const FileDialogRequest& request) {
  dialogs.push_back({true, request});
  events.push_back("save");
  if (files.empty()) return {};
  ChosenFile answer = files.front();
  files.pop_front();
  return answer;
}

bool ScriptedDesktop::createEmptyFile(const std::string& path) {
  createdFiles.push_back(path);
  events.push_back("create");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

void ScriptedDesktop::endProcess(int status) {
  endedWith.push_back(status);
  events.push_back("end:" + std::to_string(status));
}

void ScriptedDesktop::beginProgress(const std::string& subject) {
  events.push_back("progress:" + subject);
}

void ScriptedDesktop::stepProgress(unsigned percent) {
  progressSteps.push_back(percent);
}

void ScriptedDesktop::endProgress() {
  events.push_back("progress-end");
}

std::string ScriptedDesktop::readSetting(const std::string& name) {
  const auto found = settings.find(name);
  return found == settings.end() ? std::string() : found->second;
}

void ScriptedDesktop::writeSetting(const std::string& name, const std::string& value) {
  settings[name] = value;
}

std::vector<std::string> ScriptedDesktop::messageTexts() const {
  std::vector<std::string> texts;
  for (const MessageCall& call : messages) texts.push_back(call.text);
  return texts;
}

}  // namespace ned::testing
