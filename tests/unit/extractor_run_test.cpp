#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/tile/raster.h"
#include "extractor/extractor_driver.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::cancelled;
using testing::outputDialog;
using testing::ScriptedDesktop;
using testing::ScriptedDialogs;
using testing::selectDialog;
using testing::TempDir;

const char* const kLongitudeText = "Longitude out of limits.\n     Try again.";
const char* const kLatitudeText = "Latitude out of limits.\n     Try again.";
const char* const kParallelText = "This only works from 18th to 75th parallel.";
const char* const kPatienceText =
    "             This can take along time, so have patience.\n"
    "        It's still working if the hard drive light is flashing.\n"
    "\n"
    "It took my old 1.8Ghz laptop 10 minutes to write 116M points.";

std::string question(int estimate) {
  return "You have chosen to write approximately\n" + std::to_string(estimate) +
         " points.  That's alot of points ! !\nAre you sure you want to continue?";
}

// One run of gridpick over a tile in a temporary folder: the tile spans northLat - 1 to
// northLat degrees north and 83 to 84 degrees west.
class ExtractorRunTest : public ::testing::Test {
 protected:
  void makeTile(int northLat = 35, int64_t rasterBytes = INT64_C(467597376)) {
    testing::writeFile(headerPath(),
                       testing::shortHeader(-84.00055555556, northLat - 2 + 0.99944444444));
    testing::makeSparseRaster(rasterPath(), rasterBytes);
    desktop.chooseFile(headerPath());
  }
  std::string headerPath() const { return dir.file("tile.hdr"); }
  std::string rasterPath() const { return dir.file("tile.flt"); }
  std::string outputPath() const { return dir.file("points.csv"); }

  // The run. The tile lies alone in its folder, so a block past its edges is cut there
  // with a message; the tests of other rules drop that message (checked to be the cut).
  int run() {
    const int status = runExtractor(desktop, dialogs, record);
    const std::string cut = "The block runs past this tile into ";
    for (size_t k = desktop.messages.size(); k-- > 0;) {
      const std::string& text = desktop.messages[k].text;
      if (text.rfind(cut, 0) != 0) continue;
      EXPECT_NE(text.find("\nThe block is cut at the tile's "), std::string::npos) << text;
      desktop.events.erase(
          std::find(desktop.events.begin(), desktop.events.end(), "message:" + text));
      desktop.messages.erase(desktop.messages.begin() + static_cast<long>(k));
    }
    return status;
  }

  // The run up to dialog 102, which is cancelled; gives the fields dialog 102 showed.
  testing::ScriptedFields sizeShownFor(const std::string& lat, const std::string& lon,
                                       const std::string& east, const std::string& south) {
    dialogs.scripts = {selectDialog(lat, lon, east, south), cancelled(kOutputDialogId)};
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(dialogs.shown.size(), 2u);
    return dialogs.shown.back().second;
  }

  TempDir dir;
  ScriptedDesktop desktop;
  ScriptedDialogs dialogs;
  ExtractorRun record;
};

TEST(TileName, IsBuiltFromTheNorthAndWestEdges) {
  TileHeader header;
  header.tileWestLon = 84.00055555556;
  header.tileSouthLat = 33.99944444444;
  EXPECT_EQ(tileName(header), "File - N35  W84");
  header.tileWestLon = 100.000555555555;
  header.tileSouthLat = 8.999444444445;
  EXPECT_EQ(tileName(header), "File - N10  W100");
}

