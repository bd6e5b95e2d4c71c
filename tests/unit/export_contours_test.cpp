// The contour tracer: the marching-squares cases, the joining of segments into lines, the
// two placements, and the lines of a block of the demo tile against gdal_contour's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/export/contours.h"
#include "core/posix_file_system.h"
#include "tests/support/gdal_fixtures.h"

namespace ned {
namespace {

using testing::quoted;
using testing::runGdal;

struct Polyline {
  int64_t level = 0;
  bool closed = false;
  bool index = false;
  std::vector<ContourPoint> points;
};

class Collect : public ContourSink {
 public:
  bool beginLine(const ContourLine& line) override {
    lines.push_back({line.level, line.closed, line.index, {}});
    expected = line.count;
    return true;
  }
  bool points(const ContourPoint* points, size_t count) override {
    lines.back().points.insert(lines.back().points.end(), points, points + count);
    return true;
  }
  bool endLine() override {
    EXPECT_EQ(lines.back().points.size(), expected);
    return true;
  }
  std::vector<Polyline> lines;
  uint64_t expected = 0;
};

// A spill in memory that checks that what it gives back is what it was given.
class MemorySpill : public VertexSpill {
 public:
  bool put(const ContourPoint* points, size_t count, uint64_t* where) override {
    *where = kept.size();
    kept.insert(kept.end(), points, points + count);
    return true;
  }
  bool get(uint64_t where, ContourPoint* points, size_t count) override {
    if (where + count > kept.size()) return false;
    std::copy(kept.begin() + static_cast<std::ptrdiff_t>(where),
              kept.begin() + static_cast<std::ptrdiff_t>(where + count), points);
    ++reads;
    return true;
  }
  std::vector<ContourPoint> kept;
  int reads = 0;
};

// Cell coordinates: x the column, y the row (growing south).
GridPlacement cellPlacement() {
  return GridPlacement(0.0, 0.0, 1.0, -1.0, 1);
}

// With a spill, every chunk goes into it.
std::vector<Polyline> trace(const std::vector<float>& values, uint32_t cols, double interval,
                            uint32_t indexEvery = 0, VertexSpill* spill = nullptr) {
  GridPlacement placement = cellPlacement();
  Collect collect;
  ContourTracer tracer(cols, {interval, indexEvery, -9999.0f, 0}, placement, collect, spill);
  for (size_t r = 0; r * cols < values.size(); ++r) EXPECT_TRUE(tracer.addRow(&values[r * cols]));
  EXPECT_TRUE(tracer.finish());
  return collect.lines;
}

bool near(const ContourPoint& a, const ContourPoint& b, double tolerance) {
  return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance;
}

// The same line: the same vertices in the same order up to direction, and for a closed
// line up to where it starts.
bool sameLine(const Polyline& a, const Polyline& b, double tolerance) {
  if (a.level != b.level || a.closed != b.closed || a.points.size() != b.points.size())
    return false;
  const size_t n = a.points.size();
  for (size_t start = 0; start < (a.closed ? n : 1); ++start) {
    for (int direction : {1, -1}) {
      bool same = true;
      for (size_t i = 0; i < n && same; ++i) {
        size_t j = direction == 1 ? (start + i) % n : (start + n - i) % n;
        if (!a.closed && direction == -1) j = n - 1 - i;
        same = near(a.points[i], b.points[j], tolerance);
      }
      if (same) return true;
    }
  }
  return false;
}

std::string describe(const Polyline& line) {
  std::ostringstream text;
  text << "level " << line.level << (line.closed ? " closed:" : ":");
  for (const ContourPoint& p : line.points) text << " (" << p.x << " " << p.y << ")";
  return text.str();
}

// Every line of one list has its own equal in the other.
void expectSameLines(const std::vector<Polyline>& ours, const std::vector<Polyline>& theirs,
                     double tolerance) {
  std::vector<bool> used(theirs.size(), false);
  size_t unmatched = 0;
  for (const Polyline& line : ours) {
    bool found = false;
    for (size_t i = 0; i < theirs.size() && !found; ++i)
      if (!used[i] && sameLine(line, theirs[i], tolerance)) found = used[i] = true;
    if (!found && ++unmatched <= 5) ADD_FAILURE() << "ours only: " << describe(line);
  }
  for (size_t i = 0; i < theirs.size(); ++i)
    if (!used[i] && ++unmatched <= 10) ADD_FAILURE() << "theirs only: " << describe(theirs[i]);
  EXPECT_EQ(unmatched, 0u);
  EXPECT_EQ(ours.size(), theirs.size());
}

// gdal_contour's lines of a raster at the interval, in cell coordinates, cut at the
// outermost cell centres: GDAL runs its lines on into the half cell beyond them.
std::vector<Polyline> gdalLines(const std::string& raster, double interval, int width, int height,
                                const double transform[6]) {
  const std::string csv = raster + ".csv";
  std::remove(csv.c_str());
  char intervalText[32];
  std::snprintf(intervalText, sizeof intervalText, "%.17g", interval);
  EXPECT_TRUE(runGdal({"gdal_contour", "-q", "-i", intervalText, "-a", "elev", "-f", "CSV", "-lco",
                       "GEOMETRY=AS_WKT", raster, csv}));
  std::ifstream in(csv);
  std::string line;
  std::getline(in, line);  // WKT,ID,elev
  std::vector<Polyline> lines;
  while (std::getline(in, line)) {
    const size_t open = line.find('(');
    const size_t close = line.find(')');
    const size_t last = line.rfind(',');
    if (open == std::string::npos || close == std::string::npos) continue;
    Polyline polyline;
    polyline.level = std::llround(std::atof(line.c_str() + last + 1) / interval);
    std::istringstream points(line.substr(open + 1, close - open - 1));
    std::string pair;
    while (std::getline(points, pair, ',')) {
      double x = 0.0;
      double y = 0.0;
      std::sscanf(pair.c_str(), "%lf %lf", &x, &y);
      const ContourPoint p = {(x - transform[0]) / transform[1] - 0.5,
                              (y - transform[3]) / transform[5] - 0.5};
      const double e = 1e-9;
      if (p.x < -e || p.y < -e || p.x > width - 1 + e || p.y > height - 1 + e) continue;
      polyline.points.push_back(p);
    }
    if (polyline.points.size() > 2 && near(polyline.points.front(), polyline.points.back(), 1e-9)) {
      polyline.closed = true;
      polyline.points.pop_back();
    }
    if (polyline.points.size() >= 2) lines.push_back(polyline);
  }
  return lines;
}

std::string scratchFolder() {
  const std::string folder = testing::projectFile("build/test-scratch/contours");
  std::system(("mkdir -p " + quoted(folder)).c_str());
  return folder;
}

// A grid as an ASCII raster GDAL reads, cells of 1 with the first centre at (0.5, -0.5).
std::string asciiGrid(const std::string& name, const std::vector<float>& values, int cols) {
  const std::string path = scratchFolder() + "/" + name + ".asc";
  std::ofstream out(path);
  const int rows = static_cast<int>(values.size()) / cols;
  out << "ncols " << cols << "\nnrows " << rows << "\nxllcorner 0\nyllcorner " << -rows
      << "\ncellsize 1\nNODATA_value -9999\n";
  char text[64];
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      std::snprintf(text, sizeof text, "%.9g ", static_cast<double>(values[r * cols + c]));
      out << text;
    }
    out << "\n";
  }
  return path;
}

