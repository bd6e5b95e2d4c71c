// The block decoder on small images made in memory, where GDAL is not needed: the cells
// are stored by plain loops that follow the TIFF rules (each predictor, the byte order, a
// small LZW encoder of our own, zlib for Deflate) and must come back bit for bit, with
// no-data and cells that are not a number as -9999, whether a block is decoded whole or
// a few of its rows at a time.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <vector>

#include "core/tile/tiff_decode.h"

namespace ned {
namespace {

constexpr float kNoDataOut = -9999.0f;

// TIFF LZW as writers make it: a clear code first, codes of 9 to 12 bits most significant
// bit first, the width growing as soon as the next free code needs more bits, a clear code
// when the table is full (4094 codes), the end code last. Without clearWhenFull, a full
// table (4096 codes) is kept to the end, as decoders also take it.
std::vector<uint8_t> encodeLzw(const std::vector<uint8_t>& data, bool clearWhenFull = true) {
  std::vector<uint8_t> out;
  uint64_t pending = 0;
  uint32_t pendingBits = 0;
  uint32_t width = 9;
  auto put = [&](uint32_t code) {
    pending = pending << width | code;
    pendingBits += width;
    for (; pendingBits >= 8; pendingBits -= 8)
      out.push_back(static_cast<uint8_t>(pending >> (pendingBits - 8)));
  };
  // A string's code by its prefix's code and last byte, 0 where there is none.
  std::vector<uint16_t> table(4096 * 256, 0);
  std::vector<uint32_t> used;
  uint32_t next = 258;
  auto advance = [&] {
    if (++next == 4094 && clearWhenFull) {
      put(256);
      for (const uint32_t at : used) table[at] = 0;
      used.clear();
      next = 258;
      width = 9;
    } else if (next > (1u << width) - 1 && width < 12) {
      ++width;
    }
  };
  put(256);
  bool started = false;
  uint32_t prefix = 0;
  for (const uint8_t byte : data) {
    if (!started) {
      started = true;
      prefix = byte;
      continue;
    }
    const uint32_t at = prefix << 8 | byte;
    if (table[at] != 0) {
      prefix = table[at];
      continue;
    }
    put(prefix);
    if (next < 4096) {
      table[at] = static_cast<uint16_t>(next);
      used.push_back(at);
      advance();
    }
    prefix = byte;
  }
  if (started) {
    put(prefix);
    if (next < 4096) advance();
  }
  put(257);
  if (pendingBits > 0) out.push_back(static_cast<uint8_t>(pending << (8 - pendingBits)));
  return out;
}

uint32_t bitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// A cell of the grid the blocks cover, edges of tiles beyond the image included: mostly
// terrain, every few cells a value the decoder must keep or replace.
float cellValue(uint32_t row, uint32_t col) {
  const float specials[] = {-999999.0f,
                            std::numeric_limits<float>::quiet_NaN(),
                            -0.0f,
                            0.0f,
                            1e-40f,  // subnormal
                            std::numeric_limits<float>::infinity(),
                            -FLT_MAX,
                            -std::numeric_limits<float>::quiet_NaN()};
  const uint32_t mix = (row * 7919u + col * 104729u) ^ (row * col * 31u);
  if (mix % 5 == 0) return specials[(mix / 5) % 8];
  return static_cast<float>(mix % 900000) / 256.0f - 500.0f;
}

struct Layout {
  const char* name;
  uint16_t compression;
  uint16_t predictor;
  bool bigEndian;
  bool tiled;
  uint32_t width, height, blockWidth, blockHeight;
  bool hasNoData;
  double noData;
  int emptyBlock;  // a block never written (offset and byte count 0), or -1
};

// One block's bytes as a writer stores them.
std::vector<uint8_t> storeBlock(const Layout& l, uint32_t firstRow, uint32_t firstCol,
                                uint32_t rows) {
  std::vector<uint8_t> raw;
  for (uint32_t r = 0; r < rows; ++r) {
    std::vector<uint32_t> words(l.blockWidth);
    for (uint32_t c = 0; c < l.blockWidth; ++c)
      words[c] = bitsOf(cellValue(firstRow + r, firstCol + c));
    std::vector<uint8_t> row(words.size() * 4);
    if (l.predictor == 3) {
      // Byte planes, most significant first, then each byte as its difference from the
      // one before it along the whole row.
      for (size_t c = 0; c < words.size(); ++c)
        for (size_t b = 0; b < 4; ++b)
          row[b * words.size() + c] = static_cast<uint8_t>(words[c] >> (24 - 8 * b));
      for (size_t i = row.size() - 1; i > 0; --i)
        row[i] = static_cast<uint8_t>(row[i] - row[i - 1]);
    } else {
      // Each word, or its difference from the one before it, in the file's byte order.
      for (size_t c = 0; c < words.size(); ++c) {
        const uint32_t word = l.predictor == 2 && c > 0 ? words[c] - words[c - 1] : words[c];
        for (size_t b = 0; b < 4; ++b) {
          const size_t shift = l.bigEndian ? 24 - 8 * b : 8 * b;
          row[4 * c + b] = static_cast<uint8_t>(word >> shift);
        }
      }
    }
    raw.insert(raw.end(), row.begin(), row.end());
  }
  if (l.compression == kTiffLzw) return encodeLzw(raw);
  if (l.compression == kTiffDeflate) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(size);
    EXPECT_EQ(compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6), Z_OK);
    packed.resize(size);
    return packed;
  }
  return raw;
}

