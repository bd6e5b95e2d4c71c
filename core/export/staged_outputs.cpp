#include "core/export/staged_outputs.h"

#include <cstdint>
#include <cstdlib>

#include "core/text.h"

namespace ned {

namespace {

// Removes what writes of path that no longer run left beside it: "<name>.<process id>.part"
// of a process that has ended (a write that was killed). A write running in another
// program keeps its part.
void removeDeadParts(FileSystem& files, const std::string& path) {
  const std::string folder = folderOf(path);
  const std::string prefix = fileNameOf(path) + ".";
  for (const std::string& name : files.list(folder)) {
    if (name.size() <= prefix.size() + 5 ||
        !equalIgnoringCase(name.substr(0, prefix.size()), prefix) ||
        name.compare(name.size() - 5, 5, ".part") != 0)
      continue;
    const std::string id = name.substr(prefix.size(), name.size() - prefix.size() - 5);
    if (id.size() > 10 || id.find_first_not_of("0123456789") != std::string::npos) continue;
    const unsigned long long number = std::strtoull(id.c_str(), nullptr, 10);
    if (number > UINT32_MAX || !files.isRunning(static_cast<uint32_t>(number)))
      files.remove(joinPath(folder, name));
  }
}

}  // namespace

StagedOutputs::~StagedOutputs() {
  for (const Part& part : parts_) {
    if (!part.placed) files_.remove(part.part);
  }
}

std::string StagedOutputs::add(const std::string& path) {
  removeDeadParts(files_, path);
  parts_.push_back(
      {path + "." + std::to_string(files_.processId()) + ".part", path, files_.stat(path).exists});
  return parts_.back().part;
}

std::string StagedOutputs::putInPlace() {
  for (Part& part : parts_) {
    if (!files_.replace(part.part, part.path)) {
      for (const Part& earlier : parts_) {
        if (earlier.placed && !earlier.existed) files_.remove(earlier.path);
      }
      return part.path;
    }
    part.placed = true;
  }
  return std::string();
}

}  // namespace ned
