// A block of raster cells chosen for export, and the thinning that keeps every
// step-th row and column of it; the ground size of a cell, the upper-left corner of a
// block as the user reads it, and the estimates shown before a write.
#pragma once

#include <cstdint>
#include <string>

#include "core/desktop.h"
#include "core/export/output_kind.h"
#include "core/program.h"
#include "core/tile/tile_header.h"

namespace ned {

struct Selection {
  int32_t startRow = 0;  // raster row of the first (northernmost) cell
  int32_t startCol = 0;  // raster column of the first (westernmost) cell
  uint32_t rows = 0;
  uint32_t cols = 0;
  uint32_t removeCount = 0;  // rows and columns dropped between two kept ones
  uint32_t step = 1;         // removeCount + 1
};

// One cell is 1/10800 degree on a side, held in extended precision.
constexpr long double kCellSizeDeg = 1.0L / 10800.0L;

// Ground lengths in metres of one degree at a whole-degree latitude.
struct DegreeLengthRow {
  int32_t northLat;
  double lonDegreeNorth;  // one degree of longitude along the parallel northLat
  double lonDegreeSouth;  // the same one degree further south
  double latDegree;       // one degree of latitude between the two parallels
};

struct DegreeLengthTable {
  static constexpr int32_t firstLat = 18;
  static constexpr int32_t lastLat = 75;
  static constexpr int32_t rowCount = lastLat - firstLat + 1;  // 58
  static const DegreeLengthRow rows[rowCount];
};

// The row of a north edge, or nullptr outside 18 ... 75.
const DegreeLengthRow* findDegreeLengths(int32_t northLat);

// Ground distances between neighbouring cells, metres (feet after the writer converts).
struct GroundSpacing {
  double ewSpacingNorth = 0.0;   // east-west width of a cell in raster row 0
  double ewSpacingGrowth = 0.0;  // growth of that width per raster row going south
  double nsSpacing = 0.0;        // north-south height of a cell
  double ewSpacingMean = 0.0;    // mean east-west width over the tile
};

GroundSpacing groundSpacingFromRow(const DegreeLengthRow& row);

// The east-west width of a cell in raster row r (counted from raster row 0).
double ewSpacingAtRow(const GroundSpacing& spacing, int32_t row);

// The spacing of a tile with the given north edge. Outside 18 ... 75 it shows "This only
// works from 18th to 75th parallel." and gives false.
bool lookupGroundSpacing(Desktop& desktop, int32_t northEdgeLat, GroundSpacing* spacing);

// The upper-left corner of a selection's first cell.
struct UpperLeftCorner {
  double upperLeftLat = 0.0;
  double upperLeftLonWest = 0.0;  // positive degrees west
  std::string yulcornerText;      // %g at 13 digits, e.g. "36.875"
  std::string xulcornerText;      // "-" and %g at 12 digits, e.g. "-76.875"
  std::string ulLatText;          // dd.mmss, e.g. "36.5230"
  std::string ulLonText;          // "-" and dd.mmss, e.g. "-76.5230"
};

UpperLeftCorner upperLeft(const TileHeader& header, const Selection& selection);

// The dd.mmss text of a whole degree and a fraction of a degree above it (0 <= t <= 1).
// A whole fraction reads as 60 minutes of the given degree: 36.6000.
std::string formatDdMmSs(int32_t degree, double fraction);

// The minutes and seconds of a typed dd.mmss value. edgeDegree is the tile's north edge for
// a latitude, its west edge for a longitude: that whole degree reads as 60 minutes of the
// degree below it.
struct MinutesAndSeconds {
  int32_t minutes = 0;
  int32_t seconds = 0;
};
MinutesAndSeconds splitDdMmSs(double value, int32_t edgeDegree, bool isLatitude);

// The start row (latitude) or column (longitude) of a typed dd.mmss value.
int32_t parseDdMmSs(double value, int32_t edgeDegree, bool isLatitude);

// The dragged rectangle, in client pixels, left <= right and top <= bottom.
struct ViewRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// The viewer's selection at view level 3, 4 or 5 (Select All, or a dragged window). At
// the levels without a scale (1 and 2, or no view) the selection is empty: no rows and
// no columns at the rendered origin, which the write dialog refuses. removeCount and
// step are left at 0 and 1.
Selection selectionFromView(int32_t viewLevel, bool selectAll, const ViewRect& rect,
                            int32_t renderedStartRow, int32_t renderedStartCol);

// The extractor's size from distances east and south in kilometres, measured with the
// tile's mean east-west width and its north-south height; capped at the square's south
// and east edges. A negative distance counts as 0. Sets selection.rows and .cols.
void selectionFromDistance(Selection& selection, float kmEast, float kmSouth,
                           const GroundSpacing& spacing);
// The same size without the cap: rows and columns past the edges count on into the tiles
// beside (raster coordinates of the opened tile continued past index 10805).
void selectionAcrossTiles(Selection& selection, float kmEast, float kmSouth,
                          const GroundSpacing& spacing);

// Whether the cell at offsets (i, j) inside the selection is written.
inline bool isKept(uint32_t i, uint32_t j, uint32_t step) {
  return step == 0 || (i % step == 0 && j % step == 0);
}

// The remove count as both export dialogs read their remove field on writing: the text's
// leading number as atoi reads it, an empty text as 0. A count below zero (a pasted "-1")
// would make the step 0: it removes nothing.
uint32_t parseRemoveCount(const std::string& text);

// Sets the selection's remove count and its step, removeCount + 1.
inline void setRemoveCount(Selection& selection, uint32_t removeCount) {
  selection.removeCount = removeCount;
  selection.step = removeCount + 1;
}

// How many of count rows (or columns) thinning keeps.
inline uint32_t keptCount(uint32_t count, uint32_t step) {
  return step == 0 ? count : count / step + (count % step != 0 ? 1 : 0);
}

// The fraction of the selected cells expected to survive thinning, as each program holds
// it: the viewer all ten as floats, the extractor six of them as doubles. False for a
// remove count beyond 9, which the table does not cover.
bool lookupEstimateFactor(Program program, uint32_t removeCount, long double* factor);

// trunc(selected x factor), the product in extended precision.
int32_t estimatePointsWithFactor(uint32_t selectedPoints, long double factor);

// The estimate of written points. For a remove count beyond the table, where the
// programs have no factor, the estimate is 1 / step^2 of the selected points. A step that
// wraps to 0 (remove count 4294967295, from a typed -1) counts as 1, as in the writer.
int32_t estimatePoints(Program program, uint32_t selectedPoints, uint32_t removeCount);

// The estimated output size in bytes of an output form (viewer): for the XYZ forms the
// lengths of the Easting and Northing texts as typed, plus 22, per point; 8 per point for
// the CSV grid and 4 for the binary raster.
uint64_t estimateBytes(OutputKind kind, int32_t estimatedPoints, const std::string& eastingText,
                       const std::string& northingText);

// The size text of the write dialog: "52345 b" up to 104857 bytes, otherwise megabytes to
// four significant digits: ".1000 mb", "4.768 mb", "50.00 mb", "1234. mb". A tie in the
// fifth digit rounds to even, as the C library's ecvt does.
std::string formatSize(uint64_t bytes);

}  // namespace ned
