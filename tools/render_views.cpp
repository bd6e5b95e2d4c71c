// render_views: the native renderer's pictures of a list of views of one tile, as the
// window shows them (grid and zoom boxes included), for the end-to-end tests to compare
// the screen with:
//
//   render_views <header> <list> <output>
//
// Each line of the list is "name level startRow startCol colorMapOn lightDirection";
// each line of the output is "name checksum" (16 hexadecimal digits).
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/posix_file_system.h"
#include "core/tile/tile_header.h"
#include "core/tile/tile_open.h"
#include "tools/map_overlay.h"
#include "tools/silent_desktop.h"
#include "viewer/render.h"

namespace {

class KeepingWindow : public ned::MapWindow {
 public:
  void setMenuItemEnabled(int, bool) override {}
  void putPicture(const ned::MapPicture& p) override { picture = p; }
  void draw(const ned::DrawList&) override {}
  void releaseDrawingContext() override {}
  ned::MapPicture picture;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: render_views <header> <list> <output>\n");
    return 2;
  }
  const std::string headerPath = argv[1];
  ned::TileHeader header;
  header.headerPath = headerPath;
  header.rasterPath = ned::deriveRasterPath(headerPath, ned::extensionOffsetOf(headerPath));
  if (ned::readHeaderFile(ned::posixFileSystem(), ned::Program::viewer, headerPath, header) !=
      ned::HeaderFileRead::accepted)
    return 1;

  std::ifstream list(argv[2]);
  std::FILE* out = std::fopen(argv[3], "wb");
  if (!list || out == nullptr) return 1;
  std::string line;
  int status = 0;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name;
    int level = 0, row = 0, col = 0, colour = 0, light = 0;
    if (!(fields >> name >> level >> row >> col >> colour >> light)) {
      status = 1;
      continue;
    }
    ned::ViewerState state;
    state.header = header;
    state.viewLevel = static_cast<int16_t>(level);
    state.viewStartRow = row;
    state.viewStartCol = col;
    state.colorMapOn = static_cast<int16_t>(colour);
    state.lightDirection = static_cast<int16_t>(light);
    KeepingWindow window;
    SilentDesktop desktop("render_views");
    ned::RasterSampleSource source(desktop.fileSystem());
    if (ned::renderView(state, window, source, desktop) != 1) status = 1;
    const uint64_t sum =
        ned::tools::mapChecksum(ned::tools::withOverlay(window.picture, level).pixels);
    std::fprintf(out, "%s %016" PRIx64 "\r\n", name.c_str(), sum);
  }
  return std::fclose(out) == 0 ? status : 1;
}
