#include "viewer/navigation.h"

#include <algorithm>

#include "core/tile/tile_header.h"
#include "viewer/annotations.h"

namespace ned {

namespace {

constexpr int32_t kCellsPer7_5Minutes = 1350;
constexpr int32_t kCellsPer15Minutes = 2700;

// The grid lines along one axis in 7.5' steps, from the first edge to the last.
MapLabel boundaryLabel(int index, const MapLabel& firstEdge, const MapLabel& lastEdge) {
  static const char* const kMinutes[] = {"52.5'", "45'", "37.5'", "30'", "22.5'", "15'", "7.5'"};
  if (index <= 0) return firstEdge;
  if (index >= 8) return lastEdge;
  return kMinutes[index - 1];
}

// The zone (1 to 3) of a level-1 zoom box that a coordinate lies in, or 0.
int boxZone(int32_t v, const int32_t (&starts)[3], const int32_t (&ends)[3]) {
  for (int zone = 0; zone < 3; ++zone) {
    if (v >= starts[zone] && v <= ends[zone]) return zone + 1;
  }
  return 0;
}

// The quadrangle step (0 to 3) of a level-2 press along one axis; a press on a dividing
// value belongs to the quadrangle before it.
int16_t quadrangleStep(int32_t v, int32_t first, int32_t second, int32_t third) {
  if (v > third) return 3;
  if (v > second) return 2;
  if (v > first) return 1;
  return 0;
}

bool insideMap(int32_t x, int32_t y) {
  return x >= kAreaLeft && x <= kAreaRight + 1 && y >= kAreaTop && y <= kAreaBottom + 1;
}

// The row offset of a press, in pixels of the 450-sample block.
int32_t blockRow(int32_t y) {
  return (y - kAreaTop) * 450 / 600;
}

int32_t limitOrigin(int32_t origin, int32_t last) {
  return std::max(TileGeometry::firstCell, std::min(origin, last));
}

ClientPoint heldInMap(int32_t x, int32_t y) {
  ClientPoint point;
  point.x = static_cast<int16_t>(std::max(kAreaLeft, std::min(x, kAreaRight)));
  point.y = static_cast<int16_t>(std::max(kAreaTop, std::min(y, kAreaBottom)));
  return point;
}

void zoomToWindow(ViewerState& state, int colZone, int rowZone) {
  state.viewStartCol = (colZone - 1) * kCellsPer15Minutes + TileGeometry::firstCell;
  state.viewStartRow = (rowZone - 1) * kCellsPer15Minutes + TileGeometry::firstCell;
  const std::array<MapLabel, 5> lon =
      windowLabels(colZone, westEdgeLabel(state.header), eastEdgeLabel(state.header));
  const std::array<MapLabel, 5> lat =
      windowLabels(rowZone, northEdgeLabel(state.header), southEdgeLabel(state.header));
  for (int i = 0; i < 5; ++i) {
    state.lonLabel[i] = state.savedLonLabel[i] = lon[static_cast<size_t>(i)];
    state.latLabel[i] = state.savedLatLabel[i] = lat[static_cast<size_t>(i)];
  }
  state.colBox = static_cast<int16_t>((colZone - 1) * 2);
  state.rowBox = static_cast<int16_t>((rowZone - 1) * 2);
  state.savedColBox = state.colBox;
  state.savedRowBox = state.rowBox;
}

void zoomToQuadrangle(ViewerState& state, int32_t x, int32_t y) {
  state.colBox = static_cast<int16_t>(state.colBox + quadrangleStep(x, 163, 275, 387));
  state.rowBox = static_cast<int16_t>(state.rowBox + quadrangleStep(y, 200, 350, 500));
  state.viewStartCol = state.colBox * kCellsPer7_5Minutes + TileGeometry::firstCell;
  state.viewStartRow = state.rowBox * kCellsPer7_5Minutes + TileGeometry::firstCell;
  const std::array<MapLabel, 2> lon =
      quadrangleLabels(state.colBox, westEdgeLabel(state.header), eastEdgeLabel(state.header));
  const std::array<MapLabel, 2> lat =
      quadrangleLabels(state.rowBox, northEdgeLabel(state.header), southEdgeLabel(state.header));
  state.lonLabel[0] = lon[0];
  state.lonLabel[4] = lon[1];
  state.latLabel[0] = lat[0];
  state.latLabel[4] = lat[1];
}

// Moves the origin by the press, cellsPerPixel across, less the half window, and holds
// it inside the tile.
void recentre(ViewerState& state, int32_t x, int32_t y, int32_t cellsPerPixel, int32_t halfWindow,
              int32_t last) {
  state.viewStartCol =
      limitOrigin(state.viewStartCol + (x - kAreaLeft) * cellsPerPixel - halfWindow, last);
  state.viewStartRow =
      limitOrigin(state.viewStartRow + blockRow(y) * cellsPerPixel - halfWindow, last);
}

void navigate(ViewerState& state, int32_t x, int32_t y, bool ctrl, MouseResponse& response) {
  static const int32_t kColStarts[] = {158, 271, 383};
  static const int32_t kColEnds[] = {169, 282, 395};
  static const int32_t kRowStarts[] = {196, 346, 496};
  static const int32_t kRowEnds[] = {207, 357, 507};

  state.actionOk = 0;
  if (state.viewLevel == 1) {
    const int colZone = boxZone(x, kColStarts, kColEnds);
    const int rowZone = boxZone(y, kRowStarts, kRowEnds);
    if (colZone != 0 && rowZone != 0) {
      zoomToWindow(state, colZone, rowZone);
      state.actionOk = 1;
    }
  }
  if (state.viewLevel == 2 && insideMap(x, y)) {
    zoomToQuadrangle(state, x, y);
    state.actionOk = 1;
  }
  if (state.viewLevel == 3 && insideMap(x, y)) {
    recentre(state, x, y, 3, 450, kLastOrigin5Minutes);
    state.actionOk = 1;
  }
  if (ctrl && state.viewLevel == 4 && insideMap(x, y)) {
    recentre(state, x, y, 2, 450, kLastOrigin5Minutes);
    state.viewLevel = 3;  // raised again below: the pan stays at this level
    state.actionOk = 1;
  }
  if (!ctrl && state.viewLevel == 4 && insideMap(x, y)) {
    recentre(state, x, y, 2, 225, kLastOrigin2_5Minutes);
    state.actionOk = 1;
  }
  if (state.viewLevel == 5 && insideMap(x, y)) {
    recentre(state, x, y, 1, 225, kLastOrigin2_5Minutes);
    state.actionOk = 1;
  }
  if (state.actionOk == 1) {
    state.viewLevel = static_cast<int16_t>(std::min(state.viewLevel + 1, 5));
    response.redraw = true;
  }
}

}  // namespace

std::array<Segment, 4> outlineSegments(const BandOutline& outline) {
  const int32_t ax = outline.a.x;
  const int32_t ay = outline.a.y;
  const int32_t cx = outline.c.x;
  const int32_t cy = outline.c.y;
  return {{{ax, ay, cx, ay}, {cx, ay, cx, cy}, {cx, cy, ax, cy}, {ax, cy, ax, ay}}};
}

MouseResponse leftPress(ViewerState& state, int32_t x, int32_t y, bool ctrl) {
  MouseResponse response;
  if (state.writeDialogOpen != 0) return response;
  if (state.selectMode == 0) {
    navigate(state, x, y, ctrl, response);
  } else if (state.selectMode == 1) {
    response.captureAndConfine = true;
    state.bandAnchor = heldInMap(x, y);
    state.selectMode = 2;
  }
  return response;
}

MouseResponse pointerMove(ViewerState& state, int32_t x, int32_t y, bool leftButtonDown) {
  MouseResponse response;
  if (state.selectMode != 2 || !leftButtonDown) return response;
  if (state.bandDrawn == 1) response.inverts.push_back({state.bandAnchor, state.bandShown});
  // The pointer is held in the map area; a point from anywhere else is held to it too, so
  // that the outline shows the rectangle that will be selected.
  state.bandCurrent = heldInMap(x, y);
  response.inverts.push_back({state.bandAnchor, state.bandCurrent});
  state.bandDrawn = 1;
  state.bandShown = state.bandCurrent;
  return response;
}

MouseResponse leftRelease(ViewerState& state, int32_t x, int32_t y) {
  MouseResponse response;
  if (state.selectMode != 2) return response;
  // A release outside the map would select cells before the view or past the raster.
  state.bandRelease = heldInMap(x, y);
  if (state.bandDrawn == 1) response.inverts.push_back({state.bandAnchor, state.bandShown});
  state.bandDrawn = 0;
  response.freePointer = true;
  state.selectMode = 0;
  state.selLeft = std::min(state.bandAnchor.x, state.bandRelease.x);
  state.selRight = std::max(state.bandAnchor.x, state.bandRelease.x);
  state.selTop = std::min(state.bandAnchor.y, state.bandRelease.y);
  state.selBottom = std::max(state.bandAnchor.y, state.bandRelease.y);
  response.openWriteDialog = true;
  return response;
}

MouseResponse abandonDrag(ViewerState& state) {
  MouseResponse response;
  if (state.selectMode != 2) return response;
  if (state.bandDrawn == 1) response.inverts.push_back({state.bandAnchor, state.bandShown});
  state.bandDrawn = 0;
  response.freePointer = true;
  state.selectMode = 0;
  return response;
}

MouseResponse rightPress(ViewerState& state) {
  if (state.viewLevel < 2 || state.writeDialogOpen != 0) return MouseResponse();
  // The view is about to be drawn anew: a rectangle being dragged over it ends first.
  MouseResponse response = abandonDrag(state);
  switch (state.viewLevel) {
    case 2:
      state.viewStartCol = TileGeometry::firstCell;
      state.viewStartRow = TileGeometry::firstCell;
      state.viewLevel = 0;
      break;
    case 3:
      state.viewStartCol = state.levelOriginCol[2];
      state.viewStartRow = state.levelOriginRow[2];
      state.viewLevel = 2;
      state.backToLevel = 2;
      state.rowBox = state.savedRowBox;
      state.colBox = state.savedColBox;
      break;
    default:
      state.viewStartCol = state.levelOriginCol[state.viewLevel - 1];
      state.viewStartRow = state.levelOriginRow[state.viewLevel - 1];
      state.viewLevel = static_cast<int16_t>(state.viewLevel - 1);
      state.backToLevel = state.viewLevel;
      break;
  }
  // Below the quadrangle a selection has no scale: an armed one is dropped.
  if (state.viewLevel < 3 && state.selectMode == 1) state.selectMode = 0;
  response.redraw = true;
  return response;
}

std::string westEdgeLabel(const TileHeader& header) {
  return longitudeLabel(westEdgeLon(header));
}

std::string eastEdgeLabel(const TileHeader& header) {
  return longitudeLabel(eastEdgeLon(header));
}

std::string northEdgeLabel(const TileHeader& header) {
  return "N " + std::to_string(northEdgeLat(header));
}

std::string southEdgeLabel(const TileHeader& header) {
  return "N " + std::to_string(southEdgeLat(header));
}

std::array<MapLabel, 5> windowLabels(int zone, const MapLabel& firstEdge,
                                     const MapLabel& lastEdge) {
  std::array<MapLabel, 5> labels;
  for (int i = 0; i < 5; ++i) {
    labels[static_cast<size_t>(i)] = boundaryLabel((zone - 1) * 2 + i, firstEdge, lastEdge);
  }
  return labels;
}

std::array<MapLabel, 2> quadrangleLabels(int box, const MapLabel& firstEdge,
                                         const MapLabel& lastEdge) {
  return {boundaryLabel(box, firstEdge, lastEdge), boundaryLabel(box + 1, firstEdge, lastEdge)};
}

}  // namespace ned
