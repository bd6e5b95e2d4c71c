// The block read across the whole-degree lines: rows and columns counted on from the opened
// tile into the tiles east and south of it, the neighbours' overlap never read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/posix_file_system.h"
#include "core/tile/mosaic.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::TempDir;

TEST(MosaicIndex, CountsOnPastTheEdgeIndexIntoTheNextTilesFirstCell) {
  struct Case {
    int64_t index;
    int32_t tile, local;
  };
  const Case cases[] = {{0, 0, 0},      {6, 0, 6},         {10805, 0, 10805}, {10806, 1, 6},
                        {10811, 1, 11}, {21605, 1, 10805}, {21606, 2, 6},     {46961, 4, 3761}};
  for (const Case& c : cases) {
    const MosaicIndex at = mosaicIndex(c.index);
    EXPECT_EQ(at.tile, c.tile) << c.index;
    EXPECT_EQ(at.index, c.local) << c.index;
  }
  struct Span {
    int32_t start;
    uint32_t count, tiles, beforeEdge, inTwoTiles;
  };
  const Span spans[] = {
      {6, 10800, 1, 10800, 10800}, {6, 10801, 2, 10800, 10801}, {10805, 1, 1, 1, 1},
      {10805, 2, 2, 1, 2},         {100, 0, 1, 0, 0},           {10805, 36157, 5, 1, 10801},
      {10806, 5, 2, 0, 5},         {21605, 3, 3, 0, 1},         {21606, 3, 3, 0, 0}};
  for (const Span& s : spans) {
    EXPECT_EQ(tilesSpanned(s.start, s.count), static_cast<int32_t>(s.tiles)) << s.start;
    EXPECT_EQ(cellsBeforeEdge(s.start, s.count), s.beforeEdge) << s.start;
    EXPECT_EQ(cellsInTiles(s.start, s.count, 2), s.inTwoTiles) << s.start;
  }
}

// Four sparse tiles, north-west, north-east, south-west, south-east. Each cell the block
// reads holds its place on the lattice (1000 x row + column, in the opened tile's
// counting); the overlaps the block must not read hold -1.
struct FourTiles {
  TempDir dir;
  TileMosaic mosaic;
  FourTiles() {
    mosaic.tilesAcross = mosaic.tilesDown = 2;
    for (const char* name : {"nw.flt", "ne.flt", "sw.flt", "se.flt"}) {
      mosaic.rasterPaths.push_back(dir.file(name));
      testing::makeSparseRaster(dir.file(name));
    }
    for (int32_t row = 10803; row < 10809; ++row) {
      for (int32_t col = 10802; col < 10809; ++col) {
        const MosaicIndex r = mosaicIndex(row), c = mosaicIndex(col);
        testing::plantSamples(mosaic.rasterPaths[size_t(r.tile) * 2 + size_t(c.tile)], r.index,
                              c.index, {static_cast<float>(1000 * row + col)});
        // What the neighbours hold of the same cell, in their overlap.
        if (r.tile == 1)
          testing::plantSamples(mosaic.rasterPaths[size_t(c.tile)], row, c.index, {-1});
        if (c.tile == 1)
          testing::plantSamples(mosaic.rasterPaths[size_t(r.tile) * 2], r.index, col, {-1});
      }
    }
  }
};

TEST(MosaicReader, ReadsABlockAcrossTheCornerOfFourTilesWithoutTheirOverlap) {
  FourTiles tiles;
  struct Case {
    int32_t row, col;
    uint32_t rows, cols;
  };
  // Across the east line, the south line, the corner, and wholly inside the neighbours.
  const Case cases[] = {{10803, 10802, 1, 7},
                        {10803, 10804, 6, 1},
                        {10803, 10802, 6, 7},
                        {10806, 10806, 3, 3},
                        {10805, 10805, 2, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.row) + " " + std::to_string(c.col));
    MosaicReader reader(posixFileSystem(), tiles.mosaic, c.cols);
    ASSERT_TRUE(reader.open());
    reader.start(c.row, c.col);
    std::vector<float> row(c.cols);
    for (uint32_t i = 0; i < c.rows; ++i) {
      ASSERT_EQ(reader.readRow(row.data()), c.cols);
      for (uint32_t j = 0; j < c.cols; ++j)
        ASSERT_EQ(row[j], static_cast<float>(1000 * (c.row + i) + c.col + j)) << i << " " << j;
    }
  }
}

TEST(MosaicReader, EndsWhereARasterOrTheMosaicEndsAndRefusesWhatCannotBeOpened) {
  FourTiles tiles;
  std::vector<float> row(4);
  {
    // Past the mosaic's last tile south: the end of the file.
    MosaicReader reader(posixFileSystem(), tiles.mosaic, 4);
    ASSERT_TRUE(reader.open());
    reader.start(21605, 10804);
    EXPECT_EQ(reader.readRow(row.data()), 4u);
    EXPECT_EQ(reader.readRow(row.data()), 0u);
    // Past the last tile east: the row is cut where the mosaic ends, and nothing follows.
    reader.start(10806, 21603);
    EXPECT_EQ(reader.readRow(row.data()), 3u);
    EXPECT_EQ(reader.readRow(row.data()), 0u);
  }
  // A neighbour that ends after column 6 of its row 10805 ends the block in the row that
  // reaches its end, after the samples read before it.
  testing::makeSparseRaster(tiles.mosaic.rasterPaths[3], cellOffset(10805, 7));
  {
    MosaicReader reader(posixFileSystem(), tiles.mosaic, 4);
    ASSERT_TRUE(reader.open());
    reader.start(21604, 21602);
    EXPECT_EQ(reader.readRow(row.data()), 4u);
    EXPECT_EQ(reader.readRow(row.data()), 0u);
    reader.start(21604, 10804);
    EXPECT_EQ(reader.readRow(row.data()), 4u);
    EXPECT_EQ(reader.readRow(row.data()), 3u);
    EXPECT_EQ(reader.readRow(row.data()), 0u);
  }
  // A raster missing, or a mosaic whose paths do not fill its grid.
  TileMosaic missing = tiles.mosaic;
  missing.rasterPaths[2] = tiles.dir.file("none.flt");
  EXPECT_FALSE(MosaicReader(posixFileSystem(), missing, 4).open());
  TileMosaic short3 = tiles.mosaic;
  short3.rasterPaths.pop_back();
  EXPECT_FALSE(MosaicReader(posixFileSystem(), short3, 4).open());
}

}  // namespace
}  // namespace ned
