// bench_contours [--tile <base>] [--out <directory>] [--interval <m>] [--whole] [--small]
//                [--no-spill] [--no-gdal]
//
// Measures the contour drawing on blocks of the demo tile: the rows read from the raster,
// traced (through a spill file) and written as a DXF file, the best of three, against gdal_contour
// -3d -a elev into a shapefile on the same block (cut beforehand with gdal_translate, not timed),
// in the same run. Reports the lines, vertices per second, the bytes, the time of writing the same
// bytes alone in 1 MiB blocks (the I/O floor), the peak resident size of the tracing and the most
// vertices held open at a time, and the ratio to gdal_contour (the target: at most a fifth of its
// time; the floor: within twice it).
//
// --tile      the tile's path without extension (default build/demo/n37w085, made when
//             missing)
// --out       where the output files go (default build/bench)
// --interval  the contour interval in metres (default 1)
// --whole     also the whole square of 10812 x 10812 cells (without gdal_contour)
// --small     only the block of 1350 x 1350
// --no-spill  every open vertex in memory
// --no-gdal   leave gdal_contour out
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/export/contours.h"
#include "core/export/dxf_writer.h"
#include "core/posix_file_system.h"
#include "tools/bench_common.h"
#ifndef TERRAVANE_SOURCE_DIR
#define TERRAVANE_SOURCE_DIR "."
#endif

namespace {

using bench::Clock;
using bench::fileSize;
using bench::peakKib;
using bench::resetPeak;
using bench::secondsSince;

constexpr uint32_t kTileCells = 10812;

bool useSpill = true;

// The processor time of this process so far (user and system), in seconds.
double cpuSeconds() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

class FileSink : public ned::ByteSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  bool write(const char* bytes, size_t count) override {
    return std::fwrite(bytes, 1, count, file_) == count;
  }

 private:
  std::FILE* file_;
};

struct Block {
  uint32_t row;
  uint32_t col;
  uint32_t size;
};

struct Figures {
  double seconds = 0;
  double cpu = 0;  // processor time, user and system
  uint64_t lines = 0;
  uint64_t vertices = 0;
  uint64_t bytes = 0;
  uint64_t peakOpen = 0;
  uint64_t openLines = 0;
  uint64_t spilled = 0;
  long peak = 0;
  bool ok = false;
};

// Reads the block's rows from the raster, traces them and writes the drawing to path.
Figures drawBlock(const std::string& raster, const Block& block, double interval,
                  const std::string& path, const std::string& spillPath) {
  Figures figures;
  std::remove(spillPath.c_str());
  std::unique_ptr<ned::OpenFile> spillFile =
      ned::posixFileSystem().open(spillPath, ned::OpenMode::createNew);
  std::unique_ptr<ned::OpenFile> spillReader =
      ned::posixFileSystem().open(spillPath, ned::OpenMode::read);
  if (spillFile == nullptr || spillReader == nullptr) return figures;
  ned::FileSpill spill(*spillFile, *spillReader);
  std::FILE* in = std::fopen(raster.c_str(), "rb");
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (in == nullptr || out == nullptr) {
    if (in != nullptr) std::fclose(in);
    if (out != nullptr) std::fclose(out);
    return figures;
  }
  std::setvbuf(out, nullptr, _IONBF, 0);  // the writer hands on 1 MiB at a time
  resetPeak();
  const Clock::time_point start = Clock::now();
  const double cpuStart = cpuSeconds();
  FileSink sink(out);
  ned::DxfWriter writer(sink);
  // The local grid at 37 N, 10 m cells.
  ned::GridPlacement placement(200000.0, 200000.0, 8.255, 9.725, 1);
  ned::ExtentsBuilder box;
  box.add(placement.cell(0, 0).x, placement.cell(0, 0).y);
  box.add(placement.cell(block.size - 1, block.size - 1).x,
          placement.cell(block.size - 1, block.size - 1).y);
  const ned::DxfLayer layers[2] = {ned::kMajorContourDxfLayer, ned::kMinorContourDxfLayer};
  bool ok = writer.begin(box.extents(), layers, 2);
  ned::DxfContours contours(writer);
  ned::ContourTracer tracer(block.size, {interval, 5, -9999.0f}, placement, contours,
                            useSpill ? &spill : nullptr);
  std::vector<float> row(block.size);
  for (uint32_t r = 0; r < block.size && ok; ++r) {
    const long offset = (static_cast<long>(block.row + r) * kTileCells + block.col) * 4;
    ok = std::fseek(in, offset, SEEK_SET) == 0 &&
         std::fread(row.data(), 4, block.size, in) == block.size && tracer.addRow(row.data());
  }
  ok = ok && tracer.finish();
  ok = writer.end() && ok;
  ok = std::fclose(out) == 0 && ok;
  figures.seconds = secondsSince(start);
  figures.cpu = cpuSeconds() - cpuStart;
  figures.peak = peakKib();
  std::fclose(in);
  figures.ok = ok;
  figures.lines = tracer.linesWritten();
  figures.vertices = tracer.verticesWritten();
  figures.peakOpen = tracer.peakHeldVertices();
  figures.openLines = tracer.peakOpenLines();
  figures.spilled = tracer.spilledVertices();
  spillFile.reset();
  spillReader.reset();
  std::remove(spillPath.c_str());
  figures.bytes = writer.bytesWritten();
  return figures;
}

