#include "core/export/map_projection.h"

#include <algorithm>
#include <cmath>

#include "core/export/portable_math.h"

namespace ned {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadian = kPi / 180.0;  // radians per degree

double sine(double x) {
  double s = 0.0, c = 0.0;
  portable::sinCos(x, &s, &c);
  return s;
}

// GRS80, the ellipsoid of NAD83.
constexpr double kSemiMajor = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257222101;

// What every projection of the ellipsoid shares.
struct Ellipsoid {
  double e;  // eccentricity
  double e2;
  // Transverse Mercator after Krueger, to sixth order in the third flattening n, as in
  // C. F. F. Karney, "Transverse Mercator with an accuracy of a few nanometers" (2011):
  // the rectifying radius A and the coefficients alpha of the series from the conformal
  // sphere to the plane. Truncated there, the projection is within 2 nm of the series to
  // ninth order within 9.1 degrees of the central meridian, where every domain lies, and
  // within 0.1 mm out to 64 degrees on the equator (see projectPoint).
  double rectifyingRadius;
  double alpha[6];
};

Ellipsoid makeEllipsoid() {
  Ellipsoid g{};
  g.e2 = kFlattening * (2.0 - kFlattening);
  g.e = std::sqrt(g.e2);
  const double n = kFlattening / (2.0 - kFlattening);
  const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n, n6 = n5 * n;
  g.rectifyingRadius = kSemiMajor / (1.0 + n) * (1.0 + n2 / 4.0 + n4 / 64.0 + n6 / 256.0);
  g.alpha[0] = n / 2.0 - 2.0 * n2 / 3.0 + 5.0 * n3 / 16.0 + 41.0 * n4 / 180.0 - 127.0 * n5 / 288.0 +
               7891.0 * n6 / 37800.0;
  g.alpha[1] = 13.0 * n2 / 48.0 - 3.0 * n3 / 5.0 + 557.0 * n4 / 1440.0 + 281.0 * n5 / 630.0 -
               1983433.0 * n6 / 1935360.0;
  g.alpha[2] =
      61.0 * n3 / 240.0 - 103.0 * n4 / 140.0 + 15061.0 * n5 / 26880.0 + 167603.0 * n6 / 181440.0;
  g.alpha[3] = 49561.0 * n4 / 161280.0 - 179.0 * n5 / 168.0 + 6601661.0 * n6 / 7257600.0;
  g.alpha[4] = 34729.0 * n5 / 80640.0 - 3418889.0 * n6 / 1995840.0;
  g.alpha[5] = 212378941.0 * n6 / 319334400.0;
  return g;
}

const Ellipsoid& grs80() {
  static const Ellipsoid ellipsoid = makeEllipsoid();
  return ellipsoid;
}

// The tangent of the conformal latitude (Karney's tau'), accurate up to the poles.
double conformalTangent(const Ellipsoid& g, double phi) {
  const double tau = portable::tan(phi);
  const double root = std::sqrt(1.0 + tau * tau);
  const double sigma = portable::sinh(g.e * portable::atanh(g.e * tau / root));
  return tau * std::sqrt(1.0 + sigma * sigma) - sigma * root;
}

// The isometric latitude psi: minus the logarithm of EPSG's t.
double isometricLatitude(const Ellipsoid& g, double phi) {
  double s = 0.0, c = 0.0;
  portable::sinCos(phi, &s, &c);
  return portable::asinh(s / c) - g.e * portable::atanh(g.e * s);
}

// EPSG's m: the radius of the parallel over a.
double parallelRadius(const Ellipsoid& g, double phi) {
  double s = 0.0, c = 0.0;
  portable::sinCos(phi, &s, &c);
  return c / std::sqrt(1.0 - g.e2 * s * s);
}

// Krueger's series from the conformal sphere (xi', eta') to the plane (xi, eta), in units of
// the rectifying radius, for a point lambda radians from the central meridian whose
// conformal latitude has the tangent tauP. Summed as one complex Clenshaw series in
// 2 (xi' + i eta'), whose sines and cosines follow from tau' and lambda algebraically.
void transverseMercator(const Ellipsoid& g, double tauP, double lambda, double* xi, double* eta) {
  double sinLambda = 0.0, cosLambda = 0.0;
  portable::sinCos(lambda, &sinLambda, &cosLambda);
  const double r2 = tauP * tauP + cosLambda * cosLambda;
  const double r = std::sqrt(r2);
  const double xiP = portable::atan2(tauP, cosLambda);
  const double q = sinLambda / r;  // sinh(eta'); cosh(eta') = sqrt(1 + tau'^2) / r
  const double etaP = portable::asinh(q);
  const double s2 = 2.0 * tauP * cosLambda / r2;                  // sin(2 xi')
  const double c2 = (cosLambda * cosLambda - tauP * tauP) / r2;   // cos(2 xi')
  const double sh2 = 2.0 * q * std::sqrt(1.0 + tauP * tauP) / r;  // sinh(2 eta')
  const double ch2 = 1.0 + 2.0 * q * q;                           // cosh(2 eta')
  const double ar = 2.0 * c2 * ch2, ai = -2.0 * s2 * sh2;         // 2 cos(2 zeta')
  double yr1 = 0.0, yi1 = 0.0, yr2 = 0.0, yi2 = 0.0;
  for (int k = 5; k >= 0; --k) {
    const double yr0 = ar * yr1 - ai * yi1 - yr2 + g.alpha[k];
    const double yi0 = ar * yi1 + ai * yr1 - yi2;
    yr2 = yr1;
    yi2 = yi1;
    yr1 = yr0;
    yi1 = yi0;
  }
  const double sr = s2 * ch2, si = c2 * sh2;  // sin(2 zeta')
  *xi = xiP + (sr * yr1 - si * yi1);
  *eta = etaP + (sr * yi1 + si * yr1);
}

}  // namespace

