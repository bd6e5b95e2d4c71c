#include "core/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace ned {

namespace {

class PosixFile : public OpenFile {
 public:
  explicit PosixFile(int descriptor) : descriptor_(descriptor) {}
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;
  ~PosixFile() override {
    if (descriptor_ >= 0) ::close(descriptor_);
  }

  size_t read(uint64_t offset, void* out, size_t count) override {
    if (descriptor_ < 0) return 0;
    size_t done = 0;
    while (done < count) {
      const ssize_t got = ::pread(descriptor_, static_cast<char*>(out) + done, count - done,
                                  static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    return done;
  }

  bool write(uint64_t offset, const void* data, size_t count) override {
    if (descriptor_ < 0) return false;
    size_t done = 0;
    while (done < count) {
      const ssize_t put = ::pwrite(descriptor_, static_cast<const char*>(data) + done, count - done,
                                   static_cast<off_t>(offset + done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += static_cast<size_t>(put);
    }
    return true;
  }

  bool flush() override {
    return descriptor_ >= 0 && (::fsync(descriptor_) == 0 || errno == EINVAL);
  }

  uint64_t size() override {
    struct stat info;
    return descriptor_ >= 0 && ::fstat(descriptor_, &info) == 0
               ? static_cast<uint64_t>(info.st_size)
               : 0;
  }

  bool close() override {
    if (descriptor_ < 0) return false;
    // The descriptor is gone whatever close says, even when interrupted.
    const int closed = ::close(descriptor_);
    descriptor_ = -1;
    return closed == 0;
  }

 private:
  int descriptor_;
};

}  // namespace

std::unique_ptr<OpenFile> PosixFileSystem::open(const std::string& path, OpenMode mode) {
  const int flags = mode == OpenMode::read               ? O_RDONLY
                    : mode == OpenMode::createNew        ? O_WRONLY | O_CREAT | O_EXCL
                    : mode == OpenMode::createOrTruncate ? O_WRONLY | O_CREAT | O_TRUNC
                                                         : O_WRONLY | O_CREAT;
  const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  struct stat info;
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    return nullptr;
  }
  return std::unique_ptr<OpenFile>(new PosixFile(descriptor));
}

FileInfo PosixFileSystem::stat(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  FileInfo result;
  result.exists = true;
  result.size = static_cast<uint64_t>(info.st_size);
  result.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return result;
}

bool PosixFileSystem::replace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFileSystem::remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

std::vector<std::string> PosixFileSystem::list(const std::string& folder) {
  std::vector<std::string> names;
  DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
  if (directory == nullptr) return names;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && stat(joinPath(folder, name)).exists) names.push_back(name);
  }
  ::closedir(directory);
  return names;
}

uint32_t PosixFileSystem::processId() {
  return static_cast<uint32_t>(::getpid());
}

bool PosixFileSystem::isRunning(uint32_t id) {
  if (id == 0 || id > static_cast<uint32_t>(INT32_MAX)) return false;
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

PosixFileSystem& posixFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace ned
