// The literal loop of a point write, as plain as it can be put: one 4-byte fread per
// sample with its end-of-file check, one fprintf (or a 4-byte fwrite) per value, a
// relative seek after each row. It is the reference the writer's output is compared
// with, byte for byte, and the baseline the writer's speed is measured against.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/export/point_writer.h"
#include "core/export/selection.h"
#include "core/tile/raster.h"

namespace ned {

struct LiteralWriteResult {
  uint64_t points = 0;
  bool endOfRaster = false;
  uint32_t keptCols = 0;  // BinaryFlt: the reduced tile's size
  uint32_t keptRows = 0;
};

inline LiteralWriteResult literalWrite(Program program, const WriteRequest& request,
                                       std::FILE* out) {
  LiteralWriteResult result;
  const Selection& s = request.selection;
  const DegreeLengthRow* lengths = findDegreeLengths(northEdgeLat(request.header));
  if (lengths == nullptr) return result;
  const GroundSpacing spacing = groundSpacingFromRow(*lengths);
  double w = 0.0;
  if (request.kind == OutputKind::RectangularXyz)
    w = ewSpacingAtRow(spacing, s.startRow + static_cast<int32_t>(s.rows / 2));
  if (request.kind == OutputKind::ProjectNorthXyz) w = ewSpacingAtRow(spacing, s.startRow);
  double ns = spacing.nsSpacing;
  double growth = spacing.ewSpacingGrowth;
  if (request.toFeet) {
    w = static_cast<double>(static_cast<long double>(w) * kFeetPerMetre);
    ns = static_cast<double>(static_cast<long double>(ns) * kFeetPerMetre);
    growth = static_cast<double>(static_cast<long double>(growth) * kFeetPerMetre);
  }
  std::FILE* raster = std::fopen(request.header.rasterPath.c_str(), "rb");
  if (raster == nullptr) return result;
  std::fseek(raster, static_cast<long>(cellOffset(s.startRow, s.startCol)), SEEK_SET);
  const long gap = (TileGeometry::cellsPerSide - static_cast<long>(s.cols)) * 4;
  double x = request.startEasting;
  double y = request.startNorthing;
  for (uint32_t i = 0; i < s.rows; ++i) {
    for (uint32_t j = 0; j < s.cols; ++j) {
      float z;
      if (std::fread(&z, 4, 1, raster) != 1 || std::feof(raster)) {
        std::fclose(raster);
        result.endOfRaster = true;
        return result;
      }
      const bool binary = request.kind == OutputKind::BinaryFlt;
      if (request.toFeet && !(binary && z == TileGeometry::noDataValue))
        z = static_cast<float>(static_cast<long double>(z) * kFeetPerMetre);
      if (program == Program::viewer && z < 0 && z > -0.001) z = 0.001f;
      if (i % s.step == 0 && j % s.step == 0) {
        ++result.points;
        switch (request.kind) {
          case OutputKind::RectangularXyz:
          case OutputKind::ProjectNorthXyz:
            std::fprintf(out, "%.3lf, %.3lf, %.3lf\r\n", x, y, static_cast<double>(z));
            break;
          case OutputKind::ElevationCsv:
            if (program == Program::viewer || j != s.cols - 1)
              std::fprintf(out, "%.3lf,", static_cast<double>(z));
            else
              std::fprintf(out, "%.3lf", static_cast<double>(z));
            break;
          case OutputKind::BinaryFlt:
            std::fwrite(&z, 4, 1, out);
            if (result.keptRows == 0) ++result.keptCols;
            break;
          case OutputKind::DxfContours:
          case OutputKind::LandXmlTin:
          case OutputKind::DxfTin:
            break;  // not point forms: the drawing's oracle is gdal_contour
                    // (export_contour_writer_test), the surfaces' the TIN checker
        }
      }
      x = x + w;
    }
    std::fseek(raster, gap, SEEK_CUR);
    if (i % s.step == 0) {
      if (request.kind == OutputKind::ElevationCsv) {
        // The viewer steps back over the row's last comma; the extractor ends the line.
        if (program == Program::viewer && s.cols > 0) std::fseek(out, -1, SEEK_CUR);
        std::fputs("\r\n", out);
      }
      if (request.kind == OutputKind::BinaryFlt) ++result.keptRows;
    }
    if (request.kind == OutputKind::ProjectNorthXyz) {
      x = static_cast<double>(static_cast<long double>(request.startEasting) -
                              static_cast<long double>(growth) * 0.5L * (i + 1.0L) *
                                  (s.cols + 1.0L));
      w = w + growth;
    } else {
      x = request.startEasting;
    }
    y = y - ns;
  }
  std::fclose(raster);
  return result;
}

}  // namespace ned
