#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/export/map_projection.h"
#include "core/export/number_format.h"

namespace ned {
namespace {

std::string printed(const char* format, double value) {
  char text[400];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string printedGeneral(double value, int precision) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", precision, value);
  return text;
}

double fromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Compares with the C library's printf; stops at the first difference.
void expectFixedLikePrintf(double value) {
  ASSERT_EQ(formatFixed3(value), printed("%.3lf", value)) << printed("%.25g", value);
}

TEST(FormatFixed3, TiesExactThousandthsAndSigns) {
  EXPECT_EQ(formatFixed3(200000.0), "200000.000");
  EXPECT_EQ(formatFixed3(1234.567f), "1234.567");
  EXPECT_EQ(formatFixed3(0.0625), "0.062");  // a tie goes to even
  EXPECT_EQ(formatFixed3(0.1875), "0.188");
  EXPECT_EQ(formatFixed3(-2.5625), "-2.562");
  EXPECT_EQ(formatFixed3(1234.5675), "1234.568");  // just above the tie in binary
  EXPECT_EQ(formatFixed3(-0.0004), "-0.000");
  EXPECT_EQ(formatFixed3(-0.0), "-0.000");
  EXPECT_EQ(formatFixed3(0.0), "0.000");
  EXPECT_EQ(formatFixed3(-9999.0f * 3.28084f), printed("%.3lf", -9999.0f * 3.28084f));
  EXPECT_EQ(formatFixed3(0.001f), "0.001");
  EXPECT_EQ(formatFixed3(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(formatFixed3(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(formatFixed3(std::nan("")), printed("%.3lf", std::nan("")));
  EXPECT_EQ(formatFixed3(-std::nan("")), printed("%.3lf", -std::nan("")));
  EXPECT_EQ(formatFixed3(std::numeric_limits<double>::max()),
            printed("%.3lf", std::numeric_limits<double>::max()));
  EXPECT_EQ(formatFixed3(std::numeric_limits<double>::denorm_min()), "0.000");

  // Odd sixteenths are the only exact ties; every one goes to the even thousandth.
  std::mt19937_64 random(1);
  for (int k = 0; k < 200000; ++k) {
    const double whole = static_cast<double>(random() % 100000000);
    const double value = whole + static_cast<double>(2 * (random() % 8) + 1) / 16.0;
    expectFixedLikePrintf(value);
    expectFixedLikePrintf(-value);
  }
  // Around 2^53, where the exact scaling by 1000 ends and the library takes over.
  for (int64_t k = -3000; k <= 3000; ++k) {
    expectFixedLikePrintf(9007199254740992.0 + static_cast<double>(k));
    expectFixedLikePrintf(std::nextafter(9007199254740992.0, 0.0) - static_cast<double>(k) / 2);
  }
}

TEST(FormatFixed3, MatchesPrintfOnRandomValuesOfEveryMagnitude) {
  std::mt19937_64 random(2);
  // Any bit pattern: every exponent, subnormals, NaNs and infinities.
  for (int k = 0; k < 1000000; ++k) expectFixedLikePrintf(fromBits(random()));
  // Eastings and northings as the writers build them.
  std::uniform_real_distribution<double> coordinates(-1e7, 1e7);
  for (int k = 0; k < 1000000; ++k) expectFixedLikePrintf(coordinates(random));
  // Elevations: floats widened, and thousandths typed as decimals.
  std::uniform_real_distribution<float> elevations(-500.0f, 9000.0f);
  for (int k = 0; k < 1000000; ++k) expectFixedLikePrintf(elevations(random));
  for (int k = 0; k < 300000; ++k) {
    const double thousandths =
        static_cast<double>(static_cast<int64_t>(random() % 2000000000) - 1000000000);
    expectFixedLikePrintf(thousandths / 1000.0);
    expectFixedLikePrintf(thousandths / 1000.0 + 0.0005);  // half a thousandth, near ties
  }
  // Large eastings up to 1e18.
  std::uniform_real_distribution<double> exponents(6.0, 18.0);
  for (int k = 0; k < 300000; ++k) expectFixedLikePrintf(std::pow(10.0, exponents(random)));
}

TEST(FormatGeneral, CornerTextsAndCellSizesLikePrintf) {
  EXPECT_EQ(formatGeneral(36.875, 13), "36.875");
  EXPECT_EQ(formatGeneral(37.0, 13), "37");
  EXPECT_EQ(formatGeneral(76.99972222222222, 12), "76.9997222222");
  EXPECT_EQ(formatGeneral(0.000092592593, 10), "9.2592593e-05");
  EXPECT_EQ(formatGeneral(2 * 0.000092592593, 10), "0.000185185186");
  EXPECT_EQ(formatGeneral(3 * 0.000092592593, 10), "0.000277777779");
  EXPECT_EQ(formatGeneral(0.0, 13), "0");
  EXPECT_EQ(formatGeneral(-0.0, 13), "-0");
  EXPECT_EQ(formatGeneral(1e13, 13), "1e+13");
  EXPECT_EQ(formatGeneral(9999999999999.5, 13), "1e+13");  // the rounding decides the form
  EXPECT_EQ(formatGeneral(1e100, 12), "1e+100");
  EXPECT_EQ(formatGeneral(-1.5e-300, 10), "-1.5e-300");
  EXPECT_EQ(formatGeneral(std::numeric_limits<double>::infinity(), 13), "inf");

  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> degrees(17.0, 76.0);
  std::uniform_real_distribution<double> exponents(-12.0, 16.0);
  for (int k = 0; k < 200000; ++k) {
    const double corner = degrees(random);
    for (const int precision : {10, 12, 13}) {
      ASSERT_EQ(formatGeneral(corner, precision), printedGeneral(corner, precision));
      const double value = std::pow(10.0, exponents(random)) * (random() % 2 ? 1 : -1);
      ASSERT_EQ(formatGeneral(value, precision), printedGeneral(value, precision));
      const double any = fromBits(random());
      ASSERT_EQ(formatGeneral(any, precision), printedGeneral(any, precision));
    }
  }
  for (int precision = 1; precision <= 17; ++precision) {
    for (int k = 0; k < 20000; ++k) {
      const double value = std::pow(10.0, exponents(random));
      ASSERT_EQ(formatGeneral(value, precision), printedGeneral(value, precision));
    }
  }
  // Every cell size a two-digit remove count can give.
  for (long double step = 1; step <= 100; ++step) {
    const double size = static_cast<double>(step * 0.000092592593);
    EXPECT_EQ(formatGeneral(size, 10), printedGeneral(size, 10));
  }
}

TEST(FormatUnsigned, AllLengths) {
  uint64_t value = 0;
  for (int digits = 1; digits <= 20; ++digits) {
    value = value * 10 + static_cast<uint64_t>(digits % 10);
    char text[24];
    const std::string made(text, formatUnsigned(value, text));
    EXPECT_EQ(made, std::to_string(value));
  }
  char text[24];
  EXPECT_EQ(std::string(text, formatUnsigned(UINT64_MAX, text)), "18446744073709551615");
  EXPECT_EQ(std::string(text, formatUnsigned(0, text)), "0");
}

// What formatCoordinate writes, with the leading digits it carries from point to point.
std::string coordinateText(double value, CoordinateLeading& leading) {
  char text[kMaxFixed3Chars];
  return std::string(text, formatCoordinate(value, text, leading));
}

// The map writer's coordinates print as "%.3f" does for every value projectRow gives over
// the demo tile's degree (36 to 37 N, 85 to 84 W), in systems of metres and feet, whole
// rows at a time as the writer takes them, near halves (whose product with 1000 rounds to
// a half: 722841.47649999999) and exact ties (to even) included.
TEST(FormatCoordinate, PrintsWhatPrintfPrintsForProjectedRows) {
  const long double cell = 1.0L / 10800.0L;
  size_t compared = 0;
  for (const int32_t epsg : {26916, 26917, 2274, 32136, 3088, 2205}) {
    SCOPED_TRACE(epsg);
    const MapSystem* system = findMapSystem(epsg);
    ASSERT_NE(system, nullptr);
    const ProjectionConstants constants = prepareProjection(*system);
    std::vector<MapPoint> row(10800);
    CoordinateLeading easting;
    CoordinateLeading northing;
    for (int k = 0; k < 24; ++k) {
      const double latitude = static_cast<double>(37.0L - (0.5L + 450 * k + 7 * k) * cell);
      projectRow(constants, latitude, static_cast<double>(-85.0L + 0.5L * cell),
                 static_cast<double>(cell), row.size(), row.data());
      for (const MapPoint& point : row) {
        for (const auto& [value, leading] :
             {std::pair<double, CoordinateLeading*>{point.easting, &easting},
              std::pair<double, CoordinateLeading*>{point.northing, &northing}}) {
          ++compared;
          ASSERT_EQ(coordinateText(value, *leading), printed("%.3f", value))
              << printed("%.17g", value);
        }
      }
    }
  }
  EXPECT_EQ(compared, size_t(6) * 24 * 10800 * 2);

  // The ties by name: a value exactly halfway between two thousandths goes to the even one
  // of them, as "%.3f" takes it; one unit in the last place off the tie goes to the nearer.
  // Until the product's remainder decided, each of these went up.
  struct Named {
    double value;
    const char* written;
  };
  const Named named[] = {
      {123456.0625, "123456.062"},         // halfway, the even thousandth below
      {123456.1875, "123456.188"},         // halfway, the even thousandth above
      {4100000.3125, "4100000.312"},       // halfway, with a northing's leading digits
      {-512.0625, "-512.062"},             // halfway below zero
      {722841.47649999999, "722841.476"},  // its product with 1000 rounds to a half
      {std::nextafter(123456.0625, 0.0), "123456.062"},
      {std::nextafter(123456.0625, 1e6), "123456.063"},
  };
  for (const Named& n : named) {
    CoordinateLeading leading;
    EXPECT_EQ(coordinateText(n.value, leading), n.written) << printed("%.17g", n.value);
    EXPECT_EQ(printed("%.3f", n.value), n.written) << printed("%.17g", n.value);
  }
}

}  // namespace
}  // namespace ned
