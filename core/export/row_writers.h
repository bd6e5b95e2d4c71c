// The pass of a write over the selection's rows: the output's block buffer and the row
// writers of every form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/export/number_format.h"
#include "core/export/point_writer.h"
#include "core/file_system.h"
#include "core/tile/raster.h"

namespace ned {

// A sample as it is written: in feet on request, and raised to 0.001 just below zero in
// the viewer. The reduced tile, the contour drawing and the surfaces keep their no-data cells at
// -9999: the tile's header says NODATA -9999, and the tracer leaves such cells out.
inline float outputValue(const WritePlan& plan, float z) {
  const bool keepsNoData = plan.kind == OutputKind::BinaryFlt ||
                           plan.kind == OutputKind::DxfContours ||
                           plan.kind == OutputKind::LandXmlTin || plan.kind == OutputKind::DxfTin;
  if (plan.feetPerMetre != 0.0L && !(keepsNoData && z == TileGeometry::noDataValue))
    z = static_cast<float>(static_cast<long double>(z) * plan.feetPerMetre);
  if (plan.rules.raiseJustBelowZero && z < 0.0f && static_cast<double>(z) > -0.001) z = 0.001f;
  return z;
}

// The output through one large buffer of our own, written in blocks through the file
// seam at the offset reached. The buffer owns the cursor between rows; a row writer takes
// it, writes its row through a local copy (which stays in a register while the bytes are
// stored) and hands it back. A failed write is remembered and stops the row writer at its
// next point.
class BlockOutput {
 public:
  static constexpr size_t kBlockBytes = size_t(1) << 20;
  // Room past the block's end for one more point of the widest form, and a line end.
  static constexpr size_t kSlackBytes = 3 * kMaxFixed3Chars + 16;

  BlockOutput() = default;
  BlockOutput(const BlockOutput&) = delete;
  BlockOutput& operator=(const BlockOutput&) = delete;

  // Opens path empty for writing (made, or an existing file cut to nothing).
  bool open(FileSystem& files, const std::string& path);

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
  bool close();

  // Closes the file without writing what is left.
  void abandon() { file_.reset(); }

 private:
  // Writes the buffer up to p; gives the start of the buffer.
  char* drain(char* p);

  std::unique_ptr<OpenFile> file_;
  uint64_t written_ = 0;
  std::unique_ptr<char[]> buffer_;
  char* cursor_ = nullptr;
  bool failed_ = false;
};

// How a pass ended, with the points written and the kept rows written whole.
enum class PassEnd { complete, endOfRaster, outputFailed };

struct PassResult {
  PassEnd end = PassEnd::complete;
  uint64_t points = 0;
  uint32_t wholeKeptRows = 0;
};

// The pass over the selection's rows, north to south, from rows into out, with the row
// writer of the plan's form; samples has room for plan.cols.
PassResult writeSelection(const WritePlan& plan, RowSource& rows, float* samples, BlockOutput& out);

}  // namespace ned
