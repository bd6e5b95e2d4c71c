#include "core/export/staged_outputs.h"

namespace ned {

StagedOutputs::~StagedOutputs() {
  for (const Part& part : parts_) {
    if (!part.placed) files_.remove(part.part);
  }
}

std::string StagedOutputs::add(const std::string& path) {
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