// The I/O floor: the bytes written in 1 MiB blocks.
double timeBlockWrites(uint64_t bytes, const std::string& path) {
  std::vector<char> block(size_t(1) << 20, '7');
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return 0;
  std::setvbuf(out, nullptr, _IONBF, 0);
  const Clock::time_point start = Clock::now();
  for (uint64_t left = bytes; left > 0;) {
    const size_t now = left < block.size() ? static_cast<size_t>(left) : block.size();
    std::fwrite(block.data(), 1, now, out);
    left -= now;
  }
  std::fclose(out);
  return secondsSince(start);
}

int run(const std::string& command) {
  return std::system(command.c_str());
}

// gdal_contour on the block, cut beforehand; seconds, or a negative number on failure.
double timeGdalContour(const std::string& raster, const Block& block, double interval,
                       const std::string& folder, uint64_t* bytes) {
  const std::string cut = folder + "/contour_block.tif";
  const std::string shape = folder + "/contour_block.shp";
  char command[2048];
  std::snprintf(command, sizeof command,
                "gdal_translate -q --config GDAL_PAM_ENABLED NO -srcwin %u %u %u %u '%s' '%s'",
                block.col, block.row, block.size, block.size, raster.c_str(), cut.c_str());
  if (run(command) != 0) return -1;
  bench::warmUp(cut);
  run("rm -f '" + folder + "/contour_block.shp' '" + folder + "/contour_block.shx' '" + folder +
      "/contour_block.dbf' '" + folder + "/contour_block.prj' '" + folder + "/contour_block.cpg'");
  std::snprintf(command, sizeof command,
                "gdal_contour -q --config GDAL_PAM_ENABLED NO -3d -a elev -i %.17g '%s' '%s'",
                interval, cut.c_str(), shape.c_str());
  const Clock::time_point start = Clock::now();
  if (run(command) != 0) return -1;
  const double seconds = secondsSince(start);
  *bytes = fileSize(shape) + fileSize(folder + "/contour_block.shx") +
           fileSize(folder + "/contour_block.dbf");
  return seconds;
}

