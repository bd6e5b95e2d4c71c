// make_demo_tile <directory> [--long-header] [--special] [--tile nDDwDDD] [--name <base>]
// Writes the demo tile <directory>/<base>.hdr and .flt (base n37w085 unless named), or with
// --tile one of the tiles around it from the same seamless terrain (base: the tile's name).
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/demo_tile.h"

namespace {

int usage(const char* problem) {
  std::fprintf(stderr,
               "make_demo_tile: %s\n"
               "usage: make_demo_tile <directory> [--long-header] [--special] [--tile nDDwDDD] "
               "[--name <base>]\n",
               problem);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  ned::DemoTileOptions options;
  bool haveDirectory = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--long-header") == 0) {
      options.longHeader = true;
    } else if (std::strcmp(arg, "--special") == 0) {
      options.specialBlocks = true;
    } else if (std::strcmp(arg, "--tile") == 0) {
      int north = 0, west = 0;
      char end = 0;
      if (i + 1 >= argc || std::sscanf(argv[i + 1], "n%2dw%3d%c", &north, &west, &end) != 2)
        return usage("--tile needs a tile's name, as n37w084");
      ++i;
      options.northLat = north;
      options.westLon = west;
    } else if (std::strcmp(arg, "--name") == 0) {
      if (i + 1 >= argc) return usage("--name needs a base name");
      options.baseName = argv[++i];
    } else if (arg[0] == '-' && arg[1] == '-') {
      return usage((std::string("unknown option ") + arg).c_str());
    } else if (!haveDirectory) {
      options.directory = arg;
      haveDirectory = true;
    } else {
      return usage("only one directory may be given");
    }
  }
  if (!haveDirectory) return usage("no directory given");

  std::string error;
  if (!ned::makeDemoTile(options, &error)) {
    std::fprintf(stderr, "make_demo_tile: %s\n", error.c_str());
    return 1;
  }
  const std::string base =
      options.directory + "/" +
      (options.baseName.empty() ? ned::demoTileName(options.northLat, options.westLon)
                                : options.baseName);
  std::printf("wrote %s.hdr (%s header%s) and %s.flt (10812 x 10812 samples, 467597376 bytes)\n",
              base.c_str(), options.longHeader ? "long GIS" : "short",
              options.specialBlocks ? ", with the below-zero and no-data blocks" : "",
              base.c_str());
  return 0;
}
