#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/posix_file_system.h"
#include "tests/support/tile_files.h"
#include "viewer/menu_commands.h"
#include "viewer/render.h"

namespace ned {
namespace {

using testing::TempDir;

constexpr int64_t kTileBytes = INT64_C(467597376);

// The raster file as the drawing reads it.
std::vector<std::unique_ptr<SampleSource>> fileSources() {
  std::vector<std::unique_ptr<SampleSource>> sources;
  sources.push_back(std::make_unique<RasterSampleSource>(posixFileSystem()));
  return sources;
}

// One log for the window, the raster and the message boxes, so that their order shows.
using Log = std::vector<std::string>;

class LoggingDesktop : public Desktop {
 public:
  explicit LoggingDesktop(Log& log) : log_(log) {}
  ChosenFile chooseFileToOpen(const FileDialogRequest&) override { return {}; }
  ChosenFile chooseFileToSave(const FileDialogRequest&) override { return {}; }
  bool createEmptyFile(const std::string&) override { return false; }
  void endProcess(int) override {}
  std::string temporaryFolder() override { return {}; }
  FileSystem& fileSystem() override { return posixFileSystem(); }

 protected:
  MessageAnswer messageBox(OwnerWindow, const std::string& text, const std::string& caption,
                           MessageStyle style) override {
    log_.push_back("message:" + text + "|" + caption + "|" + (style.taskModal ? "task" : "plain"));
    return MessageAnswer::ok;
  }

 private:
  Log& log_;
};

class RecordingWindow : public MapWindow {
 public:
  explicit RecordingWindow(Log& log) : log_(log) {}
  void setMenuItemEnabled(int id, bool enabled) override {
    log_.push_back((enabled ? "enable:" : "grey:") + std::to_string(id));
  }
  void putPicture(const MapPicture& p) override {
    log_.push_back("picture");
    picture = p;
  }
  void draw(const DrawList& list) override {
    log_.push_back("annotations");
    drawn = list;
  }
  void releaseDrawingContext() override { log_.push_back("release"); }

  MapPicture picture;
  DrawList drawn;

 private:
  Log& log_;
};

// A raster in memory: every cell holds `fill` except the planted ones; it ends after
// `cells` cells. Single seeks or skips can be made to fail.
class MemorySource : public SampleSource {
 public:
  MemorySource(Log& log, float fill, int64_t cells = int64_t{10812} * 10812)
      : log_(log), fill_(fill), cells_(cells) {}

  void plant(int64_t row, int64_t col, float value) { planted_[row * 10812 + col] = value; }

  bool openFails = false;
  int failSeekNumber = 0;  // 1 = the first absolute seek, 2 = the second
  int failSkipNumber = 0;  // which relative move fails, counting from 1

  bool open(const std::string&) override {
    log_.push_back("open");
    return !openFails;
  }
  bool seekTo(int64_t offset) override {
    if (++seeks_ == failSeekNumber) return false;
    cell_ = offset / 4;
    return true;
  }
  bool skip(int64_t bytes) override {
    if (++skips_ == failSkipNumber) return false;
    cell_ += bytes / 4;
    return true;
  }
  size_t readRow(float* out, size_t count, size_t step) override {
    for (size_t i = 0; i < count; ++i) {
      const int64_t at = cell_ + static_cast<int64_t>(i * step);
      if (at >= cells_) return i;
      const auto found = planted_.find(at);
      out[i] = found == planted_.end() ? fill_ : found->second;
    }
    cell_ += static_cast<int64_t>(count * step);
    return count;
  }
  void close() override { log_.push_back("close"); }

