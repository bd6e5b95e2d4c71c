// Times the TIN surface of three blocks of the demo tile at three tolerances: the surface
// alone (triangles, points, seconds, cells per second), the whole run as the programs make
// it (write_points reading the block from the tile and writing the LandXML file: seconds
// and peak resident size), and delatin (the JavaScript greedy insertion) on the same cells
// in the same run. The surface and delatin take turns, three times each or, in a short
// case, more (up to nine, until delatin's turns add up to 10 seconds), and the best time of
// each counts: on a shared machine one run of either can take half as long again. Run from
// the repository root (delatin from build/npm):
//   bench_surface [SIZE FIRST_ROW_AND_COLUMN]
// Without arguments: 1350 x 1350 from 4728, 2700 x 2700 from 4050, 6000 x 6000 from 2400.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/export/surface_writer.h"
#include "core/export/tin.h"
#include "tools/bench_common.h"

namespace {

const int64_t kTileCells = 10812;
// The surface and delatin take turns, the best time of each counting: at least kTurns each,
// and more, up to kMostTurns, until delatin's turns add up to kTurnSeconds, so that a short
// case, which one stall of a shared machine moves the most, gets more tries.
const int kTurns = 3;
const int kMostTurns = 9;
const double kTurnSeconds = 10.0;
const std::string kBase = "build/demo/n37w085";

struct WholeRun {
  double seconds = 0.0;
  long peakMib = 0;
  bool ok = false;
};

// write_points on the block, as a child whose own peak wait4 gives.
WholeRun wholeRun(const std::string& writer, int32_t size, int64_t first, double tolerance) {
  const std::string out = "build/bench_surface.xml";
  const std::string row = std::to_string(first), count = std::to_string(size);
  const std::string tol = "tolerance:" + std::to_string(tolerance);
  std::vector<std::string> args = {writer, kBase + ".hdr", out, row, row, count, count,
                                   "0",    "landxml",      "0", "0", "0", tol};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  WholeRun run;
  std::fflush(stdout);  // the child would write what is buffered once more
  const auto start = bench::Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(2);
    execv(writer.c_str(), argv.data());
    _exit(2);
  }
  int status = 0;
  struct rusage usage = {};
  if (child > 0 && wait4(child, &status, 0, &usage) == child) {
    run.seconds = bench::secondsSince(start);
    run.peakMib = usage.ru_maxrss / 1024;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  std::remove(out.c_str());
  return run;
}

bool readBlock(int32_t size, int64_t first, std::vector<float>* cells) {
  cells->assign(size_t(size) * size, 0.0f);
  std::FILE* tile = std::fopen((kBase + ".flt").c_str(), "rb");
  if (tile == nullptr) return false;
  bool ok = true;
  for (int32_t row = 0; row < size && ok; ++row) {
    ok = std::fseek(tile, long(((first + row) * kTileCells + first) * 4), SEEK_SET) == 0 &&
         std::fread(&(*cells)[size_t(row) * size], 4, size_t(size), tile) == size_t(size);
  }
  std::fclose(tile);
  return ok;
}

bool benchBlock(const std::string& writer, int32_t size, int64_t first) {
  std::vector<float> cells;
  if (!readBlock(size, first, &cells)) return false;
  const std::string raw = "build/bench_surface_cells.raw";
  std::FILE* out = std::fopen(raw.c_str(), "wb");
  if (out == nullptr) return false;
  std::fwrite(cells.data(), 4, cells.size(), out);
  std::fclose(out);
  std::vector<int32_t> thousandths(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) thousandths[i] = ned::surfaceThousandths(cells[i]);
  std::printf("%d x %d from row and column %ld\n", size, size, static_cast<long>(first));
  for (const double tolerance : {0.1, 0.5, 2.0}) {
    double seconds = 0.0, delatinSeconds = 0.0;
    size_t triangles = 0, points = 0;
    unsigned long theirs = 0;
    double delatinTotal = 0.0;
    for (int turn = 0; turn < kMostTurns && (turn < kTurns || delatinTotal < kTurnSeconds);
         ++turn) {
      {
        ned::TinSurface surface;
        const auto start = bench::Clock::now();
        const ned::TinResult result = ned::buildTin(thousandths.data(), size, size,
                                                    ned::toleranceThousandths(tolerance), &surface);
        const double took = bench::secondsSince(start);
        if (result != ned::TinResult::Built) return false;
        seconds = turn == 0 ? took : std::min(seconds, took);
        triangles = surface.faces.size();
        points = surface.vertices.size();
      }
      const std::string command =
          "node tests/support/delatin_count.mjs build/npm/node_modules/delatin/index.js " + raw +
          " " + std::to_string(size) + " " + std::to_string(size) + " " + std::to_string(tolerance);
      std::FILE* pipe = popen(command.c_str(), "r");
      unsigned long count = 0;
      double maxError = 0.0, took = 0.0;
      if (pipe != nullptr) {
        if (std::fscanf(pipe, "%lu %lf %lf", &count, &maxError, &took) != 3) count = 0;
        pclose(pipe);
      }
      if (count == 0) {
        theirs = 0;
        break;
      }
      theirs = count;
      delatinSeconds = turn == 0 ? took : std::min(delatinSeconds, took);
      delatinTotal += took;
    }
    const WholeRun whole = wholeRun(writer, size, first, tolerance);
    std::printf("%5.1f m: %zu triangles, %zu points, %.2f s, %.1f M cells/s; whole run ", tolerance,
                triangles, points, seconds, double(cells.size()) / seconds / 1e6);
    if (whole.ok) {
      std::printf("%.2f s, peak %ld MiB\n", whole.seconds, whole.peakMib);
    } else {
      std::printf("failed (%s)\n", writer.c_str());
    }
    if (theirs == 0) {
      std::printf("         delatin did not run (npm install --prefix build/npm delatin)\n");
    } else {
      std::printf("         delatin: %lu triangles, %.2f s (%.1f times as long)\n", theirs,
                  delatinSeconds, delatinSeconds / seconds);
    }
    std::fflush(stdout);
  }
  std::remove(raw.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  struct Block {
    int32_t size;
    int64_t first;
  };
  std::vector<Block> blocks = {{1350, 4728}, {2700, 4050}, {6000, 2400}};
  if (argc > 2) blocks = {{std::atoi(argv[1]), std::atol(argv[2])}};
  const std::string self = argv[0];
  const size_t slash = self.find_last_of('/');
  const std::string writer =
      (slash == std::string::npos ? "." : self.substr(0, slash)) + "/write_points";
  if (!bench::ensureDemoTile(kBase, argv[0])) return 1;
  bench::warmUp(kBase + ".flt");
  for (const Block& block : blocks) {
    if (block.size < 2 || block.first < 0 || block.first + block.size > kTileCells ||
        !benchBlock(writer, block.size, block.first)) {
      std::fprintf(stderr, "%s: no surface of %d cells from %ld in %s.flt\n", argv[0], block.size,
                   static_cast<long>(block.first), kBase.c_str());
      return 1;
    }
  }
  return 0;
}
