#include "tools/demo_tile.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/numbers.h"

#ifndef TERRAVANE_SOURCE_DIR
#error "TERRAVANE_SOURCE_DIR must name the source tree"
#endif

namespace ned {

namespace {

constexpr int32_t kCellsPerSide = 10812;
constexpr int32_t kCellsPerDegree = 10800;
constexpr int32_t kOverlapCells = 6;
constexpr int32_t kRowBytes = kCellsPerSide * 4;
constexpr int32_t kRowsPerWrite = 64;  // about 2.8 MB per write
constexpr float kNoData = -9999.0f;

// A header line: the keyword padded with blanks to the value's column.
std::string headerLine(const char* keyword, const char* value, size_t valueColumn) {
  std::string line = keyword;
  if (line.size() < valueColumn) line.append(valueColumn - line.size(), ' ');
  line += value;
  line += "\r\n";
  return line;
}

bool sameWordIgnoringCase(const std::string& a, const char* b) {
  const size_t length = std::strlen(b);
  if (a.size() != length) return false;
  for (size_t i = 0; i < length; ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool readWholeFile(const std::string& path, std::string* bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return !failed;
}

float decodeLittleEndianFloat(const unsigned char* bytes) {
  const uint32_t bits = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                        (static_cast<uint32_t>(bytes[2]) << 16) |
                        (static_cast<uint32_t>(bytes[3]) << 24);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void encodeLittleEndian(const float* values, size_t count, unsigned char* out) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t bits;
    std::memcpy(&bits, &values[i], sizeof bits);
    out[0] = static_cast<unsigned char>(bits);
    out[1] = static_cast<unsigned char>(bits >> 8);
    out[2] = static_cast<unsigned char>(bits >> 16);
    out[3] = static_cast<unsigned char>(bits >> 24);
    out += 4;
  }
}

// Source index and weight (in 1/factor steps) of the interpolation for one output index.
struct Tap {
  int32_t index = 0;
  int32_t weight = 0;  // 0..factor-1: the share of the next source sample
};

Tap tapFor(int32_t outIndex, int32_t factor, int32_t sourceLength) {
  // The output centre lies (outIndex - factor/2)/factor source samples from the first
  // source centre.
  const int32_t steps = outIndex - factor / 2;
  Tap tap;
  if (steps <= 0) return tap;
  tap.index = steps / factor;
  tap.weight = steps % factor;
  if (tap.index >= sourceLength - 1) {
    tap.index = sourceLength - 1;
    tap.weight = 0;
  }
  return tap;
}

void removeQuietly(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

bool writeBytes(const std::string& path, const std::string& bytes, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot create " + path;
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool writeRaster(const std::string& path, const DemoTerrain& terrain, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot create " + path;
    return false;
  }
  std::vector<float> rows(static_cast<size_t>(kRowsPerWrite) * kCellsPerSide);
  std::vector<unsigned char> bytes(static_cast<size_t>(kRowsPerWrite) * kRowBytes);
  bool written = true;
  for (int32_t first = 0; first < kCellsPerSide && written; first += kRowsPerWrite) {
    const int32_t count =
        first + kRowsPerWrite <= kCellsPerSide ? kRowsPerWrite : kCellsPerSide - first;
    for (int32_t i = 0; i < count; ++i) {
      fillTileRow(terrain, first + i, &rows[static_cast<size_t>(i) * kCellsPerSide]);
    }
    const size_t samples = static_cast<size_t>(count) * kCellsPerSide;
    encodeLittleEndian(rows.data(), samples, bytes.data());
    written = std::fwrite(bytes.data(), 1, samples * 4, file) == samples * 4;
  }
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool validBaseName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("/\\") == std::string::npos;
}

}  // namespace

std::string defaultDemoSourceBase() {
  return std::string(TERRAVANE_SOURCE_DIR) + "/data/jacksboro_3s";
}

std::string demoTileName(int32_t northLat, int32_t westLon) {
  char name[32];
  std::snprintf(name, sizeof name, "n%02dw%03d", northLat, westLon);
  return name;
}

std::string demoTileHeaderText(bool longHeader, int32_t northLat, int32_t westLon) {
  const std::string west = std::to_string(westLon);
  if (!longHeader) {
    // As the elevation service ships it: keywords padded to 14 characters.
    const std::string xll = "-" + west + ".00055555556";
    const std::string yll = std::to_string(northLat - 2) + ".99944444444";
    return headerLine("ncols", "10812", 14) + headerLine("nrows", "10812", 14) +
           headerLine("xllcorner", xll.c_str(), 14) + headerLine("yllcorner", yll.c_str(), 14) +
           headerLine("cellsize", "0.00009259259259", 14) +
           headerLine("NODATA_value", "-9999", 14) + headerLine("byteorder", "LSBFIRST", 14);
  }
  // As GIS tools write it: the corner given as the centre of the north-west cell.
  const std::string ulx = "-" + west + ".0005092592587";
  const std::string uly = std::to_string(northLat) + ".0005092592587";
  return headerLine("BYTEORDER", "I", 15) + headerLine("LAYOUT", "BIL", 15) +
         headerLine("NROWS", "10812", 15) + headerLine("NCOLS", "10812", 15) +
         headerLine("NBANDS", "1", 15) + headerLine("NBITS", "32", 15) +
         headerLine("BANDROWBYTES", "43248", 15) + headerLine("TOTALROWBYTES", "43248", 15) +
         headerLine("PIXELTYPE", "FLOAT", 15) + headerLine("ULXMAP", ulx.c_str(), 15) +
         headerLine("ULYMAP", uly.c_str(), 15) + headerLine("XDIM", "0.000092592592593", 15) +
         headerLine("YDIM", "0.000092592592593", 15) + headerLine("NODATA", "-9999", 15);
}

bool readSourceGrid(const std::string& base, SourceGrid* source, std::string* error) {
  const std::string headerPath = base + ".hdr";
  const std::string rasterPath = base + ".flt";
  std::string text;
  if (!readWholeFile(headerPath, &text)) {
    *error = "cannot read " + headerPath;
    return false;
  }
  int32_t cols = -1;
  int32_t rows = -1;
  bool haveX = false, haveY = false, haveCell = false, littleEndian = true;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t keyEnd = line.find_first_of(" \t\r");
    const std::string keyword = line.substr(0, keyEnd);
    const char* value = keyEnd == std::string::npos ? "" : line.c_str() + keyEnd;
    if (sameWordIgnoringCase(keyword, "ncols")) {
      cols = parseLeadingInt(value);
    } else if (sameWordIgnoringCase(keyword, "nrows")) {
      rows = parseLeadingInt(value);
    } else if (sameWordIgnoringCase(keyword, "xllcorner")) {
      source->xllcorner = parseLeadingDouble(value);
      haveX = true;
    } else if (sameWordIgnoringCase(keyword, "yllcorner")) {
      source->yllcorner = parseLeadingDouble(value);
      haveY = true;
    } else if (sameWordIgnoringCase(keyword, "cellsize")) {
      source->cellsize = parseLeadingDouble(value);
      haveCell = true;
    } else if (sameWordIgnoringCase(keyword, "byteorder")) {
      littleEndian = line.find("LSBFIRST") != std::string::npos;
    }
  }
  if (cols <= 0 || rows <= 0 || cols > 100000 || rows > 100000 || !haveX || !haveY || !haveCell ||
      !(source->cellsize > 0.0)) {
    *error = headerPath + " does not give ncols, nrows, xllcorner, yllcorner and cellsize";
    return false;
  }
  if (!littleEndian) {
    *error = headerPath + " is not LSBFIRST";
    return false;
  }
  std::string raster;
  if (!readWholeFile(rasterPath, &raster)) {
    *error = "cannot read " + rasterPath;
    return false;
  }
  const size_t count = static_cast<size_t>(cols) * static_cast<size_t>(rows);
  if (raster.size() != count * 4) {
    *error = rasterPath + " does not hold " + std::to_string(cols) + " x " + std::to_string(rows) +
             " samples";
    return false;
  }
  source->grid.cols = cols;
  source->grid.rows = rows;
  source->grid.samples.resize(count);
  const auto* bytes = reinterpret_cast<const unsigned char*>(raster.data());
  for (size_t i = 0; i < count; ++i) {
    source->grid.samples[i] = decodeLittleEndianFloat(bytes + 4 * i);
  }
  return true;
}

ElevationGrid resampleBilinear(const ElevationGrid& source, int32_t factor) {
  ElevationGrid out;
  out.cols = source.cols * factor;
  out.rows = source.rows * factor;
  out.samples.resize(static_cast<size_t>(out.cols) * static_cast<size_t>(out.rows));
  std::vector<Tap> colTaps(static_cast<size_t>(out.cols));
  for (int32_t c = 0; c < out.cols; ++c) colTaps[c] = tapFor(c, factor, source.cols);
  const double whole = static_cast<double>(factor) * factor;
  float* target = out.samples.data();
  for (int32_t r = 0; r < out.rows; ++r) {
    const Tap rowTap = tapFor(r, factor, source.rows);
    const int32_t nextRow = rowTap.weight > 0 ? rowTap.index + 1 : rowTap.index;
    const double wy = rowTap.weight;
    for (int32_t c = 0; c < out.cols; ++c) {
      const Tap& colTap = colTaps[c];
      const int32_t nextCol = colTap.weight > 0 ? colTap.index + 1 : colTap.index;
      const double wx = colTap.weight;
      // Each weighted term is exact in double, and for elevations of a few thousand metres
      // so is their sum; only the division rounds, so the result does not depend on how
      // the compiler orders or fuses the arithmetic.
      const double sum = (factor - wx) * (factor - wy) * source.at(rowTap.index, colTap.index) +
                         wx * (factor - wy) * source.at(rowTap.index, nextCol) +
                         (factor - wx) * wy * source.at(nextRow, colTap.index) +
                         wx * wy * source.at(nextRow, nextCol);
      *target++ = static_cast<float>(sum / whole);
    }
  }
  return out;
}

bool placeSource(const SourceGrid& source, BlockPlacement* placement, std::string* error) {
  const long double cellsPerSample = static_cast<long double>(source.cellsize) * kCellsPerDegree;
  const int32_t factor = truncateToInt32(cellsPerSample + 0.5L);
  if (factor < 1 || factor % 2 == 0 || std::fabs(cellsPerSample - factor) > 1e-6L) {
    *error = "the source's cell size is not an odd multiple of 1/10800 degree";
    return false;
  }
  // Cells from the tile's north-west corner (37 N, 85 W) to the block's north-west corner.
  const long double west = static_cast<long double>(source.xllcorner);
  const long double north = static_cast<long double>(source.yllcorner) +
                            static_cast<long double>(source.grid.rows) * source.cellsize;
  const long double cols = (west + DemoTile::westLon) * kCellsPerDegree;
  const long double rows = (DemoTile::northLat - north) * kCellsPerDegree;
  // Nearest cell; a half (within the rounding of the decimal corner) goes south and east.
  const long double tolerance = 1e-6L;
  const long double firstCol = std::floor(cols + 0.5L + tolerance) + kOverlapCells;
  const long double firstRow = std::floor(rows + 0.5L + tolerance) + kOverlapCells;
  const long double lastCol = firstCol + static_cast<long double>(source.grid.cols) * factor;
  const long double lastRow = firstRow + static_cast<long double>(source.grid.rows) * factor;
  if (firstCol < 0 || firstRow < 0 || lastCol > kCellsPerSide || lastRow > kCellsPerSide) {
    *error = "the source does not lie inside the tile 36-37 N, 84-85 W";
    return false;
  }
  placement->factor = factor;
  placement->firstRow = truncateToInt32(firstRow);
  placement->firstCol = truncateToInt32(firstCol);
  return true;
}

int32_t mirrorIndex(int32_t offset, int32_t length) {
  const int32_t period = 2 * length;
  int32_t m = offset % period;
  if (m < 0) m += period;
  return m < length ? m : period - 1 - m;
}

bool specialBlockValue(int32_t row, int32_t col, float* value) {
  if (row < DemoTile::belowZeroFirstRow || row > DemoTile::belowZeroLastRow) return false;
  if (col >= DemoTile::noDataFirstCol && col <= DemoTile::noDataLastCol) {
    *value = kNoData;
    return true;
  }
  if (col < DemoTile::belowZeroFirstCol || col > DemoTile::belowZeroLastCol) return false;
  // A round bowl: -1 m on and outside the circle that touches the block's sides, falling
  // smoothly towards -40 m at the centre. Distances in half cells from the centre.
  constexpr int32_t span = DemoTile::specialSize - 1;
  const int32_t dy = 2 * (row - DemoTile::belowZeroFirstRow) - span;
  const int32_t dx = 2 * (col - DemoTile::belowZeroFirstCol) - span;
  const double reach = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
  const double radius = static_cast<double>(span) * span;
  const double share = reach < radius ? 1.0 - reach / radius : 0.0;
  const double shallowest = DemoTile::belowZeroShallowest;
  const double deepest = DemoTile::belowZeroDeepest;
  *value = static_cast<float>(shallowest + (deepest - shallowest) * share);
  return true;
}

DemoTerrain prepareDemoTerrain(const SourceGrid& source, const BlockPlacement& placement,
                               bool specialBlocks, int32_t northLat, int32_t westLon) {
  DemoTerrain terrain;
  terrain.block = resampleBilinear(source.grid, placement.factor);
  terrain.firstRow = placement.firstRow;
  terrain.firstCol = placement.firstCol;
  // Row r of a tile one degree further south is row r + 10800 of the demo tile's lattice,
  // column c of a tile one degree further east column c + 10800.
  terrain.rowShift = (DemoTile::northLat - northLat) * kCellsPerDegree;
  const int32_t colShift = (DemoTile::westLon - westLon) * kCellsPerDegree;
  terrain.specialBlocks = specialBlocks && terrain.rowShift == 0 && colShift == 0;
  terrain.colMap.resize(kCellsPerSide);
  for (int32_t c = 0; c < kCellsPerSide; ++c) {
    terrain.colMap[c] = mirrorIndex(c + colShift - terrain.firstCol, terrain.block.cols);
  }
  return terrain;
}

void fillTileRow(const DemoTerrain& terrain, int32_t row, float* out) {
  const int32_t blockRow =
      mirrorIndex(row + terrain.rowShift - terrain.firstRow, terrain.block.rows);
  const float* source =
      terrain.block.samples.data() + static_cast<size_t>(blockRow) * terrain.block.cols;
  const int32_t* map = terrain.colMap.data();
  for (int32_t c = 0; c < kCellsPerSide; ++c) out[c] = source[map[c]];
  if (!terrain.specialBlocks) return;
  if (row < DemoTile::belowZeroFirstRow || row > DemoTile::belowZeroLastRow) return;
  for (int32_t c = DemoTile::belowZeroFirstCol; c <= DemoTile::belowZeroLastCol; ++c) {
    specialBlockValue(row, c, &out[c]);
  }
  for (int32_t c = DemoTile::noDataFirstCol; c <= DemoTile::noDataLastCol; ++c) {
    specialBlockValue(row, c, &out[c]);
  }
}

bool makeDemoTile(const DemoTileOptions& options, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (options.directory.empty()) {
    *error = "no directory given";
    return false;
  }
  const bool demoPlace =
      options.northLat == DemoTile::northLat && options.westLon == DemoTile::westLon;
  if (options.northLat < 1 || options.northLat > 90 || options.westLon < 1 ||
      options.westLon > 180) {
    *error = "the place " + std::to_string(options.northLat) + " N, " +
             std::to_string(options.westLon) + " W is not a tile's north-west corner";
    return false;
  }
  if (options.specialBlocks && !demoPlace) {
    *error = "the special blocks are planted in the demo tile " +
             demoTileName(DemoTile::northLat, DemoTile::westLon) + " only";
    return false;
  }
  const std::string baseName =
      options.baseName.empty() ? demoTileName(options.northLat, options.westLon) : options.baseName;
  if (!validBaseName(baseName)) {
    *error = "the base name \"" + baseName + "\" is not a plain file name";
    return false;
  }
  SourceGrid source;
  const std::string sourceBase =
      options.sourceBase.empty() ? defaultDemoSourceBase() : options.sourceBase;
  if (!readSourceGrid(sourceBase, &source, error)) return false;
  BlockPlacement placement;
  if (!placeSource(source, &placement, error)) return false;

  std::error_code code;
  std::filesystem::create_directories(options.directory, code);
  if (code || !std::filesystem::is_directory(options.directory, code)) {
    *error = "cannot create the directory " + options.directory;
    return false;
  }
  const std::string base = options.directory + "/" + baseName;
  const std::string headerPath = base + ".hdr";
  const std::string rasterPath = base + ".flt";
  const std::string headerPart = headerPath + ".part";
  const std::string rasterPart = rasterPath + ".part";

  const DemoTerrain terrain = prepareDemoTerrain(source, placement, options.specialBlocks,
                                                 options.northLat, options.westLon);
  bool done =
      writeRaster(rasterPart, terrain, error) &&
      writeBytes(headerPart,
                 demoTileHeaderText(options.longHeader, options.northLat, options.westLon), error);
  if (done) {
    std::filesystem::rename(rasterPart, rasterPath, code);
    if (!code) std::filesystem::rename(headerPart, headerPath, code);
    if (code) {
      *error = "cannot put the tile in place as " + base + ": " + code.message();
      removeQuietly(rasterPath);
      done = false;
    }
  }
  if (!done) {
    removeQuietly(rasterPart);
    removeQuietly(headerPart);
  }
  return done;
}

}  // namespace ned
