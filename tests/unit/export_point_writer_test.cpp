#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/export/point_writer.h"
#include "core/tile/raster.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/tile_files.h"
#include "tools/literal_writer.h"

namespace ned {
namespace {

using testing::ScriptedDesktop;
using testing::TempDir;

std::string print(const char* format, double value) {
  char text[400];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// What the literal loop of the writers gives, with the bytes it wrote.
struct LiteralResult {
  std::string bytes;
  uint64_t points = 0;
  bool endOfRaster = false;
  uint32_t keptCols = 0;
  uint32_t keptRows = 0;
};

LiteralResult literalWrite(Program program, const WriteRequest& request) {
  std::FILE* out = std::tmpfile();
  const LiteralWriteResult written = ned::literalWrite(program, request, out);
  LiteralResult result;
  result.points = written.points;
  result.endOfRaster = written.endOfRaster;
  result.keptCols = written.keptCols;
  result.keptRows = written.keptRows;
  std::rewind(out);
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, out)) > 0) result.bytes.append(buffer, got);
  std::fclose(out);
  return result;
}

const OutputKind kAllKinds[] = {OutputKind::RectangularXyz, OutputKind::ProjectNorthXyz,
                                OutputKind::ElevationCsv, OutputKind::BinaryFlt};

const char* kindName(OutputKind kind) {
  switch (kind) {
    case OutputKind::RectangularXyz:
      return "rectangular";
    case OutputKind::ProjectNorthXyz:
      return "projected";
    case OutputKind::ElevationCsv:
      return "csv";
    case OutputKind::BinaryFlt:
      return "binary";
    case OutputKind::DxfContours:
      return "contours";  // contours: wired with the contour writer
  }
  return "?";
}

std::string floatBytes(std::initializer_list<float> values) {
  std::string bytes;
  for (const float v : values) bytes.append(reinterpret_cast<const char*>(&v), 4);
  return bytes;
}

// A whole-size sparse tile between 36 and 37 N, 76 and 77 W, with values planted where a
// test needs them.
class PointWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rasterPath_ = dir_.file("n37w077.flt");
    testing::makeSparseRaster(rasterPath_);
  }

  WriteRequest request(OutputKind kind, int32_t row, int32_t col, uint32_t rows, uint32_t cols,
                       uint32_t step = 1) const {
    WriteRequest r;
    r.kind = kind;
    r.selection.startRow = row;
    r.selection.startCol = col;
    r.selection.rows = rows;
    r.selection.cols = cols;
    r.selection.step = step;
    r.selection.removeCount = step - 1;
    r.header.headerPath = dir_.file("n37w077.hdr");
    r.header.rasterPath = rasterPath_;
    r.header.rasterCols = r.header.rasterRows = 10812;
    r.header.tileSouthLat = 35.99944444444;
    r.header.tileWestLon = 77.00055555556;
    r.header.nodataLine = "NODATA        -9999";
    r.xulcornerText = "-76.875";
    r.yulcornerText = "36.875";
    return r;
  }

  // Plants rows x cols values from (row, col) on: a mix of terrain and the special values.
  void plantBlock(int32_t row, int32_t col, uint32_t rows, uint32_t cols) {
    const float specials[] = {-9999.0f, -0.0004f, -0.001f, 0.0f, 100.0f, -12.5f, 0.0625f};
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < rows; ++i) {
      std::vector<float> values(cols);
      for (uint32_t j = 0; j < cols; ++j) {
        seed = seed * 1103515245u + 12345u;
        values[j] = (seed >> 16) % 5 == 0 ? specials[(seed >> 8) % 7]
                                          : static_cast<float>((seed >> 8) % 4000000) / 1000.0f;
      }
      testing::plantSamples(rasterPath_, row + static_cast<int32_t>(i), col, values);
    }
  }

  std::string output(const std::string& name) const { return testing::readFile(dir_.file(name)); }

  TempDir dir_;
  std::string rasterPath_;
};

