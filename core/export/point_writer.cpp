#include "core/export/point_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/export/number_format.h"
#include "core/numbers.h"
#include "core/tile/raster.h"

namespace ned {

namespace {

// The output through one large buffer of our own, written in blocks. The stream's own
// buffer is turned off: every write is a whole block. A failed write is remembered; the
// caller stops at the next check.
class BlockOutput {
 public:
  static constexpr size_t kBlockBytes = size_t(1) << 20;
  // Room past the block's end for one more point of the widest form.
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
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return false;
    std::setvbuf(file_, nullptr, _IONBF, 0);
    return true;
  }

  char* begin() const { return buffer_.get(); }
  // Once the cursor is past this point the block is full.
  char* limit() const { return buffer_.get() + kBlockBytes; }

  // Writes the block up to the cursor; gives the cursor to go on with.
  char* drain(char* cursor) {
    const size_t length = static_cast<size_t>(cursor - begin());
    if (!failed_ && length > 0 && std::fwrite(begin(), 1, length, file_) != length) failed_ = true;
    return begin();
  }

  bool failed() const { return failed_; }

  // Writes what is left and closes the file; false when any write or the close failed.
  bool close(char* cursor) {
    drain(cursor);
    const int closed = std::fclose(file_);
    file_ = nullptr;
    return !failed_ && closed == 0;
  }

