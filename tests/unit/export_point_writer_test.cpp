#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/export/point_writer.h"
#include "core/export/reduced_tile.h"
#include "core/tile/raster.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/tile_files.h"
#include "tools/literal_writer.h"

namespace ned {
namespace {

using testing::FileCall;
using testing::ScriptedDesktop;
using testing::ScriptedFileSystem;
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
      return "contours";  // its lines are held to gdal_contour in export_contour_writer_test
    case OutputKind::LandXmlTin:
    case OutputKind::DxfTin:
      return "surface";
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

  void removeFiles(std::initializer_list<const char*> names) const {
    for (const char* name : names) std::remove(dir_.file(name).c_str());
  }

  // Answers the save dialog with name in the test's folder, writes, expects the outcome and
  // gives the bytes of the file of that name.
  std::string writeTo(ScriptedDesktop& desktop, Program program, const WriteRequest& r,
                      const std::string& name, WriteOutcome expected = WriteOutcome::written) {
    desktop.chooseFile(dir_.file(name));
    EXPECT_EQ(writePoints(desktop, program, r), expected) << name;
    return output(name);
  }

  TempDir dir_;
  std::string rasterPath_;
};

TEST_F(PointWriterTest, RectangularGridOfThreeByThreeCells) {
  testing::plantSamples(rasterPath_, 1356, 1356, {1234.567f, 2.0f, 3.0f});
  testing::plantSamples(rasterPath_, 1357, 1356, {4.0f, 5.0f, 6.0f});
  ScriptedDesktop desktop;
  EXPECT_EQ(writeTo(desktop, Program::viewer, request(OutputKind::RectangularXyz, 1356, 1356, 3, 3),
                    "grid.csv"),
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
  // The file is made under a name of its own and put in place whole: nothing is created
  // empty at the chosen name first.
  EXPECT_TRUE(desktop.createdFiles.empty());
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
            removeFiles({"out.hdr", "out.vrt"});  // no question about the last case's
            const std::string bytes = writeTo(desktop, program, r, "out.flt");
            const LiteralResult literal = literalWrite(program, r);
            ASSERT_EQ(bytes, literal.bytes);
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
  EXPECT_EQ(writeTo(desktop, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 10, 10, 3),
                    "thin.flt")
                .size(),
            64u);
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
  EXPECT_EQ(writeTo(wrapped, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 10, 10, 0),
                    "all.flt")
                .size(),
            400u);
  EXPECT_NE(output("all.hdr").find("cellsize      9.2592593e-05\r\n"), std::string::npos);

  // A 10 x 10 XYZ write at step 3 has 16 lines.
  ScriptedDesktop text;
  const std::string lines =
      writeTo(text, Program::extractor, request(OutputKind::RectangularXyz, 1356, 1356, 10, 10, 3),
              "thin.csv");
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
  const std::string lines = writeTo(desktop, Program::viewer, r, "feet.csv");
  const double w = ewSpacingAtRow(groundSpacingFromRow(*findDegreeLengths(37)), 1356);
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
  EXPECT_EQ(writeTo(extractor, Program::extractor, r, "grid.csv"),
            "100.000,-9999.000,-0.000,-0.001,0.000,-0.000\r\n");
  ScriptedDesktop viewer;
  EXPECT_EQ(writeTo(viewer, Program::viewer, r, "grid.csv"),
            "100.000,-9999.000,0.001,-0.001,0.000,0.001\r\n");

  // The reduced tile converts elevations but keeps its no-data cells at -9999.
  r.kind = OutputKind::BinaryFlt;
  r.toFeet = true;
  ScriptedDesktop binary;
  EXPECT_EQ(writeTo(binary, Program::viewer, r, "feet.flt"),
            floatBytes({328.084f, -9999.0f, 0.001f, static_cast<float>(-0.001f * 3.28084L), 0.0f,
                        static_cast<float>(-0.0004f * 3.28084L)}));
  EXPECT_NE(output("feet.hdr").find("NODATA        -9999\r\n"), std::string::npos);
}