 private:
  Log& log_;
  float fill_;
  int64_t cells_;
  int64_t cell_ = 0;
  int seeks_ = 0;
  int skips_ = 0;
  std::map<int64_t, float> planted_;
};

ViewerState stateAt(int16_t level, int32_t row = 6, int32_t col = 6) {
  ViewerState state;
  state.header.tileSouthLat = 35.999444;
  state.header.tileWestLon = 85.000556;
  state.header.rasterPath = "tile.flt";
  state.viewLevel = level;
  state.viewStartRow = row;
  state.viewStartCol = col;
  return state;
}

std::string messageEntry(const RenderFailure& failure) {
  return "message:" + failure.text + "|" + failure.caption + "|" + "plain";
}

TEST(RowLines, RowsThreeKTakeTwoLinesAndTheMapIsCoveredOnce) {
  EXPECT_EQ(rowLine(0), 50);
  EXPECT_TRUE(rowDrawnTwice(0));  // lines 49 and 50
  EXPECT_EQ(rowLine(1), 51);
  EXPECT_FALSE(rowDrawnTwice(1));
  EXPECT_EQ(rowLine(2), 52);
  EXPECT_FALSE(rowDrawnTwice(2));
  EXPECT_EQ(rowLine(3), 54);
  EXPECT_TRUE(rowDrawnTwice(3));  // lines 53 and 54
  EXPECT_EQ(rowLine(449), 648);
  EXPECT_FALSE(rowDrawnTwice(449));

  std::vector<int> cover(kMapLines, 0);
  for (int32_t row = 0; row < kBlockSide; ++row) {
    const int32_t y = rowLine(row);
    EXPECT_EQ(y, 50 + 4 * (row / 3) + row % 3) << row;
    ++cover[static_cast<size_t>(y - kMapTop)];
    if (rowDrawnTwice(row)) ++cover[static_cast<size_t>(y - 1 - kMapTop)];
  }
  for (int line = 0; line < kMapLines; ++line) EXPECT_EQ(cover[line], 1) << line + kMapTop;
}

TEST(Picture, PlacesColumnsAndRowsOnTheirPixels) {
  SampleBlock block;
  for (int32_t c = 0; c < kBlockSide; ++c) block.at(c, 3) = -9999.0f;  // row 3: lines 53, 54
  for (int32_t r = 0; r < kBlockSide; ++r) block.at(7, r) = -9999.0f;  // column 7: x 57
  block.at(449, 449) = -9999.0f;
  BlockStatistics s = resetStatistics();
  for (float v : block.samples) accumulate(s, v);
  finishStatistics(s);
  ColorSettings settings;
  const MapPicture picture = paintPicture(block, s, settings);
  const uint32_t red = rgb(255, 0, 0);
  const uint32_t flat = rgb(0, 0, 64);
  for (int32_t x = 50; x < 500; ++x) {
    EXPECT_EQ(picture.at(x, 53), red);
    EXPECT_EQ(picture.at(x, 54), red);
    if (x != 57) {
      EXPECT_EQ(picture.at(x, 52), flat);
      EXPECT_EQ(picture.at(x, 55), flat);
    }
  }
  for (int32_t y = 49; y < 649; ++y) EXPECT_EQ(picture.at(57, y), red);
  EXPECT_EQ(picture.at(56, 100), flat);
  EXPECT_EQ(picture.at(499, 648), red);
  EXPECT_EQ(picture.at(498, 648), flat);
  EXPECT_EQ(picture.at(499, 647), flat);
}

TEST(BlockRead, WholeDegreeSamplesEvery24thCellFromSix) {
  TempDir dir;
  const std::string path = dir.file("t.flt");
  testing::makeSparseRaster(path);
  // Row 6 carries its column number, column 6 its row number, plus 0.5 on the cells next
  // to the sampled ones, which must never be read.
  std::vector<float> row6(10812);
  for (int c = 0; c < 10812; ++c) row6[c] = static_cast<float>(c) + (c % 24 == 6 ? 0.0f : 0.5f);
  testing::plantSamples(path, 6, 0, row6);
  for (int r = 7; r < 10812; ++r) {
    testing::plantSamples(path, r, 6, {static_cast<float>(r) + (r % 24 == 6 ? 0.0f : 0.5f)});
  }
  for (auto& source : fileSources()) {
    ASSERT_TRUE(source->open(path));
    SampleBlock block;
    BlockStatistics s = resetStatistics();
    RenderFailure failure;
    ASSERT_TRUE(readViewBlock(*source, 6, 6, 23, block, s, &failure)) << failure.text;
    for (int32_t i = 0; i < kBlockSide; ++i) {
      ASSERT_EQ(block.at(i, 0), static_cast<float>(6 + 24 * i)) << i;
      ASSERT_EQ(block.at(0, i), static_cast<float>(6 + 24 * i)) << i;
    }
    EXPECT_EQ(block.at(449, 0), 10782.0f);
    EXPECT_EQ(block.at(0, 449), 10782.0f);
    EXPECT_EQ(s.maxElevation, 10782.0f);
    EXPECT_EQ(s.minElevation, 0.0f);
  }
}

TEST(BlockRead, FinestWindowAtTheLastOriginReachesCell10805) {
  TempDir dir;
  const std::string path = dir.file("t.flt");
  testing::makeSparseRaster(path);
  std::vector<float> last(450);
  for (int c = 0; c < 450; ++c) last[c] = static_cast<float>(c + 1);
  testing::plantSamples(path, 10805, 10356, last);
  testing::plantSamples(path, 10806, 10356, {-5.0f});  // the overlap row below: not read
  testing::plantSamples(path, 10356, 10806, {-5.0f});  // the overlap column: not read
  for (auto& source : fileSources()) {
    ASSERT_TRUE(source->open(path));
    SampleBlock block;
    BlockStatistics s = resetStatistics();
    RenderFailure failure;
    ASSERT_TRUE(readViewBlock(*source, 10356, 10356, 0, block, s, &failure)) << failure.text;
    for (int32_t c = 0; c < kBlockSide; ++c) {
      ASSERT_EQ(block.at(c, 449), static_cast<float>(c + 1));
    }
    EXPECT_EQ(block.at(0, 448), 0.0f);
    EXPECT_EQ(s.belowZeroCount, 0);
    EXPECT_EQ(s.maxElevation, 450.0f);
  }
}

TEST(RenderFailures, MissingAndShortRastersAreReportedWithNothingDrawn) {
  TempDir dir;
  struct Case {
    int16_t level;
    int64_t bytes;  // -1: no raster at all
    RenderFailure failure;
  };
  // The whole degree needs rows up to 10782; the finest window at the last origin needs
  // the cell (10805, 10805) itself.
  const Case cases[] = {
      {1, -1, kCannotOpenRaster},
      {1, cellOffset(10782, 10782), kEndOfRaster},
      {5, cellOffset(10805, 10805) + 3, kEndOfRaster},
  };
  for (const Case& c : cases) {
    for (auto& source : fileSources()) {
      const std::string path = dir.file("short.flt");
      std::remove(path.c_str());
      if (c.bytes >= 0) testing::makeSparseRaster(path, c.bytes);
      ViewerState state = stateAt(c.level, c.level == 5 ? 10356 : 6, c.level == 5 ? 10356 : 6);
      state.header.rasterPath = path;
      state.actionOk = 1;
      state.backToLevel = 4;
      Log log;
      RecordingWindow window(log);
      LoggingDesktop desktop(log);
      EXPECT_EQ(renderView(state, window, *source, desktop), 0);
      const std::string message = messageEntry(c.failure);
      EXPECT_EQ(std::count(log.begin(), log.end(), message), 1) << c.failure.text;
      EXPECT_EQ(std::count(log.begin(), log.end(), "picture"), 0);
      EXPECT_EQ(std::count(log.begin(), log.end(), "annotations"), 0);
      EXPECT_EQ(log.back(), "release");
      EXPECT_EQ(state.actionOk, 1);
      EXPECT_EQ(state.backToLevel, 4);
      EXPECT_EQ(state.sampleSkip, sampleSkipForLevel(c.level));
    }
  }
  // The whole tile but one byte still draws the whole degree: its last cells are not
  // needed there.
  const std::string path = dir.file("almost.flt");
  testing::makeSparseRaster(path, kTileBytes - 1);
  ViewerState state = stateAt(1);
  state.header.rasterPath = path;
  for (auto& source : fileSources()) {
    Log log;
    RecordingWindow window(log);
    LoggingDesktop desktop(log);
    EXPECT_EQ(renderView(state, window, *source, desktop), 1);
  }
}

TEST(RenderFailures, EachStepReportsItsTextCaptionAndOrderAroundClose) {
  struct Case {
    int failSeek;
    int failSkip;
    int64_t cells;
    RenderFailure failure;
    std::vector<std::string> tail;  // the log from the message on
  };
  const std::string open = "open";
  const Case cases[] = {
      {1, 0, int64_t{10812} * 10812, kStartSeekFailed, {}},
      {0, 1, int64_t{10812} * 10812, kRowSeekFailed, {}},
      {0, 450, int64_t{10812} * 10812, kRowSeekFailed, {}},  // the move after the last row
      {2, 0, int64_t{10812} * 10812, kSecondSeekFailed, {}},
      {0, 0, int64_t{10812} * 3000, kEndOfRaster, {}},
  };
  for (const Case& c : cases) {
    Log log;
    RecordingWindow window(log);
    LoggingDesktop desktop(log);
    MemorySource source(log, 10.0f, c.cells);
    source.failSeekNumber = c.failSeek;
    source.failSkipNumber = c.failSkip;
    ViewerState state = stateAt(1);
    EXPECT_EQ(renderView(state, window, source, desktop), 0);
    const std::vector<std::string> expectedTail =
        c.failure.closeBeforeMessage
            ? std::vector<std::string>{"close", messageEntry(c.failure), "release"}
            : std::vector<std::string>{messageEntry(c.failure), "close", "release"};
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()), expectedTail) << c.failure.text;
    EXPECT_EQ(state.renderedStartRow, 6);  // the origin was recorded before the read
  }
  EXPECT_TRUE(kEndOfRaster.closeBeforeMessage);
  EXPECT_FALSE(kStartSeekFailed.closeBeforeMessage);
  EXPECT_FALSE(kRowSeekFailed.closeBeforeMessage);
  EXPECT_FALSE(kSecondSeekFailed.closeBeforeMessage);

