// The map drawings on the main window: the info box before every drawing, then the view.
#pragma once

#include <windows.h>

#include "core/desktop.h"
#include "viewer/viewer_state.h"

namespace ned {

// Enables or greys a menu item of the main window and shows the change on the menu bar.
void setMenuItemEnabled(HWND window, int id, bool enabled);

// The title line and the framed black map area; sets up the whole degree at level 0.
// Gives 1.
int drawInfoBox(HWND window, ViewerState& state);

// Draws the current view onto the window. Gives 1 when the map was drawn, 0 after a
// failure that was reported through the desktop.
int renderView(HWND window, ViewerState& state, Desktop& desktop);

}  // namespace ned
