#include "core/tile/tile_open.h"

#include <cstdio>

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
  request.filters = {{"GridFloat Header (*.hdr)", "*.hdr"}};
  request.defaultExtension = "hdr";
  request.options.fileMustExist = true;
  return desktop.chooseFileToOpen(request);
}

std::string deriveRasterPath(const std::string& headerPath, unsigned extensionOffset) {
  return replaceExtension(headerPath, extensionOffset, "flt");
}

TileOpenResult openTile(Desktop& desktop, Program program, TileHeader& header) {
  const ChosenFile chosen = chooseTileHeader(desktop);
  if (chosen.path.empty()) return TileOpenResult::cancelled;

  header.headerPath = chosen.path;
  header.rasterPath = deriveRasterPath(chosen.path, chosen.extensionOffset);

  // The header is read as text; the reader does the text-mode line-end translation
  // itself so that both builds see the same pieces.
  std::FILE* headerFile = std::fopen(header.headerPath.c_str(), "rb");
  if (headerFile == nullptr) {
    desktop.showMessage(program == Program::viewer ? "Can't open file." : "Can't open header file.",
                        "Message", kPlainMessage);
    return TileOpenResult::openFailed;
  }
  std::FILE* rasterFile = std::fopen(header.rasterPath.c_str(), "rb");
  if (rasterFile == nullptr) {
    desktop.showMessage(kRasterMissingText, "Message.", kPlainMessage);
    std::fclose(headerFile);
    return TileOpenResult::openFailed;
  }
  std::fclose(rasterFile);

  HeaderPieces pieces(headerFile);
  const bool accepted = program == Program::viewer ? readHeaderByKeywords(pieces, header)
                                                   : readHeaderByPosition(pieces, header);
  std::fclose(headerFile);
  if (accepted) return TileOpenResult::accepted;
  desktop.showMessage(program == Program::viewer ? kViewerRejectedText : kExtractorRejectedText,
                      "Message.", kPlainMessage);
  return TileOpenResult::rejected;
}

}  // namespace ned
