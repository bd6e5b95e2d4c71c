// The first image of a TIFF file, as far as elevation tiles use the format: classic TIFF
// and BigTIFF in either byte order, one band of 32-bit floats in tiles or strips, the
// georeferencing of its GeoTIFF tags and the no-data value GIS tools put beside it.
// Later images (a cloud-optimized file's overviews) are never looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/file_system.h"

namespace ned {

// A 32-bit word of the file in its byte order.
inline uint32_t tiffWord(const uint8_t* p, bool bigEndian) {
  return bigEndian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                   : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Random access to the bytes of a TIFF.
class TiffBytes {
 public:
  virtual ~TiffBytes() = default;
  virtual uint64_t size() const = 0;
  // Copies count bytes from offset into out; false unless all of them are there.
  virtual bool read(uint64_t offset, void* out, size_t count) = 0;
};

// A TIFF in memory.
class TiffMemoryBytes : public TiffBytes {
 public:
  TiffMemoryBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t size() const override { return size_; }
  bool read(uint64_t offset, void* out, size_t count) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// A TIFF on disk, through the file seam.
class TiffFileBytes : public TiffBytes {
 public:
  // False when the file cannot be opened.
  bool open(FileSystem& files, const std::string& path);
  uint64_t size() const override { return size_; }
  bool read(uint64_t offset, void* out, size_t count) override;

 private:
  std::unique_ptr<OpenFile> file_;
  uint64_t size_ = 0;
};

// Whether the bytes begin like a TIFF: "II" or "MM", then 42 (classic) or 43 (BigTIFF).
bool hasTiffSignature(const uint8_t* bytes, size_t count);

// The most bytes of a block decoded at a time: as many of its rows as fit, at least one.
// A block whose row is longer is refused.
constexpr size_t kTiffPartBytes = size_t(4) << 20;

// The values of the compression tag this reader decodes.
constexpr uint16_t kTiffNoCompression = 1;
constexpr uint16_t kTiffLzw = 5;
constexpr uint16_t kTiffDeflate = 8;
constexpr uint16_t kTiffDeflateOld = 32946;

struct TiffImage {
  bool bigEndian = false;
  bool bigTiff = false;
  uint32_t width = 0;
  uint32_t height = 0;
  // The blocks the samples are stored in: tiles, or strips of the full width.
  bool tiled = false;
  uint32_t blockWidth = 0;
  uint32_t blockHeight = 0;  // a tile's height, or the rows of a strip
  uint32_t blocksAcross = 0;
  uint32_t blocksDown = 0;
  uint16_t compression = kTiffNoCompression;
  uint16_t predictor = 1;              // 1 none, 2 horizontal differencing, 3 floating point
  std::vector<uint64_t> blockOffsets;  // row of blocks after row of blocks, west to east
  std::vector<uint64_t> blockByteCounts;

  // The georeferencing, as GIS tools read it: the outer corner of the north-west cell
  // and the size of a cell (positive going east and south), in the model's units.
  double westX = 0.0;
  double northY = 0.0;
  double cellWidth = 0.0;
  double cellHeight = 0.0;
  bool turned = false;      // the transformation rotates or shears the grid
  bool geographic = false;  // the model is geographic (GTModelTypeGeoKey 2): cells in degrees
  bool hasNoData = false;
  double noData = 0.0;

  // The outer south edge.
  double southY() const { return northY - height * cellHeight; }
};

// Reads the file header and the first image's directory. A file this reader cannot take
// gives false and, in problem, a sentence for the user saying why ("JPEG compression is
// not supported.", "The file is damaged: a tile lies past its end.").
bool readTiffImage(TiffBytes& bytes, TiffImage& image, std::string& problem);

}  // namespace ned
