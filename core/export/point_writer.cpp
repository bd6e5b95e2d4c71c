#include "core/export/point_writer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/export/map_projection.h"
#include "core/export/number_format.h"
#include "core/numbers.h"
#include "core/tile/raster.h"

namespace ned {

namespace {

// The output through one large buffer of our own, written in blocks. The stream's own
// buffer is turned off: every write is a whole block. The buffer owns the cursor between
// rows; a row writer takes it, writes its row through a local copy (which stays in a
// register while the bytes are stored) and hands it back. A failed write is remembered
// and stops the row writer at its next point.
class BlockOutput {
 public:
  static constexpr size_t kBlockBytes = size_t(1) << 20;
  // Room past the block's end for one more point of the widest form, and a line end.
  static constexpr size_t kSlackBytes = 3 * kMaxFixed3Chars + 16;

  BlockOutput() = default;
  BlockOutput(const BlockOutput&) = delete;
  BlockOutput& operator=(const BlockOutput&) = delete;
  ~BlockOutput() {
    if (file_ != nullptr) std::fclose(file_);
  }

  bool open(const std::string& path) {
    buffer_.reset(new (std::nothrow) char[kBlockBytes + kSlackBytes]);
    if (buffer_ == nullptr) return false;
    cursor_ = buffer_.get();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return false;
    std::setvbuf(file_, nullptr, _IONBF, 0);
    return true;
  }

  // Where the next row starts.
  char* cursor() const { return cursor_; }

  // Room at p for one more point: once p has passed the end of the block, the block is
  // written and p starts the buffer again. False once a write failed.
  bool makeRoom(char*& p) {
    if (p < buffer_.get() + kBlockBytes) return true;
    p = drain(p);
    return !failed_;
  }

  // Takes the cursor back at the end of a row; false once a write failed.
  bool endRow(char* p) {
    cursor_ = p;
    return makeRoom(cursor_);
  }

  // Writes what is left and closes the file; false when any write or the close failed.
  bool close() {
    cursor_ = drain(cursor_);
    const int closed = std::fclose(file_);
    file_ = nullptr;
    return !failed_ && closed == 0;
  }

 private:
  // Writes the buffer up to p; gives the start of the buffer.
  char* drain(char* p) {
    const size_t length = static_cast<size_t>(p - buffer_.get());
    if (!failed_ && length > 0 && std::fwrite(buffer_.get(), 1, length, file_) != length)
      failed_ = true;
    return buffer_.get();
  }

  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  char* cursor_ = nullptr;
  bool failed_ = false;
};

// A sample as it is written: in feet on request, and raised to 0.001 just below zero in
// the viewer. The reduced tile keeps its no-data cells at -9999, so that its header's
// NODATA line stays true.
inline float outputValue(const WritePlan& pass, float z) {
  if (pass.feetPerMetre != 0.0L &&
      !(pass.kind == OutputKind::BinaryFlt && z == TileGeometry::noDataValue))
    z = static_cast<float>(static_cast<long double>(z) * pass.feetPerMetre);
  if (pass.rules.raiseJustBelowZero && z < 0.0f && static_cast<double>(z) > -0.001) z = 0.001f;
  return z;
}

// The four digits of every number below 10000, for the coordinates' whole parts.
struct QuadDigits {
  char digits[40000];
  constexpr QuadDigits() : digits() {
    for (int k = 0; k < 10000; ++k) {
      digits[4 * k] = static_cast<char>('0' + k / 1000);
      digits[4 * k + 1] = static_cast<char>('0' + k / 100 % 10);
      digits[4 * k + 2] = static_cast<char>('0' + k / 10 % 10);
      digits[4 * k + 3] = static_cast<char>('0' + k % 10);
    }
  }
};
constexpr QuadDigits kQuadDigits{};

// "d.ddd" for every number below 10000, in slots of eight.
struct PointQuadDigits {
  char digits[80000];
  constexpr PointQuadDigits() : digits() {
    for (int k = 0; k < 10000; ++k) {
      digits[8 * k] = static_cast<char>('0' + k / 1000);
      digits[8 * k + 1] = '.';
      digits[8 * k + 2] = static_cast<char>('0' + k / 100 % 10);
      digits[8 * k + 3] = static_cast<char>('0' + k / 10 % 10);
      digits[8 * k + 4] = static_cast<char>('0' + k % 10);
    }
  }
};
constexpr PointQuadDigits kPointQuadDigits{};

inline char* lineEnd(char* p) {
  p[0] = '\r';
  p[1] = '\n';
  return p + 2;
}

// The row writers, one per form. Each writes the kept cells among the first n samples of
// a kept row (n < cols when the raster ended inside the row), counts the points, and
// gives false when the output failed; nextRow moves it on past row i, kept or not.
class RowWriter {
 public:
  explicit RowWriter(const WritePlan& pass) : pass_(pass) {}
  void nextRow(uint32_t) {}
  uint64_t points = 0;