TEST_F(PointWriterTest, RectangularGridOfThreeByThreeCells) {
  testing::plantSamples(rasterPath_, 1356, 1356, {1234.567f, 2.0f, 3.0f});
  testing::plantSamples(rasterPath_, 1357, 1356, {4.0f, 5.0f, 6.0f});
  ScriptedDesktop desktop;
  desktop.chooseFile(dir_.file("grid.csv"));
  EXPECT_EQ(
      writePoints(desktop, Program::viewer, request(OutputKind::RectangularXyz, 1356, 1356, 3, 3)),
      WriteOutcome::written);
  EXPECT_EQ(output("grid.csv"),
            "200000.000, 200000.000, 1234.567\r\n"
            "200008.255, 200000.000, 2.000\r\n"
            "200016.510, 200000.000, 3.000\r\n"
            "200000.000, 199989.725, 4.000\r\n"
            "200008.255, 199989.725, 5.000\r\n"
            "200016.510, 199989.725, 6.000\r\n"
            "200000.000, 199979.450, 0.000\r\n"
            "200008.255, 199979.450, 0.000\r\n"
            "200016.510, 199979.450, 0.000\r\n");
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "9 points written.");
  EXPECT_EQ(desktop.messages[0].caption, "Message");
  EXPECT_EQ(desktop.messages[0].style, kPlainMessage);
  ASSERT_EQ(desktop.dialogs.size(), 1u);
  const FileDialogRequest& dialog = desktop.dialogs[0].request;
  EXPECT_TRUE(desktop.dialogs[0].save);
  ASSERT_EQ(dialog.filters.size(), 1u);
  EXPECT_EQ(dialog.filters[0].text, "Comma Seperated Value (*.csv)");
  EXPECT_EQ(dialog.filters[0].pattern, "*.csv");
  EXPECT_EQ(dialog.defaultExtension, "csv");
  EXPECT_TRUE(dialog.options == (FileDialogOptions{false, true, true}));
  EXPECT_EQ(desktop.createdFiles, std::vector<std::string>{dir_.file("grid.csv")});
  EXPECT_TRUE(desktop.endedWith.empty());
}

TEST_F(PointWriterTest, EveryFormMatchesTheLiteralLoopInBothPrograms) {
  plantBlock(1356, 1356, 9, 11);
  plantBlock(3000, 20, 260, 230);  // more than one output block for the XYZ forms
  struct Shape {
    int32_t row, col;
    uint32_t rows, cols;
  };
  const Shape shapes[] = {{1356, 1356, 9, 11}, {1355, 1357, 7, 10}, {3000, 20, 260, 230}};
  int compared = 0;
  for (const Program program : {Program::viewer, Program::extractor}) {
    for (const OutputKind kind : kAllKinds) {
      for (const Shape& shape : shapes) {
        for (const uint32_t step : {1u, 2u, 3u, 7u}) {
          for (const bool feet : {false, true}) {
            if (shape.rows > 100 && (step > 1 || feet)) continue;
            SCOPED_TRACE(::testing::Message()
                         << (program == Program::viewer ? "viewer " : "extractor ")
                         << kindName(kind) << " " << shape.rows << "x" << shape.cols << " step "
                         << step << (feet ? " feet" : ""));
            WriteRequest r = request(kind, shape.row, shape.col, shape.rows, shape.cols, step);
            r.toFeet = feet;
            r.startEasting = 512345.678;
            r.startNorthing = 4100000.5;
            ScriptedDesktop desktop;
            desktop.chooseFile(dir_.file("out.flt"));
            ASSERT_EQ(writePoints(desktop, program, r), WriteOutcome::written);
            const LiteralResult literal = literalWrite(program, r);
            ASSERT_EQ(output("out.flt"), literal.bytes);
            EXPECT_EQ(
                desktop.messageTexts(),
                std::vector<std::string>{std::to_string(literal.points) + " points written."});
            if (kind == OutputKind::BinaryFlt) {
              EXPECT_EQ(output("out.hdr"),
                        reducedTileHeaderText(literal.keptCols, literal.keptRows, step, "-76.875",
                                              "36.875", "NODATA        -9999"));
            }
            ++compared;
          }
        }
      }
    }
  }
  EXPECT_EQ(compared, 2 * 4 * (2 * 8 + 1));
}

