// The files of one write, each written under a name of its own beside the file it is to
// become and put in place only when all of them are complete: a write that fails leaves
// the earlier files as they were, and of two programs writing one file, the one that
// finishes last replaces it whole.
#pragma once

#include <string>
#include <vector>

#include "core/file_system.h"

namespace ned {

class StagedOutputs {
 public:
  explicit StagedOutputs(FileSystem& files) : files_(files) {}
  StagedOutputs(const StagedOutputs&) = delete;
  StagedOutputs& operator=(const StagedOutputs&) = delete;
  // Removes every part not put in place.
  ~StagedOutputs();

  // The name to write the file that is to become path under: path followed by
  // ".<process id>.part", in the same folder. The parts of path that writes killed before
  // their end left (of processes no longer running) are removed first.
  std::string add(const std::string& path);

  // Puts the parts in place one after another, in the order they were added, each with one
  // atomic replace. Gives the path that could not be replaced, or an empty text when all
  // are in place; after a failure no part is left, and the files put in place before it
  // that had no earlier file of their name are removed again.
  std::string putInPlace();

 private:
  struct Part {
    std::string part;
    std::string path;
    bool existed = false;
    bool placed = false;
  };
  FileSystem& files_;
  std::vector<Part> parts_;
};

}  // namespace ned
