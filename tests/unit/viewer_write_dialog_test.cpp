// The "Write Selected NED Points" dialog: what it shows, what Write Pnts, Estimates and
// Cancel read and tell, and the write that follows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "core/coordinate_choice.h"
#include "core/export/map_projection.h"
#include "core/export/point_writer.h"
#include "tests/support/proj_oracle.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_fields.h"
#include "tests/support/tile_files.h"
#include "viewer/write_dialog.h"

namespace ned {
namespace {

using testing::ScriptedDesktop;
using testing::ScriptedFields;

const int kForms[] = {kIdcRectangularForm, kIdcProjectNorthForm, kIdcBinaryForm, kIdcCsvGridForm};

// The demo tile's quadrangle at origin (2706, 2706), all of it selected; or the whole
// view of another level and origin. remembered is the coordinates an earlier run kept.
struct OpenDialog {
  ViewerState state;
  ScriptedDesktop desktop;
  ScriptedFields fields;
  WriteDialog dialog;

  explicit OpenDialog(int16_t level = 3, int32_t origin = 2706, const char* remembered = nullptr) {
    state.header.tileWestLon = 85.00055555556;
    state.header.tileSouthLat = 35.99944444444;
    state.viewLevel = level;
    state.renderedStartRow = origin;
    state.renderedStartCol = origin;
    state.selectAllPending = 1;
    prepareSelection(state);
    dialog.state = &state;
    dialog.desktop = &desktop;
    if (remembered != nullptr) desktop.settings["Coordinates"] = remembered;
    initWriteDialog(dialog, fields);
  }
  bool command(int id) { return writeDialogCommand(dialog, id, fields); }
  // A pick from the Coordinates list, then the list's notification.
  void pick(const std::string& entry) {
    ASSERT_TRUE(fields.pickListEntry(kIdcCoordinates, entry)) << entry;
    EXPECT_FALSE(command(kIdcCoordinates));
  }
};

// The level-5 window of the demo tile whose middle is 36.5 N, 84.5 W: 450 x 450 cells from
// row and column 5181 (the tile's corner is 6 cells outside 37 N, 85 W).
constexpr int32_t kMiddleOrigin = 5181;
constexpr const char* kLocalGrid = "Local grid (Northing and Easting)";
constexpr const char* kTennesseeFeet = "NAD83 / Tennessee (ftUS)  EPSG:2274";
constexpr const char* kUtm16 = "NAD83 / UTM zone 16N  EPSG:26916";

TEST(WriteDialog, OpensWithTheSelectionItsCornerAndTheDefaults) {
  OpenDialog open(5);
  EXPECT_EQ(open.state.selectAllPending, 0);
  EXPECT_EQ(open.state.writeDialogOpen, 1);
  ScriptedFields& f = open.fields;
  EXPECT_EQ(f.texts[kIdcFileLabel], "----> File: N37-W85 <----");
  EXPECT_EQ(f.texts[kIdcSelCols], "450");
  EXPECT_EQ(f.texts[kIdcSelRows], "450");
  EXPECT_EQ(f.texts[kIdcSelectedPoints], "202500");
  EXPECT_EQ(f.texts[kIdcUpperLeftLat], "36.4500");  // 8100 rows = 45' above the south edge
  EXPECT_EQ(f.texts[kIdcUpperLeftLon], "-84.4500");
  EXPECT_EQ(f.texts[kIdcEasting], "200000");
  EXPECT_EQ(f.texts[kIdcNorthing], "200000");
  EXPECT_EQ(f.texts[kIdcSelRemoveCount], "0");
  for (int form : kForms) EXPECT_EQ(f.checks[form], form == kIdcRectangularForm);
  EXPECT_EQ(f.limits, (std::map<int, int>{{kIdcSelCols, 5},
                                          {kIdcSelRows, 5},
                                          {kIdcSelRemoveCount, 2},
                                          {kIdcEasting, 11},
                                          {kIdcNorthing, 11},
                                          {kIdcContourInterval, 8},
                                          {kIdcIndexEvery, 3},
                                          {kIdcSurfaceTolerance, 8}}));
  EXPECT_EQ(f.texts[kIdcSurfaceTolerance], "0.1");
  EXPECT_EQ(open.dialog.maxCols, 450u);
  EXPECT_EQ(open.dialog.maxRows, 450u);
}

TEST(WriteDialog, PlainNumberTextIsOneDecimalNumberOrNothing) {
  const std::regex plain("-?([0-9]+\\.?[0-9]*|\\.[0-9]+)");
  const char* texts[] = {"",      "200000", "-12.5", "12.", ".5",    "-.5",        "0",   "12-3",
                         "1.2.3", "-",      ".",     "-.",  "--1",   "+1",         "1e5", " 1",
                         "1 ",    "N/A",    "inf",   "1,5", "-0007", "99999999999"};
  for (const char* text : texts) {
    const bool expected = *text == '\0' || std::regex_match(text, plain);
    EXPECT_EQ(isPlainNumberText(text), expected) << '"' << text << '"';
  }
}

// Every refusal, in the order the checks run: the box, its owner, and the dialog stays.
TEST(WriteDialog, RefusalsKeepTheDialogOpenWithTheirMessages) {
  struct Case {
    const char* what;
    int form;
    int command;
    std::vector<std::pair<int, std::string>> typed;
    const char* text;
    const char* caption;
    MessageStyle style;
  };
  const Case cases[] = {
      {"northing",
       kIdcRectangularForm,
       kIdcWritePoints,
       {{kIdcNorthing, "12-3"}},
       "Non Numerical Northing.",
       "Notice",
       kTaskModalMessage},
      {"easting",
       kIdcProjectNorthForm,
       kIdcWritePoints,
       {{kIdcEasting, "1e5"}},
       "Non Numerical Easting.",
       "Notice",
       kTaskModalMessage},
      {"northing first",
       kIdcRectangularForm,
       kIdcWritePoints,
       {{kIdcNorthing, "x"}, {kIdcEasting, "y"}, {kIdcSelRows, "2"}},
       "Non Numerical Northing.",
       "Notice",
       kTaskModalMessage},
      {"rows before columns",
       kIdcRectangularForm,
       kIdcWritePoints,
       {{kIdcSelRows, "2"}, {kIdcSelCols, "1"}},
       "Not enough Rows.",
       "Message.",
       kTaskModalMessage},
      {"columns",
       kIdcCsvGridForm,
       kIdcWritePoints,
       {{kIdcSelCols, "0"}, {kIdcNorthing, "N/A"}},
       "Not enough Cols.",
       "Message.",
       kTaskModalMessage},
      {"empty rows",
       kIdcBinaryForm,
       kIdcWritePoints,
       {{kIdcSelRows, ""}},
       "Not enough Rows.",
       "Message.",
       kTaskModalMessage},
      {"estimate columns",
       kIdcRectangularForm,
       kIdcEstimates,
       {{kIdcSelCols, "abc"}},
       "No Columns",
       "Notice",
       kPlainMessage},
      {"estimate rows",
       kIdcRectangularForm,
       kIdcEstimates,
       {{kIdcSelRows, "0"}},
       "  No Rows",
       "Notice",
       kPlainMessage},
      {"estimate northing",
       kIdcProjectNorthForm,
       kIdcEstimates,
       {{kIdcNorthing, "N/A"}},
       "Non Numerical Northing.",
       "Notice",
       kPlainMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenDialog open;
    open.fields.clickRadio(c.form, kForms);
    for (const auto& entry : c.typed) open.fields.texts[entry.first] = entry.second;
    open.state.actionOk = 1;
    EXPECT_FALSE(open.command(c.command));
    ASSERT_EQ(open.desktop.messages.size(), 1u);
    EXPECT_EQ(open.desktop.messages[0].text, c.text);
    EXPECT_EQ(open.desktop.messages[0].caption, c.caption);
    EXPECT_TRUE(open.desktop.messages[0].style == c.style);
    EXPECT_EQ(open.desktop.messages[0].owner, open.fields.owner());
    EXPECT_EQ(open.dialog.end, WriteDialogEnd::open);
    EXPECT_EQ(open.state.writeDialogOpen, 1);
    if (c.command == kIdcWritePoints || std::string(c.text).rfind("Non", 0) == 0) {
      EXPECT_EQ(open.state.actionOk, 0);
    }
    for (const auto& entry : c.typed) EXPECT_EQ(open.fields.texts[entry.first], entry.second);
  }
}

TEST(WriteDialog, WritePntsReadsTheFormGridThinningAndStart) {
  struct Case {
    int form;
    std::vector<std::pair<int, std::string>> typed;
    OutputKind kind;
    uint32_t cols, rows, removeCount;
    double easting, northing;
  };
  const Case cases[] = {
      {kIdcRectangularForm, {}, OutputKind::RectangularXyz, 1350, 1350, 0, 200000, 200000},
      {kIdcProjectNorthForm,
       {{kIdcSelCols, "99999"},
        {kIdcSelRows, "3"},
        {kIdcSelRemoveCount, ""},
        {kIdcEasting, "-1000.25"},
        {kIdcNorthing, ""}},
       OutputKind::ProjectNorthXyz,
       1350,
       3,
       0,
       -1000.25,
       0},
      {kIdcCsvGridForm,
       {{kIdcSelCols, "700"}, {kIdcSelRemoveCount, "1"}, {kIdcNorthing, "N/A"}},
       OutputKind::ElevationCsv,
       700,
       1350,
       1,
       0,
       0},
      {kIdcBinaryForm,
       {{kIdcSelRemoveCount, "-1"}, {kIdcEasting, "x"}},
       OutputKind::BinaryFlt,
       1350,
       1350,
       0,
       0,
       0},  // a pasted negative count removes nothing
      {kIdcRectangularForm,
       {{kIdcSelRows, "-5"}, {kIdcSelRemoveCount, "12"}},
       OutputKind::RectangularXyz,
       1350,
       1350,
       12,
       200000,
       200000},
  };
  for (const Case& c : cases) {
    OpenDialog open;
    open.state.writeRequest.startEasting = 0;
    open.state.writeRequest.startNorthing = 0;
    open.fields.clickRadio(c.form, kForms);
    open.fields.checks[kIdcFeet] = c.form == kIdcBinaryForm;
    for (const auto& entry : c.typed) open.fields.texts[entry.first] = entry.second;
    EXPECT_TRUE(open.command(kIdcWritePoints));
    EXPECT_TRUE(open.desktop.messages.empty());
    EXPECT_EQ(open.dialog.end, WriteDialogEnd::write);
    EXPECT_EQ(open.state.writeDialogOpen, 0);
    EXPECT_EQ(open.state.actionOk, 1);
    const WriteRequest& request = open.state.writeRequest;
    EXPECT_EQ(request.kind, c.kind);
    EXPECT_EQ(request.toFeet, c.form == kIdcBinaryForm);
    EXPECT_EQ(request.startEasting, c.easting);
    EXPECT_EQ(request.startNorthing, c.northing);
    EXPECT_EQ(open.state.selection.cols, c.cols);
    EXPECT_EQ(open.state.selection.rows, c.rows);
    EXPECT_EQ(open.state.selection.removeCount, c.removeCount);
    EXPECT_EQ(open.state.selection.step, c.removeCount + 1);
    EXPECT_EQ(open.state.selection.startRow, 2706);
  }
}

TEST(WriteDialog, EstimatesShowPointsAndSizeWithoutTouchingTheSelection) {
  struct Case {
    int form;
    std::vector<std::pair<int, std::string>> typed;
    const char* cols;
    const char* selected;
    const char* points;
    const char* size;
    const char* coordinates;  // what Easting and Northing show afterwards
  };
  const Case cases[] = {
      // 1350 x 1350 points of 6 + 6 + 22 bytes.
      {kIdcRectangularForm, {}, "1350", "1822500", "", "59.09 mb", "200000"},
      {kIdcRectangularForm,
       {{kIdcSelCols, "1500"}, {kIdcSelRows, "10"}},
       "1350",
       "13500",
       "",
       ".4377 mb",
       "200000"},
      {kIdcCsvGridForm,
       {{kIdcSelCols, "100"}, {kIdcSelRows, "100"}},
       "100",
       "10000",
       "",
       "80000 b",
       "N/A"},
      {kIdcBinaryForm,
       {{kIdcSelCols, "100"}, {kIdcSelRows, "100"}, {kIdcSelRemoveCount, "x"}},
       "100",
       "10000",
       "",
       "40000 b",
       "N/A"},
      {kIdcProjectNorthForm,
       {{kIdcSelCols, "10"}, {kIdcSelRows, "10"}, {kIdcEasting, "1"}, {kIdcNorthing, "-2.5"}},
       "10",
       "100",
       "",
       "2700 b",
       nullptr},
  };
  for (const Case& c : cases) {
    OpenDialog open;
    open.fields.clickRadio(c.form, kForms);
    for (const auto& entry : c.typed) open.fields.texts[entry.first] = entry.second;
    EXPECT_FALSE(open.command(kIdcEstimates));
    EXPECT_TRUE(open.desktop.messages.empty());
    EXPECT_EQ(open.fields.texts[kIdcSelCols], c.cols);
    EXPECT_EQ(open.fields.texts[kIdcSelectedPoints], c.selected);
    EXPECT_EQ(open.fields.texts[kIdcEstimatedPoints], c.points);
    EXPECT_EQ(open.fields.texts[kIdcEstimatedSize], c.size);
    if (c.form == kIdcBinaryForm) {
      EXPECT_EQ(open.fields.texts[kIdcSelRemoveCount], "0");  // not a number: shown as 0
    }
    if (c.coordinates != nullptr) {
      EXPECT_EQ(open.fields.texts[kIdcEasting], c.coordinates);
      EXPECT_EQ(open.fields.texts[kIdcNorthing], c.coordinates);
    }
    EXPECT_EQ(open.state.selection.cols, 1350u);  // the selection waits for Write Pnts
    EXPECT_EQ(open.dialog.end, WriteDialogEnd::open);
  }
  // A remove count shows the estimate of the points kept; after "N/A" an XYZ write is
  // refused until the numbers are typed again.
  OpenDialog open;
  open.fields.texts[kIdcSelRemoveCount] = "1";
  open.fields.clickRadio(kIdcCsvGridForm, kForms);
  open.command(kIdcEstimates);
  EXPECT_EQ(open.fields.texts[kIdcEstimatedPoints],
            std::to_string(estimatePoints(Program::viewer, 1822500, 1)));
  open.fields.clickRadio(kIdcRectangularForm, kForms);
  EXPECT_FALSE(open.command(kIdcWritePoints));
  ASSERT_EQ(open.desktop.messages.size(), 1u);
  EXPECT_EQ(open.desktop.messages[0].text, "Non Numerical Northing.");
}

TEST(WriteDialog, CancelTellsHowToRedrawAndWritePntsWritesTheSelection) {
  OpenDialog cancelled;
  EXPECT_FALSE(cancelled.command(9999));
  EXPECT_TRUE(cancelled.command(kIdcCancelWrite));
  EXPECT_EQ(cancelled.state.writeDialogOpen, 0);
  EXPECT_EQ(cancelled.state.actionOk, 0);
  finishWriteDialog(cancelled.dialog);
  ASSERT_EQ(cancelled.desktop.messages.size(), 1u);
  EXPECT_EQ(cancelled.desktop.messages[0].text, "Click Center to Redraw.");
  EXPECT_EQ(cancelled.desktop.messages[0].caption, "Message");
  EXPECT_TRUE(cancelled.desktop.messages[0].style == kTaskModalMessage);
  EXPECT_EQ(cancelled.desktop.messages[0].owner, OwnerWindow::none);
  EXPECT_TRUE(cancelled.desktop.dialogs.empty());

  // A thinned binary tile of the quadrangle, against the writer given the same request.
  testing::TempDir dir;
  testing::writeFile(dir.file("t.hdr"), testing::shortHeader(-85.00055555556, 35.99944444444));
  testing::makeSparseRaster(dir.file("t.flt"));
  testing::plantSamples(dir.file("t.flt"), 2706, 2706, {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f});
  OpenDialog written;
  written.state.header.rasterPath = dir.file("t.flt");
  written.fields.clickRadio(kIdcBinaryForm, kForms);
  written.fields.texts[kIdcSelRemoveCount] = "2";
  written.desktop.chooseFile(dir.file("out.flt"));
  ASSERT_TRUE(written.command(kIdcWritePoints));
  finishWriteDialog(written.dialog);
  EXPECT_EQ(written.desktop.messageTexts(), std::vector<std::string>{"202500 points written."});

  WriteRequest request;
  request.header = written.state.header;
  request.selection = {2706, 2706, 1350, 1350, 2, 3};
  request.kind = OutputKind::BinaryFlt;
  request.xulcornerText = "-84.75";
  request.yulcornerText = "36.75";
  ScriptedDesktop direct;
  direct.chooseFile(dir.file("direct.flt"));
  ASSERT_EQ(writePoints(direct, Program::viewer, request), WriteOutcome::written);
  EXPECT_EQ(testing::readFile(dir.file("out.flt")), testing::readFile(dir.file("direct.flt")));
  EXPECT_EQ(testing::readFile(dir.file("out.hdr")), testing::readFile(dir.file("direct.hdr")));
  EXPECT_EQ(testing::readFile(dir.file("out.flt")).substr(0, 8),
            std::string("\x00\x00\xc0\x3f\x00\x00\x90\x40", 8));  // 1.5, then 4.5
}

// Only a raster that ends before the selection does ends the program, with 0 and after
// "End of File.": the dialog's logic says so and leaves the ending to the window.
TEST(WriteDialog, OnlyARasterEndingEarlyEndsTheProgramWith0) {
  constexpr int64_t kRowBytes = 10812 * 4;
  struct Case {
    const char* what;
    int command;
    int64_t rasterBytes;  // 0: no raster
    bool named;           // a name is given in the save dialog
    std::vector<std::string> messages;
    bool ends;
  };
  const Case cases[] = {
      {"written", kIdcWritePoints, 10812 * kRowBytes, true, {"9 points written."}, false},
      {"cancelled", kIdcCancelWrite, 10812 * kRowBytes, true, {"Click Center to Redraw."}, false},
      {"save dialog cancelled", kIdcWritePoints, 10812 * kRowBytes, false, {}, false},
      {"no raster", kIdcWritePoints, 0, true, {"Can't Open Gridfloat file."}, false},
      // The selection's three rows start at row 2706.
      {"ends in the second row",
       kIdcWritePoints,
       2707 * kRowBytes + 2708 * 4,
       true,
       {"End of File."},
       true},
      {"ends above the selection", kIdcWritePoints, 100 * kRowBytes, true, {"End of File."}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir dir;
    OpenDialog open;
    open.state.header.rasterPath = dir.file("t.flt");
    if (c.rasterBytes > 0) testing::makeSparseRaster(dir.file("t.flt"), c.rasterBytes);
    if (c.named) open.desktop.chooseFile(dir.file("out.csv"));
    open.fields.texts[kIdcSelCols] = "3";
    open.fields.texts[kIdcSelRows] = "3";
    ASSERT_TRUE(open.command(c.command));
    const WriteDialogResponse after = finishWriteDialog(open.dialog);
    EXPECT_EQ(open.desktop.messageTexts(), c.messages);
    EXPECT_EQ(after.endProgram, c.ends);
    EXPECT_EQ(after.exitStatus, 0);
    EXPECT_TRUE(open.desktop.endedWith.empty());
  }
}

// The Coordinates list: the local grid, then every map system whose domain holds the whole
// selection, those whose area of use holds its middle first.
TEST(WriteDialogCoordinates, ListsTheLocalGridThenTheSystemsHoldingTheSelectionsMiddle) {
  struct Case {
    int16_t level;
    int32_t origin;
    double latitude;  // the middle of the selection
    double longitude;
    std::vector<std::string> holding;  // entries of the first group
    std::vector<std::string> others;   // entries after it
    std::vector<std::string> absent;   // systems whose domain the selection leaves
  };
  const Case cases[] = {
      {5,
       kMiddleOrigin,
       36.5,
       -84.5,
       {kTennesseeFeet, "NAD83 / Kentucky South  EPSG:26980", kUtm16},
       {"NAD83 / UTM zone 17N  EPSG:26917", "NAD83 / UTM zone 15N  EPSG:26915"},
       {"NAD83 / UTM zone 10N  EPSG:26910", "NAD83 / UTM zone 14N  EPSG:26914",
        "NAD83 / Alabama East  EPSG:26929"}},
      // The quadrangle's middle, 36.6875 N, lies north of Tennessee's area of use (up to
      // 36.68 N); the next quadrangle's first row does, but its middle does not.
      {3,
       2706,
       36.6875,
       -84.6875,
       {"NAD83 / Kentucky South (ftUS)  EPSG:2247", kUtm16},
       {kTennesseeFeet, "NAD83 / Tennessee  EPSG:32136"},
       {"NAD83 / UTM zone 10N  EPSG:26910"}},
      {3, 3381, 36.625, -84.625, {kTennesseeFeet, "NAD83 / Tennessee  EPSG:32136"}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.latitude);
    OpenDialog open(c.level, c.origin);
    const std::vector<std::string>& entries = open.fields.lists[kIdcCoordinates];
    size_t holding = 0;
    const std::vector<size_t> order = orderedMapSystems(c.latitude, c.longitude, &holding);
    const GeoBox block = blockBox(open.state.header, open.state.selection);
    std::vector<std::string> expected = {kLocalGrid};
    for (size_t index : order)
      if (domainContains(mapSystem(index), block))
        expected.push_back(mapSystemLabel(mapSystem(index)));
    EXPECT_EQ(entries, expected);
    EXPECT_LT(entries.size(), mapSystemCount() / 4);
    const auto place = [&entries](const std::string& entry) {
      return static_cast<size_t>(std::find(entries.begin(), entries.end(), entry) -
                                 entries.begin());
    };
    for (const std::string& entry : c.holding) {
      EXPECT_GE(place(entry), 1u) << entry;
      EXPECT_LE(place(entry), holding) << entry;
    }
    for (const std::string& entry : c.others) {
      EXPECT_GT(place(entry), holding) << entry;
      EXPECT_LT(place(entry), entries.size()) << entry;
    }
    for (const std::string& entry : c.absent) EXPECT_EQ(place(entry), entries.size()) << entry;
  }
}

// Where the block's middle lies outside the chosen system's area of use but the block in
// its domain, a note says so before the write; a kept system whose domain the block leaves
// is not offered, and the dialog opens on the local grid.
TEST(WriteDialogCoordinates, NotesAWriteOutsideTheAreaOfUseAndNeverGivesASystemBeyondItsDomain) {
  struct Case {
    const char* picked;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {kUtm16, {"202500 points written."}},
      {"NAD83 / UTM zone 17N  EPSG:26917",
       {"The block lies outside the area of use of NAD83 / UTM zone 17N.",
        "202500 points written."}},
      {"NAD83 / Virginia South  EPSG:32147",
       {"The block lies outside the area of use of NAD83 / Virginia South.",
        "202500 points written."}},
      {kLocalGrid, {"202500 points written."}},
  };
  testing::TempDir dir;
  testing::writeFile(dir.file("t.hdr"), testing::shortHeader(-85.00055555556, 35.99944444444));
  testing::makeSparseRaster(dir.file("t.flt"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picked);
    OpenDialog open(5, kMiddleOrigin);
    open.state.header.rasterPath = dir.file("t.flt");
    open.pick(c.picked);
    open.desktop.chooseFile(dir.file("out.xyz"));
    ASSERT_TRUE(open.command(kIdcWritePoints));
    finishWriteDialog(open.dialog);
    EXPECT_EQ(open.desktop.messageTexts(), c.messages);
  }
  // Kept from a block elsewhere: UTM zone 10N and Alabama East are not offered here.
  for (const char* kept : {"26910", "26929"}) {
    OpenDialog open(5, kMiddleOrigin, kept);
    EXPECT_EQ(open.fields.shownEntry(kIdcCoordinates), kLocalGrid) << kept;
    EXPECT_FALSE(open.fields.pickListEntry(kIdcCoordinates, "NAD83 / UTM zone 10N  EPSG:26910"));
    ASSERT_TRUE(open.command(kIdcWritePoints));
    EXPECT_EQ(open.state.writeRequest.coordinateSystem, 0) << kept;
  }
}

// The dialog opens on the coordinates an earlier run kept, or on the local grid when none
// is kept or the list does not hold the code; a map system greys Northing and Easting,
// the local grid gives them back.
TEST(WriteDialogCoordinates, OpensOnTheKeptChoiceAndGreysTheStartForAMapSystem) {
  struct Case {
    const char* remembered;  // null: nothing kept
    const char* shown;
    std::vector<const char*> picks;
  };
  const Case cases[] = {
      {nullptr, kLocalGrid, {kUtm16, kTennesseeFeet, kLocalGrid}},
      {"0", kLocalGrid, {}},
      {"2274", kTennesseeFeet, {kLocalGrid, kUtm16}},
      {"26916", kUtm16, {}},
      {"26931", kLocalGrid, {}},  // not a system of the list
      {"1234", kLocalGrid, {}},
      {"2274 ", kLocalGrid, {}},
      {"-2274", kLocalGrid, {}},
      {"", kLocalGrid, {}},
      {"99999999999", kLocalGrid, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remembered == nullptr ? "nothing kept" : c.remembered);
    OpenDialog open(5, kMiddleOrigin, c.remembered);
    std::vector<const char*> shown = {c.shown};
    shown.insert(shown.end(), c.picks.begin(), c.picks.end());
    for (size_t i = 0; i < shown.size(); ++i) {
      if (i > 0) open.pick(shown[i]);
      EXPECT_EQ(open.fields.shownEntry(kIdcCoordinates), shown[i]);
      const bool localGrid = std::string(shown[i]) == kLocalGrid;
      EXPECT_EQ(open.fields.isEnabled(kIdcNorthing), localGrid);
      EXPECT_EQ(open.fields.isEnabled(kIdcEasting), localGrid);
      // Nothing else is greyed but the contour form's fields.
      for (const auto& control : open.fields.enabled) {
        if (control.first == kIdcNorthing || control.first == kIdcEasting) continue;
        EXPECT_EQ(control.second, control.first == kIdcSkipNoData) << control.first;
      }
    }
    // Opening and picking keep nothing.
    EXPECT_EQ(open.desktop.settings.size(), c.remembered == nullptr ? 0u : 1u);
    if (c.remembered != nullptr) {
      EXPECT_EQ(open.desktop.settings["Coordinates"], c.remembered);
    }
  }
}

// Write Pnts writes in the coordinates shown and keeps them for the next run. A map system
// reads no Northing or Easting: texts that are not numbers do not stop it.
TEST(WriteDialogCoordinates, WritePntsWritesInTheChoiceAndKeepsIt) {
  struct Case {
    const char* remembered;
    const char* picked;  // null: as shown
    int form;
    const char* typed;  // into Northing and Easting
    int32_t system;
    double start;  // the request's start coordinates after the write (7 unchanged)
  };
  const Case cases[] = {
      {nullptr, nullptr, kIdcRectangularForm, "1000.5", 0, 1000.5},
      {"2274", nullptr, kIdcProjectNorthForm, "N/A", 2274, 7},
      {"2274", kLocalGrid, kIdcRectangularForm, "12", 0, 12},
      {nullptr, kUtm16, kIdcRectangularForm, "x", 26916, 7},
      {"26916", kTennesseeFeet, kIdcCsvGridForm, "N/A", 2274, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.system);
    OpenDialog open(5, kMiddleOrigin, c.remembered);
    open.state.writeRequest.startEasting = 7;
    open.state.writeRequest.startNorthing = 7;
    if (c.picked != nullptr) open.pick(c.picked);
    open.fields.clickRadio(c.form, kForms);
    open.fields.texts[kIdcNorthing] = c.typed;
    open.fields.texts[kIdcEasting] = c.typed;
    EXPECT_TRUE(open.command(kIdcWritePoints));
    EXPECT_TRUE(open.desktop.messages.empty());
    EXPECT_EQ(open.state.writeRequest.coordinateSystem, c.system);
    EXPECT_EQ(open.state.writeRequest.startNorthing, c.start);
    EXPECT_EQ(open.state.writeRequest.startEasting, c.start);
    EXPECT_EQ(open.desktop.settings["Coordinates"], std::to_string(c.system));
  }
  // A refused write and Cancel keep nothing.
  for (int command : {kIdcWritePoints, kIdcCancelWrite}) {
    OpenDialog open(5, kMiddleOrigin, "2274");
    open.pick(kLocalGrid);
    open.fields.texts[kIdcNorthing] = "x";
    open.command(command);
    EXPECT_EQ(open.desktop.settings["Coordinates"], "2274");
  }
}

// With a map system, Estimates counts the X and Y of the first point written, the centre
// of the block's north-west cell, as "%.3lf" prints PROJ's projection of it.
TEST(WriteDialogCoordinates, EstimatesCountTheFirstPointsProjectedCoordinates) {
  ASSERT_TRUE(testing::haveCs2cs())
      << "PROJ's cs2cs is not installed (proj-bin, scripts/install-deps.sh): this test needs it";
  struct Case {
    const char* picked;
    const char* target;
    int form;
    uint32_t removeCount;
  };
  const Case cases[] = {
      {kTennesseeFeet, "EPSG:2274", kIdcRectangularForm, 0},
      {kUtm16, "EPSG:26916", kIdcProjectNorthForm, 2},
      {"NAD83 / Kentucky South  EPSG:26980", "EPSG:26980", kIdcRectangularForm, 0},
  };
  // Row and column 5181: 10812 - 5181 - 0.5 cells above the tile's south edge, 5181.5 east
  // of its west edge.
  const long double cell = 1.0L / 10800.0L;
  const double latitude = static_cast<double>(35.99944444444L + 5630.5L * cell);
  const double longitude = static_cast<double>(-85.00055555556L + 5181.5L * cell);
  std::vector<testing::ProjBatch> batches;
  for (const Case& c : cases) batches.push_back({c.target, {latitude}, {longitude}, {}, {}});
  ASSERT_TRUE(testing::projectWithProj(batches));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.target);
    OpenDialog open(5, kMiddleOrigin);
    open.pick(c.picked);
    open.fields.clickRadio(c.form, kForms);
    open.fields.texts[kIdcNorthing] = "N/A";
    open.fields.texts[kIdcEasting] = "N/A";
    open.fields.texts[kIdcSelRemoveCount] = std::to_string(c.removeCount);
    EXPECT_FALSE(open.command(kIdcEstimates));
    EXPECT_TRUE(open.desktop.messages.empty());
    char easting[64];
    char northing[64];
    std::snprintf(easting, sizeof easting, "%.3lf", batches[i].eastings.at(0));
    std::snprintf(northing, sizeof northing, "%.3lf", batches[i].northings.at(0));
    const uint64_t points =
        static_cast<uint64_t>(estimatePoints(Program::viewer, 450 * 450, c.removeCount));
    const uint64_t bytes =
        points * (std::string(easting).size() + std::string(northing).size() + 22);
    EXPECT_EQ(open.fields.texts[kIdcEstimatedSize], formatSize(bytes));
    EXPECT_NE(open.fields.texts[kIdcEstimatedSize], formatSize(points * 34));  // not "200000"
    EXPECT_EQ(open.fields.texts[kIdcNorthing], "N/A");  // the greyed texts stay as they were
  }
}

}  // namespace
}  // namespace ned

