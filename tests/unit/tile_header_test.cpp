#include "core/tile/tile_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/posix_file_system.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

struct ReadResult {
  bool accepted = false;
  TileHeader header;
};

ReadResult readText(const std::string& text, bool byKeywords) {
  testing::MemoryFile file;
  file.bytes = text;
  HeaderPieces pieces(file);
  ReadResult result;
  result.accepted = byKeywords ? readHeaderByKeywords(pieces, result.header)
                               : readHeaderByPosition(pieces, result.header);
  return result;
}

std::vector<std::string> piecesOf(const std::string& text) {
  testing::MemoryFile file;
  file.bytes = text;
  HeaderPieces pieces(file);
  std::vector<std::string> all;
  while (pieces.next()) all.push_back(pieces.piece());
  // Past the end the last piece stays.
  if (!all.empty()) {
    EXPECT_EQ(all.back(), pieces.piece());
  }
  return all;
}

TEST(HeaderPieces, ReadLikeTextModeLinesOfAtMost37Characters) {
  const std::string longLine(40, 'a');
  EXPECT_EQ(piecesOf("ab\r\ncd\n" + longLine + "\r\nlast"),
            (std::vector<std::string>{"ab\n", "cd\n", std::string(37, 'a'), "aaa\n", "last"}));
  // A lone CR stays, Ctrl-Z ends the text.
  EXPECT_EQ(piecesOf("x\ry\n\x1Ahidden\n"), (std::vector<std::string>{"x\ry\n"}));
  // A line of exactly 37 characters with its line end gives the line feed as a piece of its own.
  EXPECT_EQ(piecesOf(std::string(37, 'b') + "\r\n"),
            (std::vector<std::string>{std::string(37, 'b'), "\n"}));
  EXPECT_TRUE(piecesOf("").empty());
  // The file is read a block at a time: a CR LF across two blocks is one line end, and
  // the pieces are the same whatever the blocks.
  std::string lines;
  std::vector<std::string> expected;
  for (int k = 0; k < 60; ++k) {
    const std::string line = std::string(static_cast<size_t>(k % 9 + 1), 'x') + "\r\n";
    lines += line;
    expected.push_back(line.substr(0, line.size() - 2) + "\n");
  }
  for (size_t cr = 500; cr < 530; ++cr) {
    std::string text = std::string(cr, '.') + "\r\n" + lines;
    std::vector<std::string> want;
    for (size_t at = 0; at < cr; at += 37)
      want.push_back(std::string(std::min<size_t>(37, cr - at), '.'));
    if (cr % 37 == 0)
      want.push_back("\n");
    else
      want.back() += "\n";
    want.insert(want.end(), expected.begin(), expected.end());
    EXPECT_EQ(piecesOf(text), want) << cr;
  }
}

TEST(ReadHeaderFile, OpensThroughTheFileSeamWithTheProgramsReader) {
  testing::TempDir dir;
  // Short form split into more than 8 pieces: the viewer normalises, the extractor not.
  const std::string text =
      "ncols 10812\nnrows 10812\nxllcorner -84.00055555556\n"
      "yllcorner 33.99944444444\na\nb\nc\nd\ne\n";
  testing::writeFile(dir.file("t.hdr"), text);
  testing::ScriptedFileSystem files(posixFileSystem());
  TileHeader viewer, extractor;
  EXPECT_EQ(readHeaderFile(files, Program::viewer, dir.file("t.hdr"), viewer),
            HeaderFileRead::accepted);
  EXPECT_EQ(readHeaderFile(files, Program::extractor, dir.file("t.hdr"), extractor),
            HeaderFileRead::accepted);
  EXPECT_DOUBLE_EQ(viewer.tileSouthLat, 31.999444444445);
  EXPECT_DOUBLE_EQ(extractor.tileSouthLat, 33.99944444444);
  EXPECT_EQ(files.calls.size(), 2u);
  EXPECT_EQ(files.calls[0].what, "open");
  EXPECT_EQ(files.calls[0].path, dir.file("t.hdr"));

  testing::writeFile(dir.file("r.hdr"), "ncols 1201\n");
  EXPECT_EQ(readHeaderFile(files, Program::viewer, dir.file("r.hdr"), viewer),
            HeaderFileRead::rejected);
  files.fails = [](const testing::FileCall& call) { return call.what == "open"; };
  TileHeader untouched;
  EXPECT_EQ(readHeaderFile(files, Program::extractor, dir.file("t.hdr"), untouched),
            HeaderFileRead::notOpened);
  EXPECT_EQ(untouched.rasterCols, 0);
}

