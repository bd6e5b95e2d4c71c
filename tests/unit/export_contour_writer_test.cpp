// The contour drawing as both programs write it: blocks of the demo tile (and one across
// the corner of four tiles) whose written polylines are gdal_contour's on the same cells,
// placed through the positions of the rectangular point file written with the same
// settings; the count message, the empty drawing, a failed write and too many levels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/export/contour_writer.h"
#include "core/export/point_writer.h"
#include "core/export/selection.h"
#include "core/posix_file_system.h"
#include "tests/support/demo_request.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

struct Polyline {
  std::string layer;
  double elevation = 0.0;
  bool closed = false;
  std::vector<ContourPoint> points;
};

struct Drawing {
  bool complete = false;   // ends with EOF
  double extents[4] = {};  // min x, min y, max x, max y
  std::vector<Polyline> lines;
};

// The polylines of an R12 drawing, read group by group.
Drawing readDrawing(const std::string& path) {
  Drawing drawing;
  std::istringstream in(testing::readFile(path));
  std::string code;
  std::string value;
  std::string header;
  bool inPolyline = false;
  bool inVertex = false;
  while (std::getline(in, code) && std::getline(in, value)) {
    if (!value.empty() && value.back() == '\r') value.pop_back();
    const int group = std::atoi(code.c_str());
    const double number = std::atof(value.c_str());
    if (group == 9) header = value;
    if (group == 0) {
      inVertex = value == "VERTEX";
      if (value == "POLYLINE") drawing.lines.emplace_back();
      inPolyline = value == "POLYLINE";
      if (value == "EOF") drawing.complete = true;
      header.clear();
    } else if (group == 10 && header == "$EXTMIN") {
      drawing.extents[0] = number;
    } else if (group == 20 && header == "$EXTMIN") {
      drawing.extents[1] = number;
    } else if (group == 10 && header == "$EXTMAX") {
      drawing.extents[2] = number;
    } else if (group == 20 && header == "$EXTMAX") {
      drawing.extents[3] = number;
    } else if (inPolyline && group == 8) {
      drawing.lines.back().layer = value;
    } else if (inPolyline && group == 30) {
      drawing.lines.back().elevation = number;
    } else if (inPolyline && group == 70) {
      drawing.lines.back().closed = (std::atoi(value.c_str()) & 1) != 0;
    } else if (inVertex && group == 10) {
      drawing.lines.back().points.push_back({number, 0.0});
    } else if (inVertex && group == 20) {
      drawing.lines.back().points.back().y = number;
    }
  }
  return drawing;
}

// The X and Y of every kept cell, from a rectangular point file ("X, Y, Z" lines).
struct CellPositions {
  uint32_t cols = 0;
  std::vector<ContourPoint> cells;
  const ContourPoint& at(uint32_t row, uint32_t col) const { return cells[row * cols + col]; }
};
CellPositions readPositions(const std::string& path, uint32_t cols) {
  CellPositions positions;
  positions.cols = cols;
  std::istringstream in(testing::readFile(path));
  std::string line;
  while (std::getline(in, line)) {
    ContourPoint p;
    if (std::sscanf(line.c_str(), "%lf, %lf,", &p.x, &p.y) == 2) positions.cells.push_back(p);
  }
  return positions;
}

// A point in cell coordinates (x the kept column, y the kept row) on an edge between two
// kept centres, placed at the same fraction between their positions.
ContourPoint place(const CellPositions& positions, double x, double y) {
  const double col = std::floor(x + 1e-9);
  const double row = std::floor(y + 1e-9);
  const auto c = static_cast<uint32_t>(col);
  const auto r = static_cast<uint32_t>(row);
  const ContourPoint& a = positions.at(r, c);
  if (x - col > 1e-9) {
    const ContourPoint& b = positions.at(r, c + 1);
    return {a.x + (x - col) * (b.x - a.x), a.y + (x - col) * (b.y - a.y)};
  }
  if (y - row > 1e-9) {
    const ContourPoint& b = positions.at(r + 1, c);
    return {a.x + (y - row) * (b.x - a.x), a.y + (y - row) * (b.y - a.y)};
  }
  return a;
}

