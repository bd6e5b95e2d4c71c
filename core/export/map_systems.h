// The table of map coordinate systems points can be written in: the UTM and State Plane
// zones on NAD83 (core/export/crs_table.inc, generated from the EPSG dataset), finding a
// system by its EPSG code, its area of use, the order a list shows them in and their names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ned {

enum class ProjectionMethod : uint8_t {
  TransverseMercator,      // EPSG method 9807
  LambertConic1SP,         // 9801
  LambertConic2SP,         // 9802
  LambertConic2SPMichigan  // 1051: 2SP with the ellipsoid's semi-major axis scaled by K
};

enum class MapUnit : uint8_t { Metre, UsSurveyFoot, InternationalFoot };

// Metres per unit: 1, 1200/3937, 0.3048.
double metresPerUnit(MapUnit unit);

// One projected system as EPSG defines it. Angles in degrees, east and north positive.
struct MapSystem {
  int32_t epsg;
  const char* name;  // EPSG's name, e.g. "NAD83 / Tennessee (ftUS)"
  ProjectionMethod method;
  MapUnit unit;
  double originLatitude;     // natural origin (TM, LCC 1SP) or false origin (LCC 2SP)
  double originLongitude;    // central meridian
  double standardParallel1;  // LCC 2SP only
  double standardParallel2;
  double scaleFactor;     // at the natural origin (TM, LCC 1SP); 1 otherwise
  double ellipsoidScale;  // Michigan's K; 1 otherwise
  double falseEasting;    // in the system's unit
  double falseNorthing;
  // The area of use as a box; west > east when it crosses the 180th meridian.
  double west;
  double south;
  double east;
  double north;
};

// The table, ordered by EPSG code.
size_t mapSystemCount();
const MapSystem& mapSystem(size_t index);

// The system of an EPSG code, or nullptr when the table has none.
const MapSystem* findMapSystem(int32_t epsg);

// Degrees in [-180, 180], exactly.
double wrap180(double degrees);

// Whether the system's area of use contains the point (its edges included).
bool areaContains(const MapSystem& system, double latitude, double longitude);

// A box of latitudes and longitudes in degrees, east positive; west > east when it
// crosses the 180th meridian.
struct GeoBox {
  double west;
  double south;
  double east;
  double north;
};

// Where a system is offered: its area of use widened by kDomainLatitudeMargin north and
// south, and east and west by kUtmDomainMargin for a UTM zone (the zones next to it, as
// surveyors use near a zone's edge) or kStatePlaneDomainMargin for a State Plane zone.
// Everywhere in it the writer is exact to 0.1 mm, with room to spare: Transverse Mercator
// points lie within 9.1 degrees of longitude of their central meridian (UTM; State Plane
// zones far less), where Krueger's series of sixth order is within 2 nm of the exact
// projection, Lambert's formulas are closed, and a row adds at most 0.0021 mm (see
// map_projection.h and docs/coordinate_systems.md). A block that leaves the domain is a
// mistake, not a wish.
constexpr double kUtmDomainMargin = 6.0;
constexpr double kStatePlaneDomainMargin = 1.0;
constexpr double kDomainLatitudeMargin = 1.0;
GeoBox systemDomain(const MapSystem& system);

// Whether the box lies wholly inside the system's domain (edges included).
bool domainContains(const MapSystem& system, const GeoBox& box);

// Whether the box lies wholly inside the system's area of use (edges included).
bool areaContainsBox(const MapSystem& system, const GeoBox& box);

// The indexes of every system in the order a list shows them: those whose area of use
// contains the point first, then all others; each group sorted by name, where runs of
// digits compare by their value ("UTM zone 2N" before "UTM zone 10N") and a name that is
// the beginning of another comes first ("Tennessee" before "Tennessee (ftUS)"); equal names
// go by EPSG code. containing, when given, receives the size of the first group.
std::vector<size_t> orderedMapSystems(double latitude, double longitude,
                                      size_t* containing = nullptr);

// The text of a list entry: "NAD83 / Tennessee (ftUS)  EPSG:2274".
std::string mapSystemLabel(const MapSystem& system);

}  // namespace ned
