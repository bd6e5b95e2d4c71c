// GeoTIFF fixtures made at test time with GDAL's command-line tools, and what GDAL reads
// back from them: the independent oracle of the GeoTIFF reader. Nothing here decodes a
// TIFF itself.
#pragma once

#include <string>
#include <vector>

namespace ned::testing {

// Runs a GDAL tool (gdal_translate, gdalinfo, gdal_create) with its arguments, without
// side files (.aux.xml) beside its inputs; gives its standard output in output when asked.
bool runGdal(const std::vector<std::string>& arguments, std::string* output = nullptr);

// An argument for the shell, in single quotes.
std::string quoted(const std::string& argument);

// The words of a command line, split at blanks.
std::vector<std::string> words(const std::string& text);

// What gdalinfo -json says of a raster.
struct GdalInfo {
  int width = 0;
  int height = 0;
  double transform[6] = {};  // x0, cell x, rotation, y0, rotation, cell y (negative)
  bool hasNoData = false;
  double noData = 0.0;
  int overviews = 0;  // of the first band
};
bool gdalInfo(const std::string& path, GdalInfo& info);

// Writes GDAL's raster of a file to raster (a path ending in .flt), as gdal_translate -of
// EHdr writes it (little-endian floats, rows north to south), with GDAL's no-data cells
// and cells that are not a number as -9999: what a conversion to a tile's GridFloat raster
// must give. False when GDAL fails.
bool gdalGridFloat(const std::string& path, const std::string& raster);

// Whether two files hold the same bytes.
bool sameFileBytes(const std::string& a, const std::string& b);

// The path of a file of the project.
std::string projectFile(const std::string& relative);

// The full-size GeoTIFF of the demo tile as the USGS ships tiles (cloud optimized, LZW,
// floating-point predictor), made by scripts/make-demo-tiles.sh when it is missing.
std::string demoGeoTiff();

}  // namespace ned::testing
