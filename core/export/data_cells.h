// Cells without data (-9999 in the raster): an XYZ write can leave them out. How many of a
// block's kept cells hold data, read through the file seam as the writer reads the block,
// so that the estimates count what such a write writes; and the choice to leave them out,
// kept between runs like the other choices of the export dialogs.
#pragma once

#include <cstdint>

#include "core/desktop.h"
#include "core/export/output_kind.h"
#include "core/export/point_writer.h"
#include "core/file_system.h"
#include "core/program.h"

namespace ned {

// The kept value: "1" when cells without data are left out, "0" when they are written.
constexpr const char* kSkipNoDataSetting = "SkipCellsWithoutData";

// Whether a form can leave cells without data out: the XYZ forms. The grids keep every
// cell in its place.
constexpr bool formSkipsNoData(OutputKind kind) {
  return kind == OutputKind::RectangularXyz || kind == OutputKind::ProjectNorthXyz;
}

// Whether the request's write leaves cells without data out.
inline bool writeSkipsNoData(const WriteRequest& request) {
  return request.skipNoData && formSkipsNoData(request.kind);
}

// How many of the kept cells of the request's block (every step-th row and column from the
// first) hold data, read from the tile's raster or the tiles of its mosaic. A raster that
// ends inside the block ends the count there, as it ends the write. False when a raster
// cannot be opened.
bool countKeptDataCells(FileSystem& files, const WriteRequest& request, uint64_t* count);

// The points the request's write is expected to give: for a write that leaves cells
// without data out, the kept cells with data, counted (at most INT32_MAX); otherwise, or
// when the raster cannot be read, estimatePoints of the block's cells and remove count.
int32_t estimateWrittenPoints(FileSystem& files, Program program, const WriteRequest& request);

// The kept choice: true only for a kept "1".
bool rememberedSkipNoData(Desktop& desktop);
void rememberSkipNoData(Desktop& desktop, bool skip);

}  // namespace ned
