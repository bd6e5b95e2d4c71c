#include "tests/e2e/robot.h"

#include <cstdio>
#include <cstring>

namespace robot {

namespace {

void pause(DWORD ms) {
  Sleep(ms);
}

}  // namespace

std::wstring wideOf(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &wide[0], units);
  return wide;
}

std::string utf8Of(const wchar_t* text, int units) {
  if (units < 0) units = lstrlenW(text);
  if (units == 0) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, units, &narrow[0], bytes, nullptr, nullptr);
  return narrow;
}

bool Context::check(bool ok, const char* what, const char* file, int line) {
  if (!ok) {
    std::printf("    FAILED %s:%d: %s\n", file, line, what);
    failed = true;
  }
  return ok;
}

bool Context::checkEqual(const std::string& actual, const std::string& expected, const char* what,
                         const char* file, int line) {
  if (actual == expected) return true;
  std::printf("    FAILED %s:%d: %s\n      actual:   \"%s\"\n      expected: \"%s\"\n", file, line,
              what, actual.c_str(), expected.c_str());
  failed = true;
  return false;
}

bool Context::checkEqual(long long actual, long long expected, const char* what, const char* file,
                         int line) {
  if (actual == expected) return true;
  std::printf("    FAILED %s:%d: %s\n      actual:   %lld\n      expected: %lld\n", file, line,
              what, actual, expected);
  failed = true;
  return false;
}

Process start(const std::string& exe, const std::string& workingDir) {
  Process process;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + exe + "\"";
  std::string folder = workingDir;
  if (folder.empty()) folder = exe.substr(0, exe.find_last_of('\\'));
  process.started = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                   nullptr, folder.c_str(), &startup, &process.info) != 0;
  if (!process.started) std::printf("    cannot start %s (%lu)\n", exe.c_str(), GetLastError());
  return process;
}

long waitForExit(Process& process, DWORD timeoutMs) {
  if (!process.started) return -1;
  if (WaitForSingleObject(process.info.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process.info.hProcess, &code);
  return static_cast<long>(code);
}

void kill(Process& process) {
  if (!process.started) return;
  if (WaitForSingleObject(process.info.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process.info.hProcess, 99);
    WaitForSingleObject(process.info.hProcess, 5000);
  }
  release(process);
}

void release(Process& process) {
  if (!process.started) return;
  CloseHandle(process.info.hThread);
  CloseHandle(process.info.hProcess);
  process.started = false;
}

namespace {

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> topWindows(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string windowText(HWND window) {
  // In wide characters, so that a name outside the ANSI code page comes back as it is.
  wchar_t text[4096] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, sizeof text / sizeof text[0],
                      reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
  return utf8Of(text);
}

std::string className(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

HWND waitForWindow(const Process& process, const char* caption, const char* windowClass,
                   DWORD timeoutMs) {
  const DWORD begin = GetTickCount();
  do {
    for (HWND window : topWindows(process.info.dwProcessId)) {
      if (windowClass != nullptr && className(window) != windowClass) continue;
      if (caption != nullptr && windowText(window) != caption) continue;
      return window;
    }
    pause(50);
  } while (GetTickCount() - begin < timeoutMs);
  return nullptr;
}

bool waitForClose(HWND window, DWORD timeoutMs) {
  const DWORD begin = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - begin >= timeoutMs) return false;
    pause(50);
  }
  return true;
}

void pressButton(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void setControlText(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  DWORD_PTR ignored = 0;
  const std::wstring wide = wideOf(text);
  SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                      SMTO_ABORTIFHUNG, 5000, &ignored);
}

namespace {

void typeInto(HWND control, const std::string& text) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(control, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, 5000, &ignored);
  // An empty text: the selection is deleted as the Delete key does.
  if (text.empty()) SendMessageTimeoutA(control, WM_CLEAR, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  // One WM_CHAR a UTF-16 code unit, as the keyboard gives a character to a unicode window
  // (a character beyond the first 65536 comes as its two surrogates).
  for (wchar_t unit : wideOf(text)) {
    SendMessageTimeoutW(control, WM_CHAR, static_cast<WPARAM>(unit), 1, SMTO_ABORTIFHUNG, 5000,
                        &ignored);
  }
}

}  // namespace

void typeText(HWND dialog, int id, const std::string& text) {
  typeInto(GetDlgItem(dialog, id), text);
}

std::string controlText(HWND dialog, int id) {
  return windowText(GetDlgItem(dialog, id));
}

bool isChecked(HWND dialog, int id) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
  return state == BST_CHECKED;
}

bool clickControl(HWND dialog, int id, bool checkedAfter) {
  PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
  for (int i = 0; i < 100; ++i) {
    if (isChecked(dialog, id) == checkedAfter) return true;
    Sleep(50);
  }
  return false;
}

void postCommand(HWND window, int id) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void postMouse(HWND window, UINT message, int x, int y, WPARAM keys) {
  PostMessageA(window, message, keys, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

double sendMouse(HWND window, UINT message, int x, int y, WPARAM keys) {
  LARGE_INTEGER frequency, begin, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&begin);
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, keys, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)),
                      SMTO_NORMAL, 60000, &result);
  QueryPerformanceCounter(&end);
  return 1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