namespace ned {
namespace {

// "Skip cells without data": usable for the XYZ forms only, greyed for the grids as soon as
// one is clicked; what Write Pnts asks of the writer, and what Estimates counts. Cells of
// -9999 planted in and just outside a 10 x 10 block of the quadrangle; the count is held
// to a literal loop over the planted cells.
TEST(WriteDialogSkipNoData, GreyedForTheGridsAndCountedByTheEstimate) {
  testing::TempDir dir;
  const std::string raster = dir.file("t.flt");
  testing::makeSparseRaster(raster);
  const std::vector<std::pair<int32_t, int32_t>> planted = {
      {2706, 2706}, {2706, 2707}, {2706, 2708}, {2706, 2709}, {2706, 2710},
      {2706, 2711}, {2707, 2715}, {2707, 2716}, {2716, 2706}, {2714, 2714}};
  for (const auto& cell : planted)
    testing::plantSamples(raster, cell.first, cell.second, {-9999.0f});
  const auto keptWithData = [&planted](uint32_t step) {
    int32_t count = 0;
    for (int32_t i = 0; i < 10; i += static_cast<int32_t>(step)) {
      for (int32_t j = 0; j < 10; j += static_cast<int32_t>(step)) {
        const std::pair<int32_t, int32_t> cell(2706 + i, 2706 + j);
        count += std::find(planted.begin(), planted.end(), cell) == planted.end();
      }
    }
    return count;
  };
  struct Case {
    int form;
    bool checked;
    uint32_t removeCount;
    bool rasterThere;
    bool usable;  // the box, after the form's click
    bool skips;   // the request Write Pnts makes
    uint64_t bytesPerPoint;
  };
  const Case cases[] = {
      {kIdcRectangularForm, true, 0, true, true, true, 34},
      {kIdcProjectNorthForm, true, 1, true, true, true, 34},
      {kIdcProjectNorthForm, true, 3, true, true, true, 34},
      {kIdcRectangularForm, false, 1, true, true, false, 34},
      {kIdcCsvGridForm, true, 0, true, false, false, 8},
      {kIdcBinaryForm, true, 1, true, false, false, 4},
      // No raster to count: the estimate of the selection, and the write says what is wrong.
      {kIdcRectangularForm, true, 1, false, true, true, 34},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.form) + (c.checked ? " checked, remove " : ", remove ") +
                 std::to_string(c.removeCount));
    OpenDialog open;
    open.state.header.rasterPath = c.rasterThere ? raster : dir.file("none.flt");
    EXPECT_TRUE(open.fields.isEnabled(kIdcSkipNoData));
    open.fields.clickRadio(c.form, kForms);
    EXPECT_FALSE(open.command(c.form));
    EXPECT_EQ(open.fields.isEnabled(kIdcSkipNoData), c.usable);
    open.fields.checks[kIdcSkipNoData] = c.checked;
    open.fields.texts[kIdcSelCols] = "10";
    open.fields.texts[kIdcSelRows] = "10";
    open.fields.texts[kIdcSelRemoveCount] = std::to_string(c.removeCount);
    EXPECT_FALSE(open.command(kIdcEstimates));
    const bool counted = c.skips && c.rasterThere;
    const int32_t points = counted ? keptWithData(c.removeCount + 1)
                                   : estimatePoints(Program::viewer, 100, c.removeCount);
    EXPECT_EQ(open.fields.texts[kIdcEstimatedPoints],
              !counted && c.removeCount == 0 ? std::string() : std::to_string(points));
    EXPECT_EQ(open.fields.texts[kIdcEstimatedSize],
              formatSize(static_cast<uint64_t>(points) * c.bytesPerPoint));
    ASSERT_TRUE(open.command(kIdcWritePoints));
    EXPECT_EQ(open.state.writeRequest.skipNoData, c.skips);
  }
  // The planted cells matter to every count: 92 of the 100 hold data, 21 of the 25 kept
  // every second row and column, 6 of the 9 kept every fourth.
  EXPECT_EQ(keptWithData(1), 92);
  EXPECT_EQ(keptWithData(2), 21);
  EXPECT_EQ(keptWithData(4), 6);
}

