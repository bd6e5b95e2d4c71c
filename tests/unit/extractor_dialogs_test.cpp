#include "extractor/extractor_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "core/export/data_cells.h"
#include "core/export/map_projection.h"
#include "core/posix_file_system.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::ScriptedFields;

TEST(SelectDialog, OpensWithTheTileNameAndThePresets) {
  ExtractorRun run;
  run.tileName = "File - N35  W84";
  ScriptedFields fields;
  fillDialog(kSelectDialogId, run, fields);
  EXPECT_EQ(fields.texts[kIdcTileName], "File - N35  W84");
  EXPECT_EQ(fields.texts[kIdcLongitude], "dd.mmss");
  EXPECT_EQ(fields.texts[kIdcLatitude], "dd.mmss");
  EXPECT_EQ(fields.texts[kIdcKmEast], "1.0");
  EXPECT_EQ(fields.texts[kIdcKmSouth], "1.0");

  // Accepted unchanged, the presets read as a corner at 0, 0 and one kilometre each way.
  run.lonDms = run.latDms = 99.0;
  EXPECT_TRUE(handleDialogCommand(kSelectDialogId, 1, fields, run));
  EXPECT_TRUE(run.dialogAccepted);
  EXPECT_EQ(run.lonDms, 0.0);
  EXPECT_EQ(run.latDms, 0.0);
  EXPECT_EQ(run.kmEast, 1.0f);
  EXPECT_EQ(run.kmSouth, 1.0f);
}

TEST(SelectDialog, ReadsNoMoreThanItsLimitsAllow) {
  ExtractorRun run;
  ScriptedFields fields;
  fillDialog(kSelectDialogId, run, fields);
  fields.texts[kIdcLatitude] = "34.300015";    // nine characters: the last is dropped
  fields.texts[kIdcLongitude] = "83.3000999";  // so are the last two here
  fields.texts[kIdcKmEast] = "12.75";          // five characters: four are taken
  fields.texts[kIdcKmSouth] = " 2.5km";
  EXPECT_TRUE(handleDialogCommand(kSelectDialogId, 1, fields, run));
  EXPECT_EQ(run.latDms, 34.30001);
  EXPECT_EQ(run.lonDms, 83.30009);
  EXPECT_EQ(run.kmEast, 12.7f);
  EXPECT_EQ(run.kmSouth, 2.5f);

  // A distance beyond the float's range is infinite, not undefined.
  fields.texts[kIdcKmEast] = "9e99";
  fields.texts[kIdcKmSouth] = "-1e50";  // four characters: -1e5
  EXPECT_TRUE(handleDialogCommand(kSelectDialogId, 1, fields, run));
  EXPECT_EQ(run.kmEast, std::numeric_limits<float>::infinity());
  EXPECT_EQ(run.kmSouth, -100000.0f);
}

TEST(OutputDialog, OpensWithTheGridSizeAndThePresets) {
  ExtractorRun run;
  run.selection.cols = 121;
  run.selection.rows = 98;
  run.totalPoints = 11858;
  ScriptedFields fields;
  fillDialog(kOutputDialogId, run, fields);
  EXPECT_EQ(fields.texts[kIdcCols], "121");
  EXPECT_EQ(fields.texts[kIdcRows], "98");
  EXPECT_EQ(fields.texts[kIdcTotalPoints], "11858");
  EXPECT_EQ(fields.texts[kIdcStartEasting], "200000");
  EXPECT_EQ(fields.texts[kIdcStartNorthing], "200000");
  EXPECT_EQ(fields.texts[kIdcRemoveCount], "0");
  EXPECT_TRUE(fields.checks[kIdcRectangular]);
  EXPECT_FALSE(fields.checks[kIdcProjectNorth]);
  EXPECT_FALSE(fields.checks[kIdcCsvGrid]);
  EXPECT_FALSE(fields.checks[kIdcToFeet]);

  // Unchanged: rectangular points in metres from 200000, 200000, every cell.
  run.startEasting = run.startNorthing = 1.0;
  run.outputKind = OutputKind::ElevationCsv;
  run.toFeet = true;
  EXPECT_TRUE(handleDialogCommand(kOutputDialogId, 1, fields, run));
  EXPECT_TRUE(run.dialogAccepted);
  EXPECT_EQ(run.startEasting, 200000.0);
  EXPECT_EQ(run.startNorthing, 200000.0);
  EXPECT_EQ(run.selection.removeCount, 0u);
  EXPECT_EQ(run.selection.step, 1u);
  EXPECT_EQ(run.outputKind, OutputKind::RectangularXyz);
  EXPECT_FALSE(run.toFeet);
}