TEST_F(PointWriterTest, ProjectedNorthWidensRowByRow) {
  const uint32_t cols = 2000;
  WriteRequest r = request(OutputKind::ProjectNorthXyz, 1356, 1356, 4, cols);
  ScriptedDesktop desktop;
  const std::string lines = writeTo(desktop, Program::viewer, r, "north.csv");
  const GroundSpacing spacing = groundSpacingFromRow(*findDegreeLengths(37));
  const double w0 = ewSpacingAtRow(spacing, 1356);
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
  EXPECT_EQ(writeTo(viewer, Program::viewer, request(OutputKind::ElevationCsv, 1356, 1356, 1, 3),
                    "v.csv"),
            "1.000,2.000,3.000\r\n");

  // Remove count 2 over 11 columns: columns 0, 3, 6 and 9, each with its comma.
  ScriptedDesktop extractor;
  EXPECT_EQ(writeTo(extractor, Program::extractor,
                    request(OutputKind::ElevationCsv, 1356, 1356, 1, 11, 3), "e.csv"),
            "1.000,4.000,7.000,10.000,\r\n");
  // Over 10 columns the last one is kept and ends the line without a comma.
  EXPECT_EQ(writeTo(extractor, Program::extractor,
                    request(OutputKind::ElevationCsv, 1356, 1356, 1, 10, 3), "e.csv"),
            "1.000,4.000,7.000,10.000\r\n");

  // No columns: the extractor's grid gets only its line ends and the count reads 0.
  ScriptedDesktop empty;
  EXPECT_EQ(writeTo(empty, Program::extractor, request(OutputKind::ElevationCsv, 1356, 10806, 3, 0),
                    "z.csv"),
            "\r\n\r\n\r\n");
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
    EXPECT_EQ(
        writeTo(desktop, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 3, 3), name)
            .size(),
        36u);
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
  EXPECT_EQ(writeTo(noRaster, Program::extractor, r, "empty.csv", WriteOutcome::rasterFailed), "");
  ASSERT_EQ(noRaster.messages.size(), 1u);
  EXPECT_EQ(noRaster.messages[0].text, "Can't Open Gridfloat file.");
  EXPECT_EQ(noRaster.messages[0].caption, "Message.");
  EXPECT_FALSE(posixFileSystem().stat(dir_.file("empty.csv")).exists);
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
      removeFiles({"cut.hdr", "cut.vrt"});
      const std::string bytes = writeTo(desktop, program, r, "cut.flt", WriteOutcome::endOfRaster);
      const LiteralResult literal = literalWrite(program, r);
      ASSERT_TRUE(literal.endOfRaster);
      EXPECT_EQ(bytes, literal.bytes);
      std::vector<std::string> expected = {"End of File."};
      if (program == Program::extractor) expected.push_back("10 points written.");
      EXPECT_EQ(desktop.messageTexts(), expected);
      EXPECT_EQ(desktop.messages[0].caption, "Message.");
      EXPECT_EQ(desktop.messages.back().caption,
                program == Program::extractor ? "Message" : "Message.");
      EXPECT_TRUE(desktop.endedWith.empty());  // the program's shell ends the process
      EXPECT_FALSE(testing::readFile(dir_.file("cut.flt")).empty());
      if (kind == OutputKind::BinaryFlt) {
        // The side files describe the two rows written whole, not the selection's five.
        EXPECT_EQ(output("cut.hdr"),
                  reducedTileHeaderText(4, 2, 1, "-76.875", "36.875", "NODATA        -9999"));
        EXPECT_NE(output("cut.vrt").find("rasterXSize=\"4\" rasterYSize=\"2\""), std::string::npos);
      }
    }
  }
  // The viewer's CSV grid keeps the comma of the last value before the end.
  ScriptedDesktop desktop;
  EXPECT_EQ(writeTo(desktop, Program::viewer, request(OutputKind::ElevationCsv, 1358, 1356, 1, 4),
                    "cut.csv", WriteOutcome::endOfRaster),
            "7.000,8.000,");
  // Ending where a kept row starts, the row gets nothing, not even a comma.
  testing::makeSparseRaster(rasterPath_, cellOffset(1358, 1356));
  testing::plantSamples(rasterPath_, 1357, 1356, {5.0f, 6.0f});
  ScriptedDesktop atRow;
  EXPECT_EQ(writeTo(atRow, Program::viewer, request(OutputKind::ElevationCsv, 1357, 1356, 2, 2),
                    "row.csv", WriteOutcome::endOfRaster),
            "5.000,6.000\r\n");

  // A first cell no seek can reach is the end of the raster, not the start of the file.
  ScriptedDesktop before;
  EXPECT_EQ(writeTo(before, Program::extractor, request(OutputKind::ElevationCsv, -1, 0, 2, 2),
                    "before.csv", WriteOutcome::endOfRaster),
            "");
  EXPECT_EQ(before.messageTexts(), (std::vector<std::string>{"End of File.", "0 points written."}));
}