// Every whole second of a tile as the viewer shows its corner, typed into dialog 101 (at
// most 8 characters, the longitude without its minus): the checks take it and the parser
// lands on the same row and column. 29 of the 3601 show seconds of 60.
TEST(CornerTexts, EveryCornerTheViewerShowsLeadsBackToItsCell) {
  for (const int32_t north : {19, 37, 75}) {
    TileHeader header;
    header.tileSouthLat = north - 2 + 0.99944444444;
    header.tileWestLon = north + 63.00055555556;
    int showingSixtySeconds = 0;
    for (int32_t cell = 6; cell <= 10806; cell += 3) {
      Selection selection;
      selection.startRow = selection.startCol = cell;
      const UpperLeftCorner corner = upperLeft(header, selection);
      const double lat = parseLeadingDouble(corner.ulLatText.substr(0, 8).c_str());
      const double lon = parseLeadingDouble(corner.ulLonText.substr(1, 8).c_str());
      ASSERT_TRUE(latitudeInLimits(header, lat)) << corner.ulLatText;
      ASSERT_TRUE(longitudeInLimits(header, lon)) << corner.ulLonText;
      ASSERT_EQ(parseDdMmSs(lat, northEdgeLat(header), true), cell) << corner.ulLatText;
      ASSERT_EQ(parseDdMmSs(lon, westEdgeLon(header), false), cell) << corner.ulLonText;
      if (corner.ulLatText.substr(corner.ulLatText.size() - 2) == "60") ++showingSixtySeconds;
    }
    EXPECT_EQ(showingSixtySeconds, 29) << north;
  }
}

TEST_F(ExtractorRunTest, EndsAtTheTileAsTheOpenSequenceSays) {
  // No header chosen: 0, nothing said, no dialog.
  EXPECT_EQ(run(), 0);
  EXPECT_TRUE(desktop.messages.empty());

  // A header that cannot be opened.
  desktop.chooseFile(dir.file("missing.hdr"));
  EXPECT_EQ(run(), 1);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "Can't open header file.");
  EXPECT_EQ(desktop.messages[0].caption, "Message");

  // A header without its raster.
  testing::writeFile(headerPath(), testing::shortHeader(-84.00055555556, 33.99944444444));
  desktop.chooseFile(headerPath());
  EXPECT_EQ(run(), 1);
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(desktop.messages[1].text,
            "Can't Open Gridfloat file.\nMake sure *.hdr and *.flt\nfiles have the same name.");
  EXPECT_EQ(desktop.messages[1].caption, "Message.");

  // A header of another size.
  testing::writeFile(headerPath(), "ncols 1201\nnrows 1201\nxllcorner -85\nyllcorner 36\n");
  testing::writeFile(rasterPath(), std::string(16, '\0'));
  desktop.chooseFile(headerPath());
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(desktop.messages.size(), 3u);
  EXPECT_EQ(desktop.messages[2].text,
            "This program only works on 1/3 arc second\nGridfloat files with 10812 cols and rows.");
  EXPECT_EQ(desktop.messages[2].caption, "Message.");

  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_TRUE(desktop.endedWith.empty());
}

TEST_F(ExtractorRunTest, CancelInEitherDialogEndsQuietlyWith1) {
  makeTile();
  dialogs.scripts = {cancelled(kSelectDialogId)};
  EXPECT_EQ(run(), 1);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].second.texts.at(kIdcTileName), "File - N35  W84");

  makeTile();
  dialogs.scripts = {selectDialog("34.3000", "83.3000"), cancelled(kOutputDialogId)};
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(dialogs.openedIds(), (std::vector<int>{101, 101, 102}));
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(desktop.dialogs.size(), 2u);  // the two open dialogs, no save dialog
}

