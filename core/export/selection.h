// A block of raster cells chosen for export, and the thinning that keeps every
// step-th row and column of it.
#pragma once

#include <cstdint>

namespace ned {

struct Selection {
  int32_t startRow = 0;  // raster row of the first (northernmost) cell
  int32_t startCol = 0;  // raster column of the first (westernmost) cell
  uint32_t rows = 0;
  uint32_t cols = 0;
  uint32_t removeCount = 0;  // rows and columns dropped between two kept ones
  uint32_t step = 1;         // removeCount + 1
};

}  // namespace ned
