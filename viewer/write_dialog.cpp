#include "viewer/write_dialog.h"

#include <cctype>

#include "core/coordinate_choice.h"
#include "core/export/data_cells.h"
#include "core/export/form_choice.h"
#include "core/export/number_format.h"
#include "core/export/point_writer.h"
#include "core/numbers.h"

namespace ned {

namespace {

OutputKind chosenForm(DialogFields& fields) {
  if (fields.isChecked(kIdcProjectNorthForm)) return OutputKind::ProjectNorthXyz;
  if (fields.isChecked(kIdcCsvGridForm)) return OutputKind::ElevationCsv;
  if (fields.isChecked(kIdcBinaryForm)) return OutputKind::BinaryFlt;
  if (fields.isChecked(kIdcDxfContoursForm)) return OutputKind::DxfContours;
  if (fields.isChecked(kIdcLandXmlTinForm)) return OutputKind::LandXmlTin;
  if (fields.isChecked(kIdcDxfTinForm)) return OutputKind::DxfTin;
  return OutputKind::RectangularXyz;
}

// The radio button of each form.
struct FormButton {
  OutputKind kind;
  int id;
};
constexpr FormButton kFormButtons[] = {{OutputKind::RectangularXyz, kIdcRectangularForm},
                                       {OutputKind::ProjectNorthXyz, kIdcProjectNorthForm},
                                       {OutputKind::BinaryFlt, kIdcBinaryForm},
                                       {OutputKind::ElevationCsv, kIdcCsvGridForm},
                                       {OutputKind::DxfContours, kIdcDxfContoursForm},
                                       {OutputKind::LandXmlTin, kIdcLandXmlTinForm},
                                       {OutputKind::DxfTin, kIdcDxfTinForm}};

bool isXyz(OutputKind kind) {
  return kind == OutputKind::RectangularXyz || kind == OutputKind::ProjectNorthXyz;
}

// Cells without data can be left out of the XYZ forms only; the contour interval and
// "Index every" belong to the contours, the tolerance to the surfaces.
void greyFormFields(DialogFields& fields) {
  const OutputKind kind = chosenForm(fields);
  fields.setEnabled(kIdcSkipNoData, formSkipsNoData(kind));
  fields.setEnabled(kIdcContourInterval, formDrawsContours(kind));
  fields.setEnabled(kIdcIndexEvery, formDrawsContours(kind));
  fields.setEnabled(kIdcSurfaceTolerance, formBuildsSurface(kind));
}

// The Northing, then the Easting: each a plain number, or its message in a box of the
// given style owned by the dialog. Gives false after a message.
bool readStartCoordinates(WriteDialog& dialog, DialogFields& fields, MessageStyle style,
                          std::string* northing, std::string* easting) {
  struct Coordinate {
    int id;
    const char* message;
    std::string* text;
  };
  const Coordinate coordinates[] = {{kIdcNorthing, "Non Numerical Northing.", northing},
                                    {kIdcEasting, "Non Numerical Easting.", easting}};
  for (const Coordinate& c : coordinates) {
    *c.text = fields.text(c.id, kCoordinateChars + 1);
    if (!isPlainNumberText(*c.text)) {
      dialog.desktop->showMessage(fields.owner(), c.message, "Notice", style);
      dialog.state->actionOk = 0;
      return false;
    }
  }
  return true;
}

// Rows or columns as Write Pnts reads them: at least 3, at most what was selected.
bool readGridSize(WriteDialog& dialog, DialogFields& fields, int id, uint32_t max,
                  const char* tooFew, uint32_t* value) {
  const std::string text = fields.text(id, kGridSizeChars + 1);
  // Compared as unsigned: a pasted negative number counts as more than was selected.
  *value = static_cast<uint32_t>(parseLeadingInt(text.c_str()));
  if (*value < 3) {
    dialog.desktop->showMessage(fields.owner(), tooFew, "Message.", kTaskModalMessage);
    dialog.state->actionOk = 0;
    return false;
  }
  if (*value > max) *value = max;
  return true;
}

// Columns or rows as Estimates reads them; a value above the selection is put back.
bool readEstimateSize(WriteDialog& dialog, DialogFields& fields, int id, uint32_t max,
                      const char* none, uint32_t* value) {
  if (!fields.unsignedValue(id, value) || *value == 0) {
    dialog.desktop->showMessage(fields.owner(), none, "Notice", kPlainMessage);
    return false;
  }
  if (*value > max) {
    *value = max;
    fields.setUnsignedValue(id, max);
  }
  return true;
}

// The EPSG code of the coordinates chosen, 0 for the local grid.
int32_t chosenSystem(const ViewerState& state, DialogFields& fields) {
  return chosenCoordinateSystem(fields, kIdcCoordinates,
                                coordinateChoices(state.header, state.selection));
}

// Whether the form places its cells as the points do, in the chosen coordinates: the
// points, the contours and the surfaces.
bool placesCells(OutputKind kind) {
  return isXyz(kind) || formDrawsContours(kind) || formBuildsSurface(kind);
}

// Whether the typed Northing and Easting are what X and Y start from: the points', the
// contours' and the surfaces' in the local grid.
bool startsFromTypedCoordinates(OutputKind kind, int32_t system) {
  return placesCells(kind) && system == 0;
}

// The contour interval, then "Index every", as typed; or the message of the first that is
// refused, in a box owned by the dialog. Gives false after a message.
bool readContourFields(WriteDialog& dialog, DialogFields& fields, std::string* interval,
                       std::string* every, WriteRequest* request) {
  *interval = fields.text(kIdcContourInterval, kContourIntervalChars + 1);
  *every = fields.text(kIdcIndexEvery, kIndexEveryChars + 1);
  const char* refusal = nullptr;
  if (!readContourInterval(*interval, &request->contourInterval)) {
    refusal = kBadContourIntervalText;
  } else if (!readIndexEvery(*every, &request->indexEvery)) {
    refusal = kBadIndexEveryText;
  }
  if (refusal == nullptr) return true;
  dialog.desktop->showMessage(fields.owner(), refusal, "Notice", kTaskModalMessage);
  dialog.state->actionOk = 0;
  return false;
}

// The tolerance as typed, or its refusal in a box owned by the dialog. Gives false after
// the message.
bool readToleranceField(WriteDialog& dialog, DialogFields& fields, std::string* tolerance,
                        WriteRequest* request) {
  *tolerance = fields.text(kIdcSurfaceTolerance, kSurfaceToleranceChars + 1);
  if (readSurfaceTolerance(*tolerance, &request->tolerance)) return true;
  dialog.desktop->showMessage(fields.owner(), kBadSurfaceToleranceText, "Notice",
                              kTaskModalMessage);
  dialog.state->actionOk = 0;
  return false;
}

bool writePressed(WriteDialog& dialog, DialogFields& fields) {
  ViewerState& state = *dialog.state;
  WriteRequest& request = state.writeRequest;
  const OutputKind kind = chosenForm(fields);
  const bool toFeet = fields.isChecked(kIdcFeet);
  const int32_t system = chosenSystem(state, fields);
  std::string northing;
  std::string easting;
  if (startsFromTypedCoordinates(kind, system) &&
      !readStartCoordinates(dialog, fields, kTaskModalMessage, &northing, &easting)) {
    return false;
  }
  uint32_t rows = 0;
  uint32_t cols = 0;
  if (!readGridSize(dialog, fields, kIdcSelRows, dialog.maxRows, "Not enough Rows.", &rows) ||
      !readGridSize(dialog, fields, kIdcSelCols, dialog.maxCols, "Not enough Cols.", &cols)) {
    return false;
  }
  // The interval, the count and the tolerance are read into a copy, so that a refusal
  // leaves the request.
  WriteRequest contours = request;
  std::string interval;
  std::string every;
  std::string tolerance;
  if (formDrawsContours(kind) && !readContourFields(dialog, fields, &interval, &every, &contours)) {
    return false;
  }
  if (formBuildsSurface(kind) && !readToleranceField(dialog, fields, &tolerance, &contours)) {
    return false;
  }
  const uint32_t removeCount = parseRemoveCount(fields.text(kIdcSelRemoveCount, kRemoveChars + 1));
  const bool skip = fields.isChecked(kIdcSkipNoData);

  request.contourInterval = contours.contourInterval;
  request.indexEvery = contours.indexEvery;
  request.tolerance = contours.tolerance;
  request.kind = kind;
  request.toFeet = toFeet;
  request.skipNoData = skip && formSkipsNoData(kind);
  request.coordinateSystem = system;
  if (startsFromTypedCoordinates(kind, system)) {
    request.startNorthing = parseLeadingDouble(northing.c_str());
    request.startEasting = parseLeadingDouble(easting.c_str());
  }
  state.selection.rows = rows;
  state.selection.cols = cols;
  setRemoveCount(state.selection, removeCount);
  state.actionOk = 1;
  state.writeDialogOpen = 0;
  dialog.end = WriteDialogEnd::write;
  rememberCoordinateSystem(*dialog.desktop, system);
  rememberSkipNoData(*dialog.desktop, skip);
  rememberOutputForm(*dialog.desktop, kind);
  if (formDrawsContours(kind)) rememberContourFields(*dialog.desktop, interval, every);
  if (formBuildsSurface(kind)) rememberSurfaceTolerance(*dialog.desktop, tolerance);
  return true;
}

void estimatesPressed(WriteDialog& dialog, DialogFields& fields) {
  ViewerState& state = *dialog.state;
  const OutputKind kind = chosenForm(fields);
  uint32_t cols = 0;
  uint32_t rows = 0;
  if (!readEstimateSize(dialog, fields, kIdcSelCols, dialog.maxCols, "No Columns", &cols) ||
      !readEstimateSize(dialog, fields, kIdcSelRows, dialog.maxRows, "  No Rows", &rows)) {
    return;
  }
  state.selectedPoints = static_cast<int32_t>(cols * rows);
  fields.setText(kIdcSelectedPoints, std::to_string(state.selectedPoints));

  uint32_t removeCount = 0;
  if (!fields.unsignedValue(kIdcSelRemoveCount, &removeCount)) {
    removeCount = 0;
    fields.setText(kIdcSelRemoveCount, "0");
  }
  // The block as Write Pnts would write it; without its cells without data, they are
  // counted. For the contours and the surfaces: the kept cells the lines are traced over or
  // the surface is fitted to (its points are those of them it needs, which only the fit
  // tells).
  WriteRequest block;
  block.kind = kind;
  block.skipNoData = fields.isChecked(kIdcSkipNoData);
  block.header = state.header;
  block.selection = state.selection;
  block.selection.cols = cols;
  block.selection.rows = rows;
  setRemoveCount(block.selection, removeCount);
  const int32_t points =
      estimateWrittenPoints(dialog.desktop->fileSystem(), Program::viewer, block);
  // Empty when every selected point is written.
  fields.setText(kIdcEstimatedPoints, removeCount == 0 && points == state.selectedPoints
                                          ? std::string()
                                          : std::to_string(points));

  std::string northing;
  std::string easting;
  const int32_t system = chosenSystem(state, fields);
  if (startsFromTypedCoordinates(kind, system)) {
    if (!readStartCoordinates(dialog, fields, kPlainMessage, &northing, &easting)) return;
  } else if (isXyz(kind)) {
    // In a map system every X and Y is projected: count those of the first point written.
    WriteRequest mapped;
    mapped.kind = kind;
    mapped.coordinateSystem = system;
    mapped.header = state.header;
    mapped.selection = state.selection;
    const WritePlan plan = planWrite(mapped, Program::viewer, GroundSpacing());
    const MapPoint first = projectPoint(*plan.map, plan.firstLatitude, plan.firstLongitude);
    easting = formatFixed3(first.easting);
    northing = formatFixed3(first.northing);
  } else if (!formDrawsContours(kind) && !formBuildsSurface(kind)) {
    fields.setText(kIdcEasting, "N/A");
    fields.setText(kIdcNorthing, "N/A");
  }
  fields.setText(kIdcEstimatedSize, "");
  // The size of a drawing or a surface follows from the terrain's lines or faces, not from
  // the cells: none.
  if (formDrawsContours(kind) || formBuildsSurface(kind)) return;
  fields.setText(kIdcEstimatedSize, formatSize(estimateBytes(kind, points, easting, northing)));
}

}  // namespace

void prepareSelection(ViewerState& state) {
  ViewRect rect;
  rect.left = state.selLeft;
  rect.top = state.selTop;
  rect.right = state.selRight;
  rect.bottom = state.selBottom;
  state.selection = selectionFromView(state.viewLevel, state.selectAllPending != 0, rect,
                                      state.renderedStartRow, state.renderedStartCol);
  const UpperLeftCorner corner = upperLeft(state.header, state.selection);
  state.ulLatText = corner.ulLatText;
  state.ulLonText = corner.ulLonText;
  state.xulcornerText = corner.xulcornerText;
  state.yulcornerText = corner.yulcornerText;
  state.selectedPoints = static_cast<int32_t>(state.selection.cols * state.selection.rows);
  state.selectAllPending = 0;
}

std::string fileLabel(const TileHeader& header) {
  return "----> File: N" + std::to_string(northEdgeLat(header)) + "-W" +
         std::to_string(westEdgeLon(header)) + " <----";
}

bool isPlainNumberText(const std::string& text) {
  if (text.empty()) return true;
  size_t i = text[0] == '-' ? 1 : 0;
  int digits = 0;
  int points = 0;
  for (; i < text.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++digits;
    } else if (text[i] == '.' && points == 0) {
      ++points;
    } else {
      return false;
    }
  }
  return digits > 0;
}

