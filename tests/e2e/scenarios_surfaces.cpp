// The two surface forms of both export dialogs, used as a person uses them: picked with a
// click, the tolerance typed key by key, usable with the surfaces alone while the contour
// fields and the box "Skip cells without data" are greyed for them, and a tolerance of 0 or
// below, or not a number, refused with the dialog left open and no file asked for.
// Then the surfaces written through both dialogs: gridview the LandXML surface of a dragged
// window in NAD83 / Tennessee (ftUS) at 0.3 ft, gridpick the DXF and the LandXML surface of
// a block across the corner of four tiles in the local grid at 0.5 m, each with the count
// message the file bears out, and beside each the Rectangular XYZ points of the same block,
// every cell, and its column count (<name>.columns). e2e_surfaces_readers then holds every
// surface to its points with check-surface.py and reads the drawings with GDAL and ezdxf.
#include <windows.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

constexpr const char* kWriteCaption = "Write Selected NED Points";
constexpr const char* kOutputCaption = "NED GridFloat Points Selected.";
constexpr const char* kBadTolerance = "The tolerance must be a number greater than 0.";
constexpr const char* kTennesseeFeet = "NAD83 / Tennessee (ftUS)  EPSG:2274";
constexpr const char* kLocalGrid = "Local grid (Northing and Easting)";
constexpr const char* kOutsideTennessee =
    "The block lies outside the area of use of NAD83 / Tennessee (ftUS).";

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

// Select/Window and a rectangle dragged from (100, 100) to the given client point; gives
// the dialog.
HWND dragFrom100(robot::Process& gridview, HWND window, int toX, int toY) {
  robot::postCommand(window, 204);
  robot::postMouse(window, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
  robot::postMouse(window, WM_MOUSEMOVE, toX, toY, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, toX, toY, 0);
  return robot::waitForWindow(gridview, kWriteCaption);
}

// gridview on the demo tile: the quadrangle with origin (2706, 2706), and the window from
// row 2817, column 2856 dragged there (to (150, 140): 150 x 90 cells); gives the dialog.
HWND dragAWindow(robot::Context& ctx, robot::Process& gridview, HWND* main, int toX = 150,
                 int toY = 140) {
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
  return dragFrom100(gridview, window, toX, toY);
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

// Checks or clears a box (or picks a radio button) unless it is so already.
bool setChecked(HWND dialog, int id, bool checked) {
  return robot::isChecked(dialog, id) == checked || robot::clickControl(dialog, id, checked);
}

size_t occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

std::string grouped(size_t value) {
  std::string digits = std::to_string(value);
  for (size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return digits;
}

// The message a surface file bears out: its vertices and faces. LandXML numbers its points;
// a drawing's faces repeat their corners, so its points are the distinct corner positions
// (every cell of a block has a place of its own).
std::string surfaceCount(const std::string& path) {
  const std::string text = robot::readFile(path);
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".xml") == 0)
    return grouped(occurrences(text, "<P id=")) + " points and " +
           grouped(occurrences(text, "<F>")) + " faces written.";
  std::vector<std::string> lines;
  for (size_t at = 0, end; at < text.size(); at = end + 2) {
    end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
  }
  std::set<std::pair<std::string, std::string>> corners;
  size_t faces = 0;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    if (lines[i] != "  0" || lines[i + 1] != "3DFACE") continue;
    ++faces;
    std::string x[3];
    for (size_t k = i + 2; k + 1 < lines.size() && lines[k] != "  0"; k += 2) {
      const int code = std::atoi(lines[k].c_str());
      if (code >= 10 && code <= 12) x[code - 10] = lines[k + 1];
      if (code >= 20 && code <= 22) corners.insert({x[code - 20], lines[k + 1]});
    }
  }
  return grouped(corners.size()) + " points and " + grouped(faces) + " faces written.";
}

// The columns of a Rectangular XYZ file, every cell written: X grows along a row and falls
// back west where the next row starts. Gives 0 when the lines do not fill whole rows.
size_t columnsOfPoints(const std::string& path, size_t* count) {
  const std::string text = robot::readFile(path);
  size_t columns = 0;
  *count = 0;
  double previous = 0;
  for (size_t at = 0; at < text.size(); at = text.find("\r\n", at) + 2) {
    const double x = std::strtod(text.c_str() + at, nullptr);
    if (columns == 0 && *count > 0 && x < previous) columns = *count;
    previous = x;
    ++*count;
    if (text.find("\r\n", at) == std::string::npos) return 0;
  }
  if (columns == 0) columns = *count;
  return columns > 0 && *count % columns == 0 ? columns : 0;
}

