#include "core/export/contour_writer.h"

#include <cmath>
#include <vector>

#include "core/export/dxf_writer.h"
#include "core/export/map_projection.h"
#include "core/export/selection.h"
#include "core/tile/tile_header.h"

namespace ned {

namespace {

// The centres of a kept row's kept cells in the map system, as the map row writer
// projects them.
class MapRowsOfCells {
 public:
  explicit MapRowsOfCells(const WritePlan& plan)
      : plan_(plan), projection_(prepareProjection(*plan.map)) {}

  void project(uint32_t row, uint32_t firstKeptCol, size_t count, MapPoint* points) const {
    const long double latitude = static_cast<long double>(plan_.firstLatitude) -
                                 static_cast<long double>(row) * plan_.cellDegrees;
    const long double along = static_cast<long double>(plan_.step) * plan_.cellDegrees;
    const long double longitude =
        static_cast<long double>(plan_.firstLongitude) + firstKeptCol * along;
    projectRow(projection_, static_cast<double>(latitude), static_cast<double>(longitude),
               static_cast<double>(along), count, points);
  }

 private:
  const WritePlan& plan_;
  ProjectionConstants projection_;
};

// The box around the kept cells' positions: the four corners on the local grid; in a map
// system the projected cells of the block's edges, where the image of the block has its
// extremes (a projection has none inside).
DxfExtents drawingExtents(const WritePlan& plan, uint32_t keptRows, uint32_t keptCols,
                          const GridPlacement& grid) {
  ExtentsBuilder box;
  if (keptRows == 0 || keptCols == 0) return box.extents();
  if (plan.map == nullptr) {
    for (const ContourPoint& p : {grid.cell(0, 0), grid.cell(keptRows - 1, keptCols - 1)})
      box.add(p.x, p.y);
    return box.extents();
  }
  const MapRowsOfCells cells(plan);
  std::vector<MapPoint> row(keptCols);
  for (uint32_t r : {0u, keptRows - 1}) {
    cells.project(r * plan.step, 0, keptCols, row.data());
    for (const MapPoint& p : row) box.add(p.easting, p.northing);
  }
  for (uint32_t r = 1; r + 1 < keptRows; ++r) {
    for (uint32_t c : {0u, keptCols - 1}) {
      MapPoint p;
      cells.project(r * plan.step, c, 1, &p);
      box.add(p.easting, p.northing);
    }
  }
  return box.extents();
}

}  // namespace

ElevationRange keptElevationRange(const WritePlan& plan, RowSource& rows, float* samples) {
  ElevationRange range;
  for (uint32_t i = 0; i < plan.rows; ++i) {
    const uint32_t n = static_cast<uint32_t>(rows.readRow(samples));
    if (i % plan.step == 0) {
      for (uint32_t j = 0; j < n; j += plan.step) {
        const float z = outputValue(plan, samples[j]);
        if (z == TileGeometry::noDataValue || !std::isfinite(z)) continue;
        const double value = static_cast<double>(z);
        if (!range.any || value < range.low) range.low = value;
        if (!range.any || value > range.high) range.high = value;
        range.any = true;
      }
    }
    if (n < plan.cols) {
      range.end = PassEnd::endOfRaster;
      break;
    }
  }
  return range;
}

uint64_t contourLevelCount(double low, double high, double interval) {
  if (!(interval > 0.0) || !std::isfinite(interval) || !(low <= high))
    return kMostContourLevels + 1;
  const long double span = (static_cast<long double>(high) - low) / interval;
  if (!(span < static_cast<long double>(kMostContourLevels))) return kMostContourLevels + 1;
  const long double first = std::ceil(static_cast<long double>(low) / interval);
  const long double last = std::floor(static_cast<long double>(high) / interval);
  return last < first ? 0 : static_cast<uint64_t>(last - first) + 1;
}

PassResult writeContourDrawing(const WritePlan& plan, RowSource& rows, float* samples,
                               OpenFile& out, VertexSpill* spill) {
  PassResult result;
  const uint32_t keptRows = keptCount(plan.rows, plan.step);
  const uint32_t keptCols = keptCount(plan.cols, plan.step);
  GridPlacement grid(plan.startEasting, plan.startNorthing, plan.firstRowEwSpacing, plan.nsSpacing,
                     plan.step);
  MapPlacement map;
  VertexPlacement& placement = plan.map != nullptr ? static_cast<VertexPlacement&>(map)
                                                   : static_cast<VertexPlacement&>(grid);

  FileByteSink bytes(out);
  DxfWriter writer(bytes);
  const DxfLayer layers[] = {kMajorContourDxfLayer, kMinorContourDxfLayer};
  if (!writer.begin(drawingExtents(plan, keptRows, keptCols, grid), layers, 2)) {
    result.end = PassEnd::outputFailed;
    return result;
  }
  DxfContours lines(writer);
  ContourSettings settings;
  settings.interval = plan.contourInterval;
  settings.indexEvery = plan.indexEvery;
  settings.noData = TileGeometry::noDataValue;
  ContourTracer tracer(keptCols == 0 ? 1 : keptCols, settings, placement, lines, spill);

  std::vector<float> kept(keptCols == 0 ? 1 : keptCols);
  std::vector<MapPoint> previous;
  std::vector<MapPoint> current;
  if (plan.map != nullptr) {
    previous.resize(kept.size());
    current.resize(kept.size());
  }
  const MapRowsOfCells* cells = nullptr;
  std::unique_ptr<MapRowsOfCells> ownCells;
  if (plan.map != nullptr) {
    ownCells.reset(new MapRowsOfCells(plan));
    cells = ownCells.get();
  }
  bool traced = true;
  uint32_t keptRow = 0;
  for (uint32_t i = 0; i < plan.rows && keptCols > 0; ++i) {
    const uint32_t n = static_cast<uint32_t>(rows.readRow(samples));
    if (i % plan.step == 0) {
      // A row the raster cut short has no data past its end: its lines end there.
      for (uint32_t k = 0; k < keptCols; ++k) {
        const uint64_t j = static_cast<uint64_t>(k) * plan.step;
        kept[k] = j < n ? outputValue(plan, samples[j]) : TileGeometry::noDataValue;
      }
      if (cells != nullptr) {
        previous.swap(current);
        cells->project(i, 0, keptCols, current.data());
        map.setRows(keptRow, previous.data(), current.data());
      }
      if (!tracer.addRow(kept.data())) {
        traced = false;
        break;
      }
      ++keptRow;
      if (n == plan.cols) ++result.wholeKeptRows;
    }
    if (n < plan.cols) {
      result.end = PassEnd::endOfRaster;  // what was traced is finished and kept
      break;
    }
  }
  if (!traced || !tracer.finish() || !writer.end()) {
    result.end = PassEnd::outputFailed;
    return result;
  }
  result.points = tracer.linesWritten();
  return result;
}

}  // namespace ned
