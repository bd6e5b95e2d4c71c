#include "core/tile/tiff_image.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/numbers.h"

namespace ned {

bool TiffMemoryBytes::read(uint64_t offset, void* out, size_t count) {
  if (offset > size_ || count > size_ - offset) return false;
  if (count > 0) std::memcpy(out, data_ + offset, count);
  return true;
}

bool TiffFileBytes::open(FileSystem& files, const std::string& path) {
  file_ = files.open(path, OpenMode::read);
  size_ = file_ != nullptr ? file_->size() : 0;
  return file_ != nullptr;
}

bool TiffFileBytes::read(uint64_t offset, void* out, size_t count) {
  return file_ != nullptr && offset <= size_ && count <= size_ - offset &&
         file_->read(offset, out, count) == count;
}

bool hasTiffSignature(const uint8_t* bytes, size_t count) {
  if (count < 4) return false;
  if (bytes[0] == 'I' && bytes[1] == 'I')
    return bytes[3] == 0 && (bytes[2] == 42 || bytes[2] == 43);
  if (bytes[0] == 'M' && bytes[1] == 'M')
    return bytes[2] == 0 && (bytes[3] == 42 || bytes[3] == 43);
  return false;
}

namespace {

// Tags of the baseline, the tiled extension, the GeoTIFF keys' homes and the no-data text.
enum Tag : uint16_t {
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kStripOffsets = 273,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kPredictor = 317,
  kTileWidth = 322,
  kTileLength = 323,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kSampleFormat = 339,
  kModelPixelScale = 33550,
  kModelTiepoint = 33922,
  kModelTransformation = 34264,
  kGeoKeyDirectory = 34735,
  kGdalNoData = 42113,
};

// Field types.
enum Type : uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kDouble = 12,
  kLong8 = 16,
};

constexpr uint16_t kModelTypeKey = 1024;
constexpr uint16_t kRasterTypeKey = 1025;
constexpr uint16_t kModelTypeGeographic = 2;
constexpr uint16_t kRasterPixelIsPoint = 2;

// No image directory of a real file comes near this; a larger count means damage.
constexpr uint64_t kMaxEntries = 4096;
// The most bytes of a tag's values read.
constexpr uint64_t kMaxValueBytes = uint64_t(64) << 20;

size_t typeSize(uint16_t type) {
  switch (type) {
    case 1:  // BYTE
    case 2:  // ASCII
    case 6:  // SBYTE
    case 7:  // UNDEFINED
      return 1;
    case 3:  // SHORT
    case 8:  // SSHORT
      return 2;
    case 4:   // LONG
    case 9:   // SLONG
    case 11:  // FLOAT
    case 13:  // IFD
      return 4;
    case 5:   // RATIONAL
    case 10:  // SRATIONAL
    case 12:  // DOUBLE
    case 16:  // LONG8
    case 17:  // SLONG8
    case 18:  // IFD8
      return 8;
    default:
      return 0;
  }
}

struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint64_t count = 0;
  uint8_t value[8] = {};  // the value itself when it fits, else where it lies
};

const char* const kDamagedDirectory = "The file is damaged: its image directory is incomplete.";

class DirectoryReader {
 public:
  DirectoryReader(TiffBytes& bytes, TiffImage& image, std::string& problem)
      : bytes_(bytes), image_(image), problem_(problem) {}

  bool run();

 private:
  uint16_t u16(const uint8_t* p) const {
    return image_.bigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1])
                            : static_cast<uint16_t>(p[1] << 8 | p[0]);
  }
  uint32_t u32(const uint8_t* p) const { return tiffWord(p, image_.bigEndian); }
  uint64_t u64(const uint8_t* p) const {
    const uint64_t first = u32(p);
    const uint64_t second = u32(p + 4);
    return image_.bigEndian ? first << 32 | second : second << 32 | first;
  }

  bool fail(const std::string& text) {
    problem_ = text;
    return false;
  }

  bool readHeader(uint64_t& directory);
  bool readEntries(uint64_t directory);
  const Entry* find(uint16_t tag) const;
  // The raw bytes of an entry's values, at most maxCount of them.
  bool valueBytes(const Entry& entry, uint64_t maxCount, std::vector<uint8_t>& raw);
  // An entry of unsigned integers (BYTE, SHORT, LONG or LONG8).
  bool integers(const Entry& entry, uint64_t maxCount, std::vector<uint64_t>& values);
  bool integer(uint16_t tag, uint64_t fallback, uint64_t& value);
  bool doubles(const Entry& entry, std::vector<double>& values);

  bool readLayout();
  bool readSampleType();
  bool readGeoreferencing();
  bool readNoData();

  TiffBytes& bytes_;
  TiffImage& image_;
  std::string& problem_;
  std::vector<Entry> entries_;
};

