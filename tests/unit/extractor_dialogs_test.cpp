#include "extractor/extractor_dialogs.h"

#include <gtest/gtest.h>

#include <limits>

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
      {7, 14, 22, 11}, {37, 14, 22, 11}, {67, 14, 36, 11}, {15, 48, 35, 11}, {60, 48, 35, 11}};
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

}  // namespace
}  // namespace ned