TEST_F(PointWriterTest, ThinningAndTheReducedTileHeader) {
  plantBlock(1356, 1356, 10, 10);
  ScriptedDesktop desktop;
  desktop.chooseFile(dir_.file("thin.flt"));
  ASSERT_EQ(
      writePoints(desktop, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 10, 10, 3)),
      WriteOutcome::written);
  EXPECT_EQ(output("thin.flt").size(), 64u);
  EXPECT_EQ(output("thin.hdr"),
            "ncols         4\r\n"
            "nrows         4\r\n"
            "xulcorner     -76.875\r\n"
            "yulcorner     36.875\r\n"
            "cellsize      0.000277777779\r\n"
            "NODATA        -9999\r\n"
            "byteorder     LSBFIRST\r\n");
  EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{"16 points written."});
  ASSERT_EQ(desktop.dialogs[0].request.filters.size(), 1u);
  EXPECT_EQ(desktop.dialogs[0].request.filters[0].text, "Float File (*.flt)");
  EXPECT_EQ(desktop.dialogs[0].request.filters[0].pattern, "*.flt");
  EXPECT_EQ(desktop.dialogs[0].request.defaultExtension, "flt");

  // Ten significant digits, fixed or with an exponent as %g chooses; from a step of 11 on
  // the cell size passes 0.001.
  const std::pair<uint32_t, const char*> cellSizes[] = {
      {1, "9.2592593e-05"}, {2, "0.000185185186"}, {11, "0.001018518523"}};
  for (const auto& [step, cellSize] : cellSizes) {
    EXPECT_NE(reducedTileHeaderText(3, 3, step, "-77", "37", "N")
                  .find("cellsize      " + std::string(cellSize) + "\r\n"),
              std::string::npos)
        << step;
  }

  // A step that wrapped to 0 (a typed remove count of -1) keeps every cell, without a
  // division by zero.
  ScriptedDesktop wrapped;
  wrapped.chooseFile(dir_.file("all.flt"));
  ASSERT_EQ(
      writePoints(wrapped, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 10, 10, 0)),
      WriteOutcome::written);
  EXPECT_EQ(output("all.flt").size(), 400u);
  EXPECT_NE(output("all.hdr").find("cellsize      9.2592593e-05\r\n"), std::string::npos);

  // A 10 x 10 XYZ write at step 3 has 16 lines.
  ScriptedDesktop text;
  text.chooseFile(dir_.file("thin.csv"));
  ASSERT_EQ(writePoints(text, Program::extractor,
                        request(OutputKind::RectangularXyz, 1356, 1356, 10, 10, 3)),
            WriteOutcome::written);
  const std::string lines = output("thin.csv");
  size_t count = 0;
  for (size_t at = lines.find("\r\n"); at != std::string::npos; at = lines.find("\r\n", at + 2))
    ++count;
  EXPECT_EQ(count, 16u);
}

