// Finding the tiles a block needs beside the opened one: pairs by their headers whatever
// their names, GeoTIFFs by their georeferencing, and the files that claim a place but are
// not its tile; the texts that name them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/posix_file_system.h"
#include "core/tile/neighbours.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::TempDir;

// A pair of the tile whose north-west corner is (north, west), in the short or long form.
void makePair(const TempDir& dir, const std::string& base, int north, int west, bool longForm,
              int64_t rasterBytes = INT64_C(467597376)) {
  testing::writeFile(dir.file(base + ".hdr"),
                     longForm
                         ? testing::longGisHeader(-west - 0.000509259259, north + 0.000509259259)
                         : testing::shortHeader(-west - 0.00055555556, north - 1.00055555556));
  if (rasterBytes >= 0) testing::makeSparseRaster(dir.file(base + ".flt"), rasterBytes);
}

// A GeoTIFF tile of which GDAL writes no block: made in an instant.
void makeGeoTiff(const TempDir& dir, const std::string& name, int north, int west) {
  const double o = 6.0 / 10800;
  std::vector<std::string> command = testing::words(
      "gdal_create -q -outsize 10812 10812 -ot Float32 -co TILED=YES -co SPARSE_OK=TRUE "
      "-a_srs EPSG:4269 -a_ullr");
  for (double v : {-west - o, north + o, -west + 1 + o, north - 1 - o}) {
    char text[32];
    std::snprintf(text, sizeof text, "%.12f", v);
    command.push_back(text);
  }
  command.push_back(dir.file(name));
  ASSERT_TRUE(testing::runGdal(command));
}

TileHeader opened(const TempDir& dir) {
  TileHeader header;
  header.headerPath = dir.file("opened.hdr");
  header.rasterPath = dir.file("opened.flt");
  header.tileWestLon = 85.00055555556;
  header.tileSouthLat = 35.99944444444;
  return header;
}

TEST(TileNames, LabelsDownloadNamesAndTheTileANameClaims) {
  EXPECT_EQ(tileLabel(37, 84), "N37 W84");
  EXPECT_EQ(tileLabel(36, 105), "N36 W105");
  EXPECT_EQ(tileDownloadName(37, 84), "USGS_13_n37w084.tif");
  EXPECT_EQ(tileDownloadName(8, 105), "USGS_13_n08w105.tif");
  struct Case {
    const char* name;
    bool claims;
    int north, west;
  };
  const Case cases[] = {{"USGS_13_n36w084_20230608.tif", true, 36, 84},
                        {"floatN37W084_13.hdr", true, 37, 84},
                        {"n37w84.hdr", false, 0, 0},
                        {"tile.hdr", false, 0, 0}};
  for (const Case& c : cases) {
    int north = 0, west = 0;
    EXPECT_EQ(tilePlaceInName(c.name, north, west), c.claims) << c.name;
    if (c.claims) {
      EXPECT_EQ(north, c.north);
      EXPECT_EQ(west, c.west);
    }
  }
}

