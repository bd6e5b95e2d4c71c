#include "core/tile/tile_open.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::ScriptedDesktop;
using testing::TempDir;

const char* const kRasterText =
    "Can't Open Gridfloat file.\nMake sure *.hdr and *.flt\nfiles have the same name.";

TEST(DeriveRasterPath, ReplacesTheExtensionOrAppendsOne) {
  EXPECT_EQ(deriveRasterPath("C:\\tiles\\tile.hdr", 14), "C:\\tiles\\tile.flt");
  EXPECT_EQ(deriveRasterPath("a.b.hdr", 4), "a.b.flt");
  EXPECT_EQ(deriveRasterPath("tile.h", 5), "tile.flt");
  // A name without extension: nothing is cut, ".flt" is appended.
  EXPECT_EQ(deriveRasterPath("C:\\tiles\\tile", 0), "C:\\tiles\\tile.flt");
  EXPECT_EQ(deriveRasterPath("x", 0), "x.flt");
  // An offset that does not follow a dot, or lies past the end, is not trusted.
  EXPECT_EQ(deriveRasterPath("abc", 2), "abc.flt");
  EXPECT_EQ(deriveRasterPath("abc", 9), "abc.flt");
  EXPECT_EQ(deriveRasterPath("name.", 5), "name.flt");
}

TEST(DeriveRasterPath, HoldsTheLongestDialogPathInFull) {
  const std::string header = "C:\\" + std::string(252, 'd') + "\\t.h";  // 259 characters
  ASSERT_EQ(header.size(), 259u);
  const std::string raster = deriveRasterPath(header, 258);
  EXPECT_EQ(raster.size(), 261u);
  EXPECT_EQ(raster, header.substr(0, 257) + ".flt");
}

TEST(OpenTile, AsksForAHeaderWithTheDialogsFilter) {
  ScriptedDesktop desktop;
  TileHeader header;
  header.headerPath = "old.hdr";
  header.rasterPath = "old.flt";
  EXPECT_EQ(openTile(desktop, Program::viewer, header), TileOpenResult::cancelled);
  ASSERT_EQ(desktop.dialogs.size(), 1u);
  const FileDialogRequest& request = desktop.dialogs[0].request;
  EXPECT_FALSE(desktop.dialogs[0].save);
  ASSERT_EQ(request.filters.size(), 2u);
  EXPECT_EQ(request.filters[0].text, "GridFloat Header (*.hdr)");
  EXPECT_EQ(request.filters[0].pattern, "*.hdr");
  EXPECT_EQ(request.filters[1].text, "USGS GeoTIFF tile (*.tif)");
  EXPECT_EQ(request.filters[1].pattern, "*.tif;*.tiff");
  EXPECT_EQ(request.defaultExtension, "hdr");
  EXPECT_TRUE(request.options == (FileDialogOptions{true, false, false}));
  // Cancelling changes nothing and says nothing.
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(header.headerPath, "old.hdr");
  EXPECT_EQ(header.rasterPath, "old.flt");
}

TEST(OpenTile, ReportsFilesThatCannotBeOpened) {
  TempDir dir;
  for (Program program : {Program::viewer, Program::extractor}) {
    SCOPED_TRACE(program == Program::viewer ? "viewer" : "extractor");
    ScriptedDesktop desktop;
    TileHeader header;
    desktop.chooseFile(dir.file("missing.hdr"));
    EXPECT_EQ(openTile(desktop, program, header), TileOpenResult::openFailed);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text,
              program == Program::viewer ? "Can't open file." : "Can't open header file.");
    EXPECT_EQ(desktop.messages[0].caption, "Message");
    EXPECT_EQ(desktop.messages[0].style, kPlainMessage);

    // A header without its raster: the paths already name the new tile.
    testing::writeFile(dir.file("lonely.hdr"),
                       testing::shortHeader(-84.00055555556, 33.99944444444));
    desktop.chooseFile(dir.file("lonely.hdr"));
    EXPECT_EQ(openTile(desktop, program, header), TileOpenResult::openFailed);
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(desktop.messages[1].text, kRasterText);
    EXPECT_EQ(desktop.messages[1].caption, "Message.");
    EXPECT_EQ(header.headerPath, dir.file("lonely.hdr"));
    EXPECT_EQ(header.rasterPath, dir.file("lonely.flt"));
    EXPECT_EQ(header.tileWestLon, 0.0);
  }
}

