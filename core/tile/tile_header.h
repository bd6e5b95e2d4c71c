// A tile's header: the fixed geometry of a 1/3 arc-second tile, the values read from
// its header file, and the two ways of reading that file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/file_system.h"
#include "core/program.h"

namespace ned {

// The geometry every tile has; none of it is read from the header.
struct TileGeometry {
  static constexpr int32_t cellsPerSide = 10812;
  static constexpr int32_t cellsPerDegree = 10800;
  static constexpr int32_t overlapCells = 6;
  static constexpr double overlapDegrees = 0.000555555555;  // the program's constant for 6 cells
  static constexpr int32_t firstCell = 6;                   // row and column of the north-west cell
  static constexpr int32_t edgeIndex = 10806;               // just past the south and east edges
  static constexpr int32_t sampleBytes = 4;
  static constexpr int32_t rowBytes = cellsPerSide * sampleBytes;  // 43248
  static constexpr float noDataValue = -9999.0f;
};

// The values of one opened tile. Longitudes are positive degrees west.
struct TileHeader {
  std::string headerPath;
  std::string rasterPath;
  int32_t rasterCols = 0;
  int32_t rasterRows = 0;
  double tileWestLon = 0.0;   // west edge of the raster, overlap included
  double tileSouthLat = 0.0;  // south edge of the raster, overlap included
  std::string nodataLine;     // set by the viewer's reader on acceptance
  std::string chosenPath;     // the file the user opened: the header, or a GeoTIFF
};

// The whole-degree edges of the tile, held at the limits of int32_t for corner values far
// beyond any tile.
int32_t northEdgeLat(const TileHeader& header);
int32_t southEdgeLat(const TileHeader& header);
int32_t westEdgeLon(const TileHeader& header);
int32_t eastEdgeLon(const TileHeader& header);

// The header file as the line reader sees it: pieces of at most 37 characters, each a
// whole line with its line feed or the first 37 characters of a longer one. The text
// is read as a text-mode stream reads it: CR LF comes as LF, and Ctrl-Z ends it. A read
// that fails is the end of the text.
class HeaderPieces {
 public:
  static constexpr int kMaxPieceChars = 37;

  explicit HeaderPieces(OpenFile& file) : file_(file) {}
  // Reads the next piece. At the end of the file nothing is read, the previous piece
  // stays, and the result is false.
  bool next();
  const char* piece() const { return piece_; }
  bool contains(const char* word) const;

 private:
  // The file's next byte, or -1 at its end; peekByte does not move on.
  int takeByte();
  int peekByte();
  int nextChar();

  OpenFile& file_;
  uint64_t offset_ = 0;  // of the byte after those in the buffer
  unsigned char buffer_[512] = {};
  size_t held_ = 0;  // bytes in the buffer
  size_t at_ = 0;    // the next of them
  bool ended_ = false;
  char piece_[kMaxPieceChars + 1] = {};
};

// The value of a piece: every character before the first digit is skipped, then the
// rest is read as a decimal number. The sign is never read; no digit gives 0.
double takeNumber(const char* piece);

// The viewer's reader: scans every piece for its keywords. A header with a corner piece
// without a digit is refused: the viewer shows and writes the corner, which would be 0.
bool readHeaderByKeywords(HeaderPieces& pieces, TileHeader& header);

// The extractor's reader: decides by the position of the pieces.
bool readHeaderByPosition(HeaderPieces& pieces, TileHeader& header);

enum class HeaderFileRead { notOpened, rejected, accepted };

// Opens a header file through the file seam and reads it with the program's reader: the
// keyword reader for the viewer, the positional one for the extractor.
HeaderFileRead readHeaderFile(FileSystem& files, Program program, const std::string& path,
                              TileHeader& header);

}  // namespace ned
