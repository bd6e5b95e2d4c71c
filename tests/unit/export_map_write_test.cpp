// Points written in a map coordinate system: the plan of a write decides the system and
// the elevations' foot; the files match what GDAL reads from the demo tile (the cell
// centres and elevations) projected by PROJ.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/export/map_projection.h"
#include "core/export/point_writer.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/proj_oracle.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

TEST(MapWrite, ThePlanTakesTheSystemAndItsFootForBothXyzFormsOnly) {
  struct Case {
    OutputKind kind;
    int32_t system;
    bool toFeet;
    bool mapped;
    long double feetPerMetre;
  };
  const Case cases[] = {
      {OutputKind::RectangularXyz, 0, false, false, 0.0L},
      {OutputKind::RectangularXyz, 0, true, false, 3.28084L},
      {OutputKind::ProjectNorthXyz, 2274, false, true, 0.0L},
      {OutputKind::ProjectNorthXyz, 2274, true, true, 3937.0L / 1200.0L},  // US survey foot
      {OutputKind::RectangularXyz, 2222, true, true, 1.0L / 0.3048L},      // international foot
      {OutputKind::RectangularXyz, 32136, true, true, 3.28084L},           // metres: the usual
      {OutputKind::RectangularXyz, 1234, true, false, 3.28084L},           // no such system
      {OutputKind::ElevationCsv, 2274, true, false, 3937.0L / 1200.0L},
      {OutputKind::BinaryFlt, 26916, false, false, 0.0L},
  };
  GroundSpacing spacing;
  spacing.nsSpacing = 10.0;
  for (const Case& c : cases) {
    WriteRequest request;
    request.kind = c.kind;
    request.coordinateSystem = c.system;
    request.toFeet = c.toFeet;
    for (Program program : {Program::viewer, Program::extractor}) {
      const WritePlan plan = planWrite(request, program, spacing);
      SCOPED_TRACE(std::to_string(c.system) + (c.toFeet ? " feet" : ""));
      EXPECT_EQ(plan.map != nullptr, c.mapped);
      EXPECT_EQ(plan.map != nullptr ? plan.map->epsg : 0, c.mapped ? c.system : 0);
      EXPECT_NEAR(static_cast<double>(plan.feetPerMetre), static_cast<double>(c.feetPerMetre),
                  1e-15);
      // The local grid's spacing follows the unit only where there is a local grid.
      EXPECT_DOUBLE_EQ(plan.nsSpacing, c.mapped ? 0.0 : (c.toFeet ? 32.8084 : 10.0));
    }
  }
}

struct Cell {
  double longitude, latitude;
  float z;
};

// GDAL's cells of a window of the raster, row by row: their centres and values.
std::vector<Cell> gdalCells(const std::string& raster, int col, int row, int cols, int rows,
                            const std::string& folder) {
  const std::string out = folder + "/cells.xyz";
  std::vector<std::string> command = {"gdal_translate",
                                      "-q",
                                      "-of",
                                      "XYZ",
                                      "-srcwin",
                                      std::to_string(col),
                                      std::to_string(row),
                                      std::to_string(cols),
                                      std::to_string(rows),
                                      raster,
                                      out};
  std::vector<Cell> cells;
  if (!testing::runGdal(command)) return cells;
  std::istringstream lines(testing::readFile(out));
  Cell cell;
  while (lines >> cell.longitude >> cell.latitude >> cell.z) cells.push_back(cell);
  return cells;
}

