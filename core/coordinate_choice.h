// The "Coordinates" list of both programs' export dialogs: the local grid, whose X and Y
// start at the typed Northing and Easting, then every map system whose domain (see
// systemDomain) holds the whole block, those whose area of use holds the middle of the
// block first. A map system leaves the typed start unused, so its fields are greyed. The
// choice is kept between runs, one value for both programs; a kept system whose domain the
// block leaves is not in the list, and the list shows the local grid instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/desktop.h"
#include "core/dialog_fields.h"
#include "core/export/map_projection.h"
#include "core/export/selection.h"
#include "core/tile/tile_header.h"

namespace ned {

// The list's first entry.
constexpr const char* kLocalGridEntry = "Local grid (Northing and Easting)";
// The kept value: the chosen system's EPSG code, "0" for the local grid.
constexpr const char* kCoordinatesSetting = "Coordinates";

// The block's outer edges in degrees, east positive: the tile's corner and cells of
// 1/10800 degree place them as they place the writer's cells.
inline GeoBox blockBox(const TileHeader& header, const Selection& selection) {
  const long double cell = 1.0L / TileGeometry::cellsPerDegree;
  const long double north =
      static_cast<long double>(header.tileSouthLat) +
      (static_cast<long double>(TileGeometry::cellsPerSide) - selection.startRow) * cell;
  const long double west =
      -static_cast<long double>(header.tileWestLon) + selection.startCol * cell;
  GeoBox box;
  box.north = static_cast<double>(north);
  box.south = static_cast<double>(north - static_cast<long double>(selection.rows) * cell);
  box.west = static_cast<double>(west);
  box.east = static_cast<double>(west + static_cast<long double>(selection.cols) * cell);
  return box;
}

// The middle of a selected block in degrees, east positive.
struct BlockCentre {
  double latitude = 0.0;
  double longitude = 0.0;
};

inline BlockCentre selectionCentre(const TileHeader& header, const Selection& selection) {
  const long double cell = 1.0L / TileGeometry::cellsPerDegree;
  BlockCentre centre;
  centre.latitude =
      static_cast<double>(static_cast<long double>(header.tileSouthLat) +
                          (static_cast<long double>(TileGeometry::cellsPerSide) -
                           selection.startRow - static_cast<long double>(selection.rows) / 2.0L) *
                              cell);
  centre.longitude = static_cast<double>(
      -static_cast<long double>(header.tileWestLon) +
      (selection.startCol + static_cast<long double>(selection.cols) / 2.0L) * cell);
  return centre;
}

// The EPSG codes of the list's entries, in their order: 0 for the local grid, then every
// map system whose domain holds the whole block, as orderedMapSystems gives them for the
// middle of the block.
inline std::vector<int32_t> coordinateChoices(const TileHeader& header,
                                              const Selection& selection) {
  const BlockCentre centre = selectionCentre(header, selection);
  const GeoBox box = blockBox(header, selection);
  const std::vector<size_t> order = orderedMapSystems(centre.latitude, centre.longitude);
  std::vector<int32_t> codes;
  codes.reserve(order.size() + 1);
  codes.push_back(0);
  for (size_t index : order)
    if (domainContains(mapSystem(index), box)) codes.push_back(mapSystem(index).epsg);
  return codes;
}

// The note before a write in a map system whose area of use does not hold the middle of
// the block (a zone next to the block's own): "The block lies outside the area of use of
// NAD83 / UTM zone 17N."; empty for the local grid and for a system around the block.
inline std::string outsideAreaOfUseText(const TileHeader& header, const Selection& selection,
                                        int32_t code) {
  const MapSystem* system = findMapSystem(code);
  if (system == nullptr) return std::string();
  const BlockCentre centre = selectionCentre(header, selection);
  if (areaContains(*system, centre.latitude, centre.longitude)) return std::string();
  return std::string("The block lies outside the area of use of ") + system->name + ".";
}

// Shows that note, when there is one, in a plain message box.
inline void noteOutsideAreaOfUse(Desktop& desktop, const TileHeader& header,
                                 const Selection& selection, int32_t code) {
  const std::string text = outsideAreaOfUseText(header, selection, code);
  if (!text.empty()) desktop.showMessage(text, "Message", kPlainMessage);
}

// Greys the typed start (the Northing and Easting fields) while a map system is chosen,
// and lets it be typed again on the local grid.
inline void greyUnusedStart(DialogFields& fields, int listId, int northingId, int eastingId) {
  const bool localGrid = fields.selectedListEntry(listId) <= 0;
  fields.setEnabled(northingId, localGrid);
  fields.setEnabled(eastingId, localGrid);
}

// Fills the list with the choices and shows the one of the code, the local grid when the
// list does not hold it; greys the start to match.
inline void showCoordinateChoices(DialogFields& fields, int listId,
                                  const std::vector<int32_t>& choices, int32_t code, int northingId,
                                  int eastingId) {
  std::vector<std::string> entries;
  entries.reserve(choices.size());
  int shown = 0;
  for (size_t i = 0; i < choices.size(); ++i) {
    const MapSystem* system = findMapSystem(choices[i]);
    entries.push_back(system == nullptr ? std::string(kLocalGridEntry) : mapSystemLabel(*system));
    if (code != 0 && choices[i] == code) shown = static_cast<int>(i);
  }
  fields.setListEntries(listId, entries);
  fields.selectListEntry(listId, shown);
  greyUnusedStart(fields, listId, northingId, eastingId);
}

// The EPSG code of the entry shown; 0 for the local grid, or when none is.
inline int32_t chosenCoordinateSystem(DialogFields& fields, int listId,
                                      const std::vector<int32_t>& choices) {
  const int index = fields.selectedListEntry(listId);
  if (index < 0 || static_cast<size_t>(index) >= choices.size()) return 0;
  return choices[static_cast<size_t>(index)];
}

// The kept choice: a code of the table, or 0 when none is kept or the kept one is not a
// code the table holds (any more).
inline int32_t rememberedCoordinateSystem(Desktop& desktop) {
  const std::string text = desktop.readSetting(kCoordinatesSetting);
  if (text.empty() || text.size() > 9) return 0;
  int32_t code = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    code = code * 10 + (c - '0');
  }
  return findMapSystem(code) != nullptr ? code : 0;
}

inline void rememberCoordinateSystem(Desktop& desktop, int32_t code) {
  desktop.writeSetting(kCoordinatesSetting, std::to_string(code));
}

}  // namespace ned
