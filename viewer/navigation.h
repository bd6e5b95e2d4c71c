// What the mouse does on the map: the zoom of each level with its hit areas, the pans,
// the right-press back step, and the window selection by a dragged rectangle. Each
// handler changes the viewer's state and says what the window must do; the window system
// side only carries that out.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/viewer_state.h"

namespace ned {

// The map area in client pixels, as presses and rectangles are held to it.
constexpr int32_t kAreaLeft = 50;
constexpr int32_t kAreaTop = 50;
constexpr int32_t kAreaRight = 500;
constexpr int32_t kAreaBottom = 650;

// The origins a view can take at levels 3 to 5: its window ends at cell 10805 at most.
constexpr int32_t kLastOrigin5Minutes = 9906;     // 10812 - 6 - 900
constexpr int32_t kLastOrigin2_5Minutes = 10356;  // 10812 - 6 - 450

// The rectangle outline between two corners, drawn by inverting the pixels it covers.
struct BandOutline {
  ClientPoint a;
  ClientPoint c;
};

struct Segment {
  int32_t x1;
  int32_t y1;
  int32_t x2;
  int32_t y2;
};

// The outline's four segments in the order they are drawn, each from its start to its
// end point (which the line leaves out), so that every corner pixel is inverted once.
std::array<Segment, 4> outlineSegments(const BandOutline& outline);

// What the window does after a mouse message, in this order.
struct MouseResponse {
  bool captureAndConfine = false;    // take the mouse and hold the pointer in the map area
  std::vector<BandOutline> inverts;  // outlines to draw in the inverting mode, in order
  bool freePointer = false;          // let the pointer go and give the mouse back
  bool redraw = false;               // clear the client area, draw the info box and the view
  bool openWriteDialog = false;      // run the export dialog on the selection just made
};

MouseResponse leftPress(ViewerState& state, int32_t x, int32_t y, bool ctrl);
MouseResponse pointerMove(ViewerState& state, int32_t x, int32_t y, bool leftButtonDown);
MouseResponse leftRelease(ViewerState& state, int32_t x, int32_t y);
MouseResponse rightPress(ViewerState& state);

// Ends a drag that cannot go on: the mouse was taken away (a task switch, a cancelled
// mode) or the window is closing. The outline is removed, the pointer freed and nothing
// is selected. Does nothing when no rectangle is being dragged.
MouseResponse abandonDrag(ViewerState& state);

// The labels a zoom sets. The edge labels: "W " and the west or east edge degree, "N "
// and the north or south edge degree.
std::string westEdgeLabel(const TileHeader& header);
std::string eastEdgeLabel(const TileHeader& header);
std::string northEdgeLabel(const TileHeader& header);
std::string southEdgeLabel(const TileHeader& header);

// The five labels of a 30' window along one axis, for zone 1 to 3 (west to east or north
// to south); firstEdge and lastEdge are the degree labels of that axis.
std::array<MapLabel, 5> windowLabels(int zone, const MapLabel& firstEdge, const MapLabel& lastEdge);

// The two edge labels of the 7.5' quadrangle with box index 0 to 7 along one axis.
std::array<MapLabel, 2> quadrangleLabels(int box, const MapLabel& firstEdge,
                                         const MapLabel& lastEdge);

}  // namespace ned