TEST(TakeNumber, SkipsToTheFirstDigitAndIgnoresTheSign) {
  EXPECT_DOUBLE_EQ(takeNumber("xllcorner     -84.00055555556\n"), 84.00055555556);
  EXPECT_DOUBLE_EQ(takeNumber("ULYMAP 35.0005092593"), 35.0005092593);
  EXPECT_EQ(takeNumber("NODATA_value  none\n"), 0.0);
  EXPECT_EQ(takeNumber(""), 0.0);
  EXPECT_DOUBLE_EQ(takeNumber("a.5b7.25"), 5.0);  // the point before the first digit is skipped
  EXPECT_DOUBLE_EQ(takeNumber("v 12e3x"), 12000.0);
}

TEST(HeaderReaders, ShortFormGivesTheSameTileInBothPrograms) {
  const std::string text = testing::shortHeader(-84.00055555556, 33.99944444444);
  for (bool byKeywords : {true, false}) {
    SCOPED_TRACE(byKeywords ? "viewer" : "extractor");
    const ReadResult r = readText(text, byKeywords);
    ASSERT_TRUE(r.accepted);
    EXPECT_DOUBLE_EQ(r.header.tileWestLon, 84.00055555556);
    EXPECT_DOUBLE_EQ(r.header.tileSouthLat, 33.99944444444);
    EXPECT_EQ(r.header.rasterCols, 10812);
    EXPECT_EQ(r.header.rasterRows, 10812);
    EXPECT_EQ(northEdgeLat(r.header), 35);
    EXPECT_EQ(southEdgeLat(r.header), 34);
    EXPECT_EQ(westEdgeLon(r.header), 84);
    EXPECT_EQ(eastEdgeLon(r.header), 83);
    EXPECT_EQ(r.header.nodataLine, byKeywords ? "NODATA        -9999" : "");
  }
}

TEST(TileEdges, AreHeldAtTheLimitsForCornersBeyondAnyTile) {
  struct Case {
    const char* xllcorner;
    const char* yllcorner;
    int32_t north, south, west, east;
  };
  const Case cases[] = {
      {"-84.00055555556", "33.99944444444", 35, 34, 84, 83},
      {"-84.00055555556", "2147483646", INT32_MAX, INT32_MAX, 84, 83},
      {"-1e308", "1e308", INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX - 1},
      {"-99999999999", "99999999999", INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX - 1},
      {"-2147483647.9", "2147483645.5", INT32_MAX, INT32_MAX - 1, INT32_MAX, INT32_MAX - 1},
      {"-0.5", "0", 2, 1, 0, -1},
  };
  for (const Case& c : cases) {
    for (bool byKeywords : {true, false}) {
      SCOPED_TRACE(std::string(c.yllcorner) + (byKeywords ? " viewer" : " extractor"));
      const ReadResult r = readText(std::string("ncols 10812\nnrows 10812\nxllcorner ") +
                                        c.xllcorner + "\nyllcorner " + c.yllcorner + "\n",
                                    byKeywords);
      ASSERT_TRUE(r.accepted);
      EXPECT_EQ(northEdgeLat(r.header), c.north);
      EXPECT_EQ(southEdgeLat(r.header), c.south);
      EXPECT_EQ(westEdgeLon(r.header), c.west);
      EXPECT_EQ(eastEdgeLon(r.header), c.east);
    }
  }
  // No reader gives a corner below zero, but the edges hold there too.
  TileHeader below;
  below.tileSouthLat = below.tileWestLon = -1e308;
  EXPECT_EQ(northEdgeLat(below), INT32_MIN + 2);
  EXPECT_EQ(southEdgeLat(below), INT32_MIN + 1);
  EXPECT_EQ(westEdgeLon(below), INT32_MIN);
  EXPECT_EQ(eastEdgeLon(below), INT32_MIN);
}