TEST(MapWrite, FilesMatchGdalsCellsProjectedByProj) {
  ASSERT_TRUE(testing::haveCs2cs())
      << "PROJ's cs2cs is not installed (proj-bin, scripts/install-deps.sh): this test needs it";
  ASSERT_FALSE(testing::demoGeoTiff().empty());
  const std::string raster = testing::projectFile("build/demo/n37w085.flt");
  testing::TempDir dir;
  const int32_t row = 5000, col = 5200, rows = 61, cols = 83;
  const std::vector<Cell> cells = gdalCells(raster, col, row, cols, rows, dir.path());
  ASSERT_EQ(cells.size(), size_t(rows) * cols);
  struct Case {
    int32_t system;
    OutputKind kind;
    uint32_t step;
    bool toFeet;
    Program program;
  };
  const Case cases[] = {
      {2274, OutputKind::RectangularXyz, 1, true, Program::viewer},        // Tennessee, ftUS
      {32136, OutputKind::ProjectNorthXyz, 3, false, Program::extractor},  // Tennessee, m
      {26916, OutputKind::ProjectNorthXyz, 1, false, Program::viewer},     // UTM 16N
      {26917, OutputKind::RectangularXyz, 4, true, Program::extractor},    // UTM 17N, far east
  };
  size_t points = 0, equalAtThreeDecimals = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.system);
    WriteRequest request;
    request.kind = c.kind;
    request.coordinateSystem = c.system;
    request.toFeet = c.toFeet;
    request.selection.startRow = row;
    request.selection.startCol = col;
    request.selection.rows = rows;
    request.selection.cols = cols;
    request.selection.step = c.step;
    request.header.rasterPath = raster;
    request.header.tileWestLon = 85.00055555556;
    request.header.tileSouthLat = 35.99944444444;
    testing::ScriptedDesktop desktop;
    desktop.chooseFile(dir.file("out.csv"));
    ASSERT_EQ(writePoints(desktop, c.program, request), WriteOutcome::written);

    // The expected points: every step-th cell of every step-th row, projected by PROJ.
    testing::ProjBatch batch;
    batch.target = "EPSG:" + std::to_string(c.system);
    std::vector<float> elevations;
    for (int i = 0; i < rows; i += c.step) {
      for (int j = 0; j < cols; j += c.step) {
        // The centre on the lattice of 1/10800 degree from the header's corner; GDAL takes
        // the header's rounded cell size, a few micrometres off across the block.
        const Cell& cell = cells[size_t(i) * cols + j];
        const long double cellDegrees = 1.0L / 10800;
        const double latitude =
            static_cast<double>(35.99944444444L + (10812 - row - i - 0.5L) * cellDegrees);
        const double longitude =
            static_cast<double>(-85.00055555556L + (col + j + 0.5L) * cellDegrees);
        ASSERT_NEAR(latitude, cell.latitude, 1e-10);
        ASSERT_NEAR(longitude, cell.longitude, 1e-10);
        batch.latitudes.push_back(latitude);
        batch.longitudes.push_back(longitude);
        elevations.push_back(cell.z);
      }
    }
    std::vector<testing::ProjBatch> batches = {batch};
    ASSERT_TRUE(testing::projectWithProj(batches));
    const MapSystem& system = *findMapSystem(c.system);
    const long double foot = !c.toFeet                       ? 1.0L
                             : system.unit == MapUnit::Metre ? 3.28084L
                                                             : 1.0L / metresPerUnit(system.unit);
    std::istringstream lines(testing::readFile(dir.file("out.csv")));
    std::string line;
    size_t k = 0;
    for (; std::getline(lines, line); ++k) {
      ASSERT_LT(k, elevations.size());
      double x = 0, y = 0;
      char z[64] = {};
      ASSERT_EQ(std::sscanf(line.c_str(), "%lf, %lf, %63[^\r]", &x, &y, z), 3) << line;
      EXPECT_NEAR(x, batches[0].eastings[k], 0.001) << k;
      EXPECT_NEAR(y, batches[0].northings[k], 0.001) << k;
      char rounded[2][64];
      std::snprintf(rounded[0], 64, "%.3f %.3f", x, y);
      std::snprintf(rounded[1], 64, "%.3f %.3f", batches[0].eastings[k], batches[0].northings[k]);
      equalAtThreeDecimals += std::string(rounded[0]) == rounded[1];
      // Every value, no-data too, in the foot of the system (in feet, else the usual one).
      const float value = static_cast<float>(static_cast<long double>(elevations[k]) * foot);
      char expected[64];
      std::snprintf(expected, sizeof expected, "%.3lf", static_cast<double>(value));
      EXPECT_STREQ(z, expected) << k;
    }
    EXPECT_EQ(k, elevations.size());
    points += k;
  }
  EXPECT_GE(equalAtThreeDecimals * 1000, points * 999) << equalAtThreeDecimals << " of " << points;
}

TEST(MapWrite, TheReducedTilesVirtualRasterPutsEachKeptCellAtItsPlace) {
  ASSERT_FALSE(testing::demoGeoTiff().empty());
  const std::string raster = testing::projectFile("build/demo/n37w085.flt");
  testing::TempDir dir;
  const int32_t row = 700, col = 9000, rows = 40, cols = 52;
  const std::vector<Cell> cells = gdalCells(raster, col, row, cols, rows, dir.path());
  ASSERT_EQ(cells.size(), size_t(rows) * cols);
  for (const uint32_t step : {1u, 3u, 4u}) {
    SCOPED_TRACE(step);
    WriteRequest request;
    request.kind = OutputKind::BinaryFlt;
    request.selection = {row, col, rows, cols, step - 1, step};
    request.header.rasterPath = raster;
    request.header.tileWestLon = 85.00055555556;
    request.header.tileSouthLat = 35.99944444444;
    testing::ScriptedDesktop desktop;
    desktop.buttons = {MessageAnswer::yes};  // replacing the last step's side files
    desktop.chooseFile(dir.file("reduced & kept.flt"));
    ASSERT_EQ(writePoints(desktop, Program::viewer, request), WriteOutcome::written);
    testing::GdalInfo info;
    ASSERT_TRUE(testing::gdalInfo(dir.file("reduced & kept.vrt"), info));
    EXPECT_TRUE(info.hasNoData);
    EXPECT_EQ(info.noData, -9999.0);
    const std::vector<Cell> placed =
        gdalCells(dir.file("reduced & kept.vrt"), 0, 0, info.width, info.height, dir.path());
    const uint32_t keptCols = (cols + step - 1) / step, keptRows = (rows + step - 1) / step;
    ASSERT_EQ(placed.size(), size_t(keptCols) * keptRows);
    for (size_t k = 0; k < placed.size(); ++k) {
      const Cell& cell = cells[(k / keptCols) * step * cols + (k % keptCols) * step];
      ASSERT_NEAR(placed[k].longitude, cell.longitude, 1e-10) << k;
      ASSERT_NEAR(placed[k].latitude, cell.latitude, 1e-10) << k;
      ASSERT_EQ(placed[k].z, cell.z) << k;
    }
    std::string wkt;
    ASSERT_TRUE(
        testing::runGdal({"gdalsrsinfo", "-o", "epsg", dir.file("reduced & kept.vrt")}, &wkt));
    EXPECT_NE(wkt.find("EPSG:4269"), std::string::npos) << wkt;
  }
}

}  // namespace
}  // namespace ned
