#include "core/tile/neighbours.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "core/desktop.h"
#include "core/text.h"
#include "core/tile/geotiff_tile.h"
#include "core/tile/mosaic.h"
#include "core/tile/raster.h"
#include "core/tile/tiff_decode.h"
#include "core/tile/tiff_image.h"
#include "core/tile/tile_open.h"

namespace ned {

namespace {

// The overlap, in degrees, that puts a raster's outer corner off its whole degrees.
constexpr double kOverlap =
    static_cast<double>(TileGeometry::overlapCells) / TileGeometry::cellsPerDegree;
// How far a corner may lie from a tile's corner and still be on the tiles' grid: far less
// than a cell, far more than eleven decimals round away.
constexpr double kCornerTolerance = 1e-7;

// A whole degree the value lies on, within the tolerance.
bool onWholeDegree(double value, int32_t& degree) {
  const double nearest = std::floor(value + 0.5);
  if (!(std::fabs(value - nearest) <= kCornerTolerance) || std::fabs(nearest) > 1000) return false;
  degree = static_cast<int32_t>(nearest);
  return true;
}

// What one file of the folder is.
struct Candidate {
  NeighbourStatus status = NeighbourStatus::missing;  // found: a tile at (northLat, westLon)
  bool placed = false;                                // it says where it lies
  int32_t northLat = 0;
  int32_t westLon = 0;
  std::string path;
  bool geoTiff = false;
  std::string rasterPath;
  std::string problem;
};

const char* const kNotATileText = "It is not a 1/3 arc second tile of 10812 cols and rows.";

// A GridFloat pair: the header read by the program's own reader, the raster beside it of a
// tile's size.
Candidate pairCandidate(FileSystem& files, Program program, const std::string& headerPath) {
  Candidate candidate;
  candidate.path = headerPath;
  candidate.rasterPath = deriveRasterPath(headerPath, extensionOffsetOf(headerPath));
  TileHeader header;
  const HeaderFileRead read = readHeaderFile(files, program, headerPath, header);
  if (read == HeaderFileRead::notOpened) {
    candidate.status = NeighbourStatus::unreadable;
    candidate.problem = "It cannot be opened.";
    return candidate;
  }
  if (read != HeaderFileRead::accepted || header.rasterCols != TileGeometry::cellsPerSide ||
      header.rasterRows != TileGeometry::cellsPerSide) {
    candidate.status = NeighbourStatus::otherSize;
    candidate.problem = kNotATileText;
    return candidate;
  }
  // The corner the reader gives is the whole degrees moved out by the overlap.
  int32_t west = 0;
  int32_t south = 0;
  if (!onWholeDegree(header.tileWestLon - kOverlap, west) ||
      !onWholeDegree(header.tileSouthLat + kOverlap, south)) {
    candidate.status = NeighbourStatus::otherTile;
    candidate.problem = "Its corner does not lie on the grid of the tiles.";
    return candidate;
  }
  candidate.placed = true;
  candidate.northLat = south + 1;
  candidate.westLon = west;
  const FileInfo raster = files.stat(candidate.rasterPath);
  if (!raster.exists) {
    candidate.status = NeighbourStatus::unreadable;
    candidate.problem = "Its raster " + fileNameOf(candidate.rasterPath) + " is not beside it.";
  } else if (raster.size != kConvertedRasterBytes) {
    candidate.status = NeighbourStatus::otherSize;
    candidate.problem =
        "Its raster " + fileNameOf(candidate.rasterPath) + " is not the 467597376 bytes of a tile.";
  } else {
    candidate.status = NeighbourStatus::found;
  }
  return candidate;
}

// A GeoTIFF: its first image on a tile's grid, its georeferencing on whole degrees.
Candidate geoTiffCandidate(FileSystem& files, const std::string& path) {
  Candidate candidate;
  candidate.path = path;
  candidate.geoTiff = true;
  TiffFileBytes bytes;
  TiffImage image;
  std::string problem;
  if (!bytes.open(files, path)) {
    candidate.status = NeighbourStatus::unreadable;
    candidate.problem = "It cannot be opened.";
    return candidate;
  }
  if (!readTiffImage(bytes, image, problem)) {
    candidate.status = NeighbourStatus::unreadable;
    candidate.problem = problem;
    return candidate;
  }
  switch (tileFit(image, problem)) {
    case TileFit::otherSize:
      candidate.status = NeighbourStatus::otherSize;
      candidate.problem = kNotATileText;
      return candidate;
    case TileFit::otherGrid:
      candidate.status = NeighbourStatus::otherSize;
      candidate.problem = problem;
      return candidate;
    case TileFit::fits:
      break;
  }
  int32_t west = 0;
  int32_t north = 0;
  if (!onWholeDegree(-image.westX - kOverlap, west) ||
      !onWholeDegree(image.northY - kOverlap, north)) {
    candidate.status = NeighbourStatus::otherTile;
    candidate.problem = "Its corner does not lie on the grid of the tiles.";
    return candidate;
  }
  candidate.placed = true;
  candidate.northLat = north;
  candidate.westLon = west;
  candidate.status = NeighbourStatus::found;
  return candidate;
}

// A cell of a tile, in its raster's rows and columns.
struct CellAt {
  int32_t row = 0;
  int32_t col = 0;
};

// How many cells of an overlap are compared, and how many of them must be equal for two
// tiles to agree: a few reads before a write, and room for cells mended in one tile only.
constexpr int kOverlapSamples = 32;
constexpr int kOverlapAgreeing = 24;

// Cells of the overlap a tile shares with the tile across (0 or 1) and down (0 or 1) of
// it, in its own raster: from the 12 columns (or rows) that straddle the line, or the
// 12 x 12 cells at the corner, spread along it.
std::vector<CellAt> overlapCells(int32_t across, int32_t down) {
  const int32_t side = TileGeometry::cellsPerSide;
  const int32_t band = 2 * TileGeometry::overlapCells;
  const int32_t first = TileGeometry::cellsPerDegree;  // the band's first row or column
  std::vector<CellAt> cells;
  for (int32_t k = 0; k < kOverlapSamples; ++k) {
    CellAt cell;
    cell.row = down > 0 ? first + (k * 5) % band : k * side / kOverlapSamples;
    cell.col = across > 0 ? first + (k * 7 + k / band) % band : k * side / kOverlapSamples;
    cells.push_back(cell);
  }
  return cells;
}

// Reads single cells of a tile: from a pair's raster, or decoded from a GeoTIFF's blocks,
// each block needed once. False when any of them cannot be read.
bool readCells(FileSystem& files, const std::string& path, bool geoTiff,
               const std::string& rasterPath, const std::vector<CellAt>& cells,
               std::vector<float>& values) {
  values.assign(cells.size(), 0.0f);
  if (!geoTiff) {
    RasterFile raster;
    if (!raster.open(files, rasterPath)) return false;
    for (size_t k = 0; k < cells.size(); ++k) {
      if (!raster.seekTo(cellOffset(cells[k].row, cells[k].col)) || raster.read(&values[k], 1) != 1)
        return false;
    }
    return true;
  }
  TiffFileBytes bytes;
  TiffImage image;
  std::string problem;
  if (!bytes.open(files, path) || !readTiffImage(bytes, image, problem) ||
      tileFit(image, problem) != TileFit::fits)
    return false;
  TiffBlockDecoder decoder(image, TileGeometry::noDataValue);
  const auto blockOf = [&](const CellAt& cell) {
    return static_cast<size_t>(static_cast<uint32_t>(cell.row) / image.blockHeight) *
               image.blocksAcross +
           static_cast<uint32_t>(cell.col) / image.blockWidth;
  };
  std::vector<size_t> order(cells.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const size_t blockA = blockOf(cells[a]);
    const size_t blockB = blockOf(cells[b]);
    return blockA != blockB ? blockA < blockB : cells[a].row < cells[b].row;
  });
  std::vector<float> part;
  size_t started = SIZE_MAX;
  uint32_t rowsDone = 0;  // of the started block
  uint32_t partFirst = 0;
  for (const size_t k : order) {
    const size_t index = blockOf(cells[k]);
    if (index >= image.blockOffsets.size()) return false;
    const uint32_t row = static_cast<uint32_t>(cells[k].row) % image.blockHeight;
    const uint32_t col = static_cast<uint32_t>(cells[k].col) % image.blockWidth;
    if (index != started) {
      if (!decoder.start(bytes, index, problem)) return false;
      started = index;
      rowsDone = 0;
      part.resize(static_cast<size_t>(decoder.partRows()) * decoder.colsOf(index));
    }
    while (rowsDone <= row) {
      const uint32_t count = std::min(decoder.partRows(), decoder.rowsOf(index) - rowsDone);
      if (count == 0 || !decoder.next(count, part.data(), decoder.colsOf(index), problem))
        return false;
      partFirst = rowsDone;
      rowsDone += count;
    }
    values[k] = part[static_cast<size_t>(row - partFirst) * decoder.colsOf(index) + col];
  }
  return true;
}

// The cells a tile beside shares with the tile it is compared with: the opened tile for
// the tiles that touch it, else the tile found west of it.
struct Reference {
  bool usable = false;
  int32_t across = 0;  // where the tile lies from the one compared with
  int32_t down = 0;
  std::vector<CellAt> cells;  // in the raster of the one compared with
  std::vector<float> values;
};

Reference referenceFor(FileSystem& files, const TileHeader& opened, const NeighbourSearch& search,
                       const NeighbourTile& tile) {
  Reference reference;
  std::string path = opened.headerPath;
  std::string raster = opened.rasterPath;
  bool geoTiff = false;
  reference.across = tile.across;
  reference.down = tile.down;
  if (tile.across > 1) {
    const auto west = std::find_if(search.tiles.begin(), search.tiles.end(), [&](const auto& t) {
      return t.across == tile.across - 1 && t.down == tile.down;
    });
    if (west == search.tiles.end() || west->status != NeighbourStatus::found) return reference;
    path = west->path;
    raster = west->rasterPath;
    geoTiff = west->geoTiff;
    reference.across = 1;
    reference.down = 0;
  }
  reference.cells = overlapCells(reference.across, reference.down);
  reference.usable = readCells(files, path, geoTiff, raster, reference.cells, reference.values);
  return reference;
}

// Whether a file's cells are the reference's where the two tiles overlap.
bool agreesWith(FileSystem& files, const Reference& reference, const Candidate& candidate) {
  std::vector<CellAt> own = reference.cells;
  for (CellAt& cell : own) {
    cell.row -= reference.down * TileGeometry::cellsPerDegree;
    cell.col -= reference.across * TileGeometry::cellsPerDegree;
  }
  std::vector<float> values;
  if (!readCells(files, candidate.path, candidate.geoTiff, candidate.rasterPath, own, values))
    return false;
  int equal = 0;
  for (size_t k = 0; k < values.size(); ++k) equal += values[k] == reference.values[k];
  return equal >= kOverlapAgreeing;
}

// The path without its extension.
std::string baseOf(const std::string& path) {
  return path.substr(0, path.find_last_of('.'));
}

// Which file of the folder is the tile: the one that claims to be it, or of several the
// first whose cells agree with the tile beside it; else what is wrong with a file that
// lies there or is named after it.
void matchTile(FileSystem& files, const TileHeader& opened, const NeighbourSearch& search,
               const std::vector<Candidate>& candidates, NeighbourTile& tile) {
  std::vector<const Candidate*> claims;
  const Candidate* wrong = nullptr;
  for (const Candidate& candidate : candidates) {
    const bool there = candidate.placed && candidate.northLat == tile.northLat &&
                       candidate.westLon == tile.westLon;
    int32_t namedLat = 0;
    int32_t namedLon = 0;
    const bool named = tilePlaceInName(fileNameOf(candidate.path), namedLat, namedLon) &&
                       namedLat == tile.northLat && namedLon == tile.westLon;
    if (there && candidate.status == NeighbourStatus::found) {
      claims.push_back(&candidate);
    } else if ((there || named) && wrong == nullptr) {
      wrong = &candidate;
    }
  }
  // Pairs before GeoTIFFs (nothing to convert); a GeoTIFF with the pair made of it
  // beside it is that pair.
  std::stable_sort(claims.begin(), claims.end(), [](const Candidate* a, const Candidate* b) {
    return !a->geoTiff && b->geoTiff;
  });
  claims.erase(
      std::remove_if(claims.begin(), claims.end(),
                     [&](const Candidate* claim) {
                       return claim->geoTiff &&
                              std::any_of(claims.begin(), claims.end(), [&](const Candidate* pair) {
                                return !pair->geoTiff && baseOf(pair->path) == baseOf(claim->path);
                              });
                     }),
      claims.end());

  if (claims.empty()) {
    if (wrong == nullptr) return;
    tile.path = wrong->path;
    if (wrong->status == NeighbourStatus::found) {
      // Whole and readable, but another tile than its name says.
      tile.status = NeighbourStatus::otherTile;
      tile.problem = "It is the tile " + tileLabel(wrong->northLat, wrong->westLon) + ".";
    } else {
      tile.status = wrong->status;
      tile.problem = wrong->problem;
    }
    return;
  }
  const Candidate* chosen = claims[0];
  if (claims.size() > 1) {
    const Reference reference = referenceFor(files, opened, search, tile);
    if (reference.usable) {
      chosen = nullptr;
      int agreeing = 0;
      for (const Candidate* claim : claims) {
        if (!agreesWith(files, reference, *claim)) continue;
        ++agreeing;
        if (chosen == nullptr) chosen = claim;
      }
      tile.rivalsDiffer = agreeing == 1;
    }
    const Candidate* named = chosen != nullptr ? chosen : claims[0];
    for (const Candidate* claim : claims)
      if (claim != named) tile.rivals.push_back(claim->path);
    if (chosen == nullptr) {
      tile.status = NeighbourStatus::conflicting;
      tile.path = named->path;
      tile.problem =
          "They claim the same tile, but none has the cells of the tile beside it where the "
          "two meet.";
      return;
    }
  }
  tile.status = NeighbourStatus::found;
  tile.path = chosen->path;
  tile.geoTiff = chosen->geoTiff;
  tile.rasterPath = chosen->geoTiff ? std::string() : chosen->rasterPath;
}

// Names joined: "a", "a and b", "a, b and c".
std::string joinedNames(const std::vector<std::string>& names, const char* last) {
  std::string text;
  for (size_t k = 0; k < names.size(); ++k) {
    if (k > 0) text += k + 1 == names.size() ? last : ", ";
    text += names[k];
  }
  return text;
}

std::vector<std::string> fileNames(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  for (const std::string& path : paths) names.push_back(fileNameOf(path));
  return names;
}

std::string joinedLabels(const NeighbourSearch& search) {
  std::string text;
  for (size_t k = 0; k < search.tiles.size(); ++k) {
    if (k > 0) text += k + 1 == search.tiles.size() ? " and " : ", ";
    text += tileLabel(search.tiles[k].northLat, search.tiles[k].westLon);
  }
  return text;
}

std::string introText(const NeighbourSearch& search) {
  return "The block runs past this tile into " + joinedLabels(search) + ".\n";
}

}  // namespace

