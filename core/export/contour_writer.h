// The pass of a contour drawing over the selection's kept rows: the elevations as the
// points would give them, the tracer's lines placed in the local grid or the map system,
// written as a DXF drawing through the file seam.
#pragma once

#include <cstdint>

#include "core/export/contours.h"
#include "core/export/point_writer.h"
#include "core/export/row_writers.h"
#include "core/file_system.h"
#include "core/tile/raster.h"

namespace ned {

// The most levels a block may hold between its lowest and highest kept elevation: a tiny
// interval typed over a large range would otherwise trace for hours and fill the disk.
constexpr uint64_t kMostContourLevels = 10000;

// The lowest and highest kept elevation (in the output's unit) of a pass over the rows,
// none when every kept cell is without data; end tells whether the raster ended early.
struct ElevationRange {
  bool any = false;
  double low = 0.0;
  double high = 0.0;
  PassEnd end = PassEnd::complete;
};
ElevationRange keptElevationRange(const WritePlan& plan, RowSource& rows, float* samples);

// The levels (whole multiples of the interval) from low to high, both included; more than
// kMostContourLevels (kMostContourLevels + 1) for a range too large or an interval that is
// not a positive number.
uint64_t contourLevelCount(double low, double high, double interval);

// The pass: traces the kept rows and writes every line into out, the drawing's extents
// those of the block's kept cells. With a spill, the tracer's older open vertices go
// there. points counts the lines. At an early end of the raster, the lines traced so far
// are finished and the drawing is complete.
PassResult writeContourDrawing(const WritePlan& plan, RowSource& rows, float* samples,
                               OpenFile& out, VertexSpill* spill);

}  // namespace ned
