#include "tests/support/proj_oracle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/gdal_fixtures.h"
#include "tests/support/tile_files.h"

namespace ned::testing {

namespace {

// Reads cs2cs's lines "easting<TAB>northing height" into the batch.
bool readProjected(std::FILE* pipe, ProjBatch& batch) {
  batch.eastings.clear();
  batch.northings.clear();
  char line[256];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char* end = nullptr;
    const double easting = std::strtod(line, &end);
    if (end == line) return false;  // "*" where PROJ cannot project
    char* start = end;
    const double northing = std::strtod(start, &end);
    if (end == start) return false;
    batch.eastings.push_back(easting);
    batch.northings.push_back(northing);
  }
  return batch.eastings.size() == batch.latitudes.size();
}

}  // namespace

bool haveCs2cs() {
  return std::system("cs2cs >/dev/null 2>&1 </dev/null") == 0;
}

bool projectWithProj(std::vector<ProjBatch>& batches) {
  // One process takes tens of milliseconds to start, mostly reading PROJ's database.
  constexpr size_t kAtOnce = 8;
  TempDir folder;
  bool ok = true;
  for (size_t first = 0; first < batches.size(); first += kAtOnce) {
    const size_t last = std::min(batches.size(), first + kAtOnce);
    std::vector<std::FILE*> pipes;
    for (size_t b = first; b < last; ++b) {
      const std::string input = folder.file("points" + std::to_string(b) + ".txt");
      std::FILE* file = std::fopen(input.c_str(), "w");
      if (file == nullptr) return false;
      for (size_t i = 0; i < batches[b].latitudes.size(); ++i)
        std::fprintf(file, "%.17g %.17g\n", batches[b].latitudes[i], batches[b].longitudes[i]);
      std::fclose(file);
      const std::string command = "cs2cs -f %.9f EPSG:4269 " + quoted(batches[b].target) + " <" +
                                  quoted(input) + " 2>/dev/null";
      pipes.push_back(popen(command.c_str(), "r"));
    }
    for (size_t b = first; b < last; ++b) {
      std::FILE* pipe = pipes[b - first];
      if (pipe == nullptr) {
        ok = false;
        continue;
      }
      ok = readProjected(pipe, batches[b]) && ok;
      ok = pclose(pipe) == 0 && ok;
    }
  }
  return ok;
}

std::vector<FrozenAnswer> frozenProjAnswers() {
  std::vector<FrozenAnswer> answers;
  std::FILE* file = std::fopen(TERRAVANE_SOURCE_DIR "/tests/data/proj_answers.txt", "r");
  if (file == nullptr) return answers;
  char line[256];
  bool ok = true;
  while (ok && std::fgets(line, sizeof line, file) != nullptr) {
    if (line[0] == '#') continue;
    FrozenAnswer a{};
    char* end = line;
    const char* start = line;
    a.code = static_cast<int32_t>(std::strtol(start, &end, 10));
    ok = end != start;
    for (double* value : {&a.latitude, &a.longitude, &a.easting, &a.northing}) {
      start = end;
      *value = std::strtod(start, &end);
      ok = ok && end != start;
    }
    if (ok) answers.push_back(a);
  }
  std::fclose(file);
  if (!ok) answers.clear();
  return answers;
}

}  // namespace ned::testing
