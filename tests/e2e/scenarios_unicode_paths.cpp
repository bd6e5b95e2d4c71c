// Tiles and outputs under names outside the ANSI code page, as Windows users have them in
// their own folders: the demo tile as "tile ж.hdr" / "tile ж.flt" in a folder "ж dir",
// each name typed into the programs' real file dialogs key by key. gridpick writes its
// point file into that folder under such a name, byte for byte as the native writer does;
// gridview draws the tile as the native renderer does and writes the reduced tile there,
// its header beside it; a GeoTIFF so named, with the user's own pair of its name beside
// it, is converted into a temporary folder so named, its name shown in the progress
// window; where that folder is missing, the message names the file it could not write.
// gridpick finds the tiles beside the opened one under such names too, the GeoTIFF among
// them converted beside itself, and writes the block across the four.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace {

// Cyrillic (two bytes in UTF-8, one UTF-16 unit) in the folder and the tile's name, and a
// character beyond the first 65536 (four bytes, two UTF-16 units) in an output's.
const char kFolder[] = "ж dir";
const char kTileName[] = "tile ж";
const char kPointsName[] = "точки \xF0\x9F\x97\xBA ж.csv";
const char kReducedName[] = "reduced \xF0\x9F\x97\xBA ж";

std::string folder(const robot::Context& ctx) {
  return ctx.work(kFolder);
}

// The demo tile's pair in the scenario's folder under the non-ASCII name; gives its header.
std::string placeTile(robot::Context& ctx) {
  robot::makeFolders(folder(ctx));
  robot::emptyFolder(folder(ctx));
  const std::string base = folder(ctx) + "\\" + kTileName;
  if (!robot::placeFile(ctx.demoDir + "\\n37w085.hdr", base + ".hdr") ||
      !robot::placeFile(ctx.demoDir + "\\n37w085.flt", base + ".flt"))
    return std::string();
  return base + ".hdr";
}

bool sameAsReference(robot::Context& ctx, const std::string& written, const char* reference) {
  const std::string ours = robot::readFile(written);
  const std::string theirs = robot::readFile(ctx.refsDir + "\\" + reference);
  if (!ours.empty() && ours == theirs) return true;
  std::printf("    %s: %zu bytes, reference %s: %zu bytes\n", written.c_str(), ours.size(),
              reference, theirs.size());
  return false;
}

unsigned long long nativeView(const robot::Context& ctx, const std::string& view) {
  std::ifstream file(ctx.refsDir + "\\gridview_views.txt");
  std::string name, sum;
  while (file >> name >> sum)
    if (name == view) return std::stoull(sum, nullptr, 16);
  return 0;
}

bool shows(robot::Context& ctx, HWND window, const char* view) {
  const unsigned long long expected = nativeView(ctx, view);
  const unsigned long long seen = robot::waitForMap(window, expected, 60000);
  if (seen != expected) std::printf("    %s: map checksum %016llx\n", view, seen);
  return expected != 0 && seen == expected;
}

// Fails with the text of a message box the program shows instead of going on.
void expectNoMessage(robot::Context& ctx, const robot::Process& process) {
  const robot::MessageBoxSeen box = robot::waitForMessageBox(process, 1000);
  CHECK_EQ(box.text, "");
}

// The environment of the programs started meanwhile: a variable set, and put back.
class EnvironmentVariable {
 public:
  EnvironmentVariable(const wchar_t* name, const std::string& value) : name_(name) {
    std::wstring old(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, &old[0], 32768);
    had_ = length > 0 && length < 32768;
    if (had_) old_.assign(old, 0, length);
    SetEnvironmentVariableW(name, robot::wideOf(value).c_str());
  }
  ~EnvironmentVariable() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }
  EnvironmentVariable(const EnvironmentVariable&) = delete;
  EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

 private:
  const wchar_t* name_;
  std::wstring old_;
  bool had_ = false;
};

