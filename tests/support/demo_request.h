// The demo tile as the writer tests open it: its files in build/demo, and the write request
// of the tile alone or with the three tiles beside it as its mosaic.
#pragma once

#include <string>

#include "core/export/point_writer.h"
#include "core/tile/tile_header.h"
#include "tests/support/gdal_fixtures.h"

namespace ned::testing {

// The four tiles of the demo mosaic, north-west first, row by row.
inline const char* const kDemoTiles[] = {"n37w085", "n37w084", "n36w085", "n36w084"};

inline std::string demoFile(const std::string& name) {
  return projectFile("build/demo/" + name);
}

inline WriteRequest demoRequest(bool mosaic) {
  WriteRequest request;
  request.header.headerPath = demoFile("n37w085.hdr");
  request.header.rasterPath = demoFile("n37w085.flt");
  request.header.rasterCols = request.header.rasterRows = TileGeometry::cellsPerSide;
  request.header.tileWestLon = 85.00055555556;
  request.header.tileSouthLat = 35.99944444444;
  request.header.nodataLine = "NODATA        -9999";
  if (mosaic) {
    request.mosaic.tilesAcross = request.mosaic.tilesDown = 2;
    for (const char* tile : kDemoTiles)
      request.mosaic.rasterPaths.push_back(demoFile(tile) + ".flt");
  }
  return request;
}

}  // namespace ned::testing
