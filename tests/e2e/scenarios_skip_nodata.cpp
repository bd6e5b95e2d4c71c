// "Skip cells without data" in both export dialogs, used as a person uses it, on the
// special demo tile, whose block of no-data cells lies at rows 8106 to 8705 and columns
// 2406 to 3005: greyed for the grid forms, the file without the -9999 lines, the estimate
// counting what is written, and the box as it was left at the next start of either
// program. The files are compared with the native writer's of the same selection with
// every cell (special_references.txt), less its lines of no data.
#include <cstdio>
#include <string>

#include "tests/e2e/robot.h"

namespace {

constexpr const char* kWriteCaption = "Write Selected NED Points";
constexpr const char* kOutputCaption = "NED GridFloat Points Selected.";
constexpr int kViewerSkipBox = 2007;
constexpr int kPickSkipBox = 60;
constexpr int kWindowPress[] = {163, 501};
constexpr int kQuadranglePress[] = {300, 400};

// A reference without its lines whose Z is the no-data value, in metres or in feet.
std::string withoutNoData(const std::string& text) {
  std::string kept;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(begin, end - begin);
    const bool noData = line.find(", -9999.000\r") != std::string::npos ||
                        line.find(", -32805.121\r") != std::string::npos;
    if (!noData) kept += line;
    begin = end;
  }
  return kept;
}

long long lineCount(const std::string& text) {
  long long lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

bool sameAsFilteredReference(const std::string& written, const std::string& reference) {
  const std::string ours = robot::readFile(written);
  const std::string full = robot::readFile(reference);
  const std::string theirs = withoutNoData(full);
  if (ours.empty() || theirs.size() == full.size() || ours != theirs) {
    std::printf("%s: %lld lines, reference %lld lines of %lld\n", written.c_str(), lineCount(ours),
                lineCount(theirs), lineCount(full));
    return false;
  }
  return true;
}

// Presses OK in the next message box of the process; gives its text.
std::string dismissBox(const robot::Process& process) {
  const robot::MessageBoxSeen box = robot::waitForMessageBox(process);
  if (box.window != nullptr) robot::pressButton(box.window, IDOK);
  robot::waitForClose(box.window);
  return box.text;
}

void type(robot::Context& ctx, HWND dialog, int id, const char* text) {
  robot::typeText(dialog, id, text);
  CHECK_EQ(robot::controlText(dialog, id), text);
}

// gridview on the special tile, at the quadrangle from row 8106 and column 2706, whose
// west part lies in the no-data block; the whole degree tells of the block first.
HWND viewerAtTheNoDataQuadrangle(robot::Context& ctx, robot::Process& gridview) {
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  if (window == nullptr) return nullptr;
  robot::postCommand(window, 201);
  if (!robot::answerFileDialog(gridview, "Open", ctx.specialDir + "\\n37w085.hdr")) return nullptr;
  const std::string legend = dismissBox(gridview);
  if (legend != "Elev's below 0 --> Magenta.\n       NULL data --> Red.") {
    std::printf("the whole degree told: %s\n", legend.c_str());
    return nullptr;
  }
  // The 30' window of rows 5406 to 8105, then its quadrangle 2 across, 2 down: the block's
  // last 300 columns along its west edge, drawn red.
  for (const int* press : {kWindowPress, kQuadranglePress}) {
    robot::sendMouse(window, WM_LBUTTONDOWN, press[0], press[1], MK_LBUTTON);
    robot::postMouse(window, WM_LBUTTONUP, press[0], press[1], 0);
  }
  for (int i = 0; i < 100 && robot::clientPixel(window, 60, 100) != RGB(255, 0, 0); ++i) Sleep(100);
  if (robot::clientPixel(window, 60, 100) != RGB(255, 0, 0) ||
      robot::clientPixel(window, 60, 400) == RGB(255, 0, 0))
    return nullptr;
  return window;
}

}  // namespace

