// The extractor's run: one tile, one selection asked for in two dialogs, one point file,
// and the exit status of the process.
#pragma once

#include <string>

#include "core/desktop.h"
#include "core/tile/mosaic.h"
#include "core/tile/tile_header.h"
#include "extractor/extractor_run.h"

namespace ned {

// The two modal dialogs, 101 and 102. Opening one lets the user fill the run; the
// dialog sets run.dialogAccepted on OK or Cancel before it returns.
class ExtractorDialogs {
 public:
  virtual ~ExtractorDialogs() = default;
  virtual void open(int dialogId, ExtractorRun& run) = 0;
};

// "File - N" north edge "  W" west edge, e.g. "File - N35  W84".
std::string tileName(const TileHeader& header);

// Whether a typed dd.mmss longitude (degrees west) or latitude lies on the tile and its
// minutes and seconds come to 0 to 60 minutes in all.
bool longitudeInLimits(const TileHeader& header, double lonDms);
bool latitudeInLimits(const TileHeader& header, double latDms);

// A block that runs past the tile's east or south whole-degree line: the tiles it needs
// are looked for beside the opened file. When all are there, the user is asked whether to
// read them; Yes gives their mosaic and the whole block in run.selection (true). When
// some are missing or cannot be used, the message says which and that the block is cut
// at the line. Otherwise, and on No, the selection stays cut at the line (false).
bool takeTilesBeside(Desktop& desktop, ExtractorRun& run, TileMosaic& mosaic);

// The whole run over the given run record; gives the exit status of the process.
int runExtractor(Desktop& desktop, ExtractorDialogs& dialogs, ExtractorRun& run);

// The same over a fresh run record.
int runExtractor(Desktop& desktop, ExtractorDialogs& dialogs);

}  // namespace ned
