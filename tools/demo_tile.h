// The demo tile: a complete 1/3 arc-second tile for 36-37 N, 84-85 W made from the real
// 3 arc-second terrain in data/jacksboro_3s, so that the programs can be tried and
// measured on every zoom level without a downloaded tile.
//
// How the raster is made:
// - The source grid is resampled to 1/3 arc-second: each source sample becomes a block of
//   9 x 9 cells, interpolated bilinearly between sample centres and held at the edge
//   value beyond the outermost centres.
// - The resampled block is put where it lies on the ground. Its north-west corner falls
//   half a cell off the tile's grid (the source's corners lie on 1.5 arc-second marks),
//   so its first row and column are rounded to the nearest cell, half a cell going south
//   and east: row 2891, column 6338 for the shipped data.
// - Every other cell of the 10812 x 10812 raster, the overlap included, repeats the block
//   mirrored back and forth in both directions, so ridges and valleys run on without a
//   break wherever one looks.
// - On request, two 600 x 600 blocks are planted for the viewer's colours and legend: a
//   bowl below zero and a block of no-data cells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ned {

struct DemoTileOptions {
  std::string directory;  // where to write <baseName>.hdr and <baseName>.flt
  std::string baseName;   // empty: the tile's name, n37w085 for the demo tile
  // The tile's north and west whole degrees (west positive): the demo tile, or one of the
  // tiles around it, made from the same seamless terrain.
  int32_t northLat = 37;
  int32_t westLon = 85;
  bool longHeader = false;     // the 14-line GIS header form instead of the short form
  bool specialBlocks = false;  // plant a block of below-zero values and a block of -9999
  std::string sourceBase;      // the terrain's .hdr/.flt without extension; empty: the
                               // project's data/jacksboro_3s
};

// Writes a complete 10812 x 10812 tile for 36-37 N, 84-85 W (or the tile of the options'
// place) from real terrain; returns false and fills *error on failure. Deterministic. The
// files appear under their names only when complete; a failed run leaves neither behind.
// The special blocks are planted in the demo tile only.
bool makeDemoTile(const DemoTileOptions& options, std::string* error);

// The base name of a tile: "n37w085".
std::string demoTileName(int32_t northLat, int32_t westLon);

// The demo tile's fixed place and its planted blocks (raster rows and columns, overlap
// included; first and last cell inclusive).
struct DemoTile {
  static constexpr int32_t northLat = 37;
  static constexpr int32_t westLon = 85;  // degrees west
  static constexpr int32_t specialSize = 600;
  static constexpr int32_t belowZeroFirstRow = 8106;
  static constexpr int32_t belowZeroLastRow = 8705;
  static constexpr int32_t belowZeroFirstCol = 1206;
  static constexpr int32_t belowZeroLastCol = 1805;
  static constexpr int32_t noDataFirstRow = 8106;
  static constexpr int32_t noDataLastRow = 8705;
  static constexpr int32_t noDataFirstCol = 2406;
  static constexpr int32_t noDataLastCol = 3005;
  static constexpr float belowZeroShallowest = -1.0f;  // at the bowl's rim
  static constexpr float belowZeroDeepest = -40.0f;    // approached at its centre
};

// The project's terrain source: TERRAVANE_SOURCE_DIR/data/jacksboro_3s.
std::string defaultDemoSourceBase();

// The header text of the demo tile, or of the tile of another place, CR LF line ends.
std::string demoTileHeaderText(bool longHeader, int32_t northLat = DemoTile::northLat,
                               int32_t westLon = DemoTile::westLon);

// A grid of samples, row 0 north, column 0 west.
struct ElevationGrid {
  int32_t cols = 0;
  int32_t rows = 0;
  std::vector<float> samples;  // rows * cols, row after row
  float at(int32_t row, int32_t col) const {
    return samples[static_cast<size_t>(row) * static_cast<size_t>(cols) + static_cast<size_t>(col)];
  }
};

// A source grid as read from its short-form header and raster.
struct SourceGrid {
  ElevationGrid grid;
  double xllcorner = 0.0;  // outer west edge, degrees east (negative in the west)
  double yllcorner = 0.0;  // outer south edge, degrees north
  double cellsize = 0.0;   // degrees
};

// Reads <base>.hdr (ncols, nrows, xllcorner, yllcorner, cellsize, byteorder LSBFIRST) and
// the little-endian float raster <base>.flt, which must hold exactly ncols x nrows samples.
bool readSourceGrid(const std::string& base, SourceGrid* source, std::string* error);

// Bilinear resampling by a whole factor: output cell (r, c) takes the value at its centre,
// interpolated between the four surrounding source centres and clamped to the outermost
// ones. The factor must be odd, so that the middle cell of each factor x factor group sits
// on its source sample's centre and repeats its value exactly.
ElevationGrid resampleBilinear(const ElevationGrid& source, int32_t factor);

// Where the resampled block lies in the tile.
struct BlockPlacement {
  int32_t factor = 0;    // tile cells per source sample
  int32_t firstRow = 0;  // tile row of the block's north-west cell
  int32_t firstCol = 0;  // tile column of the block's north-west cell
};

// Places a source grid in the demo tile: the factor from its cell size, the first row and
// column from its north-west corner, rounded to the nearest cell (ties south and east).
// Fails unless the factor is odd and the whole block lies inside the raster.
bool placeSource(const SourceGrid& source, BlockPlacement* placement, std::string* error);

// The block index that a tile index repeats: offset is the tile index minus the block's
// first index; the block is mirrored periodically (0..n-1, n-1..0, 0..n-1, ...) both ways.
int32_t mirrorIndex(int32_t offset, int32_t length);

// The planted value of a cell inside a special block, or false outside them.
bool specialBlockValue(int32_t row, int32_t col, float* value);

// The terrain and its place: everything needed to produce any row of the tile. The
// terrain is one seamless field over the lattice of 1/10800 degree: a cell's value depends
// only on its place, so the tiles around the demo tile continue it and their overlaps
// agree with it, as real tiles do.
struct DemoTerrain {
  ElevationGrid block;   // the resampled source
  int32_t firstRow = 0;  // in the demo tile's raster rows and columns
  int32_t firstCol = 0;
  bool specialBlocks = false;
  int32_t rowShift = 0;         // the demo tile's raster row of this tile's raster row 0
  std::vector<int32_t> colMap;  // tile column -> block column
};

// Resamples the source and prepares the column mapping, for the demo tile or the tile of
// another place; the special blocks go into the demo tile only.
DemoTerrain prepareDemoTerrain(const SourceGrid& source, const BlockPlacement& placement,
                               bool specialBlocks, int32_t northLat = DemoTile::northLat,
                               int32_t westLon = DemoTile::westLon);

// Fills one raster row (10812 samples).
void fillTileRow(const DemoTerrain& terrain, int32_t row, float* out);

}  // namespace ned
