#include "core/tile/tiff_decode.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace ned {

namespace {

constexpr uint32_t kClearCode = 256;
constexpr uint32_t kEndCode = 257;
constexpr uint32_t kFirstFreeCode = 258;
constexpr uint32_t kTableSize = 4096;
// Longer than any string of the table (3840 bytes at most).
constexpr size_t kMaxString = 4096;
// How far past a string the copies write: they go in 16-byte steps.
constexpr size_t kCopySlack = 32;

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

LzwDecoder::LzwDecoder(size_t partBytes, size_t windowBytes)
    : partBytes_(partBytes),
      buffer_((windowBytes > 0 ? windowBytes + kMaxString : 0) + partBytes + kMaxString +
              kCopySlack) {
  start();
}

void LzwDecoder::start() {
  next_ = kFirstFreeCode;
  width_ = 9;
  havePrevious_ = false;
  previous_ = {0, 0};
  ended_ = false;
  pos_ = partStart_ = clearPos_ = filled_ = 0;
  full_ = false;
  fullEnd_ = 0;
  in_ = nullptr;
  inSize_ = inPos_ = 0;
  bits_ = 0;
  bitCount_ = 0;
}

void LzwDecoder::feed(const uint8_t* in, size_t size) {
  in_ = in;
  inSize_ = size;
  inPos_ = 0;
}

LzwDecoder::Status LzwDecoder::fill(size_t count) {
  const size_t target = partStart_ + count;
  // A part larger than the decoder was made for: refused rather than written past.
  if (target + kMaxString + kCopySlack > buffer_.size()) return Status::corrupt;
  filled_ = count;
  if (pos_ >= target) return Status::ready;
  if (ended_) return Status::ended;

  uint8_t* out = buffer_.data();
  String* table = table_;
  uint32_t next = next_;
  uint32_t width = width_;
  bool havePrevious = havePrevious_;
  String previous = previous_;
  uint64_t bits = bits_;
  uint32_t bitCount = bitCount_;
  const uint8_t* in = in_;
  const size_t inSize = inSize_;
  size_t inPos = inPos_;
  size_t pos = pos_;
  Status status = Status::ready;

  // Every string of the table is an earlier stretch of the output: where it starts and
  // how long it is. Codes below 256 stand for themselves. A string is always written
  // whole, past the part when it ends there: the buffer has room for that.
  while (pos < target) {
    if (bitCount < width) {
      while (bitCount <= 56 && inPos < inSize) {
        bits |= uint64_t(in[inPos++]) << (56 - bitCount);
        bitCount += 8;
      }
      if (bitCount < width) {
        status = Status::hungry;
        break;
      }
    }
    const uint32_t code = static_cast<uint32_t>(bits >> (64 - width));
    bits <<= width;
    bitCount -= width;

    if (code == kEndCode) {
      ended_ = true;
      status = Status::ended;
      break;
    }
    if (code == kClearCode) {
      next = kFirstFreeCode;
      width = 9;
      havePrevious = false;
      full_ = false;
      clearPos_ = pos;
      continue;
    }
    String current;
    if (code < 256) {
      out[pos] = static_cast<uint8_t>(code);
      current = {static_cast<uint32_t>(pos), 1};
    } else if (code < next && havePrevious) {
      current = table[code];
      copyString(out, current.offset, pos, current.length);
      current.offset = static_cast<uint32_t>(pos);
    } else if (code == next && havePrevious) {
      // The string being defined: the previous one, which ends where this one starts, and
      // its own first byte.
      copyString(out, previous.offset, pos, previous.length);
      out[pos + previous.length] = out[previous.offset];
      current = {static_cast<uint32_t>(pos), previous.length + 1};
    } else {
      status = Status::corrupt;
      break;
    }
    // The new string: the previous one and the first byte of this one, which follows it
    // in the output.
    if (havePrevious && next < kTableSize) {
      table[next++] = {previous.offset, previous.length + 1};
      if (next >= (1u << width) - 1 && width < 12) ++width;
      if (next == kTableSize) {
        full_ = true;
        fullEnd_ = pos + 1;
      }
    }
    havePrevious = true;
    previous = current;
    pos += current.length;
  }

  next_ = next;
  width_ = width;
  havePrevious_ = havePrevious;
  previous_ = previous;
  bits_ = bits;
  bitCount_ = bitCount;
  inPos_ = inPos;
  pos_ = pos;
  return status;
}

void LzwDecoder::release() {
  partStart_ += filled_;
  filled_ = 0;
  // The output stays where it is while the next part has room after it.
  if (partStart_ + partBytes_ + kMaxString + kCopySlack <= buffer_.size()) return;
  const size_t partEnd = partStart_;
  // What later codes can refer to: the output since the last clear code, up to where the
  // table filled when it did. What lies past the part is the next part's beginning.
  const size_t referencedEnd = full_ ? fullEnd_ : pos_;
  const size_t shift = clearPos_;
  if (referencedEnd >= partEnd) {
    std::memmove(buffer_.data(), buffer_.data() + shift, pos_ - shift);
    partStart_ = partEnd - shift;
    pos_ -= shift;
  } else {
    // A full table: its strings, then the rest of the last string after them.
    const size_t kept = referencedEnd - shift;
    if (shift > 0) std::memmove(buffer_.data(), buffer_.data() + shift, kept);
    std::memmove(buffer_.data() + kept, buffer_.data() + partEnd, pos_ - partEnd);
    partStart_ = kept;
    pos_ = kept + (pos_ - partEnd);
  }
  // The previous string matters only while the table can grow, and then lies among what
  // was kept in one piece.
  for (uint32_t code = kFirstFreeCode; code < next_; ++code)
    table_[code].offset -= static_cast<uint32_t>(shift);
  previous_.offset -= static_cast<uint32_t>(shift);
  fullEnd_ -= full_ ? shift : 0;
  clearPos_ = 0;
}

namespace {

// Compressed bytes are read in pieces of at most this size; an ordinary block in one.
constexpr size_t kPieceBytes = size_t(1) << 20;

}  // namespace

struct TiffBlockDecoder::Inflater {
  z_stream stream = {};
  bool ready = false;
  Inflater() { ready = inflateInit(&stream) == Z_OK; }
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

TiffBlockDecoder::TiffBlockDecoder(const TiffImage& image, float noDataOut, size_t partBytes)
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
  // Buffers for a part, never for a whole block.
  rowBytes_ = static_cast<size_t>(image.blockWidth) * 4;
  const uint32_t blockRows = std::min(image.blockHeight, image.height);
  const size_t fit = rowBytes_ > 0 ? partBytes / rowBytes_ : 1;
  partRows_ = static_cast<uint32_t>(std::max<size_t>(1, std::min<size_t>(fit, blockRows)));
  const size_t part = partRows_ * rowBytes_;
  if (image.compression == kTiffLzw) {
    // A block of more than one part keeps the stretch of output its codes can refer to.
    const uint64_t block = uint64_t(blockRows) * rowBytes_;
    const size_t window =
        partRows_ < blockRows
            ? static_cast<size_t>(std::min<uint64_t>(LzwDecoder::kWindowBytes, block))
            : 0;
    lzw_ = std::make_unique<LzwDecoder>(part, window);
  } else {
    part_.resize(part);
  }
  if (image.compression == kTiffDeflate || image.compression == kTiffDeflateOld)
    inflater_ = std::make_unique<Inflater>();
  if (image.predictor == 3) row_.resize(rowBytes_);
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

bool TiffBlockDecoder::damaged(const char* before, const char* after, std::string& problem) const {
  problem =
      std::string("The file is damaged: ") + before + (image_.tiled ? "tile" : "strip") + after;
  return false;
}

bool TiffBlockDecoder::start(TiffBytes& bytes, size_t index, std::string& problem) {
  bytes_ = &bytes;
  index_ = index;
  rowsDone_ = 0;
  inOffset_ = image_.blockOffsets[index];
  inLeft_ = image_.blockByteCounts[index];
  empty_ = inLeft_ == 0;  // never written: nothing stored
  if (empty_) return true;
  // A tile is always whole; the last strip holds only the rows left.
  const uint64_t expected =
      uint64_t(image_.blockWidth) * (image_.tiled ? image_.blockHeight : rowsOf(index)) * 4;
  if (image_.compression == kTiffNoCompression) {
    return inLeft_ >= expected || damaged("a ", " is shorter than its cells.", problem);
  }
  // No encoder makes a block more than half again as large as its samples.
  if (inLeft_ > expected * 2 + 4096) return damaged("a ", " has an impossible size.", problem);
  if (!readPiece(problem)) return false;
  if (lzw_ != nullptr) {
    // The first, bit-reversed form of the codec starts with a 0 byte and an odd one.
    if (piece_.size() >= 2 && piece_[0] == 0 && (piece_[1] & 1) != 0) {
      problem = "Old-style LZW compression is not supported.";
      return false;
    }
    lzw_->start();
    lzw_->feed(piece_.data(), piece_.size());
    return true;
  }
  z_stream& stream = inflater_->stream;
  if (!inflater_->ready || inflateReset(&stream) != Z_OK)
    return damaged("the Deflate data of a ", " is corrupt.", problem);
  stream.next_in = piece_.data();
  stream.avail_in = static_cast<uInt>(piece_.size());
  return true;
}

bool TiffBlockDecoder::readPiece(std::string& problem) {
  const size_t size = static_cast<size_t>(std::min<uint64_t>(inLeft_, kPieceBytes));
  piece_.resize(size);
  if (!bytes_->read(inOffset_, piece_.data(), size))
    return damaged("a ", " lies past its end.", problem);
  inOffset_ += size;
  inLeft_ -= size;
  return true;
}

bool TiffBlockDecoder::decompressRows(uint32_t rows, std::string& problem) {
  const size_t count = rows * rowBytes_;
  if (image_.compression == kTiffNoCompression) {
    if (!bytes_->read(inOffset_, part_.data(), count))
      return damaged("a ", " is shorter than its cells.", problem);
    inOffset_ += count;
    raw_ = part_.data();
  } else if (lzw_ != nullptr) {
    if (rowsDone_ > 0) lzw_->release();
    for (;;) {
      const LzwDecoder::Status status = lzw_->fill(count);
      if (status == LzwDecoder::Status::ready) break;
      if (status != LzwDecoder::Status::hungry || inLeft_ == 0)
        return damaged("the LZW data of a ", " is corrupt.", problem);
      if (!readPiece(problem)) return false;
      lzw_->feed(piece_.data(), piece_.size());
    }
    raw_ = lzw_->part();
  } else {
    z_stream& stream = inflater_->stream;
    stream.next_out = part_.data();
    stream.avail_out = static_cast<uInt>(count);
    while (stream.avail_out > 0) {
      if (stream.avail_in == 0 && inLeft_ > 0) {
        if (!readPiece(problem)) return false;
        stream.next_in = piece_.data();
        stream.avail_in = static_cast<uInt>(piece_.size());
      }
      // Without input left, a call that cannot go on says so: the data ends short.
      const int status = inflate(&stream, Z_NO_FLUSH);
      if (status == Z_STREAM_END || (status != Z_OK && status != Z_BUF_ERROR) ||
          (status == Z_BUF_ERROR && inLeft_ == 0))
        break;
    }
    if (stream.avail_out != 0) return damaged("the Deflate data of a ", " is corrupt.", problem);
    raw_ = part_.data();
  }
  rowsDone_ += rows;
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
void accumulateBytes(const uint8_t* in, uint8_t* out, size_t count) {
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: their running sums within the step, plus the sum of all
  // bytes before it. That sum is carried as a plain byte, from the step's own bytes, so
  // that no step waits for the vector work of the one before.
  const __m128i zero = _mm_setzero_si128();
  uint8_t carry = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    __m128i x = _mm_add_epi8(bytes, _mm_slli_si128(bytes, 1));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 2));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
    x = _mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(carry)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), x);
    const __m128i halves = _mm_sad_epu8(bytes, zero);  // the sums of the two 8-byte halves
    carry = static_cast<uint8_t>(carry + _mm_cvtsi128_si32(halves) + _mm_extract_epi16(halves, 4));
  }
