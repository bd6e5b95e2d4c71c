// A gridview session as a user has it: zooming by clicks through the five levels, panning,
// stepping back, then selecting windows of the quadrangle and writing them in every form
// through the export dialog. Each drawing must show the native renderer's picture of the
// same view (tools/render_views, gridview_views.txt), each file the native writer's bytes
// for the same selection (tools/write_points, gridview_references.txt).
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

constexpr const char* kWriteCaption = "Write Selected NED Points";

// The native pictures: view name to checksum.
std::map<std::string, unsigned long long> nativeViews(const robot::Context& ctx) {
  std::map<std::string, unsigned long long> views;
  std::ifstream file(ctx.refsDir + "\\gridview_views.txt");
  std::string name, sum;
  while (file >> name >> sum) views[name] = std::stoull(sum, nullptr, 16);
  return views;
}

// Waits until the map area shows the named view.
bool shows(robot::Context& ctx, HWND window, const std::string& view) {
  static std::map<std::string, unsigned long long> views;
  if (views.empty()) views = nativeViews(ctx);
  const auto found = views.find(view);
  if (found == views.end()) {
    std::printf("no native picture of %s\n", view.c_str());
    return false;
  }
  const unsigned long long seen = robot::waitForMap(window, found->second);
  if (seen != found->second) std::printf("%s: map checksum %016llx\n", view.c_str(), seen);
  return seen == found->second;
}

// A left press that waits for the drawing it starts; gives how long that took.
double zoom(HWND window, int x, int y, WPARAM keys = 0) {
  const double ms = robot::sendMouse(window, WM_LBUTTONDOWN, x, y, keys | MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, x, y, keys);
  return ms;
}

double back(HWND window) {
  return robot::sendMouse(window, WM_RBUTTONDOWN, 275, 350, MK_RBUTTON);
}

HWND startOnTheDemoTile(robot::Context& ctx, robot::Process& gridview, bool colour) {
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  if (window == nullptr) return nullptr;
  if (colour) robot::postCommand(window, 205);
  robot::postCommand(window, 201);
  if (!robot::answerFileDialog(gridview, "Open", ctx.demoHeader())) return nullptr;
  return window;
}

// The demo tile in greyscale, zoomed to its quadrangle with origin (2706, 2706), where the
// selections of these scenarios are made; null when any step of the way fails.
HWND startAtTheQuadrangle(robot::Context& ctx, robot::Process& gridview) {
  HWND window = startOnTheDemoTile(ctx, gridview, false);
  if (window == nullptr || !shows(ctx, window, "grey_1")) return nullptr;
  zoom(window, 163, 201);
  if (!shows(ctx, window, "grey_2")) return nullptr;
  zoom(window, 300, 400);
  return shows(ctx, window, "grey_3") ? window : nullptr;
}

bool sameFile(robot::Context& ctx, const std::string& written, const std::string& reference) {
  const std::string ours = robot::readFile(written);
  const std::string theirs = robot::readFile(ctx.refsDir + "\\" + reference);
  if (ours.empty() || ours != theirs) {
    std::printf("%s: %zu bytes, reference %s: %zu bytes\n", written.c_str(), ours.size(),
                reference.c_str(), theirs.size());
    return false;
  }
  return true;
}

// Types a text into a field of the export dialog, key by key, and checks that the field
// took all of it.
void type(robot::Context& ctx, HWND dialog, int id, const char* text) {
  robot::typeText(dialog, id, text);
  CHECK_EQ(robot::controlText(dialog, id), text);
}

// The owner of a top-level window, or null.
HWND ownerOf(HWND window) {
  return GetWindow(window, GW_OWNER);
}

}  // namespace

