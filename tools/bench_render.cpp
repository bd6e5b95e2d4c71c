// bench_render [--no-loop] [tile folder]: for every zoom level of the demo tile, the time
// to read the view's block and make its picture, against plain loops that read one sample
// per fread through a buffered stream, measured in the same run on the same block:
//   loop A: one fread and one relative fseek (by the cells skipped) per sample;
//   loop B: the same, with the fseek left out where no cells are skipped (level 5).
// The block is read the programs' way, one read per sampled row through the raster stream;
// it must give the same samples as the loops. The tile is made in build/demo when it is
// missing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/posix_file_system.h"
#include "tools/demo_tile.h"
#include "viewer/render.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The block read as a stream of single samples, each followed by a relative fseek over
// the skipped cells (always, or only when there are any), and one fseek at each row's end.
bool loopRead(const std::string& path, int32_t startRow, int32_t startCol, int32_t skip,
              bool seekEverySample, ned::SampleBlock& block) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  ned::BlockStatistics statistics = ned::resetStatistics();
  bool ok = std::fseek(file, static_cast<long>(ned::cellOffset(startRow, startCol)), SEEK_SET) == 0;
  const long rowMove = static_cast<long>(skip + 1) * (10812 - 450) * 4;
  for (int32_t r = 0; ok && r < ned::kBlockSide; ++r) {
    for (int32_t c = 0; c < ned::kBlockSide; ++c) {
      float sample = 0.0f;
      if (std::fread(&sample, 4, 1, file) != 1 || std::feof(file)) {
        ok = false;
        break;
      }
      block.at(c, r) = sample;
      ned::accumulate(statistics, sample);
      if (seekEverySample || skip > 0) std::fseek(file, static_cast<long>(skip) * 4, SEEK_CUR);
    }
    if (ok) ok = std::fseek(file, rowMove, SEEK_CUR) == 0;
  }
  ned::finishStatistics(statistics);
  std::fclose(file);
  return ok;
}

bool readWith(ned::SampleSource& source, const std::string& raster, int32_t row, int32_t col,
              int32_t skip, ned::SampleBlock& block, ned::BlockStatistics& statistics) {
  ned::RenderFailure failure;
  statistics = ned::resetStatistics();
  const bool ok = source.open(raster) &&
                  ned::readViewBlock(source, row, col, skip, block, statistics, &failure);
  source.close();
  return ok;
}

struct View {
  int level;
  int32_t row;
  int32_t col;
};

const char kUsage[] =
    "usage: bench_render [--no-loop] [tile folder]\n"
    "  Times the drawing of every zoom level of the demo tile n37w085 in the tile folder\n"
    "  (build/demo when none is given; the tile is made there when it is missing) against\n"
    "  loops of one fread per sample.\n"
    "  --no-loop  leave out the loops, for profiling the drawing alone\n"
    "  -h, --help this text\n";

}  // namespace

int main(int argc, char** argv) {
  // --no-loop leaves out the fread loops, for profiling the drawing alone.
  bool withLoops = true;
  std::string dir = std::string(TERRAVANE_SOURCE_DIR) + "/build/demo";
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--no-loop") {
      withLoops = false;
    } else if (!argument.empty() && argument[0] == '-') {
      // Never a folder: a mistyped option would make a 467 MB tile under its name.
      std::fprintf(stderr, "bench_render: unknown option %s\n%s", argument.c_str(), kUsage);
      return 2;
    } else {
      dir = argument;
    }
  }
  const std::string raster = dir + "/n37w085.flt";
  if (!std::filesystem::exists(raster)) {
    ned::DemoTileOptions options;
    options.directory = dir;
    std::string error;
    std::printf("making the demo tile in %s ...\n", dir.c_str());
    if (!ned::makeDemoTile(options, &error)) {
      std::fprintf(stderr, "cannot make the demo tile: %s\n", error.c_str());
      return 1;
    }
  }

  const View views[] = {
      {1, 6, 6}, {2, 2706, 5406}, {3, 2706, 6756}, {4, 3006, 7056}, {5, 3006, 7056}};
  constexpr int kRuns = 15;
  std::printf(
      "milliseconds, median of %d runs, tile in the page cache. read: the block with its "
      "statistics;\npicture: colour map, shaded from level 2, laid out on 450 x 600 pixels; "
      "drawing = read + picture.\n\n",
      kRuns);
  std::printf(
      "level |  read | picture | drawing | loop A  loop B | read faster than A, B "
      "| drawing faster than A, B\n");
  bool allSame = true;
  for (const View& view : views) {
    const int32_t skip = ned::sampleSkipForLevel(view.level);
    ned::ColorSettings settings;
    settings.viewLevel = static_cast<int16_t>(view.level);
    settings.sampleSkip = skip;
    settings.colorMapOn = 1;

    std::vector<double> reads, pictures, loopsA, loopsB;
    ned::SampleBlock block, loopBlockA, loopBlockB;
    for (int run = 0; run < kRuns + 1; ++run) {  // the first run fills the page cache
      ned::BlockStatistics statistics;
      auto start = Clock::now();
      ned::RasterSampleSource stream(ned::posixFileSystem());
      if (!readWith(stream, raster, view.row, view.col, skip, block, statistics)) {
        std::fprintf(stderr, "level %d: cannot read the block\n", view.level);
        return 1;
      }
      const double read = millisecondsSince(start);

      start = Clock::now();
      const ned::MapPicture picture = ned::paintPicture(block, statistics, settings);
      const double paint = millisecondsSince(start);

      double loopA = 0.0;
      double loopB = 0.0;
      if (withLoops) {
        start = Clock::now();
        const bool a = loopRead(raster, view.row, view.col, skip, true, loopBlockA);
        loopA = millisecondsSince(start);
        start = Clock::now();
        const bool b = loopRead(raster, view.row, view.col, skip, false, loopBlockB);
        loopB = millisecondsSince(start);
        if (!a || !b) {
          std::fprintf(stderr, "level %d: a loop failed\n", view.level);
          return 1;
        }
      }
      if (run == 0) {
        allSame = allSame && (!withLoops || (block.samples == loopBlockA.samples &&
                                             block.samples == loopBlockB.samples));
        continue;
      }
      reads.push_back(read);
      pictures.push_back(paint);
      loopsA.push_back(loopA);
      loopsB.push_back(loopB);
    }
    const double read = median(reads);
    const double paint = median(pictures);
    const double a = median(loopsA);
    const double b = median(loopsB);
    std::printf(
        "%5d | %5.2f | %7.2f | %7.2f | %6.1f  %6.2f | %6.1fx  %5.1fx           | "
        "%6.1fx  %5.1fx\n",
        view.level, read, paint, read + paint, a, b, a / read, b / read,
        (a + paint) / (read + paint), (b + paint) / (read + paint));
  }
  std::printf(allSame ? "the loops give the same samples\n" : "THE READS DIFFER\n");
  return allSame ? 0 : 1;
}
