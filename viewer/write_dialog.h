// The viewer's export: the selection made from the view, the "Write Selected NED Points"
// dialog as plain logic over its controls, and what follows when it closes.
#pragma once

#include <cstdint>
#include <string>

#include "core/desktop.h"
#include "core/dialog_fields.h"
#include "viewer/viewer_state.h"

namespace ned {

// Dialog resource and control ids.
constexpr int kWriteDialogId = 102;
constexpr int kIdcFileLabel = 1000;
constexpr int kIdcSelCols = 1001;
constexpr int kIdcSelRows = 1002;
constexpr int kIdcSelectedPoints = 1003;
constexpr int kIdcSelRemoveCount = 1004;
constexpr int kIdcEstimatedPoints = 1005;
constexpr int kIdcEstimatedSize = 1006;
constexpr int kIdcEasting = 1007;
constexpr int kIdcNorthing = 1008;
constexpr int kIdcUpperLeftLat = 1009;
constexpr int kIdcUpperLeftLon = 1010;
constexpr int kIdcCoordinates = 1012;  // the local grid or a map system
constexpr int kIdcProjectNorthForm = 2001;
constexpr int kIdcCsvGridForm = 2002;
constexpr int kIdcBinaryForm = 2003;
constexpr int kIdcRectangularForm = 2004;
constexpr int kIdcFeet = 2005;
constexpr int kIdcEstimates = 2006;
constexpr int kIdcSkipNoData = 2007;  // "Skip cells without data", for the XYZ forms
constexpr int kIdcDxfContoursForm = 2008;
constexpr int kIdcContourInterval = 2009;  // the contour form's fields
constexpr int kIdcIndexEvery = 2010;
constexpr int kIdcLandXmlTinForm = 2011;
constexpr int kIdcDxfTinForm = 2012;
constexpr int kIdcSurfaceTolerance = 2013;  // the surface forms' field
constexpr int kIdcWritePoints = 1;          // the OK command
constexpr int kIdcCancelWrite = 2;          // Cancel, the close box and Escape

// How many characters each edit control takes, and reads back.
constexpr int kCoordinateChars = 11;
constexpr int kGridSizeChars = 5;
constexpr int kRemoveChars = 2;

// How the dialog ended.
enum class WriteDialogEnd { open, write, cancel };

// One run of the dialog: the program's state and desktop, the selection's size when it
// opened (the user may lower it, never raise it), and how it ended.
struct WriteDialog {
  ViewerState* state = nullptr;
  Desktop* desktop = nullptr;
  uint32_t maxCols = 0;
  uint32_t maxRows = 0;
  WriteDialogEnd end = WriteDialogEnd::open;
};

// The selection of the view (Select All or the dragged rectangle) and the texts of its
// upper-left corner, before the dialog opens.
void prepareSelection(ViewerState& state);

// The label of the dialog: the tile's north and west edges.
std::string fileLabel(const TileHeader& header);

// Northing and Easting must be one plain decimal number: an optional leading minus,
// digits, at most one point. An empty text passes and reads as 0.
bool isPlainNumberText(const std::string& text);

// What the dialog shows when it opens, the kept choices of coordinates, of skipping cells
// without data, of the form, of the contour fields and of the tolerance among them, each
// control greyed that the form does not use; marks it open.
void initWriteDialog(WriteDialog& dialog, DialogFields& fields);

// A command from the dialog: Write Pnts, Estimates or Cancel, a click on an output form
// (the box "Skip cells without data" is greyed for all but the XYZ forms, the contour
// interval and "Index every" for all but the contours, the tolerance for all but the
// surfaces), or a change of the Coordinates list. Gives true when the dialog is to end;
// dialog.end then says how. Write Pnts refuses a contour interval that is not a number
// above 0 and an "Index every" that is not a whole number with the contours, a tolerance
// that is not a number above 0 with a surface, and keeps the choices of coordinates, of
// skipping, of the form and of the form's fields (when that form is written) for the next
// run.
bool writeDialogCommand(WriteDialog& dialog, int commandId, DialogFields& fields);

// What the window does once the dialog has closed and its write has run.
struct WriteDialogResponse {
  bool endProgram = false;  // the raster ended before the selection: the program ends
  int exitStatus = 0;       // with this status
};

// After the dialog has closed: the write, or the note that the map is to be redrawn. A
// raster that ends before the selection does ends the program, with 0, once "End of
// File." has been told; what was written stays.
WriteDialogResponse finishWriteDialog(const WriteDialog& dialog);

}  // namespace ned
