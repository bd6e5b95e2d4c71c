#include "extractor/extractor_dialogs.h"

#include <limits>
#include <string>

#include "core/coordinate_choice.h"
#include "core/numbers.h"

namespace ned {

namespace {

constexpr int kIdOkCommand = 1;
constexpr int kIdCancelCommand = 2;

double readDouble(DialogFields& fields, int id, int limit) {
  return parseLeadingDouble(fields.text(id, limit).c_str());
}

// A distance as the run holds it, a 32-bit float. Four characters can spell a number
// beyond the float's range ("9e99"): that is an infinite distance, not a conversion
// without a defined result.
float readKilometres(DialogFields& fields, int id) {
  const double value = readDouble(fields, id, kKmReadLimit);
  if (value > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (value < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace

void fillSelectDialog(const ExtractorRun& run, DialogFields& fields) {
  fields.setText(kIdcTileName, run.tileName);
  fields.setText(kIdcLongitude, "dd.mmss");
  fields.setText(kIdcLatitude, "dd.mmss");
  fields.setText(kIdcKmEast, "1.0");
  fields.setText(kIdcKmSouth, "1.0");
}

void readSelectDialog(DialogFields& fields, ExtractorRun& run) {
  run.lonDms = readDouble(fields, kIdcLongitude, kDmsReadLimit);
  run.latDms = readDouble(fields, kIdcLatitude, kDmsReadLimit);
  run.kmEast = readKilometres(fields, kIdcKmEast);
  run.kmSouth = readKilometres(fields, kIdcKmSouth);
}

void fillOutputDialog(const ExtractorRun& run, DialogFields& fields) {
  fields.setText(kIdcCols, std::to_string(run.selection.cols));
  fields.setText(kIdcRows, std::to_string(run.selection.rows));
  fields.setText(kIdcTotalPoints, std::to_string(run.totalPoints));
  fields.setText(kIdcStartEasting, "200000");
  fields.setText(kIdcStartNorthing, "200000");
  fields.setText(kIdcRemoveCount, "0");
  fields.setChecked(kIdcRectangular, true);
  showCoordinateChoices(fields, kIdcCoordinates, coordinateChoices(run.header, run.selection),
                        run.coordinateSystem, kIdcStartNorthing, kIdcStartEasting);
}

void readOutputDialog(DialogFields& fields, ExtractorRun& run) {
  run.startEasting = readDouble(fields, kIdcStartEasting, kCoordinateReadLimit);
  run.startNorthing = readDouble(fields, kIdcStartNorthing, kCoordinateReadLimit);

  std::string remove = fields.text(kIdcRemoveCount, kRemoveCountReadLimit);
  if (remove.empty()) remove = "0";
  // The field takes digits only, but a pasted "-1" would make the step 0 and every
  // cell a division by zero: a count below zero removes nothing.
  const int32_t count = parseLeadingInt(remove.c_str());
  run.selection.removeCount = count > 0 ? static_cast<uint32_t>(count) : 0u;
  run.selection.step = run.selection.removeCount + 1;

  if (fields.isChecked(kIdcRectangular)) {
    run.outputKind = OutputKind::RectangularXyz;
  } else if (fields.isChecked(kIdcProjectNorth)) {
    run.outputKind = OutputKind::ProjectNorthXyz;
  } else if (fields.isChecked(kIdcCsvGrid)) {
    run.outputKind = OutputKind::ElevationCsv;
  }
  run.toFeet = fields.isChecked(kIdcToFeet);
  run.coordinateSystem =
      chosenCoordinateSystem(fields, kIdcCoordinates, coordinateChoices(run.header, run.selection));
}

void fillDialog(int dialogId, const ExtractorRun& run, DialogFields& fields) {
  if (dialogId == kSelectDialogId) {
    fillSelectDialog(run, fields);
  } else {
    fillOutputDialog(run, fields);
  }
}

bool handleDialogCommand(int dialogId, int commandId, DialogFields& fields, ExtractorRun& run) {
  if (commandId == kIdOkCommand) {
    if (dialogId == kSelectDialogId) {
      readSelectDialog(fields, run);
    } else {
      readOutputDialog(fields, run);
    }
    run.dialogAccepted = true;
    return true;
  }
  if (commandId == kIdCancelCommand) {
    run.dialogAccepted = false;
    return true;
  }
  if (dialogId == kOutputDialogId && commandId == kIdcCoordinates)
    greyUnusedStart(fields, kIdcCoordinates, kIdcStartNorthing, kIdcStartEasting);
  return false;
}

}  // namespace ned