  // A raster that cannot be opened has nothing to close, and no origin is recorded.
  Log log;
  RecordingWindow window(log);
  LoggingDesktop desktop(log);
  MemorySource source(log, 10.0f);
  source.openFails = true;
  ViewerState state = stateAt(1);
  state.viewStartRow = 606;
  EXPECT_EQ(renderView(state, window, source, desktop), 0);
  EXPECT_EQ(std::count(log.begin(), log.end(), "close"), 0);
  EXPECT_EQ(log.back(), "release");
  EXPECT_EQ(state.renderedStartRow, 0);
}

TEST(RenderView, MenusStateAndOrderOfADrawingByLevel) {
  struct Case {
    int16_t level;
    std::vector<std::string> menus;
    int32_t skip;
  };
  const std::string notes = "grey:" + std::to_string(kMenuNotes);
  const std::string greyAll = "grey:" + std::to_string(kMenuSelectAll);
  const std::string greyWindow = "grey:" + std::to_string(kMenuSelectWindow);
  const std::string enableAll = "enable:" + std::to_string(kMenuSelectAll);
  const std::string enableWindow = "enable:" + std::to_string(kMenuSelectWindow);
  const Case cases[] = {
      {1, {notes, greyAll, greyWindow}, 23},
      {2, {notes, greyAll, greyWindow}, 11},
      {3, {notes, enableAll, enableWindow}, 2},
      {4, {notes}, 1},
      {5, {notes}, 0},
  };
  for (const Case& c : cases) {
    Log log;
    RecordingWindow window(log);
    LoggingDesktop desktop(log);
    MemorySource source(log, 250.0f);
    // Any origin whose window lies inside the tile; the whole degree has only one.
    const int32_t row = c.level == 1 ? 6 : 1806;
    const int32_t col = c.level == 1 ? 6 : 2406;
    ViewerState state = stateAt(c.level, row, col);
    state.actionOk = 1;
    state.backToLevel = 3;
    EXPECT_EQ(renderView(state, window, source, desktop), 1);
    std::vector<std::string> expected = c.menus;
    for (const char* step : {"open", "picture", "annotations", "release", "close"}) {
      expected.push_back(step);
    }
    EXPECT_EQ(log, expected) << c.level;
    EXPECT_EQ(state.sampleSkip, c.skip);
    EXPECT_EQ(state.actionOk, 0);
    EXPECT_EQ(state.backToLevel, 0);
    EXPECT_EQ(state.renderedStartRow, row);
    EXPECT_EQ(state.renderedStartCol, col);
    for (int level = 2; level <= 4; ++level) {
      EXPECT_EQ(state.levelOriginRow[level], level == c.level ? row : 0);
      EXPECT_EQ(state.levelOriginCol[level], level == c.level ? col : 0);
    }
    // The annotations are those of the level drawn.
    bool help = false;
    for (const DrawOp& op : window.drawn) help = help || op.text == helpLine(c.level);
    EXPECT_TRUE(help);
  }
}