TEST(OutputDialog, ReadsCoordinatesAndTheRemoveCountWithinTheirLimits) {
  struct Case {
    const char* easting;
    const char* northing;
    const char* remove;
    double startEasting;
    double startNorthing;
    uint32_t removeCount;
  };
  const Case cases[] = {
      // 11 characters of the easting, then of the northing
      {"123456789.125", "987654.321", "15", 123456789.1, 987654.321, 15},
      {"-5000.5", "98765432.1256", "", -5000.5, 98765432.12, 0},  // an empty count removes nothing
      {"1e3", "987654.321", "123", 1000.0, 987654.321, 12},       // two digits of the count
      {"x", "987654.321", "7x", 0.0, 987654.321, 7},
      // a pasted negative count would make the step 0
      {"2", "987654.321", "-1", 2.0, 987654.321, 0},
      {"inf", "987654.321", "0", 0.0, 987654.321, 0},  // no word is a number
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.easting);
    ExtractorRun run;
    ScriptedFields fields;
    fillDialog(kOutputDialogId, run, fields);
    fields.texts[kIdcStartEasting] = c.easting;
    fields.texts[kIdcStartNorthing] = c.northing;
    fields.texts[kIdcRemoveCount] = c.remove;
    EXPECT_TRUE(handleDialogCommand(kOutputDialogId, 1, fields, run));
    EXPECT_EQ(run.startEasting, c.startEasting);
    EXPECT_EQ(run.startNorthing, c.startNorthing);
    EXPECT_EQ(run.selection.removeCount, c.removeCount);
    EXPECT_EQ(run.selection.step, c.removeCount + 1);
  }
}

TEST(OutputDialog, MapsTheRadioButtonsAndTheFeetBox) {
  const std::pair<int, OutputKind> radios[] = {{kIdcRectangular, OutputKind::RectangularXyz},
                                               {kIdcProjectNorth, OutputKind::ProjectNorthXyz},
                                               {kIdcCsvGrid, OutputKind::ElevationCsv}};
  for (const auto& radio : radios) {
    for (bool feet : {false, true}) {
      ExtractorRun run;
      ScriptedFields fields;
      fillDialog(kOutputDialogId, run, fields);
      static const int kForms[] = {kIdcRectangular, kIdcProjectNorth, kIdcCsvGrid};
      fields.clickRadio(radio.first, kForms);
      fields.checks[kIdcToFeet] = feet;
      EXPECT_TRUE(handleDialogCommand(kOutputDialogId, 1, fields, run));
      EXPECT_EQ(run.outputKind, radio.second);
      EXPECT_EQ(run.toFeet, feet);
    }
  }
}

TEST(DialogCommands, CancelReadsNothingAndOtherCommandsAreNotTheDialogs) {
  for (int dialogId : {kSelectDialogId, kOutputDialogId}) {
    SCOPED_TRACE(dialogId);
    ExtractorRun run;
    run.lonDms = 84.0;
    run.startEasting = 5.0;
    ScriptedFields fields;
    fillDialog(dialogId, run, fields);
    fields.texts[kIdcLongitude] = "83.5";
    fields.texts[kIdcStartEasting] = "7";
    fields.texts[kIdcRemoveCount] = "3";

    EXPECT_FALSE(handleDialogCommand(dialogId, 1006, fields, run));
    EXPECT_TRUE(run.dialogAccepted);

    EXPECT_TRUE(handleDialogCommand(dialogId, 2, fields, run));
    EXPECT_FALSE(run.dialogAccepted);
    EXPECT_EQ(run.lonDms, 84.0);
    EXPECT_EQ(run.startEasting, 5.0);
    EXPECT_EQ(run.selection.step, 1u);
  }
}

TEST(DialogFrames, LieTwoUnitsOutsideTheirFields) {
  // The field frames, after the frame of the whole dialog, against the edit fields'
  // positions (x, y, width, height) in the dialog resources.
  const DialogFrame selectFields[] = {
      {15, 25, 35, 11}, {60, 25, 35, 11}, {30, 75, 20, 11}, {60, 75, 20, 11}};
  const DialogFrame outputFields[] = {{47, 14, 22, 11},   {77, 14, 22, 11},  {107, 14, 36, 11},
                                      {55, 48, 35, 11},   {100, 48, 35, 11}, {77, 140, 25, 11},
                                      {147, 140, 14, 11}, {77, 176, 25, 11}};
  auto check = [](const DialogFrame& frame, const DialogFrame& field) {
    EXPECT_EQ(frame.left, field.left - 2);
    EXPECT_EQ(frame.top, field.top - 2);
    EXPECT_EQ(frame.right, field.left + field.right + 2);
    EXPECT_EQ(frame.bottom, field.top + field.bottom + 2);
  };
  for (size_t i = 0; i < 4; ++i) check(kSelectDialogFrames[i + 1], selectFields[i]);
  for (size_t i = 0; i < 8; ++i) check(kOutputDialogFrames[i + 1], outputFields[i]);
  EXPECT_EQ(kFrameColour & 0xFFu, 0u);
  EXPECT_EQ((kFrameColour >> 8) & 0xFFu, 136u);
  EXPECT_EQ((kFrameColour >> 16) & 0xFFu, 136u);
}

