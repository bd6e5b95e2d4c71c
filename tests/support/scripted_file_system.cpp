#include "tests/support/scripted_file_system.h"

#include <cstring>

namespace ned::testing {

size_t MemoryFile::read(uint64_t offset, void* out, size_t count) {
  if (offset >= bytes.size()) return 0;
  const size_t got = std::min<uint64_t>(count, bytes.size() - offset);
  std::memcpy(out, bytes.data() + offset, got);
  return got;
}

bool MemoryFile::write(uint64_t offset, const void* data, size_t count) {
  ++writes;
  if (offset + count > failAbove) return false;
  if (bytes.size() < offset + count) bytes.resize(offset + count);
  std::memcpy(&bytes[offset], data, count);
  return true;
}

namespace {

// A real file whose writes and flushes pass through the scripted checks.
class ScriptedFile : public OpenFile {
 public:
  ScriptedFile(ScriptedFileSystem& files, std::unique_ptr<OpenFile> real, std::string path)
      : files_(files), real_(std::move(real)), path_(std::move(path)) {}
  size_t read(uint64_t offset, void* out, size_t count) override {
    return real_->read(offset, out, count);
  }
  bool write(uint64_t offset, const void* data, size_t count) override {
    if (!files_.pass("write", path_)) return false;
    if (count > files_.diskRoom) {
      const size_t fits = static_cast<size_t>(files_.diskRoom);
      files_.diskRoom = 0;
      real_->write(offset, data, fits);
      return false;
    }
    files_.diskRoom -= count;
    return real_->write(offset, data, count);
  }
  bool flush() override { return files_.pass("flush", path_) && real_->flush(); }
  uint64_t size() override { return real_->size(); }
  // The real file closes whatever the script says.
  bool close() override {
    const bool passed = files_.pass("close", path_);
    return real_->close() && passed;
  }

 private:
  ScriptedFileSystem& files_;
  std::unique_ptr<OpenFile> real_;
  std::string path_;
};

}  // namespace

bool ScriptedFileSystem::pass(const std::string& what, const std::string& path) {
  const FileCall call{what, path};
  if (before) before(call);
  calls.push_back(call);
  return !(fails && fails(call));
}

std::unique_ptr<OpenFile> ScriptedFileSystem::open(const std::string& path, OpenMode mode) {
  const char* what = mode == OpenMode::read     ? "open"
                     : mode == OpenMode::append ? "append"
                                                : "create";
  if (!pass(what, path)) return nullptr;
  std::unique_ptr<OpenFile> real = real_.open(path, mode);
  if (real == nullptr) return nullptr;
  return std::unique_ptr<OpenFile>(new ScriptedFile(*this, std::move(real), path));
}

FileInfo ScriptedFileSystem::stat(const std::string& path) {
  if (!pass("stat", path)) return {};
  FileInfo info = real_.stat(path);
  const auto stamp = stamps.find(path);
  if (info.exists && stamp != stamps.end()) info.modified = stamp->second;
  return info;
}

bool ScriptedFileSystem::replace(const std::string& from, const std::string& to) {
  return pass("replace", to) && real_.replace(from, to);
}

bool ScriptedFileSystem::remove(const std::string& path) {
  return pass("remove", path) && real_.remove(path);
}

std::vector<std::string> ScriptedFileSystem::list(const std::string& folder) {
  if (!pass("list", folder)) return {};
  return real_.list(folder);
}

}  // namespace ned::testing
