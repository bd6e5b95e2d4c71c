#include "core/file_system.h"

namespace ned {

std::string readSmallFile(FileSystem& files, const std::string& path, size_t limit) {
  const std::unique_ptr<OpenFile> file = files.open(path, OpenMode::read);
  if (file == nullptr) return {};
  std::string bytes(limit, '\0');
  bytes.resize(file->read(0, &bytes[0], limit));
  return bytes;
}

bool writeNewFile(FileSystem& files, const std::string& path, const std::string& bytes) {
  bool written = false;
  {
    const std::unique_ptr<OpenFile> file = files.open(path, OpenMode::createNew);
    if (file == nullptr) return false;
    written = file->write(0, bytes.data(), bytes.size()) && file->flush();
  }
  if (!written) files.remove(path);
  return written;
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
