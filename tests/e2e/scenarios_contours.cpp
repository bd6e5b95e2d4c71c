// The contour drawing written through both programs' dialogs: gridview the dragged window
// in NAD83 / Tennessee (ftUS) at 2 ft, gridpick a block across the corner of four tiles in
// the local grid at 2 m, each byte for byte as the native writer draws the same block
// (tools/write_points ... dxf, whose lines the unit tests hold to gdal_contour's), with the
// count of the lines the file holds. e2e_contours_readers then reads the files written
// here with GDAL's DXF driver and audits them with ezdxf.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/e2e/robot.h"

namespace {

constexpr const char* kLocalGrid = "Local grid (Northing and Easting)";
constexpr const char* kTennesseeFeet = "NAD83 / Tennessee (ftUS)  EPSG:2274";

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

// "<n> contour lines written." with n the polylines of the file.
std::string countOf(const std::string& path) {
  const std::string text = robot::readFile(path);
  size_t lines = 0;
  for (size_t at = text.find("\r\nPOLYLINE\r\n"); at != std::string::npos;
       at = text.find("\r\nPOLYLINE\r\n", at + 1))
    ++lines;
  return std::to_string(lines) + " contour lines written.";
}

void type(robot::Context& ctx, HWND dialog, int id, const char* text) {
  robot::typeText(dialog, id, text);
  CHECK_EQ(robot::controlText(dialog, id), text);
}

// A left press that returns once the program has handled it, redraw included.
void zoom(HWND window, int x, int y) {
  robot::sendMouse(window, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, x, y, 0);
}

}  // namespace

ROBOT_SCENARIO(gridview_draws_the_contours_of_a_dragged_window_in_state_plane_feet) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  robot::postCommand(window, 201);
  REQUIRE(robot::answerFileDialog(gridview, "Open", ctx.demoHeader()));
  // The quadrangle with origin (2706, 2706), and the window of 150 x 90 cells from row
  // 2817, column 2856 dragged there.
  zoom(window, 163, 201);
  zoom(window, 300, 400);
  robot::postCommand(window, 204);
  robot::postMouse(window, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
  robot::postMouse(window, WM_MOUSEMOVE, 150, 140, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, 150, 140, 0);
  HWND dialog = robot::waitForWindow(gridview, "Write Selected NED Points");
  REQUIRE(dialog != nullptr);
  CHECK(robot::pickFromList(dialog, 1012, kTennesseeFeet));
  CHECK(robot::waitForEnabled(dialog, 1008, false));
  CHECK(robot::clickControl(dialog, 2005, true));  // elevations in the system's foot
  CHECK(robot::clickControl(dialog, 2008, true));  // DXF Contours
  CHECK(robot::waitForEnabled(dialog, 2009, true));
  type(ctx, dialog, 2009, "2");
  type(ctx, dialog, 2010, "5");
  const std::string path = ctx.work("contours_view.dxf");
  robot::pressButton(dialog, IDOK);
  // The window's middle lies north of Tennessee's area of use.
  const robot::MessageBoxSeen note = robot::waitForMessageBox(gridview, 10000);
  REQUIRE(note.window != nullptr);
  CHECK_EQ(note.text, "The block lies outside the area of use of NAD83 / Tennessee (ftUS).");
  robot::pressButton(note.window, IDOK);
  REQUIRE(robot::answerFileDialog(gridview, "Save As", path));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridview, 60000);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.caption, "Message");
  CHECK_EQ(box.text, countOf(path));
  robot::pressButton(box.window, IDOK);
  CHECK(robot::waitForClose(dialog));
  CHECK(sameAsReference(ctx, path, "contours_view.dxf"));
  CHECK(!robot::fileExists(path + ".part"));
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

ROBOT_SCENARIO(gridpick_draws_contours_across_the_corner_of_four_tiles) {
  REQUIRE(robot::placeFourTiles(ctx));
  robot::Process& gridpick = ctx.launch("gridpick.exe");
  REQUIRE(robot::answerFileDialog(gridpick, "Open", ctx.work("n37w085.hdr")));
  HWND select = robot::waitForWindow(gridpick, "Terravane.", "#32770");
  REQUIRE(select != nullptr);
  // 36 00 30 N, 84 00 30 W and 2 km each way: 195 rows and 242 columns across both lines.
  robot::typeText(select, 1002, "36.0030");
  robot::typeText(select, 1001, "84.0030");
  robot::typeText(select, 1003, "2");
  robot::typeText(select, 1004, "2");
  robot::pressButton(select, IDOK);
  CHECK(robot::waitForClose(select));
  const robot::MessageBoxSeen ask = robot::waitForMessageBox(gridpick);
  REQUIRE(ask.window != nullptr);
  robot::pressButton(ask.window, IDYES);
  HWND output = robot::waitForWindow(gridpick, "NED GridFloat Points Selected.", "#32770", 180000);
  REQUIRE(output != nullptr);
  CHECK_EQ(robot::controlText(output, 1006), "242");
  CHECK_EQ(robot::controlText(output, 1007), "195");
  CHECK(robot::pickFromList(output, 1012, kLocalGrid));
  robot::setControlText(output, 1009, "200000");
  robot::setControlText(output, 1010, "200000");
  CHECK(robot::clickControl(output, 70, true));  // DXF Contours
  CHECK(robot::waitForEnabled(output, 1013, true));
  type(ctx, output, 1013, "2");
  type(ctx, output, 1014, "5");
  const std::string path = ctx.work("contours_beside.dxf");
  robot::pressButton(output, IDOK);
  REQUIRE(robot::answerFileDialog(gridpick, "Save As", path));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridpick, 60000);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.caption, "Message");
  CHECK_EQ(box.text, countOf(path));
  robot::pressButton(box.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridpick), 0);
  CHECK(sameAsReference(ctx, path, "contours_beside.dxf"));
}
