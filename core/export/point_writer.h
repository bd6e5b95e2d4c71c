// Writing the cells of a selection to a point file in one of the output forms.
#pragma once

#include <cstdint>
#include <string>

#include "core/desktop.h"
#include "core/export/map_projection.h"
#include "core/export/output_kind.h"
#include "core/export/selection.h"
#include "core/program.h"
#include "core/tile/mosaic.h"
#include "core/tile/tile_header.h"

namespace ned {

struct WriteRequest {
  Selection selection;
  OutputKind kind = OutputKind::RectangularXyz;
  double startEasting = 200000.0;
  double startNorthing = 200000.0;
  bool toFeet = false;
  TileHeader header;
  std::string xulcornerText;  // BinaryFlt only
  std::string yulcornerText;  // BinaryFlt only
  // The EPSG code of the map coordinate system X and Y are written in (both XYZ forms);
  // 0, or a code the table does not hold, for the local grid from startEasting and
  // startNorthing.
  int32_t coordinateSystem = 0;
  // The tiles of a block that runs past the tile's east or south whole-degree line, the
  // tile's own raster first; empty for a block inside the tile, read from header.rasterPath.
  // The selection's rows and columns count on past the edge index into the neighbours.
  TileMosaic mosaic;
  // The XYZ forms: a cell whose sample is the no-data value gets no line and no count.
  bool skipNoData = false;
  double contourInterval = 1.0;  // DxfContours: levels every interval, in the elevations' unit
  uint32_t indexEvery = 5;       // DxfContours: every n-th level an index contour; 0 for none
  double tolerance = 0.1;        // LandXmlTin, DxfTin: the largest vertical error of a cell,
                                 // in the elevations' unit
};

// What differs between the programs in a write.
struct ProgramWriteRules {
  bool raiseJustBelowZero;   // a value between -0.001 and 0 is written as 0.001
  bool commaAfterEachValue;  // CSV: a comma after each value but the last column's (else
                             // a row's values joined with commas)
  bool countAfterEndOfFile;  // the count is told after "End of File." too
};
ProgramWriteRules writeRulesOf(Program program);

// Everything a write's pass over the cells needs, decided before it starts.
struct WritePlan {
  OutputKind kind = OutputKind::RectangularXyz;
  ProgramWriteRules rules = {};
  uint32_t rows = 0;
  uint32_t cols = 0;
  uint32_t step = 1;
  long double feetPerMetre = 0.0L;  // the elevations' factor; 0 keeps metres
  // The XYZ forms: cells without data are left out.
  bool skipNoData = false;
  // DxfContours: the levels' interval in the elevations' unit, and every indexEvery-th
  // level an index contour (0 for none). Its lines lie on the rectangular grid's positions
  // or in the map system.
  double contourInterval = 1.0;
  uint32_t indexEvery = 5;
  // LandXmlTin, DxfTin: the largest vertical error of a kept cell from the surface, in the
  // elevations' unit.
  double tolerance = 0.1;
  // The local grid: X from startEasting by firstRowEwSpacing a cell (growing by
  // ewSpacingGrowth a row when projected north), Y from startNorthing by nsSpacing a row;
  // in feet on request.
  double startEasting = 0.0;
  double startNorthing = 0.0;
  double firstRowEwSpacing = 0.0;
  double nsSpacing = 0.0;
  double ewSpacingGrowth = 0.0;
  // Or a map system: X and Y projected from each cell's centre, the first at
  // firstLatitude / firstLongitude (degrees, east positive), cells cellDegrees apart.
  const MapSystem* map = nullptr;
  double firstLatitude = 0.0;
  double firstLongitude = 0.0;
  long double cellDegrees = 0.0L;
};

// The plan of a write: a function of the request, the program and the tile's spacing
// alone. With "to feet", a map system in feet gives the elevations its own foot.
WritePlan planWrite(const WriteRequest& request, Program program, const GroundSpacing& spacing);

// How a write ended. Every outcome has already been told to the user. Every file a write
// makes is written under a name of its own and put in place when complete, so that an
// outcome that writes nothing leaves the files of that name as they were.
enum class WriteOutcome {
  written,        // the count message was shown
  outOfRange,     // the tile lies outside the degree table; nothing written
  cancelled,      // the save dialog was cancelled, or the user would not replace an
                  // existing side file of the reduced tile; nothing written
  outputFailed,   // the output file could not be opened, or its name is one of the files
                  // of the tiles read; nothing written
  rasterFailed,   // the raster could not be opened; nothing written
  endOfRaster,    // the raster ended before the selection did; what was written before is
                  // in place (a reduced tile with side files of its whole rows); the
                  // program is to end with 0
  writeFailed,    // writing, closing or putting in place an output failed; nothing written
  headerFailed,   // BinaryFlt: the header file could not be opened; nothing written
  tooManyLevels,  // DxfContours: the interval gives more than kMostContourLevels levels
                  // over the block's elevations, or is not a positive number; nothing
                  // written
  noSurface,      // LandXmlTin, DxfTin: the block is too large, holds no data, makes no face
                  // or needs more memory than there is; said, nothing written
};

// Runs the whole write: spacing lookup, save dialog, the pass over the raster, and the
// messages. The program decides the differences between the viewer and the extractor:
// - values between -0.001 and 0 are written as 0.001 by the viewer, as read by the
//   extractor;
// - the CSV grid's lines: the viewer joins a row's kept values with commas; the extractor
//   follows each kept value with a comma except one in the last selected column;
// - at an early end of the raster both show "End of File." and keep what was written; the
//   extractor then shows the count of points written so far.
// A reduced tile's header or virtual raster may not take the name of a file of the tiles
// read, and replaces an existing file only when the user agrees. A failed write or close
// of an output shows kWriteFailedText (kHeaderWriteFailedText, kVrtWriteFailedText for the
// side files) and gives writeFailed without a count. The contour drawing tells the lines
// written ("412 contour lines written.") in place of the points, and is refused before
// anything is written when its interval gives too many levels (kTooManyLevelsText).
WriteOutcome writePoints(Desktop& desktop, Program program, const WriteRequest& request);

// The messages of a write that the system adds: a disk that is full or failing.
constexpr const char* kWriteFailedText = "Can't Write Output file.";
constexpr const char* kHeaderWriteFailedText = "Can't Write Header file.";
constexpr const char* kVrtWriteFailedText = "Can't Write VRT file.";
constexpr const char* kTooManyLevelsText =
    "The contour interval gives more than 10000 levels over this block. Choose a larger "
    "interval.";

// The refusals of the surface forms.
constexpr const char* kSurfaceTooLargeText =
    "A surface is made of at most 36,000,000 cells (6000 x 6000). Thin the block or choose a "
    "smaller one.";
constexpr const char* kSurfaceNoDataText =
    "The block holds no cell with data: there is no surface to write.";
constexpr const char* kSurfaceNoFaceText =
    "The block's cells with data make no face: there is no surface to write.";
constexpr const char* kSurfaceMemoryText =
    "There is not enough memory for the surface of this block. Thin the block or choose a "
    "smaller one.";

constexpr double kFeetPerMetre = 3.28084;

// The save dialog of an output form.
FileDialogRequest outputDialogRequest(OutputKind kind);

}  // namespace ned