TEST(TiffBlockDecoder, GivesBackTheCellsAsStored) {
  constexpr bool kLittle = false;
  constexpr bool kBig = true;
  const Layout layouts[] = {
      {"LZW, float predictor, tiles cut at the edges", kTiffLzw, 3, kLittle, true, 37, 19, 16, 8,
       true, -999999.0, -1},
      {"LZW, float predictor, strips 3 cells wide", kTiffLzw, 3, kLittle, false, 3, 10, 3, 4, true,
       -999999.0, -1},
      {"Deflate, float predictor, big-endian strips", kTiffDeflate, 3, kBig, false, 37, 12, 37, 5,
       true, -999999.0, -1},
      {"LZW, horizontal predictor, tiles", kTiffLzw, 2, kLittle, true, 20, 20, 16, 16, true,
       -999999.0, -1},
      {"Deflate, horizontal predictor, big-endian strips", kTiffDeflate, 2, kBig, false, 21, 9, 21,
       4, true, -999999.0, -1},
      {"uncompressed, big-endian, no-data +inf", kTiffNoCompression, 1, kBig, false, 18, 7, 18, 3,
       true, HUGE_VAL, -1},
      {"LZW, no predictor, the code table full and cleared", kTiffLzw, 1, kLittle, false, 160, 40,
       160, 40, false, 0.0, -1},
      {"a tile never written, no-data", kTiffLzw, 3, kLittle, true, 20, 20, 16, 16, true, -999999.0,
       1},
      {"a strip never written, without no-data", kTiffDeflate, 2, kLittle, false, 9, 9, 9, 4, false,
       0.0, 2},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.name);
    TiffImage image;
    image.bigEndian = l.bigEndian;
    image.width = l.width;
    image.height = l.height;
    image.tiled = l.tiled;
    image.blockWidth = l.blockWidth;
    image.blockHeight = l.blockHeight;
    image.blocksAcross = (l.width + l.blockWidth - 1) / l.blockWidth;
    image.blocksDown = (l.height + l.blockHeight - 1) / l.blockHeight;
    image.compression = l.compression;
    image.predictor = l.predictor;
    image.hasNoData = l.hasNoData;
    image.noData = l.noData;
    std::vector<uint8_t> file(8, 0xA5);  // where a TIFF's header would be
    for (uint32_t down = 0; down < image.blocksDown; ++down) {
      for (uint32_t across = 0; across < image.blocksAcross; ++across) {
        const uint32_t firstRow = down * l.blockHeight;
        const uint32_t rows =
            l.tiled ? l.blockHeight : std::min(l.blockHeight, l.height - firstRow);
        std::vector<uint8_t> block = storeBlock(l, firstRow, across * l.blockWidth, rows);
        if (static_cast<int>(image.blockOffsets.size()) == l.emptyBlock) block.clear();
        image.blockOffsets.push_back(block.empty() ? 0 : file.size());
        image.blockByteCounts.push_back(block.size());
        file.insert(file.end(), block.begin(), block.end());
      }
    }
    TiffMemoryBytes bytes(file.data(), file.size());
    // Whole blocks, then parts of one row and of three rows of a block.
    for (const size_t partRows : {size_t(0), size_t(1), size_t(3)}) {
      SCOPED_TRACE("rows of a part (0: the block) " + std::to_string(partRows));
      TiffBlockDecoder decoder(image, kNoDataOut,
                               partRows == 0 ? kTiffPartBytes : partRows * l.blockWidth * 4);
      ASSERT_EQ(decoder.partRows(), partRows == 0 ? std::min(l.blockHeight, l.height) : partRows);
      std::vector<float> cells(size_t(l.width) * l.height, 12345.0f);
      for (size_t index = 0; index < image.blockOffsets.size(); ++index) {
        const size_t first = (index / image.blocksAcross) * l.blockHeight * l.width +
                             (index % image.blocksAcross) * l.blockWidth;
        std::string problem;
        ASSERT_TRUE(decoder.decode(bytes, index, cells.data() + first, l.width, problem))
            << problem;
      }
      for (uint32_t r = 0; r < l.height; ++r) {
        for (uint32_t c = 0; c < l.width; ++c) {
          const size_t block = (r / l.blockHeight) * image.blocksAcross + c / l.blockWidth;
          float expected = cellValue(r, c);
          if (static_cast<int>(block) == l.emptyBlock)
            expected = l.hasNoData ? kNoDataOut : 0.0f;
          else if (std::isnan(expected) || (l.hasNoData && expected == l.noData))
            expected = kNoDataOut;
          ASSERT_EQ(bitsOf(cells[size_t(r) * l.width + c]), bitsOf(expected))
              << "row " << r << ", column " << c << ": " << cells[size_t(r) * l.width + c];
        }
      }
    }
  }
}