ROBOT_SCENARIO(gridview_skips_cells_without_data_and_keeps_the_choice) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = viewerAtTheNoDataQuadrangle(ctx, gridview);
  REQUIRE(window != nullptr);

  // Rows 8646 to 8735 and columns 2946 to 3065: the no-data block's south-east corner, its
  // 60 x 60 cells in the 90 x 120 of the window.
  robot::postCommand(window, 204);
  robot::postMouse(window, WM_LBUTTONDOWN, 130, 290, MK_LBUTTON);
  robot::postMouse(window, WM_MOUSEMOVE, 170, 330, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, 170, 330, 0);
  HWND dialog = robot::waitForWindow(gridview, kWriteCaption);
  REQUIRE(dialog != nullptr);
  CHECK_EQ(robot::controlText(dialog, 1001), "120");
  CHECK_EQ(robot::controlText(dialog, 1002), "90");
  CHECK(!robot::isChecked(dialog, kViewerSkipBox));  // off by default
  CHECK(robot::waitForEnabled(dialog, kViewerSkipBox, true));

  // Greyed for the grids, usable again for an XYZ form.
  const int forms[][2] = {{2002, 0}, {2001, 1}, {2003, 0}, {2004, 1}, {2001, 1}};
  for (const auto& form : forms) {
    CHECK(robot::clickControl(dialog, form[0], true));
    CHECK(robot::waitForEnabled(dialog, kViewerSkipBox, form[1] != 0));
  }
  CHECK(robot::clickControl(dialog, kViewerSkipBox, true));
  if (!ctx.shotDir.empty()) {
    robot::makeFolders(ctx.shotDir);
    robot::saveScreen(ctx.shotDir + "\\gridview_skip_nodata.bmp");
  }

  // The estimate counts the points written: 10800 cells, 3600 of them without data.
  robot::pressButton(dialog, 2006);
  Sleep(800);
  CHECK_EQ(robot::controlText(dialog, 1005), "7200");
  CHECK_EQ(robot::controlText(dialog, 1006), ".2335 mb");  // 34 bytes a point

  robot::pressButton(dialog, IDOK);
  REQUIRE(robot::answerFileDialog(gridview, "Save As", ctx.work("skip_view.csv")));
  CHECK_EQ(dismissBox(gridview), "7200 points written.");
  CHECK(robot::waitForClose(dialog));
  CHECK(sameAsFilteredReference(ctx.work("skip_view.csv"), ctx.refsDir + "\\skip_view.csv"));
  CHECK_EQ(robot::keptSetting("SkipCellsWithoutData"), "1");
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);

  // The next start opens the dialog with the box as it was left; gridpick's too.
  robot::Process& again = ctx.launch("gridview.exe");
  window = viewerAtTheNoDataQuadrangle(ctx, again);
  REQUIRE(window != nullptr);
  robot::postCommand(window, 203);
  dialog = robot::waitForWindow(again, kWriteCaption);
  REQUIRE(dialog != nullptr);
  CHECK(robot::isChecked(dialog, kViewerSkipBox));
  robot::pressButton(dialog, IDCANCEL);
  CHECK_EQ(dismissBox(again), "Click Center to Redraw.");
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(again), 0);
}

ROBOT_SCENARIO(gridpick_skips_cells_without_data_and_keeps_the_choice) {
  // 36 12 00 N, 84 43 40 W, 1 km each way: rows 8646 to 8743, columns 2946 to 3066, in
  // feet; 3600 of the 11858 cells without data.
  const std::string path = ctx.work("skip_pick.csv");
  robot::Process& gridpick = ctx.launch("gridpick.exe");
  REQUIRE(robot::answerFileDialog(gridpick, "Open", ctx.specialDir + "\\n37w085.hdr"));
  HWND select = robot::waitForWindow(gridpick, "Terravane.", "#32770");
  REQUIRE(select != nullptr);
  type(ctx, select, 1002, "36.1200");
  type(ctx, select, 1001, "84.4340");
  robot::pressButton(select, IDOK);
  HWND output = robot::waitForWindow(gridpick, kOutputCaption, "#32770");
  REQUIRE(output != nullptr);
  CHECK_EQ(robot::controlText(output, 1008), "11858");
  CHECK(!robot::isChecked(output, kPickSkipBox));
  CHECK(robot::waitForEnabled(output, kPickSkipBox, true));
  CHECK(robot::clickControl(output, 30, true));
  CHECK(robot::waitForEnabled(output, kPickSkipBox, false));
  CHECK(robot::clickControl(output, 20, true));
  CHECK(robot::waitForEnabled(output, kPickSkipBox, true));
  CHECK(robot::clickControl(output, 40, true));
  CHECK(robot::clickControl(output, kPickSkipBox, true));
  CHECK(robot::clickControl(output, 50, true));
  if (!ctx.shotDir.empty()) {
    robot::makeFolders(ctx.shotDir);
    robot::saveScreen(ctx.shotDir + "\\gridpick_skip_nodata.bmp");
  }
  robot::pressButton(output, IDOK);
  REQUIRE(robot::answerFileDialog(gridpick, "Save As", path));
  const robot::MessageBoxSeen count = robot::waitForMessageBox(gridpick, 60000);
  REQUIRE(count.window != nullptr);
  CHECK_EQ(count.text, "8258 points written.");
  robot::pressButton(count.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridpick), 0);
  CHECK(sameAsFilteredReference(path, ctx.refsDir + "\\skip_pick.csv"));
  CHECK_EQ(robot::keptSetting("SkipCellsWithoutData"), "1");

  // The next run's dialog 102 opens with the box checked; unchecked and OK, it is kept so.
  robot::Process& again = ctx.launch("gridpick.exe");
  REQUIRE(robot::answerFileDialog(again, "Open", ctx.specialDir + "\\n37w085.hdr"));
  select = robot::waitForWindow(again, "Terravane.", "#32770");
  REQUIRE(select != nullptr);
  type(ctx, select, 1002, "36.1200");
  type(ctx, select, 1001, "84.4340");
  robot::pressButton(select, IDOK);
  output = robot::waitForWindow(again, kOutputCaption, "#32770");
  REQUIRE(output != nullptr);
  CHECK(robot::isChecked(output, kPickSkipBox));
  CHECK(robot::clickControl(output, kPickSkipBox, false));
  robot::pressButton(output, IDOK);
  CHECK(robot::cancelFileDialog(again, "Save As"));
  CHECK_EQ(robot::waitForExit(again), 1);
  CHECK_EQ(robot::keptSetting("SkipCellsWithoutData"), "0");
}
