// The controls of an open dialog, through the window system's dialog-item calls.
#pragma once

#include <windows.h>

#include "core/dialog_fields.h"

namespace ned {

class Win32DialogFields : public DialogFields {
 public:
  explicit Win32DialogFields(HWND dialog) : dialog_(dialog) {}

  std::string text(int id, int limit) override;
  void setText(int id, const std::string& value) override;
  bool unsignedValue(int id, uint32_t* value) override;
  void setUnsignedValue(int id, uint32_t value) override;
  void limitText(int id, int chars) override;
  void setChecked(int id, bool checked) override;
  bool isChecked(int id) override;
  OwnerWindow owner() override;
  void setListEntries(int id, const std::vector<std::string>& entries) override;
  void selectListEntry(int id, int index) override;
  int selectedListEntry(int id) override;
  void setEnabled(int id, bool enabled) override;

 private:
  HWND dialog_;
};

}  // namespace ned
