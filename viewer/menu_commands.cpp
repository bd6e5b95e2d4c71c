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

MenuResponse openCommand(ViewerState& state) {
  prepareTileOpen(state);
  MenuResponse response;
  response.openTile = true;
  return response;
}

MenuResponse exitCommand(ViewerState&) {
  MenuResponse response;
  response.close = true;
  return response;
}

MenuResponse selectAllCommand(ViewerState& state) {
  state.selectAllPending = 1;
  MenuResponse response;
  response.openWriteDialog = true;
  return response;
}

MenuResponse selectWindowCommand(ViewerState& state) {
  state.selectMode = 1;
  return {};
}

MenuResponse displayCommand(ViewerState& state, int commandId) {
  MenuResponse response;
  response.showDisplayMarks = applyDisplayCommand(state, commandId);
  return response;
}

MenuResponse notesCommand(ViewerState& state) {
  MenuResponse response;
  if (state.notesOpen != 0) return response;
  state.notesOpen = 1;
  response.openNotes = true;
  return response;
}

MenuResponse menuCommand(ViewerState& state, int commandId) {
  if (isCommandIgnored(state, commandId)) return {};
  switch (commandId) {
    case kMenuOpen:
      return openCommand(state);
    case kMenuExit:
      return exitCommand(state);
    case kMenuSelectAll:
      return selectAllCommand(state);
    case kMenuSelectWindow:
      return selectWindowCommand(state);
    case kMenuNotes:
      return notesCommand(state);
    default:
      return displayCommand(state, commandId);
  }
}

void notesClosed(ViewerState& state) {
  state.notesOpen = 0;
}

bool mayEnableNotes(const ViewerState& state) {
  return state.notesOpen == 0;
}

}  // namespace ned
