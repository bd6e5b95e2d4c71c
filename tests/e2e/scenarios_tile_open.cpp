// Opening a tile in both programs: the file dialog, the messages and the exit codes.
#include "tests/e2e/robot.h"

namespace {

const char kRasterText[] =
    "Can't Open Gridfloat file.\nMake sure *.hdr and *.flt\nfiles have the same name.";

const char kShortHeader[] =
    "ncols         10812\r\nnrows         10812\r\nxllcorner     -85.00055555556\r\n"
    "yllcorner     35.99944444444\r\ncellsize      0.00009259259259\r\n"
    "NODATA_value  -9999\r\nbyteorder     LSBFIRST\r\n";

}  // namespace

ROBOT_SCENARIO(gridpick_cancelled_at_the_file_dialog_ends_with_0) {
  robot::Process& gridpick = ctx.launch("gridpick.exe");
  REQUIRE(gridpick.started);
  REQUIRE(robot::cancelFileDialog(gridpick, "Open"));
  CHECK_EQ(robot::waitForExit(gridpick), 0);
  CHECK(!robot::anyDialogOpen(gridpick));
}

ROBOT_SCENARIO(gridpick_header_without_raster_ends_with_1) {
  REQUIRE(robot::writeFile(ctx.work("lonely.hdr"), kShortHeader));
  robot::Process& gridpick = ctx.launch("gridpick.exe");
  REQUIRE(robot::answerFileDialog(gridpick, "Open", ctx.work("lonely.hdr")));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridpick);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.text, kRasterText);
  CHECK_EQ(box.caption, "Message.");
  robot::pressButton(box.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridpick), 1);
}

ROBOT_SCENARIO(gridpick_rejects_a_header_that_is_not_a_whole_tile) {
  REQUIRE(robot::writeFile(ctx.work("small.hdr"),
                           "ncols         1201\r\nnrows         1201\r\nxllcorner -85\r\n"
                           "yllcorner 36\r\n"));
  REQUIRE(robot::writeFile(ctx.work("small.flt"), std::string(16, '\0')));
  robot::Process& gridpick = ctx.launch("gridpick.exe");
  REQUIRE(robot::answerFileDialog(gridpick, "Open", ctx.work("small.hdr")));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridpick);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.text,
           "This program only works on 1/3 arc second\nGridfloat files with 10812 cols and rows.");
  CHECK_EQ(box.caption, "Message.");
  robot::pressButton(box.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridpick), 0);
}

ROBOT_SCENARIO(gridview_opens_a_tile_and_exits_with_0) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  CHECK_EQ(robot::windowText(window), "Terravane  (www.example.com/terravane)");
  RECT outer;
  GetWindowRect(window, &outer);
  CHECK_EQ(outer.right - outer.left, 560);
  CHECK_EQ(outer.bottom - outer.top, 760);
  // The client area starts black.
  CHECK_EQ(robot::clientPixel(window, 300, 300), RGB(0, 0, 0));
  robot::postCommand(window, 201);
  REQUIRE(robot::answerFileDialog(gridview, "Open", ctx.demoHeader()));
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

ROBOT_SCENARIO(gridview_closed_by_its_close_box_ends_with_0) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  PostMessageA(window, WM_CLOSE, 0, 0);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

ROBOT_SCENARIO(gridview_reports_a_header_it_cannot_open) {
  REQUIRE(robot::writeFile(ctx.work("locked.hdr"), kShortHeader));
  REQUIRE(robot::writeFile(ctx.work("locked.flt"), std::string(16, '\0')));
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  robot::postCommand(window, 201);
  // Held open without sharing, the header exists but cannot be read.
  HANDLE lock = CreateFileA(ctx.work("locked.hdr").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  REQUIRE(lock != INVALID_HANDLE_VALUE);
  const bool answered = robot::answerFileDialog(gridview, "Open", ctx.work("locked.hdr"));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridview);
  CloseHandle(lock);
  REQUIRE(answered);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.text, "Can't open file.");
  CHECK_EQ(box.caption, "Message");
  robot::pressButton(box.window, IDOK);
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}