void initWriteDialog(WriteDialog& dialog, DialogFields& fields) {
  ViewerState& state = *dialog.state;
  fields.setText(kIdcFileLabel, fileLabel(state.header));
  fields.setUnsignedValue(kIdcSelCols, state.selection.cols);
  dialog.maxCols = state.selection.cols;
  fields.setUnsignedValue(kIdcSelRows, state.selection.rows);
  dialog.maxRows = state.selection.rows;
  fields.setText(kIdcSelectedPoints, std::to_string(state.selectedPoints));
  fields.setText(kIdcUpperLeftLon, state.ulLonText);
  fields.setText(kIdcUpperLeftLat, state.ulLatText);
  fields.setText(kIdcEasting, "200000");
  fields.setText(kIdcNorthing, "200000");
  fields.setText(kIdcSelRemoveCount, "0");
  const OutputKind form = rememberedOutputForm(*dialog.desktop);
  for (const FormButton& button : kFormButtons) fields.setChecked(button.id, button.kind == form);
  fields.setChecked(kIdcSkipNoData, rememberedSkipNoData(*dialog.desktop));
  fields.setText(kIdcContourInterval, rememberedContourInterval(*dialog.desktop));
  fields.setText(kIdcIndexEvery, rememberedIndexEvery(*dialog.desktop));
  fields.setText(kIdcSurfaceTolerance, rememberedSurfaceTolerance(*dialog.desktop));
  greyFormFields(fields);
  // What can be typed is what is read back, so nothing typed is cut off unseen.
  fields.limitText(kIdcNorthing, kCoordinateChars);
  fields.limitText(kIdcEasting, kCoordinateChars);
  fields.limitText(kIdcSelCols, kGridSizeChars);
  fields.limitText(kIdcSelRows, kGridSizeChars);
  fields.limitText(kIdcSelRemoveCount, kRemoveChars);
  fields.limitText(kIdcContourInterval, kContourIntervalChars);
  fields.limitText(kIdcIndexEvery, kIndexEveryChars);
  fields.limitText(kIdcSurfaceTolerance, kSurfaceToleranceChars);
  showCoordinateChoices(fields, kIdcCoordinates, coordinateChoices(state.header, state.selection),
                        rememberedCoordinateSystem(*dialog.desktop), kIdcNorthing, kIdcEasting);
  state.writeDialogOpen = 1;
}