 protected:
  // Writes every step-th of the first n cells at p with put(p, j), which gives the end of
  // what it wrote, making room before each; false when the output failed.
  template <class Put>
  bool writeKept(BlockOutput& out, char*& p, uint32_t n, Put put) {
    for (uint64_t j = 0; j < n; j += pass_.step) {
      if (!out.makeRoom(p)) return false;
      p = put(p, j);
      ++points;
    }
    return true;
  }

  const WritePlan& pass_;
};

// "X, Y, Z" lines. X moves on by the east-west spacing at every cell, kept or not; Y by
// the north-south spacing at every row. The projected-north grid widens row by row.
class XyzRows : public RowWriter {
 public:
  explicit XyzRows(const WritePlan& pass)
      : RowWriter(pass), x_(pass.startEasting), y_(pass.startNorthing), w_(pass.w) {
    if (pass.kind == OutputKind::RectangularXyz) prepareEastingSlots();
  }

  bool write(BlockOutput& out, const float* samples, uint32_t n) {
    // ", Y, " is the same for the whole row; "Y, " after the X slots.
    char yText[kMaxFixed3Chars + 4] = {',', ' '};
    char* yEnd = formatFixed3(y_, yText + 2);
    *yEnd++ = ',';
    *yEnd++ = ' ';
    const size_t yLength = static_cast<size_t>(yEnd - yText);
    if (slots_ != nullptr && yLength - 2 <= kSlotBytes)
      return writeFromSlots(out, yText + 2, yLength - 2, samples, n);
    char* p = out.cursor();
    double x = x_;
    uint32_t untilKept = 0;
    for (uint32_t j = 0; j < n; ++j) {
      if (untilKept == 0) {
        if (!out.makeRoom(p)) return false;
        p = formatFixed3(x, p);
        std::memcpy(p, yText, yLength);
        p = lineEnd(formatFixed3(outputValue(pass_, samples[j]), p + yLength));
        ++points;
        untilKept = pass_.step;
      }
      --untilKept;
      x += w_;
    }
    return out.endRow(p);
  }

  void nextRow(uint32_t i) {
    if (pass_.kind == OutputKind::ProjectNorthXyz) {
      x_ = static_cast<double>(static_cast<long double>(pass_.startEasting) -
                               static_cast<long double>(pass_.ewSpacingGrowth) * 0.5L *
                                   (static_cast<long double>(i) + 1.0L) *
                                   (static_cast<long double>(pass_.cols) + 1.0L));
      w_ = w_ + pass_.ewSpacingGrowth;
    } else {
      x_ = pass_.startEasting;
    }
    y_ = y_ - pass_.nsSpacing;
  }

 private:
  static constexpr size_t kSlotBytes = 32;

  // The rectangular grid's rows all start at the same X with the same spacing, so the
  // "X, " texts of the kept columns are made once: slots of kSlotBytes, the text's length
  // in the last byte. None when a text would not fit.
  void prepareEastingSlots() {
    const uint32_t kept = keptCount(pass_.cols, pass_.step);
    if (kept == 0 || kept > (1u << 16)) return;
    slots_.reset(new (std::nothrow) char[kept * kSlotBytes]);
    if (slots_ == nullptr) return;
    double x = pass_.startEasting;
    char* slot = slots_.get();
    for (uint32_t j = 0; j < pass_.cols; ++j) {
      if (j % pass_.step == 0) {
        char text[kMaxFixed3Chars + 2];
        char* end = formatFixed3(x, text);
        *end++ = ',';
        *end++ = ' ';
        const size_t length = static_cast<size_t>(end - text);
        if (length >= kSlotBytes) {
          slots_.reset();
          return;
        }
        std::memcpy(slot, text, length);
        slot[kSlotBytes - 1] = static_cast<char>(length);
        slot += kSlotBytes;
      }
      x += w_;
    }
  }

