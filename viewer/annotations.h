// What is drawn around and over the map: the title line and the framed map area before
// every drawing, then the grid, zoom boxes, edge labels and help line of the level. Both
// are given as a list of drawing operations in client-area pixels; the window system's
// painter carries them out one by one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/viewer_state.h"

namespace ned {

enum class DrawOpKind {
  TextStyle,    // white text, transparent background, centre-and-baseline alignment
  SelectFont,   // create a bold italic font {face, height} and select it
  DeleteFont,   // delete the font selected last
  Text,         // the text with its baseline centred on (x, y)
  SelectPen,    // create a solid pen {colour, width} and select it
  DeletePen,    // delete the pen selected last
  SolidBrush,   // create a solid brush {colour} and select it
  HollowBrush,  // select the hollow stock brush
  DeleteBrush,  // delete the brush created last
  Line,         // from (x, y) to (x2, y2), the end point left out
  Rectangle,    // corners (x, y) and (x2, y2), filled with the brush, framed with the pen
};

struct DrawOp {
  DrawOpKind kind = DrawOpKind::TextStyle;
  int32_t x = 0;
  int32_t y = 0;
  int32_t x2 = 0;
  int32_t y2 = 0;
  uint32_t color = 0;  // red in the lowest byte
  int32_t size = 0;    // font height or pen width
  std::string text;    // the text, or the font's face
};

using DrawList = std::vector<DrawOp>;

// The text style's values, as the window system takes them.
constexpr uint32_t kTextColor = 0x00FFFFFFu;
constexpr uint32_t kTextAlignCentreBaseline = 30;  // TA_CENTER | TA_BASELINE
constexpr int32_t kFontWeightBold = 700;

constexpr const char* kTitleFace = "Times New Roman";
constexpr int32_t kTitleHeight = 24;
constexpr const char* kLabelFace = "Courier New";
constexpr int32_t kLabelHeight = 14;
constexpr const char* kHelpFace = "Courier New";
constexpr int32_t kHelpHeight = 18;

// The title line: the tile's north edge and west edge between two runs of asterisks.
std::string makeTitleText(const TileHeader& header);

// The title line and the black, green-framed map area. At level 0 it also sets up the
// whole-degree view and its minute labels.
DrawList drawInfoBox(ViewerState& state);

// The grid, zoom boxes, labels and help line of the level drawn. At level 2, when the
// view came back from a finer level, the 30' window's labels are put back first.
DrawList drawAnnotations(ViewerState& state);

// "W " and a whole degree: the form of every longitude label.
std::string longitudeLabel(int32_t lon);

// The help line of a level (1 to 5); empty for any other.
const char* helpLine(int level);

}  // namespace ned
