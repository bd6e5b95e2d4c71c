// bench_convert [--tile <base>] [--out <directory>] [--runs <n>] [--only <text>]
//
// Measures the conversion of a whole GeoTIFF tile into its GridFloat pair, as the programs
// make it on open, on GeoTIFFs GDAL makes of the demo tile: cloud-optimized (512 x 512
// tiles, LZW and Deflate, floating-point predictor, as the USGS ships them), and blocks
// too large to hold a row of them in memory (tiles of 2048 x 2048, strips of 2000 rows,
// one strip of the whole image); and in the same run:
//   - gdal_translate -of EHdr of the same file, the GIS tool's way to the same raster;
//   - the decompression alone: every block read and decompressed, nothing else.
// It checks that the converted raster is byte-identical to GDAL's, and reports the peak
// resident memory of GDAL and of the conversion, each in a process of its own (the
// conversion's is this program started again with --convert-once <GeoTIFF>).
//
// --tile   the demo tile's path without extension (default build/demo/n37w085, made when
//          missing)
// --out    where the GeoTIFFs (kept for the next run) and the outputs go (default
//          build/bench)
// --runs   timed runs of each, the best counts (default 3)
// --only   only the GeoTIFFs whose file name contains the text (cog, tiles2048, strips2000,
//          one_strip, lzw, deflate)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/posix_file_system.h"
#include "core/tile/geotiff_tile.h"
#include "core/tile/tiff_decode.h"
#include "tools/bench_common.h"
#include "tools/silent_desktop.h"
#ifndef TERRAVANE_SOURCE_DIR
#define TERRAVANE_SOURCE_DIR "."
#endif

namespace {

using bench::Clock;
using bench::secondsSince;

// Runs a command without a shell; gives its wall time and its peak resident size in KiB,
// or a negative time when it failed.
double runCommand(const std::vector<std::string>& arguments, long* peakKib) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage = {};
  wait4(child, &status, 0, &usage);
  const double seconds = secondsSince(start);
  *peakKib = usage.ru_maxrss;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

int64_t modifiedAt(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_mtime) : 0;
}

// The GeoTIFFs measured: a name, the file's name and gdal_translate's options.
struct Layout {
  const char* name;
  const char* file;
  std::vector<std::string> options;
};

const Layout kLayouts[] = {
    {"COG, LZW, predictor 3",
     "cog_lzw",
     {"-of", "COG", "-co", "COMPRESS=LZW", "-co", "PREDICTOR=3"}},
    {"COG, Deflate, predictor 3",
     "cog_deflate",
     {"-of", "COG", "-co", "COMPRESS=DEFLATE", "-co", "PREDICTOR=3"}},
    {"tiles of 2048, LZW, predictor 3",
     "tiles2048_lzw",
     {"-co", "TILED=YES", "-co", "BLOCKXSIZE=2048", "-co", "BLOCKYSIZE=2048", "-co", "COMPRESS=LZW",
      "-co", "PREDICTOR=3"}},
    {"strips of 2000 rows, Deflate, predictor 2",
     "strips2000_deflate",
     {"-co", "BLOCKYSIZE=2000", "-co", "COMPRESS=DEFLATE", "-co", "PREDICTOR=2"}},
    {"one strip, uncompressed", "one_strip", {"-co", "BLOCKYSIZE=10812"}},
};

struct Figures {
  const char* name;
  uint64_t tiffBytes = 0;
  double gdal = 1e300;
  double decompression = 1e300;
  double conversion = 1e300;
  long gdalPeak = 0;
  long conversionPeak = 0;
  bool identical = false;
};

// The decompression alone: every block of the first image read and decompressed.
double timeDecompression(const std::string& path) {
  const Clock::time_point start = Clock::now();
  ned::TiffFileBytes bytes;
  ned::TiffImage image;
  std::string problem;
  if (!bytes.open(ned::posixFileSystem(), path) || !ned::readTiffImage(bytes, image, problem))
    return -1.0;
  ned::TiffBlockDecoder decoder(image, -9999.0f);
  for (size_t i = 0; i < image.blockOffsets.size(); ++i)
    if (!decoder.decompress(bytes, i, problem)) return -1.0;
  return secondsSince(start);
}

// The programs' open path: no current pair is there, so it converts.
double timeConversion(const std::string& tif) {
  const std::string base = tif.substr(0, tif.size() - 4);
  std::remove((base + ".flt").c_str());
  std::remove((base + ".hdr").c_str());
  SilentDesktop desktop("bench_convert");
  ned::ChosenFile chosen;
  chosen.path = tif;
  chosen.extensionOffset = ned::extensionOffsetOf(tif);
  ned::TileHeader header;
  const Clock::time_point start = Clock::now();
  const ned::GeoTiffOutcome outcome = ned::prepareGeoTiffTile(desktop, chosen, header);
  const double seconds = secondsSince(start);
  return outcome == ned::GeoTiffOutcome::ready ? seconds : -1.0;
}