TEST_F(ExtractorRunTest, RangeChecksTakeLongitudeFirstAndRefuseWhatPassesSixtyMinutes) {
  struct Case {
    const char* lat;
    const char* lon;
    const char* message;  // null: the run reaches dialog 102
  };
  const Case cases[] = {
      {"dd.mmss", "dd.mmss", kLongitudeText},  // the presets read as 0
      {"99", "84.0001", kLongitudeText},       // both wrong: longitude is told
      {"34.3000", "82.5959", kLongitudeText},
      {"35.0001", "83.3000", kLatitudeText},
      {"33.5959", "83.3000", kLatitudeText},
      {"34.3000", "83.7500", kLongitudeText},  // 75 minutes
      {"34.5999", "83.3000", kLatitudeText},   // 59 minutes 99 seconds
      {"34.6001", "83.3000", kLatitudeText},   // 60 minutes and a second
      {"34.3000", "83.6001", kLongitudeText},  // 60 minutes and a second
      {"34.3000", "nan", kLongitudeText},
      {"--34.3000", "83.3000", kLatitudeText},  // a sign after the sign reads as 0
      {"35.0000", "84.0000", nullptr},          // the north-west corner
      {"34.0000", "83.0000", nullptr},          // the south-east corner
      {"34.6000", "83.6000", nullptr},          // 60 minutes of the degree below the edge
      {"34.5959", "83.5959", nullptr},
      {"34.0160", "83.5860", nullptr},  // 60 seconds are the next minute
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.lat) + " " + c.lon);
    desktop = ScriptedDesktop();
    dialogs = ScriptedDialogs();
    makeTile();
    dialogs.scripts = {selectDialog(c.lat, c.lon), cancelled(kOutputDialogId)};
    EXPECT_EQ(run(), 1);
    if (c.message == nullptr) {
      EXPECT_TRUE(desktop.messages.empty());
      EXPECT_EQ(dialogs.shown.size(), 2u);
    } else {
      ASSERT_EQ(desktop.messages.size(), 1u);
      EXPECT_EQ(desktop.messages[0].text, c.message);
      EXPECT_EQ(desktop.messages[0].caption, "Message");
      EXPECT_EQ(desktop.messages[0].style, kPlainMessage);
      EXPECT_EQ(dialogs.shown.size(), 1u);
      dialogs.scripts.clear();
    }
  }
}

TEST_F(ExtractorRunTest, StartCellsAndSizesComeFromTheTypedCorner) {
  struct Case {
    const char* lat;
    const char* lon;
    const char* east;
    const char* south;
    int32_t startRow;
    int32_t startCol;
    const char* cols;
    const char* rows;
    const char* total;
  };
  const Case cases[] = {
      {"34.3000", "83.3000", "0.09", "0.11", 5406, 5406, "11", "11", "121"},
      {"35.0000", "84.0000", "8.5", "1.02", 6, 6, "1000", "100", "100000"},
      {"34.6000", "83.6000", "0", "0", 6, 6, "1", "1", "1"},
      {"34.2960", "83.2960", "0", "0", 5406, 5406, "1", "1", "1"},  // 34.3000, 83.3000
      // The south-east corner: the cap leaves no columns and no rows.
      {"34.0000", "83.0000", "1.0", "1.0", 10806, 10806, "0", "0", "0"},
      // Capped at the square's edges, whatever the distance.
      {"34.0001", "83.0001", "9999", "9999", 10803, 10803, "3", "3", "9"},
      {"35", "84", "9999", "9999", 6, 6, "10800", "10800", "116640000"},
      {"34.3000", "83.3000", "9e99", "-1e9", 5406, 5406, "5400", "1", "5400"},
      // Words are no numbers: 0 km, one cell each way.
      {"34.3000", "83.3000", "nan", "inf", 5406, 5406, "1", "1", "1"},
      // Read limits: 34.300015 is read as 34.30001; 12.75 as 12.7.
      {"34.300015", "83.3000", "12.75", "0", 5406, 5406, "1494", "1", "1494"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.lat) + " " + c.lon);
    desktop = ScriptedDesktop();
    dialogs = ScriptedDialogs();
    record = ExtractorRun();
    makeTile();
    const testing::ScriptedFields shown = sizeShownFor(c.lat, c.lon, c.east, c.south);
    EXPECT_EQ(record.selection.startRow, c.startRow);
    EXPECT_EQ(record.selection.startCol, c.startCol);
    EXPECT_EQ(shown.texts.at(kIdcCols), c.cols);
    EXPECT_EQ(shown.texts.at(kIdcRows), c.rows);
    EXPECT_EQ(shown.texts.at(kIdcTotalPoints), c.total);
  }
}