TEST(HeaderReaders, LongFormIsNormalisedToTheShortFormsCorner) {
  // The long form as common GIS tools write it.
  const std::string gis = testing::longGisHeader(-85.0005092592587, 37.0005092592587);
  // A plainer long form: ULYMAP on the line after ULXMAP, " 10812" not on both first lines.
  const std::string plain =
      "ncols 10812\nnbands 1\nnrows 10812\nnbits 32\nlayout bil\npixeltype float\n"
      "ULXMAP -84.0005092593\nULYMAP 35.0005092593\nXDIM 0.0000925926\nYDIM 0.0000925926\n";
  for (bool byKeywords : {true, false}) {
    SCOPED_TRACE(byKeywords ? "viewer" : "extractor");
    ReadResult r = readText(gis, byKeywords);
    ASSERT_TRUE(r.accepted);
    EXPECT_DOUBLE_EQ(r.header.tileWestLon, 85.000555555555);
    EXPECT_DOUBLE_EQ(r.header.tileSouthLat, 35.999444444445);
    EXPECT_EQ(northEdgeLat(r.header), 37);
    EXPECT_EQ(westEdgeLon(r.header), 85);
    r = readText(plain, byKeywords);
    ASSERT_TRUE(r.accepted);
    EXPECT_DOUBLE_EQ(r.header.tileWestLon, 84.000555555555);
    EXPECT_DOUBLE_EQ(r.header.tileSouthLat, 33.999444444445);
  }
}

TEST(HeaderReaders, ViewerChoosesTheFormByTheNumberOfPieces) {
  // Long lines split into more than 8 pieces make the viewer normalise a short form.
  const std::string text =
      "ncols         10812\nnrows         10812\n"
      "xllcorner     -84.00055555556" +
      std::string(30, ' ') +
      "\n"
      "yllcorner     33.99944444444" +
      std::string(30, ' ') +
      "\n"
      "cellsize      0.00009259259259\nNODATA_value  -9999\n"
      "byteorder     LSBFIRST\n";
  const ReadResult viewer = readText(text, true);
  ASSERT_TRUE(viewer.accepted);
  EXPECT_DOUBLE_EQ(viewer.header.tileSouthLat, 31.999444444445);
  EXPECT_DOUBLE_EQ(viewer.header.tileWestLon, 84.000555555555);
  // The extractor takes the third and fourth pieces: the longitude, then the blanks that
  // end its line.
  const ReadResult extractor = readText(text, false);
  ASSERT_TRUE(extractor.accepted);
  EXPECT_DOUBLE_EQ(extractor.header.tileWestLon, 84.00055555556);
  EXPECT_EQ(extractor.header.tileSouthLat, 0.0);
}

TEST(HeaderReaders, KeywordsInOtherLetterCasesAreNotRecognised) {
  const std::string text =
      "ncols 10812\nnrows 10812\nXLLCORNER -84.00055555556\n"
      "YLLCORNER 33.99944444444\n";
  EXPECT_FALSE(readText(text, true).accepted);
  const std::string mixed =
      "ncols 10812\nnrows 10812\nxllcorner -84.00055555556\n"
      "Yllcorner 33.99944444444\n";
  EXPECT_FALSE(readText(mixed, true).accepted);
  // The extractor's short form reads by position and takes them anyway.
  const ReadResult extractor = readText(text, false);
  ASSERT_TRUE(extractor.accepted);
  EXPECT_DOUBLE_EQ(extractor.header.tileWestLon, 84.00055555556);
}

