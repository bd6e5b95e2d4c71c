// Blocks across the whole-degree lines: every output form of a block read on from the
// demo tile into the tiles east, south and south-east of it holds GDAL's cells of the
// four tiles' mosaic (gdalbuildvrt, then gdal_translate -srcwin of the block), and the
// positions run on as in one tile.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "core/export/point_writer.h"
#include "core/export/reduced_tile.h"
#include "core/export/selection.h"
#include "core/posix_file_system.h"
#include "core/tile/neighbours.h"
#include "tests/support/demo_request.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/proj_oracle.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

// GDAL's window of the four tiles' mosaic as a raster of 32-bit floats; its cells read back.
struct GdalWindow {
  std::string raster;
  std::vector<float> cells;
};
GdalWindow gdalWindow(const std::string& folder, int32_t row, int32_t col, uint32_t rows,
                      uint32_t cols) {
  GdalWindow window;
  const std::string vrt = folder + "/four.vrt";
  std::vector<std::string> build = {"gdalbuildvrt", "-q", vrt};
  for (const char* tile : testing::kDemoTiles) build.push_back(testing::demoFile(tile) + ".flt");
  window.raster = folder + "/window.flt";
  if (!testing::runGdal(build) ||
      !testing::runGdal({"gdal_translate", "-q", "-of", "EHdr", "-ot", "Float32", "-srcwin",
                         std::to_string(col), std::to_string(row), std::to_string(cols),
                         std::to_string(rows), vrt, window.raster}))
    return window;
  const std::string bytes = testing::readFile(window.raster);
  window.cells.resize(bytes.size() / 4);
  for (size_t k = 0; k < window.cells.size(); ++k) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * k;
    const uint32_t bits = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
    std::memcpy(&window.cells[k], &bits, 4);
  }
  return window;
}

std::string fixed3(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value));
  return text;
}

