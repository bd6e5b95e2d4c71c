// The pictures of the demo tile, pinned by checksums. Each drawing is also written as a
// PNG beside the tile (build/golden/) so that it can be looked at. The same checksums,
// taken over the map area with its grid and zoom boxes, are what the window shows under
// Wine (tests/e2e/scenarios_gridview_picture.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/posix_file_system.h"
#include "tests/support/tile_files.h"
#include "tools/demo_tile.h"
#include "tools/map_overlay.h"
#include "tools/png_writer.h"
#include "viewer/render.h"

namespace ned {
namespace {

const std::string kRepo = TERRAVANE_SOURCE_DIR;

// Makes the standard demo tile once, in the folder the other tests and the demo use.
std::string demoBase() {
  static const std::string made = [] {
    const std::string dir = kRepo + "/build/demo";
    const std::string base = dir + "/n37w085";
    if (!std::filesystem::exists(base + ".flt") || !std::filesystem::exists(base + ".hdr")) {
      DemoTileOptions options;
      options.directory = dir;
      std::string error;
      if (!makeDemoTile(options, &error)) return "error: " + error;
    }
    return base;
  }();
  return made;
}

class NullDesktop : public Desktop {
 public:
  ChosenFile chooseFileToOpen(const FileDialogRequest&) override { return {}; }
  ChosenFile chooseFileToSave(const FileDialogRequest&) override { return {}; }
  bool createEmptyFile(const std::string&) override { return false; }
  void endProcess(int) override {}
  std::string temporaryFolder() override { return {}; }
  FileSystem& fileSystem() override { return posixFileSystem(); }
  std::vector<std::string> messages;

 protected:
  MessageAnswer messageBox(OwnerWindow, const std::string& text, const std::string&,
                           MessageStyle) override {
    messages.push_back(text);
    return MessageAnswer::ok;
  }
};

class KeepingWindow : public MapWindow {
 public:
  void setMenuItemEnabled(int, bool) override {}
  void putPicture(const MapPicture& p) override { picture = p; }
  void draw(const DrawList&) override {}
  void releaseDrawingContext() override {}
  MapPicture picture;
};

struct Golden {
  const char* name;
  int16_t level;
  int32_t row;
  int32_t col;
  int16_t colorMapOn;
  int16_t light;
  uint64_t picture;  // checksum of the picture alone
  uint64_t shown;    // checksum of the map area with its grid and boxes
};

TEST(GoldenPictures, DemoTileWholeDegreeAndQuadrangle) {
  const std::string base = demoBase();
  ASSERT_EQ(base.rfind("error", 0), std::string::npos) << base;
  ViewerState tile;
  ASSERT_EQ(readHeaderFile(posixFileSystem(), Program::viewer, base + ".hdr", tile.header),
            HeaderFileRead::accepted);
  tile.header.rasterPath = base + ".flt";

  const Golden cases[] = {
      {"level1_grey", 1, 6, 6, 0, 1, 0xa4fce4d5f9282591ull, 0xf24fc58db1c4a4feull},
      {"level1_colour", 1, 6, 6, 1, 1, 0xa29c773b51406bcfull, 0x40ca821d28938315ull},
      {"level3_grey", 3, 2706, 6756, 0, 1, 0xbfa77b780992cdcdull, 0xbfa77b780992cdcdull},
      {"level3_colour_se", 3, 2706, 6756, 1, 4, 0xc9d7512435b48cacull, 0xc9d7512435b48cacull},
  };
  std::filesystem::create_directories(kRepo + "/build/golden");
  for (const Golden& g : cases) {
    ViewerState state = tile;
    state.viewLevel = g.level;
    state.viewStartRow = g.row;
    state.viewStartCol = g.col;
    state.colorMapOn = g.colorMapOn;
    state.lightDirection = g.light;
    KeepingWindow window;
    NullDesktop desktop;
    RasterSampleSource source(desktop.fileSystem());
    ASSERT_EQ(renderView(state, window, source, desktop), 1) << g.name;
    EXPECT_TRUE(desktop.messages.empty()) << g.name;  // no legend for the standard tile
    png::writeFile(kRepo + "/build/golden/" + g.name + ".png",
                   png::encode(kMapWidth, kMapLines, window.picture.pixels));
    const uint64_t picture = tools::mapChecksum(window.picture.pixels);
    const uint64_t shown = tools::mapChecksum(tools::withOverlay(window.picture, g.level).pixels);
    std::printf("%s: picture %016llx shown %016llx\n", g.name,
                static_cast<unsigned long long>(picture), static_cast<unsigned long long>(shown));
    EXPECT_EQ(picture, g.picture) << g.name;
    EXPECT_EQ(shown, g.shown) << g.name;
  }
}

}  // namespace
}  // namespace ned