bool DirectoryReader::run() {
  uint64_t directory = 0;
  return readHeader(directory) && readEntries(directory) && readSampleType() && readLayout() &&
         readGeoreferencing() && readNoData();
}

bool DirectoryReader::readHeader(uint64_t& directory) {
  uint8_t header[16] = {};
  const size_t got =
      bytes_.size() < sizeof header ? static_cast<size_t>(bytes_.size()) : sizeof header;
  if (!bytes_.read(0, header, got) || !hasTiffSignature(header, got))
    return fail("It is not a TIFF file.");
  image_.bigEndian = header[0] == 'M';
  image_.bigTiff = u16(header + 2) == 43;
  if (!image_.bigTiff) {
    if (got < 8) return fail(kDamagedDirectory);
    directory = u32(header + 4);
    return true;
  }
  if (got < 16) return fail(kDamagedDirectory);
  if (u16(header + 4) != 8 || u16(header + 6) != 0) return fail("It is not a TIFF file.");
  directory = u64(header + 8);
  return true;
}

bool DirectoryReader::readEntries(uint64_t directory) {
  const size_t countBytes = image_.bigTiff ? 8 : 2;
  const size_t entryBytes = image_.bigTiff ? 20 : 12;
  uint8_t countField[8] = {};
  if (directory == 0 || !bytes_.read(directory, countField, countBytes))
    return fail(kDamagedDirectory);
  const uint64_t count = image_.bigTiff ? u64(countField) : u16(countField);
  if (count == 0 || count > kMaxEntries) return fail(kDamagedDirectory);
  std::vector<uint8_t> raw(static_cast<size_t>(count) * entryBytes);
  if (!bytes_.read(directory + countBytes, raw.data(), raw.size())) return fail(kDamagedDirectory);
  entries_.resize(static_cast<size_t>(count));
  for (size_t i = 0; i < entries_.size(); ++i) {
    const uint8_t* p = raw.data() + i * entryBytes;
    Entry& entry = entries_[i];
    entry.tag = u16(p);
    entry.type = u16(p + 2);
    entry.count = image_.bigTiff ? u64(p + 4) : u32(p + 4);
    std::memcpy(entry.value, p + (image_.bigTiff ? 12 : 8), image_.bigTiff ? 8 : 4);
  }
  return true;
}

const Entry* DirectoryReader::find(uint16_t tag) const {
  for (const Entry& entry : entries_)
    if (entry.tag == tag) return &entry;
  return nullptr;
}

bool DirectoryReader::valueBytes(const Entry& entry, uint64_t maxCount, std::vector<uint8_t>& raw) {
  const size_t size = typeSize(entry.type);
  if (size == 0 || entry.count == 0 || entry.count > maxCount) return fail(kDamagedDirectory);
  // A count no file of this size can hold is damage, not a reason to allocate; no tag of
  // a tile comes near the limit, which keeps the size within a 32-bit build's reach.
  if (entry.count > bytes_.size() / size + 8 || entry.count > kMaxValueBytes / size)
    return fail(kDamagedDirectory);
  const size_t total = static_cast<size_t>(entry.count) * size;
  raw.resize(total);
  const size_t inlineBytes = image_.bigTiff ? 8 : 4;
  if (total <= inlineBytes) {
    std::memcpy(raw.data(), entry.value, total);
    return true;
  }
  const uint64_t offset = image_.bigTiff ? u64(entry.value) : u32(entry.value);
  if (!bytes_.read(offset, raw.data(), total)) return fail(kDamagedDirectory);
  return true;
}

