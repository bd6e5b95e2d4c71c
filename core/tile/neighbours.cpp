#include "core/tile/neighbours.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "core/desktop.h"
#include "core/tile/geotiff_tile.h"
#include "core/tile/mosaic.h"
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

std::string lowered(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool endsWith(const std::string& text, const char* suffix) {
  const std::string end = suffix;
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A whole degree the value lies on, within the tolerance.
bool onWholeDegree(double value, int32_t& degree) {
  const double nearest = std::floor(value + 0.5);
  if (!(std::fabs(value - nearest) <= kCornerTolerance) || std::fabs(nearest) > 1000) return false;
  degree = static_cast<int32_t>(nearest);
  return true;
}

// A GeoTIFF's bytes through the file seam.
class SeamBytes : public TiffBytes {
 public:
  bool open(FileSystem& files, const std::string& path) {
    file_ = files.open(path, OpenMode::read);
    size_ = file_ != nullptr ? file_->size() : 0;
    return file_ != nullptr;
  }
  uint64_t size() const override { return size_; }
  bool read(uint64_t offset, void* out, size_t count) override {
    return offset <= size_ && count <= size_ - offset && file_->read(offset, out, count) == count;
  }

 private:
  std::unique_ptr<OpenFile> file_;
  uint64_t size_ = 0;
};

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
  SeamBytes bytes;
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
  const std::string lower = lowered(name);
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
    const std::string lower = lowered(name);
    const std::string path = joinPath(folder, name);
    if (path == opened.headerPath) continue;
    if (endsWith(lower, ".hdr")) {
      candidates.push_back(pairCandidate(files, program, path));
    } else if (endsWith(lower, ".tif") || endsWith(lower, ".tiff")) {
      candidates.push_back(geoTiffCandidate(files, path));
    }
  }

  for (NeighbourTile& tile : search.tiles) {
    // A tile found wins, a pair before a GeoTIFF (nothing to convert); else what is wrong
    // with a file that lies there or is named after it.
    const Candidate* best = nullptr;
    const Candidate* wrong = nullptr;
    for (const Candidate& candidate : candidates) {
      const bool there = candidate.placed && candidate.northLat == tile.northLat &&
                         candidate.westLon == tile.westLon;
      int32_t namedLat = 0;
      int32_t namedLon = 0;
      const bool named = tilePlaceInName(fileNameOf(candidate.path), namedLat, namedLon) &&
                         namedLat == tile.northLat && namedLon == tile.westLon;
      if (there && candidate.status == NeighbourStatus::found) {
        if (best == nullptr || (best->geoTiff && !candidate.geoTiff)) best = &candidate;
      } else if ((there || named) && wrong == nullptr) {
        wrong = &candidate;
      }
    }
    if (best != nullptr) {
      tile.status = NeighbourStatus::found;
      tile.path = best->path;
      tile.geoTiff = best->geoTiff;
      tile.rasterPath = best->geoTiff ? std::string() : best->rasterPath;
    } else if (wrong != nullptr) {
      tile.path = wrong->path;
      if (wrong->status == NeighbourStatus::found) {
        // Whole and readable, but another tile than its name says.
        tile.status = NeighbourStatus::otherTile;
        tile.problem = "It is the tile " + tileLabel(wrong->northLat, wrong->westLon) + ".";
      } else {
        tile.status = wrong->status;
        tile.problem = wrong->problem;
      }
    }
  }
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
  return introText(search) + "Read the rest from the tiles found beside it?";
}

std::string neighbourCutText(const NeighbourSearch& search) {
  std::string text = introText(search);
  for (const NeighbourTile& tile : search.tiles) {
    const std::string label = tileLabel(tile.northLat, tile.westLon);
    if (tile.status == NeighbourStatus::missing) {
      text += label + " is not beside it: " + tileDownloadName(tile.northLat, tile.westLon) + ".\n";
    } else if (tile.status != NeighbourStatus::found) {
      text += label + ": " + fileNameOf(tile.path) + " can't be used. " + tile.problem + "\n";
    }
  }
  const char* edges = search.tilesAcross > 1 && search.tilesDown > 1 ? "east and south edges"
                      : search.tilesAcross > 1                       ? "east edge"
                                                                     : "south edge";
  return text + "The block is cut at the tile's " + edges + ".";
}

}  // namespace ned
