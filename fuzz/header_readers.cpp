// Both header readers over any bytes. The pieces are what a text-mode line reader gives;
// an accepted header has the tile's size where the reader sets it; the corner values are
// never NaN and never below what a reading without the sign allows; and the whole-degree
// edges of any corner lie one degree apart or are held at the limit.
#include <cmath>
#include <cstring>

#include "core/tile/tile_header.h"
#include "fuzz/fuzz_check.h"
#include "tests/support/scripted_file_system.h"

namespace {

// The bytes as a file; the reader sees them as it sees a header file.
ned::testing::MemoryFile fileOf(const uint8_t* data, size_t size) {
  ned::testing::MemoryFile file;
  file.bytes.assign(reinterpret_cast<const char*>(data), size);
  return file;
}

// The pieces against a literal loop: the text as a text-mode stream reads it (CR LF as
// LF, the end at a Ctrl-Z), cut after each line feed and after every 37 characters; a
// piece is seen up to a NUL byte in it.
void checkPieces(const uint8_t* data, size_t size) {
  std::string text;
  for (size_t k = 0; k < size && data[k] != 0x1A; ++k) {
    if (!(data[k] == '\r' && k + 1 < size && data[k + 1] == '\n'))
      text += static_cast<char>(data[k]);
  }
  ned::testing::MemoryFile file = fileOf(data, size);
  ned::HeaderPieces pieces(file);
  size_t at = 0;
  while (pieces.next()) {
    FUZZ_CHECK(at < text.size());
    size_t length = 0;
    while (length < static_cast<size_t>(ned::HeaderPieces::kMaxPieceChars) &&
           at + length < text.size() && (length == 0 || text[at + length - 1] != '\n'))
      ++length;
    const std::string expected = text.substr(at, length);
    FUZZ_CHECK(pieces.piece() == expected.substr(0, expected.find('\0')));
    at += length;
  }
  FUZZ_CHECK(at == text.size());
}

void checkEdges(const ned::TileHeader& header) {
  FUZZ_CHECK(!std::isnan(header.tileWestLon) && header.tileWestLon >= 0.0);
  FUZZ_CHECK(!std::isnan(header.tileSouthLat) && header.tileSouthLat >= -1.000555555555);
  const int32_t north = ned::northEdgeLat(header);
  const int32_t south = ned::southEdgeLat(header);
  FUZZ_CHECK(static_cast<int64_t>(north) - south == 1 || north == INT32_MAX);
  FUZZ_CHECK(static_cast<int64_t>(ned::westEdgeLon(header)) - ned::eastEdgeLon(header) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  checkPieces(data, size);

  for (const bool byKeywords : {true, false}) {
    ned::testing::MemoryFile file = fileOf(data, size);
    ned::HeaderPieces pieces(file);
    ned::TileHeader header;
    const bool accepted = byKeywords ? ned::readHeaderByKeywords(pieces, header)
                                     : ned::readHeaderByPosition(pieces, header);
    if (accepted && byKeywords) {
      // The viewer takes the size only from exactly two pieces carrying it.
      FUZZ_CHECK(header.rasterCols == 0 || header.rasterCols == 10812);
      FUZZ_CHECK(header.nodataLine == "NODATA        -9999");
    }
    if (accepted && !byKeywords) FUZZ_CHECK(header.rasterCols == 10812);
    FUZZ_CHECK(header.rasterRows == header.rasterCols);
    checkEdges(header);
  }
  return 0;
}
