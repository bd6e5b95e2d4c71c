// gridpick on a block across the corner of four tiles (the demo tile n37w085 and the three
// beside it, east, south and south-east), from a folder of the scenario's own: the
// neighbours are found by their headers under names that do not tell their place, and the
// south-east one only as a GeoTIFF, converted with the progress window up. Answered Yes,
// the whole block is written, byte for byte as the native writer writes it over the same
// four tiles; with the south tile missing, a message names the file to fetch and the
// block is cut at the tile's edges.
#include <string>

#include "tests/e2e/robot.h"

namespace {

// The demo tile's files and their names in the scenario's folder.
struct Placed {
  const char* demoName;
  const char* name;
};
constexpr Placed kOpened[] = {{"n37w085.hdr", "n37w085.hdr"}, {"n37w085.flt", "n37w085.flt"}};
constexpr Placed kEast[] = {{"n37w084.hdr", "east tile.hdr"}, {"n37w084.flt", "east tile.flt"}};
constexpr Placed kSouth[] = {{"n36w085.hdr", "south tile.hdr"}, {"n36w085.flt", "south tile.flt"}};
constexpr Placed kSouthEast[] = {{"USGS_13_n36w084.tif", "USGS_13_n36w084.tif"}};

// Puts a demo file into the work folder under a name: a hard link where the file system
// allows one (a raster is 467 MB), else a copy.
template <size_t n>
bool place(robot::Context& ctx, const Placed (&files)[n]) {
  for (const Placed& file : files) {
    const std::string from = ctx.demoDir + "\\" + file.demoName;
    const std::string to = ctx.work(file.name);
    DeleteFileA(to.c_str());
    if (!CreateHardLinkA(to.c_str(), from.c_str(), nullptr) &&
        !CopyFileA(from.c_str(), to.c_str(), FALSE))
      return false;
  }
  return true;
}

// Waits for the conversion's progress window and then for it to go; false when it did not
// come or did not go.
bool progressCameAndWent(const robot::Process& process) {
  HWND progress = nullptr;
  const DWORD begin = GetTickCount();
  while (progress == nullptr && GetTickCount() - begin < 30000) {
    for (HWND window : robot::topWindows(process.info.dwProcessId))
      if (robot::className(window) == "TerravaneProgress") progress = window;
    if (progress == nullptr) Sleep(20);
  }
  return progress != nullptr && robot::waitForClose(progress, 120000);
}

// Starts gridpick on the tile in the work folder and types the corner 36 00 30 N,
// 84 00 30 W, 90 cells from the tile's south and east edges, and 2 km each way: 195 rows
// and 242 columns across both lines. Gives the message box about the tiles beside.
robot::MessageBoxSeen askAcrossTheCorner(robot::Context& ctx, robot::Process*& gridpick) {
  gridpick = &ctx.launch("gridpick.exe");
  if (!CHECK(gridpick->started)) return {};
  if (!CHECK(robot::answerFileDialog(*gridpick, "Open", ctx.work("n37w085.hdr")))) return {};
  HWND select = robot::waitForWindow(*gridpick, "Terravane.", "#32770");
  if (!CHECK(select != nullptr)) return {};
  robot::typeText(select, 1002, "36.0030");
  robot::typeText(select, 1001, "84.0030");
  robot::typeText(select, 1003, "2");
  robot::typeText(select, 1004, "2");
  robot::pressButton(select, IDOK);
  // The dialog's labels carry the id a message box gives its text: wait for it to go.
  CHECK(robot::waitForClose(select));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(*gridpick);
  CHECK(box.window != nullptr);
  return box;
}

}  // namespace

ROBOT_SCENARIO(gridpick_writes_a_block_across_four_tiles_like_the_writer) {
  REQUIRE(place(ctx, kOpened) && place(ctx, kEast) && place(ctx, kSouth) && place(ctx, kSouthEast));
  const std::string path = ctx.work("tiles_beside.csv");
  robot::Process* gridpick = nullptr;
  const robot::MessageBoxSeen box = askAcrossTheCorner(ctx, gridpick);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.caption, "Message");
  CHECK_EQ(box.text,
           "The block runs past this tile into N37 W84, N36 W85 and N36 W84.\n"
           "Read the rest from the tiles found beside it?");
  CreateDirectoryA(ctx.shotDir.c_str(), nullptr);
  CHECK(robot::saveScreen(ctx.shotDir + "\\gridpick_tiles_beside.bmp"));
  robot::pressButton(box.window, IDYES);
  // Only the south-east tile is a GeoTIFF: it is converted beside it.
  CHECK(progressCameAndWent(*gridpick));
  HWND output = robot::waitForWindow(*gridpick, "NED GridFloat Points Selected.", "#32770");
  REQUIRE(output != nullptr);
  CHECK(robot::fileExists(ctx.work("USGS_13_n36w084.flt")));
  CHECK_EQ(robot::controlText(output, 1006), "242");
  CHECK_EQ(robot::controlText(output, 1007), "195");
  CHECK_EQ(robot::controlText(output, 1008), "47190");
  CHECK(robot::clickControl(output, 30, true));
  robot::pressButton(output, IDOK);
  REQUIRE(robot::answerFileDialog(*gridpick, "Save As", path));
  const robot::MessageBoxSeen written = robot::waitForMessageBox(*gridpick, 60000);
  REQUIRE(written.window != nullptr);
  CHECK_EQ(written.text, "47190 points written.");
  robot::pressButton(written.window, IDOK);
  CHECK_EQ(robot::waitForExit(*gridpick), 0);

  const std::string file = robot::readFile(path);
  const std::string reference = robot::readFile(ctx.refsDir + "\\tiles_beside.csv");
  CHECK(!reference.empty());
  CHECK_EQ(static_cast<long long>(file.size()), static_cast<long long>(reference.size()));
  CHECK(file == reference);
}

ROBOT_SCENARIO(gridpick_names_the_missing_south_tile_and_cuts_the_block) {
  REQUIRE(place(ctx, kOpened) && place(ctx, kEast) && place(ctx, kSouthEast));
  robot::Process* gridpick = nullptr;
  const robot::MessageBoxSeen box = askAcrossTheCorner(ctx, gridpick);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.caption, "Message");
  CHECK_EQ(box.text,
           "The block runs past this tile into N37 W84, N36 W85 and N36 W84.\n"
           "The tile N36 W85 is missing: put USGS_13_n36w085.tif (or its GridFloat pair) beside "
           "n37w085.hdr.\n"
           "The block is cut at the tile's east and south edges.");
  robot::pressButton(box.window, IDOK);
  // Cut at both lines: 90 columns and 90 rows; nothing was converted.
  HWND output = robot::waitForWindow(*gridpick, "NED GridFloat Points Selected.", "#32770");
  REQUIRE(output != nullptr);
  CHECK_EQ(robot::controlText(output, 1006), "90");
  CHECK_EQ(robot::controlText(output, 1007), "90");
  CHECK_EQ(robot::controlText(output, 1008), "8100");
  CHECK(!robot::fileExists(ctx.work("USGS_13_n36w084.flt")));
  robot::pressButton(output, IDCANCEL);
  CHECK_EQ(robot::waitForExit(*gridpick), 1);
}
