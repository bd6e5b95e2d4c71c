// Opening a GeoTIFF tile in both programs: converted once, with progress, into the pair
// GDAL would give; reused while it is current and made again when it is not; put in the
// temporary folder where the file's own folder cannot take it; never left half written;
// refused with each program's texts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/tile/geotiff_tile.h"
#include "core/tile/tile_open.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::MessageCall;
using testing::ScriptedDesktop;
using testing::TempDir;

constexpr long long kRasterBytes = 467597376;
const char* const kDemoHeader =
    "ncols 10812\r\nnrows 10812\r\nxllcorner -85.00055555556\r\nyllcorner 35.99944444444\r\n"
    "cellsize 0.00009259259259\r\nNODATA_value -9999\r\nbyteorder LSBFIRST\r\n";

// A whole tile for 36-37 N, 84-85 W of which GDAL writes no tile at all: every cell reads
// as 0. Made in an instant, converted in well under a second.
std::string emptyTile(const TempDir& dir, const std::string& name,
                      const std::vector<std::string>& place = {
                          "-a_srs", "EPSG:4269", "-a_ullr", "-85.000555555556", "37.000555555556",
                          "-83.999444444444", "35.999444444444"}) {
  std::vector<std::string> command = {"gdal_create", "-q",  "-outsize",      "10812",
                                      "10812",       "-ot", "Float32",       "-co",
                                      "TILED=YES",   "-co", "SPARSE_OK=TRUE"};
  command.insert(command.end(), place.begin(), place.end());
  command.push_back(dir.file(name));
  EXPECT_TRUE(testing::runGdal(command));
  return dir.file(name);
}

long long sizeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

std::vector<std::string> filesIn(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct Opened {
  TileOpenResult result;
  TileHeader header;
  bool converted;  // the progress was shown
  std::vector<MessageCall> messages;
};

Opened open(Program program, const std::string& path, const std::string& temporary = "") {
  ScriptedDesktop desktop;
  desktop.temporary = temporary;
  desktop.chooseFile(path);
  Opened opened;
  opened.result = openTile(desktop, program, opened.header);
  opened.converted = !desktop.progressSteps.empty();
  opened.messages = desktop.messages;
  // The progress always ends before anything else is said.
  const auto begun =
      std::find_if(desktop.events.begin(), desktop.events.end(),
                   [](const std::string& e) { return e.rfind("progress:", 0) == 0; });
  if (begun != desktop.events.end()) {
    EXPECT_EQ(*begun, "progress:" + path.substr(path.find_last_of('/') + 1));
    EXPECT_EQ(*(begun + 1), "progress-end");
  }
  return opened;
}

TEST(OpenGeoTiff, ConvertsTheUsgsTileOnceIntoThePairGdalGives) {
  const std::string demo = testing::demoGeoTiff();
  ASSERT_FALSE(demo.empty());
  TempDir dir;
  const std::string tif = dir.file("USGS_13_n37w085.tif");
  ASSERT_EQ(symlink(demo.c_str(), tif.c_str()), 0);

  const Opened viewer = open(Program::viewer, tif);
  ASSERT_EQ(viewer.result, TileOpenResult::accepted);
  EXPECT_TRUE(viewer.converted);
  EXPECT_TRUE(viewer.messages.empty());
  EXPECT_EQ(viewer.header.headerPath, dir.file("USGS_13_n37w085.hdr"));
  EXPECT_EQ(viewer.header.rasterPath, dir.file("USGS_13_n37w085.flt"));
  EXPECT_EQ(testing::readFile(viewer.header.headerPath), kDemoHeader);
  ASSERT_TRUE(testing::gdalGridFloat(tif, dir.file("gdal.flt")));
  EXPECT_TRUE(testing::sameFileBytes(viewer.header.rasterPath, dir.file("gdal.flt")));

  // The extractor finds the pair current and takes it as it is.
  const Opened extractor = open(Program::extractor, tif);
  ASSERT_EQ(extractor.result, TileOpenResult::accepted);
  EXPECT_FALSE(extractor.converted);
  EXPECT_EQ(extractor.header.rasterPath, viewer.header.rasterPath);
  for (const Opened* opened : {&viewer, &extractor}) {
    EXPECT_DOUBLE_EQ(opened->header.tileWestLon, 85.00055555556);
    EXPECT_DOUBLE_EQ(opened->header.tileSouthLat, 35.99944444444);
    EXPECT_EQ(northEdgeLat(opened->header), 37);
    EXPECT_EQ(westEdgeLon(opened->header), 85);
  }
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"USGS_13_n37w085.flt", "USGS_13_n37w085.hdr",
                                                    "USGS_13_n37w085.tif", "gdal.flt"}));
}

