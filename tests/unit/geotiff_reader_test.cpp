// The GeoTIFF reader against GDAL, on GeoTIFFs GDAL makes of real terrain
// (data/jacksboro_3s, 403 x 344 cells): every way of storing the samples converts to the
// raster GDAL reads from the same file, with GDAL's corner; what the reader cannot take is
// refused with a sentence saying why.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/tile/geotiff_tile.h"
#include "core/tile/tiff_image.h"
#include "tests/support/gdal_fixtures.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/tile_files.h"

namespace ned {
namespace {

using testing::TempDir;

constexpr int kCols = 403;
constexpr int kRows = 344;

// The terrain with a block of each no-data value the variants use and a few cells that
// are not a number; the blocks that are not a variant's no-data are values like others.
std::string plantedSource(const TempDir& dir) {
  std::string raster = testing::readFile(testing::projectFile("data/jacksboro_3s.flt"));
  EXPECT_EQ(raster.size(), size_t(kCols) * kRows * 4);
  auto plant = [&](int row, int col, float value) {
    for (int r = row; r < row + 10; ++r)
      for (int c = col; c < col + 20; ++c)
        std::memcpy(&raster[(size_t(r) * kCols + c) * 4], &value, 4);
  };
  plant(20, 30, -999999.0f);
  plant(200, 100, -FLT_MAX);
  plant(300, 380, std::numeric_limits<float>::quiet_NaN());
  testing::writeFile(dir.file("source.flt"), raster);
  testing::writeFile(dir.file("source.hdr"),
                     testing::readFile(testing::projectFile("data/jacksboro_3s.hdr")));
  return dir.file("source.flt");
}

bool makeTiff(const std::string& source, const std::vector<std::string>& options,
              const std::string& tif) {
  std::vector<std::string> arguments = {"gdal_translate", "-q"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.push_back(source);
  arguments.push_back(tif);
  return testing::runGdal(arguments);
}

struct Conversion {
  bool read = false;
  bool written = false;
  TiffImage image;
  std::string problem;
  std::vector<unsigned> steps;
};

// The reader on its own, any size: the directory, then the raster into out.
Conversion convert(const std::string& tif, const std::string& out) {
  Conversion result;
  TiffFileBytes bytes;
  if (!bytes.open(tif)) return result;
  result.read = readTiffImage(bytes, result.image, result.problem);
  if (!result.read) return result;
  std::FILE* file = std::fopen(out.c_str(), "wb");
  if (file == nullptr) return result;
  testing::ScriptedDesktop desktop;
  result.written = writeGridFloatRaster(bytes, result.image, file, desktop, result.problem);
  result.written = std::fclose(file) == 0 && result.written;
  result.steps = desktop.progressSteps;
  return result;
}

TEST(GeoTiffReader, ConvertsEveryStorageVariantAsGdalReadsIt) {
  TempDir dir;
  const std::string source = plantedSource(dir);
  // A grid turned by a hair: GDAL stores it as a transformation matrix.
  const std::string turned = dir.file("turned.vrt");
  ASSERT_TRUE(testing::runGdal({"gdal_translate", "-q", "-of", "VRT", source, turned}));
  std::string vrt = testing::readFile(turned);
  const size_t from = vrt.find("<GeoTransform>");
  const size_t to = vrt.find("</GeoTransform>");
  ASSERT_NE(to, std::string::npos);
  vrt.replace(from, to - from,
              "<GeoTransform>-84.41375, 8.333333333333e-4, 1e-9, 36.732916666666554, 1e-9, "
              "-8.333333333333e-4");
  testing::writeFile(turned, vrt);

  const std::vector<std::string> lzw3 = {"-co", "COMPRESS=LZW", "-co", "PREDICTOR=3"};
  const std::vector<std::string> tiles256 = {"-co", "TILED=YES",     "-co", "BLOCKXSIZE=256",
                                             "-co", "BLOCKYSIZE=256"};
  auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  auto translate = [&](const std::vector<std::string>& options, const std::string& input) {
    return with(with({"gdal_translate", "-q"}, options), {input});
  };
  auto fromSource = [&](const std::vector<std::string>& options) {
    return translate(options, source);
  };
  using Patch = void (*)(std::string & bytes);
  struct Variant {
    const char* name;
    std::vector<std::string> command;  // the output's name follows
    Patch patch = nullptr;
  };
  const Variant variants[] = {
      {"uncompressed strips", fromSource({})},
      {"LZW strips", fromSource({"-co", "COMPRESS=LZW"})},
      {"LZW, horizontal predictor, 256 tiles, no-data -999999",
       fromSource(
           with(tiles256, {"-co", "COMPRESS=LZW", "-co", "PREDICTOR=2", "-a_nodata", "-999999"}))},
      {"LZW, float predictor, 256 tiles, no-data -999999",
       fromSource(with(with(tiles256, lzw3), {"-a_nodata", "-999999"}))},
      {"Deflate, float predictor, one 512 tile",
       fromSource({"-co", "COMPRESS=DEFLATE", "-co", "PREDICTOR=3", "-co", "TILED=YES", "-co",
                   "BLOCKXSIZE=512", "-co", "BLOCKYSIZE=512"})},
      {"Deflate, horizontal predictor, strips of 7 rows",
       fromSource({"-co", "COMPRESS=DEFLATE", "-co", "PREDICTOR=2", "-co", "BLOCKYSIZE=7"})},
      {"Deflate under its second code 32946, no-data -3.4028235e+38 written short",
       fromSource({"-co", "COMPRESS=DEFLATE", "-co", "PREDICTOR=3", "-a_nodata", "-3.4028235e38"}),
       [](std::string& bytes) {
         // Compression (259), one SHORT: 8 becomes 32946.
         const std::string entry("\x03\x01\x03\x00\x01\x00\x00\x00\x08\x00", 10);
         bytes.replace(bytes.find(entry) + 8, 2, "\xb2\x80", 2);
         // The largest float with fewer digits than it needs, as some tools write it.
         const std::string full = "-3.4028234663852886e+38";
         const std::string shorter = "-3.4028235e+38";
         bytes.replace(bytes.find(full), full.size(),
                       shorter + std::string(full.size() - shorter.size(), '\0'));
       }},
      {"big-endian, uncompressed", fromSource({"-co", "ENDIANNESS=BIG"})},
      {"big-endian, Deflate, 256 tiles",
       fromSource(with(tiles256, {"-co", "ENDIANNESS=BIG", "-co", "COMPRESS=DEFLATE"}))},
      {"big-endian, LZW, float predictor, strips",
       fromSource(with(lzw3, {"-co", "ENDIANNESS=BIG"}))},
      {"BigTIFF, LZW, float predictor, 256 tiles",
       fromSource(with(with(tiles256, lzw3), {"-co", "BIGTIFF=YES"}))},
      {"big-endian BigTIFF, Deflate, horizontal predictor",
       fromSource({"-co", "BIGTIFF=YES", "-co", "ENDIANNESS=BIG", "-co", "COMPRESS=DEFLATE", "-co",
                   "PREDICTOR=2"})},
      {"COG with overviews, no-data -3.4028235e38",
       fromSource(
           with({"-of", "COG", "-co", "BLOCKSIZE=256", "-a_nodata", "-3.4028235e38"}, lzw3))},
      {"COG, Deflate, float predictor, no-data nan",
       fromSource({"-of", "COG", "-co", "BLOCKSIZE=256", "-co", "COMPRESS=DEFLATE", "-co",
                   "PREDICTOR=3", "-a_nodata", "nan"})},
      {"pixel is point", fromSource(with(lzw3, {"-mo", "AREA_OR_POINT=Point"}))},
      {"transformation matrix, pixel is point",
       translate(with(lzw3, {"-mo", "AREA_OR_POINT=Point"}), turned)},
      {"tiles never written, no-data -999999",
       {"gdal_create",
        "-q",
        "-outsize",
        "403",
        "344",
        "-ot",
        "Float32",
        "-a_nodata",
        "-999999",
        "-a_ullr",
        "-84.41375",
        "36.73291666667",
        "-84.07791666667",
        "36.44625",
        "-co",
        "TILED=YES",
        "-co",
        "SPARSE_OK=TRUE",
        "-co",
        "COMPRESS=LZW"}},
  };
  int index = 0;
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.name);
    const std::string tif = dir.file("variant" + std::to_string(index++) + ".tif");
    ASSERT_TRUE(testing::runGdal(with(variant.command, {tif})));
    if (variant.patch != nullptr) {
      std::string bytes = testing::readFile(tif);
      variant.patch(bytes);
      testing::writeFile(tif, bytes);
    }
    testing::GdalInfo info;
    ASSERT_TRUE(testing::gdalInfo(tif, info));
    ASSERT_EQ(info.width, kCols);
    ASSERT_TRUE(testing::gdalGridFloat(tif, dir.file("gdal.flt")));

    const Conversion conversion = convert(tif, dir.file("ours.flt"));
    ASSERT_TRUE(conversion.read) << conversion.problem;
    ASSERT_TRUE(conversion.written) << conversion.problem;
    EXPECT_TRUE(testing::sameFileBytes(dir.file("ours.flt"), dir.file("gdal.flt")));
    EXPECT_EQ(conversion.image.width, uint32_t(kCols));
    EXPECT_EQ(conversion.image.height, uint32_t(kRows));
    // gdalinfo -json gives 15 to 17 digits.
    const double* t = info.transform;
    EXPECT_NEAR(conversion.image.westX, t[0], 1e-12);
    EXPECT_NEAR(conversion.image.northY, t[3], 1e-12);
    EXPECT_NEAR(conversion.image.southY(), t[3] + kRows * t[5], 1e-12);
    EXPECT_NEAR(conversion.image.cellWidth, t[1], 1e-13 * t[1]);
    EXPECT_NEAR(conversion.image.cellHeight, -t[5], 1e-13 * t[1]);
    EXPECT_EQ(conversion.image.turned, info.transform[2] != 0.0);
    ASSERT_FALSE(conversion.steps.empty());
    EXPECT_EQ(conversion.steps.front(), 0u);
    EXPECT_EQ(conversion.steps.back(), 100u);
    EXPECT_TRUE(std::is_sorted(conversion.steps.begin(), conversion.steps.end()));
    if (std::string(variant.name).rfind("COG", 0) == 0) {
      EXPECT_GT(info.overviews, 0);
    }
  }
}

// The first place of a 32-bit little-endian value in the bytes.
size_t findWord(const std::string& bytes, uint32_t value) {
  char word[4];
  for (int b = 0; b < 4; ++b) word[b] = static_cast<char>(value >> (8 * b));
  return bytes.find(std::string(word, 4));
}

TEST(GeoTiffReader, RefusesWhatItCannotReadAndSaysWhy) {
  TempDir dir;
  const std::string source = testing::projectFile("data/jacksboro_3s.flt");
  // Cloud-optimized layouts: the directory and its offsets come before every tile.
  const std::vector<std::string> lzwCog = {"-of",           "COG", "-co",
                                           "BLOCKSIZE=256", "-co", "COMPRESS=LZW"};
  const std::vector<std::string> deflateCog = {"-of",           "COG", "-co",
                                               "BLOCKSIZE=256", "-co", "COMPRESS=DEFLATE"};
  using Damage = void (*)(std::string & bytes, const TiffImage& image);
  struct Refusal {
    const char* name;
    std::vector<std::string> options;
    Damage damage;
    const char* problem;
  };
  const Refusal refusals[] = {
      {"three bands",
       {"-b", "1", "-b", "1", "-b", "1"},
       nullptr,
       "3 bands are not supported: a tile has one band of elevations."},
      {"16-bit integers",
       {"-ot", "Int16"},
       nullptr,
       "16-bit integer samples are not supported: a tile holds 32-bit floats."},
      {"JPEG",
       {"-ot", "Byte", "-scale", "-co", "COMPRESS=JPEG"},
       nullptr,
       "JPEG compression is not supported."},
      {"no georeferencing",
       {"-co", "PROFILE=BASELINE"},
       nullptr,
       "It has no georeferencing (ModelPixelScale and ModelTiepoint, or ModelTransformation)."},
      {"not a TIFF",
       {},
       [](std::string& bytes, const TiffImage&) { bytes = "ncols 403\r\n"; },
       "It is not a TIFF file."},
      {"truncated", lzwCog,
       [](std::string& bytes, const TiffImage&) { bytes.resize(bytes.size() / 2); },
       "The file is damaged: a tile lies past its end."},
      {"a tile offset past the end", lzwCog,
       [](std::string& bytes, const TiffImage& image) {
         const size_t at = findWord(bytes, static_cast<uint32_t>(image.blockOffsets[1]));
         const uint32_t past = static_cast<uint32_t>(bytes.size()) + 100;
         std::memcpy(&bytes[at], &past, 4);
       },
       "The file is damaged: a tile lies past its end."},
      {"a corrupt LZW code stream", lzwCog,
       [](std::string& bytes, const TiffImage& image) {
         // Codes of all ones name strings the table does not have yet.
         for (uint64_t i = 2; i < 40; ++i) bytes[image.blockOffsets[0] + i] = '\xff';
       },
       "The file is damaged: the LZW data of a tile is corrupt."},
      {"a corrupt Deflate stream", deflateCog,
       [](std::string& bytes, const TiffImage& image) {
         for (uint64_t i = 2; i < 40; ++i) bytes[image.blockOffsets[0] + i] = '\xff';
       },
       "The file is damaged: the Deflate data of a tile is corrupt."},
  };
  int index = 0;
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.name);
    const std::string tif = dir.file("refused" + std::to_string(index++) + ".tif");
    ASSERT_TRUE(makeTiff(source, refusal.options, tif));
    if (refusal.damage != nullptr) {
      const Conversion intact = convert(tif, dir.file("ours.flt"));
      ASSERT_TRUE(intact.written) << intact.problem;
      std::string bytes = testing::readFile(tif);
      refusal.damage(bytes, intact.image);
      testing::writeFile(tif, bytes);
    }
    const Conversion conversion = convert(tif, dir.file("ours.flt"));
    EXPECT_FALSE(conversion.written);
    EXPECT_EQ(conversion.problem, refusal.problem);
  }
}

}  // namespace
}  // namespace ned