TEST_F(PointWriterTest, FeetNoDataAndValuesJustBelowZero) {
  testing::plantSamples(rasterPath_, 1356, 1356,
                        {100.0f, -9999.0f, -0.0002f, -0.001f, 0.0f, -0.0004f});
  WriteRequest r = request(OutputKind::RectangularXyz, 1356, 1356, 1, 6);
  r.toFeet = true;
  ScriptedDesktop desktop;
  desktop.chooseFile(dir_.file("feet.csv"));
  ASSERT_EQ(writePoints(desktop, Program::viewer, r), WriteOutcome::written);
  const double w = ewSpacingAtRow(groundSpacingFromRow(*findDegreeLengths(37)), 1356);
  const std::string lines = output("feet.csv");
  EXPECT_EQ(lines.substr(0, lines.find("\r\n")), "200000.000, 200000.000, 328.084");
  EXPECT_NE(lines.find(print("%.3f", 200000.0 + w * 3.28084) + ", 200000.000, -32805.121\r\n"),
            std::string::npos);
  EXPECT_NE(lines.find(", 0.001\r\n"), std::string::npos);   // -0.0002 m, -0.00066 ft, raised
  EXPECT_NE(lines.find(", -0.003\r\n"), std::string::npos);  // -0.001 m is -0.0033 ft
  EXPECT_NE(lines.find(", -0.001\r\n"), std::string::npos);  // -0.0004 m is -0.0013 ft
  EXPECT_NE(lines.find(", 0.000\r\n"), std::string::npos);

  // The extractor writes values as read (after the feet conversion).
  r.toFeet = false;
  r.kind = OutputKind::ElevationCsv;
  ScriptedDesktop extractor;
  extractor.chooseFile(dir_.file("grid.csv"));
  ASSERT_EQ(writePoints(extractor, Program::extractor, r), WriteOutcome::written);
  EXPECT_EQ(output("grid.csv"), "100.000,-9999.000,-0.000,-0.001,0.000,-0.000\r\n");
  ScriptedDesktop viewer;
  viewer.chooseFile(dir_.file("grid.csv"));
  ASSERT_EQ(writePoints(viewer, Program::viewer, r), WriteOutcome::written);
  EXPECT_EQ(output("grid.csv"), "100.000,-9999.000,0.001,-0.001,0.000,0.001\r\n");

  // The reduced tile converts elevations but keeps its no-data cells at -9999.
  r.kind = OutputKind::BinaryFlt;
  r.toFeet = true;
  ScriptedDesktop binary;
  binary.chooseFile(dir_.file("feet.flt"));
  ASSERT_EQ(writePoints(binary, Program::viewer, r), WriteOutcome::written);
  EXPECT_EQ(output("feet.flt"),
            floatBytes({328.084f, -9999.0f, 0.001f, static_cast<float>(-0.001f * 3.28084L), 0.0f,
                        static_cast<float>(-0.0004f * 3.28084L)}));
  EXPECT_NE(output("feet.hdr").find("NODATA        -9999\r\n"), std::string::npos);
}

TEST_F(PointWriterTest, ProjectedNorthWidensRowByRow) {
  const uint32_t cols = 2000;
  WriteRequest r = request(OutputKind::ProjectNorthXyz, 1356, 1356, 4, cols);
  ScriptedDesktop desktop;
  desktop.chooseFile(dir_.file("north.csv"));
  ASSERT_EQ(writePoints(desktop, Program::viewer, r), WriteOutcome::written);
  const GroundSpacing spacing = groundSpacingFromRow(*findDegreeLengths(37));
  const double w0 = ewSpacingAtRow(spacing, 1356);
  const std::string lines = output("north.csv");
  size_t at = 0;
  for (uint32_t i = 0; i < 4; ++i) {
    for (uint32_t j = 0; j < cols; ++j) {
      const double x = std::atof(lines.c_str() + at);
      const double y = std::atof(lines.c_str() + lines.find(", ", at) + 2);
      // Row i starts growth x 0.5 x i x (cols + 1) west; its points are w0 + i x growth apart.
      const double expectedX = 200000.0 - spacing.ewSpacingGrowth * 0.5 * i * (cols + 1) +
                               j * (w0 + i * spacing.ewSpacingGrowth);
      ASSERT_NEAR(x, expectedX, 0.0011) << i << " " << j;
      ASSERT_NEAR(y, 200000.0 - i * spacing.nsSpacing, 0.0011);
      at = lines.find("\r\n", at) + 2;
    }
  }
  // The second row starts visibly west of the first, unlike the rectangular grid.
  EXPECT_NE(lines.find(print("%.3f", 200000.0 - spacing.ewSpacingGrowth * 0.5 * (cols + 1)) +
                       ", 199989.725, "),
            std::string::npos);
  EXPECT_EQ(print("%.3f", 200000.0 - spacing.ewSpacingGrowth * 0.5 * (cols + 1)), "199999.990");
}

