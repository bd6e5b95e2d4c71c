// The extractor's two dialogs as plain logic: what each shows when it opens, what it
// reads back when OK is pressed, and the frames it draws. The window-system side only
// gives access to the controls (DialogFields) and draws the rectangles.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/dialog_fields.h"
#include "extractor/extractor_run.h"

namespace ned {

// Dialog resources and control ids.
constexpr int kSelectDialogId = 101;  // where the selection starts and how far it reaches
constexpr int kOutputDialogId = 102;  // grid size, start coordinates, thinning, unit, form

constexpr int kIdcTileName = 1000;
constexpr int kIdcLongitude = 1001;
constexpr int kIdcLatitude = 1002;
constexpr int kIdcKmEast = 1003;
constexpr int kIdcKmSouth = 1004;

constexpr int kIdcCols = 1006;
constexpr int kIdcRows = 1007;
constexpr int kIdcTotalPoints = 1008;
constexpr int kIdcStartEasting = 1009;
constexpr int kIdcStartNorthing = 1010;
constexpr int kIdcRemoveCount = 1011;
constexpr int kIdcToFeet = 50;
constexpr int kIdcRectangular = 40;
constexpr int kIdcProjectNorth = 20;
constexpr int kIdcCsvGrid = 30;
constexpr int kIdcCoordinates = 1012;  // the local grid or a map system
constexpr int kIdcSkipNoData = 60;     // "Skip cells without data", for the XYZ forms
constexpr int kIdcDxfContours = 70;
constexpr int kIdcContourInterval = 1013;  // the contour form's fields
constexpr int kIdcIndexEvery = 1014;
constexpr int kIdcLandXmlTin = 80;
constexpr int kIdcDxfTin = 90;
constexpr int kIdcSurfaceTolerance = 1015;  // the surface forms' field

// Read limits, as the window system counts them: the buffer size, terminator included,
// so at most one character fewer is taken.
constexpr int kDmsReadLimit = 9;
constexpr int kKmReadLimit = 5;
constexpr int kCoordinateReadLimit = 12;
constexpr int kRemoveCountReadLimit = 3;

// Dialog 101: the tile name, "dd.mmss" twice and "1.0" twice.
void fillSelectDialog(const ExtractorRun& run, DialogFields& fields);
// Dialog 101 on OK: the corner and the distances into the run.
void readSelectDialog(DialogFields& fields, ExtractorRun& run);

// Dialog 102: the grid size, "200000" twice, "0" to remove, the run's form (rectangular
// points unless the last write drew contours or a surface), the box "Skip cells without data",
// the contour fields and the tolerance as the run has them, each greyed that the form does
// not use, and the Coordinates list showing the run's coordinate system (the local grid
// greys nothing).
void fillOutputDialog(const ExtractorRun& run, DialogFields& fields);
// Dialog 102 on OK: start coordinates, thinning, output form, unit, the skipping of cells
// without data, coordinate system and the contour fields' and tolerance's texts into the run.
void readOutputDialog(DialogFields& fields, ExtractorRun& run);

// What dialog dialogId shows when it opens.
void fillDialog(int dialogId, const ExtractorRun& run, DialogFields& fields);

// A command sent to dialog dialogId: OK reads the fields and marks the run accepted,
// Cancel marks it cancelled without reading a field, a change of dialog 102's Coordinates
// list greys or ungreys X and Y, a click on one of its forms greys the box "Skip cells
// without data" for the CSV grid, the contours and the surfaces, the contour fields for
// every form but the contours, the tolerance for every form but the surfaces. With the
// contours chosen, OK refuses a contour interval that is not a number above 0 and an
// "Index every" that is not a whole number, with a surface a tolerance that is not a number
// above 0: the refusal is told through run.desktop, nothing is read and the dialog stays.
// True when the dialog is to end (OK or Cancel).
bool handleDialogCommand(int dialogId, int commandId, DialogFields& fields, ExtractorRun& run);

// A frame in dialog units: left, top, right, bottom.
struct DialogFrame {
  int left;
  int top;
  int right;
  int bottom;
};

// The teal of the frames, red 0, green 136, blue 136, packed as the window system
// packs a colour (red in the low byte).
constexpr uint32_t kFrameColour = 0x00888800u;

constexpr std::array<DialogFrame, 5> kSelectDialogFrames = {{
    {1, 1, 109, 119},  // the whole dialog
    {13, 23, 52, 38},  // latitude
    {58, 23, 97, 38},  // longitude
    {28, 73, 52, 88},  // east
    {58, 73, 82, 88},  // south
}};

// Dialog 102 is wide enough for the Coordinates list's longest names; the controls above
// the list keep their places to each other in the middle of it.
constexpr std::array<DialogFrame, 9> kOutputDialogFrames = {{
    {1, 1, 189, 249},      // the whole dialog
    {45, 12, 71, 27},      // columns
    {75, 12, 101, 27},     // rows
    {105, 12, 145, 27},    // total points
    {53, 46, 92, 61},      // X
    {98, 46, 137, 61},     // Y
    {75, 138, 104, 153},   // contour interval
    {145, 138, 163, 153},  // index every
    {75, 174, 104, 189},   // tolerance
}};

}  // namespace ned
