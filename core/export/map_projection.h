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

// The exact forward projection of a NAD83 latitude and longitude (degrees).
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
// j * stepLongitude. Within 0.01 mm of projectPoint (see map_projection.cpp for the
// bound) and a few nanoseconds a point on long rows.
void projectRow(const ProjectionConstants& constants, double latitude, double firstLongitude,
                double stepLongitude, size_t count, MapPoint* points);

}  // namespace ned