  // The row from the X slots; yTail is "Y, " with room to copy a whole slot from it.
  bool writeFromSlots(BlockOutput& out, const char* yTail, size_t yTailLength, const float* samples,
                      uint32_t n) {
    char* p = out.cursor();
    const char* slot = slots_.get();
    const bool written = writeKept(out, p, n, [&](char* q, uint64_t j) {
      std::memcpy(q, slot, kSlotBytes);
      q += static_cast<unsigned char>(slot[kSlotBytes - 1]);
      slot += kSlotBytes;
      std::memcpy(q, yTail, kSlotBytes);
      return lineEnd(formatFixed3(outputValue(pass_, samples[j]), q + yTailLength));
    });
    return written && out.endRow(p);
  }

  double x_;
  double y_;
  double w_;  // east-west spacing of the current row
  std::unique_ptr<char[]> slots_;
};

// "X, Y, Z" lines at the map coordinates of each kept cell's centre: a row of positions
// projected at a time, along the row's parallel.
class MapRows : public RowWriter {
 public:
  explicit MapRows(const WritePlan& pass)
      : RowWriter(pass),
        projection_(prepareProjection(*pass.map)),
        positions_(keptCount(pass.cols, pass.step) + 1) {}

  bool write(BlockOutput& out, const float* samples, uint32_t n) {
    const long double latitude = static_cast<long double>(pass_.firstLatitude) -
                                 static_cast<long double>(row_) * pass_.cellDegrees;
    const size_t kept = keptCount(n, pass_.step);
    projectRow(projection_, static_cast<double>(latitude), pass_.firstLongitude,
               static_cast<double>(static_cast<long double>(pass_.step) * pass_.cellDegrees), kept,
               positions_.data());
    // The leading digits stay in registers along the row: the output's bytes may alias
    // anything the writer keeps in memory.
    Leading easting = eastingLeading_;
    Leading northing = northingLeading_;
    const MapPoint* position = positions_.data();
    char* p = out.cursor();
    const bool written = writeKept(out, p, n, [&](char* q, uint64_t j) {
      q = formatCoordinate(position->easting, q, easting);
      q[0] = ',';
      q[1] = ' ';
      q = formatCoordinate(position++->northing, q + 2, northing);
      q[0] = ',';
      q[1] = ' ';
      return lineEnd(formatFixed3(outputValue(pass_, samples[j]), q + 2));
    });
    eastingLeading_ = easting;
    northingLeading_ = northing;
    return written && out.endRow(p);
  }

  void nextRow(uint32_t i) { row_ = i + 1; }

 private:
  // A coordinate's digits above its last eight (those of its thousandths), which change
  // only now and then along a row: the thousandths they stand for (none at first) and
  // their text, at most six digits, held in a word so that it stays in a register.
  struct Leading {
    uint64_t base = 0;
    uint64_t text = 0;
    size_t length = 0;
  };

  // A projected coordinate with three decimals. The projection is good to micrometres, so
  // the value is rounded to thousandths as it is (a tie goes either way, as right as the
  // other), which is quicker than the exact decimal of the binary value. From 100000 up,
  // the last eight digits are written four at a time after the leading ones.
  static char* formatCoordinate(double value, char* out, Leading& leading) {
    if (!(value >= 100000.0 && value < 1e11)) return formatSmallCoordinate(value, out);
    const uint64_t thousandths = static_cast<uint64_t>(static_cast<int64_t>(value * 1000.0 + 0.5));
    uint64_t low = thousandths - leading.base;
    if (low >= 100000000) {
      const uint64_t high = thousandths / 100000000;
      char text[24] = {};
      leading.length = static_cast<size_t>(formatUnsigned(high, text) - text);
      std::memcpy(&leading.text, text, 8);
      leading.base = high * 100000000;
      low = thousandths - leading.base;
    }
    std::memcpy(out, &leading.text, 8);
    out += leading.length;
    const uint32_t upper = static_cast<uint32_t>(low) / 10000;
    std::memcpy(out, kQuadDigits.digits + upper * 4, 4);
    std::memcpy(out + 4, kPointQuadDigits.digits + (static_cast<uint32_t>(low) - upper * 10000) * 8,
                8);
    return out + 9;
  }