bool DirectoryReader::integers(const Entry& entry, uint64_t maxCount,
                               std::vector<uint64_t>& values) {
  if (entry.type != kByte && entry.type != kShort && entry.type != kLong && entry.type != kLong8)
    return fail(kDamagedDirectory);
  std::vector<uint8_t> raw;
  if (!valueBytes(entry, maxCount, raw)) return false;
  const size_t size = typeSize(entry.type);
  values.resize(static_cast<size_t>(entry.count));
  for (size_t i = 0; i < values.size(); ++i) {
    const uint8_t* p = raw.data() + i * size;
    values[i] = size == 1 ? *p : size == 2 ? u16(p) : size == 4 ? u32(p) : u64(p);
  }
  return true;
}

bool DirectoryReader::integer(uint16_t tag, uint64_t fallback, uint64_t& value) {
  const Entry* entry = find(tag);
  if (entry == nullptr) {
    value = fallback;
    return true;
  }
  std::vector<uint64_t> values;
  if (!integers(*entry, 16, values)) return false;
  value = values[0];
  return true;
}

bool DirectoryReader::doubles(const Entry& entry, std::vector<double>& values) {
  if (entry.type != kDouble) return fail(kDamagedDirectory);
  std::vector<uint8_t> raw;
  if (!valueBytes(entry, 4096, raw)) return false;
  values.resize(static_cast<size_t>(entry.count));
  for (size_t i = 0; i < values.size(); ++i) {
    const uint64_t bits = u64(raw.data() + i * 8);
    std::memcpy(&values[i], &bits, sizeof bits);
  }
  return true;
}

const char* compressionName(uint64_t compression) {
  switch (compression) {
    case 2:
    case 3:
    case 4:
      return "CCITT";
    case 6:
    case 7:
      return "JPEG";
    case 32773:
      return "PackBits";
    case 34676:
    case 34677:
      return "SGILog";
    case 34887:
      return "LERC";
    case 34925:
      return "LZMA";
    case 50000:
      return "ZSTD";
    case 50001:
      return "WebP";
    case 50002:
      return "JPEG XL";
    default:
      return nullptr;
  }
}

std::string sampleKind(uint64_t bits, uint64_t format) {
  const std::string size = std::to_string(bits) + "-bit ";
  switch (format) {
    case 1:
      return size + "unsigned integer";
    case 2:
      return size + "integer";
    case 3:
      return size + "float";
    default:
      return size + "complex or undefined";
  }
}

bool DirectoryReader::readSampleType() {
  uint64_t compression = 0;
  uint64_t samples = 0;
  uint64_t format = 0;
  if (!integer(kCompression, kTiffNoCompression, compression) ||
      !integer(kSamplesPerPixel, 1, samples) || !integer(kSampleFormat, 1, format))
    return false;
  if (compression != kTiffNoCompression && compression != kTiffLzw && compression != kTiffDeflate &&
      compression != kTiffDeflateOld) {
    const char* name = compressionName(compression);
    return fail(name != nullptr
                    ? std::string(name) + " compression is not supported."
                    : "Compression " + std::to_string(compression) + " is not supported.");
  }
  image_.compression = static_cast<uint16_t>(compression);
  if (samples != 1)
    return fail(std::to_string(samples) +
                " bands are not supported: a tile has one band of elevations.");
  std::vector<uint64_t> bits = {1};
  if (const Entry* entry = find(kBitsPerSample)) {
    if (!integers(*entry, 1, bits)) return false;
  }
  if (bits[0] != 32 || format != 3)
    return fail(sampleKind(bits[0], format) +
                " samples are not supported: a tile holds 32-bit floats.");
  uint64_t predictor = 1;
  if (!integer(kPredictor, 1, predictor)) return false;
  if (predictor < 1 || predictor > 3)
    return fail("Predictor " + std::to_string(predictor) + " is not supported.");
  // Uncompressed samples are stored as they are, whatever the tag says.
  image_.predictor = compression == kTiffNoCompression ? 1 : static_cast<uint16_t>(predictor);
  return true;
}