// The box opens as an earlier run of either program left it (unchecked when nothing is
// kept); Write Pnts keeps its state, greyed or not; Cancel and a refused write keep nothing.
TEST(WriteDialogSkipNoData, OpensAsKeptAndWritePntsKeepsIt) {
  struct Case {
    const char* remembered;  // null: nothing kept
    bool shown;
    bool click;  // the user clicks the box
    int form;
    int command;
    const char* kept;  // null: nothing kept
  };
  const Case cases[] = {
      {nullptr, false, false, kIdcRectangularForm, kIdcWritePoints, "0"},
      {nullptr, false, true, kIdcProjectNorthForm, kIdcWritePoints, "1"},
      {"1", true, false, kIdcRectangularForm, kIdcWritePoints, "1"},
      {"1", true, true, kIdcRectangularForm, kIdcWritePoints, "0"},
      {"1", true, false, kIdcCsvGridForm, kIdcWritePoints, "1"},  // greyed, still the choice
      {"0", false, false, kIdcRectangularForm, kIdcWritePoints, "0"},
      {"yes", false, false, kIdcRectangularForm, kIdcWritePoints, "0"},
      {"1", true, true, kIdcRectangularForm, kIdcCancelWrite, "1"},
      {nullptr, false, true, kIdcRectangularForm, kIdcCancelWrite, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.remembered == nullptr ? "nothing" : c.remembered) +
                 (c.click ? ", clicked" : ""));
    OpenDialog open;
    if (c.remembered != nullptr) {
      open.desktop.settings["SkipCellsWithoutData"] = c.remembered;
      initWriteDialog(open.dialog, open.fields);
    }
    EXPECT_EQ(open.fields.checks[kIdcSkipNoData], c.shown);
    if (c.click) open.fields.checks[kIdcSkipNoData] = !c.shown;
    open.fields.clickRadio(c.form, kForms);
    open.command(c.form);
    EXPECT_TRUE(open.command(c.command));
    const auto kept = open.desktop.settings.find("SkipCellsWithoutData");
    if (c.kept == nullptr) {
      EXPECT_TRUE(kept == open.desktop.settings.end());
    } else {
      ASSERT_TRUE(kept != open.desktop.settings.end());
      EXPECT_EQ(kept->second, c.kept);
    }
  }
}

