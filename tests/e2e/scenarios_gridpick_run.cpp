// A whole gridpick run through its real dialogs on the demo tile (36-37 N, 84-85 W): the
// presets and frames of both dialogs, the three output forms compared byte for byte with
// what the native build of the core writer makes of the same selection, and the ways a run ends
// early.
#include <string>

#include "tests/e2e/robot.h"

namespace {

constexpr COLORREF kTeal = RGB(0, 136, 136);

// Starts gridpick on the demo tile and gives its dialog 101.
HWND openSelectDialog(robot::Context& ctx, robot::Process*& gridpick) {
  gridpick = &ctx.launch("gridpick.exe");
  if (!gridpick->started) return nullptr;
  if (!robot::answerFileDialog(*gridpick, "Open", ctx.demoHeader())) return nullptr;
  return robot::waitForWindow(*gridpick, "Terravane.", "#32770");
}

// Types a text into a field, key by key, and checks that the field took all of it.
void type(robot::Context& ctx, HWND dialog, int id, const char* text) {
  robot::typeText(dialog, id, text);
  CHECK_EQ(robot::controlText(dialog, id), text);
}

void typeSelection(robot::Context& ctx, HWND dialog, const char* lat, const char* lon,
                   const char* east, const char* south) {
  type(ctx, dialog, 1002, lat);
  type(ctx, dialog, 1001, lon);
  type(ctx, dialog, 1003, east);
  type(ctx, dialog, 1004, south);
}

// Whether the teal frame shows left of a field: the frame lies two dialog units outside
// it, a few pixels whatever the font.
bool tealLeftOf(HWND dialog, int fieldId) {
  // Any message but the first and the commands draws the frames again.
  PostMessageA(dialog, WM_NULL, 0, 0);
  Sleep(300);
  RECT field;
  GetWindowRect(GetDlgItem(dialog, fieldId), &field);
  POINT corner = {field.left, (field.top + field.bottom) / 2};
  ScreenToClient(dialog, &corner);
  for (int x = corner.x - 1; x >= corner.x - 8; --x) {
    if (robot::clientPixel(dialog, x, corner.y) == kTeal) return true;
  }
  return false;
}

// The frame of the whole dialog, one dialog unit inside its client area's top edge.
bool tealAtTop(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  const int x = (client.right - client.left) / 2;
  for (int y = 0; y <= 4; ++y) {
    if (robot::clientPixel(dialog, x, y) == kTeal) return true;
  }
  return false;
}

LONG styleOf(HWND dialog, int id) {
  return GetWindowLongA(id == 0 ? dialog : GetDlgItem(dialog, id), GWL_STYLE);
}

bool hasStyle(HWND dialog, int id, LONG bits) {
  return (styleOf(dialog, id) & bits) == bits;
}

// The button kind of a control (the low four style bits).
LONG buttonKind(HWND dialog, int id) {
  return styleOf(dialog, id) & 0xF;
}

struct Write {
  const char* lat;
  const char* lon;
  const char* east;
  const char* south;
  const char* easting;  // null: left at the preset
  const char* northing;
  const char* remove;
  int radio;  // 40, 20 or 30
  bool feet;
  const char* count;  // the count message
};

// Types the write into gridpick's dialogs, saves, and compares the file with what the
// native writer made of the same selection (the line called name in
// gridpick_references.txt).
void writeAndCompare(robot::Context& ctx, const Write& write, const char* name) {
  // A file left by an earlier run would make the save dialog ask about replacing it.
  const std::string path = ctx.work(std::string(name) + ".csv");
  DeleteFileA(path.c_str());

  robot::Process* gridpick = nullptr;
  HWND select = openSelectDialog(ctx, gridpick);
  REQUIRE(select != nullptr);
  typeSelection(ctx, select, write.lat, write.lon, write.east, write.south);
  robot::pressButton(select, IDOK);
  HWND output = robot::waitForWindow(*gridpick, "NED GridFloat Points Selected.", "#32770");
  REQUIRE(output != nullptr);
  if (write.easting != nullptr) type(ctx, output, 1009, write.easting);
  if (write.northing != nullptr) type(ctx, output, 1010, write.northing);
  type(ctx, output, 1011, write.remove);
  if (write.radio != 40) {
    CHECK(robot::clickControl(output, write.radio, true));
    CHECK(!robot::isChecked(output, 40));
  }
  if (write.feet) CHECK(robot::clickControl(output, 50, true));
  robot::pressButton(output, IDOK);

  REQUIRE(robot::answerFileDialog(*gridpick, "Save As", path));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(*gridpick, 60000);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.caption, "Message");
  CHECK_EQ(box.text, write.count);
  robot::pressButton(box.window, IDOK);
  CHECK_EQ(robot::waitForExit(*gridpick), 0);