ProjectionConstants prepareProjection(const MapSystem& system) {
  const Ellipsoid& g = grs80();
  ProjectionConstants p;
  p.centralMeridian = system.originLongitude;
  p.toUnit = 1.0 / metresPerUnit(system.unit);
  p.falseEasting = system.falseEasting;
  p.falseNorthing = system.falseNorthing;
  const double phi0 = system.originLatitude * kRadian;
  if (system.method == ProjectionMethod::TransverseMercator) {
    p.scaleFactor = system.scaleFactor;
    p.scaledRadius = system.scaleFactor * g.rectifyingRadius;
    double xi = 0.0, eta = 0.0;
    transverseMercator(g, conformalTangent(g, phi0), 0.0, &xi, &eta);
    p.originNorthing = p.scaledRadius * xi;
    return p;
  }
  p.transverse = false;
  double tangentLatitude = phi0;  // the parallel F and n are taken at (EPSG's phi1)
  double scale = system.scaleFactor;
  if (system.method == ProjectionMethod::LambertConic1SP) {
    p.n = sine(phi0);
  } else {
    const double phi1 = system.standardParallel1 * kRadian;
    const double phi2 = system.standardParallel2 * kRadian;
    tangentLatitude = phi1;
    scale =
        system.method == ProjectionMethod::LambertConic2SPMichigan ? system.ellipsoidScale : 1.0;
    p.n = std::fabs(phi1 - phi2) < 1e-12
              ? sine(phi1)
              : (portable::log(parallelRadius(g, phi1)) - portable::log(parallelRadius(g, phi2))) /
                    (isometricLatitude(g, phi2) - isometricLatitude(g, phi1));
  }
  const double psi1 = isometricLatitude(g, tangentLatitude);
  const double f = parallelRadius(g, tangentLatitude) * portable::exp(p.n * psi1) / p.n;
  p.coneRadius = kSemiMajor * scale * f;
  p.originRadius = p.coneRadius * portable::exp(-p.n * isometricLatitude(g, phi0));
  return p;
}

namespace {

// The constants of one parallel, and the projection of its points by their longitude
// from the central meridian.
struct Parallel {
  const ProjectionConstants* p;
  double tauPrime = 0.0;  // Transverse Mercator: tau', the tangent of its conformal latitude
  double radius = 0.0;    // Lambert: r, its radius about the cone's apex, metres

