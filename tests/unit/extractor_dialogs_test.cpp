#include "extractor/extractor_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "core/export/map_projection.h"
#include "tests/support/scripted_dialogs.h"

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
  const DialogFrame outputFields[] = {
      {47, 14, 22, 11}, {77, 14, 22, 11}, {107, 14, 36, 11}, {55, 48, 35, 11}, {100, 48, 35, 11}};
  auto check = [](const DialogFrame& frame, const DialogFrame& field) {
    EXPECT_EQ(frame.left, field.left - 2);
    EXPECT_EQ(frame.top, field.top - 2);
    EXPECT_EQ(frame.right, field.left + field.right + 2);
    EXPECT_EQ(frame.bottom, field.top + field.bottom + 2);
  };
  for (size_t i = 0; i < 4; ++i) check(kSelectDialogFrames[i + 1], selectFields[i]);
  for (size_t i = 0; i < 5; ++i) check(kOutputDialogFrames[i + 1], outputFields[i]);
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
      EXPECT_EQ(fields.enabled.size(), 2u);  // nothing else is greyed
    }
    EXPECT_TRUE(handleDialogCommand(kOutputDialogId, 1, fields, run));
    EXPECT_EQ(run.coordinateSystem, c.read);
  }
}

}  // namespace
}  // namespace ned
