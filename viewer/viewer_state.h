// Everything the viewer knows, in one record for the life of the program.
#pragma once

#include <cstdint>
#include <string>

#include "core/export/point_writer.h"
#include "core/export/selection.h"
#include "core/tile/tile_header.h"

namespace ned {

// A label along the map's edges: at most 5 characters.
using MapLabel = std::string;

struct ClientPoint {
  int16_t x = 0;
  int16_t y = 0;
};

struct ViewerState {
  // Modes and flags.
  int16_t viewLevel = 0;  // 0 = no view yet, 1 = whole degree ... 5 = 2.5' window
  int16_t actionOk = 0;
  int16_t selectAllPending = 0;
  int16_t selectMode = 0;  // 0 navigate, 1 window selection armed, 2 rectangle being dragged
  int16_t writeDialogOpen = 0;
  int16_t colorMapOn = 0;
  int16_t lightDirection = 1;  // 1 north-west, 2 south-west, 3 north-east, 4 south-east
  int16_t notesOpen = 0;
  int32_t bandDrawn = 0;

  // View.
  int32_t viewStartCol = 0;
  int32_t viewStartRow = 0;
  int32_t renderedStartCol = 0;
  int32_t renderedStartRow = 0;
  int32_t sampleSkip = 0;
  int32_t levelOriginCol[5] = {};  // indexes 2 to 4 are used
  int32_t levelOriginRow[5] = {};
  int16_t rowBox = 0;
  int16_t colBox = 0;
  int16_t savedRowBox = 0;
  int16_t savedColBox = 0;
  int16_t backToLevel = 0;
  MapLabel lonLabel[5];
  MapLabel latLabel[5];
  MapLabel savedLonLabel[5];
  MapLabel savedLatLabel[5];

  // Selection.
  ClientPoint bandAnchor;
  ClientPoint bandCurrent;
  ClientPoint bandShown;
  ClientPoint bandRelease;
  int32_t selLeft = 0;
  int32_t selTop = 0;
  int32_t selRight = 0;
  int32_t selBottom = 0;
  Selection selection;
  std::string ulLatText;
  std::string ulLonText;
  int32_t selectedPoints = 0;
  std::string xulcornerText;
  std::string yulcornerText;
  // Zero until the export dialog fills it before each write.
  WriteRequest writeRequest = [] {
    WriteRequest request;
    request.startEasting = 0.0;
    request.startNorthing = 0.0;
    return request;
  }();

  // Tile and title.
  std::string titleText;
  TileHeader header;
};

}  // namespace ned
