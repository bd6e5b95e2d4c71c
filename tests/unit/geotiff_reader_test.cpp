// The GeoTIFF reader against GDAL, on GeoTIFFs GDAL makes of real terrain
// (data/jacksboro_3s, 403 x 344 cells): every way of storing the samples converts to the
// raster GDAL reads from the same file, with GDAL's corner; what the reader cannot take is
// refused with a sentence saying why.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/tile/geotiff_tile.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::TempDir;
using testing::words;

constexpr int kCols = 403;
constexpr int kRows = 344;

// The terrain with a block of each no-data value the variants use (-inf among them), a
// few cells that are not a number and a block at sea level; the blocks that are not a variant's
// no-data are values like others.
std::string plantedSource(const TempDir& dir) {
  std::string raster = testing::readFile(testing::projectFile("data/jacksboro_3s.flt"));
  auto plant = [&](int row, int col, float value) {
    for (int r = row; r < row + 10; ++r)
      for (int c = col; c < col + 20; ++c)
        std::memcpy(&raster[(size_t(r) * kCols + c) * 4], &value, 4);
  };
  plant(20, 30, -999999.0f);
  plant(200, 100, -FLT_MAX);
  plant(300, 380, std::numeric_limits<float>::quiet_NaN());
  plant(100, 200, 0.0f);
  plant(150, 250, -std::numeric_limits<float>::infinity());
  testing::writeFile(dir.file("source.flt"), raster);
  testing::writeFile(dir.file("source.hdr"),
                     testing::readFile(testing::projectFile("data/jacksboro_3s.hdr")));
  return dir.file("source.flt");
}

struct Conversion {
  bool written = false;
  TiffImage image;
  std::string problem;
  std::vector<unsigned> steps;
};

// The reader on its own, any size: the directory, then the raster into out.
Conversion convert(const std::string& tif, const std::string& out) {
  Conversion result;
  TiffFileBytes bytes;
  std::remove(out.c_str());
  std::unique_ptr<OpenFile> file;
  if (bytes.open(tif) && readTiffImage(bytes, result.image, result.problem) &&
      (file = posixFileSystem().open(out, OpenMode::createNew)) != nullptr) {
    testing::ScriptedDesktop desktop;
    result.written = writeGridFloatRaster(bytes, result.image, *file, desktop, result.problem);
    result.steps = desktop.progressSteps;
  }
  return result;
}

void patchFile(const std::string& path, void (*patch)(std::string& bytes, const TiffImage& image)) {
  const Conversion intact = convert(path, path + ".flt");
  std::string bytes = testing::readFile(path);
  patch(bytes, intact.image);
  testing::writeFile(path, bytes);
}

// Deflate under its second code, 32946, and the no-data value as some tools write the
// largest float: with fewer digits than it needs, a hair beyond it.
void secondDeflateCodeAndShortNoData(std::string& bytes, const TiffImage&) {
  const std::string compression("\x03\x01\x03\x00\x01\x00\x00\x00\x08\x00", 10);  // 259, SHORT, 8
  bytes.replace(bytes.find(compression) + 8, 2, "\xb2\x80", 2);
  const std::string full = "-3.4028234663852886e+38";
  bytes.replace(bytes.find(full), full.size(), std::string("-3.4028235e+38\0\0\0\0\0\0\0\0\0", 23));
}

