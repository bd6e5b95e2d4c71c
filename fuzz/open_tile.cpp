// The opening sequence of both programs over any header bytes, as a file next to its
// raster: the tile is accepted or refused with one message of the program's, nothing
// else. Bytes that begin as a TIFF are read as the GeoTIFF tile they claim to be, and may
// also fail to open, again with one message. An accepted tile names the raster beside
// it, has the size the reader gave it, and the degree table takes it exactly when its
// north edge lies from 18 to 75, telling the user otherwise. Its name and the corner
// texts of its first cell come out of any corner.
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "core/export/selection.h"
#include "core/tile/tiff_image.h"
#include "core/tile/tile_open.h"
#include "extractor/extractor_driver.h"
#include "fuzz/fuzz_check.h"
#include "tests/support/scripted_desktop.h"

namespace {

// A folder of the run's own, made once and emptied at the end of the run.
struct TileFolder {
  std::string path;
  std::string header;
  std::string raster;

  TileFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/terravane-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    path = pattern;
    header = path + "/tile.hdr";
    raster = path + "/tile.flt";
    std::FILE* file = std::fopen(raster.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    std::fclose(file);
  }
  ~TileFolder() {
    unlink(header.c_str());
    unlink(raster.c_str());
    rmdir(path.c_str());
  }
};

void writeHeader(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TileFolder folder;
  writeHeader(folder.header, data, size);
  const bool tiff = ned::hasTiffSignature(data, size);

  for (const ned::Program program : {ned::Program::viewer, ned::Program::extractor}) {
    ned::testing::ScriptedDesktop desktop;
    desktop.chooseFile(folder.header);
    ned::TileHeader header;
    const ned::TileOpenResult result = ned::openTile(desktop, program, header);
    FUZZ_CHECK(header.rasterPath == folder.raster);
    if (result == ned::TileOpenResult::rejected ||
        (tiff && result == ned::TileOpenResult::openFailed)) {
      FUZZ_CHECK(desktop.messages.size() == 1 && desktop.messages[0].caption == "Message.");
      continue;
    }
    FUZZ_CHECK(result == ned::TileOpenResult::accepted);
    FUZZ_CHECK(desktop.messages.empty());
    if (program == ned::Program::extractor) FUZZ_CHECK(header.rasterCols == 10812);

    const int32_t north = ned::northEdgeLat(header);
    ned::GroundSpacing spacing;
    const bool inTable = ned::lookupGroundSpacing(desktop, north, &spacing);
    FUZZ_CHECK(inTable == (north >= 18 && north <= 75));
    FUZZ_CHECK(desktop.messages.size() == (inTable ? 0u : 1u));
    FUZZ_CHECK(inTable ||
               desktop.messages[0].text == "This only works from 18th to 75th parallel.");

    FUZZ_CHECK(ned::tileName(header).rfind("File - N", 0) == 0);
    ned::Selection first;
    first.startRow = first.startCol = ned::TileGeometry::firstCell;
    const ned::UpperLeftCorner corner = ned::upperLeft(header, first);
    FUZZ_CHECK(!corner.ulLatText.empty() && corner.ulLonText[0] == '-');
  }
  return 0;
}
