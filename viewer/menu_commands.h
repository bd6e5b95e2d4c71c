// The viewer's menu: its item ids and what the commands do to the state, apart from
// the window system's part of them.
#pragma once

#include "core/tile/tile_open.h"
#include "viewer/viewer_state.h"

namespace ned {

enum MenuId : int {
  kMenuOpen = 201,
  kMenuExit = 202,
  kMenuSelectAll = 203,
  kMenuSelectWindow = 204,
  kMenuColorMap = 205,
  kMenuGreyscale = 206,
  kMenuNorthWest = 207,
  kMenuSouthWest = 208,
  kMenuNorthEast = 209,
  kMenuSouthEast = 210,
  kMenuNotes = 211,
};

// Color and Light commands change only the state; the next drawing uses them. Gives false
// for any other id.
bool applyDisplayCommand(ViewerState& state, int commandId);

// Whether a Color or Light item carries its check mark in this state.
bool isDisplayItemChecked(const ViewerState& state, int commandId);

// File/Open, before the tile is opened: the view goes back to the whole degree, and a
// window selection armed on the old view is dropped (Select is greyed until a view of the
// new tile allows it).
void prepareTileOpen(ViewerState& state);

// Whether a command is to be ignored now. While the export dialog is open, a new tile
// would be opened under it and a second export dialog could start: File/Open, Select/All
// and Select/Window wait until it has closed.
bool isCommandIgnored(const ViewerState& state, int commandId);

// File/Open, after: an accepted header is ready to draw, a rejected one is not; a
// cancelled or failed open leaves the mark as it was.
void finishTileOpen(ViewerState& state, TileOpenResult result);

}  // namespace ned
