#include "viewer/annotations.h"

#include "core/tile/tile_header.h"
#include "viewer/colour.h"

namespace ned {

namespace {

constexpr uint32_t kBlack = rgb(0, 0, 0);
constexpr uint32_t kGreen = rgb(0, 255, 0);
constexpr uint32_t kWhite = rgb(255, 255, 255);
constexpr uint32_t kGridGrey = rgb(192, 192, 192);

// Where the grid lines lie, and the inner crossings that carry the zoom boxes.
constexpr int32_t kGridX[] = {163, 276, 388};
constexpr int32_t kGridY[] = {201, 351, 501};

// Label places: x along the top and bottom edges, y along the left and right edges.
constexpr int32_t kLabelTopY = 39;
constexpr int32_t kLabelBottomY = 667;
constexpr int32_t kLonLabelX[] = {50, 162, 281, 393, 500};
constexpr int32_t kLatLabelY[] = {51, 203, 353, 503, 653};
constexpr int32_t kLevel1LeftX = 33;
constexpr int32_t kLevel1DegreeRightX = 517;
constexpr int32_t kLevel1MinuteRightX = 519;
constexpr int32_t kLeftX = 28;
constexpr int32_t kRightX = 523;

constexpr int32_t kHelpX = 281;
constexpr int32_t kHelpY = 685;

DrawOp makeOp(DrawOpKind kind, int32_t x = 0, int32_t y = 0, int32_t x2 = 0, int32_t y2 = 0) {
  DrawOp op;
  op.kind = kind;
  op.x = x;
  op.y = y;
  op.x2 = x2;
  op.y2 = y2;
  return op;
}

class Painter {
 public:
  explicit Painter(DrawList& list) : list_(list) {}

  void textStyle() { add(makeOp(DrawOpKind::TextStyle)); }
  void font(const char* face, int32_t height) {
    DrawOp op = makeOp(DrawOpKind::SelectFont);
    op.text = face;
    op.size = height;
    add(op);
  }
  void deleteFont() { add(makeOp(DrawOpKind::DeleteFont)); }
  void text(int32_t x, int32_t y, const std::string& value) {
    DrawOp op = makeOp(DrawOpKind::Text, x, y);
    op.text = value;
    add(op);
  }
  void pen(uint32_t color, int32_t width) {
    DrawOp op = makeOp(DrawOpKind::SelectPen);
    op.color = color;
    op.size = width;
    add(op);
  }
  void deletePen() { add(makeOp(DrawOpKind::DeletePen)); }
  void solidBrush(uint32_t color) {
    DrawOp op = makeOp(DrawOpKind::SolidBrush);
    op.color = color;
    add(op);
  }
  void hollowBrush() { add(makeOp(DrawOpKind::HollowBrush)); }
  void deleteBrush() { add(makeOp(DrawOpKind::DeleteBrush)); }
  void line(int32_t x, int32_t y, int32_t x2, int32_t y2) {
    add(makeOp(DrawOpKind::Line, x, y, x2, y2));
  }
  void rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    add(makeOp(DrawOpKind::Rectangle, left, top, right, bottom));
  }

  // A label along the top and bottom edges, and one along the left and right edges.
  void lonLabel(int32_t x, const std::string& value) {
    text(x, kLabelTopY, value);
    text(x, kLabelBottomY, value);
  }
  void latLabel(int32_t y, int32_t leftX, int32_t rightX, const std::string& value) {
    text(leftX, y, value);
    text(rightX, y, value);
  }