bool DirectoryReader::readLayout() {
  uint64_t width = 0;
  uint64_t height = 0;
  if (!integer(kImageWidth, 0, width) || !integer(kImageLength, 0, height)) return false;
  if (width == 0 || height == 0 || width > UINT32_MAX || height > UINT32_MAX)
    return fail("The file is damaged: it gives no image size.");
  image_.width = static_cast<uint32_t>(width);
  image_.height = static_cast<uint32_t>(height);

  const Entry* offsets = nullptr;
  const Entry* counts = nullptr;
  image_.tiled = find(kTileWidth) != nullptr;
  if (image_.tiled) {
    uint64_t tileWidth = 0;
    uint64_t tileHeight = 0;
    if (!integer(kTileWidth, 0, tileWidth) || !integer(kTileLength, 0, tileHeight)) return false;
    if (tileWidth == 0 || tileHeight == 0 || tileWidth > UINT32_MAX || tileHeight > UINT32_MAX)
      return fail("The file is damaged: it gives no tile size.");
    image_.blockWidth = static_cast<uint32_t>(tileWidth);
    image_.blockHeight = static_cast<uint32_t>(tileHeight);
    offsets = find(kTileOffsets);
    counts = find(kTileByteCounts);
  } else {
    uint64_t rows = 0;
    if (!integer(kRowsPerStrip, UINT32_MAX, rows)) return false;
    if (rows == 0) return fail("The file is damaged: it gives no strip size.");
    image_.blockWidth = image_.width;
    image_.blockHeight = rows < height ? static_cast<uint32_t>(rows) : image_.height;
    offsets = find(kStripOffsets);
    counts = find(kStripByteCounts);
  }
  const char* block = image_.tiled ? "tile" : "strip";
  const char* blocks = image_.tiled ? "tiles" : "strips";
  // Blocks are decoded a part of their rows at a time, at least one row.
  if (uint64_t(image_.blockWidth) * 4 > kTiffPartBytes)
    return fail(std::string("The ") + blocks + " of " + std::to_string(image_.blockWidth) + " x " +
                std::to_string(image_.blockHeight) + " cells are too large to convert.");
  image_.blocksAcross = static_cast<uint32_t>((width + image_.blockWidth - 1) / image_.blockWidth);
  image_.blocksDown = static_cast<uint32_t>((height + image_.blockHeight - 1) / image_.blockHeight);
  const uint64_t blockCount = uint64_t(image_.blocksAcross) * image_.blocksDown;
  if (offsets == nullptr || counts == nullptr || offsets->count != blockCount ||
      counts->count != blockCount)
    return fail(std::string("The file is damaged: its ") + block +
                " offsets do not fit the image.");
  if (!integers(*offsets, blockCount, image_.blockOffsets) ||
      !integers(*counts, blockCount, image_.blockByteCounts))
    return false;
  // Every block is there before anything is converted; a block of no bytes is empty.
  const uint64_t fileSize = bytes_.size();
  for (size_t i = 0; i < image_.blockOffsets.size(); ++i) {
    const uint64_t offset = image_.blockOffsets[i];
    const uint64_t count = image_.blockByteCounts[i];
    if (count > 0 && (offset > fileSize || count > fileSize - offset))
      return fail(std::string("The file is damaged: a ") + block + " lies past its end.");
  }
  return true;
}