TEST(FindNeighbours, TakesPairsByTheirHeadersAndGeoTiffsByTheirPlaceWhateverTheirNames) {
  TempDir dir;
  makePair(dir, "opened", 37, 85, false);
  makePair(dir, "my east tile", 37, 84, true);      // long form, odd name
  makeGeoTiff(dir, "south.TIF", 36, 85);            // a GeoTIFF of its own name
  makePair(dir, "USGS_13_n36w084", 36, 84, false);  // a converted pair beside its GeoTIFF
  makeGeoTiff(dir, "USGS_13_n36w084.tif", 36, 84);
  makePair(dir, "far away", 40, 100, false);  // passed over quietly, as are these
  testing::writeFile(dir.file("notes.txt"), "n37w084");
  testing::writeFile(dir.file("broken.tif"), "II*\0junk");

  for (Program program : {Program::viewer, Program::extractor}) {
    SCOPED_TRACE(program == Program::viewer ? "viewer" : "extractor");
    // The corner of four tiles: all three found, the pair before the GeoTIFF of its place.
    NeighbourSearch search =
        findNeighbours(posixFileSystem(), program, opened(dir), dir.path(), 10700, 10700, 200, 200);
    ASSERT_EQ(search.tilesAcross, 2);
    ASSERT_EQ(search.tilesDown, 2);
    ASSERT_EQ(search.tiles.size(), 3u);
    EXPECT_TRUE(search.complete());
    struct Expected {
      int across, down, north, west;
      std::string path;
      bool geoTiff;
    };
    const Expected expected[] = {{1, 0, 37, 84, dir.file("my east tile.hdr"), false},
                                 {0, 1, 36, 85, dir.file("south.TIF"), true},
                                 {1, 1, 36, 84, dir.file("USGS_13_n36w084.hdr"), false}};
    for (size_t k = 0; k < 3; ++k) {
      const NeighbourTile& tile = search.tiles[k];
      EXPECT_EQ(tile.status, NeighbourStatus::found) << k;
      EXPECT_EQ(tile.across, expected[k].across);
      EXPECT_EQ(tile.down, expected[k].down);
      EXPECT_EQ(tile.northLat, expected[k].north);
      EXPECT_EQ(tile.westLon, expected[k].west);
      EXPECT_EQ(tile.path, expected[k].path);
      EXPECT_EQ(tile.geoTiff, expected[k].geoTiff);
      EXPECT_EQ(tile.rasterPath,
                expected[k].geoTiff
                    ? ""
                    : expected[k].path.substr(0, expected[k].path.size() - 3) + "flt");
    }
    EXPECT_EQ(neighbourQuestionText(search),
              "The block runs past this tile into N37 W84, N36 W85 and N36 W84.\n"
              "Read the rest from the tiles found beside it?");

    // Only as far as the block goes: across the south line alone, or inside the tile.
    search =
        findNeighbours(posixFileSystem(), program, opened(dir), dir.path(), 10800, 6, 7, 10800);
    ASSERT_EQ(search.tiles.size(), 1u);
    EXPECT_EQ(search.tiles[0].path, dir.file("south.TIF"));
    EXPECT_TRUE(
        findNeighbours(posixFileSystem(), program, opened(dir), dir.path(), 6, 6, 10800, 10800)
            .tiles.empty());
  }

  // The mosaic: the GeoTIFF converted as an opened one is, the pairs' rasters as they are.
  testing::ScriptedDesktop desktop;
  NeighbourSearch search = findNeighbours(posixFileSystem(), Program::extractor, opened(dir),
                                          dir.path(), 10700, 10700, 200, 200);
  TileMosaic mosaic;
  ASSERT_TRUE(mosaicOfSearch(desktop, opened(dir), search, mosaic));
  EXPECT_EQ(mosaic.tilesAcross, 2);
  EXPECT_EQ(mosaic.tilesDown, 2);
  EXPECT_EQ(mosaic.rasterPaths,
            (std::vector<std::string>{dir.file("opened.flt"), dir.file("my east tile.flt"),
                                      dir.file("south.flt"), dir.file("USGS_13_n36w084.flt")}));
  EXPECT_EQ(testing::readFile(dir.file("south.flt")).size(), 467597376u);
}

