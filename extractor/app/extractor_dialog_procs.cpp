#include "extractor/app/extractor_dialog_procs.h"

#include <windows.h>

#include <array>

#include "extractor/app/gridpick_resource.h"
#include "extractor/extractor_dialogs.h"
#include "win32/win32_dialog_fields.h"

namespace ned {

static_assert(IDD_SELECT == kSelectDialogId && IDD_OUTPUT == kOutputDialogId);
static_assert(IDC_TILE_NAME == kIdcTileName && IDC_LONGITUDE == kIdcLongitude &&
              IDC_LATITUDE == kIdcLatitude && IDC_KM_EAST == kIdcKmEast &&
              IDC_KM_SOUTH == kIdcKmSouth);
static_assert(IDC_COLS == kIdcCols && IDC_ROWS == kIdcRows && IDC_TOTAL_POINTS == kIdcTotalPoints &&
              IDC_START_EASTING == kIdcStartEasting && IDC_START_NORTHING == kIdcStartNorthing &&
              IDC_REMOVE_COUNT == kIdcRemoveCount);
static_assert(IDC_TO_FEET == kIdcToFeet && IDC_RECTANGULAR == kIdcRectangular &&
              IDC_PROJECT_NORTH == kIdcProjectNorth && IDC_CSV_GRID == kIdcCsvGrid &&
              IDC_COORDINATES == kIdcCoordinates && IDC_SKIP_NODATA == kIdcSkipNoData);
static_assert(IDC_DXF_CONTOURS == kIdcDxfContours && IDC_CONTOUR_INTERVAL == kIdcContourInterval &&
              IDC_INDEX_EVERY == kIdcIndexEvery);
static_assert(IDC_LANDXML_TIN == kIdcLandXmlTin && IDC_DXF_TIN == kIdcDxfTin &&
              IDC_TOLERANCE == kIdcSurfaceTolerance);

namespace {

// The teal frames, straight onto the dialog's client area.
template <size_t N>
void drawFrames(HWND dialog, const std::array<DialogFrame, N>& frames) {
  HDC dc = GetDC(dialog);
  if (dc == nullptr) return;
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(kFrameColour));
  for (const DialogFrame& frame : frames) {
    RECT rect = {frame.left, frame.top, frame.right, frame.bottom};
    MapDialogRect(dialog, &rect);
    FrameRect(dc, &rect, brush);
  }
  DeleteObject(brush);
  ReleaseDC(dialog, dc);
}

// The run the dialog fills comes with its creation and stays with the dialog window.
template <size_t N>
INT_PTR dialogMessage(int dialogId, const std::array<DialogFrame, N>& frames, HWND dialog,
                      UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    Win32DialogFields fields(dialog);
    fillDialog(dialogId, *reinterpret_cast<ExtractorRun*>(lParam), fields);
    return TRUE;
  }
  auto* run = reinterpret_cast<ExtractorRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (run == nullptr) return FALSE;
  if (message == WM_COMMAND) {
    Win32DialogFields fields(dialog);
    if (!handleDialogCommand(dialogId, LOWORD(wParam), fields, *run)) return FALSE;
    EndDialog(dialog, 1);
    return TRUE;
  }
  drawFrames(dialog, frames);
  return FALSE;
}

INT_PTR CALLBACK selectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return dialogMessage(kSelectDialogId, kSelectDialogFrames, dialog, message, wParam, lParam);
}

INT_PTR CALLBACK outputDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return dialogMessage(kOutputDialogId, kOutputDialogFrames, dialog, message, wParam, lParam);
}

}  // namespace

void Win32ExtractorDialogs::open(int dialogId, ExtractorRun& run) {
  const DLGPROC procedure = dialogId == kSelectDialogId ? selectDialogProc : outputDialogProc;
  const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialogId),
                                         nullptr, procedure, reinterpret_cast<LPARAM>(&run));
  // A dialog that could not be created was never accepted.
  if (result <= 0) run.dialogAccepted = false;
}

}  // namespace ned
