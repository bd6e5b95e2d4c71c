#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ned
