// The GeoTIFF reader against GDAL, on GeoTIFFs GDAL makes of real terrain
// (data/jacksboro_3s, 403 x 344 cells, and the demo tile, 10812 x 10812): every way of
// storing the samples converts to the raster GDAL reads from the same file, with GDAL's
// corner; what the reader cannot take is refused with a sentence saying why.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/tile/geotiff_tile.h"
#include "core/tile/tile_open.h"
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
  if (bytes.open(posixFileSystem(), tif) && readTiffImage(bytes, result.image, result.problem) &&
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

// The planar configuration's entry (284, SHORT, 1, contiguous) turned into a predictor
// tag of an uncompressed file (317, SHORT, 1, predictor), in its place in the tag order.
template <char predictor>
void predictorOfUncompressed(std::string& bytes, const TiffImage&) {
  const size_t at = bytes.find(std::string("\x1c\x01\x03\x00\x01\x00\x00\x00\x01\x00", 10));
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 10, std::string("\x3d\x01\x03\x00\x01\x00\x00\x00", 8) + predictor + '\0');
}

// The no-data text -999999 replaced by another of the same length, nulls included.
template <const char* text>
void noDataText(std::string& bytes, const TiffImage&) {
  const size_t at = bytes.find(std::string("-999999\0", 8));
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 8, text, 8);
}
constexpr char kEmptyBeforeNull[] = "\0abc\0\0\0";  // no no-data, whatever follows the null
constexpr char kBlank[] = " \0\0\0\0\0\0";          // 0