// OK, the note when one is expected, the name typed into the save dialog, and the message
// that follows the write (pressed away); gives its text.
std::string saveAs(robot::Context& ctx, const robot::Process& process, HWND dialog,
                   const std::string& path, const char* note, const char* caption = "Message") {
  robot::pressButton(dialog, IDOK);
  if (note != nullptr) {
    const robot::MessageBoxSeen seen = robot::waitForMessageBox(process, 10000);
    CHECK_EQ(seen.text, note);
    if (seen.window == nullptr) return "";
    robot::pressButton(seen.window, IDOK);
  }
  if (!robot::confirmFileDialog(robot::typeIntoFileDialog(process, "Save As", path))) return "";
  const robot::MessageBoxSeen box = robot::waitForMessageBox(process, 120000);
  CHECK_EQ(box.caption, caption);
  if (box.window != nullptr) robot::pressButton(box.window, IDOK);
  return box.text;
}

// The points of the block a surface was written from, every cell, and its column count for
// the checker: the file's rows as wide as the dialog said and as many as it said.
void writePointsOfTheBlock(robot::Context& ctx, const robot::Process& process, HWND dialog,
                           const std::string& name, const char* note, const std::string& cols,
                           const std::string& rows) {
  const std::string points = ctx.work(name + "_points.csv");
  const size_t cells =
      std::strtoul(cols.c_str(), nullptr, 10) * std::strtoul(rows.c_str(), nullptr, 10);
  CHECK_EQ(saveAs(ctx, process, dialog, points, note), std::to_string(cells) + " points written.");
  size_t count = 0;
  CHECK_EQ(std::to_string(columnsOfPoints(points, &count)), cols);
  CHECK_EQ(static_cast<long long>(count), static_cast<long long>(cells));
  CHECK(robot::writeFile(ctx.work(name + ".columns"), cols + "\n"));
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

ROBOT_SCENARIO(gridview_writes_the_landxml_surface_of_a_dragged_window_in_state_plane_feet) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = nullptr;
  // From row 2817, column 2856: 100 x 133 pixels of the quadrangle, some 300 cells each way.
  HWND dialog = dragAWindow(ctx, gridview, &window, 200, 233);
  REQUIRE(dialog != nullptr);
  const std::string cols = robot::controlText(dialog, 1001);
  const std::string rows = robot::controlText(dialog, 1002);
  CHECK(robot::pickFromList(dialog, kViewer.coordinates, kTennesseeFeet));
  CHECK(setChecked(dialog, kViewer.feet, true));
  CHECK(robot::clickControl(dialog, kViewer.landXml, true));
  type(ctx, dialog, kViewer.tolerance, "0.3");
  const std::string surface = ctx.work("surface_view.xml");
  // The window's middle lies north of Tennessee's area of use.
  const std::string said = saveAs(ctx, gridview, dialog, surface, kOutsideTennessee);
  CHECK_EQ(said, surfaceCount(surface));
  CHECK(robot::waitForClose(dialog));
  CHECK(!robot::fileExists(surface + ".part"));

  // The same window again: the form and its tolerance kept, the points of every cell.
  dialog = dragFrom100(gridview, window, 200, 233);
  REQUIRE(dialog != nullptr);
  CHECK_EQ(robot::controlText(dialog, 1001), cols);
  CHECK_EQ(robot::controlText(dialog, 1002), rows);
  CHECK(robot::isChecked(dialog, kViewer.landXml));
  CHECK_EQ(robot::controlText(dialog, kViewer.tolerance), "0.3");
  CHECK_EQ(robot::controlText(dialog, kViewer.coordinates), kTennesseeFeet);
  CHECK(robot::clickControl(dialog, 2004, true));  // Rectangular XYZ
  CHECK(setChecked(dialog, kViewer.feet, true));
  CHECK(setChecked(dialog, kViewer.skip, false));
  type(ctx, dialog, 1004, "0");
  writePointsOfTheBlock(ctx, gridview, dialog, "surface_view", kOutsideTennessee, cols, rows);
  CHECK(robot::waitForClose(dialog));
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

namespace {

// gridpick's first dialog answered for the block from the corner typed (1 km each way
// unless km is given), the question of the tiles beside answered Yes where the block runs
// past the tile; gives dialog 102 with the local grid chosen from 200000, 200000 and the
// elevations in metres.
HWND openBlock(robot::Context& ctx, robot::Process& gridpick, const std::string& header,
               const char* latitude, const char* longitude, const char* km, bool acrossTiles) {
  if (!robot::answerFileDialog(gridpick, "Open", header)) return nullptr;
  HWND select = robot::waitForWindow(gridpick, "Terravane.", "#32770");
  if (select == nullptr) return nullptr;
  robot::typeText(select, 1002, latitude);
  robot::typeText(select, 1001, longitude);
  if (km != nullptr) {
    robot::typeText(select, 1003, km);
    robot::typeText(select, 1004, km);
  }
  robot::pressButton(select, IDOK);
  if (acrossTiles) {
    const robot::MessageBoxSeen ask = robot::waitForMessageBox(gridpick);
    if (ask.window == nullptr) return nullptr;
    robot::pressButton(ask.window, IDYES);
  }
  HWND output = robot::waitForWindow(gridpick, kOutputCaption, "#32770", 180000);
  if (output == nullptr) return nullptr;
  CHECK(robot::pickFromList(output, kPicker.coordinates, kLocalGrid));
  robot::setControlText(output, 1009, "200000");
  robot::setControlText(output, 1010, "200000");
  CHECK(setChecked(output, kPicker.feet, false));
  return output;
}

// The block from 36 00 30 N, 84 00 30 W and 2 km each way on the four tiles of the work
// folder: 242 columns and 195 rows across both lines.
HWND openTheCornerBlock(robot::Context& ctx, robot::Process& gridpick) {
  HWND output = openBlock(ctx, gridpick, ctx.work("n37w085.hdr"), "36.0030", "84.0030", "2", true);
  if (output == nullptr) return nullptr;
  CHECK_EQ(robot::controlText(output, 1006), "242");
  CHECK_EQ(robot::controlText(output, 1007), "195");
  return output;
}

}  // namespace

ROBOT_SCENARIO(gridpick_writes_the_dxf_and_landxml_surfaces_of_a_block_across_four_tiles) {
  REQUIRE(robot::placeFourTiles(ctx));
  struct Run {
    const char* file;
    int form;
  };
  const Run runs[] = {{"surface_beside.dxf", kPicker.dxfTin},
                      {"surface_beside.xml", kPicker.landXml}};
  std::string said[2];
  for (int i = 0; i < 2; ++i) {
    robot::Process& gridpick = ctx.launch("gridpick.exe");
    HWND output = openTheCornerBlock(ctx, gridpick);
    REQUIRE(output != nullptr);
    if (i > 0) {  // the form before and its tolerance kept
      CHECK(robot::isChecked(output, runs[0].form));
      CHECK_EQ(robot::controlText(output, kPicker.tolerance), "0.5");
    }
    CHECK(robot::clickControl(output, runs[i].form, true));
    type(ctx, output, kPicker.tolerance, "0.5");
    const std::string surface = ctx.work(runs[i].file);
    said[i] = saveAs(ctx, gridpick, output, surface, nullptr);
    CHECK_EQ(said[i], surfaceCount(surface));
    CHECK_EQ(robot::waitForExit(gridpick), 0);
    CHECK(!robot::fileExists(surface + ".part"));
  }
  CHECK_EQ(said[0], said[1]);  // one surface in both forms

  robot::Process& gridpick = ctx.launch("gridpick.exe");
  HWND output = openTheCornerBlock(ctx, gridpick);
  REQUIRE(output != nullptr);
  CHECK(robot::clickControl(output, 40, true));  // Rectangular XYZ
  CHECK(setChecked(output, kPicker.skip, false));
  type(ctx, output, 1011, "0");
  writePointsOfTheBlock(ctx, gridpick, output, "surface_beside", nullptr,
                        robot::controlText(output, 1006), robot::controlText(output, 1007));
  CHECK_EQ(robot::waitForExit(gridpick), 0);
}

ROBOT_SCENARIO(gridpick_leaves_the_cells_without_data_out_of_the_surface) {
  // The special tile from 36 12 00 N, 84 43 40 W: 98 rows and 121 columns, the north-west
  // 60 x 60 of them in its block without data. The surface holds the cells around it; the
  // points of every cell, -9999 there.
  const std::string tile = ctx.specialDir + "\\n37w085.hdr";
  const std::string surface = ctx.work("surface_hole.xml");
  robot::Process& first = ctx.launch("gridpick.exe");
  HWND output = openBlock(ctx, first, tile, "36.1200", "84.4340", nullptr, false);
  REQUIRE(output != nullptr);
  CHECK(robot::clickControl(output, kPicker.landXml, true));
  type(ctx, output, kPicker.tolerance, "0.2");
  const std::string said = saveAs(ctx, first, output, surface, nullptr);
  CHECK_EQ(said, surfaceCount(surface));
  CHECK_EQ(robot::waitForExit(first), 0);

  robot::Process& second = ctx.launch("gridpick.exe");
  output = openBlock(ctx, second, tile, "36.1200", "84.4340", nullptr, false);
  REQUIRE(output != nullptr);
  CHECK(robot::clickControl(output, 40, true));  // Rectangular XYZ
  CHECK(setChecked(output, kPicker.skip, false));
  writePointsOfTheBlock(ctx, second, output, "surface_hole", nullptr, "121", "98");
  CHECK_EQ(robot::waitForExit(second), 0);

  // 36 14 00 N, 84 46 00 W and 0.5 km each way lies inside that block: nothing is written.
  robot::Process& third = ctx.launch("gridpick.exe");
  output = openBlock(ctx, third, tile, "36.1400", "84.4600", "0.5", false);
  REQUIRE(output != nullptr);
  CHECK(robot::clickControl(output, kPicker.landXml, true));
  const std::string none = ctx.work("surface_none.xml");
  CHECK_EQ(saveAs(ctx, third, output, none, nullptr, "Message."),
           "The block holds no cell with data: there is no surface to write.");
  CHECK_EQ(robot::waitForExit(third), 1);
  CHECK(!robot::fileExists(none));
}