TEST(OpenGeoTiff, MakesThePairAgainWhenItIsNoLongerCurrent) {
  TempDir dir;
  const std::string tif = emptyTile(dir, "tile.tif");
  const Opened first = open(Program::viewer, tif);
  ASSERT_EQ(first.result, TileOpenResult::accepted);
  ASSERT_TRUE(first.converted);
  const std::string header = testing::readFile(dir.file("tile.hdr"));

  struct Change {
    const char* name;
    void (*apply)(const TempDir& dir);
    bool converts;
  };
  const Change changes[] = {
      {"nothing", [](const TempDir&) {}, false},
      {"the raster a cell short",
       [](const TempDir& d) {
         ASSERT_EQ(truncate(d.file("tile.flt").c_str(), kRasterBytes - 4), 0);
       },
       true},
      {"the header with another corner",
       [](const TempDir& d) {
         std::string text = testing::readFile(d.file("tile.hdr"));
         text.replace(text.find("-85."), 4, "-86.");
         testing::writeFile(d.file("tile.hdr"), text);
       },
       true},
      {"the header gone", [](const TempDir& d) { std::remove(d.file("tile.hdr").c_str()); }, true},
      {"the GeoTIFF newer than the pair",
       [](const TempDir& d) {
         const time_t later = std::time(nullptr) + 100;
         const utimbuf times = {later, later};
         ASSERT_EQ(utime(d.file("tile.tif").c_str(), &times), 0);
       },
       true},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    change.apply(dir);
    const Opened opened = open(Program::extractor, tif);
    EXPECT_EQ(opened.result, TileOpenResult::accepted);
    EXPECT_EQ(opened.converted, change.converts);
    EXPECT_EQ(sizeOf(dir.file("tile.flt")), kRasterBytes);
    EXPECT_EQ(testing::readFile(dir.file("tile.hdr")), header);
  }
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"tile.flt", "tile.hdr", "tile.tif"}));
}

TEST(OpenGeoTiff, PutsThePairInTheTemporaryFolderWhereTheFilesFolderCannotTakeIt) {
  struct Obstacle {
    const char* name;
    void (*apply)(const TempDir& dir);
  };
  const Obstacle obstacles[] = {
      // What the conversion would write cannot be made there.
      {"the raster's name taken by a folder",
       [](const TempDir& d) { ASSERT_EQ(mkdir(d.file("tile.flt.part").c_str(), 0755), 0); }},
      // A pair of the user's under the same name stays as it is.
      {"a GridFloat pair of the user's",
       [](const TempDir& d) {
         testing::writeFile(d.file("tile.hdr"),
                            testing::shortHeader(-85.00055555556, 35.99944444444));
         testing::writeFile(d.file("tile.flt"), "the user's raster");
       }},
  };
  for (const Obstacle& obstacle : obstacles) {
    SCOPED_TRACE(obstacle.name);
    TempDir dir;
    TempDir temporary;
    const std::string tif = emptyTile(dir, "tile.tif");
    obstacle.apply(dir);
    const std::vector<std::string> before = filesIn(dir);
    const std::string userHeader = testing::readFile(dir.file("tile.hdr"));
    for (Program program : {Program::viewer, Program::extractor}) {
      const Opened opened = open(program, tif, temporary.path() + "/");
      EXPECT_EQ(opened.result, TileOpenResult::accepted);
      EXPECT_EQ(opened.converted, program == Program::viewer);  // the second open reuses it
      EXPECT_EQ(opened.header.rasterPath, temporary.file("tile.flt"));
      EXPECT_EQ(sizeOf(temporary.file("tile.flt")), kRasterBytes);
    }
    EXPECT_EQ(filesIn(dir), before);
    EXPECT_EQ(testing::readFile(dir.file("tile.hdr")), userHeader);

    // Without a temporary folder there is nowhere to put it.
    const Opened nowhere = open(Program::viewer, tif);
    EXPECT_EQ(nowhere.result, TileOpenResult::openFailed);
    ASSERT_EQ(nowhere.messages.size(), 1u);
    EXPECT_EQ(nowhere.messages[0].caption, "Message.");
    EXPECT_EQ(
        nowhere.messages[0].text.rfind("Can't convert GeoTIFF file to GridFloat.\nCan't write ", 0),
        0u);
  }
}