  Parallel(const ProjectionConstants& projection, double latitude) : p(&projection) {
    const double phi = latitude * kRadian;
    if (p->transverse)
      tauPrime = conformalTangent(grs80(), phi);
    else
      radius = p->coneRadius * portable::exp(-p->n * isometricLatitude(grs80(), phi));
  }

  void at(double lambdaDegrees, double* easting, double* northing) const {
    const double lambda = lambdaDegrees * kRadian;
    if (p->transverse) {
      double xi = 0.0, eta = 0.0;
      transverseMercator(grs80(), tauPrime, lambda, &xi, &eta);
      *easting = p->falseEasting + p->scaledRadius * eta * p->toUnit;
      *northing = p->falseNorthing + (p->scaledRadius * xi - p->originNorthing) * p->toUnit;
    } else {
      double s = 0.0, c = 0.0;
      portable::sinCos(p->n * lambda, &s, &c);
      *easting = p->falseEasting + radius * s * p->toUnit;
      *northing = p->falseNorthing + (p->originRadius - radius * c) * p->toUnit;
    }
  }
};

// Degrees from the central meridian, in [-180, 180].
double fromCentralMeridian(const ProjectionConstants& p, double longitude) {
  return wrap180(longitude - p.centralMeridian);
}

// projectRow projects exactly at knots K columns apart, K * |step| at most kKnotSpacing
// degrees (h radians), and between two knots takes the cubic through the four nearest ones,
// two on each side. In the middle interval the remainder of that cubic is at most
//     (9/16) h^4 / 4! * max |f''''|,
// 9/16 h^4 being the largest |(x - x0)(x - x1)(x - x2)(x - x3)| between the middle knots.
//
// Transverse Mercator. In isometric coordinates zeta = psi + i lambda the projection is a
// holomorphic w(zeta) = northing + i easting, and along a row only lambda moves, so both
// coordinates have |f''''| <= |w''''|. |w'| is the map length of a unit step of zeta: the
// point scale k times the radius of the parallel nu cos(phi), which never exceeds a. Every
// zeta + delta, |delta| <= rho, is a real point of the ellipsoid, so Cauchy's estimate on
// that circle gives |w''''| <= 3! max |w'| / rho^3; take rho = 0.1. Rows are interpolated
// only within kTransverseLimit = 30 degrees of the central meridian, so the circle stays
// within 35.8 degrees, where k <= 1.24 k0 (the most, on the equator, is k0 / cos(35.8 deg)
// = 1.233 k0 on the sphere, 1.235 k0 on GRS80); and k0 <= 1 (checked). With h = 128/10800
// degree = 2.0686e-4 rad the remainder is at most
//     (9/16) / 24 * h^4 * 6 * 1.24 a / rho^3 = 0.140625 * 1.8311e-15 * 7.909e9 m = 2.04e-6 m.
// Lambert Conic Conformal. Along a row r is constant and theta = n lambda, so r sin(theta)
// and r cos(theta) have |f''''| <= n^4 r; a row is interpolated only while
// (9/16) / 24 * h^4 * n^4 * r <= kLambertBound = 2e-6 m. (Where the scale k = n r / (a m)
// is near 1, n^4 r <= n r is about a, and the remainder below 3e-10 m.)
// Summing the cubic adds a few units in the last place of the coordinates, below 1e-8 m.
// So projectRow is within 0.0021 mm of projectPoint, which itself is within nanometres of
// the exact projections in every system's domain; the unit tests check both against PROJ
// and each other, and Transverse Mercator against the series to ninth order.
constexpr double kKnotSpacing = 128.0 / 10800.0;
typedef double TwoLanes __attribute__((vector_size(2 * sizeof(double))));
constexpr size_t kMaxKnotColumns = 128;
constexpr double kTransverseLimit = 30.0;
constexpr double kLambertBound = 2e-6;

}  // namespace