ROBOT_SCENARIO(gridview_zooms_pans_and_steps_back_drawing_the_native_pictures) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = startOnTheDemoTile(ctx, gridview, true);
  REQUIRE(window != nullptr);
  REQUIRE(shows(ctx, window, "colour_1"));

  // Presses that hit nothing at the whole degree: between the boxes, a right press.
  zoom(window, 170, 200);
  back(window);
  CHECK(shows(ctx, window, "colour_1"));

  double zoomMs[6] = {};
  double backMs[6] = {};
  zoomMs[2] = zoom(window, 276, 351);  // the middle box: the 30' window
  CHECK(shows(ctx, window, "colour_2"));
  zoomMs[3] = zoom(window, 300, 220);  // its quadrangle 2 across, 1 down
  CHECK(shows(ctx, window, "colour_3"));
  zoomMs[4] = zoom(window, 200, 400);
  CHECK(shows(ctx, window, "colour_4"));
  zoomMs[5] = zoom(window, 100, 600);
  CHECK(shows(ctx, window, "colour_5"));
  if (!ctx.shotDir.empty()) {
    robot::makeFolders(ctx.shotDir);
    robot::saveScreen(ctx.shotDir + "\\gridview_level5_colour.bmp");
  }
  zoom(window, 400, 150);  // pan at the finest level
  CHECK(shows(ctx, window, "colour_5_pan"));
  backMs[4] = back(window);  // the 5' window as it was last drawn
  CHECK(shows(ctx, window, "colour_4"));
  zoom(window, 450, 550, MK_CONTROL);  // Ctrl pans at level 4
  CHECK(shows(ctx, window, "colour_4_pan"));
  backMs[3] = back(window);
  CHECK(shows(ctx, window, "colour_3"));
  backMs[2] = back(window);
  CHECK(shows(ctx, window, "colour_2"));
  backMs[1] = back(window);
  CHECK(shows(ctx, window, "colour_1"));

  // Down again; a light chosen now changes nothing until the next drawing.
  zoom(window, 276, 351);
  zoom(window, 300, 220);
  zoom(window, 200, 400);
  zoom(window, 100, 600);
  zoom(window, 400, 150);
  REQUIRE(shows(ctx, window, "colour_5_pan"));
  robot::postCommand(window, 210);
  Sleep(300);
  CHECK(shows(ctx, window, "colour_5_pan"));
  backMs[5] = zoom(window, 275, 350);  // the centre redraws the same window
  CHECK(shows(ctx, window, "colour_5_south_east"));

  // How long a click takes to the finished picture: the sent press returns when the
  // program has handled it. The whole degree is reached by the back step only.
  std::printf("click to finished picture under Wine, ms:\n");
  std::printf("  level 1: back %.1f\n", backMs[1]);
  for (int level = 2; level <= 5; ++level) {
    std::printf("  level %d: zoom into it %.1f, %s %.1f\n", level, zoomMs[level],
                level == 5 ? "centre redraw" : "back", backMs[level]);
  }
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

namespace {

struct Drag {
  const char* name;  // the reference file
  int pressX, pressY;
  int moveX, moveY;
  int releaseX, releaseY;
  const char* cols;
  const char* rows;
  int form;  // radio button id
  const char* easting;
  const char* northing;
  const char* removeCount;
  bool feet;
  const char* points;  // the count message
};

// Select/Window, then the rectangle dragged with the left button, as the mouse sends it.
void dragRectangle(HWND window, const Drag& drag) {
  robot::postCommand(window, 204);
  robot::postMouse(window, WM_LBUTTONDOWN, drag.pressX, drag.pressY, MK_LBUTTON);
  robot::postMouse(window, WM_MOUSEMOVE, drag.moveX, drag.moveY, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, drag.releaseX, drag.releaseY, 0);
}

}  // namespace

