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

#include "core/tile/geotiff_tile.h"
#include "core/tile/tile_open.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::TempDir;
using testing::words;
using Names = std::vector<std::string>;

constexpr long long kRasterBytes = 467597376;
const std::string kDegree =
    "-a_srs EPSG:4269 -a_ullr -85.000555555556 37.000555555556 "
    "-83.999444444444 35.999444444444";
const std::string kCannotWrite = "Can't convert GeoTIFF file to GridFloat.\nCan't write ";

// A whole tile of which GDAL writes no block at all (every cell reads as 0), unless told
// to write them: made in an instant, converted in well under a second.
std::string makeTile(const TempDir& dir, const std::string& name,
                     const std::string& options = kDegree + " -co SPARSE_OK=TRUE") {
  Names command = words("gdal_create -q -outsize 10812 10812 -ot Float32 -co TILED=YES " + options);
  command.push_back(dir.file(name));
  EXPECT_TRUE(testing::runGdal(command));
  return dir.file(name);
}

long long sizeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

Names filesIn(const std::string& folder) {
  Names names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct Opened {
  TileOpenResult result;
  TileHeader header;
  bool converted;  // the progress was shown
  std::vector<testing::MessageCall> messages;
};

Opened open(Program program, const std::string& path, const std::string& temporary = "") {
  testing::ScriptedDesktop desktop;
  desktop.temporary = temporary;
  desktop.chooseFile(path);
  Opened opened;
  opened.result = openTile(desktop, program, opened.header);
  opened.converted = !desktop.progressSteps.empty();
  opened.messages = desktop.messages;
  if (opened.converted) {
    // The file's name is shown, and the progress ends before anything is said.
    EXPECT_EQ(desktop.events[1], "progress:" + path.substr(path.find_last_of('/') + 1));
    EXPECT_EQ(desktop.events[2], "progress-end");
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
  EXPECT_EQ(viewer.header.rasterPath, dir.file("USGS_13_n37w085.flt"));
  EXPECT_EQ(
      testing::readFile(dir.file("USGS_13_n37w085.hdr")),
      "ncols 10812\r\nnrows 10812\r\nxllcorner -85.00055555556\r\nyllcorner 35.99944444444\r\n"
      "cellsize 0.00009259259259\r\nNODATA_value -9999\r\nbyteorder LSBFIRST\r\n");
  ASSERT_TRUE(testing::gdalGridFloat(tif, dir.file("gdal.flt")));
  EXPECT_TRUE(testing::sameFileBytes(viewer.header.rasterPath, dir.file("gdal.flt")));

  // The extractor finds the pair current and takes it as it is.
  const Opened extractor = open(Program::extractor, tif);
  ASSERT_EQ(extractor.result, TileOpenResult::accepted);
  EXPECT_FALSE(extractor.converted);
  for (const Opened* opened : {&viewer, &extractor}) {
    EXPECT_EQ(opened->header.headerPath, dir.file("USGS_13_n37w085.hdr"));
    EXPECT_DOUBLE_EQ(opened->header.tileWestLon, 85.00055555556);
    EXPECT_DOUBLE_EQ(opened->header.tileSouthLat, 35.99944444444);
  }
  EXPECT_EQ(filesIn(dir.path()), (Names{"USGS_13_n37w085.flt", "USGS_13_n37w085.hdr",
                                        "USGS_13_n37w085.tif", "gdal.flt"}));
}

TEST(OpenGeoTiff, MakesThePairAgainWhenItIsNoLongerCurrent) {
  TempDir dir;
  const std::string tif = makeTile(dir, "tile.tif");
  ASSERT_TRUE(open(Program::viewer, tif).converted);
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
         EXPECT_EQ(truncate(d.file("tile.flt").c_str(), kRasterBytes - 4), 0);
       },
       true},
      {"the header with another corner",
       [](const TempDir& d) {
         std::string text = testing::readFile(d.file("tile.hdr"));
         testing::writeFile(d.file("tile.hdr"), text.replace(text.find("-85."), 4, "-86."));
       },
       true},
      {"the header gone", [](const TempDir& d) { std::remove(d.file("tile.hdr").c_str()); }, true},
      {"the GeoTIFF newer than the pair",
       [](const TempDir& d) {
         const utimbuf later = {std::time(nullptr) + 100, std::time(nullptr) + 100};
         EXPECT_EQ(utime(d.file("tile.tif").c_str(), &later), 0);
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
  EXPECT_EQ(filesIn(dir.path()), (Names{"tile.flt", "tile.hdr", "tile.tif"}));
}

TEST(OpenGeoTiff, PutsThePairInTheTemporaryFolderWhereTheFilesFolderCannotTakeIt) {
  const std::pair<const char*, void (*)(const TempDir&)> obstacles[] = {
      {"the raster's name taken by a folder",
       [](const TempDir& d) { EXPECT_EQ(mkdir(d.file("tile.flt.part").c_str(), 0755), 0); }},
      {"a GridFloat pair of the user's, left as it is",
       [](const TempDir& d) {
         testing::writeFile(d.file("tile.hdr"),
                            testing::shortHeader(-85.00055555556, 35.99944444444));
         testing::writeFile(d.file("tile.flt"), "the user's raster");
       }},
  };
  for (const auto& [name, apply] : obstacles) {
    SCOPED_TRACE(name);
    TempDir dir;
    TempDir temporary;
    const std::string tif = makeTile(dir, "tile.tif");
    apply(dir);
    const Names before = filesIn(dir.path());
    const std::string userHeader = testing::readFile(dir.file("tile.hdr"));
    for (Program program : {Program::viewer, Program::extractor}) {
      const Opened opened = open(program, tif, temporary.path() + "/");
      EXPECT_EQ(opened.result, TileOpenResult::accepted);
      EXPECT_EQ(opened.converted, program == Program::viewer);  // the second open reuses it
      EXPECT_EQ(opened.header.rasterPath, temporary.file("tile.flt"));
    }
    EXPECT_EQ(sizeOf(temporary.file("tile.flt")), kRasterBytes);
    EXPECT_EQ(filesIn(dir.path()), before);
    EXPECT_EQ(testing::readFile(dir.file("tile.hdr")), userHeader);

    // Without a temporary folder there is nowhere to put it.
    const Opened nowhere = open(Program::viewer, tif);
    EXPECT_EQ(nowhere.result, TileOpenResult::openFailed);
    ASSERT_EQ(nowhere.messages.size(), 1u);
    EXPECT_EQ(nowhere.messages[0].text.rfind(kCannotWrite, 0), 0u);
  }
}

TEST(OpenGeoTiff, LeavesNoHalfPairWhenTheConversionFails) {
  TempDir dir;
  const std::string tif = makeTile(dir, "tile.tif");
  // A tile halfway through the file damaged: the conversion stops there.
  const std::string damaged =
      makeTile(dir, "damaged.tif", kDegree + " -burn 250 -co COMPRESS=DEFLATE");
  std::string bytes = testing::readFile(damaged);
  TiffMemoryBytes memory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  TiffImage image;
  std::string problem;
  ASSERT_TRUE(readTiffImage(memory, image, problem)) << problem;
  const size_t middle = image.blockOffsets.size() / 2;
  std::fill_n(bytes.begin() + static_cast<long>(image.blockOffsets[middle]) + 2, 100, '\xff');
  testing::writeFile(damaged, bytes);

  const std::pair<std::string, std::string> failures[] = {
      {tif, kCannotWrite + dir.file("tile.flt") + "."},
      {damaged,
       "Can't read GeoTIFF file.\nThe file is damaged: the Deflate data of a tile is corrupt."},
  };
  for (const auto& [path, text] : failures) {
    for (Program program : {Program::viewer, Program::extractor}) {
      // A full disk: every write of the raster fails.
      if (path == tif) {
        ASSERT_EQ(symlink("/dev/full", dir.file("tile.flt.part").c_str()), 0);
      }
      const Opened opened = open(program, path);
      EXPECT_EQ(opened.result, TileOpenResult::openFailed);
      EXPECT_TRUE(opened.converted);
      ASSERT_EQ(opened.messages.size(), 1u);
      EXPECT_EQ(opened.messages[0].text, text);
      EXPECT_EQ(opened.messages[0].caption, "Message.");
    }
  }
  EXPECT_EQ(filesIn(dir.path()), (Names{"damaged.tif", "tile.tif"}));
}

TEST(OpenGeoTiff, RefusesWithEachProgramsTexts) {
  TempDir dir;
  const std::string source = testing::projectFile("data/jacksboro_3s.flt");
  for (const std::string made : {"small.tif", "small.dat", "jpeg.tif"}) {
    Names command = words(made == "jpeg.tif" ? "gdal_translate -q -ot Byte -scale -co COMPRESS=JPEG"
                                             : "gdal_translate -q -of GTiff");
    command.push_back(source);
    command.push_back(dir.file(made));
    ASSERT_TRUE(testing::runGdal(command));
  }
  makeTile(dir, "degree_cells.tif", "-a_srs EPSG:4269 -a_ullr -86 38 -83 35 -co SPARSE_OK=TRUE");
  makeTile(dir, "metres.tif",
           "-a_srs EPSG:32616 -a_ullr 500000 4000000 500001.0011111111 3999998.9988888889 "
           "-co SPARSE_OK=TRUE");
  const std::string rejected =
      "              Can't Read Header File !\n|This program only works on "
      "1/3 arc second\nGridfloat files with 10812 cols and rows.";
  const std::string jpeg = "Can't read GeoTIFF file.\nJPEG compression is not supported.";
  struct Refusal {
    const char* file;
    TileOpenResult result;
    std::string texts;  // the viewer's text (its start), "|", the extractor's
    const char* caption;
  };
  const Refusal refusals[] = {
      {"small.tif", TileOpenResult::rejected, rejected, "Message."},
      {"small.dat", TileOpenResult::rejected, rejected, "Message."},  // a TIFF by its bytes
      {"degree_cells.tif", TileOpenResult::rejected, rejected, "Message."},
      {"metres.tif", TileOpenResult::rejected, rejected, "Message."},
      {"jpeg.tif", TileOpenResult::openFailed, jpeg + "|" + jpeg, "Message."},
      {"missing.tif", TileOpenResult::openFailed, "Can't open file.|Can't open header file.",
       "Message"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.file);
    const size_t bar = refusal.texts.find('|');
    for (Program program : {Program::viewer, Program::extractor}) {
      const Opened opened = open(program, dir.file(refusal.file));
      EXPECT_EQ(opened.result, refusal.result);
      EXPECT_FALSE(opened.converted);
      ASSERT_EQ(opened.messages.size(), 1u);
      const std::string text =
          program == Program::viewer ? refusal.texts.substr(0, bar) : refusal.texts.substr(bar + 1);
      EXPECT_EQ(opened.messages[0].text.substr(0, text.size()), text);
      EXPECT_EQ(opened.messages[0].caption, refusal.caption);
      EXPECT_EQ(opened.messages[0].style, kPlainMessage);
      // The paths name the pair the file would have had.
      const std::string path = dir.file(refusal.file);
      EXPECT_EQ(opened.header.rasterPath, path.substr(0, path.rfind('.')) + ".flt");
    }
  }
}

}  // namespace
}  // namespace ned