MapPoint projectPoint(const MapSystem& system, double latitude, double longitude) {
  const ProjectionConstants p = prepareProjection(system);
  MapPoint point{};
  Parallel(p, latitude).at(fromCentralMeridian(p, longitude), &point.easting, &point.northing);
  return point;
}

void projectRow(const ProjectionConstants& p, double latitude, double firstLongitude,
                double stepLongitude, size_t count, MapPoint* points) {
  if (count == 0) return;
  const Parallel parallel(p, latitude);
  const double first = fromCentralMeridian(p, firstLongitude);

  // Knots every k columns, from one interval before the row to one after it.
  const double step = std::fabs(stepLongitude);
  size_t k = step > 0.0 ? static_cast<size_t>(std::min(kKnotSpacing / step, 1e9)) : 0;
  k = std::min(k, kMaxKnotColumns);
  const size_t segments = k > 0 ? (count + k - 1) / k : 0;
  bool interpolate = k >= 4 && count > 4;  // else the knots would cost more
  if (interpolate) {
    const double farthest = std::fabs(first) + static_cast<double>(k * (segments + 1)) * step;
    const double h = static_cast<double>(k) * step * kRadian;
    const double n4 = p.n * p.n * p.n * p.n;
    const double lambertRemainder =
        (9.0 / 16.0) / 24.0 * h * h * h * h * n4 * std::fabs(parallel.radius);
    interpolate = p.transverse ? farthest <= kTransverseLimit && p.scaleFactor <= 1.0
                               : farthest < 180.0 && lambertRemainder <= kLambertBound;
  }
  if (!interpolate) {
    for (size_t j = 0; j < count; ++j) {
      const double longitude = firstLongitude + static_cast<double>(j) * stepLongitude;
      parallel.at(fromCentralMeridian(p, longitude), &points[j].easting, &points[j].northing);
    }
    return;
  }

  // The four knots around segment s: columns (s - 1) k, s k, (s + 1) k, (s + 2) k.
  const double knotStep = static_cast<double>(k) * stepLongitude;
  double e[4], n[4];
  for (int i = 0; i < 3; ++i)
    parallel.at(first + static_cast<double>(i - 1) * knotStep, e + i, n + i);
  const double kd = static_cast<double>(k);
  const double scale1 = 1.0 / kd, scale2 = scale1 / kd, scale3 = scale2 / kd;
  for (size_t s = 0; s < segments; ++s) {
    parallel.at(first + static_cast<double>(s + 2) * knotStep, e + 3, n + 3);
    // The cubic through the knots at t = -1, 0, 1, 2, in powers of t = column / k, from the
    // differences to the knot at t = 0.
    const double de0 = e[0] - e[1], de2 = e[2] - e[1], de3 = e[3] - e[1];
    const double dn0 = n[0] - n[1], dn2 = n[2] - n[1], dn3 = n[3] - n[1];
    const double e1 = (-de0 / 3.0 + de2 - de3 / 6.0) * scale1;
    const double e2 = (de0 + de2) / 2.0 * scale2;
    const double e3 = (-de0 - 3.0 * de2 + de3) / 6.0 * scale3;
    const double n1 = (-dn0 / 3.0 + dn2 - dn3 / 6.0) * scale1;
    const double n2 = (dn0 + dn2) / 2.0 * scale2;
    const double n3 = (-dn0 - 3.0 * dn2 + dn3) / 6.0 * scale3;
    const size_t begin = s * k;
    const size_t end = std::min(count, begin + k);
    // Both coordinates at once, in the two lanes of a vector where the machine has them.
    const TwoLanes c0 = {e[1], n[1]}, c1 = {e1, n1}, c2 = {e2, n2}, c3 = {e3, n3};
    double t = 0.0;
    for (size_t j = begin; j < end; ++j, t += 1.0) {
      const TwoLanes point = c0 + t * (c1 + t * (c2 + t * c3));
      points[j].easting = point[0];
      points[j].northing = point[1];
    }
    for (int i = 0; i < 3; ++i) {
      e[i] = e[i + 1];
      n[i] = n[i + 1];
    }
  }
}

}  // namespace ned
