#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "core/export/point_writer.h"
#include "core/export/selection.h"
#include "tests/support/scripted_desktop.h"

namespace ned {
namespace {

using testing::ScriptedDesktop;

// A tile between 36 and 37 N and 76 and 77 W, as the short header gives it.
TileHeader tile37() {
  TileHeader header;
  header.tileSouthLat = 35.99944444444;
  header.tileWestLon = 77.00055555556;
  header.rasterCols = header.rasterRows = 10812;
  return header;
}

// Vincenty's inverse formula on the WGS84 ellipsoid: metres between two points.
double vincentyMetres(double lat1, double lon1, double lat2, double lon2) {
  const double a = 6378137.0;
  const double f = 1.0 / 298.257223563;
  const double b = a * (1 - f);
  const double rad = M_PI / 180.0;
  const double L = (lon2 - lon1) * rad;
  const double U1 = std::atan((1 - f) * std::tan(lat1 * rad));
  const double U2 = std::atan((1 - f) * std::tan(lat2 * rad));
  const double sinU1 = std::sin(U1), cosU1 = std::cos(U1);
  const double sinU2 = std::sin(U2), cosU2 = std::cos(U2);
  double lambda = L;
  double sinSigma = 0, cosSigma = 0, sigma = 0, cosSqAlpha = 0, cos2SigmaM = 0;
  for (int k = 0; k < 200; ++k) {
    const double sinLambda = std::sin(lambda), cosLambda = std::cos(lambda);
    sinSigma = std::sqrt(std::pow(cosU2 * sinLambda, 2) +
                         std::pow(cosU1 * sinU2 - sinU1 * cosU2 * cosLambda, 2));
    cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosLambda;
    sigma = std::atan2(sinSigma, cosSigma);
    const double sinAlpha = cosU1 * cosU2 * sinLambda / sinSigma;
    cosSqAlpha = 1 - sinAlpha * sinAlpha;
    cos2SigmaM = cosSqAlpha != 0 ? cosSigma - 2 * sinU1 * sinU2 / cosSqAlpha : 0;
    const double C = f / 16 * cosSqAlpha * (4 + f * (4 - 3 * cosSqAlpha));
    const double previous = lambda;
    lambda = L + (1 - C) * f * sinAlpha *
                     (sigma + C * sinSigma *
                                  (cos2SigmaM + C * cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM)));
    if (std::fabs(lambda - previous) < 1e-13) break;
  }
  const double uSq = cosSqAlpha * (a * a - b * b) / (b * b);
  const double A = 1 + uSq / 16384 * (4096 + uSq * (-768 + uSq * (320 - 175 * uSq)));
  const double B = uSq / 1024 * (256 + uSq * (-128 + uSq * (74 - 47 * uSq)));
  const double deltaSigma = B * sinSigma *
                            (cos2SigmaM + B / 4 *
                                              (cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM) -
                                               B / 6 * cos2SigmaM * (-3 + 4 * sinSigma * sinSigma) *
                                                   (-3 + 4 * cos2SigmaM * cos2SigmaM)));
  return b * A * (sigma - deltaSigma);
}

TEST(DegreeLengthTable, HoldsTheGeodesicLengthsOfEveryWholeDegree) {
  ASSERT_EQ(DegreeLengthTable::rowCount, 58);
  for (int32_t k = 0; k < DegreeLengthTable::rowCount; ++k) {
    const DegreeLengthRow& row = DegreeLengthTable::rows[k];
    SCOPED_TRACE(row.northLat);
    EXPECT_EQ(row.northLat, 18 + k);
    EXPECT_EQ(findDegreeLengths(row.northLat), &row);
    EXPECT_NEAR(row.lonDegreeNorth, vincentyMetres(row.northLat, 0, row.northLat, 1), 0.0006);
    EXPECT_NEAR(row.latDegree, vincentyMetres(row.northLat - 1, 0, row.northLat, 0), 0.0006);
    if (k > 0) {
      EXPECT_EQ(row.lonDegreeSouth, DegreeLengthTable::rows[k - 1].lonDegreeNorth);
    }
  }
  // The first row's south length is not the geodesic one at 17 degrees.
  EXPECT_EQ(DegreeLengthTable::rows[0].lonDegreeSouth, 106504.854);
  EXPECT_EQ(DegreeLengthTable::rows[0].lonDegreeSouth - DegreeLengthTable::rows[0].lonDegreeNorth,
            600.0);
  EXPECT_EQ(findDegreeLengths(17), nullptr);
  EXPECT_EQ(findDegreeLengths(76), nullptr);
}