// The names of the files in a folder that a pattern such as "name-*.flt" matches.
std::vector<std::string> filesIn(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(robot::wideOf(folder + "\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(robot::utf8Of(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// Waits for the conversion's progress window and then for it to go, with a screenshot
// while it is up; false when it did not come or did not go.
bool progressCameAndWent(robot::Context& ctx, const robot::Process& process) {
  HWND progress = nullptr;
  const DWORD begin = GetTickCount();
  while (progress == nullptr && GetTickCount() - begin < 30000) {
    for (HWND window : robot::topWindows(process.info.dwProcessId))
      if (robot::className(window) == "TerravaneProgress") progress = window;
    if (progress == nullptr) Sleep(20);
  }
  if (progress != nullptr && !ctx.shotDir.empty()) {
    Sleep(400);
    robot::saveScreen(ctx.shotDir + "\\unicode_progress.bmp");
  }
  return progress != nullptr && robot::waitForClose(progress, 120000);
}

void zoom(HWND window, int x, int y) {
  robot::sendMouse(window, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, x, y, 0);
}

}  // namespace

ROBOT_SCENARIO(gridpick_reads_and_writes_names_outside_the_ansi_code_page) {
  const std::string header = placeTile(ctx);
  REQUIRE(!header.empty());
  const std::string output = folder(ctx) + "\\" + kPointsName;

  robot::Process& gridpick = ctx.launch("gridpick.exe");
  REQUIRE(gridpick.started);
  REQUIRE(robot::confirmFileDialog(robot::typeIntoFileDialog(gridpick, "Open", header)));
  HWND select = robot::waitForWindow(gridpick, "Terravane.", "#32770");
  if (select == nullptr) expectNoMessage(ctx, gridpick);
  REQUIRE(select != nullptr);
  CHECK_EQ(robot::controlText(select, 1000), "File - N37  W85");
  // The selection of the reference "rectangular" (gridpick_references.txt).
  robot::typeText(select, 1002, "36.3000");
  robot::typeText(select, 1001, "84.3000");
  robot::typeText(select, 1003, "0.5");
  robot::typeText(select, 1004, "0.5");
  robot::pressButton(select, IDOK);
  HWND dialog = robot::waitForWindow(gridpick, "NED GridFloat Points Selected.", "#32770");
  REQUIRE(dialog != nullptr);
  robot::typeText(dialog, 1009, "1000.5");
  robot::typeText(dialog, 1010, "2000");
  CHECK(robot::clickControl(dialog, 50, true));
  robot::pressButton(dialog, IDOK);

  REQUIRE(robot::confirmFileDialog(robot::typeIntoFileDialog(gridpick, "Save As", output)));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(gridpick, 60000);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.text, "2989 points written.");
  robot::pressButton(box.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridpick), 0);
  CHECK(sameAsReference(ctx, output, "rectangular.csv"));
}

ROBOT_SCENARIO(gridview_opens_and_writes_names_outside_the_ansi_code_page) {
  const std::string header = placeTile(ctx);
  REQUIRE(!header.empty());
  robot::Process& gridview = ctx.launch("gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  REQUIRE(window != nullptr);
  robot::postCommand(window, 201);
  HWND open = robot::typeIntoFileDialog(gridview, "Open", header);
  REQUIRE(open != nullptr);
  if (!ctx.shotDir.empty()) {
    robot::makeFolders(ctx.shotDir);
    CHECK(robot::saveScreen(ctx.shotDir + "\\unicode_open_dialog.bmp"));
  }
  REQUIRE(robot::confirmFileDialog(open));
  expectNoMessage(ctx, gridview);
  REQUIRE(shows(ctx, window, "grey_1"));

  // Down to the quadrangle and the reduced tile of the reference "binary_view.flt"
  // (gridview_references.txt): its .hdr takes the name chosen, past the four-byte character.
  zoom(window, 163, 201);
  REQUIRE(shows(ctx, window, "grey_2"));
  zoom(window, 300, 400);
  REQUIRE(shows(ctx, window, "grey_3"));
  robot::postCommand(window, 204);
  robot::postMouse(window, WM_LBUTTONDOWN, 460, 600, MK_LBUTTON);
  robot::postMouse(window, WM_MOUSEMOVE, 600, 700, MK_LBUTTON);
  robot::postMouse(window, WM_LBUTTONUP, 600, 700, 0);
  HWND dialog = robot::waitForWindow(gridview, "Write Selected NED Points");
  REQUIRE(dialog != nullptr);
  CHECK_EQ(robot::controlText(dialog, 1001), "120");
  CHECK_EQ(robot::controlText(dialog, 1002), "111");
  CHECK(robot::clickControl(dialog, 2003, true));
  robot::pressButton(dialog, IDOK);
  const std::string reduced = folder(ctx) + "\\" + kReducedName;
  REQUIRE(
      robot::confirmFileDialog(robot::typeIntoFileDialog(gridview, "Save As", reduced + ".flt")));
  const robot::MessageBoxSeen count = robot::waitForMessageBox(gridview);
  CHECK_EQ(count.text, "13320 points written.");
  if (count.window != nullptr) robot::pressButton(count.window, IDOK);
  CHECK(robot::waitForClose(dialog));
  CHECK(sameAsReference(ctx, reduced + ".flt", "binary_view.flt"));
  CHECK(sameAsReference(ctx, reduced + ".hdr", "binary_view.hdr"));
  CHECK(robot::fileExists(reduced + ".vrt"));
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(gridview), 0);
}