constexpr const char* kLocalGrid = "Local grid (Northing and Easting)";
constexpr const char* kTennesseeFeet = "NAD83 / Tennessee (ftUS)  EPSG:2274";
constexpr const char* kUtm16 = "NAD83 / UTM zone 16N  EPSG:26916";

// A run on the demo tile (36-37 N, 84-85 W) whose block of 450 x 450 cells from row and
// column 5181 has its middle at 36.5 N, 84.5 W.
ExtractorRun runAroundTheMiddle(int32_t coordinateSystem = 0) {
  ExtractorRun run;
  run.header.tileWestLon = 85.00055555556;
  run.header.tileSouthLat = 35.99944444444;
  run.selection.startRow = 5181;
  run.selection.startCol = 5181;
  run.selection.rows = 450;
  run.selection.cols = 450;
  run.coordinateSystem = coordinateSystem;
  return run;
}

// The systems whose domain holds the whole block, those whose area of use holds its middle
// first.
TEST(OutputDialog, ListsTheLocalGridThenTheSystemsHoldingTheBlocksMiddle) {
  // 1350 x 1350 cells from row and column 3381: the middle, 36.625 N, 84.625 W, lies in
  // Tennessee's area of use (up to 36.68 N), the first row, 36.6875 N, does not.
  ExtractorRun run = runAroundTheMiddle();
  run.selection.startRow = run.selection.startCol = 3381;
  run.selection.rows = run.selection.cols = 1350;
  ScriptedFields fields;
  fillDialog(kOutputDialogId, run, fields);
  const std::vector<std::string>& entries = fields.lists[kIdcCoordinates];
  size_t holding = 0;
  const std::vector<size_t> order = orderedMapSystems(36.625, -84.625, &holding);
  // Only the systems whose domain holds the whole block, 36.5625 to 36.6875 N, 84.6875 to
  // 84.5625 W.
  const GeoBox block = {-84.6875, 36.5625, -84.5625, 36.6875};
  std::vector<std::string> expected = {kLocalGrid};
  for (size_t index : order)
    if (domainContains(mapSystem(index), block))
      expected.push_back(mapSystemLabel(mapSystem(index)));
  EXPECT_EQ(entries, expected);
  const auto place = [&entries](const char* entry) {
    return static_cast<size_t>(std::find(entries.begin(), entries.end(), entry) - entries.begin());
  };
  for (const char* entry : {kTennesseeFeet, "NAD83 / Kentucky South  EPSG:26980", kUtm16}) {
    EXPECT_GE(place(entry), 1u) << entry;
    EXPECT_LE(place(entry), holding) << entry;
  }
  EXPECT_GT(place("NAD83 / UTM zone 17N  EPSG:26917"), holding);
  EXPECT_LT(place("NAD83 / UTM zone 17N  EPSG:26917"), entries.size());
  EXPECT_EQ(place("NAD83 / UTM zone 10N  EPSG:26910"), entries.size());  // far beyond
}

// Dialog 102 shows the run's coordinates; a map system greys X and Y, the local grid gives
// them back; OK reads the choice into the run.
TEST(OutputDialog, ShowsTheRunsCoordinatesGreysXAndYForAMapSystemAndReadsThePick) {
  struct Case {
    int32_t preset;
    const char* shown;
    std::vector<const char*> picks;
    int32_t read;
  };
  const Case cases[] = {
      {0, kLocalGrid, {}, 0},
      {0, kLocalGrid, {kUtm16}, 26916},
      {2274, kTennesseeFeet, {}, 2274},
      {2274, kTennesseeFeet, {kUtm16, kLocalGrid}, 0},
      {26916, kUtm16, {kLocalGrid, kTennesseeFeet}, 2274},
      {1234, kLocalGrid, {}, 0},  // no such system
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.preset);
    ExtractorRun run = runAroundTheMiddle(c.preset);
    ScriptedFields fields;
    fillDialog(kOutputDialogId, run, fields);
    std::vector<const char*> shown = {c.shown};
    shown.insert(shown.end(), c.picks.begin(), c.picks.end());
    for (size_t i = 0; i < shown.size(); ++i) {
      if (i > 0) {
        ASSERT_TRUE(fields.pickListEntry(kIdcCoordinates, shown[i]));
        EXPECT_FALSE(handleDialogCommand(kOutputDialogId, kIdcCoordinates, fields, run));
      }
      EXPECT_EQ(fields.shownEntry(kIdcCoordinates), shown[i]);
      const bool localGrid = std::string(shown[i]) == kLocalGrid;
      EXPECT_EQ(fields.isEnabled(kIdcStartEasting), localGrid);
      EXPECT_EQ(fields.isEnabled(kIdcStartNorthing), localGrid);
      // Nothing else is greyed but the contour form's fields.
      for (const auto& control : fields.enabled) {
        if (control.first == kIdcStartEasting || control.first == kIdcStartNorthing) continue;
        EXPECT_EQ(control.second, control.first == kIdcSkipNoData) << control.first;
      }
    }
    EXPECT_TRUE(handleDialogCommand(kOutputDialogId, 1, fields, run));
    EXPECT_EQ(run.coordinateSystem, c.read);
  }
}

}  // namespace
}  // namespace ned