// A disk that fails every write through the file seam.
void failEveryWrite(ScriptedFileSystem& files) {
  files.fails = [](const FileCall& call) { return call.what == "write"; };
}

// The names in the test's folder, but the tile's.
std::vector<std::string> filesBeside(const TempDir& dir) {
  std::vector<std::string> names;
  for (const std::string& name : posixFileSystem().list(dir.path())) {
    if (name.rfind("n37w077.", 0) != 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(PointWriterTest, FailedWritesAreToldAndNotCounted) {
  plantBlock(3000, 20, 300, 300);
  struct Case {
    OutputKind kind;
    uint32_t rows;
  };
  // A small output fails when its one block is written at the end, a large one in the
  // middle of the pass. Nothing is left behind.
  for (const Case c : {Case{OutputKind::RectangularXyz, 3}, Case{OutputKind::RectangularXyz, 300},
                       Case{OutputKind::ElevationCsv, 300}, Case{OutputKind::BinaryFlt, 2}}) {
    ScriptedFileSystem files(posixFileSystem());
    failEveryWrite(files);
    ScriptedDesktop desktop;
    desktop.disk = &files;
    writeTo(desktop, Program::extractor, request(c.kind, 3000, 20, c.rows, 300), "full.csv",
            WriteOutcome::writeFailed);
    EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{kWriteFailedText});
    EXPECT_EQ(desktop.messages[0].caption, "Message.");
    EXPECT_EQ(desktop.messages[0].style, kPlainMessage);
    EXPECT_EQ(filesBeside(dir_), std::vector<std::string>{});
  }

  // The raster ends and the output cannot take the rest: no count follows.
  testing::makeSparseRaster(rasterPath_, cellOffset(3002, 0));
  ScriptedFileSystem files(posixFileSystem());
  failEveryWrite(files);
  ScriptedDesktop ended;
  ended.disk = &files;
  writeTo(ended, Program::extractor, request(OutputKind::RectangularXyz, 3000, 20, 5, 4),
          "full.csv", WriteOutcome::writeFailed);
  EXPECT_EQ(ended.messageTexts(), (std::vector<std::string>{"End of File.", kWriteFailedText}));
  EXPECT_EQ(filesBeside(dir_), std::vector<std::string>{});
}

// Every output of a reduced tile, failing every way a disk fails: a short write, a full
// disk, a failed flush (the side files are flushed) and a failed close. Each tells which
// file it was, counts nothing, and leaves the earlier files of those names as they were
// and no part behind.
TEST_F(PointWriterTest, EachOutputFailingLeavesTheEarlierFiles) {
  plantBlock(1356, 1356, 3, 3);
  const WriteRequest r = request(OutputKind::BinaryFlt, 1356, 1356, 3, 3);
  const uint64_t rasterBytes = 36;
  const uint64_t headerBytes =
      reducedTileHeaderText(3, 3, 1, "-76.875", "36.875", "NODATA        -9999").size();
  struct Case {
    const char* file;  // the output that fails
    const char* how;   // "short", "write", "flush", "close"
    const char* text;
    WriteOutcome outcome;
  };
  const Case cases[] = {
      {"red.flt", "short", kWriteFailedText, WriteOutcome::writeFailed},
      {"red.flt", "write", kWriteFailedText, WriteOutcome::writeFailed},
      {"red.flt", "close", kWriteFailedText, WriteOutcome::writeFailed},
      {"red.hdr", "short", kHeaderWriteFailedText, WriteOutcome::writeFailed},
      {"red.hdr", "write", kHeaderWriteFailedText, WriteOutcome::writeFailed},
      {"red.hdr", "flush", kHeaderWriteFailedText, WriteOutcome::writeFailed},
      {"red.hdr", "close", kHeaderWriteFailedText, WriteOutcome::writeFailed},
      {"red.hdr", "create", "Can't Open Header file.\n", WriteOutcome::headerFailed},
      {"red.vrt", "short", kVrtWriteFailedText, WriteOutcome::writeFailed},
      {"red.vrt", "write", kVrtWriteFailedText, WriteOutcome::writeFailed},
      {"red.vrt", "flush", kVrtWriteFailedText, WriteOutcome::writeFailed},
      {"red.vrt", "close", kVrtWriteFailedText, WriteOutcome::writeFailed},
      // Put in place last, after the raster and the header: those it removes again only
      // when they are new names (an earlier file once replaced cannot come back).
      {"red.vrt", "replace", kVrtWriteFailedText, WriteOutcome::writeFailed},
  };
  const std::vector<std::string> names = {"red.flt", "red.hdr", "red.vrt"};
  for (const bool earlier : {true, false}) {
    for (const Case& c : cases) {
      if (earlier && std::string(c.how) == "replace") continue;
      SCOPED_TRACE(std::string(c.file) + " " + c.how + (earlier ? " over earlier files" : ""));
      for (const std::string& name : names) {
        std::remove(dir_.file(name).c_str());
        if (earlier) testing::writeFile(dir_.file(name), "earlier " + name);
      }
      ScriptedFileSystem files(posixFileSystem());
      const std::string failing = dir_.file(c.file);
      const std::string how = c.how;
      if (how == "short") {
        files.diskRoom = std::string(c.file) == "red.flt"   ? rasterBytes / 2
                         : std::string(c.file) == "red.hdr" ? rasterBytes + headerBytes / 2
                                                            : rasterBytes + headerBytes + 10;
      } else {
        files.fails = [&](const FileCall& call) {
          return call.what == how && call.path.rfind(failing, 0) == 0;
        };
      }
      ScriptedDesktop desktop;
      desktop.disk = &files;
      desktop.buttons = {MessageAnswer::yes};
      writeTo(desktop, Program::viewer, r, "red.flt", c.outcome);
      std::vector<std::string> expected;
      if (earlier)
        expected.push_back("red.hdr and red.vrt already exist.\nDo you want to replace them?");
      expected.push_back(c.text);
      EXPECT_EQ(desktop.messageTexts(), expected);
      EXPECT_EQ(filesBeside(dir_), earlier ? names : std::vector<std::string>{});
      for (const std::string& name : names) {
        if (earlier) {
          EXPECT_EQ(output(name), "earlier " + name);
        }
      }
    }
  }
}

TEST_F(PointWriterTest, HeaderFailures) {
  plantBlock(1356, 1356, 3, 3);
  // The header's name cannot be taken (a folder has it): nothing is written, no count.
  ASSERT_EQ(mkdir(dir_.file("blocked.hdr").c_str(), 0700), 0);
  ScriptedDesktop blocked;
  writeTo(blocked, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 3, 3), "blocked.flt",
          WriteOutcome::headerFailed);
  EXPECT_EQ(blocked.messageTexts(), std::vector<std::string>{"Can't Open Header file.\n"});
  EXPECT_EQ(blocked.messages[0].caption, "Message.");
  EXPECT_FALSE(posixFileSystem().stat(dir_.file("blocked.flt")).exists);
  EXPECT_FALSE(posixFileSystem().stat(dir_.file("blocked.vrt")).exists);

  // A disk with room for the raster only: the header fails at its write; so far the write
  // was told as done with empty side files.
  ScriptedFileSystem files(posixFileSystem());
  files.diskRoom = 36;
  ScriptedDesktop full;
  full.disk = &files;
  writeTo(full, Program::viewer, request(OutputKind::BinaryFlt, 1356, 1356, 3, 3), "full.flt",
          WriteOutcome::writeFailed);
  EXPECT_EQ(full.messageTexts(), std::vector<std::string>{kHeaderWriteFailedText});
  EXPECT_FALSE(posixFileSystem().stat(dir_.file("full.flt")).exists);
  EXPECT_FALSE(posixFileSystem().stat(dir_.file("full.hdr")).exists);
}

// The reduced tile's side files replace files of their names only when the user agrees,
// and never a file of the tiles read; so far the opened tile's header was replaced unasked.
TEST_F(PointWriterTest, SideFilesAskBeforeReplacingAndSpareTheTilesFiles) {
  plantBlock(1356, 1356, 3, 3);
  const WriteRequest r = request(OutputKind::BinaryFlt, 1356, 1356, 3, 3);
  testing::writeFile(dir_.file("n37w077.hdr"), "the tile's header");
  struct Case {
    const char* name;
    std::vector<std::string> earlier;  // files there before
    MessageAnswer answer;
    std::vector<std::string> messages;
    WriteOutcome outcome;
  };
  const Case cases[] = {
      {"red.flt",
       {"red.hdr"},
       MessageAnswer::no,
       {"red.hdr already exists.\nDo you want to replace it?"},
       WriteOutcome::cancelled},
      {"red.flt",
       {"red.vrt"},
       MessageAnswer::yes,
       {"red.vrt already exists.\nDo you want to replace it?", "9 points written."},
       WriteOutcome::written},
      {"N37W077.dat",
       {},
       MessageAnswer::yes,
       {"N37W077.hdr belongs to the opened tile: choose another name for the reduced tile."},
       WriteOutcome::outputFailed},
      {"n37w077.FLT",
       {},
       MessageAnswer::yes,
       {"n37w077.FLT belongs to the opened tile: choose another name for the reduced tile."},
       WriteOutcome::outputFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    removeFiles({"red.flt", "red.hdr", "red.vrt"});
    for (const std::string& name : c.earlier) testing::writeFile(dir_.file(name), "earlier");
    ScriptedDesktop desktop;
    desktop.buttons = {c.answer};
    writeTo(desktop, Program::viewer, r, c.name, c.outcome);
    EXPECT_EQ(desktop.messageTexts(), c.messages);
    if (c.outcome != WriteOutcome::written) {
      for (const std::string& name : c.earlier) EXPECT_EQ(output(name), "earlier");
    }
    EXPECT_EQ(output("n37w077.hdr"), "the tile's header");
  }
  // A tile read beside the opened one: its raster and its header.
  WriteRequest beside = r;
  beside.mosaic.rasterPaths = {rasterPath_, dir_.file("n37w076.flt")};
  ScriptedDesktop desktop;
  writeTo(desktop, Program::viewer, beside, "n37w076.dat", WriteOutcome::outputFailed);
  EXPECT_EQ(desktop.messageTexts(),
            std::vector<std::string>{"n37w076.hdr belongs to a tile read beside it: choose "
                                     "another name for the reduced tile."});
  // A point file is refused the tile's names too.
  ScriptedDesktop csv;
  writeTo(csv, Program::extractor, request(OutputKind::ElevationCsv, 1356, 1356, 3, 3),
          "n37w077.flt", WriteOutcome::outputFailed);
  EXPECT_EQ(csv.messageTexts(),
            std::vector<std::string>{
                "n37w077.flt belongs to the opened tile: choose another name for the point file."});
}

// A failed write over an earlier reduced tile leaves all of it; an end of the raster puts
// the rows written in place with side files of those rows. So far the new raster lay beside
// the old header and virtual raster.
TEST_F(PointWriterTest, ANewReducedTileNeverLiesBesideOldSideFiles) {
  plantBlock(3000, 20, 40, 40);
  ScriptedDesktop first;
  writeTo(first, Program::viewer, request(OutputKind::BinaryFlt, 3000, 20, 2, 2), "red.flt");
  const std::string flt = output("red.flt");
  const std::string hdr = output("red.hdr");
  const std::string vrt = output("red.vrt");
  ScriptedFileSystem files(posixFileSystem());
  files.diskRoom = 40 * 40 * 4 / 2;
  ScriptedDesktop larger;
  larger.disk = &files;
  larger.buttons = {MessageAnswer::yes};
  writeTo(larger, Program::viewer, request(OutputKind::BinaryFlt, 3000, 20, 40, 40), "red.flt",
          WriteOutcome::writeFailed);
  EXPECT_EQ(output("red.flt"), flt);
  EXPECT_EQ(output("red.hdr"), hdr);
  EXPECT_EQ(output("red.vrt"), vrt);
}

// Two programs writing one file: the second starts and finishes while the first is in the
// middle of its pass. Each file is whole, and the one finishing last is the file.
TEST_F(PointWriterTest, OfTwoWritesIntoOneFileTheLaterReplacesItWhole) {
  plantBlock(3000, 20, 300, 300);
  const WriteRequest big = request(OutputKind::RectangularXyz, 3000, 20, 300, 300);
  WriteRequest small = request(OutputKind::RectangularXyz, 3000, 20, 3, 3);
  small.startEasting = 1000.0;
  ScriptedFileSystem files(posixFileSystem());
  ScriptedDesktop second;
  bool ran = false;
  files.before = [&](const FileCall& call) {
    if (ran || call.what != "write") return;
    ran = true;
    ScriptedFileSystem other(posixFileSystem());
    other.process = 2000;
    second.disk = &other;
    writeTo(second, Program::extractor, small, "same.csv");
  };
  ScriptedDesktop first;
  first.disk = &files;
  const std::string bytes = writeTo(first, Program::extractor, big, "same.csv");
  ASSERT_TRUE(ran);
  EXPECT_EQ(bytes, literalWrite(Program::extractor, big).bytes);
  EXPECT_EQ(first.messageTexts(), std::vector<std::string>{"90000 points written."});
  EXPECT_EQ(second.messageTexts(), std::vector<std::string>{"9 points written."});
  EXPECT_EQ(filesBeside(dir_), std::vector<std::string>{"same.csv"});

  // What a write killed before its end left is removed by the next write of that name; a
  // write still running in another program keeps its part.
  for (const char* name : {"same.csv.999.part", "SAME.CSV.998.part", "same.csv.1001.part",
                           "same.csv.x.part", "other.csv.999.part"})
    testing::writeFile(dir_.file(name), "left");
  ScriptedFileSystem later(posixFileSystem());
  later.running = {1000, 1001};
  ScriptedDesktop third;
  third.disk = &later;
  writeTo(third, Program::extractor, small, "same.csv");
  EXPECT_EQ(filesBeside(dir_), (std::vector<std::string>{"other.csv.999.part", "same.csv",
                                                         "same.csv.1001.part", "same.csv.x.part"}));
}

// Cells without data get no line in the XYZ forms, in the local grid and a map system,
// and are not counted; the other forms write them. The oracle: the full output without
// the lines ending in the no-data value.
TEST_F(PointWriterTest, SkippedCellsWithoutDataAreTheFullOutputFiltered) {
  plantBlock(3000, 20, 30, 30);
  for (const OutputKind kind : kAllKinds) {
    for (const int32_t system : {0, 26917}) {
      for (const uint32_t step : {1u, 3u}) {
        SCOPED_TRACE(::testing::Message() << kindName(kind) << " " << system << " " << step);
        WriteRequest r = request(kind, 3000, 20, 30, 30, step);
        r.coordinateSystem = system;
        removeFiles({"all.hdr", "all.vrt", "skip.hdr", "skip.vrt"});
        ScriptedDesktop full;
        const std::string all = writeTo(full, Program::extractor, r, "all.csv");
        r.skipNoData = true;
        ScriptedDesktop skipping;
        const std::string skipped = writeTo(skipping, Program::extractor, r, "skip.csv");
        if (kind == OutputKind::ElevationCsv || kind == OutputKind::BinaryFlt) {
          EXPECT_EQ(skipped, all);
          EXPECT_EQ(skipping.messageTexts(), full.messageTexts());
          continue;
        }
        std::string filtered;
        uint64_t lines = 0;
        for (size_t at = 0; at < all.size();) {
          const size_t end = all.find("\r\n", at) + 2;
          const std::string line = all.substr(at, end - at);
          const std::string noData = ", -9999.000\r\n";
          if (line.size() < noData.size() ||
              line.compare(line.size() - noData.size(), noData.size(), noData) != 0) {
            filtered += line;
            ++lines;
          }
          at = end;
        }
        EXPECT_LT(filtered.size(), all.size());
        EXPECT_EQ(skipped, filtered);
        EXPECT_EQ(skipping.messageTexts(),
                  std::vector<std::string>{std::to_string(lines) + " points written."});
      }
    }
  }
}

}  // namespace
}  // namespace ned