// gdal_contour's lines of kept values (rows x cols, in the output's unit) laid out as a
// raster of unit cells, cut at the outermost centres as ours end there, and placed.
std::vector<Polyline> gdalLines(const testing::TempDir& dir, const std::vector<float>& values,
                                uint32_t rows, uint32_t cols, double interval,
                                const CellPositions& positions) {
  std::string bytes(values.size() * 4, '\0');
  std::memcpy(&bytes[0], values.data(), bytes.size());  // little-endian, as EHdr's LSBFIRST
  testing::writeFile(dir.file("kept.flt"), bytes);
  std::ostringstream header;
  header << "ncols " << cols << "\nnrows " << rows << "\nxllcorner 0\nyllcorner -" << rows
         << "\ncellsize 1\nNODATA_value -9999\nbyteorder LSBFIRST\n";
  testing::writeFile(dir.file("kept.hdr"), header.str());
  const std::string csv = dir.file("kept.csv");
  std::remove(csv.c_str());
  char intervalText[32];
  std::snprintf(intervalText, sizeof intervalText, "%.17g", interval);
  EXPECT_TRUE(testing::runGdal({"gdal_contour", "-q", "-i", intervalText, "-a", "elev", "-f", "CSV",
                                "-lco", "GEOMETRY=AS_WKT", dir.file("kept.flt"), csv}));
  std::ifstream in(csv);
  std::string line;
  std::getline(in, line);  // WKT,ID,elev
  std::vector<Polyline> lines;
  while (std::getline(in, line)) {
    const size_t open = line.find('(');
    const size_t close = line.find(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    Polyline polyline;
    polyline.elevation = std::atof(line.c_str() + line.rfind(',') + 1);
    std::istringstream points(line.substr(open + 1, close - open - 1));
    std::string pair;
    std::vector<ContourPoint> cellPoints;
    while (std::getline(points, pair, ',')) {
      double x = 0.0;
      double y = 0.0;
      std::sscanf(pair.c_str(), "%lf %lf", &x, &y);
      x -= 0.5;
      y = -y - 0.5;
      const double e = 1e-9;
      if (x < -e || y < -e || x > cols - 1 + e || y > rows - 1 + e) continue;
      cellPoints.push_back({std::fmax(x, 0.0), std::fmax(y, 0.0)});
    }
    if (cellPoints.size() > 2 && std::fabs(cellPoints.front().x - cellPoints.back().x) < 1e-9 &&
        std::fabs(cellPoints.front().y - cellPoints.back().y) < 1e-9) {
      polyline.closed = true;
      cellPoints.pop_back();
    }
    if (cellPoints.size() < 2) continue;
    for (const ContourPoint& p : cellPoints) polyline.points.push_back(place(positions, p.x, p.y));
    lines.push_back(polyline);
  }
  return lines;
}

bool near(const ContourPoint& a, const ContourPoint& b, double tolerance) {
  return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance;
}

// The same vertices in the same order, up to direction and, when closed, where it starts.
bool sameLine(const Polyline& a, const Polyline& b, double tolerance) {
  if (std::fabs(a.elevation - b.elevation) > 1e-6 || a.closed != b.closed ||
      a.points.size() != b.points.size())
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

std::vector<float> gdalBlock(const testing::TempDir& dir, bool mosaic, const Selection& block) {
  std::string source = testing::demoGeoTiff();
  if (mosaic) {
    source = dir.file("four.vrt");
    std::vector<std::string> build = {"gdalbuildvrt", "-q", source};
    for (const char* tile : testing::kDemoTiles) build.push_back(testing::demoFile(tile) + ".flt");
    EXPECT_TRUE(testing::runGdal(build));
  }
  EXPECT_TRUE(testing::runGdal({"gdal_translate", "-q", "-ot", "Float32", "-srcwin",
                                std::to_string(block.startCol), std::to_string(block.startRow),
                                std::to_string(block.cols), std::to_string(block.rows), source,
                                dir.file("cut.tif")}));
  EXPECT_TRUE(testing::gdalGridFloat(dir.file("cut.tif"), dir.file("cut.flt")));
  const std::string bytes = testing::readFile(dir.file("cut.flt"));
  std::vector<float> values(bytes.size() / 4);
  std::memcpy(values.data(), bytes.data(), values.size() * 4);
  return values;
}

WriteOutcome writeWith(testing::ScriptedDesktop& desktop, Program program,
                       const WriteRequest& request, const std::string& path) {
  desktop.chooseFile(path);
  return writePoints(desktop, program, request);
}

TEST(ContourWriter, DrawingHoldsGdalContoursLinesWhereThePointsLie) {
  ASSERT_FALSE(testing::demoGeoTiff().empty());
  struct Case {
    const char* name;
    Program program;
    Selection block;
    int32_t system;
    bool feet;
    double interval;
    uint32_t indexEvery;
    bool mosaic;
  };
  for (const Case& c : std::vector<Case>{{"Tennessee ftUS at 2 ft",
                                          Program::viewer,
                                          {5200, 4000, 90, 120, 0, 1},
                                          2274,
                                          true,
                                          2.0,
                                          5,
                                          false},
                                         {"local grid in metres, thinned",
                                          Program::extractor,
                                          {1000, 2000, 160, 150, 1, 2},
                                          0,
                                          false,
                                          1.0,
                                          4,
                                          false},
                                         {"local grid in feet across the corner",
                                          Program::extractor,
                                          {10770, 10760, 60, 70, 0, 1},
                                          0,
                                          true,
                                          2.0,
                                          5,
                                          true}}) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    WriteRequest request = testing::demoRequest(c.mosaic);
    request.selection = c.block;
    request.coordinateSystem = c.system;
    request.toFeet = c.feet;
    request.contourInterval = c.interval;
    request.indexEvery = c.indexEvery;
    request.kind = OutputKind::RectangularXyz;
    testing::ScriptedDesktop pointsDesktop;
    ASSERT_EQ(writeWith(pointsDesktop, c.program, request, dir.file("points.csv")),
              WriteOutcome::written);
    request.kind = OutputKind::DxfContours;
    testing::ScriptedDesktop desktop;
    ASSERT_EQ(writeWith(desktop, c.program, request, dir.file("lines.dxf")), WriteOutcome::written);

    const uint32_t rows = keptCount(c.block.rows, c.block.step);
    const uint32_t cols = keptCount(c.block.cols, c.block.step);
    const CellPositions positions = readPositions(dir.file("points.csv"), cols);
    ASSERT_EQ(positions.cells.size(), size_t(rows) * cols);
    // The kept cells in the output's unit, as the writer converts them.
    GroundSpacing spacing;
    ASSERT_TRUE(lookupGroundSpacing(desktop, northEdgeLat(request.header), &spacing));
    const long double factor = planWrite(request, c.program, spacing).feetPerMetre;
    const std::vector<float> cells = gdalBlock(dir, c.mosaic, c.block);
    ASSERT_EQ(cells.size(), size_t(c.block.rows) * c.block.cols);
    std::vector<float> kept;
    for (uint32_t r = 0; r < c.block.rows; r += c.block.step)
      for (uint32_t k = 0; k < c.block.cols; k += c.block.step) {
        const float z = cells[size_t(r) * c.block.cols + k];
        ASSERT_NE(z, -9999.0f);
        kept.push_back(factor == 0.0L ? z : static_cast<float>(z * factor));
      }
    const std::vector<Polyline> theirs = gdalLines(dir, kept, rows, cols, c.interval, positions);
    ASSERT_GT(theirs.size(), 20u);

    const Drawing drawing = readDrawing(dir.file("lines.dxf"));
    ASSERT_TRUE(drawing.complete);
    EXPECT_EQ(
        desktop.messageTexts(),
        std::vector<std::string>{std::to_string(drawing.lines.size()) + " contour lines written."});
    // Three decimals and the placement between centres: within 0.001 and a half.
    std::vector<bool> used(theirs.size(), false);
    size_t unmatched = 0;
    for (const Polyline& line : drawing.lines) {
      const long level = std::lround(line.elevation / c.interval);
      EXPECT_EQ(line.layer, level % c.indexEvery == 0 ? "C-TOPO-MAJR" : "C-TOPO-MINR");
      for (const ContourPoint& p : line.points) {
        EXPECT_TRUE(p.x >= drawing.extents[0] && p.x <= drawing.extents[2] &&
                    p.y >= drawing.extents[1] && p.y <= drawing.extents[3])
            << p.x << " " << p.y;
      }
      bool found = false;
      for (size_t i = 0; i < theirs.size() && !found; ++i)
        if (!used[i] && sameLine(line, theirs[i], 0.0015)) found = used[i] = true;
      if (!found && ++unmatched <= 3) ADD_FAILURE() << "ours only at " << line.elevation;
    }
    EXPECT_EQ(unmatched, 0u);
    EXPECT_EQ(drawing.lines.size(), theirs.size());
    // The extents are the box of the kept cells' positions.
    double box[4] = {1e300, 1e300, -1e300, -1e300};
    for (const ContourPoint& p : positions.cells) {
      box[0] = std::fmin(box[0], p.x);
      box[1] = std::fmin(box[1], p.y);
      box[2] = std::fmax(box[2], p.x);
      box[3] = std::fmax(box[3], p.y);
    }
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(drawing.extents[k], box[k], 0.0015) << k;
  }
}

TEST(ContourWriter, ABlockWithoutALevelWritesAnEmptyDrawing) {
  testing::TempDir dir;
  WriteRequest request = testing::demoRequest(false);
  request.selection = {5200, 4000, 3, 3, 0, 1};
  request.kind = OutputKind::DxfContours;
  request.contourInterval = 5000.0;  // far above the demo tile's highest ground
  testing::ScriptedDesktop desktop;
  ASSERT_EQ(writeWith(desktop, Program::extractor, request, dir.file("empty.dxf")),
            WriteOutcome::written);
  const Drawing drawing = readDrawing(dir.file("empty.dxf"));
  EXPECT_TRUE(drawing.complete);
  EXPECT_TRUE(drawing.lines.empty());
  EXPECT_LT(drawing.extents[0], drawing.extents[2]);
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{"0 contour lines written."});
}

