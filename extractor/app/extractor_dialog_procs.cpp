#include "extractor/app/extractor_dialog_procs.h"

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "extractor/app/gridpick_resource.h"
#include "extractor/extractor_dialogs.h"

namespace ned {

static_assert(IDD_SELECT == kSelectDialogId && IDD_OUTPUT == kOutputDialogId);
static_assert(IDC_TILE_NAME == kIdcTileName && IDC_LONGITUDE == kIdcLongitude &&
              IDC_LATITUDE == kIdcLatitude && IDC_KM_EAST == kIdcKmEast &&
              IDC_KM_SOUTH == kIdcKmSouth);
static_assert(IDC_COLS == kIdcCols && IDC_ROWS == kIdcRows && IDC_TOTAL_POINTS == kIdcTotalPoints &&
              IDC_START_EASTING == kIdcStartEasting && IDC_START_NORTHING == kIdcStartNorthing &&
              IDC_REMOVE_COUNT == kIdcRemoveCount);
static_assert(IDC_TO_FEET == kIdcToFeet && IDC_RECTANGULAR == kIdcRectangular &&
              IDC_PROJECT_NORTH == kIdcProjectNorth && IDC_CSV_GRID == kIdcCsvGrid);

namespace {

// The run the open dialog fills. The dialogs are modal and get no parameter, so the
// driver's run is reached through here while one of them is open.
ExtractorRun* activeRun = nullptr;

class Win32DialogFields : public DialogFields {
 public:
  explicit Win32DialogFields(HWND dialog) : dialog_(dialog) {}

  std::string text(int id, int limit) override {
    if (limit <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(limit), '\0');
    const UINT length = GetDlgItemTextA(dialog_, id, buffer.data(), limit);
    return std::string(buffer.data(), length);
  }
  void setText(int id, const std::string& value) override {
    SetDlgItemTextA(dialog_, id, value.c_str());
  }
  void setChecked(int id, bool checked) override {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  bool isChecked(int id) override { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

 private:
  HWND dialog_;
};

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

template <size_t N>
INT_PTR dialogMessage(int dialogId, const std::array<DialogFrame, N>& frames, HWND dialog,
                      UINT message, WPARAM wParam) {
  if (activeRun == nullptr) return FALSE;
  if (message == WM_INITDIALOG) {
    Win32DialogFields fields(dialog);
    fillDialog(dialogId, *activeRun, fields);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    Win32DialogFields fields(dialog);
    if (!handleDialogCommand(dialogId, LOWORD(wParam), fields, *activeRun)) return FALSE;
    EndDialog(dialog, 1);
    return TRUE;
  }
  drawFrames(dialog, frames);
  return FALSE;
}

INT_PTR CALLBACK selectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return dialogMessage(kSelectDialogId, kSelectDialogFrames, dialog, message, wParam);
}

INT_PTR CALLBACK outputDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return dialogMessage(kOutputDialogId, kOutputDialogFrames, dialog, message, wParam);
}

}  // namespace

void Win32ExtractorDialogs::open(int dialogId, ExtractorRun& run) {
  activeRun = &run;
  const DLGPROC procedure = dialogId == kSelectDialogId ? selectDialogProc : outputDialogProc;
  const INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialogId), nullptr, procedure, 0);
  // A dialog that could not be created was never accepted.
  if (result <= 0) run.dialogAccepted = false;
  activeRun = nullptr;
}

}  // namespace ned
