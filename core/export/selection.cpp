#include "core/export/selection.h"

#include <cmath>

#include "core/export/number_format.h"
#include "core/numbers.h"

namespace ned {

// Geodesic lengths on the WGS84 ellipsoid, rounded to the millimetre; the south length of
// the first row is its north length plus 600 m.
const DegreeLengthRow DegreeLengthTable::rows[DegreeLengthTable::rowCount] = {
    {18, 105904.854, 106504.854, 110674.776}, {19, 105291.867, 105904.854, 110686.184},
    {20, 104646.931, 105291.867, 110698.135}, {21, 103970.232, 104646.931, 110710.615},
    {22, 103261.965, 103970.232, 110723.609}, {23, 102522.337, 103261.965, 110737.101},
    {24, 101751.561, 102522.337, 110751.075}, {25, 100949.861, 101751.561, 110765.515},
    {26, 100117.471, 100949.861, 110780.403}, {27, 99254.631, 100117.471, 110795.722},
    {28, 98361.593, 99254.631, 110811.453},   {29, 97438.618, 98361.593, 110827.576},
    {30, 96485.974, 97438.618, 110844.074},   {31, 95503.941, 96485.974, 110860.926},
    {32, 94492.805, 95503.941, 110878.111},   {33, 93452.863, 94492.805, 110895.609},
    {34, 92384.419, 93452.863, 110913.399},   {35, 91287.788, 92384.419, 110931.46},
    {36, 90163.292, 91287.788, 110949.769},   {37, 89011.263, 90163.292, 110968.304},
    {38, 87832.038, 89011.263, 110987.044},   {39, 86625.968, 87832.038, 111005.966},
    {40, 85393.409, 86625.968, 111025.046},   {41, 84134.725, 85393.409, 111044.261},
    {42, 82850.291, 84134.725, 111063.588},   {43, 81540.486, 82850.291, 111083.004},
    {44, 80205.702, 81540.486, 111102.486},   {45, 78846.335, 80205.702, 111122.008},
    {46, 77462.79, 78846.335, 111141.548},    {47, 76055.482, 77462.79, 111161.083},
    {48, 74624.83, 76055.482, 111180.587},    {49, 73171.264, 74624.83, 111200.037},
    {50, 71695.22, 73171.264, 111219.409},    {51, 70197.14, 71695.22, 111238.681},
    {52, 68677.475, 70197.14, 111257.827},    {53, 67136.683, 68677.475, 111276.826},
    {54, 65575.229, 67136.683, 111295.653},   {55, 63993.584, 65575.229, 111314.285},
    {56, 62392.227, 63993.584, 111332.699},   {57, 60771.643, 62392.227, 111350.874},
    {58, 59132.322, 60771.643, 111368.786},   {59, 57474.764, 59132.322, 111386.413},
    {60, 55799.47, 57474.764, 111403.734},    {61, 54106.953, 55799.47, 111420.728},
    {62, 52397.727, 54106.953, 111437.373},   {63, 50672.313, 52397.727, 111453.649},
    {64, 48931.24, 50672.313, 111469.535},    {65, 47175.039, 48931.24, 111485.013},
    {66, 45404.248, 47175.039, 111500.063},   {67, 43619.411, 45404.248, 111514.666},
    {68, 41821.073, 43619.411, 111528.804},   {69, 40009.788, 41821.073, 111542.46},
    {70, 38186.113, 40009.788, 111555.617},   {71, 36350.609, 38186.113, 111568.259},
    {72, 34503.841, 36350.609, 111580.369},   {73, 32646.378, 34503.841, 111591.932},
    {74, 30778.793, 32646.378, 111602.936},   {75, 28901.664, 30778.793, 111613.364},
};

const DegreeLengthRow* findDegreeLengths(int32_t northLat) {
  if (northLat < DegreeLengthTable::firstLat || northLat > DegreeLengthTable::lastLat)
    return nullptr;
  return &DegreeLengthTable::rows[northLat - DegreeLengthTable::firstLat];
}

GroundSpacing groundSpacingFromRow(const DegreeLengthRow& row) {
  const long double north = row.lonDegreeNorth;
  const long double south = row.lonDegreeSouth;
  GroundSpacing spacing;
  spacing.ewSpacingNorth = static_cast<double>(north * kCellSizeDeg);
  spacing.ewSpacingGrowth = static_cast<double>((south - north) * kCellSizeDeg * kCellSizeDeg);
  spacing.nsSpacing = static_cast<double>(static_cast<long double>(row.latDegree) * kCellSizeDeg);
  spacing.ewSpacingMean = static_cast<double>((north + south) * 0.5L * kCellSizeDeg);
  return spacing;
}

double ewSpacingAtRow(const GroundSpacing& spacing, int32_t row) {
  return static_cast<double>(static_cast<long double>(spacing.ewSpacingNorth) +
                             static_cast<long double>(row) * spacing.ewSpacingGrowth);
}

bool lookupGroundSpacing(Desktop& desktop, int32_t northEdgeLat, GroundSpacing* spacing) {
  const DegreeLengthRow* row = findDegreeLengths(northEdgeLat);
  if (row == nullptr) {
    desktop.showMessage("This only works from 18th to 75th parallel.", "Message", kPlainMessage);
    return false;
  }
  *spacing = groundSpacingFromRow(*row);
  return true;
}

std::string formatDdMmSs(int32_t degree, double fraction) {
  const long double m = static_cast<long double>(fraction) * 60.0L;
  long double minutesPart = 0.0L;
  const long double minuteFraction = std::modf(m, &minutesPart);
  const long double s = minuteFraction * 60.0L;
  int32_t seconds = truncateToInt32(s);
  if (s - std::trunc(s) > 0.5L) ++seconds;
  const int32_t minutes = truncateToInt32(minutesPart);

  char text[48];
  char* p = text;
  if (degree < 0) *p++ = '-';
  p = formatUnsigned(static_cast<unsigned long long>(degree < 0 ? -static_cast<int64_t>(degree)
                                                                : static_cast<int64_t>(degree)),
                     p);
  *p++ = '.';
  for (const int32_t part : {minutes, seconds}) {
    if (part >= 0 && part < 10) *p++ = '0';
    if (part < 0) *p++ = '-';
    p = formatUnsigned(static_cast<unsigned long long>(part < 0 ? -static_cast<int64_t>(part)
                                                                : static_cast<int64_t>(part)),
                       p);
  }
  return std::string(text, p);
}

UpperLeftCorner upperLeft(const TileHeader& header, const Selection& selection) {
  const int32_t south = southEdgeLat(header);
  const int32_t east = eastEdgeLon(header);
  const double tLat = static_cast<double>(
      (static_cast<long double>(TileGeometry::edgeIndex) - selection.startRow) * kCellSizeDeg);
  const double tLon = static_cast<double>(
      (static_cast<long double>(TileGeometry::edgeIndex) - selection.startCol) * kCellSizeDeg);
  UpperLeftCorner corner;
  corner.upperLeftLat = south + tLat;
  corner.upperLeftLonWest = east + tLon;
  corner.yulcornerText = formatGeneral(corner.upperLeftLat, 13);
  corner.xulcornerText = "-" + formatGeneral(corner.upperLeftLonWest, 12);
  corner.ulLatText = formatDdMmSs(south, tLat);
  corner.ulLonText = "-" + formatDdMmSs(east, tLon);
  return corner;
}

MinutesAndSeconds splitDdMmSs(double value, int32_t edgeDegree, bool isLatitude) {
  const double d = std::trunc(value);
  long double f = static_cast<long double>(value) - d;
  if (d == static_cast<double>(edgeDegree) && f == 0.0L) f = 0.6L;
  // The factors lift a typed 0.5230 that the binary value holds as 0.52299999... back over
  // its minutes and seconds.
  const double minuteFactor = isLatitude ? 100.0001 : 100.00001;
  const double secondFactor = isLatitude ? 100.00001 : 100.0;
  const long double m = f * minuteFactor;
  const int32_t minutes = truncateToInt32(m);
  const long double s = (m - minutes) * secondFactor;
  return {minutes, truncateToInt32(s)};
}

int32_t parseDdMmSs(double value, int32_t edgeDegree, bool isLatitude) {
  const MinutesAndSeconds split = splitDdMmSs(value, edgeDegree, isLatitude);
  const int64_t cell = static_cast<int64_t>(TileGeometry::edgeIndex) -
                       3 * (60 * static_cast<int64_t>(split.minutes) + split.seconds);
  return truncateToInt32(static_cast<long double>(cell));
}

Selection selectionFromView(int32_t viewLevel, bool selectAll, const ViewRect& rect,
                            int32_t renderedStartRow, int32_t renderedStartCol) {
  Selection selection;
  selection.startRow = renderedStartRow;
  selection.startCol = renderedStartCol;
  int32_t scale = 0;
  if (viewLevel == 3) scale = 3;
  if (viewLevel == 4) scale = 2;
  if (viewLevel == 5) scale = 1;
  if (scale == 0) return selection;
  if (selectAll) {
    selection.rows = selection.cols = static_cast<uint32_t>(450 * scale);
    return selection;
  }
  const int64_t width = static_cast<int64_t>(rect.right) - rect.left;
  const int64_t height = static_cast<int64_t>(rect.bottom) - rect.top;
  selection.cols = truncateToUint32(static_cast<long double>(scale * width));
  selection.rows = truncateToUint32(static_cast<long double>(
      scale * static_cast<int64_t>(truncateToInt32(0.75L * static_cast<long double>(height)))));
  int64_t startCol =
      static_cast<int64_t>(renderedStartCol) + scale * (static_cast<int64_t>(rect.left) - 50);
  int64_t startRow = static_cast<int64_t>(renderedStartRow) +
                     truncateToInt32(0.75L * scale * (static_cast<long double>(rect.top) - 50.0L));
  startCol -= startCol % 3;
  startRow -= startRow % 3;
  selection.startCol = truncateToInt32(static_cast<long double>(startCol));
  selection.startRow = truncateToInt32(static_cast<long double>(startRow));
  return selection;
}

namespace {

// trunc(km x 1000 / spacing) + 1 cells, held to the room left before the edge index
// unless the block may run on into the tiles beside.
uint32_t cellsForDistance(float km, double spacing, int32_t start, bool beyondEdge) {
  const long double cells = static_cast<long double>(km) * 1000.0L / spacing;
  int64_t count = static_cast<int64_t>(truncateToUint32(cells)) + 1;
  const int64_t room = static_cast<int64_t>(TileGeometry::edgeIndex) - start;
  if (!beyondEdge && start + count > TileGeometry::edgeIndex) count = room;
  if (count < 0) count = 0;
  if (count > int64_t(UINT32_MAX)) count = int64_t(UINT32_MAX);
  return static_cast<uint32_t>(count);
}

}  // namespace

void selectionFromDistance(Selection& selection, float kmEast, float kmSouth,
                           const GroundSpacing& spacing) {
  selection.cols = cellsForDistance(kmEast, spacing.ewSpacingMean, selection.startCol, false);
  selection.rows = cellsForDistance(kmSouth, spacing.nsSpacing, selection.startRow, false);
}

void selectionAcrossTiles(Selection& selection, float kmEast, float kmSouth,
                          const GroundSpacing& spacing) {
  selection.cols = cellsForDistance(kmEast, spacing.ewSpacingMean, selection.startCol, true);
  selection.rows = cellsForDistance(kmSouth, spacing.nsSpacing, selection.startRow, true);
}

bool lookupEstimateFactor(Program program, uint32_t removeCount, long double* factor) {
  static constexpr float kViewerFactors[10] = {1.0f,    0.25f,     0.1156f,   0.0625f,   0.04f,
                                               0.0289f, 0.020449f, 0.015625f, 0.012544f, 0.01f};
  static constexpr double kExtractorFactors[10] = {1.0f,   0.25f,    0.1156,    0.0625f,  0.04,
                                                   0.0289, 0.020449, 0.015625f, 0.012544, 0.01};
  if (removeCount > 9) return false;
  *factor =
      program == Program::viewer ? kViewerFactors[removeCount] : kExtractorFactors[removeCount];
  return true;
}

int32_t estimatePointsWithFactor(uint32_t selectedPoints, long double factor) {
  return truncateToInt32(static_cast<long double>(selectedPoints) * factor);
}

uint32_t parseRemoveCount(const std::string& text) {
  const int32_t count = parseLeadingInt(text.empty() ? "0" : text.c_str());
  return count > 0 ? static_cast<uint32_t>(count) : 0u;
}

int32_t estimatePoints(Program program, uint32_t selectedPoints, uint32_t removeCount) {
  long double factor = 0.0L;
  if (!lookupEstimateFactor(program, removeCount, &factor)) {
    // The step wraps to 0 for the largest count; the writer then keeps every cell.
    const uint32_t step = removeCount + 1 == 0 ? 1 : removeCount + 1;
    factor = 1.0L / (static_cast<long double>(step) * step);
  }
  return estimatePointsWithFactor(selectedPoints, factor);
}

uint64_t estimateBytes(OutputKind kind, int32_t estimatedPoints, const std::string& eastingText,
                       const std::string& northingText) {
  const uint64_t points = estimatedPoints > 0 ? static_cast<uint64_t>(estimatedPoints) : 0;
  switch (kind) {
    case OutputKind::RectangularXyz:
    case OutputKind::ProjectNorthXyz:
      return points * (eastingText.size() + northingText.size() + 22);
    case OutputKind::ElevationCsv:
      return points * 8;
    case OutputKind::BinaryFlt:
      return points * 4;
    case OutputKind::DxfContours:
    case OutputKind::LandXmlTin:
    case OutputKind::DxfTin:
      break;  // a drawing's or a surface's size follows from its lines or faces
  }
  return 0;
}

std::string formatSize(uint64_t bytes) {
  if (bytes <= 104857) return std::to_string(bytes) + " b";
  // Megabytes are bytes / 2^20 exactly; the four digits are that value rounded at the
  // fourth significant digit, ties to even.
  const uint64_t whole = bytes >> 20;
  int decimalPoint = 0;
  for (uint64_t rest = whole; rest != 0; rest /= 10) ++decimalPoint;
  uint64_t numerator = bytes;
  uint64_t denominator = UINT64_C(1) << 20;
  for (int k = decimalPoint; k < 4; ++k) numerator *= 10;
  for (int k = 4; k < decimalPoint; ++k) denominator *= 10;
  uint64_t digits = numerator / denominator;
  const uint64_t rest = numerator % denominator;
  if (rest * 2 > denominator || (rest * 2 == denominator && (digits & 1) != 0)) ++digits;
  if (digits == 10000) {
    digits = 1000;
    ++decimalPoint;
  }
  const std::string four = std::to_string(digits);
  std::string text;
  if (decimalPoint <= 4) {
    text = four.substr(0, static_cast<size_t>(decimalPoint)) + "." +
           four.substr(static_cast<size_t>(decimalPoint));
  } else {
    text = four + std::string(static_cast<size_t>(decimalPoint - 4), '0') + ".";
  }
  return text + " mb";
}

}  // namespace ned
