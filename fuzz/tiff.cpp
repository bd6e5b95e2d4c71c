// libFuzzer target for the GeoTIFF reader: any bytes as a TIFF file (the directory reader,
// then every block decoded and written as a GridFloat raster) and as a TIFF LZW code
// stream. Nothing may crash or read out of bounds; a refused file always says why; a
// converted raster has exactly the image's cells; LZW never writes past its output.
// The seeds in fuzz/corpus/tiff are small GeoTIFFs GDAL made of the project's terrain in
// each layout, compression and predictor the reader takes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/tile/geotiff_tile.h"
#include "core/tile/tiff_decode.h"
#include "core/tile/tiff_image.h"
#include "fuzz/fuzz_check.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/scripted_file_system.h"

namespace {

// Images larger than this are read but not decoded: the run is about the bytes, not size.
constexpr uint64_t kMaxCells = uint64_t(1) << 20;

void fuzzFile(const uint8_t* data, size_t size) {
  ned::TiffMemoryBytes bytes(data, size);
  ned::TiffImage image;
  std::string problem;
  if (!ned::readTiffImage(bytes, image, problem)) {
    FUZZ_CHECK(!problem.empty());
    return;
  }
  FUZZ_CHECK(problem.empty());
  FUZZ_CHECK(image.blockOffsets.size() == uint64_t(image.blocksAcross) * image.blocksDown);
  FUZZ_CHECK(image.blockByteCounts.size() == image.blockOffsets.size());
  if (uint64_t(image.width) * image.height > kMaxCells) return;

  ned::testing::MemoryFile out;
  ned::testing::ScriptedDesktop desktop;
  const bool converted = ned::writeGridFloatRaster(bytes, image, out, desktop, problem);
  if (converted) {
    FUZZ_CHECK(out.bytes.size() == uint64_t(image.width) * image.height * 4);
    FUZZ_CHECK(!desktop.progressSteps.empty() && desktop.progressSteps.back() == 100);
  } else {
    FUZZ_CHECK(!problem.empty());
  }
}

void fuzzLzw(const uint8_t* data, size_t size) {
  // The output's size comes from the first two bytes, so that runs end early and late.
  if (size < 2) return;
  const size_t outSize = (size_t(data[0]) << 8 | data[1]) + 1;
  std::vector<uint8_t> out(outSize + ned::kLzwSlack);
  size_t written = 0;
  ned::decodeLzw(data + 2, size - 2, out.data(), outSize, written);
  FUZZ_CHECK(written <= outSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzFile(data, size);
  fuzzLzw(data, size);
  return 0;
}
