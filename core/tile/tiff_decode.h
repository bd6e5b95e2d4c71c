// The samples of a TIFF image, one tile or strip at a time: read, decompressed (none, LZW
// or Deflate), the predictor undone (horizontal differencing of the 32-bit words, or the
// floating-point predictor's byte planes), and handed out as native floats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/tile/tiff_image.h"

namespace ned {

// How far past its output the LZW decoder may write, and past what it wrote read: it
// copies strings in 16-byte steps.
constexpr size_t kLzwSlack = 32;

// Decodes one TIFF LZW stream: codes of 9 to 12 bits, most significant bit first, 256
// clearing the table, 257 ending the stream, the code width growing one code before the
// table needs it. Stops at the end code, at the end of the input, or when outSize bytes
// are written; out must have room for outSize + kLzwSlack bytes. Gives false for a code
// that cannot occur in a valid stream; written is what came out either way.
bool decodeLzw(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, size_t& written);

class TiffBlockDecoder {
 public:
  // Cells equal to the image's no-data value, and cells that are not a number, are handed
  // out as noDataOut.
  TiffBlockDecoder(const TiffImage& image, float noDataOut);
  ~TiffBlockDecoder();
  TiffBlockDecoder(const TiffBlockDecoder&) = delete;
  TiffBlockDecoder& operator=(const TiffBlockDecoder&) = delete;

  // The cells of a block that lie inside the image.
  uint32_t rowsOf(size_t index) const;
  uint32_t colsOf(size_t index) const;

  // Reads and decompresses a block into the decoder's buffer, nothing more; false with
  // the problem for the user when the file is damaged.
  bool decompress(TiffBytes& bytes, size_t index, std::string& problem);

  // Decodes a block: its rowsOf x colsOf cells go to dest, row r starting at dest + r x
  // destStride.
  bool decode(TiffBytes& bytes, size_t index, float* dest, size_t destStride, std::string& problem);

 private:
  struct Inflater;

  // The bytes a block decompresses to.
  size_t decodedBytes(size_t index) const;
  void undoPredictor(size_t index, float* dest, size_t destStride);

  const TiffImage& image_;
  float noDataOut_;
  bool mapsNoData_ = false;
  float noData_ = 0.0f;
  std::vector<uint8_t> compressed_;
  std::vector<uint8_t> raw_;
  std::unique_ptr<Inflater> inflater_;
};

}  // namespace ned
