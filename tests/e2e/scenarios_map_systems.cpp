// Points in map coordinate systems through both programs' real dialogs on the demo tile:
// the Coordinates list, the greyed start coordinates, a State Plane file in US survey feet
// and a UTM file, each compared byte for byte with what the native writer makes of the
// same selection in the same system (tools/write_points ... epsg:<code>, whose map output
// the unit tests check against GDAL and PROJ), and the choice kept for the next start of
// either program.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

constexpr int kCoordinates = 1012;
constexpr const char* kLocalGrid = "Local grid (Northing and Easting)";
constexpr const char* kTennesseeFeet = "NAD83 / Tennessee (ftUS)  EPSG:2274";
constexpr const char* kUtm16 = "NAD83 / UTM zone 16N  EPSG:26916";

bool sameAsReference(robot::Context& ctx, const std::string& written, const std::string& name) {
  const std::string ours = robot::readFile(written);
  const std::string reference = robot::readFile(ctx.refsDir + "\\" + name);
  if (reference.empty() || ours != reference) {
    std::printf("    %s: %zu bytes, reference %s: %zu bytes\n", written.c_str(), ours.size(),
                name.c_str(), reference.size());
    return false;
  }
  return true;
}

// Types a text into a field key by key and checks that the field took all of it.
void type(robot::Context& ctx, HWND dialog, int id, const char* text) {
  robot::typeText(dialog, id, text);
  CHECK_EQ(robot::controlText(dialog, id), text);
}

// Picks an entry of the Coordinates list and waits for the start coordinates (the two
// fields) to be greyed for a map system, or given back for the local grid.
void pickCoordinates(robot::Context& ctx, HWND dialog, const char* entry, int northing,
                     int easting) {
  CHECK(robot::pickFromList(dialog, kCoordinates, entry));
  const bool localGrid = std::string(entry) == kLocalGrid;
  CHECK(robot::waitForEnabled(dialog, northing, localGrid));
  CHECK(robot::waitForEnabled(dialog, easting, localGrid));
}

// --- gridpick ---------------------------------------------------------------------------

constexpr int kPickX = 1009;
constexpr int kPickY = 1010;

// gridpick on the demo tile up to dialog 102 for the block of 61 x 49 cells from 36.3000 N,
// 84.3000 W.
HWND openOutputDialog(robot::Context& ctx, robot::Process*& gridpick) {
  gridpick = &ctx.launch("gridpick.exe");
  if (!gridpick->started) return nullptr;
  if (!robot::answerFileDialog(*gridpick, "Open", ctx.demoHeader())) return nullptr;
  HWND select = robot::waitForWindow(*gridpick, "Terravane.", "#32770");
  if (select == nullptr) return nullptr;
  type(ctx, select, 1002, "36.3000");
  type(ctx, select, 1001, "84.3000");
  type(ctx, select, 1003, "0.5");
  type(ctx, select, 1004, "0.5");
  robot::pressButton(select, IDOK);
  return robot::waitForWindow(*gridpick, "NED GridFloat Points Selected.", "#32770");
}

// OK, the save dialog and the count; the file must be the native writer's.
void saveAndCompare(robot::Context& ctx, robot::Process& gridpick, HWND output, const char* name,
                    const char* count) {
  const std::string path = ctx.work(std::string(name) + ".csv");
  robot::pressButton(output, IDOK);
  REQUIRE(robot::answerFileDialog(gridpick, "Save As", path));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridpick, 60000);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.text, count);
  robot::pressButton(box.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridpick), 0);
  CHECK(sameAsReference(ctx, path, std::string(name) + ".csv"));
}

// --- gridview ---------------------------------------------------------------------------

constexpr const char* kWriteCaption = "Write Selected NED Points";
constexpr int kViewNorthing = 1008;
constexpr int kViewEasting = 1007;

// A left press that returns once the program has handled it, redraw included.
void zoom(HWND window, int x, int y) {
  robot::sendMouse(window, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, x, y, 0);
}

