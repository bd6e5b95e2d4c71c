#include "core/tile/mosaic.h"

namespace ned {

int32_t tilesSpanned(int32_t start, uint32_t count) {
  if (count == 0) return 1;
  const MosaicIndex last = mosaicIndex(static_cast<int64_t>(start) + count - 1);
  return last.tile + 1;
}

uint32_t cellsInTiles(int32_t start, uint32_t count, int32_t tiles) {
  const int64_t room = static_cast<int64_t>(TileGeometry::edgeIndex) +
                       static_cast<int64_t>(tiles - 1) * TileGeometry::cellsPerDegree - start;
  if (room <= 0) return 0;
  return static_cast<int64_t>(count) < room ? count : static_cast<uint32_t>(room);
}

bool MosaicReader::open() {
  rasters_.clear();
  if (mosaic_.tilesAcross <= 0 || mosaic_.tilesDown <= 0 ||
      mosaic_.rasterPaths.size() !=
          static_cast<size_t>(mosaic_.tilesAcross) * static_cast<size_t>(mosaic_.tilesDown))
    return false;
  for (const std::string& path : mosaic_.rasterPaths) {
    rasters_.push_back(std::make_unique<RasterFile>());
    if (!rasters_.back()->open(files_, path)) return false;
  }
  return true;
}

void MosaicReader::start(int32_t startRow, int32_t startCol) {
  row_ = startRow;
  ended_ = startRow < 0 || startCol < 0;
  spans_.clear();
  // The columns are the same in every row: one span per tile the row crosses.
  int64_t col = startCol;
  for (uint32_t left = cols_; left > 0 && !ended_;) {
    const MosaicIndex at = mosaicIndex(col);
    // Every tile's part ends at its edge index; the next one's begins at its first cell.
    const int64_t room = static_cast<int64_t>(TileGeometry::edgeIndex) - at.index;
    const uint32_t count = room < static_cast<int64_t>(left) ? static_cast<uint32_t>(room) : left;
    spans_.push_back({at.tile, at.index, count});
    left -= count;
    col += count;
  }
}

size_t MosaicReader::readRow(float* out) {
  if (ended_ || rasters_.empty()) return 0;
  const MosaicIndex row = mosaicIndex(row_++);
  size_t done = 0;
  for (const Span& span : spans_) {
    if (row.tile >= mosaic_.tilesDown || span.across >= mosaic_.tilesAcross) break;
    RasterFile& raster =
        *rasters_[static_cast<size_t>(row.tile) * mosaic_.tilesAcross + span.across];
    const size_t got =
        raster.seekTo(cellOffset(row.index, span.col)) ? raster.read(out + done, span.count) : 0;
    done += got;
    if (got < span.count) break;
  }
  if (done < cols_) ended_ = true;
  return done;
}

}  // namespace ned
