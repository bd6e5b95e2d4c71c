// The mouse on the map: every row of the level table, the back step, the labels a zoom
// sets, and the window selection with its outline, capture and ending.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/support/scripted_desktop.h"
#include "viewer/annotations.h"
#include "viewer/menu_commands.h"
#include "viewer/navigation.h"
#include "viewer/render.h"

namespace ned {
namespace {

// A raster of zeros and a window that keeps nothing: what the real drawing records of a
// view is what these tests need.
class ZeroSource : public SampleSource {
 public:
  bool open(const std::string&) override { return true; }
  bool seekTo(int64_t) override { return true; }
  bool skip(int64_t) override { return true; }
  size_t readRow(float* out, size_t count, size_t) override {
    for (size_t i = 0; i < count; ++i) out[i] = 0.0f;
    return count;
  }
  void close() override {}
};

class NoWindow : public MapWindow {
 public:
  void setMenuItemEnabled(int, bool) override {}
  void putPicture(const MapPicture&) override {}
  void draw(const DrawList&) override {}
  void releaseDrawingContext() override {}
};

// The redraw a response asks for: the info box, then the view.
void carryOut(ViewerState& state, const MouseResponse& response) {
  if (!response.redraw) return;
  drawInfoBox(state);
  ZeroSource source;
  NoWindow window;
  testing::ScriptedDesktop desktop;
  ASSERT_EQ(renderView(state, window, source, desktop), 1);
}

// The demo tile, 36 to 37 N and 84 to 85 W, at the whole degree.
ViewerState wholeDegree() {
  ViewerState state;
  state.header.tileWestLon = 85.00055555556;
  state.header.tileSouthLat = 35.99944444444;
  prepareTileOpen(state);
  carryOut(state, MouseResponse{false, {}, false, true, false});
  return state;
}

ViewerState press(ViewerState state, int32_t x, int32_t y, bool ctrl = false) {
  carryOut(state, leftPress(state, x, y, ctrl));
  return state;
}

std::vector<std::string> labels(const MapLabel (&row)[5]) {
  return std::vector<std::string>(row, row + 5);
}

TEST(Navigation, WholeDegreeBoxesZoomToTheirThirtyMinuteWindow) {
  struct Case {
    int32_t x, y;
    int level;  // after the press
    int32_t col, row;
    int16_t colBox, rowBox;
  };
  const Case cases[] = {
      {158, 196, 2, 6, 6, 0, 0},       {169, 207, 2, 6, 6, 0, 0},
      {157, 200, 1, 6, 6, 0, 0},       {170, 200, 1, 6, 6, 0, 0},
      {163, 195, 1, 6, 6, 0, 0},       {163, 208, 1, 6, 6, 0, 0},
      {276, 100, 1, 6, 6, 0, 0},       {100, 351, 1, 6, 6, 0, 0},  // one zone only
      {271, 357, 2, 2706, 2706, 2, 2}, {395, 496, 2, 5406, 5406, 4, 4},
      {383, 207, 2, 5406, 6, 4, 0},
  };
  for (const Case& c : cases) {
    const ViewerState after = press(wholeDegree(), c.x, c.y);
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    EXPECT_EQ(after.viewLevel, c.level);
    EXPECT_EQ(after.viewStartCol, c.col);
    EXPECT_EQ(after.viewStartRow, c.row);
    EXPECT_EQ(after.colBox, c.colBox);
    EXPECT_EQ(after.rowBox, c.rowBox);
    EXPECT_EQ(after.savedColBox, c.colBox);
    EXPECT_EQ(after.savedRowBox, c.rowBox);
  }
  // Table A, west to east and north to south, copied for the way back.
  const ViewerState west = press(wholeDegree(), 160, 500);
  EXPECT_EQ(labels(west.lonLabel),
            (std::vector<std::string>{"W 85", "52.5'", "45'", "37.5'", "30'"}));
  EXPECT_EQ(labels(west.latLabel),
            (std::vector<std::string>{"30'", "22.5'", "15'", "7.5'", "N 36"}));
  const ViewerState middle = press(wholeDegree(), 276, 200);
  EXPECT_EQ(labels(middle.lonLabel),
            (std::vector<std::string>{"45'", "37.5'", "30'", "22.5'", "15'"}));
  EXPECT_EQ(labels(middle.latLabel),
            (std::vector<std::string>{"N 37", "52.5'", "45'", "37.5'", "30'"}));
  const ViewerState east = press(wholeDegree(), 390, 350);
  EXPECT_EQ(east.lonLabel[4], "W 84");
  EXPECT_EQ(labels(east.savedLonLabel), labels(east.lonLabel));
  EXPECT_EQ(labels(east.savedLatLabel), labels(east.latLabel));
}

TEST(Navigation, ThirtyMinuteWindowStepsToTheQuadranglePressed) {
  struct Case {
    int32_t x, y;
    bool zooms;
    int16_t colBox, rowBox;  // after, from the window with boxes 2 and 2
  };
  const Case cases[] = {
      {163, 200, true, 2, 2},  {164, 201, true, 3, 3}, {275, 350, true, 3, 3},
      {276, 351, true, 4, 4},  {387, 500, true, 4, 4}, {388, 501, true, 5, 5},
      {501, 651, true, 5, 5},  {50, 50, true, 2, 2},   {502, 300, false, 2, 2},
      {300, 652, false, 2, 2}, {49, 300, false, 2, 2}, {300, 49, false, 2, 2},
  };
  for (const Case& c : cases) {
    const ViewerState window = press(wholeDegree(), 276, 351);
    const ViewerState after = press(window, c.x, c.y);
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    EXPECT_EQ(after.viewLevel, c.zooms ? 3 : 2);
    EXPECT_EQ(after.colBox, c.colBox);
    EXPECT_EQ(after.rowBox, c.rowBox);
    EXPECT_EQ(after.viewStartCol, c.zooms ? c.colBox * 1350 + 6 : 2706);
    EXPECT_EQ(after.viewStartRow, c.zooms ? c.rowBox * 1350 + 6 : 2706);
  }
  // Table B: the quadrangle's own edges; the window's inner labels stay.
  const ViewerState corner = press(press(wholeDegree(), 390, 500), 450, 600);
  EXPECT_EQ(corner.colBox, 7);
  EXPECT_EQ(labels(corner.lonLabel),
            (std::vector<std::string>{"7.5'", "22.5'", "15'", "7.5'", "W 84"}));
  EXPECT_EQ(corner.latLabel[0], "7.5'");
  EXPECT_EQ(corner.latLabel[4], "N 36");
  const ViewerState first = press(press(wholeDegree(), 160, 200), 60, 60);
  EXPECT_EQ(first.lonLabel[0], "W 85");
  EXPECT_EQ(first.lonLabel[4], "52.5'");
  EXPECT_EQ(first.latLabel[0], "N 37");
  EXPECT_EQ(first.latLabel[4], "52.5'");
}

TEST(Navigation, FinerLevelsZoomAndPanAroundThePressWithinTheTile) {
  struct Case {
    int16_t level;
    int32_t col, row;  // origin before
    int32_t x, y;
    bool ctrl;
    int16_t levelAfter;
    int32_t colAfter, rowAfter;
  };
  const Case cases[] = {
      {3, 6, 6, 50, 50, false, 4, 6, 6},                // 6 - 450, held at 6
      {3, 9456, 9456, 501, 651, false, 4, 9906, 9906},  // held at the last 5' origin
      {3, 5406, 4056, 200, 400, false, 4, 5406, 4392},
      {4, 5000, 5000, 275, 350, true, 4, 5000, 5000},  // Ctrl at the centre: the same window
      {4, 5000, 5000, 275, 350, false, 5, 5225, 5225},
      {4, 5000, 5000, 50, 50, true, 4, 4550, 4550},
      {4, 9906, 9906, 501, 651, false, 5, 10356, 10356},
      {5, 5000, 5000, 275, 350, false, 5, 5000, 5000},
      {5, 5000, 5000, 275, 350, true, 5, 5000, 5000},  // Ctrl makes no difference
      {5, 100, 100, 50, 50, false, 5, 6, 6},
      {5, 10300, 10300, 501, 651, false, 5, 10356, 10356},
      {5, 5000, 5000, 502, 350, false, 5, 5000, 5000},  // outside: nothing
      {4, 5000, 5000, 300, 652, true, 4, 5000, 5000},
  };
  for (const Case& c : cases) {
    ViewerState state = wholeDegree();
    state.viewLevel = c.level;
    state.viewStartCol = c.col;
    state.viewStartRow = c.row;
    const MouseResponse response = leftPress(state, c.x, c.y, c.ctrl);
    SCOPED_TRACE(std::to_string(c.level) + " at " + std::to_string(c.x) + "," +
                 std::to_string(c.y));
    EXPECT_EQ(state.viewLevel, c.levelAfter);
    EXPECT_EQ(state.viewStartCol, c.colAfter);
    EXPECT_EQ(state.viewStartRow, c.rowAfter);
    const bool changed = c.x <= 501 && c.y <= 651;
    EXPECT_EQ(response.redraw, changed);
    EXPECT_EQ(state.actionOk, changed ? 1 : 0);
  }
  // No tile yet: presses of either button do nothing.
  ViewerState none;
  EXPECT_FALSE(leftPress(none, 163, 201, false).redraw);
  EXPECT_FALSE(rightPress(none).redraw);
  EXPECT_EQ(none.viewLevel, 0);
}

TEST(Navigation, BackStepReturnsToTheViewLastDrawnAtTheLevelBelow) {
  ViewerState state = press(wholeDegree(), 276, 351);  // 30' window, boxes 2
  state = press(state, 300, 400);                      // quadrangle 4, 4
  ASSERT_EQ(state.viewLevel, 3);
  ASSERT_EQ(state.lonLabel[0], "30'");
  state = press(state, 200, 400);        // 5' window
  state = press(state, 450, 550, true);  // Ctrl pan at level 4
  const int32_t panCol = state.viewStartCol;
  const int32_t panRow = state.viewStartRow;
  state = press(state, 100, 600);  // 2.5' window
  state = press(state, 400, 150);  // pan
  ASSERT_EQ(state.viewLevel, 5);

  carryOut(state, rightPress(state));
  EXPECT_EQ(state.viewLevel, 4);
  EXPECT_EQ(state.viewStartCol, panCol);
  EXPECT_EQ(state.viewStartRow, panRow);
  carryOut(state, rightPress(state));
  EXPECT_EQ(state.viewLevel, 3);
  EXPECT_EQ(state.viewStartCol, 4 * 1350 + 6);
  EXPECT_EQ(state.viewStartRow, 4 * 1350 + 6);
  carryOut(state, rightPress(state));
  EXPECT_EQ(state.viewLevel, 2);
  EXPECT_EQ(state.viewStartCol, 2706);
  EXPECT_EQ(state.colBox, 2);
  EXPECT_EQ(state.rowBox, 2);
  EXPECT_EQ(labels(state.lonLabel),
            (std::vector<std::string>{"45'", "37.5'", "30'", "22.5'", "15'"}));
  EXPECT_EQ(state.backToLevel, 0);  // cleared by the drawing
  carryOut(state, rightPress(state));
  EXPECT_EQ(state.viewLevel, 1);
  EXPECT_EQ(state.viewStartCol, 6);
  EXPECT_EQ(state.viewStartRow, 6);
  EXPECT_EQ(state.lonLabel[1], "45'");
  EXPECT_FALSE(rightPress(state).redraw);  // nothing below the whole degree
}

// The selection rectangle: an armed selection starts on the next press, the outline
// follows the pointer and is removed before it moves, the release selects.
TEST(WindowSelection, DragDrawsTheOutlineAndSelectsTheHeldRectangle) {
  struct Case {
    const char* what;
    int32_t pressX, pressY;
    std::vector<std::array<int32_t, 2>> moves;
    int32_t releaseX, releaseY;
    std::array<int32_t, 4> rect;  // left, top, right, bottom
  };
  const Case cases[] = {
      {"down and right", 100, 100, {{200, 200}, {300, 400}}, 300, 400, {100, 100, 300, 400}},
      {"back across the anchor",
       300,
       400,
       {{350, 450}, {100, 100}},
       100,
       100,
       {100, 100, 300, 400}},
      {"no move", 220, 330, {}, 220, 330, {220, 330, 220, 330}},
      {"starts outside the map", 20, 700, {{80, 600}}, 80, 600, {50, 600, 80, 650}},
      {"released outside the map", 460, 600, {{600, 700}}, 700, 900, {460, 600, 500, 650}},
      {"released before the map", 100, 100, {}, -5, 10, {50, 50, 100, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ViewerState state = wholeDegree();
    state.viewLevel = 3;
    state.selectMode = 1;
    MouseResponse response = leftPress(state, c.pressX, c.pressY, true);
    EXPECT_TRUE(response.captureAndConfine);
    EXPECT_FALSE(response.redraw);
    EXPECT_EQ(state.selectMode, 2);
    EXPECT_EQ(state.viewLevel, 3);

    ClientPoint shown{};
    bool drawn = false;
    for (const auto& move : c.moves) {
      EXPECT_TRUE(pointerMove(state, move[0], move[1], false).inverts.empty());
      response = pointerMove(state, move[0], move[1], true);
      ASSERT_EQ(response.inverts.size(), drawn ? 2u : 1u);
      if (drawn) {
        EXPECT_EQ(response.inverts[0].c.x, shown.x);
        EXPECT_EQ(response.inverts[0].c.y, shown.y);
      }
      shown = response.inverts.back().c;
      EXPECT_EQ(response.inverts.back().a.x, state.bandAnchor.x);
      drawn = true;
    }
    response = leftRelease(state, c.releaseX, c.releaseY);
    EXPECT_EQ(response.inverts.size(), drawn ? 1u : 0u);  // the outline comes off
    EXPECT_TRUE(response.freePointer);
    EXPECT_TRUE(response.openWriteDialog);
    EXPECT_EQ(state.selectMode, 0);
    EXPECT_EQ(state.bandDrawn, 0);
    EXPECT_EQ(
        (std::array<int32_t, 4>{state.selLeft, state.selTop, state.selRight, state.selBottom}),
        c.rect);
    EXPECT_FALSE(leftRelease(state, 10, 10).openWriteDialog);  // once only
  }
}

TEST(WindowSelection, OutlineSegmentsInvertEachCornerOnce) {
  const std::array<Segment, 4> segments = outlineSegments({{100, 120}, {300, 400}});
  const int32_t expected[4][4] = {
      {100, 120, 300, 120}, {300, 120, 300, 400}, {300, 400, 100, 400}, {100, 400, 100, 120}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(
        (std::array<int32_t, 4>{segments[i].x1, segments[i].y1, segments[i].x2, segments[i].y2}),
        (std::array<int32_t, 4>{expected[i][0], expected[i][1], expected[i][2], expected[i][3]}));
  }
}

// A drag that loses the mouse, a right press during it and closing the window all end
// it: the outline comes off, the pointer is freed and nothing is selected.
TEST(WindowSelection, AnInterruptedDragEndsWithoutASelection) {
  for (int interruption = 0; interruption < 2; ++interruption) {
    ViewerState state = press(press(press(wholeDegree(), 276, 351), 300, 400), 200, 400);
    ASSERT_EQ(state.viewLevel, 4);
    state.selectMode = 1;
    leftPress(state, 100, 100, false);
    pointerMove(state, 200, 250, true);
    ASSERT_EQ(state.bandDrawn, 1);
    const MouseResponse response = interruption == 0 ? abandonDrag(state) : rightPress(state);
    ASSERT_EQ(response.inverts.size(), 1u);
    EXPECT_EQ(response.inverts[0].c.x, 200);
    EXPECT_TRUE(response.freePointer);
    EXPECT_FALSE(response.openWriteDialog);
    EXPECT_EQ(state.selectMode, 0);
    EXPECT_EQ(state.bandDrawn, 0);
    EXPECT_EQ(response.redraw, interruption == 1);
    EXPECT_EQ(state.viewLevel, interruption == 1 ? 3 : 4);
    EXPECT_TRUE(abandonDrag(state).inverts.empty());
    EXPECT_FALSE(abandonDrag(state).freePointer);
  }
}

TEST(WindowSelection, ArmedSelectionIsDroppedWhenItCanNoLongerScale) {
  ViewerState state = press(press(wholeDegree(), 276, 351), 300, 400);
  state.selectMode = 1;
  carryOut(state, rightPress(state));  // back to the 30' window
  EXPECT_EQ(state.viewLevel, 2);
  EXPECT_EQ(state.selectMode, 0);

  state = press(press(press(wholeDegree(), 276, 351), 300, 400), 200, 400);
  state.selectMode = 1;
  carryOut(state, rightPress(state));  // back to the quadrangle: still selectable
  EXPECT_EQ(state.selectMode, 1);
  prepareTileOpen(state);
  EXPECT_EQ(state.selectMode, 0);

  // While the export dialog is open presses do nothing, and the commands that would open
  // a tile or a second dialog under it wait.
  state = press(press(wholeDegree(), 276, 351), 300, 400);
  state.writeDialogOpen = 1;
  state.selectMode = 1;
  EXPECT_FALSE(leftPress(state, 100, 100, false).captureAndConfine);
  EXPECT_EQ(state.selectMode, 1);
  EXPECT_FALSE(rightPress(state).redraw);
  EXPECT_EQ(state.viewLevel, 3);
  for (int id = kMenuOpen; id <= kMenuNotes; ++id) {
    EXPECT_EQ(isCommandIgnored(state, id),
              id == kMenuOpen || id == kMenuSelectAll || id == kMenuSelectWindow);
  }
  state.writeDialogOpen = 0;
  EXPECT_FALSE(isCommandIgnored(state, kMenuOpen));
}

}  // namespace
}  // namespace ned
