#include "core/tile/geotiff_tile.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/tile/raster.h"
#include "core/tile/tiff_decode.h"

namespace ned {

namespace {

constexpr double kCellDegrees = 1.0 / TileGeometry::cellsPerDegree;
// Pixel scales are written with 15 to 17 digits; anything further off is another grid.
constexpr double kCellTolerance = 1e-9;
constexpr uint64_t kRasterBytes = cellOffset(TileGeometry::cellsPerSide, 0);
// The beginning and the end every converted header has, whatever its corner.
const char* const kConvertedHeaderStart = "ncols 10812\r\nnrows 10812\r\nxllcorner ";
const char* const kConvertedHeaderEnd = "\r\nNODATA_value -9999\r\nbyteorder LSBFIRST\r\n";
// What a file is called while it is being written.
const char* const kPartSuffix = ".part";

bool endsWithNoCase(const std::string& text, const char* suffix) {
  const size_t length = std::strlen(suffix);
  if (text.size() < length) return false;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[text.size() - length + i]);
    if (std::tolower(c) != suffix[i]) return false;
  }
  return true;
}

struct FileStamp {
  bool exists = false;
  uint64_t size = 0;
  int64_t modified = 0;  // seconds
};

FileStamp stampOf(const std::string& path) {
#ifdef _WIN32
  struct _stat64 info;
  if (_stat64(path.c_str(), &info) != 0) return {};
#else
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return {};
#endif
  if ((info.st_mode & S_IFMT) != S_IFREG) return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.size = static_cast<uint64_t>(info.st_size);
  stamp.modified = static_cast<int64_t>(info.st_mtime);
  return stamp;
}

// The first bytes of a file: a header is short, anything longer is not one of ours.
std::string readShortFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  char buffer[1024];
  const size_t got = std::fread(buffer, 1, sizeof buffer, file);
  std::fclose(file);
  return std::string(buffer, got);
}

bool isConvertedHeader(const std::string& text) {
  const size_t endLength = std::strlen(kConvertedHeaderEnd);
  return text.size() < 512 &&
         text.compare(0, std::strlen(kConvertedHeaderStart), kConvertedHeaderStart) == 0 &&
         text.size() >= endLength &&
         text.compare(text.size() - endLength, endLength, kConvertedHeaderEnd) == 0;
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder + name;
  return folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + name;
}

struct Pair {
  std::string headerPath;
  std::string rasterPath;
};

// A pair that a later open may trust: complete, with the header this file gives, and not
// older than the file (the clock of a file system counts in seconds or coarser).
bool isCurrent(const Pair& pair, const std::string& headerText, int64_t tiffModified) {
  const FileStamp raster = stampOf(pair.rasterPath);
  const FileStamp header = stampOf(pair.headerPath);
  return raster.exists && header.exists && raster.size == kRasterBytes &&
         raster.modified >= tiffModified && header.modified >= tiffModified &&
         readShortFile(pair.headerPath) == headerText;
}

// A pair beside the file is replaced unless its header is not one a conversion writes: a
// GridFloat pair the user keeps under the same name stays untouched. A raster without a
// header is no tile of the user's.
bool mayReplace(const Pair& pair) {
  return !stampOf(pair.headerPath).exists || isConvertedHeader(readShortFile(pair.headerPath));
}

bool writeWhole(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Puts a finished file in place of the one it replaces.
bool replaceWith(const std::string& part, const std::string& target) {
  std::remove(target.c_str());
  return std::rename(part.c_str(), target.c_str()) == 0;
}

const char* const kReadFailedText = "Can't read GeoTIFF file.\n";
const char* const kWriteFailedText = "Can't convert GeoTIFF file to GridFloat.\nCan't write ";

// Converts into the pair; false after the message. The parts are removed on failure.
bool convertInto(Desktop& desktop, TiffBytes& bytes, const TiffImage& image,
                 const std::string& subject, std::FILE* raster, const Pair& target,
                 const std::string& headerText) {
  const std::string rasterPart = target.rasterPath + kPartSuffix;
  const std::string headerPart = target.headerPath + kPartSuffix;
  std::string problem;
  desktop.beginProgress(subject);
  bool converted = writeGridFloatRaster(bytes, image, raster, desktop, problem);
  converted = std::fclose(raster) == 0 && converted;
  desktop.endProgress();
  if (!converted) {
    std::remove(rasterPart.c_str());
    desktop.showMessage(
        problem.empty() ? kWriteFailedText + target.rasterPath + "." : kReadFailedText + problem,
        "Message.", kPlainMessage);
    return false;
  }
  // The raster first: a header beside an older raster is never trusted.
  if (!writeWhole(headerPart, headerText) || !replaceWith(rasterPart, target.rasterPath) ||
      !replaceWith(headerPart, target.headerPath)) {
    std::remove(rasterPart.c_str());
    std::remove(headerPart.c_str());
    desktop.showMessage(kWriteFailedText + target.headerPath + ".", "Message.", kPlainMessage);
    return false;
  }
  return true;
}

}  // namespace