TEST(GeoTiffReader, ConvertsEveryStorageVariantAsGdalReadsIt) {
  TempDir dir;
  const std::string source = plantedSource(dir);
  // A grid turned by a hair: GDAL stores it as a transformation matrix.
  const std::string turned = dir.file("turned.vrt");
  ASSERT_TRUE(testing::runGdal({"gdal_translate", "-q", "-of", "VRT", source, turned}));
  std::string vrt = testing::readFile(turned);
  const size_t from = vrt.find("<GeoTransform>");
  vrt.replace(from, vrt.find("</GeoTransform>") - from,
              "<GeoTransform>-84.41375, 8.333333333333e-4, 1e-9, 36.732916666666554, 1e-9, "
              "-8.333333333333e-4");
  testing::writeFile(turned, vrt);

  const std::string tiles = " -co TILED=YES -co BLOCKXSIZE=256 -co BLOCKYSIZE=256";
  const std::string lzw3 = " -co COMPRESS=LZW -co PREDICTOR=3";
  const std::string deflate3 = " -co COMPRESS=DEFLATE -co PREDICTOR=3";
  struct Variant {
    const char* name;
    std::string options;  // of gdal_translate, or a whole gdal_create
    const std::string* input = nullptr;
    void (*patch)(std::string& bytes, const TiffImage& image) = nullptr;
  };
  const Variant variants[] = {
      {"uncompressed strips", ""},
      {"LZW strips", "-co COMPRESS=LZW"},
      {"LZW, horizontal predictor, tiles, no-data -999999",
       tiles + " -co COMPRESS=LZW -co PREDICTOR=2 -a_nodata -999999"},
      {"LZW, float predictor, tiles, no-data -999999", tiles + lzw3 + " -a_nodata -999999"},
      {"Deflate, float predictor, one 512 tile",
       deflate3 + " -co TILED=YES -co BLOCKXSIZE=512 -co BLOCKYSIZE=512"},
      {"Deflate, horizontal predictor, strips of 7 rows",
       "-co COMPRESS=DEFLATE -co PREDICTOR=2 -co BLOCKYSIZE=7"},
      {"Deflate as 32946, no-data -3.4028235e+38 written short",
       deflate3 + " -a_nodata -3.4028235e38", nullptr, secondDeflateCodeAndShortNoData},
      {"big-endian, uncompressed", "-co ENDIANNESS=BIG"},
      {"big-endian, Deflate, tiles", tiles + " -co ENDIANNESS=BIG -co COMPRESS=DEFLATE"},
      {"big-endian, LZW, float predictor, strips", lzw3 + " -co ENDIANNESS=BIG"},
      {"BigTIFF, LZW, float predictor, tiles", tiles + lzw3 + " -co BIGTIFF=YES"},
      {"big-endian BigTIFF, Deflate, horizontal predictor",
       "-co BIGTIFF=YES -co ENDIANNESS=BIG -co COMPRESS=DEFLATE -co PREDICTOR=2"},
      {"COG with overviews, no-data -3.4028235e38",
       "-of COG -co BLOCKSIZE=256 -a_nodata -3.4028235e38" + lzw3},
      {"COG, Deflate, float predictor, no-data nan",
       "-of COG -co BLOCKSIZE=256 -a_nodata nan" + deflate3},
      {"LZW, float predictor, no-data -inf", lzw3 + " -a_nodata -inf"},
      {"pixel is point", "-mo AREA_OR_POINT=Point" + lzw3},
      {"transformation matrix, pixel is point", "-mo AREA_OR_POINT=Point" + lzw3, &turned},
      {"tiles never written, no-data -999999",
       "gdal_create -q -outsize 403 344 -ot Float32 -a_nodata -999999 -a_ullr -84.41375 "
       "36.73291666667 "
       "-84.07791666667 36.44625 -co TILED=YES -co SPARSE_OK=TRUE -co COMPRESS=LZW"},
  };
  int index = 0;
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.name);
    const std::string tif = dir.file("variant" + std::to_string(index++) + ".tif");
    const bool create = variant.options.rfind("gdal_create", 0) == 0;
    std::vector<std::string> command =
        words(create ? variant.options : "gdal_translate -q " + variant.options);
    if (!create) command.push_back(variant.input != nullptr ? *variant.input : source);
    command.push_back(tif);
    ASSERT_TRUE(testing::runGdal(command));
    if (variant.patch != nullptr) patchFile(tif, variant.patch);
    testing::GdalInfo info;
    ASSERT_TRUE(testing::gdalInfo(tif, info));
    ASSERT_TRUE(testing::gdalGridFloat(tif, dir.file("gdal.flt")));

    const Conversion conversion = convert(tif, dir.file("ours.flt"));
    ASSERT_TRUE(conversion.written) << conversion.problem;
    EXPECT_TRUE(testing::sameFileBytes(dir.file("ours.flt"), dir.file("gdal.flt")));
    EXPECT_EQ(conversion.image.width, uint32_t(kCols));
    EXPECT_EQ(conversion.image.height, uint32_t(kRows));
    // gdalinfo -json gives 15 to 17 digits.
    const double* t = info.transform;
    EXPECT_NEAR(conversion.image.westX, t[0], 1e-12);
    EXPECT_NEAR(conversion.image.southY(), t[3] + kRows * t[5], 1e-12);
    EXPECT_NEAR(conversion.image.cellWidth, t[1], 1e-13 * t[1]);
    EXPECT_NEAR(conversion.image.cellHeight, -t[5], 1e-13 * t[1]);
    EXPECT_EQ(conversion.image.turned, t[2] != 0.0);
    EXPECT_EQ(info.overviews > 0, variant.options.find("COG") != std::string::npos);
    ASSERT_FALSE(conversion.steps.empty());
    EXPECT_EQ(conversion.steps.front(), 0u);
    EXPECT_EQ(conversion.steps.back(), 100u);
    EXPECT_TRUE(std::is_sorted(conversion.steps.begin(), conversion.steps.end()));
  }
}

