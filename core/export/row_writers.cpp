#include "core/export/row_writers.h"

#include <cstring>
#include <new>
#include <vector>

#include "core/export/map_projection.h"
#include "core/tile/tile_header.h"

namespace ned {

bool BlockOutput::open(FileSystem& files, const std::string& path) {
  buffer_.reset(new (std::nothrow) char[kBlockBytes + kSlackBytes]);
  if (buffer_ == nullptr) return false;
  cursor_ = buffer_.get();
  file_ = files.open(path, OpenMode::createOrTruncate);
  return file_ != nullptr;
}

bool BlockOutput::close() {
  cursor_ = drain(cursor_);
  const bool closed = file_->close();
  file_.reset();
  return !failed_ && closed;
}

char* BlockOutput::drain(char* p) {
  const size_t length = static_cast<size_t>(p - buffer_.get());
  if (!failed_ && length > 0) {
    if (file_->write(written_, buffer_.get(), length))
      written_ += length;
    else
      failed_ = true;
  }
  return buffer_.get();
}

namespace {

inline char* lineEnd(char* p) {
  p[0] = '\r';
  p[1] = '\n';
  return p + 2;
}

// The row writers, one per form. Each writes the kept cells among the first n samples of
// a kept row (n < cols when the raster ended inside the row), counts the points, and
// gives false when the output failed; nextRow moves it on past row i, kept or not. The
// XYZ forms' writers come in two: with kSkipNoData, a cell without data gets no line.
class RowWriter {
 public:
  explicit RowWriter(const WritePlan& plan) : plan_(plan) {}
  void nextRow(uint32_t) {}
  uint64_t points = 0;

 protected:
  // Writes every step-th of the first n cells at p with put(p, j), which gives the end of
  // what it wrote (nullptr for a cell it leaves out, when kSkip), making room before each;
  // false when the output failed.
  template <bool kSkip = false, class Put>
  bool writeKept(BlockOutput& out, char*& p, uint32_t n, Put put) {
    for (uint64_t j = 0; j < n; j += plan_.step) {
      if (!out.makeRoom(p)) return false;
      char* end = put(p, j);
      if constexpr (kSkip) {
        if (end == nullptr) continue;
      }
      p = end;
      ++points;
    }
    return true;
  }

  const WritePlan& plan_;
};

inline bool hasNoData(float z) {
  return z == TileGeometry::noDataValue;
}

// "X, Y, Z" lines. X moves on by the east-west spacing at every cell, kept or not; Y by
// the north-south spacing at every row. The projected-north grid widens row by row.
template <bool kSkipNoData>
class XyzRows : public RowWriter {
 public:
  explicit XyzRows(const WritePlan& plan)
      : RowWriter(plan), x_(plan.startEasting), y_(plan.startNorthing), w_(plan.firstRowEwSpacing) {
    if (plan.kind == OutputKind::RectangularXyz) prepareEastingSlots();
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
        untilKept = plan_.step;
        if (!(kSkipNoData && hasNoData(samples[j]))) {
          if (!out.makeRoom(p)) return false;
          p = formatFixed3(x, p);
          std::memcpy(p, yText, yLength);
          p = lineEnd(formatFixed3(outputValue(plan_, samples[j]), p + yLength));
          ++points;
        }
      }
      --untilKept;
      x += w_;
    }
    return out.endRow(p);
  }

  void nextRow(uint32_t i) {
    if (plan_.kind == OutputKind::ProjectNorthXyz) {
      x_ = static_cast<double>(static_cast<long double>(plan_.startEasting) -
                               static_cast<long double>(plan_.ewSpacingGrowth) * 0.5L *
                                   (static_cast<long double>(i) + 1.0L) *
                                   (static_cast<long double>(plan_.cols) + 1.0L));
      w_ = w_ + plan_.ewSpacingGrowth;
    } else {
      x_ = plan_.startEasting;
    }
    y_ = y_ - plan_.nsSpacing;
  }

 private:
  static constexpr size_t kSlotBytes = 32;