  static char* formatSmallCoordinate(double value, char* out) {
    if (!(value > -1e11 && value < 1e11)) return formatFixed3(value, out);
    const bool negative = std::signbit(value);
    const uint64_t thousandths = static_cast<uint64_t>((negative ? -value : value) * 1000.0 + 0.5);
    *out = '-';
    out += negative;
    const uint64_t whole = thousandths / 1000;
    out = whole < 100000000 ? detail::formatBelow1e8(static_cast<uint32_t>(whole), out)
                            : formatUnsigned(whole, out);
    std::memcpy(out, detail::kDigitTables.thousandths + (thousandths - whole * 1000) * 4, 4);
    return out + 4;
  }

  Leading eastingLeading_;
  Leading northingLeading_;
  uint32_t row_ = 0;
  ProjectionConstants projection_;
  std::vector<MapPoint> positions_;
};

// The elevations of a kept row on one line. The viewer joins them with commas; the
// extractor follows each with a comma except one in the last selected column. A row cut
// short by the end of the raster gets no line end.
class CsvRows : public RowWriter {
 public:
  explicit CsvRows(const WritePlan& pass) : RowWriter(pass) {}

  bool write(BlockOutput& out, const float* samples, uint32_t n) {
    char* p = out.cursor();
    const bool written = writeKept(out, p, n, [&](char* q, uint64_t j) {
      if (pass_.rules.commaAfterEachValue) {
        q = formatFixed3(outputValue(pass_, samples[j]), q);
        if (j != pass_.cols - 1) *q++ = ',';
        return q;
      }
      if (j != 0) *q++ = ',';
      return formatFixed3(outputValue(pass_, samples[j]), q);
    });
    if (!written) return false;
    if (n == pass_.cols) {
      p = lineEnd(p);
    } else if (!pass_.rules.commaAfterEachValue && n > 0) {
      *p++ = ',';  // the viewer writes each value with its comma; the row was cut short
    }
    return out.endRow(p);
  }
};

// The kept samples as little-endian floats.
class BinaryRows : public RowWriter {
 public:
  explicit BinaryRows(const WritePlan& pass) : RowWriter(pass) {}

  bool write(BlockOutput& out, const float* samples, uint32_t n) {
    char* p = out.cursor();
    const bool written = writeKept(out, p, n, [&](char* q, uint64_t j) {
      const float z = outputValue(pass_, samples[j]);
      uint32_t bits;
      std::memcpy(&bits, &z, sizeof bits);
      q[0] = static_cast<char>(bits & 0xFF);
      q[1] = static_cast<char>((bits >> 8) & 0xFF);
      q[2] = static_cast<char>((bits >> 16) & 0xFF);
      q[3] = static_cast<char>((bits >> 24) & 0xFF);
      return q + 4;
    });
    return written && out.endRow(p);
  }
};

enum class PassEnd { complete, endOfRaster, outputFailed };

// The pass over the selection's rows, north to south, with one row writer.
template <class Rows>
PassEnd writeRows(const WritePlan& pass, RowSource& block, float* samples, BlockOutput& out,
                  Rows& rows) {
  for (uint32_t i = 0; i < pass.rows; ++i) {
    const uint32_t n = static_cast<uint32_t>(block.readRow(samples));
    // A row dropped by thinning writes nothing.
    if (i % pass.step == 0 && !rows.write(out, samples, n)) return PassEnd::outputFailed;
    if (n < pass.cols) return PassEnd::endOfRaster;  // what was written stays
    rows.nextRow(i);
  }
  return PassEnd::complete;
}

// The pass with the row writer of the pass's form; gives how it ended and the points
// written.
PassEnd writeSelection(const WritePlan& pass, RowSource& block, float* samples, BlockOutput& out,
                       uint64_t* points) {
  const auto run = [&](auto rows) {
    const PassEnd end = writeRows(pass, block, samples, out, rows);
    *points = rows.points;
    return end;
  };
  switch (pass.kind) {
    case OutputKind::RectangularXyz:
    case OutputKind::ProjectNorthXyz:
      if (pass.map != nullptr) return run(MapRows(pass));
      return run(XyzRows(pass));
    case OutputKind::ElevationCsv:
      return run(CsvRows(pass));
    case OutputKind::BinaryFlt:
      return run(BinaryRows(pass));
    case OutputKind::DxfContours:
      break;  // contours: wired with the contour writer
  }
  return PassEnd::complete;
}

std::string countText(uint64_t points) {
  return std::to_string(points) + " points written.";
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    char ca = a[k];
    char cb = b[k];
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<char>(cb - 'A' + 'a');
    if (ca != cb) return false;
  }
  return true;
}

}  // namespace

