// Tiles as the USGS distributes them today, one GeoTIFF per tile (cloud optimized, LZW or
// Deflate, floating-point predictor). On open such a file is converted once into a
// GridFloat pair beside it (or, where that folder cannot be written, in the user's
// temporary folder); from then on the programs read the pair like any other tile, and
// later opens reuse it while it is complete and newer than the GeoTIFF.
#pragma once

#include <cstdio>
#include <string>

#include "core/desktop.h"
#include "core/tile/tiff_image.h"
#include "core/tile/tile_header.h"

namespace ned {

// Whether a chosen file is opened as a GeoTIFF: its name ends in .tif or .tiff (in any
// letter case), or it begins like a TIFF.
bool isGeoTiffChoice(const ChosenFile& chosen);

// Whether the image has the geometry every tile has: 10812 x 10812 north-up cells of
// 1/10800 degree.
bool hasTileGeometry(const TiffImage& image);

// The short header of a converted tile: ncols, nrows, the corner the georeferencing gives
// (eleven decimals), cellsize, NODATA_value -9999 and the byte order, CR LF line ends.
std::string convertedHeaderText(const TiffImage& image);

// Writes the image's cells to out as a GridFloat raster of any size: little-endian floats,
// rows north to south, cells of the no-data value and cells that are not a number as
// -9999. Steps the desktop's progress from 0 to 100. On failure gives false with a
// sentence for the user in problem when the file is damaged, an empty one when writing
// failed.
bool writeGridFloatRaster(TiffBytes& bytes, const TiffImage& image, std::FILE* out,
                          Desktop& desktop, std::string& problem);

enum class GeoTiffOutcome {
  ready,      // a current pair is there; the header's paths name it
  notOpened,  // the file cannot be opened (no message shown)
  rejected,   // it does not have the geometry of a tile (no message shown)
  failed,     // it cannot be read or converted (the message was shown)
};

// Finds or makes the GridFloat pair of a chosen GeoTIFF and points the header's paths at
// it; until a pair is found they name the pair beside the file.
GeoTiffOutcome prepareGeoTiffTile(Desktop& desktop, const ChosenFile& chosen, TileHeader& header);

}  // namespace ned
