#include "core/numbers.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace ned {

namespace {

const char* skipBlanks(const char* text) {
  while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
  return text;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Beyond this an exponent only says "very large" or "very small"; holding it here keeps
// the sums below far from the limits of the type.
constexpr int64_t kExponentLimit = INT64_C(1000000000);

}  // namespace

double parseLeadingDouble(const char* text) {
  const char* p = skipBlanks(text);
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // The digits with at most one point among them, and the power of ten of the first
  // digit that is not 0.
  const char* const begin = p;
  int64_t digits = 0;
  int64_t integerDigits = -1;
  int64_t leadingZeros = 0;
  bool significant = false;
  for (;; ++p) {
    if (*p == '.' && integerDigits < 0) {
      integerDigits = digits;
      continue;
    }
    if (!isDigit(*p)) break;
    if (!significant && *p == '0') ++leadingZeros;
    significant = significant || *p != '0';
    ++digits;
  }
  if (digits == 0) return 0.0;
  if (integerDigits < 0) integerDigits = digits;
  // The exponent counts only with at least one digit.
  int64_t exponent = 0;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    const bool exponentNegative = *q == '-';
    if (*q == '+' || *q == '-') ++q;
    if (isDigit(*q)) {
      for (; isDigit(*q); ++q) {
        if (exponent < kExponentLimit) exponent = exponent * 10 + (*q - '0');
      }
      if (exponentNegative) exponent = -exponent;
      p = q;
    }
  }

  double value = 0.0;
  const std::from_chars_result r = std::from_chars(begin, p, value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone when it is out of range; the digits say which way:
    // at or above 10^0 it is too large (the infinity), below it too small (the zero).
    const int64_t leadPower = integerDigits - 1 - leadingZeros + exponent;
    value = significant && leadPower >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (r.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

int32_t parseLeadingInt(const char* text) {
  const char* p = skipBlanks(text);
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  int64_t value = 0;
  while (isDigit(*p)) {
    value = value * 10 + (*p - '0');
    if (value > INT64_C(2147483648)) value = INT64_C(2147483648);
    ++p;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t truncateToInt32(long double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0L) return INT32_MAX;
  if (value <= -2147483648.0L) return INT32_MIN;
  return static_cast<int32_t>(value);
}

uint32_t truncateToUint32(long double value) {
  if (!(value > 0.0L)) return 0;
  if (value >= 4294967295.0L) return UINT32_MAX;
  return static_cast<uint32_t>(value);
}

}  // namespace ned
