// Blocks that run past a tile's east or south whole-degree line, read on from the tiles
// beside it. The cells continue on the same lattice of 1/10800 degree: a block is given in
// the raster rows and columns of the opened tile, and they count on past its edge index,
// the east neighbour's column 6 following the tile's column 10805, the south neighbour's
// row 6 following its row 10805. The neighbours' overlap is never read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/tile/raster.h"
#include "core/tile/tile_header.h"

namespace ned {

// The most tiles a block crosses each way. gridpick's block reaches at most 99.9 km east
// and south of a cell of its tile. East, at 75 N, a cell is 2.763 m wide: 36157 columns
// from column 10805 end in the fifth tile. South, a cell is at least 10.247 m high (at
// 18 N): 9749 rows from row 10805 end in the second tile.
constexpr int32_t kMosaicMaxTilesAcross = 5;
constexpr int32_t kMosaicMaxTilesDown = 2;

// Where a row or column counted in the opened tile's raster lies: the tile (0 the opened
// one, 1 the next east or south, and so on) and the row or column in that tile's raster.
struct MosaicIndex {
  int32_t tile = 0;
  int32_t index = 0;
};
constexpr MosaicIndex mosaicIndex(int64_t rowOrCol) {
  if (rowOrCol < TileGeometry::edgeIndex) return {0, static_cast<int32_t>(rowOrCol)};
  const int64_t past = rowOrCol - TileGeometry::edgeIndex;
  return {static_cast<int32_t>(1 + past / TileGeometry::cellsPerDegree),
          static_cast<int32_t>(TileGeometry::firstCell + past % TileGeometry::cellsPerDegree)};
}

// How many tiles count rows (or columns) from start reach into, one while they stay before
// the edge index; at least one.
int32_t tilesSpanned(int32_t start, uint32_t count);

// Of count rows (or columns) from start, those in the first tiles tiles: with one tile,
// those before the edge index (the block of one tile, cut at its whole-degree line).
uint32_t cellsInTiles(int32_t start, uint32_t count, int32_t tiles);
inline uint32_t cellsBeforeEdge(int32_t start, uint32_t count) {
  return cellsInTiles(start, count, 1);
}

// The tiles of a block: tilesDown rows of tilesAcross rasters, the opened tile's first,
// then east along the row, then the next row south. Empty: the opened tile alone.
struct TileMosaic {
  int32_t tilesAcross = 0;
  int32_t tilesDown = 0;
  std::vector<std::string> rasterPaths;
  bool empty() const { return rasterPaths.empty(); }
};

// The block read over the tiles of a mosaic, as BlockReader reads one tile: cols samples
// of each row from the start cell, each row read with one read per tile it crosses. A row
// that meets the end of a raster, or runs past the mosaic's last tile, is cut short there
// (the end of the file), and nothing is read after it.
class MosaicReader : public RowSource {
 public:
  MosaicReader(FileSystem& files, const TileMosaic& mosaic, uint32_t cols)
      : files_(files), mosaic_(mosaic), cols_(cols) {}
  // Opens every raster of the mosaic; false when one cannot be opened or the mosaic does
  // not hold tilesAcross x tilesDown paths.
  bool open();
  void close() { rasters_.clear(); }
  // Positions at the block's first cell, in the opened tile's raster rows and columns.
  void start(int32_t startRow, int32_t startCol);
  size_t readRow(float* out) override;

 private:
  // A row's cells in one tile: from column col of the tile across, count of them.
  struct Span {
    int32_t across = 0;
    int32_t col = 0;
    uint32_t count = 0;
  };

  FileSystem& files_;
  const TileMosaic& mosaic_;
  uint32_t cols_;
  std::vector<std::unique_ptr<RasterFile>> rasters_;
  std::vector<Span> spans_;
  int64_t row_ = 0;  // the next row, in the opened tile's raster rows
  bool ended_ = false;
};

}  // namespace ned
