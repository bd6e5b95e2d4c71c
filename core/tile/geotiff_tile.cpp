#include "core/tile/geotiff_tile.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/text.h"
#include "core/tile/raster.h"
#include "core/tile/tiff_decode.h"

namespace ned {

namespace {

constexpr double kCellDegrees = 1.0 / TileGeometry::cellsPerDegree;
// Pixel scales are written with 15 to 17 digits; anything further off is another grid.
constexpr double kCellTolerance = 1e-9;
// A row of blocks up to this size is put together in memory and written in one piece.
constexpr uint64_t kBandBytes = uint64_t(32) << 20;
static_assert(kConvertedRasterBytes == uint64_t(cellOffset(TileGeometry::cellsPerSide, 0)),
              "a converted raster is a whole tile");
// The beginning and the end every converted header has, whatever its corner.
const char* const kConvertedHeaderStart = "ncols 10812\r\nnrows 10812\r\nxllcorner ";
const char* const kConvertedHeaderEnd = "\r\nNODATA_value -9999\r\nbyteorder LSBFIRST\r\n";
const char* const kReadFailedText = "Can't read GeoTIFF file.\n";
const char* const kConvertFailedText = "Can't convert GeoTIFF file to GridFloat.\n";

bool isConvertedHeader(const std::string& text) {
  const size_t endLength = std::strlen(kConvertedHeaderEnd);
  return text.size() < 512 &&
         text.compare(0, std::strlen(kConvertedHeaderStart), kConvertedHeaderStart) == 0 &&
         text.size() >= endLength &&
         text.compare(text.size() - endLength, endLength, kConvertedHeaderEnd) == 0;
}

// The paths of a pair's three files: the raster, the header and the record of its source.
struct PairPaths {
  std::string headerPath;
  std::string rasterPath;
  std::string sourcePath;
};

// The pair of a base path (its folder and name without extension).
PairPaths pairOf(const std::string& base) {
  return {base + ".hdr", base + ".flt", base + ".source"};
}

// Files are compared whole; a header or a record is short, anything longer is not ours.
constexpr size_t kShortFileLimit = 4096;

// A pair a later open may trust: complete, with the header this file gives, made from
// this very file.
bool isCurrent(FileSystem& files, const PairPaths& pair, const std::string& headerText,
               const std::string& sourceText) {
  const FileInfo raster = files.stat(pair.rasterPath);
  return raster.exists && raster.size == kConvertedRasterBytes &&
         readSmallFile(files, pair.sourcePath, kShortFileLimit) == sourceText &&
         readSmallFile(files, pair.headerPath, kShortFileLimit) == headerText;
}

// A header beside the file that a conversion did not write belongs to a pair of the
// user's, which stays untouched. A raster without a header is no tile of the user's.
bool isUsersOwnPair(FileSystem& files, const PairPaths& pair) {
  return files.stat(pair.headerPath).exists &&
         !isConvertedHeader(readSmallFile(files, pair.headerPath, kShortFileLimit));
}

// Removes what conversions that no longer run left of this pair: files named after one
// of the pair's files followed by ".<process id>.part" (or ".part", as earlier versions
// named them). A conversion running in another program keeps its parts.
void removeLeftovers(FileSystem& files, const PairPaths& pair) {
  const std::string folder = folderOf(pair.rasterPath);
  const std::string targets[] = {fileNameOf(pair.rasterPath), fileNameOf(pair.headerPath),
                                 fileNameOf(pair.sourcePath)};
  for (const std::string& name : files.list(folder)) {
    if (!endsWithIgnoringCase(name, ".part")) continue;
    for (const std::string& target : targets) {
      if (name.size() < target.size() + 5 || name.compare(0, target.size(), target) != 0 ||
          name[target.size()] != '.')
        continue;
      // What stands between the name and ".part": a process id, or nothing.
      const std::string id = name.size() == target.size() + 5
                                 ? std::string()
                                 : name.substr(target.size() + 1, name.size() - target.size() - 6);
      bool stale = id.empty();
      if (!stale && id.size() <= 10 && id.find_first_not_of("0123456789") == std::string::npos) {
        const unsigned long long number = std::strtoull(id.c_str(), nullptr, 10);
        stale = number > UINT32_MAX || number == files.processId() ||
                !files.isRunning(static_cast<uint32_t>(number));
      }
      if (stale) files.remove(joinPath(folder, name));
      break;
    }
  }
}

std::string withThousands(uint64_t number) {
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// How one conversion into a place ended.
struct Attempt {
  bool inPlace = false;    // a current pair is there, made here or by another program
  std::string failedPath;  // else the file that could not be written
  std::string problem;     // or why the GeoTIFF cannot be read
};

// Converts the image into the pair under names of this conversion's own (what dead
// conversions left there was removed when the tile was opened), then puts each
// file in place with one atomic replace: the raster first and the record of the source
// last, so that a pair is never trusted before all of it is there. Another program may
// convert the same file at the same time: whichever finishes first puts its pair in
// place, and the other takes that pair and drops its own.
Attempt convertInto(Desktop& desktop, TiffBytes& bytes, const TiffImage& image,
                    const std::string& tifPath, const FileInfo& tifInfo, const PairPaths& target,
                    const std::string& headerText, const std::string& sourceText) {
  FileSystem& files = desktop.fileSystem();
  const std::string suffix = "." + std::to_string(files.processId()) + ".part";
  const PairPaths part = {target.headerPath + suffix, target.rasterPath + suffix,
                          target.sourcePath + suffix};
  const auto dropParts = [&] {
    for (const std::string* path : {&part.rasterPath, &part.headerPath, &part.sourcePath})
      files.remove(*path);
  };
  Attempt attempt;
  std::unique_ptr<OpenFile> raster = files.open(part.rasterPath, OpenMode::createNew);
  if (raster == nullptr) {
    attempt.failedPath = target.rasterPath;
    return attempt;
  }
  desktop.beginProgress(fileNameOf(tifPath));
  bool written = writeGridFloatRaster(bytes, image, *raster, desktop, attempt.problem);
  written = raster->flush() && written;
  raster.reset();
  desktop.endProgress();
  if (!written) {
    dropParts();
    if (attempt.problem.empty()) attempt.failedPath = target.rasterPath;
    return attempt;
  }
  if (!writeNewFile(files, part.headerPath, headerText)) {
    dropParts();
    attempt.failedPath = target.headerPath;
    return attempt;
  }
  if (!writeNewFile(files, part.sourcePath, sourceText)) {
    dropParts();
    attempt.failedPath = target.sourcePath;
    return attempt;
  }
  // Only a pair of the file as it still is goes in place.
  if (!(files.stat(tifPath) == tifInfo)) {
    dropParts();
    attempt.problem = "The file changed while it was converted. Open it again.";
    return attempt;
  }
  if (isCurrent(files, target, headerText, sourceText)) {
    dropParts();
    attempt.inPlace = true;
    return attempt;
  }
  const std::pair<const std::string*, const std::string*> moves[] = {
      {&part.rasterPath, &target.rasterPath},
      {&part.headerPath, &target.headerPath},
      {&part.sourcePath, &target.sourcePath}};
  for (const auto& [from, to] : moves) {
    if (!files.replace(*from, *to)) {
      dropParts();
      attempt.inPlace = isCurrent(files, target, headerText, sourceText);
      if (!attempt.inPlace) attempt.failedPath = *to;
      return attempt;
    }
  }
  attempt.inPlace = true;
  return attempt;
}

// Appends a number's bytes, least significant first, so that every build sums the same.
void putBytes(std::vector<uint8_t>& out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void putDouble(std::vector<uint8_t>& out, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putBytes(out, bits);
}

// A checksum of what the image directory says: layout, coding, georeferencing, no-data
// value and the place and length of every block.
uint32_t directoryChecksum(const TiffImage& image) {
  std::vector<uint8_t> bytes;
  for (uint64_t value : {uint64_t(image.bigEndian), uint64_t(image.bigTiff), uint64_t(image.width),
                         uint64_t(image.height), uint64_t(image.tiled), uint64_t(image.blockWidth),
                         uint64_t(image.blockHeight), uint64_t(image.compression),
                         uint64_t(image.predictor), uint64_t(image.hasNoData)})
    putBytes(bytes, value);
  for (double value : {image.westX, image.northY, image.cellWidth, image.cellHeight, image.noData})
    putDouble(bytes, value);
  for (uint64_t offset : image.blockOffsets) putBytes(bytes, offset);
  for (uint64_t count : image.blockByteCounts) putBytes(bytes, count);
  uLong sum = crc32(0L, Z_NULL, 0);
  for (size_t at = 0; at < bytes.size(); at += 1u << 30) {
    const size_t length = bytes.size() - at < (1u << 30) ? bytes.size() - at : (1u << 30);
    sum = crc32(sum, bytes.data() + at, static_cast<uInt>(length));
  }
  return static_cast<uint32_t>(sum);
}

// The temporary folder's pair of a file: its name with a checksum of its whole path, so
// that two files of one name in two folders never share a pair.
std::string temporaryBase(const std::string& folder, const std::string& tifPath,
                          const std::string& besideBase) {
  const uLong sum = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(tifPath.data()),
                          static_cast<uInt>(tifPath.size()));
  char tag[16];
  std::snprintf(tag, sizeof tag, "-%08lx", static_cast<unsigned long>(sum & 0xFFFFFFFFu));
  return joinPath(folder, fileNameOf(besideBase) + tag);
}

}  // namespace

bool isGeoTiffChoice(FileSystem& files, const ChosenFile& chosen) {
  if (endsWithIgnoringCase(chosen.path, ".tif") || endsWithIgnoringCase(chosen.path, ".tiff"))
    return true;
  const std::string start = readSmallFile(files, chosen.path, 4);
  return hasTiffSignature(reinterpret_cast<const uint8_t*>(start.data()), start.size());
}

TileFit tileFit(const TiffImage& image, std::string& problem) {
  problem.clear();
  if (image.width != uint32_t(TileGeometry::cellsPerSide) ||
      image.height != uint32_t(TileGeometry::cellsPerSide))
    return TileFit::otherSize;
  auto isCell = [](double size) {
    return std::fabs(size - kCellDegrees) <= kCellTolerance * kCellDegrees;
  };
  char text[320];
  if (image.turned) {
    problem = "Its grid is rotated: a tile's rows run east and west.";
  } else if (!image.geographic) {
    problem =
        "Its coordinates are not latitude and longitude: a tile has geographic coordinates, "
        "in degrees.";
  } else if (!isCell(image.cellWidth) || !isCell(image.cellHeight)) {
    std::snprintf(text, sizeof text,
                  "Its cells are %.12f x %.12f degrees: a 1/3 arc second tile has cells of "
                  "%.12f degrees (1/10800).",
                  image.cellWidth, image.cellHeight, kCellDegrees);
    problem = text;
  }
  return problem.empty() ? TileFit::fits : TileFit::otherGrid;
}

std::string convertedHeaderText(const TiffImage& image) {
  char text[256];
  std::snprintf(text, sizeof text, "%s%.11f\r\nyllcorner %.11f\r\ncellsize %.14f%s",
                kConvertedHeaderStart, image.westX, image.southY(), image.cellWidth,
                kConvertedHeaderEnd);
  return text;
}

std::string sourceRecordText(const TiffImage& image, const FileInfo& source,
                             const std::string& pathOrEmpty) {
  char text[160];
  std::snprintf(text, sizeof text, "size %llu\r\nmodified %lld\r\ndirectory %08lx\r\n",
                static_cast<unsigned long long>(source.size),
                static_cast<long long>(source.modified),
                static_cast<unsigned long>(directoryChecksum(image)));
  return (pathOrEmpty.empty() ? std::string() : "source " + pathOrEmpty + "\r\n") + text;
}

PairChoice choosePairPlace(const PairSituation& s) {
  const bool temporary = s.hasTemporaryFolder;
  if (s.besideCurrent) return {PairPlace::besideTheTif, false};
  if (temporary && s.temporaryCurrent) return {PairPlace::temporaryFolder, false};
  if (!s.usersOwnPairThere && !s.besideFailed) return {PairPlace::besideTheTif, true};
  if (temporary && !s.temporaryFailed) return {PairPlace::temporaryFolder, true};
  return {};
}

bool writeGridFloatRaster(TiffBytes& bytes, const TiffImage& image, OpenFile& out, Desktop& desktop,
                          std::string& problem) {
  problem.clear();
  TiffBlockDecoder decoder(image, TileGeometry::noDataValue);
  const size_t blockCount = image.blockOffsets.size();
  const uint64_t rowBytes = uint64_t(image.width) * sizeof(float);
  const uint64_t allCells = uint64_t(image.width) * image.height;
  uint64_t cellsDone = 0;
  unsigned shown = 0;
  const auto done = [&](uint64_t cells) {
    cellsDone += cells;
    const unsigned percent = static_cast<unsigned>(cellsDone * 100 / allCells);
    if (percent != shown) {
      shown = percent;
      desktop.stepProgress(percent);
    }
  };
  desktop.stepProgress(0);

  const uint32_t bandRows = std::min(image.blockHeight, image.height);
  if (rowBytes * bandRows <= kBandBytes) {
    // One row of blocks at a time, written out in one piece as soon as it is complete.
    std::vector<float> band(static_cast<size_t>(image.width) * bandRows);
    for (size_t blockRow = 0; blockRow < image.blocksDown; ++blockRow) {
      const size_t first = blockRow * image.blocksAcross;
      for (size_t blockCol = 0; blockCol < image.blocksAcross; ++blockCol) {
        float* dest = band.data() + blockCol * image.blockWidth;
        if (!decoder.decode(bytes, first + blockCol, dest, image.width, problem)) return false;
        done(uint64_t(decoder.rowsOf(first + blockCol)) * decoder.colsOf(first + blockCol));
      }
      const size_t cells = static_cast<size_t>(decoder.rowsOf(first)) * image.width;
      swapLittleEndian(band.data(), cells);
      if (!out.write(blockRow * image.blockHeight * rowBytes, band.data(), cells * sizeof(float)))
        return false;
    }
    return true;
  }

  // Blocks too large for that go out a part of their rows at a time, each row of a part to
  // its place in the raster: a part of a strip in one piece, a part of a tile row by row.
  std::vector<float> part(static_cast<size_t>(decoder.partRows()) *
                          std::min(image.blockWidth, image.width));
  for (size_t index = 0; index < blockCount; ++index) {
    if (!decoder.start(bytes, index, problem)) return false;
    const uint32_t rows = decoder.rowsOf(index);
    const uint32_t cols = decoder.colsOf(index);
    const uint64_t firstRow = uint64_t(index / image.blocksAcross) * image.blockHeight;
    const uint64_t firstCol = uint64_t(index % image.blocksAcross) * image.blockWidth;
    for (uint32_t row = 0; row < rows; row += decoder.partRows()) {
      const uint32_t count = std::min(decoder.partRows(), rows - row);
      if (!decoder.next(count, part.data(), cols, problem)) return false;
      swapLittleEndian(part.data(), size_t(count) * cols);
      const uint64_t at = (firstRow + row) * rowBytes + firstCol * sizeof(float);
      if (cols == image.width) {
        if (!out.write(at, part.data(), size_t(count) * cols * sizeof(float))) return false;
      } else {
        for (uint32_t r = 0; r < count; ++r)
          if (!out.write(at + r * rowBytes, part.data() + size_t(r) * cols, cols * sizeof(float)))
            return false;
      }
      done(uint64_t(count) * cols);
    }
  }
  return true;
}

GeoTiffOutcome prepareGeoTiffTile(Desktop& desktop, const ChosenFile& chosen, TileHeader& header) {
  FileSystem& files = desktop.fileSystem();
  const std::string besideBase = replaceExtension(chosen.path, chosen.extensionOffset, "flt");
  const PairPaths beside = pairOf(besideBase.substr(0, besideBase.size() - 4));
  header.headerPath = beside.headerPath;
  header.rasterPath = beside.rasterPath;
  const std::string temporaryFolder = desktop.temporaryFolder();
  const PairPaths temporary =
      pairOf(temporaryFolder.empty()
                 ? std::string()
                 : temporaryBase(temporaryFolder, chosen.path,
                                 beside.rasterPath.substr(0, beside.rasterPath.size() - 4)));
  // A conversion killed on its way leaves its parts; whoever opens the tile next clears
  // them, whether it converts or finds a pair another program put in place meanwhile.
  removeLeftovers(files, beside);
  if (!temporaryFolder.empty()) removeLeftovers(files, temporary);

  TiffFileBytes bytes;
  if (!bytes.open(files, chosen.path)) return GeoTiffOutcome::notOpened;
  const FileInfo tifInfo = files.stat(chosen.path);
  TiffImage image;
  std::string problem;
  if (!readTiffImage(bytes, image, problem)) {
    desktop.showMessage(kReadFailedText + problem, "Message.", kPlainMessage);
    return GeoTiffOutcome::failed;
  }
  switch (tileFit(image, problem)) {
    case TileFit::fits:
      break;
    case TileFit::otherSize:
      return GeoTiffOutcome::rejected;
    case TileFit::otherGrid:
      desktop.showMessage(kReadFailedText + problem, "Message.", kPlainMessage);
      return GeoTiffOutcome::otherGrid;
  }

  const std::string headerText = convertedHeaderText(image);
  const std::string besideRecord = sourceRecordText(image, tifInfo, "");
  const std::string temporaryRecord = sourceRecordText(image, tifInfo, chosen.path);

  PairSituation situation;
  situation.besideCurrent = isCurrent(files, beside, headerText, besideRecord);
  situation.usersOwnPairThere = isUsersOwnPair(files, beside);
  situation.hasTemporaryFolder = !temporaryFolder.empty();
  situation.temporaryCurrent =
      situation.hasTemporaryFolder && isCurrent(files, temporary, headerText, temporaryRecord);
  std::string failedPaths;
  for (;;) {
    const PairChoice choice = choosePairPlace(situation);
    if (choice.place == PairPlace::none) {
      desktop.showMessage(kConvertFailedText + failedPaths + "The tile needs " +
                              withThousands(kConvertedRasterBytes) +
                              " bytes of free space for its raster.",
                          "Message.", kPlainMessage);
      return GeoTiffOutcome::failed;
    }
    const bool isBeside = choice.place == PairPlace::besideTheTif;
    const PairPaths& pair = isBeside ? beside : temporary;
    if (choice.convert) {
      const Attempt attempt = convertInto(desktop, bytes, image, chosen.path, tifInfo, pair,
                                          headerText, isBeside ? besideRecord : temporaryRecord);
      if (!attempt.problem.empty()) {
        desktop.showMessage(kReadFailedText + attempt.problem, "Message.", kPlainMessage);
        return GeoTiffOutcome::failed;
      }
      if (!attempt.inPlace) {
        failedPaths += "Can't write " + attempt.failedPath + ".\n";
        (isBeside ? situation.besideFailed : situation.temporaryFailed) = true;
        continue;
      }
    }
    header.headerPath = pair.headerPath;
    header.rasterPath = pair.rasterPath;
    return GeoTiffOutcome::ready;
  }
}

}  // namespace ned