bool isGeoTiffChoice(const ChosenFile& chosen) {
  if (endsWithNoCase(chosen.path, ".tif") || endsWithNoCase(chosen.path, ".tiff")) return true;
  std::FILE* file = std::fopen(chosen.path.c_str(), "rb");
  if (file == nullptr) return false;
  uint8_t start[4] = {};
  const size_t got = std::fread(start, 1, sizeof start, file);
  std::fclose(file);
  return hasTiffSignature(start, got);
}

bool hasTileGeometry(const TiffImage& image) {
  auto isCell = [](double size) {
    return std::fabs(size - kCellDegrees) <= kCellTolerance * kCellDegrees;
  };
  return image.width == uint32_t(TileGeometry::cellsPerSide) &&
         image.height == uint32_t(TileGeometry::cellsPerSide) && !image.turned &&
         !image.projected && isCell(image.cellWidth) && isCell(image.cellHeight);
}

std::string convertedHeaderText(const TiffImage& image) {
  char text[256];
  std::snprintf(text, sizeof text, "%s%.11f\r\nyllcorner %.11f\r\ncellsize %.14f%s",
                kConvertedHeaderStart, image.westX, image.southY(), image.cellWidth,
                kConvertedHeaderEnd);
  return text;
}

bool writeGridFloatRaster(TiffBytes& bytes, const TiffImage& image, std::FILE* out,
                          Desktop& desktop, std::string& problem) {
  problem.clear();
  TiffBlockDecoder decoder(image, TileGeometry::noDataValue);
  // One row of blocks at a time, written out as soon as it is complete.
  std::vector<float> band(static_cast<size_t>(image.width) * image.blockHeight);
  const size_t blockCount = image.blockOffsets.size();
  unsigned shown = 0;
  desktop.stepProgress(0);
  for (size_t blockRow = 0; blockRow < image.blocksDown; ++blockRow) {
    for (size_t blockCol = 0; blockCol < image.blocksAcross; ++blockCol) {
      const size_t index = blockRow * image.blocksAcross + blockCol;
      float* dest = band.data() + blockCol * image.blockWidth;
      if (!decoder.decode(bytes, index, dest, image.width, problem)) return false;
      const unsigned percent = static_cast<unsigned>((index + 1) * 100 / blockCount);
      if (percent != shown) {
        shown = percent;
        desktop.stepProgress(percent);
      }
    }
    const size_t cells =
        static_cast<size_t>(decoder.rowsOf(blockRow * image.blocksAcross)) * image.width;
    swapLittleEndian(band.data(), cells);
    if (std::fwrite(band.data(), sizeof(float), cells, out) != cells) return false;
  }
  return std::fflush(out) == 0;
}

GeoTiffOutcome prepareGeoTiffTile(Desktop& desktop, const ChosenFile& chosen, TileHeader& header) {
  const Pair beside = {replaceExtension(chosen.path, chosen.extensionOffset, "hdr"),
                       replaceExtension(chosen.path, chosen.extensionOffset, "flt")};
  header.headerPath = beside.headerPath;
  header.rasterPath = beside.rasterPath;

  TiffFileBytes bytes;
  if (!bytes.open(chosen.path)) return GeoTiffOutcome::notOpened;
  TiffImage image;
  std::string problem;
  if (!readTiffImage(bytes, image, problem)) {
    desktop.showMessage(kReadFailedText + problem, "Message.", kPlainMessage);
    return GeoTiffOutcome::failed;
  }
  if (!hasTileGeometry(image)) return GeoTiffOutcome::rejected;

  const std::string headerText = convertedHeaderText(image);
  const int64_t tiffModified = stampOf(chosen.path).modified;
  const std::string temporary = desktop.temporaryFolder();
  std::vector<Pair> places = {beside};
  if (!temporary.empty()) {
    places.push_back({joinPath(temporary, fileNameOf(beside.headerPath)),
                      joinPath(temporary, fileNameOf(beside.rasterPath))});
  }
  const Pair* found = nullptr;
  for (const Pair& place : places) {
    if (isCurrent(place, headerText, tiffModified)) {
      found = &place;
      break;
    }
  }
  if (found == nullptr) {
    // Beside the file if its folder takes it, else in the temporary folder.
    std::FILE* raster = nullptr;
    for (const Pair& place : places) {
      if (&place == &places.front() && !mayReplace(place)) continue;
      raster = std::fopen((place.rasterPath + kPartSuffix).c_str(), "wb");
      if (raster != nullptr) {
        found = &place;
        break;
      }
    }
    if (raster == nullptr) {
      desktop.showMessage(kWriteFailedText + places.back().rasterPath + ".", "Message.",
                          kPlainMessage);
      return GeoTiffOutcome::failed;
    }
    std::setvbuf(raster, nullptr, _IONBF, 0);
    if (!convertInto(desktop, bytes, image, fileNameOf(chosen.path), raster, *found, headerText))
      return GeoTiffOutcome::failed;
  }
  header.headerPath = found->headerPath;
  header.rasterPath = found->rasterPath;
  return GeoTiffOutcome::ready;
}

}  // namespace ned
