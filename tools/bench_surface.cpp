// Times the TIN surface of blocks of the demo tile at three tolerances: triangles, seconds,
// cells per second and peak resident size, with delatin (the JavaScript greedy insertion) on
// the same cells in the same run. Run from the repository root (delatin from build/npm):
//   bench_surface [SIZE [FIRST_ROW_AND_COLUMN]]   (1350 and 4728 unless given)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/export/surface_writer.h"
#include "core/export/tin.h"
#include "tools/bench_common.h"

int main(int argc, char** argv) {
  const int32_t size = argc > 1 ? std::atoi(argv[1]) : 1350;
  const int64_t first = argc > 2 ? std::atol(argv[2]) : 4728;
  const int64_t tileCells = 10812;
  const std::string base = "build/demo/n37w085";
  if (size < 2 || first < 0 || first + size > tileCells || !bench::ensureDemoTile(base, argv[0])) {
    std::fprintf(stderr, "%s: no block of %d cells from %ld in %s.flt\n", argv[0], size,
                 static_cast<long>(first), base.c_str());
    return 1;
  }
  std::vector<float> cells(size_t(size) * size);
  std::FILE* tile = std::fopen((base + ".flt").c_str(), "rb");
  if (tile == nullptr) return 1;
  for (int32_t row = 0; row < size; ++row) {
    std::fseek(tile, long(((first + row) * tileCells + first) * 4), SEEK_SET);
    if (std::fread(&cells[size_t(row) * size], 4, size_t(size), tile) != size_t(size)) return 1;
  }
  std::fclose(tile);
  const std::string raw = "build/bench_surface_cells.raw";
  std::FILE* out = std::fopen(raw.c_str(), "wb");
  if (out == nullptr) return 1;
  std::fwrite(cells.data(), 4, cells.size(), out);
  std::fclose(out);
  std::vector<int32_t> thousandths(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) thousandths[i] = ned::surfaceThousandths(cells[i]);
  std::printf("%d x %d from row and column %ld\n", size, size, static_cast<long>(first));
  for (const double tolerance : {0.1, 0.5, 2.0}) {
    ned::TinSurface surface;
    bench::resetPeak();
    const auto start = bench::Clock::now();
    const ned::TinResult result = ned::buildTin(thousandths.data(), size, size,
                                                ned::toleranceThousandths(tolerance), &surface);
    const double seconds = bench::secondsSince(start);
    const long peak = bench::peakKib();
    if (result != ned::TinResult::Built) return 1;
    std::printf("%5.1f m: %zu triangles, %zu points, %.2f s, %.1f M cells/s, peak %ld MiB\n",
                tolerance, surface.faces.size(), surface.vertices.size(), seconds,
                double(cells.size()) / seconds / 1e6, peak / 1024);
    const std::string command =
        "node tests/support/delatin_count.mjs build/npm/node_modules/delatin/index.js " + raw +
        " " + std::to_string(size) + " " + std::to_string(size) + " " + std::to_string(tolerance);
    std::FILE* pipe = popen(command.c_str(), "r");
    unsigned long triangles = 0;
    double maxError = 0.0, delatinSeconds = 0.0;
    if (pipe != nullptr) {
      if (std::fscanf(pipe, "%lu %lf %lf", &triangles, &maxError, &delatinSeconds) != 3) {
        triangles = 0;
      }
      pclose(pipe);
    }
    if (triangles == 0) {
      std::printf("         delatin did not run (npm install --prefix build/npm delatin)\n");
    } else {
      std::printf("         delatin: %lu triangles, %.2f s (%.1f times as long)\n", triangles,
                  delatinSeconds, delatinSeconds / seconds);
    }
    std::fflush(stdout);
  }
  std::remove(raw.c_str());
  return 0;
}
