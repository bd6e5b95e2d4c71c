// libFuzzer target for the GeoTIFF reader: any bytes as a TIFF file (the directory reader,
// then every block decoded and written as a GridFloat raster, and decoded again a row at
// a time) and as a TIFF LZW code stream (whole, and in parts from pieces of input).
// Nothing may crash or read out of bounds; a refused file always says why; a converted
// raster has exactly the image's cells; a block or a stream decoded part by part gives
// what it gives whole, and fails where it fails whole.
// The seeds in fuzz/corpus/tiff are small GeoTIFFs GDAL made of the project's terrain in
// each layout, compression and predictor the reader takes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

  // Every block whole and a row at a time: the same cells, or the same failure.
  ned::TiffBlockDecoder whole(image, -9999.0f);
  ned::TiffBlockDecoder rows(image, -9999.0f, 1);
  FUZZ_CHECK(rows.partRows() == 1);
  std::vector<float> a;
  std::vector<float> b;
  for (size_t index = 0; index < image.blockOffsets.size(); ++index) {
    const size_t cells = size_t(whole.rowsOf(index)) * whole.colsOf(index);
    a.assign(cells, 1.0f);
    b.assign(cells, 2.0f);
    std::string problemA;
    std::string problemB;
    const bool decodedA = whole.decode(bytes, index, a.data(), whole.colsOf(index), problemA);
    const bool decodedB = rows.decode(bytes, index, b.data(), rows.colsOf(index), problemB);
    FUZZ_CHECK(decodedA == decodedB && problemA == problemB);
    if (decodedA) FUZZ_CHECK(std::memcmp(a.data(), b.data(), cells * sizeof(float)) == 0);
  }
}

void fuzzLzw(const uint8_t* data, size_t size) {
  // The output's size, the parts' and the input pieces' come from the first four bytes.
  if (size < 4) return;
  const size_t outSize = (size_t(data[0]) << 8 | data[1]) + 1;
  const size_t partSize = size_t(data[2]) * 4 + 1;
  const size_t pieceSize = data[3] % 32 + 1;
  const uint8_t* in = data + 4;
  const size_t inSize = size - 4;
  using Status = ned::LzwDecoder::Status;

  ned::LzwDecoder whole(outSize, 0);
  whole.start();
  whole.feed(in, inSize);
  const Status wholeStatus = whole.fill(outSize);
  FUZZ_CHECK((wholeStatus == Status::ready) == (whole.size() >= outSize));
  const size_t wholeSize = std::min(whole.size(), outSize);

  ned::LzwDecoder parts(partSize, outSize);
  parts.start();
  size_t fed = 0;
  size_t done = 0;
  while (done < outSize) {
    const size_t count = std::min(partSize, outSize - done);
    Status status = parts.fill(count);
    while (status == Status::hungry && fed < inSize) {
      const size_t piece = std::min(pieceSize, inSize - fed);
      parts.feed(in + fed, piece);
      fed += piece;
      status = parts.fill(count);
    }
    const size_t got = std::min(parts.size(), count);
    FUZZ_CHECK(done + got <= wholeSize);
    FUZZ_CHECK(std::memcmp(parts.part(), whole.part() + done, got) == 0);
    if (status != Status::ready) {
      FUZZ_CHECK(status == wholeStatus && done + got == wholeSize);
      return;
    }
    parts.release();
    done += count;
  }
  FUZZ_CHECK(wholeStatus == Status::ready);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzFile(data, size);
  fuzzLzw(data, size);
  return 0;
}