TEST(GroundSpacing, At37AndAtTheRowsOfAGrid) {
  const GroundSpacing spacing = groundSpacingFromRow(*findDegreeLengths(37));
  EXPECT_NEAR(spacing.ewSpacingNorth, 8.2417836, 5e-8);
  EXPECT_NEAR(spacing.ewSpacingGrowth, 0.0000098768, 5e-11);
  EXPECT_NEAR(spacing.nsSpacing, 10.2748430, 5e-8);
  EXPECT_NEAR(spacing.ewSpacingMean, (89011.263 + 90163.292) / 2 / 10800, 1e-12);
  // A 3 x 3 grid from row 1356 uses the width of its middle row.
  EXPECT_NEAR(ewSpacingAtRow(spacing, 1357), 8.2551864, 5e-8);
  EXPECT_EQ(ewSpacingAtRow(spacing, 0), spacing.ewSpacingNorth);

  // Row 18 grows by the 600 m of its south length.
  const GroundSpacing at18 = groundSpacingFromRow(*findDegreeLengths(18));
  EXPECT_NEAR(at18.ewSpacingGrowth, 600.0 / 10800 / 10800, 1e-15);
}

TEST(GroundSpacing, LookupRefusesTilesOutsideTheTable) {
  for (const int32_t north : {17, 76, -5}) {
    ScriptedDesktop desktop;
    GroundSpacing spacing;
    EXPECT_FALSE(lookupGroundSpacing(desktop, north, &spacing));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "This only works from 18th to 75th parallel.");
    EXPECT_EQ(desktop.messages[0].caption, "Message");
    EXPECT_EQ(desktop.messages[0].style, kPlainMessage);
  }
  for (const int32_t north : {18, 75}) {
    ScriptedDesktop desktop;
    GroundSpacing spacing;
    EXPECT_TRUE(lookupGroundSpacing(desktop, north, &spacing));
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_GT(spacing.nsSpacing, 10.0);
  }
}

std::string printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

TEST(UpperLeft, CornerTextsInDecimalAndDdMmSs) {
  Selection selection;
  selection.startRow = selection.startCol = 1356;
  UpperLeftCorner corner = upperLeft(tile37(), selection);
  EXPECT_EQ(corner.upperLeftLat, 36.875);
  EXPECT_EQ(corner.upperLeftLonWest, 76.875);
  EXPECT_EQ(corner.yulcornerText, "36.875");
  EXPECT_EQ(corner.xulcornerText, "-76.875");
  EXPECT_EQ(corner.ulLatText, "36.5230");
  EXPECT_EQ(corner.ulLonText, "-76.5230");

  // On the north and west whole-degree lines: 60 minutes of the degree below.
  selection.startRow = selection.startCol = 6;
  corner = upperLeft(tile37(), selection);
  EXPECT_EQ(corner.yulcornerText, "37");
  EXPECT_EQ(corner.xulcornerText, "-77");
  EXPECT_EQ(corner.ulLatText, "36.6000");
  EXPECT_EQ(corner.ulLonText, "-76.6000");

  // One arc-second inside.
  selection.startRow = selection.startCol = 9;
  corner = upperLeft(tile37(), selection);
  EXPECT_EQ(corner.ulLatText, "36.5959");
  EXPECT_EQ(corner.ulLonText, "-76.5959");
  EXPECT_EQ(corner.yulcornerText, printed("%.13g", 36 + 10797.0L / 10800));
  EXPECT_EQ(corner.yulcornerText, "36.99972222222");
  EXPECT_EQ(corner.xulcornerText, "-76.9997222222");

  // The south-east corner cell of the square: one second above the south and east lines.
  selection.startRow = selection.startCol = 10803;
  corner = upperLeft(tile37(), selection);
  EXPECT_EQ(corner.ulLatText, "36.0001");
  EXPECT_EQ(corner.ulLonText, "-76.0001");
}