TEST(FindNeighbours, NamesWhatIsMissingOrWrongAndSaysTheBlockIsCut) {
  struct Case {
    const char* name;
    void (*make)(const TempDir&);
    NeighbourStatus status;
    const char* line;  // the tile's line in the message
  };
  const Case cases[] = {
      {"nothing there", [](const TempDir&) {}, NeighbourStatus::missing,
       "The tile N36 W84 is missing: put USGS_13_n36w084.tif (or its GridFloat pair) beside "
       "opened.hdr.\n"},
      {"named after it, another tile",
       [](const TempDir& d) { makePair(d, "n36w084", 38, 84, false); }, NeighbourStatus::otherTile,
       "N36 W84: n36w084.hdr can't be used. It is the tile N38 W84.\n"},
      {"its raster of another size",
       [](const TempDir& d) { makePair(d, "se", 36, 84, true, 1000); }, NeighbourStatus::otherSize,
       "N36 W84: se.hdr can't be used. Its raster se.flt is not the 467597376 bytes of a "
       "tile.\n"},
      {"its raster not beside it", [](const TempDir& d) { makePair(d, "se", 36, 84, false, -1); },
       NeighbourStatus::unreadable,
       "N36 W84: se.hdr can't be used. Its raster se.flt is not beside it.\n"},
      {"a header of another size",
       [](const TempDir& d) {
         testing::writeFile(d.file("N36W084.hdr"), "ncols 100\nnrows 100\n");
       },
       NeighbourStatus::otherSize,
       "N36 W84: N36W084.hdr can't be used. It is not a 1/3 arc second tile of 10812 cols and "
       "rows.\n"},
      {"a damaged GeoTIFF",
       [](const TempDir& d) { testing::writeFile(d.file("USGS_13_n36w084.tif"), "II*"); },
       NeighbourStatus::unreadable, nullptr},
      {"a damaged one beside a good one",
       [](const TempDir& d) {
         testing::writeFile(d.file("USGS_13_n36w084.tif"), "II*");
         makePair(d, "zz", 36, 84, false);
       },
       NeighbourStatus::found, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    makePair(dir, "opened", 37, 85, false);
    makePair(dir, "east", 37, 84, false);
    makePair(dir, "south", 36, 85, false);
    c.make(dir);
    const NeighbourSearch search = findNeighbours(posixFileSystem(), Program::extractor,
                                                  opened(dir), dir.path(), 10000, 10000, 900, 900);
    ASSERT_EQ(search.tiles.size(), 3u);
    EXPECT_EQ(search.tiles[0].status, NeighbourStatus::found);
    EXPECT_EQ(search.tiles[1].status, NeighbourStatus::found);
    EXPECT_EQ(search.tiles[2].status, c.status);
    EXPECT_EQ(search.complete(), c.status == NeighbourStatus::found);
    if (c.status == NeighbourStatus::found) continue;
    const std::string text = neighbourCutText(search);
    const std::string intro = "The block runs past this tile into N37 W84, N36 W85 and N36 W84.\n";
    const std::string end = "The block is cut at the tile's east and south edges.";
    if (c.line != nullptr) {
      EXPECT_EQ(text, intro + c.line + end);
    } else {
      EXPECT_EQ(text.rfind(intro + "N36 W84: USGS_13_n36w084.tif can't be used. ", 0), 0u) << text;
      EXPECT_GT(search.tiles[2].problem.size(), 10u);
    }
  }

  // A block across one line is cut at that line; two tiles missing are both named.
  TempDir dir;
  makePair(dir, "opened", 37, 85, false);
  NeighbourSearch east = findNeighbours(posixFileSystem(), Program::viewer, opened(dir), dir.path(),
                                        50, 10000, 9, 900);
  EXPECT_EQ(neighbourCutText(east),
            "The block runs past this tile into N37 W84.\n"
            "The tile N37 W84 is missing: put USGS_13_n37w084.tif (or its GridFloat pair) beside "
            "opened.hdr.\n"
            "The block is cut at the tile's east edge.");
  NeighbourSearch south = findNeighbours(posixFileSystem(), Program::viewer, opened(dir),
                                         dir.path(), 10000, 50, 900, 9);
  EXPECT_EQ(neighbourCutText(south),
            "The block runs past this tile into N36 W85.\n"
            "The tile N36 W85 is missing: put USGS_13_n36w085.tif (or its GridFloat pair) beside "
            "opened.hdr.\n"
            "The block is cut at the tile's south edge.");
}

// The headers are read through the file seam: one that cannot be opened is named.
TEST(FindNeighbours, NamesAHeaderThatCannotBeOpened) {
  TempDir dir;
  makePair(dir, "opened", 37, 85, false);
  makePair(dir, "n37w084", 37, 84, false);
  testing::ScriptedFileSystem files(posixFileSystem());
  files.fails = [&](const testing::FileCall& call) {
    return call.what == "open" && call.path == dir.file("n37w084.hdr");
  };
  const NeighbourSearch search =
      findNeighbours(files, Program::viewer, opened(dir), dir.path(), 50, 10800, 9, 9);
  ASSERT_EQ(search.tiles.size(), 1u);
  EXPECT_EQ(search.tiles[0].status, NeighbourStatus::unreadable);
  EXPECT_EQ(neighbourCutText(search),
            "The block runs past this tile into N37 W84.\n"
            "N37 W84: n37w084.hdr can't be used. It cannot be opened.\n"
            "The block is cut at the tile's east edge.");
}

// Where several files claim one tile, the cells where it meets the tile beside it decide.
// The demo tiles continue one terrain across their lines; a header copied from one of them
// over another tile's raster claims its place with the wrong cells.
TEST(FindNeighbours, TakesOfTwoClaimsTheOneWhoseCellsMeetTheTileBesideIt) {
  ASSERT_FALSE(testing::demoGeoTiff().empty());  // makes the demo tiles when they are missing
  const auto demo = [](const std::string& name) {
    return testing::projectFile("build/demo/" + name);
  };
  struct Case {
    const char* name;
    // Files of the folder: its name, and the demo file it is (a header claims the place
    // of the tile its text is of, over the raster of its name).
    std::vector<std::pair<std::string, std::string>> files;
    int32_t startRow, startCol;
    NeighbourStatus status;  // of the last tile
    std::string line;        // of that tile in the question, or in the cut text
  };
  const std::vector<std::pair<std::string, std::string>> opened = {{"n37w085.hdr", "n37w085.hdr"},
                                                                   {"n37w085.flt", "n37w085.flt"}};
  const auto with = [&](std::vector<std::pair<std::string, std::string>> more) {
    more.insert(more.begin(), opened.begin(), opened.end());
    return more;
  };
  const Case cases[] = {
      {"the wrong one sorts first",
       with({{"n36w085_old.hdr", "n37w084.hdr"},
             {"n36w085_old.flt", "n36w085.flt"},
             {"n37w084.hdr", "n37w084.hdr"},
             {"n37w084.flt", "n37w084.flt"}}),
       50, 10800, NeighbourStatus::found,
       "N37 W84 is read from n37w084.hdr, not from n36w085_old.hdr: its cells differ where the "
       "tiles meet.\n"},
      {"two copies of the tile",
       with({{"n37w084 copy.hdr", "n37w084.hdr"},
             {"n37w084 copy.flt", "n37w084.flt"},
             {"n37w084.hdr", "n37w084.hdr"},
             {"n37w084.flt", "n37w084.flt"}}),
       50, 10800, NeighbourStatus::found,
       "N37 W84 is read from n37w084 copy.hdr; n37w084.hdr claims to be the same tile.\n"},
      {"none of them",
       with({{"n36w085_old.hdr", "n37w084.hdr"},
             {"n36w085_old.flt", "n36w085.flt"},
             {"n36w084_old.hdr", "n37w084.hdr"},
             {"n36w084_old.flt", "n36w084.flt"}}),
       50, 10800, NeighbourStatus::conflicting,
       "N37 W84: n36w084_old.hdr and n36w085_old.hdr can't be used. They claim the same tile, "
       "but none has the cells of the tile beside it where the two meet.\n"},
      {"a GeoTIFF over a pair at the corner",
       with({{"n37w084.hdr", "n37w084.hdr"},
             {"n37w084.flt", "n37w084.flt"},
             {"n36w085.hdr", "n36w085.hdr"},
             {"n36w085.flt", "n36w085.flt"},
             {"a_rival.hdr", "n36w084.hdr"},
             {"a_rival.flt", "n36w085.flt"},
             {"USGS_13_n36w084.tif", "USGS_13_n36w084.tif"}}),
       10800, 10800, NeighbourStatus::found,
       "N36 W84 is read from USGS_13_n36w084.tif, not from a_rival.hdr: its cells differ where "
       "the tiles meet.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const auto& [name, source] : c.files) {
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".hdr") == 0) {
        testing::writeFile(dir.file(name), testing::readFile(demo(source)));
      } else {
        ASSERT_EQ(symlink(demo(source).c_str(), dir.file(name).c_str()), 0);
      }
    }
    TileHeader header;
    testing::ScriptedDesktop desktop;
    ASSERT_EQ(readHeaderFile(posixFileSystem(), Program::viewer, dir.file("n37w085.hdr"), header),
              HeaderFileRead::accepted);
    header.headerPath = dir.file("n37w085.hdr");
    header.rasterPath = dir.file("n37w085.flt");
    const NeighbourSearch search = findNeighbours(posixFileSystem(), Program::viewer, header,
                                                  dir.path(), c.startRow, c.startCol, 9, 9);
    ASSERT_FALSE(search.tiles.empty());
    const NeighbourTile& tile = search.tiles.back();
    EXPECT_EQ(tile.status, c.status);
    const std::string intro = c.startRow > 10000
                                  ? "The block runs past this tile into N37 W84, N36 W85 and N36 "
                                    "W84.\n"
                                  : "The block runs past this tile into N37 W84.\n";
    if (c.status == NeighbourStatus::found) {
      EXPECT_TRUE(search.complete());
      EXPECT_EQ(neighbourQuestionText(search),
                intro + c.line + "Read the rest from the tiles found beside it?");
    } else {
      EXPECT_EQ(neighbourCutText(search),
                intro + c.line + "The block is cut at the tile's east edge.");
    }
  }
}