FileDialogRequest outputDialogRequest(OutputKind kind) {
  FileDialogRequest request;
  if (kind == OutputKind::BinaryFlt) {
    request.filters = {{"Float File (*.flt)", "*.flt"}};
    request.defaultExtension = "flt";
  } else if (kind == OutputKind::DxfContours) {
    request.filters = {{"DXF Drawing (*.dxf)", "*.dxf"}};
    request.defaultExtension = "dxf";
  } else {
    request.filters = {{"Comma Seperated Value (*.csv)", "*.csv"}};
    request.defaultExtension = "csv";
  }
  request.options.pathMustExist = true;
  request.options.overwritePrompt = true;
  return request;
}

std::string outputHeaderPath(const std::string& outputPath, unsigned extensionOffset) {
  std::string path = replaceExtension(outputPath, extensionOffset, "hdr");
  // The file system may not tell the letter cases apart.
  if (equalIgnoringCase(path, outputPath)) path = outputPath + ".hdr";
  return path;
}

std::string outputVrtPath(const std::string& outputPath, unsigned extensionOffset) {
  std::string path = replaceExtension(outputPath, extensionOffset, "vrt");
  if (equalIgnoringCase(path, outputPath)) path = outputPath + ".vrt";
  return path;
}

namespace {

enum class FileWrite { written, notOpened, failed };

// A small file's bytes, all at once.
FileWrite writeWholeFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return FileWrite::notOpened;
  const bool wrote = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  return wrote && closed ? FileWrite::written : FileWrite::failed;
}

std::string xmlEscaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::string reducedTileVrtText(const WriteRequest& request, bool inFeet,
                               const std::string& rasterName) {
  const Selection& selection = request.selection;
  const uint32_t step = selection.step == 0 ? 1 : selection.step;
  const uint32_t cols = keptCount(selection.cols, step);
  const uint32_t rows = keptCount(selection.rows, step);
  // A kept cell stands for the step x step cells from it on; its centre stays where the
  // cell's own centre is, so the outer corner lies half a step less half a cell from it.
  const long double cell = 1.0L / TileGeometry::cellsPerDegree;
  const long double size = step * cell;
  const long double shift = (step - 1) * 0.5L * cell;
  const long double west =
      -static_cast<long double>(request.header.tileWestLon) + selection.startCol * cell - shift;
  const long double north = static_cast<long double>(request.header.tileSouthLat) +
                            (TileGeometry::cellsPerSide - selection.startRow) * cell + shift;
  char transform[160];
  std::snprintf(transform, sizeof transform, "%.17g, %.17g, 0, %.17g, 0, %.17g",
                static_cast<double>(west), static_cast<double>(size), static_cast<double>(north),
                static_cast<double>(-size));
  std::string text;
  text += "<VRTDataset rasterXSize=\"" + std::to_string(cols) + "\" rasterYSize=\"" +
          std::to_string(rows) + "\">\r\n";
  text +=
      "  <SRS dataAxisToSRSAxisMapping=\"2,1\">GEOGCS[&quot;NAD83&quot;,DATUM[&quot;North_"
      "American_Datum_1983&quot;,SPHEROID[&quot;GRS 1980&quot;,6378137,298.257222101,"
      "AUTHORITY[&quot;EPSG&quot;,&quot;7019&quot;]],AUTHORITY[&quot;EPSG&quot;,&quot;6269&quot;"
      "]],PRIMEM[&quot;Greenwich&quot;,0,AUTHORITY[&quot;EPSG&quot;,&quot;8901&quot;]],UNIT[&"
      "quot;degree&quot;,0.0174532925199433,AUTHORITY[&quot;EPSG&quot;,&quot;9122&quot;]],"
      "AXIS[&quot;Latitude&quot;,NORTH],AXIS[&quot;Longitude&quot;,EAST],AUTHORITY[&quot;EPSG&"
      "quot;,&quot;4269&quot;]]</SRS>\r\n";
  text += "  <GeoTransform>" + std::string(transform) + "</GeoTransform>\r\n";
  text += "  <VRTRasterBand dataType=\"Float32\" band=\"1\" subClass=\"VRTRawRasterBand\">\r\n";
  text += "    <NoDataValue>-9999</NoDataValue>\r\n";
  text += std::string("    <UnitType>") + (inFeet ? "ft" : "m") + "</UnitType>\r\n";
  text +=
      "    <SourceFilename relativeToVRT=\"1\">" + xmlEscaped(rasterName) + "</SourceFilename>\r\n";
  text += "    <ImageOffset>0</ImageOffset>\r\n";
  text += "    <PixelOffset>4</PixelOffset>\r\n";
  text += "    <LineOffset>" + std::to_string(uint64_t(cols) * 4) + "</LineOffset>\r\n";
  text += "    <ByteOrder>LSB</ByteOrder>\r\n";
  text += "  </VRTRasterBand>\r\n";
  text += "</VRTDataset>\r\n";
  return text;
}