std::string tileLabel(int32_t northLat, int32_t westLon) {
  return std::string(northLat < 0 ? "S" : "N") + std::to_string(std::abs(northLat)) +
         (westLon < 0 ? " E" : " W") + std::to_string(std::abs(westLon));
}

std::string tileDownloadName(int32_t northLat, int32_t westLon) {
  char text[48];
  std::snprintf(text, sizeof text, "USGS_13_%c%02d%c%03d.tif", northLat < 0 ? 's' : 'n',
                std::abs(northLat) % 100, westLon < 0 ? 'e' : 'w', std::abs(westLon) % 1000);
  return text;
}

bool tilePlaceInName(const std::string& name, int32_t& northLat, int32_t& westLon) {
  const std::string lower = lowerAscii(name);
  const auto digits = [&](size_t at, size_t count) {
    if (at + count > lower.size()) return false;
    for (size_t k = at; k < at + count; ++k)
      if (!std::isdigit(static_cast<unsigned char>(lower[k]))) return false;
    return true;
  };
  for (size_t at = 0; at + 7 <= lower.size(); ++at) {
    if (lower[at] != 'n' || !digits(at + 1, 2) || lower[at + 3] != 'w' || !digits(at + 4, 3))
      continue;
    northLat = std::atoi(lower.substr(at + 1, 2).c_str());
    westLon = std::atoi(lower.substr(at + 4, 3).c_str());
    return true;
  }
  return false;
}