  const std::string written = robot::readFile(path);
  const std::string reference = robot::readFile(ctx.refsDir + "\\" + name + ".csv");
  CHECK(!reference.empty());
  CHECK_EQ(static_cast<long long>(written.size()), static_cast<long long>(reference.size()));
  CHECK(written == reference);
}

}  // namespace

ROBOT_SCENARIO(gridpick_dialogs_show_their_presets_and_teal_frames) {
  robot::Process* gridpick = nullptr;
  HWND select = openSelectDialog(ctx, gridpick);
  REQUIRE(select != nullptr);
  CHECK_EQ(robot::controlText(select, 1000), "File - N37  W85");
  CHECK_EQ(robot::controlText(select, 1001), "dd.mmss");
  CHECK_EQ(robot::controlText(select, 1002), "dd.mmss");
  CHECK_EQ(robot::controlText(select, 1003), "1.0");
  CHECK_EQ(robot::controlText(select, 1004), "1.0");
  CHECK_EQ(robot::controlText(select, IDOK), "OK");
  CHECK_EQ(robot::controlText(select, IDCANCEL), "Cancel");
  CHECK(hasStyle(select, 0, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
  for (int id : {1001, 1002, 1003, 1004}) CHECK(hasStyle(select, id, ES_CENTER));
  CHECK_EQ(buttonKind(select, IDOK), BS_PUSHBUTTON);
  CHECK_EQ(buttonKind(select, IDCANCEL), BS_DEFPUSHBUTTON);
  CHECK(tealAtTop(select));
  CHECK(tealLeftOf(select, 1002));
  CHECK(tealLeftOf(select, 1004));
  CreateDirectoryA(ctx.shotDir.c_str(), nullptr);
  CHECK(robot::saveScreen(ctx.shotDir + "\\gridpick_dialog_101.bmp"));
  // Every field takes texts longer than it is wide.
  typeSelection(ctx, select, "34.300015", "-84.300015", "12.75", "99.99");

  // 36.3000 N, 84.3000 W and half a kilometre each way: 61 columns by 49 rows.
  typeSelection(ctx, select, "36.3000", "84.3000", "0.5", "0.5");
  robot::pressButton(select, IDOK);
  HWND output = robot::waitForWindow(*gridpick, "NED GridFloat Points Selected.", "#32770");
  REQUIRE(output != nullptr);
  CHECK_EQ(robot::controlText(output, 1006), "61");
  CHECK_EQ(robot::controlText(output, 1007), "49");
  CHECK_EQ(robot::controlText(output, 1008), "2989");
  CHECK_EQ(robot::controlText(output, 1009), "200000");
  CHECK_EQ(robot::controlText(output, 1010), "200000");
  CHECK_EQ(robot::controlText(output, 1011), "0");
  CHECK(robot::isChecked(output, 40));
  CHECK(!robot::isChecked(output, 20));
  CHECK(!robot::isChecked(output, 30));
  CHECK(!robot::isChecked(output, 50));
  CHECK_EQ(robot::controlText(output, 40), " Rectangular points.");
  CHECK_EQ(robot::controlText(output, 50), " Change Meters to Feet.");
  for (int id : {1006, 1007, 1008}) CHECK(hasStyle(output, id, ES_CENTER | ES_READONLY));
  CHECK(hasStyle(output, 1011, ES_CENTER | ES_NUMBER));
  CHECK(!hasStyle(output, 1009, ES_READONLY));
  for (int id : {40, 20, 30}) CHECK_EQ(buttonKind(output, id), BS_AUTORADIOBUTTON);
  CHECK_EQ(buttonKind(output, 50), BS_AUTOCHECKBOX);
  CHECK_EQ(buttonKind(output, IDCANCEL), BS_DEFPUSHBUTTON);
  CHECK(tealAtTop(output));
  CHECK(tealLeftOf(output, 1006));
  CHECK(tealLeftOf(output, 1010));
  CHECK(robot::saveScreen(ctx.shotDir + "\\gridpick_dialog_102.bmp"));
  type(ctx, output, 1009, "-1234567.891");
  type(ctx, output, 1010, "12345678901");
  type(ctx, output, 1011, "99");

  // Cancel in dialog 102 ends the run quietly with 1.
  robot::pressButton(output, IDCANCEL);
  CHECK_EQ(robot::waitForExit(*gridpick), 1);
}

ROBOT_SCENARIO(gridpick_writes_rectangular_points_in_feet_like_the_writer) {
  const Write write = {"36.3000", "84.3000", "0.5", "0.5", "1000.5",
                       "2000",    "0",       40,    true,  "2989 points written."};
  writeAndCompare(ctx, write, "rectangular");
}

ROBOT_SCENARIO(gridpick_writes_points_projected_north_like_the_writer) {
  const Write write = {"36.5230", "84.5230", "2.0", "0.3", nullptr,
                       "150000",  "1",       20,    false, "1815 points written."};
  writeAndCompare(ctx, write, "north");
}

ROBOT_SCENARIO(gridpick_writes_the_csv_grid_like_the_writer) {
  const Write write = {"36.1000", "84.1000", "0.09", "0.3", nullptr,
                       nullptr,   "2",       30,     false, "40 points written."};
  writeAndCompare(ctx, write, "csv");
}

// Typed key by key, every field keeps the whole text: X is read as its first 11
// characters (-1234567.89), Y as all 11, and every eleventh column of every eleventh row
// is written.
ROBOT_SCENARIO(gridpick_takes_long_coordinates_and_a_remove_count_of_10_typed) {
  const Write write = {"36.3000",     "84.3000", "0.5", "0.5", "-1234567.891",
                       "12345678901", "10",      40,    false, "30 points written."};
  writeAndCompare(ctx, write, "long");
}

ROBOT_SCENARIO(gridpick_cancelled_at_dialog_101_ends_with_1) {
  robot::Process* gridpick = nullptr;
  HWND select = openSelectDialog(ctx, gridpick);
  REQUIRE(select != nullptr);
  robot::pressButton(select, IDCANCEL);
  CHECK_EQ(robot::waitForExit(*gridpick), 1);
}

ROBOT_SCENARIO(gridpick_refuses_a_latitude_off_the_tile_with_1) {
  for (const char* lat : {"37.0001", "36.5999"}) {
    robot::Process* gridpick = nullptr;
    HWND select = openSelectDialog(ctx, gridpick);
    REQUIRE(select != nullptr);
    typeSelection(ctx, select, lat, "84.3000", "1.0", "1.0");
    robot::pressButton(select, IDOK);
    // The dialog's labels carry the id a message box gives its text: wait for it to go.
    CHECK(robot::waitForClose(select));
    const robot::MessageBoxSeen box = robot::waitForMessageBox(*gridpick);
    REQUIRE(box.window != nullptr);
    CHECK_EQ(box.caption, "Message");
    CHECK_EQ(box.text, "Latitude out of limits.\n     Try again.");
    robot::pressButton(box.window, IDOK);
    CHECK_EQ(robot::waitForExit(*gridpick), 1);
  }
}

ROBOT_SCENARIO(gridpick_large_estimate_answered_no_ends_with_1) {
  robot::Process* gridpick = nullptr;
  HWND select = openSelectDialog(ctx, gridpick);
  REQUIRE(select != nullptr);
  // 99 km each way from the middle of the tile runs past its east and south edges, into
  // the demo tile's neighbours beside it; answered No, the block is cut at the edges:
  // 5400 x 5400 cells.
  typeSelection(ctx, select, "36.3000", "84.3000", "99", "99");
  robot::pressButton(select, IDOK);
  CHECK(robot::waitForClose(select));
  const robot::MessageBoxSeen beside = robot::waitForMessageBox(*gridpick);
  REQUIRE(beside.window != nullptr);
  CHECK_EQ(beside.caption, "Message");
  CHECK_EQ(beside.text,
           "The block runs past this tile into N37 W84, N36 W85 and N36 W84.\n"
           "N36 W84 is read from n36w084.hdr; USGS_13_n36w084.tif claims to be the same tile.\n"
           "Read the rest from the tiles found beside it?");
  robot::pressButton(beside.window, IDNO);
  HWND output = robot::waitForWindow(*gridpick, "NED GridFloat Points Selected.", "#32770");
  REQUIRE(output != nullptr);
  CHECK_EQ(robot::controlText(output, 1006), "5400");
  CHECK_EQ(robot::controlText(output, 1007), "5400");
  CHECK_EQ(robot::controlText(output, 1008), "29160000");
  robot::pressButton(output, IDOK);
  CHECK(robot::waitForClose(output));
  const robot::MessageBoxSeen box = robot::waitForMessageBox(*gridpick);
  REQUIRE(box.window != nullptr);
  CHECK_EQ(box.caption, "Warning");
  CHECK_EQ(box.text,
           "You have chosen to write approximately\n29160000 points.  That's alot of points ! "
           "!\nAre you sure you want to continue?");
  robot::pressButton(box.window, IDNO);
  CHECK_EQ(robot::waitForExit(*gridpick), 1);
}

ROBOT_SCENARIO(gridpick_cancelled_at_the_save_dialog_ends_with_1) {
  robot::Process* gridpick = nullptr;
  HWND select = openSelectDialog(ctx, gridpick);
  REQUIRE(select != nullptr);
  typeSelection(ctx, select, "36.3000", "84.3000", "0.5", "0.5");
  robot::pressButton(select, IDOK);
  HWND output = robot::waitForWindow(*gridpick, "NED GridFloat Points Selected.", "#32770");
  REQUIRE(output != nullptr);
  robot::pressButton(output, IDOK);
  REQUIRE(robot::cancelFileDialog(*gridpick, "Save As"));
  CHECK_EQ(robot::waitForExit(*gridpick), 1);
}
