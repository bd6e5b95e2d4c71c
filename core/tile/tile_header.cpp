#include "core/tile/tile_header.h"

#include <cmath>
#include <cstring>

#include "core/numbers.h"

namespace ned {

namespace {

// The whole degree of a corner value moved by some degrees, held at the limits of the
// type: a header may carry any number, and the degree table refuses what lies beyond it.
int32_t wholeDegree(double corner, int32_t degrees) {
  const int64_t degree = static_cast<int64_t>(truncateToInt32(corner)) + degrees;
  if (degree > INT32_MAX) return INT32_MAX;
  if (degree < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(degree);
}

}  // namespace

int32_t northEdgeLat(const TileHeader& header) {
  return wholeDegree(header.tileSouthLat, 2);
}

int32_t southEdgeLat(const TileHeader& header) {
  return wholeDegree(header.tileSouthLat, 1);
}

int32_t westEdgeLon(const TileHeader& header) {
  return wholeDegree(header.tileWestLon, 0);
}

int32_t eastEdgeLon(const TileHeader& header) {
  return wholeDegree(header.tileWestLon, -1);
}

int HeaderPieces::peekByte() {
  if (at_ == held_) {
    held_ = file_.read(offset_, buffer_, sizeof buffer_);
    offset_ += held_;
    at_ = 0;
    if (held_ == 0) return -1;
  }
  return buffer_[at_];
}

int HeaderPieces::takeByte() {
  const int c = peekByte();
  if (c >= 0) ++at_;
  return c;
}

int HeaderPieces::nextChar() {
  if (ended_) return -1;
  int c = takeByte();
  if (c == 0x1A) c = -1;
  if (c == '\r' && peekByte() == '\n') {
    takeByte();
    return '\n';
  }
  if (c < 0) ended_ = true;
  return c;
}

bool HeaderPieces::next() {
  char fresh[kMaxPieceChars + 1];
  int length = 0;
  while (length < kMaxPieceChars) {
    const int c = nextChar();
    if (c < 0) break;
    fresh[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (length == 0) return false;
  fresh[length] = '\0';
  std::memcpy(piece_, fresh, static_cast<size_t>(length) + 1);
  return true;
}

bool HeaderPieces::contains(const char* word) const {
  return std::strstr(piece_, word) != nullptr;
}

double takeNumber(const char* piece) {
  while (*piece != '\0' && (*piece < '0' || *piece > '9')) ++piece;
  return parseLeadingDouble(piece);
}

namespace {

constexpr double kLongFormLonOffset = 0.000555555555;
constexpr double kLongFormLatOffset = 1.000555555555;

void acceptFullSize(TileHeader& header) {
  header.rasterCols = TileGeometry::cellsPerSide;
  header.rasterRows = TileGeometry::cellsPerSide;
}

// Whether a piece carries a number at all; a corner without a digit ("xllcorner nan")
// would be read as 0.
bool hasDigit(const char* piece) {
  return std::strpbrk(piece, "0123456789") != nullptr;
}

}  // namespace

bool readHeaderByKeywords(HeaderPieces& pieces, TileHeader& header) {
  int dimCount = 0;
  int cornerCount = 0;
  int pieceCount = 0;
  bool cornerNotANumber = false;
  while (pieces.next()) {
    if (pieces.contains("10812")) ++dimCount;
    const bool number = hasDigit(pieces.piece());
    if (pieces.contains("ULXMAP") + pieces.contains("xllcorner") == 1) {
      cornerNotANumber = cornerNotANumber || !number;
      ++cornerCount;
      header.tileWestLon = takeNumber(pieces.piece());
    }
    if (pieces.contains("ULYMAP") + pieces.contains("yllcorner") == 1) {
      cornerNotANumber = cornerNotANumber || !number;
      ++cornerCount;
      header.tileSouthLat = takeNumber(pieces.piece());
    }
    ++pieceCount;
  }
  if (pieceCount > 8) {
    header.tileWestLon = std::floor(header.tileWestLon) + kLongFormLonOffset;
    header.tileSouthLat = std::floor(header.tileSouthLat) - kLongFormLatOffset;
  }
  if (dimCount == 2) acceptFullSize(header);
  if (dimCount + cornerCount != 4 || cornerNotANumber) return false;
  header.nodataLine = "NODATA        -9999";
  return true;
}

bool readHeaderByPosition(HeaderPieces& pieces, TileHeader& header) {
  int dimCount = 0;
  bool shortForm = false;
  for (int index = 1; index <= 4; ++index) {
    pieces.next();  // a read past the end leaves the last piece to be looked at again
    if (pieces.contains(" 10812")) ++dimCount;
    if (dimCount == 2 && index <= 2) {
      shortForm = true;
      break;
    }
  }
  if (dimCount < 2) return false;
  acceptFullSize(header);
  if (shortForm) {
    pieces.next();
    header.tileWestLon = takeNumber(pieces.piece());
    pieces.next();
    header.tileSouthLat = takeNumber(pieces.piece());
    return true;
  }
  while (pieces.next()) {
    if (!pieces.contains("ULXMAP")) continue;
    header.tileWestLon = std::floor(takeNumber(pieces.piece())) + kLongFormLonOffset;
    pieces.next();
    header.tileSouthLat = std::floor(takeNumber(pieces.piece())) - kLongFormLatOffset;
    break;
  }
  return true;
}

HeaderFileRead readHeaderFile(FileSystem& files, Program program, const std::string& path,
                              TileHeader& header) {
  const std::unique_ptr<OpenFile> file = files.open(path, OpenMode::read);
  if (file == nullptr) return HeaderFileRead::notOpened;
  HeaderPieces pieces(*file);
  const bool accepted = program == Program::viewer ? readHeaderByKeywords(pieces, header)
                                                   : readHeaderByPosition(pieces, header);
  return accepted ? HeaderFileRead::accepted : HeaderFileRead::rejected;
}

}  // namespace ned
