// Opening a GeoTIFF tile in both programs: converted once, with progress, into the pair
// GDAL would give; reused only while it was made from this very file; put in the
// temporary folder where the file's own folder cannot take it; made by several programs
// at once without harm; never left half written; refused with each program's texts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <set>

#include "core/tile/geotiff_tile.h"
#include "core/tile/tile_open.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_file_system.h"
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

Opened open(Program program, const std::string& path, const std::string& temporary = "",
            FileSystem& files = posixFileSystem()) {
  testing::ScriptedDesktop desktop;
  desktop.temporary = temporary;
  desktop.disk = &files;
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

// The cell at row 5000, column 5000 of a raster.
float cellOf(const std::string& raster) {
  float value = -1.0f;
  const std::unique_ptr<OpenFile> file = posixFileSystem().open(raster, OpenMode::read);
  if (file != nullptr) file->read(uint64_t(5000) * 10812 * 4 + 5000 * 4, &value, 4);
  return value;
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
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
  EXPECT_EQ(filesIn(dir.path()),
            (Names{"USGS_13_n37w085.flt", "USGS_13_n37w085.hdr", "USGS_13_n37w085.source",
                   "USGS_13_n37w085.tif", "gdal.flt"}));
}

TEST(OpenGeoTiff, ReusesAPairOnlyWhileItWasMadeFromThisVeryFile) {
  TempDir dir;
  const std::string tif = makeTile(dir, "tile.tif");
  // Another tile of the same name, every cell 250 m: copied over the first with a time
  // older than the pair's, as copy tools keep a file's time.
  const std::string other = makeTile(dir, "other.tif", kDegree + " -burn 250 -co COMPRESS=DEFLATE");
  ASSERT_TRUE(open(Program::viewer, tif).converted);
  const std::string header = testing::readFile(dir.file("tile.hdr"));
  struct Change {
    const char* name;
    void (*apply)(const TempDir& dir);
    bool converts;
    float cell;  // the cell at 5000, 5000 afterwards
  };
  const Change changes[] = {
      {"nothing", [](const TempDir&) {}, false, 0.0f},
      {"the raster a cell short",
       [](const TempDir& d) {
         EXPECT_EQ(truncate(d.file("tile.flt").c_str(), kRasterBytes - 4), 0);
       },
       true, 0.0f},
      {"the header with another corner",
       [](const TempDir& d) {
         std::string text = testing::readFile(d.file("tile.hdr"));
         testing::writeFile(d.file("tile.hdr"), text.replace(text.find("-85."), 4, "-86."));
       },
       true, 0.0f},
      {"the header gone", [](const TempDir& d) { std::remove(d.file("tile.hdr").c_str()); }, true,
       0.0f},
      {"the record of the source gone",
       [](const TempDir& d) { std::remove(d.file("tile.source").c_str()); }, true, 0.0f},
      {"the GeoTIFF touched",
       [](const TempDir& d) {
         const utimbuf later = {std::time(nullptr) + 100, std::time(nullptr) + 100};
         EXPECT_EQ(utime(d.file("tile.tif").c_str(), &later), 0);
       },
       true, 0.0f},
      {"the GeoTIFF replaced by another with an older time",
       [](const TempDir& d) {
         EXPECT_EQ(std::rename(d.file("other.tif").c_str(), d.file("tile.tif").c_str()), 0);
         const utimbuf earlier = {std::time(nullptr) - 100000, std::time(nullptr) - 100000};
         EXPECT_EQ(utime(d.file("tile.tif").c_str(), &earlier), 0);
       },
       true, 250.0f},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    change.apply(dir);
    const Opened opened = open(Program::extractor, tif);
    EXPECT_EQ(opened.result, TileOpenResult::accepted);
    EXPECT_EQ(opened.converted, change.converts);
    EXPECT_EQ(sizeOf(dir.file("tile.flt")), kRasterBytes);
    EXPECT_EQ(testing::readFile(dir.file("tile.hdr")), header);
    EXPECT_EQ(cellOf(dir.file("tile.flt")), change.cell);
  }
  EXPECT_EQ(filesIn(dir.path()), (Names{"tile.flt", "tile.hdr", "tile.source", "tile.tif"}));
  (void)other;
}

TEST(OpenGeoTiff, PutsThePairInTheTemporaryFolderWhereTheFilesFolderCannotTakeIt) {
  // Each obstacle is set up on a folder holding a converted pair made from an older file.
  struct Obstacle {
    const char* name;
    void (*apply)(const TempDir& dir, testing::ScriptedFileSystem& files);
  };
  const Obstacle obstacles[] = {
      {"the folder cannot be written",
       [](const TempDir& d, testing::ScriptedFileSystem& files) {
         files.fails = [folder = d.path()](const testing::FileCall& call) {
           return call.what == "create" && call.path.rfind(folder, 0) == 0;
         };
       }},
      {"a stale pair that cannot be replaced",
       [](const TempDir& d, testing::ScriptedFileSystem& files) {
         files.fails = [folder = d.path()](const testing::FileCall& call) {
           return call.what == "replace" && call.path.rfind(folder, 0) == 0;
         };
       }},
      {"a full disk there",
       [](const TempDir& d, testing::ScriptedFileSystem& files) {
         files.fails = [folder = d.path()](const testing::FileCall& call) {
           return call.what == "write" && call.path.rfind(folder, 0) == 0;
         };
       }},
      {"a GridFloat pair of the user's, left as it is",
       [](const TempDir& d, testing::ScriptedFileSystem&) {
         testing::writeFile(d.file("tile.hdr"),
                            testing::shortHeader(-85.00055555556, 35.99944444444));
         testing::writeFile(d.file("tile.flt"), "the user's raster");
       }},
  };
  for (const Obstacle& obstacle : obstacles) {
    SCOPED_TRACE(obstacle.name);
    TempDir dir;
    TempDir temporary;
    const std::string tif = makeTile(dir, "tile.tif");
    ASSERT_TRUE(open(Program::viewer, tif).converted);
    const utimbuf later = {std::time(nullptr) + 100, std::time(nullptr) + 100};
    ASSERT_EQ(utime(tif.c_str(), &later), 0);
    testing::ScriptedFileSystem files(posixFileSystem());
    obstacle.apply(dir, files);
    const Names before = filesIn(dir.path());
    const std::string beside = testing::readFile(dir.file("tile.hdr"));
    std::string rasterPath;
    for (Program program : {Program::viewer, Program::extractor}) {
      const Opened opened = open(program, tif, temporary.path() + "/", files);
      EXPECT_EQ(opened.result, TileOpenResult::accepted);
      EXPECT_TRUE(opened.messages.empty());
      EXPECT_EQ(opened.converted, program == Program::viewer);  // the second open reuses it
      EXPECT_EQ(opened.header.rasterPath.rfind(temporary.path() + "/tile-", 0), 0u);
      if (!rasterPath.empty()) {
        EXPECT_EQ(opened.header.rasterPath, rasterPath);
      }
      rasterPath = opened.header.rasterPath;
    }
    EXPECT_EQ(sizeOf(rasterPath), kRasterBytes);
    EXPECT_EQ(filesIn(dir.path()), before);
    EXPECT_EQ(testing::readFile(dir.file("tile.hdr")), beside);
    EXPECT_EQ(filesIn(temporary.path()).size(), 3u);
  }
}

TEST(OpenGeoTiff, GivesTwoFilesOfOneNameTheirOwnPairsInTheTemporaryFolder) {
  TempDir first, second, temporary;
  const std::string tifs[] = {makeTile(first, "tile.tif"),
                              makeTile(second, "tile.tif", kDegree + " -burn 7 -co COMPRESS=LZW")};
  testing::ScriptedFileSystem files(posixFileSystem());
  files.fails = [&](const testing::FileCall& call) {
    return call.what == "create" && call.path.rfind(temporary.path(), 0) != 0;
  };
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 2; ++i) {
      const Opened opened = open(Program::extractor, tifs[i], temporary.path(), files);
      ASSERT_EQ(opened.result, TileOpenResult::accepted);
      EXPECT_EQ(opened.converted, round == 0);
      EXPECT_EQ(cellOf(opened.header.rasterPath), i == 0 ? 0.0f : 7.0f);
    }
  }
  EXPECT_EQ(filesIn(temporary.path()).size(), 6u);
}

