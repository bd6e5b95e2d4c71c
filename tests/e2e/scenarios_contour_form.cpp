// The contour form of both export dialogs, used as a person uses it: picked with a click,
// its interval and index count typed key by key, its two fields greyed for every other
// form and the box "Skip cells without data" greyed for it, a bad interval or count
// refused with the dialog left open and no file asked for, and the form and the fields as
// they were left at the next start. The drawing itself is the writer's to check.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

constexpr const char* kWriteCaption = "Write Selected NED Points";
constexpr const char* kOutputCaption = "NED GridFloat Points Selected.";
constexpr const char* kBadInterval = "The contour interval must be a number greater than 0.";
constexpr const char* kBadEvery =
    "Index every must be a whole number of lines, 0 for no index contours.";

// The ids of one dialog's form buttons and fields.
struct FormControls {
  int contours;
  int interval;
  int every;
  int skip;
  std::vector<int> others;  // the radio buttons of the point forms
};
const FormControls kViewer = {2008, 2009, 2010, 2007, {2004, 2001, 2003, 2002}};
const FormControls kPicker = {70, 1013, 1014, 60, {40, 20, 30}};

void type(robot::Context& ctx, HWND dialog, int id, const char* text) {
  robot::typeText(dialog, id, text);
  CHECK_EQ(robot::controlText(dialog, id), text);
}

// Every point form greys the two fields; the contours make them usable and grey the box.
void clickThroughTheForms(robot::Context& ctx, HWND dialog, const FormControls& ids) {
  for (int form : ids.others) {
    CHECK(robot::clickControl(dialog, form, true));
    CHECK(robot::waitForEnabled(dialog, ids.interval, false));
    CHECK(robot::waitForEnabled(dialog, ids.every, false));
  }
  CHECK(robot::clickControl(dialog, ids.contours, true));
  CHECK(robot::waitForEnabled(dialog, ids.interval, true));
  CHECK(robot::waitForEnabled(dialog, ids.every, true));
  CHECK(robot::waitForEnabled(dialog, ids.skip, false));
}

// A typed text refused on OK: its message, and the dialog stays without a save dialog.
void refused(robot::Context& ctx, const robot::Process& process, HWND dialog, int id,
             const char* text, const char* message) {
  type(ctx, dialog, id, text);
  robot::pressButton(dialog, IDOK);
  const robot::MessageBoxSeen box = robot::waitForMessageBox(process);
  CHECK(box.window != nullptr);
  CHECK_EQ(box.text, message);
  CHECK_EQ(box.caption, "Notice");
  if (box.window != nullptr) robot::pressButton(box.window, IDOK);
  CHECK(robot::waitForClose(box.window));
  CHECK(robot::waitForWindow(process, "Save As", nullptr, 1000) == nullptr);
  CHECK(IsWindow(dialog) && IsWindowVisible(dialog));
  CHECK_EQ(robot::controlText(dialog, id), text);
}

// gridview on the demo tile, at the quadrangle with origin (2706, 2706), all of it
// selected: gives the dialog.
HWND selectTheQuadrangle(robot::Context& ctx, robot::Process& gridview, HWND* main) {
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  if (window == nullptr) return nullptr;
  *main = window;
  robot::postCommand(window, 201);
  if (!robot::answerFileDialog(gridview, "Open", ctx.demoHeader())) return nullptr;
  const int presses[][2] = {{163, 201}, {300, 400}};  // the 30' window, then the quadrangle
  for (const auto& press : presses) {
    robot::sendMouse(window, WM_LBUTTONDOWN, press[0], press[1], MK_LBUTTON);
    robot::postMouse(window, WM_LBUTTONUP, press[0], press[1], 0);
  }
  robot::postCommand(window, 203);
  return robot::waitForWindow(gridview, kWriteCaption);
}

// gridpick on the demo tile up to dialog 102 for the block from 36.3000 N, 84.3000 W.
HWND openOutputDialog(robot::Context& ctx, robot::Process& gridpick) {
  if (!robot::answerFileDialog(gridpick, "Open", ctx.demoHeader())) return nullptr;
  HWND select = robot::waitForWindow(gridpick, "Terravane.", "#32770");
  if (select == nullptr) return nullptr;
  type(ctx, select, 1002, "36.3000");
  type(ctx, select, 1001, "84.3000");
  robot::pressButton(select, IDOK);
  return robot::waitForWindow(gridpick, kOutputCaption, "#32770");
}

}  // namespace

