// The "Write Selected NED Points" dialog: what it shows, what Write Pnts, Estimates and
// Cancel read and tell, and the write that follows.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "core/export/point_writer.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_fields.h"
#include "tests/support/tile_files.h"
#include "viewer/write_dialog.h"

namespace ned {
namespace {

using testing::ScriptedDesktop;
using testing::ScriptedFields;

const int kForms[] = {kIdcRectangularForm, kIdcProjectNorthForm, kIdcBinaryForm, kIdcCsvGridForm};

// The demo tile's quadrangle at origin (2706, 2706), all of it selected.
struct OpenDialog {
  ViewerState state;
  ScriptedDesktop desktop;
  ScriptedFields fields;
  WriteDialog dialog;

  explicit OpenDialog(int16_t level = 3) {
    state.header.tileWestLon = 85.00055555556;
    state.header.tileSouthLat = 35.99944444444;
    state.viewLevel = level;
    state.renderedStartRow = 2706;
    state.renderedStartCol = 2706;
    state.selectAllPending = 1;
    prepareSelection(state);
    dialog.state = &state;
    dialog.desktop = &desktop;
    initWriteDialog(dialog, fields);
  }
  bool command(int id) { return writeDialogCommand(dialog, id, fields); }
};

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
                                          {kIdcNorthing, 11}}));
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

}  // namespace
}  // namespace ned