// The contour and surface forms: their radio buttons join the group; the interval and
// "Index every" are usable with the contours alone, the tolerance with the surfaces alone,
// the box "Skip cells without data" with neither. The dialog opens on the contours or a
// surface when an earlier run of either program last made them, otherwise on the
// rectangular points, and with the fields kept.
TEST(WriteDialogContours, OpensAsKeptAndGreysTheFieldsOfTheOtherForms) {
  const int forms[] = {kIdcRectangularForm, kIdcProjectNorthForm, kIdcBinaryForm, kIdcCsvGridForm,
                       kIdcDxfContoursForm, kIdcLandXmlTinForm,   kIdcDxfTinForm};
  struct Case {
    const char* form;  // the kept values; null: nothing kept
    const char* interval;
    const char* every;
    const char* tolerance;
    int shown;  // the radio button checked at the start
    const char* intervalShown;
    const char* everyShown;
    const char* toleranceShown;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, nullptr, kIdcRectangularForm, "1", "5", "0.1"},
      {"contours", "2", "10", "0.3", kIdcDxfContoursForm, "2", "10", "0.3"},
      {"landxml", "2", "10", " .05 ", kIdcLandXmlTinForm, "2", "10", " .05 "},
      {"dxftin", "2", "10", "1.", kIdcDxfTinForm, "2", "10", "1."},
      // A point form kept opens as the dialog always has, on the rectangular points.
      {"binary", "0.5", "0", "2", kIdcRectangularForm, "0.5", "0", "2"},
      // Refused values are not shown.
      {"csv", "0", "-1", "0", kIdcRectangularForm, "1", "5", "0.1"},
      {"north", "abc", "1.5", "-0.3", kIdcRectangularForm, "1", "5", "0.1"},
      {"LandXML", "2", "10", "nan", kIdcRectangularForm, "2", "10", "0.1"},
      // Longer than typed.
      {"Contours", "123456789", "1000", "123456789", kIdcRectangularForm, "1", "5", "0.1"},
      {"", "", "", "", kIdcRectangularForm, "1", "5", "0.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form == nullptr ? "nothing kept" : c.form);
    OpenDialog open;
    if (c.form != nullptr) {
      open.desktop.settings["OutputForm"] = c.form;
      open.desktop.settings["ContourInterval"] = c.interval;
      open.desktop.settings["IndexContourEvery"] = c.every;
      open.desktop.settings["SurfaceTolerance"] = c.tolerance;
      initWriteDialog(open.dialog, open.fields);
    }
    EXPECT_EQ(open.fields.texts[kIdcSurfaceTolerance], c.toleranceShown);
    EXPECT_EQ(open.fields.limits[kIdcSurfaceTolerance], 8);
    EXPECT_EQ(open.fields.texts[kIdcContourInterval], c.intervalShown);
    EXPECT_EQ(open.fields.texts[kIdcIndexEvery], c.everyShown);
    EXPECT_EQ(open.fields.limits[kIdcContourInterval], 8);
    EXPECT_EQ(open.fields.limits[kIdcIndexEvery], 3);
    std::vector<int> clicks = {c.shown};  // the state at the start, then every form clicked
    clicks.insert(clicks.end(), std::begin(forms), std::end(forms));
    for (size_t i = 0; i < clicks.size(); ++i) {
      const int form = clicks[i];
      SCOPED_TRACE(form);
      if (i > 0) {
        open.fields.clickRadio(form, forms);
        EXPECT_FALSE(open.command(form));
      }
      for (int radio : forms) EXPECT_EQ(open.fields.checks[radio], radio == form);
      const bool xyz = form == kIdcRectangularForm || form == kIdcProjectNorthForm;
      EXPECT_EQ(open.fields.isEnabled(kIdcSkipNoData), xyz);
      EXPECT_EQ(open.fields.isEnabled(kIdcContourInterval), form == kIdcDxfContoursForm);
      EXPECT_EQ(open.fields.isEnabled(kIdcIndexEvery), form == kIdcDxfContoursForm);
      EXPECT_EQ(open.fields.isEnabled(kIdcSurfaceTolerance),
                form == kIdcLandXmlTinForm || form == kIdcDxfTinForm);
    }
  }
}