namespace ned {
namespace {

// Dialog 102's "Skip cells without data": usable for the XYZ forms, greyed once the CSV grid
// is clicked (and usable again with an XYZ form); OK reads its check mark.
TEST(OutputDialog, GreysTheSkipBoxForTheCsvGridAndReadsIt) {
  struct Case {
    bool preset;  // the run's choice when the dialog opens
    std::vector<int> clicks;
    bool usable;
    bool read;
  };
  const Case cases[] = {
      {false, {}, true, false},
      {true, {}, true, true},
      {true, {kIdcCsvGrid}, false, true},
      {false, {kIdcCsvGrid, kIdcSkipNoData}, false, false},  // a greyed box takes no click
      {false, {kIdcCsvGrid, kIdcProjectNorth, kIdcSkipNoData}, true, true},
      {true, {kIdcRectangular, kIdcSkipNoData}, true, false},
  };
  static const int kForms[] = {kIdcRectangular, kIdcProjectNorth, kIdcCsvGrid};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clicks.size());
    ExtractorRun run = runAroundTheMiddle();
    run.skipNoData = c.preset;
    ScriptedFields fields;
    fillDialog(kOutputDialogId, run, fields);
    EXPECT_EQ(fields.checks[kIdcSkipNoData], c.preset);
    EXPECT_TRUE(fields.isEnabled(kIdcSkipNoData));
    for (int id : c.clicks) {
      if (id != kIdcSkipNoData) {
        fields.clickRadio(id, kForms);
      } else if (fields.isEnabled(id)) {
        fields.checks[id] = !fields.checks[id];
      }
      EXPECT_FALSE(handleDialogCommand(kOutputDialogId, id, fields, run));
    }
    EXPECT_EQ(fields.isEnabled(kIdcSkipNoData), c.usable);
    EXPECT_TRUE(handleDialogCommand(kOutputDialogId, 1, fields, run));
    EXPECT_EQ(run.skipNoData, c.read);
  }
}

// A whole run over a tile of 34 - 35 N whose block of 9091 x 11 cells from row and column 6
// has one cell without data: 100001 cells, 100000 of them with data. Skipping them, the
// estimate counts what is written and stays below the question's threshold; the choice is
// kept for the next run of either program.
TEST(OutputDialog, SkippingCellsWithoutDataIsWhatTheEstimateCountsAndIsKept) {
  struct Case {
    const char* remembered;  // null: nothing kept
    std::vector<int> clicks;
    int32_t estimate;
    const char* kept;
  };
  const Case cases[] = {
      {nullptr, {}, 100001, "0"},
      {nullptr, {kIdcSkipNoData}, 100000, "1"},
      {"1", {}, 100000, "1"},
      {"1", {kIdcProjectNorth}, 100000, "1"},
      {"1", {kIdcCsvGrid}, 100001, "1"},  // the grid keeps every cell
      {"1", {kIdcSkipNoData}, 100001, "0"},
  };
  testing::TempDir dir;
  testing::writeFile(dir.file("tile.hdr"), testing::shortHeader(-84.00055555556, 33.99944444444));
  testing::makeSparseRaster(dir.file("tile.flt"));
  testing::plantSamples(dir.file("tile.flt"), 16, 9000, {-9999.0f});
  testing::plantSamples(dir.file("tile.flt"), 17, 9000, {-9999.0f});  // the row after the block
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.remembered == nullptr ? "nothing" : c.remembered) + " " +
                 std::to_string(c.clicks.size()));
    testing::ScriptedDesktop desktop;
    desktop.chooseFile(dir.file("tile.hdr"));
    if (c.remembered != nullptr) desktop.settings["SkipCellsWithoutData"] = c.remembered;
    desktop.buttons.push_back(MessageAnswer::yes);
    testing::ScriptedDialogs dialogs;
    dialogs.scripts = {testing::selectDialog("35.0000", "84.0000", "77.3", "0.11"),
                       testing::outputDialog({}, c.clicks)};
    ExtractorRun run;
    EXPECT_EQ(runExtractor(desktop, dialogs, run), 1);  // the save dialog is cancelled
    EXPECT_EQ(run.selection.cols * run.selection.rows, 100001u);
    EXPECT_EQ(run.estimate, c.estimate);
    const std::string question =
        "You have chosen to write approximately\n100001 points.  "
        "That's alot of points ! !\nAre you sure you want to continue?";
    EXPECT_EQ(desktop.messageTexts(), c.estimate > 100000 ? std::vector<std::string>{question}
                                                          : std::vector<std::string>{});
    EXPECT_EQ(desktop.settings["SkipCellsWithoutData"], c.kept);
    EXPECT_EQ(desktop.events.back(), "save");
  }
}

}  // namespace
}  // namespace ned

