// bench_writer [--tile <base>] [--out <directory>] [--quick | --map]
//
// Measures the point writer on the demo tile against two baselines run in the same
// process: (a) the literal loop, one 4-byte fread and one fprintf per value through
// buffered streams, and (b) the I/O floor, the same number of bytes written in 1 MiB
// blocks. Every case is also run through the literal loop once more, into a stream that
// compares its bytes with the writer's output file, to prove them identical.
//
// It also measures a block across the corner of four tiles, read on from the demo tile
// into the three tiles east, south and south-east of it (made beside it when missing),
// against a block of the same size inside the one tile: points per second of each, taking
// turns, the best of nine, and their ratio (the target: the block across the corner at most
// 1.1 times slower).
//
// --tile    the tile's path without extension (default build/demo/n37w085, made when
//           missing)
// --out     where the output files go for the timed file runs (default build/bench)
// --quick   only the 2700 x 2700 window and the corner
// --map     only map coordinates against the local grid, on the whole square
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/export/point_writer.h"
#include "core/posix_file_system.h"
#include "core/tile/raster.h"
#include "tools/bench_common.h"
#include "tools/demo_tile.h"
#include "tools/literal_writer.h"
#ifndef TERRAVANE_SOURCE_DIR
#define TERRAVANE_SOURCE_DIR "."
#endif

namespace {

using bench::Clock;
using bench::fileSize;
using bench::peakKib;
using bench::resetPeak;
using bench::secondsSince;

// The machine's files, but for outputs named "null.*": their bytes go nowhere, as into
// /dev/null, and putting them in place does nothing.
class BenchFileSystem : public ned::PosixFileSystem {
 public:
  std::unique_ptr<ned::OpenFile> open(const std::string& path, ned::OpenMode mode) override {
    if (mode == ned::OpenMode::read || !isNull(path)) return PosixFileSystem::open(path, mode);
    return std::unique_ptr<ned::OpenFile>(new NullFile);
  }
  bool replace(const std::string& from, const std::string& to) override {
    return isNull(to) || PosixFileSystem::replace(from, to);
  }
  bool remove(const std::string& path) override {
    return isNull(path) || PosixFileSystem::remove(path);
  }

 private:
  // Writes into /dev/null, a call for each write as into a file.
  struct NullFile : ned::OpenFile {
    int descriptor = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    uint64_t end = 0;
    NullFile() = default;
    NullFile(const NullFile&) = delete;
    NullFile& operator=(const NullFile&) = delete;
    ~NullFile() override { close(); }
    size_t read(uint64_t, void*, size_t) override { return 0; }
    bool write(uint64_t offset, const void* data, size_t count) override {
      end = std::max(end, offset + count);
      return descriptor >= 0 && ::write(descriptor, data, count) == static_cast<ssize_t>(count);
    }
    bool flush() override { return true; }
    uint64_t size() override { return end; }
    bool close() override {
      const bool closed = descriptor >= 0 && ::close(descriptor) == 0;
      descriptor = -1;
      return closed;
    }
  };
  static bool isNull(const std::string& path) {
    return ned::fileNameOf(path).rfind("null.", 0) == 0;
  }
};

BenchFileSystem& benchFileSystem() {
  static BenchFileSystem files;
  return files;
}

// The desktop of a benchmark: the save dialog answers with one path, messages are kept.
class BenchDesktop : public ned::Desktop {
 public:
  explicit BenchDesktop(std::string path) : path_(std::move(path)) {}
  ned::ChosenFile chooseFileToOpen(const ned::FileDialogRequest&) override { return {}; }
  ned::ChosenFile chooseFileToSave(const ned::FileDialogRequest&) override {
    ned::ChosenFile chosen;
    chosen.path = path_;
    chosen.extensionOffset = ned::extensionOffsetOf(path_);
    return chosen;
  }
  bool createEmptyFile(const std::string& path) override {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
  }
  void endProcess(int) override {}
  std::string temporaryFolder() override { return {}; }
  ned::FileSystem& fileSystem() override { return benchFileSystem(); }
  std::vector<std::string> messages;

 protected:
  ned::MessageAnswer messageBox(ned::OwnerWindow, const std::string& text, const std::string&,
                                ned::MessageStyle) override {
    messages.push_back(text);
    return ned::MessageAnswer::ok;
  }

