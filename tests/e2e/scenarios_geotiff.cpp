// A tile as the USGS ships it today, a cloud-optimized GeoTIFF (build/demo/
// USGS_13_n37w085.tif, the demo tile made into one by scripts/make-demo-tiles.sh): gridview
// opens it with its progress window up while it converts, and draws the same picture as
// from the GridFloat pair of the tile; gridpick run from it writes the same bytes as from
// the pair.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

std::string geoTiff(const robot::Context& ctx) {
  return ctx.demoDir + "\\USGS_13_n37w085.tif";
}

// The map once it has stopped changing and shows more than the black it starts from;
// empty after the time-out.
std::vector<COLORREF> settledMap(HWND window, DWORD timeoutMs = 20000) {
  std::vector<COLORREF> last;
  const DWORD begin = GetTickCount();
  do {
    std::vector<COLORREF> now = robot::captureMap(window);
    const bool drawn =
        std::any_of(now.begin(), now.end(), [](COLORREF c) { return c != RGB(0, 0, 0); });
    if (drawn && now == last) return now;
    last = std::move(now);
    Sleep(300);
  } while (GetTickCount() - begin < timeoutMs);
  return {};
}

// Waits for the conversion's progress window; gives its caption, empty when none came.
std::string progressCaption(const robot::Process& process, DWORD timeoutMs = 30000) {
  const DWORD begin = GetTickCount();
  do {
    for (HWND window : robot::topWindows(process.info.dwProcessId))
      if (robot::className(window) == "TerravaneProgress") return robot::windowText(window);
    Sleep(20);
  } while (GetTickCount() - begin < timeoutMs);
  return {};
}

}  // namespace

ROBOT_SCENARIO(gridview_draws_the_geotiff_as_its_gridfloat_pair) {
  REQUIRE(robot::fileExists(geoTiff(ctx)));
  // Converted afresh: no pair of an earlier run beside it.
  DeleteFileA((ctx.demoDir + "\\USGS_13_n37w085.hdr").c_str());
  DeleteFileA((ctx.demoDir + "\\USGS_13_n37w085.flt").c_str());

  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  robot::postCommand(window, 201);
  REQUIRE(robot::answerFileDialog(gridview, "Open", ctx.demoHeader()));
  const std::vector<COLORREF> fromPair = settledMap(window);
  REQUIRE(!fromPair.empty());

  robot::postCommand(window, 201);
  REQUIRE(robot::answerFileDialog(gridview, "Open", geoTiff(ctx)));
  CHECK_EQ(progressCaption(gridview), "Converting GeoTIFF tile");
  if (!ctx.shotDir.empty()) {
    // The README's picture of the window, a little way into the work.
    Sleep(400);
    robot::makeFolders(ctx.shotDir);
    robot::saveScreen(ctx.shotDir + "\\gridview_geotiff_progress.bmp");
  }
  const unsigned long long expected = robot::mapChecksum(fromPair);
  CHECK(robot::waitForMap(window, expected, 90000) == expected);
  CHECK(!robot::anyDialogOpen(gridview));
  CHECK(robot::fileExists(ctx.demoDir + "\\USGS_13_n37w085.hdr"));
  CHECK(robot::fileExists(ctx.demoDir + "\\USGS_13_n37w085.flt"));
  if (!ctx.shotDir.empty()) robot::saveScreen(ctx.shotDir + "\\gridview_geotiff.bmp");

  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

ROBOT_SCENARIO(gridpick_writes_from_the_geotiff_what_it_writes_from_the_pair) {
  REQUIRE(robot::fileExists(geoTiff(ctx)));
  const std::string path = ctx.work("rectangular.csv");
  DeleteFileA(path.c_str());

  robot::Process& gridpick = ctx.launch("gridpick.exe");
  REQUIRE(robot::answerFileDialog(gridpick, "Open", geoTiff(ctx)));
  HWND select = robot::waitForWindow(gridpick, "Terravane.", "#32770", 90000);
  REQUIRE(select != nullptr);
  CHECK_EQ(robot::controlText(select, 1000), "File - N37  W85");
  // The selection of the reference "rectangular" in gridpick_references.txt.
  robot::setControlText(select, 1002, "36.3000");
  robot::setControlText(select, 1001, "84.3000");
  robot::setControlText(select, 1003, "0.5");
  robot::setControlText(select, 1004, "0.5");
  robot::pressButton(select, IDOK);
  HWND output = robot::waitForWindow(gridpick, "NED GridFloat Points Selected.", "#32770");
  REQUIRE(output != nullptr);
  robot::setControlText(output, 1009, "1000.5");
  robot::setControlText(output, 1010, "2000");
  CHECK(robot::clickControl(output, 50, true));
  robot::pressButton(output, IDOK);
  REQUIRE(robot::answerFileDialog(gridpick, "Save As", path));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridpick, 60000);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.text, "2989 points written.");
  robot::pressButton(box.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridpick), 0);

  // The native writer's file from the pair: gridpick gives it byte for byte from the pair
  // (scenarios_gridpick_run.cpp), and so from the GeoTIFF.
  const std::string reference = robot::readFile(ctx.refsDir + "\\rectangular.csv");
  const std::string written = robot::readFile(path);
  CHECK(!reference.empty());
  CHECK_EQ(static_cast<long long>(written.size()), static_cast<long long>(reference.size()));
  CHECK(written == reference);
}
