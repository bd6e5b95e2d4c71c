#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "viewer/annotations.h"
#include "viewer/colour.h"

namespace ned {
namespace {

// A tile whose north edge is 40 N and west edge 106 W.
ViewerState stateFor40N106W(int16_t level) {
  ViewerState state;
  state.header.tileSouthLat = 38.999444;
  state.header.tileWestLon = 106.000556;
  state.viewLevel = level;
  return state;
}

using Placed = std::tuple<int32_t, int32_t, std::string>;  // x, y, text

// The texts written in a font, in order.
std::vector<Placed> textsIn(const DrawList& list, const std::string& face, int32_t height) {
  std::vector<Placed> out;
  std::string currentFace;
  int32_t currentHeight = 0;
  for (const DrawOp& op : list) {
    if (op.kind == DrawOpKind::SelectFont) {
      currentFace = op.text;
      currentHeight = op.size;
    } else if (op.kind == DrawOpKind::DeleteFont) {
      currentFace.clear();
    } else if (op.kind == DrawOpKind::Text && currentFace == face && currentHeight == height) {
      out.emplace_back(op.x, op.y, op.text);
    }
  }
  return out;
}

std::vector<DrawOp> opsOf(const DrawList& list, DrawOpKind kind) {
  std::vector<DrawOp> out;
  for (const DrawOp& op : list) {
    if (op.kind == kind) out.push_back(op);
  }
  return out;
}

std::set<Placed> labelSet(const DrawList& list) {
  const std::vector<Placed> labels = textsIn(list, "Courier New", 14);
  return {labels.begin(), labels.end()};
}

// Every font and pen is deleted in the step that made it, and every text is written with a
// font selected and the text style set on this drawing context.
void expectBalanced(const DrawList& list) {
  int fonts = 0;
  int pens = 0;
  int brushes = 0;
  bool styled = false;
  for (const DrawOp& op : list) {
    switch (op.kind) {
      case DrawOpKind::TextStyle:
        styled = true;
        break;
      case DrawOpKind::SelectFont:
        EXPECT_EQ(fonts, 0);
        ++fonts;
        break;
      case DrawOpKind::DeleteFont:
        --fonts;
        break;
      case DrawOpKind::SelectPen:
        EXPECT_EQ(pens, 0);
        ++pens;
        break;
      case DrawOpKind::DeletePen:
        --pens;
        break;
      case DrawOpKind::SolidBrush:
        ++brushes;
        break;
      case DrawOpKind::DeleteBrush:
        --brushes;
        break;
      case DrawOpKind::Text:
        EXPECT_TRUE(styled);
        EXPECT_EQ(fonts, 1);
        break;
      default:
        break;
    }
    EXPECT_GE(fonts, 0);
    EXPECT_GE(pens, 0);
  }
  EXPECT_EQ(fonts, 0);
  EXPECT_EQ(pens, 0);
  EXPECT_EQ(brushes, 0);
}

TEST(InfoBox, TitleAndFramedBlackArea) {
  ViewerState state = stateFor40N106W(3);
  const DrawList list = drawInfoBox(state);
  expectBalanced(list);
  EXPECT_EQ(state.titleText, "****File: N40-W106****");
  EXPECT_EQ(textsIn(list, "Times New Roman", 24),
            (std::vector<Placed>{{275, 22, "****File: N40-W106****"}}));

  const std::vector<DrawOp> rects = opsOf(list, DrawOpKind::Rectangle);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(std::tie(rects[0].x, rects[0].y, rects[0].x2, rects[0].y2),
            std::make_tuple(46, 46, 503, 653));
  // Filled black, framed by a green pen 3 pixels wide.
  const std::vector<DrawOp> brushes = opsOf(list, DrawOpKind::SolidBrush);
  const std::vector<DrawOp> pens = opsOf(list, DrawOpKind::SelectPen);
  ASSERT_EQ(brushes.size(), 1u);
  ASSERT_EQ(pens.size(), 1u);
  EXPECT_EQ(brushes[0].color, rgb(0, 0, 0));
  EXPECT_EQ(pens[0].color, rgb(0, 255, 0));
  EXPECT_EQ(pens[0].size, 3);
}

TEST(InfoBox, LevelZeroSetsUpTheWholeDegreeAndOtherLevelsKeepTheView) {
  ViewerState state = stateFor40N106W(0);
  state.viewStartRow = 3006;
  state.viewStartCol = 1356;
  state.rowBox = 4;
  state.colBox = 2;
  drawInfoBox(state);
  EXPECT_EQ(state.viewLevel, 1);
  EXPECT_EQ(state.viewStartRow, 6);
  EXPECT_EQ(state.viewStartCol, 6);
  EXPECT_EQ(state.rowBox, 0);
  EXPECT_EQ(state.colBox, 0);
  for (const MapLabel* labels : {state.lonLabel, state.latLabel}) {
    EXPECT_EQ(labels[1], "45'");
    EXPECT_EQ(labels[2], "30'");
    EXPECT_EQ(labels[3], "15'");
  }

  ViewerState level3 = stateFor40N106W(3);
  level3.viewStartRow = 3006;
  level3.viewStartCol = 1356;
  level3.rowBox = 4;
  level3.lonLabel[0] = "W 105";
  level3.lonLabel[1] = "x";
  drawInfoBox(level3);
  EXPECT_EQ(level3.viewLevel, 3);
  EXPECT_EQ(level3.viewStartRow, 3006);
  EXPECT_EQ(level3.viewStartCol, 1356);
  EXPECT_EQ(level3.rowBox, 4);
  EXPECT_EQ(level3.lonLabel[0], "W 105");
  EXPECT_EQ(level3.lonLabel[1], "x");
}

TEST(Annotations, WholeDegreeGridBoxesLabelsAndHelp) {
  ViewerState state = stateFor40N106W(0);
  drawInfoBox(state);
  const DrawList list = drawAnnotations(state);
  expectBalanced(list);

  std::vector<std::tuple<int, int, int, int>> lines;
  for (const DrawOp& op : opsOf(list, DrawOpKind::Line))
    lines.emplace_back(op.x, op.y, op.x2, op.y2);
  EXPECT_EQ(lines, (std::vector<std::tuple<int, int, int, int>>{{163, 50, 163, 650},
                                                                {276, 50, 276, 650},
                                                                {388, 50, 388, 650},
                                                                {50, 201, 500, 201},
                                                                {50, 351, 500, 351},
                                                                {50, 501, 500, 501}}));
  const std::vector<DrawOp> pens = opsOf(list, DrawOpKind::SelectPen);
  ASSERT_EQ(pens.size(), 2u);
  EXPECT_EQ(pens[0].color, rgb(192, 192, 192));
  EXPECT_EQ(pens[0].size, 1);
  EXPECT_EQ(pens[1].color, rgb(255, 255, 255));
  EXPECT_EQ(pens[1].size, 1);
  EXPECT_EQ(opsOf(list, DrawOpKind::HollowBrush).size(), 1u);

  std::set<std::tuple<int, int, int, int>> boxes;
  for (const DrawOp& op : opsOf(list, DrawOpKind::Rectangle))
    boxes.emplace(op.x, op.y, op.x2, op.y2);
  EXPECT_EQ(boxes, (std::set<std::tuple<int, int, int, int>>{{157, 195, 170, 208},
                                                             {157, 345, 170, 358},
                                                             {157, 495, 170, 508},
                                                             {270, 195, 283, 208},
                                                             {270, 345, 283, 358},
                                                             {270, 495, 283, 508},
                                                             {382, 195, 395, 208},
                                                             {382, 345, 395, 358},
                                                             {382, 495, 395, 508},
                                                             {195, 676, 205, 686}}));

  EXPECT_EQ(labelSet(list),
            (std::set<Placed>{
                {50, 39, "W 106"},  {50, 667, "W 106"},  {162, 39, "45'"}, {162, 667, "45'"},
                {281, 39, "30'"},   {281, 667, "30'"},   {393, 39, "15'"}, {393, 667, "15'"},
                {500, 39, "W 105"}, {500, 667, "W 105"}, {33, 51, "N40"},  {517, 51, "N40"},
                {33, 203, "45'"},   {519, 203, "45'"},   {33, 353, "30'"}, {519, 353, "30'"},
                {33, 503, "15'"},   {519, 503, "15'"},   {33, 653, "N39"}, {517, 653, "N39"},
            }));
  EXPECT_EQ(textsIn(list, "Courier New", 14).size(), 20u);
  EXPECT_EQ(textsIn(list, "Courier New", 18),
            (std::vector<Placed>{{281, 685, "Click   box to zoom 30' window."}}));
}

TEST(Annotations, ThirtyMinuteWindowPutsBackItsSavedLabels) {
  ViewerState state = stateFor40N106W(2);
  const char* saved[] = {"W 106", "52'30", "45'", "37'30", "30'"};
  for (int i = 0; i < 5; ++i) {
    state.lonLabel[i] = "stale";
    state.latLabel[i] = "stale";
    state.savedLonLabel[i] = saved[i];
    state.savedLatLabel[i] = std::string("N") + std::to_string(i);
  }
  // Drawn fresh from a zoom click: the labels as they stand.
  DrawList list = drawAnnotations(state);
  expectBalanced(list);
  EXPECT_EQ(opsOf(list, DrawOpKind::Line).size(), 6u);
  EXPECT_TRUE(opsOf(list, DrawOpKind::Rectangle).empty());
  EXPECT_EQ(labelSet(list).count({50, 39, "stale"}), 1u);

  // Drawn on the way back from a finer level: the saved labels first.
  state.backToLevel = 2;
  list = drawAnnotations(state);
  EXPECT_EQ(state.lonLabel[1], "52'30");
  EXPECT_EQ(state.latLabel[4], "N4");
  std::set<Placed> expected;
  const int32_t xs[] = {50, 162, 281, 393, 500};
  const int32_t ys[] = {51, 203, 353, 503, 653};
  for (int i = 0; i < 5; ++i) {
    expected.insert({xs[i], 39, saved[i]});
    expected.insert({xs[i], 667, saved[i]});
    expected.insert({28, ys[i], "N" + std::to_string(i)});
    expected.insert({523, ys[i], "N" + std::to_string(i)});
  }
  EXPECT_EQ(labelSet(list), expected);
  EXPECT_EQ(textsIn(list, "Courier New", 18),
            (std::vector<Placed>{
                {281, 685, "Click any box to zoom 7.5' quadrangle. Right click back."}}));
}

TEST(Annotations, QuadrangleShowsOnlyItsEdgesAndNoGrid) {
  ViewerState state = stateFor40N106W(3);
  for (int i = 0; i < 5; ++i) {
    state.lonLabel[i] = "o" + std::to_string(i);
    state.latLabel[i] = "a" + std::to_string(i);
  }
  const DrawList list = drawAnnotations(state);
  expectBalanced(list);
  EXPECT_TRUE(opsOf(list, DrawOpKind::Line).empty());
  EXPECT_TRUE(opsOf(list, DrawOpKind::Rectangle).empty());
  EXPECT_TRUE(opsOf(list, DrawOpKind::SelectPen).empty());
  EXPECT_EQ(labelSet(list), (std::set<Placed>{{50, 39, "o0"},
                                              {50, 667, "o0"},
                                              {500, 39, "o4"},
                                              {500, 667, "o4"},
                                              {28, 51, "a0"},
                                              {523, 51, "a0"},
                                              {28, 653, "a4"},
                                              {523, 653, "a4"}}));
  EXPECT_EQ(textsIn(list, "Courier New", 18),
            (std::vector<Placed>{{281, 685, "Click any point to zoom 5'.  Right click back."}}));
}

TEST(Annotations, FinestLevelsLabelOnlyTheDegreeEdgesTheyTouch) {
  ViewerState corner = stateFor40N106W(4);
  corner.renderedStartRow = 6;
  corner.renderedStartCol = 6;
  DrawList list = drawAnnotations(corner);
  expectBalanced(list);
  EXPECT_TRUE(opsOf(list, DrawOpKind::Line).empty());
  EXPECT_EQ(
      labelSet(list),
      (std::set<Placed>{{28, 51, "N40"}, {523, 51, "N40"}, {50, 39, "W 106"}, {50, 667, "W 106"}}));
  EXPECT_EQ(textsIn(list, "Courier New", 18),
            (std::vector<Placed>{
                {281, 685, "Cntl+Click to Pan. Click to zoom 2.5' or use \"Select Menu\"."}}));

  ViewerState inside = stateFor40N106W(4);
  inside.renderedStartRow = 906;
  inside.renderedStartCol = 10356;  // the level-5 limit means nothing at level 4
  EXPECT_TRUE(labelSet(drawAnnotations(inside)).empty());

  ViewerState southEast4 = stateFor40N106W(4);
  southEast4.renderedStartRow = 9906;
  southEast4.renderedStartCol = 9906;
  EXPECT_EQ(labelSet(drawAnnotations(southEast4)),
            (std::set<Placed>{
                {28, 653, "N39"}, {523, 653, "N39"}, {500, 39, "W 105"}, {500, 667, "W 105"}}));

  ViewerState east5 = stateFor40N106W(5);
  east5.renderedStartRow = 5000;
  east5.renderedStartCol = 10356;
  list = drawAnnotations(east5);
  EXPECT_EQ(labelSet(list), (std::set<Placed>{{500, 39, "W 105"}, {500, 667, "W 105"}}));
  EXPECT_EQ(
      textsIn(list, "Courier New", 18),
      (std::vector<Placed>{{281, 685, "L-Click to pan, R-Click back or use \"Select Menu\"."}}));

  ViewerState south5 = stateFor40N106W(5);
  south5.renderedStartRow = 10356;
  south5.renderedStartCol = 9906;
  EXPECT_EQ(labelSet(drawAnnotations(south5)),
            (std::set<Placed>{{28, 653, "N39"}, {523, 653, "N39"}}));
}

}  // namespace
}  // namespace ned