std::string reducedTileHeaderText(uint32_t keptCols, uint32_t keptRows, uint32_t step,
                                  const std::string& xulcornerText,
                                  const std::string& yulcornerText, const std::string& nodataLine) {
  const double cellSize = static_cast<double>(static_cast<long double>(step) * kHeaderCellSize);
  std::string text;
  text += "ncols         " + std::to_string(keptCols) + "\r\n";
  text += "nrows         " + std::to_string(keptRows) + "\r\n";
  text += "xulcorner     " + xulcornerText + "\r\n";
  text += "yulcorner     " + yulcornerText + "\r\n";
  text += "cellsize      " + formatGeneral(cellSize, 10) + "\r\n";
  text += (nodataLine.empty() ? std::string("NODATA        -9999") : nodataLine) + "\r\n";
  text += "byteorder     LSBFIRST\r\n";
  return text;
}

ProgramWriteRules writeRulesOf(Program program) {
  // The viewer raises values just below zero and joins a CSV row's values with commas;
  // the extractor writes what it read, ends each CSV value with a comma but the last
  // column's, and tells the count after an early end of the raster.
  return program == Program::viewer ? ProgramWriteRules{true, false, false}
                                    : ProgramWriteRules{false, true, true};
}

long double elevationFactor(const WriteRequest& request) {
  if (!request.toFeet) return 0.0L;
  const MapSystem* map = findMapSystem(request.coordinateSystem);
  // A system in feet takes its own foot; anything else the program's factor.
  if (map != nullptr && map->unit != MapUnit::Metre)
    return 1.0L / static_cast<long double>(metresPerUnit(map->unit));
  return static_cast<long double>(kFeetPerMetre);
}

WritePlan planWrite(const WriteRequest& request, Program program, const GroundSpacing& spacing) {
  const Selection& selection = request.selection;
  WritePlan plan;
  plan.kind = request.kind;
  plan.rules = writeRulesOf(program);
  plan.rows = selection.rows;
  plan.cols = selection.cols;
  plan.step = selection.step == 0 ? 1 : selection.step;
  plan.feetPerMetre = elevationFactor(request);
  plan.map =
      request.kind == OutputKind::RectangularXyz || request.kind == OutputKind::ProjectNorthXyz
          ? findMapSystem(request.coordinateSystem)
          : nullptr;
  if (plan.map != nullptr) {
    // The centre of the first cell, as the tile's corner and its cells place it.
    const TileHeader& header = request.header;
    plan.cellDegrees = 1.0L / TileGeometry::cellsPerDegree;
    plan.firstLatitude = static_cast<double>(
        static_cast<long double>(header.tileSouthLat) +
        (static_cast<long double>(TileGeometry::cellsPerSide) - selection.startRow - 0.5L) *
            plan.cellDegrees);
    plan.firstLongitude = static_cast<double>(-static_cast<long double>(header.tileWestLon) +
                                              (selection.startCol + 0.5L) * plan.cellDegrees);
    return plan;
  }
  plan.startEasting = request.startEasting;
  plan.startNorthing = request.startNorthing;
  plan.nsSpacing = spacing.nsSpacing;
  plan.ewSpacingGrowth = spacing.ewSpacingGrowth;
  if (request.kind == OutputKind::RectangularXyz) {
    const int64_t middleRow = static_cast<int64_t>(selection.startRow) + selection.rows / 2;
    plan.w = ewSpacingAtRow(spacing, truncateToInt32(static_cast<long double>(middleRow)));
  } else if (request.kind == OutputKind::ProjectNorthXyz) {
    plan.w = ewSpacingAtRow(spacing, selection.startRow);
  }
  if (request.toFeet) {
    // The local grid's spacings follow the elevations' unit.
    for (double* length : {&plan.w, &plan.nsSpacing, &plan.ewSpacingGrowth})
      *length = static_cast<double>(static_cast<long double>(*length) * kFeetPerMetre);
  }
  return plan;
}