TEST(HeaderReaders, ViewerCountsDimensionsAndCorners) {
  // One dimension line missing: rejected.
  EXPECT_FALSE(
      readText("ncols 10812\nnrows 10800\nxllcorner -84.0005\nyllcorner 33.9994\n", true).accepted);
  // Three "10812" and one corner add up to 4: accepted, but the size is not taken from it.
  const ReadResult odd = readText("a 10812\nb 10812\nc 10812\nxllcorner -84.0005\n", true);
  EXPECT_TRUE(odd.accepted);
  EXPECT_EQ(odd.header.rasterCols, 0);
  // A piece naming both keywords of an axis counts for neither.
  EXPECT_FALSE(readText("ncols 10812\nnrows 10812\nxllcorner ULXMAP -84\nyllcorner 33.9994\n", true)
                   .accepted);
}

TEST(HeaderReaders, ViewerRefusesACornerThatIsNotANumber) {
  struct Case {
    const char* xllcorner;
    const char* yllcorner;
    bool accepted;
  };
  const Case cases[] = {{"nan", "33.99944444444", false},
                        {"-84.00055555556", "NaN", false},
                        {"-inf", "33.99944444444", false},
                        {"", "33.99944444444", false},
                        {"-84.00055555556", "33.99944444444", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.xllcorner) + " " + c.yllcorner);
    const std::string text = std::string("ncols 10812\nnrows 10812\nxllcorner ") + c.xllcorner +
                             "\nyllcorner " + c.yllcorner + "\n";
    EXPECT_EQ(readText(text, true).accepted, c.accepted);
    // The extractor takes its corner by position, 0 for a piece without a number, and its
    // own checks of the typed corner follow.
    EXPECT_TRUE(readText(text, false).accepted);
  }
  // The long form alike; nor does a later piece with a number, or a third dimension line
  // making up the count, let it pass.
  std::string spoilt = testing::longGisHeader(-85.0005092592587, 37.0005092592587);
  spoilt.replace(spoilt.find("-85.0005092592587"), 17, "nan");
  EXPECT_FALSE(readText(spoilt, true).accepted);
  EXPECT_FALSE(readText("ncols 10812\nnrows 10812\nxllcorner nan\nyllcorner 33.9994\n"
                        "xllcorner -84.0005\n",
                        true)
                   .accepted);
  EXPECT_FALSE(
      readText("a 10812\nb 10812\nc 10812\nxllcorner nan\nyllcorner 33.9994\n", true).accepted);
}

TEST(HeaderReaders, ExtractorFindsItsDimensionsByPosition) {
  // " 10812" only in the third and fourth pieces: long form; without ULXMAP the corner stays 0.
  const ReadResult late =
      readText("BYTEORDER I\nLAYOUT BIL\nNROWS 10812\nNCOLS 10812\nNBITS 32\n", false);
  ASSERT_TRUE(late.accepted);
  EXPECT_EQ(late.header.tileWestLon, 0.0);
  EXPECT_EQ(late.header.tileSouthLat, 0.0);
  // No blank before the number: not counted.
  EXPECT_FALSE(
      readText("ncols\t10812\nnrows\t10812\nxllcorner -84\nyllcorner 33\n", false).accepted);
  // Only in the fifth piece: too late.
  EXPECT_FALSE(readText("a\nb\nc\nd 10812\ne 10812\n", false).accepted);
  // A two-line header: the reads past the end look at the last piece again.
  const ReadResult twoLines = readText("x 10812\n", false);
  EXPECT_TRUE(twoLines.accepted);
}

}  // namespace
}  // namespace ned
