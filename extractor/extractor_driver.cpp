#include "extractor/extractor_driver.h"

#include <string>

#include "core/coordinate_choice.h"
#include "core/export/data_cells.h"
#include "core/export/form_choice.h"
#include "core/export/point_writer.h"
#include "core/export/selection.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/tile/mosaic.h"
#include "core/tile/neighbours.h"
#include "core/tile/tile_open.h"
#include "extractor/extractor_dialogs.h"

namespace ned {

namespace {

constexpr int kStatusOk = 0;
constexpr int kStatusFailed = 1;

constexpr int32_t kQuestionThreshold = 100000;
constexpr int32_t kPatienceThreshold = 10000000;

// A question of the program's own, without an icon.
constexpr MessageStyle kQuestion{MessageButtons::yesNo, MessageIcon::none, false};

const char* const kLongitudeText = "Longitude out of limits.\n     Try again.";
const char* const kLatitudeText = "Latitude out of limits.\n     Try again.";

const char* const kPatienceText =
    "             This can take along time, so have patience.\n"
    "        It's still working if the hard drive light is flashing.\n"
    "\n"
    "It took my old 1.8Ghz laptop 10 minutes to write 116M points.";

int statusOfOpen(TileOpenResult result) {
  switch (result) {
    case TileOpenResult::openFailed:
      return kStatusFailed;
    case TileOpenResult::cancelled:
    case TileOpenResult::rejected:
    case TileOpenResult::accepted:
      break;
  }
  return kStatusOk;
}

int statusOfWrite(WriteOutcome outcome) {
  switch (outcome) {
    case WriteOutcome::written:
    case WriteOutcome::endOfRaster:
    case WriteOutcome::outOfRange:
      return kStatusOk;
    case WriteOutcome::cancelled:
    case WriteOutcome::outputFailed:
    case WriteOutcome::rasterFailed:
    case WriteOutcome::writeFailed:
    case WriteOutcome::headerFailed:
    case WriteOutcome::tooManyLevels:
    case WriteOutcome::noSurface:
      break;
  }
  return kStatusFailed;
}

// Whether a typed dd.mmss names a point of the degree below the tile's edge: its minutes
// and seconds may come to 60 minutes in all (the edge itself) but not pass them, which
// would put the start outside the square, before the start of the file. Seconds of 60
// are the next minute: the viewer shows some corners so (36.5860 is 36.5900).
bool readsAsMinutesAndSeconds(double typed, int32_t edgeDegree, bool latitude) {
  const MinutesAndSeconds split = splitDdMmSs(typed, edgeDegree, latitude);
  const int64_t seconds = 60 * static_cast<int64_t>(split.minutes) + split.seconds;
  return seconds >= 0 && seconds <= 3600;
}

}  // namespace

bool takeTilesBeside(Desktop& desktop, ExtractorRun& run, TileMosaic& mosaic) {
  Selection whole = run.selection;
  selectionAcrossTiles(whole, run.kmEast, run.kmSouth, run.spacing);
  const auto pastEdge = [](int32_t start, uint32_t count) {
    return int64_t(start) + count > TileGeometry::edgeIndex;
  };
  if (!pastEdge(whole.startRow, whole.rows) && !pastEdge(whole.startCol, whole.cols)) return false;
  NeighbourSearch search = findNeighbours(desktop.fileSystem(), Program::extractor, run.header,
                                          folderOf(run.header.chosenPath), whole.startRow,
                                          whole.startCol, whole.rows, whole.cols);
  if (!search.complete()) {
    desktop.showMessage(neighbourCutText(search), kNeighbourCaption, kPlainMessage);
    return false;
  }
  if (desktop.showMessage(neighbourQuestionText(search), kNeighbourCaption, kQuestion) !=
      MessageAnswer::yes)
    return false;
  if (!mosaicOfSearch(desktop, run.header, search, mosaic)) {
    desktop.showMessage(neighbourCutText(search), kNeighbourCaption, kPlainMessage);
    mosaic = TileMosaic();
    return false;
  }
  // A block reaching past the tiles a search covers ends with the last of them.
  run.selection.cols = cellsInTiles(whole.startCol, whole.cols, search.tilesAcross);
  run.selection.rows = cellsInTiles(whole.startRow, whole.rows, search.tilesDown);
  return true;
}

std::string tileName(const TileHeader& header) {
  return "File - N" + std::to_string(northEdgeLat(header)) + "  W" +
         std::to_string(westEdgeLon(header));
}

bool longitudeInLimits(const TileHeader& header, double lonDms) {
  if (!(eastEdgeLon(header) <= lonDms && lonDms <= westEdgeLon(header))) return false;
  return readsAsMinutesAndSeconds(lonDms, westEdgeLon(header), false);
}

bool latitudeInLimits(const TileHeader& header, double latDms) {
  if (!(southEdgeLat(header) <= latDms && latDms <= northEdgeLat(header))) return false;
  return readsAsMinutesAndSeconds(latDms, northEdgeLat(header), true);
}

int runExtractor(Desktop& desktop, ExtractorDialogs& dialogs, ExtractorRun& run) {
  // 1. The tile.
  const TileOpenResult opened = openTile(desktop, Program::extractor, run.header);
  if (opened != TileOpenResult::accepted) return statusOfOpen(opened);

  // 2, 3. Where the selection starts and how far it reaches.
  run.tileName = tileName(run.header);
  run.dialogAccepted = true;
  dialogs.open(kSelectDialogId, run);
  if (!run.dialogAccepted) return kStatusFailed;

  // 4. The typed corner must lie on the tile.
  if (!longitudeInLimits(run.header, run.lonDms)) {
    desktop.showMessage(kLongitudeText, "Message", kPlainMessage);
    return kStatusFailed;
  }
  if (!latitudeInLimits(run.header, run.latDms)) {
    desktop.showMessage(kLatitudeText, "Message", kPlainMessage);
    return kStatusFailed;
  }

  // 5. The start cell.
  run.selection.startRow = parseDdMmSs(run.latDms, northEdgeLat(run.header), true);
  run.selection.startCol = parseDdMmSs(run.lonDms, westEdgeLon(run.header), false);

  // 6. The ground size of a cell.
  if (!lookupGroundSpacing(desktop, northEdgeLat(run.header), &run.spacing)) return kStatusOk;

  // 7. The size of the block, and the tiles beside this one where it runs past its edges.
  selectionFromDistance(run.selection, run.kmEast, run.kmSouth, run.spacing);
  TileMosaic mosaic;
  takeTilesBeside(desktop, run, mosaic);
  run.totalPoints = static_cast<int32_t>(run.selection.cols * run.selection.rows);

  // 8. Start coordinates, thinning, unit, form, coordinates, the skipping of cells without
  // data and the contour fields; the choices of coordinates, of skipping, of the form and
  // of the contour fields (when the contours are written) are kept for the next run.
  run.coordinateSystem = rememberedCoordinateSystem(desktop);
  run.skipNoData = rememberedSkipNoData(desktop);
  run.outputKind = rememberedOutputForm(desktop);
  run.contourIntervalText = rememberedContourInterval(desktop);
  run.indexEveryText = rememberedIndexEvery(desktop);
  run.toleranceText = rememberedSurfaceTolerance(desktop);
  run.desktop = &desktop;
  run.dialogAccepted = true;
  dialogs.open(kOutputDialogId, run);
  run.desktop = nullptr;
  if (!run.dialogAccepted) return kStatusFailed;
  rememberCoordinateSystem(desktop, run.coordinateSystem);
  rememberSkipNoData(desktop, run.skipNoData);
  rememberOutputForm(desktop, run.outputKind);
  if (formDrawsContours(run.outputKind))
    rememberContourFields(desktop, run.contourIntervalText, run.indexEveryText);
  if (formBuildsSurface(run.outputKind)) rememberSurfaceTolerance(desktop, run.toleranceText);

  WriteRequest request;
  request.selection = run.selection;
  request.kind = run.outputKind;
  request.startEasting = run.startEasting;
  request.startNorthing = run.startNorthing;
  request.toFeet = run.toFeet;
  request.header = run.header;
  request.coordinateSystem = run.coordinateSystem;
  request.mosaic = mosaic;
  request.skipNoData = run.skipNoData && formSkipsNoData(run.outputKind);
  request.contourInterval = run.contourInterval;
  request.indexEvery = run.indexEvery;
  request.tolerance = run.tolerance;

  // 9 - 11. How many points that makes (the kept cells with data where those without are
  // left out), and the warnings for many. A drawing holds lines, a surface the few cells it
  // needs, not all the points: neither is questioned, but the tracing or fitting of many
  // cells takes its time too.
  run.estimate = estimateWrittenPoints(desktop.fileSystem(), Program::extractor, request);
  if (run.estimate > kQuestionThreshold && !formDrawsContours(run.outputKind) &&
      !formBuildsSurface(run.outputKind)) {
    const std::string question = "You have chosen to write approximately\n" +
                                 std::to_string(run.estimate) +
                                 " points.  That's alot of points ! !\n"
                                 "Are you sure you want to continue?";
    if (desktop.showMessage(question, "Warning", kWarningQuestion) != MessageAnswer::yes) {
      return kStatusFailed;
    }
  }
  if (run.estimate > kPatienceThreshold) {
    desktop.showMessage(kPatienceText, "Have Patience !", kInformationMessage);
  }

  // 12. The write, after a note when the block lies outside the chosen system's area of use.
  if (run.outputKind == OutputKind::RectangularXyz ||
      run.outputKind == OutputKind::ProjectNorthXyz || formDrawsContours(run.outputKind) ||
      formBuildsSurface(run.outputKind))
    noteOutsideAreaOfUse(desktop, run.header, run.selection, run.coordinateSystem);
  return statusOfWrite(writePoints(desktop, Program::extractor, request));
}

int runExtractor(Desktop& desktop, ExtractorDialogs& dialogs) {
  ExtractorRun run;
  return runExtractor(desktop, dialogs, run);
}

}  // namespace ned