TEST_F(ExtractorRunTest, ATileBeyondTheTableEndsAfterDialog101With0) {
  for (int north : {17, 76}) {
    SCOPED_TRACE(north);
    desktop = ScriptedDesktop();
    dialogs = ScriptedDialogs();
    makeTile(north);
    const std::string lat = std::to_string(north - 1) + ".3000";
    dialogs.scripts = {selectDialog(lat, "83.3000")};
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, kParallelText);
    EXPECT_EQ(desktop.messages[0].caption, "Message");
    EXPECT_EQ(dialogs.openedIds(), std::vector<int>{101});
  }
  for (int north : {18, 75}) {
    SCOPED_TRACE(north);
    desktop = ScriptedDesktop();
    dialogs = ScriptedDialogs();
    makeTile(north);
    const std::string lat = std::to_string(north - 1) + ".3000";
    dialogs.scripts = {selectDialog(lat, "83.3000"), cancelled(kOutputDialogId)};
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(desktop.messages.empty());
  }
}

TEST_F(ExtractorRunTest, HeadersFarFromAnyTileAreRefused) {
  // The north edge held at the largest whole degree: no typed latitude reaches it.
  testing::writeFile(headerPath(), testing::shortHeader(-84.00055555556, 2147483646.0));
  testing::makeSparseRaster(rasterPath());
  desktop.chooseFile(headerPath());
  dialogs.scripts = {selectDialog("36.3000", "83.3000")};
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(dialogs.shown.at(0).second.texts.at(kIdcTileName), "File - N2147483647  W84");
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{kLatitudeText});

  // A latitude that can be typed on such a tile: the degree table refuses the tile.
  desktop = ScriptedDesktop();
  dialogs = ScriptedDialogs();
  testing::writeFile(headerPath(), testing::shortHeader(-84.00055555556, 99999990.0));
  desktop.chooseFile(headerPath());
  dialogs.scripts = {selectDialog("99999991", "83.3000")};
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(record.selection.startRow, 10806);
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{kParallelText});

  // A long form without ULXMAP leaves the corners at 0, the tile from 0 to 1 degree west:
  // a longitude below 0 has minutes below none, which would start east of the square.
  desktop = ScriptedDesktop();
  dialogs = ScriptedDialogs();
  testing::writeFile(headerPath(), "BYTEORDER I\nLAYOUT BIL\nNROWS 10812\nNCOLS 10812\n");
  desktop.chooseFile(headerPath());
  dialogs.scripts = {selectDialog("1.3000", "-0.3000")};
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{kLongitudeText});
}

// The question above 100000 estimated points and the patience box above 10000000.
TEST_F(ExtractorRunTest, WarnsOfLargeEstimatesAtTheirThresholds) {
  struct Case {
    int north;
    const char* east;
    const char* south;
    const char* remove;
    int estimate;
    bool asks;
    bool patience;
  };
  const Case cases[] = {
      {35, "8.5", "1.02", "0", 100000, false, false},    // 1000 x 100
      {35, "77.3", "0.11", "0", 100001, true, false},    // 9091 x 11
      {35, "77.3", "0.45", "1", 100001, true, false},    // 9091 x 44 / 4
      {64, "9.22", "51.6", "0", 10000000, true, false},  // 2000 x 5000
      {64, "49.0", "9.71", "0", 10000007, true, true},   // 10627 x 941
      {35, "9999", "9999", "4", 4665600, true, false},   // the double 0.04
      {35, "9999", "9999", "10", 963966, true, false},   // beyond the table: 1 / 121
      {35, "9999", "9999", "0", 116640000, true, true},  // the whole degree
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.estimate);
    desktop = ScriptedDesktop();
    dialogs = ScriptedDialogs();
    record = ExtractorRun();
    makeTile(c.north);
    const std::string lat = std::to_string(c.north) + ".0000";
    dialogs.scripts = {selectDialog(lat, "84.0000", c.east, c.south),
                       outputDialog({{kIdcRemoveCount, c.remove}})};
    // A block past the tile's edges is first cut there, with a message of its own.
    if (std::string(c.east) == "9999") desktop.buttons.push_back(MessageAnswer::ok);
    desktop.buttons.push_back(MessageAnswer::yes);
    // The save dialog is cancelled: no file is written, and the run ends with 1.
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(record.estimate, c.estimate);
    std::vector<std::string> expected;
    if (c.asks) expected.push_back(question(c.estimate));
    if (c.patience) expected.push_back(kPatienceText);
    EXPECT_EQ(desktop.messageTexts(), expected);
    if (c.asks) {
      EXPECT_EQ(desktop.messages[0].caption, "Warning");
      EXPECT_EQ(desktop.messages[0].style, kWarningQuestion);
    }
    if (c.patience) {
      EXPECT_EQ(desktop.messages[1].caption, "Have Patience !");
      EXPECT_EQ(desktop.messages[1].style, kInformationMessage);
    }
    EXPECT_EQ(desktop.events.back(), "save");
  }
}

