// File systems for the native tests: a file held in memory, and a file system that passes
// calls on to a real one but can fail any call (a failed open, write, flush or close), fill
// the disk after so many bytes, run other work just before a call (two conversions or two
// writes interleaved), give files the times a test stamps, and play other processes.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/file_system.h"

namespace ned::testing {

// An open file in memory. Writes fail once the file would pass failAbove bytes.
class MemoryFile : public OpenFile {
 public:
  std::string bytes;
  uint64_t failAbove = UINT64_MAX;
  unsigned writes = 0;

  size_t read(uint64_t offset, void* out, size_t count) override;
  bool write(uint64_t offset, const void* data, size_t count) override;
  bool flush() override { return true; }
  uint64_t size() override { return bytes.size(); }
  bool close() override { return true; }
};

// One call of the file seam: what it was and its path (the target, for a replace).
struct FileCall {
  // "open" (to read), "create" (new or truncated), "append", "write", "flush", "close",
  // "stat", "replace", "remove", "list"
  std::string what;
  std::string path;
};

class ScriptedFileSystem : public FileSystem {
 public:
  explicit ScriptedFileSystem(FileSystem& real) : real_(real) {}

  // Says whether a call fails (before it reaches the real file system).
  std::function<bool(const FileCall&)> fails;
  // Runs before a call reaches the real file system; before, not after, a check.
  std::function<void(const FileCall&)> before;
  // The process this file system works for, and the others that are running.
  uint32_t process = 1000;
  std::set<uint32_t> running = {1000};
  // The bytes the disk still takes, over every file written through this file system: a
  // write that does not fit writes what does and fails (a short write), and every write
  // after it fails (a full disk).
  uint64_t diskRoom = UINT64_MAX;
  // Times given to paths, instead of the real ones.
  std::map<std::string, int64_t> stamps;
  std::vector<FileCall> calls;

  std::unique_ptr<OpenFile> open(const std::string& path, OpenMode mode) override;
  FileInfo stat(const std::string& path) override;
  bool replace(const std::string& from, const std::string& to) override;
  bool remove(const std::string& path) override;
  std::vector<std::string> list(const std::string& folder) override;
  uint32_t processId() override { return process; }
  bool isRunning(uint32_t id) override { return running.count(id) > 0; }

  // Whether a call with this name and path passes, after the hook ran; records it.
  bool pass(const std::string& what, const std::string& path);

 private:
  FileSystem& real_;
};

}  // namespace ned::testing