namespace {

// The GeoTIFF demo tile in the scenario's folder as "тайл ж.tif", with the user's own
// pair of that name beside it (its header): gives the path without the extension.
std::string placeGeoTiff(robot::Context& ctx) {
  robot::makeFolders(folder(ctx));
  robot::emptyFolder(folder(ctx));
  const std::string base = folder(ctx) + "\\тайл ж";
  if (!robot::placeFile(ctx.demoDir + "\\USGS_13_n37w085.tif", base + ".tif") ||
      !robot::writeFile(base + ".hdr", robot::readFile(ctx.demoHeader())))
    return std::string();
  return base;
}

// gridview started with this temporary folder, File/Open chosen and the GeoTIFF's name
// typed; gives the main window, null when a step failed.
HWND openWithTemporaryFolder(robot::Context& ctx, robot::Process*& gridview,
                             const std::string& temporary, const std::string& tif) {
  {
    const EnvironmentVariable tmp(L"TMP", temporary);
    const EnvironmentVariable temp(L"TEMP", temporary);
    gridview = &ctx.launch("gridview.exe");
  }
  HWND window = robot::waitForWindow(*gridview, nullptr, "myWindowClass");
  if (window == nullptr) return nullptr;
  robot::postCommand(window, 201);
  if (!robot::confirmFileDialog(robot::typeIntoFileDialog(*gridview, "Open", tif))) return nullptr;
  return window;
}

}  // namespace

ROBOT_SCENARIO(gridview_converts_a_geotiff_named_outside_the_ansi_code_page_into_such_a_temp) {
  const std::string base = placeGeoTiff(ctx);
  REQUIRE(!base.empty());
  const std::string usersHeader = robot::readFile(base + ".hdr");
  const std::string temporary = ctx.work("темп ж");
  robot::makeFolders(temporary);
  robot::emptyFolder(temporary);

  robot::Process* gridview = nullptr;
  HWND window = openWithTemporaryFolder(ctx, gridview, temporary, base + ".tif");
  REQUIRE(window != nullptr);
  CHECK(progressCameAndWent(ctx, *gridview));
  expectNoMessage(ctx, *gridview);
  CHECK(shows(ctx, window, "grey_1"));
  // The pair in the temporary folder is named after the file, the user's header kept.
  CHECK_EQ(static_cast<long long>(filesIn(temporary, "тайл ж-*.flt").size()), 1);
  CHECK_EQ(static_cast<long long>(filesIn(temporary, "тайл ж-*.hdr").size()), 1);
  CHECK(robot::readFile(base + ".hdr") == usersHeader);
  CHECK(!robot::fileExists(base + ".flt"));
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(*gridview), 0);
}

ROBOT_SCENARIO(gridview_names_the_file_it_cannot_write_outside_the_ansi_code_page) {
  const std::string base = placeGeoTiff(ctx);
  REQUIRE(!base.empty());
  const std::string missing = ctx.work("нет ж");  // never made

  robot::Process* gridview = nullptr;
  HWND window = openWithTemporaryFolder(ctx, gridview, missing, base + ".tif");
  REQUIRE(window != nullptr);
  const robot::MessageBoxSeen box = robot::waitForMessageBox(*gridview, 30000);
  REQUIRE(box.window != nullptr);
  const std::string named = "Can't write " + missing + "\\тайл ж-";
  CHECK_EQ(box.text.substr(0, 41), "Can't convert GeoTIFF file to GridFloat.\n");
  if (!CHECK(box.text.find(named) == 41)) std::printf("    the message: %s\n", box.text.c_str());
  CHECK_EQ(box.caption, "Message.");
  robot::pressButton(box.window, IDOK);
  CHECK(robot::waitForClose(box.window));
  robot::postCommand(window, 202);
  CHECK_EQ(robot::waitForExit(*gridview), 0);
}

