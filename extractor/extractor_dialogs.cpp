#include "extractor/extractor_dialogs.h"

#include <limits>
#include <string>

#include "core/coordinate_choice.h"
#include "core/export/data_cells.h"
#include "core/export/form_choice.h"
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
  if (fields.isChecked(kIdcDxfContours)) return OutputKind::DxfContours;
  if (fields.isChecked(kIdcLandXmlTin)) return OutputKind::LandXmlTin;
  if (fields.isChecked(kIdcDxfTin)) return OutputKind::DxfTin;
  return otherwise;
}

// Cells without data can be left out of the XYZ forms only; the contour interval and
// "Index every" belong to the contours, the tolerance to the surfaces.
void greyFormFields(DialogFields& fields) {
  const OutputKind kind = chosenForm(fields, OutputKind::RectangularXyz);
  fields.setEnabled(kIdcSkipNoData, formSkipsNoData(kind));
  fields.setEnabled(kIdcContourInterval, formDrawsContours(kind));
  fields.setEnabled(kIdcIndexEvery, formDrawsContours(kind));
  fields.setEnabled(kIdcSurfaceTolerance, formBuildsSurface(kind));
}

// The contour fields of a dialog 102 accepted with the contours: their values into the
// run, or the refusal of the first that is not one, told through the run's desktop.
bool readContourFields(DialogFields& fields, ExtractorRun& run) {
  const std::string interval = fields.text(kIdcContourInterval, kContourIntervalChars + 1);
  const std::string every = fields.text(kIdcIndexEvery, kIndexEveryChars + 1);
  double intervalValue = 0.0;
  uint32_t everyValue = 0;
  const char* refusal = nullptr;
  if (!readContourInterval(interval, &intervalValue)) {
    refusal = kBadContourIntervalText;
  } else if (!readIndexEvery(every, &everyValue)) {
    refusal = kBadIndexEveryText;
  }
  if (refusal != nullptr) {
    if (run.desktop != nullptr)
      run.desktop->showMessage(fields.owner(), refusal, "Notice", kPlainMessage);
    return false;
  }
  run.contourIntervalText = interval;
  run.indexEveryText = every;
  run.contourInterval = intervalValue;
  run.indexEvery = everyValue;
  return true;
}

// The tolerance of a dialog 102 accepted with a surface: its value into the run, or its
// refusal, told through the run's desktop.
bool readToleranceField(DialogFields& fields, ExtractorRun& run) {
  const std::string text = fields.text(kIdcSurfaceTolerance, kSurfaceToleranceChars + 1);
  double value = 0.0;
  if (!readSurfaceTolerance(text, &value)) {
    if (run.desktop != nullptr)
      run.desktop->showMessage(fields.owner(), kBadSurfaceToleranceText, "Notice", kPlainMessage);
    return false;
  }
  run.toleranceText = text;
  run.tolerance = value;
  return true;
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
  const OutputKind form =
      run.outputKind == OutputKind::BinaryFlt ? OutputKind::RectangularXyz : run.outputKind;
  fields.setChecked(kIdcRectangular, form == OutputKind::RectangularXyz);
  fields.setChecked(kIdcProjectNorth, form == OutputKind::ProjectNorthXyz);
  fields.setChecked(kIdcCsvGrid, form == OutputKind::ElevationCsv);
  fields.setChecked(kIdcDxfContours, form == OutputKind::DxfContours);
  fields.setChecked(kIdcLandXmlTin, form == OutputKind::LandXmlTin);
  fields.setChecked(kIdcDxfTin, form == OutputKind::DxfTin);
  fields.setChecked(kIdcSkipNoData, run.skipNoData);
  fields.setText(kIdcContourInterval, run.contourIntervalText);
  fields.setText(kIdcIndexEvery, run.indexEveryText);
  fields.limitText(kIdcContourInterval, kContourIntervalChars);
  fields.limitText(kIdcIndexEvery, kIndexEveryChars);
  fields.setText(kIdcSurfaceTolerance, run.toleranceText);
  fields.limitText(kIdcSurfaceTolerance, kSurfaceToleranceChars);
  greyFormFields(fields);
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
    if (dialogId == kOutputDialogId &&
        formDrawsContours(chosenForm(fields, OutputKind::RectangularXyz)) &&
        !readContourFields(fields, run)) {
      return false;
    }
    if (dialogId == kOutputDialogId &&
        formBuildsSurface(chosenForm(fields, OutputKind::RectangularXyz)) &&
        !readToleranceField(fields, run)) {
      return false;
    }
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
  if (commandId == kIdcRectangular || commandId == kIdcProjectNorth || commandId == kIdcCsvGrid ||
      commandId == kIdcDxfContours || commandId == kIdcLandXmlTin || commandId == kIdcDxfTin)
    greyFormFields(fields);
  return false;
}

}  // namespace ned
