// A dialog's controls for the native tests: texts and check marks as the scripted user
// left them. A read takes at most limit - 1 characters, as the window system does; the
// typing limits are recorded.
#pragma once

#include <cctype>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/dialog_fields.h"

namespace ned::testing {

class ScriptedFields : public DialogFields {
 public:
  std::map<int, std::string> texts;
  std::map<int, bool> checks;
  std::map<int, int> limits;
  std::map<int, std::vector<std::string>> lists;  // a drop-down list's entries
  std::map<int, int> listChoice;                  // the entry shown, -1 for none
  std::map<int, bool> enabled;                    // only the controls ever set
  OwnerWindow ownerId = static_cast<OwnerWindow>(0x102);

  std::string text(int id, int limit) override {
    const std::string& whole = texts[id];
    if (limit <= 0) return std::string();
    return whole.substr(0, static_cast<size_t>(limit - 1));
  }
  void setText(int id, const std::string& value) override { texts[id] = value; }
  // Leading blanks, then decimal digits to the end, within 32 bits.
  bool unsignedValue(int id, uint32_t* value) override {
    const std::string& whole = texts[id];
    size_t i = whole.find_first_not_of(' ');
    uint64_t number = 0;
    const bool digits = i != std::string::npos;
    for (; digits && i < whole.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(whole[i]))) {
        *value = 0;
        return false;
      }
      number = number * 10 + static_cast<uint64_t>(whole[i] - '0');
      if (number > UINT32_MAX) {
        *value = 0;
        return false;
      }
    }
    *value = static_cast<uint32_t>(number);
    return digits;
  }
  void setUnsignedValue(int id, uint32_t value) override { texts[id] = std::to_string(value); }
  void limitText(int id, int chars) override { limits[id] = chars; }
  void setChecked(int id, bool checked) override { checks[id] = checked; }
  bool isChecked(int id) override { return checks[id]; }
  OwnerWindow owner() override { return ownerId; }
  void setListEntries(int id, const std::vector<std::string>& entries) override {
    lists[id] = entries;
    listChoice[id] = -1;
  }
  // An index outside the list shows none, as the window system does.
  void selectListEntry(int id, int index) override {
    const bool inside = index >= 0 && static_cast<size_t>(index) < lists[id].size();
    listChoice[id] = inside ? index : -1;
  }
  int selectedListEntry(int id) override {
    const auto found = listChoice.find(id);
    return found == listChoice.end() ? -1 : found->second;
  }
  void setEnabled(int id, bool value) override { enabled[id] = value; }

  bool isEnabled(int id) const {
    const auto found = enabled.find(id);
    return found == enabled.end() || found->second;
  }
  // The text of the entry shown, empty when none is.
  std::string shownEntry(int id) {
    const int index = selectedListEntry(id);
    return index < 0 ? std::string() : lists[id][static_cast<size_t>(index)];
  }
  // A pick from a drop-down list, by the entry's text, as the user makes it; false when
  // the list has no such entry. The dialog is then told of the change by its command.
  bool pickListEntry(int id, const std::string& entry) {
    const std::vector<std::string>& entries = lists[id];
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i] != entry) continue;
      listChoice[id] = static_cast<int>(i);
      return true;
    }
    return false;
  }

  // A click on one of a group of automatic radio buttons.
  template <size_t N>
  void clickRadio(int id, const int (&group)[N]) {
    for (int radio : group) checks[radio] = radio == id;
  }
};

}  // namespace ned::testing