 private:
  std::string path_;
};

// The literal loop of the write, into out; gives the points written.
uint64_t literalLoop(ned::Program program, const ned::WriteRequest& request, std::FILE* out) {
  return ned::literalWrite(program, request, out).points;
}

// A write-only stream that compares what it is given with a file, in order.
struct Comparison {
  std::FILE* expected = nullptr;
  uint64_t offset = 0;
  bool same = true;
  std::vector<char> chunk;
};

ssize_t compareWrite(void* cookie, const char* data, size_t size) {
  Comparison* c = static_cast<Comparison*>(cookie);
  if (c->chunk.size() < size) c->chunk.resize(size);
  const size_t got = std::fread(c->chunk.data(), 1, size, c->expected);
  if (got != size || std::memcmp(c->chunk.data(), data, size) != 0) c->same = false;
  c->offset += size;
  return static_cast<ssize_t>(size);
}

// Whether the literal loop writes exactly the bytes of the file at path.
bool literalLoopGives(ned::Program program, const ned::WriteRequest& request,
                      const std::string& path) {
  Comparison comparison;
  comparison.expected = std::fopen(path.c_str(), "rb");
  if (comparison.expected == nullptr) return false;
  cookie_io_functions_t functions = {};
  functions.write = compareWrite;
  std::FILE* out = fopencookie(&comparison, "w", functions);
  std::setvbuf(out, nullptr, _IOFBF, 1 << 16);
  literalLoop(program, request, out);
  std::fclose(out);
  const bool atEnd = std::fgetc(comparison.expected) == EOF;
  std::fclose(comparison.expected);
  return comparison.same && atEnd;
}

double timeLiteralLoop(ned::Program program, const ned::WriteRequest& request,
                       const std::string& path) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  const Clock::time_point start = Clock::now();
  literalLoop(program, request, out);
  std::fclose(out);
  return secondsSince(start);
}

// Waits until the file's bytes are on the disk.
void syncFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The I/O floor: bytes written in 1 MiB blocks; with durable, until they are on the disk.
double timeBlockWrites(uint64_t bytes, const std::string& path, bool durable) {
  std::vector<char> block(size_t(1) << 20, '7');
  std::FILE* out = std::fopen(path.c_str(), "wb");
  std::setvbuf(out, nullptr, _IONBF, 0);
  const Clock::time_point start = Clock::now();
  for (uint64_t left = bytes; left > 0;) {
    const size_t now = left < block.size() ? static_cast<size_t>(left) : block.size();
    std::fwrite(block.data(), 1, now, out);
    left -= now;
  }
  if (durable) fsync(fileno(out));
  std::fclose(out);
  return secondsSince(start);
}

struct Case {
  const char* name;
  ned::Program program;
  ned::OutputKind kind;
  int32_t startRow;
  int32_t startCol;
  uint32_t size;
};

struct Figures {
  uint64_t points = 0;
  uint64_t bytes = 0;
  double writerNull = 1e300;   // best of the repeats
  double literalNull = 0;      // baseline (a)
  double writerCache = 1e300;  // into a file, the page cache taking it
  double floorCache = 1e300;   // baseline (b), the same
  double writerDisk = 0;       // into a file, until it is on the disk
  double floorDisk = 0;        // baseline (b), the same
  long peak = 0;
  bool identical = false;
  bool allWritten = true;
};

// One run of the writer; false unless it wrote everything and showed the count.
bool runWriter(const Case& c, const ned::WriteRequest& request, const std::string& path,
               bool durable, double* seconds, uint64_t* points) {
  BenchDesktop desktop(path);
  const Clock::time_point start = Clock::now();
  const ned::WriteOutcome outcome = ned::writePoints(desktop, c.program, request);
  if (durable) syncFile(path);
  *seconds = secondsSince(start);
  if (outcome != ned::WriteOutcome::written || desktop.messages.empty()) return false;
  *points = std::strtoull(desktop.messages.back().c_str(), nullptr, 10);
  return true;
}