  // The rectangular grid's rows all start at the same X with the same spacing, so the
  // "X, " texts of the kept columns are made once: slots of kSlotBytes, the text's length
  // in the last byte. None when a text would not fit.
  void prepareEastingSlots() {
    const uint32_t kept = keptCount(plan_.cols, plan_.step);
    if (kept == 0 || kept > (1u << 16)) return;
    slots_.reset(new (std::nothrow) char[kept * kSlotBytes]);
    if (slots_ == nullptr) return;
    double x = plan_.startEasting;
    char* slot = slots_.get();
    for (uint32_t j = 0; j < plan_.cols; ++j) {
      if (j % plan_.step == 0) {
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
    const bool written = writeKept<kSkipNoData>(out, p, n, [&](char* q, uint64_t j) -> char* {
      if (kSkipNoData && hasNoData(samples[j])) {
        slot += kSlotBytes;
        return nullptr;
      }
      std::memcpy(q, slot, kSlotBytes);
      q += static_cast<unsigned char>(slot[kSlotBytes - 1]);
      slot += kSlotBytes;
      std::memcpy(q, yTail, kSlotBytes);
      return lineEnd(formatFixed3(outputValue(plan_, samples[j]), q + yTailLength));
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
template <bool kSkipNoData>
class MapRows : public RowWriter {
 public:
  explicit MapRows(const WritePlan& plan)
      : RowWriter(plan),
        projection_(prepareProjection(*plan.map)),
        positions_(keptCount(plan.cols, plan.step) + 1) {}

  bool write(BlockOutput& out, const float* samples, uint32_t n) {
    const long double latitude = static_cast<long double>(plan_.firstLatitude) -
                                 static_cast<long double>(row_) * plan_.cellDegrees;
    const size_t kept = keptCount(n, plan_.step);
    projectRow(projection_, static_cast<double>(latitude), plan_.firstLongitude,
               static_cast<double>(static_cast<long double>(plan_.step) * plan_.cellDegrees), kept,
               positions_.data());
    // The leading digits stay in registers along the row: the output's bytes may alias
    // anything the writer keeps in memory.
    CoordinateLeading easting = eastingLeading_;
    CoordinateLeading northing = northingLeading_;
    const MapPoint* position = positions_.data();
    char* p = out.cursor();
    const bool written = writeKept<kSkipNoData>(out, p, n, [&](char* q, uint64_t j) -> char* {
      if (kSkipNoData && hasNoData(samples[j])) {
        ++position;
        return nullptr;
      }
      q = formatCoordinate(position->easting, q, easting);
      q[0] = ',';
      q[1] = ' ';
      q = formatCoordinate(position++->northing, q + 2, northing);
      q[0] = ',';
      q[1] = ' ';
      return lineEnd(formatFixed3(outputValue(plan_, samples[j]), q + 2));
    });
    eastingLeading_ = easting;
    northingLeading_ = northing;
    return written && out.endRow(p);
  }

  void nextRow(uint32_t i) { row_ = i + 1; }

 private:
  CoordinateLeading eastingLeading_;
  CoordinateLeading northingLeading_;
  uint32_t row_ = 0;
  ProjectionConstants projection_;
  std::vector<MapPoint> positions_;
};

// The elevations of a kept row on one line. The viewer joins them with commas; the
// extractor follows each with a comma except one in the last selected column. A row cut
// short by the end of the raster gets no line end.
class CsvRows : public RowWriter {
 public:
  explicit CsvRows(const WritePlan& plan) : RowWriter(plan) {}

  bool write(BlockOutput& out, const float* samples, uint32_t n) {
    char* p = out.cursor();
    const bool written = writeKept(out, p, n, [&](char* q, uint64_t j) {
      if (plan_.rules.commaAfterEachValue) {
        q = formatFixed3(outputValue(plan_, samples[j]), q);
        if (j != plan_.cols - 1) *q++ = ',';
        return q;
      }
      if (j != 0) *q++ = ',';
      return formatFixed3(outputValue(plan_, samples[j]), q);
    });
    if (!written) return false;
    if (n == plan_.cols) {
      p = lineEnd(p);
    } else if (!plan_.rules.commaAfterEachValue && n > 0) {
      *p++ = ',';  // the viewer writes each value with its comma; the row was cut short
    }
    return out.endRow(p);
  }
};

// The kept samples as little-endian floats.
class BinaryRows : public RowWriter {
 public:
  explicit BinaryRows(const WritePlan& plan) : RowWriter(plan) {}

  bool write(BlockOutput& out, const float* samples, uint32_t n) {
    char* p = out.cursor();
    const bool written = writeKept(out, p, n, [&](char* q, uint64_t j) {
      const float z = outputValue(plan_, samples[j]);
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

// The pass with one row writer.
template <class Rows>
PassResult writeRows(const WritePlan& plan, RowSource& source, float* samples, BlockOutput& out,
                     Rows& rows) {
  PassResult result;
  for (uint32_t i = 0; i < plan.rows && result.end == PassEnd::complete; ++i) {
    const uint32_t n = static_cast<uint32_t>(source.readRow(samples));
    // A row dropped by thinning writes nothing.
    if (i % plan.step == 0) {
      if (!rows.write(out, samples, n)) {
        result.end = PassEnd::outputFailed;
        break;
      }
      if (n == plan.cols) ++result.wholeKeptRows;
    }
    if (n < plan.cols) result.end = PassEnd::endOfRaster;  // what was written stays
    rows.nextRow(i);
  }
  result.points = rows.points;
  return result;
}

}  // namespace

PassResult writeSelection(const WritePlan& plan, RowSource& source, float* samples,
                          BlockOutput& out) {
  const auto run = [&](auto rows) { return writeRows(plan, source, samples, out, rows); };
  switch (plan.kind) {
    case OutputKind::RectangularXyz:
    case OutputKind::ProjectNorthXyz:
      if (plan.map != nullptr)
        return plan.skipNoData ? run(MapRows<true>(plan)) : run(MapRows<false>(plan));
      return plan.skipNoData ? run(XyzRows<true>(plan)) : run(XyzRows<false>(plan));
    case OutputKind::ElevationCsv:
      return run(CsvRows(plan));
    case OutputKind::BinaryFlt:
      return run(BinaryRows(plan));
    case OutputKind::DxfContours:
    case OutputKind::LandXmlTin:
    case OutputKind::DxfTin:
      break;  // the drawing and the surfaces have passes of their own
  }
  return {};
}

}  // namespace ned
