// libFuzzer target for the GeoTIFF reader: any bytes as a TIFF file (the directory reader,
// then every block decoded and written as a GridFloat raster) and as a TIFF LZW code
// stream. Nothing may crash or read out of bounds; a refused file always says why; a
// converted raster has exactly the image's cells; LZW never writes past its output.
//
// Built with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, e.g.
//   clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I. fuzz/fuzz_tiff.cpp \
//     core/tile/tiff_image.cpp core/tile/tiff_decode.cpp core/tile/geotiff_tile.cpp \
//     core/tile/raster.cpp core/tile/tile_header.cpp core/numbers.cpp \
//     tests/support/scripted_desktop.cpp -lz -o build/fuzz_tiff
//   build/fuzz_tiff -max_len=65536 fuzz/corpus/tiff
// The seeds in fuzz/corpus/tiff are small GeoTIFFs GDAL made of the project's terrain in
// each layout, compression and predictor the reader takes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/tile/geotiff_tile.h"
#include "core/tile/tiff_decode.h"
#include "core/tile/tiff_image.h"
#include "tests/support/scripted_desktop.h"

#define TIFF_FUZZ_CHECK(condition)                                                        \
  do {                                                                                    \
    if (!(condition)) {                                                                   \
      std::fprintf(stderr, "%s:%d: does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (false)

namespace {

// Images larger than this are read but not decoded: the run is about the bytes, not size.
constexpr uint64_t kMaxCells = uint64_t(1) << 20;

ssize_t countBytes(void* cookie, const char*, size_t size) {
  *static_cast<uint64_t*>(cookie) += size;
  return static_cast<ssize_t>(size);
}

void fuzzFile(const uint8_t* data, size_t size) {
  ned::TiffMemoryBytes bytes(data, size);
  ned::TiffImage image;
  std::string problem;
  if (!ned::readTiffImage(bytes, image, problem)) {
    TIFF_FUZZ_CHECK(!problem.empty());
    return;
  }
  TIFF_FUZZ_CHECK(problem.empty());
  TIFF_FUZZ_CHECK(image.blockOffsets.size() == uint64_t(image.blocksAcross) * image.blocksDown);
  TIFF_FUZZ_CHECK(image.blockByteCounts.size() == image.blockOffsets.size());
  if (uint64_t(image.width) * image.height > kMaxCells) return;

  uint64_t written = 0;
  cookie_io_functions_t functions = {};
  functions.write = countBytes;
  std::FILE* out = fopencookie(&written, "w", functions);
  TIFF_FUZZ_CHECK(out != nullptr);
  ned::testing::ScriptedDesktop desktop;
  const bool converted = ned::writeGridFloatRaster(bytes, image, out, desktop, problem);
  std::fclose(out);
  if (converted) {
    TIFF_FUZZ_CHECK(written == uint64_t(image.width) * image.height * 4);
    TIFF_FUZZ_CHECK(!desktop.progressSteps.empty() && desktop.progressSteps.back() == 100);
  } else {
    TIFF_FUZZ_CHECK(!problem.empty());
  }
}

void fuzzLzw(const uint8_t* data, size_t size) {
  // The output's size comes from the first two bytes, so that runs end early and late.
  if (size < 2) return;
  const size_t outSize = (size_t(data[0]) << 8 | data[1]) + 1;
  std::vector<uint8_t> out(outSize + ned::kLzwSlack);
  size_t written = 0;
  ned::decodeLzw(data + 2, size - 2, out.data(), outSize, written);
  TIFF_FUZZ_CHECK(written <= outSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzFile(data, size);
  fuzzLzw(data, size);
  return 0;
}