TEST_F(ExtractorRunTest, NoToTheQuestionEndsWith1BeforeTheSaveDialog) {
  makeTile();
  dialogs.scripts = {selectDialog("35", "84", "9999", "9999"), outputDialog()};
  desktop.buttons = {MessageAnswer::ok, MessageAnswer::no};  // the cut, then the question
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{question(116640000)});
  EXPECT_EQ(desktop.events, (std::vector<std::string>{"open", "message:" + question(116640000)}));
}

TEST_F(ExtractorRunTest, WritesTheChosenFormFromTheTypedCorner) {
  makeTile();
  // Row 5406, columns 5406 on: 100 m, then 1 ... 10.
  testing::plantSamples(rasterPath(), 5406, 5406, {100.0f, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  testing::plantSamples(rasterPath(), 5409, 5406, {-9999.0f});
  dialogs.scripts = {
      selectDialog("34.3000", "83.3000", "0.09", "0.11"),
      outputDialog({{kIdcStartEasting, "1000"}, {kIdcStartNorthing, "2000"}}, {kIdcToFeet})};
  desktop.chooseFile(outputPath());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{"121 points written."});
  EXPECT_EQ(desktop.messages[0].caption, "Message");
  ASSERT_EQ(desktop.dialogs.size(), 2u);
  EXPECT_EQ(desktop.dialogs[1].request.filters.at(0).text, "Comma Seperated Value (*.csv)");

  const std::string text = testing::readFile(outputPath());
  size_t lines = 0;
  for (char ch : text) lines += ch == '\n' ? 1 : 0;
  EXPECT_EQ(lines, 121u);
  // The typed start stays as typed; the elevation is in feet.
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "1000.000, 2000.000, 328.084\r\n");
  EXPECT_NE(text.find(", -32805.121\r\n"), std::string::npos);
}

// The kept coordinates: a zone next to the block's own is noted before the write; one whose
// domain the block leaves is not offered, and the local grid is written.
TEST_F(ExtractorRunTest, NotesAZoneNextToTheBlocksOwnAndNeverWritesInOneBeyondItsDomain) {
  struct Case {
    const char* kept;
    int32_t written;  // the system the run wrote in
    std::vector<std::string> messages;
    const char* form = "rectangular";  // the form the dialog opens on
  };
  const Case cases[] = {
      {"26917", 26917, {"121 points written."}},
      {"26916",
       26916,
       {"The block lies outside the area of use of NAD83 / UTM zone 16N.", "121 points written."}},
      {"26910", 0, {"121 points written."}},
      // The contour drawing lies in the system too.
      {"26916",
       26916,
       {"The block lies outside the area of use of NAD83 / UTM zone 16N.",
        "0 contour lines written."},
       "contours"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kept);
    desktop = ScriptedDesktop();
    makeTile();
    desktop.settings["Coordinates"] = c.kept;
    desktop.settings["OutputForm"] = c.form;
    dialogs.scripts = {selectDialog("34.3000", "83.3000", "0.09", "0.11"), outputDialog({}, {})};
    desktop.chooseFile(outputPath());
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(record.coordinateSystem, c.written);
    EXPECT_EQ(desktop.messageTexts(), c.messages);
  }
}

