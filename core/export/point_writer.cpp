#include "core/export/point_writer.h"

#include <cmath>
#include <cstdint>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/export/contour_writer.h"
#include "core/export/form_choice.h"
#include "core/export/map_projection.h"
#include "core/export/reduced_tile.h"
#include "core/export/row_writers.h"
#include "core/export/staged_outputs.h"
#include "core/export/surface_writer.h"
#include "core/numbers.h"
#include "core/tile/raster.h"

namespace ned {

namespace {

std::string countText(uint64_t points) {
  return std::to_string(points) + " points written.";
}

std::string linesText(uint64_t lines) {
  return std::to_string(lines) + " contour lines written.";
}

}  // namespace

FileDialogRequest outputDialogRequest(OutputKind kind) {
  FileDialogRequest request;
  if (kind == OutputKind::BinaryFlt) {
    request.filters = {{"Float File (*.flt)", "*.flt"}};
    request.defaultExtension = "flt";
  } else if (kind == OutputKind::DxfContours || kind == OutputKind::DxfTin) {
    request.filters = {{"DXF Drawing (*.dxf)", "*.dxf"}};
    request.defaultExtension = "dxf";
  } else if (kind == OutputKind::LandXmlTin) {
    request.filters = {{"LandXML File (*.xml)", "*.xml"}};
    request.defaultExtension = "xml";
  } else {
    request.filters = {{"Comma Seperated Value (*.csv)", "*.csv"}};
    request.defaultExtension = "csv";
  }
  request.options.pathMustExist = true;
  request.options.overwritePrompt = true;
  return request;
}

ProgramWriteRules writeRulesOf(Program program) {
  // The viewer raises values just below zero and joins a CSV row's values with commas;
  // the extractor writes what it read, ends each CSV value with a comma but the last
  // column's, and tells the count after an early end of the raster.
  return program == Program::viewer ? ProgramWriteRules{true, false, false}
                                    : ProgramWriteRules{false, true, true};
}

namespace {

long double elevationFactor(const WriteRequest& request) {
  if (!request.toFeet) return 0.0L;
  const MapSystem* map = findMapSystem(request.coordinateSystem);
  // A system in feet takes its own foot; anything else the program's factor.
  if (map != nullptr && map->unit != MapUnit::Metre)
    return 1.0L / static_cast<long double>(metresPerUnit(map->unit));
  return static_cast<long double>(kFeetPerMetre);
}

}  // namespace

WritePlan planWrite(const WriteRequest& request, Program program, const GroundSpacing& spacing) {
  const Selection& selection = request.selection;
  WritePlan plan;
  plan.kind = request.kind;
  plan.rules = writeRulesOf(program);
  plan.rows = selection.rows;
  plan.cols = selection.cols;
  plan.step = selection.step == 0 ? 1 : selection.step;
  plan.feetPerMetre = elevationFactor(request);
  plan.skipNoData = request.skipNoData && (request.kind == OutputKind::RectangularXyz ||
                                           request.kind == OutputKind::ProjectNorthXyz);
  plan.contourInterval = request.contourInterval;
  plan.indexEvery = request.indexEvery;
  plan.tolerance = request.tolerance;
  const bool placed = request.kind == OutputKind::RectangularXyz ||
                      request.kind == OutputKind::ProjectNorthXyz ||
                      request.kind == OutputKind::DxfContours || formBuildsSurface(request.kind);
  plan.map = placed ? findMapSystem(request.coordinateSystem) : nullptr;
  if (plan.map != nullptr) {
    // The centre of the first cell, as the tile's corner and its cells place it.
    const TileHeader& header = request.header;
    plan.cellDegrees = 1.0L / TileGeometry::cellsPerDegree;
    plan.firstLatitude = static_cast<double>(
        static_cast<long double>(header.tileSouthLat) +
        (static_cast<long double>(TileGeometry::cellsPerSide) - selection.startRow - 0.5L) *
            plan.cellDegrees);
    plan.firstLongitude = static_cast<double>(-static_cast<long double>(header.tileWestLon) +
                                              (selection.startCol + 0.5L) * plan.cellDegrees);
    return plan;
  }
  plan.startEasting = request.startEasting;
  plan.startNorthing = request.startNorthing;
  plan.nsSpacing = spacing.nsSpacing;
  plan.ewSpacingGrowth = spacing.ewSpacingGrowth;
  if (request.kind == OutputKind::RectangularXyz || request.kind == OutputKind::DxfContours ||
      formBuildsSurface(request.kind)) {
    const int64_t middleRow = static_cast<int64_t>(selection.startRow) + selection.rows / 2;
    plan.firstRowEwSpacing =
        ewSpacingAtRow(spacing, truncateToInt32(static_cast<long double>(middleRow)));
  } else if (request.kind == OutputKind::ProjectNorthXyz) {
    plan.firstRowEwSpacing = ewSpacingAtRow(spacing, selection.startRow);
  }
  if (request.toFeet) {
    // The local grid's spacings follow the elevations' unit.
    for (double* length : {&plan.firstRowEwSpacing, &plan.nsSpacing, &plan.ewSpacingGrowth})
      *length = static_cast<double>(static_cast<long double>(*length) * kFeetPerMetre);
  }
  return plan;
}

namespace {

// Where the selection's rows come from: the tile's raster, or the tiles of its mosaic.
class SelectionRows {
 public:
  SelectionRows(FileSystem& files, const WriteRequest& request, uint32_t cols)
      : request_(request),
        files_(files),
        block_(raster_, cols),
        tiles_(files, request.mosaic, cols) {}

