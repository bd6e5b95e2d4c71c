// Access to the controls of an open dialog, so that what a dialog shows and reads back
// is plain logic. The window system's side is win32/Win32DialogFields; the tests script
// their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/desktop.h"

namespace ned {

class DialogFields {
 public:
  virtual ~DialogFields() = default;
  // The control's text, at most limit - 1 characters of it (limit counts the terminator,
  // as the window system's buffers do).
  virtual std::string text(int id, int limit) = 0;
  virtual void setText(int id, const std::string& text) = 0;
  // The control's text read as an unsigned decimal number; false when it is not one.
  virtual bool unsignedValue(int id, uint32_t* value) = 0;
  virtual void setUnsignedValue(int id, uint32_t value) = 0;
  // How many characters the user can type into an edit control.
  virtual void limitText(int id, int chars) = 0;
  virtual void setChecked(int id, bool checked) = 0;
  virtual bool isChecked(int id) = 0;
  // A drop-down list: its entries, in order, replace what it held; the entry shown, by
  // its place in the list (-1: none).
  virtual void setListEntries(int id, const std::vector<std::string>& entries) = 0;
  virtual void selectListEntry(int id, int index) = 0;
  virtual int selectedListEntry(int id) = 0;
  // Whether the user can use the control; one that cannot is shown greyed.
  virtual void setEnabled(int id, bool enabled) = 0;
  // The dialog as the owner of the message boxes it shows.
  virtual OwnerWindow owner() = 0;
};

}  // namespace ned