TEST(MosaicWrite, EveryFormHoldsGdalsCellsOfTheTilesBesideAndRunsItsPositionsOn) {
  ASSERT_FALSE(testing::demoGeoTiff().empty());  // makes the demo tiles when they are missing
  for (const char* tile : testing::kDemoTiles)
    ASSERT_EQ(testing::readFile(testing::demoFile(tile) + ".hdr").empty(), false) << tile;
  struct Case {
    const char* name;
    int32_t row, col;
    uint32_t rows, cols, step;
    bool toFeet;
  };
  const Case cases[] = {
      {"across the east line", 4000, 10700, 40, 300, 1, false},
      {"across the south line", 10750, 4000, 200, 50, 1, false},
      {"across the corner of four tiles", 10700, 10650, 230, 260, 1, false},
      {"across the corner, every third cell", 10701, 10653, 230, 260, 3, false},
      {"across the corner, in feet", 10760, 10790, 90, 70, 1, true},
  };
  const GroundSpacing spacing = groundSpacingFromRow(*findDegreeLengths(37));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    const GdalWindow gdal = gdalWindow(dir.path(), c.row, c.col, c.rows, c.cols);
    ASSERT_EQ(gdal.cells.size(), size_t(c.rows) * c.cols);
    WriteRequest request = testing::demoRequest(true);
    request.selection = {c.row, c.col, c.rows, c.cols, c.step - 1, c.step};
    request.toFeet = c.toFeet;
    request.xulcornerText = "-84.0";
    request.yulcornerText = "36.0";
    // A cell as the forms write it: in feet on request (the reduced tile keeps -9999).
    const auto value = [&](uint32_t i, uint32_t j, bool binary) {
      const float z = gdal.cells[size_t(i) * c.cols + j];
      if (!c.toFeet || (binary && z == -9999.0f)) return z;
      return static_cast<float>(static_cast<long double>(z) * kFeetPerMetre);
    };

    // The CSV grid: one rectangle, each kept row a line of its kept cells.
    request.kind = OutputKind::ElevationCsv;
    testing::ScriptedDesktop csvDesktop;
    csvDesktop.chooseFile(dir.file("grid.csv"));
    ASSERT_EQ(writePoints(csvDesktop, Program::extractor, request), WriteOutcome::written);
    std::istringstream csv(testing::readFile(dir.file("grid.csv")));
    std::string line;
    uint32_t i = 0;
    for (; std::getline(csv, line); i += c.step) {
      ASSERT_LT(i, c.rows);
      std::string expected;
      for (uint32_t j = 0; j < c.cols; j += c.step)
        expected += fixed3(value(i, j, false)) + (j + 1 == c.cols ? "" : ",");
      ASSERT_EQ(line, expected + "\r") << "row " << i;
    }
    EXPECT_EQ(i, keptCount(c.rows, c.step) * c.step);

    // The reduced tile: GDAL's window, its kept cells, byte for byte; one header for all.
    request.kind = OutputKind::BinaryFlt;
    testing::ScriptedDesktop binaryDesktop;
    binaryDesktop.chooseFile(dir.file("reduced.flt"));
    ASSERT_EQ(writePoints(binaryDesktop, Program::viewer, request), WriteOutcome::written);
    std::string expected;
    for (uint32_t r = 0; r < c.rows; r += c.step) {
      for (uint32_t j = 0; j < c.cols; j += c.step) {
        const float z = value(r, j, true);
        uint32_t bits;
        std::memcpy(&bits, &z, 4);
        for (int b = 0; b < 4; ++b) expected += static_cast<char>(bits >> (8 * b));
      }
    }
    EXPECT_TRUE(testing::readFile(dir.file("reduced.flt")) == expected);
    if (c.step == 1 && !c.toFeet) {
      EXPECT_TRUE(testing::sameFileBytes(dir.file("reduced.flt"), gdal.raster));
    }
    EXPECT_EQ(testing::readFile(dir.file("reduced.hdr")),
              reducedTileHeaderText(keptCount(c.cols, c.step), keptCount(c.rows, c.step), c.step,
                                    "-84.0", "36.0", "NODATA        -9999"));

    // Both XYZ forms: the cells, and positions from the usual spacings, counted on past the
    // lines (a rectangle of the middle row's spacing; projected north, widening row by row).
    const long double foot = c.toFeet ? kFeetPerMetre : 1.0L;
    const long double ns = spacing.nsSpacing * foot, growth = spacing.ewSpacingGrowth * foot;
    for (OutputKind kind : {OutputKind::RectangularXyz, OutputKind::ProjectNorthXyz}) {
      SCOPED_TRACE(kind == OutputKind::RectangularXyz ? "rectangular" : "projected north");
      request.kind = kind;
      testing::ScriptedDesktop desktop;
      desktop.chooseFile(dir.file("points.csv"));
      ASSERT_EQ(writePoints(desktop, Program::extractor, request), WriteOutcome::written);
      const long double w =
          foot * ewSpacingAtRow(spacing, kind == OutputKind::RectangularXyz
                                             ? c.row + static_cast<int32_t>(c.rows / 2)
                                             : c.row);
      std::istringstream points(testing::readFile(dir.file("points.csv")));
      size_t k = 0;
      for (; std::getline(points, line); ++k) {
        const uint32_t keptCols = keptCount(c.cols, c.step);
        const uint32_t r = static_cast<uint32_t>(k / keptCols) * c.step;
        const uint32_t j = static_cast<uint32_t>(k % keptCols) * c.step;
        ASSERT_LT(r, c.rows);
        double x = 0, y = 0;
        char z[64] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf, %lf, %63[^\r]", &x, &y, z), 3) << line;
        ASSERT_EQ(std::string(z), fixed3(value(r, j, false))) << r << " " << j;
        const long double x0 = kind == OutputKind::RectangularXyz
                                   ? 200000.0L
                                   : 200000.0L - growth * 0.5L * r * (c.cols + 1);
        const long double dx = kind == OutputKind::RectangularXyz ? w : w + r * growth;
        ASSERT_NEAR(x, static_cast<double>(x0 + j * dx), 0.0015) << r << " " << j;
        ASSERT_NEAR(y, static_cast<double>(200000.0L - r * ns), 0.0015) << r;
      }
      EXPECT_EQ(k, size_t(keptCount(c.rows, c.step)) * keptCount(c.cols, c.step));
    }
  }
}

