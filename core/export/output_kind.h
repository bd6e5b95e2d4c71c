// The forms a selection can be written in.
#pragma once

namespace ned {

// Comma-separated X, Y, Z points on a rectangular grid or projected north, the elevations
// alone as a CSV grid, a reduced binary tile with a header of its own, the contour lines of
// the kept cells as a DXF drawing, or a TIN surface of the kept cells simplified to a
// vertical tolerance, as LandXML or as the 3D faces of a DXF drawing.
enum class OutputKind {
  RectangularXyz,
  ProjectNorthXyz,
  ElevationCsv,
  BinaryFlt,
  DxfContours,
  LandXmlTin,
  DxfTin
};

}  // namespace ned
