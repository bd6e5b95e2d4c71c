#include "win32/win32_file_system.h"

#include <windows.h>

#include "win32/wide_text.h"

namespace ned {

namespace {

// ReadFile and WriteFile take at most a DWORD of bytes a call.
constexpr size_t kLargestCall = 1u << 30;

OVERLAPPED at(uint64_t offset) {
  OVERLAPPED where = {};
  where.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return where;
}

class Win32File : public OpenFile {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  size_t read(uint64_t offset, void* out, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const DWORD asked =
          static_cast<DWORD>(count - done < kLargestCall ? count - done : kLargestCall);
      OVERLAPPED where = at(offset + done);
      DWORD got = 0;
      if (!ReadFile(handle_, static_cast<char*>(out) + done, asked, &got, &where) || got == 0)
        break;
      done += got;
    }
    return done;
  }

  bool write(uint64_t offset, const void* data, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const DWORD asked =
          static_cast<DWORD>(count - done < kLargestCall ? count - done : kLargestCall);
      OVERLAPPED where = at(offset + done);
      DWORD put = 0;
      if (!WriteFile(handle_, static_cast<const char*>(data) + done, asked, &put, &where) ||
          put == 0)
        return false;
      done += put;
    }
    return true;
  }

  bool flush() override {
    return handle_ != INVALID_HANDLE_VALUE && FlushFileBuffers(handle_) != 0;
  }

  bool close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

  uint64_t size() override {
    LARGE_INTEGER bytes;
    return GetFileSizeEx(handle_, &bytes) ? static_cast<uint64_t>(bytes.QuadPart) : 0;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::unique_ptr<OpenFile> Win32FileSystem::open(const std::string& path, OpenMode mode) {
  // Others may open, rename or delete the file meanwhile. Replacing a file that another
  // program holds open still fails (Wine refuses it whatever the sharing), after replace's
  // second of tries; the conversion cache then takes the pair in place if it is current, or
  // makes one elsewhere.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const DWORD access = mode == OpenMode::read ? GENERIC_READ : GENERIC_WRITE;
  const DWORD disposition = mode == OpenMode::read               ? OPEN_EXISTING
                            : mode == OpenMode::createNew        ? CREATE_NEW
                            : mode == OpenMode::createOrTruncate ? CREATE_ALWAYS
                                                                 : OPEN_ALWAYS;
  const HANDLE handle = CreateFileW(widePath(path).c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return nullptr;
  }
  return std::unique_ptr<OpenFile>(new Win32File(handle));
}

FileInfo Win32FileSystem::stat(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return {};
  FileInfo info;
  info.exists = true;
  info.size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  info.modified =
      static_cast<int64_t>(static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                           data.ftLastWriteTime.dwLowDateTime);
  return info;
}

bool Win32FileSystem::replace(const std::string& from, const std::string& to) {
  // A replace is refused while any handle to the target is open, and another program's
  // replace of the same target holds one for a moment (Wine's opens the target to look at
  // it first): two programs putting one pair in place at once refuse each other. A refused
  // replace is tried again for up to a second; a target held open longer stays refused.
  const std::wstring source = widePath(from), target = widePath(to);
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 50)
      return false;
    Sleep(20);
  }
}

bool Win32FileSystem::remove(const std::string& path) {
  return DeleteFileW(widePath(path).c_str()) != 0;
}

std::vector<std::string> Win32FileSystem::list(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE search =
      FindFirstFileW(widePath(joinPath(folder.empty() ? "." : folder, "*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    // A name that is not UTF-16 has no UTF-8 to open it by again: it is passed over.
    const std::string name = utf8Of(found.cFileName, -1, true);
    if (!name.empty()) names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

uint32_t Win32FileSystem::processId() {
  return GetCurrentProcessId();
}

bool Win32FileSystem::isRunning(uint32_t id) {
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

}  // namespace ned