// Writes 0xff over a block's data after its first two bytes: codes of all ones name
// strings an LZW table does not have yet, and no Deflate stream goes on like that.
void spoilFirstBlock(std::string& bytes, const TiffImage& image) {
  std::fill_n(bytes.begin() + static_cast<long>(image.blockOffsets[0]) + 2, 38, '\xff');
}

TEST(GeoTiffReader, RefusesWhatItCannotReadAndSaysWhy) {
  TempDir dir;
  // Cloud-optimized layouts: the directory and its offsets come before every tile.
  const std::string cog = "-of COG -co BLOCKSIZE=256 -co COMPRESS=";
  struct Refusal {
    std::string options;
    void (*damage)(std::string& bytes, const TiffImage& image);
    const char* problem;
  };
  const Refusal refusals[] = {
      {"-b 1 -b 1 -b 1", nullptr, "3 bands are not supported: a tile has one band of elevations."},
      {"-ot Int16", nullptr,
       "16-bit integer samples are not supported: a tile holds 32-bit floats."},
      {"-ot Byte -scale -co COMPRESS=JPEG", nullptr, "JPEG compression is not supported."},
      {"-co PROFILE=BASELINE", nullptr,
       "It has no georeferencing (ModelPixelScale and ModelTiepoint, or ModelTransformation)."},
      {"", [](std::string& bytes, const TiffImage&) { bytes = "ncols 403\r\n"; },
       "It is not a TIFF file."},
      {cog + "LZW", [](std::string& bytes, const TiffImage&) { bytes.resize(bytes.size() / 2); },
       "The file is damaged: a tile lies past its end."},
      {cog + "LZW",
       [](std::string& bytes, const TiffImage& image) {
         // The second tile's offset, where the directory's offsets hold it, past the end.
         const uint32_t offset = static_cast<uint32_t>(image.blockOffsets[1]);
         const uint32_t past = static_cast<uint32_t>(bytes.size()) + 100;
         bytes.replace(bytes.find(std::string(reinterpret_cast<const char*>(&offset), 4)), 4,
                       reinterpret_cast<const char*>(&past), 4);
       },
       "The file is damaged: a tile lies past its end."},
      {cog + "LZW", spoilFirstBlock, "The file is damaged: the LZW data of a tile is corrupt."},
      {cog + "DEFLATE", spoilFirstBlock,
       "The file is damaged: the Deflate data of a tile is corrupt."},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.problem);
    const std::string tif = dir.file("refused.tif");
    std::vector<std::string> command = words("gdal_translate -q " + refusal.options);
    command.push_back(testing::projectFile("data/jacksboro_3s.flt"));
    command.push_back(tif);
    ASSERT_TRUE(testing::runGdal(command));
    if (refusal.damage != nullptr) patchFile(tif, refusal.damage);
    const Conversion conversion = convert(tif, dir.file("ours.flt"));
    EXPECT_FALSE(conversion.written);
    EXPECT_EQ(conversion.problem, refusal.problem);
  }
}

}  // namespace
}  // namespace ned