TEST(MosaicWrite, AMapSystemPlacesEachCellAcrossTheCornerWherePROJPutsGdalsCell) {
  ASSERT_TRUE(testing::haveCs2cs())
      << "PROJ's cs2cs is not installed (proj-bin, scripts/install-deps.sh): this test needs it";
  ASSERT_FALSE(testing::demoGeoTiff().empty());
  testing::TempDir dir;
  const int32_t row = 10790, col = 10795, rows = 30, cols = 24;
  // GDAL's cell centres and values of the block, from the four tiles' mosaic.
  ASSERT_TRUE(gdalWindow(dir.path(), row, col, rows, cols).cells.size() == size_t(rows) * cols);
  ASSERT_TRUE(testing::runGdal(
      {"gdal_translate", "-q", "-of", "XYZ", "-srcwin", std::to_string(col), std::to_string(row),
       std::to_string(cols), std::to_string(rows), dir.file("four.vrt"), dir.file("cells.xyz")}));
  std::istringstream cells(testing::readFile(dir.file("cells.xyz")));
  testing::ProjBatch batch;
  batch.target = "EPSG:26916";
  std::vector<float> z;
  double lon = 0, lat = 0;
  float value = 0;
  while (cells >> lon >> lat >> value) {
    batch.longitudes.push_back(lon);
    batch.latitudes.push_back(lat);
    z.push_back(value);
  }
  ASSERT_EQ(z.size(), size_t(rows) * cols);
  std::vector<testing::ProjBatch> batches = {batch};
  ASSERT_TRUE(testing::projectWithProj(batches));

  WriteRequest request = testing::demoRequest(true);
  request.selection = {row, col, rows, cols, 0, 1};
  request.kind = OutputKind::RectangularXyz;
  request.coordinateSystem = 26916;
  testing::ScriptedDesktop desktop;
  desktop.chooseFile(dir.file("utm.csv"));
  ASSERT_EQ(writePoints(desktop, Program::extractor, request), WriteOutcome::written);
  std::istringstream lines(testing::readFile(dir.file("utm.csv")));
  std::string line;
  size_t k = 0;
  for (; std::getline(lines, line); ++k) {
    ASSERT_LT(k, z.size());
    double x = 0, y = 0;
    char text[64] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf, %lf, %63[^\r]", &x, &y, text), 3) << line;
    EXPECT_NEAR(x, batches[0].eastings[k], 0.002) << k;
    EXPECT_NEAR(y, batches[0].northings[k], 0.002) << k;
    EXPECT_EQ(std::string(text), fixed3(z[k])) << k;
  }
  EXPECT_EQ(k, z.size());
}

TEST(MosaicWrite, TilesFoundBesideWhateverTheirNamesAndAGeoTiffGiveTheSameBlock) {
  ASSERT_FALSE(testing::demoGeoTiff().empty());
  testing::TempDir dir;
  // The demo tiles under other names, and the south-east one only as the USGS ships it.
  const char* const links[][2] = {
      {"here", "n37w085"}, {"east of here", "n37w084"}, {"s", "n36w085"}};
  for (const auto& link : links) {
    for (const char* extension : {".hdr", ".flt"}) {
      ASSERT_EQ(symlink((testing::demoFile(link[1]) + extension).c_str(),
                        dir.file(std::string(link[0]) + extension).c_str()),
                0);
    }
  }
  ASSERT_EQ(symlink(testing::demoFile("USGS_13_n36w084.tif").c_str(),
                    dir.file("USGS_13_n36w084.tif").c_str()),
            0);
  WriteRequest request = testing::demoRequest(true);
  request.header.headerPath = dir.file("here.hdr");
  request.header.rasterPath = dir.file("here.flt");
  request.selection = {10790, 10780, 40, 50, 0, 1};
  request.kind = OutputKind::ElevationCsv;
  testing::ScriptedDesktop desktop;
  desktop.chooseFile(dir.file("demo tiles.csv"));
  ASSERT_EQ(writePoints(desktop, Program::extractor, request), WriteOutcome::written);

  NeighbourSearch search = findNeighbours(posixFileSystem(), Program::extractor, request.header,
                                          dir.path(), 10790, 10780, 40, 50);
  ASSERT_TRUE(search.complete()) << neighbourCutText(search);
  EXPECT_EQ(neighbourQuestionText(search),
            "The block runs past this tile into N37 W84, N36 W85 and N36 W84.\n"
            "Read the rest from the tiles found beside it?");
  ASSERT_TRUE(mosaicOfSearch(desktop, request.header, search, request.mosaic));
  EXPECT_EQ(request.mosaic.rasterPaths[3], dir.file("USGS_13_n36w084.flt"));
  desktop.chooseFile(dir.file("found.csv"));
  ASSERT_EQ(writePoints(desktop, Program::extractor, request), WriteOutcome::written);
  EXPECT_TRUE(testing::sameFileBytes(dir.file("found.csv"), dir.file("demo tiles.csv")));
}

TEST(MosaicWrite, ATileOfTheMosaicThatCannotBeOpenedWritesNothing) {
  ASSERT_FALSE(testing::demoGeoTiff().empty());
  testing::TempDir dir;
  WriteRequest request = testing::demoRequest(true);
  request.mosaic.rasterPaths[3] = dir.file("gone.flt");
  request.selection = {10800, 10800, 10, 10, 0, 1};
  request.kind = OutputKind::ElevationCsv;
  testing::ScriptedDesktop desktop;
  desktop.chooseFile(dir.file("out.csv"));
  EXPECT_EQ(writePoints(desktop, Program::extractor, request), WriteOutcome::rasterFailed);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "Can't Open Gridfloat file.");
  EXPECT_EQ(testing::readFile(dir.file("out.csv")), "");
}

}  // namespace
}  // namespace ned
