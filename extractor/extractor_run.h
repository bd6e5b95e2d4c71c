// The state of one extractor run, from the opened tile to the written point file.
// The driver owns it; the two dialogs only fill it in.
#pragma once

#include <cstdint>
#include <string>

#include "core/desktop.h"
#include "core/export/point_writer.h"
#include "core/export/selection.h"
#include "core/tile/tile_header.h"

namespace ned {

struct ExtractorRun {
  TileHeader header;
  std::string tileName;  // "File - N35  W84"
  double lonDms = 0.0;   // typed longitude, degrees west, dd.mmss
  double latDms = 0.0;   // typed latitude, degrees north, dd.mmss
  float kmEast = 0.0f;
  float kmSouth = 0.0f;
  Selection selection;
  GroundSpacing spacing;
  int32_t totalPoints = 0;  // cols x rows
  double startEasting = 200000.0;
  double startNorthing = 200000.0;
  OutputKind outputKind = OutputKind::RectangularXyz;
  bool toFeet = false;
  // The EPSG code of the map system X and Y are written in, 0 for the local grid from
  // startEasting and startNorthing: the kept choice when dialog 102 opens, the user's after.
  int32_t coordinateSystem = 0;
  // Whether the XYZ forms leave cells without data out: the kept choice when dialog 102
  // opens, the user's after.
  bool skipNoData = false;
  // The contour form's fields: the kept texts when dialog 102 opens, the user's after; and
  // their values, read when the dialog is accepted with the contours.
  std::string contourIntervalText = "1";
  std::string indexEveryText = "5";
  double contourInterval = 1.0;
  uint32_t indexEvery = 5;
  // The surface forms' tolerance, as the contour fields: the text kept or typed, and its
  // value, read when the dialog is accepted with a surface.
  std::string toleranceText = "0.1";
  double tolerance = 0.1;
  int32_t estimate = 0;  // estimated number of written points
  bool dialogAccepted = true;
  // The desktop dialog 102 tells its refusals through; without one they are not told.
  Desktop* desktop = nullptr;
};

}  // namespace ned