TEST_F(ExtractorRunTest, ProjectsPointsNorthWhenAskedTo) {
  makeTile();
  dialogs.scripts = {selectDialog("35.0000", "84.0000", "8.5", "0.02"),
                     outputDialog({}, {kIdcProjectNorth})};
  desktop.chooseFile(outputPath());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(record.outputKind, OutputKind::ProjectNorthXyz);
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{"2000 points written."});
  // 1000 x 2 points: the second row starts growth x 0.5 x 1001 = 0.0047 m further west.
  const std::string text = testing::readFile(outputPath());
  size_t secondRow = 0;
  for (int line = 0; line < 1000; ++line) secondRow = text.find('\n', secondRow) + 1;
  EXPECT_EQ(text.substr(0, 20), "200000.000, 200000.0");
  EXPECT_EQ(text.substr(secondRow, 24), "199999.995, 199989.729, ");
}

TEST_F(ExtractorRunTest, CsvGridKeepsEveryThirdColumnWithItsCommas) {
  makeTile();
  testing::plantSamples(rasterPath(), 5406, 5406, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  testing::plantSamples(rasterPath(), 5409, 5406, {-1.5f, 1, 2, 3.25f});
  dialogs.scripts = {selectDialog("34.3000", "83.3000", "0.09", "0.04"),
                     outputDialog({{kIdcRemoveCount, "2"}}, {kIdcCsvGrid})};
  desktop.chooseFile(outputPath());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(record.selection.cols, 11u);
  EXPECT_EQ(record.selection.rows, 4u);
  EXPECT_EQ(testing::readFile(outputPath()),
            "0.000,3.000,6.000,9.000,\r\n-1.500,3.250,0.000,0.000,\r\n");
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{"8 points written."});
}

TEST_F(ExtractorRunTest, TheSouthEastCornerWritesNoPoints) {
  makeTile();
  dialogs.scripts = {selectDialog("34.0000", "83.0000", "1.0", "0"),
                     outputDialog({}, {kIdcCsvGrid})};
  desktop.chooseFile(outputPath());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(testing::readFile(outputPath()), "");
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{"0 points written."});

  // One row up there is one row without columns: only its line end is written.
  desktop = ScriptedDesktop();
  dialogs = ScriptedDialogs();
  makeTile();
  dialogs.scripts = {selectDialog("34.0001", "83.0000", "1.0", "0"),
                     outputDialog({}, {kIdcCsvGrid})};
  desktop.chooseFile(outputPath());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(record.selection.rows, 1u);
  EXPECT_EQ(record.selection.cols, 0u);
  EXPECT_EQ(testing::readFile(outputPath()), "\r\n");
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{"0 points written."});
}

TEST_F(ExtractorRunTest, WriteFailuresEndWith1) {
  // The save dialog cancelled.
  makeTile();
  dialogs.scripts = {selectDialog("34.3000", "83.3000"), outputDialog()};
  EXPECT_EQ(run(), 1);
  EXPECT_TRUE(desktop.messages.empty());

  // An output that cannot be opened.
  desktop = ScriptedDesktop();
  makeTile();
  dialogs.scripts = {selectDialog("34.3000", "83.3000"), outputDialog()};
  desktop.chooseFile(dir.file("no-such-folder/points.csv"));
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{"Can't Open Output file.\n"});
  EXPECT_EQ(desktop.messages[0].caption, "Message.");

  // A raster gone since the tile was opened.
  desktop = ScriptedDesktop();
  makeTile();
  dialogs.scripts = {selectDialog("34.3000", "83.3000"), outputDialog()};
  dialogs.scripts.back().whileOpen = [this] { std::remove(rasterPath().c_str()); };
  desktop.chooseFile(outputPath());
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{"Can't Open Gridfloat file."});
  EXPECT_EQ(desktop.messages[0].caption, "Message.");
  EXPECT_EQ(testing::readFile(outputPath()), "");
}

