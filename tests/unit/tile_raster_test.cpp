#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/posix_file_system.h"
#include "core/tile/raster.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::TempDir;

constexpr int64_t kTileBytes = INT64_C(467597376);

TEST(CellOffset, AddressesTheFixedGeometry) {
  EXPECT_EQ(cellOffset(0, 0), 0);
  EXPECT_EQ(cellOffset(0, 10811), 43244);
  EXPECT_EQ(cellOffset(6, 6), 259512);
  EXPECT_EQ(cellOffset(10805, 10805), 467337860);
  EXPECT_EQ(cellOffset(10811, 0), 467554128);
  EXPECT_EQ(cellOffset(10811, 10811), 467597372);
  EXPECT_EQ(cellOffset(10811, 10811) + 4, kTileBytes);
}

TEST(BlockRead, ReadsRowsAndSkipsToTheSameColumnOfTheNextRow) {
  TempDir dir;
  const std::string path = dir.file("t.flt");
  testing::makeSparseRaster(path);
  testing::plantSamples(path, 6, 6, {1.5f, 2.5f, 3.5f});
  testing::plantSamples(path, 7, 5, {-1.0f, 4.5f, 5.5f, 6.5f, -2.0f});
  RasterFile raster;
  ASSERT_TRUE(raster.open(posixFileSystem(), path));
  BlockReader block(raster, 3);
  ASSERT_TRUE(block.start(6, 6));
  float row[3];
  ASSERT_EQ(block.readRow(row), 3u);
  EXPECT_EQ(row[0], 1.5f);
  EXPECT_EQ(row[2], 3.5f);
  ASSERT_EQ(block.readRow(row), 3u);
  EXPECT_EQ(row[0], 4.5f);
  EXPECT_EQ(row[2], 6.5f);
}

TEST(BlockRead, TheLastCellIsNotTheEndButTheReadAfterItIs) {
  TempDir dir;
  const std::string path = dir.file("t.flt");
  testing::makeSparseRaster(path);
  testing::plantSamples(path, 10811, 10810, {7.0f, 8.0f});
  RasterFile raster;
  ASSERT_TRUE(raster.open(posixFileSystem(), path));
  BlockReader block(raster, 2);
  ASSERT_TRUE(block.start(10810, 10810));
  float row[2];
  EXPECT_EQ(block.readRow(row), 2u);
  ASSERT_EQ(block.readRow(row), 2u);  // ends exactly at the end of the file
  EXPECT_EQ(row[1], 8.0f);
  EXPECT_EQ(block.readRow(row), 0u);  // the next read finds the end

  // One byte short of a whole tile: the last cell cannot be read.
  testing::makeSparseRaster(path, kTileBytes - 1);
  ASSERT_TRUE(raster.open(posixFileSystem(), path));
  BlockReader shortBlock(raster, 2);
  ASSERT_TRUE(shortBlock.start(10811, 10810));
  EXPECT_EQ(shortBlock.readRow(row), 1u);
}

TEST(BlockRead, OneCellBlocksMoveOnByAWholeRow) {
  TempDir dir;
  const std::string path = dir.file("t.flt");
  testing::makeSparseRaster(path, cellOffset(3, 0));
  testing::plantSamples(path, 0, 5, {11.0f});
  testing::plantSamples(path, 1, 5, {12.0f});
  testing::plantSamples(path, 2, 5, {13.0f});
  RasterFile raster;
  ASSERT_TRUE(raster.open(posixFileSystem(), path));
  BlockReader block(raster, 1);
  ASSERT_TRUE(block.start(0, 5));
  float value;
  for (float expected : {11.0f, 12.0f, 13.0f}) {
    ASSERT_EQ(block.readRow(&value), 1u);
    EXPECT_EQ(value, expected);
  }
  EXPECT_EQ(block.readRow(&value), 0u);
}

