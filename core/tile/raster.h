// Reading elevation samples from a tile's raster: 10812 x 10812 little-endian floats,
// row 0 at the north, no header. Every reader makes one forward pass over the part of
// the file it needs; the cells are always addressed with the fixed tile geometry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/tile/tile_header.h"

namespace ned {

// Turns samples between the host's byte order and the raster's little-endian one (the
// same swap both ways; nothing to do on a little-endian host).
void swapLittleEndian(float* samples, size_t count);

// Byte position of cell (row, col).
constexpr int64_t cellOffset(int64_t row, int64_t col) {
  return row * TileGeometry::rowBytes + col * TileGeometry::sampleBytes;
}

// One open raster. Reads are counted in samples: a read that gives fewer samples than
// asked for met the end of the file at the next sample. Reading the last cell of the file
// is not the end; the read after it is.
class RasterFile {
 public:
  RasterFile() = default;
  RasterFile(const RasterFile&) = delete;
  RasterFile& operator=(const RasterFile&) = delete;

  bool open(FileSystem& files, const std::string& path);
  bool isOpen() const { return file_ != nullptr; }
  void close() { file_.reset(); }

  // Positions at a byte offset from the start of the file; false when it cannot. After a
  // failed move the reads give nothing, as at the end of the file, until a seek succeeds.
  bool seekTo(int64_t offset);
  // Moves forward by a byte count from the current position; false when it cannot.
  bool skip(int64_t bytes);
  // Reads up to count samples into out; gives the number read.
  size_t read(float* out, size_t count);

 private:
  std::unique_ptr<OpenFile> file_;
  int64_t position_ = 0;  // where the next read starts
  bool lost_ = false;     // a move failed: no position to read from
};

// Where the point writers take a block's rows from, one after the other, north to south:
// one tile's raster (BlockReader) or the tiles of a mosaic (core/tile/mosaic.h).
class RowSource {
 public:
  virtual ~RowSource() = default;
  // Reads the next row of the block into out (room for the block's cols samples) and moves
  // on to the next row; gives the number of samples read, fewer than cols at the end of
  // the file.
  virtual size_t readRow(float* out) = 0;
};

// The block read of the point writers: cols samples of each row from (startRow,
// startCol), then on to the same column of the next row.
class BlockReader : public RowSource {
 public:
  BlockReader(RasterFile& raster, uint32_t cols) : raster_(raster), cols_(cols) {}
  // Positions at the block's first cell.
  bool start(int32_t startRow, int32_t startCol);
  size_t readRow(float* out) override;

 private:
  RasterFile& raster_;
  uint32_t cols_;
};

// The strided read of the renderer: count samples, step cells apart, starting at the
// current position. The position ends step x count cells past the first sample, as if
// each sample were read and followed by a skip of step - 1 cells. Gives the number of
// samples read, fewer than count at the end of the file.
class StridedReader {
 public:
  explicit StridedReader(RasterFile& raster) : raster_(raster) {}
  size_t readRow(float* out, size_t count, size_t step);

 private:
  RasterFile& raster_;
  std::vector<float> span_;
};

}  // namespace ned