bool DirectoryReader::readGeoreferencing() {
  std::vector<double> scale;
  std::vector<double> tiepoint;
  std::vector<double> matrix;
  const Entry* scaleEntry = find(kModelPixelScale);
  const Entry* tiepointEntry = find(kModelTiepoint);
  const Entry* matrixEntry = find(kModelTransformation);
  // The affine transform GIS tools derive: x = t[0] + col t[1] + row t[2], y = t[3] + col
  // t[4] + row t[5], with (col, row) the outer corner of a cell.
  double t[6] = {};
  if (scaleEntry != nullptr && tiepointEntry != nullptr) {
    if (!doubles(*scaleEntry, scale) || !doubles(*tiepointEntry, tiepoint)) return false;
    if (scale.size() < 2 || tiepoint.size() < 6) return fail(kDamagedDirectory);
    t[1] = scale[0];
    t[5] = -scale[1];
    t[0] = tiepoint[3] - tiepoint[0] * t[1];
    t[3] = tiepoint[4] - tiepoint[1] * t[5];
  } else if (matrixEntry != nullptr) {
    if (!doubles(*matrixEntry, matrix)) return false;
    if (matrix.size() < 16) return fail(kDamagedDirectory);
    t[0] = matrix[3];
    t[1] = matrix[0];
    t[2] = matrix[1];
    t[3] = matrix[7];
    t[4] = matrix[4];
    t[5] = matrix[5];
  } else {
    return fail(
        "It has no georeferencing (ModelPixelScale and ModelTiepoint, or "
        "ModelTransformation).");
  }

  uint64_t modelType = 0;
  uint64_t rasterType = 0;
  if (const Entry* keysEntry = find(kGeoKeyDirectory)) {
    std::vector<uint64_t> keys;
    if (keysEntry->type != kShort || !integers(*keysEntry, 65535, keys))
      return fail(kDamagedDirectory);
    if (keys.size() < 4) return fail(kDamagedDirectory);
    const uint64_t keyCount = keys[3];
    for (uint64_t k = 0; k < keyCount && 4 + 4 * k + 3 < keys.size(); ++k) {
      const uint64_t* key = &keys[static_cast<size_t>(4 + 4 * k)];
      if (key[1] != 0) continue;  // a value kept elsewhere: not one of the two read here
      if (key[0] == kModelTypeKey) modelType = key[3];
      if (key[0] == kRasterTypeKey) rasterType = key[3];
    }
  }
  // A tie point on a cell's centre: the grid's outer corner lies half a cell further out.
  if (rasterType == kRasterPixelIsPoint) {
    t[0] -= t[1] * 0.5 + t[2] * 0.5;
    t[3] -= t[4] * 0.5 + t[5] * 0.5;
  }
  image_.westX = t[0];
  image_.northY = t[3];
  image_.cellWidth = t[1];
  image_.cellHeight = -t[5];
  image_.turned = t[2] != 0.0 || t[4] != 0.0;
  // Only a geographic model has its cells in degrees: a projected or local one, a
  // geocentric or user-defined one, and keys that never say which, do not.
  image_.geographic = modelType == kModelTypeGeographic;
  return true;
}

// The no-data text as GIS tools write it: a decimal number, or "nan" and "inf" with an
// optional sign, which the programs' own number reader (the C run time's decimal rule)
// reads as 0.
double noDataValue(const char* text) {
  const char* p = text;
  while (*p == ' ') ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  auto startsWith = [p](const char* word) {
    for (size_t i = 0; word[i] != '\0'; ++i) {
      if ((p[i] | 0x20) != word[i]) return false;
    }
    return true;
  };
  if (startsWith("nan")) return std::numeric_limits<double>::quiet_NaN();
  if (startsWith("inf")) {
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  return parseLeadingDouble(text);
}

bool DirectoryReader::readNoData() {
  const Entry* entry = find(kGdalNoData);
  if (entry == nullptr) return true;
  std::vector<uint8_t> raw;
  if (entry->type != kAscii || !valueBytes(*entry, 256, raw)) return fail(kDamagedDirectory);
  // The text ends at its first null, as GIS tools read it; an empty one gives no value,
  // while any other (blanks or a word among them) reads as a number, 0 when it is none.
  const std::string text(raw.begin(), std::find(raw.begin(), raw.end(), uint8_t(0)));
  image_.noData = noDataValue(text.c_str());
  image_.hasNoData = !text.empty();
  return true;
}

}  // namespace

bool readTiffImage(TiffBytes& bytes, TiffImage& image, std::string& problem) {
  image = TiffImage();
  problem.clear();
  DirectoryReader reader(bytes, image, problem);
  return reader.run();
}

}  // namespace ned