TEST(StridedRead, TakesEveryStepthCellAndLandsOnTheNextSampledRow) {
  TempDir dir;
  const std::string path = dir.file("t.flt");
  testing::makeSparseRaster(path);
  // The whole-degree view samples rows and columns 6, 30, ..., 10782.
  std::vector<float> row6(10800, 0.0f);
  for (int c = 0; c < 10800; c += 24) row6[c] = static_cast<float>(c / 24 + 1);
  testing::plantSamples(path, 6, 6, row6);
  testing::plantSamples(path, 10782, 10782, {99.0f});
  testing::plantSamples(path, 10782, 10783, {-5.0f});  // not sampled
  RasterFile raster;
  ASSERT_TRUE(raster.open(posixFileSystem(), path));
  StridedReader strided(raster);
  ASSERT_TRUE(raster.seekTo(cellOffset(6, 6)));
  std::vector<float> samples(450);
  for (int r = 0; r < 450; ++r) {
    ASSERT_EQ(strided.readRow(samples.data(), 450, 24), 450u) << r;
    if (r == 0) {
      for (int c = 0; c < 450; ++c) ASSERT_EQ(samples[c], static_cast<float>(c + 1)) << c;
    }
    ASSERT_TRUE(raster.skip(static_cast<int64_t>(24) * 41448));
  }
  EXPECT_EQ(samples[449], 99.0f);
  EXPECT_EQ(samples[448], 0.0f);
}

TEST(StridedRead, StopsAtTheFirstSampleBeyondTheEnd) {
  TempDir dir;
  const std::string path = dir.file("t.flt");
  // Ten cells of row 0: samples at cells 0, 3, 6, 9 exist, 12 does not.
  testing::makeSparseRaster(path, 40);
  testing::plantSamples(path, 0, 9, {4.0f});
  RasterFile raster;
  ASSERT_TRUE(raster.open(posixFileSystem(), path));
  StridedReader strided(raster);
  float samples[6];
  EXPECT_EQ(strided.readRow(samples, 6, 3), 4u);
  EXPECT_EQ(samples[3], 4.0f);
  // The last level's window at origin 10356 reads up to cell 10805.
  testing::makeSparseRaster(path, cellOffset(10805, 10806));
  testing::plantSamples(path, 10805, 10805, {42.0f});
  ASSERT_TRUE(raster.open(posixFileSystem(), path));
  StridedReader level5(raster);
  ASSERT_TRUE(raster.seekTo(cellOffset(10805, 10356)));
  std::vector<float> row(450);
  EXPECT_EQ(level5.readRow(row.data(), 450, 1), 450u);
  EXPECT_EQ(row[449], 42.0f);
}

TEST(RasterFile, RefusesMissingFilesAndShowsAPlacePastTheEndAtTheRead) {
  RasterFile raster;
  EXPECT_FALSE(raster.open(posixFileSystem(), "/nonexistent/t.flt"));
  EXPECT_FALSE(raster.seekTo(0));
  TempDir dir;
  testing::makeSparseRaster(dir.file("t.flt"), 8);
  ASSERT_TRUE(raster.open(posixFileSystem(), dir.file("t.flt")));
  EXPECT_TRUE(raster.seekTo(100));  // past the end is allowed; the read shows it
  float value;
  EXPECT_EQ(raster.read(&value, 1), 0u);
}

TEST(RasterFile, AFailedMoveEndsTheReadsAsTheEndOfTheFileDoes) {
  TempDir dir;
  const std::string path = dir.file("t.flt");
  testing::makeSparseRaster(path, 16);
  testing::plantSamples(path, 0, 0, {1.0f, 2.0f, 3.0f, 4.0f});
  const std::pair<const char*, bool (*)(RasterFile&)> moves[] = {
      {"before the start", [](RasterFile& r) { return r.seekTo(-4); }},
      {"back past the start", [](RasterFile& r) { return r.skip(-12); }},
      {"beyond every position", [](RasterFile& r) { return r.skip(INT64_MAX); }},
  };
  for (const auto& move : moves) {
    SCOPED_TRACE(move.first);
    RasterFile raster;
    ASSERT_TRUE(raster.open(posixFileSystem(), path));
    float value = 0.0f;
    ASSERT_TRUE(raster.seekTo(4));
    ASSERT_EQ(raster.read(&value, 1), 1u);
    EXPECT_FALSE(move.second(raster));
    // Not the sample after the old place.
    EXPECT_EQ(raster.read(&value, 1), 0u);
    EXPECT_FALSE(raster.skip(4));
    EXPECT_EQ(raster.read(&value, 1), 0u);
    // A seek that succeeds gives the reads back.
    ASSERT_TRUE(raster.seekTo(12));
    ASSERT_EQ(raster.read(&value, 1), 1u);
    EXPECT_EQ(value, 4.0f);
  }
}

}  // namespace
}  // namespace ned