// Nothing is left of a write that fails, wherever it fails: no drawing, part or spill.
TEST(ContourWriter, AFailedWriteLeavesNoFile) {
  struct Case {
    const char* name;
    uint64_t diskRoom;
    const char* failing;  // a call of the file seam that fails on the drawing (not the spill)
    const char* message;
  };
  for (const Case& c :
       std::vector<Case>{{"full disk at the header", 100, "", "Can't Write Output file."},
                         {"full disk among the lines", 1572864, "", "Can't Write Output file."},
                         {"part not made", UINT64_MAX, "create", "Can't Open Output file.\n"},
                         {"close fails", UINT64_MAX, "close", "Can't Write Output file."},
                         {"not put in place", UINT64_MAX, "replace", "Can't Write Output file."}}) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    testing::ScriptedFileSystem files(posixFileSystem());
    files.diskRoom = c.diskRoom;
    const std::string failing = c.failing;
    files.fails = [&](const testing::FileCall& call) {
      return call.what == failing && call.path.find(".spill") == std::string::npos;
    };
    testing::ScriptedDesktop desktop;
    desktop.disk = &files;
    WriteRequest request = testing::demoRequest(false);
    request.selection = {5200, 4000, 90, 120, 0, 1};
    request.kind = OutputKind::DxfContours;
    request.toFeet = true;
    request.contourInterval = 2.0;
    const WriteOutcome outcome = writeWith(desktop, Program::viewer, request, dir.file("a.dxf"));
    EXPECT_EQ(outcome,
              failing == "create" ? WriteOutcome::outputFailed : WriteOutcome::writeFailed);
    EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{c.message});
    EXPECT_TRUE(posixFileSystem().list(dir.path()).empty());
  }
}

