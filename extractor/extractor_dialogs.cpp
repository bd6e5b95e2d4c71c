#include "extractor/extractor_dialogs.h"

#include <limits>
#include <string>

#include "core/coordinate_choice.h"
#include "core/export/data_cells.h"
#include "core/export/selection.h"
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

OutputKind chosenForm(DialogFields& fields, OutputKind otherwise) {
  if (fields.isChecked(kIdcRectangular)) return OutputKind::RectangularXyz;
  if (fields.isChecked(kIdcProjectNorth)) return OutputKind::ProjectNorthXyz;
  if (fields.isChecked(kIdcCsvGrid)) return OutputKind::ElevationCsv;
  return otherwise;
}

// Cells without data can be left out of the XYZ forms only.
void greySkipBox(DialogFields& fields) {
  fields.setEnabled(kIdcSkipNoData,
                    formSkipsNoData(chosenForm(fields, OutputKind::RectangularXyz)));
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
  // Rectangular points are an XYZ form: the box stays as the resource has it, usable.
  fields.setChecked(kIdcSkipNoData, run.skipNoData);
  showCoordinateChoices(fields, kIdcCoordinates, coordinateChoices(run.header, run.selection),
                        run.coordinateSystem, kIdcStartNorthing, kIdcStartEasting);
}

void readOutputDialog(DialogFields& fields, ExtractorRun& run) {
  run.startEasting = readDouble(fields, kIdcStartEasting, kCoordinateReadLimit);
  run.startNorthing = readDouble(fields, kIdcStartNorthing, kCoordinateReadLimit);

  setRemoveCount(run.selection,
                 parseRemoveCount(fields.text(kIdcRemoveCount, kRemoveCountReadLimit)));
  run.outputKind = chosenForm(fields, run.outputKind);
  run.toFeet = fields.isChecked(kIdcToFeet);
  run.skipNoData = fields.isChecked(kIdcSkipNoData);
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
  if (dialogId != kOutputDialogId) return false;
  if (commandId == kIdcCoordinates)
    greyUnusedStart(fields, kIdcCoordinates, kIdcStartNorthing, kIdcStartEasting);
  if (commandId == kIdcRectangular || commandId == kIdcProjectNorth || commandId == kIdcCsvGrid)
    greySkipBox(fields);
  return false;
}

}  // namespace ned