const double kUnitTransform[6] = {0.0, 1.0, 0.0, 0.0, 0.0, -1.0};

// Where the level crosses the square of corners (0, 0) ... (1, 1): the middle of a side
// (T, L, B, R), or next to a corner on the level (a upper left, b upper right, c lower left,
// d lower right), which counts as 1e-6 above it.
ContourPoint squarePoint(char where) {
  switch (where) {
    case 'T':
      return {0.5, 0.0};
    case 'B':
      return {0.5, 1.0};
    case 'L':
      return {0.0, 0.5};
    case 'R':
      return {1.0, 0.5};
    case 'a':
      return {0.0, 0.0};
    case 'b':
      return {1.0, 0.0};
    case 'c':
      return {0.0, 1.0};
    default:
      return {1.0, 1.0};
  }
}

// One square at level 1 of corners 0.5 (below), 1.5 (above), 1 (on the level) or -9999
// (no data): its segments, as the places they join ("TL" upper side to left side). Every
// case of the corners, the two saddles, values on the level, and no-data corners.
TEST(ContourSquares, EveryCaseGivesTheSegmentsGdalContourGives) {
  struct Case {
    float upperLeft, upperRight, lowerLeft, lowerRight;
    std::vector<std::string> segments;
  };
  const float o = 0.5f;
  const float I = 1.5f;
  const float N = -9999.0f;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<Case> cases = {
      {o, o, o, o, {}},
      {I, o, o, o, {"TL"}},
      {o, o, I, o, {"LB"}},
      {I, o, I, o, {"TB"}},
      {o, o, o, I, {"BR"}},
      {I, o, o, I, {"LB", "RT"}},
      {o, o, I, I, {"LR"}},
      {I, o, I, I, {"TR"}},
      {o, I, o, o, {"RT"}},
      {I, I, o, o, {"RL"}},
      {o, I, I, o, {"LB", "RT"}},
      {I, I, I, o, {"RB"}},
      {o, I, o, I, {"BT"}},
      {I, I, o, I, {"BL"}},
      {o, I, I, I, {"LT"}},
      {I, I, I, I, {}},
      {1, o, o, o, {"aa"}},
      {1, 1, 1, 1, {}},
      {o, 1, 1, o, {"cc", "bb"}},
      {1, 1, o, o, {"ba"}},
      {N, o, I, o, {}},
      {I, I, o, N, {}},
      // Values whose levels cannot be numbered count as no data.
      {nan, o, I, I, {}},
      {o, inf, I, I, {}},
      {o, o, -3e38f, I, {}},
  };
  for (const Case& c : cases) {
    const std::vector<float> values = {c.upperLeft, c.upperRight, c.lowerLeft, c.lowerRight};
    SCOPED_TRACE(::testing::Message() << c.upperLeft << " " << c.upperRight << " / " << c.lowerLeft
                                      << " " << c.lowerRight);
    std::vector<Polyline> expected;
    for (const std::string& s : c.segments) {
      Polyline line;
      line.level = 1;
      for (char where : s) line.points.push_back(squarePoint(where));
      expected.push_back(line);
    }
    const std::vector<Polyline> ours = trace(values, 2, 1.0);
    expectSameLines(ours, expected, 1e-5);
    if (std::all_of(values.begin(), values.end(),
                    [&](float v) { return v != N && std::fabs(v) < 1e30f; })) {
      const std::vector<Polyline> theirs =
          gdalLines(asciiGrid("square", values, 2), 1.0, 2, 2, kUnitTransform);
      expectSameLines(theirs, expected, 1e-5);
    }
  }
}