// A tiny interval over the block's range is refused before anything is written, as is one
// that is not a positive number; just under the bound is written.
TEST(ContourWriter, TooManyLevelsAreRefusedBeforeWriting) {
  testing::TempDir dir;
  WriteRequest request = testing::demoRequest(false);
  request.selection = {5200, 4000, 20, 20, 0, 1};
  request.kind = OutputKind::DxfContours;
  // The block's range in metres, from GDAL.
  const std::vector<float> cells = gdalBlock(dir, false, request.selection);
  ASSERT_EQ(cells.size(), 400u);
  float low = cells[0];
  float high = cells[0];
  for (float z : cells) {
    low = std::fmin(low, z);
    high = std::fmax(high, z);
  }
  const double range = static_cast<double>(high) - low;
  ASSERT_GT(range, 1.0);
  std::remove(dir.file("cut.tif").c_str());
  std::remove(dir.file("cut.flt").c_str());
  std::remove(dir.file("cut.hdr").c_str());
  for (const std::string& name : posixFileSystem().list(dir.path()))
    std::remove(dir.file(name).c_str());
  for (double interval : {range / 10001.5, 1e-9, 0.0, -2.0, std::nan("")}) {
    SCOPED_TRACE(interval);
    request.contourInterval = interval;
    testing::ScriptedDesktop desktop;
    EXPECT_EQ(writeWith(desktop, Program::extractor, request, dir.file("many.dxf")),
              WriteOutcome::tooManyLevels);
    EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{kTooManyLevelsText});
    EXPECT_TRUE(posixFileSystem().list(dir.path()).empty());
  }
  request.contourInterval = range / 9990.0;
  testing::ScriptedDesktop desktop;
  EXPECT_EQ(writeWith(desktop, Program::extractor, request, dir.file("many.dxf")),
            WriteOutcome::written);
  EXPECT_EQ(contourLevelCount(1.0, 3.0, 1.0), 3u);
  EXPECT_EQ(contourLevelCount(0.5, 0.9, 1.0), 0u);
  EXPECT_EQ(contourLevelCount(-2.5, 2.5, 1.0), 5u);
}

}  // namespace
}  // namespace ned