TEST_F(ExtractorRunTest, AFailedWriteEndsWith1) {
  makeTile();
  dialogs.scripts = {selectDialog("34.3000", "83.3000"), outputDialog()};
  testing::ScriptedFileSystem full(posixFileSystem());
  full.fails = [](const testing::FileCall& call) { return call.what == "write"; };
  desktop.disk = &full;
  desktop.chooseFile(outputPath());
  EXPECT_EQ(run(), 1);
  // The writer says so instead of counting the points, and leaves no file.
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{kWriteFailedText});
  EXPECT_FALSE(posixFileSystem().stat(outputPath()).exists);
}

TEST_F(ExtractorRunTest, TheEndOfTheRasterEndsWith0AfterTheCount) {
  // The raster ends after row 5407: two of the block's rows are there.
  makeTile(35, cellOffset(5408, 0));
  testing::plantSamples(rasterPath(), 5407, 5406, {7.5f});
  dialogs.scripts = {selectDialog("34.3000", "83.3000", "0.09", "0.11"),
                     outputDialog({}, {kIdcCsvGrid})};
  desktop.chooseFile(outputPath());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(desktop.messageTexts(),
            (std::vector<std::string>{"End of File.", "22 points written."}));
  EXPECT_EQ(desktop.messages[0].caption, "Message.");
  EXPECT_EQ(desktop.messages[1].caption, "Message");
  const std::string text = testing::readFile(outputPath());
  EXPECT_EQ(text.substr(0, text.find('\n') + 1),
            "0.000,0.000,0.000,0.000,0.000,0.000,0.000,0.000,0.000,0.000,0.000\r\n");
  EXPECT_EQ(text.substr(text.find('\n') + 1, 6), "7.500,");
}

// Dialog 102 opens on the coordinates an earlier run kept (the local grid when the list
// does not hold the code); its OK keeps the choice, and the file is written in it.
TEST_F(ExtractorRunTest, OffersTheKeptCoordinatesAndWritesAndKeepsTheChoice) {
  constexpr const char* kLocalGrid = "Local grid (Northing and Easting)";
  constexpr const char* kGeorgiaWest = "NAD83 / Georgia West (ftUS)  EPSG:2240";
  constexpr const char* kUtm17 = "NAD83 / UTM zone 17N  EPSG:26917";
  struct Case {
    const char* remembered;  // null: nothing kept
    const char* picked;      // empty: as shown
    int pressed;             // 1 OK, 2 Cancel
    const char* shown;
    const char* kept;  // null: nothing kept
    int32_t written;
  };
  const Case cases[] = {
      {nullptr, "", 1, kLocalGrid, "0", 0},
      {"2240", "", 1, kGeorgiaWest, "2240", 2240},
      {"2240", kUtm17, 1, kGeorgiaWest, "26917", 26917},
      {"26917", kLocalGrid, 1, kUtm17, "0", 0},
      {"77", "", 1, kLocalGrid, "0", 0},
      {"2240", kUtm17, 2, kGeorgiaWest, "2240", 0},
      {nullptr, kUtm17, 2, kLocalGrid, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.remembered == nullptr ? "-" : c.remembered) + " " + c.picked);
    desktop = ScriptedDesktop();
    dialogs = ScriptedDialogs();
    record = ExtractorRun();
    makeTile();
    testing::plantSamples(rasterPath(), 5406, 5406, {100.0f, 1, 2, 3});
    if (c.remembered != nullptr) desktop.settings["Coordinates"] = c.remembered;
    testing::DialogScript output = outputDialog();
    output.coordinates = c.picked;
    output.pressed = c.pressed;
    dialogs.scripts = {selectDialog("34.3000", "83.3000", "0.09", "0.11"), output};
    desktop.chooseFile(outputPath());
    EXPECT_EQ(run(), c.pressed == 1 ? 0 : 1);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].second.shownEntry(kIdcCoordinates), c.shown);
    if (c.kept == nullptr) {
      EXPECT_TRUE(desktop.settings.empty());
    } else {
      EXPECT_EQ(desktop.settings["Coordinates"], c.kept);
    }
    if (c.pressed != 1) continue;

    // The same request given to the writer directly.
    WriteRequest request;
    request.header = record.header;
    request.selection = record.selection;
    request.coordinateSystem = c.written;
    ScriptedDesktop direct;
    direct.chooseFile(dir.file("direct.csv"));
    ASSERT_EQ(writePoints(direct, Program::extractor, request), WriteOutcome::written);
    const std::string written = testing::readFile(outputPath());
    EXPECT_EQ(written, testing::readFile(dir.file("direct.csv")));
    EXPECT_EQ(written.rfind("200000.000, 200000.000, 100.000\r\n", 0) == 0, c.written == 0);
  }
}