TEST(OpenGeoTiff, ProgramsOpeningOneNewTileTogetherAllEndWithOnePair) {
  TempDir dir, reference;
  const std::string tif = makeTile(dir, "tile.tif", kDegree + " -burn 3 -co COMPRESS=LZW");
  const std::string gdal = reference.file("gdal.flt");
  ASSERT_TRUE(testing::gdalGridFloat(tif, gdal));
  // Another program starts its open just before this one makes a call of a kind, and
  // runs to its end there; a third starts inside the second the same way, and so on.
  struct Together {
    const char* call;
    unsigned programs;
  };
  const Together cases[] = {
      {"create", 2}, {"write", 2}, {"replace", 2}, {"replace", 3}, {"write", 4}};
  for (const Together& together : cases) {
    SCOPED_TRACE(std::string(together.call) + " " + std::to_string(together.programs));
    for (const char* name : {"tile.flt", "tile.hdr", "tile.source"})
      std::remove(dir.file(name).c_str());
    testing::ScriptedFileSystem files(posixFileSystem());
    std::vector<Opened> others;
    std::set<uint32_t> started;
    files.before = [&](const testing::FileCall& call) {
      if (call.what != together.call || started.count(files.process) > 0 ||
          1 + others.size() >= together.programs)
        return;
      started.insert(files.process);
      const uint32_t self = files.process;
      files.process = self + 1;
      files.running.insert(files.process);
      others.push_back(Opened{});
      const size_t slot = others.size() - 1;
      const Program program = slot % 2 == 0 ? Program::extractor : Program::viewer;
      Opened opened = open(program, tif, "", files);
      others[slot] = opened;
      files.running.erase(files.process);
      files.process = self;
    };
    others.insert(others.begin(), open(Program::viewer, tif, "", files));
    ASSERT_EQ(others.size(), together.programs);
    for (const Opened& opened : others) {
      EXPECT_EQ(opened.result, TileOpenResult::accepted);
      EXPECT_TRUE(opened.messages.empty());
      EXPECT_EQ(opened.header.rasterPath, dir.file("tile.flt"));
    }
    EXPECT_TRUE(testing::sameFileBytes(dir.file("tile.flt"), gdal));
    EXPECT_EQ(filesIn(dir.path()), (Names{"tile.flt", "tile.hdr", "tile.source", "tile.tif"}));
  }
}

