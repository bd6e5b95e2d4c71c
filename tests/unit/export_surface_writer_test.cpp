// The surface forms' files and faults: a tiny surface written as LandXML and as DXF 3D
// faces, byte for byte as the golden files hold it, and through the whole write the
// refusals (a block over the limit, a block without data) and the failed writes, each
// leaving no file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/export/point_writer.h"
#include "core/export/surface_writer.h"
#include "core/posix_file_system.h"
#include "tests/support/demo_request.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

// A block of 5 x 4 cells on a plane rising east and falling south, with a bump at row 1,
// column 2 and no data at its south-east corner: its surface made by hand (the six cells
// that hold it, five faces round the bump, counter-clockwise, Delaunay, the corner cut
// off), so that the files do not follow the build's choice of faces. The vertices come in
// no order, and one of them is in no face: the file numbers the others row by row.
TinSurface tinySurface() {
  TinSurface surface;
  surface.vertices = {{1, 2, 103000},  // 0 the bump (thousandths)
                      {3, 3, 101500},  // 1
                      {3, 1, 99500},   // 2 in no face
                      {0, 4, 104000},  // 3 north-east corner
                      {0, 0, 100000},  // 4 north-west corner
                      {2, 4, 103250},  // 5
                      {3, 0, 98500}};  // 6 south-west corner
  surface.faces = {{4, 6, 0}, {6, 1, 0}, {1, 5, 0}, {5, 3, 0}, {3, 4, 0}};
  return surface;
}

WritePlan tinyPlan(OutputKind kind) {
  WritePlan plan;
  plan.kind = kind;
  plan.rows = 4;
  plan.cols = 5;
  plan.step = 1;
  plan.startEasting = 1000.0;
  plan.startNorthing = 2000.0;
  plan.firstRowEwSpacing = 8.25;
  plan.nsSpacing = 10.5;
  return plan;
}

