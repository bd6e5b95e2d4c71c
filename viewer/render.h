// Drawing the current view: a 450 x 450 block of samples read from the raster with a
// stride that depends on the zoom level, coloured cell by cell, stretched to 450 x 600
// pixels, then the annotations of the level and, for the whole degree, the legend of the
// special colours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/desktop.h"
#include "core/tile/raster.h"
#include "viewer/annotations.h"
#include "viewer/colour.h"
#include "viewer/viewer_state.h"

namespace ned {

// The map area of the client window: x 50..499, y 49..648.
constexpr int32_t kMapLeft = 50;
constexpr int32_t kMapTop = 49;
constexpr int32_t kMapWidth = 450;
constexpr int32_t kMapLines = 600;
constexpr int32_t kBlockSide = SampleBlock::kSide;

// The picture of one drawing, in packed colours (red in the lowest byte), line by line
// from y = 49.
struct MapPicture {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(static_cast<size_t>(kMapWidth) * kMapLines);

  // Client coordinates; the point must lie in the map area.
  uint32_t at(int32_t x, int32_t y) const { return pixels[index(x, y)]; }
  uint32_t& at(int32_t x, int32_t y) { return pixels[index(x, y)]; }

 private:
  static size_t index(int32_t x, int32_t y) {
    return static_cast<size_t>(y - kMapTop) * kMapWidth + static_cast<size_t>(x - kMapLeft);
  }
};

// Raster cells skipped between two displayed samples at a level; -1 for a level that has
// none.
int32_t sampleSkipForLevel(int level);

// The line that block row r is drawn on; when (line - 50) is a multiple of 4 the row is
// also drawn on the line above.
int32_t rowLine(int32_t row);
bool rowDrawnTwice(int32_t row);

// Colours every sample of the block and lays the rows out on the 600 lines.
MapPicture paintPicture(const SampleBlock& block, const BlockStatistics& statistics,
                        const ColorSettings& settings);

// Where the drawing reads its samples from: the tile's raster, or a stand-in in tests.
class SampleSource {
 public:
  virtual ~SampleSource() = default;
  virtual bool open(const std::string& path) = 0;
  virtual bool seekTo(int64_t offset) = 0;
  virtual bool skip(int64_t bytes) = 0;
  // count samples, step cells apart, from the current position; the position ends step x
  // count cells on. Gives the number read, fewer at the end of the file.
  virtual size_t readRow(float* out, size_t count, size_t step) = 0;
  virtual void close() = 0;
};

// The tile's raster, each sampled row taken in one read.
class RasterSampleSource : public SampleSource {
 public:
  explicit RasterSampleSource(FileSystem& files) : files_(files) {}
  bool open(const std::string& path) override { return file_.open(files_, path); }
  bool seekTo(int64_t offset) override { return file_.seekTo(offset); }
  bool skip(int64_t bytes) override { return file_.skip(bytes); }
  size_t readRow(float* out, size_t count, size_t step) override {
    return reader_.readRow(out, count, step);
  }
  void close() override { file_.close(); }

 private:
  FileSystem& files_;
  RasterFile file_;
  StridedReader reader_{file_};
};

// A drawing that could not be finished: the message the user is shown, and whether the
// raster is closed before the message (otherwise after it).
struct RenderFailure {
  std::string text;
  std::string caption;
  bool closeBeforeMessage = false;
};

// The failures, in the order of the drawing's steps.
extern const RenderFailure kCannotOpenRaster;
extern const RenderFailure kStartSeekFailed;
extern const RenderFailure kEndOfRaster;
extern const RenderFailure kRowSeekFailed;
extern const RenderFailure kSecondSeekFailed;

// Reads the block whose north-west sample is (startRow, startCol) from an open source and
// collects its statistics (finished). Gives true, or false with the failure; the source is
// left open either way.
bool readViewBlock(SampleSource& source, int32_t startRow, int32_t startCol, int32_t sampleSkip,
                   SampleBlock& block, BlockStatistics& statistics, RenderFailure* failure);

// The legend at the whole-degree level: 1 for samples below zero, plus 2 for no-data.
int legendCode(const BlockStatistics& statistics);
// The legend's text; empty for code 0.
std::string legendText(int code);

// The main window during one drawing. The window system's side gets the drawing context
// when it is made and gives it back in releaseDrawingContext.
class MapWindow {
 public:
  virtual ~MapWindow() = default;
  virtual void setMenuItemEnabled(int id, bool enabled) = 0;
  virtual void putPicture(const MapPicture& picture) = 0;
  virtual void draw(const DrawList& list) = 0;
  virtual void releaseDrawingContext() = 0;
};

// Draws the current view. Gives 1 when the map was drawn, 0 after a failure that has been
// reported to the user.
int renderView(ViewerState& state, MapWindow& window, SampleSource& source, Desktop& desktop);

}  // namespace ned