// A tile two across is compared with the tile found west of it.
TEST(FindNeighbours, ComparesATileFurtherEastWithTheTileWestOfIt) {
  TempDir dir;
  makePair(dir, "opened", 37, 85, false);
  makePair(dir, "east", 37, 84, false);
  makePair(dir, "a_wrong", 37, 83, false);  // sorts first, zeros along the line
  makePair(dir, "b_right", 37, 83, false);
  // Cells of the 12 columns where east meets the tile east of it, in both of their rasters.
  for (int32_t row = 0; row < 10812; ++row) {
    std::vector<float> cells;
    for (int k = 0; k < 12; ++k) cells.push_back(static_cast<float>(row + k + 1));
    testing::plantSamples(dir.file("east.flt"), row, 10800, cells);
    testing::plantSamples(dir.file("b_right.flt"), row, 0, cells);
  }
  const NeighbourSearch search = findNeighbours(posixFileSystem(), Program::extractor, opened(dir),
                                                dir.path(), 50, 10000, 9, 12000);
  ASSERT_EQ(search.tiles.size(), 2u);
  EXPECT_EQ(search.tiles[0].path, dir.file("east.hdr"));
  EXPECT_TRUE(search.tiles[0].rivals.empty());
  EXPECT_EQ(search.tiles[1].path, dir.file("b_right.hdr"));
  EXPECT_EQ(search.tiles[1].rivals, std::vector<std::string>{dir.file("a_wrong.hdr")});
  EXPECT_TRUE(search.tiles[1].rivalsDiffer);
}

}  // namespace
}  // namespace ned
