#include "core/file_system.h"

namespace ned {

std::string readSmallFile(FileSystem& files, const std::string& path, size_t limit) {
  const std::unique_ptr<OpenFile> file = files.open(path, OpenMode::read);
  if (file == nullptr) return {};
  std::string bytes(limit, '\0');
  bytes.resize(file->read(0, &bytes[0], limit));
  return bytes;
}

WholeFileWrite writeWholeFile(FileSystem& files, const std::string& path, const std::string& bytes,
                              OpenMode mode) {
  const std::unique_ptr<OpenFile> file = files.open(path, mode);
  if (file == nullptr) return WholeFileWrite::notOpened;
  const uint64_t at = mode == OpenMode::append ? file->size() : 0;
  bool written = file->write(at, bytes.data(), bytes.size());
  written = file->flush() && written;
  written = file->close() && written;
  if (written) return WholeFileWrite::written;
  files.remove(path);
  return WholeFileWrite::failed;
}

bool writeNewFile(FileSystem& files, const std::string& path, const std::string& bytes) {
  return writeWholeFile(files, path, bytes, OpenMode::createNew) == WholeFileWrite::written;
}

namespace {

size_t lastSeparator(const std::string& path) {
  return path.find_last_of("/\\");
}

}  // namespace

std::string folderOf(const std::string& path) {
  const size_t slash = lastSeparator(path);
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = lastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder + name;
  return folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + name;
}

}  // namespace ned