TEST_F(PointWriterTest, CsvGridLinesOfEachProgram) {
  testing::plantSamples(rasterPath_, 1356, 1356,
                        {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f, 11.0f});
  ScriptedDesktop viewer;
  viewer.chooseFile(dir_.file("v.csv"));
  ASSERT_EQ(
      writePoints(viewer, Program::viewer, request(OutputKind::ElevationCsv, 1356, 1356, 1, 3)),
      WriteOutcome::written);
  EXPECT_EQ(output("v.csv"), "1.000,2.000,3.000\r\n");

  // Remove count 2 over 11 columns: columns 0, 3, 6 and 9, each with its comma.
  ScriptedDesktop extractor;
  extractor.chooseFile(dir_.file("e.csv"));
  ASSERT_EQ(writePoints(extractor, Program::extractor,
                        request(OutputKind::ElevationCsv, 1356, 1356, 1, 11, 3)),
            WriteOutcome::written);
  EXPECT_EQ(output("e.csv"), "1.000,4.000,7.000,10.000,\r\n");
  // Over 10 columns the last one is kept and ends the line without a comma.
  extractor.chooseFile(dir_.file("e.csv"));
  ASSERT_EQ(writePoints(extractor, Program::extractor,
                        request(OutputKind::ElevationCsv, 1356, 1356, 1, 10, 3)),
            WriteOutcome::written);
  EXPECT_EQ(output("e.csv"), "1.000,4.000,7.000,10.000\r\n");

  // No columns: the extractor's grid gets only its line ends and the count reads 0.
  ScriptedDesktop empty;
  empty.chooseFile(dir_.file("z.csv"));
  ASSERT_EQ(
      writePoints(empty, Program::extractor, request(OutputKind::ElevationCsv, 1356, 10806, 3, 0)),
      WriteOutcome::written);
  EXPECT_EQ(output("z.csv"), "\r\n\r\n\r\n");
  EXPECT_EQ(empty.messageTexts(), std::vector<std::string>{"0 points written."});
}

TEST(OutputHeaderPath, ReplacesTheExtensionTheDialogReports) {
  EXPECT_EQ(outputHeaderPath("C:\\maps\\out.flt", 12), "C:\\maps\\out.hdr");
  EXPECT_EQ(outputHeaderPath("C:\\maps\\a.b.flt", 12), "C:\\maps\\a.b.hdr");
  EXPECT_EQ(outputHeaderPath("C:\\maps\\out", 0), "C:\\maps\\out.hdr");
  // A name ending in a dot: the dialog reports no extension, or an empty one after the dot.
  EXPECT_EQ(outputHeaderPath("C:\\maps\\out.", 0), "C:\\maps\\out.hdr");
  EXPECT_EQ(outputHeaderPath("C:\\maps\\out.", 12), "C:\\maps\\out.hdr");
  // The header never replaces the output itself.
  EXPECT_EQ(outputHeaderPath("C:\\maps\\x.hdr", 10), "C:\\maps\\x.hdr.hdr");
  EXPECT_EQ(outputHeaderPath("C:\\maps\\x.HDR", 10), "C:\\maps\\x.HDR.hdr");
}

TEST_F(PointWriterTest, ReducedTileNamesOnDisk) {
  plantBlock(1356, 1356, 3, 3);
  for (const std::string& name :
       {std::string("a.b.flt"), std::string("dot."), std::string("x.hdr")}) {
    ScriptedDesktop desktop;
    desktop.chooseFile(dir_.file(name));
    ASSERT_EQ(
        writePoints(desktop, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 3, 3)),
        WriteOutcome::written);
    EXPECT_EQ(output(name).size(), 36u) << name;
  }
  EXPECT_NE(output("a.b.hdr").find("ncols         3\r\n"), std::string::npos);
  EXPECT_NE(output("dot.hdr").find("nrows         3\r\n"), std::string::npos);
  EXPECT_NE(output("x.hdr.hdr").find("byteorder     LSBFIRST\r\n"), std::string::npos);
}