bool NeighbourSearch::complete() const {
  return std::all_of(tiles.begin(), tiles.end(), [](const NeighbourTile& tile) {
    return tile.status == NeighbourStatus::found;
  });
}

NeighbourSearch findNeighbours(FileSystem& files, Program program, const TileHeader& opened,
                               const std::string& folder, int32_t startRow, int32_t startCol,
                               uint32_t rows, uint32_t cols) {
  NeighbourSearch search;
  search.northLat = northEdgeLat(opened);
  search.westLon = westEdgeLon(opened);
  search.tilesAcross = std::min(tilesSpanned(startCol, cols), kMosaicMaxTilesAcross);
  search.tilesDown = std::min(tilesSpanned(startRow, rows), kMosaicMaxTilesDown);
  search.openedName = fileNameOf(opened.chosenPath.empty() ? opened.headerPath : opened.chosenPath);
  for (int32_t down = 0; down < search.tilesDown; ++down) {
    for (int32_t across = 0; across < search.tilesAcross; ++across) {
      if (down == 0 && across == 0) continue;
      NeighbourTile tile;
      tile.across = across;
      tile.down = down;
      tile.northLat = search.northLat - down;
      tile.westLon = search.westLon - across;
      search.tiles.push_back(tile);
    }
  }
  if (search.tiles.empty()) return search;

  // Every header and GeoTIFF of the folder, in the order of their names.
  std::vector<std::string> names = files.list(folder.empty() ? "." : folder);
  std::sort(names.begin(), names.end());
  std::vector<Candidate> candidates;
  for (const std::string& name : names) {
    const std::string path = joinPath(folder, name);
    if (path == opened.headerPath) continue;
    if (endsWithIgnoringCase(name, ".hdr")) {
      candidates.push_back(pairCandidate(files, program, path));
    } else if (endsWithIgnoringCase(name, ".tif") || endsWithIgnoringCase(name, ".tiff")) {
      candidates.push_back(geoTiffCandidate(files, path));
    }
  }

  for (NeighbourTile& tile : search.tiles) matchTile(files, opened, search, candidates, tile);
  return search;
}

