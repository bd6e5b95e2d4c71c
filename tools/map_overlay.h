// The map area as the window shows it after a drawing: the picture with the grid of
// levels 1 and 2 and the zoom boxes of level 1 over it, set pixel by pixel here as the
// pens draw them (a line leaves out its end point, a frame is one pixel wide). The
// checksum is the one the end-to-end tests compare the screen with.
#pragma once

#include <cstdint>
#include <vector>

#include "viewer/colour.h"
#include "viewer/render.h"

namespace ned::tools {

inline MapPicture withOverlay(MapPicture picture, int level) {
  if (level > 2) return picture;
  for (int32_t x : {163, 276, 388}) {
    for (int32_t y = 50; y < 649; ++y) picture.at(x, y) = rgb(192, 192, 192);
  }
  for (int32_t y : {201, 351, 501}) {
    for (int32_t x = 50; x < 500; ++x) picture.at(x, y) = rgb(192, 192, 192);
  }
  if (level != 1) return picture;
  for (int32_t cx : {163, 276, 388}) {
    for (int32_t cy : {201, 351, 501}) {
      for (int32_t i = -6; i <= 6; ++i) {
        picture.at(cx + i, cy - 6) = rgb(255, 255, 255);
        picture.at(cx + i, cy + 6) = rgb(255, 255, 255);
        picture.at(cx - 6, cy + i) = rgb(255, 255, 255);
        picture.at(cx + 6, cy + i) = rgb(255, 255, 255);
      }
    }
  }
  return picture;
}

// FNV-1a over the packed colours, red byte first.
inline uint64_t mapChecksum(const std::vector<uint32_t>& pixels) {
  uint64_t hash = 14695981039346656037ull;
  for (uint32_t pixel : pixels) {
    for (int shift = 0; shift < 32; shift += 8) {
      hash ^= (pixel >> shift) & 0xFFu;
      hash *= 1099511628211ull;
    }
  }
  return hash;
}

}  // namespace ned::tools
