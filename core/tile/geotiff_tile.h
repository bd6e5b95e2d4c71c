// Tiles as the USGS distributes them today, one GeoTIFF per tile (cloud optimized, LZW or
// Deflate, floating-point predictor). On open such a file is converted once into a
// GridFloat pair beside it (or, where that cannot be, in the user's temporary folder);
// from then on the programs read the pair like any other tile. Beside the pair lies what
// it was made from (`<name>.source`), and later opens reuse the pair only while that is
// still the file being opened.
#pragma once

#include <cstdint>
#include <string>

#include "core/desktop.h"
#include "core/file_system.h"
#include "core/tile/tiff_image.h"
#include "core/tile/tile_header.h"

namespace ned {

// Whether a chosen file is opened as a GeoTIFF: its name ends in .tif or .tiff (in any
// letter case), or it begins like a TIFF.
bool isGeoTiffChoice(FileSystem& files, const ChosenFile& chosen);

// How an image fits the grid of a tile: 10812 x 10812 north-up cells of 1/10800 degree
// of latitude and longitude.
enum class TileFit {
  fits,
  otherSize,  // not 10812 x 10812 cells
  otherGrid,  // the right size, but not cells of 1/10800 degree (problem says what it has)
};
TileFit tileFit(const TiffImage& image, std::string& problem);

// The short header of a converted tile: ncols, nrows, the corner the georeferencing gives
// (eleven decimals), cellsize, NODATA_value -9999 and the byte order, CR LF line ends.
std::string convertedHeaderText(const TiffImage& image);

// Writes the image's cells to out as a GridFloat raster of any size: little-endian floats,
// rows north to south, cells of the no-data value and cells that are not a number as
// -9999. Steps the desktop's progress from 0 to 100. On failure gives false with a
// sentence for the user in problem when the file is damaged, an empty one when writing
// failed.
bool writeGridFloatRaster(TiffBytes& bytes, const TiffImage& image, OpenFile& out, Desktop& desktop,
                          std::string& problem);

// The places a GeoTIFF's pair can have, and what is known of them at an open.
enum class PairPlace { none, besideTheTif, temporaryFolder };
struct PairSituation {
  bool besideCurrent = false;      // beside the file lies a pair made from it
  bool usersOwnPairThere = false;  // beside it lies a GridFloat pair no conversion wrote
  bool besideFailed = false;       // a conversion beside it could not write
  bool hasTemporaryFolder = false;
  bool temporaryCurrent = false;  // the temporary folder holds a pair made from it
  bool temporaryFailed = false;   // a conversion there could not write
};
struct PairChoice {
  PairPlace place = PairPlace::none;  // none: nowhere left to put it
  bool convert = false;               // make the pair there (else use the one there)
  bool operator==(const PairChoice& other) const {
    return place == other.place && convert == other.convert;
  }
};
// A current pair is used, beside the file first; else one is made beside the file unless
// that holds the user's own pair or failed, else in the temporary folder unless that
// failed.
PairChoice choosePairPlace(const PairSituation& situation);

// What a pair records of the GeoTIFF it was made from: its size, its time, a checksum of
// its image directory (every block's offset and byte count among it) and, for a pair in
// the temporary folder, its path; CR LF line ends.
std::string sourceRecordText(const TiffImage& image, const FileInfo& source,
                             const std::string& pathOrEmpty);

// The bytes of a tile's raster, and the leftovers of a conversion: files of the pair's
// names ending in ".<process id>.part".
constexpr uint64_t kConvertedRasterBytes = 467597376;

enum class GeoTiffOutcome {
  ready,      // a current pair is there; the header's paths name it
  notOpened,  // the file cannot be opened (no message shown)
  rejected,   // it does not have the size of a tile (no message shown)
  otherGrid,  // the right size but not a tile's grid (the message was shown)
  failed,     // it cannot be read or converted (the message was shown)
};

// Finds or makes the GridFloat pair of a chosen GeoTIFF and points the header's paths at
// it; until a pair is found they name the pair beside the file.
GeoTiffOutcome prepareGeoTiffTile(Desktop& desktop, const ChosenFile& chosen, TileHeader& header);

}  // namespace ned