bool mosaicOfSearch(Desktop& desktop, const TileHeader& opened, NeighbourSearch& search,
                    TileMosaic& mosaic) {
  mosaic = TileMosaic();
  if (!search.complete()) return false;
  std::vector<std::string> paths(static_cast<size_t>(search.tilesAcross) *
                                 static_cast<size_t>(search.tilesDown));
  paths[0] = opened.rasterPath;
  for (NeighbourTile& tile : search.tiles) {
    std::string raster = tile.rasterPath;
    if (tile.geoTiff) {
      TileHeader pair;
      const ChosenFile chosen = {tile.path, extensionOffsetOf(tile.path)};
      const GeoTiffOutcome outcome = prepareGeoTiffTile(desktop, chosen, pair);
      if (outcome != GeoTiffOutcome::ready) {
        tile.status = outcome == GeoTiffOutcome::notOpened || outcome == GeoTiffOutcome::failed
                          ? NeighbourStatus::unreadable
                          : NeighbourStatus::otherSize;
        tile.problem = outcome == GeoTiffOutcome::notOpened ? "It cannot be opened."
                       : outcome == GeoTiffOutcome::failed  ? "It cannot be converted."
                                                            : kNotATileText;
        return false;
      }
      raster = pair.rasterPath;
    }
    paths[static_cast<size_t>(tile.down) * search.tilesAcross + tile.across] = raster;
  }
  mosaic.tilesAcross = search.tilesAcross;
  mosaic.tilesDown = search.tilesDown;
  mosaic.rasterPaths = std::move(paths);
  return true;
}