// Write Pnts with the contours reads the interval, a plain decimal number above 0, and
// "Index every", a whole number; every other text is refused with its message, the dialog
// stays open and nothing is written or kept. Held to the C library's reading of the texts.
// The other forms do not read the fields.
TEST(WriteDialogContours, WritePntsRefusesABadIntervalOrIndexCount) {
  const char* const kInterval = "The contour interval must be a number greater than 0.";
  const char* const kEvery =
      "Index every must be a whole number of lines, 0 for no index contours.";
  struct Case {
    int form;
    const char* interval;
    const char* every;
    const char* refusal;  // null: written
  };
  const Case cases[] = {
      {kIdcDxfContoursForm, "1", "5", nullptr},
      {kIdcDxfContoursForm, "0.5", "0", nullptr},
      {kIdcDxfContoursForm, " 2 ", "10", nullptr},
      {kIdcDxfContoursForm, ".25", "999", nullptr},
      {kIdcDxfContoursForm, "5.", "1", nullptr},
      {kIdcDxfContoursForm, "0", "5", kInterval},
      {kIdcDxfContoursForm, "0.000", "5", kInterval},
      {kIdcDxfContoursForm, "-1", "5", kInterval},
      {kIdcDxfContoursForm, "", "5", kInterval},
      {kIdcDxfContoursForm, "abc", "5", kInterval},
      {kIdcDxfContoursForm, "2ft", "5", kInterval},
      {kIdcDxfContoursForm, "1e3", "5", kInterval},
      {kIdcDxfContoursForm, "1.2.3", "5", kInterval},
      {kIdcDxfContoursForm, ".", "5", kInterval},
      {kIdcDxfContoursForm, "inf", "5", kInterval},
      {kIdcDxfContoursForm, "nan", "x", kInterval},  // the interval is told first
      {kIdcDxfContoursForm, "2", "", kEvery},
      {kIdcDxfContoursForm, "2", "-1", kEvery},
      {kIdcDxfContoursForm, "2", "1.5", kEvery},
      {kIdcDxfContoursForm, "2", "five", kEvery},
      {kIdcCsvGridForm, "0", "x", nullptr},
      {kIdcRectangularForm, "-1", "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.interval) + " / " + c.every + " form " + std::to_string(c.form));
    OpenDialog open;
    const int forms[] = {kIdcRectangularForm, kIdcProjectNorthForm, kIdcBinaryForm, kIdcCsvGridForm,
                         kIdcDxfContoursForm};
    open.fields.clickRadio(c.form, forms);
    EXPECT_FALSE(open.command(c.form));
    open.fields.texts[kIdcContourInterval] = c.interval;
    open.fields.texts[kIdcIndexEvery] = c.every;
    open.fields.texts[kIdcSelRows] = "20";
    open.state.actionOk = 1;
    const bool ended = open.command(kIdcWritePoints);
    if (c.refusal != nullptr) {
      EXPECT_FALSE(ended);
      ASSERT_EQ(open.desktop.messages.size(), 1u);
      EXPECT_EQ(open.desktop.messages[0].text, c.refusal);
      EXPECT_EQ(open.desktop.messages[0].caption, "Notice");
      EXPECT_TRUE(open.desktop.messages[0].style == kTaskModalMessage);
      EXPECT_EQ(open.desktop.messages[0].owner, open.fields.owner());
      EXPECT_EQ(open.dialog.end, WriteDialogEnd::open);
      EXPECT_EQ(open.state.writeDialogOpen, 1);
      EXPECT_EQ(open.state.actionOk, 0);
      EXPECT_EQ(open.state.selection.rows, 1350u);  // nothing was read into the selection
      EXPECT_TRUE(open.state.writeRequest.kind == OutputKind::RectangularXyz);
      EXPECT_TRUE(open.desktop.settings.empty());
      EXPECT_EQ(open.fields.texts[kIdcContourInterval], c.interval);
      finishWriteDialog(open.dialog);
      EXPECT_TRUE(open.desktop.dialogs.empty());  // no save dialog: nothing is written
      continue;
    }
    ASSERT_TRUE(ended);
    EXPECT_TRUE(open.desktop.messages.empty());
    EXPECT_EQ(open.dialog.end, WriteDialogEnd::write);
    EXPECT_EQ(open.state.selection.rows, 20u);
    const WriteRequest& request = open.state.writeRequest;
    if (c.form != kIdcDxfContoursForm) {
      EXPECT_EQ(request.contourInterval, 1.0);
      EXPECT_EQ(request.indexEvery, 5u);
      continue;
    }
    EXPECT_TRUE(request.kind == OutputKind::DxfContours);
    EXPECT_EQ(request.contourInterval, std::strtod(c.interval, nullptr));
    EXPECT_EQ(request.indexEvery, static_cast<uint32_t>(std::strtoul(c.every, nullptr, 10)));
    // The save dialog offers the drawing.
    finishWriteDialog(open.dialog);
    ASSERT_FALSE(open.desktop.dialogs.empty());
    const FileDialogRequest& save = open.desktop.dialogs[0].request;
    ASSERT_EQ(save.filters.size(), 1u);
    EXPECT_EQ(save.filters[0].text, "DXF Drawing (*.dxf)");
    EXPECT_EQ(save.filters[0].pattern, "*.dxf");
    EXPECT_EQ(save.defaultExtension, "dxf");
  }
}

// Write Pnts keeps the form for the next run of either program, and the contour fields as
// typed when the contours are written; Cancel keeps nothing. Estimates give the kept cells
// the lines are traced over and no size; the contours start from the typed Northing and
// Easting in the local grid, so those are checked as for the points, never set to "N/A".
TEST(WriteDialogContours, WritePntsKeepsTheFormAndEstimatesCountTheTracedCells) {
  struct Case {
    int form;
    int command;
    const char* keptForm;  // null: nothing kept
    const char* keptInterval;
  };
  const Case cases[] = {
      {kIdcDxfContoursForm, kIdcWritePoints, "contours", "2.5"},
      {kIdcCsvGridForm, kIdcWritePoints, "csv", nullptr},
      {kIdcBinaryForm, kIdcWritePoints, "binary", nullptr},
      {kIdcProjectNorthForm, kIdcWritePoints, "north", nullptr},
      {kIdcRectangularForm, kIdcWritePoints, "rectangular", nullptr},
      {kIdcDxfContoursForm, kIdcCancelWrite, nullptr, nullptr},
  };
  const int forms[] = {kIdcRectangularForm, kIdcProjectNorthForm, kIdcBinaryForm, kIdcCsvGridForm,
                       kIdcDxfContoursForm};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form);
    OpenDialog open;
    open.fields.clickRadio(c.form, forms);
    open.command(c.form);
    open.fields.texts[kIdcContourInterval] = "2.5";
    open.fields.texts[kIdcIndexEvery] = "4";
    EXPECT_TRUE(open.command(c.command));
    const auto find = [&open](const char* name) {
      const auto found = open.desktop.settings.find(name);
      return found == open.desktop.settings.end() ? std::string("none") : found->second;
    };
    EXPECT_EQ(find("OutputForm"), c.keptForm == nullptr ? "none" : c.keptForm);
    EXPECT_EQ(find("ContourInterval"), c.keptInterval == nullptr ? "none" : c.keptInterval);
    EXPECT_EQ(find("IndexContourEvery"), c.keptInterval == nullptr ? "none" : "4");
  }

  struct Estimate {
    uint32_t removeCount;
    const char* coordinates;
    const char* northing;
    const char* refusal;  // null: estimated
  };
  const Estimate estimates[] = {
      {0, kLocalGrid, "200000", nullptr},
      {1, kLocalGrid, "200000", nullptr},
      {2, kTennesseeFeet, "N/A", nullptr},  // a map system reads no Northing
      {1, kLocalGrid, "N/A", "Non Numerical Northing."},
  };
  for (const Estimate& e : estimates) {
    SCOPED_TRACE(std::to_string(e.removeCount) + " " + e.coordinates);
    OpenDialog open(5, kMiddleOrigin);
    open.fields.clickRadio(kIdcDxfContoursForm, forms);
    open.command(kIdcDxfContoursForm);
    open.pick(e.coordinates);
    open.fields.texts[kIdcNorthing] = e.northing;
    open.fields.texts[kIdcSelRemoveCount] = std::to_string(e.removeCount);
    open.fields.texts[kIdcEstimatedSize] = "old";
    EXPECT_FALSE(open.command(kIdcEstimates));
    const int32_t kept = estimatePoints(Program::viewer, 202500, e.removeCount);
    EXPECT_EQ(open.fields.texts[kIdcEstimatedPoints],
              e.removeCount == 0 ? std::string() : std::to_string(kept));
    EXPECT_EQ(open.fields.texts[kIdcNorthing], e.northing);
    EXPECT_EQ(open.fields.texts[kIdcEasting], "200000");
    EXPECT_EQ(open.desktop.messageTexts(), e.refusal == nullptr
                                               ? std::vector<std::string>{}
                                               : std::vector<std::string>{e.refusal});
    EXPECT_EQ(open.fields.texts[kIdcEstimatedSize], e.refusal == nullptr ? "" : "old");
  }
}