ROBOT_SCENARIO(gridview_contour_form_refuses_bad_fields_and_keeps_the_choice) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = nullptr;
  HWND dialog = selectTheQuadrangle(ctx, gridview, &window);
  REQUIRE(dialog != nullptr);
  CHECK(robot::isChecked(dialog, 2004));
  CHECK(!robot::isChecked(dialog, kViewer.contours));
  CHECK_EQ(robot::controlText(dialog, kViewer.interval), "1");
  CHECK_EQ(robot::controlText(dialog, kViewer.every), "5");
  CHECK(robot::waitForEnabled(dialog, kViewer.interval, false));
  CHECK(robot::waitForEnabled(dialog, kViewer.every, false));
  CHECK(robot::waitForEnabled(dialog, kViewer.skip, true));
  clickThroughTheForms(ctx, dialog, kViewer);

  refused(ctx, gridview, dialog, kViewer.interval, "0", kBadInterval);
  refused(ctx, gridview, dialog, kViewer.interval, "-2", kBadInterval);
  refused(ctx, gridview, dialog, kViewer.interval, "2 ft", kBadInterval);
  type(ctx, dialog, kViewer.interval, "2");
  refused(ctx, gridview, dialog, kViewer.every, "", kBadEvery);
  type(ctx, dialog, kViewer.every, "10");
  CHECK(robot::clickControl(dialog, 2005, true));  // in feet
  if (!ctx.shotDir.empty()) {
    robot::makeFolders(ctx.shotDir);
    robot::saveScreen(ctx.shotDir + "\\gridview_contours.bmp");
  }
  // Estimates: the kept cells, no size.
  robot::pressButton(dialog, 2006);
  Sleep(800);
  CHECK_EQ(robot::controlText(dialog, 1005), "");
  CHECK_EQ(robot::controlText(dialog, 1006), "");
  CHECK_EQ(robot::controlText(dialog, 1008), "200000");

  robot::pressButton(dialog, IDOK);
  CHECK(robot::cancelFileDialog(gridview, "Save As"));
  CHECK(robot::waitForClose(dialog));
  CHECK_EQ(robot::keptSetting("OutputForm"), "contours");
  CHECK_EQ(robot::keptSetting("ContourInterval"), "2");
  CHECK_EQ(robot::keptSetting("IndexContourEvery"), "10");
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);

  // The next start opens on the contours with the fields as typed, usable.
  robot::Process& again = ctx.launch("gridview.exe");
  dialog = selectTheQuadrangle(ctx, again, &window);
  REQUIRE(dialog != nullptr);
  CHECK(robot::isChecked(dialog, kViewer.contours));
  CHECK(!robot::isChecked(dialog, 2004));
  CHECK_EQ(robot::controlText(dialog, kViewer.interval), "2");
  CHECK_EQ(robot::controlText(dialog, kViewer.every), "10");
  CHECK(robot::waitForEnabled(dialog, kViewer.interval, true));
  CHECK(robot::waitForEnabled(dialog, kViewer.skip, false));
  robot::pressButton(dialog, IDCANCEL);
  const robot::MessageBoxSeen box = robot::waitForMessageBox(again);
  CHECK_EQ(box.text, "Click Center to Redraw.");
  if (box.window != nullptr) robot::pressButton(box.window, IDOK);
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(again), 0);
}

ROBOT_SCENARIO(gridpick_contour_form_refuses_bad_fields_and_keeps_the_choice) {
  robot::Process& gridpick = ctx.launch("gridpick.exe");
  HWND output = openOutputDialog(ctx, gridpick);
  REQUIRE(output != nullptr);
  CHECK(robot::isChecked(output, 40));
  CHECK_EQ(robot::controlText(output, kPicker.interval), "1");
  CHECK_EQ(robot::controlText(output, kPicker.every), "5");
  CHECK(robot::waitForEnabled(output, kPicker.interval, false));
  CHECK(robot::waitForEnabled(output, kPicker.every, false));
  clickThroughTheForms(ctx, output, kPicker);

  refused(ctx, gridpick, output, kPicker.interval, "0.0", kBadInterval);
  refused(ctx, gridpick, output, kPicker.interval, "abc", kBadInterval);
  type(ctx, output, kPicker.interval, "0.5");
  refused(ctx, gridpick, output, kPicker.every, "", kBadEvery);
  type(ctx, output, kPicker.every, "4");
  if (!ctx.shotDir.empty()) {
    robot::makeFolders(ctx.shotDir);
    robot::saveScreen(ctx.shotDir + "\\gridpick_contours.bmp");
  }
  robot::pressButton(output, IDOK);
  CHECK(robot::cancelFileDialog(gridpick, "Save As"));
  CHECK_EQ(robot::waitForExit(gridpick), 1);
  CHECK_EQ(robot::keptSetting("OutputForm"), "contours");
  CHECK_EQ(robot::keptSetting("ContourInterval"), "0.5");
  CHECK_EQ(robot::keptSetting("IndexContourEvery"), "4");

  // The next run opens on the contours; a point form chosen there is kept instead, and the
  // fields stay as they were.
  robot::Process& again = ctx.launch("gridpick.exe");
  output = openOutputDialog(ctx, again);
  REQUIRE(output != nullptr);
  CHECK(robot::isChecked(output, kPicker.contours));
  CHECK_EQ(robot::controlText(output, kPicker.interval), "0.5");
  CHECK_EQ(robot::controlText(output, kPicker.every), "4");
  CHECK(robot::waitForEnabled(output, kPicker.interval, true));
  CHECK(robot::clickControl(output, 20, true));
  CHECK(robot::waitForEnabled(output, kPicker.interval, false));
  robot::pressButton(output, IDOK);
  CHECK(robot::cancelFileDialog(again, "Save As"));
  CHECK_EQ(robot::waitForExit(again), 1);
  CHECK_EQ(robot::keptSetting("OutputForm"), "north");
  CHECK_EQ(robot::keptSetting("ContourInterval"), "0.5");
}