TEST(OpenGeoTiff, LeavesNoHalfPairWhenTheConversionFails) {
  TempDir dir;
  // A full disk: every write of the raster fails.
  const std::string tif = emptyTile(dir, "tile.tif");
  ASSERT_EQ(symlink("/dev/full", dir.file("tile.flt.part").c_str()), 0);
  const Opened full = open(Program::viewer, tif);
  EXPECT_EQ(full.result, TileOpenResult::openFailed);
  EXPECT_TRUE(full.converted);
  ASSERT_EQ(full.messages.size(), 1u);
  EXPECT_EQ(full.messages[0].text,
            "Can't convert GeoTIFF file to GridFloat.\nCan't write " + dir.file("tile.flt") + ".");
  EXPECT_EQ(full.messages[0].caption, "Message.");
  EXPECT_EQ(filesIn(dir), std::vector<std::string>{"tile.tif"});

  // A tile halfway through the file is damaged: the conversion stops there.
  const std::string damaged = dir.file("damaged.tif");
  ASSERT_TRUE(testing::runGdal({"gdal_create",
                                "-q",
                                "-outsize",
                                "10812",
                                "10812",
                                "-ot",
                                "Float32",
                                "-burn",
                                "250",
                                "-a_srs",
                                "EPSG:4269",
                                "-a_ullr",
                                "-85.000555555556",
                                "37.000555555556",
                                "-83.999444444444",
                                "35.999444444444",
                                "-co",
                                "TILED=YES",
                                "-co",
                                "COMPRESS=DEFLATE",
                                damaged}));
  TiffFileBytes bytes;
  TiffImage image;
  std::string problem;
  ASSERT_TRUE(bytes.open(damaged) && readTiffImage(bytes, image, problem)) << problem;
  std::string content = testing::readFile(damaged);
  const size_t middle = image.blockOffsets.size() / 2;
  for (uint64_t i = 2; i < image.blockByteCounts[middle]; ++i)
    content[image.blockOffsets[middle] + i] = '\xff';
  testing::writeFile(damaged, content);
  for (Program program : {Program::viewer, Program::extractor}) {
    const Opened opened = open(program, damaged);
    EXPECT_EQ(opened.result, TileOpenResult::openFailed);
    ASSERT_EQ(opened.messages.size(), 1u);
    EXPECT_EQ(
        opened.messages[0].text,
        "Can't read GeoTIFF file.\nThe file is damaged: the Deflate data of a tile is corrupt.");
    EXPECT_EQ(opened.messages[0].caption, "Message.");
  }
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"damaged.tif", "tile.tif"}));
}

TEST(OpenGeoTiff, RefusesWithEachProgramsTexts) {
  TempDir dir;
  const std::string jacksboro = testing::projectFile("data/jacksboro_3s.flt");
  ASSERT_TRUE(testing::runGdal({"gdal_translate", "-q", jacksboro, dir.file("small.tif")}));
  ASSERT_TRUE(
      testing::runGdal({"gdal_translate", "-q", "-of", "GTiff", jacksboro, dir.file("small.dat")}));
  ASSERT_TRUE(testing::runGdal({"gdal_translate", "-q", "-ot", "Byte", "-scale", "-co",
                                "COMPRESS=JPEG", jacksboro, dir.file("jpeg.tif")}));
  emptyTile(dir, "degree_cells.tif", {"-a_srs", "EPSG:4269", "-a_ullr", "-86", "38", "-83", "35"});
  emptyTile(dir, "metres.tif",
            {"-a_srs", "EPSG:32616", "-a_ullr", "500000", "4000000", "500001.0011111111",
             "3999998.9988888889"});
  const std::string viewerRejects = "              Can't Read Header File !\n";
  const std::string extractorRejects =
      "This program only works on 1/3 arc second\nGridfloat files with 10812 cols and rows.";
  struct Refusal {
    const char* file;
    TileOpenResult result;
    std::string viewerText;  // the start of it
    std::string extractorText;
    const char* caption;
  };
  const Refusal refusals[] = {
      {"small.tif", TileOpenResult::rejected, viewerRejects, extractorRejects, "Message."},
      {"small.dat", TileOpenResult::rejected, viewerRejects, extractorRejects, "Message."},
      {"degree_cells.tif", TileOpenResult::rejected, viewerRejects, extractorRejects, "Message."},
      {"metres.tif", TileOpenResult::rejected, viewerRejects, extractorRejects, "Message."},
      {"jpeg.tif", TileOpenResult::openFailed,
       "Can't read GeoTIFF file.\nJPEG compression is not supported.",
       "Can't read GeoTIFF file.\nJPEG compression is not supported.", "Message."},
      {"missing.tif", TileOpenResult::openFailed, "Can't open file.", "Can't open header file.",
       "Message"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.file);
    for (Program program : {Program::viewer, Program::extractor}) {
      const Opened opened = open(program, dir.file(refusal.file));
      EXPECT_EQ(opened.result, refusal.result);
      EXPECT_FALSE(opened.converted);
      ASSERT_EQ(opened.messages.size(), 1u);
      const std::string& text =
          program == Program::viewer ? refusal.viewerText : refusal.extractorText;
      EXPECT_EQ(opened.messages[0].text.substr(0, text.size()), text);
      EXPECT_EQ(opened.messages[0].caption, refusal.caption);
      EXPECT_EQ(opened.messages[0].style, kPlainMessage);
      // The paths name the pair the file would have had.
      const std::string base = dir.file(refusal.file).substr(0, dir.file(refusal.file).rfind('.'));
      EXPECT_EQ(opened.header.headerPath, base + ".hdr");
      EXPECT_EQ(opened.header.rasterPath, base + ".flt");
    }
  }
}

}  // namespace
}  // namespace ned