namespace ned {
namespace {

// gridpick's blocks run on into the tiles beside: the estimate's count reads the kept cells
// of each tile the block crosses, never the overlap of the one east. Held to a literal loop
// over the planted cells.
TEST(OutputDialog, TheCountOfCellsWithDataReadsOnIntoTheTileBeside) {
  testing::TempDir dir;
  const std::string own = dir.file("own.flt");
  const std::string east = dir.file("east.flt");
  testing::makeSparseRaster(own);
  testing::makeSparseRaster(east);
  using Cell = std::pair<int32_t, int32_t>;
  const std::vector<Cell> plantedOwn = {{100, 10801}, {101, 10805}, {100, 10806}, {104, 10800}};
  const std::vector<Cell> plantedEast = {{100, 6}, {102, 7}, {100, 5}, {103, 17}};
  for (const Cell& c : plantedOwn) testing::plantSamples(own, c.first, c.second, {-9999.0f});
  for (const Cell& c : plantedEast) testing::plantSamples(east, c.first, c.second, {-9999.0f});
  const auto has = [](const std::vector<Cell>& cells, Cell cell) {
    return std::find(cells.begin(), cells.end(), cell) != cells.end();
  };
  WriteRequest request;
  request.kind = OutputKind::RectangularXyz;
  request.skipNoData = true;
  request.mosaic.tilesAcross = 2;
  request.mosaic.tilesDown = 1;
  request.mosaic.rasterPaths = {own, east};
  for (uint32_t step : {1u, 2u, 3u}) {
    SCOPED_TRACE(step);
    request.selection = {100, 10800, 4, 12, step - 1, step};  // columns 10800 to 10805, 6 to 11
    int32_t expected = 0;
    for (int32_t i = 0; i < 4; i += static_cast<int32_t>(step)) {
      for (int32_t j = 0; j < 12; j += static_cast<int32_t>(step)) {
        const int32_t col = 10800 + j;
        expected += col < 10806 ? !has(plantedOwn, {100 + i, col})
                                : !has(plantedEast, {100 + i, col - 10800});
      }
    }
    uint64_t count = 0;
    ASSERT_TRUE(countKeptDataCells(posixFileSystem(), request, &count));
    EXPECT_EQ(count, static_cast<uint64_t>(expected));
    EXPECT_EQ(estimateWrittenPoints(posixFileSystem(), Program::extractor, request), expected);
    EXPECT_LT(expected, static_cast<int32_t>(keptCount(4, step) * keptCount(12, step)));
  }
  request.mosaic.rasterPaths = {own, dir.file("none.flt")};  // a tile gone meanwhile
  uint64_t count = 0;
  EXPECT_FALSE(countKeptDataCells(posixFileSystem(), request, &count));
}

const int kContourForms[] = {kIdcRectangular, kIdcProjectNorth, kIdcCsvGrid,
                             kIdcDxfContours, kIdcLandXmlTin,   kIdcDxfTin};

// The contour and surface forms open as the run has them (the binary tile, which gridpick
// does not offer, as rectangular points); the contour fields are usable with the contours
// alone, the tolerance with the surfaces alone, the box "Skip cells without data" with
// neither.
TEST(OutputDialogContours, OpensAsTheRunHasItAndGreysTheFieldsOfTheOtherForms) {
  const std::pair<OutputKind, int> cases[] = {{OutputKind::RectangularXyz, kIdcRectangular},
                                              {OutputKind::ProjectNorthXyz, kIdcProjectNorth},
                                              {OutputKind::ElevationCsv, kIdcCsvGrid},
                                              {OutputKind::DxfContours, kIdcDxfContours},
                                              {OutputKind::LandXmlTin, kIdcLandXmlTin},
                                              {OutputKind::DxfTin, kIdcDxfTin},
                                              {OutputKind::BinaryFlt, kIdcRectangular}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second);
    ExtractorRun run;
    run.outputKind = c.first;
    run.contourIntervalText = "2";
    run.indexEveryText = "10";
    run.toleranceText = "0.3";
    ScriptedFields fields;
    fillDialog(kOutputDialogId, run, fields);
    EXPECT_EQ(fields.texts[kIdcSurfaceTolerance], "0.3");
    EXPECT_EQ(fields.limits[kIdcSurfaceTolerance], 8);
    EXPECT_EQ(fields.texts[kIdcContourInterval], "2");
    EXPECT_EQ(fields.texts[kIdcIndexEvery], "10");
    EXPECT_EQ(fields.limits[kIdcContourInterval], 8);
    EXPECT_EQ(fields.limits[kIdcIndexEvery], 3);
    std::vector<int> clicks = {c.second};  // the state at the start, then every form clicked
    clicks.insert(clicks.end(), std::begin(kContourForms), std::end(kContourForms));
    for (size_t i = 0; i < clicks.size(); ++i) {
      const int form = clicks[i];
      SCOPED_TRACE(form);
      if (i > 0) {
        fields.clickRadio(form, kContourForms);
        EXPECT_FALSE(handleDialogCommand(kOutputDialogId, form, fields, run));
      }
      for (int radio : kContourForms) EXPECT_EQ(fields.checks[radio], radio == form);
      EXPECT_EQ(fields.isEnabled(kIdcSkipNoData),
                form == kIdcRectangular || form == kIdcProjectNorth);
      EXPECT_EQ(fields.isEnabled(kIdcContourInterval), form == kIdcDxfContours);
      EXPECT_EQ(fields.isEnabled(kIdcIndexEvery), form == kIdcDxfContours);
      EXPECT_EQ(fields.isEnabled(kIdcSurfaceTolerance),
                form == kIdcLandXmlTin || form == kIdcDxfTin);
    }
  }
}

// OK with a surface reads the tolerance, a plain decimal number above 0, with the surface's
// form; any other text is refused with its message, the dialog stays open and nothing is
// read into the run. Held to the C library's reading. The other forms do not read it.
TEST(OutputDialogSurfaces, OkReadsTheToleranceOrRefusesIt) {
  struct Case {
    int form;
    const char* tolerance;
    bool refused;
  };
  const Case cases[] = {
      {kIdcLandXmlTin, "0.3", false}, {kIdcDxfTin, " 2 ", false},
      {kIdcDxfTin, ".05", false},     {kIdcLandXmlTin, "0", true},
      {kIdcDxfTin, "0.00", true},     {kIdcLandXmlTin, "-1", true},
      {kIdcDxfTin, "", true},         {kIdcLandXmlTin, "tenth", true},
      {kIdcDxfTin, "1e-1", true},     {kIdcLandXmlTin, "nan", true},
      {kIdcDxfContours, "0", false},  {kIdcRectangular, "x", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tolerance) + " form " + std::to_string(c.form));
    testing::ScriptedDesktop desktop;
    ExtractorRun run;
    run.desktop = &desktop;
    ScriptedFields fields;
    fillDialog(kOutputDialogId, run, fields);
    fields.clickRadio(c.form, kContourForms);
    EXPECT_FALSE(handleDialogCommand(kOutputDialogId, c.form, fields, run));
    fields.texts[kIdcSurfaceTolerance] = c.tolerance;
    fields.texts[kIdcStartEasting] = "7";
    run.dialogAccepted = false;
    const bool ended = handleDialogCommand(kOutputDialogId, 1, fields, run);
    if (c.refused) {
      EXPECT_FALSE(ended);
      ASSERT_EQ(desktop.messages.size(), 1u);
      EXPECT_EQ(desktop.messages[0].text, "The tolerance must be a number greater than 0.");
      EXPECT_EQ(desktop.messages[0].caption, "Notice");
      EXPECT_TRUE(desktop.messages[0].style == kPlainMessage);
      EXPECT_EQ(desktop.messages[0].owner, fields.owner());
      EXPECT_FALSE(run.dialogAccepted);
      EXPECT_EQ(run.startEasting, 200000.0);  // nothing read
      EXPECT_EQ(run.outputKind, OutputKind::RectangularXyz);
      EXPECT_EQ(run.toleranceText, "0.1");
      EXPECT_EQ(run.tolerance, 0.1);
      continue;
    }
    ASSERT_TRUE(ended);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(run.dialogAccepted);
    EXPECT_EQ(run.startEasting, 7.0);
    const bool surface = c.form == kIdcLandXmlTin || c.form == kIdcDxfTin;
    EXPECT_EQ(run.toleranceText, surface ? c.tolerance : "0.1");
    EXPECT_EQ(run.tolerance, surface ? std::strtod(c.tolerance, nullptr) : 0.1);
    if (surface) {
      EXPECT_EQ(run.outputKind,
                c.form == kIdcLandXmlTin ? OutputKind::LandXmlTin : OutputKind::DxfTin);
    }
  }
}

