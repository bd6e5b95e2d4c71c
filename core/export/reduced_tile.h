// The reduced tile's side files: the header that makes its raster a GridFloat tile and the
// GDAL virtual raster that places it, their names beside the raster, and the checks made
// before they take those names.
#pragma once

#include <cstdint>
#include <string>

#include "core/desktop.h"
#include "core/export/point_writer.h"

namespace ned {

// The cell size written into a reduced tile's header, per kept step.
constexpr double kHeaderCellSize = 0.000092592593;

// The header file of a BinaryFlt output: the output path with its extension replaced by
// "hdr" (a.b.flt gives a.b.hdr; a name without extension gets ".hdr"). A name ending in
// a dot has an empty extension and gets "hdr" after the dot: "out." gives "out.hdr". A
// name whose header would be the output itself ("x.hdr") gets ".hdr" appended instead.
std::string outputHeaderPath(const std::string& outputPath, unsigned extensionOffset);

// The GDAL virtual raster written beside a reduced tile: the output path with its
// extension replaced by "vrt" (or ".vrt" appended, as for the header).
std::string outputVrtPath(const std::string& outputPath, unsigned extensionOffset);

// The virtual raster of a reduced tile of keptRows rows: its kept cells as 32-bit floats in
// the raster file of that name beside it, each placed at its own cell's centre on NAD83
// latitude and longitude, no-data -9999, in metres or feet; CR LF line ends.
std::string reducedTileVrtText(const WriteRequest& request, bool inFeet,
                               const std::string& rasterName, uint32_t keptRows);

// The seven lines of a reduced tile's header, CR LF line ends.
std::string reducedTileHeaderText(uint32_t keptCols, uint32_t keptRows, uint32_t step,
                                  const std::string& xulcornerText,
                                  const std::string& yulcornerText, const std::string& nodataLine);

// How the check of a write's file names ended.
enum class OutputNamesCheck {
  go,        // none is taken by a tile, and the user agreed to replace those that exist
  refused,   // one of them is a file of a tile the write reads; the message was shown
  declined,  // the user would not replace an existing side file; nothing written
};

// Before anything is written: refuses a point file or side file named as one of the
// files of the tiles the request reads (the opened tile's header and raster, the rasters
// beside it and their headers), letter case ignored; then asks (Yes/No) whether to
// replace the side files that exist. sidePaths is empty for the forms without any.
OutputNamesCheck checkOutputNames(Desktop& desktop, const WriteRequest& request,
                                  const std::string& outputPath,
                                  const std::vector<std::string>& sidePaths);

}  // namespace ned
