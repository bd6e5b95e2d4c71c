#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/export/tin.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

struct Grid {
  int32_t cols = 0;
  int32_t rows = 0;
  std::vector<int32_t> cells;  // thousandths
  int32_t at(int64_t col, int64_t row) const { return cells[row * cols + col]; }
};

bool hasData(int32_t value) {
  return value != kTinNoData;
}

// Twice the signed area in map coordinates (X east = column, Y north = -row).
int64_t mapArea(const TinVertex& a, const TinVertex& b, const TinVertex& c) {
  return int64_t(b.col - a.col) * -(c.row - a.row) - int64_t(-(b.row - a.row)) * (c.col - a.col);
}

// Positive when d lies strictly inside the circle through the map-counter-clockwise a, b, c.
int64_t inCircle(const TinVertex& a, const TinVertex& b, const TinVertex& c, int64_t dx,
                 int64_t dy) {
  const int64_t ax = a.col - dx, ay = -a.row - dy, bx = b.col - dx, by = -b.row - dy;
  const int64_t cx = c.col - dx, cy = -c.row - dy;
  return (ax * ax + ay * ay) * (bx * cy - cx * by) - (bx * bx + by * by) * (ax * cy - cx * ay) +
         (cx * cx + cy * cy) * (ax * by - bx * ay);
}

// The independent check of a surface: faces counter-clockwise and not degenerate, each
// directed edge once, no face over a cell without data, each data cell a vertex or covered,
// inside at most one face, within the tolerance of every face that covers it; no vertex
// strictly inside a face's circumcircle. Returns the largest error found.
double checkSurface(const Grid& grid, const TinSurface& surface, int64_t tolerance) {
  const auto& v = surface.vertices;
  std::vector<int32_t> vertexAt(size_t(grid.cols) * grid.rows, -1);
  for (size_t i = 0; i < v.size(); ++i) {
    EXPECT_TRUE(v[i].col >= 0 && v[i].col < grid.cols && v[i].row >= 0 && v[i].row < grid.rows);
    EXPECT_TRUE(hasData(grid.at(v[i].col, v[i].row)));
    EXPECT_EQ(v[i].elevation, grid.at(v[i].col, v[i].row));
    int32_t& slot = vertexAt[size_t(v[i].row) * grid.cols + v[i].col];
    EXPECT_EQ(slot, -1) << "two vertices at one cell";
    slot = int32_t(i);
  }
  std::vector<int32_t> inside(vertexAt.size(), 0), touched(vertexAt.size(), 0);
  std::map<std::pair<int32_t, int32_t>, int> edges;
  double worst = 0.0;
  int delaunayFaults = 0;
  for (const TinFace& f : surface.faces) {
    const int32_t ids[3] = {f.a, f.b, f.c};
    for (int32_t id : ids) EXPECT_TRUE(id >= 0 && size_t(id) < v.size());
    const TinVertex &a = v[f.a], &b = v[f.b], &c = v[f.c];
    const int64_t area = mapArea(a, b, c);
    EXPECT_GT(area, 0) << "flipped or degenerate face";
    if (area <= 0) continue;
    for (int k = 0; k < 3; ++k) {
      const std::pair<int32_t, int32_t> edge(ids[k], ids[(k + 1) % 3]);
      EXPECT_EQ(++edges[edge], 1) << "an edge twice in one direction";
    }
    const int32_t minCol = std::min({a.col, b.col, c.col}),
                  maxCol = std::max({a.col, b.col, c.col});
    const int32_t minRow = std::min({a.row, b.row, c.row}),
                  maxRow = std::max({a.row, b.row, c.row});
    for (int32_t row = minRow; row <= maxRow; ++row) {
      for (int32_t col = minCol; col <= maxCol; ++col) {
        const TinVertex p{row, col, 0};
        const int64_t wa = mapArea(p, b, c), wb = mapArea(a, p, c), wc = mapArea(a, b, p);
        if (wa < 0 || wb < 0 || wc < 0) continue;
        const size_t index = size_t(row) * grid.cols + col;
        const int32_t z = grid.at(col, row);
        EXPECT_TRUE(hasData(z)) << "a face covers the no-data cell " << col << "," << row;
        if (!hasData(z)) continue;
        ++touched[index];
        if (wa > 0 && wb > 0 && wc > 0) ++inside[index];
        const long double surfaceZ =
            (wa * (long double)a.elevation + wb * (long double)b.elevation +
             wc * (long double)c.elevation) /
            area;
        worst = std::max(worst, double(std::fabs((long double)z - surfaceZ)));
      }
    }
    // Delaunay: no vertex strictly inside the circumcircle (cocircular ones allowed).
    for (const TinVertex& d : v) {
      if (inCircle(a, b, c, d.col, -d.row) > 0) ++delaunayFaults;
    }
  }
  EXPECT_EQ(delaunayFaults, 0);
  int gaps = 0, overlaps = 0;
  for (size_t i = 0; i < vertexAt.size(); ++i) {
    if (!hasData(grid.cells[i])) continue;
    if (vertexAt[i] >= 0) {
      EXPECT_EQ(inside[i], 0) << "a vertex inside a face";
      continue;
    }
    if (touched[i] == 0) ++gaps;
    if (inside[i] > 1 || (inside[i] == 1 && touched[i] > 1)) ++overlaps;
  }
  EXPECT_EQ(gaps, 0) << "data cells in no face";
  EXPECT_EQ(overlaps, 0) << "data cells in more than one face";
  EXPECT_LE(worst, double(tolerance));
  return worst;
}

