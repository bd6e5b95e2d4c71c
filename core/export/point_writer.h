// Writing the cells of a selection to a point file in one of the output forms.
#pragma once

#include <string>

#include "core/desktop.h"
#include "core/export/selection.h"
#include "core/program.h"
#include "core/tile/tile_header.h"

namespace ned {

enum class OutputKind { RectangularXyz, ProjectNorthXyz, ElevationCsv, BinaryFlt };

struct WriteRequest {
  Selection selection;
  OutputKind kind = OutputKind::RectangularXyz;
  double startEasting = 200000.0;
  double startNorthing = 200000.0;
  bool toFeet = false;
  TileHeader header;
  std::string xulcornerText;  // BinaryFlt only
  std::string yulcornerText;  // BinaryFlt only
};

// How a write ended. Every outcome has already been told to the user.
enum class WriteOutcome {
  written,       // the count message was shown
  outOfRange,    // the tile lies outside the degree table; nothing written
  cancelled,     // the save dialog was cancelled; nothing written
  outputFailed,  // the output file could not be opened
  rasterFailed,  // the raster could not be opened
  endOfRaster,   // the raster ended before the selection did; the program is to end with 0
  writeFailed,   // writing the output failed; what was written stays
  headerFailed,  // BinaryFlt: the header file could not be opened
};

// Runs the whole write: spacing lookup, save dialog, the pass over the raster, and the
// messages. The program decides the differences between the viewer and the extractor.
WriteOutcome writePoints(Desktop& desktop, Program program, const WriteRequest& request);

}  // namespace ned
