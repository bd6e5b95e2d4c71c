// write_points: the core point writer run natively, as gridpick's driver (or, with
// "viewer", gridview's export dialog) would run it, for a selection given on the command
// line. The end-to-end tests compare what the programs write through their dialogs under
// Wine with what this native build of the writer makes of the same selection:
//
//   write_points <header> <output> <startRow> <startCol> <rows> <cols> <removeCount>
//                <rect|north|csv|binary|dxf|landxml|dxftin> <startEasting> <startNorthing> <feet 0|1>
//                [viewer] [epsg:<code>] [beside] [skip-nodata] [contours:<interval>,<index>]
//                [tolerance:<t>]   (kinds landxml and dxftin: the surface's tolerance, 0.1 without)
//
// The binary form (viewer only) takes its header's corner from the selection, as the
// viewer does. epsg:<code> writes X and Y in that map system instead of the local grid
// from startEasting and startNorthing. beside reads a block that runs past the tile's east
// or south whole-degree line on from the tiles found in the header's folder, as gridpick
// does when the user answers Yes (GeoTIFF tiles among them are converted beside); the
// block is cut at the last tile the search covers, and the writer fails when a tile it
// needs is missing or unusable. skip-nodata leaves out the cells without data in the XYZ
// forms, as the dialogs' "Skip cells without data" does. dxf writes the contour drawing,
// its interval and index count from contours:<interval>,<index> (1 and 5 without it), as
// the dialogs' "Contour interval" and "Index every" give them.
// Messages go to the standard output; the exit status is 0 when the points were written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "core/desktop.h"
#include "core/export/point_writer.h"
#include "core/numbers.h"
#include "core/posix_file_system.h"
#include "core/tile/mosaic.h"
#include "core/tile/neighbours.h"
#include "core/tile/tile_open.h"

namespace {

// Answers the file dialogs with fixed paths and prints what would be shown.
class ConsoleDesktop : public ned::Desktop {
 public:
  ConsoleDesktop(std::string header, std::string output)
      : header_(std::move(header)), output_(std::move(output)) {}

  ned::ChosenFile chooseFileToOpen(const ned::FileDialogRequest&) override {
    return chosen(header_);
  }
  ned::ChosenFile chooseFileToSave(const ned::FileDialogRequest&) override {
    return chosen(output_);
  }
  bool createEmptyFile(const std::string& path) override {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
  }
  void endProcess(int) override {}
  std::string temporaryFolder() override {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
  }
  ned::FileSystem& fileSystem() override { return ned::posixFileSystem(); }

 protected:
  ned::MessageAnswer messageBox(ned::OwnerWindow, const std::string& text,
                                const std::string& caption, ned::MessageStyle) override {
    std::printf("[%s] %s\n", caption.c_str(), text.c_str());
    return ned::MessageAnswer::yes;
  }

 private:
  static ned::ChosenFile chosen(const std::string& path) {
    ned::ChosenFile file;
    file.path = path;
    file.extensionOffset = ned::extensionOffsetOf(path);
    return file;
  }

