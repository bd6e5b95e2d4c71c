// gridpick: the dialog-driven extractor. One run opens one tile, asks for one selection
// in two dialogs, writes one point file and ends with the run's exit status.
#include <windows.h>

#include "extractor/app/extractor_dialog_procs.h"
#include "extractor/extractor_driver.h"
#include "win32/win32_desktop.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ned::Win32Desktop desktop;
  ned::Win32ExtractorDialogs dialogs;
  return ned::runExtractor(desktop, dialogs);
}