TEST_F(PointWriterTest, FailuresBeforeTheFirstPoint) {
  // Outside the degree table: the parallel message, no dialog.
  WriteRequest r = request(OutputKind::RectangularXyz, 1356, 1356, 3, 3);
  r.header.tileSouthLat = 14.99944444444;  // north edge 16
  ScriptedDesktop outside;
  outside.chooseFile(dir_.file("never.csv"));
  EXPECT_EQ(writePoints(outside, Program::viewer, r), WriteOutcome::outOfRange);
  EXPECT_EQ(outside.messageTexts(),
            std::vector<std::string>{"This only works from 18th to 75th parallel."});
  EXPECT_EQ(outside.messages[0].caption, "Message");
  EXPECT_TRUE(outside.dialogs.empty());

  // The save dialog cancelled: nothing at all.
  ScriptedDesktop cancel;
  EXPECT_EQ(
      writePoints(cancel, Program::extractor, request(OutputKind::ElevationCsv, 1356, 1356, 3, 3)),
      WriteOutcome::cancelled);
  EXPECT_TRUE(cancel.messages.empty());
  EXPECT_TRUE(cancel.createdFiles.empty());

  // The output cannot be opened.
  ScriptedDesktop noOutput;
  noOutput.chooseFile(dir_.file("missing/out.csv"));
  EXPECT_EQ(
      writePoints(noOutput, Program::viewer, request(OutputKind::RectangularXyz, 1356, 1356, 3, 3)),
      WriteOutcome::outputFailed);
  ASSERT_EQ(noOutput.messages.size(), 1u);
  EXPECT_EQ(noOutput.messages[0].text, "Can't Open Output file.\n");
  EXPECT_EQ(noOutput.messages[0].caption, "Message.");

  // The raster cannot be opened: the output is left empty.
  r = request(OutputKind::RectangularXyz, 1356, 1356, 3, 3);
  r.header.rasterPath = dir_.file("gone.flt");
  ScriptedDesktop noRaster;
  noRaster.chooseFile(dir_.file("empty.csv"));
  EXPECT_EQ(writePoints(noRaster, Program::extractor, r), WriteOutcome::rasterFailed);
  ASSERT_EQ(noRaster.messages.size(), 1u);
  EXPECT_EQ(noRaster.messages[0].text, "Can't Open Gridfloat file.");
  EXPECT_EQ(noRaster.messages[0].caption, "Message.");
  EXPECT_EQ(output("empty.csv"), "");
}

TEST_F(PointWriterTest, TheRasterEndsBeforeTheSelection) {
  // The raster ends 5 cells into row 1358 of a selection of columns 1356 to 1359.
  testing::makeSparseRaster(rasterPath_, cellOffset(1358, 1356) + 2 * 4 + 2);
  plantBlock(1356, 1356, 2, 4);
  testing::plantSamples(rasterPath_, 1358, 1356, {7.0f, 8.0f});
  for (const Program program : {Program::viewer, Program::extractor}) {
    for (const OutputKind kind : kAllKinds) {
      SCOPED_TRACE(kindName(kind));
      WriteRequest r = request(kind, 1356, 1356, 5, 4);
      ScriptedDesktop desktop;
      desktop.chooseFile(dir_.file("cut.flt"));
      EXPECT_EQ(writePoints(desktop, program, r), WriteOutcome::endOfRaster);
      const LiteralResult literal = literalWrite(program, r);
      ASSERT_TRUE(literal.endOfRaster);
      EXPECT_EQ(output("cut.flt"), literal.bytes);
      std::vector<std::string> expected = {"End of File."};
      if (program == Program::extractor) expected.push_back("10 points written.");
      EXPECT_EQ(desktop.messageTexts(), expected);
      EXPECT_EQ(desktop.messages[0].caption, "Message.");
      EXPECT_EQ(desktop.messages.back().caption,
                program == Program::extractor ? "Message" : "Message.");
      EXPECT_TRUE(desktop.endedWith.empty());  // the program's shell ends the process
      EXPECT_FALSE(testing::readFile(dir_.file("cut.flt")).empty());
    }
  }
  // The viewer's CSV grid keeps the comma of the last value before the end.
  ScriptedDesktop desktop;
  desktop.chooseFile(dir_.file("cut.csv"));
  writePoints(desktop, Program::viewer, request(OutputKind::ElevationCsv, 1358, 1356, 1, 4));
  EXPECT_EQ(output("cut.csv"), "7.000,8.000,");
  // Ending where a kept row starts, the row gets nothing, not even a comma.
  testing::makeSparseRaster(rasterPath_, cellOffset(1358, 1356));
  testing::plantSamples(rasterPath_, 1357, 1356, {5.0f, 6.0f});
  ScriptedDesktop atRow;
  atRow.chooseFile(dir_.file("row.csv"));
  EXPECT_EQ(
      writePoints(atRow, Program::viewer, request(OutputKind::ElevationCsv, 1357, 1356, 2, 2)),
      WriteOutcome::endOfRaster);
  EXPECT_EQ(output("row.csv"), "5.000,6.000\r\n");

  // A first cell no seek can reach is the end of the raster, not the start of the file.
  ScriptedDesktop before;
  before.chooseFile(dir_.file("before.csv"));
  EXPECT_EQ(writePoints(before, Program::extractor, request(OutputKind::ElevationCsv, -1, 0, 2, 2)),
            WriteOutcome::endOfRaster);
  EXPECT_EQ(output("before.csv"), "");
  EXPECT_EQ(before.messageTexts(), (std::vector<std::string>{"End of File.", "0 points written."}));
}