TEST(DdMmSs, SecondsRoundOnlyAboveTheHalf) {
  EXPECT_EQ(formatDdMmSs(36, 0.0), "36.0000");
  EXPECT_EQ(formatDdMmSs(36, 0.0625), "36.0345");                 // 3.75 minutes exactly
  EXPECT_EQ(formatDdMmSs(36, (7.6 / 60) / 60), "36.0008");        // 7.6 seconds
  EXPECT_EQ(formatDdMmSs(36, (7.4 / 60) / 60), "36.0007");        // 7.4 seconds
  EXPECT_EQ(formatDdMmSs(36, (59 + 59.7 / 60) / 60), "36.5960");  // seconds are not carried
  EXPECT_EQ(formatDdMmSs(76, 1.0), "76.6000");
}

TEST(DdMmSs, TypedCornersBecomeRowsAndColumns) {
  EXPECT_EQ(parseDdMmSs(37.0, 37, true), 6);
  EXPECT_EQ(parseDdMmSs(36.5230, 37, true), 1356);
  EXPECT_EQ(parseDdMmSs(76.5230, 77, false), 1356);
  EXPECT_EQ(parseDdMmSs(77.0, 77, false), 6);
  EXPECT_EQ(parseDdMmSs(34.3000, 35, true), 5406);
  EXPECT_EQ(parseDdMmSs(83.3000, 84, false), 5406);
  EXPECT_EQ(parseDdMmSs(83.0, 84, false), 10806);
  EXPECT_EQ(parseDdMmSs(36.5959, 37, true), 9);
  // A whole degree other than the edge is 0 minutes of that degree.
  EXPECT_EQ(parseDdMmSs(36.0, 37, true), 10806);

  // Every whole second of a tile, typed as the viewer shows it, reads back as its row.
  for (const int32_t south : {18, 36, 74}) {
    for (int32_t row = 6; row <= 10806; row += 3) {
      const double t = static_cast<double>((10806 - row) * kCellSizeDeg);
      const std::string text = formatDdMmSs(south, t);
      const double typed = std::atof(text.c_str());
      ASSERT_EQ(parseDdMmSs(typed, south + 1, true), row) << text;
      ASSERT_EQ(parseDdMmSs(typed, south + 1, false), row) << text;
    }
  }
}

TEST(SelectionFromView, SelectAllAndDraggedWindows) {
  const ViewRect none;
  Selection all = selectionFromView(3, true, none, 2706, 5406);
  EXPECT_EQ(all.rows, 1350u);
  EXPECT_EQ(all.cols, 1350u);
  EXPECT_EQ(all.startRow, 2706);
  EXPECT_EQ(all.startCol, 5406);
  EXPECT_EQ(all.step, 1u);
  EXPECT_EQ(selectionFromView(4, true, none, 7, 8).cols, 900u);
  EXPECT_EQ(selectionFromView(5, true, none, 7, 8).rows, 450u);
  EXPECT_EQ(selectionFromView(5, true, none, 7, 8).startRow, 7);  // taken as it is

  Selection whole = selectionFromView(3, false, {50, 50, 500, 650}, 2706, 5406);
  EXPECT_EQ(whole.cols, 1350u);
  EXPECT_EQ(whole.rows, 1350u);
  EXPECT_EQ(whole.startRow, 2706);
  EXPECT_EQ(whole.startCol, 5406);

  // Level 4: rows = 2 x trunc(0.75 x 7) = 10; start row = trunc(0.75 x 2 x 11) = 16,
  // lowered to 15; start column 6 + 2 x 11 = 28, lowered to 27.
  Selection window = selectionFromView(4, false, {61, 61, 70, 68}, 6, 6);
  EXPECT_EQ(window.cols, 18u);
  EXPECT_EQ(window.rows, 10u);
  EXPECT_EQ(window.startRow, 6 + 15);
  EXPECT_EQ(window.startCol, 27);

  // Level 5 with an odd height: trunc(0.75 x 5) = 3 rows.
  window = selectionFromView(5, false, {100, 53, 103, 58}, 6, 6);
  EXPECT_EQ(window.rows, 3u);
  EXPECT_EQ(window.cols, 3u);
  EXPECT_EQ(window.startRow, 6);  // 6 + trunc(2.25) = 8, lowered to 6
  EXPECT_EQ(window.startCol, 54);

  // No width or height: nothing to write.
  EXPECT_EQ(selectionFromView(3, false, {80, 90, 80, 200}, 6, 6).cols, 0u);
  EXPECT_EQ(selectionFromView(3, false, {80, 90, 200, 90}, 6, 6).rows, 0u);
  // The levels without a scale select nothing.
  for (const int32_t level : {0, 1, 2}) {
    const Selection empty = selectionFromView(level, true, {50, 50, 500, 650}, 6, 6);
    EXPECT_EQ(empty.rows, 0u);
    EXPECT_EQ(empty.cols, 0u);
  }
}