// A block past the tile's east edge, with the tile beside it (under a name of its own), a
// damaged one, or none: the question and its answers, or the cut with what is wrong.
TEST_F(ExtractorRunTest, ReadsTheRestOfABlockFromTheTileBesideWhenTheUserSaysYes) {
  enum class Beside { tile, shortRaster, none };
  struct Case {
    const char* name;
    Beside beside;
    MessageAnswer answer;
    bool whole;
  };
  const Case cases[] = {{"yes", Beside::tile, MessageAnswer::yes, true},
                        {"no", Beside::tile, MessageAnswer::no, false},
                        {"damaged", Beside::shortRaster, MessageAnswer::yes, false},
                        {"missing", Beside::none, MessageAnswer::yes, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"east side.hdr", "east side.flt"}) std::remove(dir.file(name).c_str());
    desktop = ScriptedDesktop();
    dialogs = ScriptedDialogs();
    record = ExtractorRun();
    makeTile();
    // Row 5406 (34.3000): the tile's last three cells, then the neighbour's from column 6.
    testing::plantSamples(rasterPath(), 5406, 10803, {1.0f, 2.0f, 3.0f});
    if (c.beside != Beside::none) {
      testing::writeFile(dir.file("east side.hdr"),
                         testing::shortHeader(-83.00055555556, 33.99944444444));
      testing::makeSparseRaster(dir.file("east side.flt"),
                                c.beside == Beside::tile ? INT64_C(467597376) : 4096);
      if (c.beside == Beside::tile)
        testing::plantSamples(dir.file("east side.flt"), 5406, 0,
                              {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f, 4.0f, 5.0f, 6.0f});
    }
    dialogs.scripts = {selectDialog("34.3000", "83.0001", "0.04", "0"),
                       outputDialog({}, {kIdcCsvGrid})};
    desktop.buttons = {c.answer};
    desktop.chooseFile(outputPath());
    const int status = runExtractor(desktop, dialogs, record);
    EXPECT_EQ(status, 0);
    const std::string into = "The block runs past this tile into N35 W83.\n";
    const std::vector<std::string> texts = desktop.messageTexts();
    ASSERT_EQ(texts.size(), 2u);
    if (c.beside == Beside::tile) {
      EXPECT_EQ(texts[0], into + "Read the rest from the tiles found beside it?");
      EXPECT_EQ(desktop.messages[0].style.buttons, MessageButtons::yesNo);
    } else {
      const std::string wrong = c.beside == Beside::none
                                    ? "The tile N35 W83 is missing: put USGS_13_n35w083.tif (or "
                                      "its GridFloat pair) beside tile.hdr.\n"
                                    : "N35 W83: east side.hdr can't be used. ";
      EXPECT_EQ(texts[0].rfind(into + wrong, 0), 0u) << texts[0];
      const std::string cut = "\nThe block is cut at the tile's east edge.";
      EXPECT_EQ(texts[0].substr(texts[0].size() - std::min(texts[0].size(), cut.size())), cut);
    }
    // 0.04 km is 5 cells here: three before the edge, two beside it.
    EXPECT_EQ(record.selection.cols, c.whole ? 5u : 3u);
    EXPECT_EQ(testing::readFile(outputPath()),
              c.whole ? "1.000,2.000,3.000,4.000,5.000\r\n" : "1.000,2.000,3.000\r\n");
    EXPECT_EQ(texts[1], c.whole ? "5 points written." : "3 points written.");
  }
}

}  // namespace
}  // namespace ned
