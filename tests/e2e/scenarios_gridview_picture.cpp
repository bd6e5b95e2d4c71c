// gridview's picture: File/Open draws the whole degree exactly as the native renderer
// does, with its frame, grid, zoom boxes, title and help line; the colour and light
// commands only move their check marks until the next drawing; the legend tells which
// special colours the whole degree shows; Notes is greyed while the map is shown.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

// Checksums of the 450 x 600 map area (x 50..499, y 49..648) as the window shows it,
// grid and zoom boxes included, taken by the native tests of the same drawings
// (tests/unit/viewer_golden_test.cpp): FNV-1a over the packed colours, red byte first.
constexpr unsigned long long kWholeDegreeGrey = 0xf24fc58db1c4a4feull;
constexpr unsigned long long kWholeDegreeColour = 0x40ca821d28938315ull;

void saveMap(const std::vector<COLORREF>& pixels, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(pixels.data(), sizeof(COLORREF), pixels.size(), file);
  std::fclose(file);
}

// Whether the last item of the menu bar, Notes, is drawn enabled. Menu handles do not
// reach across processes here, so the bar is read from the screen: an enabled item has
// black text, a greyed one only grey and white.
bool notesEnabled(HWND window) {
  POINT client = {0, 0};
  ClientToScreen(window, &client);
  RECT outer;
  GetWindowRect(window, &outer);
  const int top = client.y - GetSystemMetrics(SM_CYMENU);
  const int bottom = client.y;
  HDC screen = GetDC(nullptr);
  const COLORREF background = GetPixel(screen, outer.right - 8, (top + bottom) / 2);
  auto columnBlank = [&](int x) {
    for (int y = top; y < bottom; ++y) {
      if (GetPixel(screen, x, y) != background) return false;
    }
    return true;
  };
  // The last item's text: from the rightmost marked column leftwards to the first gap of
  // several blank columns, which parts it from the item before.
  int x = outer.right - 8;
  while (x > outer.left && columnBlank(x)) --x;
  int black = 0;
  for (int blanks = 0; x > outer.left && blanks < 6; --x) {
    if (columnBlank(x)) {
      ++blanks;
      continue;
    }
    blanks = 0;
    for (int y = top; y < bottom; ++y) black += GetPixel(screen, x, y) == RGB(0, 0, 0);
  }
  ReleaseDC(nullptr, screen);
  return black > 0;
}

bool isWhite(COLORREF c) {
  return c == RGB(255, 255, 255);
}

// Whether any pixel of the client rectangle is white (text drawn there).
bool anyWhite(HWND window, int left, int top, int right, int bottom) {
  for (int y = top; y < bottom; y += 1) {
    for (int x = left; x < right; x += 1) {
      if (isWhite(robot::clientPixel(window, x, y))) return true;
    }
  }
  return false;
}

}  // namespace

ROBOT_SCENARIO(gridview_open_draws_the_whole_degree_as_the_native_picture) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  CHECK(notesEnabled(window));  // Notes is there before a tile is shown
  robot::postCommand(window, 201);
  REQUIRE(robot::answerFileDialog(gridview, "Open", ctx.demoHeader()));

  const unsigned long long seen = robot::waitForMap(window, kWholeDegreeGrey);
  if (seen != kWholeDegreeGrey) {
    std::printf("map checksum %016llx\n", seen);
    saveMap(robot::captureMap(window), ctx.work("map_grey.raw"));
  }
  CHECK(seen == kWholeDegreeGrey);
  CHECK(!robot::anyDialogOpen(gridview));  // the standard tile has no legend

  // The green frame 3 pixels wide around the map, black between it and the picture.
  for (int y : {100, 300, 600}) {
    CHECK_EQ(robot::clientPixel(window, 46, y), RGB(0, 255, 0));
    CHECK_EQ(robot::clientPixel(window, 502, y), RGB(0, 255, 0));
    CHECK_EQ(robot::clientPixel(window, 48, y), RGB(0, 0, 0));
  }
  for (int x : {100, 300}) {
    CHECK_EQ(robot::clientPixel(window, x, 46), RGB(0, 255, 0));
    CHECK_EQ(robot::clientPixel(window, x, 652), RGB(0, 255, 0));
  }
  // The grid runs one line past the picture; the small square of the help line.
  CHECK_EQ(robot::clientPixel(window, 163, 649), RGB(192, 192, 192));
  CHECK_EQ(robot::clientPixel(window, 195, 680), RGB(255, 255, 255));
  CHECK_EQ(robot::clientPixel(window, 204, 685), RGB(255, 255, 255));
  // White text: the title, a corner label, the help line.
  CHECK(anyWhite(window, 200, 5, 350, 28));
  CHECK(anyWhite(window, 35, 28, 65, 40));
  CHECK(anyWhite(window, 220, 672, 330, 690));

  CHECK(!notesEnabled(window));  // but not while the map is shown

  if (!ctx.shotDir.empty()) {
    robot::makeFolders(ctx.shotDir);
    robot::saveScreen(ctx.shotDir + "\\gridview_whole_degree_grey.bmp");
  }

  // Color Map and a light direction change nothing on the screen until the next drawing.
  robot::postCommand(window, 205);
  robot::postCommand(window, 210);
  Sleep(300);
  CHECK(robot::mapChecksum(robot::captureMap(window)) == kWholeDegreeGrey);

  // The next File/Open draws in colour; the whole degree is never shaded, whatever light.
  robot::postCommand(window, 201);
  REQUIRE(robot::answerFileDialog(gridview, "Open", ctx.demoHeader()));
  const unsigned long long colour = robot::waitForMap(window, kWholeDegreeColour);
  if (colour != kWholeDegreeColour) {
    std::printf("map checksum %016llx\n", colour);
    saveMap(robot::captureMap(window), ctx.work("map_colour.raw"));
  }
  CHECK(colour == kWholeDegreeColour);
  if (!ctx.shotDir.empty()) robot::saveScreen(ctx.shotDir + "\\gridview_whole_degree_colour.bmp");

  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

ROBOT_SCENARIO(gridview_legend_names_below_zero_and_no_data_at_the_whole_degree) {
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  robot::postCommand(window, 201);
  REQUIRE(robot::answerFileDialog(gridview, "Open", ctx.specialDir + "\\n37w085.hdr"));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridview);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.caption, "Message");
  CHECK_EQ(box.text, "Elev's below 0 --> Magenta.\n       NULL data --> Red.");

  // The map is complete before the legend: the no-data block is red, the bowl below zero
  // magenta (block rows 338..362; columns 100..124 and 50..74).
  const int y = 50 + 4 * (350 / 3) + 350 % 3;
  CHECK_EQ(robot::clientPixel(window, 50 + 110, y), RGB(255, 0, 0));
  const COLORREF bowl = robot::clientPixel(window, 50 + 62, y);
  CHECK_EQ(GetGValue(bowl), 0);
  CHECK_EQ(GetRValue(bowl), GetBValue(bowl));
  CHECK(GetRValue(bowl) >= 72);
  CHECK(!notesEnabled(window));

  robot::pressButton(box.window, IDOK);
  CHECK(robot::waitForClose(box.window));
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}
