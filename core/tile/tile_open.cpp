#include "core/tile/tile_open.h"

#include "core/tile/geotiff_tile.h"

namespace ned {

namespace {

const char* const kRasterMissingText =
    "Can't Open Gridfloat file.\nMake sure *.hdr and *.flt\nfiles have the same name.";

const char* const kViewerRejectedText =
    "              Can't Read Header File !\n"
    "\n"
    "         Header must have 10812 col/rows\n"
    "            defined by NROWS or nrows\n"
    "                  and NCOLS or ncols.\n"
    "        Latitude and Longitude defined by\n"
    "ULXMAP or xllcorner and ULYMAP or yllcorner.";

const char* const kExtractorRejectedText =
    "This program only works on 1/3 arc second\nGridfloat files with 10812 cols and rows.";

}  // namespace

ChosenFile chooseTileHeader(Desktop& desktop) {
  FileDialogRequest request;
  request.filters = {{"GridFloat Header (*.hdr)", "*.hdr"},
                     {"USGS GeoTIFF tile (*.tif)", "*.tif;*.tiff"}};
  request.defaultExtension = "hdr";
  request.options.fileMustExist = true;
  return desktop.chooseFileToOpen(request);
}

std::string deriveRasterPath(const std::string& headerPath, unsigned extensionOffset) {
  return replaceExtension(headerPath, extensionOffset, "flt");
}

namespace {

void showHeaderOpenFailed(Desktop& desktop, Program program) {
  desktop.showMessage(program == Program::viewer ? "Can't open file." : "Can't open header file.",
                      "Message", kPlainMessage);
}

void showRejected(Desktop& desktop, Program program) {
  desktop.showMessage(program == Program::viewer ? kViewerRejectedText : kExtractorRejectedText,
                      "Message.", kPlainMessage);
}

// The pair the header's paths name: both files proved readable, the header read by the
// program's own reader. The header's values change only once the raster is there.
TileOpenResult readTilePair(Desktop& desktop, Program program, TileHeader& header) {
  FileSystem& files = desktop.fileSystem();
  TileHeader read = header;
  const HeaderFileRead outcome = readHeaderFile(files, program, header.headerPath, read);
  if (outcome == HeaderFileRead::notOpened) {
    showHeaderOpenFailed(desktop, program);
    return TileOpenResult::openFailed;
  }
  if (files.open(header.rasterPath, OpenMode::read) == nullptr) {
    desktop.showMessage(kRasterMissingText, "Message.", kPlainMessage);
    return TileOpenResult::openFailed;
  }
  header = read;
  if (outcome == HeaderFileRead::accepted) return TileOpenResult::accepted;
  showRejected(desktop, program);
  return TileOpenResult::rejected;
}

}  // namespace

TileOpenResult openTile(Desktop& desktop, Program program, TileHeader& header) {
  const ChosenFile chosen = chooseTileHeader(desktop);
  if (chosen.path.empty()) return TileOpenResult::cancelled;
  header.chosenPath = chosen.path;

  if (!isGeoTiffChoice(desktop.fileSystem(), chosen)) {
    header.headerPath = chosen.path;
    header.rasterPath = deriveRasterPath(chosen.path, chosen.extensionOffset);
    return readTilePair(desktop, program, header);
  }
  // A GeoTIFF is read through the GridFloat pair made of it.
  switch (prepareGeoTiffTile(desktop, chosen, header)) {
    case GeoTiffOutcome::ready:
      return readTilePair(desktop, program, header);
    case GeoTiffOutcome::notOpened:
      showHeaderOpenFailed(desktop, program);
      return TileOpenResult::openFailed;
    case GeoTiffOutcome::rejected:
      showRejected(desktop, program);
      return TileOpenResult::rejected;
    case GeoTiffOutcome::otherGrid:
      return TileOpenResult::rejected;
    case GeoTiffOutcome::failed:
      break;
  }
  return TileOpenResult::openFailed;
}

}  // namespace ned