// gridview on the demo tile, zoomed to the quadrangle with origin (2706, 2706), and the
// window of 150 x 90 cells from row 2817, column 2856 dragged there: gives the dialog.
HWND dragTheWindow(robot::Context& ctx, robot::Process& gridview, HWND* main) {
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  if (window == nullptr) return nullptr;
  *main = window;
  robot::postCommand(window, 201);
  if (!robot::answerFileDialog(gridview, "Open", ctx.demoHeader())) return nullptr;
  zoom(window, 163, 201);
  zoom(window, 300, 400);
  robot::postCommand(window, 204);
  robot::postMouse(window, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
  robot::postMouse(window, WM_MOUSEMOVE, 150, 140, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, 150, 140, 0);
  return robot::waitForWindow(gridview, kWriteCaption);
}

// Write Pnts, the note of a system whose area of use the block's middle lies outside (when
// one is expected), the save dialog and the count; the file must be the native writer's.
void writeAndCompare(robot::Context& ctx, robot::Process& gridview, HWND dialog, const char* name,
                     const char* count, const char* note = nullptr) {
  const std::string path = ctx.work(std::string(name) + ".csv");
  robot::pressButton(dialog, IDOK);
  if (note != nullptr) {
    const robot::MessageBoxSeen seen = robot::waitForMessageBox(gridview, 10000);
    REQUIRE(seen.window != nullptr);
    CHECK_EQ(seen.text, note);
    robot::pressButton(seen.window, IDOK);
  }
  REQUIRE(robot::answerFileDialog(gridview, "Save As", path));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridview, 60000);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.text, count);
  robot::pressButton(box.window, IDOK);
  CHECK(robot::waitForClose(dialog));
  CHECK(sameAsReference(ctx, path, std::string(name) + ".csv"));
}

}  // namespace

ROBOT_SCENARIO(gridpick_writes_state_plane_feet_and_utm_and_keeps_the_choice) {
  // The first start: the list offers the local grid, then the systems around the block's
  // middle (36.498 N, 84.497 W), then the others whose domain holds the block.
  robot::Process* gridpick = nullptr;
  HWND output = openOutputDialog(ctx, gridpick);
  REQUIRE(output != nullptr);
  const std::vector<std::string> entries = robot::listEntries(output, kCoordinates);
  CHECK_EQ(static_cast<long long>(entries.size()), 14);
  const std::vector<std::string> first = {kLocalGrid,
                                          "NAD83 / Kentucky Single Zone  EPSG:3088",
                                          "NAD83 / Kentucky Single Zone (ftUS)  EPSG:3089",
                                          "NAD83 / Kentucky South  EPSG:26980",
                                          "NAD83 / Kentucky South (ftUS)  EPSG:2247",
                                          "NAD83 / Tennessee  EPSG:32136",
                                          kTennesseeFeet,
                                          kUtm16,
                                          "NAD83 / North Carolina  EPSG:32119"};
  for (size_t i = 0; i < first.size() && i < entries.size(); ++i) CHECK_EQ(entries[i], first[i]);
  CHECK_EQ(robot::controlText(output, kCoordinates), kLocalGrid);
  CHECK(robot::waitForEnabled(output, kPickX, true));
  CHECK(robot::waitForEnabled(output, kPickY, true));
  pickCoordinates(ctx, output, kTennesseeFeet, kPickY, kPickX);
  pickCoordinates(ctx, output, kLocalGrid, kPickY, kPickX);
  pickCoordinates(ctx, output, kTennesseeFeet, kPickY, kPickX);
  CHECK(robot::clickControl(output, 50, true));  // elevations in the system's foot
  saveAndCompare(ctx, *gridpick, output, "spcs_ftus_pick", "2989 points written.");
  CHECK_EQ(robot::keptSetting("Coordinates"), "2274");

  // The next start offers the same system, X and Y greyed; UTM zone 16N projected north,
  // every second row and column.
  output = openOutputDialog(ctx, gridpick);
  REQUIRE(output != nullptr);
  CHECK_EQ(robot::controlText(output, kCoordinates), kTennesseeFeet);
  CHECK(robot::waitForEnabled(output, kPickX, false));
  CHECK(robot::waitForEnabled(output, kPickY, false));
  pickCoordinates(ctx, output, kUtm16, kPickY, kPickX);
  type(ctx, output, 1011, "1");
  CHECK(robot::clickControl(output, 20, true));
  saveAndCompare(ctx, *gridpick, output, "utm16_pick", "775 points written.");

  // And the start after that UTM zone 16N; Cancel keeps it.
  output = openOutputDialog(ctx, gridpick);
  REQUIRE(output != nullptr);
  CHECK_EQ(robot::controlText(output, kCoordinates), kUtm16);
  CHECK(robot::waitForEnabled(output, kPickX, false));
  pickCoordinates(ctx, output, kLocalGrid, kPickY, kPickX);
  robot::pressButton(output, IDCANCEL);
  CHECK_EQ(robot::waitForExit(*gridpick), 1);
  CHECK_EQ(robot::keptSetting("Coordinates"), "26916");
}