std::string goldenFile(const std::string& name) {
  std::ifstream in(testing::projectFile("tests/data/" + name), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SurfaceWriter, TinySurfaceIsWrittenAsTheGoldenFilesHoldIt) {
  SurfaceLabels labels;
  labels.application = "gridpick";
  labels.surfaceName = "n37w085 (R&D) from row 8, column 12";
  labels.date = "2026-01-02";
  labels.time = "03:04:05";
  for (const auto& [kind, name] : {std::pair{OutputKind::LandXmlTin, "surface_tiny.xml"},
                                   std::pair{OutputKind::DxfTin, "surface_tiny.dxf"}}) {
    SCOPED_TRACE(name);
    testing::MemoryFile out;
    uint64_t points = 0;
    uint64_t faces = 0;
    ASSERT_TRUE(writeSurfaceFile(tinyPlan(kind), tinySurface(), labels, out, &points, &faces));
    EXPECT_EQ(points, 6u);
    EXPECT_EQ(faces, 5u);
    const std::string golden = goldenFile(name);
    EXPECT_FALSE(golden.empty());
    EXPECT_EQ(out.bytes, golden);
    if (out.bytes != golden) {
      // What was written, to compare with the golden file.
      const std::string folder = testing::projectFile("build/test-scratch/surface");
      std::system(("mkdir -p '" + folder + "'").c_str());
      std::ofstream(folder + "/" + name, std::ios::binary) << out.bytes;
    }
  }
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Every way a surface write ends but one leaves no file: refused before the save dialog
// when the kept block has over 36,000,000 cells, refused after it when the block holds no data,
// and a failed write or put in place. The written file's counts are the message's.
TEST(SurfaceWriter, RefusalsAndFailuresLeaveNoFile) {
  struct Case {
    const char* name;
    OutputKind kind;
    Selection block;
    bool noData;          // the block's cells planted as -9999 in a raster of its own
    uint64_t diskRoom;    // the bytes the disk takes
    const char* failing;  // the call of the file seam that fails
    WriteOutcome outcome;
    bool dialog;          // the save dialog was asked
    const char* message;  // nullptr: the count message
  };
  const Selection small = {5200, 4000, 40, 50, 0, 1};
  const Selection tooWide = {0, 0, 6001, 6000, 0, 1}, tooHigh = {0, 0, 5000, 7201, 0, 1};
  const Selection largest = {0, 0, 5000, 7200, 0, 1}, thinned = {0, 0, 7000, 7000, 1, 2};
  const Selection empty = {5406, 5406, 6, 7, 0, 1};
  for (const Case& c : std::vector<Case>{
           {"written", OutputKind::LandXmlTin, small, false, UINT64_MAX, "", WriteOutcome::written,
            true, nullptr},
           {"6001 x 6000", OutputKind::LandXmlTin, tooWide, false, UINT64_MAX, "",
            WriteOutcome::noSurface, false, kSurfaceTooLargeText},
           {"5000 x 7201", OutputKind::DxfTin, tooHigh, false, UINT64_MAX, "",
            WriteOutcome::noSurface, false, kSurfaceTooLargeText},
           {"5000 x 7200 fits, then cancelled", OutputKind::DxfTin, largest, false, UINT64_MAX, "",
            WriteOutcome::cancelled, true, ""},
           {"7000 x 7000 kept in 3500 x 3500 fits, then cancelled", OutputKind::LandXmlTin, thinned,
            false, UINT64_MAX, "", WriteOutcome::cancelled, true, ""},
           {"no data", OutputKind::LandXmlTin, empty, true, UINT64_MAX, "", WriteOutcome::noSurface,
            true, kSurfaceNoDataText},
           {"full disk", OutputKind::LandXmlTin, small, false, 100, "", WriteOutcome::writeFailed,
            true, kWriteFailedText},
           {"full disk, DXF", OutputKind::DxfTin, small, false, 5000, "", WriteOutcome::writeFailed,
            true, kWriteFailedText},
           {"part not made", OutputKind::DxfTin, small, false, UINT64_MAX, "create",
            WriteOutcome::outputFailed, true, "Can't Open Output file.\n"},
           {"close fails", OutputKind::LandXmlTin, small, false, UINT64_MAX, "close",
            WriteOutcome::writeFailed, true, kWriteFailedText},
           {"not put in place", OutputKind::DxfTin, small, false, UINT64_MAX, "replace",
            WriteOutcome::writeFailed, true, kWriteFailedText}}) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    testing::TempDir rasterDir;
    WriteRequest request = testing::demoRequest(false);
    if (c.noData) {
      request.header.rasterPath = rasterDir.file("empty.flt");
      testing::makeSparseRaster(request.header.rasterPath);
      for (uint32_t r = 0; r < c.block.rows; ++r)
        testing::plantSamples(request.header.rasterPath, static_cast<int32_t>(c.block.startRow + r),
                              static_cast<int32_t>(c.block.startCol),
                              std::vector<float>(c.block.cols, -9999.0f));
    }
    request.selection = c.block;
    request.kind = c.kind;
    request.tolerance = 0.5;
    testing::ScriptedFileSystem files(posixFileSystem());
    files.diskRoom = c.diskRoom;
    const std::string failing = c.failing;
    files.fails = [&](const testing::FileCall& call) { return call.what == failing; };
    testing::ScriptedDesktop desktop;
    desktop.disk = &files;
    const std::string path =
        dir.file(c.kind == OutputKind::LandXmlTin ? "surface.xml" : "surface.dxf");
    if (std::string(c.name).find("cancelled") == std::string::npos) desktop.chooseFile(path);
    EXPECT_EQ(writePoints(desktop, Program::extractor, request), c.outcome);
    EXPECT_EQ(desktop.dialogs.size(), c.dialog ? 1u : 0u);
    const std::vector<std::string> left = posixFileSystem().list(dir.path());
    if (c.message != nullptr) {
      EXPECT_EQ(desktop.messageTexts(), std::string(c.message).empty()
                                            ? std::vector<std::string>{}
                                            : std::vector<std::string>{c.message});
      EXPECT_TRUE(left.empty()) << left.front();
      continue;
    }
    ASSERT_EQ(left, std::vector<std::string>{"surface.xml"});
    const std::string text = testing::readFile(path);
    const size_t points = count(text, "<P id=");
    const size_t faces = count(text, "<F>");
    EXPECT_GT(faces, 20u);
    EXPECT_EQ(desktop.messageTexts(), std::vector<std::string>{surfaceCountText(points, faces)});
  }
  EXPECT_EQ(surfaceCountText(48213, 95902), "48,213 points and 95,902 faces written.");
  EXPECT_EQ(surfaceCountText(999, 1000000), "999 points and 1,000,000 faces written.");
}

}  // namespace
}  // namespace ned
