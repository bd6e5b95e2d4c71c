#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/numbers.h"

namespace ned {
namespace {

// The same double, bit for bit: tells 0 from -0.
::testing::AssertionResult sameDouble(const std::string& text, double got, double want) {
  if (std::memcmp(&got, &want, sizeof got) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "\"" << text << "\": " << got << " (sign " << std::signbit(got) << "), strtod " << want
         << " (sign " << std::signbit(want) << ")";
}

std::string zeros(size_t count) {
  return std::string(count, '0');
}

// Without "inf", "nan" and hexadecimal the C library's strtod reads what the programs read.
TEST(ParseLeadingDouble, DecimalTextsReadAsStrtodReadsThem) {
  const char* const written[] = {"36.5230",
                                 "  -84.00055555556\n",
                                 "\t+.5",
                                 "5.",
                                 "1.e5",
                                 "1e-5x",
                                 "12.34.56",
                                 "-0",
                                 "123abc",
                                 "1.7976931348623157e308",
                                 "1.7976931348623159e308",
                                 "-1e309",
                                 "4.9406564584124654e-324",
                                 "2.4703282292062328e-324",
                                 "2.4703282292062327e-324",
                                 "-1e-400",
                                 "2.2250738585072011e-308",
                                 "1e99999999999999999999",
                                 "1e-99999999999999999999",
                                 "0e99999999999999999999"};
  std::vector<std::string> texts(std::begin(written), std::end(written));
  // Beyond the range of a double only by their digits.
  for (const std::string& digits :
       {"0." + zeros(330) + "1", "-0." + zeros(330) + "1", "1" + zeros(400) + "e-5",
        "-1" + zeros(400) + "e-100", "0." + zeros(400) + "1e400", "1" + zeros(320),
        "9" + zeros(30) + "." + zeros(30) + "1e-350"})
    texts.push_back(digits);
  for (const std::string& text : texts) {
    EXPECT_TRUE(
        sameDouble(text, parseLeadingDouble(text.c_str()), std::strtod(text.c_str(), nullptr)));
  }
  // Random texts over the characters of decimal numbers, signs and blanks among them.
  const char alphabet[] = "0123456789000.....eE+- \t";
  std::mt19937 random(11);
  for (int k = 0; k < 300000; ++k) {
    std::string text(random() % 14, ' ');
    for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
    if (random() % 8 == 0) text += "e" + std::to_string(static_cast<int>(random() % 700) - 350);
    ASSERT_TRUE(
        sameDouble(text, parseLeadingDouble(text.c_str()), std::strtod(text.c_str(), nullptr)));
  }
}

TEST(ParseLeadingDouble, ReadsNoWordsNoHexadecimalAndOneSign) {
  const char* const texts[] = {"inf",      "-inf",  "INFINITY", "nan", "-nan(123)", "NaN",
                               "--36.523", "+-1",   "-+1",      "++2", ".",         "e5",
                               "-e5",      "0x1p3", "0X10",     "+",   "- 1",       "\v-x"};
  for (const char* text : texts) {
    const double value = parseLeadingDouble(text);
    EXPECT_TRUE(value == 0.0 && !std::signbit(value)) << text << " gives " << value;
  }
  // The hexadecimal prefix stops after its 0; "0x" is not read further.
  EXPECT_EQ(parseLeadingDouble("-0x1p3"), 0.0);
  EXPECT_TRUE(std::signbit(parseLeadingDouble("-0x1p3")));
}

TEST(ParseLeadingInt, DecimalDigitsHeldAtTheLimitsAsStrtolReadsThem) {
  const auto saturated = [](const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value > INT32_MAX   ? INT32_MAX
           : value < INT32_MIN ? INT32_MIN
                               : static_cast<int32_t>(value);
  };
  const std::string texts[] = {"0",
                               " 42",
                               "-17x",
                               "+8",
                               "--5",
                               "+-5",
                               "2147483647",
                               "2147483648",
                               "-2147483648",
                               "-2147483649",
                               "99999999999999999999999",
                               "-" + zeros(50) + "12",
                               "1e3",
                               "0x10"};
  for (const std::string& text : texts)
    EXPECT_EQ(parseLeadingInt(text.c_str()), saturated(text)) << text;
  const char alphabet[] = "01234567899+- ";
  std::mt19937 random(12);
  for (int k = 0; k < 200000; ++k) {
    std::string text(random() % 24, ' ');
    for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
    ASSERT_EQ(parseLeadingInt(text.c_str()), saturated(text)) << text;
  }
}

// Toward zero, held at the limits of the type; NaN, which no conversion defines, gives 0.
TEST(Truncate, TowardZeroHeldAtTheLimits) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const long double inf = std::numeric_limits<long double>::infinity();
  struct Case {
    long double value;
    int32_t toInt32;
    uint32_t toUint32;
  };
  const Case cases[] = {
      {nan, 0, 0},
      {-nan, 0, 0},
      {1.9L, 1, 1},
      {-1.9L, -1, 0},
      {-0.5L, 0, 0},
      {2147483646.9L, 2147483646, 2147483646u},
      {2147483648.0L, INT32_MAX, 2147483648u},
      {-2147483648.9L, INT32_MIN, 0},
      {4294967294.9L, INT32_MAX, 4294967294u},
      {4294967296.0L, INT32_MAX, UINT32_MAX},
      {inf, INT32_MAX, UINT32_MAX},
      {-inf, INT32_MIN, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(truncateToInt32(c.value), c.toInt32) << static_cast<double>(c.value);
    EXPECT_EQ(truncateToUint32(c.value), c.toUint32) << static_cast<double>(c.value);
  }
}

}  // namespace
}  // namespace ned