// Makes a tile beside the demo tile (<folder>/nDDwDDD) unless it is there, in a child.
bool ensureNeighbour(const std::string& base) {
  if (fileSize(base + ".flt") == 467597376ull && fileSize(base + ".hdr") > 0) return true;
  std::printf("making the tile %s ...\n", base.c_str());
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    ned::DemoTileOptions options;
    const size_t slash = base.find_last_of('/');
    options.directory = base.substr(0, slash);
    const std::string name = base.substr(slash + 1);
    options.northLat = std::atoi(name.c_str() + 1);
    options.westLon = std::atoi(name.c_str() + 4);
    std::string error;
    const bool made = ned::makeDemoTile(options, &error);
    if (!made) std::fprintf(stderr, "bench_writer: %s\n", error.c_str());
    _exit(made ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string base = std::string(TERRAVANE_SOURCE_DIR) + "/build/demo/n37w085";
  std::string outDir = std::string(TERRAVANE_SOURCE_DIR) + "/build/bench";
  bool quick = false;
  bool mapOnly = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--tile") == 0 && i + 1 < argc) {
      base = argv[++i];
    } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      outDir = argv[++i];
    } else if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else if (std::strcmp(argv[i], "--map") == 0) {
      mapOnly = true;
    } else {
      std::fprintf(stderr,
                   "usage: bench_writer [--tile <base>] [--out <directory>] [--quick | --map]\n");
      return 2;
    }
  }
  if (!bench::ensureDemoTile(base, "bench_writer")) return 1;
  const std::string folder = base.substr(0, base.find_last_of('/') + 1);
  for (const char* tile : {"n37w084", "n36w085", "n36w084"}) {
    if (!ensureNeighbour(folder + tile)) return 1;
  }
  mkdir(outDir.c_str(), 0755);

  ned::TileHeader header;
  header.headerPath = base + ".hdr";
  header.rasterPath = base + ".flt";
  header.rasterCols = header.rasterRows = 10812;
  header.tileSouthLat = 35.99944444444;
  header.tileWestLon = 85.00055555556;
  header.nodataLine = "NODATA        -9999";
  bench::warmUp(header.rasterPath);

  std::vector<Case> cases = {
      {"XYZ rectangular 2700 x 2700", ned::Program::extractor, ned::OutputKind::RectangularXyz,
       4056, 4056, 2700},
  };
  if (mapOnly) cases.clear();
  if (!quick && !mapOnly) {
    cases.push_back({"XYZ rectangular whole square", ned::Program::extractor,
                     ned::OutputKind::RectangularXyz, 6, 6, 10800});
    cases.push_back({"CSV grid whole square", ned::Program::extractor,
                     ned::OutputKind::ElevationCsv, 6, 6, 10800});
    cases.push_back({"Binary tile whole square", ned::Program::viewer, ned::OutputKind::BinaryFlt,
                     6, 6, 10800});
  }

  std::vector<Figures> figures;
  for (const Case& c : cases) {
    ned::WriteRequest request;
    request.kind = c.kind;
    request.header = header;
    request.selection.startRow = c.startRow;
    request.selection.startCol = c.startCol;
    request.selection.rows = request.selection.cols = c.size;
    request.xulcornerText = "-85";
    request.yulcornerText = "37";
    const char* extension = c.kind == ned::OutputKind::BinaryFlt ? ".flt" : ".csv";
    const std::string outPath = outDir + "/bench" + extension;
    // Nowhere, under a name of the output's kind, so that a header goes beside it.
    const std::string nullPath = outDir + "/null" + extension;
    const int repeats = 3;
    Figures f;
    std::printf("%s ...\n", c.name);
    std::fflush(stdout);

    // A first write of the size, untimed: the page cache settles to the size of the output.
    {
      uint64_t points = 0;
      double seconds = 0;
      runWriter(c, request, outPath, false, &seconds, &points);
      f.bytes = fileSize(outPath);
      std::remove(outPath.c_str());
      sync();
      timeBlockWrites(f.bytes, outPath, false);
      std::remove(outPath.c_str());
    }

    // The writer into /dev/null and into a real file, and baseline (b) into a file, taking
    // turns; the best of the repeats.
    resetPeak();
    double seconds = 0;
    for (int k = 0; k < repeats; ++k) {
      f.allWritten = runWriter(c, request, nullPath, false, &seconds, &f.points) && f.allWritten;
      f.writerNull = std::min(f.writerNull, seconds);
      sync();
      f.allWritten = runWriter(c, request, outPath, false, &seconds, &f.points) && f.allWritten;
      f.writerCache = std::min(f.writerCache, seconds);
      if (k + 1 == repeats) {
        // The proof: the literal loop gives the same bytes.
        f.peak = peakKib();
        f.identical = literalLoopGives(c.program, request, outPath);
      }
      std::remove(outPath.c_str());
      sync();
      f.floorCache = std::min(f.floorCache, timeBlockWrites(f.bytes, outPath, false));
      std::remove(outPath.c_str());
    }

    // Both again, each until its file is on the disk.
    f.writerDisk = f.floorDisk = 1e300;
    for (int k = 0; k < 2; ++k) {
      sync();
      f.allWritten = runWriter(c, request, outPath, true, &seconds, &f.points) && f.allWritten;
      f.writerDisk = std::min(f.writerDisk, seconds);
      std::remove(outPath.c_str());
      sync();
      f.floorDisk = std::min(f.floorDisk, timeBlockWrites(f.bytes, outPath, true));
      std::remove(outPath.c_str());
    }

    // Baseline (a), the literal loop, into /dev/null.
    f.literalNull = timeLiteralLoop(c.program, request, "/dev/null");
    figures.push_back(f);
  }

  // Map coordinates against the local grid: the same block, the best of three each, taking
  // turns, into /dev/null and into a file (the page cache taking it), as a user's write goes.
  struct MapCase {
    const char* name;
    int32_t system;
  };
  const MapCase mapCases[] = {{"NAD83 / Tennessee (ftUS), EPSG:2274", 2274},
                              {"NAD83 / UTM zone 16N, EPSG:26916", 26916}};
  const uint32_t mapSize = quick ? 2700 : 10800;
  const int32_t mapStart = quick ? 4056 : 6;
  struct MapFigures {
    double local = 1e300;  // rectangular, its X texts made once for the whole block
    double map = 1e300;
    double north = 1e300;  // projected north: like a map system, an X for every point
    double localFile = 1e300;
    double mapFile = 1e300;
    uint64_t points = 0;
    bool allWritten = true;
  };
  std::vector<MapFigures> mapFigures;
  for (const MapCase& m : mapCases) {
    std::printf("%s ...\n", m.name);
    std::fflush(stdout);
    const Case c = {
        m.name, ned::Program::extractor, ned::OutputKind::RectangularXyz, mapStart, mapStart,
        mapSize};
    ned::WriteRequest request;
    request.kind = c.kind;
    request.header = header;
    request.selection.startRow = request.selection.startCol = mapStart;
    request.selection.rows = request.selection.cols = mapSize;
    const std::string nullPath = outDir + "/null.csv";
    const std::string outPath = outDir + "/bench.csv";
    MapFigures f;
    for (int k = 0; k < 3; ++k) {
      double northSeconds = 0;
      request.kind = ned::OutputKind::ProjectNorthXyz;
      request.coordinateSystem = 0;
      f.allWritten =
          runWriter(c, request, nullPath, false, &northSeconds, &f.points) && f.allWritten;
      f.north = std::min(f.north, northSeconds);
      request.kind = ned::OutputKind::RectangularXyz;
      for (const int32_t system : {0, m.system}) {
        request.coordinateSystem = system;
        double seconds = 0;
        f.allWritten = runWriter(c, request, nullPath, false, &seconds, &f.points) && f.allWritten;
        (system == 0 ? f.local : f.map) = std::min(system == 0 ? f.local : f.map, seconds);
        sync();
        f.allWritten = runWriter(c, request, outPath, false, &seconds, &f.points) && f.allWritten;
        double& file = system == 0 ? f.localFile : f.mapFile;
        file = std::min(file, seconds);
        std::remove(outPath.c_str());
      }
    }
    mapFigures.push_back(f);
  }
  // A block across the corner of four tiles against one of the same size inside the tile,
  // half of it each side of both whole-degree lines. A row across a line takes one read more
  // than a row inside the tile, so the larger the block, the less that counts.
  struct CornerFigures {
    const char* name;
    ned::OutputKind kind;
    uint32_t size;
    double oneTile = 1e300;
    double corner = 1e300;
    double oneTileFile = 1e300;  // into a file, the page cache taking it
    double cornerFile = 1e300;
    uint64_t points = 0;
    bool allWritten = true;
  };
  CornerFigures cornerFigures[] = {{"rectangular XYZ", ned::OutputKind::RectangularXyz, 2400},
                                   {"CSV grid", ned::OutputKind::ElevationCsv, 2400},
                                   {"rectangular XYZ", ned::OutputKind::RectangularXyz, 4800},
                                   {"CSV grid", ned::OutputKind::ElevationCsv, 4800}};
  const int kCornerRuns = 9;  // the best of them, the two blocks taking turns
  for (CornerFigures& f : cornerFigures) {
    if (mapOnly) break;
    const uint32_t cornerSize = f.size;
    std::printf("%s, %u x %u, across the corner of four tiles ...\n", f.name, cornerSize,
                cornerSize);
    std::fflush(stdout);
    ned::WriteRequest oneTile;
    oneTile.kind = f.kind;
    oneTile.header = header;
    oneTile.selection.startRow = oneTile.selection.startCol = 3006;
    oneTile.selection.rows = oneTile.selection.cols = cornerSize;
    ned::WriteRequest corner = oneTile;
    corner.selection.startRow = corner.selection.startCol = 10806 - cornerSize / 2;
    corner.mosaic.tilesAcross = corner.mosaic.tilesDown = 2;
    for (const char* tile : {"n37w085", "n37w084", "n36w085", "n36w084"}) {
      corner.mosaic.rasterPaths.push_back(folder + tile + ".flt");
      bench::warmUp(folder + tile + ".flt");
    }
    const Case c = {f.name, ned::Program::extractor, f.kind, 0, 0, cornerSize};
    const std::string nullPath = outDir + "/null.csv";
    const std::string outPath = outDir + "/bench.csv";
    for (int k = 0; k < kCornerRuns; ++k) {
      double seconds = 0;
      f.allWritten = runWriter(c, oneTile, nullPath, false, &seconds, &f.points) && f.allWritten;
      f.oneTile = std::min(f.oneTile, seconds);
      uint64_t points = 0;
      f.allWritten = runWriter(c, corner, nullPath, false, &seconds, &points) && f.allWritten &&
                     points == f.points;
      f.corner = std::min(f.corner, seconds);
      sync();
      f.allWritten = runWriter(c, oneTile, outPath, false, &seconds, &points) && f.allWritten;
      f.oneTileFile = std::min(f.oneTileFile, seconds);
      std::remove(outPath.c_str());
      sync();
      f.allWritten = runWriter(c, corner, outPath, false, &seconds, &points) && f.allWritten;
      f.cornerFile = std::min(f.cornerFile, seconds);
      std::remove(outPath.c_str());
    }
  }

  for (const char* name : {"/bench.hdr", "/null.hdr", "/null.csv", "/null.flt", "/null.vrt"})
    std::remove((outDir + name).c_str());

  std::printf(
      "\n| case | points | bytes | writer, /dev/null | ns/point | literal loop (a), /dev/null | "
      "(a) / writer | writer, file in page cache | floor (b) | writer / (b) | writer, file on "
      "disk | floor (b) on disk | writer / (b) | same bytes as (a) | peak memory |\n"
      "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|---:|\n");
  bool allGood = true;
  for (size_t k = 0; k < cases.size(); ++k) {
    const Figures& f = figures[k];
    allGood = allGood && f.identical && f.allWritten;
    std::printf(
        "| %s | %llu | %llu | %.2f s | %.1f | %.2f s | %.1f | %.2f s | %.2f s | %.2f | %.2f s | "
        "%.2f s | %.2f | %s | %.1f MiB |\n",
        cases[k].name, static_cast<unsigned long long>(f.points),
        static_cast<unsigned long long>(f.bytes), f.writerNull,
        f.points ? f.writerNull * 1e9 / static_cast<double>(f.points) : 0.0, f.literalNull,
        f.literalNull / f.writerNull, f.writerCache, f.floorCache, f.writerCache / f.floorCache,
        f.writerDisk, f.floorDisk, f.writerDisk / f.floorDisk, f.identical ? "yes" : "NO",
        static_cast<double>(f.peak) / 1024.0);
  }
  std::printf(
      "\n| map coordinates, rectangular XYZ, %u x %u cells | points | local grid, /dev/null | "
      "map system, /dev/null | map / local | projected north, /dev/null | map / projected "
      "north | local grid, file | map system, file | map / local (target at most 1.5) |\n"
      "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n",
      mapSize, mapSize);
  for (size_t k = 0; k < mapFigures.size(); ++k) {
    const MapFigures& f = mapFigures[k];
    allGood = allGood && f.allWritten;
    std::printf("| %s | %llu | %.2f s | %.2f s | %.2f | %.2f s | %.2f | %.2f s | %.2f s | %.2f |\n",
                mapCases[k].name, static_cast<unsigned long long>(f.points), f.local, f.map,
                f.map / f.local, f.north, f.map / f.north, f.localFile, f.mapFile,
                f.mapFile / f.localFile);
  }
  std::printf(
      "\n| block, best of 9 | points | one tile, /dev/null | points per second | across the "
      "corner of four tiles, /dev/null | points per second | one tile / corner (target at most "
      "1.10) | one tile, file | corner, file | one tile / corner |\n"
      "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const CornerFigures& f : cornerFigures) {
    if (mapOnly) break;
    allGood = allGood && f.allWritten;
    const double points = static_cast<double>(f.points);
    std::printf(
        "| %s, %u x %u | %llu | %.3f s | %.1f M | %.3f s | %.1f M | %.3f | %.3f s | %.3f s "
        "| %.3f |\n",
        f.name, f.size, f.size, static_cast<unsigned long long>(f.points), f.oneTile,
        points / f.oneTile / 1e6, f.corner, points / f.corner / 1e6, f.corner / f.oneTile,
        f.oneTileFile, f.cornerFile, f.cornerFile / f.oneTileFile);
  }
  return allGood ? 0 : 1;
}