TEST(GeoTiffReader, ConvertsEveryStorageVariantAsGdalReadsIt) {
  TempDir dir;
  const std::string source = plantedSource(dir);
  // A grid turned by a hair, both ways or one: GDAL stores it as a transformation matrix.
  auto turnedGrid = [&](const std::string& name, const char* xPerRow, const char* yPerColumn) {
    const std::string path = dir.file(name);
    EXPECT_TRUE(testing::runGdal({"gdal_translate", "-q", "-of", "VRT", source, path}));
    std::string vrt = testing::readFile(path);
    const size_t from = vrt.find("<GeoTransform>");
    vrt.replace(from, vrt.find("</GeoTransform>") - from,
                std::string("<GeoTransform>-84.41375, 8.333333333333e-4, ") + xPerRow +
                    ", 36.732916666666554, " + yPerColumn + ", -8.333333333333e-4");
    testing::writeFile(path, vrt);
    return path;
  };
  const std::string turned = turnedGrid("turned.vrt", "1e-9", "1e-9");
  const std::string turnedX = turnedGrid("turned_x.vrt", "1e-9", "0");
  const std::string turnedY = turnedGrid("turned_y.vrt", "0", "1e-9");

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
      {"transformation matrix, x turned by the rows only", lzw3, &turnedX},
      {"transformation matrix, y turned by the columns only", lzw3, &turnedY},
      {"uncompressed, a predictor tag 2", "", nullptr, predictorOfUncompressed<2>},
      {"uncompressed, a predictor tag 3", "", nullptr, predictorOfUncompressed<3>},
      {"no-data text empty before its null", lzw3 + " -a_nodata -999999", nullptr,
       noDataText<kEmptyBeforeNull>},
      {"no-data text a blank", "-a_nodata -999999", nullptr, noDataText<kBlank>},
      {"tiles never written, no-data -999999",
       "gdal_create -q -outsize 403 344 -ot Float32 -a_nodata -999999 -a_ullr -84.41375 "
       "36.73291666667 "
       "-84.07791666667 36.44625 -co TILED=YES -co SPARSE_OK=TRUE -co COMPRESS=LZW"},
      {"strips never written, no no-data",
       "gdal_create -q -outsize 403 344 -ot Float32 -a_ullr -84.41375 36.73291666667 "
       "-84.07791666667 36.44625 -co SPARSE_OK=TRUE"},
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
    EXPECT_EQ(conversion.image.turned, t[2] != 0.0 || t[4] != 0.0);
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

// Halves the first block's byte count where the directory's counts hold it: its
// compressed data ends early.
void cutFirstBlockShort(std::string& bytes, const TiffImage& image) {
  std::string counts;
  for (const uint64_t count : image.blockByteCounts)
    counts.append(reinterpret_cast<const char*>(&count), 4);
  const size_t at = bytes.find(counts);
  ASSERT_NE(at, std::string::npos);
  const uint32_t half = static_cast<uint32_t>(image.blockByteCounts[0] / 2);
  bytes.replace(at, 4, reinterpret_cast<const char*>(&half), 4);
}

// The tile width's entry (322, SHORT, 256) made a LONG of 2^20 + 16: a row of one tile
// holds more than the conversion decodes at once.
void widenTiles(std::string& bytes, const TiffImage&) {
  const size_t at = bytes.find(std::string("\x42\x01\x03\x00\x01\x00\x00\x00\x00\x01", 10));
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 12, std::string("\x42\x01\x04\x00\x01\x00\x00\x00\x10\x00\x10\x00", 12));
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
      {"-ot Int32", nullptr,
       "32-bit integer samples are not supported: a tile holds 32-bit floats."},
      {"-co NBITS=16", nullptr,
       "16-bit float samples are not supported: a tile holds 32-bit floats."},
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
      {cog + "DEFLATE", cutFirstBlockShort,
       "The file is damaged: the Deflate data of a tile is corrupt."},
      {"-co TILED=YES", widenTiles, "The tiles of 1048592 x 256 cells are too large to convert."},
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

// Whole tiles of real terrain in blocks of every size: a row of any of them holds far
// more than the conversion puts together in memory, so each block goes out a part of its
// rows at a time, to its place in the raster. Opened as the programs open a GeoTIFF, each
// gives the raster GDAL reads from the first of them (GDAL writes every one of the same
// cells, and reads the same from each: reading it once saves seconds).
TEST(GeoTiffReader, ConvertsWholeTilesInLargeBlocksAsGdalReadsThem) {
  ASSERT_FALSE(testing::demoGeoTiff().empty());  // makes the demo tile's raster too
  const std::string terrain = testing::projectFile("build/demo/n37w085.flt");
  TempDir dir;
  const std::string tif = dir.file("tile.tif");
  const std::string gdal = dir.file("gdal.flt");
  struct Layout {
    const char* name;
    const char* options;
    bool tiled;
    size_t blocks;
  };
  const Layout layouts[] = {
      {"tiles of 2048 x 2048, LZW, floating-point predictor",
       "-co TILED=YES -co BLOCKXSIZE=2048 -co BLOCKYSIZE=2048 -co COMPRESS=LZW -co PREDICTOR=3",
       true, 36},
      {"strips of 2000 rows, Deflate, horizontal predictor",
       "-co BLOCKYSIZE=2000 -co COMPRESS=DEFLATE -co PREDICTOR=2", false, 6},
      {"one strip of the whole tile, uncompressed", "-co BLOCKYSIZE=10812", false, 1},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.name);
    std::vector<std::string> command =
        words(std::string("gdal_translate -q -a_srs EPSG:4269 ") + layout.options);
    command.insert(command.end(), {terrain, tif});
    ASSERT_TRUE(testing::runGdal(command));
    TiffFileBytes bytes;
    TiffImage image;
    std::string problem;
    ASSERT_TRUE(bytes.open(posixFileSystem(), tif) && readTiffImage(bytes, image, problem))
        << problem;
    EXPECT_EQ(image.tiled, layout.tiled);
    EXPECT_EQ(image.blockOffsets.size(), layout.blocks);
    if (&layout == layouts) {
      ASSERT_TRUE(testing::gdalGridFloat(tif, gdal));
    }

    testing::ScriptedDesktop desktop;
    desktop.chooseFile(tif);
    TileHeader header;
    ASSERT_EQ(openTile(desktop, Program::extractor, header), TileOpenResult::accepted);
    EXPECT_TRUE(desktop.messages.empty());
    ASSERT_FALSE(desktop.progressSteps.empty());
    EXPECT_EQ(desktop.progressSteps.back(), 100u);
    EXPECT_EQ(header.rasterPath, dir.file("tile.flt"));
    EXPECT_TRUE(testing::sameFileBytes(header.rasterPath, gdal));
    for (const char* name : {"tile.tif", "tile.flt", "tile.hdr", "tile.source"})
      std::remove(dir.file(name).c_str());
  }
}