TEST(ContourSquares, CrossingsAreInterpolatedFromTheRaisedValues) {
  // On an edge from a to b the level lies (level - a') / (b' - a') of the way, a' and b'
  // raised by 1e-6 when within 1e-6 of the level; the same formula written out here.
  struct Case {
    double level, a, b, t;
  };
  for (const Case& c : std::vector<Case>{{1, 0, 4, 0.25},
                                         {3, 0, 3, 3 / 3.000001},
                                         {2, 2.0000005, 0, (2 - 2.0000015) / (0 - 2.0000015)},
                                         {-1.5, -1, -2, 0.5}}) {
    EXPECT_DOUBLE_EQ(crossingFraction(c.level, c.a, c.b), c.t) << c.level << " " << c.a;
  }
  // A line through two squares in a row, at a quarter of the way down.
  const std::vector<Polyline> lines = trace({4, 4, 4, 0, 0, 0}, 3, 3.0);
  ASSERT_EQ(lines.size(), 1u);
  expectSameLines(lines, {{1, false, false, {{0, 0.25}, {1, 0.25}, {2, 0.25}}}}, 1e-12);
}

// The joining: a hill's level closes round it; a slope's lines run from edge to edge;
// no-data cuts a line; several levels and the index contours.
TEST(ContourJoining, LinesCloseOrEndAtTheEdgeOrAtNoData) {
  const float o = 0.5f;
  const float I = 1.5f;
  const float N = -9999.0f;
  struct Case {
    const char* name;
    uint32_t cols;
    double interval;
    std::vector<float> values;
    std::vector<Polyline> expected;
  };
  const std::vector<Case> cases = {
      {"a hill closes",
       3,
       1.0,
       {o, o, o, o, I, o, o, o, o},
       {{1, true, false, {{1, 0.5}, {0.5, 1}, {1, 1.5}, {1.5, 1}}}}},
      {"a slope runs from edge to edge",
       2,
       1.0,
       {o, I, o, I, o, I},
       {{1, false, false, {{0.5, 0}, {0.5, 1}, {0.5, 2}}}}},
      {"no-data in the middle cuts the line in two",
       2,
       1.0,
       {o, I, o, I, N, I, o, I, o, I},
       {{1, false, false, {{0.5, 0}, {0.5, 1}}}, {1, false, false, {{0.5, 3}, {0.5, 4}}}}},
      {"two arms meeting lower down are joined",
       4,
       1.0,
       {o, I, I, o, o, I, I, o, o, o, o, o},
       {{1, false, false, {{0.5, 0}, {0.5, 1}, {1, 1.5}, {2, 1.5}, {2.5, 1}, {2.5, 0}}}}},
      {"a single column has no squares", 1, 1.0, {o, I, o}, {}},
      {"levels of several intervals, every fifth an index",
       2,
       2.0,
       {0, 12, 0, 12},
       {{1, false, false, {{1 / 6.0, 0}, {1 / 6.0, 1}}},
        {2, false, false, {{2 / 6.0, 0}, {2 / 6.0, 1}}},
        {3, false, false, {{3 / 6.0, 0}, {3 / 6.0, 1}}},
        {4, false, false, {{4 / 6.0, 0}, {4 / 6.0, 1}}},
        {5, false, true, {{5 / 6.0, 0}, {5 / 6.0, 1}}},
        // 12 is on level 6, so above it: the line runs just inside the east column.
        {6, false, false, {{12 / 12.000001, 0}, {12 / 12.000001, 1}}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Polyline> lines = trace(c.values, c.cols, c.interval, 5);
    expectSameLines(lines, c.expected, 1e-9);
    for (const Polyline& line : lines) {
      bool listed = false;
      for (const Polyline& e : c.expected)
        listed |= sameLine(line, e, 1e-9) && e.index == line.index;
      EXPECT_TRUE(listed) << describe(line);
    }
  }
}

TEST(ContourPlacement, GridAndMapPlaceCrossingsBetweenTheCellPositions) {
  // The rectangular grid: kept cell (1, 2) of step 3 at X + 6 w, Y - 3 ns.
  GridPlacement grid(200000.0, 100000.0, 8.255, 9.725, 3);
  const ContourPoint east = grid.place({1, 2, false, 0.25});
  EXPECT_DOUBLE_EQ(east.x, 200000.0 + (6 + 0.75) * 8.255);
  EXPECT_DOUBLE_EQ(east.y, 100000.0 - 3 * 9.725);
  const ContourPoint south = grid.place({1, 2, true, 0.5});
  EXPECT_DOUBLE_EQ(south.x, 200000.0 + 6 * 8.255);
  EXPECT_DOUBLE_EQ(south.y, 100000.0 - 4.5 * 9.725);
  // A map system: between the projected centres of the two rows.
  const MapPoint upper[2] = {{10, 20}, {30, 20}};
  const MapPoint lower[2] = {{12, 0}, {32, 0}};
  MapPlacement map;
  map.setRows(5, upper, lower);
  const ContourPoint a = map.place({4, 1, true, 0.25});
  EXPECT_DOUBLE_EQ(a.x, 30.5);
  EXPECT_DOUBLE_EQ(a.y, 15.0);
  const ContourPoint b = map.place({5, 0, false, 0.5});
  EXPECT_DOUBLE_EQ(b.x, 22.0);
  EXPECT_DOUBLE_EQ(b.y, 0.0);
}

// The map placement's straight line between two projected centres against the exact
// projection of the point part of the way along the edge, in a Transverse Mercator zone far
// from its central meridian and a Lambert zone in feet, for kept cells 1 and 10 apart.
TEST(ContourPlacement, MapPlacementIsWithinAThousandthOfTheExactProjection) {
  for (int32_t epsg : {26917, 2274, 26905}) {
    const MapSystem* system = findMapSystem(epsg);
    ASSERT_NE(system, nullptr);
    const ProjectionConstants constants = prepareProjection(*system);
    for (uint32_t step : {1u, 10u}) {
      const double cell = step / 10800.0;
      // Tennessee; for UTM 5N, Alaska at 70 N.
      const double latitude = epsg == 26905 ? 70.0 : 36.9;
      const double longitude = epsg == 26905 ? -150.5 : -84.95;
      MapPoint upper[2];
      MapPoint lower[2];
      projectRow(constants, latitude, longitude, cell, 2, upper);
      projectRow(constants, latitude - cell, longitude, cell, 2, lower);
      MapPlacement map;
      map.setRows(8, upper, lower);
      // The bound of the placement's comment, in the system's unit, and the file's 0.001.
      const double bound = (1.1e-6 * step * step + 1e-8) / metresPerUnit(system->unit);
      ASSERT_LT(bound, 0.001);
      for (double t : {0.1, 0.5, 0.75}) {
        SCOPED_TRACE(::testing::Message() << epsg << " step " << step << " t " << t);
        const ContourPoint east = map.place({7, 0, false, t});
        const MapPoint eastExact = projectPoint(*system, latitude, longitude + t * cell);
        EXPECT_NEAR(east.x, eastExact.easting, bound);
        EXPECT_NEAR(east.y, eastExact.northing, bound);
        const ContourPoint south = map.place({7, 1, true, t});
        const MapPoint southExact = projectPoint(*system, latitude - t * cell, longitude + cell);
        EXPECT_NEAR(south.x, southExact.easting, bound);
        EXPECT_NEAR(south.y, southExact.northing, bound);
      }
    }
  }
}

// Memory: without a spill the open lines are held whole; with one, only their ends (and as
// many vertices as the settings allow), and the lines come out the same. Rows of no-data end every
// line now and then.
TEST(ContourTracer, HoldsOnlyTheEndsOfOpenLinesWithASpill) {
  const uint32_t cols = 64;
  std::vector<float> values;
  const uint32_t rows = 2000;
  for (uint32_t r = 0; r < rows; ++r)
    for (uint32_t c = 0; c < cols; ++c)
      values.push_back(r % 1000 == 500 ? -9999.0f : c % 2 == 0 ? 0.5f : 1.5f);
  GridPlacement placement = cellPlacement();
  Collect whole;
  ContourTracer holding(cols, {1.0, 0, -9999.0f}, placement, whole);
  MemorySpill spill;
  Collect spilled;
  ContourTracer spilling(cols, {1.0, 0, -9999.0f, 0}, placement, spilled, &spill);
  // And with 20000 vertices in memory before the spill takes over.
  MemorySpill budgetSpill;
  Collect budgeted;
  ContourTracer budget(cols, {1.0, 0, -9999.0f, 20000}, placement, budgeted, &budgetSpill);
  for (uint32_t r = 0; r < rows; ++r) {
    ASSERT_TRUE(holding.addRow(&values[r * cols]));
    ASSERT_TRUE(spilling.addRow(&values[r * cols]));
    ASSERT_TRUE(budget.addRow(&values[r * cols]));
  }
  ASSERT_TRUE(holding.finish());
  ASSERT_TRUE(spilling.finish());
  ASSERT_TRUE(budget.finish());
  EXPECT_GT(budget.peakHeldVertices(), 20000u);
  EXPECT_LE(budget.peakHeldVertices(), 20000u + 63u * 2u * 128u);
  EXPECT_GT(budget.spilledVertices(), 0u);
  EXPECT_LT(budget.spilledVertices(), spilling.spilledVertices());
  expectSameLines(budgeted.lines, whole.lines, 0.0);
  // 63 lines between the columns in each of the 3 stretches between no-data rows.
  EXPECT_EQ(whole.lines.size(), 63u * 3u);
  EXPECT_EQ(holding.peakOpenLines(), 63u);
  EXPECT_GE(holding.peakHeldVertices(), 63u * 999u);
  EXPECT_LE(spilling.peakHeldVertices(), 63u * 2u * 128u);
  EXPECT_GT(spill.reads, 0);
  expectSameLines(spilled.lines, whole.lines, 0.0);
}

// A spill that can keep no more (a full disk) stops the tracing: no line is handed on
// short of its vertices.
TEST(ContourTracer, FailingSpillStopsTheTracing) {
  struct FullSpill : MemorySpill {
    bool put(const ContourPoint* points, size_t count, uint64_t* where) override {
      return kept.size() + count <= 1000 && MemorySpill::put(points, count, where);
    }
  };
  const uint32_t cols = 16;
  GridPlacement placement = cellPlacement();
  FullSpill spill;
  Collect collect;
  ContourTracer tracer(cols, {1.0, 0, -9999.0f, 0}, placement, collect, &spill);
  std::vector<float> row(cols);
  for (uint32_t c = 0; c < cols; ++c) row[c] = c % 2 == 0 ? 0.5f : 1.5f;
  bool going = true;
  uint32_t rows = 0;
  for (; rows < 1000 && going; ++rows) going = tracer.addRow(row.data());
  EXPECT_FALSE(going);
  EXPECT_LT(rows, 1000u);
  EXPECT_FALSE(tracer.finish());
  EXPECT_FALSE(tracer.addRow(row.data()));
}

// A block of the demo tile, level by level: the same lines as gdal_contour's on the same
// cells, in the same order up to direction, none missing or extra.
TEST(ContourGdal, BlockOfTheDemoTileGivesGdalContoursLines) {
  const std::string tiff = testing::demoGeoTiff();
  ASSERT_FALSE(tiff.empty());
  struct Block {
    int col, row, width, height;
    double interval;
  };
  uint64_t mostSpilled = 0;
  for (const Block& b : std::vector<Block>{
           {4000, 5200, 240, 180, 1.0}, {2000, 1000, 150, 200, 0.5}, {7000, 7000, 120, 120, 5.0}}) {
    SCOPED_TRACE(::testing::Message() << b.col << " " << b.row << " at " << b.interval);
    const std::string cut = scratchFolder() + "/block.tif";
    const std::string raster = scratchFolder() + "/block.flt";
    ASSERT_TRUE(
        runGdal({"gdal_translate", "-q", "-srcwin", std::to_string(b.col), std::to_string(b.row),
                 std::to_string(b.width), std::to_string(b.height), tiff, cut}));
    ASSERT_TRUE(testing::gdalGridFloat(cut, raster));
    testing::GdalInfo info;
    ASSERT_TRUE(testing::gdalInfo(cut, info));
    std::ifstream in(raster, std::ios::binary);
    std::vector<float> values(static_cast<size_t>(b.width) * b.height);
    in.read(reinterpret_cast<char*>(values.data()),
            static_cast<std::streamsize>(values.size() * sizeof(float)));
    ASSERT_TRUE(in.good());
    const std::vector<Polyline> ours = trace(values, static_cast<uint32_t>(b.width), b.interval);
    // The same through a spill file, its buffer of 1 MiB flushed now and then.
    const std::string spillPath = scratchFolder() + "/block.spill";
    std::remove(spillPath.c_str());
    std::unique_ptr<OpenFile> file = posixFileSystem().open(spillPath, OpenMode::createNew);
    std::unique_ptr<OpenFile> reader = posixFileSystem().open(spillPath, OpenMode::read);
    ASSERT_NE(file, nullptr);
    ASSERT_NE(reader, nullptr);
    FileSpill spill(*file, *reader);
    const std::vector<Polyline> spilled =
        trace(values, static_cast<uint32_t>(b.width), b.interval, 0, &spill);
    mostSpilled = std::max(mostSpilled, spill.pointsKept());
    const std::vector<Polyline> theirs =
        gdalLines(cut, b.interval, b.width, b.height, info.transform);
    ASSERT_GT(theirs.size(), 20u);
    // 0.001 of the unit on cells of about 10 m: 1e-4 of a cell.
    expectSameLines(ours, theirs, 1e-4);
    expectSameLines(spilled, ours, 0.0);
  }
  // More than the spill's buffer of 65536 points: some were read back from the file.
  EXPECT_GT(mostSpilled, 65536u);
}

}  // namespace
}  // namespace ned
