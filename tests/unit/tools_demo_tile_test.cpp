#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/posix_file_system.h"
#include "core/tile/tile_header.h"
#include "tests/support/tile_files.h"
#include "tools/demo_tile.h"

namespace ned {
namespace {

using testing::TempDir;

constexpr int32_t kSide = 10812;

ElevationGrid grid(int32_t cols, int32_t rows, std::vector<float> samples) {
  ElevationGrid g;
  g.cols = cols;
  g.rows = rows;
  g.samples = std::move(samples);
  return g;
}

SourceGrid jacksboro() {
  SourceGrid source;
  std::string error;
  EXPECT_TRUE(readSourceGrid(defaultDemoSourceBase(), &source, &error)) << error;
  return source;
}

// A source grid with a chosen corner, 1/1200 degree cells, for the placement rule.
SourceGrid sourceAt(double west, double north, int32_t cols, int32_t rows,
                    double cellsize = 1.0 / 1200) {
  SourceGrid source;
  source.grid = grid(cols, rows, std::vector<float>(static_cast<size_t>(cols) * rows, 1.0f));
  source.cellsize = cellsize;
  source.xllcorner = west;
  source.yllcorner = north - rows * cellsize;
  return source;
}

std::vector<float> readRasterRow(const std::string& path, int32_t row) {
  std::vector<float> samples(kSide);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return samples;
  std::fseek(file, static_cast<long>(row) * kSide * 4, SEEK_SET);
  std::vector<unsigned char> bytes(static_cast<size_t>(kSide) * 4);
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);
  for (int32_t c = 0; c < kSide; ++c) {
    const unsigned char* b = &bytes[static_cast<size_t>(c) * 4];
    const uint32_t bits = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    std::memcpy(&samples[c], &bits, 4);
  }
  return samples;
}

struct ReadBack {
  bool accepted = false;
  TileHeader header;
};

ReadBack readHeaderFile(const std::string& path, bool byKeywords) {
  ReadBack result;
  const HeaderFileRead read = ned::readHeaderFile(
      posixFileSystem(), byKeywords ? Program::viewer : Program::extractor, path, result.header);
  EXPECT_NE(read, HeaderFileRead::notOpened);
  result.accepted = read == HeaderFileRead::accepted;
  return result;
}

TEST(DemoTileHeader, BothFormsAreByteExactAndReadAsTheSameTile) {
  const std::string shortText =
      "ncols         10812\r\nnrows         10812\r\nxllcorner     -85.00055555556\r\n"
      "yllcorner     35.99944444444\r\ncellsize      0.00009259259259\r\n"
      "NODATA_value  -9999\r\nbyteorder     LSBFIRST\r\n";
  const std::string longText =
      "BYTEORDER      I\r\nLAYOUT         BIL\r\nNROWS          10812\r\nNCOLS          10812\r\n"
      "NBANDS         1\r\nNBITS          32\r\nBANDROWBYTES   43248\r\nTOTALROWBYTES  43248\r\n"
      "PIXELTYPE      FLOAT\r\nULXMAP         -85.0005092592587\r\n"
      "ULYMAP         37.0005092592587\r\nXDIM           0.000092592592593\r\n"
      "YDIM           0.000092592592593\r\nNODATA         -9999\r\n";
  EXPECT_EQ(demoTileHeaderText(false), shortText);
  EXPECT_EQ(demoTileHeaderText(true), longText);

  TempDir dir;
  for (bool longHeader : {false, true}) {
    testing::writeFile(dir.file("t.hdr"), demoTileHeaderText(longHeader));
    for (bool byKeywords : {true, false}) {
      SCOPED_TRACE(std::string(longHeader ? "long" : "short") +
                   (byKeywords ? " viewer" : " extractor"));
      const ReadBack r = readHeaderFile(dir.file("t.hdr"), byKeywords);
      ASSERT_TRUE(r.accepted);
      EXPECT_EQ(r.header.rasterCols, kSide);
      EXPECT_EQ(r.header.rasterRows, kSide);
      EXPECT_EQ(northEdgeLat(r.header), 37);
      EXPECT_EQ(westEdgeLon(r.header), 85);
      EXPECT_NEAR(r.header.tileWestLon, 85.000555555555, 1e-9);
      EXPECT_NEAR(r.header.tileSouthLat, 35.999444444445, 1e-9);
    }
  }
}

TEST(ResampleBilinear, InterpolatesBetweenCentresAndHoldsTheEdges) {
  // 3 columns x 2 rows, factor 3: centres at output rows 1 and 4, columns 1, 4 and 7.
  const ElevationGrid source = grid(3, 2, {10, 40, 100, 70, 100, 130});
  const ElevationGrid out = resampleBilinear(source, 3);
  ASSERT_EQ(out.cols, 9);
  ASSERT_EQ(out.rows, 6);
  // Centres repeat their samples exactly.
  EXPECT_EQ(out.at(1, 1), 10.0f);
  EXPECT_EQ(out.at(1, 4), 40.0f);
  EXPECT_EQ(out.at(4, 7), 130.0f);
  // Along a row, a third and two thirds of the way.
  EXPECT_EQ(out.at(1, 2), 20.0f);
  EXPECT_EQ(out.at(1, 3), 30.0f);
  EXPECT_EQ(out.at(1, 5), 60.0f);
  // Down a column, and both ways at once: (4*10 + 2*40 + 2*70 + 1*100) / 9.
  EXPECT_EQ(out.at(2, 1), 30.0f);
  EXPECT_EQ(out.at(2, 2), 40.0f);
  // Beyond the outermost centres the edge values hold.
  EXPECT_EQ(out.at(0, 0), 10.0f);
  EXPECT_EQ(out.at(0, 2), 20.0f);
  EXPECT_EQ(out.at(5, 8), 130.0f);
  EXPECT_EQ(out.at(3, 8), out.at(3, 7));
  EXPECT_EQ(out.at(5, 3), out.at(4, 3));

  // A single sample fills its whole block.
  const ElevationGrid one = resampleBilinear(grid(1, 1, {7.25f}), 9);
  ASSERT_EQ(one.samples.size(), 81u);
  EXPECT_TRUE(
      std::all_of(one.samples.begin(), one.samples.end(), [](float v) { return v == 7.25f; }));
}

TEST(ResampleBilinear, RealTerrainKeepsItsSamplesAndRange) {
  const SourceGrid source = jacksboro();
  ASSERT_EQ(source.grid.cols, 403);
  ASSERT_EQ(source.grid.rows, 344);
  const ElevationGrid out = resampleBilinear(source.grid, 9);
  ASSERT_EQ(out.cols, 3627);
  ASSERT_EQ(out.rows, 3096);
  for (int32_t r : {0, 17, 200, 343}) {
    for (int32_t c : {0, 5, 301, 402})
      EXPECT_EQ(out.at(4 + 9 * r, 4 + 9 * c), source.grid.at(r, c));
  }
  const auto [low, high] = std::minmax_element(out.samples.begin(), out.samples.end());
  const auto [sourceLow, sourceHigh] =
      std::minmax_element(source.grid.samples.begin(), source.grid.samples.end());
  EXPECT_EQ(*low, *sourceLow);
  EXPECT_EQ(*high, *sourceHigh);
}

TEST(SourceGrid, ReadsTheShippedTerrainAndRefusesBrokenFiles) {
  const SourceGrid source = jacksboro();
  EXPECT_DOUBLE_EQ(source.xllcorner, -84.41375);
  EXPECT_DOUBLE_EQ(source.yllcorner, 36.44625);
  EXPECT_NEAR(source.cellsize, 1.0 / 1200, 1e-12);
  const auto [low, high] =
      std::minmax_element(source.grid.samples.begin(), source.grid.samples.end());
  EXPECT_GE(*low, 235.0f);
  EXPECT_LE(*high, 1077.0f);
  EXPECT_GT(*high - *low, 800.0f);
  // Row 0 is the north row: the raster's first sample is what the reader puts first.
  const std::string raster = testing::readFile(defaultDemoSourceBase() + ".flt");
  float first;
  std::memcpy(&first, raster.data(), 4);
  EXPECT_EQ(source.grid.at(0, 0), first);

  TempDir dir;
  SourceGrid broken;
  std::string error;
  EXPECT_FALSE(readSourceGrid(dir.file("missing"), &broken, &error));
  EXPECT_NE(error.find("missing.hdr"), std::string::npos);

  const std::string header =
      "ncols 2\r\nnrows 2\r\nxllcorner -84.5\r\nyllcorner 36.5\r\ncellsize 0.000833333333\r\n";
  testing::writeFile(dir.file("g.hdr"), header);
  testing::writeFile(dir.file("g.flt"), std::string(12, '\0'));  // one sample short
  error.clear();
  EXPECT_FALSE(readSourceGrid(dir.file("g"), &broken, &error));
  EXPECT_NE(error.find("2 x 2"), std::string::npos);
  testing::writeFile(dir.file("g.flt"), std::string(16, '\0'));
  EXPECT_TRUE(readSourceGrid(dir.file("g"), &broken, &error)) << error;

  testing::writeFile(dir.file("g.hdr"), header + "byteorder MSBFIRST\r\n");
  EXPECT_FALSE(readSourceGrid(dir.file("g"), &broken, &error));
  testing::writeFile(dir.file("g.hdr"), "ncols 2\nnrows 2\nxllcorner -84.5\n");
  EXPECT_FALSE(readSourceGrid(dir.file("g"), &broken, &error));
}

TEST(PlaceSource, RoundsTheCornerToTheNearestCellAndKeepsTheBlockInside) {
  BlockPlacement place;
  std::string error;
  // The shipped data: its corner lies half a cell off the grid (6337.5, 2890.5); the half
  // goes east and south.
  ASSERT_TRUE(placeSource(jacksboro(), &place, &error)) << error;
  EXPECT_EQ(place.factor, 9);
  EXPECT_EQ(place.firstCol, 6338);
  EXPECT_EQ(place.firstRow, 2891);

  // A corner on a cell boundary: half a degree in plus the overlap.
  ASSERT_TRUE(placeSource(sourceAt(-84.5, 36.5, 4, 3), &place, &error));
  EXPECT_EQ(place.firstCol, 5406);
  EXPECT_EQ(place.firstRow, 5406);
  // Just under half a cell rounds back, just over rounds on.
  ASSERT_TRUE(placeSource(sourceAt(-84.5 + 0.4 / 10800, 36.5 - 0.6 / 10800, 4, 3), &place, &error));
  EXPECT_EQ(place.firstCol, 5406);
  EXPECT_EQ(place.firstRow, 5407);
  // The very first cell of the raster, and a block ending on its last cell.
  ASSERT_TRUE(placeSource(sourceAt(-85 - 6.0 / 10800, 37 + 6.0 / 10800, 2, 2), &place, &error));
  EXPECT_EQ(place.firstCol, 0);
  EXPECT_EQ(place.firstRow, 0);
  ASSERT_TRUE(placeSource(sourceAt(-84 + 6.0 / 10800 - 2.0 / 1200, 37, 2, 1), &place, &error));
  EXPECT_EQ(place.firstCol, kSide - 18);

  // Refused: a block reaching out of the raster, cells that are no odd multiple of 1/10800.
  EXPECT_FALSE(placeSource(sourceAt(-84 + 7.0 / 10800 - 2.0 / 1200, 37, 2, 1), &place, &error));
  EXPECT_FALSE(placeSource(sourceAt(-83.5, 36.5, 4, 3), &place, &error));
  EXPECT_FALSE(placeSource(sourceAt(-84.5, 37.5, 4, 3), &place, &error));
  EXPECT_FALSE(placeSource(sourceAt(-84.5, 36.5, 4, 3, 1.0 / 1800), &place, &error));
  EXPECT_FALSE(placeSource(sourceAt(-84.5, 36.5, 4, 3, 1.0 / 1000), &place, &error));
  EXPECT_FALSE(error.empty());
}

TEST(MirrorIndex, ReflectsPeriodicallyWithoutJumps) {
  EXPECT_EQ(mirrorIndex(0, 5), 0);
  EXPECT_EQ(mirrorIndex(4, 5), 4);
  EXPECT_EQ(mirrorIndex(5, 5), 4);  // the edge row repeats, then the block runs back
  EXPECT_EQ(mirrorIndex(9, 5), 0);
  EXPECT_EQ(mirrorIndex(10, 5), 0);
  EXPECT_EQ(mirrorIndex(11, 5), 1);
  EXPECT_EQ(mirrorIndex(-1, 5), 0);
  EXPECT_EQ(mirrorIndex(-5, 5), 4);
  EXPECT_EQ(mirrorIndex(-6, 5), 4);
  EXPECT_EQ(mirrorIndex(-11, 5), 0);
  EXPECT_EQ(mirrorIndex(-7, 1), 0);
  // Over the whole raster, from both ends of the real block: always inside, never a jump.
  for (int32_t length : {3096, 3627, 7}) {
    for (int32_t first : {0, 2891, 6338, kSide - 1}) {
      int32_t previous = mirrorIndex(-first, length);
      for (int32_t i = 1; i < kSide; ++i) {
        const int32_t m = mirrorIndex(i - first, length);
        ASSERT_TRUE(m >= 0 && m < length) << i;
        ASSERT_LE(std::abs(m - previous), 1) << length << " " << first << " " << i;
        previous = m;
      }
    }
  }
}

TEST(SpecialBlocks, BowlAndNoDataSitWhereTheConstantsSay) {
  float v = 0;
  // The no-data block, its corners included, and nothing beside it.
  for (int32_t row : {DemoTile::noDataFirstRow, 8400, DemoTile::noDataLastRow}) {
    for (int32_t col : {DemoTile::noDataFirstCol, 2700, DemoTile::noDataLastCol}) {
      ASSERT_TRUE(specialBlockValue(row, col, &v));
      EXPECT_EQ(v, -9999.0f);
    }
  }
  EXPECT_FALSE(specialBlockValue(DemoTile::noDataFirstRow - 1, 2700, &v));
  EXPECT_FALSE(specialBlockValue(DemoTile::noDataLastRow + 1, 2700, &v));
  EXPECT_FALSE(specialBlockValue(8400, DemoTile::noDataLastCol + 1, &v));
  EXPECT_FALSE(specialBlockValue(8400, DemoTile::belowZeroLastCol + 1, &v));
  EXPECT_FALSE(specialBlockValue(8400, DemoTile::belowZeroFirstCol - 1, &v));
  EXPECT_EQ(DemoTile::noDataLastCol - DemoTile::noDataFirstCol + 1, DemoTile::specialSize);
  EXPECT_EQ(DemoTile::belowZeroLastRow - DemoTile::belowZeroFirstRow + 1, DemoTile::specialSize);

  // The bowl: every cell from -1 down to nearly -40, deepest in the middle, smooth.
  float deepest = 0, shallowest = -100;
  for (int32_t row = DemoTile::belowZeroFirstRow; row <= DemoTile::belowZeroLastRow; ++row) {
    float previous = 0;
    for (int32_t col = DemoTile::belowZeroFirstCol; col <= DemoTile::belowZeroLastCol; ++col) {
      ASSERT_TRUE(specialBlockValue(row, col, &v));
      ASSERT_LE(v, -1.0f);
      ASSERT_GE(v, -40.0f);
      if (col > DemoTile::belowZeroFirstCol) {
        ASSERT_LT(std::fabs(v - previous), 0.3f);
      }
      previous = v;
      deepest = std::min(deepest, v);
      shallowest = std::max(shallowest, v);
    }
  }
  EXPECT_LT(deepest, -39.9f);
  EXPECT_EQ(shallowest, -1.0f);
  specialBlockValue(8405, 1505, &v);
  EXPECT_EQ(v, deepest);
  specialBlockValue(DemoTile::belowZeroFirstRow, DemoTile::belowZeroFirstCol, &v);
  EXPECT_EQ(v, -1.0f);
}

TEST(FillTileRow, PutsTheTerrainInPlaceMirrorsItAndPlantsTheBlocks) {
  const SourceGrid source = jacksboro();
  BlockPlacement place;
  std::string error;
  ASSERT_TRUE(placeSource(source, &place, &error));
  const DemoTerrain plain = prepareDemoTerrain(source, place, false);
  const DemoTerrain special = prepareDemoTerrain(source, place, true);
  std::vector<float> row(kSide), other(kSide);

  // The first source sample's centre is the middle of its 9 x 9 group.
  fillTileRow(plain, 2891 + 4, row.data());
  EXPECT_EQ(row[6338 + 4], source.grid.at(0, 0));
  EXPECT_EQ(row[6338 + 4 + 9 * 402], source.grid.at(0, 402));
  // Past the east edge the block runs back; before the west edge too.
  EXPECT_EQ(row[6338 + 3627], row[6338 + 3626]);
  EXPECT_EQ(row[6338 + 3627 + 5], row[6338 + 3626 - 5]);
  EXPECT_EQ(row[6338 - 1 - 100], row[6338 + 100]);
  // Rows above the block repeat its rows mirrored.
  fillTileRow(plain, 2891 - 1 - 40, other.data());
  fillTileRow(plain, 2891 + 40, row.data());
  EXPECT_EQ(other, row);
  // Rows are periodic with twice the block's height.
  fillTileRow(plain, 100 + 2 * 3096, other.data());
  fillTileRow(plain, 100, row.data());
  EXPECT_EQ(other, row);

  // No seams: no step between neighbours anywhere is larger than the steepest step inside
  // the resampled block itself.
  float steepest = 0;
  for (int32_t r = 1; r < plain.block.rows; ++r) {
    for (int32_t c = 1; c < plain.block.cols; ++c) {
      const float v = plain.block.at(r, c);
      steepest = std::max({steepest, std::fabs(v - plain.block.at(r, c - 1)),
                           std::fabs(v - plain.block.at(r - 1, c))});
    }
  }
  for (int32_t r : {0, 2890, 6000, 10811}) {
    fillTileRow(plain, r, row.data());
    fillTileRow(plain, r + (r == 0 ? 1 : -1), other.data());
    for (int32_t c = 1; c < kSide; ++c) {
      ASSERT_LE(std::fabs(row[c] - row[c - 1]), steepest) << r << " " << c;
      ASSERT_LE(std::fabs(row[c] - other[c]), steepest) << r << " " << c;
    }
  }

  // The planted blocks replace exactly their cells; every other cell is the terrain.
  fillTileRow(plain, 8300, row.data());
  fillTileRow(special, 8300, other.data());
  for (int32_t c = 0; c < kSide; ++c) {
    float planted;
    if (specialBlockValue(8300, c, &planted)) {
      ASSERT_EQ(other[c], planted) << c;
    } else {
      ASSERT_EQ(other[c], row[c]) << c;
    }
  }
  fillTileRow(plain, DemoTile::belowZeroFirstRow - 1, row.data());
  fillTileRow(special, DemoTile::belowZeroFirstRow - 1, other.data());
  EXPECT_EQ(other, row);
  EXPECT_GT(*std::min_element(row.begin(), row.end()), 200.0f);  // real terrain, no holes
}

TEST(DemoNeighbours, ContinueTheTerrainSoThatEveryOverlapAgrees) {
  const SourceGrid source = jacksboro();
  BlockPlacement place;
  std::string error;
  ASSERT_TRUE(placeSource(source, &place, &error));
  // The demo tile with its planted blocks, and the tiles east, south and south-east.
  const DemoTerrain demo = prepareDemoTerrain(source, place, true);
  struct Neighbour {
    int32_t northLat, westLon;
    int32_t rowShift, colShift;  // its raster row and column 0 in the demo tile's
  };
  const Neighbour neighbours[] = {{37, 84, 0, 10800}, {36, 85, 10800, 0}, {36, 84, 10800, 10800}};
  std::vector<float> mine(kSide), theirs(kSide);
  for (const Neighbour& n : neighbours) {
    SCOPED_TRACE(std::to_string(n.northLat) + " " + std::to_string(n.westLon));
    const DemoTerrain terrain = prepareDemoTerrain(source, place, true, n.northLat, n.westLon);
    // Both share twelve rows or columns of cells (each one's six-cell overlap and the six
    // beside it): the same values, cell for cell, special rows included.
    for (int32_t row : {0, 5, 11, 2895, DemoTile::belowZeroFirstRow, 10811}) {
      if (row + n.rowShift >= kSide) continue;
      fillTileRow(demo, row + n.rowShift, mine.data());
      fillTileRow(terrain, row, theirs.data());
      for (int32_t col = 0; col + n.colShift < kSide; ++col)
        ASSERT_EQ(theirs[col], mine[col + n.colShift]) << row << " " << col;
    }
    // No planted block: only terrain, above 200 m everywhere.
    for (int32_t row = DemoTile::belowZeroFirstRow; row <= DemoTile::belowZeroLastRow; row += 99) {
      fillTileRow(terrain, row, theirs.data());
      EXPECT_GT(*std::min_element(theirs.begin(), theirs.end()), 200.0f);
    }
    // Its header, in both forms, is read as the tile of its place.
    TempDir dir;
    for (bool longHeader : {false, true}) {
      testing::writeFile(dir.file("t.hdr"), demoTileHeaderText(longHeader, n.northLat, n.westLon));
      for (bool byKeywords : {true, false}) {
        const ReadBack r = readHeaderFile(dir.file("t.hdr"), byKeywords);
        ASSERT_TRUE(r.accepted);
        EXPECT_EQ(northEdgeLat(r.header), n.northLat);
        EXPECT_EQ(westEdgeLon(r.header), n.westLon);
        EXPECT_NEAR(r.header.tileWestLon, n.westLon + 0.000555555555, 1e-9);
        EXPECT_NEAR(r.header.tileSouthLat, n.northLat - 1.000555555555, 1e-9);
      }
    }
  }
  EXPECT_EQ(demoTileName(36, 84), "n36w084");

  // The planted blocks go into the demo tile only.
  DemoTileOptions options;
  options.directory = TempDir().file("x");
  options.northLat = 36;
  options.specialBlocks = true;
  EXPECT_FALSE(makeDemoTile(options, &error));
  EXPECT_NE(error.find("n37w085 only"), std::string::npos) << error;
}

TEST(MakeDemoTile, WritesTheCompleteTileOnceAndRefusesBadRequests) {
  TempDir dir;
  DemoTileOptions options;
  options.directory = dir.file("out/nested");
  options.longHeader = true;
  options.specialBlocks = true;
  std::string error;
  ASSERT_TRUE(makeDemoTile(options, &error)) << error;
  const std::string raster = options.directory + "/n37w085.flt";
  const std::string header = options.directory + "/n37w085.hdr";
  EXPECT_EQ(std::filesystem::file_size(raster), 467597376u);
  EXPECT_EQ(testing::readFile(header), demoTileHeaderText(true));
  EXPECT_FALSE(std::filesystem::exists(raster + ".part"));
  EXPECT_FALSE(std::filesystem::exists(header + ".part"));
  const ReadBack opened = readHeaderFile(header, true);
  ASSERT_TRUE(opened.accepted);
  EXPECT_EQ(northEdgeLat(opened.header), 37);

  // The file holds the rows in order, little-endian, as the row filler makes them.
  const SourceGrid source = jacksboro();
  BlockPlacement place;
  ASSERT_TRUE(placeSource(source, &place, &error));
  const DemoTerrain terrain = prepareDemoTerrain(source, place, true);
  std::vector<float> expected(kSide);
  for (int32_t r : {0, 6, 2895, 8106, 8705, 10811}) {
    fillTileRow(terrain, r, expected.data());
    EXPECT_EQ(readRasterRow(raster, r), expected) << r;
  }
  const std::vector<float> bowl = readRasterRow(raster, 8405);
  EXPECT_LT(bowl[1505], -39.9f);
  EXPECT_EQ(bowl[2700], -9999.0f);

  // Refused: a file where the directory should be, a base name with a path in it, a
  // missing source. None leaves a file behind.
  testing::writeFile(dir.file("plain"), "x");
  options.directory = dir.file("plain");
  error.clear();
  EXPECT_FALSE(makeDemoTile(options, &error));
  EXPECT_FALSE(error.empty());
  options.directory = dir.file("other");
  options.baseName = "../n37w085";
  EXPECT_FALSE(makeDemoTile(options, &error));
  options.baseName = "n37w085";
  options.sourceBase = dir.file("nothing");
  error.clear();
  EXPECT_FALSE(makeDemoTile(options, &error));
  EXPECT_NE(error.find("nothing.hdr"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("other")));
}

}  // namespace
}  // namespace ned
