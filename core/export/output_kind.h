// The forms a selection can be written in.
#pragma once

namespace ned {

// Comma-separated X, Y, Z points on a rectangular grid or projected north, the elevations
// alone as a CSV grid, or a reduced binary tile with a header of its own.
enum class OutputKind { RectangularXyz, ProjectNorthXyz, ElevationCsv, BinaryFlt };

}  // namespace ned
