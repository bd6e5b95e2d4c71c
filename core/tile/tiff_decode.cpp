#include "core/tile/tiff_decode.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cfloat>
#include <cmath>
#include <cstring>

namespace ned {

namespace {

constexpr uint32_t kClearCode = 256;
constexpr uint32_t kEndCode = 257;
constexpr uint32_t kFirstFreeCode = 258;
constexpr uint32_t kTableSize = 4096;

// Copies length bytes from an earlier part of the output. The source ends at or before
// the destination's start, so the bytes that matter are never overwritten on the way;
// the 16-byte steps go up to 15 bytes too far on both sides, into the slack.
inline void copyString(uint8_t* out, size_t from, size_t to, size_t length) {
  for (size_t i = 0; i < length; i += 16) {
    uint8_t step[16];
    std::memcpy(step, out + from + i, 16);
    std::memcpy(out + to + i, step, 16);
  }
}

}  // namespace

bool decodeLzw(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, size_t& written) {
  // Every string of the table is an earlier stretch of the output: where it starts and
  // how long it is. Codes below 256 stand for themselves.
  struct String {
    uint32_t offset;
    uint32_t length;
  };
  String table[kTableSize];
  uint32_t next = kFirstFreeCode;
  uint32_t width = 9;
  bool havePrevious = false;
  String previous = {0, 0};

  uint64_t bits = 0;  // the unread bits, first one at the top
  uint32_t bitCount = 0;
  size_t inPos = 0;
  size_t pos = 0;
  bool valid = true;

  while (pos < outSize) {
    if (bitCount < width) {
      while (bitCount <= 56 && inPos < inSize) {
        bits |= uint64_t(in[inPos++]) << (56 - bitCount);
        bitCount += 8;
      }
      if (bitCount < width) break;  // the input ends without an end code
    }
    const uint32_t code = static_cast<uint32_t>(bits >> (64 - width));
    bits <<= width;
    bitCount -= width;

    if (code == kEndCode) break;
    if (code == kClearCode) {
      next = kFirstFreeCode;
      width = 9;
      havePrevious = false;
      continue;
    }
    String current;
    if (code < 256) {
      out[pos] = static_cast<uint8_t>(code);
      current = {static_cast<uint32_t>(pos), 1};
    } else if (code < next && havePrevious) {
      current = table[code];
      const size_t length = current.length < outSize - pos ? current.length : outSize - pos;
      copyString(out, current.offset, pos, length);
      current.offset = static_cast<uint32_t>(pos);
    } else if (code == next && havePrevious) {
      // The string being defined: the previous one, which ends where this one starts, and
      // its own first byte.
      const size_t room = outSize - pos;
      copyString(out, previous.offset, pos, previous.length < room ? previous.length : room);
      if (previous.length < room) out[pos + previous.length] = out[previous.offset];
      current = {static_cast<uint32_t>(pos), previous.length + 1};
    } else {
      valid = false;
      break;
    }
    // The new string: the previous one and the first byte of this one, which follows it
    // in the output.
    if (havePrevious && next < kTableSize) {
      table[next++] = {previous.offset, previous.length + 1};
      if (next >= (1u << width) - 1 && width < 12) ++width;
    }
    havePrevious = true;
    previous = current;
    pos += current.length < outSize - pos ? current.length : outSize - pos;
  }
  written = pos;
  return valid;
}

struct TiffBlockDecoder::Inflater {
  z_stream stream = {};
  bool ready = false;
  Inflater() { ready = inflateInit(&stream) == Z_OK; }
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

TiffBlockDecoder::TiffBlockDecoder(const TiffImage& image, float noDataOut)
    : image_(image), noDataOut_(noDataOut) {
  if (image.hasNoData && !std::isnan(image.noData)) {
    const double value = image.noData;
    const double magnitude = std::fabs(value);
    if (magnitude <= FLT_MAX) {
      mapsNoData_ = true;
      noData_ = static_cast<float>(value);
    } else if (magnitude <= FLT_MAX * (1.0 + 1e-6)) {
      // The largest float written with fewer digits than it needs.
      mapsNoData_ = true;
      noData_ = value < 0 ? -FLT_MAX : FLT_MAX;
    } else if (std::isinf(value)) {
      mapsNoData_ = true;
      noData_ = value < 0 ? -HUGE_VALF : HUGE_VALF;
    }
  }
  raw_.resize(static_cast<size_t>(image.blockWidth) * image.blockHeight * 4 + kLzwSlack);
  if (image.compression == kTiffDeflate || image.compression == kTiffDeflateOld)
    inflater_ = std::make_unique<Inflater>();
}

TiffBlockDecoder::~TiffBlockDecoder() = default;

uint32_t TiffBlockDecoder::rowsOf(size_t index) const {
  const uint64_t first = uint64_t(index / image_.blocksAcross) * image_.blockHeight;
  const uint64_t left = image_.height - first;
  return static_cast<uint32_t>(left < image_.blockHeight ? left : image_.blockHeight);
}

uint32_t TiffBlockDecoder::colsOf(size_t index) const {
  const uint64_t first = uint64_t(index % image_.blocksAcross) * image_.blockWidth;
  const uint64_t left = image_.width - first;
  return static_cast<uint32_t>(left < image_.blockWidth ? left : image_.blockWidth);
}

size_t TiffBlockDecoder::decodedBytes(size_t index) const {
  // A tile is always whole; the last strip holds only the rows left.
  const uint32_t rows = image_.tiled ? image_.blockHeight : rowsOf(index);
  return static_cast<size_t>(image_.blockWidth) * rows * 4;
}

bool TiffBlockDecoder::decompress(TiffBytes& bytes, size_t index, std::string& problem) {
  const char* block = image_.tiled ? "tile" : "strip";
  const size_t expected = decodedBytes(index);
  const uint64_t offset = image_.blockOffsets[index];
  const uint64_t count = image_.blockByteCounts[index];
  if (count == 0) return true;  // an empty block: nothing stored
  if (image_.compression == kTiffNoCompression) {
    if (count < expected || !bytes.read(offset, raw_.data(), expected)) {
      problem = std::string("The file is damaged: a ") + block + " is shorter than its cells.";
      return false;
    }
    return true;
  }
  // No encoder makes a block more than half again as large as its samples.
  if (count > uint64_t(expected) * 2 + 4096) {
    problem = std::string("The file is damaged: a ") + block + " has an impossible size.";
    return false;
  }
  compressed_.resize(static_cast<size_t>(count));
  if (!bytes.read(offset, compressed_.data(), compressed_.size())) {
    problem = std::string("The file is damaged: a ") + block + " lies past its end.";
    return false;
  }
  if (image_.compression == kTiffLzw) {
    // The first, bit-reversed form of the codec starts with a 0 byte and an odd one.
    if (count >= 2 && compressed_[0] == 0 && (compressed_[1] & 1) != 0) {
      problem = "Old-style LZW compression is not supported.";
      return false;
    }
    size_t written = 0;
    if (!decodeLzw(compressed_.data(), compressed_.size(), raw_.data(), expected, written) ||
        written != expected) {
      problem = std::string("The file is damaged: the LZW data of a ") + block + " is corrupt.";
      return false;
    }
    return true;
  }
  z_stream& stream = inflater_->stream;
  bool inflated = inflater_->ready && inflateReset(&stream) == Z_OK;
  if (inflated) {
    stream.next_in = compressed_.data();
    stream.avail_in = static_cast<uInt>(compressed_.size());
    stream.next_out = raw_.data();
    stream.avail_out = static_cast<uInt>(expected);
    const int status = inflate(&stream, Z_FINISH);
    // Complete when the output is full, whether or not the stream says it has ended.
    inflated = (status == Z_STREAM_END || status == Z_OK || status == Z_BUF_ERROR) &&
               stream.avail_out == 0;
  }
  if (!inflated) {
    problem = std::string("The file is damaged: the Deflate data of a ") + block + " is corrupt.";
    return false;
  }
  return true;
}

namespace {

// What a cell becomes: no-data and cells that are not a number are replaced.
struct CellRule {
  bool mapsNoData;
  float noData;
  float replacement;
  float operator()(uint32_t bits) const {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return std::isnan(value) || (mapsNoData && value == noData) ? replacement : value;
  }
};

// Undoes the byte differencing of a row: each byte was stored as its difference from the
// one before it, modulo 256.
void accumulateBytes(uint8_t* row, size_t count) {
  size_t i = 1;
#if defined(__SSE2__)
  // Sixteen bytes at a time: their running sums within the step, plus the sum of all
  // bytes before it. That sum is carried as a plain byte, from the step's own bytes, so
  // that no step waits for the vector work of the one before.
  const __m128i zero = _mm_setzero_si128();
  uint8_t carry = 0;
  for (i = 0; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    __m128i x = _mm_add_epi8(bytes, _mm_slli_si128(bytes, 1));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 2));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
    x = _mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(carry)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), x);
    const __m128i halves = _mm_sad_epu8(bytes, zero);  // the sums of the two 8-byte halves
    carry = static_cast<uint8_t>(carry + _mm_cvtsi128_si32(halves) + _mm_extract_epi16(halves, 4));
  }
  if (i == 0) i = 1;