ROBOT_SCENARIO(gridpick_finds_the_tiles_beside_under_names_outside_the_ansi_code_page) {
  const std::string opened = placeTile(ctx);
  REQUIRE(!opened.empty());
  const std::string east = folder(ctx) + "\\восток ж";
  const std::string south = folder(ctx) + "\\юг ж";
  const std::string southEast = folder(ctx) + "\\юго-восток \xF0\x9F\x97\xBA ж";
  REQUIRE(robot::placeFile(ctx.demoDir + "\\n37w084.hdr", east + ".hdr"));
  REQUIRE(robot::placeFile(ctx.demoDir + "\\n37w084.flt", east + ".flt"));
  REQUIRE(robot::placeFile(ctx.demoDir + "\\n36w085.hdr", south + ".hdr"));
  REQUIRE(robot::placeFile(ctx.demoDir + "\\n36w085.flt", south + ".flt"));
  REQUIRE(robot::placeFile(ctx.demoDir + "\\USGS_13_n36w084.tif", southEast + ".tif"));
  const std::string output = folder(ctx) + "\\угол ж.csv";

  robot::Process& gridpick = ctx.launch("gridpick.exe");
  REQUIRE(robot::confirmFileDialog(robot::typeIntoFileDialog(gridpick, "Open", opened)));
  HWND select = robot::waitForWindow(gridpick, "Terravane.", "#32770");
  if (select == nullptr) expectNoMessage(ctx, gridpick);
  REQUIRE(select != nullptr);
  // The block of the reference "tiles_beside" (mosaic-reference.sh): 36 00 30 N,
  // 84 00 30 W and 2 km each way, across the corner of the four tiles.
  robot::typeText(select, 1002, "36.0030");
  robot::typeText(select, 1001, "84.0030");
  robot::typeText(select, 1003, "2");
  robot::typeText(select, 1004, "2");
  robot::pressButton(select, IDOK);
  CHECK(robot::waitForClose(select));
  const robot::MessageBoxSeen question = robot::waitForMessageBox(gridpick);
  REQUIRE(question.window != nullptr);
  // Every tile found: the question, not the message that the block is cut.
  const std::string intro = "The block runs past this tile into N37 W84, N36 W85 and N36 W84.\n";
  const std::string ask = "Read the rest from the tiles found beside it?";
  const bool asked = question.text.compare(0, intro.size(), intro) == 0 &&
                     question.text.size() >= ask.size() &&
                     question.text.compare(question.text.size() - ask.size(), ask.size(), ask) == 0;
  if (!CHECK(asked)) std::printf("    the question: %s\n", question.text.c_str());
  robot::pressButton(question.window, IDYES);
  CHECK(progressCameAndWent(ctx, gridpick));
  HWND dialog = robot::waitForWindow(gridpick, "NED GridFloat Points Selected.", "#32770");
  if (dialog == nullptr) expectNoMessage(ctx, gridpick);
  REQUIRE(dialog != nullptr);
  CHECK(robot::fileExists(southEast + ".flt"));
  CHECK_EQ(robot::controlText(dialog, 1008), "47190");
  CHECK(robot::clickControl(dialog, 30, true));
  robot::pressButton(dialog, IDOK);
  REQUIRE(robot::confirmFileDialog(robot::typeIntoFileDialog(gridpick, "Save As", output)));
  const robot::MessageBoxSeen written = robot::waitForMessageBox(gridpick, 60000);
  REQUIRE(written.window != nullptr);
  CHECK_EQ(written.text, "47190 points written.");
  robot::pressButton(written.window, IDOK);
  CHECK_EQ(robot::waitForExit(gridpick), 0);
  CHECK(sameAsReference(ctx, output, "tiles_beside.csv"));
}
