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

// What the window does after a menu command, in this order. The commands change the state
// themselves; the window system's part is only carried out.
struct MenuResponse {
  bool openTile = false;          // clear the client area, grey Select, open a tile, draw it
  bool close = false;             // post WM_CLOSE: the window closes as by its close box
  bool openWriteDialog = false;   // run the export dialog on the selection of the whole view
  bool openNotes = false;         // run the Notes dialog, without an owner window
  bool showDisplayMarks = false;  // move the check marks of Color and Light to the state's
};

// One function per command; menuCommand gives each id to its function, and nothing for an
// id that is no command or is ignored now (isCommandIgnored).
MenuResponse openCommand(ViewerState& state);
MenuResponse exitCommand(ViewerState& state);
// The whole view is selected as soon as the export dialog opens.
MenuResponse selectAllCommand(ViewerState& state);
// The next left press on the map starts a selection rectangle; nothing is drawn now.
MenuResponse selectWindowCommand(ViewerState& state);
// Color/Color Map, Color/Greyscale and the four Light directions.
MenuResponse displayCommand(ViewerState& state, int commandId);
// The Notes dialog opens once: Notes does nothing while it is open.
MenuResponse notesCommand(ViewerState& state);
MenuResponse menuCommand(ViewerState& state, int commandId);

// The Notes dialog closed (OK, Escape or its close box): Notes may open it again.
void notesClosed(ViewerState& state);

// Whether clearing the client area enables Notes again: not while its dialog is open.
bool mayEnableNotes(const ViewerState& state);

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
