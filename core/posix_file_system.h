// The file seam over POSIX calls: what the native tools and tests use.
#pragma once

#include "core/file_system.h"

namespace ned {

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<OpenFile> open(const std::string& path, OpenMode mode) override;
  FileInfo stat(const std::string& path) override;
  bool replace(const std::string& from, const std::string& to) override;
  bool remove(const std::string& path) override;
  std::vector<std::string> list(const std::string& folder) override;
  uint32_t processId() override;
  bool isRunning(uint32_t processId) override;
};

// One file system for the whole process.
PosixFileSystem& posixFileSystem();

}  // namespace ned