TEST(OpenTile, ProbesBothFilesThroughTheFileSeam) {
  TempDir dir;
  testing::writeFile(dir.file("t.hdr"), testing::shortHeader(-84.00055555556, 33.99944444444));
  testing::makeSparseRaster(dir.file("t.flt"), 16);
  std::filesystem::create_directory(dir.file("folder.flt"));
  testing::writeFile(dir.file("folder.hdr"), testing::readFile(dir.file("t.hdr")));
  struct Case {
    const char* name;
    const char* failedOpen;  // the file whose opening fails
    const char* viewerText;
  };
  const Case cases[] = {
      {"t.hdr", "t.hdr", "Can't open file."},
      {"t.hdr", "t.flt", kRasterText},
      {"folder.hdr", nullptr, kRasterText},  // a folder of the raster's name is no raster
      {"t.hdr", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + (c.failedOpen ? c.failedOpen : "-"));
    testing::ScriptedFileSystem files(posixFileSystem());
    const std::string failed = c.failedOpen ? dir.file(c.failedOpen) : std::string();
    files.fails = [&](const testing::FileCall& call) {
      return call.what == "open" && call.path == failed;
    };
    ScriptedDesktop desktop;
    desktop.disk = &files;
    desktop.chooseFile(dir.file(c.name));
    TileHeader header;
    const TileOpenResult result = openTile(desktop, Program::viewer, header);
    EXPECT_EQ(result, c.viewerText ? TileOpenResult::openFailed : TileOpenResult::accepted);
    EXPECT_EQ(desktop.messageTexts(),
              c.viewerText ? std::vector<std::string>{c.viewerText} : std::vector<std::string>{});
    // A tile not opened keeps the values it had.
    EXPECT_EQ(header.tileWestLon, c.viewerText ? 0.0 : 84.00055555556);
    EXPECT_EQ(header.rasterPath,
              dir.file(std::string(c.name).substr(0, 1) == "f" ? "folder.flt" : "t.flt"));
  }
}

TEST(OpenTile, RejectsWithEachProgramsOwnText) {
  TempDir dir;
  testing::writeFile(dir.file("bad.hdr"), "ncols 1201\nnrows 1201\nxllcorner -84\nyllcorner 33\n");
  testing::writeFile(dir.file("bad.flt"), "");
  ScriptedDesktop desktop;
  TileHeader header;
  desktop.chooseFile(dir.file("bad.hdr"));
  desktop.chooseFile(dir.file("bad.hdr"));
  EXPECT_EQ(openTile(desktop, Program::viewer, header), TileOpenResult::rejected);
  EXPECT_EQ(openTile(desktop, Program::extractor, header), TileOpenResult::rejected);
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(desktop.messages[0].text,
            "              Can't Read Header File !\n\n"
            "         Header must have 10812 col/rows\n"
            "            defined by NROWS or nrows\n"
            "                  and NCOLS or ncols.\n"
            "        Latitude and Longitude defined by\n"
            "ULXMAP or xllcorner and ULYMAP or yllcorner.");
  EXPECT_EQ(desktop.messages[1].text,
            "This program only works on 1/3 arc second\nGridfloat files with 10812 cols and rows.");
  EXPECT_EQ(desktop.messages[0].caption, "Message.");
  EXPECT_EQ(desktop.messages[1].caption, "Message.");
}

TEST(OpenTile, AcceptsAWholeTileInBothPrograms) {
  TempDir dir;
  testing::writeFile(dir.file("n37w085.hdr"),
                     testing::longGisHeader(-85.0005092592587, 37.0005092592587));
  testing::makeSparseRaster(dir.file("n37w085.flt"), 16);  // only its existence is proved here
  for (Program program : {Program::viewer, Program::extractor}) {
    ScriptedDesktop desktop;
    TileHeader header;
    desktop.chooseFile(dir.file("n37w085.hdr"));
    EXPECT_EQ(openTile(desktop, program, header), TileOpenResult::accepted);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(header.rasterPath, dir.file("n37w085.flt"));
    EXPECT_EQ(northEdgeLat(header), 37);
    EXPECT_EQ(westEdgeLon(header), 85);
  }
}

}  // namespace
}  // namespace ned
