// The TIN surface forms: the kept cells read into one grid of the elevations as the points
// give them, the surface made of it (tin.h), and the surface written as LandXML 1.2 or as
// the 3D faces of a DXF drawing, its vertices placed as the points of the chosen coordinate
// system place their cells.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/export/point_writer.h"
#include "core/export/row_writers.h"
#include "core/export/tin.h"
#include "core/file_system.h"
#include "core/tile/raster.h"

namespace ned {

// The surface is made of the elevations as the file writes them, whole thousandths (the
// nearest, a tie to even, as the points' three decimals round), so that the tolerance holds
// for the file's own numbers. A value beyond the int32 thousandths (over two million metres)
// is taken for no data.
int32_t surfaceThousandths(float elevation);

// The tolerance in whole thousandths: the number of thousandths it is, when it is the
// nearest double to one (0.3, 0.1), else the thousandths below it.
int64_t toleranceThousandths(double tolerance);

// The kept rows' elevations (outputValue) in thousandths, laid out for the surface;
// kTinNoData where a cell holds no data. keptRows counts the rows read, and cells keeps only
// those: fewer than the block's when the raster ended early.
struct SurfaceCells {
  TinCells cells;
  uint32_t keptCols = 0;
  uint32_t keptRows = 0;
  PassEnd end = PassEnd::complete;
  bool outOfMemory = false;
};
SurfaceCells readSurfaceCells(const WritePlan& plan, RowSource& rows, float* samples);

// What the file says of itself besides the surface.
struct SurfaceLabels {
  std::string application;  // "gridview" or "gridpick"
  std::string surfaceName;  // the tile and the block's corner cell
  std::string date;         // YYYY-MM-DD
  std::string time;         // HH:MM:SS
};

// Writes the surface in the plan's form (LandXmlTin or DxfTin) into out; points and faces
// count what was written (vertices of at least one face, and the faces). False when a write
// failed.
bool writeSurfaceFile(const WritePlan& plan, const TinSurface& surface, const SurfaceLabels& labels,
                      OpenFile& out, uint64_t* points, uint64_t* faces);

// "48,213 points and 95,902 faces written."
std::string surfaceCountText(uint64_t points, uint64_t faces);

}  // namespace ned