// Write Pnts with a surface reads the tolerance, a plain decimal number above 0, into the
// request with the surface's form; any other text is refused with its message, the dialog
// stays open and nothing is written or kept. A written surface keeps its form and the
// tolerance as typed; the other forms neither read nor keep it. Held to the C library's
// reading of the texts.
TEST(WriteDialogSurfaces, WritePntsReadsAndKeepsTheToleranceOrRefusesIt) {
  const char* const kRefusal = "The tolerance must be a number greater than 0.";
  const int forms[] = {kIdcRectangularForm, kIdcProjectNorthForm, kIdcBinaryForm, kIdcCsvGridForm,
                       kIdcDxfContoursForm, kIdcLandXmlTinForm,   kIdcDxfTinForm};
  struct Case {
    int form;
    const char* tolerance;
    bool refused;
  };
  const Case cases[] = {
      {kIdcLandXmlTinForm, "0.3", false}, {kIdcDxfTinForm, "0.1", false},
      {kIdcLandXmlTinForm, " 2 ", false}, {kIdcDxfTinForm, ".05", false},
      {kIdcLandXmlTinForm, "5.", false},  {kIdcLandXmlTinForm, "0", true},
      {kIdcDxfTinForm, "0.000", true},    {kIdcLandXmlTinForm, "-0.3", true},
      {kIdcDxfTinForm, "", true},         {kIdcLandXmlTinForm, "abc", true},
      {kIdcDxfTinForm, "0.3ft", true},    {kIdcLandXmlTinForm, "1e-3", true},
      {kIdcDxfTinForm, "1.2.3", true},    {kIdcLandXmlTinForm, ".", true},
      {kIdcDxfTinForm, "inf", true},      {kIdcLandXmlTinForm, "nan", true},
      {kIdcDxfContoursForm, "0", false},  // the other forms do not read the tolerance
      {kIdcRectangularForm, "x", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tolerance) + " form " + std::to_string(c.form));
    OpenDialog open;
    open.fields.clickRadio(c.form, forms);
    EXPECT_FALSE(open.command(c.form));
    open.fields.texts[kIdcSurfaceTolerance] = c.tolerance;
    open.fields.texts[kIdcSelRows] = "20";
    open.state.actionOk = 1;
    const bool ended = open.command(kIdcWritePoints);
    const auto find = [&open](const char* name) {
      const auto found = open.desktop.settings.find(name);
      return found == open.desktop.settings.end() ? std::string("none") : found->second;
    };
    if (c.refused) {
      EXPECT_FALSE(ended);
      ASSERT_EQ(open.desktop.messages.size(), 1u);
      EXPECT_EQ(open.desktop.messages[0].text, kRefusal);
      EXPECT_EQ(open.desktop.messages[0].caption, "Notice");
      EXPECT_TRUE(open.desktop.messages[0].style == kTaskModalMessage);
      EXPECT_EQ(open.desktop.messages[0].owner, open.fields.owner());
      EXPECT_EQ(open.dialog.end, WriteDialogEnd::open);
      EXPECT_EQ(open.state.writeDialogOpen, 1);
      EXPECT_EQ(open.state.actionOk, 0);
      EXPECT_EQ(open.state.selection.rows, 1350u);
      EXPECT_TRUE(open.state.writeRequest.kind == OutputKind::RectangularXyz);
      EXPECT_EQ(open.state.writeRequest.tolerance, 0.1);
      EXPECT_TRUE(open.desktop.settings.empty());
      finishWriteDialog(open.dialog);
      EXPECT_TRUE(open.desktop.dialogs.empty());  // no save dialog: nothing is written
      continue;
    }
    ASSERT_TRUE(ended);
    EXPECT_TRUE(open.desktop.messages.empty());
    EXPECT_EQ(open.dialog.end, WriteDialogEnd::write);
    EXPECT_EQ(open.state.selection.rows, 20u);
    const WriteRequest& request = open.state.writeRequest;
    const bool surface = c.form == kIdcLandXmlTinForm || c.form == kIdcDxfTinForm;
    EXPECT_EQ(request.tolerance, surface ? std::strtod(c.tolerance, nullptr) : 0.1);
    EXPECT_EQ(find("SurfaceTolerance"), surface ? c.tolerance : "none");
    if (c.form == kIdcLandXmlTinForm) {
      EXPECT_TRUE(request.kind == OutputKind::LandXmlTin);
      EXPECT_EQ(find("OutputForm"), "landxml");
    } else if (c.form == kIdcDxfTinForm) {
      EXPECT_TRUE(request.kind == OutputKind::DxfTin);
      EXPECT_EQ(find("OutputForm"), "dxftin");
    }
    EXPECT_FALSE(request.skipNoData);
  }
}