namespace {

// The name field of the common file dialog: the edit inside the name combo box (cmb13),
// or the plain name edit (edt1) of older layouts.
HWND fileNameField(HWND dialog) {
  HWND combo = GetDlgItem(dialog, 0x47c);
  if (combo != nullptr) {
    HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    if (edit != nullptr) return edit;
    return combo;
  }
  return GetDlgItem(dialog, 0x480);
}

BOOL CALLBACK findEdit(HWND window, LPARAM parameter) {
  if (className(window) != "Edit") return TRUE;
  *reinterpret_cast<HWND*>(parameter) = window;
  return FALSE;
}

// The edit control that keys go to in the name field: the field itself, or the edit a
// few levels down in it (Wine's name field is a ComboBoxEx32 around a combo box).
HWND fileNameEdit(HWND field) {
  if (field == nullptr || className(field) == "Edit") return field;
  HWND edit = nullptr;
  EnumChildWindows(field, findEdit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

}  // namespace

bool answerFileDialog(const Process& process, const char* caption, const std::string& path) {
  HWND dialog = fillFileDialog(process, caption, path);
  if (dialog == nullptr) return false;
  pressButton(dialog, IDOK);
  return waitForClose(dialog);
}

bool cancelFileDialog(const Process& process, const char* caption) {
  HWND dialog = waitForWindow(process, caption, "#32770");
  if (dialog == nullptr) return false;
  pause(300);
  pressButton(dialog, IDCANCEL);
  return waitForClose(dialog);
}

MessageBoxSeen waitForMessageBox(const Process& process, DWORD timeoutMs) {
  MessageBoxSeen seen;
  const DWORD begin = GetTickCount();
  do {
    for (HWND window : topWindows(process.info.dwProcessId)) {
      if (className(window) != "#32770") continue;
      HWND text = GetDlgItem(window, 0xFFFF);  // the message text of a message box
      if (text == nullptr) continue;
      // The programs' own dialogs number their labels -1 too; they have edit fields.
      if (FindWindowExA(window, nullptr, "Edit", nullptr) != nullptr) continue;
      seen.window = window;
      seen.caption = windowText(window);
      seen.text = windowText(text);
      return seen;
    }
    pause(50);
  } while (GetTickCount() - begin < timeoutMs);
  return seen;
}

bool anyDialogOpen(const Process& process) {
  for (HWND window : topWindows(process.info.dwProcessId))
    if (className(window) == "#32770") return true;
  return false;
}

COLORREF clientPixel(HWND window, int x, int y) {
  POINT point = {x, y};
  ClientToScreen(window, &point);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

std::vector<COLORREF> captureScreen(int left, int top, int width, int height) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<COLORREF> pixels;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY);
    GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < pixels.size(); ++i) {
      const DWORD c = p[i];  // 0x00RRGGBB
      pixels[i] = RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::vector<COLORREF> captureMap(HWND window) {
  POINT origin = {50, 49};
  ClientToScreen(window, &origin);
  return captureScreen(origin.x, origin.y, 450, 600);
}

unsigned long long mapChecksum(const std::vector<COLORREF>& pixels) {
  unsigned long long hash = 14695981039346656037ull;
  for (COLORREF pixel : pixels) {
    for (int shift = 0; shift < 32; shift += 8) {
      hash ^= (pixel >> shift) & 0xFFu;
      hash *= 1099511628211ull;
    }
  }
  return hash;
}

unsigned long long waitForMap(HWND window, unsigned long long expected, DWORD timeoutMs) {
  const DWORD begin = GetTickCount();
  unsigned long long seen = 0;
  do {
    seen = mapChecksum(captureMap(window));
    if (seen == expected) return seen;
    Sleep(50);
  } while (GetTickCount() - begin < timeoutMs);
  return seen;
}

bool saveScreen(const std::string& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const std::vector<COLORREF> pixels = captureScreen(0, 0, width, height);
  if (pixels.empty()) return false;
  // A 32-bit top-down BMP: blue, green, red, and an unused byte per pixel.
  std::string image;
  image.reserve(pixels.size() * 4);
  for (COLORREF pixel : pixels) {
    image.push_back(static_cast<char>(GetBValue(pixel)));
    image.push_back(static_cast<char>(GetGValue(pixel)));
    image.push_back(static_cast<char>(GetRValue(pixel)));
    image.push_back(static_cast<char>(0xFF));
  }
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = -height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  BITMAPFILEHEADER fileHeader = {};
  fileHeader.bfType = 0x4D42;
  fileHeader.bfOffBits = sizeof fileHeader + sizeof info;
  fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(image.size());
  std::string bytes(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
  bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
  bytes += image;
  return writeFile(path, bytes);
}

bool fileExists(const std::string& path) {
  return GetFileAttributesW(wideOf(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::string& path) {
  std::string bytes;
  std::FILE* file = _wfopen(wideOf(path).c_str(), L"rb");
  if (file == nullptr) return bytes;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

std::string windowsPath(const std::string& unixPath) {
  if (unixPath.size() > 1 && unixPath[1] == ':') return unixPath;  // already a Windows path
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

}  // namespace robot

namespace robot {

Process& Context::launch(const char* programName, const std::string& workingDir) {
  processes.push_back(start(program(programName), workingDir));
  return processes.back();
}

void Context::endAll() {
  for (Process& process : processes) kill(process);
  processes.clear();
}

}  // namespace robot

namespace robot {

void makeFolders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryW(wideOf(path.substr(0, at)).c_str(), nullptr);
  CreateDirectoryW(wideOf(path).c_str(), nullptr);
}

void emptyFolder(const std::string& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wideOf(path + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileW(wideOf(path + "\\" + utf8Of(found.cFileName)).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = _wfopen(wideOf(path).c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace robot

namespace robot {

HWND fillFileDialog(const Process& process, const char* caption, const std::string& path) {
  HWND dialog = waitForWindow(process, caption, "#32770");
  if (dialog == nullptr) return nullptr;
  pause(300);  // let the dialog finish filling its folder view
  HWND field = fileNameField(dialog);
  if (field == nullptr) return nullptr;
  DWORD_PTR ignored = 0;
  const std::wstring wide = wideOf(path);
  SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                      SMTO_ABORTIFHUNG, 5000, &ignored);
  return dialog;
}

HWND typeIntoFileDialog(const Process& process, const char* caption, const std::string& path) {
  HWND dialog = waitForWindow(process, caption, "#32770");
  if (dialog == nullptr) return nullptr;
  pause(300);
  HWND field = fileNameEdit(fileNameField(dialog));
  if (field == nullptr) return nullptr;
  typeInto(field, path);
  if (windowText(field) != path) {
    std::printf("    the file dialog's name field took \"%s\"\n", windowText(field).c_str());
    return nullptr;
  }
  return dialog;
}

bool confirmFileDialog(HWND dialog) {
  if (dialog == nullptr) return false;
  pressButton(dialog, IDOK);
  return waitForClose(dialog);
}

bool placeFile(const std::string& from, const std::string& to) {
  const std::wstring source = wideOf(from);
  const std::wstring target = wideOf(to);
  DeleteFileW(target.c_str());
  return CreateHardLinkW(target.c_str(), source.c_str(), nullptr) ||
         CopyFileW(source.c_str(), target.c_str(), FALSE);
}

bool placeFourTiles(const Context& ctx) {
  static const char* const kFour[][2] = {{"n37w085.hdr", "n37w085.hdr"},
                                         {"n37w085.flt", "n37w085.flt"},
                                         {"n37w084.hdr", "east tile.hdr"},
                                         {"n37w084.flt", "east tile.flt"},
                                         {"n36w085.hdr", "south tile.hdr"},
                                         {"n36w085.flt", "south tile.flt"},
                                         {"USGS_13_n36w084.tif", "USGS_13_n36w084.tif"}};
  for (const auto& file : kFour) {
    if (!placeFile(ctx.demoDir + "\\" + file[0], ctx.work(file[1]))) return false;
  }
  return true;
}

}  // namespace robot

namespace robot {

bool pickFromList(HWND dialog, int id, const std::string& entry) {
  HWND list = GetDlgItem(dialog, id);
  DWORD_PTR index = 0;
  if (!SendMessageTimeoutA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(entry.c_str()), SMTO_ABORTIFHUNG, 5000,
                           &index) ||
      static_cast<LRESULT>(index) == CB_ERR) {
    return false;
  }
  // As a person does with the keyboard on the closed list: Home, then the down arrow until
  // the entry is chosen; the list tells the dialog of each change itself.
  const auto press = [&](WPARAM key) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(list, WM_KEYDOWN, key, 1, SMTO_ABORTIFHUNG, 5000, &ignored);
    SendMessageTimeoutA(list, WM_KEYUP, key, 0xC0000001u, SMTO_ABORTIFHUNG, 5000, &ignored);
  };
  press(VK_HOME);
  for (DWORD_PTR k = 0; k < index; ++k) press(VK_DOWN);
  return controlText(dialog, id) == entry;
}

std::vector<std::string> listEntries(HWND dialog, int id) {
  HWND list = GetDlgItem(dialog, id);
  DWORD_PTR count = 0;
  SendMessageTimeoutA(list, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
  std::vector<std::string> entries;
  for (DWORD_PTR i = 0; static_cast<LRESULT>(count) > 0 && i < count; ++i) {
    // Across processes Wine passes an entry's text in wide characters: ask in that form.
    wchar_t text[512] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(list, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 5000, &length);
    if (length > 0 && length < sizeof text / sizeof text[0]) {
      SendMessageTimeoutW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                          5000, &length);
    }
    entries.push_back(utf8Of(text));
  }
  return entries;
}

bool waitForEnabled(HWND dialog, int id, bool enabled, DWORD timeoutMs) {
  const DWORD begin = GetTickCount();
  while ((IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE) != enabled) {
    if (GetTickCount() - begin >= timeoutMs) return false;
    pause(50);
  }
  return true;
}

namespace {

constexpr const char kSettingsKey[] = "Software\\Terravane";

}  // namespace

std::string keptSetting(const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return std::string();
  char value[256] = {};
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  const LONG read =
      RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS && type == REG_SZ ? std::string(value) : std::string();
}

void forgetSettings() {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
}

}  // namespace robot