ROBOT_SCENARIO(gridview_writes_state_plane_feet_and_utm_and_keeps_the_choice) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = nullptr;
  HWND dialog = dragTheWindow(ctx, gridview, &window);
  REQUIRE(dialog != nullptr);
  CHECK_EQ(static_cast<long long>(robot::listEntries(dialog, kCoordinates).size()), 14);
  CHECK_EQ(robot::controlText(dialog, kCoordinates), kLocalGrid);
  CHECK(robot::waitForEnabled(dialog, kViewNorthing, true));
  CHECK(robot::waitForEnabled(dialog, kViewEasting, true));

  // Estimates: 34 bytes a point from 200000 and 200000, more in State Plane feet, where X
  // and Y have seven and six digits; the greyed texts are not read.
  robot::pressButton(dialog, 2006);
  Sleep(500);
  const std::string local = robot::controlText(dialog, 1006);
  pickCoordinates(ctx, dialog, kTennesseeFeet, kViewNorthing, kViewEasting);
  robot::setControlText(dialog, kViewNorthing, "N/A");
  robot::pressButton(dialog, 2006);
  Sleep(500);
  CHECK(robot::waitForMessageBox(gridview, 300).window == nullptr);  // "N/A" is not read
  CHECK(!robot::controlText(dialog, 1006).empty());
  CHECK(robot::controlText(dialog, 1006) != local);
  robot::setControlText(dialog, kViewNorthing, "200000");
  if (!ctx.shotDir.empty()) {
    // The dialog with a map system chosen, and its list dropped from the top.
    robot::makeFolders(ctx.shotDir);
    robot::saveScreen(ctx.shotDir + "\\gridview_coordinates.bmp");
    HWND list = GetDlgItem(dialog, kCoordinates);
    SendMessageA(list, CB_SHOWDROPDOWN, TRUE, 0);
    Sleep(300);
    // The dropped list is a window of its own: scrolled to its first entry.
    for (HWND top : robot::topWindows(gridview.info.dwProcessId)) {
      if (robot::className(top) == "ComboLBox") SendMessageA(top, LB_SETTOPINDEX, 0, 0);
    }
    Sleep(300);
    robot::saveScreen(ctx.shotDir + "\\gridview_coordinates_list.bmp");
    SendMessageA(list, CB_SHOWDROPDOWN, FALSE, 0);
    // The list is short enough to drop whole, so the entry under the pointer may have
    // become the choice as it closed: pick the system again.
    pickCoordinates(ctx, dialog, kTennesseeFeet, kViewNorthing, kViewEasting);
  }
  CHECK(robot::clickControl(dialog, 2005, true));  // elevations in the system's foot
  // The window's middle, 36.736 N, lies north of Tennessee's area of use (up to 36.68 N).
  writeAndCompare(ctx, gridview, dialog, "spcs_ftus_view", "13500 points written.",
                  "The block lies outside the area of use of NAD83 / Tennessee (ftUS).");
  CHECK_EQ(robot::keptSetting("Coordinates"), "2274");

  // The next dialog of the same run offers it again; UTM zone 16N projected north, every
  // third row and column.
  robot::postCommand(window, 204);
  robot::postMouse(window, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
  robot::postMouse(window, WM_MOUSEMOVE, 150, 140, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, 150, 140, 0);
  dialog = robot::waitForWindow(gridview, kWriteCaption);
  REQUIRE(dialog != nullptr);
  CHECK_EQ(robot::controlText(dialog, kCoordinates), kTennesseeFeet);
  CHECK(robot::waitForEnabled(dialog, kViewNorthing, false));
  pickCoordinates(ctx, dialog, kUtm16, kViewNorthing, kViewEasting);
  CHECK(robot::clickControl(dialog, 2001, true));
  type(ctx, dialog, 1004, "2");
  writeAndCompare(ctx, gridview, dialog, "utm16_view", "1500 points written.");
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
  CHECK_EQ(robot::keptSetting("Coordinates"), "26916");

  // gridview's next start offers UTM zone 16N, Northing and Easting greyed.
  robot::Process& again = ctx.launch("gridview.exe");
  dialog = dragTheWindow(ctx, again, &window);
  REQUIRE(dialog != nullptr);
  CHECK_EQ(robot::controlText(dialog, kCoordinates), kUtm16);
  CHECK(robot::waitForEnabled(dialog, kViewNorthing, false));
  CHECK(robot::waitForEnabled(dialog, kViewEasting, false));
  robot::pressButton(dialog, IDCANCEL);
  const robot::MessageBoxSeen redraw = robot::waitForMessageBox(again);
  CHECK_EQ(redraw.text, "Click Center to Redraw.");
  if (redraw.window != nullptr) robot::pressButton(redraw.window, IDOK);
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(again), 0);

  // And so does gridpick: the programs share the choice.
  robot::Process* gridpick = nullptr;
  HWND output = openOutputDialog(ctx, gridpick);
  REQUIRE(output != nullptr);
  CHECK_EQ(robot::controlText(output, kCoordinates), kUtm16);
  robot::pressButton(output, IDCANCEL);
  CHECK_EQ(robot::waitForExit(*gridpick), 1);
}