ROBOT_SCENARIO(gridview_writes_dragged_windows_in_every_form_as_the_native_writer) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = startAtTheQuadrangle(ctx, gridview);
  REQUIRE(window != nullptr);

  // While a rectangle is dragged its outline inverts the pixels it covers.
  const COLORREF before = robot::clientPixel(window, 125, 100);
  robot::postCommand(window, 204);
  robot::postMouse(window, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
  robot::postMouse(window, WM_MOUSEMOVE, 150, 140, MK_LBUTTON);
  Sleep(500);
  CHECK_EQ(robot::clientPixel(window, 125, 100), (~before) & 0xFFFFFFu);
  robot::postMouse(window, WM_LBUTTONUP, 150, 140, 0);

  const Drag drags[] = {
      {"rect_view.csv", 100, 100, 150, 140, 150, 140, "150", "90", 2004, "200000", "200000", "0",
       false, "13500 points written."},
      // Back across the anchor; thinned, in feet, from typed start coordinates.
      {"north_view.csv", 250, 300, 180, 220, 200, 240, "150", "135", 2001, "1000.5", "-250", "1",
       true, "5100 points written."},
      // Started outside the map: it starts from the nearest point of the map.
      {"csv_view.csv", 20, 30, 80, 90, 80, 90, "90", "90", 2002, "200000", "200000", "2", false,
       "900 points written."},
      // Released outside the map: it ends at the map's edge.
      {"binary_view.flt", 460, 600, 600, 700, 600, 700, "120", "111", 2003, "200000", "200000", "0",
       false, "13320 points written."},
      // Coordinates of the longest text each field takes, every thirteenth row and column.
      {"long_view.csv", 100, 100, 150, 140, 150, 140, "150", "90", 2004, "-1234567.89",
       "12345678901", "12", false, "84 points written."},
  };
  bool first = true;
  for (const Drag& drag : drags) {
    if (!first) dragRectangle(window, drag);
    HWND dialog = robot::waitForWindow(gridview, kWriteCaption);
    REQUIRE(dialog != nullptr);
    CHECK_EQ(robot::controlText(dialog, 1000), "----> File: N37-W85 <----");
    CHECK_EQ(robot::controlText(dialog, 1001), drag.cols);
    CHECK_EQ(robot::controlText(dialog, 1002), drag.rows);
    if (first) {
      // Row 2817 and column 2856: 7989 and 7950 cells from the south and east edges.
      CHECK_EQ(robot::controlText(dialog, 1009), "36.4423");
      CHECK_EQ(robot::controlText(dialog, 1010), "-84.4410");
    }
    if (drag.form != 2004) CHECK(robot::clickControl(dialog, drag.form, true));
    if (drag.feet) CHECK(robot::clickControl(dialog, 2005, true));
    type(ctx, dialog, 1007, drag.easting);
    type(ctx, dialog, 1008, drag.northing);
    type(ctx, dialog, 1004, drag.removeCount);
    robot::pressButton(dialog, IDOK);
    const std::string output = ctx.work(drag.name);
    REQUIRE(robot::answerFileDialog(gridview, "Save As", output));
    const robot::MessageBoxSeen count = robot::waitForMessageBox(gridview);
    CHECK_EQ(count.text, drag.points);
    CHECK_EQ(count.caption, "Message");
    if (count.window != nullptr) robot::pressButton(count.window, IDOK);
    CHECK(robot::waitForClose(dialog));
    CHECK(sameFile(ctx, output, drag.name));
    if (drag.form == 2003) CHECK(sameFile(ctx, ctx.work("binary_view.hdr"), "binary_view.hdr"));
    first = false;
  }
  // The map stays black after a write.
  CHECK_EQ(robot::clientPixel(window, 60, 640), RGB(0, 0, 0));
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

ROBOT_SCENARIO(gridview_export_dialog_estimates_refuses_and_cancels) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = startAtTheQuadrangle(ctx, gridview);
  REQUIRE(window != nullptr);

  robot::postCommand(window, 203);  // Select/All: the whole quadrangle
  HWND dialog = robot::waitForWindow(gridview, kWriteCaption);
  REQUIRE(dialog != nullptr);
  CHECK_EQ(robot::controlText(dialog, 1001), "1350");
  CHECK_EQ(robot::controlText(dialog, 1002), "1350");
  CHECK_EQ(robot::controlText(dialog, 1003), "1822500");
  CHECK_EQ(robot::controlText(dialog, 1009), "36.4500");  // 8100 rows above the south edge
  CHECK_EQ(robot::controlText(dialog, 1010), "-84.4500");
  CHECK(robot::isChecked(dialog, 2004));
  CHECK_EQ(robot::clientPixel(window, 60, 640), RGB(0, 0, 0));  // the map was cleared

  // Typing is held to what is read back.
  const int limits[][2] = {{1001, 5}, {1002, 5}, {1004, 2}, {1007, 11}, {1008, 11}};
  for (const auto& limit : limits) {
    CHECK_EQ(SendMessageA(GetDlgItem(dialog, limit[0]), EM_GETLIMITTEXT, 0, 0), limit[1]);
  }

  // Estimates: more columns than were selected go back to the selection; 34 bytes a point.
  type(ctx, dialog, 1008, "200000");
  type(ctx, dialog, 1001, "99999");
  robot::pressButton(dialog, 2006);
  Sleep(500);
  CHECK_EQ(robot::controlText(dialog, 1001), "1350");
  CHECK_EQ(robot::controlText(dialog, 1005), "");
  CHECK_EQ(robot::controlText(dialog, 1006), "59.09 mb");  // 1822500 x 34 bytes

  // The CSV grid's estimate shows N/A for the coordinates; an XYZ write then refuses them,
  // in a box the dialog owns.
  CHECK(robot::clickControl(dialog, 2002, true));
  robot::pressButton(dialog, 2006);
  Sleep(500);
  CHECK_EQ(robot::controlText(dialog, 1007), "N/A");
  CHECK_EQ(robot::controlText(dialog, 1008), "N/A");
  CHECK_EQ(robot::controlText(dialog, 1006), "13.90 mb");  // 1822500 x 8 bytes
  CHECK(robot::clickControl(dialog, 2004, true));
  robot::pressButton(dialog, IDOK);
  robot::MessageBoxSeen refused = robot::waitForMessageBox(gridview);
  CHECK_EQ(refused.text, "Non Numerical Northing.");
  CHECK_EQ(refused.caption, "Notice");
  CHECK(refused.window != nullptr && ownerOf(refused.window) == dialog);
  if (refused.window != nullptr) robot::pressButton(refused.window, IDOK);
  CHECK(robot::waitForClose(refused.window));
  CHECK(IsWindow(dialog));

  // Notes can be read meanwhile; File/Open must wait until the dialog is closed.
  robot::postCommand(window, 211);
  HWND notes = robot::waitForWindow(gridview, " In Case You Were Wondering");
  CHECK(notes != nullptr);
  if (notes != nullptr && !ctx.shotDir.empty()) {
    Sleep(300);
    robot::saveScreen(ctx.shotDir + "\\gridview_notes.bmp");
  }
  if (notes != nullptr) {
    robot::pressButton(notes, IDOK);
    CHECK(robot::waitForClose(notes));
  }
  robot::postCommand(window, 201);
  robot::postCommand(window, 203);
  Sleep(800);
  CHECK(robot::waitForWindow(gridview, "Open", "#32770", 300) == nullptr);
  int dialogs = 0;
  for (HWND top : robot::topWindows(gridview.info.dwProcessId)) {
    dialogs += IsWindowVisible(top) && robot::windowText(top) == kWriteCaption;
  }
  CHECK_EQ(dialogs, 1);

  // The whole quadrangle, every fifth row and column.
  type(ctx, dialog, 1007, "200000");
  type(ctx, dialog, 1008, "200000");
  type(ctx, dialog, 1004, "4");
  robot::pressButton(dialog, IDOK);
  REQUIRE(robot::answerFileDialog(gridview, "Save As", ctx.work("all_view.csv")));
  robot::MessageBoxSeen count = robot::waitForMessageBox(gridview);
  CHECK_EQ(count.text, "72900 points written.");
  if (count.window != nullptr) robot::pressButton(count.window, IDOK);
  CHECK(sameFile(ctx, ctx.work("all_view.csv"), "all_view.csv"));

  // Cancel tells how to get the map back, in a box of its own; a centre press zooms.
  robot::postCommand(window, 203);
  dialog = robot::waitForWindow(gridview, kWriteCaption);
  REQUIRE(dialog != nullptr);
  if (!ctx.shotDir.empty()) robot::saveScreen(ctx.shotDir + "\\gridview_dialog_102.bmp");
  robot::pressButton(dialog, IDCANCEL);
  robot::MessageBoxSeen cancelled = robot::waitForMessageBox(gridview);
  CHECK_EQ(cancelled.text, "Click Center to Redraw.");
  CHECK_EQ(cancelled.caption, "Message");
  CHECK(cancelled.window != nullptr && ownerOf(cancelled.window) == nullptr);
  if (cancelled.window != nullptr) robot::pressButton(cancelled.window, IDOK);
  CHECK(robot::waitForClose(dialog));
  CHECK(!robot::fileExists(ctx.work("cancelled.csv")));
  zoom(window, 275, 350);
  CHECK(shows(ctx, window, "grey_4_centre"));

  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

namespace {

// Sets a file's length, as a sparse file of zeros where it grows.
bool setFileLength(const std::string& path, long long bytes, bool create) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER length;
  length.QuadPart = bytes;
  const bool set = SetFilePointerEx(file, length, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  return CloseHandle(file) && set;
}

}  // namespace

// A raster that ends inside the selection: "End of File.", then the program ends with 0;
// the rows written before stay. The map is drawn from a whole tile of zeros, then the
// raster is cut short under the quadrangle.
ROBOT_SCENARIO(gridview_ends_with_0_when_the_raster_ends_during_a_write) {
  constexpr long long kRowBytes = 10812 * 4;
  const std::string header = ctx.work("cut.hdr");
  const std::string raster = ctx.work("cut.flt");
  REQUIRE(robot::writeFile(header, robot::readFile(ctx.demoHeader())));
  REQUIRE(setFileLength(raster, 10812 * kRowBytes, true));

  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  robot::postCommand(window, 201);
  REQUIRE(robot::answerFileDialog(gridview, "Open", header));
  zoom(window, 163, 201);
  zoom(window, 300, 400);
  CHECK(!robot::anyDialogOpen(gridview));
  robot::postCommand(window, 203);
  HWND dialog = robot::waitForWindow(gridview, kWriteCaption);
  REQUIRE(dialog != nullptr);
  CHECK_EQ(robot::controlText(dialog, 1009), "36.4500");  // the quadrangle from row 2706
  REQUIRE(setFileLength(raster, 2800 * kRowBytes, false));
  type(ctx, dialog, 1001, "3");
  robot::pressButton(dialog, IDOK);
  REQUIRE(robot::answerFileDialog(gridview, "Save As", ctx.work("cut.csv")));
  const robot::MessageBoxSeen end = robot::waitForMessageBox(gridview);
  CHECK_EQ(end.text, "End of File.");
  CHECK_EQ(end.caption, "Message.");
  REQUIRE(end.window != nullptr);
  robot::pressButton(end.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridview), 0);
  // Rows 2706 to 2799, three points each.
  const std::string written = robot::readFile(ctx.work("cut.csv"));
  long long lines = 0;
  for (char c : written) lines += c == '\n';
  CHECK_EQ(lines, 94 * 3);
}