// An LZW stream decoded a part at a time, from input in pieces, gives the bytes it was
// made of: strings that run over several parts, a table cleared when full, and a table
// left full, whose strings lie far behind the part that uses them; the window the decoder
// keeps is moved many times over.
TEST(LzwDecoder, GivesAStreamBackPartByPart) {
  std::vector<uint8_t> terrain;
  for (uint32_t i = 0; i < 60000; ++i) {
    const uint32_t bits = bitsOf(cellValue(i / 300, i % 300));
    for (int b = 0; b < 4; ++b) terrain.push_back(static_cast<uint8_t>(bits >> (8 * b)));
  }
  std::vector<uint8_t> repeated;
  while (repeated.size() < 300000)
    repeated.insert(repeated.end(), terrain.begin(), terrain.begin() + 200);
  std::vector<uint8_t> terrainThenZeros = terrain;
  terrainThenZeros.resize(terrain.size() + 3000000, 0);
  const std::vector<uint8_t> zeros(10000000, 0);
  struct Stream {
    const char* name;
    const std::vector<uint8_t>* data;
    bool clearWhenFull;
    size_t windowBytes;  // what one table's strings span, at most
    size_t partBytes;
    size_t pieceBytes;
  };
  const size_t all = LzwDecoder::kWindowBytes;
  const size_t ofTerrain = 6144;  // a table of the terrain's codes spans a few KB of it
  const Stream streams[] = {
      {"terrain, cleared when full, parts of 1000 bytes", &terrain, true, ofTerrain, 1000, 7},
      {"terrain, a full table kept, parts of 333 bytes", &terrain, false, ofTerrain, 333, 4096},
      {"200 bytes of terrain repeated: strings longer than a part", &repeated, true, all, 100,
       100000},
      {"zeros, cleared when full, parts of 100 bytes (strings up to 3839)", &zeros, true, all, 100,
       100000},
      {"zeros, a full table kept, parts of 1 MiB", &zeros, false, all, 1 << 20, 1},
      {"terrain then zeros, a full table kept, parts of 4097 bytes", &terrainThenZeros, false,
       ofTerrain, 4097, 65536},
  };
  for (const Stream& stream : streams) {
    SCOPED_TRACE(stream.name);
    const std::vector<uint8_t>& data = *stream.data;
    const std::vector<uint8_t> codes = encodeLzw(data, stream.clearWhenFull);
    LzwDecoder whole(data.size(), 0);
    whole.start();
    whole.feed(codes.data(), codes.size());
    ASSERT_EQ(whole.fill(data.size()), LzwDecoder::Status::ready);
    ASSERT_EQ(std::memcmp(whole.part(), data.data(), data.size()), 0);

    LzwDecoder parts(stream.partBytes, stream.windowBytes);
    parts.start();
    size_t fed = 0;
    const auto fill = [&](size_t count) {
      LzwDecoder::Status status;
      while ((status = parts.fill(count)) == LzwDecoder::Status::hungry && fed < codes.size()) {
        const size_t piece = std::min(stream.pieceBytes, codes.size() - fed);
        parts.feed(codes.data() + fed, piece);
        fed += piece;
      }
      return status;
    };
    for (size_t done = 0; done < data.size(); done += stream.partBytes) {
      const size_t count = std::min(stream.partBytes, data.size() - done);
      ASSERT_EQ(fill(count), LzwDecoder::Status::ready) << "at " << done;
      ASSERT_EQ(std::memcmp(parts.part(), data.data() + done, count), 0) << "at " << done;
      parts.release();
    }
    // What is left is the end code.
    EXPECT_EQ(fill(1), LzwDecoder::Status::ended);
  }
}

}  // namespace
}  // namespace ned
