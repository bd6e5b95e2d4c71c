// A tile as the USGS ships it today, a cloud-optimized GeoTIFF (build/demo/
// USGS_13_n37w085.tif, the demo tile made into one by scripts/make-demo-tiles.sh): gridview
// opens it with its progress window up while it converts, and draws the same picture as
// from the GridFloat pair of the tile; gridpick run from it writes the same bytes as from
// the pair. A converted pair serves only the file it was made from: a tile replaced by
// another of an older time is converted again, and the two programs converting one new
// tile together leave one whole pair, since a replace of the file seam waits out the other
// program's brief hold on the same target.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"
#include "win32/win32_file_system.h"

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

// Runs gridpick on the tile through the selection of the reference "rectangular"
// (gridpick_references.txt); gives the file it wrote, empty when a step failed.
std::string writeRectangular(robot::Context& ctx, const std::string& tile,
                             const std::string& path) {
  DeleteFileA(path.c_str());
  robot::Process& gridpick = ctx.launch("gridpick.exe");
  if (!CHECK(robot::answerFileDialog(gridpick, "Open", tile))) return {};
  HWND select = robot::waitForWindow(gridpick, "Terravane.", "#32770", 90000);
  if (!CHECK(select != nullptr)) return {};
  CHECK_EQ(robot::controlText(select, 1000), "File - N37  W85");
  robot::setControlText(select, 1002, "36.3000");
  robot::setControlText(select, 1001, "84.3000");
  robot::setControlText(select, 1003, "0.5");
  robot::setControlText(select, 1004, "0.5");
  robot::pressButton(select, IDOK);
  HWND output = robot::waitForWindow(gridpick, "NED GridFloat Points Selected.", "#32770");
  if (!CHECK(output != nullptr)) return {};
  robot::setControlText(output, 1009, "1000.5");
  robot::setControlText(output, 1010, "2000");
  CHECK(robot::clickControl(output, 50, true));
  robot::pressButton(output, IDOK);
  if (!CHECK(robot::answerFileDialog(gridpick, "Save As", path))) return {};
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridpick, 60000);
  if (!CHECK(box.window != nullptr)) return {};
  CHECK_EQ(box.text, "2989 points written.");
  robot::pressButton(box.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridpick), 0);
  return robot::readFile(path);
}

// Whether two files hold the same bytes, read a piece at a time (a raster is 467 MB).
bool sameBytes(const std::string& a, const std::string& b) {
  std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
  if (!first || !second) return false;
  std::vector<char> one(1 << 20), two(1 << 20);
  while (first && second) {
    first.read(one.data(), one.size());
    second.read(two.data(), two.size());
    if (first.gcount() != second.gcount() ||
        !std::equal(one.begin(), one.begin() + first.gcount(), two.begin()))
      return false;
  }
  return first.eof() && second.eof();
}