TEST(SelectionFromDistance, TruncatesAddsOneAndCapsAtTheEdges) {
  const GroundSpacing spacing = groundSpacingFromRow(*findDegreeLengths(37));
  Selection selection;
  selection.startRow = 1356;
  selection.startCol = 1356;
  selectionFromDistance(selection, 1.0f, 1.0f, spacing);
  EXPECT_EQ(selection.cols, 121u);  // 1000 / 8.2951 = 120.55
  EXPECT_EQ(selection.rows, 98u);   // 1000 / 10.2748 = 97.33
  selectionFromDistance(selection, 0.0f, 0.0f, spacing);
  EXPECT_EQ(selection.cols, 1u);
  EXPECT_EQ(selection.rows, 1u);

  // Negative distances count as 0.
  selectionFromDistance(selection, -3.5f, -1e30f, spacing);
  EXPECT_EQ(selection.cols, 1u);
  EXPECT_EQ(selection.rows, 1u);

  // Capped at index 10806, however far.
  selection.startRow = 10800;
  selection.startCol = 6;
  selectionFromDistance(selection, 1e30f, 1.0f, spacing);
  EXPECT_EQ(selection.cols, 10800u);
  EXPECT_EQ(selection.rows, 6u);

  // A start on the east line leaves no columns.
  selection.startCol = 10806;
  selectionFromDistance(selection, 1.0f, 1.0f, spacing);
  EXPECT_EQ(selection.cols, 0u);
}

TEST(Thinning, KeepsEveryStepthRowAndColumn) {
  uint32_t keptRows = 0;
  for (uint32_t i = 0; i < 10; ++i) keptRows += isKept(i, 0, 3) ? 1 : 0;
  EXPECT_EQ(keptRows, 4u);
  EXPECT_TRUE(isKept(9, 9, 3));
  EXPECT_FALSE(isKept(9, 8, 3));
  EXPECT_EQ(keptCount(10, 3), 4u);
  EXPECT_EQ(keptCount(9, 3), 3u);
  EXPECT_EQ(keptCount(1350, 3), 450u);
  EXPECT_EQ(keptCount(0, 3), 0u);
}

// trunc(selected x factor) formed exactly, from the factor's binary value.
__extension__ typedef unsigned __int128 Wide;

int64_t exactTruncatedProduct(uint32_t selected, double factor) {
  int exponent = 0;
  const double fraction = std::frexp(factor, &exponent);
  const auto mantissa = static_cast<Wide>(std::ldexp(fraction, 53));
  const Wide product = mantissa * selected;
  const int shift = 53 - exponent;
  return static_cast<int64_t>(product >> shift);
}

