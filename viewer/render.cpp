#include "viewer/render.h"

#include "core/numbers.h"
#include "viewer/menu_commands.h"

namespace ned {

const RenderFailure kCannotOpenRaster = {"Can't Open Gridfloat file.", "Message.", false};
const RenderFailure kStartSeekFailed = {"FSEEK Start Error!", "Message", false};
const RenderFailure kEndOfRaster = {"End of File 1 ! !", "Message.", true};
const RenderFailure kRowSeekFailed = {"FSEEK Error!", "Message.", false};
const RenderFailure kSecondSeekFailed = {"FSEEK Error 1", "Message", false};

int32_t sampleSkipForLevel(int level) {
  switch (level) {
    case 1:
      return 23;
    case 2:
      return 11;
    case 3:
      return 2;
    case 4:
      return 1;
    case 5:
      return 0;
    default:
      return -1;
  }
}

int32_t rowLine(int32_t row) {
  const auto stretched = static_cast<float>(row * 1.33334);
  return 50 + truncateToInt32(stretched);
}

bool rowDrawnTwice(int32_t row) {
  return (rowLine(row) - 50) % 4 == 0;
}

MapPicture paintPicture(const SampleBlock& block, const BlockStatistics& statistics,
                        const ColorSettings& settings) {
  MapPicture picture;
  for (int32_t row = 0; row < kBlockSide; ++row) {
    const int32_t y = rowLine(row);
    const bool twice = rowDrawnTwice(row);
    uint32_t* line = &picture.at(kMapLeft, y);
    colorRow(block, row, statistics, settings, line);
    if (twice) {
      uint32_t* above = &picture.at(kMapLeft, y - 1);
      for (int32_t col = 0; col < kBlockSide; ++col) above[col] = line[col];
    }
  }
  return picture;
}

bool readViewBlock(SampleSource& source, int32_t startRow, int32_t startCol, int32_t sampleSkip,
                   SampleBlock& block, BlockStatistics& statistics, RenderFailure* failure) {
  if (!source.seekTo(cellOffset(startRow, startCol))) {
    *failure = kStartSeekFailed;
    return false;
  }
  const size_t step = static_cast<size_t>(sampleSkip > 0 ? sampleSkip : 0) + 1;
  // After a row the position lies step x 450 cells right of its first sample; this lands
  // on the first sample of the row step rows further south.
  const int64_t rowMove = static_cast<int64_t>(step) * (TileGeometry::cellsPerSide - kBlockSide) *
                          TileGeometry::sampleBytes;
  for (int32_t row = 0; row < kBlockSide; ++row) {
    float* samples = &block.at(0, row);
    const size_t got = source.readRow(samples, kBlockSide, step);
    for (size_t col = 0; col < got; ++col) accumulate(statistics, samples[col]);
    if (got < static_cast<size_t>(kBlockSide)) {
      *failure = kEndOfRaster;
      return false;
    }
    if (!source.skip(rowMove)) {
      *failure = kRowSeekFailed;
      return false;
    }
  }
  finishStatistics(statistics);
  if (!source.seekTo(cellOffset(startRow, startCol))) {
    *failure = kSecondSeekFailed;
    return false;
  }
  return true;
}

int legendCode(const BlockStatistics& statistics) {
  return (statistics.belowZeroCount > 0 ? 1 : 0) + (statistics.noDataCount > 0 ? 2 : 0);
}

std::string legendText(int code) {
  switch (code) {
    case 1:
      return "Elev's below 0 --> Magenta.";
    case 2:
      return "NULL data --> Red.";
    case 3:
      return "Elev's below 0 --> Magenta.\n       NULL data --> Red.";
    default:
      return "";
  }
}

namespace {

void report(SampleSource& source, Desktop& desktop, const RenderFailure& failure) {
  if (failure.closeBeforeMessage) source.close();
  desktop.showMessage(failure.text, failure.caption, kPlainMessage);
  if (!failure.closeBeforeMessage) source.close();
}

}  // namespace

int renderView(ViewerState& state, MapWindow& window, SampleSource& source, Desktop& desktop) {
  window.setMenuItemEnabled(kMenuNotes, false);

  const int level = state.viewLevel;
  const int32_t skip = sampleSkipForLevel(level);
  if (skip >= 0) state.sampleSkip = skip;
  if (level == 1 || level == 2) {
    window.setMenuItemEnabled(kMenuSelectAll, false);
    window.setMenuItemEnabled(kMenuSelectWindow, false);
  } else if (level == 3) {
    window.setMenuItemEnabled(kMenuSelectAll, true);
    window.setMenuItemEnabled(kMenuSelectWindow, true);
  }
  if (level >= 2 && level <= 4) {
    state.levelOriginCol[level] = state.viewStartCol;
    state.levelOriginRow[level] = state.viewStartRow;
  }

  if (!source.open(state.header.rasterPath)) {
    desktop.showMessage(kCannotOpenRaster.text, kCannotOpenRaster.caption, kPlainMessage);
    window.releaseDrawingContext();
    return 0;
  }
  state.renderedStartRow = state.viewStartRow;
  state.renderedStartCol = state.viewStartCol;

  SampleBlock block;
  BlockStatistics statistics = resetStatistics();
  RenderFailure failure;
  const bool read = readViewBlock(source, state.viewStartRow, state.viewStartCol, state.sampleSkip,
                                  block, statistics, &failure);
  if (!read) {
    report(source, desktop, failure);
    window.releaseDrawingContext();
    return 0;
  }

  ColorSettings settings;
  settings.colorMapOn = state.colorMapOn;
  settings.lightDirection = state.lightDirection;
  settings.viewLevel = state.viewLevel;
  settings.sampleSkip = state.sampleSkip;
  window.putPicture(paintPicture(block, statistics, settings));
  window.draw(drawAnnotations(state));
  window.releaseDrawingContext();
  source.close();

  state.actionOk = 0;
  state.backToLevel = 0;

  if (level == 1) {
    const int code = legendCode(statistics);
    if (code != 0) desktop.showMessage(legendText(code), "Message", kTaskModalMessage);
  }
  return 1;
}

}  // namespace ned