void report(const char* name, const Figures& f, double floor, double gdal, uint64_t gdalBytes) {
  std::printf("%s\n", name);
  std::printf(
      "  contours   %8.3f s  (processor %.3f s)  %llu lines, %llu vertices, %.1f M vertices/s, "
      "%llu bytes%s\n",
      f.seconds, f.cpu, static_cast<unsigned long long>(f.lines),
      static_cast<unsigned long long>(f.vertices), f.vertices / f.seconds / 1e6,
      static_cast<unsigned long long>(f.bytes), f.ok ? "" : "  FAILED");
  if (floor > 0)
    std::printf("  I/O floor  %8.3f s  (contours at %.2f x the floor; aim: within 2 x)\n", floor,
                f.seconds / floor);
  std::printf(
      "  memory     peak %ld KiB resident; at most %llu lines open, %llu of their "
      "vertices in memory; %llu vertices through the spill file\n",
      f.peak, static_cast<unsigned long long>(f.openLines),
      static_cast<unsigned long long>(f.peakOpen), static_cast<unsigned long long>(f.spilled));
  if (gdal > 0)
    std::printf(
        "  gdal       %8.3f s  into a shapefile of %llu bytes: contours take %.3f of "
        "its time (target: at most 0.2)\n",
        gdal, static_cast<unsigned long long>(gdalBytes), f.seconds / gdal);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string tile = std::string(TERRAVANE_SOURCE_DIR) + "/build/demo/n37w085";
  std::string folder = std::string(TERRAVANE_SOURCE_DIR) + "/build/bench";
  double interval = 1.0;
  bool whole = false;
  bool gdal = true;
  bool small = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--tile" && i + 1 < argc) {
      tile = argv[++i];
    } else if (arg == "--out" && i + 1 < argc) {
      folder = argv[++i];
    } else if (arg == "--interval" && i + 1 < argc) {
      interval = std::atof(argv[++i]);
    } else if (arg == "--whole") {
      whole = true;
    } else if (arg == "--no-spill") {
      useSpill = false;
    } else if (arg == "--small") {
      small = true;
    } else if (arg == "--no-gdal") {
      gdal = false;
    } else {
      std::fprintf(stderr,
                   "usage: bench_contours [--tile <base>] [--out <directory>] [--interval <m>] "
                   "[--whole] [--small] [--no-spill] [--no-gdal]\n");
      return 2;
    }
  }
  if (!(interval > 0)) {
    std::fprintf(stderr, "bench_contours: the interval must be above 0\n");
    return 2;
  }
  if (!bench::ensureDemoTile(tile, "bench_contours")) return 1;
  mkdir(folder.c_str(), 0755);
  const std::string raster = tile + ".flt";
  bench::warmUp(raster);
  const std::string dxf = folder + "/contours.dxf";
  // The whole square's drawing is some 25 GB: it is made and thrown away.
  const std::string nullOutput = "/dev/null";
  std::vector<Block> blocks = {{4000, 4000, 1350}, {2700, 2700, 2700}};
  if (small) blocks.resize(1);
  if (whole) blocks.push_back({0, 0, kTileCells});
  bool ok = true;
  for (const Block& block : blocks) {
    char name[128];
    std::snprintf(name, sizeof name, "%u x %u from row %u, column %u at %g m", block.size,
                  block.size, block.row, block.col, interval);
    // The drawing and the floor take turns, the best of three each (the whole square once,
    // into nothing).
    const bool square = block.size == kTileCells;
    Figures figures;
    double floor = 0;
    for (int turn = 0; turn < (square ? 1 : 3); ++turn) {
      std::remove(dxf.c_str());
      const Figures run =
          drawBlock(raster, block, interval, square ? nullOutput : dxf, folder + "/contours.spill");
      if (turn == 0 || run.seconds < figures.seconds) figures = run;
      if (square) break;
      std::remove((folder + "/floor.bin").c_str());
      const double f = timeBlockWrites(figures.bytes, folder + "/floor.bin");
      if (turn == 0 || f < floor) floor = f;
    }
    std::remove((folder + "/floor.bin").c_str());
    uint64_t gdalBytes = 0;
    const double gdalSeconds = gdal && block.size < kTileCells
                                   ? timeGdalContour(raster, block, interval, folder, &gdalBytes)
                                   : -1;
    report(name, figures, floor, gdalSeconds, gdalBytes);
    ok = ok && figures.ok;
  }
  return ok ? 0 : 1;
}