// The names of the files a pattern such as "<folder>\\*" matches.
std::set<std::string> filesIn(const std::string& pattern) {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.insert(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
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
  // The native writer's file from the pair: gridpick gives it byte for byte from the pair
  // (scenarios_gridpick_run.cpp), and so from the GeoTIFF.
  const std::string reference = robot::readFile(ctx.refsDir + "\\rectangular.csv");
  REQUIRE(!reference.empty());
  const std::string written = writeRectangular(ctx, geoTiff(ctx), ctx.work("rectangular.csv"));
  CHECK_EQ(static_cast<long long>(written.size()), static_cast<long long>(reference.size()));
  CHECK(written == reference);
}

ROBOT_SCENARIO(gridpick_converts_again_a_geotiff_replaced_by_an_older_one) {
  const std::string tif = ctx.work("USGS_13_n37w085.tif");
  const std::string reference = robot::readFile(ctx.refsDir + "\\rectangular.csv");
  REQUIRE(!reference.empty());
  REQUIRE(CopyFileA((ctx.refsDir + "\\flat_n37w085.tif").c_str(), tif.c_str(), FALSE));
  const std::string flat = writeRectangular(ctx, tif, ctx.work("flat.csv"));
  REQUIRE(!flat.empty());
  CHECK(flat != reference);

  // The real tile under the same name, with a time a day before its flat pair's, as a
  // copy that keeps the file's time gives.
  REQUIRE(CopyFileA(geoTiff(ctx).c_str(), tif.c_str(), FALSE));
  WIN32_FILE_ATTRIBUTE_DATA pair;
  REQUIRE(
      GetFileAttributesExA(ctx.work("USGS_13_n37w085.flt").c_str(), GetFileExInfoStandard, &pair));
  ULARGE_INTEGER time = {{pair.ftLastWriteTime.dwLowDateTime, pair.ftLastWriteTime.dwHighDateTime}};
  time.QuadPart -= 864000000000ull;
  const FILETIME older = {time.LowPart, time.HighPart};
  HANDLE file =
      CreateFileA(tif.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  CHECK(SetFileTime(file, nullptr, nullptr, &older));
  CloseHandle(file);

  CHECK(writeRectangular(ctx, tif, ctx.work("real.csv")) == reference);
}

ROBOT_SCENARIO(gridview_and_gridpick_converting_one_new_geotiff_together_leave_one_pair) {
  const std::string tif = ctx.work("USGS_13_n37w085.tif");
  // A new tile: no pair beside it, nor one in the temporary folder, where an earlier run
  // may have left one.
  REQUIRE(CopyFileA(geoTiff(ctx).c_str(), tif.c_str(), FALSE));
  char temporary[MAX_PATH];
  REQUIRE(GetTempPathA(MAX_PATH, temporary) > 0);
  const std::string temporaryPairs = std::string(temporary) + "USGS_13_n37w085-*";
  for (const std::string& name : filesIn(temporaryPairs)) DeleteFileA((temporary + name).c_str());
  // The native renderer's whole degree in grey (gridview_views.txt).
  unsigned long long grey = 0;
  std::ifstream views(ctx.refsDir + "\\gridview_views.txt");
  std::string view, sum;
  while (views >> view >> sum)
    if (view == "grey_1") grey = std::stoull(sum, nullptr, 16);
  REQUIRE(grey != 0);

  robot::Process& gridview = ctx.launch("gridview.exe");
  robot::Process& gridpick = ctx.launch("gridpick.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  robot::postCommand(window, 201);
  HWND viewerOpen = robot::fillFileDialog(gridview, "Open", tif);
  HWND pickerOpen = robot::fillFileDialog(gridpick, "Open", tif);
  REQUIRE(viewerOpen != nullptr && pickerOpen != nullptr);
  robot::pressButton(viewerOpen, IDOK);
  robot::pressButton(pickerOpen, IDOK);
  // Each finds no pair and converts: both show their progress.
  CHECK_EQ(progressCaption(gridview), "Converting GeoTIFF tile");
  CHECK_EQ(progressCaption(gridpick), "Converting GeoTIFF tile");

  HWND select = robot::waitForWindow(gridpick, "Terravane.", "#32770", 120000);
  REQUIRE(select != nullptr);
  CHECK_EQ(robot::controlText(select, 1000), "File - N37  W85");
  // The map is read from the screen: gridpick's dialog goes to the right of it.
  SetWindowPos(select, nullptr, 620, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  CHECK(robot::waitForMap(window, grey, 120000) == grey);
  CHECK(!robot::anyDialogOpen(gridview));
  // One pair beside the file, nothing left of either conversion, none in the temporary
  // folder.
  const std::set<std::string> left = filesIn(ctx.work("*"));
  const std::set<std::string> onePair = {"USGS_13_n37w085.tif", "USGS_13_n37w085.hdr",
                                         "USGS_13_n37w085.flt", "USGS_13_n37w085.source"};
  if (!CHECK(left == onePair))
    for (const std::string& name : left) std::printf("    left: %s\n", name.c_str());
  if (!CHECK(filesIn(temporaryPairs).empty()))
    for (const std::string& name : filesIn(temporaryPairs))
      std::printf("    temporary: %s\n", name.c_str());
  CHECK(sameBytes(ctx.work("USGS_13_n37w085.flt"), ctx.demoDir + "\\n37w085.flt"));
}

namespace {

DWORD WINAPI closeSoon(void* handle) {
  Sleep(300);
  CloseHandle(static_cast<HANDLE>(handle));
  return 0;
}

}  // namespace

ROBOT_SCENARIO(a_replace_waits_out_a_brief_hold_on_its_target_and_not_a_lasting_one) {
  const std::string from = ctx.work("pair.flt.part"), to = ctx.work("pair.flt");
  REQUIRE(robot::writeFile(from, "new") && robot::writeFile(to, "old"));
  const auto hold = [&] {
    return CreateFileA(to.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  };
  ned::Win32FileSystem files;
  HANDLE held = hold();
  REQUIRE(held != INVALID_HANDLE_VALUE);
  HANDLE closer = CreateThread(nullptr, 0, closeSoon, held, 0, nullptr);
  REQUIRE(closer != nullptr);
  CHECK(files.replace(from, to));
  WaitForSingleObject(closer, INFINITE);
  CloseHandle(closer);
  CHECK_EQ(robot::readFile(to), std::string("new"));

  // A hold that outlasts the tries (Wine refuses the replace then): the replace comes back,
  // and a refused one leaves both files as they were.
  REQUIRE(robot::writeFile(from, "newer"));
  held = hold();
  REQUIRE(held != INVALID_HANDLE_VALUE);
  const bool replaced = files.replace(from, to);
  CloseHandle(held);
  CHECK_EQ(robot::readFile(to), std::string(replaced ? "newer" : "new"));
  if (!replaced) CHECK_EQ(robot::readFile(from), std::string("newer"));
}