#endif
  for (; i < count; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - 1]);
}

// Puts the byte planes of a row back together: plane 0 holds the most significant byte
// of every cell, plane 3 the least.
void joinPlanes(const uint8_t* row, size_t planeLength, uint32_t cols, const CellRule& rule,
                float* out) {
  const uint8_t* plane0 = row;
  const uint8_t* plane1 = row + planeLength;
  const uint8_t* plane2 = plane1 + planeLength;
  const uint8_t* plane3 = plane2 + planeLength;
  uint32_t c = 0;
#if defined(__SSE2__)
  const __m128 noData = _mm_set1_ps(rule.noData);
  const __m128 replacement = _mm_set1_ps(rule.replacement);
  const __m128 checksNoData = _mm_castsi128_ps(_mm_set1_epi32(rule.mapsNoData ? -1 : 0));
  auto store = [&](float* to, __m128i bits) {
    const __m128 value = _mm_castsi128_ps(bits);
    const __m128 replaced = _mm_or_ps(_mm_cmpunord_ps(value, value),
                                      _mm_and_ps(checksNoData, _mm_cmpeq_ps(value, noData)));
    _mm_storeu_ps(to, _mm_or_ps(_mm_andnot_ps(replaced, value), _mm_and_ps(replaced, replacement)));
  };
  for (; c + 16 <= cols; c += 16) {
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane0 + c));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane1 + c));
    const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane2 + c));
    const __m128i b3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane3 + c));
    // Little-endian words: least significant byte first.
    const __m128i low32 = _mm_unpacklo_epi8(b3, b2);
    const __m128i high32 = _mm_unpackhi_epi8(b3, b2);
    const __m128i low10 = _mm_unpacklo_epi8(b1, b0);
    const __m128i high10 = _mm_unpackhi_epi8(b1, b0);
    store(out + c, _mm_unpacklo_epi16(low32, low10));
    store(out + c + 4, _mm_unpackhi_epi16(low32, low10));
    store(out + c + 8, _mm_unpacklo_epi16(high32, high10));
    store(out + c + 12, _mm_unpackhi_epi16(high32, high10));
  }