TEST_F(PointWriterTest, FailedWritesAreToldAndNotCounted) {
  plantBlock(3000, 20, 300, 300);
  struct Case {
    OutputKind kind;
    uint32_t rows;
  };
  // A small output fails when it is closed, a large one in the middle of the pass.
  for (const Case c : {Case{OutputKind::RectangularXyz, 3}, Case{OutputKind::RectangularXyz, 300},
                       Case{OutputKind::ElevationCsv, 300}, Case{OutputKind::BinaryFlt, 2}}) {
    ScriptedDesktop desktop;
    desktop.chooseFile("/dev/full");
    EXPECT_EQ(writePoints(desktop, Program::extractor, request(c.kind, 3000, 20, c.rows, 300)),
              WriteOutcome::writeFailed);
    EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{kWriteFailedText});
    EXPECT_EQ(desktop.messages[0].caption, "Message.");
    EXPECT_EQ(desktop.messages[0].style, kPlainMessage);
  }

  // The raster ends and the output cannot take the rest: no count follows.
  testing::makeSparseRaster(rasterPath_, cellOffset(3002, 0));
  ScriptedDesktop ended;
  ended.chooseFile("/dev/full");
  EXPECT_EQ(
      writePoints(ended, Program::extractor, request(OutputKind::RectangularXyz, 3000, 20, 5, 4)),
      WriteOutcome::writeFailed);
  EXPECT_EQ(ended.messageTexts(), (std::vector<std::string>{"End of File.", kWriteFailedText}));
}

TEST_F(PointWriterTest, HeaderFailures) {
  plantBlock(1356, 1356, 3, 3);
  // The header cannot be opened: the raster stays written, no count.
  ASSERT_EQ(mkdir(dir_.file("blocked.hdr").c_str(), 0700), 0);
  ScriptedDesktop blocked;
  blocked.chooseFile(dir_.file("blocked.flt"));
  EXPECT_EQ(writePoints(blocked, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 3, 3)),
            WriteOutcome::headerFailed);
  EXPECT_EQ(blocked.messageTexts(), std::vector<std::string>{"Can't Open Header file.\n"});
  EXPECT_EQ(blocked.messages[0].caption, "Message.");
  EXPECT_EQ(output("blocked.flt").size(), 36u);

  // The header cannot be written.
  ASSERT_EQ(symlink("/dev/full", dir_.file("full.hdr").c_str()), 0);
  ScriptedDesktop full;
  full.chooseFile(dir_.file("full.flt"));
  EXPECT_EQ(writePoints(full, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 3, 3)),
            WriteOutcome::writeFailed);
  EXPECT_EQ(full.messageTexts(), std::vector<std::string>{kHeaderWriteFailedText});
  EXPECT_EQ(output("full.flt").size(), 36u);
}

}  // namespace
}  // namespace ned