// The peak resident size of a conversion in a process of its own, in KiB, as the process
// says it (a child's own count would include what it took over from this one); negative
// when it failed.
long peakOfConversion(const std::string& tif) {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return -1;
  self[length] = '\0';
  const std::string command = "'" + std::string(self) + "' --convert-once '" + tif + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  long kib = -1;
  if (std::fscanf(pipe, "%ld", &kib) != 1) kib = -1;
  return pclose(pipe) == 0 ? kib : -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string base = std::string(TERRAVANE_SOURCE_DIR) + "/build/demo/n37w085";
  std::string outDir = std::string(TERRAVANE_SOURCE_DIR) + "/build/bench";
  int runs = 3;
  std::string only;
  if (argc == 3 && std::strcmp(argv[1], "--convert-once") == 0) {
    if (timeConversion(argv[2]) < 0) return 1;
    std::printf("%ld\n", bench::peakKib());
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--tile") == 0 && i + 1 < argc) {
      base = argv[++i];
    } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      outDir = argv[++i];
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      only = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: bench_convert [--tile <base>] [--out <directory>] [--runs <n>] "
                   "[--only <text>]\n");
      return 2;
    }
  }
  if (!bench::ensureDemoTile(base, "bench_convert")) return 1;
  mkdir(outDir.c_str(), 0755);

  std::vector<Figures> all;
  for (const Layout& layout : kLayouts) {
    if (std::string(layout.file).find(only) == std::string::npos) continue;
    Figures f;
    f.name = layout.name;
    const std::string tif = outDir + "/n37w085_" + layout.file + ".tif";
    if (bench::fileSize(tif) == 0 || modifiedAt(tif) < modifiedAt(base + ".flt")) {
      std::printf("making %s ...\n", tif.c_str());
      std::fflush(stdout);
      std::vector<std::string> command = {"gdal_translate", "-q", "-a_srs", "EPSG:4269"};
      command.insert(command.end(), layout.options.begin(), layout.options.end());
      command.insert(command.end(), {base + ".flt", tif});
      long ignored = 0;
      if (runCommand(command, &ignored) < 0) {
        std::fprintf(stderr, "bench_convert: gdal_translate could not make %s\n", tif.c_str());
        return 1;
      }
    }
    f.tiffBytes = bench::fileSize(tif);
    bench::warmUp(tif);
    const std::string gdalOut = outDir + "/gdal_" + layout.file + ".flt";
    std::printf("%s ...\n", tif.c_str());
    std::fflush(stdout);
    for (int k = 0; k < runs; ++k) {
      long peak = 0;
      std::remove(gdalOut.c_str());
      // Each timed run starts with nothing left to write back from the one before.
      sync();
      const double gdal = runCommand({"gdal_translate", "-q", "--config", "GDAL_PAM_ENABLED", "NO",
                                      "-of", "EHdr", tif, gdalOut},
                                     &peak);
      if (gdal < 0) {
        std::fprintf(stderr, "bench_convert: gdal_translate -of EHdr failed on %s\n", tif.c_str());
        return 1;
      }
      f.gdal = std::min(f.gdal, gdal);
      f.gdalPeak = std::max(f.gdalPeak, peak);
      const double decompression = timeDecompression(tif);
      sync();
      const double conversion = timeConversion(tif);
      if (decompression < 0 || conversion < 0) {
        std::fprintf(stderr, "bench_convert: could not read %s\n", tif.c_str());
        return 1;
      }
      f.decompression = std::min(f.decompression, decompression);
      f.conversion = std::min(f.conversion, conversion);
    }
    // The peak of a conversion alone: in a new process, where nothing else was allocated.
    sync();
    f.conversionPeak = peakOfConversion(tif);
    if (f.conversionPeak < 0) {
      std::fprintf(stderr, "bench_convert: could not convert %s\n", tif.c_str());
      return 1;
    }
    const std::string converted = tif.substr(0, tif.size() - 4) + ".flt";
    long ignored = 0;
    f.identical = runCommand({"cmp", "-s", converted, gdalOut}, &ignored) >= 0;
    all.push_back(f);
    // The outputs go; the GeoTIFFs stay for the next run.
    const std::string gdalBase = gdalOut.substr(0, gdalOut.size() - 4);
    for (const std::string& output : {converted, converted.substr(0, converted.size() - 4) + ".hdr",
                                      gdalOut, gdalBase + ".hdr", gdalBase + ".prj"})
      std::remove(output.c_str());
  }

  std::printf(
      "\n| GeoTIFF | size | gdal_translate -of EHdr | decompression alone | "
      "conversion | GDAL / conversion | conversion / decompression | peak memory, conversion | "
      "peak memory, GDAL | same bytes as GDAL |\n"
      "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|\n");
  bool good = true;
  for (const Figures& f : all) {
    good = good && f.identical;
    std::printf(
        "| %s | %.0f MiB | %.2f s | %.2f s | %.2f s | %.2fx | %.2f | %.1f MiB | %.0f MiB | %s |\n",
        f.name, static_cast<double>(f.tiffBytes) / (1 << 20), f.gdal, f.decompression, f.conversion,
        f.gdal / f.conversion, f.conversion / f.decompression,
        static_cast<double>(f.conversionPeak) / 1024.0, static_cast<double>(f.gdalPeak) / 1024.0,
        f.identical ? "yes" : "NO");
  }
  return good ? 0 : 1;
}