 private:
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  bool failed_ = false;
};

// What makes one write: the request and everything derived from it before the pass.
struct Pass {
  OutputKind kind = OutputKind::RectangularXyz;
  uint32_t rows = 0;
  uint32_t cols = 0;
  uint32_t step = 1;
  bool toFeet = false;
  bool raiseJustBelowZero = false;  // viewer: -0.001 < z < 0 is written as 0.001
  bool extractorCsvLines = false;   // extractor: a comma after each value but the last column's
  double startEasting = 0.0;
  double x = 0.0;
  double y = 0.0;
  double w = 0.0;  // east-west spacing of the current row
  double nsSpacing = 0.0;
  double ewSpacingGrowth = 0.0;
  uint64_t pointsWritten = 0;
  uint32_t keptCols = 0;
  uint32_t keptRows = 0;
  // The rectangular grid's rows all start at the same X with the same spacing, so the
  // "X, " texts of the kept columns are made once: slots of kSlotBytes, the text's length
  // in the last byte. Empty when a text would not fit, or for the other forms.
  std::unique_ptr<char[]> eastingSlots;
};

constexpr size_t kSlotBytes = 32;

void prepareEastingSlots(Pass& pass) {
  const uint32_t kept = keptCount(pass.cols, pass.step);
  if (pass.kind != OutputKind::RectangularXyz || kept == 0 || kept > (1u << 16)) return;
  pass.eastingSlots.reset(new (std::nothrow) char[kept * kSlotBytes]);
  if (pass.eastingSlots == nullptr) return;
  double x = pass.startEasting;
  char* slot = pass.eastingSlots.get();
  for (uint32_t j = 0; j < pass.cols; ++j) {
    if (j % pass.step == 0) {
      char text[kMaxFixed3Chars + 2];
      char* end = formatFixed3(x, text);
      *end++ = ',';
      *end++ = ' ';
      const size_t length = static_cast<size_t>(end - text);
      if (length >= kSlotBytes) {
        pass.eastingSlots.reset();
        return;
      }
      std::memcpy(slot, text, length);
      slot[kSlotBytes - 1] = static_cast<char>(length);
      slot += kSlotBytes;
    }
    x += pass.w;
  }
}

// A sample as it is written: in feet on request, and raised to 0.001 just below zero in
// the viewer. The reduced tile keeps its no-data cells at -9999, so that its header's
// NODATA line stays true.
inline float outputValue(const Pass& pass, float z) {
  if (pass.toFeet && !(pass.kind == OutputKind::BinaryFlt && z == TileGeometry::noDataValue))
    z = static_cast<float>(static_cast<long double>(z) * kFeetPerMetre);
  if (pass.raiseJustBelowZero && z < 0.0f && static_cast<double>(z) > -0.001) z = 0.001f;
  return z;
}

// Writes the first n samples of row i (n < cols when the raster ended inside the row).
// Gives false when the output failed.
bool writeRow(Pass& pass, BlockOutput& out, char*& cursor, uint32_t i, const float* samples,
              uint32_t n) {
  if (i % pass.step != 0) return true;  // a row dropped by thinning writes nothing
  char* p = cursor;
  char* const limit = out.limit();
  const uint32_t step = pass.step;
  uint32_t untilKept = 0;
  switch (pass.kind) {
    case OutputKind::RectangularXyz:
    case OutputKind::ProjectNorthXyz: {
      // ", Y, " is the same for the whole row; "Y, " after the X slots.
      char yText[kMaxFixed3Chars + 4] = {',', ' '};
      char* yEnd = formatFixed3(pass.y, yText + 2);
      *yEnd++ = ',';
      *yEnd++ = ' ';
      const size_t yLength = static_cast<size_t>(yEnd - yText);
      if (pass.eastingSlots != nullptr && yLength - 2 <= kSlotBytes) {
        const char* slot = pass.eastingSlots.get();
        for (uint64_t j = 0; j < n; j += step) {
          if (p >= limit) {
            p = out.drain(p);
            if (out.failed()) return false;
          }
          std::memcpy(p, slot, kSlotBytes);
          p += static_cast<unsigned char>(slot[kSlotBytes - 1]);
          slot += kSlotBytes;
          std::memcpy(p, yText + 2, kSlotBytes);
          p = formatFixed3(outputValue(pass, samples[j]), p + yLength - 2);
          p[0] = '\r';
          p[1] = '\n';
          p += 2;
          ++pass.pointsWritten;
        }
        break;
      }
      double x = pass.x;
      const double w = pass.w;
      for (uint32_t j = 0; j < n; ++j) {
        if (untilKept == 0) {
          if (p >= limit) {
            p = out.drain(p);
            if (out.failed()) return false;
          }
          p = formatFixed3(x, p);
          std::memcpy(p, yText, yLength);
          p = formatFixed3(outputValue(pass, samples[j]), p + yLength);
          p[0] = '\r';
          p[1] = '\n';
          p += 2;
          ++pass.pointsWritten;
          untilKept = step;
        }
        --untilKept;
        x += w;
      }
      pass.x = x;
      break;
    }
    case OutputKind::ElevationCsv: {
      bool first = true;
      for (uint32_t j = 0; j < n; ++j) {
        if (untilKept == 0) {
          if (p >= limit) {
            p = out.drain(p);
            if (out.failed()) return false;
          }
          if (pass.extractorCsvLines) {
            p = formatFixed3(outputValue(pass, samples[j]), p);
            if (j != pass.cols - 1) *p++ = ',';
          } else {
            if (!first) *p++ = ',';
            p = formatFixed3(outputValue(pass, samples[j]), p);
          }
          first = false;
          ++pass.pointsWritten;
          untilKept = step;
        }
        --untilKept;
      }
      if (n == pass.cols) {
        p[0] = '\r';
        p[1] = '\n';
        p += 2;
      } else if (!pass.extractorCsvLines && !first) {
        *p++ = ',';  // the viewer writes each value with its comma; the row was cut short
      }
      break;
    }
    case OutputKind::BinaryFlt: {
      uint32_t kept = 0;
      for (uint64_t j = 0; j < n; j += step) {
        if (p >= limit) {
          p = out.drain(p);
          if (out.failed()) return false;
        }
        const float z = outputValue(pass, samples[j]);
        uint32_t bits;
        std::memcpy(&bits, &z, sizeof bits);
        p[0] = static_cast<char>(bits & 0xFF);
        p[1] = static_cast<char>((bits >> 8) & 0xFF);
        p[2] = static_cast<char>((bits >> 16) & 0xFF);
        p[3] = static_cast<char>((bits >> 24) & 0xFF);
        p += 4;
        ++kept;
      }
      pass.pointsWritten += kept;
      if (pass.keptRows == 0) pass.keptCols += kept;
      if (n == pass.cols) ++pass.keptRows;
      break;
    }
  }
  cursor = p;
  if (p >= limit) {
    cursor = out.drain(p);
    if (out.failed()) return false;
  }
  return true;
}

// Moves the pass on to the next row, after row i.
void nextRow(Pass& pass, uint32_t i) {
  if (pass.kind == OutputKind::ProjectNorthXyz) {
    pass.x = static_cast<double>(static_cast<long double>(pass.startEasting) -
                                 static_cast<long double>(pass.ewSpacingGrowth) * 0.5L *
                                     (static_cast<long double>(i) + 1.0L) *
                                     (static_cast<long double>(pass.cols) + 1.0L));
    pass.w = pass.w + pass.ewSpacingGrowth;
  } else {
    pass.x = pass.startEasting;
  }
  pass.y = pass.y - pass.nsSpacing;
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

WriteOutcome writePoints(Desktop& desktop, Program program, const WriteRequest& request) {
  const Selection& selection = request.selection;
  const TileHeader& header = request.header;

  GroundSpacing spacing;
  if (!lookupGroundSpacing(desktop, northEdgeLat(header), &spacing))
    return WriteOutcome::outOfRange;

  Pass pass;
  pass.kind = request.kind;
  pass.rows = selection.rows;
  pass.cols = selection.cols;
  pass.step = selection.step == 0 ? 1 : selection.step;
  pass.toFeet = request.toFeet;
  pass.raiseJustBelowZero = program == Program::viewer;
  pass.extractorCsvLines = program == Program::extractor;
  if (request.kind == OutputKind::RectangularXyz) {
    const int64_t middleRow = static_cast<int64_t>(selection.startRow) + selection.rows / 2;
    pass.w = ewSpacingAtRow(spacing, truncateToInt32(static_cast<long double>(middleRow)));
  } else if (request.kind == OutputKind::ProjectNorthXyz) {
    pass.w = ewSpacingAtRow(spacing, selection.startRow);
  }

  const ChosenFile chosen = desktop.chooseFileToSave(outputDialogRequest(request.kind));
  if (chosen.path.empty()) return WriteOutcome::cancelled;
  desktop.createEmptyFile(chosen.path);
  const std::string headerPath = outputHeaderPath(chosen.path, chosen.extensionOffset);

  BlockOutput out;
  if (!out.open(chosen.path)) {
    desktop.showMessage("Can't Open Output file.\n", "Message.", kPlainMessage);
    return WriteOutcome::outputFailed;
  }
  RasterFile raster;
  std::unique_ptr<float[]> samples(new (std::nothrow) float[pass.cols == 0 ? 1 : pass.cols]);
  if (samples == nullptr || !raster.open(header.rasterPath)) {
    out.close(out.begin());
    desktop.showMessage("Can't Open Gridfloat file.", "Message.", kPlainMessage);
    return WriteOutcome::rasterFailed;
  }
  BlockReader block(raster, pass.cols);
  block.start(selection.startRow, selection.startCol);  // a failed seek shows as end of file

  pass.startEasting = request.startEasting;
  pass.x = request.startEasting;
  pass.y = request.startNorthing;
  pass.nsSpacing = spacing.nsSpacing;
  pass.ewSpacingGrowth = spacing.ewSpacingGrowth;
  if (pass.toFeet) {
    pass.w = static_cast<double>(static_cast<long double>(pass.w) * kFeetPerMetre);
    pass.nsSpacing = static_cast<double>(static_cast<long double>(pass.nsSpacing) * kFeetPerMetre);
    pass.ewSpacingGrowth =
        static_cast<double>(static_cast<long double>(pass.ewSpacingGrowth) * kFeetPerMetre);
  }

  const auto writeFailed = [&](const char* text) {
    desktop.showMessage(text, "Message.", kPlainMessage);
    return WriteOutcome::writeFailed;
  };

  prepareEastingSlots(pass);
  char* cursor = out.begin();
  for (uint32_t i = 0; i < pass.rows; ++i) {
    const size_t got = block.readRow(samples.get());
    const uint32_t n = static_cast<uint32_t>(got);
    if (!writeRow(pass, out, cursor, i, samples.get(), n)) {
      raster.close();
      out.close(cursor);
      return writeFailed(kWriteFailedText);
    }
    if (n < pass.cols) {
      // The raster ended inside this row: what was written stays.
      desktop.showMessage("End of File.", "Message.", kPlainMessage);
      raster.close();
      if (!out.close(cursor)) return writeFailed(kWriteFailedText);
      if (program == Program::extractor)
        desktop.showMessage(countText(pass.pointsWritten), "Message", kPlainMessage);
      return WriteOutcome::endOfRaster;
    }
    nextRow(pass, i);
  }

  raster.close();
  if (!out.close(cursor)) return writeFailed(kWriteFailedText);

  if (request.kind == OutputKind::BinaryFlt) {
    std::FILE* headerFile = std::fopen(headerPath.c_str(), "wb");
    if (headerFile == nullptr) {
      desktop.showMessage("Can't Open Header file.\n", "Message.", kPlainMessage);
      return WriteOutcome::headerFailed;
    }
    const std::string text =
        reducedTileHeaderText(pass.keptCols, pass.keptRows, pass.step, request.xulcornerText,
                              request.yulcornerText, header.nodataLine);
    const bool wrote = std::fwrite(text.data(), 1, text.size(), headerFile) == text.size();
    const bool closed = std::fclose(headerFile) == 0;
    if (!wrote || !closed) return writeFailed(kHeaderWriteFailedText);
  }

  desktop.showMessage(countText(pass.pointsWritten), "Message", kPlainMessage);
  return WriteOutcome::written;
}

}  // namespace ned
