// Opening a tile: the user picks the header, the raster path is derived from it, both
// files are proved readable and the header is read by the program's own reader. A
// GeoTIFF tile picked instead is read through the GridFloat pair made of it
// (core/tile/geotiff_tile.h).
#pragma once

#include <string>

#include "core/desktop.h"
#include "core/program.h"
#include "core/tile/tile_header.h"

namespace ned {

enum class TileOpenResult { cancelled, openFailed, rejected, accepted };

// Asks for a header file or a GeoTIFF tile; an empty path means the user cancelled.
ChosenFile chooseTileHeader(Desktop& desktop);

// The header path with its extension replaced by "flt". A path whose extension offset
// does not follow a dot (a name without extension) gets ".flt" appended, so nothing is
// ever written before the start of the path.
std::string deriveRasterPath(const std::string& headerPath, unsigned extensionOffset);

// The whole opening sequence, with every message. On cancel the header is untouched;
// otherwise its paths name the new tile whatever the result (for a GeoTIFF, its
// GridFloat pair).
TileOpenResult openTile(Desktop& desktop, Program program, TileHeader& header);

}  // namespace ned