int64_t doubledArea(const TinSurface& surface) {
  int64_t sum = 0;
  for (const TinFace& f : surface.faces) {
    sum += mapArea(surface.vertices[f.a], surface.vertices[f.b], surface.vertices[f.c]);
  }
  return sum;
}

// Heights in metres, held as thousandths.
Grid makeGrid(int32_t cols, int32_t rows, float (*height)(int32_t, int32_t)) {
  Grid grid{cols, rows, {}};
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t col = 0; col < cols; ++col)
      grid.cells.push_back(int32_t(std::lrint(height(col, row) * 1000.0)));
  }
  return grid;
}

// A bumpy surface whose values differ from cell to cell, with flat spots and ridges, so
// that insertions fall inside faces and on their edges.
float bumps(int32_t col, int32_t row) {
  uint32_t h = uint32_t(col) * 2654435761u ^ uint32_t(row) * 40503u;
  h ^= h >> 13;
  return float(std::round(4.0 * std::sin(col * 0.37) * std::cos(row * 0.23)) + (h % 3) * 0.25);
}

TEST(Tin, TinyGridsGiveTheExpectedFaces) {
  struct Case {
    const char* name;
    int32_t cols, rows;
    float (*height)(int32_t, int32_t);
    int64_t tolerance;  // thousandths
    size_t vertices, faces;
  };
  const Case cases[] = {
      {"plane", 9, 7, [](int32_t c, int32_t r) { return 2.0f * c - 3.0f * r + 5.0f; }, 1, 4, 2},
      // A square pyramid: its four sides are the four faces from its top to the corners.
      {"single peak", 9, 9,
       [](int32_t c, int32_t r) {
         return 10.0f - 2.5f * float(std::max(std::abs(c - 4), std::abs(r - 4)));
       },
       1, 5, 4},
      // The centre cell lies 1 above the corners' plane: at 1 the surface keeps two faces,
      // just below it the cell is inserted.
      {"at its limit", 3, 3, [](int32_t c, int32_t r) { return c == 1 && r == 1 ? 1.0f : 0.0f; },
       1000, 4, 2},
      {"below its limit", 3, 3, [](int32_t c, int32_t r) { return c == 1 && r == 1 ? 1.0f : 0.0f; },
       999, 5, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Grid grid = makeGrid(c.cols, c.rows, c.height);
    TinSurface surface;
    ASSERT_EQ(buildTin(grid.cells.data(), c.cols, c.rows, c.tolerance, &surface), TinResult::Built);
    EXPECT_EQ(surface.vertices.size(), c.vertices);
    EXPECT_EQ(surface.faces.size(), c.faces);
    checkSurface(grid, surface, c.tolerance);
    EXPECT_EQ(doubledArea(surface), 2 * int64_t(c.cols - 1) * (c.rows - 1));
  }
}

// Two cells 1 m above a tilted plane, one above the other: the first in the order of the
// cells goes in, and the second and every other cell then lie within 0.995 m. A plane rising to the north
// gives the later cell the larger bound, so that it is found first.
TEST(Tin, TheFirstOfEqualErrorsGoesIn) {
  for (const int32_t rise : {10, -10}) {
    SCOPED_TRACE(rise);
    Grid grid{80, 80, {}};
    for (int32_t row = 0; row < 80; ++row) {
      for (int32_t col = 0; col < 80; ++col) {
        const bool spike = col == 10 && (row == 31 || row == 32);
        grid.cells.push_back(rise * row + (spike ? 1000 : 0) + 100000);
      }
    }
    TinSurface surface;
    ASSERT_EQ(buildTin(grid.cells.data(), 80, 80, 995, &surface), TinResult::Built);
    ASSERT_EQ(surface.vertices.size(), 5u);
    EXPECT_EQ(surface.vertices[1].row, 0);  // in the order of their cells
    EXPECT_EQ(surface.vertices[2].row, 31);
    EXPECT_EQ(surface.vertices[2].col, 10);
    checkSurface(grid, surface, 995);
  }
}

TEST(Tin, HolesAreLeftOpenAndTheirEdgesKeptWithinTheTolerance) {
  struct Case {
    const char* name;
    bool (*noData)(int32_t, int32_t);
  };
  const Case cases[] = {
      {"inner hole", [](int32_t c, int32_t r) { return c >= 8 && c < 12 && r >= 5 && r < 8; }},
      {"one cell", [](int32_t c, int32_t r) { return c == 10 && r == 10; }},
      {"corners", [](int32_t c, int32_t r) { return (c < 3 && r < 2) || (c == 29 && r == 24); }},
      {"scattered", [](int32_t c, int32_t r) { return (c * 7 + r * 13) % 17 == 0; }},
      {"lone data cells",
       [](int32_t c, int32_t r) { return !(c > 20 || (c % 4 == 1 && r % 4 == 1)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Grid grid = makeGrid(30, 25, bumps);
    for (int32_t row = 0; row < grid.rows; ++row) {
      for (int32_t col = 0; col < grid.cols; ++col) {
        if (c.noData(col, row)) grid.cells[size_t(row) * grid.cols + col] = kTinNoData;
      }
    }
    for (int64_t tolerance : {300, 1500}) {
      TinSurface surface;
      ASSERT_EQ(buildTin(grid.cells.data(), grid.cols, grid.rows, tolerance, &surface),
                TinResult::Built);
      checkSurface(grid, surface, tolerance);
    }
  }
}

// Gentle ground with bumps in its north-west and a hole in its south-east, so that large
// triangles, measured page by page and tile by tile, remain next to small ones.
Grid gentleGround() {
  Grid grid = makeGrid(200, 180, [](int32_t c, int32_t r) {
    const float swell = 30.0f * std::sin(c * 0.011f) * std::cos(r * 0.017f) + 0.04f * float(c);
    return c < 60 && r < 50 ? swell + bumps(c, r) : swell;
  });
  for (int32_t row = 150; row < 156; ++row) {
    for (int32_t col = 170; col < 173; ++col)
      grid.cells[size_t(row) * grid.cols + col] = kTinNoData;
  }
  return grid;
}

TEST(Tin, BumpyBlocksStayDelaunayAndWithinTheTolerance) {
  struct Case {
    Grid grid;
    std::vector<int64_t> tolerances;
  };
  const Case cases[] = {{makeGrid(41, 33, bumps), {0, 10, 300, 1000, 3000}},
                        {gentleGround(), {700, 4000}}};
  for (const Case& c : cases) {
    for (int64_t tolerance : c.tolerances) {
      SCOPED_TRACE(std::to_string(c.grid.cols) + " cells across at " + std::to_string(tolerance));
      TinSurface surface;
      ASSERT_EQ(buildTin(c.grid.cells.data(), c.grid.cols, c.grid.rows, tolerance, &surface),
                TinResult::Built);
      // The largest error the surface reports is its faces' own, each rounded up to a float.
      const double worst = checkSurface(c.grid, surface, tolerance);
      EXPECT_LE(worst, surface.maxError);
      EXPECT_GE(worst * (1 + 1e-6), surface.maxError);
      if (c.grid.cols == 41) {
        EXPECT_EQ(doubledArea(surface), 2 * int64_t(c.grid.cols - 1) * (c.grid.rows - 1));
      }
    }
  }
}

TEST(Tin, TiledCellsHoldEachCellApart) {
  // The tiles and pages change shape at 256 cells across and high.
  const std::pair<int32_t, int32_t> shapes[] = {{2, 2}, {5, 7}, {300, 33}, {33, 300}, {257, 259}};
  for (const auto& [cols, rows] : shapes) {
    SCOPED_TRACE(std::to_string(cols) + " x " + std::to_string(rows));
    TinCells cells;
    ASSERT_TRUE(cells.allocate(cols, rows));
    for (int32_t row = 0; row < rows; ++row) {
      for (int32_t col = 0; col < cols; ++col) cells.set(col, row, row * cols + col);
    }
    int64_t misplaced = 0, scattered = 0;
    for (int32_t row = 0; row < rows; ++row) {
      const int32_t* start = cells.row(row);
      for (int32_t col = 0; col < cols; ++col) {
        misplaced += cells.at(col, row) != row * cols + col;
        // Four columns from a multiple of 4 lie side by side on a 16-byte boundary.
        const int32_t* cell = start + cells.columnOffsets()[col];
        const int32_t* group = start + cells.columnOffsets()[col & ~3];
        scattered += cell != group + (col & 3) || reinterpret_cast<uintptr_t>(group) % 16 != 0;
      }
    }
    EXPECT_EQ(misplaced, 0);
    EXPECT_EQ(scattered, 0);
    cells.keepRows(rows + 1);
    EXPECT_EQ(cells.rows(), rows);
    cells.keepRows(1);
    EXPECT_EQ(cells.rows(), 1);
  }
  TinCells tooLarge;
  EXPECT_FALSE(tooLarge.allocate(6001, 6000));
  EXPECT_EQ(tooLarge.cols(), 0);
}

TEST(Tin, RefusesWhatMakesNoSurface) {
  TinSurface surface;
  surface.faces.push_back(TinFace{});
  const std::vector<int32_t> empty(12, kTinNoData);
  EXPECT_EQ(buildTin(empty.data(), 4, 3, 100, &surface), TinResult::NoData);
  EXPECT_TRUE(surface.faces.empty() && surface.vertices.empty());
  const std::vector<int32_t> line = {1000, kTinNoData, 3000};
  EXPECT_EQ(buildTin(line.data(), 3, 1, 100, &surface), TinResult::NoFace);
  EXPECT_EQ(surface.vertices.size(), 2u);
  const std::vector<int32_t> plane(12, 1000);
  for (int64_t tolerance : {INT64_C(-1), kMaxTinTolerance + 1}) {
    EXPECT_EQ(buildTin(plane.data(), 4, 3, tolerance, &surface), TinResult::BadTolerance);
  }
  EXPECT_TRUE(tinBlockFits(6000, 6000));
  EXPECT_TRUE(tinBlockFits(1, kMaxTinCells));
  EXPECT_FALSE(tinBlockFits(6001, 6000));
  EXPECT_FALSE(tinBlockFits(0, 5));
  EXPECT_FALSE(tinBlockFits(INT64_C(1) << 32, INT64_C(1) << 32));
  EXPECT_EQ(buildTin(plane.data(), 6001, 6000, 100, &surface), TinResult::TooLarge);
}

// delatin, the JavaScript port of the original greedy insertion, on the same cells (in
// metres).
std::pair<size_t, double> delatinCount(const Grid& grid, double tolerance) {
  testing::TempDir dir;
  const std::string cells = dir.file("cells.raw");
  {
    std::vector<float> metres;
    for (int32_t z : grid.cells) metres.push_back(float(z / 1000.0));
    std::ofstream out(cells, std::ios::binary);
    out.write(reinterpret_cast<const char*>(metres.data()),
              std::streamsize(metres.size() * sizeof(float)));
  }
  const std::string command =
      "node " + testing::projectFile("tests/support/delatin_count.mjs") + " " +
      testing::projectFile("build/npm/node_modules/delatin/index.js") + " " + cells + " " +
      std::to_string(grid.cols) + " " + std::to_string(grid.rows) + " " + std::to_string(tolerance);
  FILE* pipe = popen(command.c_str(), "r");
  size_t triangles = 0;
  double maxError = -1.0;
  if (pipe) {
    if (std::fscanf(pipe, "%zu %lf", &triangles, &maxError) != 2) triangles = 0;
    pclose(pipe);
  }
  return {triangles, maxError};
}

// size x size cells of the demo tile from row and column 4728, in thousandths.
Grid demoBlock(int32_t size) {
  const std::string raster = testing::projectFile("build/demo/n37w085.flt");
  std::ifstream in(raster, std::ios::binary);
  EXPECT_TRUE(in) << raster << " is missing: run scripts/make-demo-tiles.sh";
  const int64_t tileCols = 10812, first = 4728;
  std::vector<float> metres(size_t(size) * size);
  for (int32_t row = 0; row < size; ++row) {
    in.seekg(((first + row) * tileCols + first) * 4);
    in.read(reinterpret_cast<char*>(&metres[size_t(row) * size]), size * 4);
  }
  EXPECT_TRUE(in);
  Grid grid{size, size, {}};
  for (float z : metres) grid.cells.push_back(int32_t(std::lrint(z * 1000.0)));
  return grid;
}

// The point and face counts the README gives for the demo tile.
TEST(Tin, DemoCountsAreTheReadmes) {
  std::ifstream in(testing::projectFile("README.md"));
  std::string line;
  std::vector<std::string> table;
  while (std::getline(in, line)) {
    if (line.find("600 x 600 cells of the demo tile") != std::string::npos) table.push_back(line);
    if (!table.empty() && table.size() < 4 && line.rfind("| p", 0) == 0) table.push_back(line);
    if (!table.empty() && table.size() < 4 && line.rfind("| f", 0) == 0) table.push_back(line);
  }
  ASSERT_EQ(table.size(), 3u) << "the README's table of surface counts";
  // The numbers of a table line, in order, with their thousands separators left out.
  const auto numbers = [](const std::string& text) {
    std::vector<double> values;
    for (size_t i = 0; i < text.size();) {
      if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
        continue;
      }
      std::string digits;
      for (; i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) ||
                                 text[i] == ',' || text[i] == '.');
           ++i) {
        if (text[i] != ',') digits += text[i];
      }
      values.push_back(std::stod(digits));
    }
    return values;
  };
  std::vector<double> tolerances = numbers(table[0].substr(table[0].find("tolerance")));
  const std::vector<double> points = numbers(table[1]), faces = numbers(table[2]);
  ASSERT_EQ(tolerances.size(), 4u);
  ASSERT_EQ(points.size(), 4u);
  ASSERT_EQ(faces.size(), 4u);
  const Grid grid = demoBlock(600);
  for (size_t k = 0; k < tolerances.size(); ++k) {
    SCOPED_TRACE(tolerances[k]);
    TinSurface surface;
    ASSERT_EQ(buildTin(grid.cells.data(), grid.cols, grid.rows,
                       int64_t(std::lrint(tolerances[k] * 1000)), &surface),
              TinResult::Built);
    EXPECT_EQ(double(surface.vertices.size()), points[k]);
    EXPECT_EQ(double(surface.faces.size()), faces[k]);
  }
}

TEST(Tin, DemoBlockIsNoLargerThanDelatinsAtTheSameError) {
  const Grid grid = demoBlock(300);
  for (int64_t thousandths : {500, 2000}) {
    const double tolerance = thousandths / 1000.0;
    SCOPED_TRACE(tolerance);
    TinSurface surface;
    ASSERT_EQ(buildTin(grid.cells.data(), grid.cols, grid.rows, thousandths, &surface),
              TinResult::Built);
    checkSurface(grid, surface, thousandths);
    const auto [triangles, maxError] = delatinCount(grid, tolerance);
    ASSERT_GT(triangles, 0u) << "delatin did not run: npm install --prefix build/npm delatin";
    EXPECT_LE(maxError, tolerance);
    EXPECT_LE(double(surface.faces.size()), 1.02 * double(triangles));
  }
}

}  // namespace
}  // namespace ned
