#include "viewer/menu_commands.h"

namespace ned {

bool applyDisplayCommand(ViewerState& state, int commandId) {
  switch (commandId) {
    case kMenuColorMap:
      state.colorMapOn = 1;
      return true;
    case kMenuGreyscale:
      state.colorMapOn = 0;
      return true;
    case kMenuNorthWest:
    case kMenuSouthWest:
    case kMenuNorthEast:
    case kMenuSouthEast:
      state.lightDirection = static_cast<int16_t>(commandId - kMenuNorthWest + 1);
      return true;
    default:
      return false;
  }
}

bool isDisplayItemChecked(const ViewerState& state, int commandId) {
  switch (commandId) {
    case kMenuColorMap:
      return state.colorMapOn == 1;
    case kMenuGreyscale:
      return state.colorMapOn == 0;
    case kMenuNorthWest:
    case kMenuSouthWest:
    case kMenuNorthEast:
    case kMenuSouthEast:
      return state.lightDirection == commandId - kMenuNorthWest + 1;
    default:
      return false;
  }
}

void prepareTileOpen(ViewerState& state) {
  state.viewStartRow = TileGeometry::firstCell;
  state.viewStartCol = TileGeometry::firstCell;
  state.viewLevel = 0;
  if (state.selectMode == 1) state.selectMode = 0;
}

bool isCommandIgnored(const ViewerState& state, int commandId) {
  if (state.writeDialogOpen == 0) return false;
  return commandId == kMenuOpen || commandId == kMenuSelectAll || commandId == kMenuSelectWindow;
}

void finishTileOpen(ViewerState& state, TileOpenResult result) {
  if (result == TileOpenResult::accepted) state.actionOk = 1;
  if (result == TileOpenResult::rejected) state.actionOk = 0;
}

}  // namespace ned
