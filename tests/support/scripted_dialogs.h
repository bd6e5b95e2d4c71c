// The extractor's dialogs for the native tests: each dialog is filled by the real fill
// function, then the scripted user types into its fields, clicks its buttons and
// presses OK or Cancel, which runs the real command handling.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "extractor/extractor_dialogs.h"
#include "extractor/extractor_driver.h"
#include "tests/support/scripted_fields.h"

namespace ned::testing {

// What the user does in one dialog.
struct DialogScript {
  int dialogId = kSelectDialogId;
  std::vector<std::pair<int, std::string>> typed;  // field id, the whole new text
  std::vector<int> clicks;                         // radio buttons and the check boxes
  std::string coordinates;                         // picked from the list; empty: as shown
  int pressed = 1;                                 // 1 OK, 2 Cancel
  std::function<void()> whileOpen;                 // something that happens meanwhile
};

inline DialogScript selectDialog(const std::string& lat, const std::string& lon,
                                 const std::string& east = "1.0",
                                 const std::string& south = "1.0") {
  DialogScript script;
  script.dialogId = kSelectDialogId;
  script.typed = {
      {kIdcLatitude, lat}, {kIdcLongitude, lon}, {kIdcKmEast, east}, {kIdcKmSouth, south}};
  return script;
}

inline DialogScript outputDialog(std::vector<std::pair<int, std::string>> typed = {},
                                 std::vector<int> clicks = {}) {
  DialogScript script;
  script.dialogId = kOutputDialogId;
  script.typed = std::move(typed);
  script.clicks = std::move(clicks);
  return script;
}

inline DialogScript cancelled(int dialogId) {
  DialogScript script;
  script.dialogId = dialogId;
  script.pressed = 2;
  return script;
}

class ScriptedDialogs : public ExtractorDialogs {
 public:
  std::deque<DialogScript> scripts;
  // The fields of every dialog opened, as they were just after it was filled.
  std::vector<std::pair<int, ScriptedFields>> shown;

  void open(int dialogId, ExtractorRun& run) override {
    ScriptedFields fields;
    fillDialog(dialogId, run, fields);
    shown.emplace_back(dialogId, fields);
    if (scripts.empty() || scripts.front().dialogId != dialogId) {
      ADD_FAILURE() << "dialog " << dialogId << " opened without a script";
      handleDialogCommand(dialogId, 2, fields, run);
      return;
    }
    const DialogScript script = scripts.front();
    scripts.pop_front();
    if (script.whileOpen) script.whileOpen();
    for (const auto& entry : script.typed) fields.texts[entry.first] = entry.second;
    // Each click is told to the dialog, as the window system does.
    for (int id : script.clicks) {
      if (!fields.isEnabled(id)) continue;  // a greyed control takes no click
      if (id == kIdcToFeet || id == kIdcSkipNoData) {
        fields.checks[id] = !fields.checks[id];
      } else {
        static const int kForms[] = {kIdcRectangular, kIdcProjectNorth, kIdcCsvGrid,
                                     kIdcDxfContours, kIdcLandXmlTin,   kIdcDxfTin};
        fields.clickRadio(id, kForms);
      }
      EXPECT_FALSE(handleDialogCommand(dialogId, id, fields, run));
    }
    if (!script.coordinates.empty()) {
      EXPECT_TRUE(fields.pickListEntry(kIdcCoordinates, script.coordinates)) << script.coordinates;
      EXPECT_FALSE(handleDialogCommand(dialogId, kIdcCoordinates, fields, run));
    }
    EXPECT_FALSE(handleDialogCommand(dialogId, 9999, fields, run));
    EXPECT_TRUE(handleDialogCommand(dialogId, script.pressed, fields, run));
  }

  std::vector<int> openedIds() const {
    std::vector<int> ids;
    for (const auto& entry : shown) ids.push_back(entry.first);
    return ids;
  }
};

}  // namespace ned::testing