TEST(RenderView, LegendAtTheWholeDegreeOnly) {
  struct Case {
    int16_t level;
    bool belowZero;
    bool noData;
    std::string text;  // empty: no message
  };
  const Case cases[] = {
      {1, false, false, ""},
      {1, true, false, "Elev's below 0 --> Magenta."},
      {1, false, true, "NULL data --> Red."},
      {1, true, true, "Elev's below 0 --> Magenta.\n       NULL data --> Red."},
      {2, true, true, ""},
      {3, true, true, ""},
      {5, true, true, ""},
  };
  for (const Case& c : cases) {
    Log log;
    RecordingWindow window(log);
    LoggingDesktop desktop(log);
    MemorySource source(log, 250.0f);
    const int32_t step = sampleSkipForLevel(c.level) + 1;
    if (c.belowZero) source.plant(6 + 10 * step, 6 + 20 * step, -12.0f);
    if (c.noData) source.plant(6 + 30 * step, 6 + 5 * step, -9999.0f);
    ViewerState state = stateAt(c.level);
    EXPECT_EQ(renderView(state, window, source, desktop), 1);
    if (c.text.empty()) {
      EXPECT_EQ(log.back(), "close") << c.level;
    } else {
      EXPECT_EQ(log.back(), "message:" + c.text + "|Message|" + "task");
      EXPECT_EQ(log[log.size() - 3], "release");  // the map is finished before the legend
    }
    // The special cells are drawn in their colours at every level.
    if (c.belowZero) {
      EXPECT_EQ(window.picture.at(50 + 20, rowLine(10)), rgb(72, 0, 72));
    }
    if (c.noData) {
      EXPECT_EQ(window.picture.at(50 + 5, rowLine(30)), rgb(255, 0, 0));
    }
  }
  EXPECT_EQ(legendText(0), "");
}

TEST(RenderView, NoDataBlockIsAllRed) {
  Log log;
  RecordingWindow window(log);
  LoggingDesktop desktop(log);
  MemorySource source(log, -9999.0f);
  ViewerState state = stateAt(1);
  state.colorMapOn = 1;
  ASSERT_EQ(renderView(state, window, source, desktop), 1);
  for (uint32_t pixel : window.picture.pixels) ASSERT_EQ(pixel, rgb(255, 0, 0));
  EXPECT_EQ(log.back(), "message:NULL data --> Red.|Message|task");
}

}  // namespace
}  // namespace ned