TEST(Estimates, EveryRemoveCountInEachProgramsPrecision) {
  // The printed examples.
  EXPECT_EQ(estimatePoints(Program::viewer, 10000, 4), 399);
  EXPECT_EQ(estimatePoints(Program::extractor, 10000, 4), 400);
  EXPECT_EQ(estimatePoints(Program::viewer, 1822500, 2), 210680);
  EXPECT_EQ(estimatePoints(Program::extractor, 1822500, 2), 210680);
  EXPECT_EQ(estimatePoints(Program::viewer, 1822500, 0), 1822500);
  EXPECT_EQ(estimatePoints(Program::extractor, 116640000, 0), 116640000);

  const float viewerFactors[] = {1.0f,    0.25f,     0.1156f,   0.0625f,   0.04f,
                                 0.0289f, 0.020449f, 0.015625f, 0.012544f, 0.01f};
  const double extractorFactors[] = {1.0,    0.25,     0.1156,   0.0625,   0.04,
                                     0.0289, 0.020449, 0.015625, 0.012544, 0.01};
  for (const uint32_t selected : {1u, 9u, 10000u, 202500u, 1822500u, 116640000u, 4999999u}) {
    for (uint32_t k = 0; k < 10; ++k) {
      SCOPED_TRACE(::testing::Message() << selected << " points, remove " << k);
      EXPECT_EQ(estimatePoints(Program::viewer, selected, k),
                exactTruncatedProduct(selected, viewerFactors[k]));
      EXPECT_EQ(estimatePoints(Program::extractor, selected, k),
                exactTruncatedProduct(selected, extractorFactors[k]));
    }
  }
  // The float and the double factors part at some counts.
  int differ = 0;
  for (uint32_t selected = 1; selected <= 20000; ++selected)
    differ += estimatePoints(Program::viewer, selected, 4) !=
              estimatePoints(Program::extractor, selected, 4);
  EXPECT_GT(differ, 0);

  // Beyond the table: no factor of the programs; 1 / step^2.
  long double factor = 0;
  EXPECT_FALSE(lookupEstimateFactor(Program::viewer, 10, &factor));
  EXPECT_EQ(estimatePoints(Program::viewer, 12100, 10), 100);
  EXPECT_EQ(estimatePoints(Program::extractor, 12100, 10), 100);
  EXPECT_EQ(estimatePoints(Program::extractor, 12100, UINT32_MAX), 12100);
}

TEST(Estimates, BytesPerForm) {
  EXPECT_EQ(estimateBytes(OutputKind::RectangularXyz, 1000, "200000", "200000"), 34000u);
  EXPECT_EQ(estimateBytes(OutputKind::ProjectNorthXyz, 1000, "12345", "12345678901"), 38000u);
  EXPECT_EQ(estimateBytes(OutputKind::ElevationCsv, 1000, "N/A", "N/A"), 8000u);
  EXPECT_EQ(estimateBytes(OutputKind::BinaryFlt, 1000, "", ""), 4000u);
  EXPECT_EQ(estimateBytes(OutputKind::RectangularXyz, 1822500, "12345678901", "12345678901"),
            80190000u);
}

TEST(FormatSize, BytesThenFourDigitsOfMegabytes) {
  EXPECT_EQ(formatSize(0), "0 b");
  EXPECT_EQ(formatSize(52345), "52345 b");
  EXPECT_EQ(formatSize(104857), "104857 b");
  EXPECT_EQ(formatSize(104858), ".1000 mb");
  EXPECT_EQ(formatSize(1048575), "1.000 mb");  // rounds up to the next decade
  EXPECT_EQ(formatSize(1048576), "1.000 mb");
  EXPECT_EQ(formatSize(5000000), "4.768 mb");
  EXPECT_EQ(formatSize(52428800), "50.00 mb");
  EXPECT_EQ(formatSize(10485759), "10.00 mb");
  EXPECT_EQ(formatSize(1234ull << 20), "1234. mb");
  EXPECT_EQ(formatSize((1000ull << 20) - 1), "1000. mb");
  EXPECT_EQ(formatSize((9999ull << 20) | 0xFFFFF), "10000. mb");  // five digits before the point
  EXPECT_EQ(formatSize(65536ull << 20), "65540. mb");
  EXPECT_EQ(formatSize(17ull << 16), "1.062 mb");  // 1.0625: a tie goes to even
  EXPECT_EQ(formatSize(19ull << 16), "1.188 mb");  // 1.1875

  // The C library's ecvt at four digits over many sizes.
  std::mt19937_64 random(7);
  for (int k = 0; k < 200000; ++k) {
    const uint64_t bytes = 104858 + random() % ((uint64_t(1) << 33) - 104858);
    int point = 0;
    int negative = 0;
    const char* digits = ecvt(static_cast<double>(bytes) / 1048576.0, 4, &point, &negative);
    std::string fourDigits(digits);
    if (fourDigits.size() == 5) {  // glibc's carry into a fifth digit: 9.99996 gives 10000, 2
      fourDigits.pop_back();
      ++point;
    }
    digits = fourDigits.c_str();
    std::string expected;
    if (point <= 0) {
      expected = "." + std::string(digits);
    } else {
      expected = std::string(digits, static_cast<size_t>(std::min(point, 4))) + "." +
                 std::string(digits + std::min(point, 4));
    }
    ASSERT_EQ(formatSize(bytes), expected + " mb") << bytes;
  }
}

}  // namespace
}  // namespace ned