  std::string header_;
  std::string output_;
};

uint32_t count(const char* text) {
  const int32_t value = ned::parseLeadingInt(text);
  return value > 0 ? static_cast<uint32_t>(value) : 0u;
}

// The mosaic of the tiles beside the opened one that the request's block runs into, and
// the block cut at the last of them; false when one it needs is missing or unusable.
bool takeTilesBeside(ned::Desktop& desktop, ned::Program program, ned::WriteRequest& request) {
  ned::Selection& block = request.selection;
  const ned::TileHeader& header = request.header;
  ned::NeighbourSearch search =
      ned::findNeighbours(desktop.fileSystem(), program, header, ned::folderOf(header.chosenPath),
                          block.startRow, block.startCol, block.rows, block.cols);
  if (search.tiles.empty()) return true;
  if (!search.complete() || !ned::mosaicOfSearch(desktop, header, search, request.mosaic)) {
    std::printf("%s\n", ned::neighbourCutText(search).c_str());
    return false;
  }
  block.cols = ned::cellsInTiles(block.startCol, block.cols, search.tilesAcross);
  block.rows = ned::cellsInTiles(block.startRow, block.rows, search.tilesDown);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool viewer = false;
  bool beside = false;
  bool skipNoData = false;
  int32_t coordinateSystem = 0;
  bool contours = false;
  double contourInterval = 1.0;
  uint32_t indexEvery = 5;
  bool surface = false;
  double tolerance = 0.1;
  bool usable = argc >= 12 && argc <= 18;
  for (int i = 12; usable && i < argc; ++i) {
    if (std::strcmp(argv[i], "viewer") == 0 && !viewer) {
      viewer = true;
    } else if (std::strcmp(argv[i], "beside") == 0 && !beside) {
      beside = true;
    } else if (std::strcmp(argv[i], "skip-nodata") == 0 && !skipNoData) {
      skipNoData = true;
    } else if (std::strncmp(argv[i], "contours:", 9) == 0 && !contours) {
      contours = true;
      contourInterval = ned::parseLeadingDouble(argv[i] + 9);
      const char* comma = std::strchr(argv[i] + 9, ',');
      usable = comma != nullptr;
      if (usable) indexEvery = count(comma + 1);
    } else if (std::strncmp(argv[i], "tolerance:", 10) == 0 && !surface) {
      surface = true;
      tolerance = ned::parseLeadingDouble(argv[i] + 10);
    } else if (std::strncmp(argv[i], "epsg:", 5) == 0 && coordinateSystem == 0) {
      coordinateSystem = ned::parseLeadingInt(argv[i] + 5);
      usable = ned::findMapSystem(coordinateSystem) != nullptr;
    } else {
      usable = false;
    }
  }
  if (!usable) {
    std::fprintf(stderr,
                 "usage: write_points <header> <output> <startRow> <startCol> <rows> "
                 "<cols> <removeCount> <rect|north|csv|binary|dxf> <startEasting> <startNorthing> "
                 "<feet 0|1> [viewer] [epsg:<code of a listed map system>] [beside] "
                 "[skip-nodata] [contours:<interval>,<index>] [tolerance:<t>]\n");
    return 2;
  }
  ConsoleDesktop desktop(argv[1], argv[2]);
  const ned::Program program = viewer ? ned::Program::viewer : ned::Program::extractor;
  ned::WriteRequest request;
  if (ned::openTile(desktop, program, request.header) != ned::TileOpenResult::accepted) {
    return 1;
  }
  request.selection.startRow = ned::parseLeadingInt(argv[3]);
  request.selection.startCol = ned::parseLeadingInt(argv[4]);
  request.selection.rows = count(argv[5]);
  request.selection.cols = count(argv[6]);
  request.selection.removeCount = count(argv[7]);
  request.selection.step = request.selection.removeCount + 1;
  if (beside && !takeTilesBeside(desktop, program, request)) return 1;
  const std::string kind = argv[8];
  request.kind = kind == "north"     ? ned::OutputKind::ProjectNorthXyz
                 : kind == "csv"     ? ned::OutputKind::ElevationCsv
                 : kind == "binary"  ? ned::OutputKind::BinaryFlt
                 : kind == "dxf"     ? ned::OutputKind::DxfContours
                 : kind == "landxml" ? ned::OutputKind::LandXmlTin
                 : kind == "dxftin"  ? ned::OutputKind::DxfTin
                                     : ned::OutputKind::RectangularXyz;
  const ned::UpperLeftCorner corner = ned::upperLeft(request.header, request.selection);
  request.xulcornerText = corner.xulcornerText;
  request.yulcornerText = corner.yulcornerText;
  request.startEasting = ned::parseLeadingDouble(argv[9]);
  request.startNorthing = ned::parseLeadingDouble(argv[10]);
  request.toFeet = std::strcmp(argv[11], "1") == 0;
  request.coordinateSystem = coordinateSystem;
  request.skipNoData = skipNoData;
  request.contourInterval = contourInterval;
  request.indexEvery = indexEvery;
  request.tolerance = tolerance;
  const ned::WriteOutcome outcome = ned::writePoints(desktop, program, request);
  return outcome == ned::WriteOutcome::written ? 0 : 1;
}
