// The tiles beside an opened one that a block running past its east or south
// whole-degree line needs, and the files in the opened tile's folder that are those tiles,
// whatever their names: GridFloat pairs whose headers place them there (read by the
// program's own header reader, either header form) and GeoTIFF tiles whose
// georeferencing places them there. Also the texts that tell the user about them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/desktop.h"
#include "core/file_system.h"
#include "core/program.h"
#include "core/tile/mosaic.h"
#include "core/tile/tile_header.h"

namespace ned {

// A tile as a user names it, by the whole degrees of its north and west edges (west
// positive): "N37 W84".
std::string tileLabel(int32_t northLat, int32_t westLon);
// The file of that tile as the USGS ships it today: "USGS_13_n37w084.tif".
std::string tileDownloadName(int32_t northLat, int32_t westLon);

// The tile a file's name claims to be ("n37w084" anywhere in it, in any letter case), if
// any.
bool tilePlaceInName(const std::string& name, int32_t& northLat, int32_t& westLon);

enum class NeighbourStatus {
  found,        // path is that tile
  missing,      // no file in the folder is that tile
  unreadable,   // a file of that tile cannot be read: a damaged header or GeoTIFF, a
                // raster that is not there or cannot be opened
  otherSize,    // a file of that tile is not a 10812 x 10812 tile of 1/10800-degree cells
  otherTile,    // a file named after that tile is another tile, or lies off the tiles' grid
  conflicting,  // several files claim to be that tile, and none has the cells it shares
                // with the tile beside it
};

struct NeighbourTile {
  int32_t across = 0;  // tiles east of the opened one
  int32_t down = 0;    // tiles south of it
  int32_t northLat = 0;
  int32_t westLon = 0;
  NeighbourStatus status = NeighbourStatus::missing;
  // found: the header of the pair, or the GeoTIFF to be converted like an opened one;
  // otherwise the file that is wrong (empty when missing).
  std::string path;
  bool geoTiff = false;
  std::string rasterPath;  // found as a pair: its raster
  std::string problem;     // what is wrong with path, a sentence
  // The other files that claim to be this tile: found, those passed over for path;
  // conflicting, every claim but path.
  std::vector<std::string> rivals;
  bool rivalsDiffer = false;  // found: the cells of every rival differ where it meets the tile
                              // beside it, and path's agree
};

// The tiles a block needs: tilesAcross x tilesDown of them, at most kMosaicMaxTilesAcross x
// kMosaicMaxTilesDown (a block reaching further is to be cut at the last of them, with
// cellsInTiles). tiles lists every one but the opened tile, row after row, west to east.
struct NeighbourSearch {
  int32_t northLat = 0;  // the opened tile's
  int32_t westLon = 0;
  int32_t tilesAcross = 1;
  int32_t tilesDown = 1;
  std::string openedName;  // the name of the file the user opened
  std::vector<NeighbourTile> tiles;
  // Whether every tile was found.
  bool complete() const;
};

// Looks in folder, the folder of the file the user opened (of the GeoTIFF, for a GeoTIFF
// tile), for the tiles a block of rows x cols cells from (startRow, startCol), in the
// opened tile's raster coordinates, needs. Other files are passed over quietly. A block
// inside the tile needs none. Where several files claim one tile (a GeoTIFF and the pair
// converted from it count as one), a sample of the cells it shares with the tile west of
// it (with the opened tile, for the tiles that touch it) decides: tiles beside each other
// hold the same cells in their 6-cell overlaps.
NeighbourSearch findNeighbours(FileSystem& files, Program program, const TileHeader& opened,
                               const std::string& folder, int32_t startRow, int32_t startCol,
                               uint32_t rows, uint32_t cols);

// The mosaic of a complete search, the opened tile's raster first. A GeoTIFF tile is
// converted as an opened one is (its progress, and its message when that fails); one that
// cannot be is marked in the search (unreadable, or otherSize) and the result is false.
bool mosaicOfSearch(Desktop& desktop, const TileHeader& opened, NeighbourSearch& search,
                    TileMosaic& mosaic);

// The texts of a block that runs past its tile. Both name the tiles it runs into.
// Every tile found: the question whether to read them (Yes reads the whole block), with
// the file taken for a tile that several claim:
//   "The block runs past this tile into N37 W84 and N36 W84.\n"
//   "N37 W84 is read from n37w084.hdr, not from n36w085_old.hdr: its cells differ where
//    the tiles meet.\n"
//   "Read the rest from the tiles found beside it?"
std::string neighbourQuestionText(const NeighbourSearch& search);
// Some missing or unusable: one line for each, and the cut:
//   "The block runs past this tile into N37 W84 and N36 W84.\n"
//   "The tile N37 W84 is missing: put USGS_13_n37w084.tif (or its GridFloat pair) beside
//    n37w085.hdr.\n"
//   "N36 W84: n36w084.hdr can't be used. It is the tile N38 W84.\n"
//   "The block is cut at the tile's east and south edges."
std::string neighbourCutText(const NeighbourSearch& search);
constexpr const char* kNeighbourCaption = "Message";

}  // namespace ned