#endif
  uint8_t sum = i > 0 ? out[i - 1] : 0;
  for (; i < count; ++i) out[i] = sum = static_cast<uint8_t>(sum + in[i]);
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

void TiffBlockDecoder::undoPredictor(uint32_t rows, float* dest, size_t destStride) {
  const uint32_t cols = colsOf(index_);
  const bool bigEndian = image_.bigEndian;
  const CellRule rule = {mapsNoData_, noData_, noDataOut_};
  for (uint32_t r = 0; r < rows; ++r) {
    const uint8_t* row = raw_ + r * rowBytes_;
    float* out = dest + r * destStride;
    if (image_.predictor == 3) {
      accumulateBytes(row, row_.data(), rowBytes_);
      joinPlanes(row_.data(), image_.blockWidth, cols, rule, out);
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

bool TiffBlockDecoder::next(uint32_t rows, float* dest, size_t destStride, std::string& problem) {
  rows = std::min({rows, partRows_, rowsOf(index_) - rowsDone_});
  if (empty_) {
    // GIS tools read a block that was never written as no data, or 0 without a value.
    const float fill = image_.hasNoData ? noDataOut_ : 0.0f;
    for (uint32_t r = 0; r < rows; ++r) std::fill_n(dest + r * destStride, colsOf(index_), fill);
    rowsDone_ += rows;
    return true;
  }
  if (!decompressRows(rows, problem)) return false;
  undoPredictor(rows, dest, destStride);
  return true;
}

bool TiffBlockDecoder::decode(TiffBytes& bytes, size_t index, float* dest, size_t destStride,
                              std::string& problem) {
  if (!start(bytes, index, problem)) return false;
  const uint32_t rows = rowsOf(index);
  for (uint32_t r = 0; r < rows; r += partRows_)
    if (!next(partRows_, dest + r * destStride, destStride, problem)) return false;
  return true;
}

bool TiffBlockDecoder::decompress(TiffBytes& bytes, size_t index, std::string& problem) {
  if (!start(bytes, index, problem)) return false;
  const uint32_t rows = rowsOf(index);
  while (!empty_ && rowsDone_ < rows)
    if (!decompressRows(std::min(partRows_, rows - rowsDone_), problem)) return false;
  return true;
}

}  // namespace ned