std::string neighbourQuestionText(const NeighbourSearch& search) {
  std::string text = introText(search);
  for (const NeighbourTile& tile : search.tiles) {
    if (tile.status != NeighbourStatus::found || tile.rivals.empty()) continue;
    const std::string label = tileLabel(tile.northLat, tile.westLon);
    const bool one = tile.rivals.size() == 1;
    text += label + " is read from " + fileNameOf(tile.path);
    if (tile.rivalsDiffer) {
      text += ", not from " + joinedNames(fileNames(tile.rivals), " or ") + ": " +
              (one ? "its" : "their") + " cells differ where the tiles meet.\n";
    } else {
      text += "; " + joinedNames(fileNames(tile.rivals), " and ") + (one ? " claims" : " claim") +
              " to be the same tile.\n";
    }
  }
  return text + "Read the rest from the tiles found beside it?";
}

std::string neighbourCutText(const NeighbourSearch& search) {
  std::string text = introText(search);
  for (const NeighbourTile& tile : search.tiles) {
    const std::string label = tileLabel(tile.northLat, tile.westLon);
    if (tile.status == NeighbourStatus::missing) {
      text += "The tile " + label + " is missing: put " +
              tileDownloadName(tile.northLat, tile.westLon) + " (or its GridFloat pair) beside " +
              search.openedName + ".\n";
    } else if (tile.status != NeighbourStatus::found) {
      std::vector<std::string> paths = {tile.path};
      paths.insert(paths.end(), tile.rivals.begin(), tile.rivals.end());
      text += label + ": " + joinedNames(fileNames(paths), " and ") + " can't be used. " +
              tile.problem + "\n";
    }
  }
  const char* edges = search.tilesAcross > 1 && search.tilesDown > 1 ? "east and south edges"
                      : search.tilesAcross > 1                       ? "east edge"
                                                                     : "south edge";
  return text + "The block is cut at the tile's " + edges + ".";
}

}  // namespace ned
