// The forward projections of the map coordinate systems (core/export/map_systems.h) on the
// GRS80 ellipsoid: Transverse Mercator, Lambert Conic Conformal with one or two standard
// parallels and Michigan's variant, and a fast projection of a whole row of cells for the
// writer. No datum shift is applied: a point's NAD83 latitude and longitude go straight
// into the projection.
#pragma once

#include <cstddef>

#include "core/export/map_systems.h"

namespace ned {

struct MapPoint {
  double easting;  // in the system's unit
  double northing;
};

// The forward projection of a NAD83 latitude and longitude (degrees), one point at a time.
// Lambert by its closed formulas; Transverse Mercator by Krueger's series to sixth order
// in the third flattening, which is within 2 nm of the series taken to ninth order within
// 9.1 degrees of longitude of the central meridian (every system's domain, see
// systemDomain) and within 0.1 mm out to 64 degrees on the equator and 70.6 at 18 N, but
// 3.5 mm off at 80 degrees, 18 N. Rounding adds nanometres.
MapPoint projectPoint(const MapSystem& system, double latitude, double longitude);

// A system's constants as the projections use them. Deriving them costs as much as
// projecting a few hundred points of a row, so a write derives them once.
struct ProjectionConstants {
  bool transverse = true;
  double centralMeridian = 0.0;  // degrees
  double toUnit = 1.0;           // units per metre
  double falseEasting = 0.0;     // in the unit
  double falseNorthing = 0.0;
  // Transverse Mercator: k0, k0 A and the northing of the origin's parallel, metres.
  double scaleFactor = 1.0;
  double scaledRadius = 0.0;
  double originNorthing = 0.0;
  // Lambert: r = coneRadius * exp(-n psi), and r at the (false) origin, metres.
  double n = 0.0;
  double coneRadius = 0.0;
  double originRadius = 0.0;
};

ProjectionConstants prepareProjection(const MapSystem& system);

// The projection of a row of points along one parallel: point j lies at firstLongitude +
// j * stepLongitude. Within 0.0021 mm of projectPoint (the bound is proven in
// map_projection.cpp) and a few nanoseconds a point on long rows.
void projectRow(const ProjectionConstants& constants, double latitude, double firstLongitude,
                double stepLongitude, size_t count, MapPoint* points);

}  // namespace ned
