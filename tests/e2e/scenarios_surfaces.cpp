// The two surface forms of both export dialogs, used as a person uses them: picked with a
// click, the tolerance typed key by key, usable with the surfaces alone while the contour
// fields and the box "Skip cells without data" are greyed for them, and a tolerance of 0 or
// below, or not a number, refused with the dialog left open and no file asked for.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

constexpr const char* kWriteCaption = "Write Selected NED Points";
constexpr const char* kOutputCaption = "NED GridFloat Points Selected.";
constexpr const char* kBadTolerance = "The tolerance must be a number greater than 0.";
constexpr const char* kTennesseeFeet = "NAD83 / Tennessee (ftUS)  EPSG:2274";

// The ids of one dialog's form buttons and fields.
struct FormControls {
  int landXml;
  int dxfTin;
  int tolerance;
  int interval;
  int every;
  int skip;
  int feet;
  int coordinates;
  std::vector<int> others;  // the radio buttons of the point forms and the contours
};
const FormControls kViewer = {
    2011, 2012, 2013, 2009, 2010, 2007, 2005, 1012, {2004, 2001, 2003, 2002, 2008}};
const FormControls kPicker = {80, 90, 1015, 1013, 1014, 60, 50, 1012, {40, 20, 30, 70}};

void type(robot::Context& ctx, HWND dialog, int id, const char* text) {
  robot::typeText(dialog, id, text);
  CHECK_EQ(robot::controlText(dialog, id), text);
}

// Every other form greys the tolerance; each surface makes it usable and greys the contour
// fields and the box.
void clickThroughTheForms(robot::Context& ctx, HWND dialog, const FormControls& ids) {
  for (int form : ids.others) {
    CHECK(robot::clickControl(dialog, form, true));
    CHECK(robot::waitForEnabled(dialog, ids.tolerance, false));
  }
  for (int form : {ids.dxfTin, ids.landXml}) {
    CHECK(robot::clickControl(dialog, form, true));
    CHECK(robot::waitForEnabled(dialog, ids.tolerance, true));
    CHECK(robot::waitForEnabled(dialog, ids.interval, false));
    CHECK(robot::waitForEnabled(dialog, ids.every, false));
    CHECK(robot::waitForEnabled(dialog, ids.skip, false));
    for (int other : ids.others) CHECK(!robot::isChecked(dialog, other));
  }
}

// A typed tolerance refused on OK: its message, and the dialog stays without a save dialog.
void refused(robot::Context& ctx, const robot::Process& process, HWND dialog, int id,
             const char* text) {
  type(ctx, dialog, id, text);
  robot::pressButton(dialog, IDOK);
  const robot::MessageBoxSeen box = robot::waitForMessageBox(process);
  CHECK(box.window != nullptr);
  CHECK_EQ(box.text, kBadTolerance);
  CHECK_EQ(box.caption, "Notice");
  if (box.window != nullptr) robot::pressButton(box.window, IDOK);
  CHECK(robot::waitForClose(box.window));
  CHECK(robot::waitForWindow(process, "Save As", nullptr, 1000) == nullptr);
  CHECK(IsWindow(dialog) && IsWindowVisible(dialog));
  CHECK_EQ(robot::controlText(dialog, id), text);
}

// gridview on the demo tile: the quadrangle with origin (2706, 2706), and the window of
// 150 x 90 cells from row 2817, column 2856 dragged there; gives the dialog.
HWND dragAWindow(robot::Context& ctx, robot::Process& gridview, HWND* main) {
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
  robot::postCommand(window, 204);
  robot::postMouse(window, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
  robot::postMouse(window, WM_MOUSEMOVE, 150, 140, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, 150, 140, 0);
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

void shot(robot::Context& ctx, const char* name) {
  if (ctx.shotDir.empty()) return;
  robot::makeFolders(ctx.shotDir);
  robot::saveScreen(ctx.shotDir + "\\" + name);
}

}  // namespace

ROBOT_SCENARIO(gridview_surface_forms_grey_their_fields_and_refuse_a_bad_tolerance) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = nullptr;
  HWND dialog = dragAWindow(ctx, gridview, &window);
  REQUIRE(dialog != nullptr);
  CHECK(robot::isChecked(dialog, 2004));
  CHECK_EQ(robot::controlText(dialog, kViewer.tolerance), "0.1");
  CHECK(robot::waitForEnabled(dialog, kViewer.tolerance, false));
  clickThroughTheForms(ctx, dialog, kViewer);
  CHECK(robot::isChecked(dialog, kViewer.landXml));
  CHECK(robot::pickFromList(dialog, kViewer.coordinates, kTennesseeFeet));
  CHECK(robot::clickControl(dialog, kViewer.feet, true));

  refused(ctx, gridview, dialog, kViewer.tolerance, "0");
  refused(ctx, gridview, dialog, kViewer.tolerance, "-0.3");
  refused(ctx, gridview, dialog, kViewer.tolerance, "0.3 ft");
  type(ctx, dialog, kViewer.tolerance, "0.3");
  shot(ctx, "gridview_surface.bmp");
  // Estimates: the kept cells, no size.
  robot::pressButton(dialog, 2006);
  Sleep(800);
  CHECK_EQ(robot::controlText(dialog, 1006), "");
  robot::pressButton(dialog, IDCANCEL);
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridview);
  CHECK_EQ(box.text, "Click Center to Redraw.");
  if (box.window != nullptr) robot::pressButton(box.window, IDOK);
  CHECK(robot::waitForClose(dialog));
  CHECK_EQ(robot::keptSetting("SurfaceTolerance"), "");  // Cancel keeps nothing
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

ROBOT_SCENARIO(gridpick_surface_forms_grey_their_fields_and_refuse_a_bad_tolerance) {
  robot::Process& gridpick = ctx.launch("gridpick.exe");
  HWND output = openOutputDialog(ctx, gridpick);
  REQUIRE(output != nullptr);
  CHECK(robot::isChecked(output, 40));
  CHECK_EQ(robot::controlText(output, kPicker.tolerance), "0.1");
  CHECK(robot::waitForEnabled(output, kPicker.tolerance, false));
  clickThroughTheForms(ctx, output, kPicker);
  CHECK(robot::clickControl(output, kPicker.dxfTin, true));

  refused(ctx, gridpick, output, kPicker.tolerance, "0");
  refused(ctx, gridpick, output, kPicker.tolerance, "abc");
  type(ctx, output, kPicker.tolerance, "0.5");
  shot(ctx, "gridpick_surface.bmp");
  robot::pressButton(output, IDCANCEL);
  CHECK_EQ(robot::waitForExit(gridpick), 1);
  CHECK_EQ(robot::keptSetting("OutputForm"), "");
}