#endif
  for (; c < cols; ++c)
    out[c] = rule(uint32_t(plane0[c]) << 24 | uint32_t(plane1[c]) << 16 | uint32_t(plane2[c]) << 8 |
                  plane3[c]);
}

}  // namespace

void TiffBlockDecoder::undoPredictor(size_t index, float* dest, size_t destStride) {
  const uint32_t rows = rowsOf(index);
  const uint32_t cols = colsOf(index);
  const size_t rowBytes = static_cast<size_t>(image_.blockWidth) * 4;
  const bool bigEndian = image_.bigEndian;
  const CellRule rule = {mapsNoData_, noData_, noDataOut_};
  for (uint32_t r = 0; r < rows; ++r) {
    uint8_t* row = raw_.data() + r * rowBytes;
    float* out = dest + r * destStride;
    if (image_.predictor == 3) {
      accumulateBytes(row, rowBytes);
      joinPlanes(row, image_.blockWidth, cols, rule, out);
    } else if (image_.predictor == 2) {
      // Each word was stored as its difference from the one before, modulo 2^32.
      uint32_t sum = 0;
      for (uint32_t c = 0; c < cols; ++c) {
        sum += tiffWord(row + 4 * c, bigEndian);
        out[c] = rule(sum);
      }
    } else {
      for (uint32_t c = 0; c < cols; ++c) out[c] = rule(tiffWord(row + 4 * c, bigEndian));
    }
  }
}

bool TiffBlockDecoder::decode(TiffBytes& bytes, size_t index, float* dest, size_t destStride,
                              std::string& problem) {
  if (image_.blockByteCounts[index] == 0) {
    // GIS tools read a block that was never written as no data, or 0 without a value.
    const float fill = image_.hasNoData ? noDataOut_ : 0.0f;
    for (uint32_t r = 0; r < rowsOf(index); ++r)
      for (uint32_t c = 0; c < colsOf(index); ++c) dest[r * destStride + c] = fill;
    return true;
  }
  if (!decompress(bytes, index, problem)) return false;
  undoPredictor(index, dest, destStride);
  return true;
}

}  // namespace ned
