// The map coordinate systems: every system of the table against PROJ's frozen answers over
// its area of use and at the edges of its domain, and against PROJ itself in a live sweep;
// the methods no zone of the table uses against PROJ too, the row projection against the
// exact one, the domains, and the order of the list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/export/map_projection.h"
#include "tests/support/proj_oracle.h"

namespace ned {
namespace {

using testing::FrozenAnswer;
using testing::ProjBatch;

constexpr double kCell = 1.0 / 10800.0;

// The centre of the cell a value lies in, as a tile's cells are placed.
double cellCentre(double degrees) {
  return (std::floor(degrees / kCell) + 0.5) * kCell;
}

std::string fixed3(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// How far the system's numbers are from PROJ's, the worst and the share equal after rounding
// to three decimals, as a writer prints them.
struct Agreement {
  double worst = 0.0;
  size_t equal = 0;
  size_t coordinates = 0;

  void add(double ours, double proj) {
    worst = std::max(worst, std::fabs(ours - proj));
    equal += fixed3(ours) == fixed3(proj) ? 1 : 0;
    ++coordinates;
  }
};

// PROJ's frozen answers (tests/data/proj_answers.txt, from tools/make_proj_answers.py): for
// every system a 6 x 6 lattice of cell centres over its area of use, and the corners and
// the middles of the edges of that area and of its domain. Each point projected alone and
// as column 700 of a row of 1000 cells, as a writer projects it.
TEST(MapProjection, EverySystemOfTheTableMatchesProjsFrozenAnswers) {
  const std::vector<FrozenAnswer> answers = testing::frozenProjAnswers();
  ASSERT_FALSE(answers.empty()) << "tests/data/proj_answers.txt is missing or broken";
  constexpr size_t kRow = 1000, kColumn = 700;
  std::vector<Agreement> systems(mapSystemCount());
  std::vector<size_t> count(mapSystemCount());
  std::vector<MapPoint> row(kRow);
  for (const FrozenAnswer& a : answers) {
    const MapSystem* system = findMapSystem(a.code);
    if (system == nullptr) continue;  // the methods' own systems, checked below
    const size_t s = static_cast<size_t>(system - &mapSystem(0));
    ++count[s];
    const MapPoint point = projectPoint(*system, a.latitude, a.longitude);
    projectRow(prepareProjection(*system), a.latitude, a.longitude - kColumn * kCell, kCell, kRow,
               row.data());
    for (const MapPoint& ours : {point, row[kColumn]}) {
      systems[s].add(ours.easting, a.easting);
      systems[s].add(ours.northing, a.northing);
    }
  }
  Agreement all;
  for (size_t s = 0; s < mapSystemCount(); ++s) {
    EXPECT_EQ(count[s], 52u) << mapSystemLabel(mapSystem(s));
    EXPECT_LE(systems[s].worst, 0.001) << mapSystemLabel(mapSystem(s));
    all.worst = std::max(all.worst, systems[s].worst);
    all.equal += systems[s].equal;
    all.coordinates += systems[s].coordinates;
  }
  EXPECT_GE(all.equal, all.coordinates * 999 / 1000);
  // PROJ's answers are printed to nanometres: a term of the series gone wrong shows here
  // long before it reaches the third decimal.
  EXPECT_LE(all.worst, 1e-6);
  std::printf("%zu coordinates of %zu systems: worst %.2g, %zu differ at three decimals\n",
              all.coordinates, mapSystemCount(), all.worst, all.coordinates - all.equal);
}

// For every system: a 6 x 6 lattice of cell centres over its area of use, projected one by
// one, and at each of the lattice's latitudes two rows of 30000 cells (the widest block a
// writer projects), one from the west edge and one to the east edge, projected as a writer
// does and sampled every 1000 cells, against the PROJ installed: the live sweep. The test
// command installs PROJ (scripts/install-deps.sh); where cs2cs is missing it fails.
TEST(MapProjection, EverySystemOfTheTableMatchesProjOverItsAreaOfUse) {
  ASSERT_TRUE(testing::haveCs2cs())
      << "PROJ's cs2cs is not installed (proj-bin, scripts/install-deps.sh): the live sweep "
         "needs it; the frozen answers are checked without it";
  constexpr int kLattice = 6;
  constexpr size_t kRow = 30000;
  constexpr size_t kSample = 1000;
  std::vector<ProjBatch> batches(mapSystemCount());
  std::vector<std::vector<double>> ours(mapSystemCount());  // easting, northing pairs
  std::vector<MapPoint> row(kRow);
  for (size_t s = 0; s < mapSystemCount(); ++s) {
    const MapSystem& system = mapSystem(s);
    ProjBatch& batch = batches[s];
    batch.target = "EPSG:" + std::to_string(system.epsg);
    const double width = system.east - system.west + (system.west > system.east ? 360.0 : 0.0);
    auto add = [&](double latitude, double longitude, double easting, double northing) {
      batch.latitudes.push_back(latitude);
      batch.longitudes.push_back(std::remainder(longitude, 360.0));
      ours[s].push_back(easting);
      ours[s].push_back(northing);
    };
    for (int i = 0; i < kLattice; ++i) {
      const double latitude =
          cellCentre(system.south + (system.north - system.south) * i / (kLattice - 1));
      for (int j = 0; j < kLattice; ++j) {
        const double longitude = cellCentre(system.west + width * j / (kLattice - 1));
        const MapPoint point = projectPoint(system, latitude, longitude);
        add(latitude, longitude, point.easting, point.northing);
      }
      for (const double start : {system.west, system.west + width - kRow * kCell}) {
        const double first = cellCentre(start);
        projectRow(prepareProjection(system), latitude, first, kCell, kRow, row.data());
        for (size_t c = 0; c < kRow; c += kSample)
          add(latitude, first + static_cast<double>(c) * kCell, row[c].easting, row[c].northing);
        add(latitude, first + static_cast<double>(kRow - 1) * kCell, row[kRow - 1].easting,
            row[kRow - 1].northing);
      }
    }
  }
  ASSERT_TRUE(testing::projectWithProj(batches));

  Agreement all;
  for (size_t s = 0; s < mapSystemCount(); ++s) {
    Agreement system;
    for (size_t i = 0; i < batches[s].latitudes.size(); ++i) {
      system.add(ours[s][2 * i], batches[s].eastings[i]);
      system.add(ours[s][2 * i + 1], batches[s].northings[i]);
    }
    EXPECT_LE(system.worst, 0.001) << mapSystemLabel(mapSystem(s));
    all.worst = std::max(all.worst, system.worst);
    all.equal += system.equal;
    all.coordinates += system.coordinates;
  }
  EXPECT_GE(all.equal, all.coordinates * 999 / 1000);
  // Both sides compute the same series and formulas to nanometres; a term of the series
  // gone wrong shows here long before it reaches the third decimal.
  EXPECT_LE(all.worst, 1e-6);
  std::printf("%zu coordinates of %zu systems: worst %.2g, %zu differ at three decimals\n",
              all.coordinates, mapSystemCount(), all.worst, all.coordinates - all.equal);
}

// The Lambert variants no zone of the table uses, given to PROJ in WKT as EPSG methods 1051
// and 9801 (by tools/make_proj_answers.py), on a 5 x 5 lattice around their origins.
TEST(MapProjection, LambertMichiganAndOneParallelMatchProj) {
  const MapSystem systems[] = {
      {1051, "Michigan", ProjectionMethod::LambertConic2SPMichigan, MapUnit::UsSurveyFoot, 43.3,
       -84.3, 44.2, 45.7, 1.0, 1.0000382, 2000000.0, 0.0, -87.0, 43.8, -82.3, 45.9},
      {9801, "One parallel", ProjectionMethod::LambertConic1SP, MapUnit::UsSurveyFoot, 18.0, -77.0,
       0.0, 0.0, 0.99999, 1.0, 820000.0, 2000000.0, -80.0, 16.0, -74.0, 20.0},
  };
  const std::vector<FrozenAnswer> answers = testing::frozenProjAnswers();
  for (const MapSystem& system : systems) {
    size_t count = 0;
    for (const FrozenAnswer& a : answers) {
      if (a.code != system.epsg) continue;
      ++count;
      const MapPoint point = projectPoint(system, a.latitude, a.longitude);
      EXPECT_NEAR(point.easting, a.easting, 1e-6) << system.name << " " << count;
      EXPECT_NEAR(point.northing, a.northing, 1e-6) << system.name << " " << count;
    }
    EXPECT_EQ(count, 25u) << system.name;
  }
}

// Rows of the widest block, near and far from the central meridian (up to 12 degrees for
// Transverse Mercator), across the 180th meridian, thinned, and out where only the exact
// projection serves: every point within 0.0021 mm of projectPoint, the bound
// map_projection.cpp proves.
TEST(MapProjection, RowFollowsTheExactProjection) {
  struct Row {
    int32_t epsg;
    double latitude;
    double firstLongitude;
    double columnStep;  // cells
    size_t count;
  };
  const Row rows[] = {
      {26916, 36.5, -84.99, 1, 30000},  // UTM 16N, 2 to 5 degrees east of its meridian
      {26916, 24.0, -99.0, 1, 30000},   // 12 to 9 degrees west of it
      {26916, 84.0, -78.5, 1, 30000},   // the north edge of its area, 8.5 to 11 east
      {26916, 45.0, -88.4, 1, 30000},   // across the meridian
      {26904, 19.0, -160.0, 1, 10812},  // Hawaii in zone 4
      {2274, 36.6, -90.3, 1, 30000},    // Tennessee (ftUS)
      {2252, 45.9, -87.0, 1, 30000},    // Michigan Central (ft)
      {32161, 18.0, -68.4, 1, 30000},   // Puerto Rico
      {26940, 52.0, 179.0, 1, 30000},   // Alaska zone 10 across 180 degrees
      {26957, 39.0, -76.0, 7, 30000},   // Delaware, every 7th cell
      {26918, 41.0, -72.0, -1, 30000},  // UTM 18N, stepping west
      {26961, 40.0, -85.0, 1, 10812},   // Hawaii zone 1, 70 degrees away: exact throughout
      {32136, 35.5, -85.0, 1, 200},     // short rows
      {32136, 35.5, -85.0, 1, 5},
  };
  std::vector<MapPoint> points;
  for (const Row& row : rows) {
    const MapSystem& system = *findMapSystem(row.epsg);
    const double step = row.columnStep * kCell;
    const double first = cellCentre(row.firstLongitude);
    const double latitude = cellCentre(row.latitude);
    points.assign(row.count, MapPoint{});
    projectRow(prepareProjection(system), latitude, first, step, row.count, points.data());
    const double tolerance = 0.0000021 / metresPerUnit(system.unit);  // the proven bound
    double worst = 0.0;
    for (size_t j = 0; j < row.count; ++j) {
      const MapPoint exact = projectPoint(system, latitude, first + static_cast<double>(j) * step);
      worst = std::max({worst, std::fabs(points[j].easting - exact.easting),
                        std::fabs(points[j].northing - exact.northing)});
    }
    EXPECT_LE(worst, tolerance) << mapSystemLabel(system) << " at " << row.latitude;
  }
}

// Krueger's series of sixth order against the same series to ninth order in long double,
// whose coefficients alpha_j are the Fourier coefficients of the rectifying latitude as a
// function of the conformal one on GRS80, computed to 40 digits by
// tools/tm_series_coefficients.py. The series is
// within nanometres in every domain (at most 9.1 degrees from a central meridian) and
// stays within 0.1 mm out to 64 degrees on the equator and 70.6 at 18 N; the reference sees
// the truncation beyond (3.5 mm at 80 degrees, 18 N).
TEST(MapProjection, TransverseMercatorIsExactWithinTheDomains) {
  static const long double kAlpha[] = {
      8.377318247285513401211093e-4L,  7.608527848149655006464909e-7L,
      1.197645520855306807946453e-9L,  2.429170728036969751200474e-12L,
      5.711818509192421860130459e-15L, 1.479998070599218621805858e-17L,
      4.107687661539943367177487e-20L, 1.199991114825585050674209e-22L,
      3.647332642598204245516812e-25L};
  const long double rectifyingRadius = 6367449.14577104752689468729024L;
  const auto reference = [&](long double phi, long double lambda) {
    const long double f = 1.0L / 298.257222101L, e = sqrtl(f * (2.0L - f));
    const long double tau = tanl(phi), root = sqrtl(1.0L + tau * tau);
    const long double sigma = sinhl(e * atanhl(e * tau / root));
    const long double tauP = tau * sqrtl(1.0L + sigma * sigma) - sigma * root;
    const long double xiP = atan2l(tauP, cosl(lambda));
    const long double etaP =
        asinhl(sinl(lambda) / sqrtl(tauP * tauP + cosl(lambda) * cosl(lambda)));
    long double xi = xiP, eta = etaP;
    for (int j = 1; j <= 9; ++j) {
      xi += kAlpha[j - 1] * sinl(2 * j * xiP) * coshl(2 * j * etaP);
      eta += kAlpha[j - 1] * cosl(2 * j * xiP) * sinhl(2 * j * etaP);
    }
    return MapPoint{static_cast<double>(rectifyingRadius * eta),
                    static_cast<double>(rectifyingRadius * xi)};
  };
  const MapSystem plain = {1,
                           "plain",
                           ProjectionMethod::TransverseMercator,
                           MapUnit::Metre,
                           0.0,
                           0.0,
                           0.0,
                           0.0,
                           1.0,
                           1.0,
                           0.0,
                           0.0,
                           -180.0,
                           -90.0,
                           180.0,
                           90.0};
  struct Case {
    double latitude;
    double fromMeridian;  // degrees of longitude
    double low;           // metres: the distance from the reference lies in [low, high]
    double high;
  };
  const Case cases[] = {
      {0.0, 9.1, 0.0, 1e-8},   {17.0, 9.1, 0.0, 1e-8}, {45.0, 9.1, 0.0, 1e-8},
      {72.0, 9.1, 0.0, 1e-8},  {85.0, 9.1, 0.0, 1e-8}, {0.0, 63.9, 0.0, 1e-4},
      {18.0, 70.5, 0.0, 1e-4}, {0.0, 65.0, 1e-4, 1.0}, {18.0, 80.0, 3e-3, 4e-3},
  };
  const long double radian = 3.14159265358979323846264338327950288L / 180.0L;
  for (const Case& c : cases) {
    const MapPoint ours = projectPoint(plain, c.latitude, c.fromMeridian);
    const MapPoint exact = reference(c.latitude * radian, c.fromMeridian * radian);
    const double distance =
        std::hypot(ours.easting - exact.easting, ours.northing - exact.northing);
    EXPECT_GE(distance, c.low) << c.latitude << " " << c.fromMeridian;
    EXPECT_LE(distance, c.high) << c.latitude << " " << c.fromMeridian;
  }
  // Every Transverse Mercator domain of the table lies within 9.1 degrees of its meridian.
  for (size_t s = 0; s < mapSystemCount(); ++s) {
    const MapSystem& system = mapSystem(s);
    if (system.method != ProjectionMethod::TransverseMercator) continue;
    const GeoBox domain = systemDomain(system);
    EXPECT_LE(std::fabs(wrap180(domain.west - system.originLongitude)), 9.1) << system.name;
    EXPECT_LE(std::fabs(wrap180(domain.east - system.originLongitude)), 9.1) << system.name;
  }
}

// A system's domain: its area of use widened by 6 degrees east and west for a UTM zone, by
// 1 for a State Plane zone, and by 1 north and south; a block is in it or its area of use
// only when the whole block is, edges included.
TEST(MapProjection, ABlockIsInADomainOrAreaOfUseOnlyWhollyEdgesIncluded) {
  struct Case {
    int32_t epsg;
    GeoBox block;  // west, south, east, north
    bool inDomain;
    bool inArea;
  };
  const Case cases[] = {
      // UTM zone 16N: area 90 to 84 W, 23.97 to 84 N; domain 96 to 78 W, 22.97 to 85 N.
      {26916, {-89.0, 36.0, -88.0, 37.0}, true, true},
      {26916, {-90.0, 23.97, -84.0, 84.0}, true, true},      // the area itself
      {26916, {-90.0001, 36.0, -89.9, 36.1}, true, false},   // just west of the area
      {26916, {-83.0, 36.0, -82.5, 36.5}, true, false},      // in zone 17N
      {26916, {-96.0, 36.0, -95.9, 36.1}, true, false},      // the domain's west edge
      {26916, {-96.0001, 36.0, -95.9, 36.1}, false, false},  // just beyond it
      {26916, {-78.1, 36.0, -78.0, 36.1}, true, false},      // the east edge
      {26916, {-78.1, 36.0, -77.9999, 36.1}, false, false},
      {26916, {-89.0, 22.9700001, -88.9, 23.0}, true, false},  // the south edge
      {26916, {-89.0, 22.9699, -88.9, 23.0}, false, false},
      {26916, {-89.0, 84.9, -88.9, 85.0}, true, false},  // the north edge
      {26916, {-89.0, 84.9, -88.9, 85.0001}, false, false},
      {26916, {-97.0, 36.0, -77.0, 36.1}, false, false},  // wider than the domain
      // Tennessee: area 90.31 to 81.65 W, 34.98 to 36.68 N; domain one degree wider.
      {32136, {-85.0, 36.0, -84.0, 36.68}, true, true},
      {32136, {-85.0, 36.0, -84.0, 36.6801}, true, false},
      {32136, {-85.0, 37.0, -84.0, 37.68}, true, false},
      {32136, {-85.0, 37.0, -84.0, 37.6801}, false, false},
      {32136, {-91.31, 35.0, -91.0, 36.0}, true, false},
      {32136, {-91.3101, 35.0, -91.0, 36.0}, false, false},
      // Alaska zone 10: area 172.42 E to 164.84 W across 180 degrees.
      {26940, {179.9, 52.0, -179.9, 52.1}, true, true},
      {26940, {172.42, 52.0, 173.0, 52.1}, true, true},
      {26940, {172.0, 52.0, 173.0, 52.1}, true, false},
      {26940, {171.42, 52.0, 173.0, 52.1}, true, false},
      {26940, {171.4, 52.0, 173.0, 52.1}, false, false},
      {26940, {-165.0, 52.0, -163.8400001, 52.1}, true, false},
      {26940, {-165.0, 52.0, -163.83, 52.1}, false, false},
      // UTM zone 1N: area 180 to 174 W; its domain crosses 180 degrees to 174 E.
      {26901, {174.0, 50.0, 176.0, 51.0}, true, false},
      {26901, {173.99, 50.0, 176.0, 51.0}, false, false},
      {26901, {-179.0, 50.0, -175.0, 51.0}, true, true},
  };
  for (const Case& c : cases) {
    const MapSystem& system = *findMapSystem(c.epsg);
    SCOPED_TRACE(std::string(system.name) + " " + std::to_string(c.block.west) + " " +
                 std::to_string(c.block.south) + " " + std::to_string(c.block.east) + " " +
                 std::to_string(c.block.north));
    EXPECT_EQ(domainContains(system, c.block), c.inDomain);
    EXPECT_EQ(areaContainsBox(system, c.block), c.inArea);
  }
}

// Every UTM zone of the coverage is there; Alaska zone 1 (oblique Mercator), the other
// realisations of NAD83, NAD27 and the UTM zones beyond 23N are not. (Every system that is
// there is checked against PROJ above.)
TEST(MapProjection, TableHoldsTheZonesAndLeavesOutTheOthers) {
  for (int32_t zone = 1; zone <= 23; ++zone)
    EXPECT_NE(findMapSystem(26900 + zone), nullptr) << "UTM zone " << zone;
  for (int32_t missing : {26931, 2759, 3465, 6447, 26729, 9712, 3372})
    EXPECT_EQ(findMapSystem(missing), nullptr) << missing;
  EXPECT_EQ(mapSystemLabel(*findMapSystem(2274)), "NAD83 / Tennessee (ftUS)  EPSG:2274");
}

// The systems around a point first, then the others; each group by name.
TEST(MapProjection, ListShowsTheSystemsAroundThePointFirst) {
  struct Case {
    double latitude;
    double longitude;
    std::vector<std::string> first;  // the whole first group, in order
  };
  const Case cases[] = {
      {36.5,
       -84.5,
       {"NAD83 / Kentucky Single Zone", "NAD83 / Kentucky Single Zone (ftUS)",
        "NAD83 / Kentucky South", "NAD83 / Kentucky South (ftUS)", "NAD83 / Tennessee",
        "NAD83 / Tennessee (ftUS)", "NAD83 / UTM zone 16N"}},
      {52.0, 179.0, {"NAD83 / Alaska zone 10"}},  // across 180 degrees
      {52.0, -175.0, {"NAD83 / Alaska zone 10", "NAD83 / UTM zone 1N"}},
      {0.0, 0.0, {}},
  };
  for (const Case& c : cases) {
    size_t containing = 0;
    const std::vector<size_t> order = orderedMapSystems(c.latitude, c.longitude, &containing);
    ASSERT_EQ(order.size(), mapSystemCount());
    std::vector<std::string> first;
    for (size_t i = 0; i < containing; ++i) first.push_back(mapSystem(order[i]).name);
    EXPECT_EQ(first, c.first) << c.latitude << " " << c.longitude;
    // The others by name, digits by their value.
    std::vector<std::string> rest;
    for (size_t i = containing; i < order.size(); ++i) rest.push_back(mapSystem(order[i]).name);
    auto at = [&](const char* name) {
      return std::find(rest.begin(), rest.end(), name) - rest.begin();
    };
    EXPECT_LT(at("NAD83 / UTM zone 2N"), at("NAD83 / UTM zone 10N"));
    EXPECT_LT(at("NAD83 / Alabama East"), at("NAD83 / Wyoming West (ftUS)"));
    EXPECT_EQ(at("NAD83 / Utah North") + 1, at("NAD83 / Utah North (ft)"));
    EXPECT_EQ(at("NAD83 / Utah North (ft)") + 1, at("NAD83 / Utah North (ftUS)"));
    EXPECT_EQ(at("NAD83 / California zone 1 (ftUS)") + 1, at("NAD83 / California zone 2"));
  }
}

}  // namespace
}  // namespace ned
