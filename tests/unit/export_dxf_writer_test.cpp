// The DXF text of the contour drawing: a tiny block's file byte for byte, a failing disk,
// and a block of the demo tile as GDAL's DXF driver and ezdxf read it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/export/dxf_writer.h"
#include "tests/support/gdal_fixtures.h"

namespace ned {
namespace {

using testing::projectFile;
using testing::quoted;
using testing::runGdal;

class StringSink : public ByteSink {
 public:
  explicit StringSink(size_t limit = SIZE_MAX) : limit_(limit) {}
  bool write(const char* bytes, size_t count) override {
    if (text.size() + count > limit_) return false;
    text.append(bytes, count);
    ++writes;
    return true;
  }
  std::string text;
  int writes = 0;

 private:
  size_t limit_;
};

// The lines of a grid as a drawing in the local grid, and what the tracer counted.
struct Drawing {
  bool traced = false;
  bool ended = false;
  uint64_t lines = 0;
};

Drawing drawGrid(ByteSink& sink, const std::vector<float>& values, uint32_t cols, double interval,
                 uint32_t indexEvery) {
  const uint32_t rows = static_cast<uint32_t>(values.size() / cols);
  GridPlacement placement(200000.0, 200000.0, 8.255, 9.725, 1);
  ExtentsBuilder box;
  box.add(placement.cell(0, 0).x, placement.cell(0, 0).y);
  box.add(placement.cell(rows - 1, cols - 1).x, placement.cell(rows - 1, cols - 1).y);
  DxfWriter writer(sink);
  const DxfLayer layers[2] = {kMajorContourDxfLayer, kMinorContourDxfLayer};
  Drawing drawing;
  drawing.traced = writer.begin(box.extents(), layers, 2);
  DxfContours contours(writer);
  ContourTracer tracer(cols, {interval, indexEvery, -9999.0f}, placement, contours);
  for (uint32_t r = 0; r < rows && drawing.traced; ++r)
    drawing.traced = tracer.addRow(&values[r * cols]);
  drawing.traced = drawing.traced && tracer.finish();
  drawing.ended = writer.end();
  drawing.lines = tracer.linesWritten();
  return drawing;
}

std::string scratchFolder() {
  const std::string folder = projectFile("build/test-scratch/dxf");
  std::system(("mkdir -p " + quoted(folder)).c_str());
  return folder;
}

// A hill of 5 m in a 4 x 4 block at 2 m, index every second line: a closed index line at
// 4 m round the top, and a minor line at 2 m cut off at both ends by the cell without data.
const std::vector<float> kTinyBlock = {0, 1, 1, 0,      //
                                       1, 5, 3, 1,      //
                                       1, 3, 3, -9999,  //
                                       0, 1, 1, 0};

TEST(DxfWriter, TinyBlockGivesTheGoldenFile) {
  StringSink sink;
  const Drawing drawing = drawGrid(sink, kTinyBlock, 4, 2.0, 2);
  ASSERT_TRUE(drawing.traced);
  ASSERT_TRUE(drawing.ended);
  EXPECT_EQ(drawing.lines, 2u);
  std::ifstream in(projectFile("tests/data/contours_tiny.dxf"), std::ios::binary);
  ASSERT_TRUE(in.good());
  std::ostringstream golden;
  golden << in.rdbuf();
  EXPECT_EQ(sink.text, golden.str());
  if (sink.text != golden.str()) {
    // What was written, to compare with the golden file.
    std::ofstream out(scratchFolder() + "/contours_tiny.dxf", std::ios::binary);
    out << sink.text;
  }
}

TEST(DxfWriter, FailedWriteStopsTheTracing) {
  // A disk that takes the header and little more: the tracer stops at the first line it
  // cannot hand on, and the end reports the failure. Enough lines to fill the buffer of
  // 1 MiB twice.
  std::vector<float> slope;
  const uint32_t cols = 400;
  for (uint32_t r = 0; r < 100; ++r)
    for (uint32_t c = 0; c < cols; ++c) slope.push_back(static_cast<float>(c));
  StringSink whole;
  const Drawing full = drawGrid(whole, slope, cols, 1.0, 5);
  ASSERT_TRUE(full.traced && full.ended);
  ASSERT_GT(whole.text.size(), 2u << 20);
  StringSink limited(1000);
  const Drawing cut = drawGrid(limited, slope, cols, 1.0, 5);
  EXPECT_FALSE(cut.traced);
  EXPECT_FALSE(cut.ended);
  EXPECT_LT(cut.lines, full.lines);
  EXPECT_EQ(limited.text.size(), 0u);  // the first piece did not fit
}

// A block of the demo tile: every polyline as GDAL's DXF driver reads it (layer and
// elevation), and ezdxf's audit without an error.
TEST(DxfWriter, RealReadersReadEveryPolyline) {
  const std::string tiff = testing::demoGeoTiff();
  ASSERT_FALSE(tiff.empty());
  const std::string folder = scratchFolder();
  const std::string raster = folder + "/block.flt";
  ASSERT_TRUE(runGdal({"gdal_translate", "-q", "-srcwin", "4000", "5200", "200", "150", tiff,
                       folder + "/block.tif"}));
  ASSERT_TRUE(testing::gdalGridFloat(folder + "/block.tif", raster));
  std::vector<float> values(200 * 150);
  std::ifstream in(raster, std::ios::binary);
  in.read(reinterpret_cast<char*>(values.data()),
          static_cast<std::streamsize>(values.size() * sizeof(float)));
  ASSERT_TRUE(in.good());

  // Our own count of lines per layer and elevation, from the tracer.
  struct Count : ContourSink {
    explicit Count(DxfContours& next) : next_(next) {}
    bool beginLine(const ContourLine& line) override {
      ++lines[{line.index ? kMajorContourLayer : kMinorContourLayer, line.elevation}];
      return next_.beginLine(line);
    }
    bool points(const ContourPoint* points, size_t count) override {
      return next_.points(points, count);
    }
    bool endLine() override { return next_.endLine(); }
    std::map<std::pair<std::string, double>, int> lines;
    DxfContours& next_;
  };
  StringSink sink;
  GridPlacement placement(200000.0, 200000.0, 8.255, 9.725, 1);
  DxfWriter writer(sink);
  const DxfLayer layers[2] = {kMajorContourDxfLayer, kMinorContourDxfLayer};
  ASSERT_TRUE(writer.begin({200000.0, 198550.0, 0.0, 201650.0, 200000.0, 0.0}, layers, 2));
  DxfContours contours(writer);
  Count count(contours);
  ContourTracer tracer(200, {1.0, 5, -9999.0f}, placement, count);
  for (uint32_t r = 0; r < 150; ++r) ASSERT_TRUE(tracer.addRow(&values[r * 200]));
  ASSERT_TRUE(tracer.finish());
  ASSERT_TRUE(writer.end());
  ASSERT_GT(tracer.linesWritten(), 50u);
  const std::string dxf = folder + "/block.dxf";
  {
    std::ofstream out(dxf, std::ios::binary);
    out << sink.text;
  }

  const std::string csv = folder + "/block.csv";
  std::remove(csv.c_str());
  ASSERT_TRUE(runGdal({"ogr2ogr", "-f", "CSV", "-lco", "GEOMETRY=AS_WKT", csv, dxf}));
  std::ifstream table(csv);
  std::string line;
  std::getline(table, line);
  std::map<std::pair<std::string, double>, int> read;
  while (std::getline(table, line)) {
    // "LINESTRING Z (x y z,...)",Layer,...
    const size_t open = line.find('(');
    const size_t close = line.find(')');
    ASSERT_NE(open, std::string::npos) << line;
    double x, y, z;
    ASSERT_EQ(std::sscanf(line.c_str() + open + 1, "%lf %lf %lf", &x, &y, &z), 3) << line;
    const size_t layerStart = line.find(',', close) + 1;
    const std::string layer = line.substr(layerStart, line.find(',', layerStart) - layerStart);
    ++read[{layer, z}];
  }
  EXPECT_EQ(read, count.lines);

  const std::string audit =
      "/usr/bin/python3 -c \"import sys, ezdxf\n"
      "doc = ezdxf.readfile(sys.argv[1])\n"
      "auditor = doc.audit()\n"
      "n = len(doc.modelspace().query('POLYLINE'))\n"
      "sys.exit(0 if not auditor.has_errors and n == int(sys.argv[2]) else 1)\" " +
      quoted(dxf) + " " + std::to_string(tracer.linesWritten());
  EXPECT_EQ(std::system(audit.c_str()), 0);
}

}  // namespace
}  // namespace ned
