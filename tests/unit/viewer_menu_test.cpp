#include <gtest/gtest.h>

#include <string>

#include "viewer/menu_commands.h"

namespace ned {
namespace {

TEST(ViewerMenu, ColorAndLightCommandsMoveTheirCheckMarks) {
  ViewerState state;
  // At start: Greyscale and North West.
  EXPECT_TRUE(isDisplayItemChecked(state, kMenuGreyscale));
  EXPECT_FALSE(isDisplayItemChecked(state, kMenuColorMap));
  EXPECT_TRUE(isDisplayItemChecked(state, kMenuNorthWest));

  EXPECT_TRUE(applyDisplayCommand(state, kMenuColorMap));
  EXPECT_EQ(state.colorMapOn, 1);
  EXPECT_TRUE(isDisplayItemChecked(state, kMenuColorMap));
  EXPECT_FALSE(isDisplayItemChecked(state, kMenuGreyscale));

  const int lights[] = {kMenuNorthWest, kMenuSouthWest, kMenuNorthEast, kMenuSouthEast};
  for (int chosen = 0; chosen < 4; ++chosen) {
    // Choosing twice leaves the marks as they are.
    EXPECT_TRUE(applyDisplayCommand(state, lights[chosen]));
    EXPECT_TRUE(applyDisplayCommand(state, lights[chosen]));
    EXPECT_EQ(state.lightDirection, chosen + 1);
    for (int other = 0; other < 4; ++other)
      EXPECT_EQ(isDisplayItemChecked(state, lights[other]), other == chosen);
  }
  EXPECT_FALSE(applyDisplayCommand(state, kMenuNotes));
  EXPECT_FALSE(applyDisplayCommand(state, 999));
}

TEST(ViewerMenu, OpeningATileResetsTheViewAndKeepsTheMarkOnFailure) {
  ViewerState state;
  state.viewLevel = 4;
  state.viewStartRow = 5000;
  state.viewStartCol = 700;
  prepareTileOpen(state);
  EXPECT_EQ(state.viewLevel, 0);
  EXPECT_EQ(state.viewStartRow, 6);
  EXPECT_EQ(state.viewStartCol, 6);

  finishTileOpen(state, TileOpenResult::accepted);
  EXPECT_EQ(state.actionOk, 1);
  finishTileOpen(state, TileOpenResult::cancelled);
  finishTileOpen(state, TileOpenResult::openFailed);
  EXPECT_EQ(state.actionOk, 1);
  finishTileOpen(state, TileOpenResult::rejected);
  EXPECT_EQ(state.actionOk, 0);
  finishTileOpen(state, TileOpenResult::openFailed);
  EXPECT_EQ(state.actionOk, 0);
}

// What the window is asked to do, one letter a step: T open a tile, C close, W the export
// dialog, N the Notes dialog, M the check marks.
std::string steps(const MenuResponse& r) {
  std::string s;
  if (r.openTile) s += 'T';
  if (r.close) s += 'C';
  if (r.openWriteDialog) s += 'W';
  if (r.openNotes) s += 'N';
  if (r.showDisplayMarks) s += 'M';
  return s;
}

// Every command from a quadrangle on the screen: what it changes and what the window must
// do, also while the export dialog or the Notes dialog is open.
TEST(ViewerMenu, EachCommandChangesTheStateAndSaysWhatTheWindowDoes) {
  struct Case {
    int command;
    int16_t writeDialogOpen, notesOpen, selectMode;  // before
    const char* steps;
    int16_t viewLevel, selectAllPending, selectModeAfter, notesOpenAfter, colorMapOn, light;
  };
  const Case cases[] = {
      {kMenuOpen, 0, 0, 0, "T", 0, 0, 0, 0, 0, 1},
      {kMenuOpen, 0, 0, 1, "T", 0, 0, 0, 0, 0, 1},  // an armed Select/Window is dropped
      {kMenuOpen, 1, 0, 0, "", 3, 0, 0, 0, 0, 1},   // waits for the export dialog
      {kMenuExit, 0, 0, 0, "C", 3, 0, 0, 0, 0, 1},
      {kMenuExit, 1, 1, 0, "C", 3, 0, 0, 1, 0, 1},
      {kMenuSelectAll, 0, 0, 0, "W", 3, 1, 0, 0, 0, 1},
      {kMenuSelectAll, 1, 0, 0, "", 3, 0, 0, 0, 0, 1},
      {kMenuSelectWindow, 0, 0, 0, "", 3, 0, 1, 0, 0, 1},
      {kMenuSelectWindow, 1, 0, 0, "", 3, 0, 0, 0, 0, 1},
      {kMenuColorMap, 0, 0, 0, "M", 3, 0, 0, 0, 1, 1},
      {kMenuColorMap, 1, 1, 0, "M", 3, 0, 0, 1, 1, 1},
      {kMenuGreyscale, 0, 0, 0, "M", 3, 0, 0, 0, 0, 1},
      {kMenuSouthWest, 0, 0, 0, "M", 3, 0, 0, 0, 0, 2},
      {kMenuSouthEast, 1, 0, 1, "M", 3, 0, 1, 0, 0, 4},
      {kMenuNotes, 0, 0, 0, "N", 3, 0, 0, 1, 0, 1},
      {kMenuNotes, 1, 0, 0, "N", 3, 0, 0, 1, 0, 1},  // readable during an export
      {kMenuNotes, 0, 1, 0, "", 3, 0, 0, 1, 0, 1},   // open already
      {999, 0, 0, 1, "", 3, 0, 1, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "command " << c.command << ", export dialog "
                                      << c.writeDialogOpen << ", notes " << c.notesOpen);
    ViewerState state;
    state.viewLevel = 3;
    state.viewStartRow = state.viewStartCol = 2706;
    state.writeDialogOpen = c.writeDialogOpen;
    state.notesOpen = c.notesOpen;
    state.selectMode = c.selectMode;
    EXPECT_EQ(steps(menuCommand(state, c.command)), c.steps);
    EXPECT_EQ(state.viewLevel, c.viewLevel);
    EXPECT_EQ(state.viewStartRow, c.viewLevel == 0 ? 6 : 2706);
    EXPECT_EQ(state.selectAllPending, c.selectAllPending);
    EXPECT_EQ(state.selectMode, c.selectModeAfter);
    EXPECT_EQ(state.notesOpen, c.notesOpenAfter);
    EXPECT_EQ(state.colorMapOn, c.colorMapOn);
    EXPECT_EQ(state.lightDirection, c.light);
    EXPECT_EQ(state.writeDialogOpen, c.writeDialogOpen);
  }
}

// Notes opens one dialog; closing it (OK, Escape, the close box) allows another, and only
// then does clearing the map enable the menu item again.
TEST(ViewerMenu, NotesOpensOnceUntilItsDialogCloses) {
  ViewerState state;
  EXPECT_TRUE(mayEnableNotes(state));
  EXPECT_EQ(steps(menuCommand(state, kMenuNotes)), "N");
  EXPECT_FALSE(mayEnableNotes(state));
  EXPECT_EQ(steps(menuCommand(state, kMenuNotes)), "");
  notesClosed(state);
  EXPECT_TRUE(mayEnableNotes(state));
  EXPECT_EQ(steps(menuCommand(state, kMenuNotes)), "N");
}

}  // namespace
}  // namespace ned