// A whole run with a surface: dialog 102 opens on the surface an earlier run of either
// program last wrote, with its tolerance (the default 0.1 when none is kept or the kept one
// would be refused); the write is not questioned for its many cells (the surface holds the
// few it needs); the form is kept, and the tolerance with a surface. The tile of the skip
// test: 100001 cells, above the question's threshold.
TEST(OutputDialogSurfaces, TheRunOpensOnTheKeptSurfaceAndKeepsTheTolerance) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> remembered;
    int shown;
    const char* toleranceShown;
    std::vector<int> clicks;
    std::vector<std::pair<int, std::string>> typed;
    bool question;
    const char* keptForm;
    const char* keptTolerance;  // null: nothing kept
  };
  const Case cases[] = {
      {{}, kIdcRectangular, "0.1", {kIdcLandXmlTin}, {}, false, "landxml", "0.1"},
      {{{"OutputForm", "dxftin"}, {"SurfaceTolerance", "0.3"}},
       kIdcDxfTin,
       "0.3",
       {},
       {{kIdcSurfaceTolerance, "2"}},
       false,
       "dxftin",
       "2"},
      {{{"OutputForm", "landxml"}, {"SurfaceTolerance", "-1"}},
       kIdcLandXmlTin,
       "0.1",
       {kIdcRectangular},
       {},
       true,
       "rectangular",
       "-1"},
  };
  testing::TempDir dir;
  testing::writeFile(dir.file("tile.hdr"), testing::shortHeader(-84.00055555556, 33.99944444444));
  testing::makeSparseRaster(dir.file("tile.flt"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keptForm);
    testing::ScriptedDesktop desktop;
    desktop.chooseFile(dir.file("tile.hdr"));
    for (const auto& kept : c.remembered) desktop.settings[kept.first] = kept.second;
    desktop.buttons.push_back(MessageAnswer::yes);
    testing::ScriptedDialogs dialogs;
    dialogs.scripts = {testing::selectDialog("35.0000", "84.0000", "77.3", "0.11"),
                       testing::outputDialog(c.typed, c.clicks)};
    ExtractorRun run;
    runExtractor(desktop, dialogs, run);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    ScriptedFields& shown = dialogs.shown[1].second;
    for (int radio : kContourForms) EXPECT_EQ(shown.checks[radio], radio == c.shown);
    EXPECT_EQ(shown.texts[kIdcSurfaceTolerance], c.toleranceShown);
    EXPECT_EQ(shown.isEnabled(kIdcSurfaceTolerance),
              c.shown == kIdcLandXmlTin || c.shown == kIdcDxfTin);
    std::vector<std::string> questions;
    for (const std::string& text : desktop.messageTexts()) {
      if (text.find("That's alot of points") != std::string::npos) questions.push_back(text);
    }
    EXPECT_EQ(questions.size(), c.question ? 1u : 0u);
    EXPECT_EQ(desktop.settings["OutputForm"], c.keptForm);
    const auto tolerance = desktop.settings.find("SurfaceTolerance");
    if (c.keptTolerance == nullptr) {
      EXPECT_TRUE(tolerance == desktop.settings.end());
    } else {
      ASSERT_TRUE(tolerance != desktop.settings.end());
      EXPECT_EQ(tolerance->second, c.keptTolerance);
    }
  }
}