TEST(OpenGeoTiff, RemovesWhatConversionsNoLongerRunningLeftBehind) {
  TempDir dir;
  const std::string tif = makeTile(dir, "tile.tif");
  const Names left = {"other.flt.4242.part", "tile.flt.2000.part", "tile.flt.4242.part",
                      "tile.flt.part",       "tile.flt.x.part",    "tile.source.4242.part"};
  testing::ScriptedFileSystem files(posixFileSystem());
  files.running = {files.process, 2000};  // 4242 ended long ago
  // The first open converts; the second finds the pair in place (as when another program
  // finished it while 4242 was killed) and clears the leftovers all the same.
  for (const bool converts : {true, false}) {
    SCOPED_TRACE(converts ? "converted" : "reused");
    for (const std::string& name : left) testing::writeFile(dir.file(name), "part");
    const Opened opened = open(Program::viewer, tif, "", files);
    EXPECT_EQ(opened.result, TileOpenResult::accepted);
    EXPECT_EQ(opened.converted, converts);
    EXPECT_EQ(filesIn(dir.path()),
              (Names{"other.flt.4242.part", "tile.flt", "tile.flt.2000.part", "tile.flt.x.part",
                     "tile.hdr", "tile.source", "tile.tif"}));
  }
}

TEST(OpenGeoTiff, LeavesNoHalfPairWhenTheConversionFails) {
  TempDir dir, temporary;
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

  // A full disk everywhere: every write fails; the header and the record fail on their own.
  const std::string space = "The tile needs 467,597,376 bytes of free space for its raster.";
  struct Failure {
    std::string path;
    const char* failing;  // the call that fails, on every path
    std::string start, end;
  };
  const Failure failures[] = {
      {tif, "write",
       kCannotWrite + dir.file("tile.flt") + ".\nCan't write " + temporary.path() + "/tile-",
       ".flt.\n" + space},
      {tif, "flush",
       kCannotWrite + dir.file("tile.flt") + ".\nCan't write " + temporary.path() + "/tile-",
       ".flt.\n" + space},
      {tif, "replace",
       kCannotWrite + dir.file("tile.flt") + ".\nCan't write " + temporary.path() + "/tile-",
       ".flt.\n" + space},
      {damaged, "none",
       "Can't read GeoTIFF file.\nThe file is damaged: the Deflate data of a tile is corrupt.", ""},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.failing);
    testing::ScriptedFileSystem files(posixFileSystem());
    files.fails = [&](const testing::FileCall& call) { return call.what == failure.failing; };
    for (Program program : {Program::viewer, Program::extractor}) {
      const Opened opened = open(program, failure.path, temporary.path(), files);
      EXPECT_EQ(opened.result, TileOpenResult::openFailed);
      EXPECT_TRUE(opened.converted);
      ASSERT_EQ(opened.messages.size(), 1u);
      EXPECT_EQ(opened.messages[0].text.rfind(failure.start, 0), 0u) << opened.messages[0].text;
      EXPECT_TRUE(endsWith(opened.messages[0].text, failure.end)) << opened.messages[0].text;
      EXPECT_EQ(opened.messages[0].caption, "Message.");
    }
    EXPECT_EQ(filesIn(dir.path()), (Names{"damaged.tif", "tile.tif"}));
    EXPECT_EQ(filesIn(temporary.path()), Names{});
  }
}

