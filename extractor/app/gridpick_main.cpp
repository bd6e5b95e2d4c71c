// gridpick: the dialog-driven extractor. One run opens one tile and ends with its status.
#include <windows.h>

#include "core/tile/tile_open.h"
#include "win32/win32_desktop.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ned::Win32Desktop desktop;
  ned::TileHeader header;
  switch (ned::openTile(desktop, ned::Program::extractor, header)) {
    case ned::TileOpenResult::cancelled:
      return 0;
    case ned::TileOpenResult::openFailed:
      return 1;
    case ned::TileOpenResult::rejected:
      return 0;
    case ned::TileOpenResult::accepted:
      return 0;
  }
  return 0;
}