// Cells in degrees only where the keys say the model is geographic; a projected, local or
// geocentric model, or none at all, has its cells in other units.
TEST(GeoTiffReader, TakesTheCellsForDegreesOnlyInAGeographicModel) {
  TempDir dir;
  struct Model {
    const char* name;
    const char* srs;  // gdal_create's -a_srs, or none
    void (*patch)(std::string& bytes, const TiffImage& image);
    bool geographic;
  };
  const Model models[] = {
      {"geographic, NAD83", "EPSG:4269", nullptr, true},
      {"projected, UTM 16N", "EPSG:32616", nullptr, false},
      {"projected CRS key without a model type", "EPSG:32616",
       [](std::string& bytes, const TiffImage&) {
         // The model type key (1024, in place, 1 value, projected) turned into an unknown key.
         const std::string key("\x00\x04\x00\x00\x01\x00\x01\x00", 8);
         const size_t at = bytes.find(key);
         ASSERT_NE(at, std::string::npos);
         bytes[at + 1] = '\x03';
       },
       false},
      {"local, in metres (no model type)", "LOCAL_CS[\"metres\",UNIT[\"metre\",1]]", nullptr,
       false},
      {"geocentric (model type 3)", "EPSG:4978", nullptr, false},
      {"no keys at all", nullptr, nullptr, false},
  };
  for (const Model& model : models) {
    SCOPED_TRACE(model.name);
    const std::string tif = dir.file("model.tif");
    std::vector<std::string> command =
        words("gdal_create -q -outsize 4 4 -ot Float32 -a_ullr 0 4 4 0");
    if (model.srs != nullptr) command.insert(command.end(), {"-a_srs", model.srs});
    command.push_back(tif);
    ASSERT_TRUE(testing::runGdal(command));
    if (model.patch != nullptr) patchFile(tif, model.patch);
    const Conversion conversion = convert(tif, dir.file("ours.flt"));
    ASSERT_TRUE(conversion.written) << conversion.problem;
    EXPECT_EQ(conversion.image.geographic, model.geographic);
  }
}

// A tile's geometry: 10812 x 10812 north-up cells of 1/10800 degree, within the rounding
// of the numbers a file gives, in a geographic model.
TEST(GeoTiffReader, KnowsATilesGeometry) {
  TiffImage tile;
  tile.width = tile.height = 10812;
  tile.cellWidth = tile.cellHeight = 1.0 / 10800;
  tile.geographic = true;
  struct Case {
    const char* name;
    void (*change)(TiffImage& image);
    bool isTile;
  };
  const Case cases[] = {
      {"the tile", [](TiffImage&) {}, true},
      {"cells wider by 1e-12", [](TiffImage& i) { i.cellWidth *= 1 + 1e-12; }, true},
      {"cells narrower by 1e-12", [](TiffImage& i) { i.cellWidth *= 1 - 1e-12; }, true},
      {"cells taller by 1e-12", [](TiffImage& i) { i.cellHeight *= 1 + 1e-12; }, true},
      {"cells lower by 1e-12", [](TiffImage& i) { i.cellHeight *= 1 - 1e-12; }, true},
      {"cells wider by 2e-9", [](TiffImage& i) { i.cellWidth *= 1 + 2e-9; }, false},
      {"cells narrower by 2e-9", [](TiffImage& i) { i.cellWidth *= 1 - 2e-9; }, false},
      {"cells taller by 2e-9", [](TiffImage& i) { i.cellHeight *= 1 + 2e-9; }, false},
      {"cells lower by 2e-9", [](TiffImage& i) { i.cellHeight *= 1 - 2e-9; }, false},
      {"a column short", [](TiffImage& i) { i.width -= 1; }, false},
      {"a row more", [](TiffImage& i) { i.height += 1; }, false},
      {"turned", [](TiffImage& i) { i.turned = true; }, false},
      {"not geographic", [](TiffImage& i) { i.geographic = false; }, false},
  };
  for (const Case& c : cases) {
    TiffImage image = tile;
    c.change(image);
    std::string problem;
    EXPECT_EQ(tileFit(image, problem) == TileFit::fits, c.isTile) << c.name;
  }
}

}  // namespace
}  // namespace ned