// OK with the contours reads the interval, a plain decimal number above 0, and "Index every",
// a whole number; any other text is refused with its message, the dialog stays open and
// nothing is read into the run. Held to the C library's reading. The other forms read
// neither field.
TEST(OutputDialogContours, OkRefusesABadIntervalOrIndexCount) {
  const char* const kInterval = "The contour interval must be a number greater than 0.";
  const char* const kEvery =
      "Index every must be a whole number of lines, 0 for no index contours.";
  struct Case {
    int form;
    const char* interval;
    const char* every;
    const char* refusal;  // null: accepted
  };
  const Case cases[] = {
      {kIdcDxfContours, "2", "5", nullptr},      {kIdcDxfContours, "0.25", "0", nullptr},
      {kIdcDxfContours, " 10 ", "999", nullptr}, {kIdcDxfContours, "0", "5", kInterval},
      {kIdcDxfContours, "-2", "5", kInterval},   {kIdcDxfContours, "", "5", kInterval},
      {kIdcDxfContours, "two", "5", kInterval},  {kIdcDxfContours, "1e1", "5", kInterval},
      {kIdcDxfContours, "0.", "x", kInterval},  // the interval is told first
      {kIdcDxfContours, "2", "", kEvery},        {kIdcDxfContours, "2", "-5", kEvery},
      {kIdcDxfContours, "2", "2.5", kEvery},     {kIdcCsvGrid, "0", "", nullptr},
      {kIdcProjectNorth, "x", "x", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.interval) + " / " + c.every + " form " + std::to_string(c.form));
    testing::ScriptedDesktop desktop;
    ExtractorRun run;
    run.desktop = &desktop;
    ScriptedFields fields;
    fillDialog(kOutputDialogId, run, fields);
    fields.clickRadio(c.form, kContourForms);
    EXPECT_FALSE(handleDialogCommand(kOutputDialogId, c.form, fields, run));
    fields.texts[kIdcContourInterval] = c.interval;
    fields.texts[kIdcIndexEvery] = c.every;
    fields.texts[kIdcStartEasting] = "7";
    run.dialogAccepted = false;
    const bool ended = handleDialogCommand(kOutputDialogId, 1, fields, run);
    if (c.refusal != nullptr) {
      EXPECT_FALSE(ended);
      ASSERT_EQ(desktop.messages.size(), 1u);
      EXPECT_EQ(desktop.messages[0].text, c.refusal);
      EXPECT_EQ(desktop.messages[0].caption, "Notice");
      EXPECT_TRUE(desktop.messages[0].style == kPlainMessage);
      EXPECT_EQ(desktop.messages[0].owner, fields.owner());
      EXPECT_FALSE(run.dialogAccepted);
      EXPECT_EQ(run.startEasting, 200000.0);  // nothing read
      EXPECT_EQ(run.outputKind, OutputKind::RectangularXyz);
      EXPECT_EQ(run.contourIntervalText, "1");
      // Without a desktop the refusal still holds, untold.
      run.desktop = nullptr;
      EXPECT_FALSE(handleDialogCommand(kOutputDialogId, 1, fields, run));
      continue;
    }
    ASSERT_TRUE(ended);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(run.dialogAccepted);
    EXPECT_EQ(run.startEasting, 7.0);
    if (c.form != kIdcDxfContours) {
      EXPECT_EQ(run.contourIntervalText, "1");
      EXPECT_EQ(run.contourInterval, 1.0);
      continue;
    }
    EXPECT_EQ(run.outputKind, OutputKind::DxfContours);
    EXPECT_EQ(run.contourIntervalText, c.interval);
    EXPECT_EQ(run.indexEveryText, c.every);
    EXPECT_EQ(run.contourInterval, std::strtod(c.interval, nullptr));
    EXPECT_EQ(run.indexEvery, static_cast<uint32_t>(std::strtoul(c.every, nullptr, 10)));
  }
}