  // Opens the raster (or every raster of the mosaic) and starts at the selection's first
  // cell; nullptr when a raster cannot be opened. A failed seek shows as the end of the
  // file.
  RowSource* openRowSource() {
    const Selection& selection = request_.selection;
    if (request_.mosaic.empty()) {
      if (!raster_.open(files_, request_.header.rasterPath)) return nullptr;
      block_.start(selection.startRow, selection.startCol);
      return &block_;
    }
    if (!tiles_.open()) return nullptr;
    tiles_.start(selection.startRow, selection.startCol);
    return &tiles_;
  }

  void close() {
    raster_.close();
    tiles_.close();
  }

 private:
  const WriteRequest& request_;
  FileSystem& files_;
  RasterFile raster_;
  BlockReader block_;
  MosaicReader tiles_;
};

// The files of a write under their final names; the side files for a reduced tile only.
struct OutputNames {
  std::string points;
  std::string header;
  std::string vrt;
  std::vector<std::string> sides() const {
    return header.empty() ? std::vector<std::string>() : std::vector<std::string>{header, vrt};
  }
};

OutputNames outputNamesOf(const ChosenFile& chosen, OutputKind kind) {
  OutputNames names;
  names.points = chosen.path;
  if (kind == OutputKind::BinaryFlt) {
    names.header = outputHeaderPath(chosen.path, chosen.extensionOffset);
    names.vrt = outputVrtPath(chosen.path, chosen.extensionOffset);
  }
  return names;
}

// Writes the reduced tile's header and virtual raster to their parts, describing the
// keptRows whole rows the raster holds; false after the message that says which failed.
bool writeSideFiles(Desktop& desktop, const WriteRequest& request, const WritePlan& plan,
                    const OutputNames& names, const std::string& headerPart,
                    const std::string& vrtPart, uint32_t keptRows, WriteOutcome* outcome) {
  FileSystem& files = desktop.fileSystem();
  const std::string header = reducedTileHeaderText(
      keptCount(plan.cols, plan.step), keptRows, plan.step, request.xulcornerText,
      request.yulcornerText, request.header.nodataLine);
  const WholeFileWrite headerWrite =
      writeWholeFile(files, headerPart, header, OpenMode::createOrTruncate);
  if (headerWrite != WholeFileWrite::written) {
    const bool opened = headerWrite == WholeFileWrite::failed;
    desktop.showMessage(opened ? kHeaderWriteFailedText : "Can't Open Header file.\n", "Message.",
                        kPlainMessage);
    *outcome = opened ? WriteOutcome::writeFailed : WriteOutcome::headerFailed;
    return false;
  }
  // Beside them, the tile placed where it lies, for GIS tools.
  const std::string vrt =
      reducedTileVrtText(request, plan.feetPerMetre != 0.0L, fileNameOf(names.points), keptRows);
  if (writeWholeFile(files, vrtPart, vrt, OpenMode::createOrTruncate) != WholeFileWrite::written) {
    desktop.showMessage(kVrtWriteFailedText, "Message.", kPlainMessage);
    *outcome = WriteOutcome::writeFailed;
    return false;
  }
  return true;
}

// The spill file of the tracer beside the output, removed with this object on every path.
class SpillFile {
 public:
  SpillFile(FileSystem& files, std::string path) : files_(files), path_(std::move(path)) {
    writer_ = files_.open(path_, OpenMode::createOrTruncate);
    if (writer_ != nullptr) reader_ = files_.open(path_, OpenMode::read);
    if (reader_ != nullptr) spill_.reset(new FileSpill(*writer_, *reader_));
  }
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;
  ~SpillFile() {
    spill_.reset();
    reader_.reset();
    const bool made = writer_ != nullptr;
    writer_.reset();
    if (made) files_.remove(path_);
  }
  // None when the file could not be made: the tracer then keeps its lines in memory.
  VertexSpill* spill() { return spill_.get(); }