TEST(OpenGeoTiff, ChoosesWhereThePairGoes) {
  using P = PairPlace;
  struct Case {
    PairSituation situation;
    PairChoice choice;
  };
  PairSituation s;
  auto with = [](PairSituation base, bool PairSituation::*flag) {
    base.*flag = true;
    return base;
  };
  PairSituation temp = with(s, &PairSituation::hasTemporaryFolder);
  const Case cases[] = {
      {s, {P::besideTheTif, true}},
      {with(s, &PairSituation::besideCurrent), {P::besideTheTif, false}},
      {with(with(temp, &PairSituation::besideCurrent), &PairSituation::temporaryCurrent),
       {P::besideTheTif, false}},
      {with(temp, &PairSituation::temporaryCurrent), {P::temporaryFolder, false}},
      {with(s, &PairSituation::temporaryCurrent), {P::besideTheTif, true}},  // no folder now
      {with(temp, &PairSituation::usersOwnPairThere), {P::temporaryFolder, true}},
      {with(temp, &PairSituation::besideFailed), {P::temporaryFolder, true}},
      {with(with(temp, &PairSituation::besideFailed), &PairSituation::temporaryFailed), {}},
      {with(s, &PairSituation::usersOwnPairThere), {}},
      {with(s, &PairSituation::besideFailed), {}},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_TRUE(choosePairPlace(cases[i].situation) == cases[i].choice) << i;
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
  // The right number of cells on another grid: what is wrong, in the file's own terms.
  const std::string cells =
      "Can't read GeoTIFF file.\nIts cells are 0.000277469478 x 0.000277469478 degrees: "
      "a 1/3 arc second tile has cells of 0.000092592593 degrees (1/10800).";
  const std::string metres =
      "Can't read GeoTIFF file.\nIts coordinates are not latitude and longitude: a tile has "
      "geographic coordinates, in degrees.";
  struct Refusal {
    const char* file;
    TileOpenResult result;
    std::string texts;  // the viewer's text (its start), "|", the extractor's
    const char* caption;
  };
  const Refusal refusals[] = {
      {"small.tif", TileOpenResult::rejected, rejected, "Message."},
      {"small.dat", TileOpenResult::rejected, rejected, "Message."},  // a TIFF by its bytes
      {"degree_cells.tif", TileOpenResult::rejected, cells + "|" + cells, "Message."},
      {"metres.tif", TileOpenResult::rejected, metres + "|" + metres, "Message."},
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