bool writeDialogCommand(WriteDialog& dialog, int commandId, DialogFields& fields) {
  switch (commandId) {
    case kIdcWritePoints:
      return writePressed(dialog, fields);
    case kIdcEstimates:
      estimatesPressed(dialog, fields);
      return false;
    case kIdcRectangularForm:
    case kIdcProjectNorthForm:
    case kIdcBinaryForm:
    case kIdcCsvGridForm:
    case kIdcDxfContoursForm:
    case kIdcLandXmlTinForm:
    case kIdcDxfTinForm:
      greyFormFields(fields);
      return false;
    case kIdcCoordinates:
      greyUnusedStart(fields, kIdcCoordinates, kIdcNorthing, kIdcEasting);
      return false;
    case kIdcCancelWrite:
      dialog.state->actionOk = 0;
      dialog.state->writeDialogOpen = 0;
      dialog.end = WriteDialogEnd::cancel;
      return true;
    default:
      return false;
  }
}

WriteDialogResponse finishWriteDialog(const WriteDialog& dialog) {
  ViewerState& state = *dialog.state;
  WriteDialogResponse response;
  if (dialog.end == WriteDialogEnd::cancel) {
    dialog.desktop->showMessage("Click Center to Redraw.", "Message", kTaskModalMessage);
    return response;
  }
  if (dialog.end != WriteDialogEnd::write) return response;
  WriteRequest request = state.writeRequest;
  request.selection = state.selection;
  request.header = state.header;
  request.xulcornerText = state.xulcornerText;
  request.yulcornerText = state.yulcornerText;
  if (placesCells(request.kind))
    noteOutsideAreaOfUse(*dialog.desktop, request.header, request.selection,
                         request.coordinateSystem);
  if (writePoints(*dialog.desktop, Program::viewer, request) == WriteOutcome::endOfRaster) {
    response.endProgram = true;
    response.exitStatus = 0;
  }
  return response;
}

}  // namespace ned
