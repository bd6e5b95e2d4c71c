// A TIN surface of a block of kept cells: the fewest cells of the block that, joined into a
// Delaunay triangulation in cell index space, keep every cell with data within a vertical
// tolerance of the surface (linear within each triangle).
//
// Greedy insertion: the triangulation starts from the block's four corner cells (two
// triangles) and inserts, one at a time, the cell farthest vertically from the current
// surface. Each triangle keeps its worst cell, found by scanning the cells it covers (its
// edges and corners included), in a priority queue by that error; an insertion splits the
// triangle (or, for a cell on an edge, the two triangles beside it) and restores the
// Delaunay property with edge flips, and only the triangles that changed are scanned again.
// Insertion stops when the worst error left is at most the tolerance. Coordinates are whole
// cell indices and heights whole numbers (the thousandths the files write), so every
// orientation and circle test and every error is exact in 64-bit integers: a triangle's
// error is |w0 z0 + w1 z1 + w2 z2 - det z| / |det| for weights w that step by a constant
// along a row, and a cell is within the tolerance t when that numerator is at most t |det|.
//
// Cells without data: such a cell is never measured, and a triangle that covers one (its
// own corner, an edge or its inside) is a hole face. A hole face whose cells hold data other
// than its corners goes first in the queue and inserts the data cell nearest to a no-data
// cell it covers, so the triangulation closes in on the hole until no hole face covers a
// data cell other than its corners. The hole faces are then left out: no face covers a cell
// without data, and every data cell is a vertex or lies in a kept face within the
// tolerance. A corner cell without data still starts the triangulation, as a point that is
// no vertex of the result; the faces at it are hole faces, so they close in on the data
// as any hole does. A data cell that no face can cover without covering a cell without data
// (a lone cell among no-data cells) is a vertex of no face.
//
// Memory: the cells in tiles (TinCells); each triangle is one 36-byte record (three
// corners, three opposite half-edges, its worst cell, that error as a float for the order of
// the queue, its queue place) in blocks of 32768 that are freed as the faces are collected;
// a vertex is its cell, marked in a bit per cell; only the triangles beyond the tolerance
// are queued, 8 bytes each. Besides the cells themselves (and half a byte a cell for the
// tiles' and pages' heights), about 36 bytes a triangle.
//
// Where SSE2 is at hand, the rows of 9 cells or more are measured four cells at a time in
// doubles, from the first column of their first tile to the last of their last, the cells
// beyond the row left out. Doubles hold every product and sum of the errors exactly while
// the heights stay below 2^50 / |det| (15,600 metres or feet for the largest triangle of a
// 6000 x 6000 block; a triangle beyond it is scanned in integers). The cell found is the one
// the integer scan finds, the first of the largest error.
//
// A triangle whose box holds 4096 cells or more is measured by its pages of 32 x 32 cells
// and their tiles of 4 x 4 instead: each has a bound on its errors from its lowest and
// highest height (two tables kept with the cells, 8 bytes a tile) and the plane's range over
// it, and one whose bound is below the worst error found so far is not read. The tile of the
// largest bound, in the page of the largest bound, goes first. The cell found is again the
// first of the largest error; a triangle that reaches a tile without data is scanned by rows.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace ned {

// The no-data value of the cells.
constexpr std::int32_t kTinNoData = INT32_MIN;

// The largest block a surface is made of: 6000 x 6000 kept cells.
constexpr std::int64_t kMaxTinCells = INT64_C(36000000);

// Whether a block of cols x rows kept cells may be made into a surface: both at least 1 and
// at most kMaxTinCells cells.
bool tinBlockFits(std::int64_t cols, std::int64_t rows);

struct TinVertex {
  std::int32_t row = 0;        // Cell row of the block, 0 north.
  std::int32_t col = 0;        // Cell column, 0 west.
  std::int32_t elevation = 0;  // As the cell holds it.
};

// Three indices into TinSurface::vertices, counter-clockwise with X east and Y north.
struct TinFace {
  std::int32_t a = 0;
  std::int32_t b = 0;
  std::int32_t c = 0;
};

struct TinSurface {
  std::vector<TinVertex> vertices;
  std::vector<TinFace> faces;
  double maxError = 0.0;  // The largest vertical error of a data cell in its face, in the
                          // cells' unit.
};

enum class TinResult {
  Built,         // The surface holds at least one face.
  NoData,        // No cell of the block holds data: no surface.
  NoFace,        // Data, but no face can be made (a block one cell wide or high, or lone
                 // cells only): the vertices hold the data cells, the faces are empty.
  TooLarge,      // The block does not fit (tinBlockFits).
  BadTolerance,  // The tolerance is below 0 or beyond kMaxTinTolerance.
  OutOfMemory,   // The arrays could not be had.
};

// The largest tolerance: any surface of heights in int32 stays within it.
constexpr std::int64_t kMaxTinTolerance = INT64_C(1) << 33;

// The cells of a block as the surface reads them (row 0 north, kTinNoData where a cell
// holds no data), laid out in tiles of 4 x 4 cells, one cache line each, and, in a block at
// least 256 cells across or high, in pages of 8 x 8 tiles (4 KiB): the rows of a small
// triangle share lines, and a larger one's pages. The cells beyond the block that complete
// its last tiles and pages: up to 3 more columns and rows, or 31 in a direction where the
// block reaches 256 cells. Of these only the columns up to the next multiple of 4 are read,
// as lanes that a measure leaves out, and they hold 0.
class TinCells {
 public:
  // Room for cols x rows cells, each unset until set; false (and no room) when the memory
  // cannot be had or the block does not fit (tinBlockFits).
  bool allocate(std::int32_t cols, std::int32_t rows);
  // Keeps the first rows only (a raster that ended early), at most the rows allocated.
  void keepRows(std::int32_t rows) { rows_ = rows < rows_ ? rows : rows_; }

  std::int32_t cols() const { return cols_; }
  std::int32_t rows() const { return rows_; }
  void set(std::int32_t col, std::int32_t row, std::int32_t value) {
    data_[rowOffset_[row] + colOffset_[col]] = value;
  }
  // Sets the cols() cells of row y from values, west to east.
  void setRow(std::int32_t y, const std::int32_t* values);
  std::int32_t at(std::int32_t col, std::int32_t row) const {
    return data_[rowOffset_[row] + colOffset_[col]];
  }
  // Cell col of row y is row(y)[columnOffsets()[col]]; the offsets of four columns from a
  // multiple of 4 follow one another, 16-byte aligned.
  const std::int32_t* row(std::int32_t y) const { return data_ + rowOffset_[y]; }
  const std::int32_t* rowOffsets() const { return rowOffset_.data(); }
  const std::int32_t* columnOffsets() const { return colOffset_.data(); }

 private:
  std::unique_ptr<std::int32_t[]> storage_;
  std::int32_t* data_ = nullptr;  // storage_ from its first 64-byte boundary
  std::vector<std::int32_t> rowOffset_, colOffset_;
  std::int32_t cols_ = 0;
  std::int32_t rows_ = 0;
};

// Makes the surface of the cells to the vertical tolerance, in the cells' unit (0: every
// cell exactly on the surface). The surface is cleared first.
TinResult buildTin(const TinCells& cells, std::int64_t tolerance, TinSurface* surface);

// The same of the cols x rows cells row after row, laid out as TinCells first.
TinResult buildTin(const std::int32_t* cells, std::int32_t cols, std::int32_t rows,
                   std::int64_t tolerance, TinSurface* surface);

}  // namespace ned