// Estimates with a surface give the kept cells the surface is fitted to and no size; a
// surface starts from the typed Northing and Easting in the local grid, so those are checked
// as for the points, never set to "N/A".
TEST(WriteDialogSurfaces, EstimatesCountTheFittedCells) {
  const int forms[] = {kIdcRectangularForm, kIdcProjectNorthForm, kIdcBinaryForm, kIdcCsvGridForm,
                       kIdcDxfContoursForm, kIdcLandXmlTinForm,   kIdcDxfTinForm};
  struct Estimate {
    int form;
    uint32_t removeCount;
    const char* coordinates;
    const char* northing;
    const char* refusal;  // null: estimated
  };
  const Estimate estimates[] = {
      {kIdcLandXmlTinForm, 0, kLocalGrid, "200000", nullptr},
      {kIdcDxfTinForm, 1, kLocalGrid, "200000", nullptr},
      {kIdcLandXmlTinForm, 2, kTennesseeFeet, "N/A", nullptr},  // a map system reads no Northing
      {kIdcDxfTinForm, 1, kLocalGrid, "N/A", "Non Numerical Northing."},
  };
  for (const Estimate& e : estimates) {
    SCOPED_TRACE(std::to_string(e.form) + " " + std::to_string(e.removeCount) + " " +
                 e.coordinates);
    OpenDialog open(5, kMiddleOrigin);
    open.fields.clickRadio(e.form, forms);
    open.command(e.form);
    open.pick(e.coordinates);
    open.fields.texts[kIdcNorthing] = e.northing;
    open.fields.texts[kIdcSelRemoveCount] = std::to_string(e.removeCount);
    open.fields.texts[kIdcEstimatedSize] = "old";
    EXPECT_FALSE(open.command(kIdcEstimates));
    const int32_t kept = estimatePoints(Program::viewer, 202500, e.removeCount);
    EXPECT_EQ(open.fields.texts[kIdcEstimatedPoints],
              e.removeCount == 0 ? std::string() : std::to_string(kept));
    EXPECT_EQ(open.fields.texts[kIdcNorthing], e.northing);
    EXPECT_EQ(open.fields.texts[kIdcEasting], "200000");
    EXPECT_EQ(open.desktop.messageTexts(), e.refusal == nullptr
                                               ? std::vector<std::string>{}
                                               : std::vector<std::string>{e.refusal});
    EXPECT_EQ(open.fields.texts[kIdcEstimatedSize], e.refusal == nullptr ? "" : "old");
  }
}

}  // namespace
}  // namespace ned
