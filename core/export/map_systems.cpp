#include "core/export/map_systems.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ned {

namespace {

const MapSystem kSystems[] = {
#include "core/export/crs_table.inc"
};
constexpr size_t kSystemCount = sizeof kSystems / sizeof kSystems[0];

}  // namespace

double metresPerUnit(MapUnit unit) {
  switch (unit) {
    case MapUnit::UsSurveyFoot:
      return 1200.0 / 3937.0;
    case MapUnit::InternationalFoot:
      return 0.3048;
    case MapUnit::Metre:
      break;
  }
  return 1.0;
}

double wrap180(double degrees) {
  double r = std::fmod(degrees, 360.0);
  if (r > 180.0) r -= 360.0;
  if (r < -180.0) r += 360.0;
  return r;
}

size_t mapSystemCount() {
  return kSystemCount;
}

const MapSystem& mapSystem(size_t index) {
  return kSystems[index];
}

const MapSystem* findMapSystem(int32_t epsg) {
  for (const MapSystem& system : kSystems)
    if (system.epsg == epsg) return &system;
  return nullptr;
}

bool areaContains(const MapSystem& system, double latitude, double longitude) {
  if (!(latitude >= system.south && latitude <= system.north)) return false;
  const double lon = wrap180(longitude);
  if (system.west <= system.east)
    return (lon >= system.west && lon <= system.east) || (lon == -180.0 && system.east == 180.0) ||
           (lon == 180.0 && system.west == -180.0);
  return lon >= system.west || lon <= system.east;
}

namespace {

bool isUtmZone(const MapSystem& system) {
  return std::strstr(system.name, "UTM zone") != nullptr;
}

// Whether the outer box holds the inner one, the longitudes taken round the circle.
bool boxHolds(const GeoBox& outer, const GeoBox& inner) {
  if (!(inner.south >= outer.south && inner.north <= outer.north && inner.south <= inner.north))
    return false;
  const double outerWidth = outer.east - outer.west + (outer.west > outer.east ? 360.0 : 0.0);
  const double innerWidth = inner.east - inner.west + (inner.west > inner.east ? 360.0 : 0.0);
  if (outerWidth >= 360.0) return innerWidth <= 360.0;
  double offset = std::fmod(inner.west - outer.west, 360.0);
  if (offset < 0.0) offset += 360.0;
  return offset + innerWidth <= outerWidth;
}

}  // namespace

GeoBox systemDomain(const MapSystem& system) {
  const double margin = isUtmZone(system) ? kUtmDomainMargin : kStatePlaneDomainMargin;
  const double width =
      system.east - system.west + (system.west > system.east ? 360.0 : 0.0) + 2.0 * margin;
  GeoBox domain{wrap180(system.west - margin), system.south - kDomainLatitudeMargin,
                wrap180(system.east + margin), system.north + kDomainLatitudeMargin};
  if (width >= 360.0) {
    domain.west = -180.0;
    domain.east = 180.0;
  }
  return domain;
}

bool domainContains(const MapSystem& system, const GeoBox& box) {
  return boxHolds(systemDomain(system), box);
}

bool areaContainsBox(const MapSystem& system, const GeoBox& box) {
  return boxHolds(GeoBox{system.west, system.south, system.east, system.north}, box);
}

namespace {

// Names in list order: bytes, except that runs of digits compare by their value.
int compareNames(const char* a, const char* b) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  while (*a != '\0' && *b != '\0') {
    if (digit(*a) && digit(*b)) {
      while (*a == '0') ++a;
      while (*b == '0') ++b;
      const char* endA = a;
      const char* endB = b;
      while (digit(*endA)) ++endA;
      while (digit(*endB)) ++endB;
      if (endA - a != endB - b) return endA - a < endB - b ? -1 : 1;
      for (; a != endA; ++a, ++b)
        if (*a != *b) return *a < *b ? -1 : 1;
      continue;
    }
    if (*a != *b) return static_cast<unsigned char>(*a) < static_cast<unsigned char>(*b) ? -1 : 1;
    ++a;
    ++b;
  }
  return *a == *b ? 0 : *a == '\0' ? -1 : 1;
}

}  // namespace

std::vector<size_t> orderedMapSystems(double latitude, double longitude, size_t* containing) {
  std::vector<size_t> order(kSystemCount);
  std::vector<bool> inside(kSystemCount);
  for (size_t i = 0; i < kSystemCount; ++i) {
    order[i] = i;
    inside[i] = areaContains(kSystems[i], latitude, longitude);
  }
  std::sort(order.begin(), order.end(), [&](size_t x, size_t y) {
    if (inside[x] != inside[y]) return static_cast<bool>(inside[x]);
    const int byName = compareNames(kSystems[x].name, kSystems[y].name);
    return byName != 0 ? byName < 0 : kSystems[x].epsg < kSystems[y].epsg;
  });
  if (containing != nullptr)
    *containing = static_cast<size_t>(std::count(inside.begin(), inside.end(), true));
  return order;
}

std::string mapSystemLabel(const MapSystem& system) {
  char code[16];
  std::snprintf(code, sizeof code, "%d", static_cast<int>(system.epsg));
  return std::string(system.name) + "  EPSG:" + code;
}

}  // namespace ned
