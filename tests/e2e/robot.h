// The end-to-end robot: starts a program, finds its windows, types into them, presses
// their buttons, reads message boxes and pixels, and checks exit codes and files. It
// drives the programs from outside, as a user would; the programs have no test hooks.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

namespace robot {

// --- Scenarios -------------------------------------------------------------------------

class Context;
using ScenarioFunction = void (*)(Context&);

// Registers a scenario under the group named by its source file (scenarios_<group>.cpp).
struct Registrar {
  Registrar(const char* file, const char* name, ScenarioFunction run);
};

#define ROBOT_SCENARIO(name)                                               \
  static void name(::robot::Context&);                                     \
  static const ::robot::Registrar name##_registrar(__FILE__, #name, name); \
  static void name(::robot::Context& ctx)

// A failed CHECK marks the scenario failed and goes on; a failed REQUIRE ends it.
#define CHECK(condition) ctx.check((condition), #condition, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) ctx.checkEqual((actual), (expected), #actual, __FILE__, __LINE__)
#define REQUIRE(condition)                                         \
  do {                                                             \
    if (!ctx.check((condition), #condition, __FILE__, __LINE__)) { \
      return;                                                      \
    }                                                              \
  } while (0)

struct Process {
  PROCESS_INFORMATION info = {};
  bool started = false;
};

// Everything a scenario needs: where things are, the programs it started (ended when the
// scenario is over), and the record of failures.
class Context {
 public:
  std::string binDir;      // folder of gridview.exe and gridpick.exe (Windows path)
  std::string demoDir;     // folder of the standard demo tile n37w085.* (Windows path)
  std::string specialDir;  // folder of the demo tile with below-zero and no-data blocks
  std::string workDir;     // an empty scratch folder of this scenario (Windows path)
  std::string shotDir;     // where screenshots go, if the scenario takes any
  std::string refsDir;     // reference outputs of the native writer (gridpick_references.txt)
  bool failed = false;
  std::deque<Process> processes;

  // Starts a program; it is ended when the scenario is over if it is still running.
  Process& launch(const char* programName, const std::string& workingDir = "");
  void endAll();

  std::string program(const char* name) const { return binDir + "\\" + name; }
  std::string demoHeader() const { return demoDir + "\\n37w085.hdr"; }
  std::string work(const std::string& name) const { return workDir + "\\" + name; }

  bool check(bool ok, const char* what, const char* file, int line);
  bool checkEqual(const std::string& actual, const std::string& expected, const char* what,
                  const char* file, int line);
  bool checkEqual(long long actual, long long expected, const char* what, const char* file,
                  int line);
};

// --- Texts ---------------------------------------------------------------------------

// The robot's texts and paths are UTF-8; the window system's wide calls take UTF-16.
std::wstring wideOf(const std::string& text);
// A UTF-16 text (up to its terminator when units is negative) in UTF-8.
std::string utf8Of(const wchar_t* text, int units = -1);

// --- Processes -------------------------------------------------------------------------

// Starts a program with the given working folder (the folder of the program when empty).
Process start(const std::string& exe, const std::string& workingDir = "");
// Waits for the process to end; gives its exit code, or -1 when it is still running.
long waitForExit(Process& process, DWORD timeoutMs = 20000);
// Ends a process that is still running and closes its handles.
void kill(Process& process);
// Closes the handles of an ended process.
void release(Process& process);

// --- Windows ---------------------------------------------------------------------------

std::vector<HWND> topWindows(DWORD processId);
// A window's text, in UTF-8.
std::string windowText(HWND window);
std::string className(HWND window);
// Waits for a visible top-level window of the process with this caption (any class when
// windowClass is null). Gives null after the time-out.
HWND waitForWindow(const Process& process, const char* caption, const char* windowClass = nullptr,
                   DWORD timeoutMs = 15000);
// Waits until the window is gone.
bool waitForClose(HWND window, DWORD timeoutMs = 15000);

// Presses a button by posting its WM_COMMAND (a sent one could leave a modal loop waiting).
void pressButton(HWND dialog, int id);
// Puts text into a control.
void setControlText(HWND dialog, int id, const std::string& text);
// Types text into an edit control as the keyboard does, one WM_CHAR a character, over
// what it holds; the control keeps what it takes (its width and length limits apply).
void typeText(HWND dialog, int id, const std::string& text);
std::string controlText(HWND dialog, int id);
// Whether a check box or radio button is checked.
bool isChecked(HWND dialog, int id);
// Clicks a radio button or check box as the mouse would, and waits for its new state.
bool clickControl(HWND dialog, int id, bool checkedAfter);
// Posts a menu command to a window.
void postCommand(HWND window, int id);

// --- Common dialogs and message boxes --------------------------------------------------

// Waits for the file dialog ("Open" or "Save As"), types the name and presses its button.
bool answerFileDialog(const Process& process, const char* caption, const std::string& path);
// Waits for the file dialog and cancels it.
bool cancelFileDialog(const Process& process, const char* caption);

struct MessageBoxSeen {
  HWND window = nullptr;
  std::string caption;
  std::string text;
};
// Waits for a message box of the process and reads it: a dialog with the message text
// control (id 0xFFFF) and no edit field.
MessageBoxSeen waitForMessageBox(const Process& process, DWORD timeoutMs = 15000);
// Whether a message box (or any dialog) of the process is open now.
bool anyDialogOpen(const Process& process);

// --- Mouse ---------------------------------------------------------------------------

// Posts a mouse message at a client point, with the key state (MK_ values) in wParam.
void postMouse(HWND window, UINT message, int x, int y, WPARAM keys = 0);
// Sends it and waits until the program has handled it; gives the milliseconds that took.
double sendMouse(HWND window, UINT message, int x, int y, WPARAM keys = 0);

// --- Pixels and files ------------------------------------------------------------------

// The colour of a client-area pixel of the window, as COLORREF (red in the lowest byte).
COLORREF clientPixel(HWND window, int x, int y);
// The screen's pixels in a rectangle, row by row, as COLORREF.
std::vector<COLORREF> captureScreen(int left, int top, int width, int height);
// The viewer's map area (client x 50..499, y 49..648) read back from the screen, and its
// checksum as the native tests take it (FNV-1a over the packed colours, red byte first).
std::vector<COLORREF> captureMap(HWND window);
unsigned long long mapChecksum(const std::vector<COLORREF>& pixels);
// Waits until the map area shows the expected picture; gives the last checksum seen.
unsigned long long waitForMap(HWND window, unsigned long long expected, DWORD timeoutMs = 20000);
// Saves the whole screen as a BMP file.
bool saveScreen(const std::string& path);

bool fileExists(const std::string& path);
std::string readFile(const std::string& path);
// Converts a Unix path to the Windows path Wine shows for it (Z: drive).
std::string windowsPath(const std::string& unixPath);

}  // namespace robot

namespace robot {

// Creates a folder and every missing folder above it.
void makeFolders(const std::string& path);
// Deletes the files of a folder (not its subfolders), so that a scenario starts empty.
void emptyFolder(const std::string& path);
// Writes a file through the window system (the path is a Windows path).
bool writeFile(const std::string& path, const std::string& bytes);
// Puts a file under another name, replacing what is there: a hard link where the file
// system allows one (a raster is 467 MB), else a copy.
bool placeFile(const std::string& from, const std::string& to);
// Puts the demo tile and the three beside it, east, south and south-east, in the scenario's
// work folder under names of its own, as a user keeps them: the opened one as n37w085, the
// east and south ones as "east tile" and "south tile", the south-east one as its GeoTIFF.
bool placeFourTiles(const Context& ctx);

}  // namespace robot

namespace robot {

// Waits for the file dialog ("Open" or "Save As") and types the name without pressing its
// button, so that a scenario can confirm several dialogs at once; gives the dialog, or
// null.
HWND fillFileDialog(const Process& process, const char* caption, const std::string& path);
// The same, typing the name into the dialog's name field key by key as a person does (as
// typeText); null also when the field did not take the whole name. confirmFileDialog then
// presses the dialog's button and waits for it to go.
HWND typeIntoFileDialog(const Process& process, const char* caption, const std::string& path);
bool confirmFileDialog(HWND dialog);

}  // namespace robot

namespace robot {

// Picks an entry of a drop-down list by its whole text with the keys a user presses on the
// closed list (Home, then the down arrow): the list shows the entry and tells its dialog
// of each change. False when it has no such entry.
bool pickFromList(HWND dialog, int id, const std::string& entry);
// The entries of a drop-down list, in order (the entry shown is its controlText).
std::vector<std::string> listEntries(HWND dialog, int id);
// Waits up to timeoutMs until a control takes input (enabled) or is greyed (not); false
// when it does not come to that.
bool waitForEnabled(HWND dialog, int id, bool enabled, DWORD timeoutMs = 5000);

// The settings the programs keep between runs, under HKEY_CURRENT_USER\Software\Terravane:
// a value's text (empty when none is kept), and forgetting them all.
std::string keptSetting(const std::string& name);
void forgetSettings();

}  // namespace robot