WriteOutcome writePoints(Desktop& desktop, Program program, const WriteRequest& request) {
  const Selection& selection = request.selection;
  const TileHeader& header = request.header;

  GroundSpacing spacing;
  if (!lookupGroundSpacing(desktop, northEdgeLat(header), &spacing))
    return WriteOutcome::outOfRange;
  const WritePlan pass = planWrite(request, program, spacing);

  const ChosenFile chosen = desktop.chooseFileToSave(outputDialogRequest(request.kind));
  if (chosen.path.empty()) return WriteOutcome::cancelled;
  desktop.createEmptyFile(chosen.path);
  const std::string headerPath = outputHeaderPath(chosen.path, chosen.extensionOffset);

  BlockOutput out;
  if (!out.open(chosen.path)) {
    desktop.showMessage("Can't Open Output file.\n", "Message.", kPlainMessage);
    return WriteOutcome::outputFailed;
  }
  // The rows come from the tile's raster, or from the tiles of its mosaic.
  RasterFile raster;
  BlockReader block(raster, pass.cols);
  MosaicReader tiles(desktop.fileSystem(), request.mosaic, pass.cols);
  const bool oneTile = request.mosaic.empty();
  std::unique_ptr<float[]> samples(new (std::nothrow) float[pass.cols == 0 ? 1 : pass.cols]);
  if (samples == nullptr ||
      !(oneTile ? raster.open(desktop.fileSystem(), header.rasterPath) : tiles.open())) {
    out.close();
    desktop.showMessage("Can't Open Gridfloat file.", "Message.", kPlainMessage);
    return WriteOutcome::rasterFailed;
  }
  // A failed seek shows as the end of the file.
  if (oneTile)
    block.start(selection.startRow, selection.startCol);
  else
    tiles.start(selection.startRow, selection.startCol);
  RowSource& rowsFrom = oneTile ? static_cast<RowSource&>(block) : tiles;

  const auto writeFailed = [&](const char* text) {
    desktop.showMessage(text, "Message.", kPlainMessage);
    return WriteOutcome::writeFailed;
  };

  uint64_t points = 0;
  const PassEnd end = writeSelection(pass, rowsFrom, samples.get(), out, &points);
  raster.close();
  tiles.close();
  if (end == PassEnd::outputFailed) {
    out.close();
    return writeFailed(kWriteFailedText);
  }
  if (end == PassEnd::endOfRaster) {
    desktop.showMessage("End of File.", "Message.", kPlainMessage);
    if (!out.close()) return writeFailed(kWriteFailedText);
    if (pass.rules.countAfterEndOfFile)
      desktop.showMessage(countText(points), "Message", kPlainMessage);
    return WriteOutcome::endOfRaster;
  }
  if (!out.close()) return writeFailed(kWriteFailedText);

  if (request.kind == OutputKind::BinaryFlt) {
    // The whole selection was written: every kept row in full.
    const std::string text = reducedTileHeaderText(
        keptCount(pass.cols, pass.step), keptCount(pass.rows, pass.step), pass.step,
        request.xulcornerText, request.yulcornerText, header.nodataLine);
    const FileWrite headerWrite = writeWholeFile(headerPath, text);
    if (headerWrite == FileWrite::notOpened) {
      desktop.showMessage("Can't Open Header file.\n", "Message.", kPlainMessage);
      return WriteOutcome::headerFailed;
    }
    if (headerWrite == FileWrite::failed) return writeFailed(kHeaderWriteFailedText);
    // Beside them, the tile placed where it lies, for GIS tools.
    const std::string vrt =
        reducedTileVrtText(request, pass.feetPerMetre != 0.0L, fileNameOf(chosen.path));
    if (writeWholeFile(outputVrtPath(chosen.path, chosen.extensionOffset), vrt) !=
        FileWrite::written)
      return writeFailed(kVrtWriteFailedText);
  }

  desktop.showMessage(countText(points), "Message", kPlainMessage);
  return WriteOutcome::written;
}

}  // namespace ned