// A whole run: dialog 102 opens on the contours when an earlier run of either program last
// drew them (otherwise on the rectangular points, as it always has), with the fields kept; the
// write asks for a drawing with the typed interval and count, without the question about many
// points (a drawing holds lines); the form is kept, and the fields with the contours. The tile of
// the skip test: 100001 cells, above the question's threshold.
TEST(OutputDialogContours, TheRunOpensOnTheKeptFormAndKeepsTheChoice) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> remembered;
    int shown;  // the radio button checked at the start
    std::vector<int> clicks;
    std::vector<std::pair<int, std::string>> typed;
    bool question;
    const char* keptForm;
    const char* keptInterval;  // null: nothing kept
    const char* extension;
  };
  const Case cases[] = {
      {{}, kIdcRectangular, {}, {}, true, "rectangular", nullptr, "csv"},
      {{},
       kIdcRectangular,
       {kIdcDxfContours},
       {{kIdcContourInterval, "2"}},
       false,
       "contours",
       "2",
       "dxf"},
      {{{"OutputForm", "contours"}, {"ContourInterval", "0.5"}, {"IndexContourEvery", "4"}},
       kIdcDxfContours,
       {},
       {},
       false,
       "contours",
       "0.5",
       "dxf"},
      {{{"OutputForm", "contours"}, {"ContourInterval", "5"}},
       kIdcDxfContours,
       {kIdcCsvGrid},
       {},
       true,
       "csv",
       "5",
       "csv"},
      {{{"OutputForm", "binary"}}, kIdcRectangular, {}, {}, true, "rectangular", nullptr, "csv"},
      {{{"OutputForm", "north"}}, kIdcRectangular, {}, {}, true, "rectangular", nullptr, "csv"},
      {{{"OutputForm", "north"}},
       kIdcRectangular,
       {kIdcProjectNorth},
       {},
       true,
       "north",
       nullptr,
       "csv"},
  };
  testing::TempDir dir;
  testing::writeFile(dir.file("tile.hdr"), testing::shortHeader(-84.00055555556, 33.99944444444));
  testing::makeSparseRaster(dir.file("tile.flt"));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.keptForm) + " " + std::to_string(c.clicks.size()));
    testing::ScriptedDesktop desktop;
    desktop.chooseFile(dir.file("tile.hdr"));
    for (const auto& kept : c.remembered) desktop.settings[kept.first] = kept.second;
    desktop.buttons.push_back(MessageAnswer::yes);
    testing::ScriptedDialogs dialogs;
    dialogs.scripts = {testing::selectDialog("35.0000", "84.0000", "77.3", "0.11"),
                       testing::outputDialog(c.typed, c.clicks)};
    ExtractorRun run;
    EXPECT_EQ(runExtractor(desktop, dialogs, run), 1);  // the save dialog is cancelled
    ASSERT_EQ(dialogs.shown.size(), 2u);
    ScriptedFields& shown = dialogs.shown[1].second;
    for (int radio : kContourForms) EXPECT_EQ(shown.checks[radio], radio == c.shown);
    EXPECT_EQ(shown.isEnabled(kIdcContourInterval), c.shown == kIdcDxfContours);
    EXPECT_EQ(desktop.messages.size(), c.question ? 1u : 0u);
    EXPECT_EQ(desktop.settings["OutputForm"], c.keptForm);
    const auto interval = desktop.settings.find("ContourInterval");
    if (c.keptInterval == nullptr) {
      EXPECT_TRUE(interval == desktop.settings.end());
    } else {
      ASSERT_TRUE(interval != desktop.settings.end());
      EXPECT_EQ(interval->second, c.keptInterval);
    }
    ASSERT_FALSE(desktop.dialogs.empty());
    EXPECT_EQ(desktop.dialogs.back().request.defaultExtension, c.extension);
    EXPECT_TRUE(run.desktop == nullptr);  // the desktop is the dialog's only while it is open
  }
}

}  // namespace
}  // namespace ned