namespace ned {
namespace {

// A raster that ends inside the block: "End of File.", and the lines traced over the rows
// read are finished and kept as a whole drawing (the extractor then tells their count).
TEST(ContourWriter, AnEarlyEndOfTheRasterKeepsAFinishedDrawing) {
  testing::TempDir dir;
  const int64_t cells = TileGeometry::cellsPerSide;
  // Rows 5406 to 5409 whole, and 5 cells of row 5410.
  testing::makeSparseRaster(dir.file("cut.flt"), (5410 * cells + 5406 + 5) * 4);
  for (int32_t row = 5406; row <= 5410; ++row) {
    std::vector<float> ramp;
    for (int k = 0; k < 10; ++k) ramp.push_back(static_cast<float>(k + row - 5406) + 0.5f);
    testing::plantSamples(dir.file("cut.flt"), row, 5406,
                          row < 5410 ? ramp : std::vector<float>(ramp.begin(), ramp.begin() + 5));
  }
  WriteRequest request = testing::demoRequest(false);
  request.header.rasterPath = dir.file("cut.flt");
  request.selection = {5406, 5406, 10, 10, 0, 1};
  request.kind = OutputKind::DxfContours;
  testing::ScriptedDesktop desktop;
  EXPECT_EQ(writeWith(desktop, Program::extractor, request, dir.file("cut.dxf")),
            WriteOutcome::endOfRaster);
  const Drawing drawing = readDrawing(dir.file("cut.dxf"));
  EXPECT_TRUE(drawing.complete);
  // Levels 1 to 12 run diagonally over the four whole rows, and on into the squares over
  // row 5410's five cells; level 8 reaches the first square without data (its corner in
  // row 5410, column 5) on both sides and ends there twice: 13 lines.
  ASSERT_EQ(drawing.lines.size(), 13u);
  EXPECT_EQ(desktop.messageTexts(),
            (std::vector<std::string>{"End of File.", "13 contour lines written."}));
  for (const Polyline& line : drawing.lines) {
    EXPECT_FALSE(line.closed);
    EXPECT_GE(line.points.size(), 2u);
  }
}

}  // namespace
}  // namespace ned