 private:
  FileSystem& files_;
  std::string path_;
  std::unique_ptr<OpenFile> writer_;
  std::unique_ptr<OpenFile> reader_;
  std::unique_ptr<FileSpill> spill_;
};

// The contour drawing: the levels of the block counted first (a pass over its rows), then
// the drawing traced and written under a name of its own and put in place when complete.
WriteOutcome writeContours(Desktop& desktop, const WriteRequest& request, const WritePlan& plan,
                           const std::string& path) {
  FileSystem& files = desktop.fileSystem();
  SelectionRows source(files, request, plan.cols);
  std::unique_ptr<float[]> samples(new (std::nothrow) float[plan.cols == 0 ? 1 : plan.cols]);
  const auto rasterFailed = [&]() {
    desktop.showMessage("Can't Open Gridfloat file.", "Message.", kPlainMessage);
    return WriteOutcome::rasterFailed;
  };
  RowSource* rows = samples == nullptr ? nullptr : source.openRowSource();
  if (rows == nullptr) return rasterFailed();
  const ElevationRange range = keptElevationRange(plan, *rows, samples.get());
  source.close();
  const bool usableInterval = plan.contourInterval > 0.0 && std::isfinite(plan.contourInterval);
  if (!usableInterval ||
      (range.any &&
       contourLevelCount(range.low, range.high, plan.contourInterval) > kMostContourLevels)) {
    desktop.showMessage(kTooManyLevelsText, "Message.", kPlainMessage);
    return WriteOutcome::tooManyLevels;
  }

  StagedOutputs staged(files);
  const std::string part = staged.add(path);
  std::unique_ptr<OpenFile> out = files.open(part, OpenMode::createOrTruncate);
  if (out == nullptr) {
    desktop.showMessage("Can't Open Output file.\n", "Message.", kPlainMessage);
    return WriteOutcome::outputFailed;
  }
  rows = source.openRowSource();
  if (rows == nullptr) return rasterFailed();
  PassResult pass;
  {
    SpillFile spill(files, path + "." + std::to_string(files.processId()) + ".spill");
    pass = writeContourDrawing(plan, *rows, samples.get(), *out, spill.spill());
  }
  source.close();
  const auto writeFailed = [&]() {
    desktop.showMessage(kWriteFailedText, "Message.", kPlainMessage);
    return WriteOutcome::writeFailed;
  };
  if (pass.end == PassEnd::outputFailed) return writeFailed();
  const bool ended = pass.end == PassEnd::endOfRaster;
  // What was traced before the end of the raster is a finished drawing, and kept.
  if (ended) desktop.showMessage("End of File.", "Message.", kPlainMessage);
  const bool closed = out->close();
  out.reset();
  if (!closed || !staged.putInPlace().empty()) return writeFailed();
  if (ended) {
    if (plan.rules.countAfterEndOfFile)
      desktop.showMessage(linesText(pass.points), "Message", kPlainMessage);
    return WriteOutcome::endOfRaster;
  }
  desktop.showMessage(linesText(pass.points), "Message", kPlainMessage);
  return WriteOutcome::written;
}

// The tile's name (its file's, without the folder and the extension) and the block's
// north-west cell.
std::string surfaceName(const WriteRequest& request) {
  const std::string& path =
      request.header.chosenPath.empty() ? request.header.headerPath : request.header.chosenPath;
  const size_t slash = path.find_last_of("/\\");
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  const unsigned extension = extensionOffsetOf(path);
  const size_t end = extension > start ? extension - 1 : path.size();
  return path.substr(start, end - start) + " from row " +
         std::to_string(request.selection.startRow) + ", column " +
         std::to_string(request.selection.startCol);
}

// The local date and time for the file's header.
void stampNow(SurfaceLabels* labels) {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  char date[16] = "1970-01-01";
  char time[16] = "00:00:00";
  if (local != nullptr) {
    std::strftime(date, sizeof date, "%Y-%m-%d", local);
    std::strftime(time, sizeof time, "%H:%M:%S", local);
  }
  labels->date = date;
  labels->time = time;
}

// A surface: the block's elevations read and the surface made before any file is made, so
// that a block without data, without a face or beyond the memory at hand writes nothing;
// then the file written under a name of its own and put in place when complete.
WriteOutcome writeSurface(Desktop& desktop, Program program, const WriteRequest& request,
                          const WritePlan& plan, const std::string& path) {
  FileSystem& files = desktop.fileSystem();
  SelectionRows source(files, request, plan.cols);
  std::unique_ptr<float[]> samples(new (std::nothrow) float[plan.cols == 0 ? 1 : plan.cols]);
  RowSource* rows = samples == nullptr ? nullptr : source.openRowSource();
  if (rows == nullptr) {
    desktop.showMessage("Can't Open Gridfloat file.", "Message.", kPlainMessage);
    return WriteOutcome::rasterFailed;
  }
  SurfaceCells read = readSurfaceCells(plan, *rows, samples.get());
  source.close();
  samples.reset();
  const auto refuse = [&](const char* text, WriteOutcome outcome) {
    desktop.showMessage(text, "Message.", kPlainMessage);
    return outcome;
  };
  if (read.outOfMemory) return refuse(kSurfaceMemoryText, WriteOutcome::noSurface);
  const bool ended = read.end == PassEnd::endOfRaster;
  if (ended) desktop.showMessage("End of File.", "Message.", kPlainMessage);
  TinSurface surface;
  const TinResult built =
      read.keptRows == 0 ? TinResult::NoData
                         : buildTin(read.cells, toleranceThousandths(plan.tolerance), &surface);
  read.cells = TinCells();
  switch (built) {
    case TinResult::Built:
      break;
    case TinResult::NoData:
      return refuse(kSurfaceNoDataText, WriteOutcome::noSurface);
    case TinResult::NoFace:
      return refuse(kSurfaceNoFaceText, WriteOutcome::noSurface);
    case TinResult::TooLarge:
      return refuse(kSurfaceTooLargeText, WriteOutcome::noSurface);
    case TinResult::BadTolerance:
      return refuse(kBadSurfaceToleranceText, WriteOutcome::noSurface);
    case TinResult::OutOfMemory:
      return refuse(kSurfaceMemoryText, WriteOutcome::noSurface);
  }

  StagedOutputs staged(files);
  std::unique_ptr<OpenFile> out = files.open(staged.add(path), OpenMode::createOrTruncate);
  if (out == nullptr) {
    desktop.showMessage("Can't Open Output file.\n", "Message.", kPlainMessage);
    return WriteOutcome::outputFailed;
  }
  SurfaceLabels labels;
  labels.application = program == Program::viewer ? "gridview" : "gridpick";
  labels.surfaceName = surfaceName(request);
  stampNow(&labels);
  uint64_t points = 0;
  uint64_t faces = 0;
  const bool written = writeSurfaceFile(plan, surface, labels, *out, &points, &faces);
  const bool closed = out->close();
  out.reset();
  if (!written || !closed || !staged.putInPlace().empty())
    return refuse(kWriteFailedText, WriteOutcome::writeFailed);
  if (!ended || plan.rules.countAfterEndOfFile)
    desktop.showMessage(surfaceCountText(points, faces), "Message", kPlainMessage);
  return ended ? WriteOutcome::endOfRaster : WriteOutcome::written;
}

}  // namespace

WriteOutcome writePoints(Desktop& desktop, Program program, const WriteRequest& request) {
  GroundSpacing spacing;
  if (!lookupGroundSpacing(desktop, northEdgeLat(request.header), &spacing))
    return WriteOutcome::outOfRange;
  const WritePlan plan = planWrite(request, program, spacing);
  if (formBuildsSurface(request.kind) &&
      !tinBlockFits(keptCount(plan.cols, plan.step), keptCount(plan.rows, plan.step))) {
    desktop.showMessage(kSurfaceTooLargeText, "Message.", kPlainMessage);
    return WriteOutcome::noSurface;
  }

  const ChosenFile chosen = desktop.chooseFileToSave(outputDialogRequest(request.kind));
  if (chosen.path.empty()) return WriteOutcome::cancelled;
  const OutputNames names = outputNamesOf(chosen, request.kind);
  switch (checkOutputNames(desktop, request, names.points, names.sides())) {
    case OutputNamesCheck::refused:
      return WriteOutcome::outputFailed;
    case OutputNamesCheck::declined:
      return WriteOutcome::cancelled;
    case OutputNamesCheck::go:
      break;
  }
  if (request.kind == OutputKind::DxfContours)
    return writeContours(desktop, request, plan, names.points);
  if (formBuildsSurface(request.kind))
    return writeSurface(desktop, program, request, plan, names.points);

  // Every output is written under a name of its own and put in place when complete; until
  // then, and after a failure, the files of these names stay as they were.
  FileSystem& files = desktop.fileSystem();
  StagedOutputs staged(files);
  BlockOutput out;
  if (!out.open(files, staged.add(names.points))) {
    desktop.showMessage("Can't Open Output file.\n", "Message.", kPlainMessage);
    return WriteOutcome::outputFailed;
  }
  const std::string headerPart = names.header.empty() ? std::string() : staged.add(names.header);
  const std::string vrtPart = names.vrt.empty() ? std::string() : staged.add(names.vrt);

  SelectionRows source(files, request, plan.cols);
  std::unique_ptr<float[]> samples(new (std::nothrow) float[plan.cols == 0 ? 1 : plan.cols]);
  RowSource* rows = samples == nullptr ? nullptr : source.openRowSource();
  if (rows == nullptr) {
    out.abandon();
    desktop.showMessage("Can't Open Gridfloat file.", "Message.", kPlainMessage);
    return WriteOutcome::rasterFailed;
  }

  const auto writeFailed = [&](const char* text) {
    desktop.showMessage(text, "Message.", kPlainMessage);
    return WriteOutcome::writeFailed;
  };

  const PassResult pass = writeSelection(plan, *rows, samples.get(), out);
  source.close();
  if (pass.end == PassEnd::outputFailed) {
    out.abandon();
    return writeFailed(kWriteFailedText);
  }
  const bool ended = pass.end == PassEnd::endOfRaster;
  // What was written before the end of the raster is kept, as a whole write is.
  if (ended) desktop.showMessage("End of File.", "Message.", kPlainMessage);
  if (!out.close()) return writeFailed(kWriteFailedText);
  if (request.kind == OutputKind::BinaryFlt) {
    WriteOutcome failed = WriteOutcome::writeFailed;
    if (!writeSideFiles(desktop, request, plan, names, headerPart, vrtPart, pass.wholeKeptRows,
                        &failed))
      return failed;
  }
  const std::string notPlaced = staged.putInPlace();
  if (!notPlaced.empty()) {
    if (notPlaced == names.header) {
      desktop.showMessage("Can't Open Header file.\n", "Message.", kPlainMessage);
      return WriteOutcome::headerFailed;
    }
    return writeFailed(notPlaced == names.vrt ? kVrtWriteFailedText : kWriteFailedText);
  }

  if (ended) {
    if (plan.rules.countAfterEndOfFile)
      desktop.showMessage(countText(pass.points), "Message", kPlainMessage);
    return WriteOutcome::endOfRaster;
  }
  desktop.showMessage(countText(pass.points), "Message", kPlainMessage);
  return WriteOutcome::written;
}

}  // namespace ned