 private:
  void add(const DrawOp& op) { list_.push_back(op); }
  DrawList& list_;
};

std::string northLabel(int32_t lat) {
  return "N" + std::to_string(lat);
}

void level1Labels(Painter& paint, const ViewerState& state) {
  const TileHeader& tile = state.header;
  paint.lonLabel(kLonLabelX[0], longitudeLabel(westEdgeLon(tile)));
  for (int i = 1; i <= 3; ++i) paint.lonLabel(kLonLabelX[i], state.lonLabel[i]);
  paint.lonLabel(kLonLabelX[4], longitudeLabel(eastEdgeLon(tile)));
  paint.latLabel(kLatLabelY[0], kLevel1LeftX, kLevel1DegreeRightX, northLabel(northEdgeLat(tile)));
  for (int i = 1; i <= 3; ++i) {
    paint.latLabel(kLatLabelY[i], kLevel1LeftX, kLevel1MinuteRightX, state.latLabel[i]);
  }
  paint.latLabel(kLatLabelY[4], kLevel1LeftX, kLevel1DegreeRightX, northLabel(southEdgeLat(tile)));
}

void level2Labels(Painter& paint, ViewerState& state) {
  if (state.backToLevel == 2) {
    for (int i = 0; i < 5; ++i) {
      state.lonLabel[i] = state.savedLonLabel[i];
      state.latLabel[i] = state.savedLatLabel[i];
    }
  }
  for (int i = 0; i < 5; ++i) paint.lonLabel(kLonLabelX[i], state.lonLabel[i]);
  for (int i = 0; i < 5; ++i) paint.latLabel(kLatLabelY[i], kLeftX, kRightX, state.latLabel[i]);
}

void level3Labels(Painter& paint, const ViewerState& state) {
  paint.lonLabel(kLonLabelX[0], state.lonLabel[0]);
  paint.lonLabel(kLonLabelX[4], state.lonLabel[4]);
  paint.latLabel(kLatLabelY[0], kLeftX, kRightX, state.latLabel[0]);
  paint.latLabel(kLatLabelY[4], kLeftX, kRightX, state.latLabel[4]);
}

// At the finest levels only the degree's own edges are labelled, where the view meets them.
void edgeLabels(Painter& paint, const ViewerState& state) {
  const TileHeader& tile = state.header;
  const int32_t first = TileGeometry::firstCell;
  const int32_t last = state.viewLevel == 4 ? 9906 : 10356;
  if (state.renderedStartRow == first) {
    paint.latLabel(kLatLabelY[0], kLeftX, kRightX, northLabel(northEdgeLat(tile)));
  }
  if (state.renderedStartCol == first)
    paint.lonLabel(kLonLabelX[0], longitudeLabel(westEdgeLon(tile)));
  if (state.renderedStartRow == last) {
    paint.latLabel(kLatLabelY[4], kLeftX, kRightX, northLabel(southEdgeLat(tile)));
  }
  if (state.renderedStartCol == last)
    paint.lonLabel(kLonLabelX[4], longitudeLabel(eastEdgeLon(tile)));
}

}  // namespace

std::string makeTitleText(const TileHeader& header) {
  return "****File: N" + std::to_string(northEdgeLat(header)) + "-W" +
         std::to_string(westEdgeLon(header)) + "****";
}

std::string longitudeLabel(int32_t lon) {
  return "W " + std::to_string(lon);
}

const char* helpLine(int level) {
  switch (level) {
    case 1:
      return "Click   box to zoom 30' window.";
    case 2:
      return "Click any box to zoom 7.5' quadrangle. Right click back.";
    case 3:
      return "Click any point to zoom 5'.  Right click back.";
    case 4:
      return "Cntl+Click to Pan. Click to zoom 2.5' or use \"Select Menu\".";
    case 5:
      return "L-Click to pan, R-Click back or use \"Select Menu\".";
    default:
      return "";
  }
}

DrawList drawInfoBox(ViewerState& state) {
  DrawList list;
  Painter paint(list);
  paint.textStyle();
  paint.font(kTitleFace, kTitleHeight);
  state.titleText = makeTitleText(state.header);
  paint.text(275, 22, state.titleText);
  paint.deleteFont();

  paint.solidBrush(kBlack);
  paint.pen(kGreen, 3);
  paint.rectangle(46, 46, 503, 653);
  paint.deletePen();
  paint.deleteBrush();

  if (state.viewLevel == 0) {
    state.viewStartRow = TileGeometry::firstCell;
    state.viewStartCol = TileGeometry::firstCell;
    state.viewLevel = 1;
    state.rowBox = 0;
    state.colBox = 0;
    const char* minutes[] = {"45'", "30'", "15'"};
    for (int i = 1; i <= 3; ++i) {
      state.lonLabel[i] = minutes[i - 1];
      state.latLabel[i] = minutes[i - 1];
    }
  }
  return list;
}

DrawList drawAnnotations(ViewerState& state) {
  DrawList list;
  Painter paint(list);
  const int level = state.viewLevel;

  if (level == 1 || level == 2) {
    paint.pen(kGridGrey, 1);
    for (int32_t x : kGridX) paint.line(x, 50, x, 650);
    for (int32_t y : kGridY) paint.line(50, y, 500, y);
    paint.deletePen();
  }

  if (level == 1) {
    paint.hollowBrush();
    paint.pen(kWhite, 1);
    for (int32_t x : kGridX) {
      for (int32_t y : kGridY) paint.rectangle(x - 6, y - 6, x + 7, y + 7);
    }
    paint.rectangle(195, 676, 205, 686);  // in the gap of the level-1 help line
    paint.deletePen();
  }

  paint.textStyle();
  paint.font(kLabelFace, kLabelHeight);
  switch (level) {
    case 1:
      level1Labels(paint, state);
      break;
    case 2:
      level2Labels(paint, state);
      break;
    case 3:
      level3Labels(paint, state);
      break;
    case 4:
    case 5:
      edgeLabels(paint, state);
      break;
    default:
      break;
  }
  paint.deleteFont();

  paint.font(kHelpFace, kHelpHeight);
  paint.text(kHelpX, kHelpY, helpLine(level));
  paint.deleteFont();
  return list;
}

}  // namespace ned
