#include "core/export/data_cells.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "core/export/selection.h"
#include "core/tile/mosaic.h"
#include "core/tile/raster.h"

namespace ned {

bool countKeptDataCells(FileSystem& files, const WriteRequest& request, uint64_t* count) {
  const Selection& selection = request.selection;
  const uint32_t step = selection.step == 0 ? 1 : selection.step;
  *count = 0;
  RasterFile raster;
  BlockReader block(raster, selection.cols);
  MosaicReader tiles(files, request.mosaic, selection.cols);
  const bool oneTile = request.mosaic.empty();
  if (!(oneTile ? raster.open(files, request.header.rasterPath) : tiles.open())) return false;
  if (selection.rows == 0 || selection.cols == 0) return true;
  std::vector<float> samples(selection.cols);
  // Only the kept rows are read: each from its first cell, as the writer reaches it.
  for (uint64_t i = 0; i < selection.rows; i += step) {
    const int64_t row = selection.startRow + static_cast<int64_t>(i);
    if (row > std::numeric_limits<int32_t>::max()) break;
    size_t got = 0;
    if (oneTile) {
      if (block.start(static_cast<int32_t>(row), selection.startCol))
        got = block.readRow(&samples[0]);
    } else {
      tiles.start(static_cast<int32_t>(row), selection.startCol);
      got = tiles.readRow(&samples[0]);
    }
    for (size_t j = 0; j < got; j += step) *count += samples[j] != TileGeometry::noDataValue;
    if (got < selection.cols) break;
  }
  return true;
}

int32_t estimateWrittenPoints(FileSystem& files, Program program, const WriteRequest& request) {
  const Selection& selection = request.selection;
  uint64_t cells = 0;
  if (writeSkipsNoData(request) && countKeptDataCells(files, request, &cells)) {
    const uint64_t most = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(cells < most ? cells : most);
  }
  return estimatePoints(program, selection.cols * selection.rows, selection.removeCount);
}

bool rememberedSkipNoData(Desktop& desktop) {
  return desktop.readSetting(kSkipNoDataSetting) == "1";
}

void rememberSkipNoData(Desktop& desktop, bool skip) {
  desktop.writeSetting(kSkipNoDataSetting, skip ? "1" : "0");
}

}  // namespace ned
