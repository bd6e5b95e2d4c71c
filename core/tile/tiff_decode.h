// The samples of a TIFF image, one tile or strip at a time, and each of those a part of
// its rows at a time: read, decompressed (none, LZW or Deflate), the predictor undone
// (horizontal differencing of the 32-bit words, or the floating-point predictor's byte
// planes), and handed out as native floats. The memory it takes depends on the length of
// a block's row and on the size of a part, never on the size of the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/tile/tiff_image.h"

namespace ned {

// A TIFF LZW stream decoded a part at a time: codes of 9 to 12 bits, most significant bit
// first, 256 clearing the table, 257 ending the stream, the code width growing one code
// before the table needs it. The input may come in pieces of any size. Every string of
// the table is a stretch of the output since the last clear code (up to where the table
// filled, when it did), so that stretch is all that stays of earlier parts: when the
// buffer has no room left for the next part, it moves to the buffer's start, with what
// the last code gave past the part. A stream decoded as one part never moves.
class LzwDecoder {
 public:
  // The most output the strings of one table can span: the nth code after a clear code
  // gives at most n bytes, and the table is full after 3839 codes.
  static constexpr size_t kWindowBytes = size_t(3839) * 3840 / 2;

  enum class Status {
    ready,    // the part is there
    hungry,   // the input ran out before it: feed the next piece
    ended,    // the end code came before it
    corrupt,  // a code that cannot occur in a valid stream
  };

  // Room for parts of up to partBytes and, for a stream that goes out in more than one
  // part, the output one table's strings span: kWindowBytes holds that for any stream,
  // less does for a stream known to span less (one that is shorter). A part that would
  // not fit is refused as corrupt.
  LzwDecoder(size_t partBytes, size_t windowBytes);

  // Starts a new stream; the pieces of input follow with feed.
  void start();
  void feed(const uint8_t* in, size_t size);
  // Decodes until the part holds count bytes (at most the part size given at
  // construction), the input runs out, or the stream ends.
  Status fill(size_t count);
  // The part, and how many of its bytes are there: count or more once fill said ready.
  const uint8_t* part() const { return buffer_.data() + partStart_; }
  size_t size() const { return pos_ - partStart_; }
  // Hands out the part of the last fill; the next part starts after it.
  void release();

 private:
  struct String {
    uint32_t offset;  // where in the buffer
    uint32_t length;
  };

  size_t partBytes_;
  std::vector<uint8_t> buffer_;
  String table_[4096];
  uint32_t next_ = 0;  // the next free code
  uint32_t width_ = 9;
  bool havePrevious_ = false;
  String previous_ = {0, 0};
  bool ended_ = false;
  size_t pos_ = 0;        // the end of the output
  size_t partStart_ = 0;  // where the part starts
  size_t filled_ = 0;     // its length, as the last fill asked
  size_t clearPos_ = 0;   // where the output since the last clear code starts
  bool full_ = false;     // the table is full: its strings end at fullEnd_
  size_t fullEnd_ = 0;
  const uint8_t* in_ = nullptr;
  size_t inSize_ = 0;
  size_t inPos_ = 0;
  uint64_t bits_ = 0;  // the unread bits, first one at the top
  uint32_t bitCount_ = 0;
};

class TiffBlockDecoder {
 public:
  // Cells equal to the image's no-data value, and cells that are not a number, are handed
  // out as noDataOut. A part holds as many whole rows of a block as fit partBytes, at
  // least one.
  TiffBlockDecoder(const TiffImage& image, float noDataOut, size_t partBytes = kTiffPartBytes);
  ~TiffBlockDecoder();
  TiffBlockDecoder(const TiffBlockDecoder&) = delete;
  TiffBlockDecoder& operator=(const TiffBlockDecoder&) = delete;

  // The cells of a block that lie inside the image.
  uint32_t rowsOf(size_t index) const;
  uint32_t colsOf(size_t index) const;
  // The most rows one call of next takes.
  uint32_t partRows() const { return partRows_; }

  // Starts a block: what is wrong with its place or size shows here; false with the
  // problem for the user when the file is damaged.
  bool start(TiffBytes& bytes, size_t index, std::string& problem);
  // Decodes the started block's next rows (at most partRows, at most the rows left):
  // row r goes to dest + r x destStride, colsOf cells of it.
  bool next(uint32_t rows, float* dest, size_t destStride, std::string& problem);

  // Decodes a whole block, a part after the other: its rowsOf x colsOf cells go to dest,
  // row r starting at dest + r x destStride.
  bool decode(TiffBytes& bytes, size_t index, float* dest, size_t destStride, std::string& problem);
  // Reads and decompresses the rows of a block inside the image, a part after the other,
  // and nothing more.
  bool decompress(TiffBytes& bytes, size_t index, std::string& problem);

 private:
  struct Inflater;

  // Reads and decompresses the started block's next rows; raw_ points at them.
  bool decompressRows(uint32_t rows, std::string& problem);
  // Reads the next piece of the block's compressed bytes.
  bool readPiece(std::string& problem);
  // The predictor undone on the decompressed rows, into dest.
  void undoPredictor(uint32_t rows, float* dest, size_t destStride);
  // Says that the file is damaged: before, "tile" or "strip", after.
  bool damaged(const char* before, const char* after, std::string& problem) const;

  const TiffImage& image_;
  float noDataOut_;
  bool mapsNoData_ = false;
  float noData_ = 0.0f;
  size_t rowBytes_ = 0;  // of a block's row, decompressed
  uint32_t partRows_ = 1;

  // The started block.
  TiffBytes* bytes_ = nullptr;
  size_t index_ = 0;
  bool empty_ = false;     // never written: no bytes stored
  uint32_t rowsDone_ = 0;  // rows handed out
  uint64_t inOffset_ = 0;  // where its bytes not yet read start
  uint64_t inLeft_ = 0;    // and how many there are

  const uint8_t* raw_ = nullptr;  // the part decompressed
  std::vector<uint8_t> piece_;    // compressed bytes as read
  std::vector<uint8_t> part_;     // a part, decompressed (but by LZW)
  std::vector<uint8_t> row_;      // a row with its byte differences undone
  std::unique_ptr<LzwDecoder> lzw_;
  std::unique_ptr<Inflater> inflater_;
};

}  // namespace ned
